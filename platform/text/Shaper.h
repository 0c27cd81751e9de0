#pragma once
// Shaping for the typesetter: the text is cut into items of one style, one face, one script and one
// bidirectional level, each shaped by HarfBuzz in its own direction. A character the style's face has no
// glyph for is given to the first fallback face of the catalog that has one (Chinese to WenQuanYi Micro
// Hei), one user-perceived character at a time; a character shown as an emoji goes to the emoji face
// first. For the text layer's own sources.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "platform/foundation/Range.h"
#include "platform/text/Run.h"
#include "platform/text/StyledText.h"
#include "platform/text/TextBreaks.h"

namespace ql::ct::detail {

struct ShapedItem {
    TextStyle style;  // its font is the face used
    ns::Range range;
    // From left to right, as a run keeps them; positions hold only the shaper's offsets from the pen.
    std::vector<RunGlyph> glyphs;
    // The script it was shaped as (an ICU script code).
    int script = 0;
    // Odd: shaped right to left.
    std::uint8_t level = 0;
};

// `levels` holds the bidirectional level of each code unit, or nothing when all are 0.
std::vector<ShapedItem> shape(const StyledText& text, const TextBreaks& breaks, std::span<const std::uint8_t> levels);

// A glyph cluster as it is shaped when the text ends after it, for a line that ends there.
struct LineEnd {
    std::uint64_t clusterStart = 0;
    std::vector<RunGlyph> glyphs;
    // Its width less its width inside the item.
    double widthChange = 0;
};

// For each cluster of `item` whose advances depend on what follows it inside the item (kerning with the
// next glyph in text order), keyed by the code unit after it: how it is shaped with nothing after it.
std::vector<std::pair<std::uint64_t, LineEnd>> lineEnds(const std::u16string& text, const ShapedItem& item);

// How many glyphs the calling thread's shaping buffer, kept for its next text, holds from its last one; nothing when
// the thread keeps none (it shaped nothing yet, or let a large one go).
std::optional<unsigned> keptShapingBufferLength();

}  // namespace ql::ct::detail
