#pragma once
// ns::Value: the one dynamic value type of the platform layer. It stands for the platform's `id` and its
// property-list types: nil, the null object, booleans, integers, doubles, texts, data, dates, arrays,
// dictionaries, sets and references to objects. JSON, property lists, user defaults, form parameters and
// model mapping all speak it.
//
// Copies are cheap: texts and containers live in shared immutable storage and are copied only when a
// holder mutates them. Booleans, signed and unsigned integers and doubles stay apart, as do nil (absent)
// and the null object.

#include <atomic>
#include <compare>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "platform/foundation/Data.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/DictionaryKey.h"

namespace ql::ns {

class Object;
class Class;
class Value;
class Dictionary;
class Set;
class ValueArena;

namespace detail {
void* allocateInArena(ValueArena& arena, std::size_t size);
}

// The allocator of the containers inside Values: the heap, or the ValueArena of a tree that was built in
// one piece (whose containers are read-only, so arena memory is never given back one block at a time). A
// copy of a container always lives on the heap.
template <class T>
class ValueAllocator {
public:
    using value_type = T;
    using propagate_on_container_copy_assignment = std::false_type;
    using propagate_on_container_move_assignment = std::false_type;
    using propagate_on_container_swap = std::false_type;
    using is_always_equal = std::false_type;

    ValueAllocator() noexcept = default;
    template <class U>
    ValueAllocator(const ValueAllocator<U>& other) noexcept : arena_(other.arena_) {}

    T* allocate(std::size_t n) {
        if (arena_) return static_cast<T*>(detail::allocateInArena(*arena_, n * sizeof(T)));
        return std::allocator<T>().allocate(n);
    }
    void deallocate(T* p, std::size_t n) noexcept {
        if (!arena_) std::allocator<T>().deallocate(p, n);
    }
    ValueAllocator select_on_container_copy_construction() const noexcept { return ValueAllocator(); }
    friend bool operator==(const ValueAllocator& a, const ValueAllocator& b) noexcept { return a.arena_ == b.arena_; }

private:
    template <class>
    friend class ValueAllocator;
    friend class ValueArena;
    explicit ValueAllocator(ValueArena* arena) noexcept : arena_(arena) {}

    ValueArena* arena_ = nullptr;
};

using Array = std::vector<Value, ValueAllocator<Value>>;

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
    Value(const DictionaryKey& key) : Value(key.view()) {}
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

    Value(const Value& other) : kind_(other.kind_), mutable_(other.mutable_), scalar_(other.scalar_) {
        if (hasNode(kind_)) retain();
    }
    Value(Value&& other) noexcept : kind_(other.kind_), mutable_(other.mutable_), scalar_(other.scalar_) {
        other.kind_ = Kind::Nil;
        other.mutable_ = false;
        other.scalar_.u = 0;
    }
    Value& operator=(const Value& other);
    Value& operator=(Value&& other) noexcept {
        if (this != &other) {
            if (hasNode(kind_)) release();
            kind_ = other.kind_;
            mutable_ = other.mutable_;
            scalar_ = other.scalar_;
            other.kind_ = Kind::Nil;
            other.mutable_ = false;
            other.scalar_.u = 0;
        }
        return *this;
    }
    ~Value() {
        if (hasNode(kind_)) release();
    }

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
    friend class ValueArena;

    // Texts, data, containers and objects have shared storage (the kinds from String on, but dates).
    static bool hasNode(Kind k) { return k >= Kind::String && k != Kind::Date; }
    void retain() const;
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
// serialised forms are deterministic. Keys are DictionaryKeys: short ones cost no allocation.
class Dictionary {
public:
    using Entry = std::pair<DictionaryKey, Value>;
    using Entries = std::vector<Entry, ValueAllocator<Entry>>;
    using const_iterator = Entries::const_iterator;
    using iterator = Entries::iterator;

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

    void set(DictionaryKey key, Value value);
    Value& operator[](std::string_view key);  // inserts nil when absent
    bool erase(std::string_view key);
    void clear() { entries_.clear(); }
    std::vector<std::string> keys() const;

    // Bulk building: append in any order, then finish once; later duplicates win.
    void reserve(std::size_t count) { entries_.reserve(count); }
    void appendUnsorted(DictionaryKey key, Value value);
    void finishAppending();

    bool operator==(const Dictionary& other) const;

private:
    friend class ValueArena;
    explicit Dictionary(const ValueAllocator<Entry>& allocator) : entries_(allocator) {}
    const_iterator lowerBound(std::string_view key) const;
    Entries entries_;
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

// ---- Storage of a Value (here so that the typed accessors inline) ----

// Shared storage of a Value: a reference count and a payload whose type follows from the holding Value's
// kind. A text that has never been handed out for mutation keeps its bytes right after the node, in one
// allocation; mutableStringStorage() moves it into a std::string. Nodes inside a ValueArena count nothing:
// their arena is counted as a whole, and their `refs` stays 0, which tells them apart.
struct Value::Node {
    static constexpr std::uint32_t textInStdString = UINT32_MAX;

    std::atomic<std::uint32_t> refs{1};
    // Texts only: the byte count of a text stored after the node, or textInStdString.
    std::uint32_t textSize = textInStdString;

    template <class T>
    struct Holding;
    template <class T>
    static T& payload(Node* node);

    const char* textBytes() const { return reinterpret_cast<const char*>(this + 1); }
    std::string_view text() const;
    static Node* makeText(std::string_view s);
    // Frees a node whose last reference went, and every node only it held, without recursing.
    static void destroy(Kind kind, Node* node);
    static void destroyOne(Kind kind, Node* node);
};

template <class T>
struct Value::Node::Holding : Value::Node {
    template <class... A>
    explicit Holding(A&&... a) : payload(std::forward<A>(a)...) {}
    T payload;
};

template <class T>
inline T& Value::Node::payload(Node* node) {
    return static_cast<Holding<T>*>(node)->payload;
}

inline std::string_view Value::Node::text() const {
    if (textSize != textInStdString) return std::string_view(textBytes(), textSize);
    return static_cast<const Holding<std::string>*>(this)->payload;
}

inline std::string_view Value::asString() const {
    return kind_ == Kind::String ? node()->text() : std::string_view();
}

inline const ns::Array* Value::asArray() const {
    return kind_ == Kind::Array ? &Node::payload<ns::Array>(node()) : nullptr;
}

inline const ns::Dictionary* Value::asDictionary() const {
    return kind_ == Kind::Dictionary ? &Node::payload<ns::Dictionary>(node()) : nullptr;
}

inline const ns::Set* Value::asSet() const { return kind_ == Kind::Set ? &Node::payload<ns::Set>(node()) : nullptr; }

// The shortest decimal text that reads back as the same double ("1.5", "0.1", "100000", "1e+100", "1e-05"),
// used by descriptions and serialisers.
std::string shortestDoubleText(double d);
// The same text written at `out`, which has room for shortestDoubleTextCapacity bytes; the end of the text.
inline constexpr std::size_t shortestDoubleTextCapacity = 32;
char* writeShortestDoubleText(double d, char* out);

}  // namespace ql::ns
