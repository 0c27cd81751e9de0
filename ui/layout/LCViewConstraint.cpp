#include "ui/layout/LCViewConstraint.h"

#include <algorithm>
#include <cmath>

#include "ui/layout/LCCompositeConstraint.h"
#include "ui/layout/LCViewAdditions.h"

namespace ql {

namespace {

const char kInstalledConstraintsKey = 0;

std::shared_ptr<ui::View> shared(ui::View* view) { return view ? view->sharedFromThis() : nullptr; }

}  // namespace

// ---- The installed set ----

void LCInstalledConstraints::add(const std::shared_ptr<LCViewConstraint>& constraint) {
    if (!contains(*constraint)) constraints_.push_back(constraint);
}

void LCInstalledConstraints::remove(const LCViewConstraint& constraint) {
    std::erase_if(constraints_, [&](const auto& c) { return c.get() == &constraint; });
}

bool LCInstalledConstraints::contains(const LCViewConstraint& constraint) const {
    return std::any_of(constraints_.begin(), constraints_.end(), [&](const auto& c) { return c.get() == &constraint; });
}

LCInstalledConstraints& lc_installedConstraints(ui::View& view) {
    auto set = view.associatedValue(&kInstalledConstraintsKey).asObject<LCInstalledConstraints>();
    if (!set) {
        set = std::make_shared<LCInstalledConstraints>();
        view.setAssociatedValue(&kInstalledConstraintsKey, set);
    }
    return *set;
}

// ---- LCViewConstraint ----

LCViewConstraint::LCViewConstraint(std::shared_ptr<LCViewAttribute> firstViewAttribute)
    : firstViewAttribute_(std::move(firstViewAttribute)) {}

std::vector<std::shared_ptr<LCViewConstraint>> LCViewConstraint::installedConstraintsForView(const ui::View& view) {
    const auto set = view.associatedValue(&kInstalledConstraintsKey).asObject<LCInstalledConstraints>();
    return set ? set->all() : std::vector<std::shared_ptr<LCViewConstraint>>{};
}

void LCViewConstraint::setSecondViewAttribute(const ns::Value& attribute) {
    if (attribute.isNumber() || attribute.asObject<ui::GeometryValue>()) {
        setLayoutConstantWithValue(attribute);
    } else if (auto view = attribute.asObject<ui::View>()) {
        secondViewAttribute_ = std::make_shared<LCViewAttribute>(view, firstViewAttribute_->layoutAttribute());
    } else if (auto viewAttribute = attribute.asObject<LCViewAttribute>()) {
        secondViewAttribute_ = std::move(viewAttribute);
    }
}

void LCViewConstraint::setLayoutRelation(ui::LayoutRelation relation) {
    layoutRelation_ = relation;
    hasLayoutRelation_ = true;
}

void LCViewConstraint::setLayoutConstant(double constant) {
    layoutConstant_ = constant;
    if (auto constraint = layoutConstraint()) constraint->setConstant(constant);
}

bool LCViewConstraint::supportsActiveProperty() const { return layoutConstraint() != nullptr; }

bool LCViewConstraint::isActive() const {
    const auto constraint = layoutConstraint();
    return !constraint || constraint->isActive();
}

bool LCViewConstraint::hasBeenInstalled() const { return layoutConstraint() && isActive(); }

std::shared_ptr<LCLayoutConstraint> LCViewConstraint::layoutConstraintSimilarTo(
    const LCLayoutConstraint& constraint) const {
    const auto view = installedView();
    if (!view) return nullptr;
    const auto& installed = view->constraints();
    for (auto it = installed.rbegin(); it != installed.rend(); ++it) {
        auto existing = std::dynamic_pointer_cast<LCLayoutConstraint>(*it);
        if (!existing) continue;
        if (existing->firstItem() == constraint.firstItem() && existing->secondItem() == constraint.secondItem() &&
            existing->firstAttribute() == constraint.firstAttribute() &&
            existing->secondAttribute() == constraint.secondAttribute() &&
            existing->relation() == constraint.relation() && existing->multiplier() == constraint.multiplier() &&
            existing->priority() == constraint.priority()) {
            return existing;
        }
    }
    return nullptr;
}

std::shared_ptr<ns::Object> LCViewConstraint::copy() const {
    auto copy = std::make_shared<LCViewConstraint>(firstViewAttribute_);
    copy->layoutConstant_ = layoutConstant_;
    copy->setLayoutRelation(layoutRelation_);
    copy->layoutPriority_ = layoutPriority_;
    copy->layoutMultiplier_ = layoutMultiplier_;
    copy->setDelegate(delegate());
    return copy;
}

LCConstraintPtr LCViewConstraint::addConstraintWithLayoutAttribute(ui::LayoutAttribute attribute) {
    const auto owner = delegate();
    return owner ? owner->constraintAddConstraintWithLayoutAttribute(this, attribute) : nullptr;
}

LCConstraintPtr LCViewConstraint::multipliedBy(double multiplier) {
    if (std::isfinite(multiplier)) layoutMultiplier_ = multiplier;
    return self();
}

LCConstraintPtr LCViewConstraint::dividedBy(double divider) { return multipliedBy(1.0 / divider); }

LCConstraintPtr LCViewConstraint::priority(float priority) {
    layoutPriority_ = priority;
    return self();
}

LCConstraintPtr LCViewConstraint::equalToWithRelation(const ns::Value& attribute, ui::LayoutRelation relation) {
    const ns::Array* elements = attribute.asArray();
    if (!elements) {
        setLayoutRelation(relation);
        setSecondViewAttribute(attribute);
        return self();
    }
    std::vector<LCConstraintPtr> children;
    for (const auto& element : *elements) {
        auto child = std::static_pointer_cast<LCViewConstraint>(copy());
        child->setLayoutRelation(relation);
        child->setSecondViewAttribute(element);
        children.push_back(std::move(child));
    }
    auto group = LCCompositeConstraint::make(std::move(children));
    const auto owner = delegate();
    group->setDelegate(owner);
    if (owner) owner->constraintShouldBeReplacedWithConstraint(*this, group);
    return group;
}

LCConstraintPtr LCViewConstraint::key(const ns::Value& key) {
    key_ = key;
    return self();
}

void LCViewConstraint::setInsets(const cg::EdgeInsets& insets) {
    switch (firstViewAttribute_->layoutAttribute()) {
        case ui::LayoutAttribute::Left:
        case ui::LayoutAttribute::Leading: setLayoutConstant(insets.left); break;
        case ui::LayoutAttribute::Right:
        case ui::LayoutAttribute::Trailing: setLayoutConstant(-insets.right); break;
        case ui::LayoutAttribute::Top: setLayoutConstant(insets.top); break;
        case ui::LayoutAttribute::Bottom: setLayoutConstant(-insets.bottom); break;
        default: break;
    }
}

void LCViewConstraint::setSizeOffset(cg::Size offset) {
    switch (firstViewAttribute_->layoutAttribute()) {
        case ui::LayoutAttribute::Width: setLayoutConstant(offset.width); break;
        case ui::LayoutAttribute::Height: setLayoutConstant(offset.height); break;
        default: break;
    }
}

void LCViewConstraint::setCenterOffset(cg::Point offset) {
    switch (firstViewAttribute_->layoutAttribute()) {
        case ui::LayoutAttribute::CenterX: setLayoutConstant(offset.x); break;
        case ui::LayoutAttribute::CenterY: setLayoutConstant(offset.y); break;
        default: break;
    }
}

void LCViewConstraint::setOffset(double offset) { setLayoutConstant(offset); }

void LCViewConstraint::activate() {
    if (!supportsActiveProperty()) {
        install();
        return;
    }
    if (hasBeenInstalled()) return;
    layoutConstraint()->setActive(true);
    if (auto first = firstItemView()) {
        lc_installedConstraints(*first).add(std::static_pointer_cast<LCViewConstraint>(shared_from_this()));
    }
}

void LCViewConstraint::deactivate() {
    if (!supportsActiveProperty()) {
        uninstall();
        return;
    }
    layoutConstraint()->setActive(false);
    if (auto first = firstItemView()) lc_installedConstraints(*first).remove(*this);
}

void LCViewConstraint::install() {
    if (hasBeenInstalled()) return;
    const auto firstView = firstViewAttribute_->view();
    const auto firstItem = firstViewAttribute_->item();
    if (!firstView || !firstItem) return;
    const ui::LayoutAttribute firstAttribute = firstViewAttribute_->layoutAttribute();
    std::shared_ptr<ui::View> secondItem = secondViewAttribute_ ? secondViewAttribute_->item() : nullptr;
    ui::LayoutAttribute secondAttribute =
        secondViewAttribute_ ? secondViewAttribute_->layoutAttribute() : ui::LayoutAttribute::NotAnAttribute;
    // A position with only a constant is relative to the superview.
    if (!ui::isSizeAttribute(firstAttribute) && !secondViewAttribute_) {
        secondItem = shared(firstView->superview());
        secondAttribute = firstAttribute;
    }

    auto constraint = ui::LayoutConstraint::constraintWithItem<LCLayoutConstraint>(
        firstItem, firstAttribute, layoutRelation_, secondItem, secondAttribute, layoutMultiplier_, layoutConstant_);
    constraint->setPriority(layoutPriority_);
    constraint->setLc_key(key_);

    std::shared_ptr<ui::View> installedView;
    if (const auto secondView = secondViewAttribute_ ? secondViewAttribute_->view() : nullptr) {
        installedView = shared(lc_closestCommonSuperview(firstView.get(), secondView.get()));
    } else if (ui::isSizeAttribute(firstAttribute)) {
        installedView = firstView;
    } else {
        installedView = shared(firstView->superview());
    }
    installedView_ = installedView;

    if (updateExisting()) {
        if (auto existing = layoutConstraintSimilarTo(*constraint)) {
            existing->setConstant(layoutConstant_);
            layoutConstraint_ = existing;
            return;
        }
    }
    if (installedView) {
        installedView->addConstraint(constraint);
        layoutConstraint_ = constraint;
    } else {
        layoutConstraint_.reset();
    }
    lc_installedConstraints(*firstItem).add(std::static_pointer_cast<LCViewConstraint>(shared_from_this()));
}

void LCViewConstraint::uninstall() {
    if (auto view = installedView(); view) {
        if (auto constraint = layoutConstraint()) view->removeConstraint(constraint);
    }
    layoutConstraint_.reset();
    installedView_.reset();
    if (auto first = firstItemView()) lc_installedConstraints(*first).remove(*this);
}

}  // namespace ql
