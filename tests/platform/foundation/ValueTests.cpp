#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <map>
#include <random>
#include <string>

#include "platform/foundation/Class.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Object.h"
#include "platform/foundation/Value.h"

using namespace ql::ns;

namespace {

// Counts its instances, to see a teardown reach every object of a tree.
class Tracked : public Object {
    QL_OBJECT(Tracked, Object)
public:
    explicit Tracked(Value held = {}) : held_(std::move(held)) { ++alive; }
    ~Tracked() override { --alive; }
    static inline int alive = 0;

private:
    Value held_;
};

// Equal to any other of its kind with the same number, as value objects (colours, fonts) are.
class Numbered : public Object {
    QL_OBJECT(Numbered, Object)
public:
    explicit Numbered(int number) : number_(number) {}
    bool isEqual(const Object& other) const override {
        const auto* numbered = dynamic_cast<const Numbered*>(&other);
        return numbered && numbered->number_ == number_;
    }

private:
    int number_;
};

}  // namespace

TEST(Value, KeepsKindsApart) {
    EXPECT_TRUE(Value(true).isBool());
    EXPECT_TRUE(Value(1).isInteger());
    EXPECT_TRUE(Value(1.0).isDouble());
    EXPECT_TRUE(Value(std::uint64_t{1} << 63).isInteger());
    EXPECT_EQ(Value(std::uint64_t{1} << 63).kind(), Value::Kind::UInt);
    EXPECT_TRUE(Value().isNil());
    EXPECT_TRUE(Value::null().isNull());
    EXPECT_FALSE(Value::null().isNil());
    EXPECT_TRUE(Value(static_cast<const char*>(nullptr)).isNil());
    EXPECT_TRUE(Value("x").isString());

    Dictionary d{{"present", Value::null()}};
    EXPECT_NE(d.find("present"), nullptr);
    EXPECT_TRUE(d["present"].isNull());
    EXPECT_EQ(d.find("absent"), nullptr);
    EXPECT_TRUE(d["absent"].isNil());
}

TEST(Value, EqualityAsCollectionsCompare) {
    EXPECT_EQ(Value(true), Value(1));
    EXPECT_EQ(Value(1), Value(1.0));
    EXPECT_NE(Value(1), Value(1.5));
    EXPECT_NE(Value(1), Value("1"));
    // 2^53 + 1 is not representable as a double: an exact comparison must still tell them apart.
    std::int64_t big = (std::int64_t{1} << 53) + 1;
    EXPECT_NE(Value(big), Value(static_cast<double>(big)));
    EXPECT_EQ(Value(std::uint64_t{5}), Value(std::int64_t{5}));
    EXPECT_NE(Value(std::uint64_t{UINT64_MAX}), Value(std::int64_t{-1}));
    EXPECT_TRUE(Value(-1).compare(Value(std::uint64_t{UINT64_MAX})) < 0);
    // A signed integer against a whole double past its range (2^63 up to 2^64): the double is larger.
    EXPECT_TRUE(Value(5).compare(Value(1e19)) < 0);
    EXPECT_TRUE(Value(1e19).compare(Value(std::int64_t{INT64_MAX})) > 0);
    EXPECT_TRUE(Value(true).compare(Value(9223372036854775808.0)) < 0);
    EXPECT_NE(Value(std::int64_t{INT64_MIN}), Value(9223372036854775808.0));
    EXPECT_EQ(Value(std::uint64_t{1} << 63), Value(9223372036854775808.0));
    EXPECT_EQ(Value(Array{1, "a"}), Value(Array{1.0, "a"}));
    EXPECT_NE(Value(Array{1, "a"}), Value(Array{1, "b"}));
    EXPECT_EQ(Value(Dictionary{{"a", 1}, {"b", Array{}}}), Value(Dictionary{{"b", Array{}}, {"a", true}}));
    EXPECT_EQ(Value::null(), Value::null());
    EXPECT_NE(Value::null(), Value());
    EXPECT_EQ(Value(Data("ab")), Value(Data("ab")));

    // Objects compare by their own equality, in dictionaries too; the same object is equal to itself.
    const Value one(std::make_shared<Numbered>(1));
    EXPECT_EQ(one, one);
    EXPECT_EQ(one, Value(std::make_shared<Numbered>(1)));
    EXPECT_NE(one, Value(std::make_shared<Numbered>(2)));
    EXPECT_NE(one, Value(std::make_shared<Tracked>()));
    EXPECT_NE(Value(std::make_shared<Tracked>()), Value(std::make_shared<Tracked>()));
    const Dictionary attributes{{"NSColor", one}, {"NSFont", Value(std::make_shared<Numbered>(12))}};
    EXPECT_EQ(attributes, attributes);
    EXPECT_EQ(attributes, (Dictionary{{"NSFont", Value(std::make_shared<Numbered>(12))}, {"NSColor", Value(std::make_shared<Numbered>(1))}}));
    EXPECT_NE(attributes, (Dictionary{{"NSFont", Value(std::make_shared<Numbered>(13))}, {"NSColor", one}}));
    EXPECT_NE(attributes, (Dictionary{{"NSColor", one}}));
}

