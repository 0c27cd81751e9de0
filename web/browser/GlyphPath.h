#pragma once
// Building blocks of the browser's drawn glyphs. Pieces go in clockwise unless asked otherwise, so that
// overlapping pieces fill as their union under the non-zero winding rule, and a counter-clockwise piece
// inside a clockwise one cuts a hole. A finished glyph is filled into an image of its own.

#include <functional>
#include <initializer_list>
#include <memory>
#include <vector>

#include "platform/graphics/Geometry.h"
#include "platform/ui/BezierPath.h"
#include "platform/ui/Image.h"

namespace ql {

enum class Turning { Clockwise, CounterClockwise };

// A closed polygon through the points, turned as asked whichever way they were given.
void addPolygon(ui::BezierPath& path, std::vector<cg::Point> points, Turning turning = Turning::Clockwise);
void addPolygon(ui::BezierPath& path, std::initializer_list<cg::Point> points, Turning turning = Turning::Clockwise);
void addRect(ui::BezierPath& path, const cg::Rect& rect, Turning turning = Turning::Clockwise);
void addCircle(ui::BezierPath& path, cg::Point centre, double radius, Turning turning = Turning::Clockwise);
// A ring between the two radii.
void addRing(ui::BezierPath& path, cg::Point centre, double outer, double inner);
// The points turned by `angle` (radians, clockwise on screen) about `centre`.
std::vector<cg::Point> turned(std::vector<cg::Point> points, cg::Point centre, double angle);

// The glyph filled on a clear canvas of the given size at the screen's scale: in black (the flat look),
// unless `prepareFill` sets the fill colour (and any shadow) in the open context itself.
std::shared_ptr<ui::Image> glyphImage(cg::Size canvas, const ui::BezierPath& glyph,
                                      const std::function<void()>& prepareFill = {});

}  // namespace ql
