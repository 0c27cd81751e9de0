#pragma once
// View additions: a snapshot of what a view shows, rounded and bordered corners, and a drop shadow.

#include <memory>
#include <string_view>

#include "platform/graphics/Geometry.h"
#include "platform/ui/Color.h"
#include "platform/ui/Image.h"
#include "platform/ui/View.h"

namespace ql {

// The view's layer rendered at its bounds size, scale 1, not opaque; nothing for an empty view.
std::shared_ptr<ui::Image> snapshotImage(ui::View& view);
// Clips to the bounds; the border colour changes only when one is given.
void setRoundedCornersWithRadius(ui::View& view, double radius, double width, const ui::Color* color);
// Unmasks the bounds so the shadow can show; the shadow colour changes only when one is given.
void addShadowWithColor(ui::View& view, const ui::Color* color, float alpha, double radius, cg::Size offset);
// The shadow cast by a rectangle; with a duration and a former outline, the change is animated under the key
// "shadowPath".
inline constexpr std::string_view kShadowPathKey = "shadowPath";
void updateShadowPathToBounds(ui::View& view, const cg::Rect& bounds, double duration);

}  // namespace ql