TEST(Value, OrdersTextsByUtf16Units) {
    EXPECT_TRUE(Value("a").compare(Value("b")) < 0);
    EXPECT_TRUE(Value("ab").compare(Value("a")) > 0);
    // U+FF21 (fullwidth A) sorts after U+1F600 in UTF-16 order, though its code point is smaller.
    EXPECT_TRUE(Value("\U0001F600").compare(Value("\uFF21")) < 0);
    EXPECT_TRUE(Value("\u4E2D").compare(Value("\U0001F600")) < 0);
    Set s{"b", "a", 2, 1, "a"};
    ASSERT_EQ(s.size(), 4u);
    EXPECT_EQ(s.values()[0], Value(1));
    EXPECT_EQ(s.values()[3], Value("b"));
}

TEST(Value, DescriptionsInThePlatformStyle) {
    EXPECT_EQ(Value(1).description(), "1");
    EXPECT_EQ(Value(1.5).description(), "1.5");
    EXPECT_EQ(Value(1.0).description(), "1");
    EXPECT_EQ(Value(0.1).description(), "0.1");
    EXPECT_EQ(Value(true).description(), "1");
    EXPECT_EQ(Value(false).description(), "0");
    EXPECT_EQ(Value::null().description(), "<null>");
    EXPECT_EQ(Value().description(), "(null)");
    EXPECT_EQ(Value("a b").description(), "a b");
    EXPECT_EQ(Value(Data("hello")).description(), "<68656c6c 6f>");
    EXPECT_EQ(Value(Date::fromTimeIntervalSinceReferenceDate(0)).description(), "2001-01-01 00:00:00 +0000");
    EXPECT_EQ(Value(Array{}).description(), "(\n)");
    EXPECT_EQ(Value(Array{1, "a b"}).description(), "(\n    1,\n    \"a b\"\n)");
    Value nested(Dictionary{{"msg", "\u767b\u5f55"}, {"list", Array{Dictionary{{"id", 7}}}}, {"url", "http://x/y"}});
    EXPECT_EQ(nested.description(),
              "{\n"
              "    list =     (\n"
              "                {\n"
              "            id = 7;\n"
              "        }\n"
              "    );\n"
              "    msg = \"\\U767b\\U5f55\";\n"
              "    url = \"http://x/y\";\n"
              "}");
}

TEST(Value, ShortestDoubleTexts) {
    // Short decimals take a quicker way to their digits than other doubles; the texts must agree with the
    // standard library's shortest digits either way, laid out as %g lays them out.
    auto reference = [](double d) {
        char buffer[64];
        char* end = std::to_chars(buffer, buffer + sizeof buffer, d, std::chars_format::scientific).ptr;
        // to_chars writes no terminator: read the exponent up to `end` only.
        const char* e = std::find(buffer, end, 'e') + 1;
        int exponent = 0;
        std::from_chars(e + (*e == '+' ? 1 : 0), end, exponent);
        if (exponent < -4 || exponent >= 17) return std::string(buffer, end);
        end = std::to_chars(buffer, buffer + sizeof buffer, d, std::chars_format::fixed).ptr;
        return std::string(buffer, end);
    };
    std::mt19937_64 random(20150601);
    for (int i = 0; i < 60000; ++i) {
        double d = 0;
        switch (i % 6) {
            case 0: d = std::bit_cast<double>(random()); break;
            case 1: d = static_cast<double>(random() % 100000000000) / std::pow(10.0, static_cast<int>(random() % 16)); break;
            case 2: d = std::ldexp(static_cast<double>(random() >> 11), static_cast<int>(random() % 80) - 60); break;
            // Doubles of 13 to 17 digits across [1e-4, 1e17), their neighbours, and powers of two and theirs.
            case 3: d = static_cast<double>(random() % 1000000) / 997.0 * std::pow(10.0, static_cast<int>(random() % 22) - 6); break;
            case 4: d = std::nextafter(static_cast<double>(random() % 10000000000000000) * std::pow(10.0, -static_cast<int>(random() % 21)), 0.0); break;
            default: d = std::ldexp(1.0, static_cast<int>(random() % 120) - 70) * (random() % 2 ? 1.0 : 1.0 - 0x1p-53); break;
        }
        if (!std::isfinite(d)) continue;
        if (i % 2) d = -d;
        ASSERT_EQ(shortestDoubleText(d), reference(d)) << i;
    }
    for (double d : {0.0, -0.0, 1e-4, 9.999999999999999e14, 1e15, 123456789012345.6, 0.30000000000000004,
                     9007199254740993.0, 36028797018963968.0, 5e-324, std::nextafter(1e-4, 0.0), 1e17,
                     std::nextafter(1e17, 0.0), 99999999999999.99, 0.1 + 0.2, 1e15 - 0.125, 1e22, 4.7731678999999989,
                     0.0796408852659996, 0.000693084902251181, 1234567890123456.5, 0x1p52 + 1, 0x1p53 + 2,
                     std::nextafter(0x1p-10, 0.0), 0x1p-10})
        EXPECT_EQ(shortestDoubleText(d), reference(d)) << d;
    EXPECT_EQ(shortestDoubleText(12.59), "12.59");
    EXPECT_EQ(shortestDoubleText(-0.0005), "-0.0005");
}

