#pragma once
// ns::Value: the one dynamic value type of the platform layer. It stands for the platform's `id` and its
// property-list types: nil, the null object, booleans, integers, doubles, texts, data, dates, arrays,
// dictionaries, sets and references to objects. JSON, property lists, user defaults, form parameters and
// model mapping all speak it.
//
// Copies are cheap: texts and containers live in shared immutable storage and are copied only when a
// holder mutates them. Booleans, signed and unsigned integers and doubles stay apart, as do nil (absent)
// and the null object.

#include <compare>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/foundation/Data.h"
#include "platform/foundation/Date.h"

namespace ql::ns {

class Object;
class Class;
class Value;
class Dictionary;
class Set;

using Array = std::vector<Value>;

class Value {
public:
    enum class Kind : std::uint8_t {
        Nil,         // absent: no object at all
        Null,        // the null object
        Bool,
        Int,         // signed 64-bit
        UInt,        // unsigned 64-bit
        Double,
        String,
        Data,
        Date,
        Array,
        Dictionary,
        Set,
        Object,
    };

    Value() = default;
    Value(std::nullptr_t) {}
    Value(bool b) : kind_(Kind::Bool) { scalar_.b = b; }
    template <std::integral T>
        requires(!std::same_as<T, bool> && !std::same_as<T, char>)
    Value(T i) {
        if constexpr (std::is_signed_v<T>) {
            kind_ = Kind::Int;
            scalar_.i = static_cast<std::int64_t>(i);
        } else {
            kind_ = Kind::UInt;
            scalar_.u = static_cast<std::uint64_t>(i);
        }
    }
    Value(double d) : kind_(Kind::Double) { scalar_.d = d; }
    Value(float f) : Value(static_cast<double>(f)) {}
    Value(const char* s);
    Value(std::string_view s);
    Value(const std::string& s) : Value(std::string_view(s)) {}
    Value(std::string&& s);
    Value(ns::Data d);
    Value(ns::Date d) : kind_(Kind::Date) { scalar_.d = d.timeIntervalSince1970(); }
    Value(ns::Array a);
    Value(ns::Dictionary d);
    Value(ns::Set s);
    Value(std::shared_ptr<Object> o);
    template <class T>
        requires std::derived_from<T, Object>
    Value(std::shared_ptr<T> o) : Value(std::shared_ptr<Object>(std::move(o))) {}

    static Value null();
    // Mutable forms of texts and containers (the platform's NSMutable… kinds); only a marker, since every
    // holder may mutate its own copy.
    static Value mutableString(std::string s);
    static Value mutableArray(ns::Array a = {});
    static Value mutableDictionary();
    static Value mutableDictionary(ns::Dictionary d);

    Value(const Value& other);
    Value(Value&& other) noexcept;
    Value& operator=(const Value& other);
    Value& operator=(Value&& other) noexcept;
    ~Value();

    Kind kind() const { return kind_; }
    bool isNil() const { return kind_ == Kind::Nil; }
    bool isNull() const { return kind_ == Kind::Null; }
    bool isBool() const { return kind_ == Kind::Bool; }
    bool isInteger() const { return kind_ == Kind::Int || kind_ == Kind::UInt; }
    bool isDouble() const { return kind_ == Kind::Double; }
    // Booleans are numbers too, as on the platform.
    bool isNumber() const { return kind_ >= Kind::Bool && kind_ <= Kind::Double; }
    bool isString() const { return kind_ == Kind::String; }
    bool isData() const { return kind_ == Kind::Data; }
    bool isDate() const { return kind_ == Kind::Date; }
    bool isArray() const { return kind_ == Kind::Array; }
    bool isDictionary() const { return kind_ == Kind::Dictionary; }
    bool isSet() const { return kind_ == Kind::Set; }
    bool isObject() const { return kind_ == Kind::Object; }
    bool isMutable() const { return mutable_; }
    void setMutable(bool isMutable) { mutable_ = isMutable; }

    // Numeric readings in the platform's manner: numbers convert, texts are scanned from their start
    // (leading spaces, optional sign, digits; "YES"/"true" and friends for booleans), anything else is 0.
    bool boolValue() const;
    std::int64_t int64Value() const;
    std::uint64_t uint64Value() const;
    double doubleValue() const;
    // The text of a string; the description of a number; empty otherwise.
    std::string stringValue() const;

