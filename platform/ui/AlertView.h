#pragma once
// ui::AlertView: a modal message with a title, a text and buttons. A shown alert stays listed among the
// visible alerts until one of its buttons dismisses it; its delegate hears which button it was.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui/View.h"

namespace ql::ui {

class AlertView;

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

    void show();
    bool isVisible() const;
    // Tells the delegate, then takes the alert off the screen. An index out of range is ignored.
    void dismissWithClickedButtonIndex(std::int64_t buttonIndex, bool animated);

    // The alerts shown and not yet dismissed, oldest first.
    static std::vector<std::shared_ptr<AlertView>> visibleAlerts();

private:
    std::string title_;
    std::string message_;
    std::weak_ptr<AlertViewDelegate> delegate_;
    std::vector<std::string> buttonTitles_;
    std::int64_t cancelButtonIndex_ = -1;
};

}  // namespace ql::ui
