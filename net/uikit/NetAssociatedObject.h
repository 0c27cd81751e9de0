#pragma once
// Per-view state of the networking conveniences, kept as associated values of the view. Values may be
// held through an interface (a serializer protocol) as long as the object behind it is an ns::Object.

#include <memory>

#include "platform/foundation/Object.h"
#include "platform/foundation/Value.h"

namespace ql {

template <class T>
std::shared_ptr<T> net_associatedObject(const ns::Object& owner, const void* key) {
    return std::dynamic_pointer_cast<T>(owner.associatedValue(key).asObject());
}

template <class T>
void net_setAssociatedObject(ns::Object& owner, const void* key, const std::shared_ptr<T>& value) {
    auto object = std::dynamic_pointer_cast<ns::Object>(value);
    owner.setAssociatedValue(key, object ? ns::Value(std::move(object)) : ns::Value());
}

}  // namespace ql
