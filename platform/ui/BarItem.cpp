#include "platform/ui/BarItem.h"

namespace ql::ui {

void BarItem::setTitle(std::optional<std::string> title) {
    title_ = std::move(title);
    itemChanged();
}

void BarItem::setImage(std::shared_ptr<Image> image) {
    image_ = std::move(image);
    itemChanged();
}

void BarItem::setEnabled(bool enabled) {
    if (enabled_ == enabled) return;
    enabled_ = enabled;
    itemChanged();
}

void BarItem::setAccessibilityLabel(std::optional<std::string> label) {
    accessibilityLabel_ = std::move(label);
    itemChanged();
}

void BarItem::setImageInsets(const cg::EdgeInsets& insets) {
    imageInsets_ = insets;
    itemChanged();
}

void BarItem::setTitleTextAttributes(ns::Dictionary attributes, unsigned state) {
    titleTextAttributes_[state] = std::move(attributes);
    itemChanged();
}

ns::Dictionary BarItem::titleTextAttributesForState(unsigned state) const {
    if (auto found = titleTextAttributes_.find(state); found != titleTextAttributes_.end()) return found->second;
    if (auto normal = titleTextAttributes_.find(0); normal != titleTextAttributes_.end()) return normal->second;
    return {};
}

}  // namespace ql::ui