TEST(Value, NumericReadingsOfTexts) {
    EXPECT_EQ(Value("  42abc").int64Value(), 42);
    EXPECT_EQ(Value("-7").int64Value(), -7);
    EXPECT_EQ(Value("99999999999999999999").int64Value(), INT64_MAX);
    EXPECT_DOUBLE_EQ(Value(" 2.5e1").doubleValue(), 25.0);
    EXPECT_TRUE(Value("YES").boolValue());
    EXPECT_TRUE(Value("007").boolValue());
    EXPECT_FALSE(Value("no").boolValue());
    EXPECT_FALSE(Value("0").boolValue());
    EXPECT_EQ(Value(3.9).int64Value(), 3);
    EXPECT_EQ(Value(12).stringValue(), "12");
}

TEST(Value, CopiesShareUntilMutated) {
    Value a(Array{1, 2});
    Value b = a;
    b.mutableArrayStorage()->push_back(3);
    EXPECT_EQ(a.count(), 2u);
    EXPECT_EQ(b.count(), 3u);
    Value d(Dictionary{});
    (*d.mutableDictionaryStorage())["k"] = "v";
    EXPECT_EQ(d["k"], Value("v"));
    EXPECT_EQ(Value(1).mutableArrayStorage(), nullptr);

    Dictionary built;
    built.appendUnsorted("b", 1);
    built.appendUnsorted("a", 2);
    built.appendUnsorted("b", 3);
    built.finishAppending();
    ASSERT_EQ(built.size(), 2u);
    EXPECT_EQ(built["b"], Value(3));
    EXPECT_EQ(built.begin()->first, "a");
}

TEST(Value, BulkBuiltDictionariesHoldTheLastValueOfEachKeyInOrder) {
    // Entries appended in order, in order with repeats, reversed and shuffled, against std::map written
    // in the same order (where a later value replaces an earlier one).
    std::mt19937 random(5);
    const std::vector<std::string> names = {"", "a", "ab", "b", "NSColor", "NSFont", "NSParagraphStyle", "é", std::string(30, 'k')};
    for (int round = 0; round < 200; ++round) {
        std::vector<std::string> keys;
        const std::size_t count = random() % 24;
        for (std::size_t i = 0; i < count; ++i) keys.push_back(names[random() % names.size()]);
        switch (round % 4) {
            case 0: std::sort(keys.begin(), keys.end()); keys.erase(std::unique(keys.begin(), keys.end()), keys.end()); break;
            case 1: std::sort(keys.begin(), keys.end()); break;
            case 2: std::sort(keys.rbegin(), keys.rend()); break;
            default: break;
        }
        Dictionary built;
        std::map<std::string, int> expected;
        for (std::size_t i = 0; i < keys.size(); ++i) {
            built.appendUnsorted(keys[i], Value(static_cast<int>(i)));
            expected[keys[i]] = static_cast<int>(i);
        }
        built.finishAppending();
        ASSERT_EQ(built.size(), expected.size()) << round;
        auto entry = built.begin();
        for (const auto& [key, value] : expected) {
            EXPECT_EQ(entry->first, key) << round;
            EXPECT_EQ(entry->second, Value(value)) << round << " " << key;
            ++entry;
        }
    }
}

