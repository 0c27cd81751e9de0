#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "platform/foundation/Class.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/DispatchPool.h"
#include "platform/foundation/JSONKeptMemory.h"
#include "platform/foundation/JSONReader.h"
#include "platform/foundation/JSONSerialization.h"
#include "platform/foundation/MemoryWarning.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/ValueArena.h"
#include "platform/foundation/JSONSyntax.h"
#include "platform/foundation/JSONTextBuffer.h"
#include "tests/platform/foundation/ValueCorpus.h"
#include "tests/support/PeerProcess.h"
#include "tests/support/ResidentMemory.h"

using namespace ql::ns;
using namespace std::string_literals;
using ql::ns::testing::identical;
using ql::ns::testing::nested;
using ql::ns::detail::keptJSONMemoryIdleSeconds;

namespace {

Value read(std::string_view text, unsigned options = JSONReadingFragmentsAllowed, Error* error = nullptr) {
    return JSONSerialization::JSONObjectWithData(Data(text), options, error);
}

std::string write(const Value& v, unsigned options = 0) {
    Error error(std::string(), 0);
    auto data = JSONSerialization::dataWithJSONObject(v, options, &error);
    return data ? data->toString() : "refused: " + error.description();
}

// The reader's verdict on text that must be refused: the debug description of its error.
std::string refusal(std::string_view text, unsigned options = 0) {
    Error error(std::string(), 0);
    Value v = read(text, options, &error);
    if (!v.isNil()) return "accepted: " + v.description();
    EXPECT_EQ(error.domain(), CocoaErrorDomain);
    EXPECT_EQ(error.code(), PropertyListReadCorruptError);
    return std::string(error.userInfo()[DebugDescriptionErrorKey].asString());
}

// The writer's verdict on a value that must be refused.
std::string writeRefusal(const Value& v, unsigned options = 0) {
    Error error(std::string(), 0);
    if (auto data = JSONSerialization::dataWithJSONObject(v, options, &error)) return "written: " + data->toString();
    EXPECT_EQ(error.domain(), CocoaErrorDomain);
    EXPECT_EQ(error.code(), PropertyListWriteInvalidError);
    return std::string(error.userInfo()[DebugDescriptionErrorKey].asString());
}

// The shared corpus without what JSON cannot carry (data, dates, non-finite and whole-number reals, which
// come back as integers), plus null.
Value jsonCorpus() {
    Dictionary corpus = *ql::ns::testing::plistCorpus().asDictionary();
    corpus.erase("data");
    corpus.erase("dates");
    corpus.set("reals", Value(Array{Value(1.5), Value(0.1), Value(-2.5e-300), Value(5e-324), Value(1e300),
                                    Value(1.7976931348623157e308), Value(123456.789), Value(1e-7)}));
    corpus.set("nulls", Value(Array{Value::null(), Value(Dictionary{{"n", Value::null()}})}));
    corpus.set("slashes and escapes", Value("</script> \"q\" \\ \b\f\n\r\t \x01\x1f\x7f"s + '\0' + "end"));
    return Value(std::move(corpus));
}

std::string repeated(std::string_view piece, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += piece;
    return out;
}

}  // namespace

TEST(JSONSerialization, RoundTripsTheSharedCorpus) {
    const Value corpus = jsonCorpus();
    for (unsigned options : {0u, unsigned{JSONWritingPrettyPrinted}, unsigned{JSONWritingSortedKeys}}) {
        auto data = JSONSerialization::dataWithJSONObject(corpus, options, nullptr);
        ASSERT_TRUE(data) << options;
        Error error(std::string(), 0);
        Value back = JSONSerialization::JSONObjectWithData(*data, 0, &error);
        ASSERT_FALSE(back.isNil()) << error.description();
        EXPECT_TRUE(identical(corpus, back)) << options;
        // Writing what was read gives the same text again.
        EXPECT_EQ(write(back, options), data->toString());
    }
    // Long texts are escaped in slices; escapes must survive the seams.
    Value longText(Array{Value(repeated("ab/\n\"\x01\u4e2d", 3000))});
    EXPECT_TRUE(identical(read(write(longText)), longText));
    // Whole-number reals are written as integers and read back as such, equal by value.
    Value whole(Array{Value(1.0), Value(-0.0), Value(100000.0), Value(1e16), Value(1e17)});
    EXPECT_EQ(write(whole), "[1,-0,100000,10000000000000000,1e+17]");
    EXPECT_EQ(read(write(whole)), whole);
}

TEST(JSONSerialization, ReadsNumbersExactly) {
    Value v = read(
        "[9223372036854775807,-9223372036854775808,9223372036854775808,18446744073709551615,"
        "18446744073709551616,-9223372036854775809,123456789012345678901234567890,-0,0,1.0,1e2,0.1,-2.5E-3,"
        "true,false,null]");
    ASSERT_EQ(v.count(), 16u);
    auto expect = [&](std::size_t i, Value::Kind kind, const Value& value) {
        EXPECT_EQ(v[i].kind(), kind) << i;
        EXPECT_TRUE(identical(v[i], value)) << i;
    };
    expect(0, Value::Kind::Int, Value(std::numeric_limits<std::int64_t>::max()));
    expect(1, Value::Kind::Int, Value(std::numeric_limits<std::int64_t>::min()));
    expect(2, Value::Kind::UInt, Value(std::uint64_t{1} << 63));
    expect(3, Value::Kind::UInt, Value(std::numeric_limits<std::uint64_t>::max()));
    expect(4, Value::Kind::Double, Value(18446744073709551616.0));
    expect(5, Value::Kind::Double, Value(-9223372036854775809.0));
    expect(6, Value::Kind::Double, Value(123456789012345678901234567890.0));
    expect(7, Value::Kind::Int, Value(0));
    expect(8, Value::Kind::Int, Value(0));
    expect(9, Value::Kind::Double, Value(1.0));
    expect(10, Value::Kind::Double, Value(100.0));
    expect(11, Value::Kind::Double, Value(0.1));
    expect(12, Value::Kind::Double, Value(-0.0025));
    expect(13, Value::Kind::Bool, Value(true));
    expect(14, Value::Kind::Bool, Value(false));
    expect(15, Value::Kind::Null, Value::null());
    // Integers wider than 64 bits inside keys' values and next to decimals are found as well.
    Value mixed = read(R"({"big":[1.5e3,99999999999999999999,"123456789012345678901"],"n":-1})");
    EXPECT_TRUE(identical(mixed, Value(Dictionary{
                                     {"big", Value(Array{Value(1500.0), Value(1e20), Value("123456789012345678901")})},
                                     {"n", Value(-1)}})));
}

