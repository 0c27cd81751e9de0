#include "platform/foundation/Value.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cmath>
#include <cstring>
#include <functional>
#include <new>
#include <vector>

#include "platform/foundation/Class.h"
#include "platform/foundation/Object.h"
#include "platform/foundation/ValueArena.h"

namespace ql::ns {

Value::Node* Value::Node::makeText(std::string_view s) {
    if (s.size() >= textInStdString) return new Holding<std::string>(std::string(s));
    Node* node = new (::operator new(sizeof(Node) + s.size())) Node;
    node->textSize = static_cast<std::uint32_t>(s.size());
    if (!s.empty()) std::memcpy(reinterpret_cast<char*>(node + 1), s.data(), s.size());
    return node;
}

namespace {

struct DoomedNode {
    Value::Kind kind;
    void* node;
};

// The containers waiting to be taken down, last in first out. Most teardowns meet only a few (a
// dictionary of attributes holding some objects), which wait here without a heap list.
class DoomedNodes {
public:
    void push(DoomedNode node) {
        if (count_ < inlineCapacity) inline_[count_++] = node;
        else spilled_.push_back(node);
    }
    bool pop(DoomedNode& node) {
        // Those spilled came after the inline ones.
        if (!spilled_.empty()) {
            node = spilled_.back();
            spilled_.pop_back();
            return true;
        }
        if (count_ == 0) return false;
        node = inline_[--count_];
        return true;
    }

private:
    static constexpr std::size_t inlineCapacity = 16;
    DoomedNode inline_[inlineCapacity];
    std::size_t count_ = 0;
    std::vector<DoomedNode> spilled_;
};

// The containers whose teardown is under way on this thread, if any (see Node::destroy).
thread_local DoomedNodes* doomedContainers = nullptr;

bool isContainer(Value::Kind kind) {
    return kind == Value::Kind::Array || kind == Value::Kind::Dictionary || kind == Value::Kind::Set ||
           kind == Value::Kind::Object;
}

}  // namespace

void Value::Node::destroy(Kind kind, Node* node) {
    // Destroying a container destroys its members, which may be containers in turn: a tree nested a hundred
    // thousand deep would take as many nested calls. Instead, containers met during a teardown wait in a
    // list of the outermost call, which takes them down one after the other.
    if (!isContainer(kind)) return destroyOne(kind, node);
    if (doomedContainers) return doomedContainers->push({kind, node});
    DoomedNodes doomed;
    doomedContainers = &doomed;
    struct Unlist {
        ~Unlist() { doomedContainers = nullptr; }
    } unlist;
    destroyOne(kind, node);
    for (DoomedNode next; doomed.pop(next);) destroyOne(next.kind, static_cast<Node*>(next.node));
}

void Value::Node::destroyOne(Kind kind, Node* node) {
    switch (kind) {
        case Kind::String:
            if (node->textSize != textInStdString) {
                node->~Node();
                ::operator delete(node);
            } else {
                delete static_cast<Holding<std::string>*>(node);
            }
            return;
        case Kind::Data: delete static_cast<Holding<ns::Data>*>(node); return;
        case Kind::Array: delete static_cast<Holding<ns::Array>*>(node); return;
        case Kind::Dictionary: delete static_cast<Holding<ns::Dictionary>*>(node); return;
        case Kind::Set: delete static_cast<Holding<ns::Set>*>(node); return;
        case Kind::Object: delete static_cast<Holding<std::shared_ptr<Object>>*>(node); return;
        default: return;
    }
}

namespace {

const Value& nilValue() {
    static const auto& nil = *new Value;
    return nil;
}

// Up to this many entries, a dictionary's find scans instead of searching.
constexpr std::size_t scannedSize = 16;

}  // namespace

// ---- Dictionary ----

Dictionary::Dictionary(std::initializer_list<Entry> entries) {
    for (const auto& e : entries) appendUnsorted(e.first, e.second);
    finishAppending();
}

namespace {

// Byte order of two keys. Keys tend to differ within their first few bytes, which a loop reaches sooner
// than a call to memcmp.
bool keyLess(std::string_view a, std::string_view b) {
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i)
        if (a[i] != b[i]) return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[i]);
    return a.size() < b.size();
}

}  // namespace

