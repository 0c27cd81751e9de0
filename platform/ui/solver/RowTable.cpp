#include "platform/ui/solver/RowTable.h"

namespace ql::ui::solver {

void RowTable::setSlot(Symbol subject, Slot slot) {
    if (subject >= slots_.size()) slots_.resize(subject + std::size_t{1}, kNoSlot);
    slots_[subject] = slot;
}

Slot RowTable::insert(Symbol subject, Row row) {
    Slot slot;
    if (free_.empty()) {
        slot = static_cast<Slot>(rows_.size());
        rows_.push_back(std::move(row));
        subjects_.push_back(subject);
    } else {
        slot = free_.back();
        free_.pop_back();
        rows_[slot] = std::move(row);
        subjects_[slot] = subject;
    }
    setSlot(subject, slot);
    return slot;
}

Row RowTable::take(Symbol subject) {
    const Slot slot = slots_[subject];
    slots_[subject] = kNoSlot;
    subjects_[slot] = 0;
    free_.push_back(slot);
    return std::exchange(rows_[slot], Row());
}

bool RowTable::erase(Symbol subject) {
    if (slotOf(subject) == kNoSlot) return false;
    take(subject);
    return true;
}

void RowTable::rename(Symbol from, Symbol to) {
    const Slot slot = slots_[from];
    slots_[from] = kNoSlot;
    subjects_[slot] = to;
    setSlot(to, slot);
}

}  // namespace ql::ui::solver