TEST(JSONSerialization, AgreesWithAConformanceCorpus) {
    enum Verdict { Accept, Reject };
    struct Case {
        const char* name;
        std::string text;
        Verdict verdict;
    };
    const std::vector<Case> cases = {
        {"y_array_empty", "[]", Accept},
        {"y_array_empty_string", "[\"\"]", Accept},
        {"y_array_nested_empty", "[[],[[]],{}]", Accept},
        {"y_array_whitespace", " [ 1 ,\t2 ]\r\n", Accept},
        {"y_array_mixed", "[null,true,false,0,\"x\",{},[]]", Accept},
        {"y_object_empty", "{}", Accept},
        {"y_object_basic", "{\"a\":\"b\"}", Accept},
        {"y_object_duplicate_key", "{\"a\":1,\"a\":2}", Accept},
        {"y_object_empty_key", "{\"\":0}", Accept},
        {"y_object_escaped_key", "{\"\\u0061b\\n\":1}", Accept},
        {"y_object_nested", "{\"a\":{\"b\":{\"c\":[1,{\"d\":null}]}}}", Accept},
        {"y_object_whitespace", "\t{ \"a\" :\r\n 1 , \"b\" : [ ] }", Accept},
        {"y_number_zero", "[0]", Accept},
        {"y_number_negative_zero", "[-0]", Accept},
        {"y_number_negative", "[-123]", Accept},
        {"y_number_fraction", "[1.5]", Accept},
        {"y_number_exponent", "[1e3]", Accept},
        {"y_number_capital_exponent", "[1E3]", Accept},
        {"y_number_exponent_plus", "[1e+3]", Accept},
        {"y_number_exponent_minus", "[1e-3]", Accept},
        {"y_number_fraction_exponent", "[-0.5E-2]", Accept},
        {"y_number_zero_exponent", "[0e1]", Accept},
        {"y_number_exponent_leading_zeros", "[1e005]", Accept},
        {"y_number_int64_bounds", "[9223372036854775807,-9223372036854775808]", Accept},
        {"y_number_uint64_max", "[18446744073709551615]", Accept},
        {"y_number_smallest_subnormal", "[5e-324]", Accept},
        {"y_number_largest_double", "[1.7976931348623157e308]", Accept},
        {"y_string_escapes", "[\"\\\"\\\\\\/\\b\\f\\n\\r\\t\"]", Accept},
        {"y_string_unicode_escapes", "[\"\\u00e9\\u4E2D\"]", Accept},
        {"y_string_surrogate_pair", "[\"\\ud83d\\ude00\"]", Accept},
        {"y_string_escaped_nul", "[\"a\\u0000b\"]", Accept},
        {"y_string_utf8", "[\"\u4e2d\u6587 \U0001F600\"]", Accept},
        {"y_string_del", "[\"\x7f\"]", Accept},
        {"y_string_noncharacter", "[\"\\uffff\xef\xbf\xbf\"]", Accept},
        {"y_string_line_separator", "[\"\u2028\u2029\"]", Accept},
        {"y_string_comment_inside", "[\"/* not a comment */\"]", Accept},
        {"y_structure_true", "true", Accept},
        {"y_structure_null", "null", Accept},
        {"y_structure_string", "\"x\"", Accept},
        {"y_structure_number_in_spaces", " 42 ", Accept},

        {"n_empty", "", Reject},
        {"n_whitespace_only", " \n\t", Reject},
        {"n_array_unclosed", "[1", Reject},
        {"n_array_trailing_comma", "[1,]", Reject},
        {"n_array_leading_comma", "[,1]", Reject},
        {"n_array_only_comma", "[,]", Reject},
        {"n_array_double_comma", "[1,,2]", Reject},
        {"n_array_missing_comma", "[1 2]", Reject},
        {"n_array_colon", "[1:2]", Reject},
        {"n_array_extra_close", "[1]]", Reject},
        {"n_array_unopened", "1]", Reject},
        {"n_object_trailing_comma", "{\"a\":1,}", Reject},
        {"n_object_missing_colon", "{\"a\" 1}", Reject},
        {"n_object_double_colon", "{\"a\"::1}", Reject},
        {"n_object_comma_for_colon", "{\"a\",1}", Reject},
        {"n_object_missing_value", "{\"a\":}", Reject},
        {"n_object_number_key", "{1:1}", Reject},
        {"n_object_bare_key", "{a:1}", Reject},
        {"n_object_single_quotes", "{'a':1}", Reject},
        {"n_object_missing_comma", "{\"a\":1 \"b\":2}", Reject},
        {"n_object_unclosed", "{\"a\":1", Reject},
        {"n_object_array_close", "{\"a\":1]", Reject},
        {"n_number_leading_zero", "[01]", Reject},
        {"n_number_negative_leading_zero", "[-01]", Reject},
        {"n_number_plus", "[+1]", Reject},
        {"n_number_dot_first", "[.5]", Reject},
        {"n_number_dot_last", "[1.]", Reject},
        {"n_number_dot_exponent", "[1.e1]", Reject},
        {"n_number_empty_exponent", "[1e]", Reject},
        {"n_number_sign_only_exponent", "[1e+]", Reject},
        {"n_number_minus_only", "[-]", Reject},
        {"n_number_minus_space", "[- 1]", Reject},
        {"n_number_double_minus", "[--1]", Reject},
        {"n_number_hex", "[0x1]", Reject},
        {"n_number_nan", "[NaN]", Reject},
        {"n_number_infinity", "[Infinity]", Reject},
        {"n_number_negative_infinity", "[-Infinity]", Reject},
        {"n_number_letter_after", "[1a]", Reject},
        {"n_number_two_dots", "[1.2.3]", Reject},
        {"n_number_fullwidth_digit", "[\uff11]", Reject},
        {"n_string_single_quotes", "['a']", Reject},
        {"n_string_unterminated", "[\"abc", Reject},
        {"n_string_unterminated_escape", "[\"\\", Reject},
        {"n_string_control_character", "[\"a\x01\"]", Reject},
        {"n_string_newline", "[\"a\nb\"]", Reject},
        {"n_string_tab", "[\"\t\"]", Reject},
        {"n_string_raw_nul", "[\"a\0b\"]"s, Reject},
        {"n_string_bad_escape", "[\"\\x\"]", Reject},
        {"n_string_escaped_apostrophe", "[\"\\'\"]", Reject},
        {"n_string_capital_u_escape", "[\"\\U0041\"]", Reject},
        {"n_string_short_unicode_escape", "[\"\\u12\"]", Reject},
        {"n_string_bad_hex_digit", "[\"\\u12G4\"]", Reject},
        {"n_string_lone_high_surrogate", "[\"\\ud800\"]", Reject},
        {"n_string_high_surrogate_then_text", "[\"\\ud800abc\"]", Reject},
        {"n_string_high_surrogate_then_escape", "[\"\\ud800\\n\"]", Reject},
        {"n_string_high_surrogate_then_bmp", "[\"\\ud800\\u0041\"]", Reject},
        {"n_literal_truncated", "[tru]", Reject},
        {"n_literal_capitalised", "[True]", Reject},
        {"n_literal_extra_letter", "[nulll]", Reject},
        {"n_literal_undefined", "[undefined]", Reject},
        {"n_structure_garbage_after", "[] x", Reject},
        {"n_structure_two_values", "[] []", Reject},
        {"n_structure_comment", "[1] // c", Reject},
        {"n_structure_bare_word", "abc", Reject},
        {"n_structure_nul_after", "[1]\0"s, Reject},
        {"n_structure_open_brace_only", "{", Reject},
        {"n_structure_close_only", "]", Reject},
        {"n_structure_two_scalars", "1 2", Reject},
        {"n_structure_bom_only", "\xef\xbb\xbf", Reject},
        {"n_structure_513_nested_arrays", repeated("[", 513) + repeated("]", 513), Reject},
        {"n_structure_513_nested_objects", repeated("{\"a\":", 512) + "{}" + repeated("}", 512), Reject},

        // Implementation-defined cases, with this reader's choice.
        {"i_number_wider_than_64_bits", "[123456789012345678901234567890]", Accept},
        {"i_number_below_int64", "[-9223372036854775809]", Accept},
        {"i_number_huge_exponent", "[1e400]", Reject},
        {"i_number_negative_huge_exponent", "[-1.5e400]", Reject},
        {"i_number_huge_integer_part", "[" + repeated("9", 400) + "]", Reject},
        {"i_number_underflow", "[1e-400]", Accept},
        {"i_number_long_fraction", "[0." + repeated("0", 400) + "1]", Accept},
        {"i_string_lone_low_surrogate", "[\"\\udc00\"]", Reject},
        {"i_string_reversed_surrogates", "[\"\\udc00\\ud800\"]", Reject},
        {"i_object_key_lone_surrogate", "{\"\\ud800\":1}", Reject},
        {"i_string_invalid_utf8", "[\"\xff\"]", Reject},
        {"i_string_truncated_utf8", "[\"\xe4\xb8\"]", Reject},
        {"i_string_overlong_utf8", "[\"\xc0\xaf\"]", Reject},
        {"i_string_utf8_encoded_surrogate", "[\"\xed\xa0\x80\"]", Reject},
        {"i_string_beyond_unicode", "[\"\xf4\x90\x80\x80\"]", Reject},
        {"i_structure_utf8_bom", "\xef\xbb\xbf{}", Accept},
        {"i_structure_512_nested_arrays", repeated("[", 512) + repeated("]", 512), Accept},
        {"i_structure_512_nested_objects", repeated("{\"a\":", 511) + "{}" + repeated("}", 511), Accept},
    };
    for (const Case& c : cases) {
        Error error(std::string(), 0);
        Value v = read(c.text, JSONReadingFragmentsAllowed, &error);
        EXPECT_EQ(v.isNil(), c.verdict == Reject)
            << c.name << ": " << (v.isNil() ? error.description() : v.description()).substr(0, 200);
        if (v.isNil()) {
            EXPECT_EQ(error.code(), PropertyListReadCorruptError) << c.name;
            EXPECT_FALSE(error.userInfo()[DebugDescriptionErrorKey].asString().empty()) << c.name;
        }
        // The grammar check that explains refusals must agree with the reader.
        std::string_view utf8 = c.text;
        if (utf8.starts_with("\xef\xbb\xbf")) utf8.remove_prefix(3);
        EXPECT_EQ(firstJSONSyntaxError(utf8, true).has_value(), c.verdict == Reject) << c.name;
    }
}