TEST(Value, ClassesOfValues) {
    EXPECT_EQ(Value("x").valueClass()->name(), "NSString");
    EXPECT_EQ(Value::mutableArray().valueClass()->name(), "NSMutableArray");
    EXPECT_TRUE(Value::mutableArray().isKindOfClass(*Class::named("NSArray")));
    EXPECT_TRUE(Value(2).isKindOfClass(*Class::named("NSValue")));
    EXPECT_FALSE(Value(2).isKindOfClass(*Class::named("NSString")));
    EXPECT_EQ(Value().valueClass(), nullptr);
}

TEST(Error, DescriptionsAndBoxing) {
    Error plain("com.example", 7);
    EXPECT_EQ(plain.localizedDescription(), "The operation couldn\u2019t be completed. (com.example error 7.)");
    Error described(std::string(URLErrorDomain), -999, {{std::string(LocalizedDescriptionKey), "cancelled"}});
    EXPECT_EQ(described.localizedDescription(), "cancelled");
    EXPECT_EQ(described.description(),
              "Error Domain=NSURLErrorDomain Code=-999 \"cancelled\" UserInfo={NSLocalizedDescription=cancelled}");
    Value boxed = described.boxed();
    EXPECT_EQ(boxed.valueClass()->name(), "NSError");
    ASSERT_TRUE(Error::fromValue(boxed).has_value());
    EXPECT_EQ(*Error::fromValue(boxed), described);
    EXPECT_FALSE(Error::fromValue(Value("x")).has_value());
}

TEST(Error, CocoaReadErrorsUseThePlatformWording) {
    EXPECT_EQ(Error(std::string(CocoaErrorDomain), 3840).localizedDescription(),
              "The data couldn\u2019t be read because it isn\u2019t in the correct format.");
    EXPECT_EQ(Error(std::string(CocoaErrorDomain), 9999).localizedDescription(),
              "The operation couldn\u2019t be completed. (NSCocoaErrorDomain error 9999.)");
}

TEST(Value, DeepTreesAreTornDownWithoutRecursion) {
    // Nested far beyond what a recursive teardown survives, through every kind of container.
    Value deep;
    for (int i = 0; i < 200'000; ++i) {
        switch (i % 3) {
            case 0: deep = Value(Array{std::move(deep), Value("x")}); break;
            case 1: deep = Value(Dictionary{{"next", std::move(deep)}}); break;
            default: deep = Value(Set{std::move(deep)}); break;
        }
    }
    // A shared part outlives the tree it was taken from.
    Value inner = deep;
    for (int i = 0; i < 1'000; ++i) inner = inner.isSet() ? inner.asSet()->values().front()
                                            : inner.isArray() ? (*inner.asArray())[0]
                                                              : (*inner.asDictionary())["next"];
    const Value kept = inner;
    deep = Value();
    inner = Value();
    ASSERT_FALSE(kept.isNil());
    EXPECT_TRUE(kept.isArray() || kept.isDictionary() || kept.isSet());
}

TEST(Value, WideTreesAreTornDownWhole) {
    // Many containers wait at once (more than a teardown keeps without a heap list), each holding objects
    // whose own values wait in turn.
    {
        Array wide;
        for (int i = 0; i < 100; ++i) {
            Value chain(std::make_shared<Tracked>());
            for (int depth = 0; depth < 50; ++depth)
                chain = depth % 2 ? Value(std::make_shared<Tracked>(chain)) : Value(Dictionary{{"o", chain}, {"p", Value(Array{chain})}});
            wide.push_back(chain);
        }
        const Value tree(std::move(wide));
        EXPECT_EQ(Tracked::alive, 100 * 26);
    }
    EXPECT_EQ(Tracked::alive, 0);
}

TEST(Value, FindsKeysInSmallAndLargeDictionaries) {
    // Scanned up to 16 entries, searched beyond: both find exactly the keys present, among keys of equal
    // length, the empty key and long keys included.
    for (int count : {0, 1, 15, 16, 17, 40}) {
        Dictionary dictionary;
        for (int i = 0; i < count; ++i) dictionary.set(i % 5 == 0 ? std::string(30, 'a') + std::to_string(i) : "k" + std::to_string(i), Value(i));
        if (count > 0) dictionary.set("", Value(-1));
        for (int i = 0; i < count; ++i) {
            const std::string key = i % 5 == 0 ? std::string(30, 'a') + std::to_string(i) : "k" + std::to_string(i);
            ASSERT_NE(dictionary.find(key), nullptr) << count << " " << key;
            EXPECT_EQ(*dictionary.find(key), Value(i));
            EXPECT_EQ(dictionary.find(key + "x"), nullptr);
            EXPECT_EQ(dictionary.find(std::string(key.size(), 'z')), nullptr);
        }
        EXPECT_EQ(dictionary.contains(""), count > 0);
        EXPECT_EQ(dictionary.find("k"), nullptr);
    }
}
