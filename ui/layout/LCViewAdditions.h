#pragma once
// The constraint language's entry points on views, controllers and lists of views: declaring constraints
// in a block (make, update, remake), the attributes that name the other side of a relation, a view's
// debug key, the closest common superview, and spreading views evenly along an axis.

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/foundation/Value.h"
#include "platform/ui/View.h"
#include "platform/ui/ViewController.h"
#include "ui/layout/LCConstraintMaker.h"
#include "ui/layout/LCViewAttribute.h"

namespace ql {

using LCMakeBlock = std::function<void(LCConstraintMaker& make)>;

// Each turns off the view's autoresizing-mask translation, runs the block once with a maker for the view
// and returns the declared top-level constraints. Update changes the constant of equivalent installed
// constraints instead of adding them; remake first removes the view's own installed constraints.
std::vector<LCConstraintPtr> lc_makeConstraints(const std::shared_ptr<ui::View>& view, const LCMakeBlock& block);
std::vector<LCConstraintPtr> lc_updateConstraints(const std::shared_ptr<ui::View>& view, const LCMakeBlock& block);
std::vector<LCConstraintPtr> lc_remakeConstraints(const std::shared_ptr<ui::View>& view, const LCMakeBlock& block);

std::shared_ptr<LCViewAttribute> lc_attribute(const std::shared_ptr<ui::View>& view, ui::LayoutAttribute attribute);
std::shared_ptr<LCViewAttribute> lc_left(const std::shared_ptr<ui::View>& view);
std::shared_ptr<LCViewAttribute> lc_top(const std::shared_ptr<ui::View>& view);
std::shared_ptr<LCViewAttribute> lc_right(const std::shared_ptr<ui::View>& view);
std::shared_ptr<LCViewAttribute> lc_bottom(const std::shared_ptr<ui::View>& view);
std::shared_ptr<LCViewAttribute> lc_leading(const std::shared_ptr<ui::View>& view);
std::shared_ptr<LCViewAttribute> lc_trailing(const std::shared_ptr<ui::View>& view);
std::shared_ptr<LCViewAttribute> lc_width(const std::shared_ptr<ui::View>& view);
std::shared_ptr<LCViewAttribute> lc_height(const std::shared_ptr<ui::View>& view);
std::shared_ptr<LCViewAttribute> lc_centerX(const std::shared_ptr<ui::View>& view);
std::shared_ptr<LCViewAttribute> lc_centerY(const std::shared_ptr<ui::View>& view);
std::shared_ptr<LCViewAttribute> lc_baseline(const std::shared_ptr<ui::View>& view);
std::shared_ptr<LCViewAttribute> lc_leftMargin(const std::shared_ptr<ui::View>& view);
std::shared_ptr<LCViewAttribute> lc_rightMargin(const std::shared_ptr<ui::View>& view);
std::shared_ptr<LCViewAttribute> lc_topMargin(const std::shared_ptr<ui::View>& view);
std::shared_ptr<LCViewAttribute> lc_bottomMargin(const std::shared_ptr<ui::View>& view);
std::shared_ptr<LCViewAttribute> lc_leadingMargin(const std::shared_ptr<ui::View>& view);
std::shared_ptr<LCViewAttribute> lc_trailingMargin(const std::shared_ptr<ui::View>& view);
std::shared_ptr<LCViewAttribute> lc_centerXWithinMargins(const std::shared_ptr<ui::View>& view);
std::shared_ptr<LCViewAttribute> lc_centerYWithinMargins(const std::shared_ptr<ui::View>& view);

// A debug name shown by constraint descriptions; nil when never set.
ns::Value lc_key(const ui::View& view);
void setLc_key(ui::View& view, ns::Value key);

// The first view on `other`'s chain of ancestors (itself first) that is also on `view`'s; none when they
// share none.
ui::View* lc_closestCommonSuperview(const ui::View* view, const ui::View* other);

// The controller's layout guides as attributes (view: the controller's view; item: the guide).
std::shared_ptr<LCViewAttribute> lc_topLayoutGuide(ui::ViewController& controller);
std::shared_ptr<LCViewAttribute> lc_topLayoutGuideTop(ui::ViewController& controller);
std::shared_ptr<LCViewAttribute> lc_topLayoutGuideBottom(ui::ViewController& controller);
std::shared_ptr<LCViewAttribute> lc_bottomLayoutGuide(ui::ViewController& controller);
std::shared_ptr<LCViewAttribute> lc_bottomLayoutGuideTop(ui::ViewController& controller);
std::shared_ptr<LCViewAttribute> lc_bottomLayoutGuideBottom(ui::ViewController& controller);

// ---- Lists of views ----
using LCViews = std::vector<std::shared_ptr<ui::View>>;
// 0 horizontal, anything else vertical.
using LCDistributionAxis = std::uint64_t;
inline constexpr LCDistributionAxis LCDistributionAxisHorizontal = 0;
inline constexpr LCDistributionAxis LCDistributionAxisVertical = 1;

// The same operation on every view in order (the block runs once per view); the results concatenated.
std::vector<LCConstraintPtr> lc_makeConstraints(const LCViews& views, const LCMakeBlock& block);
std::vector<LCConstraintPtr> lc_updateConstraints(const LCViews& views, const LCMakeBlock& block);
std::vector<LCConstraintPtr> lc_remakeConstraints(const LCViews& views, const LCMakeBlock& block);
// The closest common superview of all the views (null entries skipped); none without views.
ui::View* lc_commonSuperviewOfViews(const LCViews& views);
// Fewer than two views: nothing. Equal widths (heights) and gaps of `spacing` between `lead` and `tail`.
void lc_distributeViewsAlongAxisWithFixedSpacing(const LCViews& views, LCDistributionAxis axis, double spacing,
                                                 double lead, double tail);
// Fewer than two views: nothing. Each view `length` long, equal gaps between `lead` and `tail`.
void lc_distributeViewsAlongAxisWithFixedItemLength(const LCViews& views, LCDistributionAxis axis, double length,
                                                    double lead, double tail);

}  // namespace ql
