#include <gtest/gtest.h>

#include "platform/foundation/Sandbox.h"
#include "platform/ui/ActivityViewController.h"
#include "platform/ui/Pasteboard.h"
#include "platform/ui/PopoverPresentationController.h"
#include "tests/web/browser/BrowserHarness.h"
#include "web/browser/OpenInBrowserActivity.h"

namespace ql {
namespace {

using test::BrowserHarness;

// A browser on a platform of an older generation: without presentation controllers, and also without an
// activity sheet when asked.
class OlderPlatformBrowser : public WebViewController {
public:
    explicit OlderPlatformBrowser(bool activitySheet) : WebViewController("example.test/page"), activitySheet_(activitySheet) {
        setShouldStartLoadRequestHandler([](const ns::URLRequest&, ui::WebViewNavigationType) { return false; });
    }

protected:
    SharingFacilities sharingFacilities() const override { return {false, activitySheet_, false}; }

private:
    bool activitySheet_;
};

std::vector<std::string> titles(const ui::ActionSheet& sheet) {
    std::vector<std::string> words;
    for (std::int64_t i = 0; i < sheet.numberOfButtons(); ++i) words.push_back(sheet.buttonTitleAtIndex(i));
    return words;
}

TEST(WebViewControllerSharing, ActivitySheetAnchoredAtTheActionButton) {
    BrowserHarness h(sim::ScreenProfile::phone375x667());
    auto idle = std::make_shared<WebViewController>();
    h.push(idle);
    idle->actionButtonTapped(nullptr);
    EXPECT_EQ(idle->presentedViewController(), nullptr) << "without a URL there is nothing to share";
    h.shell->navigation_->popViewControllerAnimated(false);
    h.device.runUntilIdle();

    auto browser = std::make_shared<WebViewController>("example.test/page");
    // Nothing is loaded: sharing needs only the address.
    browser->setShouldStartLoadRequestHandler([](const ns::URLRequest&, ui::WebViewNavigationType) { return false; });
    h.push(browser);
    browser->actionButton()->sendAction(nullptr);
    h.device.runUntilIdle();
    auto sheet = std::dynamic_pointer_cast<ui::ActivityViewController>(h.shell->navigation_->presentedViewController());
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(sheet->modalPresentationStyle(), ui::ModalPresentationStyle::Popover);
    EXPECT_EQ(sheet->popoverPresentationController()->barButtonItem(), browser->actionButton());
    ASSERT_EQ(sheet->activityItems().size(), 1u);
    EXPECT_EQ(ns::URL::fromValue(sheet->activityItems()[0])->absoluteString(), "http://example.test/page");
    ASSERT_EQ(sheet->applicationActivities().size(), 2u);
    EXPECT_NE(std::dynamic_pointer_cast<ActivitySafari>(sheet->applicationActivities()[0]), nullptr);
    EXPECT_NE(std::dynamic_pointer_cast<ActivityChrome>(sheet->applicationActivities()[1]), nullptr);
    // Chrome is not on the device: only the system browser is offered, and choosing it opens the page.
    ASSERT_EQ(sheet->availableActivities().size(), 1u);
    sheet->chooseActivity(sheet->availableActivities()[0]);
    h.device.runUntilIdle();
    EXPECT_EQ(h.device.application().openedURLs().back().absoluteString(), "http://example.test/page");
    EXPECT_EQ(h.shell->navigation_->presentedViewController(), nullptr);
}

TEST(WebViewControllerSharing, MenuOfItsOwnWithoutAnActivitySheet) {
    ns::TemporarySandbox sandbox;  // the general pasteboard stays this test's own
    BrowserHarness h(sim::ScreenProfile::phone320x568());
    auto browser = std::make_shared<OlderPlatformBrowser>(false);
    h.push(browser);
    browser->actionButtonTapped(nullptr);
    ASSERT_EQ(ui::ActionSheet::visibleSheets().size(), 1u);
    auto menu = ui::ActionSheet::visibleSheets().back();
    EXPECT_EQ(titles(*menu), (std::vector<std::string>{"Copy URL", "Open in Safari", "Mail", "Message", "Cancel"}));
    EXPECT_EQ(menu->cancelButtonIndex(), 4);
    EXPECT_EQ(menu->shownInView(), browser->view());
    menu->dismissWithClickedButtonIndex(4, true);
    EXPECT_EQ(h.shell->navigation_->presentedViewController(), nullptr);
    EXPECT_TRUE(ui::ActionSheet::visibleSheets().empty());

    // Copy.
    browser->actionButtonTapped(nullptr);
    ui::ActionSheet::visibleSheets().back()->dismissWithClickedButtonIndex(0, true);
    EXPECT_EQ(ui::Pasteboard::generalPasteboard()->string(), "http://example.test/page");

    // Mail: a composer with the address as a plain body; sending records it and closes the composer.
    browser->actionButtonTapped(nullptr);
    ui::ActionSheet::visibleSheets().back()->dismissWithClickedButtonIndex(2, true);
    h.device.runUntilIdle();
    auto mail = std::dynamic_pointer_cast<ui::MailComposeViewController>(h.shell->navigation_->presentedViewController());
    ASSERT_NE(mail, nullptr);
    mail->send();
    h.device.runUntilIdle();
    ASSERT_EQ(ui::MailComposeViewController::outbox().size(), 1u);
    EXPECT_EQ(ui::MailComposeViewController::outbox()[0].body, "http://example.test/page");
    EXPECT_FALSE(ui::MailComposeViewController::outbox()[0].bodyIsHTML);
    EXPECT_EQ(h.shell->navigation_->presentedViewController(), nullptr);

    // A device that sends mail but no texts, with Chrome on it.
    ui::MessageComposeViewController::setCanSendText(false);
    h.device.application().setOpenableURLSchemes({"http", "https", "googlechrome", "googlechromes"});
    browser->actionButtonTapped(nullptr);
    menu = ui::ActionSheet::visibleSheets().back();
    EXPECT_EQ(titles(*menu), (std::vector<std::string>{"Copy URL", "Open in Chrome", "Mail", "Cancel"}));
    menu->dismissWithClickedButtonIndex(9, true);
    EXPECT_TRUE(menu->isVisible()) << "a position past the last entry does nothing";
    menu->dismissWithClickedButtonIndex(3, true);

    // Messages, on a device without mail.
    ui::MessageComposeViewController::setCanSendText(true);
    ui::MailComposeViewController::setCanSendMail(false);
    browser->actionButtonTapped(nullptr);
    menu = ui::ActionSheet::visibleSheets().back();
    EXPECT_EQ(titles(*menu), (std::vector<std::string>{"Copy URL", "Open in Chrome", "Message", "Cancel"}));
    menu->dismissWithClickedButtonIndex(2, true);
    h.device.runUntilIdle();
    auto text = std::dynamic_pointer_cast<ui::MessageComposeViewController>(h.shell->navigation_->presentedViewController());
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->body(), "http://example.test/page");
    text->cancel();
    h.device.runUntilIdle();
    EXPECT_TRUE(ui::MessageComposeViewController::outbox().empty());
    EXPECT_EQ(h.shell->navigation_->presentedViewController(), nullptr);
}

TEST(WebViewControllerSharing, TabletPopoversAndMenu) {
    BrowserHarness h(sim::ScreenProfile::pad768x1024());
    auto withSheet = std::make_shared<OlderPlatformBrowser>(true);
    h.push(withSheet);
    withSheet->actionButtonTapped(nullptr);
    auto first = withSheet->sharingPopoverController();
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->isPopoverVisible());
    EXPECT_EQ(first->barButtonItem(), withSheet->actionButton());
    EXPECT_NE(std::dynamic_pointer_cast<ui::ActivityViewController>(first->contentViewController()), nullptr);
    // A second tap replaces the open popover with a new one.
    withSheet->actionButtonTapped(nullptr);
    EXPECT_NE(withSheet->sharingPopoverController(), first);
    EXPECT_FALSE(first->isPopoverVisible());
    withSheet->sharingPopoverController()->touchOutside();
    EXPECT_EQ(withSheet->sharingPopoverController(), nullptr);
    h.shell->navigation_->popViewControllerAnimated(false);
    h.device.runUntilIdle();

    // The menu of a wide screen has no cancel entry and points at the action button.
    auto withMenu = std::make_shared<OlderPlatformBrowser>(false);
    h.push(withMenu);
    withMenu->actionButtonTapped(nullptr);
    auto menu = ui::ActionSheet::visibleSheets().back();
    EXPECT_EQ(titles(*menu), (std::vector<std::string>{"Copy URL", "Open in Safari", "Mail", "Message"}));
    EXPECT_EQ(menu->cancelButtonIndex(), -1);
    EXPECT_EQ(menu->shownFromBarButtonItem(), withMenu->actionButton());
    menu->dismissWithClickedButtonIndex(0, true);
}

}  // namespace
}  // namespace ql
