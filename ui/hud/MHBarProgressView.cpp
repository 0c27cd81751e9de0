#include "ui/hud/MHBarProgressView.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "platform/ui/GraphicsContext.h"

namespace ql {

namespace {

cg::Path outline(double w, double h) {
    const double r = static_cast<float>(h / 2 - 2);
    cg::Path path;
    path.moveTo({2, h / 2});
    path.addArcToPoint({2, 2}, {r + 2, 2}, r);
    path.lineTo({w - r - 2, 2});
    path.addArcToPoint({w - 2, 2}, {w - 2, h / 2}, r);
    path.addArcToPoint({w - 2, h - 2}, {w - r - 2, h - 2}, r);
    path.lineTo({r + 2, h - 2});
    path.addArcToPoint({2, h - 2}, {2, h / 2}, r);
    return path;
}

}  // namespace

MHBarProgressView::MHBarProgressView() : MHBarProgressView(cg::Rect{0, 0, 120, 20}) {}

MHBarProgressView::MHBarProgressView(const cg::Rect& frame)
    : ui::View(frame),
      lineColor_(ui::Color::whiteColor()),
      progressColor_(ui::Color::whiteColor()),
      progressRemainingColor_(ui::Color::clearColor()) {
    setBackgroundColor(ui::Color::clearColor());
    setOpaque(false);
}

template <class T>
void MHBarProgressView::change(std::string_view key, T& field, T value) {
    changeValue(key, field, std::move(value));
    setNeedsDisplay();
}

void MHBarProgressView::setProgress(float progress) { change("progress", progress_, progress); }
void MHBarProgressView::setLineColor(std::shared_ptr<ui::Color> color) { change("lineColor", lineColor_, std::move(color)); }
void MHBarProgressView::setProgressColor(std::shared_ptr<ui::Color> color) {
    change("progressColor", progressColor_, std::move(color));
}
void MHBarProgressView::setProgressRemainingColor(std::shared_ptr<ui::Color> color) {
    change("progressRemainingColor", progressRemainingColor_, std::move(color));
}

// The fill stops at the inside of the outline's right end (x = w − 4), however far the progress says, and
// the arc angle is taken within acos's domain, so no value draws outside the bar or yields no number.
cg::Path MHBarProgressView::filledPath(cg::Size size, float progress) {
    const double w = size.width, h = size.height;
    const float r = static_cast<float>(h / 2 - 2);
    const float inner = r - 2;
    const float rightStart = static_cast<float>(w) - inner - 4;
    const float amount = std::min(std::clamp(progress, 0.0f, 1.0f) * static_cast<float>(w), static_cast<float>(w) - 4);
    cg::Path path;
    if (amount <= 0) return path;
    const double mid = h / 2;
    if (amount >= inner + 4 && amount <= rightStart) {
        path.moveTo({4, mid});
        path.addArcToPoint({4, 4}, {inner + 4, 4}, inner);
        path.lineTo({amount, 4});
        path.lineTo({amount, inner + 4});
        path.moveTo({4, mid});
        path.addArcToPoint({4, h - 4}, {inner + 4, h - 4}, inner);
        path.lineTo({amount, h - 4});
        path.lineTo({amount, inner + 4});
    } else if (amount > inner + 4) {
        const float x = amount - rightStart;
        const float angle = inner > 0 ? std::acos(std::clamp(x / inner, -1.0f, 1.0f)) : 0.0f;
        const float pi = std::numbers::pi_v<float>;
        path.moveTo({4, mid});
        path.addArcToPoint({4, 4}, {inner + 4, 4}, inner);
        path.lineTo({rightStart, 4});
        // Clockwise on screen over the top of the cap to the fill's edge; the lower half mirrors it.
        path.addArc({rightStart, mid}, inner, pi, -angle, false);
        path.lineTo({amount, mid});
        path.moveTo({4, mid});
        path.addArcToPoint({4, h - 4}, {inner + 4, h - 4}, inner);
        path.lineTo({rightStart, h - 4});
        path.addArc({rightStart, mid}, inner, pi, angle, true);
        path.lineTo({amount, mid});
    } else {
        path.moveTo({4, mid});
        path.addArcToPoint({4, 4}, {inner + 4, 4}, inner);
        path.lineTo({inner + 4, mid});
        path.moveTo({4, mid});
        path.addArcToPoint({4, h - 4}, {inner + 4, h - 4}, inner);
        path.lineTo({inner + 4, mid});
    }
    return path;
}

void MHBarProgressView::drawRect(const cg::Rect& rect) {
    cg::Context* context = ui::GraphicsGetCurrentContext();
    if (!context) return;
    const double w = rect.size.width, h = rect.size.height;
    context->setLineWidth(2);
    context->setStrokeColor(lineColor_->CGColor());
    context->setFillColor(progressRemainingColor_->CGColor());
    context->addPath(outline(w, h));
    context->fillPath();
    context->addPath(outline(w, h));
    context->strokePath();

    const cg::Path filled = filledPath({w, h}, progress_);
    if (filled.isEmpty()) return;
    context->setFillColor(progressColor_->CGColor());
    context->addPath(filled);
    context->fillPath();
}

}  // namespace ql
