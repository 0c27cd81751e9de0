#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "analytics/json/StatJsonDecimal.h"
#include "analytics/json/StatJsonParser.h"

using namespace ql;

namespace {

struct Failure {
    std::int64_t code;
    std::string description;
    bool operator==(const Failure&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Failure& f) { return os << f.code << " " << f.description; }

// The trace of the parser's last call, oldest first.
std::vector<Failure> trace(const StatJsonParser& parser) {
    std::vector<Failure> out;
    for (const auto& error : parser.errorTrace()) {
        EXPECT_EQ(error.domain(), "com.ziviv.JSON.ErrorDomain");
        out.push_back({error.code(), error.localizedDescription()});
    }
    return out;
}

// The trace left by parsing `text` as a fragment (which must fail).
std::vector<Failure> rejection(std::string_view text) {
    auto parser = std::make_shared<StatJsonParser>();
    EXPECT_TRUE(parser->fragmentWithString(text).isNil()) << text;
    return trace(*parser);
}

std::string nested(int levels, std::string_view open = "[", std::string_view close = "]", std::string_view inner = "") {
    std::string text;
    for (int i = 0; i < levels; ++i) text += open;
    text += inner;
    for (int i = 0; i < levels; ++i) text += close;
    return text;
}

TEST(StatJsonParser, ParsesObjectsArraysAndFragments) {
    auto parser = std::make_shared<StatJsonParser>();
    ns::Value list = parser->objectWithString("[1,2]");
    EXPECT_EQ(list, ns::Value(ns::Array{ns::Value(1), ns::Value(2)}));
    EXPECT_TRUE(list.isMutable());
    EXPECT_TRUE(parser->objectWithString("1").isNil());
    EXPECT_EQ(trace(*parser), (std::vector<Failure>{{4, "Valid fragment, but not JSON"}}));
    EXPECT_EQ(parser->fragmentWithString("1"), ns::Value(1));
    EXPECT_TRUE(parser->errorTrace().empty());

    ns::Value object = parser->objectWithString(
        " {\"a\" : [true, false, null, \"x\"],\t\"b\":{}, \"c\":-0, \"a\":\"later\" \"d\":1.5e3}\n");
    EXPECT_EQ(object, ns::Value(ns::Dictionary{{"a", ns::Value("later")},
                                               {"b", ns::Value(ns::Dictionary{})},
                                               {"c", ns::Value(0)},
                                               {"d", ns::Value(1500.0)}}));
    EXPECT_TRUE(object["b"].isMutable());
    ns::Value values = parser->objectWithString("[true,false,null,\"s\"]");
    EXPECT_TRUE(values[0].isBool());
    EXPECT_TRUE(values[2].isNull());
    EXPECT_TRUE(values[3].isMutable());

    // Separators may be left out; the input ends at a NUL byte.
    EXPECT_EQ(parser->objectWithString("[1 2]"), ns::Value(ns::Array{ns::Value(1), ns::Value(2)}));
    EXPECT_EQ(parser->objectWithString(std::string_view("[3]\0 junk", 9)), ns::Value(ns::Array{ns::Value(3)}));
}

TEST(StatJsonParser, ReadsNumbersAsIntegersWhileTheyFit) {
    auto parser = std::make_shared<StatJsonParser>();
    EXPECT_TRUE(parser->fragmentWithString("-9223372036854775808").isInteger());
    EXPECT_EQ(parser->fragmentWithString("-9223372036854775808").int64Value(), INT64_MIN);
    EXPECT_EQ(parser->fragmentWithString("18446744073709551615").uint64Value(), UINT64_MAX);
    // Integers beyond 64 bits keep their digits.
    for (std::string_view digits : {"18446744073709551616", "100000000000000000000", "-9223372036854775809"}) {
        const ns::Value big = parser->fragmentWithString(digits);
        const auto decimal = big.asObject<StatJsonDecimal>();
        ASSERT_TRUE(decimal) << digits;
        EXPECT_EQ(decimal->digits(), digits);
        EXPECT_EQ(decimal->doubleValue(), std::stod(std::string(digits)));
    }
    // So do whole numbers written with a fraction or an exponent once a double would print them in exponent
    // form; smaller ones stay doubles, which print as digits.
    EXPECT_EQ(parser->fragmentWithString("1.5e20").asObject<StatJsonDecimal>()->digits(), "150000000000000000000");
    EXPECT_EQ(parser->fragmentWithString("-1234567890123456789.00e2").asObject<StatJsonDecimal>()->digits(),
              "-123456789012345678900");
    EXPECT_EQ(parser->fragmentWithString("1e18").int64Value(), 1'000'000'000'000'000'000);
    EXPECT_TRUE(parser->fragmentWithString("1e18").isInteger());
    EXPECT_TRUE(parser->fragmentWithString("12.5e17").isInteger());
    EXPECT_EQ(parser->fragmentWithString("12.5e17").int64Value(), 1'250'000'000'000'000'000);
    EXPECT_TRUE(parser->fragmentWithString("1.5e3").isDouble());
    EXPECT_TRUE(parser->fragmentWithString("1.00000000000000000001e18").isDouble());  // not whole
    EXPECT_TRUE(parser->fragmentWithString("1e50").isDouble());  // too many zeros to spell out
    EXPECT_EQ(parser->fragmentWithString("0.1"), ns::Value(0.1));
    EXPECT_EQ(parser->fragmentWithString("-2E-2"), ns::Value(-0.02));
    EXPECT_EQ(rejection("1e400"), (std::vector<Failure>{{2, "Failed creating decimal instance"}}));
}

TEST(StatJsonParser, ReadsExponentsAtTheEndsOfSixtyFourBits) {
    auto parser = std::make_shared<StatJsonParser>();
    // A fraction with the most negative exponent is a value far below the doubles, like any other.
    const std::vector<Failure> underflow = rejection("1.5e-400");
    EXPECT_EQ(rejection("1.5e-9223372036854775808"), underflow);
    EXPECT_EQ(rejection("-12.25e-9223372036854775808"), underflow);
    EXPECT_EQ(rejection("1.5e-9223372036854775809"), underflow);
    EXPECT_EQ(rejection("0.5e9223372036854775807"), rejection("1e400"));
    EXPECT_EQ(parser->fragmentWithString("0.0e-9223372036854775808"), ns::Value(0.0));
}

TEST(StatJsonParser, DecodesStringEscapes) {
    auto parser = std::make_shared<StatJsonParser>();
    EXPECT_EQ(parser->fragmentWithString(R"("a\"\\\/\b\f\n\r\tz")"), ns::Value("a\"\\/\b\f\n\r\tz"));
    EXPECT_EQ(parser->fragmentWithString(R"("\u00e9\u4e66\ud83d\ude00")"), ns::Value("é书😀"));
    EXPECT_EQ(parser->fragmentWithString(R"("\u0041\u0000")"), ns::Value(std::string("A\0", 2)));
    EXPECT_EQ(parser->fragmentWithString("\"书 😀\""), ns::Value("书 😀"));
}

TEST(StatJsonParser, ExplainsEveryRejection) {
    using F = std::vector<Failure>;
    EXPECT_EQ(rejection("[1,]"), (F{{9, "Trailing comma disallowed in array"}}));
    EXPECT_EQ(rejection("{\"a\":1 , }"), (F{{9, "Trailing comma disallowed in object"}}));
    EXPECT_EQ(rejection("01"), (F{{2, "Leading 0 disallowed in number"}}));
    EXPECT_EQ(rejection("-"), (F{{2, "No digits after initial minus"}}));
    EXPECT_EQ(rejection("1."), (F{{2, "No digits after decimal point"}}));
    EXPECT_EQ(rejection("1e+"), (F{{2, "No digits after exponent"}}));
    EXPECT_EQ(rejection("+1"), (F{{2, "Leading + disallowed in number"}}));
    EXPECT_EQ(rejection("[1] x"), (F{{10, "Garbage after JSON"}}));
    EXPECT_EQ(rejection(""), (F{{11, "Unexpected end of string"}}));
    EXPECT_EQ(rejection("   "), (F{{11, "Unexpected end of string"}}));
    EXPECT_EQ(rejection("["), (F{{11, "End of input while parsing array"}}));
    EXPECT_EQ(rejection("{"), (F{{11, "End of input while parsing object"}}));
    EXPECT_EQ(rejection("{\"a\":1"), (F{{11, "End of input while parsing object"}}));
    EXPECT_EQ(rejection("tru"), (F{{3, "Expected 'true'"}}));
    EXPECT_EQ(rejection("fals"), (F{{3, "Expected 'false'"}}));
    EXPECT_EQ(rejection("nul"), (F{{3, "Expected 'null'"}}));
    EXPECT_EQ(rejection("x"), (F{{3, "Unrecognised leading character"}}));
    EXPECT_EQ(rejection("{1:2}"), (F{{3, "Object key string expected"}}));
    EXPECT_EQ(rejection("{\"a\" 1}"), (F{{3, "Expected ':' separating key and value"}}));
    EXPECT_EQ(rejection("{\"k\":}"),
              (F{{3, "Unrecognised leading character"}, {3, "Object value expected for key: k"}}));
    EXPECT_EQ(rejection("[,]"), (F{{3, "Unrecognised leading character"}, {3, "Expected value while parsing array"}}));
    EXPECT_EQ(rejection("\"a\tb\""), (F{{5, "Unescaped control character '0x9'"}}));
    EXPECT_EQ(rejection("\"abc"), (F{{5, "Unescaped control character '0x0'"}}));
    EXPECT_EQ(rejection("\"a\\n"), (F{{11, "Unexpected EOF while parsing string"}}));
    EXPECT_EQ(rejection("\"\\x\""), (F{{8, "Illegal escape sequence '0x78'"}}));
    EXPECT_EQ(rejection("\"\\ude00\""),
              (F{{6, "Invalid high character in surrogate pair"}, {6, "Broken unicode character"}}));
    EXPECT_EQ(rejection("\"\\ud83dx\""),
              (F{{6, "Missing low character in surrogate pair"}, {6, "Broken unicode character"}}));
    EXPECT_EQ(rejection("\"\\ud83d\\u12\""), (F{{6, "Missing hex digit in quad"},
                                                {6, "Missing low character in surrogate pair"},
                                                {6, "Broken unicode character"}}));
    EXPECT_EQ(rejection("\"\\ud83d\\u0041\""), (F{{6, "Invalid low surrogate char"}, {6, "Broken unicode character"}}));
    // Text that is not UTF-8 is refused rather than passed on.
    EXPECT_EQ(rejection("[\"a\xC3(\"]"),
              (F{{6, "Invalid UTF-8 in string"}, {3, "Expected value while parsing array"}}));
    for (const char* notUTF8 : {"\"\xED\xA0\x80\"", "\"\xC0\xAF\"", "\"\xF4\x90\x80\x80\"", "\"\xE4\xB8\"", "\"\xFF\""})
        EXPECT_EQ(rejection(notUTF8), (F{{6, "Invalid UTF-8 in string"}})) << notUTF8;

    auto parser = std::make_shared<StatJsonParser>();
    EXPECT_TRUE(parser->objectWithString(std::nullopt).isNil());
    EXPECT_EQ(trace(*parser), (F{{12, "Input was 'nil'"}}));
}

TEST(StatJsonParser, ChainsErrorsFromTheInnermostCauseOutwards) {
    auto parser = std::make_shared<StatJsonParser>();
    std::vector<ns::Value> seen;
    auto observation = parser->addObserver("errorTrace", ns::KeyValueObservingOptionNew,
                                           [&](const ns::KeyValueChange& change) { seen.push_back(change.newValue); });
    EXPECT_TRUE(parser->objectWithString("[\"\\u12x4\"]").isNil());
    EXPECT_EQ(trace(*parser), (std::vector<Failure>{{6, "Missing hex digit in quad"},
                                                    {6, "Missing hex quad"},
                                                    {6, "Broken unicode character"},
                                                    {3, "Expected value while parsing array"}}));
    // Each error holds the one before it.
    const auto& errors = parser->errorTrace();
    EXPECT_FALSE(errors[0].userInfo().contains(std::string(ns::UnderlyingErrorKey)));
    for (std::size_t i = 1; i < errors.size(); ++i) {
        auto underlying = ns::Error::fromValue(errors[i].userInfo()[ns::UnderlyingErrorKey]);
        ASSERT_TRUE(underlying);
        EXPECT_EQ(*underlying, errors[i - 1]);
    }
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen.back().count(), 4u);

