#include "ui/layout/LCViewAdditions.h"

#include "platform/ui/LayoutGuide.h"
#include "platform/ui/MainThread.h"

namespace ql {

namespace {

const char kViewKey = 0;

std::vector<LCConstraintPtr> declare(const std::shared_ptr<ui::View>& view, const LCMakeBlock& block, bool update,
                                     bool remove) {
    ui::assertMainThread();
    view->setTranslatesAutoresizingMaskIntoConstraints(false);
    auto maker = std::make_shared<LCConstraintMaker>(view);
    maker->setUpdateExisting(update);
    maker->setRemoveExisting(remove);
    block(*maker);
    return maker->install();
}

std::vector<LCConstraintPtr> declareEach(const LCViews& views, const LCMakeBlock& block, bool update, bool remove) {
    std::vector<LCConstraintPtr> all;
    for (const auto& view : views) {
        auto declared = declare(view, block, update, remove);
        all.insert(all.end(), declared.begin(), declared.end());
    }
    return all;
}

std::shared_ptr<LCViewAttribute> guideAttribute(ui::ViewController& controller, const std::shared_ptr<ui::View>& guide,
                                                ui::LayoutAttribute attribute) {
    return std::make_shared<LCViewAttribute>(controller.view(), guide, attribute);
}

}  // namespace

std::vector<LCConstraintPtr> lc_makeConstraints(const std::shared_ptr<ui::View>& view, const LCMakeBlock& block) {
    return declare(view, block, false, false);
}

std::vector<LCConstraintPtr> lc_updateConstraints(const std::shared_ptr<ui::View>& view, const LCMakeBlock& block) {
    return declare(view, block, true, false);
}

std::vector<LCConstraintPtr> lc_remakeConstraints(const std::shared_ptr<ui::View>& view, const LCMakeBlock& block) {
    return declare(view, block, false, true);
}

std::shared_ptr<LCViewAttribute> lc_attribute(const std::shared_ptr<ui::View>& view, ui::LayoutAttribute attribute) {
    return std::make_shared<LCViewAttribute>(view, attribute);
}

using A = ui::LayoutAttribute;
std::shared_ptr<LCViewAttribute> lc_left(const std::shared_ptr<ui::View>& v) { return lc_attribute(v, A::Left); }
std::shared_ptr<LCViewAttribute> lc_top(const std::shared_ptr<ui::View>& v) { return lc_attribute(v, A::Top); }
std::shared_ptr<LCViewAttribute> lc_right(const std::shared_ptr<ui::View>& v) { return lc_attribute(v, A::Right); }
std::shared_ptr<LCViewAttribute> lc_bottom(const std::shared_ptr<ui::View>& v) { return lc_attribute(v, A::Bottom); }
std::shared_ptr<LCViewAttribute> lc_leading(const std::shared_ptr<ui::View>& v) { return lc_attribute(v, A::Leading); }
std::shared_ptr<LCViewAttribute> lc_trailing(const std::shared_ptr<ui::View>& v) {
    return lc_attribute(v, A::Trailing);
}
std::shared_ptr<LCViewAttribute> lc_width(const std::shared_ptr<ui::View>& v) { return lc_attribute(v, A::Width); }
std::shared_ptr<LCViewAttribute> lc_height(const std::shared_ptr<ui::View>& v) { return lc_attribute(v, A::Height); }
std::shared_ptr<LCViewAttribute> lc_centerX(const std::shared_ptr<ui::View>& v) { return lc_attribute(v, A::CenterX); }
std::shared_ptr<LCViewAttribute> lc_centerY(const std::shared_ptr<ui::View>& v) { return lc_attribute(v, A::CenterY); }
std::shared_ptr<LCViewAttribute> lc_baseline(const std::shared_ptr<ui::View>& v) {
    return lc_attribute(v, A::Baseline);
}
std::shared_ptr<LCViewAttribute> lc_leftMargin(const std::shared_ptr<ui::View>& v) {
    return lc_attribute(v, A::LeftMargin);
}
std::shared_ptr<LCViewAttribute> lc_rightMargin(const std::shared_ptr<ui::View>& v) {
    return lc_attribute(v, A::RightMargin);
}
std::shared_ptr<LCViewAttribute> lc_topMargin(const std::shared_ptr<ui::View>& v) {
    return lc_attribute(v, A::TopMargin);
}
std::shared_ptr<LCViewAttribute> lc_bottomMargin(const std::shared_ptr<ui::View>& v) {
    return lc_attribute(v, A::BottomMargin);
}
std::shared_ptr<LCViewAttribute> lc_leadingMargin(const std::shared_ptr<ui::View>& v) {
    return lc_attribute(v, A::LeadingMargin);
}
std::shared_ptr<LCViewAttribute> lc_trailingMargin(const std::shared_ptr<ui::View>& v) {
    return lc_attribute(v, A::TrailingMargin);
}
std::shared_ptr<LCViewAttribute> lc_centerXWithinMargins(const std::shared_ptr<ui::View>& v) {
    return lc_attribute(v, A::CenterXWithinMargins);
}
std::shared_ptr<LCViewAttribute> lc_centerYWithinMargins(const std::shared_ptr<ui::View>& v) {
    return lc_attribute(v, A::CenterYWithinMargins);
}

ns::Value lc_key(const ui::View& view) { return view.associatedValue(&kViewKey); }

void setLc_key(ui::View& view, ns::Value key) { view.setAssociatedValue(&kViewKey, std::move(key)); }

ui::View* lc_closestCommonSuperview(const ui::View* view, const ui::View* other) {
    for (const ui::View* theirs = other; theirs; theirs = theirs->superview()) {
        for (const ui::View* mine = view; mine; mine = mine->superview()) {
            if (mine == theirs) return const_cast<ui::View*>(mine);
        }
    }
    return nullptr;
}

std::shared_ptr<LCViewAttribute> lc_topLayoutGuide(ui::ViewController& c) {
    return guideAttribute(c, c.topLayoutGuide(), A::Bottom);
}
std::shared_ptr<LCViewAttribute> lc_topLayoutGuideTop(ui::ViewController& c) {
    return guideAttribute(c, c.topLayoutGuide(), A::Top);
}
std::shared_ptr<LCViewAttribute> lc_topLayoutGuideBottom(ui::ViewController& c) {
    return guideAttribute(c, c.topLayoutGuide(), A::Bottom);
}
std::shared_ptr<LCViewAttribute> lc_bottomLayoutGuide(ui::ViewController& c) {
    return guideAttribute(c, c.bottomLayoutGuide(), A::Top);
}
std::shared_ptr<LCViewAttribute> lc_bottomLayoutGuideTop(ui::ViewController& c) {
    return guideAttribute(c, c.bottomLayoutGuide(), A::Top);
}
std::shared_ptr<LCViewAttribute> lc_bottomLayoutGuideBottom(ui::ViewController& c) {
    return guideAttribute(c, c.bottomLayoutGuide(), A::Bottom);
}

// ---- Lists of views ----

std::vector<LCConstraintPtr> lc_makeConstraints(const LCViews& views, const LCMakeBlock& block) {
    return declareEach(views, block, false, false);
}

std::vector<LCConstraintPtr> lc_updateConstraints(const LCViews& views, const LCMakeBlock& block) {
    return declareEach(views, block, true, false);
}

std::vector<LCConstraintPtr> lc_remakeConstraints(const LCViews& views, const LCMakeBlock& block) {
    return declareEach(views, block, false, true);
}

ui::View* lc_commonSuperviewOfViews(const LCViews& views) {
    ui::View* common = nullptr;
    bool first = true;
    for (const auto& view : views) {
        if (!view) continue;
        common = first ? view.get() : lc_closestCommonSuperview(view.get(), common);
        first = false;
    }
    return common;
}

namespace {

struct Axis {
    A lead, trail, length;
};

Axis axisOf(LCDistributionAxis axis) {
    return axis == LCDistributionAxisHorizontal ? Axis{A::Left, A::Right, A::Width} : Axis{A::Top, A::Bottom, A::Height};
}

std::shared_ptr<ui::View> commonSuperview(const LCViews& views) {
    ui::View* common = lc_commonSuperviewOfViews(views);
    return common ? common->sharedFromThis() : nullptr;
}

}  // namespace

void lc_distributeViewsAlongAxisWithFixedSpacing(const LCViews& views, LCDistributionAxis axis, double spacing,
                                                 double lead, double tail) {
    if (views.size() < 2) return;
    const Axis a = axisOf(axis);
    const auto superview = commonSuperview(views);
    for (std::size_t i = 0; i < views.size(); ++i) {
        lc_makeConstraints(views[i], [&](LCConstraintMaker& make) {
            if (i == 0) {
                make.addConstraintWithLayoutAttribute(a.lead)->equalTo(lc_attribute(superview, a.lead))->offset(lead);
            } else {
                const auto& previous = views[i - 1];
                make.addConstraintWithLayoutAttribute(a.length)->equalTo(lc_attribute(previous, a.length));
                make.addConstraintWithLayoutAttribute(a.lead)->equalTo(lc_attribute(previous, a.trail))->offset(spacing);
            }
            if (i == views.size() - 1) {
                make.addConstraintWithLayoutAttribute(a.trail)->equalTo(lc_attribute(superview, a.trail))->offset(-tail);
            }
        });
    }
}

void lc_distributeViewsAlongAxisWithFixedItemLength(const LCViews& views, LCDistributionAxis axis, double length,
                                                    double lead, double tail) {
    if (views.size() < 2) return;
    const Axis a = axisOf(axis);
    const auto superview = commonSuperview(views);
    const double n = static_cast<double>(views.size());
    for (std::size_t i = 0; i < views.size(); ++i) {
        lc_makeConstraints(views[i], [&](LCConstraintMaker& make) {
            if (i == 0) {
                make.addConstraintWithLayoutAttribute(a.lead)->equalTo(lc_attribute(superview, a.lead))->offset(lead);
                make.addConstraintWithLayoutAttribute(a.length)->equalTo(length);
                return;
            }
            make.addConstraintWithLayoutAttribute(a.length)->equalTo(length);
            const double index = static_cast<double>(i);
            const double ratio = index / (n - 1);
            if (i == views.size() - 1) {
                make.addConstraintWithLayoutAttribute(a.trail)->equalTo(lc_attribute(superview, a.trail))->offset(-tail);
            } else {
                make.addConstraintWithLayoutAttribute(a.trail)
                    ->equalTo(lc_attribute(superview, a.trail))
                    ->multipliedBy(ratio)
                    ->offset((1 - ratio) * (length + lead) - index * tail / (n - 1));
            }
        });
    }
}

}  // namespace ql
