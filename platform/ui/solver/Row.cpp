#include "platform/ui/solver/Row.h"

#include <algorithm>
#include <stdexcept>

#include "platform/foundation/PerThread.h"

namespace ql::ui::solver {

namespace {

bool bySymbol(const Row::Cell& cell, Symbol symbol) { return cell.symbol < symbol; }

// Solving a row for a symbol it does not hold means the tableau is not what the solver believes: better
// refused than a division by nothing or a cell erased past the end.
[[noreturn]] void notHeld() { throw std::logic_error("layout solver: a row is solved for a symbol it does not hold"); }

}  // namespace

std::vector<Row::Cell>::iterator Row::find(Symbol symbol) {
    if (!mayHold(symbol)) return cells_.end();
    auto it = std::lower_bound(cells_.begin(), cells_.end(), symbol, bySymbol);
    return it != cells_.end() && it->symbol == symbol ? it : cells_.end();
}

double Row::coefficientFor(Symbol symbol) const {
    if (!mayHold(symbol)) return 0.0;
    auto it = std::lower_bound(cells_.begin(), cells_.end(), symbol, bySymbol);
    return it != cells_.end() && it->symbol == symbol ? it->coefficient : 0.0;
}

void Row::insert(Symbol symbol, double coefficient) {
    auto it = std::lower_bound(cells_.begin(), cells_.end(), symbol, bySymbol);
    if (it != cells_.end() && it->symbol == symbol) {
        it->coefficient += coefficient;
        if (nearZero(it->coefficient)) cells_.erase(it);
    } else if (!nearZero(coefficient)) {
        cells_.insert(it, Cell{symbol, coefficient});
        mask_ |= bit(symbol);
    }
}

void Row::insert(const Row& other, double coefficient, std::vector<Symbol>* added) {
    constant_ += other.constant_ * coefficient;
    // A few cells into a long row (a definition into the objective) go in place: a merge would copy the
    // whole row for each.
    if (other.cells_.size() * 16 < cells_.size()) {
        for (const Cell& cell : other.cells_) {
            const double value = cell.coefficient * coefficient;
            auto it = std::lower_bound(cells_.begin(), cells_.end(), cell.symbol, bySymbol);
            if (it != cells_.end() && it->symbol == cell.symbol) {
                it->coefficient += value;
                if (nearZero(it->coefficient)) cells_.erase(it);
            } else if (!nearZero(value)) {
                cells_.insert(it, Cell{cell.symbol, value});
                mask_ |= bit(cell.symbol);
                if (added) added->push_back(cell.symbol);
            }
        }
        return;
    }
    // A merge into a buffer kept per thread: after the swap it holds this row's old storage for next time. Kept
    // past the thread's thread_local objects, for a layout at the end of the process.
    static ns::PerThread<std::vector<Cell>> buffers;
    std::vector<Cell>& merged = buffers.get();
    merged.clear();
    merged.reserve(cells_.size() + other.cells_.size());
    auto a = cells_.begin();
    auto b = other.cells_.begin();
    while (a != cells_.end() || b != other.cells_.end()) {
        if (b == other.cells_.end() || (a != cells_.end() && a->symbol < b->symbol)) {
            merged.push_back(*a++);
        } else if (a == cells_.end() || b->symbol < a->symbol) {
            const double value = b->coefficient * coefficient;
            if (!nearZero(value)) {
                merged.push_back({b->symbol, value});
                if (added) added->push_back(b->symbol);
            }
            ++b;
        } else {
            const double value = a->coefficient + b->coefficient * coefficient;
            if (!nearZero(value)) merged.push_back({a->symbol, value});
            ++a;
            ++b;
        }
    }
    cells_.swap(merged);
    mask_ = 0;
    for (const Cell& cell : cells_) mask_ |= bit(cell.symbol);
}

void Row::remove(Symbol symbol) {
    auto it = find(symbol);
    if (it != cells_.end()) cells_.erase(it);
}

void Row::reverseSign() {
    constant_ = -constant_;
    for (Cell& cell : cells_) cell.coefficient = -cell.coefficient;
}

void Row::solveFor(Symbol symbol) {
    auto it = find(symbol);
    if (it == cells_.end()) notHeld();
    const double factor = -1.0 / it->coefficient;
    cells_.erase(it);
    constant_ *= factor;
    for (Cell& cell : cells_) cell.coefficient *= factor;
}

void Row::solveFor(Symbol lhs, Symbol rhs) {
    // Checked before the row changes, so that a refusal leaves it as it was.
    if (find(rhs) == cells_.end()) notHeld();
    insert(lhs, -1.0);
    solveFor(rhs);
}

bool Row::substitute(Symbol symbol, const Row& row, std::vector<Symbol>* added) {
    auto it = find(symbol);
    if (it == cells_.end()) return false;
    const double coefficient = it->coefficient;
    cells_.erase(it);
    insert(row, coefficient, added);
    return true;
}

}  // namespace ql::ui::solver
