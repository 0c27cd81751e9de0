#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "images/browser/PhotoGroup.h"
#include "platform/device/Device.h"
#include "platform/photos/AssetsLibrary.h"
#include "platform/ui/Button.h"
#include "platform/ui/Label.h"
#include "platform/ui/TouchDriver.h"
#include "tests/images/webimage/WebImageTestSupport.h"
#include "tests/support/LoopbackServer.h"
#include "tests/ui/BootedDevice.h"

using namespace ql;

namespace {

class BrowserTest : public ::testing::Test {
protected:
    explicit BrowserTest(const sim::ScreenProfile& profile = sim::ScreenProfile::phone320x568()) : app(profile) {}
    void TearDown() override { test::settleImageCache(); }

    // Thumbnails at /thumbnail/<i>.png (80 × 80) and larger pictures at /bmiddle/<i>.png.
    std::vector<std::shared_ptr<PhotoItem>> items(int count, const std::string& prefix) {
        std::vector<std::shared_ptr<PhotoItem>> list;
        for (int i = 0; i < count; ++i) {
            const std::string name = prefix + std::to_string(i) + ".png";
            server.serveText("/thumbnail/" + name, test::pngBytes(80, 80, false), "image/png");
            auto item = std::make_shared<PhotoItem>();
            item->setThumbnail_pic(server.url("/thumbnail/" + name));
            list.push_back(item);
        }
        return list;
    }

    std::shared_ptr<PhotoGroup> groupOf(std::vector<std::shared_ptr<PhotoItem>> list) {
        auto group = std::make_shared<PhotoGroup>();
        app.rootView().addSubview(group);
        group->setPhotoItemArray(std::move(list));
        EXPECT_TRUE(app.device.runUntil([&] {
            for (const auto& view : group->subviews()) {
                if (!std::static_pointer_cast<ui::Button>(view)->currentImage()) return false;
            }
            return true;
        }, 20));
        return group;
    }

    bool waitFor(const std::function<bool()>& condition) { return app.device.runUntil(condition, 20); }

    void shoot(const std::string& name) {
        if (const char* dir = std::getenv("QUILLORY_SHOTS_DIR")) app.device.writeScreenshot(std::string(dir) + "/" + name + ".png");
    }

    test::BootedDevice app;
    test::LoopbackServer server;
};

class PadBrowserTest : public BrowserTest {
protected:
    PadBrowserTest() : BrowserTest(sim::ScreenProfile::pad768x1024()) {}
};

class SmallPhoneBrowserTest : public BrowserTest {
protected:
    SmallPhoneBrowserTest() : BrowserTest(sim::ScreenProfile::phone320x480()) {}
};

}  // namespace

TEST_F(BrowserTest, TheGroupLaysOutOneToNinePhotosInRowsOfThreeOrTwoByTwo) {
    auto group = std::make_shared<PhotoGroup>();
    app.rootView().addSubview(group);
    const std::vector<double> heights = {0, 95, 95, 95, 190, 190, 190, 285, 285, 285};
    for (int n = 0; n <= 9; ++n) {
        std::vector<std::shared_ptr<PhotoItem>> list(static_cast<std::size_t>(n));
        for (auto& item : list) {
            item = std::make_shared<PhotoItem>();
            item->setThumbnail_pic(server.url("/missing.png"));
        }
        group->setPhotoItemArray(list);
        EXPECT_EQ(group->frame(), (cg::Rect{10, 10, 300, heights[static_cast<std::size_t>(n)]})) << n;
        ASSERT_EQ(group->subviews().size(), static_cast<std::size_t>(n)) << "a new array replaces every thumbnail";
        group->layoutIfNeeded();
        const int columns = n == 4 ? 2 : 3;
        for (int i = 0; i < n; ++i) {
            EXPECT_EQ(group->subviews()[i]->tag(), i);
            EXPECT_EQ(group->subviews()[i]->frame(), (cg::Rect{(i % columns) * 95.0, (i / columns) * 95.0, 80, 80}))
                << n << " photos, thumbnail " << i;
        }
    }

    auto item = std::make_shared<PhotoItem>();
    item->setThumbnail_pic("http://img.example.com/thumbnail/a/thumbnail.jpg");
    auto plain = std::make_shared<PhotoItem>();
    plain->setThumbnail_pic("http://img.example.com/small/b.jpg");
    group->setPhotoItemArray({item, plain});
    PhotoBrowser browser;
    EXPECT_EQ(group->photoBrowserHighQualityImageURLForIndex(browser, 0)->absoluteString(),
              "http://img.example.com/bmiddle/a/bmiddle.jpg");
    EXPECT_EQ(group->photoBrowserHighQualityImageURLForIndex(browser, 1)->absoluteString(), "http://img.example.com/small/b.jpg");
    EXPECT_FALSE(group->photoBrowserHighQualityImageURLForIndex(browser, 2));
    EXPECT_FALSE(group->photoBrowserPlaceholderImageForIndex(browser, 5));
}

