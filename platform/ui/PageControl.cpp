#include "platform/ui/PageControl.h"

#include <algorithm>

#include "platform/ui/Color.h"
#include "platform/ui/GraphicsContext.h"
#include "platform/ui/Touch.h"

namespace ql::ui {

PageControl::PageControl(const cg::Rect& frame) : Control(frame) {
    setOpaque(false);
    setContentMode(ContentMode::Redraw);
}

void PageControl::setNumberOfPages(std::int64_t pages) {
    pages_ = std::max<std::int64_t>(0, pages);
    current_ = std::clamp<std::int64_t>(current_, 0, std::max<std::int64_t>(0, pages_ - 1));
    shown_ = current_;
    setNeedsDisplay();
    invalidateIntrinsicContentSize();
}

void PageControl::setCurrentPage(std::int64_t page) {
    current_ = std::clamp<std::int64_t>(page, 0, std::max<std::int64_t>(0, pages_ - 1));
    shown_ = current_;
    setNeedsDisplay();
}

void PageControl::setHidesForSinglePage(bool hides) {
    hidesForSinglePage_ = hides;
    setNeedsDisplay();
}

void PageControl::updateCurrentPageDisplay() {
    shown_ = current_;
    setNeedsDisplay();
}

void PageControl::setPageIndicatorTintColor(std::shared_ptr<Color> color) {
    pageTint_ = std::move(color);
    setNeedsDisplay();
}

void PageControl::setCurrentPageIndicatorTintColor(std::shared_ptr<Color> color) {
    currentTint_ = std::move(color);
    setNeedsDisplay();
}

cg::Size PageControl::sizeForNumberOfPages(std::int64_t pages) const {
    if (pages <= 0) return {0, kHeight};
    return {pages * kDotDiameter + (pages - 1) * kDotSpacing, kHeight};
}

cg::Size PageControl::sizeThatFits(cg::Size) const { return sizeForNumberOfPages(pages_); }

void PageControl::endTrackingWithTouch(Touch* touch, Event*) {
    if (!touch || pages_ <= 0) return;
    const cg::Point p = touch->locationInView(this);
    if (!cg::rectContainsPoint(bounds(), p)) return;
    const std::int64_t page = std::clamp<std::int64_t>(current_ + (p.x < cg::midX(bounds()) ? -1 : 1), 0, pages_ - 1);
    if (page == current_) return;
    current_ = page;
    if (!defers_) shown_ = page;
    setNeedsDisplay();
    sendActionsForControlEvents(ControlEventValueChanged);
}

void PageControl::drawRect(const cg::Rect&) {
    cg::Context* context = GraphicsGetCurrentContext();
    if (!context || pages_ <= 0 || (hidesForSinglePage_ && pages_ == 1)) return;
    const cg::Rect b = bounds();
    const cg::Size size = sizeForNumberOfPages(pages_);
    double x = cg::midX(b) - size.width / 2;
    const double y = cg::midY(b) - kDotDiameter / 2;
    const cg::Color normal = pageTint_ ? pageTint_->CGColor() : cg::Color::gray(1, 0.2);
    const cg::Color current = currentTint_ ? currentTint_->CGColor() : cg::Color::gray(1, 1);
    for (std::int64_t i = 0; i < pages_; ++i) {
        context->setFillColor(i == shown_ ? current : normal);
        context->fillEllipseInRect({x, y, kDotDiameter, kDotDiameter});
        x += kDotDiameter + kDotSpacing;
    }
}

}  // namespace ql::ui
