#pragma once
// ui::TableViewGeometry: where the table header, each section's header, rows and footer, and the table
// footer sit along a table's height. Rows may be estimated until measured; measuring one moves
// everything below it. Lookups by height are binary searches, so long tables stay cheap to tile.

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/foundation/IndexPath.h"

namespace ql::ui {

class TableViewGeometry {
public:
    struct Section {
        double header = 0;
        double footer = 0;
        std::vector<double> rows;  // heights
        // Rows whose height is only an estimate so far.
        std::vector<bool> estimated;
    };

    void reset(double tableHeader, std::vector<Section> sections, double tableFooter);
    void setTableHeaderHeight(double height);
    void setTableFooterHeight(double height);

    std::int64_t numberOfSections() const { return static_cast<std::int64_t>(sections_.size()); }
    // 0 for a section that does not exist.
    std::int64_t numberOfRows(std::int64_t section) const;
    bool contains(const ns::IndexPath& path) const;

    double contentHeight() const { return footerTop_ + tableFooter_; }
    double tableHeaderHeight() const { return tableHeader_; }
    double tableFooterTop() const { return footerTop_; }
    double tableFooterHeight() const { return tableFooter_; }

    // Tops and heights along the table; the section spans its header, rows and footer.
    double sectionTop(std::int64_t section) const;
    double sectionHeight(std::int64_t section) const;
    double headerHeight(std::int64_t section) const { return sections_[static_cast<std::size_t>(section)].section.header; }
    double footerHeight(std::int64_t section) const { return sections_[static_cast<std::size_t>(section)].section.footer; }
    double footerTop(std::int64_t section) const;
    double rowTop(const ns::IndexPath& path) const;
    double rowHeight(const ns::IndexPath& path) const;
    bool isEstimated(const ns::IndexPath& path) const;
    void setRowHeight(const ns::IndexPath& path, double height);

    // Rows that overlap [top, bottom), in order.
    std::vector<ns::IndexPath> rowsBetween(double top, double bottom) const;
    // Sections that overlap [top, bottom), in order.
    std::vector<std::int64_t> sectionsBetween(double top, double bottom) const;
    // The row at a height, if a row is there.
    std::optional<ns::IndexPath> rowAt(double y) const;

private:
    struct Placed {
        Section section;
        double top = 0;
        std::vector<double> rowTops;  // from the section's top, one more than rows
    };
    void placeFrom(std::size_t first);
    std::size_t sectionIndexAt(double y) const;

    double tableHeader_ = 0;
    double tableFooter_ = 0;
    double footerTop_ = 0;
    std::vector<Placed> sections_;
};

}  // namespace ql::ui
