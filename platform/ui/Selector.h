#pragma once
// ui::Selector: a message named by a member function rather than by text. A selector made from
// `void (T::*)(P...)` is sent to an object only when that object is a T, which is how "responds to the
// selector" reads here. The member may take fewer parameters than the message carries (the leading ones
// are passed); object pointers are handed over with a dynamic cast, so `void tapped(Button* sender)` can
// receive a sender typed as ns::Object* and sees null when the sender is something else.

#include <array>
#include <cstring>
#include <functional>
#include <memory>
#include <tuple>
#include <type_traits>
#include <typeindex>
#include <typeinfo>
#include <utility>

#include "platform/foundation/Object.h"

namespace ql::ui {

namespace detail {

template <class To, class From>
To passArgument(From&& from) {
    using Raw = std::remove_cv_t<std::remove_reference_t<From>>;
    if constexpr (std::is_convertible_v<Raw, To>) {
        return static_cast<To>(std::forward<From>(from));
    } else if constexpr (std::is_pointer_v<To> && std::is_pointer_v<Raw>) {
        return dynamic_cast<To>(from);
    } else {
        return static_cast<To>(std::forward<From>(from));
    }
}

}  // namespace detail

template <class... Args>
class Selector {
public:
    Selector() = default;

    template <class T, class... P>
        requires(std::is_base_of_v<ns::Object, T> && sizeof...(P) <= sizeof...(Args))
    Selector(void (T::*member)(P...)) : type_(typeid(member)) {
        static_assert(sizeof(member) <= sizeof(Bytes), "member pointer larger than expected");
        std::memcpy(bytes_.data(), &member, sizeof(member));
        send_ = [member](ns::Object& target, Args... args) {
            auto* receiver = dynamic_cast<T*>(&target);
            if (!receiver) return false;
            callWithLeading<T, P...>(*receiver, member, std::index_sequence_for<P...>{},
                                     std::forward_as_tuple(std::forward<Args>(args)...));
            return true;
        };
        respondsTo_ = [](const ns::Object& target) { return dynamic_cast<const T*>(&target) != nullptr; };
    }

    explicit operator bool() const { return static_cast<bool>(send_); }

    // Whether `target` is of the class whose member this selector names.
    bool isRespondedToBy(const ns::Object* target) const { return target && respondsTo_ && respondsTo_(*target); }
    // Sends the message; false (and nothing happens) when the target does not respond.
    bool send(ns::Object* target, Args... args) const {
        return target && send_ && send_(*target, std::forward<Args>(args)...);
    }

    // Two selectors are equal when they name the same member function.
    bool operator==(const Selector& other) const {
        return type_ == other.type_ && static_cast<bool>(send_) == static_cast<bool>(other.send_) &&
               bytes_ == other.bytes_;
    }

private:
    using Bytes = std::array<unsigned char, 2 * sizeof(void*)>;

    template <class T, class... P, std::size_t... I, class Tuple>
    static void callWithLeading(T& receiver, void (T::*member)(P...), std::index_sequence<I...>, Tuple&& args) {
        (receiver.*member)(detail::passArgument<P>(std::get<I>(std::forward<Tuple>(args)))...);
    }

    std::type_index type_ = typeid(void);
    Bytes bytes_{};
    std::function<bool(ns::Object&, Args...)> send_;
    std::function<bool(const ns::Object&)> respondsTo_;
};

class Event;

// The action message of controls, bar button items and gesture recognisers: (sender, event).
using Action = Selector<ns::Object*, Event*>;

}  // namespace ql::ui
