#include "platform/ui/TableViewGeometry.h"

#include <algorithm>

namespace ql::ui {

void TableViewGeometry::reset(double tableHeader, std::vector<Section> sections, double tableFooter) {
    tableHeader_ = tableHeader;
    tableFooter_ = tableFooter;
    sections_.clear();
    sections_.reserve(sections.size());
    for (auto& section : sections) {
        section.estimated.resize(section.rows.size(), false);
        sections_.push_back({std::move(section), 0, {}});
    }
    placeFrom(0);
}

void TableViewGeometry::setTableHeaderHeight(double height) {
    tableHeader_ = height;
    placeFrom(0);
}

void TableViewGeometry::setTableFooterHeight(double height) {
    tableFooter_ = height;
    placeFrom(sections_.size());
}

void TableViewGeometry::placeFrom(std::size_t first) {
    double y = first == 0 ? tableHeader_ : sections_[first - 1].top + sectionHeight(static_cast<std::int64_t>(first - 1));
    for (std::size_t s = first; s < sections_.size(); ++s) {
        Placed& placed = sections_[s];
        placed.top = y;
        const auto& rows = placed.section.rows;
        placed.rowTops.resize(rows.size() + 1);
        double rowY = placed.section.header;
        for (std::size_t r = 0; r < rows.size(); ++r) {
            placed.rowTops[r] = rowY;
            rowY += rows[r];
        }
        placed.rowTops[rows.size()] = rowY;
        y += rowY + placed.section.footer;
    }
    footerTop_ = y;
}

std::int64_t TableViewGeometry::numberOfRows(std::int64_t section) const {
    if (section < 0 || section >= numberOfSections()) return 0;
    return static_cast<std::int64_t>(sections_[static_cast<std::size_t>(section)].section.rows.size());
}

bool TableViewGeometry::contains(const ns::IndexPath& path) const {
    return path.row() >= 0 && path.row() < numberOfRows(path.section());
}

double TableViewGeometry::sectionTop(std::int64_t section) const { return sections_[static_cast<std::size_t>(section)].top; }

double TableViewGeometry::sectionHeight(std::int64_t section) const {
    const Placed& placed = sections_[static_cast<std::size_t>(section)];
    return placed.rowTops.back() + placed.section.footer;
}

double TableViewGeometry::footerTop(std::int64_t section) const {
    const Placed& placed = sections_[static_cast<std::size_t>(section)];
    return placed.top + placed.rowTops.back();
}

double TableViewGeometry::rowTop(const ns::IndexPath& path) const {
    const Placed& placed = sections_[static_cast<std::size_t>(path.section())];
    return placed.top + placed.rowTops[static_cast<std::size_t>(path.row())];
}

double TableViewGeometry::rowHeight(const ns::IndexPath& path) const {
    return sections_[static_cast<std::size_t>(path.section())].section.rows[static_cast<std::size_t>(path.row())];
}

bool TableViewGeometry::isEstimated(const ns::IndexPath& path) const {
    return sections_[static_cast<std::size_t>(path.section())].section.estimated[static_cast<std::size_t>(path.row())];
}

void TableViewGeometry::setRowHeight(const ns::IndexPath& path, double height) {
    Section& section = sections_[static_cast<std::size_t>(path.section())].section;
    const auto row = static_cast<std::size_t>(path.row());
    section.estimated[row] = false;
    if (section.rows[row] == height) return;
    section.rows[row] = height;
    placeFrom(static_cast<std::size_t>(path.section()));
}

std::size_t TableViewGeometry::sectionIndexAt(double y) const {
    // The last section that starts at or before y.
    auto it = std::upper_bound(sections_.begin(), sections_.end(), y, [](double value, const Placed& p) { return value < p.top; });
    return it == sections_.begin() ? 0 : static_cast<std::size_t>(it - sections_.begin()) - 1;
}

std::vector<std::int64_t> TableViewGeometry::sectionsBetween(double top, double bottom) const {
    std::vector<std::int64_t> result;
    for (std::size_t s = sections_.empty() ? 0 : sectionIndexAt(top); s < sections_.size(); ++s) {
        const double sTop = sections_[s].top;
        if (sTop >= bottom) break;
        if (sTop + sectionHeight(static_cast<std::int64_t>(s)) > top) result.push_back(static_cast<std::int64_t>(s));
    }
    return result;
}

std::vector<ns::IndexPath> TableViewGeometry::rowsBetween(double top, double bottom) const {
    std::vector<ns::IndexPath> result;
    for (std::int64_t s : sectionsBetween(top, bottom)) {
        const Placed& placed = sections_[static_cast<std::size_t>(s)];
        const auto& tops = placed.rowTops;
        const std::size_t rows = placed.section.rows.size();
        // The first row that ends after `top`.
        auto first = std::upper_bound(tops.begin() + 1, tops.end(), top - placed.top);
        for (auto r = static_cast<std::size_t>(first - tops.begin()) - 1; r < rows; ++r) {
            if (placed.top + tops[r] >= bottom) break;
            if (placed.section.rows[r] <= 0) continue;
            result.emplace_back(s, static_cast<std::int64_t>(r));
        }
    }
    return result;
}

std::optional<ns::IndexPath> TableViewGeometry::rowAt(double y) const {
    auto rows = rowsBetween(y, y + 1e-9);
    if (rows.empty()) return std::nullopt;
    const ns::IndexPath path = rows.front();
    const double t = rowTop(path);
    if (y < t || y >= t + rowHeight(path)) return std::nullopt;
    return path;
}

}  // namespace ql::ui
