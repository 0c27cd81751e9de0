#pragma once
// How a paragraph is set: its alignment and what happens to text that does not fit. The values are the
// platform's text-layout ones.

#include <cstdint>

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

struct ParagraphStyle {
    TextAlignment alignment = TextAlignment::Natural;
    LineBreakMode lineBreakMode = LineBreakMode::WordWrapping;

    bool operator==(const ParagraphStyle&) const = default;
};

}  // namespace ql::ct
