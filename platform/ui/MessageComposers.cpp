#include "platform/ui/MessageComposers.h"

#include "platform/ui/MainThread.h"

namespace ql::ui {

namespace {

// Device facts, read and changed on the main thread only.
struct Accounts {
    bool mail = true;
    bool text = true;
    std::vector<ComposedMessage> mailOutbox;
    std::vector<ComposedMessage> textOutbox;
};

Accounts& accounts() {
    assertMainThread();
    static auto* facts = new Accounts();
    return *facts;
}

}  // namespace

bool MailComposeViewController::canSendMail() { return accounts().mail; }
void MailComposeViewController::setCanSendMail(bool can) { accounts().mail = can; }
std::vector<ComposedMessage>& MailComposeViewController::outbox() { return accounts().mailOutbox; }

void MailComposeViewController::send() {
    auto self = shared_from_this();
    outbox().push_back(message_);
    if (auto delegate = delegate_.lock()) delegate->mailComposeControllerDidFinishWithResult(*this, MailComposeResult::Sent, std::nullopt);
}

void MailComposeViewController::cancel() {
    auto self = shared_from_this();
    if (auto delegate = delegate_.lock()) {
        delegate->mailComposeControllerDidFinishWithResult(*this, MailComposeResult::Cancelled, std::nullopt);
    }
}

bool MessageComposeViewController::canSendText() { return accounts().text; }
void MessageComposeViewController::setCanSendText(bool can) { accounts().text = can; }
std::vector<ComposedMessage>& MessageComposeViewController::outbox() { return accounts().textOutbox; }

void MessageComposeViewController::send() {
    auto self = shared_from_this();
    outbox().push_back(message_);
    if (auto delegate = delegate_.lock()) delegate->messageComposeViewControllerDidFinishWithResult(*this, MessageComposeResult::Sent);
}

void MessageComposeViewController::cancel() {
    auto self = shared_from_this();
    if (auto delegate = delegate_.lock()) {
        delegate->messageComposeViewControllerDidFinishWithResult(*this, MessageComposeResult::Cancelled);
    }
}

}  // namespace ql::ui
