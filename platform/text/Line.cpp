#include "platform/text/Line.h"

#include <algorithm>

#include "platform/text/BidiLevels.h"

namespace ql::ct {

Line::Line(std::vector<Run> runs, ns::Range range, bool rightToLeft, std::vector<std::size_t> textOrder)
    : runs_(std::move(runs)), range_(range), rightToLeft_(rightToLeft), textOrder_(std::move(textOrder)) {
    for (std::size_t i = 0; i < textOrder_.size(); ++i) {
        if (textOrder_[i] != i) break;
        if (i + 1 == textOrder_.size()) textOrder_.clear();
    }
    for (const Run& run : runs_) {
        width_ += run.width();
        ascent_ = std::max(ascent_, run.font().ascent());
        descent_ = std::max(descent_, run.font().descent());
        leading_ = std::max(leading_, run.font().leading());
    }
    // The white space ending the text stands on the paragraph's trailing side.
    auto hanging = [&](auto runFrom, auto runTo, auto glyphsFrom, auto glyphsTo) {
        for (auto run = runFrom(runs_); run != runTo(runs_); ++run) {
            const auto& glyphs = run->glyphs();
            auto glyph = glyphsFrom(glyphs);
            for (; glyph != glyphsTo(glyphs) && glyph->isWhitespace; ++glyph) trailingWhitespace_ += glyph->advance;
            if (glyph != glyphsTo(glyphs)) break;
        }
    };
    if (rightToLeft_) {
        hanging([](auto& r) { return r.begin(); }, [](auto& r) { return r.end(); }, [](auto& g) { return g.begin(); },
                [](auto& g) { return g.end(); });
    } else {
        hanging([](auto& r) { return r.rbegin(); }, [](auto& r) { return r.rend(); }, [](auto& g) { return g.rbegin(); },
                [](auto& g) { return g.rend(); });
    }
}

std::size_t Line::glyphCount() const {
    std::size_t count = 0;
    for (const Run& run : runs_) count += run.glyphs().size();
    return count;
}

double Line::penOffsetForFlush(double flushFactor, double flushWidth) const {
    const double room = flushWidth - visibleWidth();
    const double offset = room > 0 ? room * std::clamp(flushFactor, 0.0, 1.0) : 0;
    // A right-to-left line's final white space hangs on its left.
    return rightToLeft_ ? offset - trailingWhitespace_ : offset;
}

namespace {

template <class Clusters>
std::size_t visibleCount(const Clusters& clusters) {
    std::size_t count = clusters.size();
    while (count > 0 && clusters[count - 1].isWhitespace) --count;
    return count;
}

}  // namespace

std::vector<Line::Cluster> Line::clusters() const {
    std::vector<Cluster> result;
    double x = 0;
    bool inTextOrder = textOrder_.empty();
    for (std::size_t r = 0; r < runs_.size(); ++r) {
        const auto& glyphs = runs_[r].glyphs();
        inTextOrder = inTextOrder && !runs_[r].isRightToLeft();
        for (std::size_t i = 0; i < glyphs.size();) {
            std::size_t j = i;
            Cluster cluster{r, i, i, 0, true, x};
            for (; j < glyphs.size() && glyphs[j].stringIndex == glyphs[i].stringIndex; ++j) {
                cluster.width += glyphs[j].advance;
                cluster.isWhitespace = cluster.isWhitespace && glyphs[j].isWhitespace;
            }
            cluster.end = j;
            x += cluster.width;
            result.push_back(cluster);
            i = j;
        }
    }
    if (inTextOrder) return result;
    std::vector<std::size_t> rank(runs_.size());
    for (std::size_t r = 0; r < runs_.size(); ++r) rank[textOrder_.empty() ? r : textOrder_[r]] = r;
    std::sort(result.begin(), result.end(), [&](const Cluster& a, const Cluster& b) {
        if (a.run != b.run) return rank[a.run] < rank[b.run];
        return runs_[a.run].isRightToLeft() ? b.begin < a.begin : a.begin < b.begin;
    });
    return result;
}

Line Line::assemble(const std::vector<Cluster>& clusters, std::size_t begin, std::size_t end, const Line* token,
                    std::size_t tailBegin, std::size_t tailEnd) const {
    // Stretches of one run's neighbouring glyphs, and the token, in text order.
    struct Piece {
        std::size_t run;  // of this line; none for the token
        std::size_t glyphsBegin;
        std::size_t glyphsEnd;
        double x;  // where its glyphs start on this line
        std::uint8_t level;
    };
    constexpr std::size_t Token = static_cast<std::size_t>(-1);
    std::vector<Piece> pieces;
    auto collect = [&](std::size_t from, std::size_t to) {
        for (std::size_t i = from; i < to;) {
            const Run& run = runs_[clusters[i].run];
            const bool rightToLeft = run.isRightToLeft();
            Piece piece{clusters[i].run, clusters[i].begin, clusters[i].end, clusters[i].x, run.level()};
            std::size_t j = i + 1;
            for (; j < to && clusters[j].run == piece.run; ++j) {
                if (rightToLeft ? clusters[j].end != piece.glyphsBegin : clusters[j].begin != piece.glyphsEnd) break;
                if (rightToLeft) {
                    piece.glyphsBegin = clusters[j].begin;
                    piece.x = clusters[j].x;
                } else {
                    piece.glyphsEnd = clusters[j].end;
                }
            }
            pieces.push_back(piece);
            i = j;
        }
    };
    collect(begin, end);
    if (token) {
        // At the text's start or end the token takes the paragraph's level; between text running one
        // way, that way.
        std::uint8_t level = paragraphLevel();
        if (begin < end && tailBegin < tailEnd) {
            const std::uint8_t before = runs_[clusters[end - 1].run].level();
            const std::uint8_t after = runs_[clusters[tailBegin].run].level();
            if (before % 2 == after % 2) level = std::min(before, after);
        }
        pieces.push_back({Token, 0, 0, 0, level});
    }
    collect(tailBegin, tailEnd);

    std::vector<std::uint8_t> levels;
    levels.reserve(pieces.size());
    for (const Piece& piece : pieces) levels.push_back(piece.level);
    const std::vector<std::size_t> order = detail::visualOrder(levels);
    std::vector<Run> runs;
    // Where each piece's runs start among the new runs, and how many it has.
    std::vector<std::pair<std::size_t, std::size_t>> placed(pieces.size());
    double x = 0;
    for (std::size_t index : order) {
        const Piece& piece = pieces[index];
        if (piece.run == Token) {
            placed[index] = {runs.size(), token->runs_.size()};
            for (const Run& run : token->runs_) runs.push_back(run.slice(0, run.glyphs().size(), x));
            x += token->width();
            continue;
        }
        placed[index] = {runs.size(), 1};
        Run run = runs_[piece.run].slice(piece.glyphsBegin, piece.glyphsEnd, x - piece.x);
        x += run.width();
        runs.push_back(std::move(run));
    }
    std::vector<std::size_t> textOrder;
    textOrder.reserve(runs.size());
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        const auto [first, count] = placed[i];
        if (pieces[i].run != Token) {
            textOrder.push_back(first);
            continue;
        }
        for (std::size_t k = 0; k < count; ++k) {
            textOrder.push_back(first + (token->textOrder_.empty() ? k : token->textOrder_[k]));
        }
    }
    return Line(std::move(runs), range_, rightToLeft_, std::move(textOrder));
}

