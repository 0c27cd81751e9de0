#include "platform/text/LinePositions.h"

#include <algorithm>
#include <optional>
#include <vector>

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

std::vector<Placed> placedClusters(const Line& line) {
    std::vector<Placed> placed;
    double pen = 0;
    for (const Run& run : line.runs()) {
        const auto& glyphs = run.glyphs();
        const bool rightToLeft = run.isRightToLeft();
        const std::size_t first = placed.size();
        for (std::size_t i = 0; i < glyphs.size();) {
            Placed cluster{glyphs[i].stringIndex, run.stringRange().end(), pen, 0, rightToLeft};
            for (; i < glyphs.size() && glyphs[i].stringIndex == cluster.index; ++i) cluster.width += glyphs[i].advance;
            pen += cluster.width;
            placed.push_back(cluster);
        }
        // Each cluster ends where its neighbour in text order starts: the one on its right, or on its left
        // right to left.
        for (std::size_t c = first; c + 1 < placed.size(); ++c) {
            if (rightToLeft) placed[c + 1].end = placed[c].index;
            else placed[c].end = placed[c + 1].index;
        }
    }
    return placed;
}

}  // namespace

double offsetForStringIndex(const Line& line, std::uint64_t index, double* secondary) {
    const std::vector<Placed> placed = placedClusters(line);
    const Placed* at = nullptr;      // the first cluster at or after the index in text order
    const Placed* before = nullptr;  // the last one before it
    const Placed* last = nullptr;
    for (const Placed& cluster : placed) {
        if (cluster.index >= index && (!at || cluster.index < at->index)) at = &cluster;
        if (cluster.index < index && (!before || cluster.index > before->index)) before = &cluster;
        if (!last || cluster.index > last->index) last = &cluster;
    }
    const double primary = at ? at->leadingEdge() : last ? last->trailingEdge() : 0.0;
    if (secondary) *secondary = before ? before->trailingEdge() : primary;
    return primary;
}

std::pair<double, double> horizontalExtent(const Line& line, ns::Range range) {
    std::optional<std::pair<double, double>> extent;
    for (const Placed& cluster : placedClusters(line)) {
        if (cluster.index < range.location || cluster.index >= range.end()) continue;
        if (!extent) extent.emplace(cluster.x, cluster.x + cluster.width);
        extent->first = std::min(extent->first, cluster.x);
        extent->second = std::max(extent->second, cluster.x + cluster.width);
    }
    if (extent) return *extent;
    const double caret = offsetForStringIndex(line, range.location);
    return {caret, caret};
}

std::uint64_t stringIndexForPosition(const Line& line, cg::Point position) {
    const std::vector<Placed> placed = placedClusters(line);
    if (placed.empty()) return line.stringRange().location;
    if (position.x <= placed.front().x) return placed.front().leftIndex();
    for (const Placed& cluster : placed) {
        if (position.x >= cluster.x + cluster.width) continue;
        return position.x < cluster.x + cluster.width / 2 ? cluster.leftIndex() : cluster.rightIndex();
    }
    return placed.back().rightIndex();
}

}  // namespace ql::ct
