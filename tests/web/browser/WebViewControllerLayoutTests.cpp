#include <gtest/gtest.h>

#include "tests/web/browser/BrowserHarness.h"
#include "web/browser/WebPageProbes.h"
#include "web/browser/WebViewControllerIcons.h"

namespace ql {
namespace {

using test::BrowserHarness;
using test::titled;
using Words = std::vector<std::string>;

TEST(WebViewController, CleansURLsAndReadsPageProbes) {
    EXPECT_EQ(WebViewController::cleanURL(ns::URL::fromString("example.test/a/b"))->absoluteString(), "http://example.test/a/b");
    EXPECT_EQ(WebViewController::cleanURL(ns::URL::fromString("ftp://example.test/f"))->absoluteString(), "ftp://example.test/f");
    EXPECT_EQ(WebViewController::cleanURL(std::nullopt), std::nullopt);
    EXPECT_EQ(WebViewController("not a url").url(), std::nullopt);
    EXPECT_EQ(WebViewController("example.test").url()->absoluteString(), "http://example.test");

    EXPECT_TRUE(viewportIsDynamic("width = Device-Width, initial-scale=2"));
    EXPECT_TRUE(viewportIsDynamic("user-scalable=NO"));
    EXPECT_FALSE(viewportIsDynamic("width=980"));
    EXPECT_FALSE(viewportIsDynamic(""));

    const auto rgba = [](const std::shared_ptr<ui::Color>& color) {
        double r = 0, g = 0, b = 0, a = 0;
        color->getRed(&r, &g, &b, &a);
        return std::vector<double>{r * 255, g * 255, b * 255, a};
    };
    EXPECT_EQ(rgba(pageBackgroundColor("rgb(255, 0, 51)")), (std::vector<double>{255, 0, 51, 1}));
    EXPECT_EQ(rgba(pageBackgroundColor("rgba(0, 0, 0, 0)")), (std::vector<double>{255, 255, 255, 1}));
    // A semi-transparent background keeps its colour and its alpha, read as the fraction it is.
    EXPECT_EQ(rgba(pageBackgroundColor("rgba(0, 128, 0, 0.5)")), (std::vector<double>{0, 128, 0, 0.5}));
    EXPECT_EQ(rgba(pageBackgroundColor("")), (std::vector<double>{255, 255, 255, 1}));
    EXPECT_EQ(rgba(pageBackgroundColor("transparent")), (std::vector<double>{255, 255, 255, 1}));
    EXPECT_EQ(rgba(pageBackgroundColor("rgb(1, 2)")), (std::vector<double>{255, 255, 255, 1}));
}

TEST(WebViewController, PhoneToolbarPushedAndPresented) {
    BrowserHarness h(sim::ScreenProfile::phone320x480());
    auto pushed = std::make_shared<WebViewController>();
    h.push(pushed);
    EXPECT_TRUE(pushed->compactPresentation());
    EXPECT_FALSE(pushed->beingPresentedModally());
    EXPECT_TRUE(pushed->onTopOfNavigationControllerStack());
    EXPECT_EQ(pushed->doneButton(), nullptr);
    EXPECT_FALSE(h.shell->navigation_->isToolbarHidden());
    EXPECT_EQ(h.describe(*pushed, h.shell->navigation_->toolbar()->items()),
              (Words{"|", "back", "|", "forward", "|", "reload", "|", "action", "|"}));
    EXPECT_TRUE(pushed->navigationItem()->rightBarButtonItems().empty());
    // The progress bar lies along the bottom edge of the navigation bar.
    EXPECT_EQ(pushed->progressView()->superview(), h.shell->navigation_->navigationBar().get());
    EXPECT_EQ(pushed->progressView()->frame(), (cg::Rect{0, 42, 320, 2}));
    EXPECT_EQ(pushed->title(), "Loading...");

    // Six buttons: no space at the ends.
    pushed->setApplicationBarButtonItems({titled("One"), titled("Two")});
    pushed->layoutButtonsForCurrentSizeClass();
    EXPECT_EQ(h.describe(*pushed, pushed->toolbarItems()),
              (Words{"back", "|", "forward", "|", "reload", "|", "One", "|", "Two", "|", "action"}));

    // Popping restores the toolbar as it was before the browser came.
    h.shell->navigation_->popViewControllerAnimated(false);
    h.device.runUntilIdle();
    EXPECT_TRUE(h.shell->navigation_->isToolbarHidden());
    EXPECT_EQ(pushed->progressView()->superview(), nullptr);

    auto presented = std::make_shared<WebViewController>();
    presented->setDoneButtonTitle("Close");
    auto navigation = h.present(presented);
    EXPECT_TRUE(presented->beingPresentedModally());
    EXPECT_FALSE(presented->onTopOfNavigationControllerStack());
    ASSERT_NE(presented->doneButton(), nullptr);
    EXPECT_EQ(presented->doneButton()->title(), "Close");
    EXPECT_EQ(h.describe(*presented, presented->navigationItem()->rightBarButtonItems()), (Words{"done"}));

    bool completed = false;
    presented->setModalCompletionHandler([&] { completed = true; });
    h.device.tap("Close");
    h.device.advance(1);
    EXPECT_TRUE(completed);
    EXPECT_EQ(h.shell->navigation_->presentedViewController(), nullptr);
}

TEST(WebViewController, HiddenNavigationButtonsPlaceTheHostsButtons) {
    BrowserHarness h(sim::ScreenProfile::phone375x667());
    auto browser = std::make_shared<WebViewController>();
    browser->setNavigationButtonsHidden(true);
    browser->setApplicationBarButtonItems({titled("Save")});
    h.push(browser);
    EXPECT_TRUE(h.shell->navigation_->isToolbarHidden());
    EXPECT_EQ(h.describe(*browser, browser->navigationItem()->rightBarButtonItems()), (Words{"Save"}));
    EXPECT_EQ(browser->backButton(), nullptr);

    // Two or more are placed too (on the right when pushed), and the toolbar gets no stray spaces.
    browser->setApplicationBarButtonItems({titled("Save"), titled("Print")});
    browser->layoutButtonsForCurrentSizeClass();
    EXPECT_EQ(h.describe(*browser, browser->navigationItem()->rightBarButtonItems()), (Words{"Save", "Print"}));
    EXPECT_TRUE(browser->toolbarItems().empty());

    // Presented: beside the host's left buttons.
    auto presented = std::make_shared<WebViewController>();
    presented->setNavigationButtonsHidden(true);
    presented->setApplicationLeftBarButtonItems({titled("Menu")});
    presented->setApplicationBarButtonItems({titled("Save"), titled("Print")});
    h.present(presented);
    EXPECT_EQ(h.describe(*presented, presented->navigationItem()->leftBarButtonItems()), (Words{"Menu", "Save", "Print"}));
    EXPECT_EQ(h.describe(*presented, presented->navigationItem()->rightBarButtonItems()), (Words{"done"}));
    EXPECT_TRUE(presented->toolbarItems().empty());

    // Showing the buttons again makes them anew.
    presented->setNavigationButtonsHidden(false);
    EXPECT_NE(presented->backButton(), nullptr);
    EXPECT_EQ(h.describe(*presented, presented->toolbarItems()),
              (Words{"back", "|", "forward", "|", "reload", "|", "Save", "|", "Print", "|", "action"}));
}

TEST(WebViewController, TabletNavigationBarPushedAndPresented) {
    BrowserHarness h(sim::ScreenProfile::pad768x1024());
    auto pushed = std::make_shared<WebViewController>();
    pushed->setApplicationBarButtonItems({titled("Save")});
    h.push(pushed);
    EXPECT_FALSE(pushed->compactPresentation());
    EXPECT_TRUE(h.shell->navigation_->isToolbarHidden());
    EXPECT_EQ(pushed->toolbar(), nullptr);
    EXPECT_EQ(h.describe(*pushed, pushed->navigationItem()->leftBarButtonItems()), (Words{"_", "action", "_", "Save", "_"}));
    EXPECT_TRUE(pushed->navigationItem()->leftItemsSupplementBackButton());
    EXPECT_EQ(h.describe(*pushed, pushed->navigationItem()->rightBarButtonItems()),
              (Words{"reload", "_", "forward", "_", "back", "_"}));

    auto presented = std::make_shared<WebViewController>();
    presented->setApplicationBarButtonItems({titled("Save")});
    h.present(presented);
    EXPECT_EQ(h.describe(*presented, presented->navigationItem()->leftBarButtonItems()),
              (Words{"back", "_", "forward", "_", "reload", "_"}));
    EXPECT_EQ(h.describe(*presented, presented->navigationItem()->rightBarButtonItems()),
              (Words{"done", "_", "action", "_", "Save", "_"}));
}

TEST(WebViewController, TurningTheWidestPhoneSwitchesLayouts) {
    BrowserHarness h(sim::ScreenProfile::phone414x736());
    auto browser = std::make_shared<WebViewController>();
    h.push(browser);
    EXPECT_FALSE(h.shell->navigation_->isToolbarHidden());
    h.device.rotate(ui::InterfaceOrientation::LandscapeLeft);
    h.device.advance(ui::ViewController::kRotationDuration);
    EXPECT_TRUE(h.shell->navigation_->isToolbarHidden());
    EXPECT_EQ(h.describe(*browser, browser->navigationItem()->rightBarButtonItems()),
              (Words{"reload", "_", "forward", "_", "back", "_"}));
    h.device.rotate(ui::InterfaceOrientation::Portrait);
    h.device.advance(ui::ViewController::kRotationDuration);
    EXPECT_FALSE(h.shell->navigation_->isToolbarHidden());
    EXPECT_TRUE(browser->navigationItem()->rightBarButtonItems().empty());

    // Tints go to the buttons; the same colour object again changes nothing.
    auto red = ui::Color::redColor();
    browser->setButtonTintColor(red);
    EXPECT_EQ(browser->backButton()->tintColor(), red);
    browser->backButton()->setTintColor(nullptr);
    browser->setButtonTintColor(red);
    EXPECT_EQ(browser->backButton()->tintColor(), nullptr);

    browser->setButtonBevelOpacity(0.7);
    EXPECT_DOUBLE_EQ(browser->buttonThemeAttributes().find(WebViewControllerButtonBevelOpacity)->doubleValue(), 0.7);

    auto later = titled("Later");
    browser->setLoadCompletedApplicationBarButtonItems({later});
    EXPECT_FALSE(later->isEnabled()) << "no page has loaded";
}

}  // namespace
}  // namespace ql
