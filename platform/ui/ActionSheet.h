#pragma once
// ui::ActionSheet: a menu of buttons that slides up from the bottom of a view, or shows in a popover at a
// bar button item. A shown sheet stays listed among the visible sheets until one of its buttons dismisses
// it; its delegate hears which button it was.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui/View.h"

namespace ql::ui {

class ActionSheet;
class BarButtonItem;

class ActionSheetDelegate {
public:
    virtual ~ActionSheetDelegate() = default;
    virtual void actionSheetClickedButtonAtIndex(ActionSheet& actionSheet, std::int64_t buttonIndex) = 0;
};

class ActionSheet : public View {
    QL_OBJECT_NAMED(ActionSheet, View, "UIActionSheet")
public:
    // The destructive button, when titled, comes first, then the other buttons in order, then the cancel
    // button.
    ActionSheet(std::optional<std::string> title, std::weak_ptr<ActionSheetDelegate> delegate,
                std::optional<std::string> cancelButtonTitle, std::optional<std::string> destructiveButtonTitle,
                const std::vector<std::string>& otherButtonTitles = {});

    const std::optional<std::string>& title() const { return title_; }
    std::weak_ptr<ActionSheetDelegate> delegate() const { return delegate_; }

    // The new button's index.
    std::int64_t addButtonWithTitle(std::string title);
    std::int64_t numberOfButtons() const { return static_cast<std::int64_t>(buttonTitles_.size()); }
    // Empty for an index out of range.
    std::string buttonTitleAtIndex(std::int64_t index) const;
    // -1 without one.
    std::int64_t cancelButtonIndex() const { return cancelButtonIndex_; }
    void setCancelButtonIndex(std::int64_t index) { cancelButtonIndex_ = index; }
    std::int64_t destructiveButtonIndex() const { return destructiveButtonIndex_; }

    void showInView(const std::shared_ptr<View>& view);
    void showFromBarButtonItem(const std::shared_ptr<BarButtonItem>& item, bool animated);
    bool isVisible() const;
    // Where it shows: the view it slid up from, or the item its popover points at.
    std::shared_ptr<View> shownInView() const { return shownIn_.lock(); }
    std::shared_ptr<BarButtonItem> shownFromBarButtonItem() const { return shownFrom_.lock(); }
    // Tells the delegate, then takes the sheet off the screen. An index out of range is ignored.
    void dismissWithClickedButtonIndex(std::int64_t buttonIndex, bool animated);

    // The sheets shown and not yet dismissed, oldest first.
    static std::vector<std::shared_ptr<ActionSheet>> visibleSheets();

private:
    void show();

    std::optional<std::string> title_;
    std::weak_ptr<ActionSheetDelegate> delegate_;
    std::vector<std::string> buttonTitles_;
    std::int64_t cancelButtonIndex_ = -1;
    std::int64_t destructiveButtonIndex_ = -1;
    std::weak_ptr<View> shownIn_;
    std::weak_ptr<BarButtonItem> shownFrom_;
};

}  // namespace ql::ui
