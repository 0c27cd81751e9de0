#include "platform/ui/solver/Solver.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace ql::ui::solver {

Solver::Solver() {
    kinds_.push_back(Kind::Invalid);
    used_.push_back(false);
    scanned_.push_back(false);
    refers_.push_back(false);
    owners_.push_back(kNoConstraint);
    columns_.emplace_back();
    records_.emplace_back();
}

Symbol Solver::newSymbol(Kind kind) {
    kinds_.push_back(kind);
    used_.push_back(false);
    scanned_.push_back(false);
    refers_.push_back(false);
    owners_.push_back(kNoConstraint);
    columns_.emplace_back();
    return static_cast<Symbol>(kinds_.size() - 1);
}

const std::vector<Slot>& Solver::holders(Symbol symbol) {
    Column& column = columns_[symbol];
    if (!scanned_[symbol]) {
        clean(symbol);
        if (!scanned_[symbol]) return column.slots;
    }
    found_.clear();
    rows_.forEach([&](Slot slot) {
        if (rows_.rowAt(slot).coefficientFor(symbol) != 0.0) found_.push_back(slot);
    });
    if (found_.size() <= rows_.size() / 128) {
        // Few rows hold the symbol now: what the scan found is its column again.
        scanned_[symbol] = false;
        column.slots = found_;
        column.cleaned = found_.size();
    }
    return found_;
}

void Solver::clean(Symbol symbol) {
    Column& column = columns_[symbol];
    if (seen_.size() < rows_.slotCount()) seen_.resize(rows_.slotCount(), 0);
    ++pass_;
    std::erase_if(column.slots, [&](Slot slot) {
        if (seen_[slot] == pass_) return true;
        seen_[slot] = pass_;
        return !rows_.subjectAt(slot);
    });
    column.cleaned = column.slots.size();
    if (column.slots.size() > rows_.size() / 64 + 4) {
        column.slots = {};
        scanned_[symbol] = true;
    }
}

void Solver::list(Slot slot, Symbol symbol) {
    Column& column = columns_[symbol];
    column.slots.push_back(slot);
    if (column.slots.size() > 2 * column.cleaned + 64) clean(symbol);
}

void Solver::noteCells(Slot slot, const Row& cells) {
    for (const Row::Cell& cell : cells.cells()) note(slot, cell.symbol);
}

Variable Solver::makeVariable() { return Variable{newSymbol(Kind::External)}; }

bool Solver::hasConstraint(ConstraintId constraint) const {
    return constraint < records_.size() && records_[constraint].live;
}

// ---- Adding ----

Row Solver::createRow(const Expression& expression, Relation relation, double strength, Record& record) {
    // Basic variables stay in the row as references, for now.
    Row row(expression.constant());
    for (const Term& term : expression.terms()) row.insert(term.variable.id, term.coefficient);
    const bool required = std::isinf(strength);
    if (relation != Relation::Equal) {
        // expression ≤ 0 reads expression + slack = 0, expression ≥ 0 reads expression − slack = 0.
        const double sign = relation == Relation::LessThanOrEqual ? 1.0 : -1.0;
        record.marker = newSymbol(Kind::Slack);
        record.markerSign = sign;
        row.insert(record.marker, sign);
        if (!required) {
            record.other = newSymbol(Kind::Error);
            row.insert(record.other, -sign);
            objective_.insert(record.other, strength);
            used_[record.other] = true;
        }
    } else if (required) {
        record.marker = newSymbol(Kind::Dummy);
        record.markerSign = 1.0;
        row.insert(record.marker, 1.0);
    } else {
        // The violation in either direction, each weighed by the strength.
        record.marker = newSymbol(Kind::Error);
        record.other = newSymbol(Kind::Error);
        record.markerSign = -1.0;
        row.insert(record.marker, -1.0);
        row.insert(record.other, 1.0);
        objective_.insert(record.marker, strength);
        objective_.insert(record.other, strength);
        used_[record.marker] = used_[record.other] = true;
    }
    return row;
}

// A variable that is in no row yet is the cheapest subject: substituting it changes nothing.
Symbol Solver::freshSubject(const Row& row) const {
    const auto& cells = row.cells();
    auto it = std::find_if(cells.rbegin(), cells.rend(), [&](const Row::Cell& cell) {
        return kind(cell.symbol) == Kind::External && !used_[cell.symbol];
    });
    return it == cells.rend() ? 0 : it->symbol;
}

