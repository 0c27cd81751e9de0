#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "analytics/json/StatJsonDecimal.h"
#include "analytics/json/StatJsonParser.h"
#include "analytics/json/StatJsonWriter.h"

using namespace ql;

namespace {

class Point : public ns::Object, public StatJsonProxy {
    QL_OBJECT(Point, ns::Object)
public:
    ns::Value proxy;
    ns::Value proxyForJson() const override { return proxy; }
};

std::shared_ptr<Point> pointFor(ns::Value value) {
    auto point = std::make_shared<Point>();
    point->proxy = std::move(value);
    return point;
}

std::vector<std::string> descriptions(const StatJsonWriter& writer) {
    std::vector<std::string> out;
    for (const auto& error : writer.errorTrace())
        out.push_back(std::to_string(error.code()) + " " + error.localizedDescription());
    return out;
}

TEST(StatJsonWriter, WritesCompactAndReadableSortedOutput) {
    auto writer = std::make_shared<StatJsonWriter>();
    const ns::Value object(
        ns::Dictionary{{"b", ns::Value(1)}, {"a", ns::Value(ns::Array{ns::Value(true), ns::Value::null()})}});
    EXPECT_EQ(writer->stringWithObject(object), "{\"a\":[true,null],\"b\":1}");
    writer->setSortKeys(true);
    writer->setHumanReadable(true);
    EXPECT_EQ(writer->stringWithObject(object), "{\n  \"a\" : [\n    true,\n    null\n  ],\n  \"b\" : 1\n}");
    EXPECT_EQ(writer->stringWithObject(ns::Value(ns::Array{})), "[]");
    EXPECT_EQ(writer->stringWithObject(ns::Value(ns::Dictionary{})), "{}");
    EXPECT_EQ(writer->stringWithObject(ns::Value(ns::Array{ns::Value(ns::Array{})})), "[\n  []\n]");
}

TEST(StatJsonWriter, SortsKeysAsThePlatformComparesTexts) {
    // U+FF01 comes before U+1F600 in UTF-8 but after it in UTF-16, the platform's order.
    const ns::Value object(ns::Dictionary{{"\xEF\xBC\x81", ns::Value(1)}, {"😀", ns::Value(2)}, {"a", ns::Value(3)}});
    auto writer = std::make_shared<StatJsonWriter>();
    EXPECT_EQ(writer->stringWithObject(object), "{\"a\":3,\"\xEF\xBC\x81\":1,\"😀\":2}");
    writer->setSortKeys(true);
    EXPECT_EQ(writer->stringWithObject(object), "{\"a\":3,\"😀\":2,\"\xEF\xBC\x81\":1}");
}

TEST(StatJsonWriter, WritesScalars) {
    auto writer = std::make_shared<StatJsonWriter>();
    EXPECT_EQ(writer->stringWithFragment(ns::Value("q\"b\\s/\n\t\b\f\r\x01\x1f"
                                                   "é")),
              "\"q\\\"b\\\\s/\\n\\t\\b\\f\\r\\u0001\\u001fé\"");
    EXPECT_EQ(writer->stringWithFragment(ns::Value("plain 文")), "\"plain 文\"");
    EXPECT_EQ(writer->stringWithFragment(ns::Value(true)), "true");
    EXPECT_EQ(writer->stringWithFragment(ns::Value(false)), "false");
    EXPECT_EQ(writer->stringWithFragment(ns::Value(-7)), "-7");
    EXPECT_EQ(writer->stringWithFragment(ns::Value(UINT64_MAX)), "18446744073709551615");
    EXPECT_EQ(writer->stringWithFragment(ns::Value(0.1)), "0.1");
    EXPECT_EQ(writer->stringWithFragment(ns::Value::null()), "null");

    EXPECT_EQ(writer->stringWithObject(ns::Value("text")), std::nullopt);
    EXPECT_EQ(descriptions(*writer), std::vector<std::string>{"4 Not valid type for JSON"});
}

TEST(StatJsonWriter, ExplainsWhatItCannotWrite) {
    auto writer = std::make_shared<StatJsonWriter>();
    EXPECT_EQ(writer->stringWithObject(ns::Value(ns::Dictionary{{"k", ns::Value(ns::Data(std::string_view("x")))}})),
              std::nullopt);
    EXPECT_EQ(descriptions(*writer), (std::vector<std::string>{"1 JSON serialisation not supported for NSData",
                                                               "1 Unsupported value for key k in object"}));
    EXPECT_EQ(writer->stringWithFragment(ns::Value(std::numeric_limits<double>::quiet_NaN())), std::nullopt);
    EXPECT_EQ(descriptions(*writer), std::vector<std::string>{"1 JSON serialisation not supported for NSNumber"});
    EXPECT_EQ(writer->stringWithFragment(ns::Value(std::make_shared<ns::Object>())), std::nullopt);
    EXPECT_EQ(descriptions(*writer), std::vector<std::string>{"1 JSON serialisation not supported for NSObject"});

    ns::Value deep(ns::Array{});
    for (int i = 0; i < 512; ++i) deep = ns::Value(ns::Array{deep});
    EXPECT_EQ(writer->stringWithObject(deep), std::nullopt);
    EXPECT_EQ(descriptions(*writer).front(), "7 Nested too deep");
    EXPECT_EQ(descriptions(*writer).size(), 1u);
    writer->setMaxDepth(513);
    EXPECT_TRUE(writer->stringWithObject(deep));
    EXPECT_TRUE(writer->errorTrace().empty());
    // With the limit off, the stack guard still holds, and its error says so.
    for (int i = 513; i < 2049; ++i) deep = ns::Value(ns::Array{deep});
    writer->setMaxDepth(0);
    EXPECT_EQ(writer->stringWithObject(deep), std::nullopt);
    EXPECT_EQ(descriptions(*writer).front(), "7 Nested too deep for the codec's stack guard of 2048 levels");
}

TEST(StatJsonWriter, WritesProxiesInTheirObjectsPlace) {
    auto writer = std::make_shared<StatJsonWriter>();
    auto point = pointFor(ns::Value(ns::Dictionary{{"x", ns::Value(1)}}));
    EXPECT_EQ(writer->stringWithObject(ns::Value(point)), "{\"x\":1}");
    EXPECT_EQ(writer->stringWithObject(ns::Value(ns::Array{ns::Value(pointFor(ns::Value(2)))})), "[2]");
    EXPECT_EQ(writer->stringWithObject(ns::Value(pointFor(ns::Value("t")))), std::nullopt);
    EXPECT_EQ(descriptions(*writer), std::vector<std::string>{"4 Not valid type for JSON"});
}

TEST(StatJsonWriter, OutputParsesBackToTheSameValue) {
    const ns::Value value(ns::Dictionary{
        {"list", ns::Value(ns::Array{ns::Value(1), ns::Value(-2.5), ns::Value("a\"\\\x02"), ns::Value::null()})},
        {"nested", ns::Value(ns::Dictionary{{"t", ns::Value(true)}, {"😀", ns::Value("书")}})},
    });
    for (bool readable : {false, true}) {
        auto writer = std::make_shared<StatJsonWriter>();
        writer->setHumanReadable(readable);
        auto text = writer->stringWithObject(value);
        ASSERT_TRUE(text);
        EXPECT_EQ(std::make_shared<StatJsonParser>()->objectWithString(*text), value) << *text;
    }
}

TEST(StatJsonWriter, IntegersBeyond64BitsComeBackAsTheirDigits) {
    for (std::string_view text : {"[100000000000000000000]", "[-9223372036854775809]",
                                  "[18446744073709551616,-1,0,18446744073709551615]",
                                  "{\"n\":123456789012345678901234567890}"}) {
        const ns::Value value = std::make_shared<StatJsonParser>()->objectWithString(text);
        ASSERT_FALSE(value.isNil()) << text;
        EXPECT_EQ(std::make_shared<StatJsonWriter>()->stringWithObject(value), std::string(text));
    }
    // Whole numbers written with an exponent come back as their digits too.
    const ns::Value exponents = std::make_shared<StatJsonParser>()->objectWithString("[1e20,-2.5E18,1.5e3]");
    EXPECT_EQ(std::make_shared<StatJsonWriter>()->stringWithObject(exponents),
              "[100000000000000000000,-2500000000000000000,1500]");
    // Also made by hand, and as a fragment.
    EXPECT_EQ(std::make_shared<StatJsonWriter>()->stringWithFragment(
                  ns::Value(std::make_shared<StatJsonDecimal>("-100000000000000000000"))),
              "-100000000000000000000");
}

}  // namespace
