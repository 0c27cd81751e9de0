#pragma once
// The platform's enumerations and constants for text in views: alignment, line-break modes, string
// drawing options and the attribute names string drawing reads, all with the platform's values.

#include <cstdint>
#include <string_view>

#include "platform/text/AttributeNames.h"

namespace ql::ui {

enum class TextAlignment : std::int64_t { Left = 0, Center = 1, Right = 2, Justified = 3, Natural = 4 };

enum class LineBreakMode : std::int64_t {
    WordWrapping = 0,
    CharWrapping = 1,
    Clipping = 2,
    TruncatingHead = 3,
    TruncatingTail = 4,
    TruncatingMiddle = 5,
};

enum StringDrawingOptions : unsigned {
    // The rectangle's origin is the top left of the first line, and the text wraps within its width;
    // without it the origin is the first baseline's start and the text is set on one line.
    StringDrawingUsesLineFragmentOrigin = 1u << 0,
    // Lines are spaced by the fonts' leading too.
    StringDrawingUsesFontLeading = 1u << 1,
    // The last line shown ends in "…" when text is left out.
    StringDrawingTruncatesLastVisibleLine = 1u << 5,
};

// Attribute names (a Font object, a Color object for the text's colour...) are the text layer's.

}  // namespace ql::ui