// For a row with no fresh variable (see freshSubject).
Symbol Solver::chooseSubject(const Row& row, const Record& record) const {
    auto external = std::find_if(row.cells().begin(), row.cells().end(),
                                 [&](const Row::Cell& cell) { return kind(cell.symbol) == Kind::External; });
    if (external != row.cells().end()) return external->symbol;
    if (pivotable(record.marker) && row.coefficientFor(record.marker) < 0) return record.marker;
    if (record.other && pivotable(record.other) && row.coefficientFor(record.other) < 0) return record.other;
    return 0;
}

bool Solver::allDummies(const Row& row) const {
    return std::all_of(row.cells().begin(), row.cells().end(),
                       [&](const Row::Cell& cell) { return kind(cell.symbol) == Kind::Dummy; });
}

void Solver::collectConflicts(const Row& row, std::vector<ConstraintId>* conflicts) const {
    if (!conflicts) return;
    for (const Row::Cell& cell : row.cells()) {
        const ConstraintId owner = owners_[cell.symbol];
        if (owner == kNoConstraint || !std::isinf(records_[owner].strength)) continue;
        if (std::find(conflicts->begin(), conflicts->end(), owner) == conflicts->end()) {
            conflicts->push_back(owner);
        }
    }
    std::sort(conflicts->begin(), conflicts->end());
}

ConstraintId Solver::addConstraint(const Expression& expression, Relation relation, double strength,
                                   std::vector<ConstraintId>* conflicts) {
    if (conflicts) conflicts->clear();
    ++version_;
    Record record;
    record.constant = expression.constant();
    record.strength = strength;
    Row row = createRow(expression, relation, strength, record);
    // Solved for a variable no row holds, the row may keep its references: no row can refer back to
    // its subject. Of several such variables the newest is taken: constraints mostly place something
    // new against what exists (a view after the one before it), so the older variables stay parametric,
    // and the constraints that fix them later (a size) substitute into a row or two instead of spelling
    // out a chain of references. Anything else is solved in terms of parametric symbols.
    Symbol subject = freshSubject(row);
    if (!subject) {
        row = expanded(row);
        if (row.constant() < 0) row.reverseSign();
        subject = chooseSubject(row, record);
    }
    if (!subject && allDummies(row)) {
        // The constraint restates required equalities held already: it holds exactly when they agree.
        if (!nearZero(row.constant())) {
            collectConflicts(row, conflicts);
            return kNoConstraint;
        }
        subject = record.marker;
    }
    if (subject) {
        row.solveFor(subject);
        substitute(subject, row);
        place(subject, std::move(row));
    } else if (!addWithArtificialVariable(row, conflicts)) {
        return kNoConstraint;
    }
    const auto id = static_cast<ConstraintId>(records_.size());
    record.live = true;
    records_.push_back(record);
    owners_[record.marker] = id;
    if (record.other) owners_[record.other] = id;
    ++count_;
    optimize(objective_);
    return id;
}

// Phase one of the simplex method: an artificial variable stands for the new row and is driven to zero.
// When it cannot be, the row contradicts the required constraints; its row is then dropped, which leaves
// the tableau saying what it said before.
bool Solver::addWithArtificialVariable(const Row& row, std::vector<ConstraintId>* conflicts) {
    const Symbol art = newSymbol(Kind::Slack);
    place(art, row);
    artificial_ = row;
    optimize(*artificial_);
    const bool success = nearZero(artificial_->constant());
    if (!success) collectConflicts(*artificial_, conflicts);
    artificial_.reset();

    if (rows_.find(art)) {
        Row basic = rows_.take(art);
        if (!success) {
            optimize(objective_);
            return false;
        }
        if (!basic.cells().empty()) {
            auto entering = std::find_if(basic.cells().begin(), basic.cells().end(),
                                         [&](const Row::Cell& cell) { return pivotable(cell.symbol); });
            if (entering == basic.cells().end()) return false;
            const Symbol symbol = entering->symbol;
            basic.solveFor(art, symbol);
            substitute(symbol, basic);
            place(symbol, std::move(basic));
        }
    }
    for (Slot slot : holders(art)) rows_.rowAt(slot).remove(art);
    columns_[art] = {};
    objective_.remove(art);
    return success;
}

// ---- Pivoting ----

void Solver::place(Symbol subject, Row row) {
    used_[subject] = true;
    refers_[subject] = std::any_of(row.cells().begin(), row.cells().end(),
                                   [&](const Row::Cell& cell) { return isReference(cell.symbol); });
    const Slot slot = rows_.insert(subject, std::move(row));
    noteCells(slot, rows_.rowAt(slot));
}

