#pragma once
// ct::Line: one line of shaped text, its runs laid out left to right from the line's origin on the
// baseline, in visual order: right-to-left runs stand where the bidirectional algorithm puts them. The
// line keeps the direction of its paragraph, on whose trailing side its final white space hangs. Lines
// are immutable: truncating or justifying one makes a new line.

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/foundation/Range.h"
#include "platform/graphics/Context.h"
#include "platform/graphics/Geometry.h"
#include "platform/text/Run.h"

namespace ql::ct {

// Where a truncated line loses its characters, with the platform's values.
enum class LineTruncationType { Start = 0, End = 1, Middle = 2 };

// Widths within this of each other count as equal, so that a text measured and then laid out in its own
// width fits again despite rounding.
inline constexpr double LayoutTolerance = 1e-6;

class Line {
public:
    Line() = default;
    // `runs` from left to right; `rightToLeft`: the paragraph's direction. `textOrder` lists the runs'
    // indexes in the order of their text, when that is not theirs.
    Line(std::vector<Run> runs, ns::Range range, bool rightToLeft = false, std::vector<std::size_t> textOrder = {});

    const std::vector<Run>& runs() const { return runs_; }
    ns::Range stringRange() const { return range_; }
    bool isRightToLeft() const { return rightToLeft_; }
    std::size_t glyphCount() const;

    // Typographic bounds: the sum of the advances (trailing white space included), and the largest
    // ascent, descent and leading of the fonts used; zero for a line without runs.
    double width() const { return width_; }
    double ascent() const { return ascent_; }
    double descent() const { return descent_; }
    double leading() const { return leading_; }
    double height() const { return ascent_ + descent_ + leading_; }
    // The room the white space and separators at the end take; they hang past a line's width, on the
    // right of a left-to-right line and on the left of a right-to-left one.
    double trailingWhitespaceWidth() const { return trailingWhitespace_; }
    double visibleWidth() const { return width_ - trailingWhitespace_; }

    // Where to start drawing so that the line's visible part is flush within `flushWidth`: 0 flush
    // left, 1 flush right, 0.5 centred. A line wider than the room has its visible part start at 0.
    double penOffsetForFlush(double flushFactor, double flushWidth) const;

    // The line cut to fit `width` with `token` (usually "…") standing in for the characters left out,
    // at the end, start or middle of its text, cutting only between user-perceived characters and
    // dropping the white space next to the token. The line itself when it fits; nothing when even the
    // token does not fit. The token's runs keep the character indexes of the token's own text, and show
    // as one piece where the token stands in the text: at the paragraph's level at the text's end or
    // start, in the middle at the level of what it joins when that runs one way.
    std::optional<Line> truncated(double width, LineTruncationType type, const Line& token) const;
    // The line without its trailing white space, followed by the token in text order: for text that
    // goes on beyond a line that fits.
    Line appending(const Line& token) const;
    // The longest start of the line's text that fits `width`, cut between characters, without a token.
    Line prefix(double width) const;
    // The line stretched to `width` times `factor` (0 to 1): the extra room goes to the white space
    // between words or, where there is none (Chinese), between characters. Lines wider than that come
    // back unchanged.
    Line justified(double width, double factor = 1) const;

    // Draws at the context's text position, through its text matrix, as the platform's text drawing
    // does: text space has y growing upwards.
    void draw(cg::Context& context) const;
    // Draws with the line's origin and text space mapped to user space by `textToUser`.
    void draw(cg::Context& context, const cg::AffineTransform& textToUser) const;

private:
    // A user-perceived character's glyphs: the unit that truncation and justification work with.
    struct Cluster {
        std::size_t run;
        std::size_t begin;
        std::size_t end;
        double width;
        bool isWhitespace;
        // Where it starts on the line.
        double x;
    };
    // The clusters in text order.
    std::vector<Cluster> clusters() const;
    // Lays out the clusters [begin, end) (of `clusters()`, in text order), then the runs of `token` if
    // given, then the clusters [tailBegin, tailEnd), in visual order.
    Line assemble(const std::vector<Cluster>& clusters, std::size_t begin, std::size_t end, const Line* token,
                  std::size_t tailBegin, std::size_t tailEnd) const;
    std::uint8_t paragraphLevel() const { return rightToLeft_ ? 1 : 0; }

    std::vector<Run> runs_;
    ns::Range range_;
    bool rightToLeft_ = false;
    // Empty when the runs stand in text order.
    std::vector<std::size_t> textOrder_;
    double width_ = 0;
    double ascent_ = 0;
    double descent_ = 0;
    double leading_ = 0;
    double trailingWhitespace_ = 0;
};

}  // namespace ql::ct
