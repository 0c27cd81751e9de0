#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "platform/ui/solver/Solver.h"

using namespace ql::ui::solver;

namespace {

constexpr double kWeak = 1;
constexpr double kMedium = 1000;
constexpr double kStrong = 1000000;

TEST(Solver, EqualitiesAndPreferences) {
    Solver solver;
    const Variable left = solver.makeVariable();
    const Variable width = solver.makeVariable();
    const Variable right = solver.makeVariable();
    // right = left + width, left = 10, width prefers 100.
    ASSERT_NE(solver.addConstraint(Expression(right) - left - width, Relation::Equal, kRequired), kNoConstraint);
    ASSERT_NE(solver.addConstraint(Expression(left) - 10, Relation::Equal, kRequired), kNoConstraint);
    const ConstraintId preferred = solver.addConstraint(Expression(width) - 100, Relation::Equal, kWeak);
    EXPECT_DOUBLE_EQ(solver.value(right), 110);

    // A stronger preference wins over a weaker one; removing it gives the weaker one back.
    const ConstraintId strong = solver.addConstraint(Expression(right) - 300, Relation::Equal, kStrong);
    EXPECT_DOUBLE_EQ(solver.value(width), 290);
    solver.removeConstraint(strong);
    EXPECT_DOUBLE_EQ(solver.value(width), 100);
    EXPECT_FALSE(solver.hasConstraint(strong));
    EXPECT_TRUE(solver.hasConstraint(preferred));
    EXPECT_EQ(solver.constraintCount(), 3u);

    // Two preferences that disagree settle at the stronger one, not in between.
    solver.addConstraint(Expression(width) - 40, Relation::Equal, kMedium);
    EXPECT_DOUBLE_EQ(solver.value(width), 40);
}

TEST(Solver, Inequalities) {
    Solver solver;
    const Variable x = solver.makeVariable();
    solver.addConstraint(Expression(x) - 10, Relation::GreaterThanOrEqual, kRequired);
    solver.addConstraint(Expression(x) - 20, Relation::LessThanOrEqual, kRequired);
    const ConstraintId wish = solver.addConstraint(Expression(x) - 35, Relation::Equal, kWeak);
    EXPECT_DOUBLE_EQ(solver.value(x), 20);
    solver.removeConstraint(wish);
    solver.addConstraint(Expression(x), Relation::Equal, kWeak);
    EXPECT_DOUBLE_EQ(solver.value(x), 10);
    // A preferred inequality holds when it can.
    solver.addConstraint(Expression(x) - 15, Relation::GreaterThanOrEqual, kMedium);
    EXPECT_DOUBLE_EQ(solver.value(x), 15);
}

TEST(Solver, ContradictionsAreRefusedAndExplained) {
    Solver solver;
    const Variable x = solver.makeVariable();
    const Variable y = solver.makeVariable();
    const ConstraintId atLeast = solver.addConstraint(Expression(x) - 30, Relation::GreaterThanOrEqual, kRequired);
    const ConstraintId sum = solver.addConstraint(Expression(x) + y - 50, Relation::Equal, kRequired);
    solver.addConstraint(Expression(y) - 5, Relation::GreaterThanOrEqual, kMedium);

    // y ≥ 25 contradicts x ≥ 30 with x + y = 50.
    std::vector<ConstraintId> conflicts;
    EXPECT_EQ(solver.addConstraint(Expression(y) - 25, Relation::GreaterThanOrEqual, kRequired, &conflicts),
              kNoConstraint);
    EXPECT_EQ(conflicts, (std::vector<ConstraintId>{atLeast, sum}));
    // The refusal leaves the solution as it was.
    EXPECT_DOUBLE_EQ(solver.value(x), 30);
    EXPECT_DOUBLE_EQ(solver.value(y), 20);

    // Required equalities that disagree.
    const ConstraintId fixed = solver.addConstraint(Expression(x) - 40, Relation::Equal, kRequired);
    ASSERT_NE(fixed, kNoConstraint);
    EXPECT_EQ(solver.addConstraint(Expression(y) - 11, Relation::Equal, kRequired, &conflicts), kNoConstraint);
    EXPECT_EQ(conflicts, (std::vector<ConstraintId>{sum, fixed}));
    EXPECT_DOUBLE_EQ(solver.value(y), 10);

    // Once the obstacle goes, the same constraint is taken.
    solver.removeConstraint(fixed);
    EXPECT_NE(solver.addConstraint(Expression(y) - 11, Relation::Equal, kRequired), kNoConstraint);
    EXPECT_DOUBLE_EQ(solver.value(x), 39);
}

TEST(Solver, ConstantEditsReoptimise) {
    Solver solver;
    const Variable x = solver.makeVariable();
    const Variable w = solver.makeVariable();
    const ConstraintId origin = solver.addConstraint(Expression(x) - 10, Relation::Equal, kRequired);
    const ConstraintId limit = solver.addConstraint(Expression(x) + w - 200, Relation::LessThanOrEqual, kRequired);
    const ConstraintId wish = solver.addConstraint(Expression(w) - 150, Relation::Equal, kWeak);
    EXPECT_DOUBLE_EQ(solver.value(w), 150);
    ASSERT_TRUE(solver.setConstant(origin, -100));  // x = 100
    EXPECT_DOUBLE_EQ(solver.value(x), 100);
    EXPECT_DOUBLE_EQ(solver.value(w), 100);
    ASSERT_TRUE(solver.setConstant(wish, -50));
    EXPECT_DOUBLE_EQ(solver.value(w), 50);
    ASSERT_TRUE(solver.setConstant(limit, -120));
    EXPECT_DOUBLE_EQ(solver.value(w), 20);

    // An edit that breaks a required constraint is refused and changes nothing.
    solver.addConstraint(Expression(w), Relation::GreaterThanOrEqual, kRequired);
    EXPECT_FALSE(solver.setConstant(origin, -130));
    EXPECT_DOUBLE_EQ(solver.value(x), 100);
    EXPECT_DOUBLE_EQ(solver.value(w), 20);
    EXPECT_TRUE(solver.setConstant(origin, -120));
    EXPECT_DOUBLE_EQ(solver.value(w), 0);
}

// A row of boxes between two walls, each preferring its own width with its own strength, the walls moved
// at random: editing constants must give the solution a solver built afresh gives.
TEST(Solver, IncrementalEditsMatchAFreshSolve) {
    constexpr int kBoxes = 12;
    struct Layout {
        Solver solver;
        std::vector<Variable> left, width;
        std::vector<ConstraintId> preference;
        ConstraintId wall = kNoConstraint;
    };
    auto build = [](Layout& l, const std::vector<double>& wishes, double wall) {
        for (int i = 0; i < kBoxes; ++i) {
            l.left.push_back(l.solver.makeVariable());
            l.width.push_back(l.solver.makeVariable());
        }
        l.solver.addConstraint(Expression(l.left[0]), Relation::Equal, kRequired);
        for (int i = 0; i < kBoxes; ++i) {
            l.solver.addConstraint(Expression(l.width[i]) - 4, Relation::GreaterThanOrEqual, kRequired);
            if (i + 1 < kBoxes) {
                l.solver.addConstraint(Expression(l.left[i + 1]) - l.left[i] - l.width[i] - 2, Relation::Equal,
                                       kRequired);
            }
            l.preference.push_back(
                l.solver.addConstraint(Expression(l.width[i]) - wishes[i], Relation::Equal, 1.0 + i));
        }
        l.wall = l.solver.addConstraint(Expression(l.left.back()) + l.width.back() - wall,
                                        Relation::LessThanOrEqual, kRequired);
    };

    std::mt19937 random(7);
    std::uniform_real_distribution<double> wishOf(4, 60);
    std::uniform_real_distribution<double> wallOf(100, 600);
    std::vector<double> wishes(kBoxes);
    for (double& wish : wishes) wish = wishOf(random);
    Layout incremental;
    build(incremental, wishes, 300);
    for (int round = 0; round < 40; ++round) {
        const double wall = wallOf(random);
        const int box = static_cast<int>(random() % kBoxes);
        wishes[box] = wishOf(random);
        ASSERT_TRUE(incremental.solver.setConstant(incremental.wall, -wall));
        ASSERT_TRUE(incremental.solver.setConstant(incremental.preference[box], -wishes[box]));
        Layout fresh;
        build(fresh, wishes, wall);
        for (int i = 0; i < kBoxes; ++i) {
            ASSERT_NEAR(incremental.solver.value(incremental.width[i]), fresh.solver.value(fresh.width[i]), 1e-6)
                << "round " << round << ", box " << i;
        }
    }
}


// The same row of boxes, its constraints taken away and stated again at random (the walls, the gaps, the
// preferences): whatever path the tableau took, the solution is the one a fresh solver finds.
TEST(Solver, RemovingAndRestatingMatchesAFreshSolve) {
    constexpr int kBoxes = 10;
    struct Layout {
        Solver solver;
        std::vector<Variable> left, width;
        std::vector<ConstraintId> gap, preference;
        ConstraintId wall = kNoConstraint;
        void state(int i, const std::vector<double>& wishes, const std::vector<double>& gaps) {
            if (i + 1 < kBoxes) {
                gap[i] = solver.addConstraint(Expression(left[i + 1]) - left[i] - width[i] - gaps[i], Relation::Equal,
                                              kRequired);
            }
            preference[i] = solver.addConstraint(Expression(width[i]) - wishes[i], Relation::Equal, 1.0 + i);
        }
    };
    auto build = [](Layout& l, const std::vector<double>& wishes, const std::vector<double>& gaps, double wall) {
        for (int i = 0; i < kBoxes; ++i) {
            l.left.push_back(l.solver.makeVariable());
            l.width.push_back(l.solver.makeVariable());
        }
        l.gap.resize(kBoxes);
        l.preference.resize(kBoxes);
        l.solver.addConstraint(Expression(l.left[0]), Relation::Equal, kRequired);
        for (int i = 0; i < kBoxes; ++i) {
            l.solver.addConstraint(Expression(l.width[i]) - 4, Relation::GreaterThanOrEqual, kRequired);
            l.state(i, wishes, gaps);
        }
        l.wall = l.solver.addConstraint(Expression(l.left.back()) + l.width.back() - wall, Relation::LessThanOrEqual,
                                        kRequired);
    };

    std::mt19937 random(11);
    std::uniform_real_distribution<double> wishOf(4, 60);
    std::uniform_real_distribution<double> gapOf(0, 10);
    std::uniform_real_distribution<double> wallOf(100, 600);
    std::vector<double> wishes(kBoxes), gaps(kBoxes);
    for (double& wish : wishes) wish = wishOf(random);
    for (double& gap : gaps) gap = gapOf(random);
    double wall = 300;
    Layout incremental;
    build(incremental, wishes, gaps, wall);
    for (int round = 0; round < 60; ++round) {
        const int box = static_cast<int>(random() % kBoxes);
        wishes[box] = wishOf(random);
        gaps[box] = gapOf(random);
        incremental.solver.removeConstraint(incremental.preference[box]);
        if (box + 1 < kBoxes) incremental.solver.removeConstraint(incremental.gap[box]);
        incremental.state(box, wishes, gaps);
        if (round % 3 == 0) {
            wall = wallOf(random);
            incremental.solver.removeConstraint(incremental.wall);
            incremental.wall = incremental.solver.addConstraint(
                Expression(incremental.left.back()) + incremental.width.back() - wall, Relation::LessThanOrEqual,
                kRequired);
        }
        Layout fresh;
        build(fresh, wishes, gaps, wall);
        ASSERT_EQ(incremental.solver.constraintCount(), fresh.solver.constraintCount());
        for (int i = 0; i < kBoxes; ++i) {
            ASSERT_NEAR(incremental.solver.value(incremental.left[i]), fresh.solver.value(fresh.left[i]), 1e-6)
                << "round " << round << ", box " << i;
            ASSERT_NEAR(incremental.solver.value(incremental.width[i]), fresh.solver.value(fresh.width[i]), 1e-6)
                << "round " << round << ", box " << i;
        }
    }
}

// The same for trees of views as constraint layout states them: each view placed a gap after an earlier
// one (links first, so that rows refer to the rows of earlier views), the origin, then each width, given
// or set by aligning the view's right edge with an earlier view's (an equality with no fresh variable,
// solved for an older one, whose substitution gives rows a marker they also reach through references);
// wishes and bounds on some views add restricted rows, few enough that a marker is often held by rows
// of external variables only. Any statement taken away and stated again, alone or two at a time in the
// other order, must leave the solution a fresh solver finds.
TEST(Solver, RemovingAndRestatingATreeMatchesAFreshSolve) {
    constexpr int kViews = 14;
    struct Statement {
        Expression expression;
        Relation relation;
        double strength;
    };
    // What fixes view i: the view it follows and the gap, and the view whose right edge it meets (itself
    // when it has a width of its own) with the offset or width.
    struct Shape {
        std::vector<int> after, alignedWith;
        std::vector<double> gap, extent;
    };
    struct Tree {
        Solver solver;
        std::vector<Variable> left, width;
        std::vector<ConstraintId> id;
        // Variables are made in the order given (lefts then widths, by view), which need not be the
        // tree's: the lowest symbol is then not always the earliest view, as in any real layout.
        explicit Tree(const std::vector<int>& made) : left(kViews), width(kViews) {
            for (int variable : made) {
                (variable < kViews ? left[variable] : width[variable - kViews]) = solver.makeVariable();
            }
        }
        // Statements in the order layout makes them: links, origin, widths, then wishes and bounds.
        std::vector<Statement> statements(const Shape& shape) const {
            std::vector<Statement> result;
            for (int i = 1; i < kViews; ++i) {
                const int before = shape.after[i];
                result.push_back({Expression(left[i]) - left[before] - width[before] - shape.gap[i], Relation::Equal,
                                  kRequired});
            }
            result.push_back({Expression(left[0]), Relation::Equal, kRequired});
            for (int i = 0; i < kViews; ++i) {
                const int other = shape.alignedWith[i];
                Expression expression = Expression(width[i]) - shape.extent[i];
                if (other != i) expression = expression + left[i] - left[other] - width[other];
                result.push_back({expression, Relation::Equal, kRequired});
            }
            // Only some views: a marker held by restricted rows is solved for in one of them, and the
            // rows of external variables are to be tried as well.
            for (int i = 0; i < kViews; i += 3) {
                result.push_back({Expression(width[i]) - 20 - i, Relation::Equal, 1.0 + i});
                result.push_back({Expression(left[i]) - 40 * i, Relation::LessThanOrEqual, kMedium + i});
                result.push_back({Expression(left[i]) + 1000, Relation::GreaterThanOrEqual, kRequired});
            }
            return result;
        }
        void state(const Statement& statement, std::size_t index) {
            id[index] = solver.addConstraint(statement.expression, statement.relation, statement.strength);
            ASSERT_NE(id[index], kNoConstraint) << "statement " << index;
        }
        void build(const Shape& shape) {
            const std::vector<Statement> all = statements(shape);
            id.resize(all.size());
            for (std::size_t i = 0; i < all.size(); ++i) state(all[i], i);
        }
    };

    // Each shape is another tree, with its variables made in another order.
    auto exercise = [](unsigned seed) {
        std::mt19937 random(seed);
        std::uniform_real_distribution<double> gapOf(0, 10);
        std::uniform_real_distribution<double> extentOf(-20, 60);
        Shape shape;
        for (int i = 0; i < kViews; ++i) {
            shape.after.push_back(i == 0 ? 0 : static_cast<int>(random() % i));
            shape.alignedWith.push_back(i == 0 || random() % 3 == 0 ? i : static_cast<int>(random() % i));
            shape.gap.push_back(gapOf(random));
            shape.extent.push_back(shape.alignedWith[i] == i ? 10 + extentOf(random) : extentOf(random));
        }
        std::vector<int> made(2 * kViews);
        std::iota(made.begin(), made.end(), 0);
        std::shuffle(made.begin(), made.end(), random);
        Tree incremental(made);
        incremental.build(shape);
        for (int round = 0; round < 60; ++round) {
            const std::size_t count = incremental.id.size();
            std::vector<std::size_t> taken{random() % count};
            if (round % 2) taken.push_back((taken[0] + 1 + random() % (count - 1)) % count);
            for (std::size_t index : taken) {
                incremental.solver.removeConstraint(incremental.id[index]);
                ASSERT_FALSE(incremental.solver.hasConstraint(incremental.id[index]));
            }
            // A link or width taken away comes back with another gap or extent.
            for (std::size_t index : taken) {
                if (index < kViews - 1) {
                    shape.gap[index + 1] = gapOf(random);
                } else if (index >= kViews && index < 2 * kViews) {
                    const int view = static_cast<int>(index) - kViews;
                    shape.extent[view] = shape.alignedWith[view] == view ? 10 + extentOf(random) : extentOf(random);
                }
            }
            const std::vector<Statement> all = incremental.statements(shape);
            for (auto it = taken.rbegin(); it != taken.rend(); ++it) incremental.state(all[*it], *it);
            ASSERT_FALSE(HasFatalFailure());

            Tree fresh(made);
            fresh.build(shape);
            ASSERT_FALSE(HasFatalFailure());
            ASSERT_EQ(incremental.solver.constraintCount(), fresh.solver.constraintCount());
            for (int i = 0; i < kViews; ++i) {
                ASSERT_NEAR(incremental.solver.value(incremental.left[i]), fresh.solver.value(fresh.left[i]), 1e-6)
                    << "round " << round << ", view " << i;
                ASSERT_NEAR(incremental.solver.value(incremental.width[i]), fresh.solver.value(fresh.width[i]), 1e-6)
                    << "round " << round << ", view " << i;
            }
        }
    };
    for (unsigned seed = 1; seed <= 8; ++seed) {
        SCOPED_TRACE("shape " + std::to_string(seed));
        exercise(seed);
        if (HasFatalFailure()) return;
    }
}

// Rows can reach a marker twice: directly, and through a reference to another row that holds it. Here
// the last constraint, with no fresh variable, is solved for an older one, and substituting that into
// the row of `b` gives it the marker of `a = c` beside its reference to `c`, whose row holds the same
// marker: in `b` spelled out the two cancel. Removing `a = c` must not pick that row to solve for the
// marker, and whatever it picks, what is left must still hold. (The sequence a layout pass of the
// sign-in screen made.)
TEST(Solver, RemovingAMarkerThatCancelsThroughAReference) {
    Solver solver;
    const Variable a = solver.makeVariable();
    const Variable b = solver.makeVariable();
    const Variable c = solver.makeVariable();
    const Variable d = solver.makeVariable();
    const Variable e = solver.makeVariable();
    const Variable f = solver.makeVariable();
    const Variable g = solver.makeVariable();
    const Variable h = solver.makeVariable();
    const Variable k = solver.makeVariable();
    // Required equalities, stated around the two below.
    const std::vector<Expression> kept{Expression(d) - k, Expression(a) + b - c - d, Expression(e) - a - 80,
                                       Expression(g) - e - f, Expression(g) + h - a - b + 20};
    ASSERT_NE(solver.addConstraint(kept[0], Relation::Equal, kRequired), kNoConstraint);
    ASSERT_NE(solver.addConstraint(Expression(h) - 100, Relation::GreaterThanOrEqual, kMedium), kNoConstraint);
    const ConstraintId same = solver.addConstraint(Expression(a) - c, Relation::Equal, kRequired);
    ASSERT_NE(same, kNoConstraint);
    for (std::size_t i = 1; i < kept.size(); ++i) {
        ASSERT_NE(solver.addConstraint(kept[i], Relation::Equal, kRequired), kNoConstraint);
    }

    auto residual = [&](const Expression& expression) {
        double sum = expression.constant();
        for (const Term& term : expression.terms()) sum += term.coefficient * solver.value(term.variable);
        return sum;
    };
    solver.removeConstraint(same);
    EXPECT_FALSE(solver.hasConstraint(same));
    EXPECT_EQ(solver.constraintCount(), 6u);
    for (const Expression& expression : kept) EXPECT_NEAR(residual(expression), 0, 1e-9);
    EXPECT_NEAR(solver.value(h), 100, 1e-9);

    // Stated again, it holds with the rest.
    ASSERT_NE(solver.addConstraint(Expression(a) - c, Relation::Equal, kRequired), kNoConstraint);
    EXPECT_NEAR(solver.value(a), solver.value(c), 1e-9);
    for (const Expression& expression : kept) EXPECT_NEAR(residual(expression), 0, 1e-9);
    EXPECT_NEAR(solver.value(h), 100, 1e-9);
}

// A chain stated as constraint layout states it, every link first and every size after: each box starts
// a gap after the one before it ends. Moving, replacing and walling in links must move everything
// downstream, as the sums say; and a chain far longer than any screen must neither take quadratic time
// nor exhaust the stack when read.
TEST(Solver, LongChainsFollowTheirLinks) {
    struct Chain {
        Solver solver;
        std::vector<Variable> left, width;
        std::vector<ConstraintId> link;
        explicit Chain(int count) {
            for (int i = 0; i < count; ++i) {
                left.push_back(solver.makeVariable());
                width.push_back(solver.makeVariable());
            }
            link.push_back(solver.addConstraint(Expression(left[0]), Relation::Equal, kRequired));
            for (int i = 1; i < count; ++i) {
                link.push_back(solver.addConstraint(Expression(left[i]) - left[i - 1] - width[i - 1] - gap(i),
                                                    Relation::Equal, kRequired));
            }
            for (int i = 0; i < count; ++i) {
                solver.addConstraint(Expression(width[i]) - size(i), Relation::Equal, kRequired);
            }
        }
        static double gap(int i) { return i % 7; }
        static double size(int i) { return 10 + i % 5; }
    };
    // Where each box starts, given the gaps before it.
    auto starts = [](const std::vector<double>& gaps) {
        std::vector<double> result{0};
        for (std::size_t i = 1; i < gaps.size(); ++i) {
            result.push_back(result.back() + Chain::size(static_cast<int>(i) - 1) + gaps[i]);
        }
        return result;
    };
    auto expectStarts = [](Chain& chain, const std::vector<double>& expected) {
        for (std::size_t i = 0; i < expected.size(); ++i) {
            ASSERT_DOUBLE_EQ(chain.solver.value(chain.left[i]), expected[i]) << "box " << i;
        }
    };

    constexpr int kCount = 2000;
    Chain chain(kCount);
    std::vector<double> gaps(kCount, 0);
    for (int i = 1; i < kCount; ++i) gaps[i] = Chain::gap(i);
    expectStarts(chain, starts(gaps));

    // The first link moves by 50, and everything after it.
    ASSERT_TRUE(chain.solver.setConstant(chain.link[1], -Chain::gap(1) - 50));
    gaps[1] += 50;
    expectStarts(chain, starts(gaps));

    // A link in the middle is taken away and stated again with another gap.
    chain.solver.removeConstraint(chain.link[1000]);
    chain.link[1000] = chain.solver.addConstraint(
        Expression(chain.left[1000]) - chain.left[999] - chain.width[999] - 100, Relation::Equal, kRequired);
    ASSERT_NE(chain.link[1000], kNoConstraint);
    gaps[1000] = 100;
    expectStarts(chain, starts(gaps));

    // A wall after the last box holds; moving a link so far that it would cross the wall is refused.
    const double end = starts(gaps).back() + Chain::size(kCount - 1);
    std::vector<ConstraintId> conflicts;
    ASSERT_NE(chain.solver.addConstraint(Expression(chain.left.back()) + chain.width.back() - end,
                                         Relation::LessThanOrEqual, kRequired, &conflicts),
              kNoConstraint);
    EXPECT_FALSE(chain.solver.setConstant(chain.link[5], -Chain::gap(5) - 1));
    expectStarts(chain, starts(gaps));
    EXPECT_TRUE(chain.solver.setConstant(chain.link[5], -Chain::gap(5) + 1));
    gaps[5] -= 1;
    expectStarts(chain, starts(gaps));

    Chain deep(100000);
    EXPECT_DOUBLE_EQ(deep.solver.value(deep.left.back()), [] {
        double start = 0;
        for (int i = 1; i < 100000; ++i) start += Chain::size(i - 1) + Chain::gap(i);
        return start;
    }());
}

}  // namespace