std::optional<Line> Line::truncated(double width, LineTruncationType type, const Line& token) const {
    if (visibleWidth() <= width + LayoutTolerance) return *this;
    if (token.width() > width + LayoutTolerance) return std::nullopt;
    const double room = width - token.width() + LayoutTolerance;
    const std::vector<Cluster> cs = clusters();
    const std::size_t visibleEnd = visibleCount(cs);

    std::size_t front = 0;          // clusters [0, front) stay before the token
    std::size_t back = visibleEnd;  // clusters [back, visibleEnd) stay after it
    double frontWidth = 0;
    double backWidth = 0;
    auto takeFront = [&] {
        if (front >= back || frontWidth + backWidth + cs[front].width > room) return false;
        frontWidth += cs[front++].width;
        return true;
    };
    auto takeBack = [&] {
        if (back <= front || frontWidth + backWidth + cs[back - 1].width > room) return false;
        backWidth += cs[--back].width;
        return true;
    };
    switch (type) {
    case LineTruncationType::End:
        while (takeFront()) {}
        break;
    case LineTruncationType::Start:
        while (takeBack()) {}
        break;
    case LineTruncationType::Middle: {
        // Both sides keep about as much, the start taking the first character.
        bool frontOpen = true;
        bool backOpen = true;
        while (frontOpen || backOpen) {
            if (frontOpen && (!backOpen || frontWidth <= backWidth)) frontOpen = takeFront();
            else backOpen = takeBack();
        }
        break;
    }
    }
    while (front > 0 && cs[front - 1].isWhitespace) --front;
    while (back < visibleEnd && cs[back].isWhitespace) ++back;
    return assemble(cs, 0, front, &token, back, visibleEnd);
}

