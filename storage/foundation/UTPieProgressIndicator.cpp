#include "storage/foundation/UTPieProgressIndicator.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "platform/ui/GraphicsContext.h"

namespace ql {

namespace {

constexpr double kRingWidth = 3;
constexpr double kInset = 6;
constexpr float kSmallestShownProgress = 0.1f;

}  // namespace

UTPieProgressIndicator::UTPieProgressIndicator(const cg::Rect& frame) : ui::View(frame) {
    setContentMode(ui::ContentMode::Redraw);
    setBackgroundColor(ui::Color::clearColor());
}

std::shared_ptr<UTPieProgressIndicator> UTPieProgressIndicator::pieProgressIndicator() {
    return std::make_shared<UTPieProgressIndicator>(cg::Rect{0, 0, 34, 34});
}

void UTPieProgressIndicator::setProgressPercent(float progress) {
    if (progress == progressPercent_) return;
    progressPercent_ = progress;
    setNeedsDisplay();
}

void UTPieProgressIndicator::setColor(std::shared_ptr<ui::Color> color) {
    if (color == color_) return;
    color_ = std::move(color);
    setNeedsDisplay();
}

void UTPieProgressIndicator::drawRect(const cg::Rect&) {
    cg::Context* context = ui::GraphicsGetCurrentContext();
    if (!context) return;
    const ui::Color& colour = color_ ? *color_ : *ui::Color::whiteColor();
    context->setFillColor(colour.CGColor());
    context->setStrokeColor(colour.CGColor());
    context->beginTransparencyLayer();

    const cg::Rect& b = bounds();
    const double d = std::min(b.size.width - kInset, b.size.height - kInset);
    const double midX = b.origin.x + b.size.width / 2, midY = b.origin.y + b.size.height / 2;
    const cg::Rect circle{std::round(midX - d / 2), std::round(midY - d / 2), d, d};
    context->setLineWidth(kRingWidth);
    context->strokeEllipseInRect(circle);

    if (progressPercent_ > kSmallestShownProgress) {
        const double cx = circle.origin.x + d / 2, cy = circle.origin.y + d / 2;
        const double start = -std::numbers::pi / 2;
        context->beginPath();
        context->moveToPoint(cx, cy);
        // In a top-left context, the flag that reads counter-clockwise turns clockwise on screen.
        context->addArc(cx, cy, d / 2, start, progressPercent_ * 2 * std::numbers::pi + start, false);
        context->closePath();
        context->fillPath();
    }
    context->endTransparencyLayer();
}

}  // namespace ql
