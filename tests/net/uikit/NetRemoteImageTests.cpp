#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "net/uikit/ButtonNetworking.h"
#include "net/uikit/ImageViewNetworking.h"
#include "net/uikit/NetImageCache.h"
#include "net/uikit/NetImageLoading.h"
#include "platform/graphics/Image.h"
#include "platform/graphics/ImageEncoding.h"
#include "platform/net/URLError.h"
#include "platform/ui/Control.h"
#include "tests/net/NetLoadingTestSupport.h"
#include "tests/support/LoopbackServer.h"

namespace ql {
namespace {

using test::Gate;
using test::LoopbackServer;
using test::pumpUntil;

std::string png(int side) {
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(side * side), 0xFF336699u);
    cg::ImageLayout layout;
    layout.alphaInfo = cg::ImageAlphaInfo::NoneSkipFirst;
    const auto data = *cg::encodePNG(*cg::Image::create(side, side, std::move(pixels), layout));
    return std::string(reinterpret_cast<const char*>(data.bytes()), data.length());
}

// In pixels: decoded images carry the screen scale.
double side(const std::shared_ptr<ui::Image>& image) { return image && image->CGImage() ? image->CGImage()->width() : 0; }

std::shared_ptr<ui::Image> imageOfSide(int n) { return ui::Image::imageWithData(ns::Data(png(n))); }

// A server with images of side 2 ("/two.png") and 3 ("/three.png"), and one of side 4 ("/held.png") that is
// sent only once the gate opens; the gate opens at the latest when the server goes.
struct ImageServer {
    ImageServer() {
        server.serveText("/two.png", png(2), "image/png");
        server.serveText("/three.png", png(3), "image/png");
        server.handle("/held.png", [gate = gate](const httplib::Request&, httplib::Response& response) {
            gate->wait();
            response.set_content(png(4), "image/png");
        });
    }
    ~ImageServer() { gate->open(); }
    ns::URL url(std::string_view path) const { return *ns::URL::fromString(server.url(path)); }

