#include "mapping/MMCoding.h"

#include "mapping/MMClassState.h"

namespace ql {

void mm_encode(const ns::Object& object, ns::KeyedArchiver& coder) {
    const auto plan = detail::codingPlan(object.objectClass());
    for (const MMClassProperty& entry : *plan->properties) {
        const MMProperty& property = *entry.property;
        if (!plan->admits(property.name())) continue;
        ns::Value value = entry.valueForObject(object);
        if (!value.isNil()) coder.encodeObject(value, property.name());
    }
}

void mm_decode(ns::Object& object, ns::KeyedUnarchiver& coder) {
    const auto plan = detail::codingPlan(object.objectClass());
    for (const MMClassProperty& entry : *plan->properties) {
        const MMProperty& property = *entry.property;
        if (!plan->admits(property.name())) continue;
        ns::Value value = coder.decodeObjectForKey(property.name());
        if (value.isNil()) value = coder.decodeObjectForKey("_" + property.name());
        entry.setValue(value, object);
    }
}

}  // namespace ql