Dictionary::const_iterator Dictionary::lowerBound(std::string_view key) const {
    return std::lower_bound(entries_.begin(), entries_.end(), key,
                            [](const Entry& e, std::string_view k) { return keyLess(e.first, k); });
}

const Value* Dictionary::find(std::string_view key) const {
    // Most dictionaries are small: scanned, a key of another length is passed over without reading its
    // bytes, which costs less than the byte comparisons of a binary search.
    if (entries_.size() <= scannedSize) {
        for (const Entry& entry : entries_)
            if (entry.first.equals(key)) return &entry.second;
        return nullptr;
    }
    auto it = lowerBound(key);
    return it != entries_.end() && it->first == key ? &it->second : nullptr;
}

Value* Dictionary::find(std::string_view key) { return const_cast<Value*>(std::as_const(*this).find(key)); }

const Value& Dictionary::operator[](std::string_view key) const {
    const Value* v = find(key);
    return v ? *v : nilValue();
}

void Dictionary::set(DictionaryKey key, Value value) {
    auto it = entries_.begin() + (lowerBound(key) - entries_.cbegin());
    if (it != entries_.end() && it->first == key) {
        it->second = std::move(value);
    } else {
        entries_.emplace(it, std::move(key), std::move(value));
    }
}

Value& Dictionary::operator[](std::string_view key) {
    auto it = entries_.begin() + (lowerBound(key) - entries_.cbegin());
    if (it == entries_.end() || it->first != key) it = entries_.emplace(it, key, Value());
    return it->second;
}

bool Dictionary::erase(std::string_view key) {
    auto it = lowerBound(key);
    if (it == entries_.end() || it->first != key) return false;
    entries_.erase(it);
    return true;
}

std::vector<std::string> Dictionary::keys() const {
    std::vector<std::string> out;
    out.reserve(entries_.size());
    for (const auto& e : entries_) out.push_back(e.first);
    return out;
}

void Dictionary::appendUnsorted(DictionaryKey key, Value value) { entries_.emplace_back(std::move(key), std::move(value)); }

void Dictionary::finishAppending() {
    // Entries appended in order and without duplicates (most often) need neither sorting nor merging.
    auto byKey = [](const Entry& a, const Entry& b) { return keyLess(a.first, b.first); };
    if (std::adjacent_find(entries_.begin(), entries_.end(), std::not_fn(byKey)) == entries_.end()) return;
    // A stable sort keeps insertion order among equal keys, so the last duplicate can win. Parsed
    // dictionaries are small and often sorted already; those are sorted in place, since stable_sort
    // allocates a buffer on every call.
    if (!std::is_sorted(entries_.begin(), entries_.end(), byKey)) {
        if (entries_.size() > 16) {
            std::stable_sort(entries_.begin(), entries_.end(), byKey);
        } else {
            for (auto it = entries_.begin() + 1; it != entries_.end(); ++it) {
                if (!byKey(*it, *(it - 1))) continue;
                Entry moving = std::move(*it);
                auto hole = it;
                for (; hole != entries_.begin() && byKey(moving, *(hole - 1)); --hole) *hole = std::move(*(hole - 1));
                *hole = std::move(moving);
            }
        }
    }
    auto out = entries_.begin();
    for (auto it = entries_.begin(); it != entries_.end();) {
        auto last = it;
        while (last + 1 != entries_.end() && (last + 1)->first == it->first) ++last;
        if (out != last) *out = std::move(*last);
        ++out;
        it = last + 1;
    }
    entries_.erase(out, entries_.end());
}

bool Dictionary::operator==(const Dictionary& other) const { return this == &other || entries_ == other.entries_; }

// ---- Set ----

Set::Set(std::initializer_list<Value> values) {
    for (const auto& v : values) insert(v);
}

Set::Set(const Array& values) {
    for (const auto& v : values) insert(v);
}

bool Set::contains(const Value& value) const {
    auto it = std::lower_bound(values_.begin(), values_.end(), value,
                               [](const Value& a, const Value& b) { return a.compare(b) < 0; });
    return it != values_.end() && *it == value;
}

