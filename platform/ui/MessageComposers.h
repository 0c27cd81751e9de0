#pragma once
// ui::MailComposeViewController and ui::MessageComposeViewController: the sheets in which a person writes
// a mail or a text message that an app has prepared. Nothing leaves this device: a message the person
// sends is recorded in the composer's outbox, and the delegate hears "sent" or "cancelled" as the person
// chose. Whether the device can send at all is the device's side.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Error.h"
#include "platform/ui/ViewController.h"

namespace ql::ui {

class MailComposeViewController;
class MessageComposeViewController;

enum class MailComposeResult { Cancelled = 0, Saved = 1, Sent = 2, Failed = 3 };
enum class MessageComposeResult { Cancelled = 0, Sent = 1, Failed = 2 };

class MailComposeViewControllerDelegate {
public:
    virtual ~MailComposeViewControllerDelegate() = default;
    virtual void mailComposeControllerDidFinishWithResult(MailComposeViewController&, MailComposeResult,
                                                          const std::optional<ns::Error>&) {}
};

class MessageComposeViewControllerDelegate {
public:
    virtual ~MessageComposeViewControllerDelegate() = default;
    virtual void messageComposeViewControllerDidFinishWithResult(MessageComposeViewController&, MessageComposeResult) = 0;
};

// What a person sent from a composer.
struct ComposedMessage {
    std::optional<std::string> subject;
    std::string body;
    bool bodyIsHTML = false;
};

class MailComposeViewController : public ViewController {
    QL_OBJECT_NAMED(MailComposeViewController, ViewController, "MFMailComposeViewController")
public:
    MailComposeViewController() = default;

    static bool canSendMail();
    std::weak_ptr<MailComposeViewControllerDelegate> mailComposeDelegate() const { return delegate_; }
    void setMailComposeDelegate(std::weak_ptr<MailComposeViewControllerDelegate> delegate) { delegate_ = std::move(delegate); }
    void setSubject(std::string subject) { message_.subject = std::move(subject); }
    void setMessageBody(std::string body, bool isHTML) {
        message_.body = std::move(body);
        message_.bodyIsHTML = isHTML;
    }
    const ComposedMessage& message() const { return message_; }

    // The person's side.
    void send();
    void cancel();

    // The device's side.
    static void setCanSendMail(bool can);
    static std::vector<ComposedMessage>& outbox();

private:
    std::weak_ptr<MailComposeViewControllerDelegate> delegate_;
    ComposedMessage message_;
};

class MessageComposeViewController : public ViewController {
    QL_OBJECT_NAMED(MessageComposeViewController, ViewController, "MFMessageComposeViewController")
public:
    MessageComposeViewController() = default;

    static bool canSendText();
    std::weak_ptr<MessageComposeViewControllerDelegate> messageComposeDelegate() const { return delegate_; }
    void setMessageComposeDelegate(std::weak_ptr<MessageComposeViewControllerDelegate> delegate) {
        delegate_ = std::move(delegate);
    }
    const std::string& body() const { return message_.body; }
    void setBody(std::string body) { message_.body = std::move(body); }

    // The person's side.
    void send();
    void cancel();

    // The device's side.
    static void setCanSendText(bool can);
    static std::vector<ComposedMessage>& outbox();

private:
    std::weak_ptr<MessageComposeViewControllerDelegate> delegate_;
    ComposedMessage message_;
};

}  // namespace ql::ui
