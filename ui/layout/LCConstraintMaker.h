#pragma once
// LCConstraintMaker: collects the constraints that one lc_makeConstraints (update, remake) block declares
// for a view, and installs them when the block returns.

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/ui/View.h"
#include "ui/layout/LCConstraint.h"

namespace ql {

// Bit n stands for layout attribute n.
using LCAttributeMask = std::int64_t;
inline constexpr LCAttributeMask LCAttributeMaskFor(ui::LayoutAttribute attribute) {
    return LCAttributeMask{1} << static_cast<int>(attribute);
}

class LCConstraintMaker : public ns::Object, public LCConstraintDelegate {
    QL_OBJECT(LCConstraintMaker, ns::Object)
public:
    explicit LCConstraintMaker(const std::shared_ptr<ui::View>& view);

    std::shared_ptr<ui::View> view() const { return view_.lock(); }
    const std::vector<LCConstraintPtr>& constraints() const { return constraints_; }
    bool updateExisting() const { return updateExisting_; }
    void setUpdateExisting(bool update) { updateExisting_ = update; }
    bool removeExisting() const { return removeExisting_; }
    void setRemoveExisting(bool remove) { removeExisting_ = remove; }

    // Uninstalls the view's own installed constraints when removing, installs every declared constraint
    // and returns them (the list is emptied).
    std::vector<LCConstraintPtr> install();

    void constraintShouldBeReplacedWithConstraint(LCConstraint& constraint, const LCConstraintPtr& replacement) override;
    LCConstraintPtr constraintAddConstraintWithLayoutAttribute(LCConstraint* constraint,
                                                               ui::LayoutAttribute attribute) override;
    // A group of the attributes set in the mask, in ascending attribute order.
    LCConstraintPtr addConstraintWithAttributes(LCAttributeMask attributes);
    LCConstraintPtr addConstraintWithLayoutAttribute(ui::LayoutAttribute attribute);

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
    LCConstraintPtr attributes(LCAttributeMask attributes) { return addConstraintWithAttributes(attributes); }
    LCConstraintPtr leftMargin();
    LCConstraintPtr rightMargin();
    LCConstraintPtr topMargin();
    LCConstraintPtr bottomMargin();
    LCConstraintPtr leadingMargin();
    LCConstraintPtr trailingMargin();
    LCConstraintPtr centerXWithinMargins();
    LCConstraintPtr centerYWithinMargins();
    // Left, right, top and bottom; width and height; centerX and centerY.
    LCConstraintPtr edges();
    LCConstraintPtr size();
    LCConstraintPtr center();
    // A group of the constraints that `declarations` adds; they stay in the list one by one.
    LCConstraintPtr group(const std::function<void()>& declarations);

private:
    std::weak_ptr<LCConstraintDelegate> asDelegate();

    std::weak_ptr<ui::View> view_;
    std::vector<LCConstraintPtr> constraints_;
    bool updateExisting_ = false;
    bool removeExisting_ = false;
};

}  // namespace ql
