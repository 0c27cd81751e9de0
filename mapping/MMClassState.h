#pragma once
// Internal to model mapping: what one conversion of a class needs, gathered once from the caches and
// the configuration of the class chain, and the class's error slot.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "mapping/MMClass.h"
#include "mapping/MMHooks.h"
#include "platform/foundation/Class.h"

namespace ql::detail {

using MMNames = std::vector<std::string>;

bool contains(const MMNames& names, const std::string& name);

struct MMConversionPlan {
    std::shared_ptr<const MMPropertyList> properties;
    std::shared_ptr<const MMNames> allowed;
    std::shared_ptr<const MMNames> ignored;
    bool filtersNames = false;  // either list is not empty
    bool isFromFoundation = false;
    bool referenceReplacedKey = true;
    // Every property is written under one dictionary key (its name, or a replaced key without dots and
    // brackets), so a dictionary can be built in one pass and sorted once.
    bool writesFlatKeys = false;
    MMClassHooks::NewValueHook newValueHook = nullptr;        // the object's own
    MMClassHooks::NewValueHook legacyNewValueHook = nullptr;  // the class's older one
    MMNewValueBlock newValueBlock;                            // the nearest set up on the chain
    void (*didConvertToObject)(ns::Object&) = nullptr;
    void (*didConvertToKeyValues)(const ns::Object&) = nullptr;

    bool hasNewValue() const { return newValueHook || legacyNewValueHook || newValueBlock; }
    ns::Value newValue(ns::Object& object, const ns::Value& oldValue, const MMProperty& property) const;
    // Whether a property takes part, by the class's allowed and ignored names.
    bool admits(const std::string& name) const {
        return !filtersNames || ((allowed->empty() || contains(*allowed, name)) && !contains(*ignored, name));
    }
};

// Clears the class's error and gives the plan for converting one object of it.
std::shared_ptr<const MMConversionPlan> beginConversion(const ns::Class& cls);
// The properties and coding names for archiving an object of the class.
std::shared_ptr<const MMConversionPlan> codingPlan(const ns::Class& cls);

void clearError(const ns::Class& cls);
// Records an error of model mapping (code 250, the message as its domain) on the class.
void recordError(const ns::Class& cls, std::string_view message);

}  // namespace ql::detail
