#include <gtest/gtest.h>

#include <set>

#include "platform/foundation/Exception.h"
#include "platform/text/AttributeNames.h"
#include "platform/text/AttributedString.h"
#include "platform/text/RunDelegate.h"
#include "richtext/NSCharacterSetHTML.h"
#include "richtext/NSMutableAttributedStringHTML.h"
#include "richtext/NSStringHTML.h"
#include "richtext/NSStringParagraphs.h"
#include "richtext/NSStringUTUtilities.h"
#include "richtext/RTAttributeNames.h"

using namespace ql;

namespace {

TEST(RTHTMLStringTests, IgnorableWhitespace) {
    const ns::CharacterSet& set = ignorableWhitespaceCharacterSet();
    EXPECT_EQ(&set, &ignorableWhitespaceCharacterSet());
    for (char32_t c : {U' ', U'\t', U'\n', U'\r', U'\f', U'\u0085', U'\u2028', U'\u2029'})
        EXPECT_TRUE(set.longCharacterIsMember(c)) << std::hex << static_cast<unsigned>(c);
    for (char32_t c : {U'\u00A0', U'\u1680', U'\u180E', U'\u2000', U'\u2003', U'\u200A', U'\u200B', U'\u202F', U'\u205F',
                       U'\u3000', U'\uFEFF', U'x'})
        EXPECT_FALSE(set.longCharacterIsMember(c)) << std::hex << static_cast<unsigned>(c);

    EXPECT_TRUE(isIgnorableWhitespace(""));
    EXPECT_TRUE(isIgnorableWhitespace(" \n\t\r\n "));
    EXPECT_FALSE(isIgnorableWhitespace(" \u00a0 "));
    EXPECT_FALSE(isIgnorableWhitespace("\u3000"));
    EXPECT_FALSE(isIgnorableWhitespace(" a "));
    EXPECT_FALSE(isIgnorableWhitespace("题 "));
    EXPECT_TRUE(isIgnorableWhitespace("\u2028\n "));
    EXPECT_FALSE(isIgnorableWhitespace("\u2028 题"));
    EXPECT_FALSE(isIgnorableWhitespace(" \n\u2028\u3000"));  // white space up to a kept character
    EXPECT_FALSE(isIgnorableWhitespace(" \x01"));
    // Malformed bytes are never white space: an overlong or cut-short space, an encoded surrogate.
    EXPECT_FALSE(isIgnorableWhitespace("\xC0\xA0"));
    EXPECT_FALSE(isIgnorableWhitespace(" \xE2\x80"));
    EXPECT_FALSE(isIgnorableWhitespace("\xED\xA0\x80"));

    EXPECT_TRUE(isNumeric("12.5"));
    EXPECT_TRUE(isNumeric(""));
    EXPECT_FALSE(isNumeric("-1"));
    EXPECT_FALSE(isNumeric("1e5"));
    EXPECT_FALSE(isNumeric("\u0663"));  // a digit, but not an ASCII one

    const ns::CharacterSet space = ns::CharacterSet::whitespaceCharacterSet();
    EXPECT_TRUE(hasPrefixCharacterFromSet(" a", space));
    EXPECT_FALSE(hasPrefixCharacterFromSet("a ", space));
    EXPECT_TRUE(hasSuffixCharacterFromSet("a\u3000", space));
    EXPECT_FALSE(hasSuffixCharacterFromSet("", space));
    EXPECT_FALSE(hasPrefixCharacterFromSet("", space));
    EXPECT_TRUE(hasSuffixCharacterFromSet("x\U0001F600", ns::CharacterSet::characterSetWithCharactersInString("\U0001F600")));
    EXPECT_TRUE(hasPrefixCharacterFromSet("\u4e2dx", ns::CharacterSet::characterSetWithCharactersInString("\u4e2d")));
    EXPECT_TRUE(hasPrefixCharacterFromSet("\U0010FFFFx", ns::CharacterSet::characterSetWithCharactersInString("\U0010FFFF")));
    EXPECT_TRUE(hasPrefixCharacterFromSet("\u00e9", ns::CharacterSet::characterSetWithCharactersInString("\u00e9")));
    const ns::CharacterSet replacement = ns::CharacterSet::characterSetWithCharactersInString("\uFFFD");
    for (std::string_view malformed : {"\xC1\x81", "\xE0\x80\x80", "\xF4\x90\x80\x80", "\xED\xBF\xBF", "\xF0\x9F\x98", "\x80", "\xFF"})
        EXPECT_TRUE(hasPrefixCharacterFromSet(malformed, replacement)) << malformed.size();
}

TEST(RTHTMLStringTests, CharacterReferences) {
    EXPECT_EQ(stringByReplacingHTMLEntities("a&amp;b&lt;&#65;&#x42;&#X43;&eacute;"), "a&b<ABC\u00e9");
    EXPECT_EQ(stringByReplacingHTMLEntities("&unknown; &amp &#; &#x; &#12a; & ;"), "&unknown; &amp &#; &#x; &#12a; & ;");
    EXPECT_EQ(stringByReplacingHTMLEntities("&#0;&#xD800;&#x110000;&#99999999999;"), "\ufffd\ufffd\ufffd\ufffd");
    EXPECT_EQ(stringByReplacingHTMLEntities("&&amp;&"), "&&&");
    EXPECT_EQ(stringByReplacingHTMLEntities(""), "");
    // A ";" far behind a run of "&" ends no reference (and is not searched for from each of them).
    const std::string ampersands(1 << 20, '&');
    EXPECT_EQ(stringByReplacingHTMLEntities(ampersands + "amp;"), ampersands);
    EXPECT_EQ(stringByReplacingHTMLEntities("&" + std::string(40, 'a') + ";"), "&" + std::string(40, 'a') + ";");
}

TEST(RTHTMLStringTests, ParagraphRanges) {
    const std::string text = "ab\ncd\r\nef";
    EXPECT_EQ(rangeOfParagraphAtIndex(text, 0), (ns::Range{0, 3}));
    EXPECT_EQ(rangeOfParagraphAtIndex(text, 2), (ns::Range{0, 3}));
    EXPECT_EQ(rangeOfParagraphAtIndex(text, 4), (ns::Range{3, 4}));
    EXPECT_EQ(rangeOfParagraphAtIndex(text, 5), (ns::Range{3, 4}));
    EXPECT_EQ(rangeOfParagraphAtIndex(text, 6), (ns::Range{3, 4}));
    EXPECT_EQ(rangeOfParagraphAtIndex(text, 8), (ns::Range{7, 2}));
    EXPECT_EQ(rangeOfParagraphAtIndex(text, 9), (ns::Range{7, 2}));
    EXPECT_EQ(rangeOfParagraphAtIndex("a\n", 2), (ns::Range{2, 0}));
    EXPECT_EQ(rangeOfParagraphAtIndex("\u4e2d\u2028x\u2029y", 1), (ns::Range{0, 4}));
    EXPECT_EQ(rangeOfParagraphAtIndex("", 0), (ns::Range{0, 0}));
    EXPECT_THROW(rangeOfParagraphAtIndex("ab", 3), ns::Exception);

    std::set<std::string> identifiers;
    for (int i = 0; i < 10; ++i) identifiers.insert(stringWithUUID());
    EXPECT_EQ(identifiers.size(), 10u);
    EXPECT_EQ(identifiers.begin()->size(), 36u);
}

TEST(RTHTMLStringTests, AppendingWithAttributes) {
    ct::AttributedString string;
    appendString(string, "plain");
    EXPECT_TRUE(string.attributesAtIndex(0).empty());

    auto delegate = std::make_shared<ct::RunDelegate>(ct::RunDelegate::Callbacks{});
    string = ct::AttributedString("x", ns::Dictionary{{"NSFont", ns::Value("F")},
                                                      {"NSLink", ns::Value("L")},
                                                      {std::string(ui::AttachmentAttributeName), ns::Value("A")},
                                                      {std::string(ct::RunDelegateAttributeName), ns::Value(delegate)},
                                                      {"RTField", ns::Value("{listprefix}")}});
    appendString(string, "yz");
    EXPECT_EQ(string.string(), "xyz");
    ns::Range run;
    const ns::Dictionary& appended = string.attributesAtIndex(2, &run);
    EXPECT_EQ(run, (ns::Range{1, 2}));
    EXPECT_EQ(appended.size(), 2u);
    EXPECT_EQ(appended["NSFont"].asString(), "F");
    EXPECT_EQ(appended["NSLink"].asString(), "L");
    EXPECT_EQ(string.attributesAtIndex(0).size(), 5u);

    // The end of a paragraph keeps only the paragraph's own style of the last character.
    ct::AttributedString paragraph("text", ns::Dictionary{{"NSFont", ns::Value("F")},
                                                          {"NSParagraphStyle", ns::Value("P")},
                                                          {"CTForegroundColor", ns::Value("C")},
                                                          {"NSColor", ns::Value("UC")},
                                                          {"RTTextBlocks", ns::Value("B")},
                                                          {"RTTextLists", ns::Value("L")},
                                                          {"NSLink", ns::Value("link")},
                                                          {"NSUnderline", ns::Value(1)}});
    appendEndOfParagraph(paragraph);
    EXPECT_EQ(paragraph.string(), "text\n");
    const ns::Dictionary& end = paragraph.attributesAtIndex(4);
    EXPECT_EQ(end.keys(), (std::vector<std::string>{"CTForegroundColor", "NSColor", "NSFont", "NSParagraphStyle",
                                                    "RTTextBlocks", "RTTextLists"}));
    // Text that carries nothing but paragraph attributes: its end joins its run.
    ct::AttributedString plain("text", ns::Dictionary{{"NSFont", ns::Value("F")}, {"NSParagraphStyle", ns::Value("P")}});
    appendEndOfParagraph(plain);
    EXPECT_EQ(plain.attributesAtIndex(4, &run).keys(), (std::vector<std::string>{"NSFont", "NSParagraphStyle"}));
    EXPECT_EQ(run, (ns::Range{0, 5}));
    ct::AttributedString empty;
    appendEndOfParagraph(empty);
    EXPECT_EQ(empty.string(), "\n");
    EXPECT_TRUE(empty.attributesAtIndex(0).empty());
}

TEST(RTHTMLStringTests, CustomHTMLAttributes) {
    ct::AttributedString string("abcdef", ns::Dictionary{{"NSFont", ns::Value("F")}});
    addHTMLAttribute(string, "class", ns::Value("x"), {0, 4}, false);
    addHTMLAttribute(string, "class", ns::Value("y"), {2, 4}, false);
    addHTMLAttribute(string, "id", ns::Value("i"), {3, 1}, true);
    EXPECT_EQ(string.attributeAtIndex(RTCustomAttributesAttribute, 0)["class"].asString(), "x");
    EXPECT_EQ(string.attributeAtIndex(RTCustomAttributesAttribute, 3)["class"].asString(), "x");
    EXPECT_EQ(string.attributeAtIndex(RTCustomAttributesAttribute, 3)["id"].asString(), "i");
    EXPECT_EQ(string.attributeAtIndex(RTCustomAttributesAttribute, 5)["class"].asString(), "y");
    EXPECT_EQ(string.attributesAtIndex(5)["NSFont"].asString(), "F");
    addHTMLAttribute(string, "class", ns::Value("z"), {0, 6}, true);
    ns::Range whole;
    EXPECT_EQ(string.attributeAtIndex(RTCustomAttributesAttribute, 0, &whole)["class"].asString(), "z");
    EXPECT_EQ(whole, (ns::Range{0, 3}));  // the id on the fourth character sets it apart
}

}  // namespace
