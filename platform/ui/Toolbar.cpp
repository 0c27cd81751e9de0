#include "platform/ui/Toolbar.h"

#include <algorithm>

#include "platform/ui/BarButtonItem.h"
#include "platform/ui/Color.h"
#include "platform/ui/GraphicsContext.h"
#include "platform/ui/Image.h"
#include "platform/ui/Screen.h"

namespace ql::ui {

Toolbar::Toolbar(const cg::Rect& frame) : View(frame) {
    setOpaque(false);
    setContentMode(ContentMode::Redraw);
}

Toolbar::~Toolbar() {
    for (auto& item : items_) item->setChangeHandler(nullptr);
}

void Toolbar::setItems(std::vector<std::shared_ptr<BarButtonItem>> items, bool) {
    for (auto& item : items_) item->setChangeHandler(nullptr);
    items_ = std::move(items);
    std::weak_ptr<Toolbar> weakSelf;
    if (auto shared = weak_from_this().lock()) weakSelf = std::static_pointer_cast<Toolbar>(shared);
    for (auto& item : items_) {
        item->setChangeHandler([weakSelf] {
            if (auto self = weakSelf.lock()) self->itemChanged();
        });
    }
    itemChanged();
    // The item views exist at once, so that the items' views can be found before the next layout pass.
    rebuild();
}

void Toolbar::itemChanged() {
    needsRebuild_ = true;
    setNeedsLayout();
}

void Toolbar::setBarStyle(BarStyle style) {
    barStyle_ = style;
    setNeedsDisplay();
}

void Toolbar::setTranslucent(bool translucent) {
    translucent_ = translucent;
    setNeedsDisplay();
}

void Toolbar::setBarTintColor(std::shared_ptr<Color> color) {
    barTintColor_ = std::move(color);
    setNeedsDisplay();
}

std::shared_ptr<Image> Toolbar::backgroundImageForToolbarPosition(BarPosition position, BarMetrics metrics) const {
    auto it = backgrounds_.find({position, metrics});
    return it == backgrounds_.end() ? nullptr : it->second;
}

void Toolbar::setBackgroundImage(std::shared_ptr<Image> image, BarPosition position, BarMetrics metrics) {
    if (image) backgrounds_[{position, metrics}] = std::move(image);
    else backgrounds_.erase({position, metrics});
    setNeedsDisplay();
}

std::shared_ptr<Image> Toolbar::shadowImageForToolbarPosition(BarPosition position) const {
    auto it = shadows_.find(position);
    return it == shadows_.end() ? nullptr : it->second;
}

void Toolbar::setShadowImage(std::shared_ptr<Image> image, BarPosition position) {
    if (image) shadows_[position] = std::move(image);
    else shadows_.erase(position);
    setNeedsDisplay();
}

void Toolbar::tintColorDidChange() { itemChanged(); }

std::vector<std::shared_ptr<View>> Toolbar::itemViews() const {
    std::vector<std::shared_ptr<View>> views;
    for (const auto& v : views_) {
        if (v) views.push_back(v);
    }
    return views;
}

void Toolbar::rebuild() {
    needsRebuild_ = false;
    for (auto& v : views_) {
        if (v && v->superview() == this) v->removeFromSuperview();
    }
    views_.clear();
    auto tint = tintColor();
    for (const auto& item : items_) {
        auto view = item->makeBarView(tint);
        if (view) addSubview(view);
        views_.push_back(view);
    }
}

cg::Size Toolbar::sizeThatFits(cg::Size size) const {
    return {size.width > 0 ? size.width : bounds().size.width, kHeight};
}

void Toolbar::layoutSubviews() {
    if (needsRebuild_) rebuild();
    const cg::Rect b = bounds();
    double fixed = 0;
    int flexible = 0;
    for (std::size_t i = 0; i < items_.size(); ++i) {
        if (items_[i]->isFlexibleSpace()) ++flexible;
        else if (items_[i]->isFixedSpace()) fixed += items_[i]->width();
        else if (views_[i]) fixed += views_[i]->frame().size.width;
    }
    // Spacing goes between neighbouring items that are not spaces.
    int shown = 0;
    for (std::size_t i = 0; i < items_.size(); ++i) {
        if (!items_[i]->isFlexibleSpace() && !items_[i]->isFixedSpace()) ++shown;
    }
    const double gaps = shown > 1 ? (shown - 1) * kItemSpacing : 0;
    const double spare = std::max(0.0, b.size.width - 2 * kEdgeMargin - fixed - gaps);
    const double each = flexible ? spare / flexible : 0;
    double x = kEdgeMargin;
    bool previousShown = false;
    for (std::size_t i = 0; i < items_.size(); ++i) {
        const auto& item = items_[i];
        if (item->isFlexibleSpace()) {
            x += each;
            continue;
        }
        if (item->isFixedSpace()) {
            x += item->width();
            continue;
        }
        if (previousShown) x += kItemSpacing;
        previousShown = true;
        if (auto& view = views_[i]) {
            const cg::Size s = view->frame().size;
            view->setFrame({x, (b.size.height - s.height) / 2, s.width, s.height});
            x += s.width;
        }
    }
}

void Toolbar::drawRect(const cg::Rect&) {
    cg::Context* context = GraphicsGetCurrentContext();
    if (!context) return;
    const cg::Rect b = bounds();
    auto background = backgroundImageForToolbarPosition(BarPosition::Any, BarMetrics::Default);
    if (!background) background = backgroundImageForToolbarPosition(BarPosition::Bottom, BarMetrics::Default);
    if (background) {
        background->drawInRect(b);
    } else {
        cg::Color fill = barStyle_ == BarStyle::Default ? cg::Color::gray(0.97, translucent_ ? 0.94 : 1)
                                                        : cg::Color::gray(0.1, translucent_ ? 0.9 : 1);
        if (barTintColor_) fill = barTintColor_->CGColor();
        context->setFillColor(fill);
        context->fillRect(b);
    }
    if (auto shadow = shadowImageForToolbarPosition(BarPosition::Any)) {
        const cg::Size s = shadow->size();
        if (s.height > 0) shadow->drawInRect({0, 0, b.size.width, s.height});
    } else {
        context->setFillColor(cg::Color::gray(0, 0.3));
        context->fillRect({0, 0, b.size.width, 1 / Screen::mainScreen().scale()});
    }
}

}  // namespace ql::ui
