#pragma once
// The optional hooks through which a model class steers its own mapping. A class writes the hooks it
// needs as ordinary members and names itself once with QL_MM_HOOKS() after its QL_OBJECT:
//
//   class GetBookListRsp : public BaseRsp {
//       QL_OBJECT(GetBookListRsp, BaseRsp)
//       QL_MM_HOOKS()
//       QL_PROPERTY(std::vector<std::shared_ptr<BookListModel>>, bookList)
//   public:
//       static ns::Value mm_objectClassInArray() { return ns::Dictionary{{"bookList", "BookListModel"}}; }
//   };
//
// Class hooks are static member functions returning anything an ns::Value can be made from:
//   mm_allowedPropertyNames(), mm_ignoredPropertyNames(),
//   mm_allowedCodingPropertyNames(), mm_ignoredCodingPropertyNames()      a list of property names
//   mm_replacedKeyFromPropertyName()                                     property name → key text or list
//   mm_replacedKeyFromPropertyName121(const std::string& propertyName)    key text or list for one property
//   mm_objectClassInArray()                                              property name → element class name
// and the older replacedKeyFromPropertyName(), replacedKeyFromPropertyName121(name), objectClassInArray()
// and newValueFromOldValue(ns::Object&, const ns::Value& oldValue, const MMProperty&).
// Instance hooks are member functions:
//   ns::Value mm_newValueFromOldValue(const ns::Value& oldValue, const MMProperty& property)
//   void mm_keyValuesDidFinishConvertingToObject()
//   void mm_objectDidFinishConvertingToKeyValues() const
// A class without QL_MM_HOOKS() answers what its nearest superclass with one answers, as class methods
// are inherited; a subclass that adds hooks of its own names itself too.

#include <string>

#include "platform/foundation/Class.h"
#include "platform/foundation/Object.h"
#include "platform/foundation/Value.h"

namespace ql {

class MMProperty;

struct MMClassHooks {
    using ValueHook = ns::Value (*)();
    using KeyHook = ns::Value (*)(const std::string& propertyName);
    using NewValueHook = ns::Value (*)(ns::Object& object, const ns::Value& oldValue, const MMProperty& property);

    ValueHook allowedPropertyNames = nullptr;
    ValueHook ignoredPropertyNames = nullptr;
    ValueHook allowedCodingPropertyNames = nullptr;
    ValueHook ignoredCodingPropertyNames = nullptr;
    ValueHook replacedKeyFromPropertyName = nullptr;
    KeyHook replacedKeyFromPropertyName121 = nullptr;
    ValueHook objectClassInArray = nullptr;
    ValueHook legacyReplacedKeyFromPropertyName = nullptr;
    KeyHook legacyReplacedKeyFromPropertyName121 = nullptr;
    ValueHook legacyObjectClassInArray = nullptr;
    NewValueHook legacyNewValueFromOldValue = nullptr;
    // Instance hooks, called on the object being converted.
    NewValueHook newValueFromOldValue = nullptr;
    void (*keyValuesDidFinishConvertingToObject)(ns::Object& object) = nullptr;
    void (*objectDidFinishConvertingToKeyValues)(const ns::Object& object) = nullptr;
};

// The hooks a class answers: its own, else those of its nearest superclass that names itself; nullptr
// when no class of the chain does.
const MMClassHooks* mm_classHooks(const ns::Class& cls);

namespace detail {

template <class T>
MMClassHooks mmHooksOf() {
    MMClassHooks h;
#define QL_MM_CLASS_HOOK(field, hook)                                                     \
    if constexpr (requires { ns::Value(T::hook()); }) h.field = [] { return ns::Value(T::hook()); }
    QL_MM_CLASS_HOOK(allowedPropertyNames, mm_allowedPropertyNames);
    QL_MM_CLASS_HOOK(ignoredPropertyNames, mm_ignoredPropertyNames);
    QL_MM_CLASS_HOOK(allowedCodingPropertyNames, mm_allowedCodingPropertyNames);
    QL_MM_CLASS_HOOK(ignoredCodingPropertyNames, mm_ignoredCodingPropertyNames);
    QL_MM_CLASS_HOOK(replacedKeyFromPropertyName, mm_replacedKeyFromPropertyName);
    QL_MM_CLASS_HOOK(objectClassInArray, mm_objectClassInArray);
    QL_MM_CLASS_HOOK(legacyReplacedKeyFromPropertyName, replacedKeyFromPropertyName);
    QL_MM_CLASS_HOOK(legacyObjectClassInArray, objectClassInArray);
#undef QL_MM_CLASS_HOOK
    if constexpr (requires(const std::string& n) { ns::Value(T::mm_replacedKeyFromPropertyName121(n)); })
        h.replacedKeyFromPropertyName121 = [](const std::string& n) {
            return ns::Value(T::mm_replacedKeyFromPropertyName121(n));
        };
    if constexpr (requires(const std::string& n) { ns::Value(T::replacedKeyFromPropertyName121(n)); })
        h.legacyReplacedKeyFromPropertyName121 = [](const std::string& n) {
            return ns::Value(T::replacedKeyFromPropertyName121(n));
        };
    if constexpr (requires(ns::Object& o, const ns::Value& v, const MMProperty& p) {
                      ns::Value(T::newValueFromOldValue(o, v, p));
                  })
        h.legacyNewValueFromOldValue = [](ns::Object& o, const ns::Value& v, const MMProperty& p) {
            return ns::Value(T::newValueFromOldValue(o, v, p));
        };
    if constexpr (requires(T& t, const ns::Value& v, const MMProperty& p) { ns::Value(t.mm_newValueFromOldValue(v, p)); })
        h.newValueFromOldValue = [](ns::Object& o, const ns::Value& v, const MMProperty& p) {
            return ns::Value(static_cast<T&>(o).mm_newValueFromOldValue(v, p));
        };
    if constexpr (requires(T& t) { t.mm_keyValuesDidFinishConvertingToObject(); })
        h.keyValuesDidFinishConvertingToObject = [](ns::Object& o) {
            static_cast<T&>(o).mm_keyValuesDidFinishConvertingToObject();
        };
    if constexpr (requires(const T& t) { t.mm_objectDidFinishConvertingToKeyValues(); })
        h.objectDidFinishConvertingToKeyValues = [](const ns::Object& o) {
            static_cast<const T&>(o).mm_objectDidFinishConvertingToKeyValues();
        };
    return h;
}

bool registerMMHooks(const ns::Class& (*classObject)(), MMClassHooks (*hooks)());

}  // namespace detail

}  // namespace ql

// Names the enclosing QL_OBJECT class as one that answers model-mapping hooks (see above).
#define QL_MM_HOOKS()                                                                                   \
private:                                                                                                \
    [[maybe_unused]] inline static const bool ql_mm_hooks_ =                                            \
        ::ql::detail::registerMMHooks(&ql_self_t::classObject, &::ql::detail::mmHooksOf<ql_self_t>);    \
                                                                                                        \
public:
