#include "platform/text/Typesetter.h"

#include <algorithm>

#include "platform/foundation/Exception.h"
#include "platform/text/Shaper.h"

namespace ql::ct {

Typesetter::Typesetter(StyledText text) : text_(std::move(text)), breaks_(text_.string()) {
    const std::uint64_t length = text_.length();
    offsets_.assign(length + 1, 0);
    glyphBoundary_.assign(length + 1, false);
    glyphBoundary_[length] = true;
    double pen = 0;
    for (auto& item : detail::shape(text_, breaks_)) {
        for (auto& [end, lineEnd] : detail::lineEnds(text_.string(), item)) lineEnds_.emplace(end, std::move(lineEnd));
        for (const RunGlyph& g : item.glyphs) {
            if (!glyphBoundary_[g.stringIndex]) {
                glyphBoundary_[g.stringIndex] = true;
                offsets_[g.stringIndex] = pen;
            }
            pen += g.advance;
        }
        items_.emplace_back(std::move(item.style), item.range, std::move(item.glyphs));
    }
    offsets_[length] = pen;
    // Code units inside a glyph's cluster (the second letter of a ligature) cannot start a line; they
    // read as the end of the cluster.
    for (std::uint64_t i = length; i-- > 0;) {
        if (!glyphBoundary_[i]) offsets_[i] = offsets_[i + 1];
    }
}

double Typesetter::lineEndChange(std::uint64_t end) const {
    auto it = lineEnds_.find(end);
    return it == lineEnds_.end() ? 0.0 : it->second.widthChange;
}

double Typesetter::visibleWidth(std::uint64_t start, std::uint64_t end) const {
    const std::u16string& s = text_.string();
    std::uint64_t visibleEnd = end;
    while (visibleEnd > start && isBreakingWhitespace(s[visibleEnd - 1])) --visibleEnd;
    return lineWidth(start, visibleEnd, end);
}

double Typesetter::lineWidth(std::uint64_t start, std::uint64_t visibleEnd, std::uint64_t end) const {
    // A line ending inside a word is measured as it is laid out: its last cluster on its own.
    const double change = visibleEnd == end && end > start ? lineEndChange(end) : 0.0;
    return offsets_[visibleEnd] - offsets_[start] + change;
}

std::uint64_t Typesetter::lastFitting(std::uint64_t start, double width, bool lineBreaksOnly) const {
    const std::u16string& s = text_.string();
    std::uint64_t best = 0;
    // Kept as the scan goes, so that a long run of white space is not walked back over at every place.
    std::uint64_t visibleEnd = start;
    // Up to the paragraph's end, found on the way rather than looked for ahead of every line.
    bool paragraphEnds = start >= length();
    for (std::uint64_t p = start + 1; !paragraphEnds; ++p) {
        paragraphEnds = p >= length() || breaks_.isMandatoryBreak(p);
        if (!isBreakingWhitespace(s[p - 1])) visibleEnd = p;
        if (!breaks_.isCharacterBoundary(p) || !glyphBoundary_[p]) continue;
        if (lineBreaksOnly && !breaks_.isLineBreak(p)) {
            // Widths only grow along a line: text already wider than the line has no break further on
            // that fits, and a long stretch without one is not scanned to its end for every line.
            if (offsets_[visibleEnd] - offsets_[start] > width + LayoutTolerance) break;
            continue;
        }
        if (lineWidth(start, visibleEnd, p) > width + LayoutTolerance) break;
        best = p;
    }
    return best;
}

std::uint64_t Typesetter::suggestClusterBreak(std::uint64_t start, double width) const {
    if (start >= length()) return 0;
    std::uint64_t end = lastFitting(start, width, false);
    if (end == 0) {
        // Not even one character fits: it takes the line alone.
        end = start + 1;
        while (end < length() && !(breaks_.isCharacterBoundary(end) && glyphBoundary_[end])) ++end;
    }
    return end - start;
}

std::uint64_t Typesetter::suggestLineBreak(std::uint64_t start, double width) const {
    if (start >= length()) return 0;
    if (std::uint64_t end = lastFitting(start, width, true)) return end - start;
    return suggestClusterBreak(start, width);
}

Line Typesetter::createLine(ns::Range range) const {
    if (range.location > length() || (range.length > 0 && range.end() > length()))
        throw ns::Exception(ns::RangeException,
                            "range " + range.description() + " out of bounds; length " + std::to_string(length()));
    if (range.length == 0) range.length = length() - range.location;
    auto lineEnd = lineEnds_.find(range.end());
    const detail::LineEnd* end = lineEnd == lineEnds_.end() ? nullptr : &lineEnd->second;
    std::vector<Run> runs;
    double pen = 0;
    for (const Run& item : items_) {
        ns::Range itemRange = item.stringRange();
        std::uint64_t from = std::max(itemRange.location, range.location);
        std::uint64_t to = std::min(itemRange.end(), range.end());
        if (from >= to) continue;
        std::vector<RunGlyph> glyphs;
        auto place = [&](RunGlyph g) {
            g.position.x += pen;
            pen += g.advance;
            glyphs.push_back(g);
        };
        // The glyphs of a left-to-right item run in text order: those of the line are found by search
        // rather than by a walk through the whole item for every line.
        const std::vector<RunGlyph>& itemGlyphs = item.glyphs();
        auto glyph = std::lower_bound(itemGlyphs.begin(), itemGlyphs.end(), from,
                                      [](const RunGlyph& g, std::uint64_t index) { return g.stringIndex < index; });
        for (; glyph != itemGlyphs.end() && glyph->stringIndex < to; ++glyph) {
            if (end && glyph->stringIndex >= end->clusterStart) break;
            place(*glyph);
        }
        if (end && end->clusterStart >= from && end->clusterStart < to) {
            for (const RunGlyph& g : end->glyphs) place(g);
        }
        runs.emplace_back(item.style(), ns::Range{from, to - from}, std::move(glyphs));
    }
    return Line(std::move(runs), range);
}

}  // namespace ql::ct