TEST_F(BrowserTest, ATapOpensTheBrowserAtThatPhotoWhichLoadsItsLargerPictureWithTheRing) {
    auto list = items(3, "p");
    auto gate = server.makeGate();
    const std::string large = test::pngBytes(600, 400, false);
    server.serveInTwoParts("/bmiddle/p2.png", large.substr(0, large.size() / 2), large.substr(large.size() / 2), gate);
    server.serveText("/bmiddle/p0.png", test::pngBytes(600, 400, false), "image/png");
    server.serveText("/bmiddle/p1.png", test::pngBytes(600, 400, false), "image/png");
    auto group = groupOf(list);

    app.device.tap(*group->subviews()[2]);
    auto browser = group->openBrowser();
    ASSERT_TRUE(browser);
    EXPECT_EQ(browser->superview(), &app.window());
    EXPECT_EQ(browser->frame(), (cg::Rect{0, 0, 320, 568}));
    EXPECT_EQ(browser->currentImageIndex(), 2);
    EXPECT_EQ(browser->indexLabel()->text(), "3/3") << "after the first layout";
    EXPECT_DOUBLE_EQ(browser->scrollView()->contentOffset().x, 2 * 340.0);
    EXPECT_EQ(browser->page(2)->frame(), (cg::Rect{10 + 2 * 340.0, 0, 320, 568}));
    EXPECT_TRUE(browser->scrollView()->isHidden()) << "the thumbnail flies in first";
    auto page = browser->page(2);
    EXPECT_TRUE(page->hasLoadedImage());
    EXPECT_EQ(page->image(), std::static_pointer_cast<ui::Button>(group->subviews()[2])->currentImage())
        << "the thumbnail stands in";
    auto ring = page->waitingView();
    ASSERT_TRUE(ring);
    EXPECT_EQ(ring->bounds().size, (cg::Size{100, 100}));
    EXPECT_TRUE(waitFor([&] { return ring->progress() > 0.4; }));
    EXPECT_NEAR(ring->progress(), 0.5, 0.01);
    app.device.advance(0.3);
    EXPECT_EQ(ring->center(), (cg::Point{160, 284}));
    app.device.advance(0.6);
    EXPECT_TRUE(browser->hasShowedFistView());
    EXPECT_FALSE(browser->scrollView()->isHidden());
    EXPECT_TRUE(ring->superview());
    shoot("browser-loading-320x568");

    gate->open();
    EXPECT_TRUE(waitFor([&] { return page->image() && page->image()->CGImage()->width() == 600; }));
    app.device.advance(0.1);
    EXPECT_FALSE(ring->superview()) << "the ring goes once the picture is in";
    EXPECT_FALSE(browser->page(0)->hasLoadedImage()) << "pages load when they come into view";
    shoot("browser-320x568");

    // Paging to the first photo loads it once.
    app.device.drag(*browser->scrollView(), {200, 0}, 2.0, 40);
    app.device.advance(2);
    EXPECT_EQ(browser->currentImageIndex(), 1);
    EXPECT_EQ(browser->indexLabel()->text(), "2/3");
    EXPECT_TRUE(browser->page(1)->hasLoadedImage());
    EXPECT_TRUE(waitFor([&] { return server.requests("/bmiddle/p1.png").size() == 1; }));

    // A single tap closes the browser onto its thumbnail.
    EXPECT_TRUE(waitFor([&] { return !browser->page(1)->waitingView(); }));
    app.device.tap(cg::Point{160, 300});
    app.device.advance(0.5);
    EXPECT_TRUE(browser->willDisappear());
    EXPECT_TRUE(browser->scrollView()->isHidden());
    app.device.advance(1);
    EXPECT_FALSE(browser->superview());
}

