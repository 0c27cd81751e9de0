#pragma once
// How a paragraph is set: alignment, what happens to text that does not fit, indents, spacing, line
// heights, writing direction and tab stops. The values are the platform's text-layout ones; lengths are
// in points, and the tail indent is the platform's: a positive value measures from the leading edge,
// zero or a negative one from the trailing edge. A zero line height multiple or maximum means none.

#include <cstdint>
#include <vector>

namespace ql::ct {

enum class TextAlignment : std::uint8_t { Left = 0, Right = 1, Center = 2, Justified = 3, Natural = 4 };

enum class LineBreakMode : std::uint8_t {
    WordWrapping = 0,
    CharWrapping = 1,
    Clipping = 2,
    TruncatingHead = 3,
    TruncatingTail = 4,
    TruncatingMiddle = 5,
};

enum class WritingDirection : std::int8_t { Natural = -1, LeftToRight = 0, RightToLeft = 1 };

// An explicit tab stop: text after a tab is aligned at `location` as `alignment` says.
struct TextTab {
    TextAlignment alignment = TextAlignment::Left;
    double location = 0;

    bool operator==(const TextTab&) const = default;
};

struct ParagraphStyle {
    TextAlignment alignment = TextAlignment::Natural;
    LineBreakMode lineBreakMode = LineBreakMode::WordWrapping;
    double firstLineHeadIndent = 0;
    double headIndent = 0;
    double tailIndent = 0;
    double defaultTabInterval = 0;
    std::vector<TextTab> tabStops = {};
    double lineHeightMultiple = 0;
    double minimumLineHeight = 0;
    double maximumLineHeight = 0;
    double lineSpacing = 0;
    double paragraphSpacing = 0;
    double paragraphSpacingBefore = 0;
    WritingDirection baseWritingDirection = WritingDirection::Natural;

    bool operator==(const ParagraphStyle&) const = default;
};

// How far a line goes towards the right of its room: 0 flush left, 1 flush right, 0.5 centred. Natural
// alignment follows the paragraph's direction, as does a justified paragraph's last line (the others
// fill the room).
inline double flushFactor(TextAlignment alignment, bool rightToLeft) {
    switch (alignment) {
    case TextAlignment::Left: return 0;
    case TextAlignment::Right: return 1;
    case TextAlignment::Center: return 0.5;
    case TextAlignment::Justified:
    case TextAlignment::Natural: break;
    }
    return rightToLeft ? 1 : 0;
}

}  // namespace ql::ct
