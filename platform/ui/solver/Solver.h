#pragma once
// solver::Solver: an incremental simplex solver for systems of linear equalities and inequalities, some
// required and the others preferred with a strength. It keeps an optimal solution as constraints come and
// go: required constraints always hold; the preferred ones hold as far as the required ones allow, the
// weighted sum of their violations being as small as it can be. Changing the constant of a held
// constraint re-optimises from the current solution (dual simplex) instead of starting over.
//
// The rows of restricted symbols (slack, error, dummy) and the objective are kept in terms of parametric
// symbols only, as the simplex steps need them. The row of an external variable made basic by a
// constraint that introduced it may instead refer to other basic external variables, which stand for
// their rows: a chain of positions then has rows of a few cells each, where spelling every row out would
// make the row of the last position hold one marker per constraint upstream. Only a variable no row
// holds yet is given a row with references, and rows gain no references later, so references never
// form a cycle. A row is spelled out (expanded) where a simplex step needs it, and values are read
// through the references. Substitutions still bring parametric symbols into such a row, so it may hold
// a symbol both itself and through a reference, the two perhaps cancelling: only the row spelled out
// says whether it holds the symbol.

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <utility>
#include <vector>

#include "platform/ui/solver/Expression.h"
#include "platform/ui/solver/Row.h"
#include "platform/ui/solver/RowTable.h"

namespace ql::ui::solver {

using ConstraintId = std::uint32_t;
inline constexpr ConstraintId kNoConstraint = 0;

// The strength of a constraint that must hold; any finite positive strength is a preference.
inline constexpr double kRequired = std::numeric_limits<double>::infinity();

class Solver {
public:
    Solver();

    Variable makeVariable();

    // Adds `expression relation 0`. A required constraint that contradicts the required constraints held
    // already is refused: the result is kNoConstraint and `conflicts`, when given, receives the held
    // constraints it contradicts. Preferences are always taken.
    ConstraintId addConstraint(const Expression& expression, Relation relation, double strength,
                               std::vector<ConstraintId>* conflicts = nullptr);
    void removeConstraint(ConstraintId constraint);
    bool hasConstraint(ConstraintId constraint) const;
    std::size_t constraintCount() const { return count_; }

    // Gives a held constraint a new expression constant. When that would contradict the required
    // constraints, nothing changes and the result is false.
    bool setConstant(ConstraintId constraint, double constant);

    // The variable's value in the current solution.
    double value(Variable variable) const;

private:
    enum class Kind : std::uint8_t { Invalid, External, Slack, Error, Dummy };

    // What the solver remembers of a constraint: the symbols that mark it in the tableau, and the sign of
    // the marker in the constraint's own equation (which says how a change of its constant moves it).
    struct Record {
        Symbol marker = 0;
        Symbol other = 0;
        double markerSign = 0;
        double constant = 0;
        double strength = 0;
        bool live = false;
    };

    Symbol newSymbol(Kind kind);
    Kind kind(Symbol symbol) const { return kinds_[symbol]; }
    bool pivotable(Symbol symbol) const { return kind(symbol) == Kind::Slack || kind(symbol) == Kind::Error; }

    // The slots of the rows that may hold `symbol` (every one that does), each once, in no particular
    // order: readers check each row, and whatever depends on the order (the infeasible rows noted)
    // sorts what it takes from them.
    const std::vector<Slot>& holders(Symbol symbol);
    // Drops from the symbol's column the repeated entries and the rows that are gone; a column still
    // long after that gives way to scanning.
    void clean(Symbol symbol);
    // Notes that the row in `slot` now holds `symbol`, or the symbols of `cells`, too. Inline: a dual
    // optimisation brings thousands of symbols into rows, most of which are scanned for.
    void note(Slot slot, Symbol symbol) {
        used_[symbol] = true;
        if (!scanned_[symbol]) list(slot, symbol);
    }
    void list(Slot slot, Symbol symbol);
    void noteCells(Slot slot, const Row& cells);
    // Notes the rows of `subjects` whose restricted basic symbol went negative, lowest symbol first.
    void noteInfeasible(const std::vector<Symbol>& subjects);