    std::shared_ptr<Gate> gate = std::make_shared<Gate>();
    LoopbackServer server;
};

class NetRemoteImageTest : public ::testing::Test {
protected:
    void SetUp() override {
        net_setImageViewSharedImageCache(cache);
        net_setButtonSharedImageCache(nullptr);
    }
    void TearDown() override { net_setImageViewSharedImageCache(nullptr); }
    std::shared_ptr<NetImageCache> cache = std::make_shared<NetImageCache>();
    ImageServer images;
};

TEST(NetImageCache, KeysByURLAndSkipsReloadPolicies) {
    NetImageCache cache;
    ns::URLRequest request(ns::URL::fromString("http://127.0.0.1/a.png"));
    cache.cacheImage(imageOfSide(2), request);
    cache.cacheImage(nullptr, ns::URLRequest(ns::URL::fromString("http://127.0.0.1/b.png")));
    EXPECT_EQ(side(cache.cachedImageForRequest(request)), 2);
    EXPECT_EQ(cache.cachedImageForRequest(ns::URLRequest(ns::URL::fromString("http://127.0.0.1/b.png"))), nullptr);
    for (auto policy : {ns::URLRequestCachePolicy::ReloadIgnoringLocalCacheData,
                        ns::URLRequestCachePolicy::ReloadIgnoringLocalAndRemoteCacheData}) {
        ns::URLRequest reload(request.URL(), policy, 60);
        EXPECT_EQ(cache.cachedImageForRequest(reload), nullptr);
    }
    EXPECT_EQ(side(cache.cachedImageForRequest(ns::URLRequest(request.URL(),
                                                              ns::URLRequestCachePolicy::ReturnCacheDataElseLoad, 60))),
              2);
}

TEST_F(NetRemoteImageTest, ImageViewShowsThePlaceholderLoadsOnceAndThenServesFromTheCache) {
    auto view = std::make_shared<ui::ImageView>();
    auto placeholder = imageOfSide(9);
    net_setImageWithURL(view, images.url("/two.png"), placeholder);
    EXPECT_EQ(view->image(), placeholder);
    ASSERT_TRUE(pumpUntil([&] { return side(view->image()) == 2; }));
    EXPECT_EQ(net_imageRequestOperation(*view), nullptr);
    ASSERT_EQ(images.server.requests("/two.png").size(), 1u);
    EXPECT_EQ(images.server.requests("/two.png")[0].header("Accept"), "image/*");

    // A hit is set at once, without the placeholder and without a request.
    auto second = std::make_shared<ui::ImageView>();
    net_setImageWithURL(second, images.url("/two.png"), placeholder);
    EXPECT_EQ(side(second->image()), 2);
    EXPECT_EQ(images.server.requests("/two.png").size(), 1u);

    // Asked to reload past local caches, it loads again and still stores what it got.
    cache->removeAllObjects();
    std::optional<double> reported;
    ns::URLRequest reload(images.url("/two.png"), ns::URLRequestCachePolicy::ReloadIgnoringLocalAndRemoteCacheData, 60);
    cache->cacheImage(imageOfSide(5), reload);
    net_setImageWithURLRequest(
        second, reload, nullptr,
        [&](const ns::URLRequest&, const std::shared_ptr<ns::HTTPURLResponse>& response,
            const std::shared_ptr<ui::Image>& image) {
            EXPECT_EQ(response->statusCode(), 200);
            reported = side(image);
        },
        {});
    ASSERT_TRUE(pumpUntil([&] { return reported.has_value(); }));
    EXPECT_EQ(*reported, 2);
    EXPECT_EQ(side(second->image()), 2) << "with a success block the caller sets the image";
    EXPECT_EQ(images.server.requests("/two.png").size(), 2u);
    EXPECT_EQ(side(cache->cachedImageForRequest(ns::URLRequest(images.url("/two.png")))), 2);
}

TEST_F(NetRemoteImageTest, ImageViewCancelsItsEarlierLoad) {
    auto view = std::make_shared<ui::ImageView>();
    int failures = 0;
    const auto countFailures = [&](const ns::URLRequest&, const std::shared_ptr<ns::HTTPURLResponse>&,
                                   const ns::Error& error) {
        EXPECT_EQ(error.code(), ns::URLErrorCancelled);
        ++failures;
    };
    // Another URL follows: the cancelled load stays silent.
    net_setImageWithURLRequest(view, ns::URLRequest(images.url("/held.png")), nullptr, {}, countFailures);
    auto first = net_imageRequestOperation(*view);
    net_setImageWithURL(view, images.url("/three.png"));
    EXPECT_TRUE(first->isCancelled());
    ASSERT_TRUE(pumpUntil([&] { return side(view->image()) == 3 && first->isFinished(); }));
    ASSERT_TRUE(pumpUntil([&] { return net_imageRequestOperation(*view) == nullptr; }));
    EXPECT_EQ(failures, 0);

    // The same URL follows: the cancelled load's failure reaches its block.
    net_setImageWithURLRequest(view, ns::URLRequest(images.url("/held.png")), nullptr, {}, countFailures);
    net_setImageWithURLRequest(view, ns::URLRequest(images.url("/held.png")), nullptr, {}, {});
    ASSERT_TRUE(pumpUntil([&] { return failures == 1; }));
    images.gate->open();
    ASSERT_TRUE(pumpUntil([&] { return side(view->image()) == 4; }));

    net_setImageWithURL(view, images.url("/two.png"));
    auto cancelled = net_imageRequestOperation(*view);
    ASSERT_NE(cancelled, nullptr);
    net_cancelImageRequestOperation(*view);
    EXPECT_EQ(net_imageRequestOperation(*view), nullptr);
    ASSERT_TRUE(pumpUntil([&] { return cancelled->isFinished(); }));
}

TEST_F(NetRemoteImageTest, ButtonStatesShareSlotsAndUseTheImageViewsCache) {
    auto button = std::make_shared<ui::Button>();
    cache->cacheImage(imageOfSide(3), net_imageRequestWithURL(images.url("/three.png")));
    net_setBackgroundImageForState(button, ui::ControlStateSelected, images.url("/three.png"), imageOfSide(9));
    EXPECT_EQ(side(button->backgroundImageForState(ui::ControlStateSelected)), 3);
    EXPECT_TRUE(images.server.requests().empty());

    const unsigned highlightedSelected = ui::ControlStateHighlighted | ui::ControlStateSelected;
    net_setImageForState(button, ui::ControlStateNormal, images.url("/held.png"));
    auto normal = net_imageRequestOperationForState(*button, ui::ControlStateNormal);
    ASSERT_NE(normal, nullptr);
    EXPECT_EQ(net_imageRequestOperationForState(*button, highlightedSelected), normal);
    EXPECT_EQ(net_imageRequestOperationForState(*button, ui::ControlStateHighlighted), nullptr);
    EXPECT_EQ(net_backgroundImageRequestOperationForState(*button, ui::ControlStateNormal), nullptr);

    std::optional<ns::Error> failure;
    net_setImageForState(button, highlightedSelected, ns::URLRequest(images.url("/two.png")), nullptr, {},
                         [&](const ns::Error& error) { failure = error; });
    EXPECT_TRUE(normal->isCancelled());
    net_setImageForState(button, ui::ControlStateHighlighted, images.url("/two.png"));
    ASSERT_TRUE(pumpUntil([&] {
        return side(button->imageForState(highlightedSelected)) == 2 &&
               side(button->imageForState(ui::ControlStateHighlighted)) == 2 && normal->isFinished();
    }));
    EXPECT_FALSE(failure);
    EXPECT_EQ(button->imageForState(ui::ControlStateNormal), nullptr);

    // Buttons may have a cache of their own.
    auto own = std::make_shared<NetImageCache>();
    net_setButtonSharedImageCache(own);
    EXPECT_EQ(net_buttonSharedImageCache(), own);
    net_setButtonSharedImageCache(nullptr);
    EXPECT_EQ(net_buttonSharedImageCache(), cache);
}

TEST_F(NetRemoteImageTest, AButtonLoadThatIsNoLongerCurrentNeverOverwritesItsSuccessor) {
    auto button = std::make_shared<ui::Button>();
    net_setImageForState(button, ui::ControlStateNormal, images.url("/two.png"));
    auto stale = net_imageRequestOperationForState(*button, ui::ControlStateNormal);
    // Let the first load finish without running its completion on the main queue yet.
    while (!stale->isFinished()) std::this_thread::yield();

    cache->cacheImage(imageOfSide(3), net_imageRequestWithURL(images.url("/three.png")));
    net_setImageForState(button, ui::ControlStateNormal, images.url("/three.png"));
    EXPECT_EQ(side(button->imageForState(ui::ControlStateNormal)), 3);

    const ns::URLRequest first = net_imageRequestWithURL(images.url("/two.png"));
    ASSERT_TRUE(test::pollUntil([&] { return cache->cachedImageForRequest(first) != nullptr; }));
    EXPECT_EQ(side(button->imageForState(ui::ControlStateNormal)), 3);
}

}  // namespace
}  // namespace ql
