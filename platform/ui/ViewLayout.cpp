// A view's part in constraint layout: the constraints it holds, its content priorities and margins, the
// constraint update pass, the place where layout passes meet the tree's layout engine, and fitting sizes.

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/Exception.h"
#include "platform/ui/DisplayCycle.h"
#include "platform/ui/LayoutConstraint.h"
#include "platform/ui/LayoutEngine.h"
#include "platform/ui/MainThread.h"
#include "platform/ui/View.h"

namespace ql::ui {

namespace {

// Views that asked for the constraint update pass, which runs before the next layout.
std::vector<std::weak_ptr<View>>& pendingUpdates() {
    static auto& views = *new std::vector<std::weak_ptr<View>>;
    return views;
}

std::size_t depthOf(const View* view) {
    std::size_t depth = 0;
    for (; view->superview(); view = view->superview()) ++depth;
    return depth;
}

void checkPriority(LayoutPriority priority) {
    if (!(priority > 0 && priority <= LayoutPriorityRequired)) {
        throw ns::Exception(ns::InvalidArgumentException, "A layout priority must be greater than 0 and at most 1000; got " +
                                                              std::to_string(priority) + ".");
    }
}

std::size_t axisIndex(LayoutConstraintAxis axis) { return axis == LayoutConstraintAxis::Vertical ? 1 : 0; }

}  // namespace

ViewLayoutState& View::layoutState() {
    if (!layoutState_) layoutState_ = std::make_shared<ViewLayoutState>();
    return *layoutState_;
}

// ---- Constraints held ----

const std::vector<std::shared_ptr<LayoutConstraint>>& View::constraints() const {
    static const auto& none = *new std::vector<std::shared_ptr<LayoutConstraint>>;
    return layoutState_ ? layoutState_->constraints : none;
}

void View::addConstraint(const std::shared_ptr<LayoutConstraint>& constraint) {
    assertMainThread();
    if (!constraint || constraint->holder_ == this) return;
    if (constraint->holder_) constraint->holder_->removeConstraint(constraint);
    layoutState().constraints.push_back(constraint);
    constraint->heldBy(this);
    setNeedsLayout();
}

void View::addConstraints(const std::vector<std::shared_ptr<LayoutConstraint>>& constraints) {
    for (const auto& constraint : std::vector<std::shared_ptr<LayoutConstraint>>(constraints)) addConstraint(constraint);
}

void View::removeConstraint(const std::shared_ptr<LayoutConstraint>& constraintArgument) {
    assertMainThread();
    // A copy: the argument may be an element of the list it leaves.
    const std::shared_ptr<LayoutConstraint> constraint = constraintArgument;
    if (!constraint || constraint->holder_ != this) return;
    auto& held = layoutState_->constraints;
    held.erase(std::find(held.begin(), held.end(), constraint));
    constraint->heldBy(nullptr);
    setNeedsLayout();
}

void View::removeConstraints(const std::vector<std::shared_ptr<LayoutConstraint>>& constraints) {
    for (const auto& constraint : std::vector<std::shared_ptr<LayoutConstraint>>(constraints)) {
        removeConstraint(constraint);
    }
}

// A constraint whose items a move has parted from its holder could never be solved where it is, and would
// contradict the constraints of a view that is put back.
std::vector<std::shared_ptr<View>> View::constraintHoldersAbove() const {
    std::vector<std::shared_ptr<View>> holders;
    if (LayoutConstraint::activeCount() == 0) return holders;
    for (View* view = superview_; view; view = view->superview_) {
        if (!view->layoutState_ || view->layoutState_->constraints.empty()) continue;
        if (auto holder = std::static_pointer_cast<View>(view->weak_from_this().lock())) {
            holders.push_back(std::move(holder));
        }
    }
    return holders;
}

void View::dropConstraintsLeftBehind(const std::vector<std::shared_ptr<View>>& formerHolders) {
    for (const auto& holder : formerHolders) {
        if (!holder->layoutState_) continue;
        for (const auto& constraint : std::vector(holder->layoutState_->constraints)) {
            const auto first = constraint->firstItem();
            const auto second = constraint->secondItem();
            const bool involved =
                (first && first->isDescendantOfView(this)) || (second && second->isDescendantOfView(this));
            const bool inside = (!first || first->isDescendantOfView(holder.get())) &&
                                (!second || second->isDescendantOfView(holder.get()));
            if (involved && !inside) holder->removeConstraint(constraint);
        }
    }
}

// ---- Content priorities and margins ----

LayoutPriority View::contentHuggingPriorityForAxis(LayoutConstraintAxis axis) const {
    return layoutState_ ? layoutState_->hugging[axisIndex(axis)] : LayoutPriorityDefaultLow;
}

void View::setContentHuggingPriority(LayoutPriority priority, LayoutConstraintAxis axis) {
    checkPriority(priority);
    layoutState().hugging[axisIndex(axis)] = priority;
    if (superview_) superview_->setNeedsLayout();
}

LayoutPriority View::contentCompressionResistancePriorityForAxis(LayoutConstraintAxis axis) const {
    return layoutState_ ? layoutState_->compressionResistance[axisIndex(axis)] : LayoutPriorityDefaultHigh;
}

void View::setContentCompressionResistancePriority(LayoutPriority priority, LayoutConstraintAxis axis) {
    checkPriority(priority);
    layoutState().compressionResistance[axisIndex(axis)] = priority;
    if (superview_) superview_->setNeedsLayout();
}

cg::EdgeInsets View::layoutMargins() const { return layoutState_ ? layoutState_->margins : cg::EdgeInsets{8, 8, 8, 8}; }

void View::setLayoutMargins(const cg::EdgeInsets& margins) {
    layoutState().margins = margins;
    setNeedsLayout();
}

void View::invalidateIntrinsicContentSize() {
    if (layoutState_) {
        layoutState_->intrinsicSize.reset();
        layoutState_->wrappedSize.reset();
    }
    if (superview_) superview_->setNeedsLayout();
}

// ---- The update pass ----

void View::updateConstraints() {}

void View::setNeedsUpdateConstraints() {
    assertMainThread();
    ViewLayoutState& state = layoutState();
    if (state.needsUpdateConstraints) return;
    state.needsUpdateConstraints = true;
    pendingUpdates().push_back(std::static_pointer_cast<View>(weak_from_this().lock()));
    DisplayCycle::schedule();
}

bool View::needsUpdateConstraints() const { return layoutState_ && layoutState_->needsUpdateConstraints; }

void View::updateConstraintsIfNeeded() {
    // Views that ask again while being updated are served in another round, up to a limit.
    for (int round = 0; round < 16; ++round) {
        std::vector<std::shared_ptr<View>> batch;
        std::erase_if(pendingUpdates(), [&](const std::weak_ptr<View>& weak) {
            auto view = weak.lock();
            if (!view || !view->needsUpdateConstraints()) return true;
            if (!view->isDescendantOfView(this)) return false;
            batch.push_back(std::move(view));
            return true;
        });
        if (batch.empty()) return;
        std::stable_sort(batch.begin(), batch.end(),
                         [](const auto& a, const auto& b) { return depthOf(a.get()) > depthOf(b.get()); });
        for (const auto& view : batch) {
            if (!view->needsUpdateConstraints()) continue;
            view->layoutState_->needsUpdateConstraints = false;
            view->updateConstraints();
        }
    }
}

// ---- Layout passes ----

void View::updateConstraintLayout() {
    View* root = this;
    while (root->superview_) root = root->superview_;
    if (!pendingUpdates().empty()) root->updateConstraintsIfNeeded();
    if (LayoutConstraint::activeCount() == 0) {
        if (root->layoutState_) root->layoutState_->engine.reset();
        return;
    }
    ViewLayoutState& state = root->layoutState();
    if (!state.engine) state.engine = std::make_unique<LayoutEngine>(*root);
    state.engine->update();
    if (!state.engine->isInUse()) state.engine.reset();
}

void View::layoutSubviews() {
    if (LayoutConstraint::activeCount() == 0) return;
    if (std::all_of(subviews_.begin(), subviews_.end(),
                    [](const auto& sub) { return sub->translatesAutoresizingMask_; })) {
        return;
    }
    View* root = this;
    while (root->superview_) root = root->superview_;
    // Resizing a subview asks its superview for layout; this is that layout.
    const bool needed = needsLayout_;
    for (const auto& sub : std::vector<std::shared_ptr<View>>(subviews_)) {
        if (sub->translatesAutoresizingMask_ || sub->superview_ != this) continue;
        // Looked up each time: placing a view runs code of its own, which may lay out the tree again.
        const LayoutEngine* engine = root->layoutState_ ? root->layoutState_->engine.get() : nullptr;
        if (!engine) return;
        const auto frame = engine->frameOf(*sub);
        if (!frame) continue;
        // By bounds and centre, as a transform leaves both as they are.
        if (sub->bounds().size != frame->size) sub->setBounds({sub->bounds().origin, frame->size});
        const cg::Point center = LayoutEngine::centerOf(*frame);
        if (sub->center() != center) sub->setCenter(center);
    }
    needsLayout_ = needed;
}

// ---- Fitting sizes ----

cg::Size View::systemLayoutSizeFittingSize(cg::Size targetSize) {
    return systemLayoutSizeFittingSize(targetSize, LayoutPriorityFittingSizeLevel, LayoutPriorityFittingSizeLevel);
}

cg::Size View::systemLayoutSizeFittingSize(cg::Size targetSize, LayoutPriority horizontalFittingPriority,
                                           LayoutPriority verticalFittingPriority) {
    checkPriority(horizontalFittingPriority);
    checkPriority(verticalFittingPriority);
    updateConstraintsIfNeeded();
    return LayoutEngine::fittingSize(*this, targetSize, horizontalFittingPriority, verticalFittingPriority);
}

}  // namespace ql::ui
