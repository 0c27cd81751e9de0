#pragma once
// ct::Run: glyphs of one style, one face and one direction, shaped, in a line. Positions are relative to
// the line's origin on the baseline, with y growing upwards as in text space. Glyphs are kept from left to
// right: in text order for a left-to-right run, from the end of its characters to their start for a
// right-to-left one.

#include <cstdint>
#include <vector>

#include "platform/foundation/Range.h"
#include "platform/graphics/Context.h"
#include "platform/graphics/Geometry.h"
#include "platform/text/StyledText.h"

namespace ql::ct {

// Glyph id of characters that take no ink (line separators and other controls).
inline constexpr std::uint32_t InvisibleGlyph = 0xFFFFFFFF;

struct RunGlyph {
    std::uint32_t id = InvisibleGlyph;
    // The first code unit of the characters the glyph stands for.
    std::uint64_t stringIndex = 0;
    cg::Point position;
    double advance = 0;
    // Breaking white space, which hangs at the end of a line and takes justification's extra room.
    bool isWhitespace = false;
};

class Run {
public:
    // `style.font` is the face the glyphs come from, which may be a fallback of the style asked for.
    // `level` is the bidirectional embedding level: odd for right to left.
    Run(TextStyle style, ns::Range range, std::vector<RunGlyph> glyphs, std::uint8_t level = 0);

    const TextStyle& style() const { return style_; }
    const Font& font() const { return style_.font; }
    ns::Range stringRange() const { return range_; }
    const std::vector<RunGlyph>& glyphs() const { return glyphs_; }
    std::uint8_t level() const { return level_; }
    bool isRightToLeft() const { return level_ % 2 != 0; }
    // The sum of the advances.
    double width() const;

    // The glyphs from `begin` to `end`, moved right by `dx`.
    Run slice(std::size_t begin, std::size_t end, double dx) const;
    // The same characters and style with the glyphs replaced (moved or respaced) by the caller's.
    Run withGlyphs(std::vector<RunGlyph> glyphs) const;

    // Draws the glyphs in the run's colour, or the context's fill colour when the style has none, with
    // text space (y up, origin at the line's origin) mapped to user space by `textToUser`.
    void draw(cg::Context& context, const cg::AffineTransform& textToUser) const;

private:
    TextStyle style_;
    ns::Range range_;
    std::vector<RunGlyph> glyphs_;
    std::uint8_t level_ = 0;
};

// Calls visit(first, last) for each glyph cluster of `glyphs` (neighbours sharing a string index, the
// glyphs [first, last)) in text order: from the right for right-to-left glyphs.
template <class Visit>
void forEachClusterInTextOrder(const std::vector<RunGlyph>& glyphs, bool rightToLeft, Visit&& visit) {
    if (!rightToLeft) {
        for (std::size_t first = 0; first < glyphs.size();) {
            std::size_t last = first + 1;
            while (last < glyphs.size() && glyphs[last].stringIndex == glyphs[first].stringIndex) ++last;
            visit(first, last);
            first = last;
        }
        return;
    }
    for (std::size_t last = glyphs.size(); last > 0;) {
        std::size_t first = last - 1;
        while (first > 0 && glyphs[first - 1].stringIndex == glyphs[last - 1].stringIndex) --first;
        visit(first, last);
        last = first;
    }
}

}  // namespace ql::ct
