#include "ui/RadialDimming.h"

#include <algorithm>

#include "platform/graphics/Gradient.h"

namespace ql {

void drawRadialDimming(cg::Context& context, const cg::Rect& bounds) {
    const cg::Gradient gradient(cg::ColorSpace::deviceRGB(),
                                {cg::Color::rgb(0, 0, 0, 0), cg::Color::rgb(0, 0, 0, 0.75)}, {0, 1});
    const cg::Point centre{bounds.size.width / 2, bounds.size.height / 2};
    const float radius = static_cast<float>(std::min(bounds.size.width, bounds.size.height));
    context.drawRadialGradient(gradient, centre, 0, centre, radius, cg::GradientDrawsAfterEndLocation);
}

}  // namespace ql
