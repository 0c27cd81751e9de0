#pragma once
// ct::Run: glyphs of one style and one face, shaped, in a line. Positions are relative to the line's
// origin on the baseline, with y growing upwards as in text space.

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
    Run(TextStyle style, ns::Range range, std::vector<RunGlyph> glyphs);

    const TextStyle& style() const { return style_; }
    const Font& font() const { return style_.font; }
    ns::Range stringRange() const { return range_; }
    const std::vector<RunGlyph>& glyphs() const { return glyphs_; }
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
};

}  // namespace ql::ct