TEST_F(BrowserTest, ADoubleTapZoomsAndADragAsideResetsTheZoom) {
    auto list = items(2, "z");
    for (int i = 0; i < 2; ++i) server.serveText("/bmiddle/z" + std::to_string(i) + ".png", test::pngBytes(400, 300, false), "image/png");
    auto group = groupOf(list);
    app.device.tap(*group->subviews()[0]);
    auto browser = group->openBrowser();
    ASSERT_TRUE(browser);
    auto page = browser->page(0);
    EXPECT_TRUE(waitFor([&] { return page->image() && page->image()->CGImage()->width() == 400; }));
    app.device.advance(1);

    ui::TouchDriver fingers;
    fingers.tap({160, 300}, 1);
    fingers.tap({160, 300}, 2);
    app.device.advance(0.6);
    EXPECT_DOUBLE_EQ(page->totalScale(), 2);
    EXPECT_TRUE(page->isScaled());
    ASSERT_TRUE(page->zoomingScrollView());
    EXPECT_DOUBLE_EQ(page->zoomingScrollView()->contentSize().width, 640);
    EXPECT_TRUE(browser->superview()) << "a double tap does not close";
    fingers.tap({160, 300}, 1);
    fingers.tap({160, 300}, 2);
    app.device.advance(0.6);
    EXPECT_FALSE(page->isScaled());
    EXPECT_FALSE(page->zoomingScrollView()) << "back at 1 the zoom layer goes";

    // Pinch limits apply to the total: from 0.4 only steps back towards 1 are taken.
    page->scaleImage(0.4);
    page->setTotalScale(0.3);
    EXPECT_DOUBLE_EQ(page->totalScale(), 0.4);
    page->setTotalScale(0.6);
    EXPECT_DOUBLE_EQ(page->totalScale(), 0.6);
    page->setTotalScale(2.4);
    page->setTotalScale(2.6);
    EXPECT_DOUBLE_EQ(page->totalScale(), 2.4);

    // Pulled more than 150 points aside, a zoomed page drops its zoom within 0.5 s.
    browser->scrollView()->setContentOffset({140, 0});
    app.device.advance(0.6);
    EXPECT_TRUE(page->isScaled()) << "140 points aside is not enough";
    browser->scrollView()->setContentOffset({-160, 0});
    EXPECT_TRUE(page->isScaled());
    app.device.advance(0.6);
    EXPECT_FALSE(page->isScaled());
    EXPECT_FALSE(page->zoomingScrollView());
}