    Row createRow(const Expression& expression, Relation relation, double strength, Record& record);
    // A variable of the row no row holds yet, which the row may then be solved for as it is.
    Symbol freshSubject(const Row& row) const;
    Symbol chooseSubject(const Row& row, const Record& record) const;
    // Whether a symbol in a row stands for the row of a basic external variable.
    bool isReference(Symbol symbol) const { return kind(symbol) == Kind::External && rows_.find(symbol); }
    // The row with every reference replaced by what it stands for, to any depth.
    Row expanded(const Row& row);
    bool allDummies(const Row& row) const;
    bool addWithArtificialVariable(const Row& row, std::vector<ConstraintId>* conflicts);
    void collectConflicts(const Row& row, std::vector<ConstraintId>* conflicts) const;
    void substitute(Symbol symbol, const Row& row);
    void place(Symbol subject, Row row);
    void pivot(Symbol leaving, Symbol entering);
    void optimize(Row& objective);
    bool dualOptimize();
    // Takes out of the tableau the row that the marker of a constraint being removed is to be solved
    // from, spelled out, with its basic symbol; the symbol is 0 when no row holds the marker.
    std::pair<Symbol, Row> takeMarkerLeavingRow(Symbol marker);
    void removeMarkerEffects(Symbol marker, double strength);
    // Moves `marker` by `shift` in every row; false when a redundant required equality stops holding.
    bool shiftMarker(Symbol marker, double shift);
    void noteInfeasibleRows();

    std::vector<Kind> kinds_;
    // Whether a symbol was ever in a row of the tableau or the objective: one that never was (a variable
    // met for the first time) can be substituted without looking at any row.
    std::vector<bool> used_;
    RowTable rows_;
    // For each symbol, the slots of the rows that may hold it: every row that holds it is listed, and
    // perhaps some that held it once, or are gone, or twice (readers check). Substitution and the ratio
    // tests visit only these rows, not the whole tableau, which keeps long sparse systems from growing
    // quadratically. Rows are listed by slot, which a pivot leaves alone, so that a pivot notes only the
    // one symbol it brings into a row; lists are unordered, so that noting costs a push and reading costs
    // as much as the list is long.
    struct Column {
        std::vector<Slot> slots;
        // The length after the last cleaning; the list is cleaned again when it has doubled.
        std::size_t cleaned = 0;
    };
    std::vector<Column> columns_;
    // Whether a symbol is found by a scan of all rows instead of by its column: while it is in more
    // than one row in 64, a scan costs little more than the work done in the rows it finds, and a list
    // would cost a note each time a substitution brings the symbol into a row (in a dual optimisation,
    // dozens of rows at each pivot). That holds through the symbol's turns in the basis until a scan
    // finds it in at most one row in 128; what the scan found is then its list again. Between the two
    // bounds each scan is paid for by the rows it finds or by the notes that filled the list.
    std::vector<bool> scanned_;
    // Marks for cleaning a column: a slot is kept once, when its mark is not yet the current pass's.
    std::vector<std::uint64_t> seen_;
    std::uint64_t pass_ = 0;
    // What holders() found by a scan.
    std::vector<Slot> found_;
    Row objective_;
    std::optional<Row> artificial_;
    std::vector<Record> records_;
    // The constraint that each marker and error symbol belongs to (by symbol), for explaining conflicts.
    std::vector<ConstraintId> owners_;
    std::vector<Symbol> infeasible_;
    std::size_t count_ = 0;
    // Scratch for expanded(), by symbol: the weight a referenced row or a parametric symbol gathers,
    // how many referring rows are still to be counted, and the walk that last touched the symbol.
    std::vector<double> weight_;
    std::vector<std::uint32_t> pending_;
    std::vector<std::uint64_t> walked_;
    std::uint64_t walk_ = 0;
    // Whether the row of a basic symbol was placed holding references; a row that was not never gains
    // any, so its constant is its value.
    std::vector<bool> refers_;
    // Values read through references, kept until the tableau changes (each change takes a new version).
    std::uint64_t version_ = 1;
    mutable std::vector<double> values_;
    mutable std::vector<std::uint64_t> valued_;
    mutable std::vector<Symbol> valuing_;
};

}  // namespace ql::ui::solver
