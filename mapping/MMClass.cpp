#include "mapping/MMClass.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <shared_mutex>
#include <unordered_map>

#include "mapping/MMClassState.h"
#include "mapping/MMFoundation.h"
#include "mapping/MMHooks.h"
#include "mapping/MMKeyValue.h"
#include "platform/foundation/Error.h"

namespace ql {

namespace {

// Slots of configuration a class may hold as values; the first four are the name kinds.
enum Slot { AllowedNames, IgnoredNames, AllowedCodingNames, IgnoredCodingNames, ReplacedKeys, ObjectClasses, SlotCount };
constexpr int kNameKinds = 4;

// A cache is valid while its stamp equals the generation that was current when it was built; "emptying
// the cache of all classes" is one increment.
using Generation = std::uint64_t;

struct ClassState {
    explicit ClassState(const ns::Class& cls) {
        // The root carries YES, so every class builds dictionaries at the replaced keys unless its chain
        // says otherwise.
        if (&cls == &ns::Object::classObject()) referenceFlag = true;
    }

    std::mutex mutex;
    std::array<std::optional<ns::Value>, SlotCount> slots;
    MMReplacedKeyBlock replacedKey121;
    MMNewValueBlock newValue;
    std::optional<bool> referenceFlag;
    std::optional<ns::Error> error;

