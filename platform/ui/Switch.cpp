#include "platform/ui/Switch.h"

#include "platform/ui/Color.h"
#include "platform/ui/GraphicsContext.h"
#include "platform/ui/Touch.h"

namespace ql::ui {

Switch::Switch(const cg::Rect& frame) : Control({frame.origin, kSize}) {
    setOpaque(false);
    setContentMode(ContentMode::Redraw);
}

void Switch::setOn(bool on, bool) {
    if (on_ == on) return;
    on_ = on;
    setNeedsDisplay();
}

void Switch::setOnTintColor(std::shared_ptr<Color> color) {
    onTintColor_ = std::move(color);
    setNeedsDisplay();
}

void Switch::setThumbTintColor(std::shared_ptr<Color> color) {
    thumbTintColor_ = std::move(color);
    setNeedsDisplay();
}

cg::Size Switch::sizeThatFits(cg::Size) const { return kSize; }

void Switch::endTrackingWithTouch(Touch* touch, Event*) {
    if (!touch || !cg::rectContainsPoint(cg::rectInset(bounds(), -kTouchSlop, -kTouchSlop), touch->locationInView(this))) {
        return;
    }
    setOn(!on_, true);
    sendActionsForControlEvents(ControlEventValueChanged);
}

void Switch::drawRect(const cg::Rect&) {
    cg::Context* context = GraphicsGetCurrentContext();
    if (!context) return;
    const cg::Rect track = cg::rectInset({{0, 0}, kSize}, 1, 1);
    const double radius = track.size.height / 2;
    cg::Path path;
    path.addRoundedRect(track, radius, radius);
    const cg::Color on = onTintColor_ ? onTintColor_->CGColor() : cg::Color::rgb(0.3, 0.85, 0.39, 1);
    context->beginPath();
    context->addPath(path);
    context->setFillColor(on_ ? on : cg::Color::gray(1, 1));
    context->fillPath();
    if (!on_) {
        context->beginPath();
        context->addPath(path);
        context->setStrokeColor(cg::Color::gray(0.9, 1));
        context->setLineWidth(1.5);
        context->strokePath();
    }
    const double thumb = track.size.height - 2;
    const cg::Rect knob{on_ ? cg::maxX(track) - thumb - 1 : track.origin.x + 1, track.origin.y + 1, thumb, thumb};
    context->setFillColor(thumbTintColor_ ? thumbTintColor_->CGColor() : cg::Color::gray(1, 1));
    context->setShadowWithColor({0, 1}, 2, cg::Color::gray(0, 0.3));
    context->fillEllipseInRect(knob);
    if (!isEnabled()) {
        context->setShadowWithColor({0, 0}, 0, std::nullopt);
        context->setFillColor(cg::Color::gray(1, 0.5));
        context->fillRect({{0, 0}, kSize});
    }
}

}  // namespace ql::ui