void Set::insert(Value value) {
    auto it = std::lower_bound(values_.begin(), values_.end(), value,
                               [](const Value& a, const Value& b) { return a.compare(b) < 0; });
    if (it != values_.end() && *it == value) return;
    values_.insert(it, std::move(value));
}

bool Set::erase(const Value& value) {
    auto it = std::lower_bound(values_.begin(), values_.end(), value,
                               [](const Value& a, const Value& b) { return a.compare(b) < 0; });
    if (it == values_.end() || !(*it == value)) return false;
    values_.erase(it);
    return true;
}

// ---- Value: construction and lifetime ----

Value::Value(const char* s) {
    if (s) {
        kind_ = Kind::String;
        scalar_.node = Node::makeText(s);
    }
}
Value::Value(std::string_view s) : kind_(Kind::String) { scalar_.node = Node::makeText(s); }
Value::Value(std::string&& s) : kind_(Kind::String) { scalar_.node = new Node::Holding<std::string>(std::move(s)); }
Value::Value(ns::Data d) : kind_(Kind::Data) { scalar_.node = new Node::Holding<ns::Data>(std::move(d)); }
Value::Value(ns::Array a) : kind_(Kind::Array) { scalar_.node = new Node::Holding<ns::Array>(std::move(a)); }
Value::Value(ns::Dictionary d) : kind_(Kind::Dictionary) {
    scalar_.node = new Node::Holding<ns::Dictionary>(std::move(d));
}
Value::Value(ns::Set s) : kind_(Kind::Set) { scalar_.node = new Node::Holding<ns::Set>(std::move(s)); }
Value::Value(std::shared_ptr<Object> o) {
    if (o) {
        kind_ = Kind::Object;
        scalar_.node = new Node::Holding<std::shared_ptr<Object>>(std::move(o));
    }
}

Value Value::null() {
    Value v;
    v.kind_ = Kind::Null;
    return v;
}

Value Value::mutableString(std::string s) {
    Value v(std::move(s));
    v.mutable_ = true;
    return v;
}

Value Value::mutableArray(ns::Array a) {
    Value v(std::move(a));
    v.mutable_ = true;
    return v;
}

Value Value::mutableDictionary() { return mutableDictionary(ns::Dictionary()); }

Value Value::mutableDictionary(ns::Dictionary d) {
    Value v(std::move(d));
    v.mutable_ = true;
    return v;
}

void Value::retain() const {
    Node* n = scalar_.node;
    if (n->refs.load(std::memory_order_relaxed) == 0) ValueArena::of(n).retain();
    else n->refs.fetch_add(1, std::memory_order_relaxed);
}

Value& Value::operator=(const Value& other) {
    if (this != &other) {
        Value copy(other);
        *this = std::move(copy);
    }
    return *this;
}

void Value::release() {
    if (hasNode(kind_)) {
        Node* n = scalar_.node;
        // A sole holder needs no atomic decrement: no one else can be copying the node meanwhile.
        std::uint32_t refs = n->refs.load(std::memory_order_acquire);
        if (refs == 0) ValueArena::of(n).release();
        else if (refs == 1 || n->refs.fetch_sub(1, std::memory_order_acq_rel) == 1) Node::destroy(kind_, n);
    }
    scalar_.u = 0;
}

// ---- Typed access ----

const ns::Data* Value::asData() const { return kind_ == Kind::Data ? &Node::payload<ns::Data>(node()) : nullptr; }

std::optional<ns::Date> Value::asDate() const {
    if (kind_ != Kind::Date) return std::nullopt;
    return ns::Date::fromTimeIntervalSince1970(scalar_.d);
}

std::shared_ptr<Object> Value::asObject() const {
    return kind_ == Kind::Object ? Node::payload<std::shared_ptr<Object>>(node()) : nullptr;
}

std::string* Value::mutableStringStorage() {
    if (kind_ != Kind::String) return nullptr;
    if (node()->textSize != Node::textInStdString || node()->refs.load(std::memory_order_acquire) != 1) {
        Node* own = new Node::Holding<std::string>(std::string(asString()));
        release();
        scalar_.node = own;
    }
    return &Node::payload<std::string>(node());
}

