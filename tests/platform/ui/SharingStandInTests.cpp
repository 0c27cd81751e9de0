#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/foundation/Sandbox.h"
#include "platform/device/Device.h"
#include "platform/foundation/Exception.h"
#include "platform/ui/ActionSheet.h"
#include "platform/ui/ActivityViewController.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/MessageComposers.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Pasteboard.h"
#include "platform/ui/PopoverController.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Window.h"
#include "tests/support/WindowShell.h"

namespace ql {
namespace {

// A controller that notes the trait changes it hears.
class TraitWatcher : public ui::ViewController {
public:
    std::vector<std::string> heard;
    void willTransitionToTraitCollection(const ui::TraitCollection& traits) override {
        heard.push_back(traits.horizontalSizeClass == ui::UserInterfaceSizeClass::Regular ? "will regular" : "will compact");
    }
    void traitCollectionDidChange(const std::optional<ui::TraitCollection>& previous) override {
        heard.push_back(previous && previous->horizontalSizeClass == ui::UserInterfaceSizeClass::Compact ? "did from compact"
                                                                                                           : "did from regular");
    }
};

class OpenActivity : public ui::Activity {
public:
    bool canPerformWithActivityItems(const std::vector<ns::Value>& items) override { return !items.empty(); }
    std::optional<std::string> activityType() const override { return "test.open"; }
    void performActivity() override { activityDidFinish(true); }
};

TEST(SharingStandIns, URLsOpenOnlyWhereAnAppTakesTheScheme) {
    ns::TemporarySandbox sandbox;  // the general pasteboard stays this test's own
    sim::Device device;
    ui::Application& app = device.application();
    const auto chrome = *ns::URL::fromString("googlechrome://example.test/");
    EXPECT_TRUE(app.canOpenURL(*ns::URL::fromString("HTTPS://example.test/")));
    EXPECT_FALSE(app.canOpenURL(chrome));
    const auto opened = app.openedURLs().size();
    EXPECT_FALSE(app.openURL(chrome));
    EXPECT_EQ(app.openedURLs().size(), opened);
    app.setOpenableURLSchemes({"googlechrome"});
    EXPECT_TRUE(app.openURL(chrome));
    EXPECT_EQ(app.openedURLs().back(), chrome);

    ui::Pasteboard::generalPasteboard()->setString("copied");
    EXPECT_EQ(ui::Pasteboard::generalPasteboard()->string(), "copied");
}

TEST(SharingStandIns, ActivitySheetOffersPerformsAndGoesAway) {
    sim::Device device;
    device.boot([] { return std::make_shared<test::WindowShell>(); });
    auto root = device.keyWindow()->rootViewController();
    auto refusing = std::make_shared<ui::Activity>();
    auto open = std::make_shared<OpenActivity>();
    auto sheet = std::make_shared<ui::ActivityViewController>(
        std::vector<ns::Value>{ns::URL::fromString("http://example.test/")->boxed()},
        std::vector<std::shared_ptr<ui::Activity>>{refusing, open});
    EXPECT_EQ(sheet->availableActivities(), (std::vector<std::shared_ptr<ui::Activity>>{open}));
    std::vector<std::string> results;
    sheet->setCompletionHandler([&](const std::optional<std::string>& type, bool completed) {
        results.push_back(type.value_or("none") + (completed ? " done" : " not done"));
    });
    sheet->setModalPresentationStyle(ui::ModalPresentationStyle::Popover);
    auto button = std::make_shared<ui::BarButtonItem>(ui::BarButtonSystemItem::Action, std::weak_ptr<ns::Object>(), ui::Action());
    sheet->popoverPresentationController()->setBarButtonItem(button);
    root->presentViewController(sheet, true);
    device.advance(1);
    EXPECT_EQ(sheet->popoverPresentationController()->barButtonItem(), button);
    EXPECT_THROW(sheet->chooseActivity(refusing), ns::Exception);
    sheet->chooseActivity(open);
    device.advance(1);
    EXPECT_EQ(root->presentedViewController(), nullptr);
    root->presentViewController(sheet, false);
    sheet->cancel();
    EXPECT_EQ(results, (std::vector<std::string>{"test.open done", "none not done"}));

    auto plain = std::make_shared<ui::ViewController>();
    EXPECT_EQ(plain->popoverPresentationController(), nullptr);
}

struct SheetRecorder : ui::ActionSheetDelegate, ui::PopoverControllerDelegate, ui::MailComposeViewControllerDelegate,
                       ui::MessageComposeViewControllerDelegate {
    std::vector<std::string> heard;
    void actionSheetClickedButtonAtIndex(ui::ActionSheet& sheet, std::int64_t index) override {
        heard.push_back("sheet " + sheet.buttonTitleAtIndex(index));
    }
    void popoverControllerDidDismissPopover(ui::PopoverController&) override { heard.push_back("popover gone"); }
    void mailComposeControllerDidFinishWithResult(ui::MailComposeViewController&, ui::MailComposeResult result,
                                                  const std::optional<ns::Error>&) override {
        heard.push_back(result == ui::MailComposeResult::Sent ? "mail sent" : "mail cancelled");
    }
    void messageComposeViewControllerDidFinishWithResult(ui::MessageComposeViewController&, ui::MessageComposeResult result) override {
        heard.push_back(result == ui::MessageComposeResult::Sent ? "text sent" : "text cancelled");
    }
};

TEST(SharingStandIns, ActionSheetPopoverAndComposers) {
    sim::Device device;
    device.boot([] { return std::make_shared<test::WindowShell>(); });
    auto recorder = std::make_shared<SheetRecorder>();
    auto sheet = std::make_shared<ui::ActionSheet>(std::nullopt, recorder, "Cancel", std::nullopt,
                                                   std::vector<std::string>{"Copy"});
    sheet->addButtonWithTitle("Mail");
    EXPECT_EQ(sheet->buttonTitleAtIndex(1), "Cancel");
    EXPECT_EQ(sheet->cancelButtonIndex(), 1);
    sheet->showInView(device.keyWindow()->rootViewController()->view());
    EXPECT_EQ(ui::ActionSheet::visibleSheets().size(), 1u);
    sheet->dismissWithClickedButtonIndex(7, true);
    EXPECT_TRUE(sheet->isVisible());
    sheet->dismissWithClickedButtonIndex(2, true);
    EXPECT_FALSE(sheet->isVisible());

    auto popover = std::make_shared<ui::PopoverController>(std::make_shared<ui::ViewController>());
    popover->setDelegate(recorder);
    auto item = std::make_shared<ui::BarButtonItem>(ui::BarButtonSystemItem::Action, std::weak_ptr<ns::Object>(), ui::Action());
    popover->presentPopoverFromBarButtonItem(item, ui::PopoverArrowDirectionAny, true);
    EXPECT_TRUE(popover->isPopoverVisible());
    popover->dismissPopoverAnimated(false);  // in code: the delegate is not told
    popover->presentPopoverFromBarButtonItem(item, ui::PopoverArrowDirectionAny, true);
    popover->touchOutside();
    EXPECT_FALSE(popover->isPopoverVisible());

    auto mail = std::make_shared<ui::MailComposeViewController>();
    mail->setMailComposeDelegate(recorder);
    mail->setMessageBody("http://example.test/", false);
    mail->cancel();
    mail->send();
    ASSERT_EQ(ui::MailComposeViewController::outbox().size(), 1u);
    EXPECT_EQ(ui::MailComposeViewController::outbox()[0].body, "http://example.test/");
    auto text = std::make_shared<ui::MessageComposeViewController>();
    text->setMessageComposeDelegate(recorder);
    text->setBody("hello");
    text->send();
    EXPECT_EQ(ui::MessageComposeViewController::outbox().back().body, "hello");
    ui::MessageComposeViewController::setCanSendText(false);
    EXPECT_FALSE(ui::MessageComposeViewController::canSendText());
    EXPECT_TRUE(ui::MailComposeViewController::canSendMail());
    EXPECT_EQ(recorder->heard, (std::vector<std::string>{"sheet Mail", "popover gone", "mail cancelled", "mail sent", "text sent"}));
}

TEST(SharingStandIns, NavigationToolbarAndSizeClasses) {
    sim::Device device(sim::ScreenProfile::phone414x736());
    auto watcher = std::make_shared<TraitWatcher>();
    device.boot([&] { return std::make_shared<test::WindowShell>(std::make_shared<ui::NavigationController>(watcher)); });
    auto navigation = watcher->navigationController();
    ASSERT_NE(navigation, nullptr);
    EXPECT_TRUE(navigation->isToolbarHidden());
    auto item = std::make_shared<ui::BarButtonItem>("Go", ui::BarButtonItemStyle::Plain, std::weak_ptr<ns::Object>(), ui::Action());
    watcher->setToolbarItems({item});
    navigation->setToolbarHidden(false);
    device.runUntilIdle();
    EXPECT_EQ(navigation->toolbar()->items(), watcher->toolbarItems());
    EXPECT_EQ(navigation->toolbar()->frame(), (cg::Rect{0, 736 - 44, 414, 44}));

    // A pushed controller without items empties the bar; popping brings the items back.
    navigation->pushViewController(std::make_shared<ui::ViewController>(), false);
    EXPECT_TRUE(navigation->toolbar()->items().empty());
    navigation->popViewControllerAnimated(false);
    EXPECT_EQ(navigation->toolbar()->items().size(), 1u);

    EXPECT_EQ(watcher->traitCollection().horizontalSizeClass, ui::UserInterfaceSizeClass::Compact);
    device.rotate(ui::InterfaceOrientation::LandscapeLeft);
    EXPECT_EQ(watcher->traitCollection().horizontalSizeClass, ui::UserInterfaceSizeClass::Regular);
    device.rotate(ui::InterfaceOrientation::LandscapeRight);  // no change of size classes: nothing heard
    device.rotate(ui::InterfaceOrientation::Portrait);
    EXPECT_EQ(watcher->heard, (std::vector<std::string>{"will regular", "did from compact", "will compact", "did from regular"}));

    EXPECT_EQ(ui::TraitCollection::forScreen({667, 375}, ui::UserInterfaceIdiom::Phone).horizontalSizeClass,
              ui::UserInterfaceSizeClass::Compact);
    EXPECT_EQ(ui::TraitCollection::forScreen({768, 1024}, ui::UserInterfaceIdiom::Pad).horizontalSizeClass,
              ui::UserInterfaceSizeClass::Regular);
}

}  // namespace
}  // namespace ql
