#pragma once
// The class registry that stands in for the object runtime: each class has a name, a superclass, a factory
// and the properties it declares (in declaration order) with the attribute text the platform's runtime
// would report, e.g. `T@"NSString",C,N,V_name` or `Tq,N,V_uid`, and boxed access through ns::Value.
//
// A class joins the registry with QL_OBJECT(Name, Super) in its body; each property is declared once
// with QL_PROPERTY(Type, name), which both declares the member and describes it to the registry.

#include <algorithm>
#include <concepts>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "platform/foundation/Value.h"

namespace ql::ns {

class Object;

struct Property {
    std::string name;
    // The runtime's attribute text: "T" + type encoding + "," + attributes + ",V_" + name.
    std::string attributes;
    std::function<Value(const Object&)> get;
    // Unboxes numbers into scalars and ignores values that cannot be stored in the member's type.
    std::function<void(Object&, const Value&)> set;

    // The type encoding: the text after "T" up to the first ",".
    std::string_view typeEncoding() const;
};

class Class {
public:
    using Factory = std::function<std::shared_ptr<Object>()>;

    Class(std::string name, const Class* superclass, Factory factory = nullptr,
          std::vector<Property> properties = {}, bool overridesKeyValueCoding = false);
    Class(const Class&) = delete;
    Class& operator=(const Class&) = delete;

    std::string_view name() const { return name_; }
    const Class* superclass() const { return superclass_; }
    // True when this class is `other` or inherits from it.
    bool isSubclassOf(const Class& other) const;
    // A new instance, or nullptr for classes that cannot be made by name (abstract, no default constructor,
    // or the platform's value classes).
    std::shared_ptr<Object> createInstance() const;
    bool canCreateInstances() const { return static_cast<bool>(factory_); }

    // Properties declared by this class itself, in declaration order.
    const std::vector<Property>& properties() const { return properties_; }
    // A property declared by this class or the nearest superclass that declares it.
    const Property* propertyNamed(std::string_view name) const;
    // Whether the class or a superclass overrides Object::valueForKey or setValueForKey. When none does,
    // key-value coding of a declared property is exactly its Property's get and set (with the change
    // announcements around set), which lets hot paths skip the lookup by name.
    bool overridesKeyValueCoding() const { return overridesKeyValueCoding_; }

