#include "images/browser/WaitingView.h"

#include <algorithm>
#include <numbers>

#include "platform/foundation/DispatchQueue.h"
#include "platform/graphics/Context.h"
#include "platform/ui/Color.h"
#include "platform/ui/GraphicsContext.h"

namespace ql {

WaitingView::WaitingView(const cg::Rect& frame) : ui::View(frame) {
    setBackgroundColor(ui::Color::colorWithRed(0, 0, 0, 0.7));
    layer()->setCornerRadius(5);
    setClipsToBounds(true);
}

void WaitingView::setProgress(double progress) {
    progress_ = progress;
    std::weak_ptr<WaitingView> weak = std::static_pointer_cast<WaitingView>(shared_from_this());
    ns::DispatchQueue::main()->async([weak, progress] {
        auto view = weak.lock();
        if (!view) return;
        view->setNeedsDisplay();
        if (progress >= 1.0) view->removeFromSuperview();
    });
}

void WaitingView::drawRect(const cg::Rect& rect) {
    cg::Context* context = ui::GraphicsGetCurrentContext();
    if (!context) return;
    const double cx = rect.size.width / 2, cy = rect.size.height / 2;
    const double top = -std::numbers::pi / 2;
    ui::Color::whiteColor()->set();
    context->setLineWidth(15);
    context->setLineCap(cg::LineCap::Round);
    context->beginPath();
    context->addArc(cx, cy, std::min(rect.size.width, rect.size.height) / 2 - 10, top,
                    2 * std::numbers::pi * progress_ + top + 0.05, false);
    context->strokePath();
}

}  // namespace ql
