#pragma once
// The kinds of field a record can hold, one per wire type: what the record keeps, how a value travels in
// the protocol, prints in the text form and goes into a keyed archive. Records declare their fields with
// these kinds through QL_WIRE_FIELD (WireRecord.h).
//
// Texts, bytes, records, maps and lists may be held as "none"; numbers always hold a value. Maps and lists
// are held by shared pointer, so a giver that changes them afterwards changes the record too.

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "analytics/WireProtocol.h"
#include "analytics/WireType.h"
#include "platform/foundation/Data.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/Value.h"

namespace ql {

// Maps are keyed by text and iterate in key order.
template <class R>
using WireRecordMap = std::map<std::string, std::shared_ptr<R>>;
template <class R>
using WireRecordList = std::vector<std::shared_ptr<R>>;

namespace wire {

// Fails the unarchiving: the archive holds something other than `expected` under the key.
void rejectArchivedValue(ns::KeyedUnarchiver& coder, std::string_view key, std::string_view expected);
// The text archived under a key: none when the key holds nil or is absent; a value of another kind fails
// the unarchiving.
std::optional<std::string> decodeText(ns::KeyedUnarchiver& coder, std::string_view key);
// A map key that is not UTF-8 text cannot be stored.
[[noreturn]] void rejectMapKey();
// A container's size as the protocol's 32-bit count.
std::int32_t countOf(std::size_t size);
void printDouble(std::string& out, double value);
// The platform's printing of a value, as the text form of records uses for records, maps and lists.
void printValue(std::string& out, const ns::Value& value);

// Numbers: unsetting clears only the flag, so the getter keeps answering the last value.
template <class T>
struct Number {
    using Held = T;
    using Get = T;
    static bool holds(T) { return true; }
    static void drop(T&) {}
};

}  // namespace wire

struct WireDouble : wire::Number<double> {
    static constexpr WireType type = WireType::Double;
    static void write(WireProtocol& p, double v) { p.writeDouble(v); }
    static double read(WireProtocol& p) { return p.readDouble(); }
    static void print(std::string& out, double v) { wire::printDouble(out, v); }
    static void encode(ns::KeyedArchiver& c, double v, std::string_view key) { c.encodeDouble(v, key); }
    static double decode(ns::KeyedUnarchiver& c, std::string_view key) { return c.decodeDoubleForKey(key); }
};

struct WireI32 : wire::Number<std::int32_t> {
    static constexpr WireType type = WireType::I32;
    static void write(WireProtocol& p, std::int32_t v) { p.writeI32(v); }
    static std::int32_t read(WireProtocol& p) { return p.readI32(); }
    static void print(std::string& out, std::int32_t v) { out += std::to_string(v); }
    static void encode(ns::KeyedArchiver& c, std::int32_t v, std::string_view key) { c.encodeInt32(v, key); }
    static std::int32_t decode(ns::KeyedUnarchiver& c, std::string_view key) { return c.decodeInt32ForKey(key); }
};

// Enumeration-typed fields travel as i32. The platform archives them with its `int` coder calls, which on
// this platform are the 32-bit ones, so they archive exactly like i32 fields.
using WireEnum = WireI32;

struct WireI64 : wire::Number<std::int64_t> {
    static constexpr WireType type = WireType::I64;
    static void write(WireProtocol& p, std::int64_t v) { p.writeI64(v); }
    static std::int64_t read(WireProtocol& p) { return p.readI64(); }
    static void print(std::string& out, std::int64_t v) { out += std::to_string(v); }
    static void encode(ns::KeyedArchiver& c, std::int64_t v, std::string_view key) { c.encodeInt64(v, key); }
    static std::int64_t decode(ns::KeyedUnarchiver& c, std::string_view key) { return c.decodeInt64ForKey(key); }
};

struct WireString {
    using Held = std::optional<std::string>;
    using Get = const Held&;
    static constexpr WireType type = WireType::String;
    static bool holds(const Held& v) { return v.has_value(); }
    static void drop(Held& v) { v.reset(); }
    static void write(WireProtocol& p, const Held& v) { p.writeString(*v); }
    static Held read(WireProtocol& p) { return p.readString(); }
    static void print(std::string& out, const Held& v) {
        out += '"';
        out += v ? *v : "(null)";
        out += '"';
    }
    static void encode(ns::KeyedArchiver& c, const Held& v, std::string_view key) {
        c.encodeObject(v ? ns::Value(*v) : ns::Value(), key);
    }
    static Held decode(ns::KeyedUnarchiver& c, std::string_view key) { return wire::decodeText(c, key); }
};

// Bytes travel like texts but are not decoded.
struct WireBinary {
    using Held = std::optional<ns::Data>;
    using Get = const Held&;
    static constexpr WireType type = WireType::String;
    static bool holds(const Held& v) { return v.has_value(); }
    static void drop(Held& v) { v.reset(); }
    static void write(WireProtocol& p, const Held& v) { p.writeBinary(*v); }
    static Held read(WireProtocol& p) { return p.readBinary(); }
    static void print(std::string& out, const Held& v) { out += v ? v->description() : "(null)"; }
    static void encode(ns::KeyedArchiver& c, const Held& v, std::string_view key) {
        c.encodeObject(v ? ns::Value(*v) : ns::Value(), key);
    }
    static Held decode(ns::KeyedUnarchiver& c, std::string_view key);
};

namespace wire {

// What record, map and list kinds share: held by shared pointer, dropped when unset.
template <class P>
struct Reference {
    using Held = std::shared_ptr<P>;
    using Get = const Held&;
    static bool holds(const Held& v) { return v != nullptr; }
    static void drop(Held& v) { v.reset(); }
};

// What a decoded record costs beyond its own size: the shared pointer's control block and the
// allocator's bookkeeping.
inline constexpr std::size_t DecodedRecordOverhead = 32;

// A new record of type R read from the protocol, counted against the protocol's decoding budget first.
template <class R>
std::shared_ptr<R> decodedRecord(WireProtocol& p, const char* operation) {
    p.chargeDecoding(sizeof(R) + DecodedRecordOverhead, operation);
    auto record = std::make_shared<R>();
    record->read(p);
    return record;
}

template <class R>
ns::Value boxed(const std::shared_ptr<R>& record) {
    return record ? ns::Value(std::static_pointer_cast<ns::Object>(record)) : ns::Value();
}

// The record archived under a key or inside a container; null (after failing the unarchiving) for
// anything else.
template <class R>
std::shared_ptr<R> unboxed(ns::KeyedUnarchiver& c, const ns::Value& v, std::string_view key) {
    if (auto record = v.asObject<R>()) return record;
    rejectArchivedValue(c, key, R::ql_className_);
    return nullptr;
}

}  // namespace wire

template <class R>
struct WireStruct : wire::Reference<R> {
    using Held = std::shared_ptr<R>;
    static constexpr WireType type = WireType::Struct;
    static void write(WireProtocol& p, const Held& v) { v->write(p); }
    static Held read(WireProtocol& p) { return wire::decodedRecord<R>(p, "readStruct"); }
    static void print(std::string& out, const Held& v) { out += v ? v->description() : "(null)"; }
    static void encode(ns::KeyedArchiver& c, const Held& v, std::string_view key) {
        c.encodeObject(wire::boxed(v), key);
    }
    static Held decode(ns::KeyedUnarchiver& c, std::string_view key) {
        const ns::Value v = c.decodeObjectForKey(key);
        return v.isNil() ? nullptr : wire::unboxed<R>(c, v, key);
    }
};

// A null record among a map's values or a list's elements has no wire form; it is left out.
template <class R>
struct WireMap : wire::Reference<WireRecordMap<R>> {
    using Held = std::shared_ptr<WireRecordMap<R>>;
    static constexpr WireType type = WireType::Map;
    static void write(WireProtocol& p, const Held& v) {
        std::size_t present = 0;
        for (const auto& entry : *v) present += entry.second != nullptr;
        p.writeMapBeginWithKeyType(WireType::String, WireType::Struct, wire::countOf(present));
        for (const auto& [key, record] : *v) {
            if (!record) continue;
            p.writeString(key);
            record->write(p);
        }
        p.writeMapEnd();
    }
    static Held read(WireProtocol& p) {
        std::int32_t count = 0;
        p.readMapBeginReturningKeyType(nullptr, nullptr, &count);
        auto map = std::make_shared<WireRecordMap<R>>();
        for (std::int32_t i = 0; i < count; ++i) {
            auto key = p.readString();
            if (!key) wire::rejectMapKey();
            // A tree node: the entry and three links and a colour.
            p.chargeDecoding(sizeof(typename WireRecordMap<R>::value_type) + 4 * sizeof(void*), "readMapBegin");
            auto record = wire::decodedRecord<R>(p, "readMapBegin");
            (*map)[std::move(*key)] = std::move(record);
        }
        p.readMapEnd();
        return map;
    }
    static void print(std::string& out, const Held& v) { wire::printValue(out, boxed(v)); }
    static void encode(ns::KeyedArchiver& c, const Held& v, std::string_view key) { c.encodeObject(boxed(v), key); }
    static Held decode(ns::KeyedUnarchiver& c, std::string_view key) {
        const ns::Value v = c.decodeObjectForKey(key);
        if (v.isNil()) return nullptr;
        const ns::Dictionary* entries = v.asDictionary();
        if (!entries) {
            wire::rejectArchivedValue(c, key, "NSDictionary");
            return nullptr;
        }
        auto map = std::make_shared<WireRecordMap<R>>();
        for (const auto& [name, element] : *entries) {
            auto record = wire::unboxed<R>(c, element, key);
            if (!record) return nullptr;
            map->emplace(name, std::move(record));
        }
        return map;
    }

private:
    static ns::Value boxed(const Held& v) {
        if (!v) return {};
        ns::Dictionary entries;
        for (const auto& [key, record] : *v)
            if (record) entries.appendUnsorted(key, wire::boxed(record));
        entries.finishAppending();
        return ns::Value::mutableDictionary(std::move(entries));
    }
};

template <class R>
struct WireList : wire::Reference<WireRecordList<R>> {
    using Held = std::shared_ptr<WireRecordList<R>>;
    static constexpr WireType type = WireType::List;
    static void write(WireProtocol& p, const Held& v) {
        std::size_t present = 0;
        for (const auto& record : *v) present += record != nullptr;
        p.writeListBeginWithElementType(WireType::Struct, wire::countOf(present));
        for (const auto& record : *v)
            if (record) record->write(p);
        p.writeListEnd();
    }
    static Held read(WireProtocol& p) {
        std::int32_t count = 0;
        p.readListBeginReturningElementType(nullptr, &count);
        auto list = std::make_shared<WireRecordList<R>>();
        if (count > 0) {
            // The count is bounded by the bytes left (an element takes one at least), so reserving it
            // cannot be made huge, and it spares the slack of growing one element at a time.
            p.chargeDecoding(static_cast<std::size_t>(count) * sizeof(std::shared_ptr<R>), "readListBegin");
            list->reserve(static_cast<std::size_t>(count));
        }
        for (std::int32_t i = 0; i < count; ++i) list->push_back(wire::decodedRecord<R>(p, "readListBegin"));
        p.readListEnd();
        return list;
    }
    static void print(std::string& out, const Held& v) { wire::printValue(out, boxed(v)); }
    static void encode(ns::KeyedArchiver& c, const Held& v, std::string_view key) { c.encodeObject(boxed(v), key); }
    static Held decode(ns::KeyedUnarchiver& c, std::string_view key) {
        const ns::Value v = c.decodeObjectForKey(key);
        if (v.isNil()) return nullptr;
        const ns::Array* elements = v.asArray();
        if (!elements) {
            wire::rejectArchivedValue(c, key, "NSArray");
            return nullptr;
        }
        auto list = std::make_shared<WireRecordList<R>>();
        list->reserve(elements->size());
        for (const auto& element : *elements) {
            auto record = wire::unboxed<R>(c, element, key);
            if (!record) return nullptr;
            list->push_back(std::move(record));
        }
        return list;
    }

private:
    static ns::Value boxed(const Held& v) {
        if (!v) return {};
        ns::Array elements;
        elements.reserve(v->size());
        for (const auto& record : *v)
            if (record) elements.push_back(wire::boxed(record));
        return ns::Value::mutableArray(std::move(elements));
    }
};

}  // namespace ql
