#include "platform/ui/Toolbar.h"

#include <algorithm>

#include "platform/ui/BarButtonItem.h"
#include "platform/ui/BarItemWatch.h"
#include "platform/ui/GraphicsContext.h"

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
    for (auto& item : items_) watchBarItem(*this, *item, &Toolbar::itemChanged);
    itemChanged();
    // The item views exist at once, so that the items' views can be found before the next layout pass.
    rebuild();
}

void Toolbar::itemChanged() {
    needsRebuild_ = true;
    setNeedsLayout();
}

void Toolbar::setBarStyle(BarStyle style) {
    background_.style = style;
    setNeedsDisplay();
}

void Toolbar::setTranslucent(bool translucent) {
    background_.translucent = translucent;
    setNeedsDisplay();
}

void Toolbar::setBarTintColor(std::shared_ptr<Color> color) {
    background_.tintColor = std::move(color);
    setNeedsDisplay();
}

std::shared_ptr<Image> Toolbar::backgroundImageForToolbarPosition(BarPosition position, BarMetrics metrics) const {
    return backgrounds_.imageFor({position, metrics});
}

void Toolbar::setBackgroundImage(std::shared_ptr<Image> image, BarPosition position, BarMetrics metrics) {
    backgrounds_.setImage(std::move(image), {position, metrics});
    setNeedsDisplay();
}

std::shared_ptr<Image> Toolbar::shadowImageForToolbarPosition(BarPosition position) const {
    return shadows_.imageFor(position);
}

void Toolbar::setShadowImage(std::shared_ptr<Image> image, BarPosition position) {
    shadows_.setImage(std::move(image), position);
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
    const double room = b.size.width - 2 * kEdgeMargin - gaps;
    if (fixed > room) fixed -= narrowFlexibleViews(fixed - room);
    const double spare = std::max(0.0, room - fixed);
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

// Items wider than the bar would push the last ones past its edge, where no finger reaches them. Views
// that may change width (a title, say) give up the excess, widest first, so the buttons keep their size.
double Toolbar::narrowFlexibleViews(double excess) {
    std::vector<View*> flexible;
    for (std::size_t i = 0; i < items_.size(); ++i) {
        const auto& view = views_[i];
        if (view && !items_[i]->isFlexibleSpace() && !items_[i]->isFixedSpace() &&
            (view->autoresizingMask() & ViewAutoresizingFlexibleWidth)) {
            flexible.push_back(view.get());
        }
    }
    std::sort(flexible.begin(), flexible.end(),
              [](const View* a, const View* b) { return a->frame().size.width > b->frame().size.width; });
    double given = 0;
    for (View* view : flexible) {
        if (given >= excess) break;
        cg::Rect frame = view->frame();
        const double cut = std::min(frame.size.width, excess - given);
        frame.size.width -= cut;
        view->setFrame(frame);
        given += cut;
    }
    return given;
}

void Toolbar::drawRect(const cg::Rect&) {
    cg::Context* context = GraphicsGetCurrentContext();
    if (!context) return;
    auto image = backgroundImageForToolbarPosition(BarPosition::Any, BarMetrics::Default);
    if (!image) image = backgroundImageForToolbarPosition(BarPosition::Bottom, BarMetrics::Default);
    const auto shadow = shadowImageForToolbarPosition(BarPosition::Any);
    background_.draw(*context, bounds(), image.get(), shadow.get(), BarBackground::Edge::Top);
}

}  // namespace ql::ui