    // The next call starts from an empty trace.
    EXPECT_FALSE(parser->objectWithString("[]").isNil());
    EXPECT_TRUE(parser->errorTrace().empty());
    EXPECT_TRUE(parser->valueForKey("errorTrace").isNil());
    EXPECT_TRUE(seen.back().isNil());
}

TEST(StatJsonParser, LimitsNesting) {
    auto parser = std::make_shared<StatJsonParser>();
    EXPECT_EQ(parser->maxDepth(), 512u);
    EXPECT_FALSE(parser->objectWithString(nested(512)).isNil());
    EXPECT_FALSE(parser->objectWithString(nested(256, "[{\"k\":", "}]", "1")).isNil());
    EXPECT_TRUE(parser->objectWithString(nested(513)).isNil());
    const auto& errors = parser->errorTrace();
    ASSERT_EQ(errors.size(), 513u);
    EXPECT_EQ(errors.front().code(), 7);
    EXPECT_EQ(errors.front().localizedDescription(), "Nested too deep");
    EXPECT_EQ(errors.back().localizedDescription(), "Expected value while parsing array");

    parser->setMaxDepth(2);
    EXPECT_FALSE(parser->objectWithString("[[1]]").isNil());
    EXPECT_TRUE(parser->objectWithString("[{\"a\":[]}]").isNil());
    // Without a limit, nesting still ends at the ceiling that keeps the stack safe.
    parser->setMaxDepth(0);
    EXPECT_FALSE(parser->objectWithString(nested(1000)).isNil());
    EXPECT_TRUE(parser->objectWithString(nested(StatJsonBase::DepthCeiling + 1)).isNil());
    // The error names the guard, not the caller's limit, which was off (or, below, larger).
    EXPECT_EQ(parser->errorTrace().front().code(), 7);
    EXPECT_EQ(parser->errorTrace().front().localizedDescription(),
              "Nested too deep for the codec's stack guard of 2048 levels");
    parser->setMaxDepth(5000);
    EXPECT_TRUE(parser->objectWithString(nested(StatJsonBase::DepthCeiling + 1)).isNil());
    EXPECT_EQ(parser->errorTrace().front().localizedDescription(),
              "Nested too deep for the codec's stack guard of 2048 levels");
}

}  // namespace
