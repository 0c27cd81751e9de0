#pragma once
// Linear expressions over solver variables: constant + Σ coefficient · variable. They are the language in
// which constraint layout states its relations to the solver.

#include <cstdint>
#include <vector>

namespace ql::ui::solver {

// A quantity the solver finds a value for; made by Solver::makeVariable and valid for that solver only.
struct Variable {
    std::uint32_t id = 0;

    bool isValid() const { return id != 0; }
    friend bool operator==(Variable, Variable) = default;
};

struct Term {
    Variable variable;
    double coefficient = 0;

    friend bool operator==(const Term&, const Term&) = default;
};

// Terms are kept ordered by variable, one per variable; a term whose coefficient cancels out is dropped.
class Expression {
public:
    Expression() = default;
    Expression(double constant) : constant_(constant) {}  // NOLINT: numbers read as expressions
    Expression(Variable variable, double coefficient = 1) { add(variable, coefficient); }  // NOLINT

    const std::vector<Term>& terms() const { return terms_; }
    double constant() const { return constant_; }

    void add(Variable variable, double coefficient);
    void add(double constant) { constant_ += constant; }
    void add(const Expression& other, double factor = 1);

    friend Expression operator+(Expression a, const Expression& b) {
        a.add(b);
        return a;
    }
    friend Expression operator-(Expression a, const Expression& b) {
        a.add(b, -1);
        return a;
    }

private:
    std::vector<Term> terms_;
    double constant_ = 0;
};

enum class Relation { LessThanOrEqual, Equal, GreaterThanOrEqual };

}  // namespace ql::ui::solver
