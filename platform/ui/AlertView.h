#pragma once
// ui::AlertView: a modal message with a title, a text and buttons. A shown alert stays listed among the
// visible alerts until one of its buttons dismisses it; its delegate hears which button it was. It shows in
// a window of its own above the app's, dimming the screen behind it: its texts and buttons are views a
// finger (or the headless device) can find and tap. An alert with a text field makes its window the key
// window while it shows, the field taking the keyboard.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui/View.h"

namespace ql::ui {

class AlertView;
class Button;
class Label;
class TextField;
class Window;

enum class AlertViewStyle { Default = 0, PlainTextInput = 2 };

class AlertViewDelegate {
public:
    virtual ~AlertViewDelegate() = default;
    virtual void alertViewClickedButtonAtIndex(AlertView& alertView, std::int64_t buttonIndex) = 0;
};

class AlertView : public View {
    QL_OBJECT_NAMED(AlertView, View, "UIAlertView")
public:
    // The cancel button, when titled, comes first; the other buttons follow in order.
    AlertView(std::string title, std::string message, std::weak_ptr<AlertViewDelegate> delegate,
              std::optional<std::string> cancelButtonTitle, const std::vector<std::string>& otherButtonTitles = {});

    const std::string& title() const { return title_; }
    void setTitle(std::string title) { title_ = std::move(title); }
    const std::string& message() const { return message_; }
    void setMessage(std::string message) { message_ = std::move(message); }
    std::weak_ptr<AlertViewDelegate> delegate() const { return delegate_; }

    // The new button's index.
    std::int64_t addButtonWithTitle(std::string title);
    std::int64_t numberOfButtons() const { return static_cast<std::int64_t>(buttonTitles_.size()); }
    // Empty for an index out of range.
    std::string buttonTitleAtIndex(std::int64_t index) const;
    // -1 without a cancel button.
    std::int64_t cancelButtonIndex() const { return cancelButtonIndex_; }

    AlertViewStyle alertViewStyle() const { return style_; }
    // Set before showing: the plain text input style adds a text field under the message.
    void setAlertViewStyle(AlertViewStyle style);
    // The style's text field (index 0); null for the default style or another index.
    std::shared_ptr<TextField> textFieldAtIndex(std::int64_t index) const;

    void show();
    bool isVisible() const;
    // Tells the delegate, then takes the alert off the screen. An index out of range is ignored.
    void dismissWithClickedButtonIndex(std::int64_t buttonIndex, bool animated);

    // The alerts shown and not yet dismissed, oldest first.
    static std::vector<std::shared_ptr<AlertView>> visibleAlerts();

    void layoutSubviews() override;

private:
    // The content's parts at a width, each as tall as it would like to be.
    struct Heights {
        double title = 0, message = 0, field = 0, buttons = 0;
        double total() const;
    };
    Heights heights(double width) const;
    void buttonTapped(ns::Object* sender);
    void buildContent();

    std::string title_;
    std::string message_;
    std::weak_ptr<AlertViewDelegate> delegate_;
    std::vector<std::string> buttonTitles_;
    std::int64_t cancelButtonIndex_ = -1;
    AlertViewStyle style_ = AlertViewStyle::Default;
    std::shared_ptr<TextField> field_;
    std::shared_ptr<Label> titleLabel_;
    std::shared_ptr<Label> messageLabel_;
    std::vector<std::shared_ptr<Button>> buttons_;
    std::shared_ptr<Window> window_;  // while shown
};

}  // namespace ql::ui
