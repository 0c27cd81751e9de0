#include <gtest/gtest.h>

#include "images/webimage/ButtonWebCache.h"
#include "images/webimage/ImageViewWebCache.h"
#include "images/webimage/ViewWebCacheOperation.h"
#include "images/webimage/WebCacheDeprecated.h"
#include "images/webimage/WebImageManager.h"
#include "tests/images/webimage/WebImageTestSupport.h"

namespace ql {
namespace {

struct ViewReports {
    int count = 0;
    std::shared_ptr<ui::Image> image;
    std::optional<ns::Error> error;
    ImageCacheSource source = ImageCacheSourceNone;
    std::optional<ns::URL> url;

    WebImageViewCompletion block() {
        return [this](std::shared_ptr<ui::Image> got, std::optional<ns::Error> failure, ImageCacheSource from,
                      std::optional<ns::URL> imageURL) {
            ++count;
            image = std::move(got);
            error = std::move(failure);
            source = from;
            url = std::move(imageURL);
        };
    }
};

class ImageViewWebCacheTests : public ::testing::Test {
protected:
    void TearDown() override { test::settleImageCache(); }
    ns::URL url(std::string_view path) const { return *ns::URL::fromString(server.url(path)); }
    std::shared_ptr<ui::Image> placeholder() { return ui::Image::imageWithCGImage(test::rampBitmap(2, 2, false), 1); }
    // Serves a picture whose body waits for the returned gate.
    std::shared_ptr<test::Gate> serveHeldPicture(const std::string& path, int width) {
        const std::string jpeg = test::jpegBytes(width, width);
        auto gate = server.makeGate();
        server.serveInTwoParts(path, jpeg.substr(0, 40), jpeg.substr(40), gate);
        return gate;
    }

