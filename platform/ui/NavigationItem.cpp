#include "platform/ui/NavigationItem.h"

#include "platform/ui/BarButtonItem.h"

namespace ql::ui {

void NavigationItem::setTitle(std::optional<std::string> title) {
    title_ = std::move(title);
    changed();
}

void NavigationItem::setTitleView(std::shared_ptr<View> view) {
    titleView_ = std::move(view);
    changed();
}

void NavigationItem::setPrompt(std::optional<std::string> prompt) {
    prompt_ = std::move(prompt);
    changed();
}

std::shared_ptr<BarButtonItem> NavigationItem::leftBarButtonItem() const { return left_.empty() ? nullptr : left_.front(); }

void NavigationItem::setLeftBarButtonItem(std::shared_ptr<BarButtonItem> item, bool animated) {
    std::vector<std::shared_ptr<BarButtonItem>> items;
    if (item) items.push_back(std::move(item));
    setLeftBarButtonItems(std::move(items), animated);
}

void NavigationItem::setLeftBarButtonItems(std::vector<std::shared_ptr<BarButtonItem>> items, bool) {
    left_ = std::move(items);
    changed();
}

std::shared_ptr<BarButtonItem> NavigationItem::rightBarButtonItem() const {
    return right_.empty() ? nullptr : right_.front();
}

void NavigationItem::setRightBarButtonItem(std::shared_ptr<BarButtonItem> item, bool animated) {
    std::vector<std::shared_ptr<BarButtonItem>> items;
    if (item) items.push_back(std::move(item));
    setRightBarButtonItems(std::move(items), animated);
}

void NavigationItem::setRightBarButtonItems(std::vector<std::shared_ptr<BarButtonItem>> items, bool) {
    right_ = std::move(items);
    changed();
}

void NavigationItem::setBackBarButtonItem(std::shared_ptr<BarButtonItem> item) {
    back_ = std::move(item);
    changed();
}

void NavigationItem::setHidesBackButton(bool hides, bool) {
    hidesBackButton_ = hides;
    changed();
}

void NavigationItem::setLeftItemsSupplementBackButton(bool supplements) {
    supplementBack_ = supplements;
    changed();
}

}  // namespace ql::ui