    // Typed access: the contents when the value is of that kind, else an empty string view / nullptr.
    std::string_view asString() const;
    const ns::Data* asData() const;
    std::optional<ns::Date> asDate() const;
    const ns::Array* asArray() const;
    const ns::Dictionary* asDictionary() const;
    const ns::Set* asSet() const;
    std::shared_ptr<Object> asObject() const;
    template <class T>
    std::shared_ptr<T> asObject() const {
        return std::dynamic_pointer_cast<T>(asObject());
    }

    // Mutable access detaches this value's storage from its other holders. Null when of another kind.
    std::string* mutableStringStorage();
    ns::Array* mutableArrayStorage();
    ns::Dictionary* mutableDictionaryStorage();
    ns::Set* mutableSetStorage();

    // Dictionary lookup; nil when this is no dictionary or the key is absent.
    const Value& operator[](std::string_view key) const;
    // Array element; nil when this is no array or the index is out of range.
    const Value& operator[](std::size_t index) const;
    // Element count of a container; 0 for anything else.
    std::size_t count() const;

    // The runtime class the platform would report for this value (NSString, NSMutableArray, NSNumber,
    // NSNull, the object's own class…); nullptr for nil.
    const Class* valueClass() const;
    bool isKindOfClass(const Class& cls) const;

    // The platform's equality of collection members: numbers compare by value across kinds (so YES == 1),
    // texts and data by content, containers element-wise, objects by Object::isEqual.
    bool operator==(const Value& other) const;
    // The platform's compare: numbers numerically, texts by UTF-16 code units, dates by time; values of
    // unrelated kinds order by kind.
    std::strong_ordering compare(const Value& other) const;

    // The platform's description: 1, 1.5, booleans as 1/0, texts bare or quoted, "<null>", "(\n    1\n)",
    // "{\n    key = value;\n}", data as hex, dates as "2001-01-01 00:00:00 +0000", objects by their own.
    std::string description() const;
    std::string description(int indentLevel) const;

private:
    struct Node;
    void release();
    Node* node() const { return scalar_.node; }

    Kind kind_ = Kind::Nil;
    bool mutable_ = false;
    union Scalar {
        bool b;
        std::int64_t i;
        std::uint64_t u;
        double d;
        Node* node;
    } scalar_{.u = 0};
};

// A dictionary keyed by text, kept sorted by key (UTF-8 byte order) so that iteration, descriptions and
// serialised forms are deterministic.
class Dictionary {
public:
    using Entry = std::pair<std::string, Value>;
    using const_iterator = std::vector<Entry>::const_iterator;
    using iterator = std::vector<Entry>::iterator;

    Dictionary() = default;
    Dictionary(std::initializer_list<Entry> entries);

    std::size_t size() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }
    const_iterator begin() const { return entries_.begin(); }
    const_iterator end() const { return entries_.end(); }
    iterator begin() { return entries_.begin(); }
    iterator end() { return entries_.end(); }

    // nullptr when the key is absent.
    const Value* find(std::string_view key) const;
    Value* find(std::string_view key);
    bool contains(std::string_view key) const { return find(key) != nullptr; }
    // The value for a key, nil when absent.
    const Value& operator[](std::string_view key) const;

    void set(std::string key, Value value);
    Value& operator[](std::string_view key);  // inserts nil when absent
    bool erase(std::string_view key);
    void clear() { entries_.clear(); }
    std::vector<std::string> keys() const;

    // Bulk building: append in any order, then finish once; later duplicates win.
    void reserve(std::size_t count) { entries_.reserve(count); }
    void appendUnsorted(std::string key, Value value);
    void finishAppending();

    bool operator==(const Dictionary& other) const;

private:
    std::vector<Entry>::const_iterator lowerBound(std::string_view key) const;
    std::vector<Entry> entries_;
};

// A set of values, kept sorted by Value::compare without duplicates (by Value equality).
class Set {
public:
    Set() = default;
    Set(std::initializer_list<Value> values);
    explicit Set(const Array& values);

    std::size_t size() const { return values_.size(); }
    bool empty() const { return values_.empty(); }
    Array::const_iterator begin() const { return values_.begin(); }
    Array::const_iterator end() const { return values_.end(); }
    bool contains(const Value& value) const;
    void insert(Value value);
    bool erase(const Value& value);
    const Array& values() const { return values_; }
    bool operator==(const Set& other) const { return values_ == other.values_; }

private:
    Array values_;
};

// The shortest decimal text that reads back as the same double ("1.5", "0.1", "100000", "1e+100", "1e-05"),
// used by descriptions and serialisers.
std::string shortestDoubleText(double d);

}  // namespace ql::ns