TEST(JSONSerialization, DescribesFaultsAsThePlatformDoes) {
    EXPECT_EQ(refusal(""), "No value.");
    EXPECT_EQ(refusal("  \n"), "No value.");
    EXPECT_EQ(refusal("\"a\""), "JSON text did not start with array or object and option to allow fragments not set.");
    EXPECT_EQ(refusal("12"), "JSON text did not start with array or object and option to allow fragments not set.");
    EXPECT_EQ(refusal("[1] x"), "Garbage at end.");
    EXPECT_EQ(refusal("{} {}"), "Garbage at end.");
    EXPECT_EQ(refusal("[1,]"), "Invalid value around character 3.");
    EXPECT_EQ(refusal("[tru]"), "Invalid value around character 1.");
    EXPECT_EQ(refusal("[-]"), "Invalid value around character 1.");
    EXPECT_EQ(refusal("[1 2]"), "Badly formed array around character 3.");
    EXPECT_EQ(refusal("[1"), "Badly formed array around character 2.");
    EXPECT_EQ(refusal("{1:2}"), "No string key for value in object around character 1.");
    EXPECT_EQ(refusal("{\"a\":1,}"), "No string key for value in object around character 7.");
    EXPECT_EQ(refusal("{\"a\" 1}"), "Badly formed object around character 5.");
    EXPECT_EQ(refusal("{\"a\":1 \"b\":2}"), "Badly formed object around character 7.");
    EXPECT_EQ(refusal("{\"a\":}"), "No value for key in object around character 5.");
    EXPECT_EQ(refusal("[\"abc"), "Unterminated string around character 1.");
    EXPECT_EQ(refusal("[\"a\nb\"]"), "Unescaped control character around character 3.");
    EXPECT_EQ(refusal("[\"\\x\"]"), "Invalid escape sequence around character 2.");
    EXPECT_EQ(refusal("[\"\\u12G4\"]"), "Invalid unicode escape sequence around character 2.");
    EXPECT_EQ(refusal("[\"\\udc00\"]"), "Invalid unicode escape sequence around character 2.");
    EXPECT_EQ(refusal("[\"ab\\ud800\"]"), "Missing low code point in surrogate pair around character 4.");
    EXPECT_EQ(refusal("[\"\xff\"]"), "Unable to convert data to string around character 2.");
    EXPECT_EQ(refusal("[1e400]"), "Number wound up as NaN around character 1.");
    EXPECT_EQ(refusal(repeated("[", 600)), "Too many nested arrays or dictionaries around character 512.");
    // Without an out-parameter, failure is still just nil.
    EXPECT_TRUE(JSONSerialization::JSONObjectWithData(Data(std::string_view("[")), 0, nullptr).isNil());
}

TEST(JSONSerialization, ReadingOptions) {
    const std::string_view text = R"({"list":[{"name":"a"}],"text":"t"})";
    Value plain = read(text, 0);
    EXPECT_FALSE(plain.isMutable());
    EXPECT_FALSE(plain["list"].isMutable());
    EXPECT_FALSE(plain["text"].isMutable());

    Value containers = read(text, JSONReadingMutableContainers);
    EXPECT_TRUE(containers.isMutable());
    EXPECT_TRUE(containers["list"].isMutable());
    EXPECT_TRUE(containers["list"][0].isMutable());
    EXPECT_FALSE(containers["text"].isMutable());
    EXPECT_EQ(containers.valueClass()->name(), "NSMutableDictionary");

    Value leaves = read(text, JSONReadingMutableLeaves);
    EXPECT_FALSE(leaves.isMutable());
    EXPECT_TRUE(leaves["text"].isMutable());
    EXPECT_TRUE(leaves["list"][0]["name"].isMutable());
    EXPECT_TRUE(read("\"x\"", JSONReadingFragmentsAllowed | JSONReadingMutableLeaves).isMutable());

    EXPECT_TRUE(read("\"x\"", 0).isNil());
    EXPECT_EQ(read("\"x\"", JSONReadingFragmentsAllowed), Value("x"));
    EXPECT_TRUE(read(" null ", JSONReadingFragmentsAllowed).isNull());
    // Duplicate keys: the last one wins.
    EXPECT_EQ(read(R"({"a":1,"b":2,"a":3})"), Value(Dictionary{{"a", Value(3)}, {"b", Value(2)}}));
}

