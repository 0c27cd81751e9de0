#include "platform/text/AttributedString.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/foundation/Exception.h"
#include "platform/text/ParagraphStyleObject.h"
#include "platform/text/RunDelegate.h"
#include "platform/text/Shadow.h"

using namespace ql;
using ct::AttributedString;

namespace {

ns::Dictionary attrs(std::initializer_list<ns::Dictionary::Entry> entries) { return ns::Dictionary(entries); }

// The runs as "text{keys}" pieces, to compare whole layouts at once.
std::string runs(const AttributedString& string) {
    std::string out;
    string.enumerateAttributes({0, string.length()}, [&](const ns::Dictionary& attributes, ns::Range range, bool&) {
        out += "[" + string.attributedSubstringFromRange(range).string();
        for (const auto& [key, value] : attributes) out += " " + key + "=" + value.stringValue();
        out += "]";
    });
    return out;
}

TEST(AttributedStringTests, RangesCountUTF16AndRunsStayMerged) {
    AttributedString string("a\U0001F600\u4e2db", attrs({{"k", ns::Value(1)}}));
    EXPECT_EQ(string.length(), 5u);
    EXPECT_EQ(string.string(), "a\U0001F600\u4e2db");

    string.addAttribute("bold", ns::Value(true), {1, 2});
    EXPECT_EQ(runs(string), "[a k=1][\U0001F600 bold=1 k=1][\u4e2db k=1]");
    ns::Range effective;
    EXPECT_EQ(string.attributeAtIndex("k", 4, &effective).int64Value(), 1);
    EXPECT_EQ(effective, (ns::Range{0, 5}));
    string.attributesAtIndex(2, &effective);
    EXPECT_EQ(effective, (ns::Range{1, 2}));

    // Taking the attribute off again merges the runs back: the strings compare equal.
    string.removeAttribute("bold", {0, 5});
    EXPECT_EQ(runs(string), "[a\U0001F600\u4e2db k=1]");
    EXPECT_EQ(string, AttributedString("a\U0001F600\u4e2db", attrs({{"k", ns::Value(1)}})));

    string.setAttributes(attrs({{"x", ns::Value("y")}}), {3, 1});
    string.addAttributes(attrs({{"k", ns::Value(2)}, {"z", ns::Value(0)}}), {3, 2});
    EXPECT_EQ(runs(string), "[a\U0001F600 k=1][\u4e2d k=2 x=y z=0][b k=2 z=0]");

    EXPECT_THROW(string.attributesAtIndex(5), ns::Exception);
    EXPECT_THROW(string.addAttribute("k", ns::Value(1), {4, 2}), ns::Exception);
    EXPECT_THROW(string.attributedSubstringFromRange({6, 0}), ns::Exception);
}

TEST(AttributedStringTests, EditingKeepsAttributesInPlace) {
    AttributedString string("hello world", attrs({{"a", ns::Value(1)}}));
    string.addAttribute("b", ns::Value(2), {6, 5});
    // Inserted plain text takes the attributes of the first replaced character, or the one before.
    string.replaceCharactersInRange({6, 5}, "there");
    EXPECT_EQ(runs(string), "[hello  a=1][there a=1 b=2]");
    string.replaceCharactersInRange({11, 0}, "!");
    EXPECT_EQ(runs(string), "[hello  a=1][there! a=1 b=2]");
    string.replaceCharactersInRange({0, 0}, ">");
    EXPECT_EQ(runs(string), "[>hello  a=1][there! a=1 b=2]");
    // Where two runs meet, inserted text joins the run before; inside a run, that run; the runs after move.
    string.replaceCharactersInRange({7, 0}, "__");
    string.replaceCharactersInRange({2, 0}, "E");
    string.replaceCharactersInRange({4, 0}, "");
    EXPECT_EQ(runs(string), "[>hEello __ a=1][there! a=1 b=2]");
    EXPECT_EQ(string.attributeAtIndex("b", 10).int64Value(), 2);
    string.deleteCharactersInRange({8, 2});
    string.deleteCharactersInRange({2, 1});
    EXPECT_EQ(runs(string), "[>hello  a=1][there! a=1 b=2]");

    string.insertAttributedString(AttributedString("NEW", attrs({{"c", ns::Value(3)}})), 1);
    EXPECT_EQ(runs(string), "[> a=1][NEW c=3][hello  a=1][there! a=1 b=2]");
    string.deleteCharactersInRange({1, 3});
    EXPECT_EQ(runs(string), "[>hello  a=1][there! a=1 b=2]");
    string.appendAttributedString(AttributedString("?", attrs({{"a", ns::Value(1)}, {"b", ns::Value(2)}})));
    EXPECT_EQ(runs(string), "[>hello  a=1][there!? a=1 b=2]");

    const AttributedString slice = string.attributedSubstringFromRange({4, 6});
    EXPECT_EQ(runs(slice), "[lo  a=1][the a=1 b=2]");
    string.deleteCharactersInRange({0, string.length()});
    EXPECT_TRUE(string.empty());
    EXPECT_EQ(string, AttributedString());
    string.replaceCharactersInRange({0, 0}, "x");
    EXPECT_TRUE(string.attributesAtIndex(0).empty());

    // Enumerating one attribute joins the runs where its value does not change.
    AttributedString mixed("abcdef", attrs({{"k", ns::Value(1)}}));
    mixed.addAttribute("other", ns::Value(5), {1, 1});
    mixed.addAttribute("k", ns::Value(2), {4, 2});
    std::vector<std::pair<std::int64_t, ns::Range>> values;
    mixed.enumerateAttribute("k", {0, 6}, [&](const ns::Value& value, ns::Range range, bool&) {
        values.emplace_back(value.int64Value(), range);
    });
    EXPECT_EQ(values, (std::vector<std::pair<std::int64_t, ns::Range>>{{1, {0, 4}}, {2, {4, 2}}}));
    int calls = 0;
    mixed.enumerateAttributes({0, 6}, [&](const ns::Dictionary&, ns::Range, bool& stop) {
        ++calls;
        stop = true;
    });
    EXPECT_EQ(calls, 1);
}

TEST(AttributedStringTests, AStringPutIntoItselfIsCopiedFirst) {
    AttributedString string("ab", attrs({{"a", ns::Value(1)}}));
    string.addAttribute("b", ns::Value(2), {1, 1});
    string.insertAttributedString(string, 1);
    EXPECT_EQ(runs(string), "[aa a=1][bb a=1 b=2]");
    string.replaceCharactersInRange({1, 2}, string);
    EXPECT_EQ(runs(string), "[aaa a=1][bbb a=1 b=2]");
    string.appendAttributedString(string);
    EXPECT_EQ(runs(string), "[aaa a=1][bbb a=1 b=2][aaa a=1][bbb a=1 b=2]");
}

TEST(AttributedStringTests, TextObjectsCompareByValue) {
    ct::ParagraphStyle style;
    style.headIndent = 10;
    style.tabStops = {{ct::TextAlignment::Right, 40}};
    style.baseWritingDirection = ct::WritingDirection::RightToLeft;
    auto paragraph = std::make_shared<ct::ParagraphStyleObject>(style);
    auto same = std::make_shared<ct::ParagraphStyleObject>(style);
    EXPECT_TRUE(paragraph->isEqual(*same));
    EXPECT_EQ(paragraph->className(), "NSParagraphStyle");
    style.tabStops.clear();
    EXPECT_FALSE(paragraph->isEqual(ct::ParagraphStyleObject(style)));

    // Equal objects under a key do not split runs.
    AttributedString string("ab", attrs({{"NSParagraphStyle", ns::Value(paragraph)}}));
    string.addAttribute("NSParagraphStyle", ns::Value(same), {1, 1});
    EXPECT_EQ(runs(string).size(), runs(AttributedString("ab", attrs({{"NSParagraphStyle", ns::Value(same)}}))).size());
    ns::Range effective;
    string.attributesAtIndex(0, &effective);
    EXPECT_EQ(effective, (ns::Range{0, 2}));

    const ct::Shadow shadow({1, 2}, 3, std::nullopt);
    EXPECT_TRUE(shadow.isEqual(*shadow.copy()));
    EXPECT_EQ(shadow.effectiveColor().alpha(), 1.0 / 3.0);
    EXPECT_FALSE(shadow.isEqual(ct::Shadow({1, 2}, 3, cg::Color::gray(0, 1))));

    double width = 5;
    ct::RunDelegate delegate({.ascent = [] { return 7.0; }, .descent = {}, .width = [&] { return width; }});
    width = 9;
    EXPECT_EQ(delegate.ascent(), 7);
    EXPECT_EQ(delegate.descent(), 0);
    EXPECT_EQ(delegate.width(), 9);
    // The reference lives as long as the delegate, and no longer.
    auto read = std::make_shared<double>(4);
    const std::weak_ptr<double> watched = read;
    auto holding = std::make_shared<ct::RunDelegate>(
        ct::RunDelegate::Callbacks{.ascent = {}, .descent = {}, .width = [value = read.get()] { return *value; }}, read);
    read.reset();
    EXPECT_EQ(holding->width(), 4);
    EXPECT_FALSE(watched.expired());
    holding.reset();
    EXPECT_TRUE(watched.expired());
}

TEST(AttributedStringTests, AppendingManyPiecesStaysLinear) {
    AttributedString string;
    for (int i = 0; i < 20000; ++i)
        string.appendAttributedString(AttributedString("ab", attrs({{"i", ns::Value(i % 3)}})));
    EXPECT_EQ(string.length(), 40000u);
    ns::Range effective;
    EXPECT_EQ(string.attributeAtIndex("i", 39999, &effective).int64Value(), 19999 % 3);
    EXPECT_EQ(effective, (ns::Range{39998, 2}));

    // Every index finds its own run, near the end and far from it, in strings of every run count.
    for (int count = 1; count <= 24; ++count) {
        AttributedString pieces;
        std::vector<ns::Range> expected;
        for (int i = 0; i < count; ++i) {
            const std::uint64_t length = 1 + static_cast<std::uint64_t>(i % 3);
            expected.push_back({pieces.length(), length});
            pieces.appendAttributedString(AttributedString(std::string(length, 'x'), attrs({{"i", ns::Value(i)}})));
        }
        for (int i = 0; i < count; ++i) {
            for (std::uint64_t at = expected[i].location; at < expected[i].end(); ++at) {
                ns::Range found;
                ASSERT_EQ(pieces.attributeAtIndex("i", at, &found).int64Value(), i) << count << " runs, index " << at;
                EXPECT_EQ(found, expected[i]);
            }
        }
    }
}

// Strings made on one shared dictionary: a change gives only the changed runs a changed copy, so the
// dictionary and every other string keep their attributes; equal contents merge and compare equal
// whether shared or made apart.
TEST(AttributedStringTests, SharedAttributesChangeOnlyWhereChanged) {
    const auto shared = std::make_shared<const ns::Dictionary>(attrs({{"color", ns::Value("red")}}));
    AttributedString first("ab", shared);
    const AttributedString second(u"cd", shared);
    first.addAttribute("size", ns::Value(2), {0, 1});
    EXPECT_EQ(runs(first), "[a color=red size=2][b color=red]");
    EXPECT_EQ(runs(second), "[cd color=red]");
    EXPECT_EQ(shared->size(), 1u);

    AttributedString copy = second;
    copy.removeAttribute("color", {1, 1});
    EXPECT_EQ(runs(copy), "[c color=red][d]");
    EXPECT_EQ(runs(second), "[cd color=red]");

    AttributedString joined("c", attrs({{"color", ns::Value("red")}}));
    joined.appendAttributedString(AttributedString("d", shared));
    EXPECT_EQ(runs(joined), "[cd color=red]");
    EXPECT_EQ(joined, second);

    first.setAttributes(attrs({{"k", ns::Value(1)}}), {0, 2});
    EXPECT_EQ(runs(first), "[ab k=1]");
    EXPECT_EQ(runs(second), "[cd color=red]");

    // A null dictionary is no attributes at all.
    const AttributedString bare("x", std::shared_ptr<const ns::Dictionary>());
    EXPECT_TRUE(bare.attributesAtIndex(0).empty());
    EXPECT_EQ(bare, AttributedString("x"));
}

}  // namespace
