#include "platform/ui/LayoutConstraint.h"

#include <cmath>
#include <cstdio>

#include "platform/foundation/Exception.h"
#include "platform/ui/LayoutEngine.h"
#include "platform/ui/View.h"

namespace ql::ui {

namespace {

// The texts of descriptions: "centerX", "<=", "UIView:0x…".
std::string attributeName(LayoutAttribute attribute) {
    switch (attribute) {
        case LayoutAttribute::NotAnAttribute: return "notAnAttribute";
        case LayoutAttribute::Left: return "left";
        case LayoutAttribute::Right: return "right";
        case LayoutAttribute::Top: return "top";
        case LayoutAttribute::Bottom: return "bottom";
        case LayoutAttribute::Leading: return "leading";
        case LayoutAttribute::Trailing: return "trailing";
        case LayoutAttribute::Width: return "width";
        case LayoutAttribute::Height: return "height";
        case LayoutAttribute::CenterX: return "centerX";
        case LayoutAttribute::CenterY: return "centerY";
        case LayoutAttribute::LastBaseline: return "lastBaseline";
        case LayoutAttribute::FirstBaseline: return "firstBaseline";
        case LayoutAttribute::LeftMargin: return "leftMargin";
        case LayoutAttribute::RightMargin: return "rightMargin";
        case LayoutAttribute::TopMargin: return "topMargin";
        case LayoutAttribute::BottomMargin: return "bottomMargin";
        case LayoutAttribute::LeadingMargin: return "leadingMargin";
        case LayoutAttribute::TrailingMargin: return "trailingMargin";
        case LayoutAttribute::CenterXWithinMargins: return "centerXWithinMargins";
        case LayoutAttribute::CenterYWithinMargins: return "centerYWithinMargins";
    }
    return "attribute " + std::to_string(static_cast<std::int64_t>(attribute));
}

std::string relationText(LayoutRelation relation) {
    switch (relation) {
        case LayoutRelation::LessThanOrEqual: return "<=";
        case LayoutRelation::Equal: return "==";
        case LayoutRelation::GreaterThanOrEqual: return ">=";
    }
    return "?";
}

std::string itemText(const View* item) {
    if (!item) return "(null)";
    return std::string(item->className()) + ":" + ns::addressText(item);
}

bool isLeadingOrTrailing(LayoutAttribute a) {
    return a == LayoutAttribute::Leading || a == LayoutAttribute::Trailing || a == LayoutAttribute::LeadingMargin ||
           a == LayoutAttribute::TrailingMargin;
}

bool isLeftOrRight(LayoutAttribute a) {
    return a == LayoutAttribute::Left || a == LayoutAttribute::Right || a == LayoutAttribute::LeftMargin ||
           a == LayoutAttribute::RightMargin;
}

[[noreturn]] void refuse(const std::string& reason) {
    throw ns::Exception(ns::InvalidArgumentException, "Unable to create a layout constraint: " + reason);
}

void validate(const View* item1, LayoutAttribute attribute1, const View* item2, LayoutAttribute attribute2,
              double multiplier, double constant) {
    if (!item1) refuse("a constraint needs a first item.");
    if (attribute1 == LayoutAttribute::NotAnAttribute) refuse("the first item needs a layout attribute.");
    if (item2 && attribute2 == LayoutAttribute::NotAnAttribute) refuse("the second item needs a layout attribute.");
    if (!std::isfinite(multiplier) || !std::isfinite(constant)) refuse("the multiplier and constant must be finite.");
    if (attribute2 == LayoutAttribute::NotAnAttribute) return;
    const std::string pair =
        " (" + attributeName(attribute1) + " and " + attributeName(attribute2) + ").";
    if (isSizeAttribute(attribute1) != isSizeAttribute(attribute2)) {
        refuse("a location attribute cannot be related to a size attribute" + pair);
    }
    if (!isSizeAttribute(attribute1) && isHorizontalAttribute(attribute1) != isHorizontalAttribute(attribute2)) {
        refuse("attributes of different axes cannot be related" + pair);
    }
    if ((isLeadingOrTrailing(attribute1) && isLeftOrRight(attribute2)) ||
        (isLeftOrRight(attribute1) && isLeadingOrTrailing(attribute2))) {
        refuse("a leading or trailing attribute cannot be related to a left or right attribute" + pair);
    }
}

std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

LayoutConstraint::DescriptionOverride& descriptionOverride() {
    static auto& override = *new LayoutConstraint::DescriptionOverride;
    return override;
}

}  // namespace

LayoutConstraint::LayoutConstraint(const std::shared_ptr<View>& item1, LayoutAttribute attribute1,
                                   LayoutRelation relation, const std::shared_ptr<View>& item2,
                                   LayoutAttribute attribute2, double multiplier, double constant)
    : LayoutConstraint(Unchecked{}, item1, attribute1, relation, item2, attribute2, multiplier, constant,
                       LayoutPriorityRequired) {
    validate(item1.get(), attribute1, item2.get(), attribute2, multiplier, constant);
}

LayoutConstraint::LayoutConstraint(Unchecked, const std::shared_ptr<View>& item1, LayoutAttribute attribute1,
                                   LayoutRelation relation, const std::shared_ptr<View>& item2,
                                   LayoutAttribute attribute2, double multiplier, double constant,
                                   LayoutPriority priority)
    : firstItem_(item1),
      secondItem_(item2),
      firstAttribute_(attribute1),
      secondAttribute_(attribute2),
      relation_(relation),
      multiplier_(multiplier),
      constant_(constant),
      priority_(priority) {}

LayoutConstraint::~LayoutConstraint() = default;

void LayoutConstraint::heldBy(View* holder) {
    if (holder_ && !holder) --activeCount_;
    if (!holder_ && holder) ++activeCount_;
    holder_ = holder;
    reportedUnprepared_ = false;
}

void LayoutConstraint::setConstant(double constant) {
    if (!std::isfinite(constant)) {
        throw ns::Exception(ns::InvalidArgumentException, "A layout constraint's constant must be finite.");
    }
    if (constant == constant_) return;
    constant_ = constant;
    if (engine_) {
        engine_->constantDidChange(*this);
    } else if (holder_) {
        holder_->setNeedsLayout();
    }
}

void LayoutConstraint::setPriority(LayoutPriority priority) {
    if (!(priority > 0 && priority <= LayoutPriorityRequired)) {
        throw ns::Exception(ns::InvalidArgumentException,
                            "A layout priority must be greater than 0 and at most 1000; got " + number(priority) + ".");
    }
    if (priority == priority_) return;
    if (holder_ && (priority == LayoutPriorityRequired) != (priority_ == LayoutPriorityRequired)) {
        throw ns::Exception(ns::InternalInconsistencyException,
                            "Mutating a priority from required to not on an installed constraint (or vice-versa) is "
                            "not supported. You passed priority " + number(priority) +
                                " and the existing priority was " + number(priority_) + ".");
    }
    priority_ = priority;
    if (holder_) holder_->setNeedsLayout();
}

void LayoutConstraint::setActive(bool active) {
    if (active == isActive()) return;
    auto self = std::static_pointer_cast<LayoutConstraint>(shared_from_this());
    if (!active) {
        holder_->removeConstraint(self);
        return;
    }
    const auto item1 = firstItem();
    const auto item2 = secondItem();
    View* target = item1 && item2 ? LayoutEngine::nearestCommonAncestor(item1.get(), item2.get()) : item1.get();
    if (!target) {
        throw ns::Exception(ns::GenericException,
                            "Unable to activate constraint with items " + itemText(item1.get()) + " and " +
                                itemText(item2.get()) +
                                " because they have no common ancestor. Does the constraint reference items in "
                                "different view hierarchies? That's illegal.");
    }
    target->addConstraint(self);
}

void LayoutConstraint::activateConstraints(const std::vector<std::shared_ptr<LayoutConstraint>>& constraints) {
    for (const auto& constraint : constraints) constraint->setActive(true);
}

void LayoutConstraint::deactivateConstraints(const std::vector<std::shared_ptr<LayoutConstraint>>& constraints) {
    for (const auto& constraint : constraints) constraint->setActive(false);
}

// ---- Descriptions ----

void LayoutConstraint::setDescriptionOverride(DescriptionOverride override) {
    descriptionOverride() = std::move(override);
}

std::string LayoutConstraint::description() const {
    if (const auto& override = descriptionOverride()) return override(*this);
    std::string text = "<" + std::string(className()) + ":" + ns::addressText(this);
    if (identifier_) text += " '" + *identifier_ + "'";
    const auto item1 = firstItem();
    const auto item2 = secondItem();
    text += " " + itemText(item1.get()) + "." + attributeName(firstAttribute_) + " " + relationText(relation_);
    if (item2 && secondAttribute_ != LayoutAttribute::NotAnAttribute) {
        text += " ";
        if (multiplier_ != 1) text += number(multiplier_) + "*";
        text += itemText(item2.get()) + "." + attributeName(secondAttribute_);
        if (constant_ != 0) text += (constant_ < 0 ? " - " : " + ") + number(std::abs(constant_));
    } else {
        text += " " + number(constant_);
    }
    if (priority_ != LayoutPriorityRequired) text += " @" + number(priority_);
    return text + ">";
}

}  // namespace ql::ui
