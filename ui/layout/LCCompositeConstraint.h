#pragma once
// LCCompositeConstraint: a group of constraints of the constraint language (make.edges, make.left.top,
// a relation to an array) that passes every chained operation to each member in order. As its members'
// delegate it replaces members in place and adds new attributes as members.

#include <memory>
#include <vector>

#include "ui/layout/LCConstraint.h"

namespace ql {

class LCCompositeConstraint : public LCConstraint, public LCConstraintDelegate {
    QL_OBJECT(LCCompositeConstraint, LCConstraint)
public:
    // The group becomes each child's delegate.
    static std::shared_ptr<LCCompositeConstraint> make(std::vector<LCConstraintPtr> children);

    const std::vector<LCConstraintPtr>& childConstraints() const { return children_; }
    const ns::Value& lc_key() const { return key_; }

    // ---- As the children's delegate ----
    void constraintShouldBeReplacedWithConstraint(LCConstraint& constraint, const LCConstraintPtr& replacement) override;
    LCConstraintPtr constraintAddConstraintWithLayoutAttribute(LCConstraint* constraint,
                                                               ui::LayoutAttribute attribute) override;

    LCConstraintPtr addConstraintWithLayoutAttribute(ui::LayoutAttribute attribute) override;
    LCConstraintPtr multipliedBy(double multiplier) override;
    LCConstraintPtr dividedBy(double divider) override;
    LCConstraintPtr priority(float priority) override;
    LCConstraintPtr equalToWithRelation(const ns::Value& attribute, ui::LayoutRelation relation) override;
    // The group's key; each child gets "key[index]".
    LCConstraintPtr key(const ns::Value& key) override;
    void setInsets(const cg::EdgeInsets& insets) override;
    void setSizeOffset(cg::Size offset) override;
    void setCenterOffset(cg::Point offset) override;
    void setOffset(double offset) override;
    void activate() override;
    void deactivate() override;
    void install() override;
    void uninstall() override;

    LCCompositeConstraint() = default;

private:
    std::weak_ptr<LCConstraintDelegate> asDelegate();
    template <class F>
    void forEachChild(F&& f) {
        // A snapshot: a child may replace itself while the loop runs.
        for (const auto& child : std::vector<LCConstraintPtr>(children_)) f(*child);
    }

    std::vector<LCConstraintPtr> children_;
    ns::Value key_;
};

}  // namespace ql