    test::LoopbackServer server;
};

TEST_F(ImageViewWebCacheTests, TwoViewsAskingOneURLShareOneDownload) {
    auto gate = serveHeldPicture("/cover.jpg", 10);
    auto left = std::make_shared<ui::ImageView>();
    auto right = std::make_shared<ui::ImageView>();
    auto stand = placeholder();
    wi_setImageWithURL(left, url("/cover.jpg"), stand);
    wi_setImageWithURL(right, url("/cover.jpg"), stand, WebImageLoadRefreshCached);
    EXPECT_EQ(left->image(), stand);
    EXPECT_EQ(wi_imageURL(*left), url("/cover.jpg"));
    ASSERT_TRUE(test::pumpUntil([&] { return server.requestCount() == 1; }));
    test::settleImageCache();  // both views have asked the downloader by now
    gate->open();
    ASSERT_TRUE(test::pumpUntil([&] { return left->image() != stand && right->image() != stand; }));
    EXPECT_EQ(left->image(), right->image());
    EXPECT_EQ(server.requests("/cover.jpg").size(), 1u);

    // Now in memory: a new view shows it before the call returns.
    auto third = std::make_shared<ui::ImageView>();
    ViewReports reports;
    wi_setImageWithURL(third, url("/cover.jpg"), reports.block());
    EXPECT_EQ(third->image(), left->image());
    EXPECT_EQ(reports.count, 1);
    EXPECT_EQ(reports.source, ImageCacheSourceMemory);
    EXPECT_EQ(reports.url, url("/cover.jpg"));
}

TEST_F(ImageViewWebCacheTests, AReusedCellsNewLoadCancelsOnlyItsOwn) {
    auto gate = serveHeldPicture("/first.jpg", 10);
    server.serveText("/second.jpg", test::jpegBytes(6, 6), "image/jpeg");
    auto reused = std::make_shared<ui::ImageView>();
    auto other = std::make_shared<ui::ImageView>();
    ViewReports reusedFirst, reusedSecond, otherReports;
    wi_setImageWithURL(reused, url("/first.jpg"), reusedFirst.block());
    wi_setImageWithURL(other, url("/first.jpg"), otherReports.block());
    ASSERT_TRUE(test::pumpUntil([&] { return server.requestCount() == 1; }));
    // Both views wait for the one download; had only one joined yet, a cancel could rightly end it.
    test::settleImageCache();
    // The cell is reused for another row before its picture came.
    wi_setImageWithURL(reused, url("/second.jpg"), reusedSecond.block());
    ASSERT_TRUE(test::pumpUntil([&] { return reusedSecond.count == 1; }));
    gate->open();
    ASSERT_TRUE(test::pumpUntil([&] { return otherReports.count == 1; }));
    test::settleImageCache();
    EXPECT_EQ(reusedFirst.count, 0);
    ASSERT_TRUE(reused->image());
    EXPECT_EQ(reused->image()->CGImage()->width(), 6);
    ASSERT_TRUE(other->image());
    EXPECT_EQ(other->image()->CGImage()->width(), 10);
    EXPECT_EQ(server.requests("/first.jpg").size(), 1u);
}

TEST_F(ImageViewWebCacheTests, PlaceholdersAndTheViewsOwnChoices) {
    server.serveText("/missing.jpg", "gone", "text/plain", 404);
    server.serveText("/a.jpg", test::jpegBytes(6, 6), "image/jpeg");
    auto view = std::make_shared<ui::ImageView>();
    auto current = placeholder();
    auto stand = placeholder();
    view->setImage(current);
    // Delayed placeholder: the current image stays during the load and the placeholder follows a failure.
    ViewReports failed;
    wi_setImageWithURL(view, url("/missing.jpg"), stand, WebImageLoadDelayPlaceholder, failed.block());
    EXPECT_EQ(view->image(), current);
    ASSERT_TRUE(test::pumpUntil([&] { return failed.count == 1; }));
    EXPECT_EQ(view->image(), stand);
    ASSERT_TRUE(failed.error);
    EXPECT_EQ(failed.error->code(), 404);

    // Hand-off: with a completion the view is left alone; without one the image is set anyway.
    view->setImage(current);
    ViewReports handedOff;
    wi_setImageWithURL(view, url("/a.jpg"), nullptr, WebImageLoadAvoidAutoSetImage | WebImageLoadDelayPlaceholder,
                       handedOff.block());
    ASSERT_TRUE(test::pumpUntil([&] { return handedOff.count == 1; }));
    EXPECT_EQ(view->image(), current);
    EXPECT_TRUE(handedOff.image);
    wi_setImageWithURL(view, url("/a.jpg"), nullptr, WebImageLoadAvoidAutoSetImage);
    EXPECT_EQ(view->image(), handedOff.image);

    // No URL: the placeholder, and the error.
    ViewReports nothing;
    wi_setImageWithURL(view, std::nullopt, stand, nothing.block());
    EXPECT_EQ(view->image(), stand);
    EXPECT_EQ(nothing.count, 1);
    ASSERT_TRUE(nothing.error);
    EXPECT_EQ(nothing.error->domain(), WebImageErrorDomain);
    EXPECT_EQ(nothing.error->code(), -1);
    EXPECT_EQ(nothing.error->localizedDescription(), "Trying to load a nil url");
    EXPECT_EQ(wi_imageURL(*view), std::nullopt);
}

TEST_F(ImageViewWebCacheTests, TwoCallsInARowShowOnlyTheSecond) {
    auto gate = serveHeldPicture("/slow.jpg", 10);
    server.serveText("/fast.jpg", test::jpegBytes(6, 6), "image/jpeg");
    auto view = std::make_shared<ui::ImageView>();
    setShowActivityIndicatorView(*view, true);
    setIndicatorStyle(*view, ui::ActivityIndicatorViewStyle::Gray);
    ViewReports slow, fast;
    wi_setImageWithURL(view, url("/slow.jpg"), slow.block());
    ASSERT_TRUE(activityIndicator(*view));
    EXPECT_EQ(activityIndicator(*view)->superview(), view.get());
    EXPECT_EQ(activityIndicator(*view)->activityIndicatorViewStyle(), ui::ActivityIndicatorViewStyle::Gray);
    EXPECT_TRUE(activityIndicator(*view)->isAnimating());
    wi_setImageWithURL(view, url("/fast.jpg"), fast.block());
    ASSERT_TRUE(test::pumpUntil([&] { return fast.count == 1; }));
    EXPECT_FALSE(activityIndicator(*view));
    gate->open();
    test::settleImageCache();
    // Cancelled while the cache looked, the first load never went to the network.
    EXPECT_EQ(server.requests("/slow.jpg").size(), 0u);
    EXPECT_EQ(slow.count, 0);
    EXPECT_EQ(view->image()->CGImage()->width(), 6);
}

TEST_F(ImageViewWebCacheTests, HighlightedAndAnimationImages) {
    server.serveText("/h.jpg", test::jpegBytes(5, 5), "image/jpeg");
    server.serveText("/f1.jpg", test::jpegBytes(3, 3), "image/jpeg");
    server.serveText("/f2.jpg", test::jpegBytes(4, 4), "image/jpeg");
    auto view = std::make_shared<ui::ImageView>();
    ViewReports highlighted;
    wi_setHighlightedImageWithURL(view, url("/h.jpg"), highlighted.block());
    ASSERT_TRUE(test::pumpUntil([&] { return highlighted.count == 1; }));
    EXPECT_EQ(view->highlightedImage(), highlighted.image);
    EXPECT_EQ(view->image(), nullptr);

    wi_setAnimationImagesWithURLs(view, {url("/f1.jpg"), url("/f2.jpg")});
    EXPECT_EQ(wi_imageLoadOperationCount(*view, WebImageViewAnimationImagesKey), 2u);
    ASSERT_TRUE(test::pumpUntil([&] { return view->animationImages().size() == 2; }));
    EXPECT_TRUE(view->isAnimating());
    wi_setAnimationImagesWithURLs(view, {});
    EXPECT_EQ(wi_imageLoadOperationCount(*view, WebImageViewAnimationImagesKey), 0u);
}

TEST_F(ImageViewWebCacheTests, ButtonsLoadPerStateAndKind) {
    auto imageGate = serveHeldPicture("/image.jpg", 10);
    server.serveText("/background.jpg", test::jpegBytes(7, 7), "image/jpeg");
    auto button = std::make_shared<ui::Button>();
    auto stand = placeholder();
    ViewReports image, background;
    wi_setImageWithURL(button, url("/image.jpg"), ui::ControlStateNormal, stand, image.block());
    EXPECT_EQ(button->imageForState(ui::ControlStateNormal), stand);
    EXPECT_EQ(wi_imageURLForState(*button, ui::ControlStateNormal), url("/image.jpg"));
    // The highlighted state has no URL of its own: the normal one answers.
    button->setHighlighted(true);
    EXPECT_EQ(wi_currentImageURL(*button), url("/image.jpg"));
    button->setHighlighted(false);
    EXPECT_EQ(wi_buttonImageLoadKey(ui::ControlStateNormal), "UIButtonImageOperation0");

    // A background load of the same state leaves the image load running.
    wi_setBackgroundImageWithURL(button, url("/background.jpg"), ui::ControlStateNormal, background.block());
    ASSERT_TRUE(test::pumpUntil([&] { return background.count == 1; }));
    EXPECT_EQ(button->backgroundImageForState(ui::ControlStateNormal), background.image);
    EXPECT_EQ(wi_imageLoadOperationCount(*button, wi_buttonImageLoadKey(ui::ControlStateNormal)), 1u);
    imageGate->open();
    ASSERT_TRUE(test::pumpUntil([&] { return image.count == 1; }));
    EXPECT_EQ(button->imageForState(ui::ControlStateNormal), image.image);
    EXPECT_EQ(image.image->CGImage()->width(), 10);

    ViewReports nothing;
    wi_setImageWithURL(button, std::nullopt, ui::ControlStateNormal, nothing.block());
    EXPECT_EQ(nothing.count, 1);
    EXPECT_EQ(nothing.error->code(), -1);
    EXPECT_EQ(wi_imageURLForState(*button, ui::ControlStateNormal), std::nullopt);
}

TEST_F(ImageViewWebCacheTests, OlderFormsForwardToTheirNewerOnes) {
    server.serveText("/old.jpg", test::jpegBytes(6, 6), "image/jpeg");
    auto held = serveHeldPicture("/held.jpg", 8);
    auto view = std::make_shared<ui::ImageView>();
    int heard = 0;
    std::shared_ptr<ui::Image> shown;
    setImageWithURL(view, url("/old.jpg"), [&](std::shared_ptr<ui::Image> image, std::optional<ns::Error> error,
                                                ImageCacheSource) {
        ++heard;
        shown = image;
        EXPECT_FALSE(error);
    });
    EXPECT_EQ(imageURL(*view), url("/old.jpg"));
    ASSERT_TRUE(test::pumpUntil([&] { return heard == 1; }));
    EXPECT_EQ(view->image(), shown);

    // The button's current state is the one whose load is cancelled.
    auto button = std::make_shared<ui::Button>();
    int buttonHeard = 0;
    setImageWithURL(button, url("/held.jpg"), ui::ControlStateNormal,
                    [&](std::shared_ptr<ui::Image>, std::optional<ns::Error>, ImageCacheSource) { ++buttonHeard; });
    EXPECT_EQ(currentImageURL(*button), url("/held.jpg"));
    EXPECT_EQ(wi_imageLoadOperationCount(*button, wi_buttonImageLoadKey(ui::ControlStateNormal)), 1u);
    cancelCurrentImageLoad(*button);
    EXPECT_EQ(wi_imageLoadOperationCount(*button, wi_buttonImageLoadKey(ui::ControlStateNormal)), 0u);
    held->open();
    test::settleImageCache();
    EXPECT_EQ(buttonHeard, 0);

    int managerHeard = 0;
    WebImageManager::sharedManager()->downloadWithURL(url("/old.jpg"), 0, {},
                                                      [&](std::shared_ptr<ui::Image> image, auto, ImageCacheSource source,
                                                          bool finished) {
                                                          ++managerHeard;
                                                          EXPECT_TRUE(image);
                                                          EXPECT_EQ(source, ImageCacheSourceMemory);
                                                          EXPECT_TRUE(finished);
                                                      });
    EXPECT_EQ(managerHeard, 1);
}

}  // namespace
}  // namespace ql
