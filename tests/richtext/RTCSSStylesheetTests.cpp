#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>
#include <string>

#include "richtext/RTCSSStylesheet.h"
#include "richtext/RTHTMLParserNode.h"

using namespace ql;

namespace {

std::shared_ptr<RTHTMLParserNode> node(std::string_view name, ns::Dictionary attributes = {},
                                       const std::shared_ptr<RTHTMLParserNode>& parent = nullptr) {
    auto made = std::make_shared<RTHTMLParserNode>(name, attributes);
    if (parent) parent->addChildNode(made);
    return made;
}

std::string text(const ns::Dictionary* declarations, std::string_view key) {
    if (!declarations) return "<no rule>";
    const ns::Value* value = declarations->find(key);
    return value ? value->stringValue() : "<absent>";
}

std::string text(const ns::Value& declarations, std::string_view key) { return text(declarations.asDictionary(), key); }

TEST(RTCSSStylesheetTests, CascadeKeysAreEqualExactlyWhenCascadesAre) {
    RTCSSStylesheet sheet("div .x { font-size: 20px } .x { color: blue }");
    const auto div = node("div");
    const auto span = node("span");
    const auto a = node("p", {{"class", ns::Value("x")}, {"style", ns::Value("color:green")}}, div);
    const auto b = node("p", {{"style", ns::Value("color:green")}, {"class", ns::Value("x")}}, div);
    EXPECT_EQ(sheet.cascadeKeyForElement(*a, false), sheet.cascadeKeyForElement(*b, false));
    // Outside the div the descendant rule no longer matches.
    const auto outside = node("p", {{"class", ns::Value("x")}, {"style", ns::Value("color:green")}}, span);
    EXPECT_NE(sheet.cascadeKeyForElement(*a, false), sheet.cascadeKeyForElement(*outside, false));
    EXPECT_EQ(text(sheet.mergedStyleDictionaryForElement(*a, nullptr, true), "font-size"), "20px");
    EXPECT_EQ(text(sheet.mergedStyleDictionaryForElement(*outside, nullptr, true), "font-size"), "<absent>");
    // The inline style counts unless it is ignored.
    const auto plain = node("p", {{"class", ns::Value("x")}}, div);
    EXPECT_NE(sheet.cascadeKeyForElement(*a, false), sheet.cascadeKeyForElement(*plain, false));
    EXPECT_EQ(sheet.cascadeKeyForElement(*a, true), sheet.cascadeKeyForElement(*plain, true));
    // Texts that run together differently, and an empty attribute against none, are told apart.
    const auto joined = node("p", {{"class", ns::Value("x-")}, {"id", ns::Value("")}});
    const auto split = node("p", {{"class", ns::Value("x")}, {"id", ns::Value("-")}});
    const auto none = node("p", {{"class", ns::Value("x")}});
    EXPECT_NE(sheet.cascadeKeyForElement(*joined, true), sheet.cascadeKeyForElement(*split, true));
    EXPECT_NE(sheet.cascadeKeyForElement(*joined, true), sheet.cascadeKeyForElement(*none, true));
    EXPECT_NE(sheet.cascadeKeyForElement(*split, true), sheet.cascadeKeyForElement(*none, true));
    EXPECT_NE(sheet.cascadeKeyForElement(*node("p"), true), sheet.cascadeKeyForElement(*node("b"), true));
    // An element without attributes keys as one whose attributes play no part, never as an empty class.
    for (const bool ignoreInline : {false, true}) {
        const std::string bare = sheet.cascadeKeyForElement(*node("p"), ignoreInline);
        EXPECT_EQ(bare, sheet.cascadeKeyForElement(*node("p", {{"title", ns::Value("t")}}), ignoreInline));
        EXPECT_NE(bare, sheet.cascadeKeyForElement(*node("p", {{"class", ns::Value("")}}), ignoreInline));
        EXPECT_NE(bare, sheet.cascadeKeyForElement(*node("p", {{"id", ns::Value("")}}), ignoreInline));
    }

    // Every change of the rules is a new generation; a copy keeps the one it was made with.
    const std::uint64_t before = sheet.generation();
    RTCSSStylesheet copy = sheet;
    EXPECT_EQ(copy.generation(), before);
    sheet.parseStyleBlock("p { color: black }");
    EXPECT_NE(sheet.generation(), before);
    copy.mergeStylesheet(RTCSSStylesheet("b { color: red }"));
    EXPECT_NE(copy.generation(), before);
    EXPECT_NE(copy.generation(), sheet.generation());
}

TEST(RTCSSStylesheetTests, ParsesRulesGroupsPseudoClassesAndComments) {
    RTCSSStylesheet sheet("/* lead */ h1 ,  h2 { color: red; font-size: 3em !IMPORTANT }\n"
                          "a:hover { color: blue }\n"
                          "p { color: green; /* between */ margin-left: 4px }\n"
                          "div   span { display: none }");
    EXPECT_EQ(text(sheet.stylesForSelector("h1"), "color"), "red");
    EXPECT_EQ(text(sheet.stylesForSelector("h2"), "font-size"), "3em");
    EXPECT_EQ(text(sheet.stylesForSelector("a"), "hover:color"), "blue");
    EXPECT_EQ(text(sheet.stylesForSelector("a"), "color"), "<absent>");
    // Text on both sides of a comment still counts.
    EXPECT_EQ(text(sheet.stylesForSelector("p"), "color"), "green");
    EXPECT_EQ(text(sheet.stylesForSelector("p"), "margin-left"), "4px");
    EXPECT_EQ(sheet.orderedSelectors(), (std::vector<std::string>{"h1", "h2", "a", "p", "div span"}));

    // A later rule merges over the earlier one and keeps the selector's place.
    sheet.parseStyleBlock("h1 { color: blue; text-align: center }");
    EXPECT_EQ(text(sheet.stylesForSelector("h1"), "color"), "blue");
    EXPECT_EQ(text(sheet.stylesForSelector("h1"), "font-size"), "3em");
    EXPECT_EQ(sheet.orderedSelectors().front(), "h1");

    // An unterminated comment and a stray closing brace end the useful text; earlier rules stay.
    RTCSSStylesheet cut("b { color: red } /* open i { color: blue }");
    EXPECT_EQ(cut.orderedSelectors(), std::vector<std::string>{"b"});
    RTCSSStylesheet stray("b { color: red } } i { color: blue }");
    EXPECT_EQ(stray.orderedSelectors(), std::vector<std::string>{"b"});
    // A nested block is handed over as the declarations of its outer rule.
    RTCSSStylesheet nested("@media print { p { color: red } } em { color: blue }");
    EXPECT_EQ(text(nested.stylesForSelector("em"), "color"), "blue");
}

TEST(RTCSSStylesheetTests, WeightsAndMerging) {
    RTCSSStylesheet sheet;
    EXPECT_EQ(sheet.weightForSelector(""), 0u);
    EXPECT_EQ(sheet.weightForSelector("ul li"), 2u);
    EXPECT_EQ(sheet.weightForSelector("#main .note p.c"), 111u);

    RTCSSStylesheet first("p { color: red; margin-top: 1px } em { color: gray }");
    const RTCSSStylesheet second("em { font-style: normal } p { color: blue } b { color: black }");
    first.mergeStylesheet(second);
    EXPECT_EQ(first.orderedSelectors(), (std::vector<std::string>{"p", "em", "b"}));
    EXPECT_EQ(text(first.stylesForSelector("p"), "color"), "blue");
    EXPECT_EQ(text(first.stylesForSelector("p"), "margin-top"), "1px");
    EXPECT_EQ(text(first.stylesForSelector("em"), "font-style"), "normal");

    // A copy is independent of the original.
    RTCSSStylesheet copy(first);
    copy.parseStyleBlock("p { color: green }");
    EXPECT_EQ(text(first.stylesForSelector("p"), "color"), "blue");
    EXPECT_EQ(text(copy.stylesForSelector("p"), "color"), "green");
}

TEST(RTCSSStylesheetTests, ExpandsShorthands) {
    const auto expanded = [](std::string_view css) {
        RTCSSStylesheet sheet(std::string("x { ") + std::string(css) + " }");
        return *sheet.stylesForSelector("x");
    };
    ns::Dictionary font = expanded("font: bold 12px/14px Arial, sans-serif");
    EXPECT_EQ(text(&font, "font-weight"), "bold");
    EXPECT_EQ(text(&font, "font-size"), "12px");
    EXPECT_EQ(text(&font, "line-height"), "14px");
    EXPECT_EQ(text(&font, "font-family"), "Arial, sans-serif");
    EXPECT_EQ(text(&font, "font-style"), "normal");
    EXPECT_EQ(text(&font, "font-variant"), "normal");
    EXPECT_FALSE(font.contains("font"));

    EXPECT_TRUE(expanded("font: 12px").empty());
    EXPECT_EQ(text(&(font = expanded("font: italic bold oblique 10pt Times")), "font-style"), "italic");
    EXPECT_EQ(text(&font, "font-family"), "Times");
    EXPECT_EQ(text(&(font = expanded("font: small-caps large Serif caption Other")), "font-variant"), "small-caps");
    EXPECT_EQ(text(&font, "font-family"), "Serif");

    ns::Dictionary margin = expanded("margin: 1px 2px 3px");
    EXPECT_EQ(text(&margin, "margin-top"), "1px");
    EXPECT_EQ(text(&margin, "margin-right"), "2px");
    EXPECT_EQ(text(&margin, "margin-bottom"), "3px");
    EXPECT_EQ(text(&margin, "margin-left"), "2px");
    margin = expanded("margin-left: 9px; margin: 5px");
    EXPECT_EQ(text(&margin, "margin-left"), "9px");
    EXPECT_EQ(text(&margin, "margin-top"), "5px");
    margin = expanded("padding: 1px 2px");
    EXPECT_EQ(text(&margin, "padding-bottom"), "1px");
    EXPECT_EQ(text(&margin, "padding-left"), "2px");

    ns::Dictionary list = expanded("list-style: inherit; margin: 3px");
    EXPECT_EQ(text(&list, "list-style-type"), "inherit");
    EXPECT_EQ(text(&list, "list-style-position"), "inherit");
    EXPECT_EQ(text(&list, "margin"), "3px");
    list = expanded("list-style: SQUARE url(Images/Dot.PNG) Inside");
    EXPECT_EQ(text(&list, "list-style-type"), "square");
    EXPECT_EQ(text(&list, "list-style-position"), "inside");
    EXPECT_EQ(text(&list, "list-style-image"), "url(Images/Dot.PNG)");

    ns::Dictionary background = expanded("background: url(x.png) no-repeat #ABCDEF top");
    EXPECT_EQ(text(&background, "background-color"), "#ABCDEF");
    EXPECT_FALSE(background.contains("background"));
    EXPECT_EQ(text(&(background = expanded("background: rgb(1, 2, 3) fixed")), "background-color"), "rgb(1, 2, 3)");
}

TEST(RTCSSStylesheetTests, DefaultStylesheet) {
    const RTCSSStylesheet& sheet = RTCSSStylesheet::defaultStyleSheet();
    EXPECT_EQ(&sheet, &RTCSSStylesheet::defaultStyleSheet());
    EXPECT_EQ(sheet.orderedSelectors().front(), "html");
    // The 39 rules' 58 selectors, none for a text area.
    EXPECT_EQ(sheet.orderedSelectors().size(), 58u);
    EXPECT_EQ(std::count(sheet.orderedSelectors().begin(), sheet.orderedSelectors().end(), "textarea"), 0);
    EXPECT_EQ(text(sheet.stylesForSelector("code"), "font-family"), "monospace");
    EXPECT_EQ(text(sheet.stylesForSelector("pre"), "margin-right"), "0");
    EXPECT_EQ(text(sheet.stylesForSelector("listing"), "margin-top"), "1em");
    EXPECT_EQ(text(sheet.stylesForSelector("a"), "active:color"), "#FF0000");
    EXPECT_EQ(text(sheet.stylesForSelector("a"), "color"), "#0000EE");
    EXPECT_EQ(text(sheet.stylesForSelector("h1"), "font-size"), "2em");
    EXPECT_EQ(text(sheet.stylesForSelector("ul ul"), "list-style-type"), "circle");
    EXPECT_EQ(text(sheet.stylesForSelector("ul ul ul"), "list-style-type"), "square");
    EXPECT_EQ(text(sheet.stylesForSelector("table"), "border-color"), "gray");
}

TEST(RTCSSStylesheetTests, CascadeForAnElement) {
    RTCSSStylesheet sheet("p { color: black; a: tag }\n"
                          "div p { color: gray; b: descendant }\n"
                          "#main p { color: silver; c: id-descendant }\n"
                          ".x { color: red; d: x }\n"
                          "p.x { color: orange }\n"
                          ".y { color: yellow }\n"
                          "p.y { color: green }\n"
                          "#z { color: blue; e: id }");
    const auto body = node("body");
    const auto div = node("div", {{"id", ns::Value("main")}}, body);
    const auto p = node("p", {{"class", ns::Value("x y")}, {"id", ns::Value("z")}}, div);

    std::set<std::string> matched;
    ns::Value merged = sheet.mergedStyleDictionaryForElement(*p, &matched, true);
    EXPECT_EQ(text(merged, "color"), "blue");
    for (const char* key : {"a", "b", "c", "d", "e"}) EXPECT_NE(text(merged, key), "<absent>") << key;
    EXPECT_EQ(matched, (std::set<std::string>{"div p", "#main p", "x", "p.x", "y", "p.y", "#z"}));

    // Without the id rule the classes decide, in attribute order: the tag with .y comes last.
    const auto other = node("p", {{"class", ns::Value("x y")}, {"style", ns::Value("margin: 2px; color: teal")}}, body);
    EXPECT_EQ(text(sheet.mergedStyleDictionaryForElement(*other, nullptr, true), "color"), "green");
    merged = sheet.mergedStyleDictionaryForElement(*other, nullptr, false);
    EXPECT_EQ(text(merged, "color"), "teal");
    EXPECT_EQ(text(merged, "margin-bottom"), "2px");

    // Descendant selectors by weight: "#main p" (101) wins over "div p" (2) whatever their order.
    const auto plain = node("p", {}, div);
    EXPECT_EQ(text(sheet.mergedStyleDictionaryForElement(*plain, nullptr, false), "color"), "silver");

    EXPECT_TRUE(sheet.mergedStyleDictionaryForElement(*node("span"), nullptr, false).isNil());
    std::set<std::string> untouched;
    sheet.mergedStyleDictionaryForElement(*body, &untouched, false);
    EXPECT_TRUE(untouched.empty());
}

TEST(RTCSSStylesheetTests, DescendantSelectors) {
    const RTCSSStylesheet& sheet = RTCSSStylesheet::defaultStyleSheet();
    const auto outer = node("ul");
    const auto item = node("li", {}, outer);
    const auto inner = node("ul", {}, item);
    EXPECT_EQ(sheet.matchingComplexCascadingSelectorsForElement(*inner), std::vector<std::string>{"ul ul"});
    EXPECT_TRUE(sheet.matchingComplexCascadingSelectorsForElement(*outer).empty());
    const auto third = node("ul", {}, node("li", {}, inner));
    EXPECT_EQ(sheet.matchingComplexCascadingSelectorsForElement(*third), (std::vector<std::string>{"ul ul", "ul ul ul"}));
    EXPECT_EQ(text(sheet.mergedStyleDictionaryForElement(*third, nullptr, false), "list-style-type"), "square");

    RTCSSStylesheet own("div p { color: red } .note em { color: blue }");
    const auto div = node("div", {{"class", ns::Value("a note")}});
    EXPECT_TRUE(own.matchingComplexCascadingSelectorsForElement(*div).empty());
    const auto em = node("em", {}, node("span", {}, div));
    EXPECT_EQ(own.matchingComplexCascadingSelectorsForElement(*em), std::vector<std::string>{".note em"});

    // Ancestors far up a deep tree count as much as near ones, and selectors ending on a class or id
    // are found as well as those ending on a tag.
    RTCSSStylesheet deep("#top .leaf { color: red } section .leaf b { color: blue } div #end { color: green }");
    const auto top = node("section", {{"id", ns::Value("top")}});  // holds the whole chain
    std::shared_ptr<RTHTMLParserNode> cursor = top;
    for (int level = 0; level < 40; ++level) cursor = node(level % 2 ? "div" : "span", {}, cursor);
    const auto leaf = node("p", {{"class", ns::Value("x leaf")}}, cursor);
    EXPECT_EQ(deep.matchingComplexCascadingSelectorsForElement(*leaf), std::vector<std::string>{"#top .leaf"});
    const auto bold = node("b", {}, node("i", {}, leaf));
    EXPECT_EQ(deep.matchingComplexCascadingSelectorsForElement(*bold), std::vector<std::string>{"section .leaf b"});
    const auto end = node("i", {{"id", ns::Value("end")}}, leaf);
    EXPECT_EQ(deep.matchingComplexCascadingSelectorsForElement(*end), std::vector<std::string>{"div #end"});
    EXPECT_NE(deep.cascadeKeyForElement(*end, false), deep.cascadeKeyForElement(*node("i", {{"id", ns::Value("end")}}), false));
}

}  // namespace
