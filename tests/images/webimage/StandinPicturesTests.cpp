#include <gtest/gtest.h>

#include "images/webimage/ImageViewWebCache.h"
#include "images/webimage/WebImageManager.h"
#include "platform/foundation/Digest.h"
#include "platform/foundation/FileManager.h"
#include "tests/images/webimage/WebImageTestSupport.h"
#include "tests/support/ReferenceImage.h"
#include "tools/standin-service/StandinService.h"

namespace ql {
namespace {

// The app's way of showing a book cover, against the stand-in service: the first showing downloads the
// cover, a later one shows the cached cover at once and has the service confirm it with its ETag.
TEST(StandinPicturesTests, CoversLoadAndRevalidateAsTheAppAsksForThem) {
    standin::StandinService service;
    const auto cover = ns::URL::fromString(service.baseURL() + "Upload/Book/1.jpg");
    auto view = std::make_shared<ui::ImageView>(cg::Rect{0, 0, 120, 160});
    int shown = 0;
    wi_setImageWithURL(view, cover, nullptr, WebImageLoadRefreshCached,
                       [&](std::shared_ptr<ui::Image> image, auto, auto, auto) { shown += image ? 1 : 0; });
    ASSERT_TRUE(test::pumpUntil([&] { return shown == 1; }));
    ASSERT_TRUE(view->image());
    EXPECT_EQ(view->image()->CGImage()->width(), 240);
    EXPECT_EQ(view->image()->CGImage()->height(), 320);
    test::saveForInspection(*view->image()->CGImage(), "standin-cover-1");

    auto again = std::make_shared<ui::ImageView>(cg::Rect{0, 0, 120, 160});
    int reports = 0;
    wi_setImageWithURL(again, cover, nullptr, WebImageLoadRefreshCached, [&](auto, auto, auto, auto) { ++reports; });
    EXPECT_EQ(reports, 1);
    EXPECT_EQ(again->image(), view->image());
    ASSERT_TRUE(service.waitForRequests("Upload/Book/1.jpg", 2));
    ASSERT_TRUE(test::pumpUntil([&] { return !WebImageManager::sharedManager()->isRunning(); }));
    test::settleImageCache();
    const auto requests = service.journal("Upload/Book/1.jpg");
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].header("Accept"), "image/*;q=0.8");
    // The cache kept the cover as it came, and the service tags a picture with the MD5 of its bytes.
    const auto kept = ns::dataWithContentsOfFile(
        ImageCache::sharedImageCache()->defaultCachePathForKey(cover->absoluteString()));
    ASSERT_TRUE(kept);
    EXPECT_EQ(requests[1].header("If-None-Match"), "\"" + ns::hexString(ns::md5(*kept)) + "\"");
    EXPECT_EQ(reports, 1);
}

}  // namespace
}  // namespace ql
