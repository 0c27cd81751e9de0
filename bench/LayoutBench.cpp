// Constraint layout at the size of a busy screen: 500 constraints, first for the solver alone (built
// from nothing, then re-solved after a constant changes) and then as a tree of views laid out by a layout
// pass (from nothing, then again after one row's height changes, which moves every row below it). Then
// the first layout pass of long columns (1,000 to 4,000 rows) and chains (1,000 to 8,000 views), whose
// time should grow about as the rows do.
//
// The load is a column of rows in a container: each row is pinned left and right, stacked under the
// previous one, at least 30 points high and preferably 44 (a priority of 250): five constraints a row.

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "platform/ui/LayoutConstraint.h"
#include "platform/ui/View.h"
#include "platform/ui/solver/Solver.h"

using namespace ql;
using namespace ql::ui;

namespace {

constexpr int kRows = 100;

struct Column {
    solver::Solver solver;
    solver::Variable width = solver.makeVariable();
    std::vector<solver::ConstraintId> preferred;
    solver::ConstraintId floor = solver::kNoConstraint;
};

void buildColumn(Column& column) {
    using solver::Expression;
    using solver::Relation;
    column.solver.addConstraint(Expression(column.width) - 320, Relation::Equal, solver::kRequired);
    Expression bottom(0);
    for (int i = 0; i < kRows; ++i) {
        const auto left = column.solver.makeVariable();
        const auto width = column.solver.makeVariable();
        const auto top = column.solver.makeVariable();
        const auto height = column.solver.makeVariable();
        column.solver.addConstraint(Expression(left) - 10, Relation::Equal, solver::kRequired);
        column.solver.addConstraint(Expression(left) + width - column.width + 10, Relation::Equal, solver::kRequired);
        column.solver.addConstraint(Expression(top) - bottom - 8, Relation::Equal, solver::kRequired);
        column.solver.addConstraint(Expression(height) - 30, Relation::GreaterThanOrEqual, solver::kRequired);
        column.preferred.push_back(column.solver.addConstraint(Expression(height) - 44, Relation::Equal, 31.6));
        bottom = Expression(top) + height;
    }
    // The column must end above a floor, which a re-solve moves.
    column.floor = column.solver.addConstraint(bottom - 6000, Relation::LessThanOrEqual, solver::kRequired);
}

void BM_SolverBuild500(benchmark::State& state) {
    for (auto _ : state) {
        Column column;
        buildColumn(column);
        benchmark::DoNotOptimize(column.solver.value(column.width));
    }
}
BENCHMARK(BM_SolverBuild500)->Unit(benchmark::kMicrosecond);

// Moving the floor up makes every row give way down to its minimum; moving it back restores them.
void BM_SolverMoveFloor(benchmark::State& state) {
    Column column;
    buildColumn(column);
    bool up = false;
    for (auto _ : state) {
        up = !up;
        column.solver.setConstant(column.floor, up ? -4000 : -6000);
        benchmark::DoNotOptimize(column.solver.value(column.width));
    }
}
BENCHMARK(BM_SolverMoveFloor)->Unit(benchmark::kMicrosecond);

void BM_SolverEditOnePreference(benchmark::State& state) {
    Column column;
    buildColumn(column);
    bool tall = false;
    for (auto _ : state) {
        tall = !tall;
        column.solver.setConstant(column.preferred.front(), tall ? -60 : -44);
        benchmark::DoNotOptimize(column.solver.value(column.width));
    }
}
BENCHMARK(BM_SolverEditOnePreference)->Unit(benchmark::kMicrosecond);

// A chain for the solver alone, stated as layout states it: every link (each box a gap after the one
// before), then every size.
void BM_SolverChain(benchmark::State& state) {
    using solver::Expression;
    using solver::Relation;
    const int count = static_cast<int>(state.range(0));
    for (auto _ : state) {
        solver::Solver solver;
        std::vector<solver::Variable> left, width;
        for (int i = 0; i < count; ++i) {
            left.push_back(solver.makeVariable());
            width.push_back(solver.makeVariable());
        }
        solver.addConstraint(Expression(left[0]) - 8, Relation::Equal, solver::kRequired);
        for (int i = 1; i < count; ++i) {
            solver.addConstraint(Expression(left[i]) - left[i - 1] - width[i - 1] - 8, Relation::Equal,
                                 solver::kRequired);
        }
        for (int i = 0; i < count; ++i) {
            solver.addConstraint(Expression(width[i]) - 20, Relation::Equal, solver::kRequired);
        }
        for (int i = 0; i < count; ++i) benchmark::DoNotOptimize(solver.value(left[i]));
    }
    state.SetComplexityN(count);
}
BENCHMARK(BM_SolverChain)->Arg(1000)->Arg(2000)->Arg(4000)->Arg(8000)->Unit(benchmark::kMillisecond)->Complexity();

// ---- The same as views ----

struct Page {
    std::shared_ptr<View> root = std::make_shared<View>(cg::Rect{0, 0, 320, 6000});
    std::shared_ptr<LayoutConstraint> firstHeight;
};

std::shared_ptr<LayoutConstraint> activate(const std::shared_ptr<View>& a, LayoutAttribute attribute,
                                           LayoutRelation relation, const std::shared_ptr<View>& b,
                                           LayoutAttribute other, double constant,
                                           LayoutPriority priority = LayoutPriorityRequired) {
    auto constraint = LayoutConstraint::constraintWithItem(a, attribute, relation, b, other, 1, constant);
    constraint->setPriority(priority);
    constraint->setActive(true);
    return constraint;
}

void buildPage(Page& page, int rows = kRows) {
    using A = LayoutAttribute;
    using R = LayoutRelation;
    std::shared_ptr<View> previous;
    for (int i = 0; i < rows; ++i) {
        auto row = std::make_shared<View>();
        row->setTranslatesAutoresizingMaskIntoConstraints(false);
        page.root->addSubview(row);
        activate(row, A::Left, R::Equal, page.root, A::Left, 10);
        activate(row, A::Right, R::Equal, page.root, A::Right, -10);
        activate(row, A::Top, R::Equal, previous ? previous : page.root, previous ? A::Bottom : A::Top, 8);
        activate(row, A::Height, R::GreaterThanOrEqual, nullptr, A::NotAnAttribute, 30);
        auto preferred = activate(row, A::Height, R::Equal, nullptr, A::NotAnAttribute, 44, LayoutPriorityDefaultLow);
        if (!previous) page.firstHeight = preferred;
        previous = row;
    }
}

void BM_LayoutPassFromNothing(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        Page page;
        buildPage(page);
        state.ResumeTiming();
        page.root->layoutIfNeeded();
        benchmark::DoNotOptimize(page.root->subviews().back()->frame());
        state.PauseTiming();
        page = Page();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_LayoutPassFromNothing)->Unit(benchmark::kMicrosecond);

void BM_LayoutPassAfterConstantEdit(benchmark::State& state) {
    Page page;
    buildPage(page);
    page.root->layoutIfNeeded();
    bool tall = false;
    for (auto _ : state) {
        tall = !tall;
        page.firstHeight->setConstant(tall ? 60 : 44);
        page.root->layoutIfNeeded();
        benchmark::DoNotOptimize(page.root->subviews().back()->frame());
    }
}
BENCHMARK(BM_LayoutPassAfterConstantEdit)->Unit(benchmark::kMicrosecond);

void BM_LayoutPassOfALongColumn(benchmark::State& state) {
    const int rows = static_cast<int>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        auto page = std::make_unique<Page>();
        page->root->setFrame({0, 0, 320, 60.0 * rows});
        buildPage(*page, rows);
        state.ResumeTiming();
        page->root->layoutIfNeeded();
        benchmark::DoNotOptimize(page->root->subviews().back()->frame());
        state.PauseTiming();
        page.reset();
        state.ResumeTiming();
    }
    state.SetComplexityN(rows);
}
BENCHMARK(BM_LayoutPassOfALongColumn)->Arg(1000)->Arg(2000)->Arg(4000)->Unit(benchmark::kMillisecond)->Complexity();