#define QL_DETACH(Type, KindName)                                                       \
    if (kind_ != Kind::KindName) return nullptr;                                        \
    if (scalar_.node->refs.load(std::memory_order_acquire) != 1) {                      \
        Node* copy = new Node::Holding<Type>(Node::payload<Type>(scalar_.node));               \
        release();                                                                      \
        scalar_.node = copy;                                                            \
    }                                                                                   \
    return &Node::payload<Type>(scalar_.node)

ns::Array* Value::mutableArrayStorage() { QL_DETACH(ns::Array, Array); }
ns::Dictionary* Value::mutableDictionaryStorage() { QL_DETACH(ns::Dictionary, Dictionary); }
ns::Set* Value::mutableSetStorage() { QL_DETACH(ns::Set, Set); }

#undef QL_DETACH

const Value& Value::operator[](std::string_view key) const {
    const ns::Dictionary* d = asDictionary();
    return d ? (*d)[key] : nilValue();
}

const Value& Value::operator[](std::size_t index) const {
    const ns::Array* a = asArray();
    return a && index < a->size() ? (*a)[index] : nilValue();
}

std::size_t Value::count() const {
    switch (kind_) {
        case Kind::Array: return asArray()->size();
        case Kind::Dictionary: return asDictionary()->size();
        case Kind::Set: return asSet()->size();
        default: return 0;
    }
}

// ---- Numeric readings ----

namespace {

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

std::string_view skipSpace(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size() && isSpace(s[i])) ++i;
    return s.substr(i);
}

// Leading decimal integer of a text, saturating like the platform's longLongValue.
std::int64_t scanInteger(std::string_view s) {
    s = skipSpace(s);
    bool negative = false;
    if (!s.empty() && (s[0] == '+' || s[0] == '-')) {
        negative = s[0] == '-';
        s.remove_prefix(1);
    }
    std::uint64_t magnitude = 0;
    bool overflow = false;
    for (char c : s) {
        if (c < '0' || c > '9') break;
        if (magnitude > (UINT64_MAX - 9) / 10) overflow = true;
        if (!overflow) magnitude = magnitude * 10 + static_cast<std::uint64_t>(c - '0');
    }
    if (negative) {
        if (overflow || magnitude > static_cast<std::uint64_t>(INT64_MAX) + 1) return INT64_MIN;
        return magnitude == static_cast<std::uint64_t>(INT64_MAX) + 1 ? INT64_MIN
                                                                      : -static_cast<std::int64_t>(magnitude);
    }
    if (overflow || magnitude > static_cast<std::uint64_t>(INT64_MAX)) return INT64_MAX;
    return static_cast<std::int64_t>(magnitude);
}

double scanDouble(std::string_view s) {
    s = skipSpace(s);
    if (!s.empty() && s[0] == '+') s.remove_prefix(1);
    double d = 0;
    auto r = std::from_chars(s.data(), s.data() + s.size(), d);
    return r.ec == std::errc() || r.ec == std::errc::result_out_of_range ? d : 0.0;
}

}  // namespace

bool Value::boolValue() const {
    switch (kind_) {
        case Kind::Bool: return scalar_.b;
        case Kind::Int: return scalar_.i != 0;
        case Kind::UInt: return scalar_.u != 0;
        case Kind::Double: return scalar_.d != 0.0;
        case Kind::String: {
            // The platform's rule: after spaces and an optional sign and zeros, Y/y/T/t or a digit 1-9.
            std::string_view s = skipSpace(asString());
            if (!s.empty() && (s[0] == '+' || s[0] == '-')) s.remove_prefix(1);
            while (!s.empty() && s[0] == '0') s.remove_prefix(1);
            if (s.empty()) return false;
            char c = s[0];
            return c == 'Y' || c == 'y' || c == 'T' || c == 't' || (c >= '1' && c <= '9');
        }
        default: return false;
    }
}

std::int64_t Value::int64Value() const {
    switch (kind_) {
        case Kind::Bool: return scalar_.b ? 1 : 0;
        case Kind::Int: return scalar_.i;
        case Kind::UInt: return static_cast<std::int64_t>(scalar_.u);
        case Kind::Double:
            if (std::isnan(scalar_.d)) return 0;
            if (scalar_.d >= 9223372036854775807.0) return INT64_MAX;
            if (scalar_.d <= -9223372036854775808.0) return INT64_MIN;
            return static_cast<std::int64_t>(scalar_.d);
        case Kind::String: return scanInteger(asString());
        default: return 0;
    }
}

