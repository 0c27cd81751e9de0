#pragma once
// The older, unprefixed names of the model-mapping operations, kept as plain forwarders. A form with an
// `error` out-parameter runs the operation and then, when there is one, stores the last error of the
// class concerned (the class given, or the class of the object given); on success it leaves it alone.

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "mapping/MMClass.h"
#include "mapping/MMExtension.h"
#include "mapping/MMFoundation.h"
#include "mapping/MMKeyValue.h"

namespace ql {

namespace detail {

template <class Result>
Result withError(const ns::Class* cls, ns::Error* error, Result result) {
    if (error && cls)
        if (auto last = mm_error(*cls)) *error = std::move(*last);
    return result;
}

inline const ns::Class* classOfReceiver(const ns::Value& receiver) { return MMFoundation::classOfValue(receiver); }

}  // namespace detail

// ---- Conversions ----

inline ns::Object& setKeyValues(ns::Object& object, const ns::Value& keyValues) { return mm_setKeyValues(object, keyValues); }
inline ns::Object& setKeyValues(ns::Object& object, const ns::Value& keyValues, ns::Error* error) {
    return detail::withError<ns::Object&>(&object.objectClass(), error, mm_setKeyValues(object, keyValues));
}
inline void referenceReplacedKeyWhenCreatingKeyValues(const ns::Class& cls, bool reference) {
    mm_referenceReplacedKeyWhenCreatingKeyValues(cls, reference);
}

inline ns::Value keyValues(const ns::Value& object) { return mm_keyValues(object); }
inline ns::Value keyValuesWithError(const ns::Value& object, ns::Error* error) {
    ns::Value result = mm_keyValues(object);
    return detail::withError(detail::classOfReceiver(object), error, std::move(result));
}
inline ns::Value keyValuesWithKeys(const ns::Value& object, const std::vector<std::string>& keys) {
    return mm_keyValuesWithKeys(object, keys);
}
inline ns::Value keyValuesWithKeys(const ns::Value& object, const std::vector<std::string>& keys, ns::Error* error) {
    ns::Value result = mm_keyValuesWithKeys(object, keys);
    return detail::withError(detail::classOfReceiver(object), error, std::move(result));
}
inline ns::Value keyValuesWithIgnoredKeys(const ns::Value& object, const std::vector<std::string>& ignoredKeys) {
    return mm_keyValuesWithIgnoredKeys(object, ignoredKeys);
}
inline ns::Value keyValuesWithIgnoredKeys(const ns::Value& object, const std::vector<std::string>& ignoredKeys,
                                          ns::Error* error) {
    ns::Value result = mm_keyValuesWithIgnoredKeys(object, ignoredKeys);
    return detail::withError(detail::classOfReceiver(object), error, std::move(result));
}

inline ns::Value keyValuesArrayWithObjectArray(const ns::Class& cls, const ns::Value& objectArray) {
    return mm_keyValuesArrayWithObjectArray(cls, objectArray);
}
inline ns::Value keyValuesArrayWithObjectArray(const ns::Class& cls, const ns::Value& objectArray, ns::Error* error) {
    return detail::withError(&cls, error, mm_keyValuesArrayWithObjectArray(cls, objectArray));
}
inline ns::Value keyValuesArrayWithObjectArray(const ns::Class& cls, const ns::Value& objectArray,
                                               const std::vector<std::string>& keys) {
    return mm_keyValuesArrayWithObjectArray(cls, objectArray, keys);
}
inline ns::Value keyValuesArrayWithObjectArray(const ns::Class& cls, const ns::Value& objectArray,
                                               const std::vector<std::string>& keys, ns::Error* error) {
    return detail::withError(&cls, error, mm_keyValuesArrayWithObjectArray(cls, objectArray, keys));
}
inline ns::Value keyValuesArrayWithObjectArrayIgnoredKeys(const ns::Class& cls, const ns::Value& objectArray,
                                                          const std::vector<std::string>& ignoredKeys) {
    return mm_keyValuesArrayWithObjectArrayIgnoredKeys(cls, objectArray, ignoredKeys);
}
inline ns::Value keyValuesArrayWithObjectArrayIgnoredKeys(const ns::Class& cls, const ns::Value& objectArray,
                                                          const std::vector<std::string>& ignoredKeys, ns::Error* error) {
    return detail::withError(&cls, error, mm_keyValuesArrayWithObjectArrayIgnoredKeys(cls, objectArray, ignoredKeys));
}

inline std::shared_ptr<ns::Object> objectWithKeyValues(const ns::Class& cls, const ns::Value& keyValues) {
    return mm_objectWithKeyValues(cls, keyValues);
}
inline std::shared_ptr<ns::Object> objectWithKeyValues(const ns::Class& cls, const ns::Value& keyValues, ns::Error* error) {
    return detail::withError(&cls, error, mm_objectWithKeyValues(cls, keyValues));
}
inline std::shared_ptr<ns::Object> objectWithFilename(const ns::Class& cls, std::string_view filename) {
    return mm_objectWithFilename(cls, filename);
}
inline std::shared_ptr<ns::Object> objectWithFilename(const ns::Class& cls, std::string_view filename, ns::Error* error) {
    return detail::withError(&cls, error, mm_objectWithFilename(cls, filename));
}
inline std::shared_ptr<ns::Object> objectWithFile(const ns::Class& cls, std::string_view file) {
    return mm_objectWithFile(cls, file);
}
inline std::shared_ptr<ns::Object> objectWithFile(const ns::Class& cls, std::string_view file, ns::Error* error) {
    return detail::withError(&cls, error, mm_objectWithFile(cls, file));
}
inline ns::Value objectArrayWithKeyValuesArray(const ns::Class& cls, const ns::Value& keyValuesArray) {
    return mm_objectArrayWithKeyValuesArray(cls, keyValuesArray);
}
inline ns::Value objectArrayWithKeyValuesArray(const ns::Class& cls, const ns::Value& keyValuesArray, ns::Error* error) {
    return detail::withError(&cls, error, mm_objectArrayWithKeyValuesArray(cls, keyValuesArray));
}
inline ns::Value objectArrayWithFilename(const ns::Class& cls, std::string_view filename) {
    return mm_objectArrayWithFilename(cls, filename);
}
inline ns::Value objectArrayWithFilename(const ns::Class& cls, std::string_view filename, ns::Error* error) {
    return detail::withError(&cls, error, mm_objectArrayWithFilename(cls, filename));
}
inline ns::Value objectArrayWithFile(const ns::Class& cls, std::string_view file) { return mm_objectArrayWithFile(cls, file); }
inline ns::Value objectArrayWithFile(const ns::Class& cls, std::string_view file, ns::Error* error) {
    return detail::withError(&cls, error, mm_objectArrayWithFile(cls, file));
}

inline std::optional<ns::Data> JSONData(const ns::Value& object) { return mm_JSONData(object); }
inline ns::Value JSONObject(const ns::Value& object) { return mm_JSONObject(object); }
inline std::optional<std::string> JSONString(const ns::Value& object) { return mm_JSONString(object); }

// ---- Class configuration ----

inline void enumerateProperties(const ns::Class& cls, const MMPropertyEnumerator& block) { mm_enumerateProperties(cls, block); }
inline void setupNewValueFromOldValue(const ns::Class& cls, MMNewValueBlock block) {
    mm_setupNewValueFromOldValue(cls, std::move(block));
}
inline ns::Value getNewValueFromObject(const ns::Class& cls, ns::Object& object, const ns::Value& oldValue,
                                       const MMProperty& property) {
    return mm_getNewValueFromObject(cls, object, oldValue, property);
}
inline void setupReplacedKeyFromPropertyName(const ns::Class& cls, const MMValueBlock& block) {
    mm_setupReplacedKeyFromPropertyName(cls, block);
}
inline void setupReplacedKeyFromPropertyName121(const ns::Class& cls, MMReplacedKeyBlock block) {
    mm_setupReplacedKeyFromPropertyName121(cls, std::move(block));
}
inline void setupObjectClassInArray(const ns::Class& cls, const MMValueBlock& block) { mm_setupObjectClassInArray(cls, block); }

// ---- Texts ----

inline std::string underlineFromCamel(std::string_view text) { return mm_underlineFromCamel(text); }
inline std::string camelFromUnderline(std::string_view text) { return mm_camelFromUnderline(text); }
inline std::string firstCharLower(std::string_view text) { return mm_firstCharLower(text); }
inline std::string firstCharUpper(std::string_view text) { return mm_firstCharUpper(text); }
inline bool isPureInt(std::string_view text) { return mm_isPureInt(text); }
inline std::optional<ns::URL> url(std::string_view text) { return mm_url(text); }

}  // namespace ql
