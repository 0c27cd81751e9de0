#include "platform/ui/ProgressView.h"

#include <algorithm>

#include "platform/ui/Color.h"
#include "platform/ui/GraphicsContext.h"
#include "platform/ui/Image.h"

namespace ql::ui {

ProgressView::ProgressView(ProgressViewStyle style) : View(cg::Rect{0, 0, 0, kHeight}), style_(style) {
    setOpaque(false);
    setContentMode(ContentMode::Redraw);
}

ProgressView::ProgressView(const cg::Rect& frame) : View(frame) {
    setOpaque(false);
    setContentMode(ContentMode::Redraw);
}

void ProgressView::setProgressViewStyle(ProgressViewStyle style) {
    style_ = style;
    setNeedsDisplay();
}

void ProgressView::setProgress(float progress, bool) {
    progress_ = std::clamp(progress, 0.0f, 1.0f);
    setNeedsDisplay();
}

void ProgressView::setProgressTintColor(std::shared_ptr<Color> color) {
    progressTint_ = std::move(color);
    setNeedsDisplay();
}

void ProgressView::setTrackTintColor(std::shared_ptr<Color> color) {
    trackTint_ = std::move(color);
    setNeedsDisplay();
}

void ProgressView::setProgressImage(std::shared_ptr<Image> image) {
    progressImage_ = std::move(image);
    setNeedsDisplay();
}

void ProgressView::setTrackImage(std::shared_ptr<Image> image) {
    trackImage_ = std::move(image);
    setNeedsDisplay();
}

cg::Size ProgressView::sizeThatFits(cg::Size size) const {
    return {size.width > 0 ? size.width : bounds().size.width, kHeight};
}

void ProgressView::drawRect(const cg::Rect&) {
    cg::Context* context = GraphicsGetCurrentContext();
    if (!context) return;
    const cg::Rect b = bounds();
    const cg::Rect done{b.origin.x, b.origin.y, b.size.width * progress_, b.size.height};
    if (trackImage_) {
        trackImage_->drawInRect(b);
    } else {
        const cg::Color bar = style_ == ProgressViewStyle::Bar ? cg::Color::gray(0, 0) : cg::Color::gray(0.72, 1);
        context->setFillColor(trackTint_ ? trackTint_->CGColor() : bar);
        context->fillRect(b);
    }
    if (done.size.width <= 0) return;
    if (progressImage_) {
        progressImage_->drawInRect(done);
    } else {
        context->setFillColor((progressTint_ ? progressTint_ : tintColor())->CGColor());
        context->fillRect(done);
    }
}

}  // namespace ql::ui