// A chain of required constraints only: each view of a fixed size sits 8 points after the previous one.
void BM_LayoutPassOfAChain(benchmark::State& state) {
    using A = LayoutAttribute;
    using R = LayoutRelation;
    const int count = static_cast<int>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        auto root = std::make_shared<View>(cg::Rect{0, 0, 30.0 * count, 100});
        std::shared_ptr<View> previous;
        for (int i = 0; i < count; ++i) {
            auto view = std::make_shared<View>();
            view->setTranslatesAutoresizingMaskIntoConstraints(false);
            root->addSubview(view);
            activate(view, A::Leading, R::Equal, previous ? previous : root, previous ? A::Trailing : A::Leading, 8);
            activate(view, A::Top, R::Equal, root, A::Top, 10);
            activate(view, A::Width, R::Equal, nullptr, A::NotAnAttribute, 20);
            activate(view, A::Height, R::Equal, nullptr, A::NotAnAttribute, 20);
            previous = view;
        }
        state.ResumeTiming();
        root->layoutIfNeeded();
        benchmark::DoNotOptimize(root->subviews().back()->frame());
        state.PauseTiming();
        root.reset();
        state.ResumeTiming();
    }
    state.SetComplexityN(count);
}
BENCHMARK(BM_LayoutPassOfAChain)
    ->Arg(1000)
    ->Arg(2000)
    ->Arg(4000)
    ->Arg(8000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity();

// A view given many subviews one after the other, then released with them: both should grow linearly.
void BM_ManySubviewsAddedAndReleased(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    for (auto _ : state) {
        auto root = std::make_shared<View>(cg::Rect{0, 0, 320, 480});
        for (int i = 0; i < count; ++i) root->addSubview(std::make_shared<View>(cg::Rect{0, 0, 20, 20}));
        benchmark::DoNotOptimize(root->subviews().size());
        root.reset();
    }
    state.SetComplexityN(count);
}
BENCHMARK(BM_ManySubviewsAddedAndReleased)
    ->Arg(1000)
    ->Arg(2000)
    ->Arg(4000)
    ->Arg(8000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity();

}  // namespace

BENCHMARK_MAIN();