TEST_F(BrowserTest, IndexesPastEitherEndAreClampedAndTheResetUsesThePagePitch) {
    auto list = items(9, "c");
    auto group = groupOf(list);
    app.device.tap(*group->subviews()[8]);
    auto browser = group->openBrowser();
    ASSERT_TRUE(browser);
    app.device.advance(1);
    EXPECT_EQ(browser->indexLabel()->text(), "9/9");
    auto last = browser->page(8);
    EXPECT_EQ(last->image(), std::static_pointer_cast<ui::Button>(group->subviews()[8])->currentImage())
        << "without a larger picture the placeholder stays";
    last->scaleImage(1.5);
    // At rest on the last page the offset is 8 pitches; measured in screen widths it would read 160 aside.
    browser->scrollView()->setContentOffset({8 * 340.0, 0});
    app.device.advance(1);
    EXPECT_TRUE(last->isScaled()) << "a page at rest keeps its zoom";

    browser->scrollView()->setContentOffset({20 * 340.0, 0});
    EXPECT_EQ(browser->currentImageIndex(), 8);
    EXPECT_EQ(browser->indexLabel()->text(), "9/9");
    browser->scrollView()->setContentOffset({-5 * 340.0, 0});
    EXPECT_EQ(browser->currentImageIndex(), 0);
    EXPECT_EQ(browser->indexLabel()->text(), "1/9");
    // Offsets too far for any whole number of pages still name the nearest end.
    browser->scrollView()->setContentOffset({1e30, 0});
    EXPECT_EQ(browser->currentImageIndex(), 8);
    EXPECT_EQ(browser->indexLabel()->text(), "9/9");
    browser->scrollView()->setContentOffset({-1e30, 0});
    EXPECT_EQ(browser->currentImageIndex(), 0);
    browser->scrollView()->setContentOffset({std::numeric_limits<double>::infinity(), 0});
    EXPECT_EQ(browser->currentImageIndex(), 8);
}

TEST_F(BrowserTest, AFailedOrTallPictureAndAnUnknownSizeAreHandled) {
    auto list = items(3, "f");
    server.serveText("/bmiddle/f0.png", "gone", "text/plain", 404);
    server.serveText("/bmiddle/f1.png", test::pngBytes(100, 1000, false), "image/png");
    const std::string picture = test::pngBytes(200, 100, false);
    auto gate = server.makeGate();
    server.serveInTwoParts("/bmiddle/f2.png", picture.substr(0, 100), picture.substr(100), gate, true);
    auto group = groupOf(list);

    app.device.tap(*group->subviews()[0]);
    auto browser = group->openBrowser();
    auto failed = browser->page(0);
    EXPECT_TRUE(waitFor([&] { return !failed->waitingView(); }));
    app.device.advance(1);
    std::shared_ptr<ui::Label> notice;
    for (const auto& view : failed->subviews()) {
        if (auto label = std::dynamic_pointer_cast<ui::Label>(view)) notice = label;
    }
    ASSERT_TRUE(notice);
    EXPECT_EQ(notice->text(), "图片加载失败");
    EXPECT_EQ(notice->center(), (cg::Point{160, 284}));
    EXPECT_EQ(failed->image(), std::static_pointer_cast<ui::Button>(group->subviews()[0])->currentImage())
        << "the placeholder stays";

    browser->scrollView()->setContentOffset({340, 0});
    auto tall = browser->page(1);
    EXPECT_TRUE(waitFor([&] { return tall->image() && tall->image()->CGImage()->height() == 1000; }));
    app.device.advance(0.1);
    ASSERT_TRUE(tall->scroll()) << "a picture taller than the page scrolls";
    EXPECT_DOUBLE_EQ(tall->scroll()->contentSize().height, 3200);

    browser->scrollView()->setContentOffset({680, 0});
    auto pending = browser->page(2);
    ASSERT_TRUE(pending->waitingView());
    app.device.advance(0.5);
    EXPECT_DOUBLE_EQ(pending->waitingView()->progress(), 0) << "a size the server did not give shows no progress";
    pending->setProgress(1.0);
    app.device.advance(0);
    EXPECT_FALSE(pending->waitingView()) << "the ring leaves at 1 even before the picture arrives";
    gate->open();
    EXPECT_TRUE(waitFor([&] { return pending->image() && pending->image()->CGImage()->width() == 200; }));
}

