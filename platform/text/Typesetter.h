#pragma once
// ct::Typesetter: shapes a styled text once and then answers where its lines break and what each line
// holds. Word wrapping breaks at the line-break opportunities of TextBreaks; a word too long for the
// line breaks between characters. White space at the end of a line hangs past its width. A line that
// ends before the glyph its last glyph was kerned with ends as the text would end there.
//
// Text of both directions is set by the Unicode bidirectional algorithm: each paragraph takes its base
// direction from the style of its first character (natural: from its first strong character), lines
// break by the widths of their characters in text order, and each line shows its runs in visual order,
// the white space at its end at the paragraph's level.

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "platform/foundation/Range.h"
#include "platform/text/BidiLevels.h"
#include "platform/text/Line.h"
#include "platform/text/Shaper.h"
#include "platform/text/StyledText.h"
#include "platform/text/TextBreaks.h"

namespace ql::ct {

class Typesetter {
public:
    explicit Typesetter(StyledText text);

    const StyledText& text() const { return text_; }
    std::uint64_t length() const { return text_.length(); }
    const TextBreaks& breaks() const { return breaks_; }

    // How many code units from `start` make a line of at most `width`: up to the last line-break
    // opportunity that fits, else up to the last character that fits, but always at least one character
    // and never past a line or paragraph separator (which the line keeps). 0 at the end of the text.
    std::uint64_t suggestLineBreak(std::uint64_t start, double width) const;
    // The same, breaking only between characters.
    std::uint64_t suggestClusterBreak(std::uint64_t start, double width) const;

    // The line holding the code units of `range` (an empty length runs to the end of the text), with
    // its glyphs placed from x = 0 in visual order, in the direction of the paragraph it starts in. Ranges
    // outside the text raise "NSRangeException".
    Line createLine(ns::Range range) const;

    // The width the code units [start, end) take on a line, white space at the end excluded.
    double visibleWidth(std::uint64_t start, std::uint64_t end) const;

private:
    std::uint64_t lastFitting(std::uint64_t start, double width, bool lineBreaksOnly) const;
    // visibleWidth with the end of the visible text already known.
    double lineWidth(std::uint64_t start, std::uint64_t visibleEnd, std::uint64_t end) const;

    StyledText text_;
    TextBreaks breaks_;
    detail::BidiLevels levels_;
    // The shaped items; glyph positions hold only the shaper's offsets.
    std::vector<Run> items_;
    // Where a glyph cluster starts (or the text ends): the only places a line may start.
    std::vector<bool> glyphBoundary_;
    // offsets_[i]: the pen position where the code unit i starts, from the start of the text.
    std::vector<double> offsets_;
    // Keyed by the code unit after them: the clusters shaped otherwise when a line ends after them.
    std::unordered_map<std::uint64_t, detail::LineEnd> lineEnds_;
    // The change of width of a line [start, end) whose last cluster is kept to itself.
    double lineEndChange(std::uint64_t end) const;
};

}  // namespace ql::ct