std::uint64_t Value::uint64Value() const {
    switch (kind_) {
        case Kind::UInt: return scalar_.u;
        case Kind::Double:
            if (!(scalar_.d > 0)) return static_cast<std::uint64_t>(int64Value());
            if (scalar_.d >= 18446744073709551615.0) return UINT64_MAX;
            return static_cast<std::uint64_t>(scalar_.d);
        default: return static_cast<std::uint64_t>(int64Value());
    }
}

double Value::doubleValue() const {
    switch (kind_) {
        case Kind::Bool: return scalar_.b ? 1.0 : 0.0;
        case Kind::Int: return static_cast<double>(scalar_.i);
        case Kind::UInt: return static_cast<double>(scalar_.u);
        case Kind::Double: return scalar_.d;
        case Kind::Date: return scalar_.d;
        case Kind::String: return scanDouble(asString());
        default: return 0.0;
    }
}

namespace {

// A double that is a decimal of at most 15 significant digits in [1e-4, 1e15) (a price, a rating, a
// coordinate: most doubles in replies) written positionally, without the general search for the shortest
// digits. With so few digits, no two decimals with as many fractional digits read back as the same double,
// and the one nearest to d * 10^k is the integer nearest to its rounded product. So one test at the most
// fractional digits that still leave 15 in all decides: the integer nearest to d * 10^k, divided by 10^k
// (both exact, one correctly rounded division, as reading rounds), gives d back exactly when some decimal
// of at most 15 digits does, and that integer is the shortest such decimal padded with zeros. Nothing when
// `d` is no such decimal. (One division for every double: a long one fails the test as quickly as a short
// one passes it.)
char* writeShortDecimal(double d, char* out) {
    static constexpr double powersOfTen[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                             1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    constexpr double digitsLimit = 1e15;
    const double magnitude = std::fabs(d);
    if (!(magnitude >= 1e-4 && magnitude < digitsLimit)) return nullptr;
    // The most fractional digits that leave at most 15 in all; counted down, as most doubles have a few
    // integer digits.
    int k = 15;
    while (k > 0 && !(magnitude * powersOfTen[k] < digitsLimit)) --k;
    // Below 2^52, adding and taking away 2^52 rounds to the nearest integer (ties to even), as nearbyint
    // does in the default rounding mode, without a call.
    constexpr double roundingShift = 4503599627370496.0;
    const double nearest = (magnitude * powersOfTen[k] + roundingShift) - roundingShift;
    if (nearest / powersOfTen[k] != magnitude) return nullptr;
    // The padding zeros go in halving steps (at most 15 of them, so each step is taken once at most), by
    // constant divisors, which the compiler turns into multiplications.
    auto integer = static_cast<std::uint64_t>(nearest);
    const auto strip = [&]<int zeros, std::uint64_t power>() {
        if (k >= zeros && integer % power == 0) {
            integer /= power;
            k -= zeros;
        }
    };
    strip.operator()<8, 100000000>();
    strip.operator()<4, 10000>();
    strip.operator()<2, 100>();
    strip.operator()<1, 10>();
    char digits[16];
    char* end = std::to_chars(digits, digits + sizeof digits, integer).ptr;
    const int count = static_cast<int>(end - digits);
    char* w = out;
    if (d < 0) *w++ = '-';
    if (k == 0) return std::copy(digits, end, w);
    if (count > k) {
        w = std::copy(digits, end - k, w);
        *w++ = '.';
        return std::copy(end - k, end, w);
    }
    *w++ = '0';
    *w++ = '.';
    w = std::fill_n(w, k - count, '0');
    return std::copy(digits, end, w);
}

}  // namespace

char* writeShortestDoubleText(double d, char* out) {
    auto copy = [out](std::string_view text) { return std::copy(text.begin(), text.end(), out); };
    if (std::isnan(d)) return copy("nan");
    if (std::isinf(d)) return copy(d > 0 ? "inf" : "-inf");
    if (char* end = writeShortDecimal(d, out)) return end;
    // The shortest digits, laid out as printf's %g lays them out: positional unless the exponent is below
    // -4 or reaches 17. (Left to itself, to_chars takes whichever form is shorter, giving "1e+05".) Reading
    // is monotonic, so the shortest digits of a double below the double 1e-4 lie below 1e-4 and those of
    // any other double at or above it; likewise at 1e17, which is exact. The positional form of to_chars
    // writes the same shortest digits, and the exact integer from 2^53 on, where the shortest digits padded
    // with zeros may name another integer than the double's own.
    const double magnitude = std::fabs(d);
    const bool positional = magnitude == 0 || (magnitude >= 1e-4 && magnitude < 1e17);
    return std::to_chars(out, out + shortestDoubleTextCapacity, d,
                         positional ? std::chars_format::fixed : std::chars_format::scientific)
        .ptr;
}

std::string shortestDoubleText(double d) {
    char buffer[shortestDoubleTextCapacity];
    return std::string(buffer, writeShortestDoubleText(d, buffer));
}

std::string Value::stringValue() const {
    switch (kind_) {
        case Kind::String: return std::string(asString());
        case Kind::Bool:
        case Kind::Int:
        case Kind::UInt:
        case Kind::Double: return description();
        default: return {};
    }
}

// ---- Classes ----

const Class* Value::valueClass() const {
    switch (kind_) {
        case Kind::Nil: return nullptr;
        case Kind::Null: return Class::named("NSNull");
        case Kind::Bool:
        case Kind::Int:
        case Kind::UInt:
        case Kind::Double: return Class::named("NSNumber");
        case Kind::String: return Class::named(mutable_ ? "NSMutableString" : "NSString");
        case Kind::Data: return Class::named(mutable_ ? "NSMutableData" : "NSData");
        case Kind::Date: return Class::named("NSDate");
        case Kind::Array: return Class::named(mutable_ ? "NSMutableArray" : "NSArray");
        case Kind::Dictionary: return Class::named(mutable_ ? "NSMutableDictionary" : "NSDictionary");
        case Kind::Set: return Class::named(mutable_ ? "NSMutableSet" : "NSSet");
        case Kind::Object: return &asObject()->objectClass();
    }
    return nullptr;
}

bool Value::isKindOfClass(const Class& cls) const {
    const Class* c = valueClass();
    return c && c->isSubclassOf(cls);
}

// ---- Equality and ordering ----

namespace {

// Exact comparison of two numbers of any kinds, without losing 64-bit precision.
std::strong_ordering compareNumbers(const Value& a, const Value& b) {
    using K = Value::Kind;
    auto asInt = [](const Value& v) { return v.kind() == K::Bool ? (v.boolValue() ? 1 : 0) : v.int64Value(); };
    K ka = a.kind() == K::Bool ? K::Int : a.kind();
    K kb = b.kind() == K::Bool ? K::Int : b.kind();
    if (ka == K::Double || kb == K::Double) {
        double x = a.doubleValue(), y = b.doubleValue();
        if (ka != K::Double || kb != K::Double) {
            // An integer against a double: compare exactly when the double is integral and in range.
            const Value& iv = ka == K::Double ? b : a;
            double dv = ka == K::Double ? x : y;
            bool swapped = ka == K::Double;
            std::strong_ordering r = std::strong_ordering::equal;
            if (std::isnan(dv)) {
                r = std::strong_ordering::less;
            } else if (dv >= 18446744073709551616.0) {
                r = std::strong_ordering::less;
            } else if (dv < -9223372036854775808.0) {
                r = std::strong_ordering::greater;
            } else {
                double fl = std::floor(dv);
                if (iv.kind() == K::UInt) {
                    if (fl < 0) r = std::strong_ordering::greater;
                    else r = iv.uint64Value() <=> static_cast<std::uint64_t>(fl);
                } else if (fl >= 9223372036854775808.0) {
                    r = std::strong_ordering::less;  // past every signed integer, and past its conversion
                } else {
                    r = asInt(iv) <=> static_cast<std::int64_t>(fl);
                }
                if (r == std::strong_ordering::equal && fl != dv) r = std::strong_ordering::less;
            }
            if (swapped) r = 0 <=> r;
            return r;
        }
        if (x < y) return std::strong_ordering::less;
        if (x > y) return std::strong_ordering::greater;
        return std::strong_ordering::equal;
    }
    if (ka == K::UInt && kb == K::UInt) return a.uint64Value() <=> b.uint64Value();
    if (ka == K::UInt) {
        std::int64_t y = asInt(b);
        if (y < 0) return std::strong_ordering::greater;
        return a.uint64Value() <=> static_cast<std::uint64_t>(y);
    }
    if (kb == K::UInt) return 0 <=> compareNumbers(b, a);
    return asInt(a) <=> asInt(b);
}

std::uint32_t decodeUtf8(std::string_view s, std::size_t& i) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    std::size_t len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 1;
    if (i + len > s.size()) len = 1;
    std::uint32_t cp = len == 1 ? c : len == 2 ? (c & 0x1F) : len == 3 ? (c & 0x0F) : (c & 0x07);
    for (std::size_t k = 1; k < len; ++k) cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    i += len;
    return cp;
}


// Order of two UTF-8 texts by their UTF-16 code units: code point order, except that supplementary
// characters (surrogate pairs) sort below U+E000..U+FFFF.
std::strong_ordering compareUtf16(std::string_view a, std::string_view b) {
    auto sortKey = [](std::uint32_t cp) { return cp >= 0x10000 ? 0xD800 + ((cp - 0x10000) >> 10) : cp; };
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i] == b[j] && static_cast<unsigned char>(a[i]) < 0x80) {
            ++i, ++j;
            continue;
        }
        std::uint32_t x = decodeUtf8(a, i), y = decodeUtf8(b, j);
        if (x == y) continue;
        std::uint32_t kx = sortKey(x), ky = sortKey(y);
        if (kx != ky) return kx <=> ky;
        return x <=> y;  // same lead surrogate: the trail orders as the code point does
    }
    if (i < a.size()) return std::strong_ordering::greater;
    if (j < b.size()) return std::strong_ordering::less;
    return std::strong_ordering::equal;
}