TEST(JSONSerialization, DetectsUnicodeEncodings) {
    const std::u16string text16 = u"{\"k\":[\"\u00e9\U0001F600\"]}";
    const Value expected(Dictionary{{"k", Value(Array{Value("\u00e9\U0001F600")})}});
    auto encode16 = [&](bool bigEndian, bool mark) {
        std::string out;
        std::u16string units = (mark ? u"\ufeff" : u"") + text16;
        for (char16_t u : units) {
            char hi = static_cast<char>(u >> 8), lo = static_cast<char>(u & 0xFF);
            out += bigEndian ? std::string{hi, lo} : std::string{lo, hi};
        }
        return out;
    };
    auto encode32 = [&](bool bigEndian) {
        std::string out;
        for (char32_t c : U"{\"k\":[\"\u00e9\U0001F600\"]}") {
            if (c == 0) break;
            for (int k = 0; k < 4; ++k) {
                int shift = bigEndian ? 24 - 8 * k : 8 * k;
                out += static_cast<char>((c >> shift) & 0xFF);
            }
        }
        return out;
    };
    for (bool bigEndian : {false, true}) {
        for (bool mark : {false, true}) EXPECT_EQ(read(encode16(bigEndian, mark)), expected) << bigEndian << mark;
        EXPECT_EQ(read(encode32(bigEndian)), expected) << bigEndian;
    }
    EXPECT_EQ(read("\xef\xbb\xbf[1]"), Value(Array{Value(1)}));
    // A lone surrogate unit (here the fourth character) cannot become UTF-8.
    std::string broken = encode16(false, false);
    broken[7 * 2] = '\x00';
    broken[7 * 2 + 1] = '\xd8';
    EXPECT_EQ(refusal(broken), "Unable to convert data to string around character 7.");
    EXPECT_EQ(refusal(std::string("[\0\x31\0]", 5)), "Unable to convert data to string around character 2.");
}

TEST(JSONSerialization, WritesThePlatformsForms) {
    Value v(Dictionary{{"b", Value(Array{Value(1), Value(1.5), Value("x"), Value(Dictionary{{"c", Value(true)}})})},
                       {"a", Value::null()},
                       {"e", Value(Dictionary{})},
                       {"d", Value(Array{})}});
    EXPECT_EQ(write(v), R"({"a":null,"b":[1,1.5,"x",{"c":true}],"d":[],"e":{}})");
    EXPECT_EQ(write(v, JSONWritingPrettyPrinted),
              "{\n"
              "  \"a\" : null,\n"
              "  \"b\" : [\n"
              "    1,\n"
              "    1.5,\n"
              "    \"x\",\n"
              "    {\n"
              "      \"c\" : true\n"
              "    }\n"
              "  ],\n"
              "  \"d\" : [\n"
              "\n"
              "  ],\n"
              "  \"e\" : {\n"
              "\n"
              "  }\n"
              "}");
    EXPECT_EQ(write(Value(Array{}), JSONWritingPrettyPrinted), "[\n\n]");
    EXPECT_EQ(write(Value(Dictionary{}), JSONWritingPrettyPrinted), "{\n\n}");
    EXPECT_EQ(write(v, JSONWritingSortedKeys), write(v));

    EXPECT_EQ(write(Value(Array{Value("\"\\/\b\f\n\r\t\x01\x1f\x7f"s + '\0' + "\u4e2d\U0001F600")})),
              "[\"\\\"\\\\\\/\\b\\f\\n\\r\\t\\u0001\\u001f\x7f\\u0000\u4e2d\U0001F600\"]");
    EXPECT_EQ(write(Value(Dictionary{{"a/b", Value("http://x.y/z")}})), R"({"a\/b":"http:\/\/x.y\/z"})");

    EXPECT_EQ(write(Value(Array{Value(0), Value(-1), Value(std::numeric_limits<std::int64_t>::min()),
                                Value(std::numeric_limits<std::uint64_t>::max()), Value(1.5), Value(0.1),
                                Value(1e100), Value(100.0), Value(-0.0), Value(5e-324), Value(1e-7),
                                Value(0.0001), Value(123456.789), Value(1.7976931348623157e308), Value(true),
                                Value(false)})),
              "[0,-1,-9223372036854775808,18446744073709551615,1.5,0.1,1e+100,100,-0,5e-324,1e-07,0.0001,"
              "123456.789,1.7976931348623157e+308,true,false]");

    EXPECT_EQ(write(Value("a"), JSONWritingFragmentsAllowed), "\"a\"");
    EXPECT_EQ(write(Value(7), JSONWritingFragmentsAllowed), "7");
    EXPECT_EQ(write(Value::null(), JSONWritingFragmentsAllowed), "null");
    EXPECT_EQ(write(Value::mutableArray({Value(1)})), "[1]");
}

TEST(JSONSerialization, EscapesWhereverTheEscapeFalls) {
    // Texts are copied in blocks up to the first byte to escape: every length and every position must come
    // out right.
    auto escaped = [](std::string_view s) {
        std::string out;
        for (char c : s) {
            switch (c) {
                case '"': out += "\\\""; break;
                case '\\': out += "\\\\"; break;
                case '/': out += "\\/"; break;
                case '\n': out += "\\n"; break;
                case '\x01': out += "\\u0001"; break;
                default: out += c;
            }
        }
        return out;
    };
    for (std::size_t length = 0; length <= 40; ++length) {
        std::string plain;
        for (std::size_t i = 0; i < length; ++i) plain += static_cast<char>('a' + i % 26);
        EXPECT_EQ(write(Value(Array{Value(plain)})), "[\"" + plain + "\"]");
        for (std::size_t at = 0; at < length; ++at) {
            for (char special : {'"', '\\', '/', '\n', '\x01'}) {
                std::string text = plain;
                text[at] = special;
                text[length - 1 - at] = special;
                ASSERT_EQ(write(Value(Dictionary{{text, Value(text)}})),
                          "{\"" + escaped(text) + "\":\"" + escaped(text) + "\"}")
                    << length << " " << at;
            }
        }
    }
}

