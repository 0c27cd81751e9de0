#pragma once
// ct::Frame: the lines of a range of attributed text set in a rectangle by a framesetter, as the
// platform's text frames hold them. Coordinates are text space: y grows upwards, and each line's origin
// (the start of its baseline, with its indent and alignment applied) is relative to the bottom left
// corner of the rectangle. Only lines that fit the rectangle's height whole are in the frame.

#include <vector>

#include "platform/foundation/Range.h"
#include "platform/graphics/Context.h"
#include "platform/graphics/Geometry.h"
#include "platform/text/Line.h"

namespace ql::ct {

// The room a line was set in across the rectangle: from its head indent, as wide as the indents leave.
struct LineRoom {
    double x = 0;
    double width = 0;
};

class Frame {
public:
    Frame(ns::Range stringRange, const cg::Rect& rect, std::vector<Line> lines, std::vector<cg::Point> origins,
          std::vector<LineRoom> rooms);

    // The range the frame was asked to set, and the part of it that its lines hold.
    ns::Range stringRange() const { return stringRange_; }
    ns::Range visibleStringRange() const;
    const cg::Rect& rect() const { return rect_; }

    const std::vector<Line>& lines() const { return lines_; }
    const std::vector<cg::Point>& lineOrigins() const { return origins_; }
    // Where a line made anew for the same place (cut with a token, say) is aligned.
    const std::vector<LineRoom>& lineRooms() const { return rooms_; }

    // Draws every line at its origin in the rectangle, through the context's text matrix.
    void draw(cg::Context& context) const;

private:
    ns::Range stringRange_;
    cg::Rect rect_;
    std::vector<Line> lines_;
    std::vector<cg::Point> origins_;
    std::vector<LineRoom> rooms_;
};

}  // namespace ql::ct