int kindRank(Value::Kind k) {
    return k == Value::Kind::Bool || k == Value::Kind::UInt || k == Value::Kind::Double
               ? static_cast<int>(Value::Kind::Int)
               : static_cast<int>(k);
}

}  // namespace

bool Value::operator==(const Value& other) const {
    if (isNumber() && other.isNumber()) return compareNumbers(*this, other) == std::strong_ordering::equal;
    if (kind_ != other.kind_) return false;
    switch (kind_) {
        case Kind::Nil:
        case Kind::Null: return true;
        case Kind::Date: return scalar_.d == other.scalar_.d;
        case Kind::String: return asString() == other.asString();
        case Kind::Data: return *asData() == *other.asData();
        case Kind::Array: return node() == other.node() || *asArray() == *other.asArray();
        case Kind::Dictionary: return node() == other.node() || *asDictionary() == *other.asDictionary();
        case Kind::Set: return node() == other.node() || *asSet() == *other.asSet();
        case Kind::Object: {
            // Compared where they are held: copies of the pointers would cost four atomic counts.
            const Object* a = Node::payload<std::shared_ptr<Object>>(node()).get();
            const Object* b = Node::payload<std::shared_ptr<Object>>(other.node()).get();
            return a == b || a->isEqual(*b);
        }
        default: return false;
    }
}

