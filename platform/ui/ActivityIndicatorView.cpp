#include "platform/ui/ActivityIndicatorView.h"

#include <cmath>

#include "platform/ui/Color.h"
#include "platform/ui/GraphicsContext.h"

namespace ql::ui {

namespace {

double sideOf(ActivityIndicatorViewStyle style) { return style == ActivityIndicatorViewStyle::WhiteLarge ? 37 : 20; }

}  // namespace

ActivityIndicatorView::ActivityIndicatorView(ActivityIndicatorViewStyle style)
    : View(cg::Rect{0, 0, sideOf(style), sideOf(style)}), style_(style) {
    setOpaque(false);
    setUserInteractionEnabled(false);
    setContentMode(ContentMode::Redraw);
    setHidden(true);
}

ActivityIndicatorView::ActivityIndicatorView(const cg::Rect& frame) : View(frame), style_(ActivityIndicatorViewStyle::White) {
    setOpaque(false);
    setUserInteractionEnabled(false);
    setContentMode(ContentMode::Redraw);
    setHidden(true);
}

void ActivityIndicatorView::setActivityIndicatorViewStyle(ActivityIndicatorViewStyle style) {
    style_ = style;
    const cg::Rect f = frame();
    const double side = sideOf(style);
    setFrame({cg::midX(f) - side / 2, cg::midY(f) - side / 2, side, side});
    setNeedsDisplay();
}

std::shared_ptr<Color> ActivityIndicatorView::color() const {
    if (color_) return color_;
    return style_ == ActivityIndicatorViewStyle::Gray ? Color::grayColor() : Color::whiteColor();
}

void ActivityIndicatorView::setColor(std::shared_ptr<Color> color) {
    color_ = std::move(color);
    setNeedsDisplay();
}

void ActivityIndicatorView::setHidesWhenStopped(bool hides) {
    hidesWhenStopped_ = hides;
    if (!animating_) setHidden(hides);
}

void ActivityIndicatorView::startAnimating() {
    animating_ = true;
    setHidden(false);
}

void ActivityIndicatorView::stopAnimating() {
    animating_ = false;
    if (hidesWhenStopped_) setHidden(true);
}

cg::Size ActivityIndicatorView::sizeThatFits(cg::Size) const { return {sideOf(style_), sideOf(style_)}; }

void ActivityIndicatorView::drawRect(const cg::Rect&) {
    cg::Context* context = GraphicsGetCurrentContext();
    if (!context) return;
    const cg::Rect b = bounds();
    const double radius = std::min(b.size.width, b.size.height) / 2;
    const cg::Point c{cg::midX(b), cg::midY(b)};
    const cg::Color ink = color()->CGColor();
    context->setLineWidth(radius * 0.2);
    context->setLineCap(cg::LineCap::Round);
    // Twelve spokes, fading round the circle.
    for (int i = 0; i < 12; ++i) {
        const double angle = i * M_PI / 6 - M_PI / 2;
        const double dx = std::cos(angle), dy = std::sin(angle);
        context->setStrokeColor(ink.withAlpha(ink.alpha() * (1 - i / 14.0)));
        context->strokeLineSegments({{c.x + dx * radius * 0.5, c.y + dy * radius * 0.5},
                                     {c.x + dx * radius * 0.9, c.y + dy * radius * 0.9}});
    }
}

}  // namespace ql::ui
