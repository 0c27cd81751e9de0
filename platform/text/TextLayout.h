#pragma once
// ct::TextLayout: a text set in a box, as the platform's string drawing sets it. Lines wrap by words (by
// characters in character-wrapping mode) within the box's width; lines that would pass the line limit or
// the box's height are left out, the first line always stays. When text is left out, the last line shown
// follows the line-break mode: the truncating modes cut the rest of its paragraph to one line with "…" at
// the head, tail or middle; clipping keeps the rest of its paragraph on one line, cut at the box's edge
// when drawn; the wrapping modes end it where it wrapped, unless the last visible line is to be
// truncated, which then works like tail truncation.

#include <cstdint>
#include <limits>
#include <vector>

#include "platform/graphics/Context.h"
#include "platform/graphics/Geometry.h"
#include "platform/text/Line.h"
#include "platform/text/ParagraphStyle.h"
#include "platform/text/Typesetter.h"

namespace ql::ct {

struct LayoutBox {
    double width = std::numeric_limits<double>::infinity();
    double height = std::numeric_limits<double>::infinity();
    // 0: no limit.
    std::uint64_t maximumNumberOfLines = 0;
    bool truncatesLastVisibleLine = false;
    // Whether lines are spaced by the fonts' leading as well as their ascent and descent.
    bool usesFontLeading = true;
};

class TextLayout {
public:
    struct PlacedLine {
        Line line;
        // The start of the line's baseline from the box's top left corner, y growing downwards, with the
        // alignment applied.
        cg::Point origin;
        // The top of the line's height.
        double top = 0;
    };

    TextLayout(const Typesetter& typesetter, const ParagraphStyle& style, const LayoutBox& box);

    const std::vector<PlacedLine>& lines() const { return lines_; }
    // The widest line (white space at line ends and clipped parts not counted) and the lines' heights.
    cg::Size size() const { return size_; }
    // Whether text was left out or cut.
    bool isTruncated() const { return truncated_; }

    // Draws the lines with the box's top left corner at `origin` of a context whose user space has y
    // growing downwards, as the view layer's contexts do.
    void draw(cg::Context& context, cg::Point origin) const;

private:
    Line lastVisibleLine(const Typesetter& typesetter, const Line& wrapped);

    ParagraphStyle style_;
    LayoutBox box_;
    std::vector<PlacedLine> lines_;
    cg::Size size_;
    bool truncated_ = false;
    bool clips_ = false;
};

}  // namespace ql::ct
