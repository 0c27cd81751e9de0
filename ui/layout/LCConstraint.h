#pragma once
// LCConstraint: the abstract, chainable constraint of the constraint language. Every operation returns
// the constraint to go on with (the receiver, or the group that replaced it), so that declarations read
// as chains: make.left()->top()->equalTo(view)->offset(10). LCViewConstraint is one relation,
// LCCompositeConstraint a group passing each operation to its members.

#include <memory>
#include <string>

#include "platform/foundation/Object.h"
#include "platform/foundation/Value.h"
#include "platform/graphics/Geometry.h"
#include "platform/ui/LayoutTypes.h"
#include "ui/layout/LCBoxValue.h"

namespace ql {

class LCConstraint;
using LCConstraintPtr = std::shared_ptr<LCConstraint>;

// Implemented by the maker and by groups: they own the constraints they are asked about.
class LCConstraintDelegate {
public:
    virtual ~LCConstraintDelegate() = default;
    // Puts `replacement` where `constraint` is.
    virtual void constraintShouldBeReplacedWithConstraint(LCConstraint& constraint,
                                                          const LCConstraintPtr& replacement) = 0;
    // A new constraint of the delegate's view for the attribute; `constraint` (none from the maker itself)
    // is the one that asks.
    virtual LCConstraintPtr constraintAddConstraintWithLayoutAttribute(LCConstraint* constraint,
                                                                       ui::LayoutAttribute attribute) = 0;
};

class LCConstraint : public ns::Object {
    QL_OBJECT(LCConstraint, ns::Object)
public:
    LCConstraint() = default;

    // ---- Relations ----
    // The argument is a view (the same attribute of it), an LCViewAttribute, a number or boxed geometry
    // (a constant), or an array of these (one constraint each, grouped in place of the receiver).
    LCConstraintPtr equalTo(const ns::Value& attribute);
    LCConstraintPtr greaterThanOrEqualTo(const ns::Value& attribute);
    LCConstraintPtr lessThanOrEqualTo(const ns::Value& attribute);
    // The boxed forms: any scalar, point, size, insets or object.
    template <class T>
    LCConstraintPtr lc_equalTo(const T& attribute) { return equalTo(LCBoxValue(attribute)); }
    template <class T>
    LCConstraintPtr lc_greaterThanOrEqualTo(const T& attribute) { return greaterThanOrEqualTo(LCBoxValue(attribute)); }
    template <class T>
    LCConstraintPtr lc_lessThanOrEqualTo(const T& attribute) { return lessThanOrEqualTo(LCBoxValue(attribute)); }

    // ---- Priorities ----
    LCConstraintPtr priorityLow();
    LCConstraintPtr priorityMedium();
    LCConstraintPtr priorityHigh();

    // ---- Constants ----
    LCConstraintPtr insets(const cg::EdgeInsets& insets);
    LCConstraintPtr sizeOffset(cg::Size offset);
    LCConstraintPtr centerOffset(cg::Point offset);
    LCConstraintPtr offset(double offset);
    LCConstraintPtr valueOffset(const ns::Value& offset);
    template <class T>
    LCConstraintPtr lc_offset(const T& offset) { return valueOffset(LCBoxValue(offset)); }
    // A number is an offset; a boxed point, size or insets goes to the centre, size or insets; anything
    // else changes nothing.
    void setLayoutConstantWithValue(const ns::Value& value);

    // ---- Words that only make chains read well ----
    LCConstraintPtr with();
    LCConstraintPtr and_();

    // ---- More attributes (make.left()->top()) ----
    LCConstraintPtr left();
    LCConstraintPtr top();
    LCConstraintPtr right();
    LCConstraintPtr bottom();
    LCConstraintPtr leading();
    LCConstraintPtr trailing();
    LCConstraintPtr width();
    LCConstraintPtr height();
    LCConstraintPtr centerX();
    LCConstraintPtr centerY();
    LCConstraintPtr baseline();
    LCConstraintPtr leftMargin();
    LCConstraintPtr rightMargin();
    LCConstraintPtr topMargin();
    LCConstraintPtr bottomMargin();
    LCConstraintPtr leadingMargin();
    LCConstraintPtr trailingMargin();
    LCConstraintPtr centerXWithinMargins();
    LCConstraintPtr centerYWithinMargins();

    // ---- What each kind of constraint does itself; the base raises NSInternalInconsistencyException ----
    virtual LCConstraintPtr addConstraintWithLayoutAttribute(ui::LayoutAttribute attribute);
    virtual LCConstraintPtr multipliedBy(double multiplier);
    virtual LCConstraintPtr dividedBy(double divider);
    virtual LCConstraintPtr priority(float priority);
    virtual LCConstraintPtr equalToWithRelation(const ns::Value& attribute, ui::LayoutRelation relation);
    virtual LCConstraintPtr key(const ns::Value& key);
    virtual void setInsets(const cg::EdgeInsets& insets);
    virtual void setSizeOffset(cg::Size offset);
    virtual void setCenterOffset(cg::Point offset);
    virtual void setOffset(double offset);
    virtual void activate();
    virtual void deactivate();
    virtual void install();
    virtual void uninstall();

    // Set before install: an equivalent installed constraint takes the new constant instead of a new one
    // being added.
    bool updateExisting() const { return updateExisting_; }
    void setUpdateExisting(bool update) { updateExisting_ = update; }
    std::shared_ptr<LCConstraintDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<LCConstraintDelegate> delegate) { delegate_ = std::move(delegate); }

protected:
    LCConstraintPtr self() { return std::static_pointer_cast<LCConstraint>(shared_from_this()); }

private:
    bool updateExisting_ = false;
    std::weak_ptr<LCConstraintDelegate> delegate_;
};

// How an object argument prints where the platform would format it with %@: a text as itself.
std::string lc_objectText(const ns::Value& value);

}  // namespace ql
