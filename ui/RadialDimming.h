#pragma once
// The dimming that overlays draw behind their panels: clear at the centre of the bounds, darkening to
// black at alpha 0.75 at the distance of the shorter side, and that black beyond it.

#include "platform/graphics/Context.h"
#include "platform/graphics/Geometry.h"

namespace ql {

void drawRadialDimming(cg::Context& context, const cg::Rect& bounds);

}  // namespace ql
