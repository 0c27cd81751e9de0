#include <gtest/gtest.h>

#include <cmath>

#include "platform/ui/LayoutGuide.h"
#include "tests/web/browser/BrowserHarness.h"

namespace ql {
namespace {

using test::BrowserHarness;

// The browser on a phone with a page of `contentHeight` points (fixed width: it declares no viewport)
// scrolled to `offsetY`. The page's offsets are the turn's own arithmetic, so the bars take no insets here.
struct TurningBrowser {
    explicit TurningBrowser(double contentHeight, double offsetY, const sim::ScreenProfile& profile = sim::ScreenProfile::phone375x667())
        : h(profile) {
        browser->setAutomaticallyAdjustsScrollViewInsets(false);
        h.push(browser);
        const auto& scroll = browser->webView()->scrollView();
        scroll->setContentSize({browser->webView()->bounds().size.width, contentHeight});
        scroll->setContentOffset({0, offsetY});
    }
    cg::Point offset() const { return browser->webView()->scrollView()->contentOffset(); }
    BrowserHarness h;
    std::shared_ptr<WebViewController> browser = std::make_shared<WebViewController>();
};

TEST(WebViewControllerRotation, ThePageRestsBelowTheNavigationBar) {
    BrowserHarness h(sim::ScreenProfile::phone375x667());
    auto browser = std::make_shared<WebViewController>();
    h.push(browser);
    const auto& scroll = browser->webView()->scrollView();
    const double bar = browser->topLayoutGuide()->length();
    EXPECT_GT(bar, 44);  // the status bar and the navigation bar
    EXPECT_EQ(scroll->contentInset().top, bar);
    EXPECT_EQ(scroll->contentInset().bottom, browser->bottomLayoutGuide()->length());
    EXPECT_EQ(scroll->contentOffset(), (cg::Point{0, -bar}));
}

TEST(WebViewControllerRotation, SnapshotStandsInAndTheLockEnds) {
    TurningBrowser t(0, 0);  // an empty page: nothing to measure, nothing to divide by
    t.h.device.rotate(ui::InterfaceOrientation::LandscapeLeft);
    ASSERT_NE(t.browser->webViewRotationSnapshot(), nullptr);
    EXPECT_TRUE(t.browser->webView()->isHidden());
    EXPECT_FALSE(t.browser->shouldAutorotate());
    EXPECT_EQ(t.browser->webViewRotationSnapshot()->superview(), t.browser->view().get());

    // A second turn while the snapshot shows is refused: only the device turns.
    t.h.device.rotate(ui::InterfaceOrientation::Portrait);
    EXPECT_EQ(t.h.device.orientation(), ui::InterfaceOrientation::LandscapeLeft);
    EXPECT_EQ(ui::Device::currentDevice().orientation(), ui::DeviceOrientation::Portrait);

    // The turn ends: page back, snapshot gone, and the held-back turn catches up with the device.
    t.h.device.advance(ui::ViewController::kRotationDuration);
    EXPECT_EQ(t.h.device.orientation(), ui::InterfaceOrientation::Portrait);
    t.h.device.advance(ui::ViewController::kRotationDuration);
    EXPECT_EQ(t.browser->webViewRotationSnapshot(), nullptr);
    EXPECT_FALSE(t.browser->webView()->isHidden());
    EXPECT_TRUE(t.browser->shouldAutorotate());
    EXPECT_TRUE(std::isfinite(t.offset().x) && std::isfinite(t.offset().y));
    EXPECT_EQ(t.offset(), (cg::Point{0, 0}));
}

TEST(WebViewControllerRotation, PageKeepsItsPlace) {
    // Scrolled to its very bottom: the snapshot shows the last screenful, and the bottom stays in view.
    TurningBrowser bottom(2000, 2000 - 667);
    EXPECT_EQ(bottom.browser->rectForVisibleRegionOfWebViewAnimatingToOrientation(ui::InterfaceOrientation::LandscapeLeft),
              (cg::Rect{0, 1333, 375, 667}));
    bottom.h.device.rotate(ui::InterfaceOrientation::LandscapeLeft);
    EXPECT_EQ(bottom.browser->webViewState().contentOffset, (cg::Point{0, 1333}));
    // Turned, the snapshot keeps its proportions across the new width.
    EXPECT_NEAR(bottom.browser->webViewRotationSnapshot()->frame().size.height, 667.0 / 375 * 667, 1e-9);
    bottom.h.device.advance(ui::ViewController::kRotationDuration);
    EXPECT_EQ(bottom.offset().y, 2000 - 375);
    EXPECT_EQ(bottom.offset().x, 0) << "a page narrower than the turned view stays at its start";
}

TEST(WebViewControllerRotation, PageAtItsTopStaysThere) {
    TurningBrowser top(3000, 0);
    top.h.device.rotate(ui::InterfaceOrientation::LandscapeRight);
    top.h.device.advance(ui::ViewController::kRotationDuration);
    EXPECT_EQ(top.offset(), (cg::Point{0, 0}));
    EXPECT_EQ(top.browser->rectForVisibleRegionOfWebViewAnimatingToOrientation(ui::InterfaceOrientation::Portrait).origin.y, 0);
    top.h.device.rotate(ui::InterfaceOrientation::Portrait);
    top.h.device.advance(ui::ViewController::kRotationDuration);
    EXPECT_EQ(top.offset(), (cg::Point{0, 0}));
}

TEST(WebViewControllerRotation, TheLockEndsWhenThePresentationChangesMidTurn) {
    // A form sheet on the widest phone: compact when the turn starts, regular when it ends, where a form
    // sheet's turns are left alone. The page must come back all the same.
    TurningBrowser sheet(1000, 100, sim::ScreenProfile::phone414x736());
    sheet.browser->setModalPresentationStyle(ui::ModalPresentationStyle::FormSheet);
    sheet.h.device.rotate(ui::InterfaceOrientation::LandscapeLeft);
    ASSERT_NE(sheet.browser->webViewRotationSnapshot(), nullptr);
    sheet.h.device.advance(ui::ViewController::kRotationDuration);
    EXPECT_EQ(sheet.browser->webViewRotationSnapshot(), nullptr);
    EXPECT_FALSE(sheet.browser->webView()->isHidden());
    EXPECT_TRUE(sheet.browser->shouldAutorotate());
}

TEST(WebViewControllerRotation, LeavingMidTurnBringsThePageBack) {
    TurningBrowser leaving(1000, 0);
    leaving.h.device.rotate(ui::InterfaceOrientation::LandscapeLeft);
    leaving.h.shell->navigation_->popViewControllerAnimated(false);
    leaving.h.device.runUntilIdle();
    EXPECT_EQ(leaving.browser->webViewRotationSnapshot(), nullptr);
}

}  // namespace
}  // namespace ql
