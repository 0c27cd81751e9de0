#include "app/uikit/LineView.h"

#include "platform/graphics/Context.h"
#include "platform/ui/Color.h"
#include "platform/ui/GraphicsContext.h"

namespace ql {

LineView::LineView(const cg::Rect& frame) : ui::View(frame) { setBackgroundColor(ui::Color::clearColor()); }

void LineView::awakeFromNib() {
    ui::View::awakeFromNib();
    setBackgroundColor(ui::Color::clearColor());
}

void LineView::drawRect(const cg::Rect& rect) {
    cg::Context* context = ui::GraphicsGetCurrentContext();
    if (!context) return;
    const cg::Size size = frame().size;
    context->beginPath();
    if (size.width == 1) {
        context->moveToPoint(0.2, 0);
        context->addLineToPoint(0.2, rect.size.height);
    } else if (size.height == 1) {
        context->moveToPoint(0, rect.size.height - 0.2);
        context->addLineToPoint(rect.size.width, rect.size.height - 0.2);
    } else {
        return;
    }
    context->setStrokeColor(ui::Color::lightGrayColor()->CGColor());
    context->setLineWidth(0.2);
    context->strokePath();
}

}  // namespace ql