    std::array<std::shared_ptr<const detail::MMNames>, kNameKinds> totals;
    std::array<Generation, kNameKinds> totalsStamp{};
    std::shared_ptr<const MMPropertyList> properties;
    Generation propertiesStamp = 0;
    std::shared_ptr<const detail::MMConversionPlan> plan;
    std::array<Generation, 4> planStamp{};
};

struct States {
    std::shared_mutex mutex;
    std::unordered_map<const ns::Class*, std::unique_ptr<ClassState>> byClass;
    std::array<std::atomic<Generation>, kNameKinds> totalsGeneration{1, 1, 1, 1};
    std::atomic<Generation> propertiesGeneration{1};
    // Bumped by the setups that decide new values and the reference flag.
    std::atomic<Generation> resolutionGeneration{1};
};

States& states() {
    static States* s = new States;
    return *s;
}

ClassState& lookUpState(const ns::Class& cls) {
    States& s = states();
    {
        std::shared_lock lock(s.mutex);
        auto it = s.byClass.find(&cls);
        if (it != s.byClass.end()) return *it->second;
    }
    std::unique_lock lock(s.mutex);
    auto& state = s.byClass[&cls];
    if (!state) state = std::make_unique<ClassState>(cls);
    return *state;
}

// States live as long as the classes they describe, for the whole process, so each thread may remember
// the ones it used last and spare itself the shared lookup of every nested conversion.
ClassState& stateOf(const ns::Class& cls) {
    thread_local std::array<std::pair<const ns::Class*, ClassState*>, 16> recent{};
    auto& slot = recent[(reinterpret_cast<std::uintptr_t>(&cls) / alignof(ns::Class)) % recent.size()];
    if (slot.first != &cls) slot = {&cls, &lookUpState(cls)};
    return *slot.second;
}

std::optional<ns::Value> slotOf(const ns::Class& cls, Slot slot) {
    ClassState& state = stateOf(cls);
    std::lock_guard lock(state.mutex);
    return state.slots[slot];
}

// The first non-nil answer of `get` from the class up to the root.
template <class Get>
ns::Value firstUpTheChain(const ns::Class& cls, Get get) {
    for (const ns::Class* c = &cls; c; c = c->superclass()) {
        ns::Value v = get(*c);
        if (!v.isNil()) return v;
    }
    return {};
}

ns::Value entryOf(const ns::Value& dictionary, std::string_view name) { return dictionary[name]; }

void setupSlot(const ns::Class& cls, Slot slot, const MMValueBlock& block) {
    std::optional<ns::Value> value;
    if (block) value = block();
    ClassState& state = stateOf(cls);
    {
        std::lock_guard lock(state.mutex);
        // Models set their configuration again each time one is made; an unchanged setting leaves the
        // caches of every class as they are.
        if (state.slots[slot].has_value() == value.has_value() && (!value || *state.slots[slot] == *value)) return;
        state.slots[slot] = std::move(value);
    }
    States& s = states();
    if (slot < kNameKinds) ++s.totalsGeneration[slot];
    else ++s.propertiesGeneration;
}

std::shared_ptr<const detail::MMNames> totalsOf(const ns::Class& cls, Slot kind) {
    States& s = states();
    ClassState& state = stateOf(cls);
    const Generation generation = s.totalsGeneration[kind].load();
    {
        std::lock_guard lock(state.mutex);
        if (state.totalsStamp[kind] == generation) return state.totals[kind];
    }
    auto names = std::make_shared<detail::MMNames>();
    auto append = [&names](const ns::Value& list) {
        if (const ns::Array* a = list.asArray())
            for (const ns::Value& name : *a)
                if (name.isString()) names->emplace_back(name.asString());
    };
    if (const MMClassHooks* hooks = mm_classHooks(cls)) {
        const MMClassHooks::ValueHook hook[] = {hooks->allowedPropertyNames, hooks->ignoredPropertyNames,
                                                hooks->allowedCodingPropertyNames, hooks->ignoredCodingPropertyNames};
        if (hook[kind]) append(hook[kind]());
    }
    for (const ns::Class* c = &cls; c; c = c->superclass())
        if (auto stored = slotOf(*c, kind)) append(*stored);
    std::shared_ptr<const detail::MMNames> result = std::move(names);
    std::lock_guard lock(state.mutex);
    if (state.totalsStamp[kind] != generation) {
        state.totals[kind] = result;
        state.totalsStamp[kind] = generation;
    }
    return result;
}

bool isHiddenPropertyName(const std::string& name) {
    return name == "hash" || name == "superclass" || name == "description" || name == "debugDescription";
}

std::shared_ptr<const MMPropertyList> buildProperties(const ns::Class& cls) {
    auto list = std::make_shared<MMPropertyList>();
    mm_enumerateClasses(cls, [&](const ns::Class& visited, bool&) {
        for (const ns::Property& declared : visited.properties()) {
            MMProperty& property = MMProperty::cachedPropertyWithProperty(declared);
            if (isHiddenPropertyName(property.name())) continue;
            property.setSrcClass(visited);
            // Both questions go to the class being listed, so the most derived configuration decides.
            property.setOriginKey(propertyKey(cls, property.name()), cls);
            property.setObjectClassInArray(propertyObjectClassInArray(cls, property.name()), cls);
            const bool direct = !cls.overridesKeyValueCoding() && declared.get && declared.set &&
                                cls.propertyNamed(declared.name) == &declared;
            list->push_back(
                {&property, property.propertyKeysForClass(cls), property.objectClassInArrayForClass(cls), direct});
        }
    });
    return list;
}

std::vector<std::string> copyOf(const std::shared_ptr<const detail::MMNames>& names) { return *names; }

}  // namespace

// ---- Property list entries ----

ns::Value MMClassProperty::valueForObject(const ns::Object& object) const {
    if (!directAccess || property->type().isKVCDisabled()) return property->valueForObject(object);
    return property->property().get(object);
}

void MMClassProperty::setValue(const ns::Value& value, ns::Object& object) const {
    if (!directAccess || property->type().isKVCDisabled() || value.isNil()) {
        property->setValue(value, object);
        return;
    }
    object.willChangeValueForKey(property->name());
    property->property().set(object, value);
    object.didChangeValueForKey(property->name());
}

// ---- Walking classes ----

void mm_enumerateClasses(const ns::Class& cls, const MMClassEnumerator& block) {
    if (!block) return;
    bool stop = false;
    for (const ns::Class* c = &cls; c && !stop; c = c->superclass()) {
        if (c != &cls && MMFoundation::isClassFromFoundation(c)) break;
        block(*c, stop);
    }
}

void mm_enumerateAllClasses(const ns::Class& cls, const MMClassEnumerator& block) {
    if (!block) return;
    bool stop = false;
    for (const ns::Class* c = &cls; c && !stop; c = c->superclass()) block(*c, stop);
}

// ---- Setups ----

void mm_setupAllowedPropertyNames(const ns::Class& cls, const MMValueBlock& block) { setupSlot(cls, AllowedNames, block); }
void mm_setupIgnoredPropertyNames(const ns::Class& cls, const MMValueBlock& block) { setupSlot(cls, IgnoredNames, block); }
void mm_setupAllowedCodingPropertyNames(const ns::Class& cls, const MMValueBlock& block) {
    setupSlot(cls, AllowedCodingNames, block);
}
void mm_setupIgnoredCodingPropertyNames(const ns::Class& cls, const MMValueBlock& block) {
    setupSlot(cls, IgnoredCodingNames, block);
}
void mm_setupReplacedKeyFromPropertyName(const ns::Class& cls, const MMValueBlock& block) {
    setupSlot(cls, ReplacedKeys, block);
}
void mm_setupObjectClassInArray(const ns::Class& cls, const MMValueBlock& block) { setupSlot(cls, ObjectClasses, block); }

void mm_setupReplacedKeyFromPropertyName121(const ns::Class& cls, MMReplacedKeyBlock block) {
    ClassState& state = stateOf(cls);
    {
        std::lock_guard lock(state.mutex);
        state.replacedKey121 = std::move(block);
    }
    ++states().propertiesGeneration;
}

void mm_setupNewValueFromOldValue(const ns::Class& cls, MMNewValueBlock block) {
    ClassState& state = stateOf(cls);
    {
        std::lock_guard lock(state.mutex);
        state.newValue = std::move(block);
    }
    ++states().resolutionGeneration;
}

void mm_referenceReplacedKeyWhenCreatingKeyValues(const ns::Class& cls, bool reference) {
    ClassState& state = stateOf(cls);
    {
        std::lock_guard lock(state.mutex);
        state.referenceFlag = reference;
    }
    ++states().resolutionGeneration;
}

bool mm_isReferenceReplacedKeyWhenCreatingKeyValues(const ns::Class& cls) {
    for (const ns::Class* c = &cls; c; c = c->superclass()) {
        ClassState& state = stateOf(*c);
        std::lock_guard lock(state.mutex);
        if (state.referenceFlag) return *state.referenceFlag;
    }
    return false;
}

// ---- Totals ----

std::vector<std::string> mm_totalAllowedPropertyNames(const ns::Class& cls) { return copyOf(totalsOf(cls, AllowedNames)); }
std::vector<std::string> mm_totalIgnoredPropertyNames(const ns::Class& cls) { return copyOf(totalsOf(cls, IgnoredNames)); }
std::vector<std::string> mm_totalAllowedCodingPropertyNames(const ns::Class& cls) {
    return copyOf(totalsOf(cls, AllowedCodingNames));
}
std::vector<std::string> mm_totalIgnoredCodingPropertyNames(const ns::Class& cls) {
    return copyOf(totalsOf(cls, IgnoredCodingNames));
}

// ---- Keys, element classes and property lists ----

ns::Value propertyKey(const ns::Class& cls, std::string_view propertyName) {
    if (propertyName.empty()) return {};
    const std::string name(propertyName);
    const MMClassHooks* hooks = mm_classHooks(cls);
    ns::Value key;
    if (hooks && hooks->replacedKeyFromPropertyName121) key = hooks->replacedKeyFromPropertyName121(name);
    if (hooks && hooks->legacyReplacedKeyFromPropertyName121) key = hooks->legacyReplacedKeyFromPropertyName121(name);
    if (key.isNil()) {
        key = firstUpTheChain(cls, [&](const ns::Class& c) {
            MMReplacedKeyBlock block;
            {
                ClassState& state = stateOf(c);
                std::lock_guard lock(state.mutex);
                block = state.replacedKey121;
            }
            return block ? block(name) : ns::Value();
        });
    }
    if (key.isNil() && hooks && hooks->replacedKeyFromPropertyName) key = entryOf(hooks->replacedKeyFromPropertyName(), name);
    if (key.isNil() && hooks && hooks->legacyReplacedKeyFromPropertyName)
        key = entryOf(hooks->legacyReplacedKeyFromPropertyName(), name);
    if (key.isNil()) {
        key = firstUpTheChain(cls, [&](const ns::Class& c) {
            auto stored = slotOf(c, ReplacedKeys);
            return stored ? entryOf(*stored, name) : ns::Value();
        });
    }
    return key.isNil() ? ns::Value(name) : key;
}

const ns::Class* propertyObjectClassInArray(const ns::Class& cls, std::string_view propertyName) {
    const MMClassHooks* hooks = mm_classHooks(cls);
    ns::Value found;
    if (hooks && hooks->objectClassInArray) found = entryOf(hooks->objectClassInArray(), propertyName);
    if (hooks && hooks->legacyObjectClassInArray) found = entryOf(hooks->legacyObjectClassInArray(), propertyName);
    if (found.isNil()) {
        found = firstUpTheChain(cls, [&](const ns::Class& c) {
            auto stored = slotOf(c, ObjectClasses);
            return stored ? entryOf(*stored, propertyName) : ns::Value();
        });
    }
    return found.isString() ? ns::Class::named(found.asString()) : nullptr;
}

std::shared_ptr<const MMPropertyList> properties(const ns::Class& cls) {
    States& s = states();
    ClassState& state = stateOf(cls);
    const Generation generation = s.propertiesGeneration.load();
    {
        std::lock_guard lock(state.mutex);
        if (state.propertiesStamp == generation) return state.properties;
    }
    auto list = buildProperties(cls);
    std::lock_guard lock(state.mutex);
    if (state.propertiesStamp != generation) {
        state.properties = list;
        state.propertiesStamp = generation;
    }
    return list;
}

void mm_enumerateProperties(const ns::Class& cls, const MMPropertyEnumerator& block) {
    if (!block) return;
    auto list = properties(cls);
    bool stop = false;
    for (const MMClassProperty& entry : *list) {
        block(*entry.property, stop);
        if (stop) break;
    }
}

// ---- New values ----

namespace {

MMNewValueBlock nearestNewValueBlock(const ns::Class& cls) {
    for (const ns::Class* c = &cls; c; c = c->superclass()) {
        ClassState& state = stateOf(*c);
        std::lock_guard lock(state.mutex);
        if (state.newValue) return state.newValue;
    }
    return nullptr;
}

}  // namespace

ns::Value mm_getNewValueFromObject(const ns::Class& cls, ns::Object& object, const ns::Value& oldValue,
                                   const MMProperty& property) {
    detail::MMConversionPlan plan;
    if (const MMClassHooks* own = mm_classHooks(object.objectClass())) plan.newValueHook = own->newValueFromOldValue;
    if (const MMClassHooks* hooks = mm_classHooks(cls)) plan.legacyNewValueHook = hooks->legacyNewValueFromOldValue;
    plan.newValueBlock = nearestNewValueBlock(cls);
    return plan.newValue(object, oldValue, property);
}

// ---- Errors ----

std::optional<ns::Error> mm_error(const ns::Class& cls) {
    ClassState& state = stateOf(cls);
    std::lock_guard lock(state.mutex);
    return state.error;
}

void mm_setError(const ns::Class& cls, std::optional<ns::Error> error) {
    ClassState& state = stateOf(cls);
    std::lock_guard lock(state.mutex);
    state.error = std::move(error);
}

namespace detail {

ns::Value MMConversionPlan::newValue(ns::Object& object, const ns::Value& oldValue, const MMProperty& property) const {
    if (newValueHook) return newValueHook(object, oldValue, property);
    if (legacyNewValueHook) return legacyNewValueHook(object, oldValue, property);
    if (newValueBlock) return newValueBlock(object, oldValue, property);
    return oldValue;
}

bool contains(const MMNames& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

namespace {

std::shared_ptr<const MMConversionPlan> buildPlan(const ns::Class& cls, Slot allowed, Slot ignored) {
    auto plan = std::make_shared<MMConversionPlan>();
    plan->properties = properties(cls);
    plan->allowed = totalsOf(cls, allowed);
    plan->ignored = totalsOf(cls, ignored);
    plan->filtersNames = !plan->allowed->empty() || !plan->ignored->empty();
    plan->isFromFoundation = MMFoundation::isClassFromFoundation(&cls);
    plan->referenceReplacedKey = mm_isReferenceReplacedKeyWhenCreatingKeyValues(cls);
    if (const MMClassHooks* hooks = mm_classHooks(cls)) {
        plan->newValueHook = hooks->newValueFromOldValue;
        plan->legacyNewValueHook = hooks->legacyNewValueFromOldValue;
        plan->didConvertToObject = hooks->keyValuesDidFinishConvertingToObject;
        plan->didConvertToKeyValues = hooks->objectDidFinishConvertingToKeyValues;
    }
    plan->newValueBlock = nearestNewValueBlock(cls);
    plan->writesFlatKeys = !plan->referenceReplacedKey ||
                           std::all_of(plan->properties->begin(), plan->properties->end(), [](const MMClassProperty& p) {
                               return p.keyPaths && p.keyPaths->front().size() == 1;
                           });
    return plan;
}

}  // namespace

std::shared_ptr<const MMConversionPlan> beginConversion(const ns::Class& cls) {
    States& s = states();
    ClassState& state = stateOf(cls);
    const std::array<Generation, 4> stamp{s.propertiesGeneration.load(), s.totalsGeneration[AllowedNames].load(),
                                          s.totalsGeneration[IgnoredNames].load(), s.resolutionGeneration.load()};
    {
        std::lock_guard lock(state.mutex);
        state.error.reset();
        if (state.plan && state.planStamp == stamp) return state.plan;
    }
    auto plan = buildPlan(cls, AllowedNames, IgnoredNames);
    std::lock_guard lock(state.mutex);
    state.plan = plan;
    state.planStamp = stamp;
    return plan;
}

std::shared_ptr<const MMConversionPlan> codingPlan(const ns::Class& cls) {
    return buildPlan(cls, AllowedCodingNames, IgnoredCodingNames);
}

void clearError(const ns::Class& cls) { mm_setError(cls, std::nullopt); }

void recordError(const ns::Class& cls, std::string_view message) {
    mm_setError(cls, ns::Error(std::string(message), MMErrorCode));
}

}  // namespace detail

}  // namespace ql
