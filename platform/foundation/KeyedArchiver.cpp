#include "platform/foundation/KeyedArchiver.h"

#include <bit>

#include "platform/foundation/Class.h"
#include "platform/foundation/Coding.h"
#include "platform/foundation/Object.h"
#include "platform/foundation/PropertyListSerialization.h"
#include "platform/foundation/PropertyListUID.h"

namespace ql::ns {

KeyedArchiver::KeyedArchiver() : objects_{Value("$null")} { scopes_.emplace_back(); }

std::optional<Data> KeyedArchiver::archivedDataWithRootObject(const Value& root, Error* error) {
    KeyedArchiver archiver;
    archiver.encodeObject(root, "root");
    return archiver.finish(error);
}

std::optional<Data> KeyedArchiver::finish(Error* error) {
    if (error_) {
        if (error) *error = *error_;
        return std::nullopt;
    }
    Dictionary archive{{"$archiver", Value("NSKeyedArchiver")},
                       {"$objects", Value(std::move(objects_))},
                       {"$top", Value(std::move(scopes_.front()))},
                       {"$version", Value(100000)}};
    return PropertyListSerialization::dataWithPropertyList(Value(std::move(archive)), PropertyListFormat::Binary, error);
}

void KeyedArchiver::fail(std::string reason) {
    if (!error_)
        error_ = Error(std::string(CocoaErrorDomain), CoderInvalidValueError,
                       Dictionary{{std::string(DebugDescriptionErrorKey), Value(std::move(reason))}});
}

// Keys beginning with "$" are the archive's own; the platform escapes an object's such keys with one more.
void KeyedArchiver::set(std::string_view key, Value value) {
    if (error_) return;
    std::string archived = key.starts_with('$') ? "$" + std::string(key) : std::string(key);
    scopes_.back().set(std::move(archived), std::move(value));
}

void KeyedArchiver::encodeObject(const Value& object, std::string_view key) { set(key, reference(object)); }
void KeyedArchiver::encodeBool(bool value, std::string_view key) { set(key, Value(value)); }
void KeyedArchiver::encodeInt32(std::int32_t value, std::string_view key) { set(key, Value(value)); }
void KeyedArchiver::encodeInt64(std::int64_t value, std::string_view key) { set(key, Value(value)); }
void KeyedArchiver::encodeInteger(std::int64_t value, std::string_view key) { set(key, Value(value)); }
void KeyedArchiver::encodeDouble(double value, std::string_view key) { set(key, Value(value)); }
void KeyedArchiver::encodeFloat(float value, std::string_view key) { set(key, Value(value)); }
void KeyedArchiver::encodeBytes(const Data& bytes, std::string_view key) { set(key, Value(bytes)); }

std::uint64_t KeyedArchiver::append(Value entry) {
    objects_.push_back(std::move(entry));
    return objects_.size() - 1;
}

Value KeyedArchiver::reference(const Value& object) {
    if (error_ || object.isNil()) return PropertyListUID::make(0);
    if (auto index = uniqueScalar(object)) return PropertyListUID::make(*index);
    std::shared_ptr<Object> instance = object.asObject();
    if (instance) {
        if (auto it = objectIndexes_.find(instance.get()); it != objectIndexes_.end())
            return PropertyListUID::make(it->second);
    }
    // Objects and collections nest; dates and mutable texts and data are leaves in their own forms.
    const bool nests = instance || object.isArray() || object.isDictionary() || object.isSet();
    if (nests && depth_ >= PropertyListSerialization::kMaxDepth) {
        fail("objects nested too deeply to archive");
        return PropertyListUID::make(0);
    }
    // The index is taken before the contents are encoded, so that the contents can refer back to it.
    const std::uint64_t index = append(Value());
    depth_ += nests;
    Value entry = instance ? objectEntry(instance, index) : containerEntry(object, *object.valueClass());
    depth_ -= nests;
    objects_[index] = std::move(entry);
    return PropertyListUID::make(index);
}

// Texts, numbers, immutable data and the null object stand for themselves: equal ones are written once.
std::optional<std::uint64_t> KeyedArchiver::uniqueScalar(const Value& object) {
    std::string key;
    switch (object.kind()) {
        case Value::Kind::Null: key = "n"; break;
        case Value::Kind::Bool: key = object.boolValue() ? "b1" : "b0"; break;
        case Value::Kind::Int: key = "i" + std::to_string(object.int64Value()); break;
        case Value::Kind::UInt: key = "u" + std::to_string(object.uint64Value()); break;
        case Value::Kind::Double: key = "r" + std::to_string(std::bit_cast<std::uint64_t>(object.doubleValue())); break;
        case Value::Kind::String:
            if (object.isMutable()) return std::nullopt;
            key = "s" + std::string(object.asString());
            break;
        case Value::Kind::Data:
            if (object.isMutable()) return std::nullopt;
            key = "d" + object.asData()->toString();
            break;
        default: return std::nullopt;
    }
    if (auto it = scalarIndexes_.find(key); it != scalarIndexes_.end()) return it->second;
    Value entry = object;
    if (object.isNull()) entry = Value(Dictionary{{"$class", classReference(*object.valueClass())}});
    const std::uint64_t index = append(std::move(entry));
    scalarIndexes_.emplace(std::move(key), index);
    return index;
}

// Containers, dates and mutable texts and data, in the platform's "NS.…" forms.
Value KeyedArchiver::containerEntry(const Value& object, const Class& cls) {
    Dictionary entry;
    auto references = [this](const Array& values) {
        Array refs;
        refs.reserve(values.size());
        for (const Value& v : values) refs.push_back(reference(v));
        return Value(std::move(refs));
    };
    switch (object.kind()) {
        case Value::Kind::String: entry.set("NS.string", Value(object.asString())); break;
        case Value::Kind::Data: entry.set("NS.data", Value(*object.asData())); break;
        case Value::Kind::Date: entry.set("NS.time", Value(object.asDate()->timeIntervalSinceReferenceDate())); break;
        case Value::Kind::Array: entry.set("NS.objects", references(*object.asArray())); break;
        case Value::Kind::Set: entry.set("NS.objects", references(object.asSet()->values())); break;
        case Value::Kind::Dictionary: {
            Array keys, values;
            for (const auto& [key, value] : *object.asDictionary()) {
                keys.push_back(Value(key));
                values.push_back(value);
            }
            entry.set("NS.keys", references(keys));
            entry.set("NS.objects", references(values));
            break;
        }
        default: break;
    }
    entry.set("$class", classReference(cls));
    return Value(std::move(entry));
}

Value KeyedArchiver::objectEntry(const std::shared_ptr<Object>& object, std::uint64_t index) {
    auto* coding = dynamic_cast<const Coding*>(object.get());
    if (!coding) {
        fail("cannot archive an object of class (" + std::string(object->className()) + "): it does not adopt coding");
        return Value();
    }
    objectIndexes_.emplace(object.get(), index);
    retained_.push_back(object);
    scopes_.emplace_back();
    coding->encodeWithCoder(*this);
    Dictionary entry = std::move(scopes_.back());
    scopes_.pop_back();
    entry.set("$class", classReference(object->objectClass()));
    return Value(std::move(entry));
}

Value KeyedArchiver::classReference(const Class& cls) {
    if (auto it = classIndexes_.find(&cls); it != classIndexes_.end()) return PropertyListUID::make(it->second);
    Array chain;
    for (const Class* c = &cls; c; c = c->superclass()) chain.push_back(Value(c->name()));
    const std::uint64_t index =
        append(Value(Dictionary{{"$classname", Value(cls.name())}, {"$classes", Value(std::move(chain))}}));
    classIndexes_.emplace(&cls, index);
    return PropertyListUID::make(index);
}

}  // namespace ql::ns