TEST(JSONSerialization, ReadTreesBehaveAsValues) {
    // A tree read from text lies in one block shared by all its parts: parts taken out outlive the tree,
    // changes go to copies of their own, and keys too long to be kept inline are freed with the block.
    const std::string longKey(40, 'k');
    const std::string text = R"({")" + longKey + R"(":[1,"two",{"three":3}],"text":"longer than any inline text"})";
    Value list, inner;
    {
        const Value tree = read(text, JSONReadingMutableContainers);
        list = tree[longKey];
        inner = list[2];
        Value changed = tree;
        (*changed.mutableDictionaryStorage())["text"] = Value("changed");
        changed.mutableDictionaryStorage()->find(longKey)->mutableArrayStorage()->push_back(Value(4));
        EXPECT_TRUE(changed.isMutable());
        EXPECT_EQ(changed["text"], Value("changed"));
        EXPECT_EQ(changed[longKey].count(), 4u);
        EXPECT_EQ(tree["text"], Value("longer than any inline text"));
        EXPECT_EQ(tree[longKey].count(), 3u);
        EXPECT_EQ(read(text), tree);
    }
    EXPECT_EQ(list, Value(Array{Value(1), Value("two"), Value(Dictionary{{"three", Value(3)}})}));
    EXPECT_EQ(inner["three"], Value(3));
    Value two = list[1];
    two.mutableStringStorage()->append("!");
    EXPECT_EQ(two, Value("two!"));
    EXPECT_EQ(list[1], Value("two"));

    // Parts copied and dropped on several threads at once, while the tree itself goes away.
    Value tree = read(R"({"items":[{"name":"a"},{"name":"b"},{"name":"c"}]})");
    std::vector<std::thread> threads;
    std::atomic<int> found{0};
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([items = tree["items"], &found] {
            for (int i = 0; i < 2000; ++i) {
                Value item = items[static_cast<std::size_t>(i % 3)];
                Value name = item["name"];
                if (name.asString().size() == 1) ++found;
            }
        });
    }
    tree = Value();
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(found, 4 * 2000);
}

TEST(JSONSerialization, RefusesValuesWithoutJSONForm) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(writeRefusal(Value("a")), "Invalid top-level type in JSON write");
    EXPECT_EQ(writeRefusal(Value(1)), "Invalid top-level type in JSON write");
    EXPECT_EQ(writeRefusal(Value(), JSONWritingFragmentsAllowed), "Invalid top-level type in JSON write");
    EXPECT_EQ(writeRefusal(Value(Array{Value(Date::fromTimeIntervalSince1970(0))})),
              "Invalid type in JSON write (NSDate)");
    EXPECT_EQ(writeRefusal(Value(Dictionary{{"d", Value(Data(std::string_view("x")))}})),
              "Invalid type in JSON write (NSData)");
    EXPECT_EQ(writeRefusal(Value(Array{Value(Set{Value(1)})})), "Invalid type in JSON write (NSSet)");
    EXPECT_EQ(writeRefusal(Value(Array{Value()})), "Invalid type in JSON write (nil)");
    EXPECT_EQ(writeRefusal(Value(Array{Value(nan)})), "Invalid number value (NaN) in JSON write");
    EXPECT_EQ(writeRefusal(Value(-inf), JSONWritingFragmentsAllowed), "Invalid number value (infinite) in JSON write");
    EXPECT_EQ(writeRefusal(Value(Array{Value("ok"), Value("\xff")})), "Invalid string (not UTF-8) in JSON write");
    EXPECT_EQ(writeRefusal(Value(Dictionary{{"\xc0", Value(1)}})), "Invalid string (not UTF-8) in JSON write");

    struct Check {
        Value value;
        bool valid;
    };
    const std::vector<Check> checks = {
        {Value(Array{}), true},
        {Value(Dictionary{}), true},
        {jsonCorpus(), true},
        {Value(Array{Value::null(), Value(true), Value(std::uint64_t{1} << 63)}), true},
        {Value("a"), false},
        {Value(1), false},
        {Value::null(), false},
        {Value(), false},
        {Value(Array{Value(Date::now())}), false},
        {Value(Array{Value(inf)}), false},
        {Value(Dictionary{{"deep", nested(5, Value(Dictionary{{"x", Value(nan)}}))}}), false},
        {Value(Array{Value("\xed\xa0\x80")}), false},
        {Value(Dictionary{{"\xff", Value(1)}}), false},
    };
    for (std::size_t i = 0; i < checks.size(); ++i) {
        EXPECT_EQ(JSONSerialization::isValidJSONObject(checks[i].value), checks[i].valid) << i;
        // Whatever is valid is written, and whatever is written without fragments was valid.
        EXPECT_EQ(JSONSerialization::dataWithJSONObject(checks[i].value, 0, nullptr).has_value(), checks[i].valid) << i;
    }
}

TEST(JSONSerialization, RepeatedDictionariesKeepTheirOwnKeys) {
    // Records that repeat a few key sequences, some with one key swapped for a near twin: the same first
    // eight bytes, the same length, a difference in the middle of a long key or past its first sixteen
    // bytes, an embedded NUL, duplicates (the last one wins), more members than are remembered. Checked
    // against Python's json, which keeps the last of equal keys too and sorts them by code point, which is
    // UTF-8 byte order.
    const std::string k20(20, 'k'), k39(39, 'k');
    // Twins side by side: the same prefix with another length, the same length with another suffix or
    // another middle; keys on both sides of what std::string holds without the heap.
    const std::vector<std::string> keys = {
        "a", "a\\u0000", "abcdefgh", "abcdefgh\\u0000", "0123456789abcdef", "0123456789abcdeg", k20 + "A" + k20,
        k20 + "B" + k20, k39 + "A", k39 + "B", "\u00e9t\u00e9", "\u00e9t\u00e8", "", "\\n", "z", "abcdefghi", "abcdefghijklmno", "abcdefghijklmnp"};
    const auto twin = [](std::size_t key) { return key ^ 1; };
    std::mt19937 random(20150601);
    std::vector<std::vector<std::size_t>> sequences;
    for (std::size_t length : {1, 2, 3, 8, 16, 31, 32, 33, 40}) {
        std::vector<std::size_t> sequence;
        for (std::size_t i = 0; i < length; ++i) sequence.push_back(random() % keys.size());
        sequences.push_back(sequence);
    }
    std::string text = "[";
    for (int record = 0; record < 3000; ++record) {
        auto sequence = sequences[random() % sequences.size()];
        if (random() % 4 == 0) {
            std::size_t& key = sequence[random() % sequence.size()];
            key = twin(key);
        }
        text += record ? ",{" : "{";
        for (std::size_t i = 0; i < sequence.size(); ++i)
            text += (i ? ",\"" : "\"") + keys[sequence[i]] + "\":" + std::to_string(record * 100 + static_cast<int>(i));
        text += "}";
    }
    text += "]";
    const auto peer = ql::test::runPeer(
        ql::test::pythonCommand("import sys,json; sys.stdout.write(json.dumps(json.loads(sys.stdin.read()), "
                                "sort_keys=True, separators=(\",\",\":\"), ensure_ascii=False))"),
        text);
    ASSERT_TRUE(peer.has_value());
    EXPECT_EQ(write(read(text)), *peer);
}

