#include "platform/text/LinePositions.h"

namespace ql::ct {

double offsetForStringIndex(const Line& line, std::uint64_t index) {
    double pen = 0;
    for (const Run& run : line.runs()) {
        for (const RunGlyph& glyph : run.glyphs()) {
            if (glyph.stringIndex >= index) return pen;
            pen += glyph.advance;
        }
    }
    return pen;
}

std::uint64_t stringIndexForPosition(const Line& line, cg::Point position) {
    const ns::Range range = line.stringRange();
    if (position.x <= 0) return range.location;
    double pen = 0;
    // Glyphs of one cluster share an index and together make one character's advance.
    const RunGlyph* cluster = nullptr;
    double clusterStart = 0;
    double clusterWidth = 0;
    auto settle = [&](std::uint64_t next) -> std::optional<std::uint64_t> {
        if (!cluster) return std::nullopt;
        if (position.x < clusterStart + clusterWidth / 2) return cluster->stringIndex;
        if (position.x < clusterStart + clusterWidth) return next;
        return std::nullopt;
    };
    for (const Run& run : line.runs()) {
        for (const RunGlyph& glyph : run.glyphs()) {
            if (cluster && glyph.stringIndex == cluster->stringIndex) {
                clusterWidth += glyph.advance;
            } else {
                if (auto found = settle(glyph.stringIndex)) return *found;
                cluster = &glyph;
                clusterStart = pen;
                clusterWidth = glyph.advance;
            }
            pen += glyph.advance;
        }
    }
    if (auto found = settle(range.end())) return *found;
    return range.end();
}

}  // namespace ql::ct
