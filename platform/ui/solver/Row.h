#pragma once
// One row of the solver's tableau: a basic symbol's value as constant + Σ coefficient · parametric symbol.
// Cells stay sorted by symbol so that rows merge in one pass; coefficients that come within the solver's
// tolerance of zero are dropped.

#include <cstdint>
#include <vector>

namespace ql::ui::solver {

using Symbol = std::uint32_t;

inline constexpr double kTolerance = 1e-8;

inline bool nearZero(double value) { return value < kTolerance && value > -kTolerance; }

class Row {
public:
    struct Cell {
        Symbol symbol;
        double coefficient;
    };

    Row() = default;
    explicit Row(double constant) : constant_(constant) {}

    double constant() const { return constant_; }
    const std::vector<Cell>& cells() const { return cells_; }
    double coefficientFor(Symbol symbol) const;

    void add(double value) { constant_ += value; }
    void insert(Symbol symbol, double coefficient);
    // Adds `other` · coefficient; the symbols the row did not hold before go to `added`, when given.
    void insert(const Row& other, double coefficient, std::vector<Symbol>* added = nullptr);
    void remove(Symbol symbol);
    void reverseSign();
    // Rewrites the row `0 = …` as `symbol = …`; std::logic_error when the row does not hold `symbol`.
    void solveFor(Symbol symbol);
    // Rewrites `lhs = …` as `rhs = …`; std::logic_error, the row unchanged, when it does not hold `rhs`.
    void solveFor(Symbol lhs, Symbol rhs);
    // Replaces `symbol` by what `row` says it equals; false when the row does not hold it. The symbols
    // the row did not hold before go to `added`, when given.
    bool substitute(Symbol symbol, const Row& row, std::vector<Symbol>* added = nullptr);

private:
    static std::uint64_t bit(Symbol symbol) { return std::uint64_t{1} << (symbol & 63); }
    // False when the row surely does not hold the symbol: most rows asked about a symbol they do not hold
    // are turned away here without a search.
    bool mayHold(Symbol symbol) const { return (mask_ & bit(symbol)) != 0; }
    std::vector<Cell>::iterator find(Symbol symbol);

    std::vector<Cell> cells_;
    double constant_ = 0;
    // One bit per symbol modulo 64, set for every symbol the row holds (and perhaps for some it held).
    std::uint64_t mask_ = 0;
};

}  // namespace ql::ui::solver