TEST(JSONSerialization, AHugeDictionaryLeavesNoLargeListsBehind) {
    // Its members are listed while it is built: 200,000 of them, in a text small enough for the thread's
    // own parser, whose lists stay with the thread.
    std::string text = "{";
    for (int i = 0; i < 200'000; ++i) text += (i ? ",\"" : "\"") + std::to_string(i) + "\":" + std::to_string(i);
    text += "}";
    ASSERT_LT(text.size(), std::size_t{4} << 20);
    const Value tree = read(text);
    EXPECT_EQ(tree.count(), 200'000u);
    EXPECT_EQ(tree["199999"], Value(199'999));
    EXPECT_LE(ql::ns::detail::keptJSONMemory().threadScratchBytes, ql::ns::detail::keptScratchBytes);
    EXPECT_EQ(read(R"({"b":1,"a":2})"), Value(Dictionary{{"a", Value(2)}, {"b", Value(1)}}));
}

TEST(JSONSerialization, ReadsOnlyTheBytesItIsGiven) {
    // Whatever follows the text in memory is no part of it.
    const std::string_view buffer = R"({"a":"b"}]3,4]"56789")";
    const auto readView = [](std::string_view text, Error* error = nullptr) {
        return JSONSerialization::JSONObjectWithData(text, JSONReadingFragmentsAllowed, error);
    };
    EXPECT_EQ(readView(buffer.substr(0, 9)), Value(Dictionary{{"a", Value("b")}}));
    EXPECT_EQ(readView(buffer.substr(10, 1)), Value(3));
    Error error(std::string(), 0);
    EXPECT_TRUE(readView(buffer.substr(0, 8), &error).isNil());
    EXPECT_EQ(error.userInfo()[DebugDescriptionErrorKey].asString(), refusal(std::string(buffer.substr(0, 8))));

    // Texts that end at, and just before, the end of readable memory: a page followed by one that may not be
    // read, filled with what would change the meaning if it were.
    const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    void* mapped = mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(mapped, MAP_FAILED);
    auto* bytes = static_cast<char*>(mapped);
    ASSERT_EQ(mprotect(bytes + page, page, PROT_NONE), 0);
    std::memset(bytes, '9', page);
    const std::string_view list = R"([1,"x",2.5])";
    for (std::size_t gap : {0, 1, 63, 64, 65, 200}) {
        char* at = bytes + page - gap - list.size();
        std::memcpy(at, list.data(), list.size());
        EXPECT_EQ(readView(std::string_view(at, list.size())), Value(Array{Value(1), Value("x"), Value(2.5)})) << gap;
        EXPECT_EQ(readView(std::string_view(at + 1, 1)), Value(1)) << gap;
    }
    munmap(mapped, 2 * page);
}

TEST(JSONSerialization, LargeTextsAndDepth) {
    // Beyond the size whose parser buffers are kept between calls.
    std::string big(5 << 20, 'x');
    Value bigText = read("[\"" + big + "\"]");
    ASSERT_EQ(bigText.count(), 1u);
    EXPECT_EQ(bigText[0].asString().size(), big.size());
    EXPECT_EQ(write(bigText).size(), big.size() + 4);
    // The deepest readable value survives a round trip; one level more is neither read nor written.
    Value deepest = nested(JSONMaxNestingDepth - 1, Value(Array{}));
    EXPECT_TRUE(JSONSerialization::isValidJSONObject(deepest));
    EXPECT_TRUE(identical(read(write(deepest)), deepest));
    EXPECT_TRUE(read("[" + write(deepest) + "]").isNil());
    const Value tooDeep = Value(Array{deepest});
    EXPECT_EQ(writeRefusal(tooDeep), "Too many nested arrays or dictionaries in JSON write");
    EXPECT_FALSE(JSONSerialization::isValidJSONObject(tooDeep));
    const Value tooDeepInDictionaries = nested(JSONMaxNestingDepth, Value(Dictionary{{"k", Value(1)}}));
    EXPECT_EQ(writeRefusal(tooDeepInDictionaries, JSONWritingPrettyPrinted),
              "Too many nested arrays or dictionaries in JSON write");
}

TEST(JSONSerialization, ALargeWriteGivesItsBufferBackOnEveryThread) {
    using ql::ns::detail::keptWriteBytes;
    using ql::ns::detail::keptWriteScratchBytes;
    const Value small(Array{Value(std::string(keptWriteBytes / 2, 'a'))});
    const Value large(Array{Value(std::string(3 * keptWriteBytes, 'b'))});
    const auto writeOnThisThread = [&] {
        // A write within the bound keeps its buffer for the next one; a larger one leaves no more than that
        // on the thread.
        std::vector<std::size_t> kept;
        kept.push_back(write(small).size());
        kept.push_back(keptWriteScratchBytes());
        kept.push_back(write(large).size());
        kept.push_back(keptWriteScratchBytes());
        kept.push_back(write(small).size());
        kept.push_back(keptWriteScratchBytes());
        return kept;
    };
    const auto check = [&](const std::vector<std::size_t>& kept, const char* where) {
        ASSERT_EQ(kept.size(), 6u) << where;
        EXPECT_EQ(kept[0], keptWriteBytes / 2 + 4) << where;
        EXPECT_GE(kept[1], keptWriteBytes / 2) << where;
        EXPECT_LE(kept[1], keptWriteBytes) << where;
        EXPECT_EQ(kept[2], 3 * keptWriteBytes + 4) << where;
        EXPECT_LE(kept[3], keptWriteBytes) << where;
        EXPECT_EQ(kept[4], keptWriteBytes / 2 + 4) << where;
        EXPECT_LE(kept[5], keptWriteBytes) << where;
    };
    check(writeOnThisThread(), "main thread");
    std::vector<std::size_t> other;
    std::thread([&] { other = writeOnThisThread(); }).join();
    check(other, "another thread");
}

TEST(JSONSerialization, ATextLargerThanTheThreadKeepsComesOutWholeAcrossItsMoves) {
    // Past what the thread keeps, the text moves from the scratch into pages of its own, which move again as
    // they grow: no move may lose, repeat or reorder a byte, whether it falls in a long text, between short
    // members or in an indent.
    // Checked against Python's json, which writes the same forms but leaves '/' unescaped.
    using ql::ns::detail::keptWriteBytes;
    // Pieces of text as they stand in JSON: plain, escaped, and characters of two, three and four bytes.
    const std::vector<std::string> pieces = {"a",      "Z",      "0",       " ",       "\\\"",    "\\\\",
                                             "/",      "\\n",    "\\t",     "\\u0001", "\\u001f", "\u00e9",
                                             "\u4e2d", "\U0001F600"};
    std::mt19937 random(20240601);
    const auto someText = [&] {
        // Mostly short texts, some past the length escaped in slices, a few of many slices.
        const std::uint32_t kind = random() % 20;
        const std::uint32_t length = kind < 14 ? random() % 40 : kind < 19 ? random() % 3000 : random() % 40000;
        std::string out = "\"";
        for (std::uint32_t i = 0; i < length; ++i) out += pieces[random() % pieces.size()];
        return out + "\"";
    };
    std::string text = "[";
    for (int record = 0; text.size() < 2 * keptWriteBytes + keptWriteBytes / 2; ++record) {
        const std::string id = std::to_string(record);
        text += (record ? ",{" : "{") + "\"id\":"s + id + ",\"text\":" + someText() + ",\"list\":[" + id + "," +
                someText() + ",true,null,-" + id + "],\"" + std::to_string(random()) + "\":" + someText() + "}";
    }
    text += "]";
    const auto peer = ql::test::runPeer(
        ql::test::pythonCommand(R"(import sys,json
v = json.loads(sys.stdin.buffer.read())
form = lambda **how: json.dumps(v, sort_keys=True, ensure_ascii=False, **how).replace("/", "\\/").encode()
sys.stdout.buffer.write(form(separators=(",", ":")) + b"\0" + form(indent=2, separators=(",", " : ")))
)"),
        text);
    ASSERT_TRUE(peer.has_value());
    const std::size_t split = peer->find('\0');
    ASSERT_NE(split, std::string::npos);
    const Value tree = read(text);
    // Without spare pages, the first text starts in pages of the least size.
    ql::ns::detail::releaseKeptJSONMemory();
    const std::string compact = write(tree);
    const std::string pretty = write(tree, JSONWritingPrettyPrinted);
    // Both go past the kept scratch and the first pages of their own.
    ASSERT_GT(compact.size(), 2 * keptWriteBytes);
    ASSERT_GT(pretty.size(), 2 * keptWriteBytes);
    EXPECT_TRUE(compact == peer->substr(0, split)) << "the compact text differs from the peer's";
    EXPECT_TRUE(pretty == peer->substr(split + 1)) << "the pretty text differs from the peer's";
    EXPECT_LE(ql::ns::detail::keptWriteScratchBytes(), keptWriteBytes);
}

TEST(JSONSerialization, LargeWritesKeepTheLastTextsPagesWhileTheyKeepComing) {
    ManualClockScope clock;
    using ql::ns::detail::keptWriteBytes;
    using ql::ns::detail::maxSpareWriteBytes;
    const auto spare = [] { return ql::ns::detail::keptJSONMemory().writePageBytes; };
    // Pages past twice a text's length are not kept with it.
    const auto atMostTwice = [](std::size_t length) { return 2 * length + static_cast<std::size_t>(sysconf(_SC_PAGESIZE)); };
    const auto writeData = [](const Value& v) { return *JSONSerialization::dataWithJSONObject(v, 0, nullptr); };
    ql::ns::detail::releaseKeptJSONMemory();
    // Past the thread's scratch, a text's pages are its result; they are kept once the caller lets go of it,
    // and the next large text is written into them.
    const Value large(Array{Value(std::string(3 * keptWriteBytes, 'a'))});
    const std::uint8_t* pages = nullptr;
    {
        const Data first = writeData(large);
        EXPECT_EQ(first.length(), 3 * keptWriteBytes + 4);
        EXPECT_EQ(spare(), 0u) << "pages in use are not spare";
        pages = first.bytes();
    }
    EXPECT_GE(spare(), 3 * keptWriteBytes + 4);
    EXPECT_LE(spare(), atMostTwice(3 * keptWriteBytes + 4));
    {
        const Data second = writeData(large);
        EXPECT_EQ(second.bytes(), pages);
        EXPECT_EQ(spare(), 0u);
        // A copy shares them; changing it changes only the copy.
        Data copy = second;
        copy.mutableBytes()[2] = 'x';
        EXPECT_EQ(second.view().substr(0, 4), "[\"aa");
        EXPECT_EQ(copy.view().substr(0, 4), "[\"xa");
        EXPECT_EQ(copy.length(), second.length());
    }
    // A smaller large text does not keep the spare's pages past twice its own size.
    const Value smaller(Array{Value(std::string(keptWriteBytes + keptWriteBytes / 4, 'c'))});
    EXPECT_EQ(writeData(smaller).length(), keptWriteBytes + keptWriteBytes / 4 + 4);
    EXPECT_LE(spare(), atMostTwice(keptWriteBytes + keptWriteBytes / 4 + 4));
    // Texts larger than the bound are never kept.
    const Value huge(Array{Value(std::string(maxSpareWriteBytes, 'b'))});
    EXPECT_EQ(writeData(huge).length(), maxSpareWriteBytes + 4);
    EXPECT_EQ(spare(), 0u);
    // Large texts written at once on several threads each get pages; one text's are kept.
    std::vector<std::thread> writers;
    std::atomic<int> good{0};
    for (int i = 0; i < 4; ++i)
        writers.emplace_back([&] {
            if (write(large) == "[\"" + std::string(3 * keptWriteBytes, 'a') + "\"]") ++good;
        });
    for (auto& writer : writers) writer.join();
    EXPECT_EQ(good, 4);
    EXPECT_GT(spare(), 0u);
    EXPECT_LE(spare(), atMostTwice(3 * keptWriteBytes + 4));
    // The application's memory warning gives them back, and a result let go afterwards is not kept.
    std::optional<Data> held = writeData(large);
    NotificationCenter::defaultCenter().post(MemoryWarningNotification);
    EXPECT_EQ(spare(), 0u);
    EXPECT_EQ(held->view().substr(held->length() - 4), "aa\"]");
    held.reset();
    EXPECT_EQ(spare(), 0u);
    // So does a while without large texts: writes that keep coming keep them.
    EXPECT_EQ(write(large).size(), 3 * keptWriteBytes + 4);
    Clock::advance(keptJSONMemoryIdleSeconds - 1);
    EXPECT_EQ(write(large).size(), 3 * keptWriteBytes + 4);
    Clock::advance(5);
    EXPECT_GT(spare(), 0u);
    EXPECT_TRUE(RunLoop::main()->runUntil([&] { return spare() == 0; }, 3 * keptJSONMemoryIdleSeconds));
    // Small texts keep none.
    EXPECT_EQ(write(Value(Array{Value("small")})), "[\"small\"]");
    EXPECT_EQ(spare(), 0u);
}

// JSON text of a feed of posts, each with its user, past `megabytes` MB: short texts, numbers, flags and a
// body of some hundred bytes. Written as the writer writes it: keys in order, '/' escaped, nothing else.
std::string feedText(std::size_t megabytes) {
    std::string text = "[";
    for (int i = 0; text.size() < (megabytes << 20); ++i) {
        text += (i ? ",{" : "{") + "\"favorited\":false,\"id\":"s + std::to_string(500'000'000'000 + i) +
                ",\"place\":null,\"text\":\"Post " + std::to_string(i) + " \u00e9t\u00e9 \\/ " +
                std::string(100 + i % 200, static_cast<char>('a' + i % 26)) + "\",\"user\":{\"followers\":" +
                std::to_string(i * 37 % 100'000) + ",\"id\":" + std::to_string(100'000 + i % 977) +
                ",\"name\":\"user_" + std::to_string(i % 977) + "\",\"verified\":" + (i % 5 ? "false" : "true") +
                "}}";
    }
    return text + "]";
}

TEST(JSONSerialization, LargeWritesGiveTheirMemoryBackToTheSystemOnceTheyStop) {
    // What the process holds as the system counts it, not the writer's own books: memory freed to the C
    // library's heap stays resident. The caller reads a large text, as the app reads a reply, and has no
    // run loop, so whatever gives the memory back must not need one.
    if (!ql::test::residentCountsTellWhatIsHeld()) GTEST_SKIP() << "resident counts include the sanitizer's shadow";
    ManualClockScope clock;
    constexpr std::size_t MiB = std::size_t{1} << 20;
    const std::string text = feedText(20);
    const Value feed = read(text);
    ASSERT_EQ(feed[feed.count() - 1]["id"].int64Value(), 500'000'000'000 + static_cast<std::int64_t>(feed.count()) - 1);
    std::thread([&] {
        // Under the address sanitizer, memory freed to the allocator is held back (to catch use after free)
        // instead of being reused: with what it held handed back first, everything the writes free to the
        // allocator from here on stays in the count, which makes the check stricter still.
        ql::test::releaseSanitizerHeldMemory();
        // Counted from when the thread's own scratch, kept by design, has grown, and the read's kept memory
        // has gone.
        EXPECT_EQ(write(Value(Array{Value(std::string(3 * MiB, 's'))})).size(), 3 * MiB + 4);
        ql::ns::detail::releaseKeptJSONMemory();
        const std::size_t before = ql::test::residentBytes();
        for (int i = 0; i < 3; ++i) {
            const auto written = JSONSerialization::dataWithJSONObject(feed, 0, nullptr);
            ASSERT_TRUE(written);
            ASSERT_GT(written->length(), 20 * MiB);
            EXPECT_TRUE(written->view() == text);
            // The count sees the text.
            EXPECT_GT(ql::test::residentBytes(), before + 20 * MiB);
        }
        Clock::advance(keptJSONMemoryIdleSeconds + 1);
        ASSERT_TRUE(DispatchPool::shared().waitUntilQuiet(true, std::chrono::steady_clock::now() + std::chrono::minutes(1)));
        EXPECT_EQ(ql::ns::detail::keptJSONMemory().writePageBytes, 0u);
        EXPECT_LE(ql::test::residentBytes(), before + 8 * MiB)
            << "resident: " << (static_cast<double>(ql::test::residentBytes()) - static_cast<double>(before)) / MiB
            << " MiB more than before the writes";
    }).join();
}

// A reply of `records` small dictionaries, about 35 bytes each.
std::string recordsText(int records, int salt) {
    std::string text = "[";
    for (int i = 0; i < records; ++i)
        text += (i ? "," : "") + "{\"id\":"s + std::to_string(i) + ",\"name\":\"n" + std::to_string(salt) + "\",\"ok\":true}";
    return text + "]";
}

TEST(JSONSerialization, LargeReadsKeepBoundedMemoryUntilAMemoryWarning) {
    ql::ns::detail::releaseKeptJSONMemory();
    const std::string large = recordsText(160'000, 1);  // beyond the per-thread parser's few megabytes
    ASSERT_GT(large.size(), std::size_t{5} << 20);
    {
        Value tree = read(large);
        ASSERT_EQ(tree.count(), 160'000u);
        EXPECT_EQ(tree[159'999]["id"].int64Value(), 159'999);
        EXPECT_EQ(ql::ns::detail::keptJSONMemory().treeChunkBytes, 0u) << "chunks in use are not kept";
    }
    auto kept = ql::ns::detail::keptJSONMemory();
    EXPECT_GE(kept.parserCapacity, large.size());
    EXPECT_GT(kept.treeChunkBytes, 0u);
    EXPECT_LE(kept.treeChunkBytes, ValueArena::keptChunkBytes);

    // Large reads at once on several threads each get a parser; the kept one stays one.
    std::vector<std::thread> readers;
    std::atomic<int> good{0};
    for (int salt = 0; salt < 3; ++salt)
        readers.emplace_back([&, salt] {
            const std::string text = recordsText(160'000 + salt, salt);
            Value tree = read(text);
            if (tree.count() == 160'000u + salt && tree[0]["name"].asString() == "n" + std::to_string(salt)) ++good;
        });
    for (auto& reader : readers) reader.join();
    EXPECT_EQ(good, 3);
    EXPECT_LE(ql::ns::detail::keptJSONMemory().treeChunkBytes, ValueArena::keptChunkBytes);

    // The application's memory warning gives it all back; reading afterwards works as before.
    NotificationCenter::defaultCenter().post(MemoryWarningNotification);
    kept = ql::ns::detail::keptJSONMemory();
    EXPECT_EQ(kept.parserCapacity, 0u);
    EXPECT_EQ(kept.treeChunkBytes, 0u);
    EXPECT_EQ(read(large)[5]["id"].int64Value(), 5);
    // A tree still held when memory is given back stays whole.
    Value held = read(large);
    ql::ns::detail::releaseKeptJSONMemory();
    EXPECT_EQ(held[159'998]["name"].asString(), "n1");
}

TEST(JSONSerialization, KeptMemoryGoesBackWhenLargeReadsStop) {
    ManualClockScope clock;
    const std::string large = recordsText(160'000, 2);
    const auto kept = [] {
        auto memory = ql::ns::detail::keptJSONMemory();
        return memory.parserCapacity + memory.treeChunkBytes;
    };
    EXPECT_EQ(read(large).count(), 160'000u);
    EXPECT_GT(kept(), 0u);
    // Reads that keep coming keep it.
    Clock::advance(keptJSONMemoryIdleSeconds - 1);
    EXPECT_EQ(read(large).count(), 160'000u);
    Clock::advance(5);
    EXPECT_GT(kept(), 0u);
    // Once they stop, it goes back, and trees let go afterwards are not kept either.
    Value held = read(large);
    EXPECT_TRUE(RunLoop::main()->runUntil([&] { return kept() == 0; }, 3 * keptJSONMemoryIdleSeconds));
    held = Value();
    EXPECT_EQ(kept(), 0u);
    // Small texts keep nothing of that kind.
    EXPECT_EQ(read(recordsText(100, 3)).count(), 100u);
    EXPECT_EQ(kept(), 0u);
}

TEST(JSONSerialization, VeryDeepTreesAreRefusedWithoutExhaustingTheStack) {
    // Far deeper than a recursive walk survives, in release or under sanitizers.
    for (int levels : {50'000, 100'000}) {
        Value deep = nested(levels, Value(Dictionary{{"leaf", Value(true)}}));
        EXPECT_EQ(writeRefusal(deep), "Too many nested arrays or dictionaries in JSON write") << levels;
        EXPECT_FALSE(JSONSerialization::isValidJSONObject(deep)) << levels;
    }
}
