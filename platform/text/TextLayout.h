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
        // Where the separator that ends the line starts (a line feed, carriage return and line feed, line
        // or paragraph separator), else the line's end: the caret after a separator stands on the next
        // line, so no point on this one finds it.
        std::uint64_t caretEnd = 0;

        // The caret before the character at `index` (at most the line's end), from the box's left: the
        // primary offset, at the character's leading edge in whichever direction it runs.
        double caretOffset(std::uint64_t index) const;
        // The string index whose caret lies nearest to `x` (from the box's left) on what the line shows.
        std::uint64_t stringIndexAt(double x) const;
    };

    TextLayout(const Typesetter& typesetter, const ParagraphStyle& style, const LayoutBox& box);

    const std::vector<PlacedLine>& lines() const { return lines_; }
    // The widest line (white space at line ends and clipped parts not counted) and the lines' heights.
    cg::Size size() const { return size_; }
    // Whether text was left out or cut.
    bool isTruncated() const { return truncated_; }
    // The line that shows the caret before `index`: the one holding the character there, the last one
    // for an index past them. 0 without lines.
    std::size_t lineIndexForStringIndex(std::uint64_t index) const;
    // The line at `y` from the box's top: the first one above them, the last one below them.
    std::size_t lineIndexAtHeight(double y) const;

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
