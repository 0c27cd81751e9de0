#pragma once
// Class configuration of model mapping: what a model class may say about its own mapping (allowed and
// ignored names, replaced keys, element classes of arrays, a new-value function, whether dictionaries
// are built with the replaced keys) and the property list of a class that the conversions walk.
//
// Every lookup walks from the class up to the root, so configuration set on a base class applies to its
// subclasses and a subclass's own setting is found first. Configuration comes from setup calls (below)
// or from hooks the class answers (MMHooks.h). Property lists and name totals are cached per class and
// rebuilt after a setup call that makes them stale; the caches are safe to use from any thread.

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "mapping/MMProperty.h"
#include "platform/foundation/Class.h"
#include "platform/foundation/Object.h"
#include "platform/foundation/Value.h"

namespace ql {

using MMClassEnumerator = std::function<void(const ns::Class& cls, bool& stop)>;
// Gives a list of names, a replaced-keys dictionary or an element-class dictionary. Element classes are
// given by their registry name ("BookListModel", or `BookListModel::classObject().name()`).
using MMValueBlock = std::function<ns::Value()>;
// Gives the key text, or list of key texts, of one property; nil for "no replacement".
using MMReplacedKeyBlock = std::function<ns::Value(const std::string& propertyName)>;
using MMNewValueBlock =
    std::function<ns::Value(ns::Object& object, const ns::Value& oldValue, const MMProperty& property)>;
using MMPropertyEnumerator = std::function<void(const MMProperty& property, bool& stop)>;

// One entry of a class's property list: the shared property record with what the class being listed
// configured for it.
struct MMClassProperty {
    const MMProperty* property;
    std::shared_ptr<const MMKeyPaths> keyPaths;  // nullptr: the property has no key path for this class
    const ns::Class* objectClassInArray;         // nullptr: no element class
    // Key-value coding of objects of the listed class reaches this very property through its record, so
    // reads and writes may go there directly.
    bool directAccess;

    // MMProperty::valueForObject and setValue for objects of the listed class.
    ns::Value valueForObject(const ns::Object& object) const;
    void setValue(const ns::Value& value, ns::Object& object) const;
};
using MMPropertyList = std::vector<MMClassProperty>;

// The class, then each superclass below the first platform value class (NSObject for models); or, for
// the second, every superclass up to the root. The class itself is always visited.
void mm_enumerateClasses(const ns::Class& cls, const MMClassEnumerator& block);
void mm_enumerateAllClasses(const ns::Class& cls, const MMClassEnumerator& block);

// Each setup calls its block once now and keeps the result for the class; an empty block removes it.
void mm_setupAllowedPropertyNames(const ns::Class& cls, const MMValueBlock& block);
void mm_setupIgnoredPropertyNames(const ns::Class& cls, const MMValueBlock& block);
void mm_setupAllowedCodingPropertyNames(const ns::Class& cls, const MMValueBlock& block);
void mm_setupIgnoredCodingPropertyNames(const ns::Class& cls, const MMValueBlock& block);
void mm_setupReplacedKeyFromPropertyName(const ns::Class& cls, const MMValueBlock& block);
void mm_setupObjectClassInArray(const ns::Class& cls, const MMValueBlock& block);
// These two keep the block itself.
void mm_setupReplacedKeyFromPropertyName121(const ns::Class& cls, MMReplacedKeyBlock block);
void mm_setupNewValueFromOldValue(const ns::Class& cls, MMNewValueBlock block);

// The names the class's hook answers, then the names set up on the class and on each superclass, in that
// order, duplicates kept.
std::vector<std::string> mm_totalAllowedPropertyNames(const ns::Class& cls);
std::vector<std::string> mm_totalIgnoredPropertyNames(const ns::Class& cls);
std::vector<std::string> mm_totalAllowedCodingPropertyNames(const ns::Class& cls);
std::vector<std::string> mm_totalIgnoredCodingPropertyNames(const ns::Class& cls);

// The key text (or list of key texts) a property's value is found under; the name itself when nothing
// replaces it, nil for an empty name.
ns::Value propertyKey(const ns::Class& cls, std::string_view propertyName);
// The element class of an array property; nullptr when none is configured or no class bears the name.
const ns::Class* propertyObjectClassInArray(const ns::Class& cls, std::string_view propertyName);
// The class's own properties first, then its superclasses', without hash, superclass, description and
// debugDescription. A conversion keeps the list it started with even when a setup empties the cache.
std::shared_ptr<const MMPropertyList> properties(const ns::Class& cls);
void mm_enumerateProperties(const ns::Class& cls, const MMPropertyEnumerator& block);

// The value a property takes during dictionary-to-model conversion: the object's own hook, else the
// class's older hook, else the nearest new-value function set up on the class or a superclass, else the
// old value itself.
ns::Value mm_getNewValueFromObject(const ns::Class& cls, ns::Object& object, const ns::Value& oldValue,
                                   const MMProperty& property);

// Whether dictionaries are built at the replaced key paths: the class's own flag, else the nearest
// superclass's; YES for every class unless a class of its chain stored NO.
void mm_referenceReplacedKeyWhenCreatingKeyValues(const ns::Class& cls, bool reference);
bool mm_isReferenceReplacedKeyWhenCreatingKeyValues(const ns::Class& cls);

}  // namespace ql