std::strong_ordering Value::compare(const Value& other) const {
    if (isNumber() && other.isNumber()) return compareNumbers(*this, other);
    if (kindRank(kind_) != kindRank(other.kind_)) return kindRank(kind_) <=> kindRank(other.kind_);
    switch (kind_) {
        case Kind::String: return compareUtf16(asString(), other.asString());
        case Kind::Date:
            return scalar_.d < other.scalar_.d   ? std::strong_ordering::less
                   : scalar_.d > other.scalar_.d ? std::strong_ordering::greater
                                                 : std::strong_ordering::equal;
        case Kind::Data: return asData()->compare(*other.asData()) <=> 0;
        case Kind::Array: {
            const auto &a = *asArray(), &b = *other.asArray();
            for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
                auto r = a[i].compare(b[i]);
                if (r != std::strong_ordering::equal) return r;
            }
            return a.size() <=> b.size();
        }
        case Kind::Object: {
            if (*this == other) return std::strong_ordering::equal;
            return asObject().get() <=> other.asObject().get();
        }
        default: return count() <=> other.count();
    }
}

// ---- Descriptions ----

namespace {

// Texts inside collection descriptions print bare only when made of ASCII letters and digits.
bool isBareCharacter(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

void appendQuotedText(std::string& out, std::string_view s) {
    bool bare = !s.empty();
    for (unsigned char c : s) bare = bare && isBareCharacter(c);
    if (bare) {
        out += s;
        return;
    }
    out += '"';
    char buf[16];
    for (std::size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            ++i;
            switch (c) {
                case '"': out += "\\\""; break;
                case '\\': out += "\\\\"; break;
                case '\n': out += "\\n"; break;
                case '\t': out += "\\t"; break;
                case '\r': out += "\\r"; break;
                default:
                    if (c < 0x20) {
                        std::snprintf(buf, sizeof buf, "\\%03o", c);
                        out += buf;
                    } else {
                        out += static_cast<char>(c);
                    }
            }
            continue;
        }
        std::uint32_t cp = decodeUtf8(s, i);
        auto unit = [&](std::uint32_t u) {
            std::snprintf(buf, sizeof buf, "\\U%04x", u);
            out += buf;
        };
        if (cp >= 0x10000) {
            cp -= 0x10000;
            unit(0xD800 + (cp >> 10));
            unit(0xDC00 + (cp & 0x3FF));
        } else {
            unit(cp);
        }
    }
    out += '"';
}

void appendIndent(std::string& out, int level) { out.append(static_cast<std::size_t>(level) * 4, ' '); }

// A container at nesting level L prints its own indentation before its opening bracket, and its members
// at level L + 1, as the platform does (hence the familiar "list =     (" of nested descriptions).
void appendDescription(std::string& out, const Value& v, int level, bool nested);

void appendElements(std::string& out, const Array& elements, int level) {
    out += "\n";
    for (std::size_t i = 0; i < elements.size(); ++i) {
        appendIndent(out, level + 1);
        appendDescription(out, elements[i], level + 1, true);
        if (i + 1 < elements.size()) out += ',';
        out += '\n';
    }
    appendIndent(out, level);
}

void appendDescription(std::string& out, const Value& v, int level, bool nested) {
    using K = Value::Kind;
    switch (v.kind()) {
        case K::String:
            if (nested) appendQuotedText(out, v.asString());
            else out += v.asString();
            return;
        case K::Array:
            appendIndent(out, level);
            out += '(';
            appendElements(out, *v.asArray(), level);
            out += ')';
            return;
        case K::Set:
            appendIndent(out, level);
            out += "{(";
            appendElements(out, v.asSet()->values(), level);
            out += ")}";
            return;
        case K::Dictionary:
            appendIndent(out, level);
            out += "{\n";
            for (const auto& [key, value] : *v.asDictionary()) {
                appendIndent(out, level + 1);
                appendQuotedText(out, key);
                out += " = ";
                appendDescription(out, value, level + 1, true);
                out += ";\n";
            }
            appendIndent(out, level);
            out += '}';
            return;
        default: out += v.description(level);
    }
}

}  // namespace

std::string Value::description() const { return description(0); }

std::string Value::description(int indentLevel) const {
    switch (kind_) {
        case Kind::Nil: return "(null)";
        case Kind::Null: return "<null>";
        case Kind::Bool: return scalar_.b ? "1" : "0";
        case Kind::Int: return std::to_string(scalar_.i);
        case Kind::UInt: return std::to_string(scalar_.u);
        case Kind::Double: return shortestDoubleText(scalar_.d);
        case Kind::String: return std::string(asString());
        case Kind::Data: return asData()->description();
        case Kind::Date: return asDate()->description();
        case Kind::Object: return asObject()->description();
        case Kind::Array:
        case Kind::Dictionary:
        case Kind::Set: {
            std::string out;
            appendDescription(out, *this, indentLevel, false);
            return out;
        }
    }
    return {};
}

}  // namespace ql::ns
