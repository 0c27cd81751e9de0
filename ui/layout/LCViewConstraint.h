#pragma once
// LCViewConstraint: one relation of the constraint language between a first view attribute and an
// optional second one (or a constant). It builds its platform constraint when installed, puts it on the
// closest view that holds both items, and can update, activate, deactivate and remove it. While
// installed it sits in the installed set of its first view (lc_installedConstraints), which owns it;
// the installed view owns the platform constraint.

#include <memory>
#include <vector>

#include "platform/ui/View.h"
#include "ui/layout/LCConstraint.h"
#include "ui/layout/LCLayoutConstraint.h"
#include "ui/layout/LCViewAttribute.h"

namespace ql {

class LCViewConstraint : public LCConstraint {
    QL_OBJECT(LCViewConstraint, LCConstraint)
public:
    explicit LCViewConstraint(std::shared_ptr<LCViewAttribute> firstViewAttribute);

    // The constraints installed with the view as first item, not yet uninstalled.
    static std::vector<std::shared_ptr<LCViewConstraint>> installedConstraintsForView(const ui::View& view);

    const std::shared_ptr<LCViewAttribute>& firstViewAttribute() const { return firstViewAttribute_; }
    const std::shared_ptr<LCViewAttribute>& secondViewAttribute() const { return secondViewAttribute_; }
    // A view becomes its attribute of the first attribute's kind, an LCViewAttribute is kept, a number or
    // boxed geometry becomes the constant; anything else is ignored.
    void setSecondViewAttribute(const ns::Value& attribute);
    std::shared_ptr<ui::View> installedView() const { return installedView_.lock(); }
    std::shared_ptr<LCLayoutConstraint> layoutConstraint() const { return layoutConstraint_.lock(); }

    ui::LayoutRelation layoutRelation() const { return layoutRelation_; }
    void setLayoutRelation(ui::LayoutRelation relation);
    bool hasLayoutRelation() const { return hasLayoutRelation_; }
    float layoutPriority() const { return layoutPriority_; }
    double layoutMultiplier() const { return layoutMultiplier_; }
    double layoutConstant() const { return layoutConstant_; }
    // Reaches the installed platform constraint too, so the view moves at the next layout pass.
    void setLayoutConstant(double constant);
    const ns::Value& lc_key() const { return key_; }
    bool useAnimator() const { return useAnimator_; }
    void setUseAnimator(bool use) { useAnimator_ = use; }

    bool supportsActiveProperty() const;
    bool isActive() const;
    bool hasBeenInstalled() const;
    // The last installed language constraint on the installed view relating the same items and attributes
    // with the same relation, multiplier and priority (the constant aside).
    std::shared_ptr<LCLayoutConstraint> layoutConstraintSimilarTo(const LCLayoutConstraint& constraint) const;

    // Same first attribute, constant, relation, priority, multiplier and delegate; not the second
    // attribute, key or installation.
    std::shared_ptr<ns::Object> copy() const override;

    LCConstraintPtr addConstraintWithLayoutAttribute(ui::LayoutAttribute attribute) override;
    // A multiplier that is not a finite number is ignored: the solver could not use it.
    LCConstraintPtr multipliedBy(double multiplier) override;
    LCConstraintPtr dividedBy(double divider) override;
    LCConstraintPtr priority(float priority) override;
    LCConstraintPtr equalToWithRelation(const ns::Value& attribute, ui::LayoutRelation relation) override;
    LCConstraintPtr key(const ns::Value& key) override;
    void setInsets(const cg::EdgeInsets& insets) override;
    void setSizeOffset(cg::Size offset) override;
    void setCenterOffset(cg::Point offset) override;
    void setOffset(double offset) override;
    void activate() override;
    void deactivate() override;
    void install() override;
    void uninstall() override;

private:
    std::shared_ptr<ui::View> firstItemView() const { return firstViewAttribute_->item(); }

    std::shared_ptr<LCViewAttribute> firstViewAttribute_;
    std::shared_ptr<LCViewAttribute> secondViewAttribute_;
    std::weak_ptr<ui::View> installedView_;
    std::weak_ptr<LCLayoutConstraint> layoutConstraint_;
    ui::LayoutRelation layoutRelation_ = ui::LayoutRelation::Equal;
    float layoutPriority_ = ui::LayoutPriorityRequired;
    double layoutMultiplier_ = 1.0;
    double layoutConstant_ = 0;
    bool hasLayoutRelation_ = false;
    ns::Value key_;
    bool useAnimator_ = false;
};

// The installed set of a view, kept with the view; made empty on first use.
class LCInstalledConstraints : public ns::Object {
    QL_OBJECT(LCInstalledConstraints, ns::Object)
public:
    void add(const std::shared_ptr<LCViewConstraint>& constraint);
    void remove(const LCViewConstraint& constraint);
    bool contains(const LCViewConstraint& constraint) const;
    const std::vector<std::shared_ptr<LCViewConstraint>>& all() const { return constraints_; }

private:
    std::vector<std::shared_ptr<LCViewConstraint>> constraints_;
};

LCInstalledConstraints& lc_installedConstraints(ui::View& view);

}  // namespace ql
