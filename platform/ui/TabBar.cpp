#include "platform/ui/TabBar.h"

#include <algorithm>
#include <cmath>

#include "platform/ui/BarItemWatch.h"
#include "platform/ui/Color.h"
#include "platform/ui/Control.h"
#include "platform/ui/Font.h"
#include "platform/ui/GraphicsContext.h"
#include "platform/ui/Image.h"
#include "platform/ui/StringDrawing.h"
#include "platform/ui/TabBarItem.h"
#include "platform/ui/TextTypes.h"

namespace ql::ui {

namespace {

// One tab: its image above its title, tinted while selected, with the badge at the top right.
class TabBarButton final : public Control {
    QL_OBJECT_NAMED(TabBarButton, Control, "UITabBarButton")
public:
    TabBarButton(std::shared_ptr<TabBarItem> item) : item_(std::move(item)) {
        setOpaque(false);
        setContentMode(ContentMode::Redraw);
    }

    const std::shared_ptr<TabBarItem>& item() const { return item_; }

    void drawRect(const cg::Rect&) override {
        cg::Context* context = GraphicsGetCurrentContext();
        if (!context) return;
        const cg::Rect b = bounds();
        const cg::Color color = isSelected() ? tintColor()->CGColor() : cg::Color::gray(0.57, 1);
        auto image = isSelected() && item_->selectedImage() ? item_->selectedImage() : item_->image();
        if (image) {
            const cg::Size s = image->size();
            const cg::Rect rect{(b.size.width - s.width) / 2, 4, s.width, s.height};
            if (isSelected() && item_->selectedImage()) {
                image->drawInRect(rect);
            } else {
                // The image's shape in the tab's colour.
                context->saveGState();
                context->beginTransparencyLayer();
                image->drawInRect(rect);
                context->setBlendMode(cg::BlendMode::SourceIn);
                context->setFillColor(color);
                context->fillRect(rect);
                context->endTransparencyLayer();
                context->restoreGState();
            }
        }
        if (const auto& title = item_->title()) {
            const ns::Dictionary attributes = item_->titleTextAttributesForState(isSelected() ? ControlStateSelected
                                                                                             : ControlStateNormal);
            auto font = attributes[FontAttributeName].asObject<Font>();
            if (!font) font = Font::systemFontOfSize(10);
            const auto titleColor = attributes[ForegroundColorAttributeName].asObject<Color>();
            context->setFillColor(titleColor ? titleColor->CGColor() : color);
            // Under the image, or centred in a tab without one.
            const double height = std::max(14.0, std::ceil(font->lineHeight()));
            const double y = image ? b.size.height - height : (b.size.height - height) / 2;
            drawInRect(*title, {0, y, b.size.width, height}, *font, LineBreakMode::TruncatingTail,
                       TextAlignment::Center);
        }
        if (const auto& badge = item_->badgeValue()) {
            auto font = Font::systemFontOfSize(13);
            const cg::Size s = sizeWithFont(*badge, *font);
            const double w = std::max(18.0, s.width + 10);
            const cg::Rect pill{b.size.width / 2 + 6, 2, w, 18};
            context->setFillColor(cg::Color::rgb(1, 0.23, 0.19, 1));
            cg::Path path;
            path.addRoundedRect(pill, 9, 9);
            context->beginPath();
            context->addPath(path);
            context->fillPath();
            context->setFillColor(cg::Color::gray(1, 1));
            drawInRect(*badge, {pill.origin.x, pill.origin.y + 1, w, 16}, *font, LineBreakMode::Clipping,
                       TextAlignment::Center);
        }
    }

private:
    std::shared_ptr<TabBarItem> item_;
};

}  // namespace

TabBar::TabBar(const cg::Rect& frame) : View(frame) {
    setOpaque(false);
    setContentMode(ContentMode::Redraw);
}

TabBar::~TabBar() {
    for (auto& item : items_) item->setChangeHandler(nullptr);
}

void TabBar::setItems(std::vector<std::shared_ptr<TabBarItem>> items, bool) {
    for (auto& item : items_) item->setChangeHandler(nullptr);
    items_ = std::move(items);
    for (auto& item : items_) watchBarItem(*this, *item, &TabBar::refreshButtons);
    if (auto selected = selected_.lock(); selected && std::find(items_.begin(), items_.end(), selected) == items_.end()) {
        selected_.reset();
    }
    rebuildButtons();
}

void TabBar::setSelectedItem(const std::shared_ptr<TabBarItem>& item) {
    selected_ = item;
    refreshButtons();
}

void TabBar::setBarStyle(BarStyle style) {
    background_.style = style;
    setNeedsDisplay();
}

void TabBar::setBarTintColor(std::shared_ptr<Color> color) {
    background_.tintColor = std::move(color);
    setNeedsDisplay();
}

void TabBar::setBackgroundImage(std::shared_ptr<Image> image) {
    backgroundImage_ = std::move(image);
    setNeedsDisplay();
}

void TabBar::setSelectionIndicatorImage(std::shared_ptr<Image> image) {
    selectionIndicatorImage_ = std::move(image);
    setNeedsDisplay();
}

void TabBar::setShadowImage(std::shared_ptr<Image> image) {
    shadowImage_ = std::move(image);
    setNeedsDisplay();
}

void TabBar::tintColorDidChange() { refreshButtons(); }

void TabBar::rebuildButtons() {
    for (auto& b : buttons_) b->removeFromSuperview();
    buttons_.clear();
    for (const auto& item : items_) {
        auto button = std::make_shared<TabBarButton>(item);
        button->setTag(item->tag());
        button->setAccessibilityLabel(item->title());
        if (auto shared = weak_from_this().lock()) {
            button->addTarget(shared, Action(&TabBar::itemTapped), ControlEventTouchUpInside);
        }
        buttons_.push_back(button);
        addSubview(button);
    }
    refreshButtons();
    setNeedsLayout();
}

void TabBar::refreshButtons() {
    auto selected = selected_.lock();
    for (auto& button : buttons_) {
        const auto& item = static_cast<TabBarButton&>(*button).item();
        button->setSelected(item == selected);
        button->setEnabled(item->isEnabled());
        button->setNeedsDisplay();
    }
}

void TabBar::itemTapped(ns::Object* sender) {
    auto* button = dynamic_cast<TabBarButton*>(sender);
    if (!button) return;
    auto item = button->item();
    auto keep = sharedFromThis();
    setSelectedItem(item);
    if (auto d = delegate()) d->tabBarDidSelectItem(*this, *item);
}

cg::Size TabBar::sizeThatFits(cg::Size size) const { return {size.width > 0 ? size.width : bounds().size.width, kHeight}; }

void TabBar::layoutSubviews() {
    const cg::Rect b = bounds();
    if (buttons_.empty()) return;
    const double width = b.size.width / static_cast<double>(buttons_.size());
    for (std::size_t i = 0; i < buttons_.size(); ++i) {
        buttons_[i]->setFrame({width * static_cast<double>(i), 0, width, b.size.height});
    }
}

void TabBar::drawRect(const cg::Rect&) {
    cg::Context* context = GraphicsGetCurrentContext();
    if (!context) return;
    background_.draw(*context, bounds(), backgroundImage_.get(), shadowImage_.get(), BarBackground::Edge::Top);
    if (selectionIndicatorImage_) {
        auto selected = selected_.lock();
        for (const auto& button : buttons_) {
            if (static_cast<TabBarButton&>(*button).item() == selected) selectionIndicatorImage_->drawInRect(button->frame());
        }
    }
}

}  // namespace ql::ui
