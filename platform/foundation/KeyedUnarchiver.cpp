#include "platform/foundation/KeyedUnarchiver.h"

#include <cfloat>
#include <cmath>
#include <limits>

#include "platform/foundation/BinaryPropertyList.h"
#include "platform/foundation/Class.h"
#include "platform/foundation/Coding.h"
#include "platform/foundation/Object.h"
#include "platform/foundation/PropertyListSerialization.h"
#include "platform/foundation/PropertyListUID.h"

namespace ql::ns {

namespace {

// The platform's value classes that an archive stores in their "NS.…" forms.
struct ValueClass {
    std::string_view name;
    Value::Kind kind;
    bool isMutable;
};

constexpr ValueClass kValueClasses[] = {
    {"NSString", Value::Kind::String, false},         {"NSMutableString", Value::Kind::String, true},
    {"NSData", Value::Kind::Data, false},             {"NSMutableData", Value::Kind::Data, true},
    {"NSDate", Value::Kind::Date, false},             {"NSNull", Value::Kind::Null, false},
    {"NSArray", Value::Kind::Array, false},           {"NSMutableArray", Value::Kind::Array, true},
    {"NSSet", Value::Kind::Set, false},               {"NSMutableSet", Value::Kind::Set, true},
    {"NSDictionary", Value::Kind::Dictionary, false}, {"NSMutableDictionary", Value::Kind::Dictionary, true},
};

const ValueClass* valueClassNamed(std::string_view name) {
    for (const ValueClass& c : kValueClasses)
        if (c.name == name) return &c;
    return nullptr;
}

std::string archivedKey(std::string_view key) {
    return key.starts_with('$') ? "$" + std::string(key) : std::string(key);
}

Error corruptError(std::string reason) {
    return Error(std::string(CocoaErrorDomain), CoderReadCorruptError,
                 Dictionary{{std::string(DebugDescriptionErrorKey), Value(std::move(reason))}});
}

}  // namespace

// ---- Unarchiving ----

Value KeyedUnarchiver::unarchiveObjectWithData(const Data& data, Error* error) {
    return KeyedUnarchiver(false).unarchive(data, nullptr, error);
}

Value KeyedUnarchiver::unarchivedObjectOfClasses(const std::vector<const Class*>& classes, const Data& data,
                                                 Error* error) {
    return KeyedUnarchiver(true).unarchive(data, &classes, error);
}

Value KeyedUnarchiver::unarchivedObjectOfClass(const Class& cls, const Data& data, Error* error) {
    return unarchivedObjectOfClasses({&cls}, data, error);
}

Value KeyedUnarchiver::unarchive(const Data& data, const std::vector<const Class*>* classes, Error* error) {
    Value root;
    if (open(data)) {
        if (!containsValueForKey("root")) fail("the archive has no root object");
        else root = classes ? decodeObjectOfClasses(*classes, "root") : decodeObjectForKey("root");
    }
    if (error_) {
        if (error) *error = *error_;
        return {};
    }
    return root;
}

bool KeyedUnarchiver::open(const Data& data) {
    Error readError(std::string(CocoaErrorDomain), 0);
    archive_ = PropertyListSerialization::propertyListWithData(data, PropertyListImmutable, nullptr, &readError);
    if (archive_.isNil()) {
        Error error = corruptError("the archive is no property list");
        Dictionary userInfo = error.userInfo();
        userInfo.set(std::string(UnderlyingErrorKey), readError.boxed());
        failWithError(Error(error.domain(), error.code(), std::move(userInfo)));
        return false;
    }
    const Value& version = archive_["$version"];
    const Dictionary* top = archive_["$top"].asDictionary();
    objects_ = archive_["$objects"].asArray();
    if (archive_["$archiver"].asString() != "NSKeyedArchiver" || !version.isInteger() ||
        version.int64Value() != 100000 || !top || !objects_ || objects_->empty() || (*objects_)[0].asString() != "$null") {
        fail("the property list is no keyed archive");
        return false;
    }
    slots_.resize(objects_->size());
    weightBudget_ = detail::expandedWeightBudget(data.length());
    scopes_.push_back(top);
    return true;
}

void KeyedUnarchiver::fail(std::string reason) { failWithError(corruptError(std::move(reason))); }

void KeyedUnarchiver::failWithError(Error error) {
    if (!error_) error_ = std::move(error);
}

const Value* KeyedUnarchiver::entry(std::string_view key) const {
    return scopes_.empty() ? nullptr : scopes_.back()->find(archivedKey(key));
}

bool KeyedUnarchiver::containsValueForKey(std::string_view key) const { return entry(key) != nullptr; }

// ---- Objects ----

Value KeyedUnarchiver::decodeObjectForKey(std::string_view key) { return decodeReference(key); }

Value KeyedUnarchiver::decodeObjectOfClass(const Class& cls, std::string_view key) {
    return decodeObjectOfClasses({&cls}, key);
}

Value KeyedUnarchiver::decodeObjectOfClasses(const std::vector<const Class*>& classes, std::string_view key) {
    allowed_.push_back(classes);
    Value v = decodeReference(key);
    allowed_.pop_back();
    return v;
}

Value KeyedUnarchiver::decodeReference(std::string_view key) {
    if (error_) return {};
    const Value* e = entry(key);
    if (!e) return {};
    auto uid = PropertyListUID::valueOf(*e);
    if (!uid) {
        fail("value for key (" + std::string(key) + ") is no object reference");
        return {};
    }
    return object(*uid, key);
}

Value KeyedUnarchiver::object(std::uint64_t index, std::string_view key) {
    if (error_) return {};
    if (index >= objects_->size()) {
        fail("object reference for key (" + std::string(key) + ") out of range");
        return {};
    }
    if (index == 0) return {};
    Slot& slot = slots_[index];  // slots_ never grows once open, so the reference stays valid
    if (slot.state == State::Reading && !slot.value.isObject()) {
        fail("collection for key (" + std::string(key) + ") contains itself");
        return {};
    }
    const Value& e = (*objects_)[index];
    const Class* cls = classOf(e, key);
    if (!cls) return {};
    if (secure_ && !isAllowed(*cls)) {
        std::string names;
        if (!allowed_.empty())
            for (const Class* a : allowed_.back()) names += (names.empty() ? "" : ", ") + std::string(a->name());
        fail("value for key (" + std::string(key) + ") was of unexpected class (" + std::string(cls->name()) +
             "). Allowed classes are {" + names + "}.");
        return {};
    }
    // Collections and objects nest, as they do for the archiver; the other kinds are leaves.
    const ValueClass* valueClass = valueClassNamed(cls->name());
    const bool nests = e.isDictionary() && (!valueClass || valueClass->kind == Value::Kind::Array ||
                                            valueClass->kind == Value::Kind::Set ||
                                            valueClass->kind == Value::Kind::Dictionary);
    // A finished value, or (through a cycle) an object whose initWithCoder is still running. A shared
    // collection must fit where it is used again, not only where it was first read.
    if (slot.state != State::Unread) {
        if (depth_ + slot.extent.height > PropertyListSerialization::kMaxDepth) {
            fail("objects nested too deeply");
            return {};
        }
        return slot.value;
    }
    if (nests && depth_ >= PropertyListSerialization::kMaxDepth) {
        fail("objects nested too deeply");
        return {};
    }
    slot.state = State::Reading;
    slot.extent.height = nests;
    depth_ += nests;
    Extent extent{1, nests};
    Value result;
    if (const Dictionary* d = e.asDictionary()) {
        result = valueClass ? valueObject(cls->name(), *d, extent) : codingObject(*cls, *d, slot);
    } else {
        result = e;
        extent.weight += e.isString() ? e.asString().size() : e.isData() ? e.asData()->length() : 0;
    }
    depth_ -= nests;
    slot.state = State::Read;
    slot.value = result;
    slot.extent = extent;
    return result;
}

const Class* KeyedUnarchiver::classOf(const Value& e, std::string_view key) {
    const char* name = nullptr;
    switch (e.kind()) {
        case Value::Kind::String: name = "NSString"; break;
        case Value::Kind::Data: name = "NSData"; break;
        case Value::Kind::Bool:
        case Value::Kind::Int:
        case Value::Kind::UInt:
        case Value::Kind::Double: name = "NSNumber"; break;
        case Value::Kind::Dictionary: {
            auto uid = PropertyListUID::valueOf(e["$class"]);
            const Value* description = uid && *uid < objects_->size() ? &(*objects_)[*uid] : nullptr;
            if (!description || !(*description)["$classname"].isString() || !(*description)["$classes"].isArray()) {
                fail("object for key (" + std::string(key) + ") has no class");
                return nullptr;
            }
            std::string_view className = (*description)["$classname"].asString();
            const Class* cls = Class::named(className);
            if (!cls)
                fail("cannot decode object of class (" + std::string(className) + ") for key (" + std::string(key) +
                     "); the class may be defined in source code or a library that is not linked");
            return cls;
        }
        default: break;
    }
    if (!name) {
        fail("object for key (" + std::string(key) + ") is of no archivable kind");
        return nullptr;
    }
    return Class::named(name);
}

bool KeyedUnarchiver::isAllowed(const Class& cls) const {
    if (allowed_.empty()) return false;
    for (const Class* a : allowed_.back())
        if (a && cls.isSubclassOf(*a)) return true;
    return false;
}

std::optional<Array> KeyedUnarchiver::references(const Dictionary& e, std::string_view key, Extent& extent) {
    const Array* refs = e[key].asArray();
    if (!refs) {
        fail("collection without " + std::string(key));
        return std::nullopt;
    }
    Array out;
    out.reserve(refs->size());
    for (const Value& ref : *refs) {
        auto uid = PropertyListUID::valueOf(ref);
        if (!uid) {
            fail("collection member in " + std::string(key) + " is no object reference");
            return std::nullopt;
        }
        Value member = object(*uid, key);
        if (error_) return std::nullopt;
        if (member.isNil()) {
            fail("collection member in " + std::string(key) + " is nil");
            return std::nullopt;
        }
        extent.weight += slots_[*uid].extent.weight;
        extent.height = std::max(extent.height, slots_[*uid].extent.height + 1);
        if (extent.weight > weightBudget_) {
            fail("too large once shared references are expanded");
            return std::nullopt;
        }
        out.push_back(std::move(member));
    }
    return out;
}

Value KeyedUnarchiver::valueObject(std::string_view className, const Dictionary& e, Extent& extent) {
    const ValueClass& vc = *valueClassNamed(className);
    Value result;
    switch (vc.kind) {
        case Value::Kind::String:
            if (e["NS.string"].isString()) result = Value(e["NS.string"].asString());
            extent.weight += result.asString().size();
            break;
        case Value::Kind::Data:
            if (const Data* d = e["NS.data"].asData()) result = Value(*d);
            if (result.isData()) extent.weight += result.asData()->length();
            break;
        case Value::Kind::Date:
            if (e["NS.time"].isNumber() && !e["NS.time"].isBool())
                result = Value(Date::fromTimeIntervalSinceReferenceDate(e["NS.time"].doubleValue()));
            break;
        case Value::Kind::Null: result = Value::null(); break;
        case Value::Kind::Array:
        case Value::Kind::Set: {
            auto members = references(e, "NS.objects", extent);
            if (!members) return {};
            result = vc.kind == Value::Kind::Array ? Value(std::move(*members)) : Value(Set(*members));
            break;
        }
        case Value::Kind::Dictionary: {
            auto keys = references(e, "NS.keys", extent);
            if (!keys) return {};
            auto values = references(e, "NS.objects", extent);
            if (!values) return {};
            if (keys->size() != values->size()) {
                fail("dictionary with " + std::to_string(keys->size()) + " keys and " +
                     std::to_string(values->size()) + " values");
                return {};
            }
            Dictionary entries;
            for (std::size_t i = 0; i < keys->size(); ++i) {
                if (!(*keys)[i].isString()) {
                    fail("dictionary key of class (" + std::string((*keys)[i].valueClass()->name()) + ") is no text");
                    return {};
                }
                entries.appendUnsorted(std::string((*keys)[i].asString()), std::move((*values)[i]));
            }
            entries.finishAppending();
            result = Value(std::move(entries));
            break;
        }
        default: break;
    }
    if (result.isNil()) {
        fail("malformed " + std::string(vc.name));
        return {};
    }
    if (vc.isMutable) result.setMutable(true);
    return result;
}

Value KeyedUnarchiver::codingObject(const Class& cls, const Dictionary& e, Slot& slot) {
    std::shared_ptr<Object> instance = cls.createInstance();
    auto* coding = dynamic_cast<Coding*>(instance.get());
    if (!coding) {
        fail("cannot decode object of class (" + std::string(cls.name()) + "): it does not adopt coding");
        return {};
    }
    if (secure_ && !coding->supportsSecureCoding()) {
        fail("class (" + std::string(cls.name()) + ") does not support secure coding");
        return {};
    }
    slot.value = Value(instance);
    scopes_.push_back(&e);
    const bool initialised = coding->initWithCoder(*this);
    scopes_.pop_back();
    if (!initialised || error_) return {};
    return Value(std::move(instance));
}

// ---- Scalars ----

const Value* KeyedUnarchiver::numberEntry(std::string_view key) {
    if (error_) return nullptr;
    const Value* e = entry(key);
    if (e && !e->isNumber()) {
        fail("value for key (" + std::string(key) + ") is no number");
        return nullptr;
    }
    return e;
}

bool KeyedUnarchiver::decodeBoolForKey(std::string_view key) {
    const Value* e = numberEntry(key);
    return e && e->boolValue();
}

std::int64_t KeyedUnarchiver::decodeInt64ForKey(std::string_view key) {
    const Value* e = numberEntry(key);
    if (!e) return 0;
    const bool fits = e->isDouble() ? e->doubleValue() >= -9223372036854775808.0 && e->doubleValue() < 9223372036854775808.0
                      : e->kind() == Value::Kind::UInt
                          ? e->uint64Value() <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())
                          : true;
    if (!fits) {
        fail("value for key (" + std::string(key) + ") too large to fit in 64-bit integer");
        return 0;
    }
    return e->int64Value();
}

