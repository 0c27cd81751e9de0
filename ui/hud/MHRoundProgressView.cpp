#include "ui/hud/MHRoundProgressView.h"

#include <numbers>

#include "platform/ui/GraphicsContext.h"

namespace ql {

namespace {

constexpr float kPi = std::numbers::pi_v<float>;
// The ring's width on the systems the app runs on (wider only on very old ones).
constexpr double kRingWidth = 2;

}  // namespace

MHRoundProgressView::MHRoundProgressView() : MHRoundProgressView(cg::Rect{0, 0, 37, 37}) {}

MHRoundProgressView::MHRoundProgressView(const cg::Rect& frame)
    : ui::View(frame),
      progressTintColor_(ui::Color::colorWithWhite(1, 1)),
      backgroundTintColor_(ui::Color::colorWithWhite(1, static_cast<float>(0.1))) {
    setBackgroundColor(ui::Color::clearColor());
    setOpaque(false);
}

template <class T>
void MHRoundProgressView::change(std::string_view key, T& field, T value) {
    changeValue(key, field, std::move(value));
    setNeedsDisplay();
}

void MHRoundProgressView::setProgress(float progress) { change("progress", progress_, progress); }
void MHRoundProgressView::setAnnular(bool annular) { change("annular", annular_, annular); }
void MHRoundProgressView::setProgressTintColor(std::shared_ptr<ui::Color> color) {
    change("progressTintColor", progressTintColor_, std::move(color));
}
void MHRoundProgressView::setBackgroundTintColor(std::shared_ptr<ui::Color> color) {
    change("backgroundTintColor", backgroundTintColor_, std::move(color));
}

void MHRoundProgressView::drawRect(const cg::Rect&) {
    cg::Context* context = ui::GraphicsGetCurrentContext();
    if (!context) return;
    const cg::Rect all = bounds();
    const cg::Point centre{all.size.width / 2, all.size.height / 2};
    const double start = -kPi / 2;
    const double end = start + static_cast<double>(progress_ * 2 * kPi);
    if (annular_) {
        const double radius = (all.size.width - kRingWidth) / 2;
        context->setLineWidth(kRingWidth);
        context->setLineCap(cg::LineCap::Butt);
        context->setStrokeColor(backgroundTintColor_->CGColor());
        context->addArc(centre.x, centre.y, radius, start, start + 2 * kPi, false);
        context->strokePath();
        context->setLineCap(cg::LineCap::Square);
        context->setStrokeColor(progressTintColor_->CGColor());
        context->addArc(centre.x, centre.y, radius, start, end, false);
        context->strokePath();
        return;
    }
    const cg::Rect circle = cg::rectInset(all, 2, 2);
    context->setFillColor(backgroundTintColor_->CGColor());
    context->setStrokeColor(progressTintColor_->CGColor());
    context->setLineWidth(2);
    context->fillEllipseInRect(circle);
    context->strokeEllipseInRect(circle);
    const double radius = (all.size.width - 4) / 2;
    context->setFillColor(progressTintColor_->CGColor());
    context->moveToPoint(centre.x, centre.y);
    context->addArc(centre.x, centre.y, radius, start, end, false);
    context->closePath();
    context->fillPath();
}

}  // namespace ql
