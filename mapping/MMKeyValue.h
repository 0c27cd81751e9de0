#pragma once
// Conversion between dictionaries, arrays or JSON text and model objects, by the property lists and
// configuration of MMClass.h. Request models become parameter dictionaries with mm_keyValues; parsed
// replies become reply models with mm_objectWithKeyValues.
//
// Conversions never throw for bad input: they record an error (code 250, the message as its domain) on
// the class concerned, readable with mm_error, and give nil, nullptr or the receiver unchanged. Each
// public conversion clears the error of its class first.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "mapping/MMClass.h"
#include "mapping/MMHooks.h"
#include "platform/foundation/Class.h"
#include "platform/foundation/Data.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Object.h"
#include "platform/foundation/Value.h"

namespace ql {

inline constexpr std::int64_t MMErrorCode = 250;
inline constexpr std::string_view MMErrorKeyValuesNotDictionary = "keyValues参数不是一个字典";
inline constexpr std::string_view MMErrorKeyValuesArrayNotArray = "keyValuesArray参数不是一个数组";
inline constexpr std::string_view MMErrorObjectArrayNotArray = "objectArray参数不是一个数组";
inline constexpr std::string_view MMErrorNotCustomModelClass = "不是自定义的模型类";
inline constexpr std::string_view MMErrorFilenameNil = "filename参数为nil";
inline constexpr std::string_view MMErrorFileNil = "file参数为nil";
// Nesting deeper than MMMaxNestingDepth models or arrays (a cycle of models, hostile input) stops there.
inline constexpr std::string_view MMErrorNestingTooDeep = "嵌套层数超过上限";
inline constexpr int MMMaxNestingDepth = 128;

// The last error of a conversion on the class (or on objects of it); nothing after a clean one.
std::optional<ns::Error> mm_error(const ns::Class& cls);
void mm_setError(const ns::Class& cls, std::optional<ns::Error> error);

// ---- Dictionary to model ----

// A new instance filled from a dictionary, JSON text or data, or another model (through its
// dictionary); nullptr when the input is no dictionary or the class cannot be instantiated.
std::shared_ptr<ns::Object> mm_objectWithKeyValues(const ns::Class& cls, const ns::Value& keyValues);
template <class T>
std::shared_ptr<T> mm_objectWithKeyValues(const ns::Value& keyValues) {
    return std::dynamic_pointer_cast<T>(mm_objectWithKeyValues(T::classObject(), keyValues));
}
// Fills the object's properties; properties the input does not name stay as they are.
ns::Object& mm_setKeyValues(ns::Object& object, const ns::Value& keyValues);
// A mutable array of instances, one per dictionary of the input (nested arrays stay nested); elements
// that are no dictionaries are dropped. For a platform value class, a mutable copy of the array.
ns::Value mm_objectArrayWithKeyValuesArray(const ns::Class& cls, const ns::Value& keyValuesArray);

// An instance or array from a property-list file, or from the main bundle's resource of that name.
// An empty name or path counts as none.
std::shared_ptr<ns::Object> mm_objectWithFilename(const ns::Class& cls, std::string_view filename);
std::shared_ptr<ns::Object> mm_objectWithFile(const ns::Class& cls, std::string_view file);
ns::Value mm_objectArrayWithFilename(const ns::Class& cls, std::string_view filename);
ns::Value mm_objectArrayWithFile(const ns::Class& cls, std::string_view file);

// ---- Model to dictionary ----

// A mutable dictionary of the object's properties (numbers boxed, nested models as dictionaries, arrays
// of models as arrays of dictionaries), at the replaced key paths unless the class says otherwise.
// `keys` keeps only the named properties, `ignoredKeys` leaves the named ones out; empty means none.
// A receiver that is no model (a text, an array, a platform object) is given back as it is.
ns::Value mm_keyValues(const ns::Object& object);
ns::Value mm_keyValuesWithKeys(const ns::Object& object, const std::vector<std::string>& keys);
ns::Value mm_keyValuesWithIgnoredKeys(const ns::Object& object, const std::vector<std::string>& ignoredKeys);
ns::Value mm_keyValuesWithKeys(const ns::Object& object, const std::vector<std::string>& keys,
                               const std::vector<std::string>& ignoredKeys);
ns::Value mm_keyValues(const ns::Value& object);
ns::Value mm_keyValuesWithKeys(const ns::Value& object, const std::vector<std::string>& keys);
ns::Value mm_keyValuesWithIgnoredKeys(const ns::Value& object, const std::vector<std::string>& ignoredKeys);
ns::Value mm_keyValuesWithKeys(const ns::Value& object, const std::vector<std::string>& keys,
                               const std::vector<std::string>& ignoredKeys);

// A mutable array with each element converted as by mm_keyValuesWithKeys (with `keys` when given, else
// with `ignoredKeys`); nil, with the error on `cls`, when the input is no array.
ns::Value mm_keyValuesArrayWithObjectArray(const ns::Class& cls, const ns::Value& objectArray);
ns::Value mm_keyValuesArrayWithObjectArray(const ns::Class& cls, const ns::Value& objectArray,
                                           const std::vector<std::string>& keys);
ns::Value mm_keyValuesArrayWithObjectArrayIgnoredKeys(const ns::Class& cls, const ns::Value& objectArray,
                                                      const std::vector<std::string>& ignoredKeys);
ns::Value mm_keyValuesArrayWithObjectArray(const ns::Class& cls, const ns::Value& objectArray,
                                           const std::vector<std::string>& keys,
                                           const std::vector<std::string>& ignoredKeys);

// ---- JSON ----

// Text and data are parsed as JSON (nil when they do not parse); anything else gives its mm_keyValues.
ns::Value mm_JSONObject(const ns::Value& object);
// Text as its UTF-8 bytes, data as itself, anything else as the JSON of its mm_JSONObject.
std::optional<ns::Data> mm_JSONData(const ns::Value& object);
// Text as itself, data decoded as UTF-8, anything else as the text of its mm_JSONData.
std::optional<std::string> mm_JSONString(const ns::Value& object);

}  // namespace ql
