#include "platform/text/LinePositions.h"

#include <algorithm>
#include <optional>

namespace ql::ct {

namespace {

// A glyph cluster as the line shows it.
struct Placed {
    std::uint64_t index;
    // The index after its characters in text order.
    std::uint64_t end;
    double x;
    double width;
    bool rightToLeft;

    double leadingEdge() const { return rightToLeft ? x + width : x; }
    double trailingEdge() const { return rightToLeft ? x : x + width; }
    // The index whose caret stands at its left or right edge.
    std::uint64_t leftIndex() const { return rightToLeft ? end : index; }
    std::uint64_t rightIndex() const { return rightToLeft ? index : end; }
};

// Calls visit(cluster) for each glyph cluster from the left, until it answers true. Made without
// allocating: carets are asked for per run and per touch.
template <class Visit>
void forEachPlaced(const Line& line, Visit&& visit) {
    double pen = 0;
    for (const Run& run : line.runs()) {
        const auto& glyphs = run.glyphs();
        const bool rightToLeft = run.isRightToLeft();
        // Each cluster ends where its neighbour in text order starts: the one on its right (known once
        // it is reached), or right to left the one on its left (known already).
        std::optional<Placed> pending;
        std::uint64_t previousIndex = run.stringRange().end();
        for (std::size_t i = 0; i < glyphs.size();) {
            Placed cluster{glyphs[i].stringIndex, run.stringRange().end(), pen, 0, rightToLeft};
            for (; i < glyphs.size() && glyphs[i].stringIndex == cluster.index; ++i) cluster.width += glyphs[i].advance;
            pen += cluster.width;
            if (rightToLeft) {
                cluster.end = previousIndex;
                previousIndex = cluster.index;
                if (visit(cluster)) return;
                continue;
            }
            if (pending) {
                pending->end = cluster.index;
                if (visit(*pending)) return;
            }
            pending = cluster;
        }
        if (pending && visit(*pending)) return;
    }
}

}  // namespace

double offsetForStringIndex(const Line& line, std::uint64_t index, double* secondary) {
    std::optional<Placed> at;      // the first cluster at or after the index in text order
    std::optional<Placed> before;  // the last one before it
    std::optional<Placed> last;
    forEachPlaced(line, [&](const Placed& cluster) {
        if (cluster.index >= index && (!at || cluster.index < at->index)) at = cluster;
        if (cluster.index < index && (!before || cluster.index > before->index)) before = cluster;
        if (!last || cluster.index > last->index) last = cluster;
        return false;
    });
    const double primary = at ? at->leadingEdge() : last ? last->trailingEdge() : 0.0;
    if (secondary) *secondary = before ? before->trailingEdge() : primary;
    return primary;
}

std::pair<double, double> horizontalExtent(const Line& line, ns::Range range) {
    std::optional<std::pair<double, double>> extent;
    forEachPlaced(line, [&](const Placed& cluster) {
        if (cluster.index < range.location || cluster.index >= range.end()) return false;
        if (!extent) extent.emplace(cluster.x, cluster.x + cluster.width);
        extent->first = std::min(extent->first, cluster.x);
        extent->second = std::max(extent->second, cluster.x + cluster.width);
        return false;
    });
    if (extent) return *extent;
    const double caret = offsetForStringIndex(line, range.location);
    return {caret, caret};
}

std::uint64_t stringIndexForPosition(const Line& line, cg::Point position) {
    std::optional<Placed> first;
    std::optional<Placed> last;
    std::optional<std::uint64_t> found;
    forEachPlaced(line, [&](const Placed& cluster) {
        if (!first) {
            first = cluster;
            if (position.x <= cluster.x) {
                found = cluster.leftIndex();
                return true;
            }
        }
        last = cluster;
        if (position.x >= cluster.x + cluster.width) return false;
        found = position.x < cluster.x + cluster.width / 2 ? cluster.leftIndex() : cluster.rightIndex();
        return true;
    });
    if (found) return *found;
    return last ? last->rightIndex() : line.stringRange().location;
}

}  // namespace ql::ct
