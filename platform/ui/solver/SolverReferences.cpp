// How the solver reads rows that refer to other rows: spelling one out for a simplex step, and valuing
// a variable. Both walk the references without recursion (a chain of thousands of views is as deep)
// and visit each referenced row once however many paths lead to it.

#include <algorithm>

#include "platform/ui/solver/Solver.h"

namespace ql::ui::solver {

Row Solver::expanded(const Row& row) {
    if (std::none_of(row.cells().begin(), row.cells().end(),
                     [&](const Row::Cell& cell) { return isReference(cell.symbol); })) {
        return row;
    }
    if (weight_.size() < kinds_.size()) {
        weight_.resize(kinds_.size());
        pending_.resize(kinds_.size());
        walked_.resize(kinds_.size());
    }
    ++walk_;
    std::vector<Symbol> touched;
    auto touch = [&](Symbol symbol) {
        if (walked_[symbol] == walk_) return false;
        walked_[symbol] = walk_;
        weight_[symbol] = 0;
        pending_[symbol] = 0;
        touched.push_back(symbol);
        return true;
    };
    // First count, for each referenced row, the referenced rows that refer to it: a row's weight is
    // complete, and can be passed on, once all of them have passed theirs.
    std::vector<Symbol> stack;
    for (const Row::Cell& cell : row.cells()) {
        if (isReference(cell.symbol) && touch(cell.symbol)) stack.push_back(cell.symbol);
    }
    while (!stack.empty()) {
        const Symbol referenced = stack.back();
        stack.pop_back();
        for (const Row::Cell& cell : rows_.find(referenced)->cells()) {
            if (!isReference(cell.symbol)) continue;
            if (touch(cell.symbol)) stack.push_back(cell.symbol);
            ++pending_[cell.symbol];
        }
    }
    double constant = row.constant();
    for (const Row::Cell& cell : row.cells()) {
        touch(cell.symbol);
        weight_[cell.symbol] += cell.coefficient;
    }
    for (Symbol symbol : touched) {
        if (isReference(symbol) && pending_[symbol] == 0) stack.push_back(symbol);
    }
    while (!stack.empty()) {
        const Symbol referenced = stack.back();
        stack.pop_back();
        const double weight = weight_[referenced];
        const Row& spelled = *rows_.find(referenced);
        constant += weight * spelled.constant();
        for (const Row::Cell& cell : spelled.cells()) {
            touch(cell.symbol);
            weight_[cell.symbol] += weight * cell.coefficient;
            if (isReference(cell.symbol) && --pending_[cell.symbol] == 0) stack.push_back(cell.symbol);
        }
    }
    std::sort(touched.begin(), touched.end());
    Row result(constant);
    for (Symbol symbol : touched) {
        if (!isReference(symbol)) result.insert(symbol, weight_[symbol]);
    }
    return result;
}

double Solver::value(Variable variable) const {
    const Row* basic = rows_.find(variable.id);
    if (!basic) return 0.0;
    if (!refers_[variable.id]) return basic->constant();
    if (valued_.size() < kinds_.size()) {
        valued_.resize(kinds_.size());
        values_.resize(kinds_.size());
    }
    // A row is valued once the rows it refers to are; parametric symbols are zero.
    auto& stack = valuing_;
    stack.assign(1, variable.id);
    while (!stack.empty()) {
        const Symbol subject = stack.back();
        if (valued_[subject] == version_) {
            stack.pop_back();
            continue;
        }
        const Row& row = *rows_.find(subject);
        double sum = row.constant();
        bool ready = true;
        for (const Row::Cell& cell : row.cells()) {
            if (!isReference(cell.symbol)) continue;
            if (valued_[cell.symbol] == version_) {
                sum += cell.coefficient * values_[cell.symbol];
            } else {
                ready = false;
                stack.push_back(cell.symbol);
            }
        }
        if (ready) {
            values_[subject] = sum;
            valued_[subject] = version_;
            stack.pop_back();
        }
    }
    return values_[variable.id];
}

}  // namespace ql::ui::solver
