#include <gtest/gtest.h>

#include "platform/foundation/Exception.h"
#include "platform/foundation/RegularExpression.h"
#include "platform/foundation/Text.h"

using namespace ql::ns;

namespace {

RegularExpression expression(std::string_view pattern, unsigned options = 0) {
    auto compiled = RegularExpression::regularExpressionWithPattern(pattern, options);
    EXPECT_TRUE(compiled) << pattern;
    return *compiled;
}

std::vector<Range> matchRanges(const RegularExpression& e, std::string_view text) {
    std::vector<Range> ranges;
    for (const TextCheckingResult& r : e.matchesInString(text)) ranges.push_back(r.range());
    return ranges;
}

}  // namespace

TEST(RegularExpression, RangesCountUTF16UnitsOverChineseAndEmoji) {
    // 你 好 😀(two units) 世 界 a b c
    const std::string text = "你好😀世界abc";
    EXPECT_EQ(expression("世界").rangeOfFirstMatchInString(text), (Range{4, 2}));
    EXPECT_EQ(matchRanges(expression("\\p{Han}+"), text), (std::vector<Range>{{0, 2}, {4, 2}}));
    EXPECT_EQ(expression("😀").rangeOfFirstMatchInString(text), (Range{2, 2}));
    // "." takes a whole code point.
    EXPECT_EQ(matchRanges(expression("."), text).at(2), (Range{2, 2}));
    EXPECT_EQ(expression("[a-z]+").rangeOfFirstMatchInString(text), (Range{6, 3}));
    EXPECT_EQ(substringWithRange(text, expression("\\p{Han}+").matchesInString(text).at(1).range()), "世界");

    // A search range in units, after the emoji.
    EXPECT_EQ(matchRanges(expression("\\p{Han}"), "你好😀世界").size(), 4u);
    EXPECT_EQ(expression("\\p{Han}").numberOfMatchesInString(text, 0, Range{2, 4}), 2u);
    EXPECT_THROW(expression("a").matchesInString(text, 0, Range{5, 5}), Exception);
    EXPECT_EQ(expression("x").rangeOfFirstMatchInString(text), (Range{NotFound, 0}));
    EXPECT_FALSE(expression("x").firstMatchInString(text));
}

TEST(RegularExpression, CaptureGroupsAndThePatternsTheAppUses) {
    RegularExpression version =
        expression("^(\\d+)(?:\\.(\\d+))?(?:\\.(\\d+))?(?:\\.(\\d+))?(?:$|\\s)", RegularExpressionCaseInsensitive);
    EXPECT_EQ(version.numberOfCaptureGroups(), 4u);
    auto match = version.firstMatchInString("10.2.33 beta");
    ASSERT_TRUE(match);
    ASSERT_EQ(match->numberOfRanges(), 5u);
    EXPECT_EQ(match->range(), (Range{0, 8}));
    EXPECT_EQ(match->rangeAtIndex(1), (Range{0, 2}));
    EXPECT_EQ(match->rangeAtIndex(2), (Range{3, 1}));
    EXPECT_EQ(match->rangeAtIndex(3), (Range{5, 2}));
    EXPECT_EQ(match->rangeAtIndex(4), (Range{NotFound, 0}));  // took no part
    EXPECT_EQ(match->rangeAtIndex(9), (Range{NotFound, 0}));
    EXPECT_FALSE(version.firstMatchInString("v10.2"));
    EXPECT_FALSE(version.firstMatchInString("1.2.3.4.5"));

    RegularExpression mobile = expression("^1(34[0-8]|(3[5-9]|47|5[017-9]|8[2378])\\d)\\d{7}$");
    EXPECT_EQ(mobile.numberOfMatchesInString("13800138000"), 1u);
    EXPECT_EQ(mobile.numberOfMatchesInString("13490000000"), 0u);
    EXPECT_EQ(mobile.numberOfMatchesInString("1380013800"), 0u);
}