void Solver::substitute(Symbol symbol, const Row& row) {
    if (!used_[symbol]) return;
    // Once substituted, the symbol is in no row any more: its column starts over empty.
    const std::vector<Slot> slots = holders(symbol);
    columns_[symbol] = {};
    std::vector<Symbol> changed;
    std::vector<Symbol> added;
    for (Slot slot : slots) {
        added.clear();
        if (!rows_.rowAt(slot).substitute(symbol, row, &added)) continue;
        for (Symbol symbolAdded : added) note(slot, symbolAdded);
        changed.push_back(rows_.subjectAt(slot));
    }
    noteInfeasible(changed);
    objective_.substitute(symbol, row);
    if (artificial_) artificial_->substitute(symbol, row);
}

// The row keeps its slot, so of its symbols only the one that left the basis is new to it.
void Solver::pivot(Symbol leaving, Symbol entering) {
    Row& row = *rows_.find(leaving);
    row.solveFor(leaving, entering);
    rows_.rename(leaving, entering);
    used_[entering] = true;
    substitute(entering, row);
    note(rows_.slotOf(entering), leaving);
}

// Primal simplex: while some restricted symbol would lower the objective, bring it into the basis, the
// leaving row chosen by the ratio test so that every restricted symbol stays non-negative. The lowest
// symbol wins ties, which keeps the result independent of the order of the row table and prevents cycling.
void Solver::optimize(Row& objective) {
    for (;;) {
        Symbol entering = 0;
        for (const Row::Cell& cell : objective.cells()) {
            if (cell.coefficient < 0 && pivotable(cell.symbol)) {
                entering = cell.symbol;
                break;
            }
        }
        if (!entering) return;
        Symbol leaving = 0;
        double best = std::numeric_limits<double>::max();
        for (Slot slot : holders(entering)) {
            const Symbol subject = rows_.subjectAt(slot);
            if (kind(subject) == Kind::External) continue;
            const Row& row = rows_.rowAt(slot);
            const double coefficient = row.coefficientFor(entering);
            if (coefficient >= 0) continue;
            const double ratio = -row.constant() / coefficient;
            if (ratio < best || (ratio == best && subject < leaving)) {
                best = ratio;
                leaving = subject;
            }
        }
        if (!leaving) throw std::logic_error("layout solver: the objective is unbounded");
        pivot(leaving, entering);
    }
}

// Dual simplex: rows whose restricted symbol went negative are pivoted until all are feasible again,
// keeping the objective optimal throughout. False when some row cannot be made feasible.
bool Solver::dualOptimize() {
    while (!infeasible_.empty()) {
        const Symbol leaving = infeasible_.back();
        infeasible_.pop_back();
        const Row* row = rows_.find(leaving);
        if (!row || row->constant() >= 0 || nearZero(row->constant())) continue;
        Symbol entering = 0;
        double best = std::numeric_limits<double>::max();
        for (const Row::Cell& cell : row->cells()) {
            if (cell.coefficient <= 0 || kind(cell.symbol) == Kind::Dummy) continue;
            const double ratio = objective_.coefficientFor(cell.symbol) / cell.coefficient;
            if (ratio < best || (ratio == best && cell.symbol < entering)) {
                best = ratio;
                entering = cell.symbol;
            }
        }
        if (!entering) {
            infeasible_.clear();
            return false;
        }
        pivot(leaving, entering);
    }
    return true;
}

// ---- Removing ----

void Solver::removeMarkerEffects(Symbol marker, double strength) {
    if (const Row* row = rows_.find(marker)) {
        objective_.insert(*row, -strength);
    } else {
        objective_.insert(marker, -strength);
    }
}

std::pair<Symbol, Row> Solver::takeMarkerLeavingRow(Symbol marker) {
    double firstRatio = std::numeric_limits<double>::max();
    double secondRatio = std::numeric_limits<double>::max();
    Symbol first = 0;
    Symbol second = 0;
    std::vector<Symbol> external;
    for (Slot slot : holders(marker)) {
        const Symbol subject = rows_.subjectAt(slot);
        const Row& row = rows_.rowAt(slot);
        const double coefficient = row.coefficientFor(marker);
        if (coefficient == 0) continue;
        if (kind(subject) == Kind::External) {
            external.push_back(subject);
        } else if (coefficient < 0) {
            const double ratio = -row.constant() / coefficient;
            if (ratio < firstRatio || (ratio == firstRatio && subject < first)) {
                firstRatio = ratio;
                first = subject;
            }
        } else {
            const double ratio = row.constant() / coefficient;
            if (ratio < secondRatio || (ratio == secondRatio && subject < second)) {
                secondRatio = ratio;
                second = subject;
            }
        }
    }
    // Rows of restricted symbols hold no references: what they hold is what they say.
    if (first || second) {
        const Symbol leaving = first ? first : second;
        return {leaving, rows_.take(leaving)};
    }
    // The row of an external variable may hold the marker both itself and through a reference to a row
    // that holds it too, and spelled out the two may cancel: such a row cannot be solved for the marker.
    // Some row holding it holds it spelled out as well (one whose references do not take it away), as
    // the marker is in the spelled-out tableau. Lowest subject first, as elsewhere.
    std::sort(external.begin(), external.end());
    for (Symbol subject : external) {
        Row row = expanded(*rows_.find(subject));
        if (row.coefficientFor(marker) == 0) continue;
        rows_.erase(subject);
        return {subject, std::move(row)};
    }
    return {0, Row()};
}

