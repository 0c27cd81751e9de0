#include <gtest/gtest.h>

#include "net/NetQueryString.h"
#include "platform/foundation/Text.h"

namespace ql {
namespace {

std::vector<std::string> pairTexts(const ns::Value& parameters) {
    std::vector<std::string> texts;
    for (const auto& pair : NetFlattenedQueryPairs(std::nullopt, parameters))
        texts.push_back(NetQueryTextForm(pair.field()) + "=" + NetQueryTextForm(pair.value()));
    return texts;
}

TEST(NetQueryString, NestedParametersFlattenInKeyOrderWithEscapedBrackets) {
    const ns::Value parameters(ns::Dictionary{
        {"b", ns::Value(1)},
        {"a", ns::Value(ns::Dictionary{{"y", ns::Value("2")}, {"x", ns::Value(ns::Array{ns::Value(3), ns::Value(4)})}})},
        {"c", ns::Value(ns::Set{ns::Value("q"), ns::Value("p")})},
    });
    EXPECT_EQ(pairTexts(parameters),
              (std::vector<std::string>{"a[x][]=3", "a[x][]=4", "a[y]=2", "b=1", "c=p", "c=q"}));
    EXPECT_EQ(NetQueryStringFromParameters(parameters),
              "a%5Bx%5D%5B%5D=3&a%5Bx%5D%5B%5D=4&a%5By%5D=2&b=1&c=p&c=q");

    // Keys sort case-sensitively; set elements by their text, so 10 comes before 9.
    const ns::Value ordered(ns::Dictionary{{"a", ns::Value(1)},
                                           {"B", ns::Value(2)},
                                           {"s", ns::Value(ns::Set{ns::Value(9), ns::Value(10)})}});
    EXPECT_EQ(NetQueryStringFromParameters(ordered), "B=2&a=1&s=10&s=9");

    // Empty containers leave no trace, at the top or nested.
    EXPECT_EQ(NetQueryStringFromParameters(ns::Value(ns::Dictionary{})), "");
    const ns::Value empties(ns::Dictionary{{"e", ns::Value(ns::Array{})},
                                           {"d", ns::Value(ns::Dictionary{})},
                                           {"s", ns::Value(ns::Set{})},
                                           {"k", ns::Value("v")}});
    EXPECT_EQ(NetQueryStringFromParameters(empties), "k=v");
}

TEST(NetQueryString, LeavesBecomeTheirTextAndNullDropsTheEqualsSign) {
    EXPECT_EQ(NetQueryStringFromParameters(ns::Value(ns::Dictionary{{"flag", ns::Value::null()}})), "flag");
    EXPECT_EQ(NetQueryStringFromParameters(ns::Value(ns::Dictionary{{"flag", ns::Value("")}})), "flag=");
    EXPECT_EQ(NetQueryStringFromParameters(ns::Value(ns::Dictionary{
                  {"t", ns::Value(true)}, {"f", ns::Value(false)}, {"d", ns::Value(1.5)}, {"n", ns::Value(-7)}})),
              "d=1.5&f=0&n=-7&t=1");

    NetQueryStringPair pair(ns::Value("a b"), ns::Value());
    EXPECT_EQ(pair.URLEncodedStringValue(), "a%20b");
    pair.setValue(ns::Value("c&d"));
    EXPECT_EQ(pair.URLEncodedStringValue(), "a%20b=c%26d");
}

TEST(NetQueryString, EscapingKeepsOnlyUnreservedCharactersSlashAndQuestionMark) {
    EXPECT_EQ(NetEscapedQueryComponent("a b"), "a%20b");
    EXPECT_EQ(NetEscapedQueryComponent("1+1"), "1%2B1");
    EXPECT_EQ(NetEscapedQueryComponent("x&y=z"), "x%26y%3Dz");
    EXPECT_EQ(NetEscapedQueryComponent("/path?q"), "/path?q");
    EXPECT_EQ(NetEscapedQueryComponent("é"), "%C3%A9");
    EXPECT_EQ(NetEscapedQueryComponent("😀"), "%F0%9F%98%80");
    EXPECT_EQ(NetEscapedQueryComponent("AZaz09-._~"), "AZaz09-._~");
    // Plain ASCII text escapes exactly as it does within text that is not plain ASCII.
    std::string ascii;
    for (int c = 0; c < 128; ++c) ascii += static_cast<char>(c);
    EXPECT_EQ(NetEscapedQueryComponent(ascii + "é"), NetEscapedQueryComponent(ascii) + "%C3%A9");
    EXPECT_EQ(NetEscapedQueryComponent(":#[]@!$'()*,;%\""), "%3A%23%5B%5D%40%21%24%27%28%29%2A%2C%3B%25%22");
    EXPECT_EQ(NetEscapedQueryComponent(""), "");

    // An emoji straddling the 50th code unit is escaped as one character, like everything else.
    const std::string text = std::string(49, 'a') + "😀" + "中文";
    ASSERT_EQ(ns::utf16Length(text), 53u);
    EXPECT_EQ(NetEscapedQueryComponent(text), std::string(49, 'a') + "%F0%9F%98%80%E4%B8%AD%E6%96%87");
    EXPECT_EQ(ns::stringByRemovingPercentEncoding(NetEscapedQueryComponent(text)), text);
}

}  // namespace
}  // namespace ql
