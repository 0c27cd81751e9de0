#include "platform/text/Line.h"

#include <algorithm>

namespace ql::ct {

Line::Line(std::vector<Run> runs, ns::Range range) : runs_(std::move(runs)), range_(range) {
    for (const Run& run : runs_) {
        width_ += run.width();
        ascent_ = std::max(ascent_, run.font().ascent());
        descent_ = std::max(descent_, run.font().descent());
        leading_ = std::max(leading_, run.font().leading());
    }
    for (auto run = runs_.rbegin(); run != runs_.rend(); ++run) {
        const auto& glyphs = run->glyphs();
        auto glyph = glyphs.rbegin();
        for (; glyph != glyphs.rend() && glyph->isWhitespace; ++glyph) trailingWhitespace_ += glyph->advance;
        if (glyph != glyphs.rend()) break;
    }
}

std::size_t Line::glyphCount() const {
    std::size_t count = 0;
    for (const Run& run : runs_) count += run.glyphs().size();
    return count;
}

double Line::penOffsetForFlush(double flushFactor, double flushWidth) const {
    double room = flushWidth - visibleWidth();
    if (room <= 0) return 0;
    return room * std::clamp(flushFactor, 0.0, 1.0);
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
    for (std::size_t r = 0; r < runs_.size(); ++r) {
        const auto& glyphs = runs_[r].glyphs();
        for (std::size_t i = 0; i < glyphs.size();) {
            std::size_t j = i;
            Cluster cluster{r, i, i, 0, true};
            for (; j < glyphs.size() && glyphs[j].stringIndex == glyphs[i].stringIndex; ++j) {
                cluster.width += glyphs[j].advance;
                cluster.isWhitespace = cluster.isWhitespace && glyphs[j].isWhitespace;
            }
            cluster.end = j;
            result.push_back(cluster);
            i = j;
        }
    }
    return result;
}

Line Line::assemble(const std::vector<Cluster>& clusters, std::size_t begin, std::size_t end, const Line* token,
                    std::size_t tailBegin, std::size_t tailEnd) const {
    std::vector<Run> runs;
    double x = 0;
    // The pen position where each cluster starts in this line.
    std::vector<double> starts(clusters.size() + 1, 0);
    for (std::size_t i = 0; i < clusters.size(); ++i) starts[i + 1] = starts[i] + clusters[i].width;
    auto place = [&](std::size_t from, std::size_t to) {
        for (std::size_t i = from; i < to;) {
            std::size_t j = i;
            while (j < to && clusters[j].run == clusters[i].run) ++j;
            Run piece = runs_[clusters[i].run].slice(clusters[i].begin, clusters[j - 1].end, x - starts[i]);
            x += piece.width();
            runs.push_back(std::move(piece));
            i = j;
        }
    };
    place(begin, end);
    if (token) {
        for (const Run& run : token->runs_) {
            Run piece = run.slice(0, run.glyphs().size(), x);
            x += piece.width();
            runs.push_back(std::move(piece));
        }
    }
    place(tailBegin, tailEnd);
    return Line(std::move(runs), range_);
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

    std::vector<std::vector<RunGlyph>> glyphs;
    for (const Run& run : runs_) glyphs.push_back(run.glyphs());
    double shift = 0;
    for (std::size_t i = 0; i < cs.size(); ++i) {
        auto& runGlyphs = glyphs[cs[i].run];
        for (std::size_t g = cs[i].begin; g < cs[i].end; ++g) runGlyphs[g].position.x += shift;
        bool widens = i < visibleEnd && (betweenCharacters ? i + 1 < visibleEnd : cs[i].isWhitespace);
        if (widens && cs[i].end > cs[i].begin) {
            runGlyphs[cs[i].end - 1].advance += share;
            shift += share;
        }
    }
    std::vector<Run> runs;
    for (std::size_t r = 0; r < runs_.size(); ++r) runs.push_back(runs_[r].withGlyphs(std::move(glyphs[r])));
    return Line(std::move(runs), range_);
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