void Solver::removeConstraint(ConstraintId constraint) {
    if (!hasConstraint(constraint)) return;
    ++version_;
    Record& record = records_[constraint];
    if (kind(record.marker) == Kind::Error) removeMarkerEffects(record.marker, record.strength);
    if (record.other && kind(record.other) == Kind::Error) removeMarkerEffects(record.other, record.strength);
    owners_[record.marker] = kNoConstraint;
    if (record.other) owners_[record.other] = kNoConstraint;
    // The constraint's row goes: when its marker is not basic, it is made basic first.
    if (!rows_.erase(record.marker)) {
        auto [leaving, row] = takeMarkerLeavingRow(record.marker);
        if (!leaving) throw std::logic_error("layout solver: a constraint's marker is in no row");
        // Rows that refer to the leaving variable now hold it as a parametric symbol.
        row.solveFor(leaving, record.marker);
        substitute(record.marker, row);
    }
    infeasible_.clear();
    record.live = false;
    --count_;
    optimize(objective_);
}

// ---- Changing a constant ----

// A constant that moves by Δ moves the constraint's marker by Δ / sign: the equation
// expression + Δ + sign · marker = 0 is the old one with marker replaced by marker + Δ / sign.
bool Solver::shiftMarker(Symbol marker, double shift) {
    if (Row* row = rows_.find(marker)) {
        row->add(-shift);
        noteInfeasible({marker});
        return kind(marker) != Kind::Dummy || nearZero(row->constant());
    }
    bool holds = true;
    std::vector<Symbol> changed;
    for (Slot slot : holders(marker)) {
        Row& row = rows_.rowAt(slot);
        const double coefficient = row.coefficientFor(marker);
        if (coefficient == 0.0) continue;
        row.add(coefficient * shift);
        const Symbol subject = rows_.subjectAt(slot);
        if (kind(subject) == Kind::Dummy && !nearZero(row.constant())) holds = false;
        changed.push_back(subject);
    }
    noteInfeasible(changed);
    objective_.add(objective_.coefficientFor(marker) * shift);
    return holds;
}

void Solver::noteInfeasible(const std::vector<Symbol>& subjects) {
    const auto first = static_cast<std::ptrdiff_t>(infeasible_.size());
    for (Symbol subject : subjects) {
        const Row* row = rows_.find(subject);
        if (row && kind(subject) != Kind::External && row->constant() < 0) {
            infeasible_.push_back(subject);
        }
    }
    std::sort(infeasible_.begin() + first, infeasible_.end());
}

void Solver::noteInfeasibleRows() {
    infeasible_.clear();
    rows_.forEach([&](Slot slot) {
        const Symbol subject = rows_.subjectAt(slot);
        if (kind(subject) != Kind::External && rows_.rowAt(slot).constant() < 0) infeasible_.push_back(subject);
    });
    std::sort(infeasible_.begin(), infeasible_.end(), std::greater<>());
}

bool Solver::setConstant(ConstraintId constraint, double constant) {
    if (!hasConstraint(constraint)) return false;
    ++version_;
    Record& record = records_[constraint];
    const double delta = constant - record.constant;
    if (delta == 0) return true;
    infeasible_.clear();
    const double shift = delta / record.markerSign;
    if (shiftMarker(record.marker, shift) && dualOptimize()) {
        record.constant = constant;
        return true;
    }
    // Put the old constant back. The system is the old one again, so its rows can be made feasible.
    shiftMarker(record.marker, -shift);
    noteInfeasibleRows();
    if (!dualOptimize()) throw std::logic_error("layout solver: cannot restore a feasible solution");
    return false;
}

}  // namespace ql::ui::solver
