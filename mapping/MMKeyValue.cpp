#include "mapping/MMKeyValue.h"

#include <algorithm>

#include "mapping/MMClassState.h"
#include "mapping/MMExtension.h"
#include "mapping/MMFoundation.h"
#include "mapping/MMNumberParser.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Exception.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/JSONSerialization.h"
#include "platform/foundation/PropertyListSerialization.h"
#include "platform/foundation/URL.h"

namespace ql {

using detail::MMConversionPlan;

namespace {

// The platform classes the conversions single out, resolved once.
struct Classes {
    const ns::Class* string = &MMFoundation::requiredClass("NSString");
    const ns::Class* mutableString = &MMFoundation::requiredClass("NSMutableString");
    const ns::Class* mutableArray = &MMFoundation::requiredClass("NSMutableArray");
    const ns::Class* mutableDictionary = &MMFoundation::requiredClass("NSMutableDictionary");
    const ns::Class* mutableData = &MMFoundation::requiredClass("NSMutableData");
    const ns::Class* decimalNumber = &MMFoundation::requiredClass("NSDecimalNumber");
    const ns::Class* url = &MMFoundation::requiredClass("NSURL");
};

const Classes& classes() {
    static const Classes c;
    return c;
}

// Nested conversions recurse; a cycle of models or hostile input must end in an error, not in a stack
// overflow.
thread_local int nestingDepth = 0;

class Nesting {
public:
    Nesting() { ++nestingDepth; }
    ~Nesting() { --nestingDepth; }
    Nesting(const Nesting&) = delete;
    Nesting& operator=(const Nesting&) = delete;
    bool tooDeep() const { return nestingDepth > MMMaxNestingDepth; }
};

// mm_JSONObject for the conversions' own use. Dictionaries and arrays are taken as they are, without the
// "no model class" error that mm_keyValues would record on their platform classes.
const ns::Value& normalised(const ns::Value& input, ns::Value& holder) {
    switch (input.kind()) {
        case ns::Value::Kind::String:
        case ns::Value::Kind::Data:
        case ns::Value::Kind::Object: holder = mm_JSONObject(input); return holder;
        default: return input;
    }
}

ns::Value urlValue(std::string_view text) {
    auto url = mm_url(text);
    return url ? url->boxed() : ns::Value();
}

std::optional<std::string> absoluteText(const ns::Value& value) {
    if (!value.isObject()) return std::nullopt;
    auto url = ns::URL::fromValue(value);
    return url ? std::optional<std::string>(url->absoluteString()) : std::nullopt;
}

bool isInstance(const ns::Value& value, const ns::Class& cls) {
    const ns::Class* c = MMFoundation::classOfValue(value);
    return c && c->isSubclassOf(cls);
}

bool isLowercase(std::string_view text, std::string_view word) {
    if (text.size() != word.size()) return false;
    for (std::size_t i = 0; i < text.size(); ++i)
        if ((text[i] >= 'A' && text[i] <= 'Z' ? text[i] + ('a' - 'A') : text[i]) != word[i]) return false;
    return true;
}

// The platform's identity test of two values, as far as values have identity: the same kind and equal.
bool isSameValue(const ns::Value& a, const ns::Value& b) { return a.kind() == b.kind() && a == b; }

const ns::Value* rawValue(const ns::Value& dictionary, const MMClassProperty& entry) {
    if (!entry.keyPaths) return nullptr;
    for (const MMKeyPath& path : *entry.keyPaths) {
        const ns::Value* v = &dictionary;
        for (const MMPropertyKey& key : path) {
            v = key.find(*v);
            if (!v) break;
        }
        if (v && !v->isNil()) return v;
    }
    return nullptr;
}

// A text for a property that wants a number: parsed independently of the locale; booleans also read
// yes/true/no/false.
ns::Value numberForText(std::string_view text, const MMPropertyType& type) {
    ns::Value number = detail::numberFromText(text);
    if (type.isBoolType()) {
        if (isLowercase(text, "yes") || isLowercase(text, "true")) return ns::Value(true);
        if (isLowercase(text, "no") || isLowercase(text, "false")) return ns::Value(false);
    }
    return number;
}

ns::Value urlArray(const ns::Array& texts) {
    ns::Array urls;
    for (const ns::Value& text : texts) {
        if (!text.isString()) continue;
        // A text that makes no URL is dropped like any other element that is no URL.
        if (ns::Value url = urlValue(text.asString()); !url.isNil()) urls.push_back(std::move(url));
    }
    return ns::Value(std::move(urls));
}

void applyProperty(ns::Object& object, const MMConversionPlan& plan, const MMClassProperty& entry,
                   const ns::Value& dictionary) {
    const MMProperty& property = *entry.property;
    if (!plan.admits(property.name())) return;
    static const auto& nil = *new ns::Value;
    const ns::Value* raw = rawValue(dictionary, entry);
    if (!raw) raw = &nil;

    if (plan.hasNewValue()) {
        ns::Value answer = plan.newValue(object, *raw, property);
        if (!isSameValue(answer, *raw)) {
            entry.setValue(answer, object);
            return;
        }
    }
    if (raw->isNil() || raw->isNull()) return;

    const Classes& c = classes();
    const MMPropertyType& type = property.type();
    const ns::Class* typeClass = type.typeClass();
    const ns::Class* elementClass = entry.objectClassInArray;
    // The common case: a value that already is what its property wants goes in as it is, since none of
    // the conversions below would change it.
    if (!elementClass && (typeClass ? type.isFromFoundation() && isInstance(*raw, *typeClass)
                                    : !(raw->isString() && type.isNumberType()))) {
        entry.setValue(*raw, object);
        return;
    }
    ns::Value value = *raw;

    if (typeClass) {
        if ((typeClass == c.mutableArray && value.isArray()) || (typeClass == c.mutableDictionary && value.isDictionary()) ||
            (typeClass == c.mutableString && value.isString()) || (typeClass == c.mutableData && value.isData()))
            value.setMutable(true);
    }

    if (typeClass && !type.isFromFoundation()) {
        auto nested = mm_objectWithKeyValues(*typeClass, value);
        value = nested ? ns::Value(std::move(nested)) : ns::Value();
    } else if (!elementClass) {
        bool typeChecked = typeClass != nullptr;
        if (typeClass == c.string) {
            if (value.isNumber()) value = ns::Value(value.stringValue());
            else if (auto text = absoluteText(value)) value = ns::Value(std::move(*text));
        } else if (value.isString()) {
            if (typeClass == c.url) {
                value = urlValue(value.asString());
            } else if (type.isNumberType()) {
                value = numberForText(value.asString(), type);
                // The value type has no decimal kind: a decimal read from text is a plain number, and only
                // a text becomes one.
                if (typeClass == c.decimalNumber) typeChecked = false;
            }
        }
        if (typeChecked && !value.isNil() && !isInstance(value, *typeClass)) value = ns::Value();
    } else if (elementClass == c.url && value.isArray()) {
        value = urlArray(*value.asArray());
    } else {
        value = mm_objectArrayWithKeyValuesArray(*elementClass, value);
    }
    entry.setValue(value, object);
}

void applyKeyValues(ns::Object& object, const ns::Value& dictionary) {
    const ns::Class& cls = object.objectClass();
    const std::shared_ptr<const MMConversionPlan> plan = detail::beginConversion(cls);
    for (const MMClassProperty& entry : *plan->properties) {
        try {
            applyProperty(object, *plan, entry, dictionary);
        } catch (const ns::Exception& e) {
            detail::recordError(cls, e.reason());
        }
    }
    if (plan->didConvertToObject) plan->didConvertToObject(object);
}

// ---- Writing at key paths ----

// The child a key reaches in a container this conversion may write into: nullptr with `writable` false
// when the container is immutable or of the other kind.
ns::Value* childOf(ns::Value& container, const MMPropertyKey& key, bool& writable) {
    writable = false;
    if (!container.isMutable()) return nullptr;
    if (key.type() == MMPropertyKey::Type::Dictionary) {
        ns::Dictionary* d = container.mutableDictionaryStorage();
        if (!d) return nullptr;
        writable = true;
        return d->find(key.name());
    }
    ns::Array* a = container.mutableArrayStorage();
    if (!a) return nullptr;
    writable = true;
    return static_cast<std::size_t>(key.index()) < a->size() ? &(*a)[static_cast<std::size_t>(key.index())] : nullptr;
}

// Stores a value under a key; nullptr when the container cannot take it.
ns::Value* store(ns::Value& container, const MMPropertyKey& key, ns::Value value) {
    if (!container.isMutable()) return nullptr;
    if (key.type() == MMPropertyKey::Type::Dictionary) {
        ns::Dictionary* d = container.mutableDictionaryStorage();
        if (!d) return nullptr;
        d->set(key.name(), std::move(value));
        return d->find(key.name());
    }
    ns::Array* a = container.mutableArrayStorage();
    if (!a) return nullptr;
    const auto index = static_cast<std::size_t>(key.index());
    if (a->size() <= index) a->resize(index + 1, ns::Value::null());
    (*a)[index] = std::move(value);
    return &(*a)[index];
}

// Writes a value at a key path of the dictionary being built, making the containers on the way. A step
// that meets an immutable container, a container of the other kind or a negative index skips the write.
void writeAtKeyPath(ns::Value& root, const MMKeyPath& keys, ns::Value value) {
    for (const MMPropertyKey& key : keys)
        if (key.type() == MMPropertyKey::Type::Array && key.index() < 0) return;
    ns::Value* current = &root;
    for (std::size_t i = 0; i + 1 < keys.size(); ++i) {
        const MMPropertyKey& next = keys[i + 1];
        bool writable = false;
        ns::Value* found = childOf(*current, keys[i], writable);
        if (!writable) return;
        if (!found || found->isNil() || found->isNull()) {
            found = store(*current, keys[i], next.type() == MMPropertyKey::Type::Array ? ns::Value::mutableArray()
                                                                                     : ns::Value::mutableDictionary());
            if (!found) return;
        }
        if (found->isArray() && found->isMutable() && next.type() == MMPropertyKey::Type::Array) {
            ns::Array* a = found->mutableArrayStorage();
            if (a->size() <= static_cast<std::size_t>(next.index()))
                a->resize(static_cast<std::size_t>(next.index()) + 1, ns::Value::null());
        }
        current = found;
    }
    store(*current, keys.back(), std::move(value));
}

// One element of an array being turned into dictionaries: models convert, plain values stay themselves.
ns::Value elementKeyValues(const ns::Value& element, const std::vector<std::string>& keys,
                           const std::vector<std::string>& ignoredKeys) {
    if (auto object = element.asObject()) return mm_keyValuesWithKeys(*object, keys, ignoredKeys);
    return element;
}

ns::Value keyValuesArray(const ns::Array& objects, const std::vector<std::string>& keys,
                         const std::vector<std::string>& ignoredKeys) {
    ns::Array out;
    out.reserve(objects.size());
    for (const ns::Value& element : objects) {
        ns::Value converted = elementKeyValues(element, keys, ignoredKeys);
        if (!converted.isNil()) out.push_back(std::move(converted));
    }
    return ns::Value::mutableArray(std::move(out));
}

ns::Value keyValuesArray(const ns::Class& cls, const ns::Value& objectArray, const std::vector<std::string>& keys,
                         const std::vector<std::string>& ignoredKeys) {
    detail::clearError(cls);
    const ns::Array* objects = objectArray.asArray();
    if (!objects) {
        detail::recordError(cls, MMErrorObjectArrayNotArray);
        return {};
    }
    return keyValuesArray(*objects, keys, ignoredKeys);
}

// An array property's value in a dictionary being built. An array of plain values comes out equal to
// itself, so it is shared rather than copied; its holders copy it before they change it.
ns::Value arrayPropertyKeyValues(ns::Value array) {
    const ns::Array& elements = *array.asArray();
    if (std::none_of(elements.begin(), elements.end(), [](const ns::Value& e) { return e.isObject(); })) {
        array.setMutable(true);
        return array;
    }
    return keyValuesArray(elements, {}, {});
}

ns::Value objectValue(const ns::Object& object) {
    return ns::Value(std::const_pointer_cast<ns::Object>(object.weak_from_this().lock()));
}

}  // namespace

// ---- Dictionary to model ----

std::shared_ptr<ns::Object> mm_objectWithKeyValues(const ns::Class& cls, const ns::Value& keyValues) {
    Nesting nesting;
    if (nesting.tooDeep()) {
        detail::recordError(cls, MMErrorNestingTooDeep);
        return nullptr;
    }
    ns::Value holder;
    const ns::Value& dictionary = normalised(keyValues, holder);
    if (!dictionary.isDictionary()) {
        detail::recordError(cls, MMErrorKeyValuesNotDictionary);
        return nullptr;
    }
    std::shared_ptr<ns::Object> object = cls.createInstance();
    if (!object) {
        detail::clearError(cls);
        return nullptr;
    }
    applyKeyValues(*object, dictionary);
    return object;
}

ns::Object& mm_setKeyValues(ns::Object& object, const ns::Value& keyValues) {
    Nesting nesting;
    const ns::Class& cls = object.objectClass();
    if (nesting.tooDeep()) {
        detail::recordError(cls, MMErrorNestingTooDeep);
        return object;
    }
    ns::Value holder;
    const ns::Value& dictionary = normalised(keyValues, holder);
    if (!dictionary.isDictionary()) {
        detail::recordError(cls, MMErrorKeyValuesNotDictionary);
        return object;
    }
    applyKeyValues(object, dictionary);
    return object;
}

ns::Value mm_objectArrayWithKeyValuesArray(const ns::Class& cls, const ns::Value& keyValuesArray) {
    Nesting nesting;
    if (nesting.tooDeep()) {
        detail::recordError(cls, MMErrorNestingTooDeep);
        return {};
    }
    ns::Value holder;
    const ns::Value& array = normalised(keyValuesArray, holder);
    detail::clearError(cls);
    const ns::Array* elements = array.asArray();
    if (!elements) {
        detail::recordError(cls, MMErrorKeyValuesArrayNotArray);
        return {};
    }
    if (MMFoundation::isClassFromFoundation(&cls)) {
        ns::Value copy = array;
        copy.setMutable(true);
        return copy;
    }
    ns::Array objects;
    objects.reserve(elements->size());
    for (const ns::Value& element : *elements) {
        if (element.isArray()) {
            if (ns::Value nested = mm_objectArrayWithKeyValuesArray(cls, element); !nested.isNil())
                objects.push_back(std::move(nested));
        } else if (auto object = mm_objectWithKeyValues(cls, element)) {
            objects.emplace_back(std::move(object));
        }
    }
    return ns::Value::mutableArray(std::move(objects));
}

// ---- Files ----

namespace {

// The property list of a file when its root is of the kind asked for; nil otherwise.
ns::Value propertyListOfFile(std::string_view file, ns::Value::Kind root) {
    auto data = ns::dataWithContentsOfFile(std::string(file), ns::PropertyListSerialization::kMaxFileLength);
    if (!data) return {};
    ns::Value plist = ns::PropertyListSerialization::propertyListWithData(*data, ns::PropertyListImmutable, nullptr, nullptr);
    return plist.kind() == root ? plist : ns::Value();
}

std::string resourcePath(std::string_view filename) {
    return ns::Bundle::main().pathForResource(filename, "").value_or(std::string());
}

}  // namespace

std::shared_ptr<ns::Object> mm_objectWithFile(const ns::Class& cls, std::string_view file) {
    detail::clearError(cls);
    if (file.empty()) {
        detail::recordError(cls, MMErrorFileNil);
        return nullptr;
    }
    return mm_objectWithKeyValues(cls, propertyListOfFile(file, ns::Value::Kind::Dictionary));
}

std::shared_ptr<ns::Object> mm_objectWithFilename(const ns::Class& cls, std::string_view filename) {
    detail::clearError(cls);
    if (filename.empty()) {
        detail::recordError(cls, MMErrorFilenameNil);
        return nullptr;
    }
    return mm_objectWithFile(cls, resourcePath(filename));
}

ns::Value mm_objectArrayWithFile(const ns::Class& cls, std::string_view file) {
    detail::clearError(cls);
    if (file.empty()) {
        detail::recordError(cls, MMErrorFileNil);
        return {};
    }
    return mm_objectArrayWithKeyValuesArray(cls, propertyListOfFile(file, ns::Value::Kind::Array));
}

ns::Value mm_objectArrayWithFilename(const ns::Class& cls, std::string_view filename) {
    detail::clearError(cls);
    if (filename.empty()) {
        detail::recordError(cls, MMErrorFilenameNil);
        return {};
    }
    return mm_objectArrayWithFile(cls, resourcePath(filename));
}

// ---- Model to dictionary ----

ns::Value mm_keyValuesWithKeys(const ns::Object& object, const std::vector<std::string>& keys,
                               const std::vector<std::string>& ignoredKeys) {
    const ns::Class& cls = object.objectClass();
    Nesting nesting;
    if (nesting.tooDeep()) {
        detail::recordError(cls, MMErrorNestingTooDeep);
        return {};
    }
    const std::shared_ptr<const MMConversionPlan> plan = detail::beginConversion(cls);
    if (plan->isFromFoundation) {
        detail::recordError(cls, MMErrorNotCustomModelClass);
        return objectValue(object);
    }
    const Classes& c = classes();
    ns::Value result = ns::Value::mutableDictionary();
    ns::Dictionary flat;
    if (plan->writesFlatKeys) flat.reserve(plan->properties->size());
    for (const MMClassProperty& entry : *plan->properties) {
        const MMProperty& property = *entry.property;
        const std::string& name = property.name();
        if (!plan->admits(name) || (!keys.empty() && !detail::contains(keys, name)) || detail::contains(ignoredKeys, name))
            continue;
        ns::Value value = entry.valueForObject(object);
        if (value.isNil()) continue;
        const MMPropertyType& type = property.type();
        if (!type.typeClass() || type.isFromFoundation()) {
            if (value.isArray()) value = arrayPropertyKeyValues(std::move(value));
            else if (type.typeClass() == c.url)
                if (auto text = absoluteText(value)) value = ns::Value(std::move(*text));
        } else {
            value = mm_keyValues(value);
            if (value.isNil()) continue;
        }
        if (!plan->referenceReplacedKey) flat.appendUnsorted(name, std::move(value));
        else if (plan->writesFlatKeys) flat.appendUnsorted(entry.keyPaths->front().front().name(), std::move(value));
        else if (entry.keyPaths) writeAtKeyPath(result, entry.keyPaths->front(), std::move(value));
    }
    if (plan->writesFlatKeys) {
        flat.finishAppending();
        result = ns::Value::mutableDictionary(std::move(flat));
    }
    if (plan->didConvertToKeyValues) plan->didConvertToKeyValues(object);
    return result;
}

ns::Value mm_keyValues(const ns::Object& object) { return mm_keyValuesWithKeys(object, {}, {}); }

ns::Value mm_keyValuesWithKeys(const ns::Object& object, const std::vector<std::string>& keys) {
    return mm_keyValuesWithKeys(object, keys, {});
}

ns::Value mm_keyValuesWithIgnoredKeys(const ns::Object& object, const std::vector<std::string>& ignoredKeys) {
    return mm_keyValuesWithKeys(object, {}, ignoredKeys);
}

ns::Value mm_keyValuesWithKeys(const ns::Value& object, const std::vector<std::string>& keys,
                               const std::vector<std::string>& ignoredKeys) {
    if (auto o = object.asObject()) return mm_keyValuesWithKeys(*o, keys, ignoredKeys);
    // Texts, numbers, containers, the null object: plain values, never models.
    if (const ns::Class* cls = MMFoundation::classOfValue(object)) detail::recordError(*cls, MMErrorNotCustomModelClass);
    return object;
}

ns::Value mm_keyValues(const ns::Value& object) { return mm_keyValuesWithKeys(object, {}, {}); }

ns::Value mm_keyValuesWithKeys(const ns::Value& object, const std::vector<std::string>& keys) {
    return mm_keyValuesWithKeys(object, keys, {});
}

ns::Value mm_keyValuesWithIgnoredKeys(const ns::Value& object, const std::vector<std::string>& ignoredKeys) {
    return mm_keyValuesWithKeys(object, {}, ignoredKeys);
}

ns::Value mm_keyValuesArrayWithObjectArray(const ns::Class& cls, const ns::Value& objectArray) {
    return keyValuesArray(cls, objectArray, {}, {});
}

ns::Value mm_keyValuesArrayWithObjectArray(const ns::Class& cls, const ns::Value& objectArray,
                                           const std::vector<std::string>& keys) {
    return keyValuesArray(cls, objectArray, keys, {});
}

ns::Value mm_keyValuesArrayWithObjectArrayIgnoredKeys(const ns::Class& cls, const ns::Value& objectArray,
                                                      const std::vector<std::string>& ignoredKeys) {
    return keyValuesArray(cls, objectArray, {}, ignoredKeys);
}

ns::Value mm_keyValuesArrayWithObjectArray(const ns::Class& cls, const ns::Value& objectArray,
                                           const std::vector<std::string>& keys,
                                           const std::vector<std::string>& ignoredKeys) {
    return keys.empty() ? keyValuesArray(cls, objectArray, {}, ignoredKeys) : keyValuesArray(cls, objectArray, keys, {});
}

// ---- JSON ----

ns::Value mm_JSONObject(const ns::Value& object) {
    if (object.isString()) return ns::JSONSerialization::JSONObjectWithData(object.asString(), 0, nullptr);
    if (const ns::Data* data = object.asData()) return ns::JSONSerialization::JSONObjectWithData(*data, 0, nullptr);
    return mm_keyValues(object);
}

std::optional<ns::Data> mm_JSONData(const ns::Value& object) {
    if (object.isString()) return ns::Data(object.asString());
    if (const ns::Data* data = object.asData()) return *data;
    return ns::JSONSerialization::dataWithJSONObject(mm_JSONObject(object), 0, nullptr);
}

namespace {

bool isUTF8(std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        const auto lead = static_cast<unsigned char>(s[i]);
        std::size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
        if (length == 0 || i + length > s.size()) return false;
        std::uint32_t cp = length == 1 ? lead : lead & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(s[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (next & 0x3F);
        }
        static constexpr std::uint32_t minimum[] = {0, 0, 0x80, 0x800, 0x10000};
        if (cp < minimum[length] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        i += length;
    }
    return true;
}

}  // namespace

std::optional<std::string> mm_JSONString(const ns::Value& object) {
    if (object.isString()) return std::string(object.asString());
    std::optional<ns::Data> data = mm_JSONData(object);
    if (!data || !isUTF8(data->view())) return std::nullopt;
    return data->toString();
}

}  // namespace ql
