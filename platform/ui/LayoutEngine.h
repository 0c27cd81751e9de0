#pragma once
// ui::LayoutEngine: the constraint system of one tree of views. It states the active constraints held in
// the tree, the intrinsic sizes of views laid out by constraints and the frames of views placed by their
// frames as solver constraints, keeps them in step with the tree from pass to pass (adding, removing and
// moving only what changed) and says where each view laid out by constraints goes. A required constraint
// that contradicts the others is logged together with them and left out of the solution.
//
// The engine of a tree lives with the tree's top view; systemLayoutSizeFittingSize uses a short-lived one
// whose top is the view being measured, with its size free.

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/graphics/Geometry.h"
#include "platform/ui/LayoutConstraint.h"
#include "platform/ui/LayoutTypes.h"
#include "platform/ui/solver/Solver.h"

namespace ql::ui {

class View;

// What constraint layout keeps for one view.
struct ViewLayoutState {
    ViewLayoutState();
    ~ViewLayoutState();
    ViewLayoutState(const ViewLayoutState&) = delete;
    ViewLayoutState& operator=(const ViewLayoutState&) = delete;

    std::vector<std::shared_ptr<LayoutConstraint>> constraints;
    std::array<LayoutPriority, 2> hugging{LayoutPriorityDefaultLow, LayoutPriorityDefaultLow};
    std::array<LayoutPriority, 2> compressionResistance{LayoutPriorityDefaultHigh, LayoutPriorityDefaultHigh};
    cg::EdgeInsets margins{8, 8, 8, 8};
    bool needsUpdateConstraints = false;
    // The intrinsic content size as last asked, and the size of wrapping text at a width, until the view
    // says they changed.
    std::optional<cg::Size> intrinsicSize;
    std::optional<std::pair<double, cg::Size>> wrappedSize;
    // While the view is the top of a tree that lays out by constraints.
    std::unique_ptr<LayoutEngine> engine;
};

class LayoutEngine {
public:
    // The engine that lays out the tree under `root` (the top of its tree, which outlives the engine).
    explicit LayoutEngine(View& root);
    ~LayoutEngine();
    LayoutEngine(const LayoutEngine&) = delete;
    LayoutEngine& operator=(const LayoutEngine&) = delete;

    // Brings the system in step with the tree and solves it. Where a view's solved frame differs from its
    // frame, its superview is asked to lay out.
    void update();
    // False when nothing in the tree lays out by constraints, as of the last update.
    bool isInUse() const { return inUse_; }
    // Where a view laid out by constraints goes in its superview, as of the last solution.
    std::optional<cg::Rect> frameOf(const View& view) const;
    // Where layout puts the centre of a view given that frame.
    static cg::Point centerOf(const cg::Rect& frame);
    // Re-solves after a held constraint's constant changed.
    void constantDidChange(LayoutConstraint& constraint);

    // The size `view` takes by the constraints of its subtree, pulled towards `target` with the priorities.
    static cg::Size fittingSize(View& view, cg::Size target, LayoutPriority horizontal, LayoutPriority vertical);

    // The nearest view that both views are in (a view is in itself), if any.
    static View* nearestCommonAncestor(View* a, const View* b);

private:
    enum class Purpose { Layout, Fitting };

    // A view taking part: its frame's variables (the top view's origin is fixed at zero), and the
    // constraints that the engine states for it.
    struct Item {
        View* view = nullptr;
        std::weak_ptr<View> weak;
        bool owned = false;
        solver::Variable left, top, width, height;
        std::uint64_t stamp = 0;
        bool byConstraints = false;
        bool wraps = false;
        std::array<std::shared_ptr<LayoutConstraint>, 4> frame;
        std::array<std::shared_ptr<LayoutConstraint>, 4> content;
    };

    // A constraint as the solver holds it; a contradicting required constraint is held by none.
    struct Entry {
        std::shared_ptr<LayoutConstraint> constraint;
        solver::Expression expression;
        solver::Relation relation = solver::Relation::Equal;
        double strength = 0;
        solver::ConstraintId id = solver::kNoConstraint;
        std::uint64_t stamp = 0;
    };

    // The items a constraint relates (the second null when it has none), found where it is gathered.
    struct Operands {
        const Item* first = nullptr;
        const Item* second = nullptr;
    };
    // A constraint the tree wants held, with its items when already known.
    struct Wanted {
        LayoutConstraint* constraint;
        std::optional<Operands> operands;
    };

    LayoutEngine(View& root, Purpose purpose);

    void gather(View& view, std::vector<Wanted>& wanted);
    Item& touch(View& view);
    Item* find(const View* view);
    const Item* find(const View* view) const;
    using Maker = std::shared_ptr<LayoutConstraint> (*)(const std::shared_ptr<View>&, LayoutAttribute, LayoutRelation,
                                                        const std::shared_ptr<View>&, LayoutAttribute, double, double,
                                                        LayoutPriority);
    static std::shared_ptr<LayoutConstraint> makeFitting(const std::shared_ptr<View>& item, LayoutAttribute attribute,
                                                         LayoutRelation relation, const std::shared_ptr<View>& item2,
                                                         LayoutAttribute attribute2, double multiplier, double constant,
                                                         LayoutPriority priority);
    static void keep(std::shared_ptr<LayoutConstraint>& slot, Maker make, View& item, LayoutAttribute attribute,
                     LayoutRelation relation, View* item2, LayoutAttribute attribute2, double multiplier,
                     double constant, LayoutPriority priority);
    void stateFrame(Item& item);
    void stateContent(Item& item);
    cg::Size contentSize(Item& item);
    void reconcile(const std::vector<Wanted>& wanted);
    // False when an item of the constraint takes no part.
    bool operandsOf(const LayoutConstraint& constraint, Operands& operands) const;
    void express(const LayoutConstraint& constraint, const Operands& operands, solver::Expression& expression) const;
    solver::Expression attribute(const Item& item, LayoutAttribute attribute) const;
    void restate(Entry& entry, bool retry, const std::optional<Operands>& known = std::nullopt);
    void add(Entry& entry, solver::Expression expression, solver::Relation relation, double strength, bool report);
    void drop(Entry& entry);
    void settleWrappingText();
    std::optional<cg::Rect> frameOf(const Item& item) const;
    void askForLayoutWhereFramesChange();
    void reportUnsatisfiable(const LayoutConstraint& broken, const std::vector<solver::ConstraintId>& conflicts) const;
    double valueOf(solver::Variable variable) const;

    View* root_;
    Purpose purpose_;
    solver::Solver solver_;
    std::unordered_map<const View*, Item> items_;
    std::unordered_map<const LayoutConstraint*, Entry> entries_;
    // The views taking part, in the order they were met in the last update.
    std::vector<Item*> order_;
    std::uint64_t stamp_ = 0;
    bool inUse_ = false;
    // The pull of systemLayoutSizeFittingSize towards its target size.
    cg::Size target_;
    std::array<LayoutPriority, 2> fittingPriority_{};
    std::array<std::shared_ptr<LayoutConstraint>, 2> fitting_;
};

}  // namespace ql::ui
