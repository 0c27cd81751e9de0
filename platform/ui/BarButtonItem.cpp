#include "platform/ui/BarButtonItem.h"

#include <cmath>

#include "platform/ui/Application.h"
#include "platform/ui/Button.h"
#include "platform/ui/Color.h"
#include "platform/ui/Font.h"
#include "platform/ui/Label.h"
#include "platform/ui/SystemItemPictograms.h"
#include "platform/ui/View.h"

namespace ql::ui {

BarButtonItem::BarButtonItem(std::optional<std::string> title, BarButtonItemStyle style,
                             std::weak_ptr<ns::Object> target, Action action)
    : style_(style), target_(std::move(target)), action_(std::move(action)) {
    setTitle(std::move(title));
}

BarButtonItem::BarButtonItem(std::shared_ptr<Image> image, BarButtonItemStyle style, std::weak_ptr<ns::Object> target,
                             Action action)
    : style_(style), target_(std::move(target)), action_(std::move(action)) {
    setImage(std::move(image));
}

BarButtonItem::BarButtonItem(BarButtonSystemItem systemItem, std::weak_ptr<ns::Object> target, Action action)
    : target_(std::move(target)), action_(std::move(action)), systemItem_(systemItem) {
    if (systemItem == BarButtonSystemItem::Done) style_ = BarButtonItemStyle::Done;
    const std::string words = titleOfSystemItem(systemItem);
    if (!words.empty()) setTitle(words);
    if (auto pictogram = pictogramOfSystemItem(systemItem)) setImage(std::move(pictogram));
}

BarButtonItem::BarButtonItem(std::shared_ptr<View> customView) : customView_(std::move(customView)) {}

void BarButtonItem::setStyle(BarButtonItemStyle style) {
    style_ = style;
    itemChanged();
}

void BarButtonItem::setWidth(double width) {
    width_ = width;
    itemChanged();
}

void BarButtonItem::setCustomView(std::shared_ptr<View> view) {
    customView_ = std::move(view);
    itemChanged();
}

void BarButtonItem::setTintColor(std::shared_ptr<Color> color) {
    tintColor_ = std::move(color);
    itemChanged();
}

std::string BarButtonItem::titleOfSystemItem(BarButtonSystemItem item) {
    switch (item) {
        case BarButtonSystemItem::Done: return "Done";
        case BarButtonSystemItem::Cancel: return "Cancel";
        case BarButtonSystemItem::Edit: return "Edit";
        case BarButtonSystemItem::Save: return "Save";
        case BarButtonSystemItem::Undo: return "Undo";
        case BarButtonSystemItem::Redo: return "Redo";
        case BarButtonSystemItem::Add: return "+";
        default: return {};
    }
}

void BarButtonItem::sendAction(Event* event) {
    if (!action_ || !isEnabled()) return;
    auto keep = shared_from_this();
    Application::sharedApplication().sendAction(action_, target_.lock().get(), this, event);
}

std::shared_ptr<View> BarButtonItem::makeBarView(const std::shared_ptr<Color>& tint) {
    if (customView_) return customView_;
    if (isFlexibleSpace() || isFixedSpace()) return nullptr;
    auto button = Button::buttonWithType(ButtonType::System);
    if (tintColor_ || tint) button->setTintColor(tintColor_ ? tintColor_ : tint);
    button->setTitle(title(), ControlStateNormal);
    button->setImage(image(), ControlStateNormal);
    button->setImageEdgeInsets(imageInsets());
    button->setAccessibilityLabel(accessibilityLabel());
    if (style_ == BarButtonItemStyle::Done) button->titleLabel()->setFont(Font::boldSystemFontOfSize(17));
    else button->titleLabel()->setFont(Font::systemFontOfSize(17));
    button->setEnabled(isEnabled());
    button->setTag(tag());
    button->addTarget(std::static_pointer_cast<BarButtonItem>(shared_from_this()), Action(&BarButtonItem::buttonTapped),
                      ControlEventTouchUpInside);
    cg::Size size = button->sizeThatFits({0, 0});
    size.width = width_ > 0 ? width_ : std::max(size.width, 30.0);
    size.height = std::max(size.height, 30.0);
    button->setFrame({{0, 0}, size});
    return button;
}

}  // namespace ql::ui
