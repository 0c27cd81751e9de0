#pragma once
// Building blocks of the browser's drawn glyphs. Every piece goes in clockwise, so that overlapping pieces
// of one glyph fill as their union under the non-zero winding rule.

#include <initializer_list>

#include "platform/graphics/Geometry.h"
#include "platform/ui/BezierPath.h"

namespace ql {

// A closed polygon through the points, turned clockwise when given the other way round.
void addPolygon(ui::BezierPath& path, std::initializer_list<cg::Point> points);
void addRect(ui::BezierPath& path, const cg::Rect& rect);

}  // namespace ql