TEST(RegularExpression, OptionsAndAnchoring) {
    EXPECT_EQ(expression("abc", RegularExpressionCaseInsensitive).numberOfMatchesInString("ABC abc"), 2u);
    EXPECT_EQ(expression("a.c", RegularExpressionIgnoreMetacharacters).numberOfMatchesInString("abc a.c"), 1u);
    EXPECT_EQ(expression("^x", RegularExpressionAnchorsMatchLines).numberOfMatchesInString("x\nx\nyx"), 2u);
    EXPECT_EQ(expression("^x").numberOfMatchesInString("x\nx\nyx"), 1u);
    EXPECT_EQ(expression("a.b", RegularExpressionDotMatchesLineSeparators).numberOfMatchesInString("a\nb"), 1u);
    EXPECT_EQ(expression("a.b").numberOfMatchesInString("a\nb"), 0u);
    EXPECT_EQ(expression("a b # spaces are ignored", RegularExpressionAllowCommentsAndWhitespace)
                  .numberOfMatchesInString("ab"),
              1u);

    // Empty matches advance instead of looping.
    EXPECT_EQ(expression("a*").numberOfMatchesInString("baaa"), 3u);
    // Anchored: each match must follow the previous one directly.
    EXPECT_EQ(expression("\\d").numberOfMatchesInString("12a3", MatchingAnchored), 2u);
    EXPECT_EQ(expression("\\d").numberOfMatchesInString("a123", MatchingAnchored), 0u);
    // "^" matches at the start of the search range unless bounds are not anchoring.
    EXPECT_EQ(expression("^b").numberOfMatchesInString("abc", 0, Range{1, 2}), 1u);
    EXPECT_EQ(expression("^b").numberOfMatchesInString("abc", MatchingWithoutAnchoringBounds, Range{1, 2}), 0u);
    // Word boundaries see the text before the range only with transparent bounds.
    EXPECT_EQ(expression("\\bb").numberOfMatchesInString("abc", 0, Range{1, 2}), 1u);
    EXPECT_EQ(expression("\\bb").numberOfMatchesInString("abc", MatchingWithTransparentBounds, Range{1, 2}), 0u);

    Error error("", 0);
    EXPECT_FALSE(RegularExpression::regularExpressionWithPattern("(unclosed", 0, &error));
    EXPECT_EQ(error.domain(), CocoaErrorDomain);
    EXPECT_EQ(error.code(), 2048);
    EXPECT_EQ(error.userInfo()["NSInvalidValue"], Value("(unclosed"));
    EXPECT_FALSE(RegularExpression::regularExpressionWithPattern("[z-a]"));
}

TEST(RegularExpression, ReplacesWithTemplates) {
    RegularExpression mail = expression("(\\w+)@(\\w+)");
    EXPECT_EQ(mail.stringByReplacingMatchesInString("ann@home, bob@work", 0, std::nullopt, "$2:$1"),
              "home:ann, work:bob");
    EXPECT_EQ(mail.stringByReplacingMatchesInString("ann@home", 0, std::nullopt, "\\$1 costs $$0"),
              "$1 costs $ann@home");
    // Digits are read while they still name a group: "$10" is group 1 then "0"; "$3" names none.
    EXPECT_EQ(mail.stringByReplacingMatchesInString("ann@home", 0, std::nullopt, "$10|$3|$"), "ann0||$");
    // Only matches inside the range are replaced; the rest of the text stays.
    EXPECT_EQ(expression("\\d").stringByReplacingMatchesInString("1a2b3", 0, Range{1, 3}, "#"), "1a#b3");
    EXPECT_EQ(expression("好").stringByReplacingMatchesInString("你好😀好", 0, std::nullopt, "-"), "你-😀-");
    // An unmatched group gives nothing.
    EXPECT_EQ(expression("a(x)?b").stringByReplacingMatchesInString("ab", 0, std::nullopt, "[$1]"), "[]");
    EXPECT_EQ(expression("z").stringByReplacingMatchesInString("abc", 0, std::nullopt, "y"), "abc");
}
