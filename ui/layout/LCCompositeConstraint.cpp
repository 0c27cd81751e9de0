#include "ui/layout/LCCompositeConstraint.h"

#include <algorithm>
#include <string>

namespace ql {

std::shared_ptr<LCCompositeConstraint> LCCompositeConstraint::make(std::vector<LCConstraintPtr> children) {
    auto group = std::make_shared<LCCompositeConstraint>();
    group->children_ = std::move(children);
    for (const auto& child : group->children_) child->setDelegate(group->asDelegate());
    return group;
}

std::weak_ptr<LCConstraintDelegate> LCCompositeConstraint::asDelegate() {
    return std::static_pointer_cast<LCCompositeConstraint>(shared_from_this());
}

void LCCompositeConstraint::constraintShouldBeReplacedWithConstraint(LCConstraint& constraint,
                                                                     const LCConstraintPtr& replacement) {
    auto it = std::find_if(children_.begin(), children_.end(), [&](const auto& c) { return c.get() == &constraint; });
    // Only members ask; anything else has no place here to take.
    if (it != children_.end()) *it = replacement;
}

LCConstraintPtr LCCompositeConstraint::constraintAddConstraintWithLayoutAttribute(LCConstraint*,
                                                                                  ui::LayoutAttribute attribute) {
    const auto owner = delegate();
    if (!owner) return nullptr;
    auto added = owner->constraintAddConstraintWithLayoutAttribute(this, attribute);
    if (!added) return nullptr;
    added->setDelegate(asDelegate());
    children_.push_back(added);
    return added;
}

LCConstraintPtr LCCompositeConstraint::addConstraintWithLayoutAttribute(ui::LayoutAttribute attribute) {
    constraintAddConstraintWithLayoutAttribute(this, attribute);
    return self();
}

LCConstraintPtr LCCompositeConstraint::multipliedBy(double multiplier) {
    forEachChild([&](LCConstraint& c) { c.multipliedBy(multiplier); });
    return self();
}

LCConstraintPtr LCCompositeConstraint::dividedBy(double divider) {
    forEachChild([&](LCConstraint& c) { c.dividedBy(divider); });
    return self();
}

LCConstraintPtr LCCompositeConstraint::priority(float priority) {
    forEachChild([&](LCConstraint& c) { c.priority(priority); });
    return self();
}

LCConstraintPtr LCCompositeConstraint::equalToWithRelation(const ns::Value& attribute, ui::LayoutRelation relation) {
    forEachChild([&](LCConstraint& c) { c.equalToWithRelation(attribute, relation); });
    return self();
}

LCConstraintPtr LCCompositeConstraint::key(const ns::Value& key) {
    key_ = key;
    for (std::size_t i = 0; i < children_.size(); ++i) {
        children_[i]->key(ns::Value(lc_objectText(key) + "[" + std::to_string(i) + "]"));
    }
    return self();
}

void LCCompositeConstraint::setInsets(const cg::EdgeInsets& insets) {
    forEachChild([&](LCConstraint& c) { c.setInsets(insets); });
}

void LCCompositeConstraint::setSizeOffset(cg::Size offset) {
    forEachChild([&](LCConstraint& c) { c.setSizeOffset(offset); });
}

void LCCompositeConstraint::setCenterOffset(cg::Point offset) {
    forEachChild([&](LCConstraint& c) { c.setCenterOffset(offset); });
}

void LCCompositeConstraint::setOffset(double offset) {
    forEachChild([&](LCConstraint& c) { c.setOffset(offset); });
}

void LCCompositeConstraint::activate() {
    forEachChild([](LCConstraint& c) { c.activate(); });
}

void LCCompositeConstraint::deactivate() {
    forEachChild([](LCConstraint& c) { c.deactivate(); });
}

void LCCompositeConstraint::install() {
    forEachChild([&](LCConstraint& c) {
        c.setUpdateExisting(updateExisting());
        c.install();
    });
}

void LCCompositeConstraint::uninstall() {
    forEachChild([](LCConstraint& c) { c.uninstall(); });
}

}  // namespace ql
