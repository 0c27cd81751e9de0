#include "ui/layout/LCConstraintMaker.h"

#include <algorithm>

#include "ui/layout/LCCompositeConstraint.h"
#include "ui/layout/LCViewConstraint.h"

namespace ql {

namespace {

constexpr int kLastAttribute = static_cast<int>(ui::LayoutAttribute::CenterYWithinMargins);

}  // namespace

LCConstraintMaker::LCConstraintMaker(const std::shared_ptr<ui::View>& view) : view_(view) {}

std::weak_ptr<LCConstraintDelegate> LCConstraintMaker::asDelegate() {
    return std::static_pointer_cast<LCConstraintMaker>(shared_from_this());
}

std::vector<LCConstraintPtr> LCConstraintMaker::install() {
    if (removeExisting_) {
        if (const auto view = this->view()) {
            for (const auto& installed : LCViewConstraint::installedConstraintsForView(*view)) installed->uninstall();
        }
    }
    std::vector<LCConstraintPtr> snapshot = constraints_;
    for (const auto& constraint : snapshot) {
        constraint->setUpdateExisting(updateExisting_);
        constraint->install();
    }
    constraints_.clear();
    return snapshot;
}

void LCConstraintMaker::constraintShouldBeReplacedWithConstraint(LCConstraint& constraint,
                                                                 const LCConstraintPtr& replacement) {
    auto it = std::find_if(constraints_.begin(), constraints_.end(),
                           [&](const auto& c) { return c.get() == &constraint; });
    // Only listed constraints ask; anything else has no place here to take.
    if (it != constraints_.end()) *it = replacement;
}

LCConstraintPtr LCConstraintMaker::constraintAddConstraintWithLayoutAttribute(LCConstraint* constraint,
                                                                              ui::LayoutAttribute attribute) {
    auto added = std::make_shared<LCViewConstraint>(std::make_shared<LCViewAttribute>(view(), attribute));
    if (auto* existing = dynamic_cast<LCViewConstraint*>(constraint)) {
        auto group = LCCompositeConstraint::make({std::static_pointer_cast<LCConstraint>(existing->shared_from_this()), added});
        group->setDelegate(asDelegate());
        constraintShouldBeReplacedWithConstraint(*existing, group);
        return group;
    }
    if (!constraint) {
        added->setDelegate(asDelegate());
        constraints_.push_back(added);
    }
    return added;
}

LCConstraintPtr LCConstraintMaker::addConstraintWithAttributes(LCAttributeMask attributes) {
    std::vector<LCConstraintPtr> children;
    for (int attribute = 1; attribute <= kLastAttribute; ++attribute) {
        if (attribute == static_cast<int>(ui::LayoutAttribute::FirstBaseline)) continue;
        if (!(attributes & (LCAttributeMask{1} << attribute))) continue;
        children.push_back(std::make_shared<LCViewConstraint>(
            std::make_shared<LCViewAttribute>(view(), static_cast<ui::LayoutAttribute>(attribute))));
    }
    auto group = LCCompositeConstraint::make(std::move(children));
    group->setDelegate(asDelegate());
    constraints_.push_back(group);
    return group;
}

LCConstraintPtr LCConstraintMaker::addConstraintWithLayoutAttribute(ui::LayoutAttribute attribute) {
    return constraintAddConstraintWithLayoutAttribute(nullptr, attribute);
}

LCConstraintPtr LCConstraintMaker::left() { return addConstraintWithLayoutAttribute(ui::LayoutAttribute::Left); }
LCConstraintPtr LCConstraintMaker::top() { return addConstraintWithLayoutAttribute(ui::LayoutAttribute::Top); }
LCConstraintPtr LCConstraintMaker::right() { return addConstraintWithLayoutAttribute(ui::LayoutAttribute::Right); }
LCConstraintPtr LCConstraintMaker::bottom() { return addConstraintWithLayoutAttribute(ui::LayoutAttribute::Bottom); }
LCConstraintPtr LCConstraintMaker::leading() { return addConstraintWithLayoutAttribute(ui::LayoutAttribute::Leading); }
LCConstraintPtr LCConstraintMaker::trailing() {
    return addConstraintWithLayoutAttribute(ui::LayoutAttribute::Trailing);
}
LCConstraintPtr LCConstraintMaker::width() { return addConstraintWithLayoutAttribute(ui::LayoutAttribute::Width); }
LCConstraintPtr LCConstraintMaker::height() { return addConstraintWithLayoutAttribute(ui::LayoutAttribute::Height); }
LCConstraintPtr LCConstraintMaker::centerX() { return addConstraintWithLayoutAttribute(ui::LayoutAttribute::CenterX); }
LCConstraintPtr LCConstraintMaker::centerY() { return addConstraintWithLayoutAttribute(ui::LayoutAttribute::CenterY); }
LCConstraintPtr LCConstraintMaker::baseline() {
    return addConstraintWithLayoutAttribute(ui::LayoutAttribute::Baseline);
}
LCConstraintPtr LCConstraintMaker::leftMargin() {
    return addConstraintWithLayoutAttribute(ui::LayoutAttribute::LeftMargin);
}
LCConstraintPtr LCConstraintMaker::rightMargin() {
    return addConstraintWithLayoutAttribute(ui::LayoutAttribute::RightMargin);
}
LCConstraintPtr LCConstraintMaker::topMargin() {
    return addConstraintWithLayoutAttribute(ui::LayoutAttribute::TopMargin);
}
LCConstraintPtr LCConstraintMaker::bottomMargin() {
    return addConstraintWithLayoutAttribute(ui::LayoutAttribute::BottomMargin);
}
LCConstraintPtr LCConstraintMaker::leadingMargin() {
    return addConstraintWithLayoutAttribute(ui::LayoutAttribute::LeadingMargin);
}
LCConstraintPtr LCConstraintMaker::trailingMargin() {
    return addConstraintWithLayoutAttribute(ui::LayoutAttribute::TrailingMargin);
}
LCConstraintPtr LCConstraintMaker::centerXWithinMargins() {
    return addConstraintWithLayoutAttribute(ui::LayoutAttribute::CenterXWithinMargins);
}
LCConstraintPtr LCConstraintMaker::centerYWithinMargins() {
    return addConstraintWithLayoutAttribute(ui::LayoutAttribute::CenterYWithinMargins);
}

LCConstraintPtr LCConstraintMaker::edges() {
    return addConstraintWithAttributes(
        LCAttributeMaskFor(ui::LayoutAttribute::Left) | LCAttributeMaskFor(ui::LayoutAttribute::Right) |
        LCAttributeMaskFor(ui::LayoutAttribute::Top) | LCAttributeMaskFor(ui::LayoutAttribute::Bottom));
}

LCConstraintPtr LCConstraintMaker::size() {
    return addConstraintWithAttributes(LCAttributeMaskFor(ui::LayoutAttribute::Width) |
                                       LCAttributeMaskFor(ui::LayoutAttribute::Height));
}

LCConstraintPtr LCConstraintMaker::center() {
    return addConstraintWithAttributes(LCAttributeMaskFor(ui::LayoutAttribute::CenterX) |
                                       LCAttributeMaskFor(ui::LayoutAttribute::CenterY));
}

LCConstraintPtr LCConstraintMaker::group(const std::function<void()>& declarations) {
    const std::size_t before = constraints_.size();
    declarations();
    auto group = LCCompositeConstraint::make(
        std::vector<LCConstraintPtr>(constraints_.begin() + static_cast<std::ptrdiff_t>(before), constraints_.end()));
    group->setDelegate(asDelegate());
    return group;
}

}  // namespace ql
