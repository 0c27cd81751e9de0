#pragma once
// Shaping for the typesetter: the text is cut into items of one style, one face and one script, each
// shaped by HarfBuzz left to right. A character the style's face has no glyph for is given to the first
// fallback face of the catalog that has one (Chinese to WenQuanYi Micro Hei), one user-perceived
// character at a time. For the text layer's own sources.

#include <vector>

#include "platform/foundation/Range.h"
#include "platform/text/Run.h"
#include "platform/text/StyledText.h"
#include "platform/text/TextBreaks.h"

namespace ql::ct::detail {

struct ShapedItem {
    TextStyle style;  // its font is the face used
    ns::Range range;
    // In logical order; positions hold only the shaper's offsets from the pen.
    std::vector<RunGlyph> glyphs;
};

std::vector<ShapedItem> shape(const StyledText& text, const TextBreaks& breaks);

}  // namespace ql::ct::detail
