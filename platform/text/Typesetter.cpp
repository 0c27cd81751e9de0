#include "platform/text/Typesetter.h"

#include <algorithm>

#include "platform/foundation/Exception.h"
#include "platform/text/Shaper.h"

namespace ql::ct {

namespace {

// Glyphs of a line before they are placed, in the order they show.
struct Piece {
    const Run* item;
    ns::Range range;
    std::vector<RunGlyph> glyphs;
    std::uint8_t level;
};

// The glyphs with their clusters in the opposite order, each cluster's glyphs kept in theirs: for
// glyphs that turn direction.
std::vector<RunGlyph> turnedRound(const std::vector<RunGlyph>& glyphs) {
    std::vector<RunGlyph> turned;
    turned.reserve(glyphs.size());
    forEachClusterInTextOrder(glyphs, true, [&](std::size_t first, std::size_t last) {
        turned.insert(turned.end(), glyphs.begin() + static_cast<std::ptrdiff_t>(first),
                      glyphs.begin() + static_cast<std::ptrdiff_t>(last));
    });
    return turned;
}

// The white space at the end of a line stands at the paragraph's level, so that it hangs on the line's
// trailing side: the pieces [trailing, end) of another level are cut off and turned to it.
void settleTrailingWhitespace(std::vector<Piece>& pieces, std::uint64_t trailing, std::uint8_t paragraph) {
    for (std::size_t i = pieces.size(); i-- > 0 && pieces[i].range.end() > trailing;) {
        if (pieces[i].level == paragraph) continue;
        Piece& piece = pieces[i];
        const std::uint64_t cut = std::max(trailing, piece.range.location);
        const bool rightToLeft = piece.level % 2 != 0;
        // The white space's glyphs: at the end of left-to-right glyphs, at the start of right-to-left ones.
        auto split = std::find_if(piece.glyphs.begin(), piece.glyphs.end(),
                                  [&](const RunGlyph& g) { return (g.stringIndex >= cut) != rightToLeft; });
        std::vector<RunGlyph> space = rightToLeft ? std::vector<RunGlyph>(piece.glyphs.begin(), split)
                                                  : std::vector<RunGlyph>(split, piece.glyphs.end());
        if (rightToLeft) piece.glyphs.erase(piece.glyphs.begin(), split);
        else piece.glyphs.erase(split, piece.glyphs.end());
        if ((paragraph % 2 != 0) != rightToLeft) space = turnedRound(space);
        Piece spacePiece{piece.item, {cut, piece.range.end() - cut}, std::move(space), paragraph};
        piece.range.length = cut - piece.range.location;
        if (piece.range.length == 0) pieces[i] = std::move(spacePiece);
        else pieces.insert(pieces.begin() + static_cast<std::ptrdiff_t>(i) + 1, std::move(spacePiece));
    }
}

}  // namespace

Typesetter::Typesetter(StyledText text)
    : text_(std::move(text)),
      breaks_(text_.string()),
      levels_(text_.string(), [this](std::uint64_t start) {
          return text_.runs()[text_.runIndexAt(start)].style.baseWritingDirection;
      }) {
    const std::uint64_t length = text_.length();
    offsets_.assign(length + 1, 0);
    glyphBoundary_.assign(length + 1, false);
    glyphBoundary_[length] = true;
    double pen = 0;
    for (auto& item : detail::shape(text_, breaks_, levels_.levels())) {
        for (auto& [end, lineEnd] : detail::lineEnds(text_.string(), item)) lineEnds_.emplace(end, std::move(lineEnd));
        // Widths add up in text order, whatever the direction the glyphs show in.
        forEachClusterInTextOrder(item.glyphs, item.level % 2 != 0, [&](std::size_t first, std::size_t last) {
            const std::uint64_t index = item.glyphs[first].stringIndex;
            glyphBoundary_[index] = true;
            offsets_[index] = pen;
            for (std::size_t g = first; g < last; ++g) pen += item.glyphs[g].advance;
        });
        items_.emplace_back(std::move(item.style), item.range, std::move(item.glyphs), item.level);
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
    auto place = [&](const Run& item, ns::Range pieceRange, std::vector<RunGlyph> glyphs, std::uint8_t level) {
        for (RunGlyph& g : glyphs) {
            g.position.x += pen;
            pen += g.advance;
        }
        runs.emplace_back(item.style(), pieceRange, std::move(glyphs), level);
    };
    // Left-to-right text is placed as it is found; text of both directions once its order is known.
    std::vector<Piece> pieces;
    for (const Run& item : items_) {
        ns::Range itemRange = item.stringRange();
        std::uint64_t from = std::max(itemRange.location, range.location);
        std::uint64_t to = std::min(itemRange.end(), range.end());
        if (from >= to) continue;
        // The line's last cluster, shaped as if the text ended there, in place of the item's.
        const bool endsHere = end && end->clusterStart >= from && end->clusterStart < to;
        std::vector<RunGlyph> glyphs;
        // An item's glyphs are ordered by their characters, one way or the other: those of the line are
        // found by search rather than by a walk through the whole item for every line.
        const std::vector<RunGlyph>& itemGlyphs = item.glyphs();
        if (!item.isRightToLeft()) {
            auto glyph = std::lower_bound(itemGlyphs.begin(), itemGlyphs.end(), from,
                                          [](const RunGlyph& g, std::uint64_t index) { return g.stringIndex < index; });
            for (; glyph != itemGlyphs.end() && glyph->stringIndex < to; ++glyph) {
                if (end && glyph->stringIndex >= end->clusterStart) break;
                glyphs.push_back(*glyph);
            }
            if (endsHere) glyphs.insert(glyphs.end(), end->glyphs.begin(), end->glyphs.end());
        } else {
            auto glyph = std::lower_bound(itemGlyphs.begin(), itemGlyphs.end(), to,
                                          [](const RunGlyph& g, std::uint64_t index) { return g.stringIndex >= index; });
            if (endsHere) glyphs.insert(glyphs.end(), end->glyphs.begin(), end->glyphs.end());
            for (; glyph != itemGlyphs.end() && glyph->stringIndex >= from; ++glyph) {
                if (!endsHere || glyph->stringIndex < end->clusterStart) glyphs.push_back(*glyph);
            }
        }
        if (levels_.isLeftToRight()) place(item, {from, to - from}, std::move(glyphs), 0);
        else pieces.push_back({&item, {from, to - from}, std::move(glyphs), item.level()});
    }
    if (levels_.isLeftToRight()) return Line(std::move(runs), range);

    const std::u16string& s = text_.string();
    std::uint64_t trailing = range.end();
    while (trailing > range.location && isBreakingWhitespace(s[trailing - 1])) --trailing;
    const std::uint8_t paragraph = levels_.paragraphLevelAt(range.location);
    settleTrailingWhitespace(pieces, trailing, paragraph);
    std::vector<std::uint8_t> levels;
    levels.reserve(pieces.size());
    for (const Piece& piece : pieces) levels.push_back(piece.level);
    // The runs' places, in the order of their text.
    std::vector<std::size_t> textOrder(pieces.size());
    for (std::size_t index : detail::visualOrder(levels)) {
        textOrder[index] = runs.size();
        Piece& piece = pieces[index];
        place(*piece.item, piece.range, std::move(piece.glyphs), piece.level);
    }
    return Line(std::move(runs), range, paragraph % 2 != 0, std::move(textOrder));
}

}  // namespace ql::ct
