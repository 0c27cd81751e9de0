#pragma once
// LCBoxValueForObjCType: boxes the argument of a relation or an offset by its type encoding ("@", "d",
// "{CGSize=dd}", ...) into the value the constraint language takes: the object itself, a number, or a
// boxed point, size or insets. An encoding outside the language's list gives nil. LCBoxValue picks the
// encoding from the argument's own type.

#include <cstdint>
#include <memory>
#include <string_view>
#include <type_traits>

#include "platform/foundation/Object.h"
#include "platform/foundation/Value.h"
#include "platform/graphics/Geometry.h"
#include "platform/ui/GeometryValue.h"

namespace ql {

namespace lc_detail {

template <class T>
struct IsSharedObject : std::false_type {};
template <class T>
struct IsSharedObject<std::shared_ptr<T>> : std::bool_constant<std::is_base_of_v<ns::Object, T>> {};

template <class N, class T>
ns::Value number(const T& value) {
    if constexpr (std::is_arithmetic_v<T>) {
        if constexpr (std::is_same_v<N, bool>) {
            return ns::Value(value != 0);
        } else if constexpr (std::is_same_v<N, float>) {
            return ns::Value(static_cast<float>(static_cast<double>(value)));
        } else {
            return ns::Value(static_cast<N>(value));
        }
    } else {
        return {};
    }
}

template <class G, class T>
ns::Value geometry(const T& value) {
    if constexpr (!std::is_same_v<T, G>) {
        return {};
    } else if constexpr (std::is_same_v<G, cg::Point>) {
        return ui::GeometryValue::valueWithCGPoint(value);
    } else if constexpr (std::is_same_v<G, cg::Size>) {
        return ui::GeometryValue::valueWithCGSize(value);
    } else {
        return ui::GeometryValue::valueWithUIEdgeInsets(value);
    }
}

}  // namespace lc_detail

template <class T>
ns::Value LCBoxValueForObjCType(std::string_view type, const T& value) {
    if (type == "@") {
        if constexpr (std::is_same_v<T, ns::Value>) return value;
        if constexpr (lc_detail::IsSharedObject<T>::value) return ns::Value(value);
        return {};
    }
    if (type == "{CGPoint=dd}") return lc_detail::geometry<cg::Point>(value);
    if (type == "{CGSize=dd}") return lc_detail::geometry<cg::Size>(value);
    if (type == "{UIEdgeInsets=dddd}") return lc_detail::geometry<cg::EdgeInsets>(value);
    if (type == "d") return lc_detail::number<double>(value);
    if (type == "f") return lc_detail::number<float>(value);
    if (type == "i") return lc_detail::number<std::int32_t>(value);
    if (type == "q") return lc_detail::number<std::int64_t>(value);
    if (type == "s") return lc_detail::number<std::int16_t>(value);
    if (type == "c") return lc_detail::number<std::int8_t>(value);
    if (type == "B") return lc_detail::number<bool>(value);
    if (type == "C") return lc_detail::number<std::uint8_t>(value);
    if (type == "I") return lc_detail::number<std::uint32_t>(value);
    if (type == "Q") return lc_detail::number<std::uint64_t>(value);
    if (type == "S") return lc_detail::number<std::uint16_t>(value);
    return {};
}

// The type encoding of T, as the platform's compiler would write it; empty for types the language does not box.
template <class T>
constexpr std::string_view LCObjCType() {
    if constexpr (std::is_same_v<T, ns::Value> || lc_detail::IsSharedObject<T>::value) return "@";
    else if constexpr (std::is_same_v<T, cg::Point>) return "{CGPoint=dd}";
    else if constexpr (std::is_same_v<T, cg::Size>) return "{CGSize=dd}";
    else if constexpr (std::is_same_v<T, cg::EdgeInsets>) return "{UIEdgeInsets=dddd}";
    else if constexpr (std::is_same_v<T, double>) return "d";
    else if constexpr (std::is_same_v<T, float>) return "f";
    else if constexpr (std::is_same_v<T, bool>) return "B";
    else if constexpr (std::is_integral_v<T> && std::is_signed_v<T>) {
        if constexpr (sizeof(T) == 1) return "c";
        else if constexpr (sizeof(T) == 2) return "s";
        else if constexpr (sizeof(T) == 4) return "i";
        else return "q";
    } else if constexpr (std::is_integral_v<T>) {
        if constexpr (sizeof(T) == 1) return "C";
        else if constexpr (sizeof(T) == 2) return "S";
        else if constexpr (sizeof(T) == 4) return "I";
        else return "Q";
    } else return "";
}

template <class T>
ns::Value LCBoxValue(const T& value) {
    return LCBoxValueForObjCType(LCObjCType<T>(), value);
}

}  // namespace ql
