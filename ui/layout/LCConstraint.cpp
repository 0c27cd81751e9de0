#include "ui/layout/LCConstraint.h"

#include <string>
#include <string_view>

#include "platform/foundation/Exception.h"
#include "platform/ui/GeometryValue.h"

namespace ql {

namespace {

[[noreturn]] void mustOverride(std::string_view selector) {
    throw ns::Exception(ns::InternalInconsistencyException,
                        "You must override " + std::string(selector) + " in a subclass.");
}

}  // namespace

std::string lc_objectText(const ns::Value& value) {
    return value.kind() == ns::Value::Kind::String ? std::string(value.asString()) : value.description();
}

LCConstraintPtr LCConstraint::equalTo(const ns::Value& attribute) {
    return equalToWithRelation(attribute, ui::LayoutRelation::Equal);
}

LCConstraintPtr LCConstraint::greaterThanOrEqualTo(const ns::Value& attribute) {
    return equalToWithRelation(attribute, ui::LayoutRelation::GreaterThanOrEqual);
}

LCConstraintPtr LCConstraint::lessThanOrEqualTo(const ns::Value& attribute) {
    return equalToWithRelation(attribute, ui::LayoutRelation::LessThanOrEqual);
}

LCConstraintPtr LCConstraint::priorityLow() { return priority(ui::LayoutPriorityDefaultLow); }
LCConstraintPtr LCConstraint::priorityMedium() { return priority(500); }
LCConstraintPtr LCConstraint::priorityHigh() { return priority(ui::LayoutPriorityDefaultHigh); }

LCConstraintPtr LCConstraint::insets(const cg::EdgeInsets& insets) {
    setInsets(insets);
    return self();
}

LCConstraintPtr LCConstraint::sizeOffset(cg::Size offset) {
    setSizeOffset(offset);
    return self();
}

LCConstraintPtr LCConstraint::centerOffset(cg::Point offset) {
    setCenterOffset(offset);
    return self();
}

LCConstraintPtr LCConstraint::offset(double offset) {
    setOffset(offset);
    return self();
}

LCConstraintPtr LCConstraint::valueOffset(const ns::Value& offset) {
    setLayoutConstantWithValue(offset);
    return self();
}

void LCConstraint::setLayoutConstantWithValue(const ns::Value& value) {
    if (value.isNumber()) {
        setOffset(value.doubleValue());
    } else if (const auto point = ui::GeometryValue::CGPointValue(value)) {
        setCenterOffset(*point);
    } else if (const auto size = ui::GeometryValue::CGSizeValue(value)) {
        setSizeOffset(*size);
    } else if (const auto insets = ui::GeometryValue::UIEdgeInsetsValue(value)) {
        setInsets(*insets);
    }
}

LCConstraintPtr LCConstraint::with() { return self(); }
LCConstraintPtr LCConstraint::and_() { return self(); }

LCConstraintPtr LCConstraint::left() { return addConstraintWithLayoutAttribute(ui::LayoutAttribute::Left); }
LCConstraintPtr LCConstraint::top() { return addConstraintWithLayoutAttribute(ui::LayoutAttribute::Top); }
LCConstraintPtr LCConstraint::right() { return addConstraintWithLayoutAttribute(ui::LayoutAttribute::Right); }
LCConstraintPtr LCConstraint::bottom() { return addConstraintWithLayoutAttribute(ui::LayoutAttribute::Bottom); }
LCConstraintPtr LCConstraint::leading() { return addConstraintWithLayoutAttribute(ui::LayoutAttribute::Leading); }
LCConstraintPtr LCConstraint::trailing() { return addConstraintWithLayoutAttribute(ui::LayoutAttribute::Trailing); }
LCConstraintPtr LCConstraint::width() { return addConstraintWithLayoutAttribute(ui::LayoutAttribute::Width); }
LCConstraintPtr LCConstraint::height() { return addConstraintWithLayoutAttribute(ui::LayoutAttribute::Height); }
LCConstraintPtr LCConstraint::centerX() { return addConstraintWithLayoutAttribute(ui::LayoutAttribute::CenterX); }
LCConstraintPtr LCConstraint::centerY() { return addConstraintWithLayoutAttribute(ui::LayoutAttribute::CenterY); }
LCConstraintPtr LCConstraint::baseline() { return addConstraintWithLayoutAttribute(ui::LayoutAttribute::Baseline); }
LCConstraintPtr LCConstraint::leftMargin() { return addConstraintWithLayoutAttribute(ui::LayoutAttribute::LeftMargin); }
LCConstraintPtr LCConstraint::rightMargin() {
    return addConstraintWithLayoutAttribute(ui::LayoutAttribute::RightMargin);
}
LCConstraintPtr LCConstraint::topMargin() { return addConstraintWithLayoutAttribute(ui::LayoutAttribute::TopMargin); }
LCConstraintPtr LCConstraint::bottomMargin() {
    return addConstraintWithLayoutAttribute(ui::LayoutAttribute::BottomMargin);
}
LCConstraintPtr LCConstraint::leadingMargin() {
    return addConstraintWithLayoutAttribute(ui::LayoutAttribute::LeadingMargin);
}
LCConstraintPtr LCConstraint::trailingMargin() {
    return addConstraintWithLayoutAttribute(ui::LayoutAttribute::TrailingMargin);
}
LCConstraintPtr LCConstraint::centerXWithinMargins() {
    return addConstraintWithLayoutAttribute(ui::LayoutAttribute::CenterXWithinMargins);
}
LCConstraintPtr LCConstraint::centerYWithinMargins() {
    return addConstraintWithLayoutAttribute(ui::LayoutAttribute::CenterYWithinMargins);
}

LCConstraintPtr LCConstraint::addConstraintWithLayoutAttribute(ui::LayoutAttribute) {
    mustOverride("addConstraintWithLayoutAttribute:");
}
LCConstraintPtr LCConstraint::multipliedBy(double) { mustOverride("multipliedBy"); }
LCConstraintPtr LCConstraint::dividedBy(double) { mustOverride("dividedBy"); }
LCConstraintPtr LCConstraint::priority(float) { mustOverride("priority"); }
LCConstraintPtr LCConstraint::equalToWithRelation(const ns::Value&, ui::LayoutRelation) {
    mustOverride("equalToWithRelation");
}
LCConstraintPtr LCConstraint::key(const ns::Value&) { mustOverride("key"); }
void LCConstraint::setInsets(const cg::EdgeInsets&) { mustOverride("setInsets:"); }
void LCConstraint::setSizeOffset(cg::Size) { mustOverride("setSizeOffset:"); }
void LCConstraint::setCenterOffset(cg::Point) { mustOverride("setCenterOffset:"); }
void LCConstraint::setOffset(double) { mustOverride("setOffset:"); }
void LCConstraint::activate() { mustOverride("activate"); }
void LCConstraint::deactivate() { mustOverride("deactivate"); }
void LCConstraint::install() { mustOverride("install"); }
void LCConstraint::uninstall() { mustOverride("uninstall"); }

}  // namespace ql