TEST_F(BrowserTest, TheBrowserFollowsItsWindowsFrameUntilItGoes) {
    auto list = items(2, "w");
    auto group = groupOf(list);
    app.device.tap(*group->subviews()[1]);
    auto browser = group->openBrowser();
    app.device.advance(1);
    browser->page(1)->scaleImage(1.5);
    ASSERT_TRUE(browser->page(1)->zoomingScrollView());
    app.device.rotate(ui::InterfaceOrientation::LandscapeLeft);
    app.device.advance(0.1);
    EXPECT_EQ(browser->frame(), (cg::Rect{0, 0, 568, 320}));
    EXPECT_FALSE(browser->page(1)->zoomingScrollView()) << "the page in view drops its zoom layer";
    EXPECT_EQ(browser->page(1)->frame(), (cg::Rect{10 + 588.0, 0, 568, 320}));

    browser->saveImage();
    app.device.advance(0.1);
    std::shared_ptr<ui::Label> saved;
    for (const auto& view : app.window().subviews()) {
        if (auto label = std::dynamic_pointer_cast<ui::Label>(view)) saved = label;
    }
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->text(), " ^_^ 保存成功 ");
    app.device.advance(1.1);
    EXPECT_FALSE(saved->superview());

    app.device.tap(cg::Point{284, 160});
    app.device.advance(2);
    EXPECT_FALSE(browser->superview());
    browser.reset();
    EXPECT_FALSE(group->openBrowser()) << "nothing else holds the closed browser";
    app.device.rotate(ui::InterfaceOrientation::Portrait);
    app.device.advance(0.1);
}

TEST_F(SmallPhoneBrowserTest, TheBrowserFitsTheSmallestPhone) {
    auto list = items(4, "s");
    server.serveText("/bmiddle/s1.png", test::pngBytes(640, 960, false), "image/png");
    auto group = groupOf(list);
    EXPECT_EQ(group->frame(), (cg::Rect{10, 10, 300, 190}));
    app.device.tap(*group->subviews()[1]);
    auto browser = group->openBrowser();
    EXPECT_TRUE(waitFor([&] { return browser->page(1)->image() && browser->page(1)->image()->CGImage()->width() == 640; }));
    app.device.advance(1);
    EXPECT_EQ(browser->frame(), (cg::Rect{0, 0, 320, 480}));
    EXPECT_EQ(browser->indexLabel()->center(), (cg::Point{160, 35}));
    shoot("browser-320x480");
}

TEST_F(PadBrowserTest, TheBrowserFillsTheTablet) {
    auto list = items(6, "t");
    server.serveText("/bmiddle/t4.png", test::pngBytes(1200, 800, false), "image/png");
    auto group = groupOf(list);
    app.device.tap(*group->subviews()[4]);
    auto browser = group->openBrowser();
    EXPECT_TRUE(waitFor([&] { return browser->page(4)->image() && browser->page(4)->image()->CGImage()->width() == 1200; }));
    app.device.advance(1);
    EXPECT_EQ(browser->frame(), (cg::Rect{0, 0, 768, 1024}));
    EXPECT_DOUBLE_EQ(browser->scrollView()->contentOffset().x, 4 * 788.0);
    EXPECT_EQ(browser->indexLabel()->text(), "5/6");
    shoot("browser-768x1024");
}

TEST_F(BrowserTest, TheObservationEndsOnTheWindowItWasAddedToWhateverWindowIsKeyThen) {
    auto group = groupOf(items(1, "k"));
    app.device.tap(*group->subviews()[0]);
    std::weak_ptr<PhotoBrowser> weak = group->openBrowser();
    app.device.advance(1);
    auto other = std::make_shared<ui::Window>();
    other->makeKeyAndVisible();
    app.device.advance(0.1);
    app.window().setFrame({0, 0, 320, 500});
    EXPECT_EQ(weak.lock()->frame(), (cg::Rect{0, 0, 320, 500})) << "the browser follows the window it is in";
    other->setFrame({0, 0, 100, 100});
    EXPECT_EQ(weak.lock()->frame(), (cg::Rect{0, 0, 320, 500})) << "not the key window of the moment";
    weak.lock()->removeFromSuperview();
    EXPECT_TRUE(weak.expired());
    app.window().setFrame({0, 0, 320, 568});
    other->setHidden(true);
    app.window().makeKeyWindow();
    app.device.advance(0.1);
}
