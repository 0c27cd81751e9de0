#pragma once
// ui::TableViewUpdate: the changes of one batch of table updates (sections and rows inserted, deleted,
// reloaded and moved) and what they mean for the rows the table showed before: where each row is found
// after the batch, or that it is gone. Deletions and reloads name places before the batch, insertions
// places after it, as on the platform; the counts the data source reports after the batch must agree,
// or the batch is refused with the platform's "Invalid update" exception.

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <utility>
#include <vector>

#include "platform/foundation/IndexPath.h"

namespace ql::ui {

// The platform's row animations; the table moves rows over a short animation for every kind but none.
enum class TableViewRowAnimation { Fade = 0, Right = 1, Left = 2, Top = 3, Bottom = 4, None = 5, Middle = 6, Automatic = 100 };

// One call of reloadData, begin/endUpdates or a mutator, as its hooks see it.
struct TableViewMutation {
    enum class Kind {
        ReloadData, BeginUpdates, EndUpdates,
        InsertSections, DeleteSections, ReloadSections, MoveSection,
        InsertRows, DeleteRows, ReloadRows, MoveRow,
    };
    static constexpr std::size_t kKindCount = 11;

    explicit TableViewMutation(Kind kind = Kind::ReloadData) : kind(kind) {}

    Kind kind;
    std::set<std::int64_t> sections;          // insert, delete and reload sections
    std::vector<ns::IndexPath> indexPaths;    // insert, delete and reload rows
    std::int64_t section = 0;                 // moveSection: from
    std::int64_t newSection = 0;              // moveSection: to
    ns::IndexPath indexPath;                  // moveRow: from
    ns::IndexPath newIndexPath;               // moveRow: to
    TableViewRowAnimation animation = TableViewRowAnimation::None;
};

class TableViewUpdate {
public:
    // Collects a mutator's call (not reloadData or begin/endUpdates).
    void add(const TableViewMutation& mutation);
    bool empty() const { return mutations_.empty(); }
    bool isAnimated() const { return animated_; }

    // Works out the batch from the row counts before it and after it (one entry per section). Raises
    // "NSInternalInconsistencyException" when the counts after do not follow from the changes, or a change
    // names a place that does not exist.
    void resolve(const std::vector<std::int64_t>& before, const std::vector<std::int64_t>& after);

    // Where a row of before the batch is after it; none when it was deleted or reloaded (its cell cannot
    // stay).
    std::optional<ns::IndexPath> newIndexPath(const ns::IndexPath& old) const;

private:
    std::vector<TableViewMutation> mutations_;
    bool animated_ = false;
    // For each section before: its index after (-1: gone) and, per row, the row after (-1: gone).
    std::vector<std::int64_t> newSection_;
    // A reloaded section has no rows here: all of its rows are new.
    std::vector<std::vector<std::int64_t>> newRow_;
    std::map<ns::IndexPath, ns::IndexPath> movedRows_;
};

}  // namespace ql::ui