    // Registry. Classes register themselves when their QL_OBJECT is first used or at start-up; the
    // platform's own value classes (NSObject, NSString, NSNumber, NSArray, …) are always present.
    static const Class* named(std::string_view name);
    static void registerClass(const Class& cls);
    static std::vector<const Class*> allClasses();

private:
    std::string name_;
    const Class* superclass_;
    Factory factory_;
    std::vector<Property> properties_;
    bool overridesKeyValueCoding_;
};

// How a member type is seen by the runtime: its type encoding, memory attribute and boxing.
template <class T, class = void>
struct PropertyTraits;

namespace detail {

template <class T>
struct ScalarTraits {
    static Value toValue(const T& v) { return Value(v); }
    static void fromValue(const Value& v, T& out) {
        if (!v.isNumber() && !v.isString()) return;
        if constexpr (std::is_same_v<T, bool>) out = v.boolValue();
        else if constexpr (std::is_floating_point_v<T>) out = static_cast<T>(v.doubleValue());
        // An amount beyond the member's range holds at its nearer end rather than wrapping into another
        // amount (a count of 2^32 + 5 is no count of 5).
        else if constexpr (std::is_unsigned_v<T>)
            out = v.doubleValue() < 0 ? T(0) : static_cast<T>(std::min<std::uint64_t>(v.uint64Value(), std::numeric_limits<T>::max()));
        else
            out = static_cast<T>(std::clamp<std::int64_t>(v.int64Value(), std::numeric_limits<T>::min(), std::numeric_limits<T>::max()));
    }
    static std::string memory() { return ""; }
};

}  // namespace detail

#define QL_SCALAR_TRAITS(Type, Code)                                          \
    template <>                                                               \
    struct PropertyTraits<Type> : detail::ScalarTraits<Type> {                \
        static std::string encoding() { return Code; }                        \
    }
QL_SCALAR_TRAITS(bool, "B");
QL_SCALAR_TRAITS(char, "c");
QL_SCALAR_TRAITS(signed char, "c");
QL_SCALAR_TRAITS(unsigned char, "C");
QL_SCALAR_TRAITS(short, "s");
QL_SCALAR_TRAITS(unsigned short, "S");
QL_SCALAR_TRAITS(int, "i");
QL_SCALAR_TRAITS(unsigned int, "I");
QL_SCALAR_TRAITS(long, "q");
QL_SCALAR_TRAITS(unsigned long, "Q");
QL_SCALAR_TRAITS(long long, "q");
QL_SCALAR_TRAITS(unsigned long long, "Q");
QL_SCALAR_TRAITS(float, "f");
QL_SCALAR_TRAITS(double, "d");
#undef QL_SCALAR_TRAITS

template <>
struct PropertyTraits<std::string> {
    static std::string encoding() { return "@\"NSString\""; }
    static std::string memory() { return "C"; }
    static Value toValue(const std::string& v) { return Value(v); }
    static void fromValue(const Value& v, std::string& out) {
        if (v.isString() || v.isNumber()) out = v.stringValue();
        else if (v.isNil() || v.isNull()) out.clear();
    }
};

// A text that may be nil, as most of the platform's NSString properties may.
template <>
struct PropertyTraits<std::optional<std::string>> {
    static std::string encoding() { return "@\"NSString\""; }
    static std::string memory() { return "C"; }
    static Value toValue(const std::optional<std::string>& v) { return v ? Value(*v) : Value(); }
    static void fromValue(const Value& v, std::optional<std::string>& out) {
        if (v.isString() || v.isNumber()) out = v.stringValue();
        else if (v.isNil() || v.isNull()) out.reset();
    }
};

template <>
struct PropertyTraits<Value> {
    static std::string encoding() { return "@"; }
    static std::string memory() { return "&"; }
    static Value toValue(const Value& v) { return v; }
    static void fromValue(const Value& v, Value& out) { out = v; }
};

template <>
struct PropertyTraits<Data> {
    static std::string encoding() { return "@\"NSData\""; }
    static std::string memory() { return "&"; }
    static Value toValue(const Data& v) { return Value(v); }
    static void fromValue(const Value& v, Data& out) {
        if (const Data* d = v.asData()) out = *d;
        else if (v.isNil() || v.isNull()) out = Data();
    }
};

template <>
struct PropertyTraits<std::optional<Date>> {
    static std::string encoding() { return "@\"NSDate\""; }
    static std::string memory() { return "&"; }
    static Value toValue(const std::optional<Date>& v) { return v ? Value(*v) : Value(); }
    static void fromValue(const Value& v, std::optional<Date>& out) {
        if (v.isDate()) out = v.asDate();
        else if (v.isNil() || v.isNull()) out.reset();
    }
};

template <>
struct PropertyTraits<Array> {
    static std::string encoding() { return "@\"NSArray\""; }
    static std::string memory() { return "&"; }
    static Value toValue(const Array& v) { return Value(v); }
    static void fromValue(const Value& v, Array& out) {
        if (const Array* a = v.asArray()) out = *a;
        else if (v.isNil() || v.isNull()) out.clear();
    }
};

template <>
struct PropertyTraits<Dictionary> {
    static std::string encoding() { return "@\"NSDictionary\""; }
    static std::string memory() { return "&"; }
    static Value toValue(const Dictionary& v) { return Value(v); }
    static void fromValue(const Value& v, Dictionary& out) {
        if (const Dictionary* d = v.asDictionary()) out = *d;
        else if (v.isNil() || v.isNull()) out.clear();
    }
};

template <class T>
struct PropertyTraits<std::shared_ptr<T>, std::enable_if_t<std::is_base_of_v<Object, T>>> {
    // The name comes from the class declaration rather than its Class record, so a class may have properties
    // of its own type (or of a class that refers back to it) without recursing into its own construction.
    static std::string encoding() { return "@\"" + std::string(T::ql_className_) + "\""; }
    static std::string memory() { return "&"; }
    static Value toValue(const std::shared_ptr<T>& v) { return Value(std::shared_ptr<Object>(v)); }
    static void fromValue(const Value& v, std::shared_ptr<T>& out) {
        if (auto o = v.asObject<T>()) out = std::move(o);
        else if (v.isNil() || v.isNull()) out.reset();
    }
};

// Typed arrays: elements of the wrong kind are dropped on set.
template <class E>
struct PropertyTraits<std::vector<E>> {
    static std::string encoding() { return "@\"NSArray\""; }
    static std::string memory() { return "&"; }
    static Value toValue(const std::vector<E>& v) {
        Array out;
        out.reserve(v.size());
        for (const auto& e : v) out.push_back(PropertyTraits<E>::toValue(e));
        return Value(std::move(out));
    }
    static void fromValue(const Value& v, std::vector<E>& out) {
        if (v.isNil() || v.isNull()) {
            out.clear();
            return;
        }
        const Array* a = v.asArray();
        if (!a) return;
        std::vector<E> result;
        result.reserve(a->size());
        for (const auto& element : *a) {
            if (!accepts(element)) continue;
            E e{};
            PropertyTraits<E>::fromValue(element, e);
            result.push_back(std::move(e));
        }
        out = std::move(result);
    }

private:
    static bool accepts(const Value& element) {
        if constexpr (std::is_same_v<E, std::string>) return element.isString() || element.isNumber();
        else if constexpr (std::is_arithmetic_v<E>) return element.isNumber() || element.isString();
        else if constexpr (requires { typename E::element_type; })
            return static_cast<bool>(element.template asObject<typename E::element_type>());
        else return !element.isNil();
    }
};

// Collects a class's property descriptions when its Class record is built.
class ClassBuilder {
public:
    template <class Owner, class T>
    void property(std::string_view name, T Owner::*member, std::string_view attributesOverride = {}) {
        Property p;
        p.name = std::string(name);
        if (attributesOverride.empty()) {
            std::string memory = PropertyTraits<T>::memory();
            p.attributes = "T" + PropertyTraits<T>::encoding() + (memory.empty() ? "" : "," + memory) + ",N,V_" +
                           p.name;
        } else {
            p.attributes = std::string(attributesOverride);
        }
        p.get = [member](const Object& o) { return PropertyTraits<T>::toValue(static_cast<const Owner&>(o).*member); };
        p.set = [member](Object& o, const Value& v) { PropertyTraits<T>::fromValue(v, static_cast<Owner&>(o).*member); };
        properties_.push_back(std::move(p));
    }
    std::vector<Property> take() { return std::move(properties_); }

private:
    std::vector<Property> properties_;
};

template <int N>
struct PropertySlot {};

namespace detail {

template <class T, int I = 0>
void describeProperties(ClassBuilder& builder) {
    if constexpr (requires { T::ql_describe_(std::type_identity<T>{}, PropertySlot<I>{}, builder); }) {
        T::ql_describe_(std::type_identity<T>{}, PropertySlot<I>{}, builder);
        describeProperties<T, I + 1>(builder);
    }
}

template <class T>
Class::Factory factoryFor() {
    if constexpr (std::is_default_constructible_v<T> && !std::is_abstract_v<T>) {
        return [] { return std::static_pointer_cast<Object>(std::make_shared<T>()); };
    } else {
        return nullptr;
    }
}

bool registerClassOnLoad(const Class& (*classObject)());

// Which class a key-value coding accessor found through T belongs to: Object's own, or an override.
template <class C>
constexpr bool isRootAccessor(Value (C::*)(std::string_view) const) {
    return std::is_same_v<C, Object>;
}
template <class C>
constexpr bool isRootAccessor(void (C::*)(const Value&, std::string_view)) {
    return std::is_same_v<C, Object>;
}

}  // namespace detail

template <class T, class Super>
const Class& makeClass(std::string_view name) {
    ClassBuilder builder;
    detail::describeProperties<T>(builder);
    constexpr bool overridesKeyValueCoding =
        !detail::isRootAccessor(&T::valueForKey) || !detail::isRootAccessor(&T::setValueForKey);
    return *new Class(std::string(name), &Super::classObject(), detail::factoryFor<T>(), builder.take(),
                      overridesKeyValueCoding);
}

}  // namespace ql::ns

