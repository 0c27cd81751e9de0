#pragma once
// A fixed height for a system navigation bar, kept with the bar: when one is stored, the bar's fitting
// size is the superview's width by that height. Nothing in the app stores one, so system bars keep their
// own size.

#include <optional>

#include "platform/graphics/Geometry.h"

namespace ql::ui {
class NavigationBar;
}

namespace ql {

void setHeight(ui::NavigationBar& bar, double height);
std::optional<double> height(const ui::NavigationBar& bar);
// The stored height across the superview's width, else the bar's own fitting size.
cg::Size customHeightSizeThatFits(const ui::NavigationBar& bar, cg::Size size);

}  // namespace ql
