#include "platform/ui/TableViewUpdate.h"

#include <string>

#include "platform/foundation/Exception.h"

namespace ql::ui {

namespace {

using ns::IndexPath;

// Marks in the slots of a section after the batch.
constexpr std::int64_t kFree = -2;
constexpr std::int64_t kTaken = -1;

[[noreturn]] void refuse(const std::string& reason) {
    throw ns::Exception(ns::InternalInconsistencyException, "Invalid update: " + reason);
}

std::string text(std::int64_t n) { return std::to_string(n); }

}  // namespace

void TableViewUpdate::add(const TableViewMutation& mutation) {
    mutations_.push_back(mutation);
    if (mutation.animation != TableViewRowAnimation::None) animated_ = true;
}

void TableViewUpdate::resolve(const std::vector<std::int64_t>& before, const std::vector<std::int64_t>& after) {
    using Kind = TableViewMutation::Kind;
    const auto oldCount = static_cast<std::int64_t>(before.size());
    const auto newCount = static_cast<std::int64_t>(after.size());

    std::set<std::int64_t> deletedSections, reloadedSections, insertedSections;
    std::map<std::int64_t, std::int64_t> movedSections;
    std::set<IndexPath> deletedRows, reloadedRows, insertedRows;
    std::map<IndexPath, IndexPath> movedRows;
    for (const auto& m : mutations_) {
        switch (m.kind) {
            case Kind::InsertSections: insertedSections.insert(m.sections.begin(), m.sections.end()); break;
            case Kind::DeleteSections: deletedSections.insert(m.sections.begin(), m.sections.end()); break;
            case Kind::ReloadSections: reloadedSections.insert(m.sections.begin(), m.sections.end()); break;
            case Kind::MoveSection: movedSections[m.section] = m.newSection; break;
            case Kind::InsertRows: insertedRows.insert(m.indexPaths.begin(), m.indexPaths.end()); break;
            case Kind::DeleteRows: deletedRows.insert(m.indexPaths.begin(), m.indexPaths.end()); break;
            case Kind::ReloadRows: reloadedRows.insert(m.indexPaths.begin(), m.indexPaths.end()); break;
            case Kind::MoveRow: movedRows[m.indexPath] = m.newIndexPath; break;
            default: break;
        }
    }

    // ---- Sections ----
    auto checkOld = [&](std::int64_t s, const char* what) {
        if (s < 0 || s >= oldCount) {
            refuse(std::string("attempt to ") + what + " section " + text(s) + ", but there are only " + text(oldCount) +
                   " sections before the update");
        }
    };
    auto checkNew = [&](std::int64_t s, const char* what) {
        if (s < 0 || s >= newCount) {
            refuse(std::string("attempt to ") + what + " section " + text(s) + ", but there are only " + text(newCount) +
                   " sections after the update");
        }
    };
    for (auto s : deletedSections) checkOld(s, "delete");
    for (auto s : reloadedSections) checkOld(s, "reload");
    for (auto s : insertedSections) checkNew(s, "insert");
    for (auto [from, to] : movedSections) {
        checkOld(from, "move");
        checkNew(to, "move");
        if (deletedSections.count(from)) refuse("attempt to move section " + text(from) + " that is being deleted");
    }
    const auto inserted = static_cast<std::int64_t>(insertedSections.size());
    const auto deleted = static_cast<std::int64_t>(deletedSections.size());
    if (newCount != oldCount - deleted + inserted) {
        refuse("invalid number of sections. The number of sections contained in the table view after the update (" +
               text(newCount) + ") must be equal to the number of sections contained in the table view before the update (" +
               text(oldCount) + "), plus or minus the number of sections inserted or deleted (" + text(inserted) +
               " inserted, " + text(deleted) + " deleted).");
    }

    std::vector<std::int64_t> oldOfNew(static_cast<std::size_t>(newCount), kFree);
    for (auto s : insertedSections) oldOfNew[static_cast<std::size_t>(s)] = kTaken;
    for (auto [from, to] : movedSections) {
        if (oldOfNew[static_cast<std::size_t>(to)] != kFree) refuse("section " + text(to) + " is the target of two changes");
        oldOfNew[static_cast<std::size_t>(to)] = from;
    }
    newSection_.assign(static_cast<std::size_t>(oldCount), -1);
    for (auto [from, to] : movedSections) newSection_[static_cast<std::size_t>(from)] = to;
    std::size_t slot = 0;
    for (std::int64_t o = 0; o < oldCount; ++o) {
        if (deletedSections.count(o) || movedSections.count(o)) continue;
        while (slot < oldOfNew.size() && oldOfNew[slot] != kFree) ++slot;
        oldOfNew[slot] = o;
        newSection_[static_cast<std::size_t>(o)] = static_cast<std::int64_t>(slot);
    }

    // ---- Rows ----
    for (const auto& path : deletedRows) checkOld(path.section(), "delete a row in");
    for (const auto& path : reloadedRows) checkOld(path.section(), "reload a row in");
    for (const auto& path : insertedRows) checkNew(path.section(), "insert a row into");
    for (const auto& [from, to] : movedRows) {
        checkOld(from.section(), "move a row out of");
        checkNew(to.section(), "move a row into");
    }
    auto checkOldRow = [&](const IndexPath& path, const char* what) {
        if (path.row() < 0 || path.row() >= before[static_cast<std::size_t>(path.section())]) {
            refuse(std::string("attempt to ") + what + " row " + text(path.row()) + " from section " + text(path.section()) +
                   " which only contains " + text(before[static_cast<std::size_t>(path.section())]) +
                   " rows before the update");
        }
    };
    for (const auto& path : deletedRows) checkOldRow(path, "delete");
    for (const auto& path : reloadedRows) checkOldRow(path, "reload");
    for (const auto& [from, to] : movedRows) checkOldRow(from, "move");

    std::vector<std::int64_t> movedOut(static_cast<std::size_t>(oldCount), 0);
    std::vector<std::int64_t> movedIn(static_cast<std::size_t>(newCount), 0);
    std::vector<std::int64_t> insertedIn(static_cast<std::size_t>(newCount), 0);
    std::vector<std::int64_t> deletedIn(static_cast<std::size_t>(oldCount), 0);
    for (const auto& [from, to] : movedRows) {
        ++movedOut[static_cast<std::size_t>(from.section())];
        ++movedIn[static_cast<std::size_t>(to.section())];
    }
    for (const auto& path : insertedRows) ++insertedIn[static_cast<std::size_t>(path.section())];
    for (const auto& path : deletedRows) ++deletedIn[static_cast<std::size_t>(path.section())];

    newRow_.assign(static_cast<std::size_t>(oldCount), {});
    for (std::int64_t n = 0; n < newCount; ++n) {
        const std::int64_t o = oldOfNew[static_cast<std::size_t>(n)];
        if (o < 0 || reloadedSections.count(o)) continue;
        const auto on = static_cast<std::size_t>(o);
        const auto nn = static_cast<std::size_t>(n);
        const std::int64_t expected = before[on] - deletedIn[on] - movedOut[on] + insertedIn[nn] + movedIn[nn];
        if (expected != after[nn]) {
            refuse("invalid number of rows in section " + text(n) +
                   ". The number of rows contained in an existing section after the update (" + text(after[nn]) +
                   ") must be equal to the number of rows contained in that section before the update (" + text(before[on]) +
                   "), plus or minus the number of rows inserted or deleted from that section (" + text(insertedIn[nn]) +
                   " inserted, " + text(deletedIn[on]) + " deleted) and plus or minus the number of rows moved into or out "
                   "of that section (" + text(movedIn[nn]) + " moved in, " + text(movedOut[on]) + " moved out).");
        }
        std::vector<std::int64_t> slots(static_cast<std::size_t>(after[nn]), kFree);
        for (const auto& path : insertedRows) {
            if (path.section() != n) continue;
            if (path.row() < 0 || path.row() >= after[nn]) {
                refuse("attempt to insert row " + text(path.row()) + " into section " + text(n) + ", but there are only " +
                       text(after[nn]) + " rows in section " + text(n) + " after the update");
            }
            slots[static_cast<std::size_t>(path.row())] = kTaken;
        }
        for (const auto& [from, to] : movedRows) {
            if (to.section() != n) continue;
            if (to.row() < 0 || to.row() >= after[nn] || slots[static_cast<std::size_t>(to.row())] != kFree) {
                refuse("attempt to move a row to row " + text(to.row()) + " of section " + text(n));
            }
            slots[static_cast<std::size_t>(to.row())] = kTaken;
        }
        auto& rows = newRow_[on];
        rows.assign(static_cast<std::size_t>(before[on]), -1);
        std::size_t next = 0;
        for (std::int64_t r = 0; r < before[on]; ++r) {
            const IndexPath path{o, r};
            if (deletedRows.count(path) || movedRows.count(path)) continue;
            while (next < slots.size() && slots[next] != kFree) ++next;
            if (next == slots.size()) break;
            slots[next] = kTaken;
            // A reloaded row keeps its place but not its cell.
            if (!reloadedRows.count(path)) rows[static_cast<std::size_t>(r)] = static_cast<std::int64_t>(next);
            ++next;
        }
    }
    // Moved rows keep their cells, wherever they go.
    movedRows_ = std::move(movedRows);
}

std::optional<ns::IndexPath> TableViewUpdate::newIndexPath(const ns::IndexPath& old) const {
    const auto s = static_cast<std::size_t>(old.section());
    if (old.section() < 0 || s >= newSection_.size() || newSection_[s] < 0) return std::nullopt;
    if (auto moved = movedRows_.find(old); moved != movedRows_.end()) return moved->second;
    const auto& rows = newRow_[s];
    const auto r = static_cast<std::size_t>(old.row());
    if (old.row() < 0 || r >= rows.size() || rows[r] < 0) return std::nullopt;
    return IndexPath{newSection_[s], rows[r]};
}

}  // namespace ql::ui
