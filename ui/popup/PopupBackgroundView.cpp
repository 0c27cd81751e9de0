#include "ui/popup/PopupBackgroundView.h"

#include "platform/ui/GraphicsContext.h"
#include "ui/RadialDimming.h"

namespace ql {

void PopupBackgroundView::drawRect(const cg::Rect&) {
    if (cg::Context* context = ui::GraphicsGetCurrentContext()) drawRadialDimming(*context, bounds());
}

}  // namespace ql
