#include <gtest/gtest.h>

#include <map>
#include <random>
#include <stdexcept>
#include <vector>

#include "platform/ui/solver/Row.h"

using namespace ql::ui::solver;

namespace {

// Adding a multiple of one row to another, short into long (in place) and alike in length (merged), must
// give what plain arithmetic on the coefficients gives: cells in order, a cell that cancels gone, and
// exactly the symbols new to the row reported as added.
TEST(Row, AddingARowMatchesTheArithmetic) {
    std::mt19937 random(7);
    for (int round = 0; round < 300; ++round) {
        const int longLength = static_cast<int>(random() % 200);
        const int shortLength = static_cast<int>(random() % 12);
        std::map<Symbol, double> expected, other;
        Row row(1.5), addend(2);
        for (int i = 0; i < longLength; ++i) {
            const Symbol symbol = 1 + static_cast<Symbol>(random() % 400);
            const double coefficient = 1 + static_cast<double>(random() % 5);
            row.insert(symbol, coefficient);
            expected[symbol] += coefficient;
        }
        const std::map<Symbol, double> before = expected;
        // Some of the addend's cells cancel the row's exactly.
        for (int i = 0; i < shortLength; ++i) {
            Symbol symbol = 1 + static_cast<Symbol>(random() % 400);
            double coefficient = 1 + static_cast<double>(random() % 3);
            if (i % 3 == 0 && !before.empty()) {
                auto it = before.begin();
                std::advance(it, static_cast<long>(random() % before.size()));
                symbol = it->first;
                coefficient = -it->second / 2 - other[symbol];
            }
            addend.insert(symbol, coefficient);
            other[symbol] += coefficient;
        }
        std::vector<Symbol> added;
        row.insert(addend, 2, &added);
        std::vector<Symbol> expectedAdded;
        for (const auto& [symbol, coefficient] : other) {
            if (coefficient == 0) continue;
            if (!before.contains(symbol)) expectedAdded.push_back(symbol);
            expected[symbol] += 2 * coefficient;
        }
        std::erase_if(expected, [](const auto& cell) { return nearZero(cell.second); });

        EXPECT_DOUBLE_EQ(row.constant(), 5.5);
        ASSERT_EQ(row.cells().size(), expected.size()) << "round " << round;
        auto it = expected.begin();
        for (const Row::Cell& cell : row.cells()) {
            EXPECT_EQ(cell.symbol, it->first) << "round " << round;
            EXPECT_DOUBLE_EQ(cell.coefficient, it->second) << "round " << round;
            EXPECT_DOUBLE_EQ(row.coefficientFor(cell.symbol), it->second);
            ++it;
        }
        EXPECT_EQ(added, expectedAdded) << "round " << round;
    }
}

// Solving for a symbol the row does not hold is refused and leaves the row as it was.
TEST(Row, SolvingForASymbolItDoesNotHoldIsRefused) {
    Row row(6);
    row.insert(3, 2);
    row.insert(5, -1);
    EXPECT_THROW(row.solveFor(4), std::logic_error);
    EXPECT_THROW(row.solveFor(7, 4), std::logic_error);
    ASSERT_EQ(row.cells().size(), 2u);
    EXPECT_DOUBLE_EQ(row.coefficientFor(7), 0);
    EXPECT_DOUBLE_EQ(row.constant(), 6);

    // 7 = 6 + 2·s3 − s5 solved for s5: s5 = 6 + 2·s3 − s7.
    row.solveFor(7, 5);
    EXPECT_DOUBLE_EQ(row.constant(), 6);
    EXPECT_DOUBLE_EQ(row.coefficientFor(3), 2);
    EXPECT_DOUBLE_EQ(row.coefficientFor(7), -1);
    EXPECT_DOUBLE_EQ(row.coefficientFor(5), 0);
}

}  // namespace
