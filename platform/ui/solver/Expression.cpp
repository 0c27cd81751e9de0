#include "platform/ui/solver/Expression.h"

#include <algorithm>

namespace ql::ui::solver {

void Expression::add(Variable variable, double coefficient) {
    auto it = std::lower_bound(terms_.begin(), terms_.end(), variable.id,
                               [](const Term& t, std::uint32_t id) { return t.variable.id < id; });
    if (it != terms_.end() && it->variable == variable) {
        it->coefficient += coefficient;
        if (it->coefficient == 0) terms_.erase(it);
    } else if (coefficient != 0) {
        terms_.insert(it, Term{variable, coefficient});
    }
}

void Expression::add(const Expression& other, double factor) {
    if (&other == this) {
        const Expression copy = other;
        add(copy, factor);
        return;
    }
    constant_ += other.constant_ * factor;
    for (const Term& t : other.terms_) add(t.variable, t.coefficient * factor);
}

}  // namespace ql::ui::solver
