#pragma once
// A corpus of property-list values shared by the serialisation tests, and a strict comparison that, unlike
// Value's own equality, tells booleans from integers, signed from unsigned and 0.0 from -0.0.

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <limits>
#include <string>

#include "platform/foundation/Value.h"

namespace ql::ns::testing {

inline Value nested(int levels, Value leaf) {
    for (int i = 0; i < levels; ++i) leaf = Value(Array{leaf});
    return leaf;
}

// Everything here survives both property-list formats exactly: dates are whole seconds in the years
// 0 to 9999, texts are what XML can carry.
inline Value plistCorpus() {
    Array many;
    for (int i = 0; i < 40; ++i) many.push_back(Value(i * 1000));
    Dictionary wide;
    for (int i = 0; i < 20; ++i) wide.set("key" + std::to_string(i), Value("value " + std::to_string(i)));
    std::string bytes;
    for (int i = 0; i < 300; ++i) bytes += static_cast<char>(i * 7);
    return Value(Dictionary{
        {"texts", Value(Array{Value(""), Value("plain"), Value("a < b & c > \"d\""), Value("中文 and emoji 😀"),
                              Value("line\r\nbreak\ttab"), Value("$null"), Value(std::string(40, 'x'))})},
        {"integers", Value(Array{Value(0), Value(1), Value(-1), Value(255), Value(256), Value(65536),
                                 Value(std::int64_t{1} << 53 | 1), Value(std::numeric_limits<std::int64_t>::max()),
                                 Value(std::numeric_limits<std::int64_t>::min()),
                                 Value(std::numeric_limits<std::uint64_t>::max()),
                                 Value(std::uint64_t{1} << 63)})},
        {"reals", Value(Array{Value(0.0), Value(-0.0), Value(1.0), Value(1.5), Value(0.1), Value(1e300),
                              Value(-2.5e-300), Value(5e-324), Value(std::numeric_limits<double>::infinity()),
                              Value(-std::numeric_limits<double>::infinity()),
                              Value(std::numeric_limits<double>::quiet_NaN())})},
        {"booleans", Value(Array{Value(true), Value(false)})},
        {"data", Value(Array{Value(Data()), Value(Data(std::string_view("hello"))), Value(Data(bytes))})},
        {"dates", Value(Array{Value(Date::fromTimeIntervalSinceReferenceDate(0)), Value(Date::fromTimeIntervalSince1970(0)),
                              Value(Date::fromTimeIntervalSinceReferenceDate(-63114076800)),  // year 1
                              Value(Date::distantFuture()),
                              Value(Date::fromTimeIntervalSince1970(1425445567))})},
        {"empty", Value(Dictionary{{"array", Value(Array{})}, {"dictionary", Value(Dictionary{})}})},
        {"many", Value(std::move(many))},
        {"wide", Value(std::move(wide))},
        {"deep", nested(20, Value("bottom"))},
        {"ключ", Value("non-ASCII key")},
    });
}

inline ::testing::AssertionResult identical(const Value& a, const Value& b, const std::string& path = "/") {
    if (a.kind() != b.kind())
        return ::testing::AssertionFailure() << path << ": kind " << int(a.kind()) << " vs " << int(b.kind());
    if (a.isMutable() != b.isMutable()) return ::testing::AssertionFailure() << path << ": mutability differs";
    switch (a.kind()) {
        case Value::Kind::Double:
        case Value::Kind::Date: {
            double x = a.doubleValue(), y = b.doubleValue();
            if (std::bit_cast<std::uint64_t>(x) != std::bit_cast<std::uint64_t>(y) && !(x != x && y != y))
                return ::testing::AssertionFailure() << path << ": " << a.description() << " vs " << b.description();
            return ::testing::AssertionSuccess();
        }
        case Value::Kind::Array:
            if (a.count() != b.count()) return ::testing::AssertionFailure() << path << ": counts differ";
            for (std::size_t i = 0; i < a.count(); ++i)
                if (auto r = identical(a[i], b[i], path + std::to_string(i) + "/"); !r) return r;
            return ::testing::AssertionSuccess();
        case Value::Kind::Dictionary:
            if (a.asDictionary()->keys() != b.asDictionary()->keys())
                return ::testing::AssertionFailure() << path << ": keys differ";
            for (const auto& [key, value] : *a.asDictionary())
                if (auto r = identical(value, b[key], path + key + "/"); !r) return r;
            return ::testing::AssertionSuccess();
        default:
            if (!(a == b)) return ::testing::AssertionFailure() << path << ": " << a.description() << " vs " << b.description();
            return ::testing::AssertionSuccess();
    }
}

}  // namespace ql::ns::testing
