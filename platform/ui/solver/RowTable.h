#pragma once
// The tableau's rows, each under its basic symbol. A row lives in a slot of its own for as long as it is
// in the tableau: a pivot changes the row's basic symbol, not its slot, so whatever refers to the row
// by slot (the solver's index of which rows hold a symbol) stays right across pivots without being told.
// Symbols and slots are small numbers handed out in order, so both lookups cost an index.

#include <cstddef>
#include <cstdint>
#include <limits>
#include <utility>
#include <vector>

#include "platform/ui/solver/Row.h"

namespace ql::ui::solver {

using Slot = std::uint32_t;
inline constexpr Slot kNoSlot = std::numeric_limits<Slot>::max();

class RowTable {
public:
    Slot slotOf(Symbol subject) const { return subject < slots_.size() ? slots_[subject] : kNoSlot; }
    Row* find(Symbol subject) {
        const Slot slot = slotOf(subject);
        return slot == kNoSlot ? nullptr : &rows_[slot];
    }
    const Row* find(Symbol subject) const {
        const Slot slot = slotOf(subject);
        return slot == kNoSlot ? nullptr : &rows_[slot];
    }

    std::size_t size() const { return rows_.size() - free_.size(); }
    std::size_t slotCount() const { return rows_.size(); }
    // The basic symbol of the row in a slot; 0 for a slot that holds no row.
    Symbol subjectAt(Slot slot) const { return subjects_[slot]; }
    Row& rowAt(Slot slot) { return rows_[slot]; }
    const Row& rowAt(Slot slot) const { return rows_[slot]; }

    Slot insert(Symbol subject, Row row);
    // Removes the subject's row, which must be there, and hands it over.
    Row take(Symbol subject);
    bool erase(Symbol subject);
    // The row of `from` becomes the row of `to`, in the same slot.
    void rename(Symbol from, Symbol to);

    // Visits the slots that hold a row.
    template <class Visit>
    void forEach(Visit visit) const {
        for (Slot slot = 0; slot < rows_.size(); ++slot) {
            if (subjects_[slot]) visit(slot);
        }
    }

private:
    void setSlot(Symbol subject, Slot slot);

    std::vector<Row> rows_;
    std::vector<Symbol> subjects_;  // by slot
    std::vector<Slot> slots_;       // by symbol
    std::vector<Slot> free_;
};

}  // namespace ql::ui::solver
