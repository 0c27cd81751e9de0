#include "ui/layout/LCDebugAdditions.h"

#include <cmath>
#include <cstdio>

#include "platform/foundation/Runtime.h"
#include "platform/ui/View.h"
#include "ui/layout/LCLayoutConstraint.h"
#include "ui/layout/LCViewAdditions.h"

namespace ql {

namespace {

std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

template <class K>
std::string lookUp(const std::map<K, std::string>& table, K key) {
    const auto it = table.find(key);
    return it == table.end() ? "(null)" : it->second;
}

ns::Value keyOf(const ns::Object& object) {
    if (const auto* view = dynamic_cast<const ui::View*>(&object)) return lc_key(*view);
    if (const auto* constraint = dynamic_cast<const LCLayoutConstraint*>(&object)) return constraint->lc_key();
    return {};
}

}  // namespace

const std::map<std::int64_t, std::string>& layoutRelationDescriptionsByValue() {
    static const auto* table = new std::map<std::int64_t, std::string>{{0, "=="}, {1, ">="}, {-1, "<="}};
    return *table;
}

const std::map<std::int64_t, std::string>& layoutAttributeDescriptionsByValue() {
    static const auto* table = new std::map<std::int64_t, std::string>{
        {1, "left"},         {2, "right"},          {3, "top"},           {4, "bottom"},
        {5, "leading"},      {6, "trailing"},       {7, "width"},         {8, "height"},
        {9, "centerX"},      {10, "centerY"},       {11, "baseline"},     {13, "leftMargin"},
        {14, "rightMargin"}, {15, "topMargin"},     {16, "bottomMargin"}, {17, "leadingMargin"},
        {18, "trailingMargin"}, {19, "centerXWithinMargins"}, {20, "centerYWithinMargins"},
    };
    return *table;
}

const std::map<float, std::string>& layoutPriorityDescriptionsByValue() {
    static const auto* table = new std::map<float, std::string>{
        {1000, "required"}, {750, "high"}, {500, "medium"}, {250, "low"}, {50, "fitting size"}};
    return *table;
}

std::string lc_descriptionForObject(const ns::Object& object) {
    const ns::Value key = keyOf(object);
    if (!key.isNil()) return std::string(object.className()) + ":" + lc_objectText(key);
    return std::string(object.className()) + ":" + ns::addressText(&object);
}

std::string lc_constraintDescription(const ui::LayoutConstraint& constraint) {
    const auto& attributes = layoutAttributeDescriptionsByValue();
    std::string text = "<" + lc_descriptionForObject(constraint);
    if (const auto first = constraint.firstItem()) {
        text += " " + lc_descriptionForObject(*first);
    } else {
        text += " (null)";
    }
    if (constraint.firstAttribute() != ui::LayoutAttribute::NotAnAttribute) {
        text += "." + lookUp(attributes, static_cast<std::int64_t>(constraint.firstAttribute()));
    }
    text += " " + lookUp(layoutRelationDescriptionsByValue(), static_cast<std::int64_t>(constraint.relation()));
    if (const auto second = constraint.secondItem()) text += " " + lc_descriptionForObject(*second);
    if (constraint.secondAttribute() != ui::LayoutAttribute::NotAnAttribute) {
        text += "." + lookUp(attributes, static_cast<std::int64_t>(constraint.secondAttribute()));
    }
    if (constraint.multiplier() != 1.0) text += " * " + number(constraint.multiplier());
    const double constant = constraint.constant();
    if (constraint.secondAttribute() == ui::LayoutAttribute::NotAnAttribute) {
        text += " " + number(constant);
    } else if (constant != 0) {
        text += std::string(constant < 0 ? " - " : " + ") + number(std::fabs(constant));
    }
    if (constraint.priority() != ui::LayoutPriorityRequired) {
        const auto& priorities = layoutPriorityDescriptionsByValue();
        const auto it = priorities.find(constraint.priority());
        text += " ^" + (it != priorities.end() ? it->second : number(static_cast<double>(constraint.priority())));
    }
    return text + ">";
}

void lc_registerConstraintDescriptionsLoadHook() {
    ns::Runtime::registerLoadHook(ns::Runtime::LoadPhase::CategoryLoad, std::string(kLCDebugAdditionsLoadHookName),
                                  &lc_installConstraintDescriptions);
}

void lc_installConstraintDescriptions() { ui::LayoutConstraint::setDescriptionOverride(&lc_constraintDescription); }

}  // namespace ql
