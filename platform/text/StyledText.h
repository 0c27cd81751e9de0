#pragma once
// ct::StyledText: a text and the style of each of its ranges, what the typesetter lays out. Ranges are
// in UTF-16 code units and cover the text without gaps, in order. Styles will grow with the attributes
// of rich text; the layout reads only what it knows.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Range.h"
#include "platform/graphics/Color.h"
#include "platform/text/Font.h"
#include "platform/text/ParagraphStyle.h"

namespace ql::ct {

struct TextStyle {
    Font font;
    // Nothing: the drawing context's fill colour.
    std::optional<cg::Color> foregroundColor;
    // A single line under the glyphs, in their colour, at the font's underline position.
    bool underlined = false;
    // Extra room after each character, in points.
    double kern = 0;
    // The direction of the paragraph, read from the style of its first character.
    WritingDirection baseWritingDirection = WritingDirection::Natural;

    bool operator==(const TextStyle&) const = default;
};

struct StyleRun {
    ns::Range range;
    TextStyle style;
};

class StyledText {
public:
    // The whole UTF-8 text in one style.
    StyledText(std::string_view text, TextStyle style);
    // Runs must cover the text in order, without gaps or overlaps (empty runs are dropped); raises
    // "NSInvalidArgumentException" otherwise. An empty text takes the style of its first run, so that
    // even an empty line has a font; it needs one run.
    StyledText(std::u16string text, std::vector<StyleRun> runs);

    const std::u16string& string() const { return text_; }
    std::uint64_t length() const { return text_.size(); }
    const std::vector<StyleRun>& runs() const { return runs_; }
    // The index of the run holding the code unit at `index` (the last run for the end of the text).
    std::size_t runIndexAt(std::uint64_t index) const;

private:
    std::u16string text_;
    std::vector<StyleRun> runs_;
};

}  // namespace ql::ct