Line Line::appending(const Line& token) const {
    const std::vector<Cluster> cs = clusters();
    const std::size_t visibleEnd = visibleCount(cs);
    return assemble(cs, 0, visibleEnd, &token, visibleEnd, visibleEnd);
}

Line Line::prefix(double width) const {
    const std::vector<Cluster> cs = clusters();
    std::size_t end = 0;
    double used = 0;
    while (end < cs.size() && used + cs[end].width <= width + LayoutTolerance) used += cs[end++].width;
    return assemble(cs, 0, end, nullptr, end, end);
}

Line Line::justified(double width, double factor) const {
    const double extra = (width - visibleWidth()) * std::clamp(factor, 0.0, 1.0);
    if (extra <= LayoutTolerance) return *this;
    const std::vector<Cluster> cs = clusters();
    const std::size_t visibleEnd = visibleCount(cs);
    std::size_t spaces = 0;
    for (std::size_t i = 0; i < visibleEnd; ++i) spaces += cs[i].isWhitespace ? 1 : 0;
    const bool betweenCharacters = spaces == 0;
    const std::size_t gaps = betweenCharacters ? (visibleEnd > 0 ? visibleEnd - 1 : 0) : spaces;
    if (gaps == 0) return *this;
    const double share = extra / static_cast<double>(gaps);

    // Each widened cluster takes its share on its right; between characters, every visible one but
    // the rightmost does.
    std::size_t rightmost = 0;
    for (std::size_t i = 0; i < visibleEnd; ++i) {
        if (cs[i].x >= cs[rightmost].x) rightmost = i;
    }
    std::vector<std::vector<bool>> widens;
    for (const Run& run : runs_) widens.emplace_back(run.glyphs().size(), false);
    for (std::size_t i = 0; i < visibleEnd; ++i) {
        const bool widened = betweenCharacters ? i != rightmost : cs[i].isWhitespace;
        if (widened && cs[i].end > cs[i].begin) widens[cs[i].run][cs[i].end - 1] = true;
    }
    std::vector<Run> runs;
    double shift = 0;
    for (std::size_t r = 0; r < runs_.size(); ++r) {
        std::vector<RunGlyph> glyphs = runs_[r].glyphs();
        for (std::size_t g = 0; g < glyphs.size(); ++g) {
            glyphs[g].position.x += shift;
            if (widens[r][g]) {
                glyphs[g].advance += share;
                shift += share;
            }
        }
        runs.push_back(runs_[r].withGlyphs(std::move(glyphs)));
    }
    return Line(std::move(runs), range_, rightToLeft_, textOrder_);
}

void Line::draw(cg::Context& context) const {
    cg::AffineTransform textToUser = context.textMatrix();
    textToUser.tx += context.textPosition().x;
    textToUser.ty += context.textPosition().y;
    draw(context, textToUser);
}

void Line::draw(cg::Context& context, const cg::AffineTransform& textToUser) const {
    for (const Run& run : runs_) run.draw(context, textToUser);
}

}  // namespace ql::ct
