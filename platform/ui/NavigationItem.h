#pragma once
// ui::NavigationItem: what a navigation bar shows for one controller: a title or title view, bar button
// items on the left and right, the back button for the controller above it. The bar that shows the item
// is told when it changes.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Object.h"

namespace ql::ui {

class BarButtonItem;
class View;

class NavigationItem : public ns::Object {
    QL_OBJECT_NAMED(NavigationItem, ns::Object, "UINavigationItem")
public:
    NavigationItem() = default;
    explicit NavigationItem(std::optional<std::string> title) : title_(std::move(title)) {}

    const std::optional<std::string>& title() const { return title_; }
    void setTitle(std::optional<std::string> title);
    const std::shared_ptr<View>& titleView() const { return titleView_; }
    void setTitleView(std::shared_ptr<View> view);
    const std::optional<std::string>& prompt() const { return prompt_; }
    void setPrompt(std::optional<std::string> prompt);

    std::shared_ptr<BarButtonItem> leftBarButtonItem() const;
    void setLeftBarButtonItem(std::shared_ptr<BarButtonItem> item, bool animated = false);
    const std::vector<std::shared_ptr<BarButtonItem>>& leftBarButtonItems() const { return left_; }
    void setLeftBarButtonItems(std::vector<std::shared_ptr<BarButtonItem>> items, bool animated = false);
    std::shared_ptr<BarButtonItem> rightBarButtonItem() const;
    void setRightBarButtonItem(std::shared_ptr<BarButtonItem> item, bool animated = false);
    const std::vector<std::shared_ptr<BarButtonItem>>& rightBarButtonItems() const { return right_; }
    void setRightBarButtonItems(std::vector<std::shared_ptr<BarButtonItem>> items, bool animated = false);
    // The item shown as the back button of the next item pushed above this one.
    const std::shared_ptr<BarButtonItem>& backBarButtonItem() const { return back_; }
    void setBackBarButtonItem(std::shared_ptr<BarButtonItem> item);
    bool hidesBackButton() const { return hidesBackButton_; }
    void setHidesBackButton(bool hides, bool animated = false);
    bool leftItemsSupplementBackButton() const { return supplementBack_; }
    void setLeftItemsSupplementBackButton(bool supplements);

    void setChangeHandler(std::function<void()> handler) { changed_ = std::move(handler); }

private:
    void changed() {
        if (changed_) changed_();
    }

    std::optional<std::string> title_;
    std::shared_ptr<View> titleView_;
    std::optional<std::string> prompt_;
    std::vector<std::shared_ptr<BarButtonItem>> left_;
    std::vector<std::shared_ptr<BarButtonItem>> right_;
    std::shared_ptr<BarButtonItem> back_;
    bool hidesBackButton_ = false;
    bool supplementBack_ = false;
    std::function<void()> changed_;
};

}  // namespace ql::ui