// Makes a class derived (directly or not) from ns::Object known to the runtime under its own name.
#define QL_OBJECT(Name, Super) QL_OBJECT_NAMED(Name, Super, #Name)

// The same under a registry name that differs from the C++ name: the platform's classes keep the platform's
// names ("UIView" for ui::View), since code tests class names.
#define QL_OBJECT_NAMED(Name, Super, RegistryName)                                                        \
public:                                                                                                   \
    using ql_self_t = Name;                                                                               \
    [[maybe_unused]] static constexpr std::string_view ql_className_ = RegistryName;                      \
    static const ::ql::ns::Class& classObject() {                                                         \
        static const ::ql::ns::Class& cls = ::ql::ns::makeClass<Name, Super>(RegistryName);               \
        return cls;                                                                                       \
    }                                                                                                     \
    const ::ql::ns::Class& objectClass() const override { return classObject(); }                         \
                                                                                                          \
private:                                                                                                  \
    [[maybe_unused]] inline static const bool ql_registered_ = ::ql::ns::detail::registerClassOnLoad(&Name::classObject); \
    [[maybe_unused]] static constexpr int ql_property_base_ = __COUNTER__;                                              \
                                                                                                          \
public:

// Declares a member and describes it as a property of the enclosing QL_OBJECT class. An optional third
// argument gives the full attribute text when the defaults of the member's type do not fit.
#define QL_PROPERTY(Type, name, ...)                                                                     \
    Type name{};                                                                                          \
    static void ql_describe_(std::type_identity<ql_self_t>,                                               \
                             ::ql::ns::PropertySlot<__COUNTER__ - ql_property_base_ - 1>,                 \
                             ::ql::ns::ClassBuilder& builder) {                                           \
        builder.property(#name, &ql_self_t::name __VA_OPT__(, ) __VA_ARGS__);                              \
    }
