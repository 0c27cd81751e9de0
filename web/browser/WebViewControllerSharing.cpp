// WebViewController's action button: the page's address offered to the rest of the device, through the
// activity sheet with the open-in-browser activities, or, on a platform without one, through a menu of the
// browser's own (copy, open elsewhere, mail, message).

#include "platform/foundation/Bundle.h"
#include "platform/foundation/Class.h"
#include "platform/ui/ActivityViewController.h"
#include "platform/ui/Application.h"
#include "platform/ui/Device.h"
#include "platform/ui/Pasteboard.h"
#include "platform/ui/PopoverPresentationController.h"
#include "web/browser/OpenInBrowserActivity.h"
#include "web/browser/WebViewController.h"

namespace ql {

namespace {

std::string localized(std::string_view key) { return ns::Bundle::main().localizedString(key, "", WebViewControllerLocalizable); }

}  // namespace

WebViewController::SharingFacilities WebViewController::sharingFacilities() const {
    return {ns::Class::named("UIPresentationController") != nullptr, ns::Class::named("UIActivityViewController") != nullptr,
            ns::Class::named("TWTweetComposeViewController") != nullptr};
}

void WebViewController::actionButtonTapped(ns::Object*) {
    if (!url_) return;
    const SharingFacilities facilities = sharingFacilities();
    if (facilities.presentationControllers || facilities.activitySheet) presentActivitySheet();
    else showSharingMenu();
}

void WebViewController::presentActivitySheet() {
    auto sheet = std::make_shared<ui::ActivityViewController>(
        std::vector<ns::Value>{url_->boxed()},
        std::vector<std::shared_ptr<ui::Activity>>{std::make_shared<ActivitySafari>(), std::make_shared<ActivityChrome>()});
    if (sharingFacilities().presentationControllers) {
        sheet->setModalPresentationStyle(ui::ModalPresentationStyle::Popover);
        sheet->popoverPresentationController()->setBarButtonItem(actionButton_);
        presentViewController(sheet, true);
        return;
    }
    if (ui::Device::currentDevice().userInterfaceIdiom() != ui::UserInterfaceIdiom::Phone) {
        if (sharingPopoverController_) {
            sharingPopoverController_->dismissPopoverAnimated(false);
            sharingPopoverController_.reset();
        }
        sharingPopoverController_ = std::make_shared<ui::PopoverController>(sheet);
        sharingPopoverController_->setDelegate(std::static_pointer_cast<WebViewController>(shared_from_this()));
        sharingPopoverController_->presentPopoverFromBarButtonItem(actionButton_, ui::PopoverArrowDirectionAny, true);
        return;
    }
    presentViewController(sheet, true);
}

void WebViewController::showSharingMenu() {
    const bool compact = compactPresentation();
    auto self = std::static_pointer_cast<WebViewController>(shared_from_this());
    auto menu = std::make_shared<ui::ActionSheet>(std::nullopt, self, std::nullopt, std::nullopt);
    menuEntries_.clear();
    const auto add = [&](std::string_view key, MenuEntry entry) {
        menu->addButtonWithTitle(localized(key));
        menuEntries_.push_back(entry);
    };
    add("Copy URL", MenuEntry::CopyURL);
    add(ActivityChrome::chromeIsInstalled() ? "Open in Chrome" : "Open in Safari", MenuEntry::OpenInBrowser);
    if (ui::MailComposeViewController::canSendMail()) add("Mail", MenuEntry::Mail);
    if (ui::MessageComposeViewController::canSendText()) add("Message", MenuEntry::Message);
    // No tweet composer exists on this platform, so the menu never offers one.
    if (compact) {
        add("Cancel", MenuEntry::Cancel);
        menu->setCancelButtonIndex(menu->numberOfButtons() - 1);
        menu->showInView(view());
    } else {
        menu->showFromBarButtonItem(actionButton_, true);
    }
}

void WebViewController::actionSheetClickedButtonAtIndex(ui::ActionSheet&, std::int64_t buttonIndex) {
    if (buttonIndex < 0 || static_cast<std::size_t>(buttonIndex) >= menuEntries_.size()) return;
    switch (menuEntries_[static_cast<std::size_t>(buttonIndex)]) {
        case MenuEntry::CopyURL: copyURLToClipboard(); break;
        case MenuEntry::OpenInBrowser: openInBrowser(); break;
        case MenuEntry::Mail: openMailDialog(); break;
        case MenuEntry::Message: openMessageDialog(); break;
        case MenuEntry::Cancel: break;
    }
}

void WebViewController::popoverControllerDidDismissPopover(ui::PopoverController&) { sharingPopoverController_.reset(); }

void WebViewController::copyURLToClipboard() {
    if (url_) ui::Pasteboard::generalPasteboard()->setString(url_->absoluteString());
}

void WebViewController::openInBrowser() {
    // The page on screen, which may differ from the one first asked for.
    const auto& shown = webView_ ? webView_->request() : std::nullopt;
    if (!shown || !shown->URL()) return;
    const ns::URL& page = *shown->URL();
    std::optional<ns::URL> target = page;
    if (ActivityChrome::chromeIsInstalled()) {
        if (auto chrome = ActivityChrome::chromeURL(page)) target = chrome;
    }
    ui::Application::sharedApplication().openURL(*target);
}

void WebViewController::openMailDialog() {
    if (!url_) return;
    auto mail = std::make_shared<ui::MailComposeViewController>();
    mail->setMailComposeDelegate(std::static_pointer_cast<WebViewController>(shared_from_this()));
    mail->setMessageBody(url_->absoluteString(), false);
    presentViewController(mail, true);
}

void WebViewController::openMessageDialog() {
    if (!url_) return;
    auto message = std::make_shared<ui::MessageComposeViewController>();
    message->setMessageComposeDelegate(std::static_pointer_cast<WebViewController>(shared_from_this()));
    message->setBody(url_->absoluteString());
    presentViewController(message, true);
}

void WebViewController::mailComposeControllerDidFinishWithResult(ui::MailComposeViewController&, ui::MailComposeResult,
                                                                 const std::optional<ns::Error>&) {
    dismissViewControllerAnimated(true);
}

void WebViewController::messageComposeViewControllerDidFinishWithResult(ui::MessageComposeViewController&,
                                                                        ui::MessageComposeResult) {
    dismissViewControllerAnimated(true);
}

}  // namespace ql