std::int64_t KeyedUnarchiver::decodeIntegerForKey(std::string_view key) { return decodeInt64ForKey(key); }

std::int32_t KeyedUnarchiver::decodeInt32ForKey(std::string_view key) {
    const std::int64_t v = decodeInt64ForKey(key);
    if (v < std::numeric_limits<std::int32_t>::min() || v > std::numeric_limits<std::int32_t>::max()) {
        fail("value for key (" + std::string(key) + ") too large to fit in 32-bit integer");
        return 0;
    }
    return static_cast<std::int32_t>(v);
}

double KeyedUnarchiver::decodeDoubleForKey(std::string_view key) {
    const Value* e = numberEntry(key);
    return e ? e->doubleValue() : 0.0;
}

float KeyedUnarchiver::decodeFloatForKey(std::string_view key) {
    const double d = decodeDoubleForKey(key);
    if (std::isfinite(d) && std::fabs(d) > FLT_MAX) {
        fail("value for key (" + std::string(key) + ") too large to fit in float");
        return 0.0f;
    }
    return static_cast<float>(d);
}

Data KeyedUnarchiver::decodeBytesForKey(std::string_view key) {
    if (error_) return {};
    const Value* e = entry(key);
    if (!e) return {};
    if (!e->isData()) {
        fail("value for key (" + std::string(key) + ") is no data");
        return {};
    }
    return *e->asData();
}

}  // namespace ql::ns
