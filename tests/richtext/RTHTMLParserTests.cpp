#include "richtext/RTHTMLParser.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "platform/foundation/JSONSerialization.h"
#include "platform/foundation/Value.h"
#include "richtext/RTHTMLInputRepair.h"
#include "richtext/RTLog.h"
#include "tests/richtext/ParserEvents.h"

using namespace ql;
using namespace ql::test;

namespace {


TEST(RTHTMLParserTests, ReportsFragmentsInDocumentOrderWithImpliedHtmlAndBody) {
    const Parsed parsed = parse("<b>Bold</b> and <I CLASS=\"x\" data-n='1'>it&amp;al</I><br>");
    EXPECT_TRUE(parsed.ok);
    EXPECT_EQ(parsed.events, (Events{"<html>", "<body>", "<b>", "'Bold'", "</b>", "' and '", "<i class=x data-n=1>",
                                     "'it&al'", "</i>", "<br>", "</br>", "</body>", "</html>", "end"}));

    // A whole document reports its own elements, head included.
    const Parsed document = parse("<html><head><title>T</title></head><body><p>x</p></body></html>");
    EXPECT_EQ(document.events, (Events{"<html>", "<head>", "<title>", "'T'", "</title>", "</head>", "<body>", "<p>",
                                       "'x'", "</p>", "</body>", "</html>", "end"}));

    // Text at the very start of a fragment goes into an implied paragraph, as the reader repairs it.
    const Parsed text = parse("Just text");
    EXPECT_EQ(text.events, (Events{"<html>", "<body>", "<p>", "'Just text'", "</p>", "</body>", "</html>", "end"}));

    // Entities, numeric references and a no-break space arrive decoded; attributes without a value are empty.
    const Parsed entities = parse("<p title=\"a&lt;b\" hidden>&#233;&#x4E2D;&nbsp;&copy;</p>");
    EXPECT_EQ(entities.events[2], "<p hidden= title=a<b>");
    EXPECT_EQ(entities.events[3], "'\u00e9\u4e2d\u00a0\u00a9'");
}

TEST(RTHTMLParserTests, RepairsMalformedMarkupAndOnlyEndsOpenElements) {
    // Unclosed elements are closed at the end, overlapping ones where the outer closes, stray end tags dropped.
    const Parsed parsed = parse("<div><b>one<i>two</b>three</span></div><p>four");
    EXPECT_TRUE(parsed.ok);
    int depth = 0;
    for (const std::string& event : parsed.events) {
        if (event.starts_with("</")) --depth;
        else if (event.starts_with("<")) ++depth;
        EXPECT_GE(depth, 0) << event;
    }
    EXPECT_EQ(depth, 0);
    EXPECT_EQ(std::count(parsed.events.begin(), parsed.events.end(), "</span>"), 0);
    EXPECT_NE(std::find(parsed.events.begin(), parsed.events.end(), "'four'"), parsed.events.end());
    EXPECT_EQ(parsed.events.back(), "end");

    // A list item closes the previous one; a p closes an open p.
    const Parsed list = parse("<ul><li>a<li>b</ul><p>x<p>y");
    EXPECT_EQ(list.events, (Events{"<html>", "<body>", "<ul>", "<li>", "'a'", "</li>", "<li>", "'b'", "</li>", "</ul>",
                                   "<p>", "'x'", "</p>", "<p>", "'y'", "</p>", "</body>", "</html>", "end"}));

    // A NUL character ends nothing: dropped from text, as a browser reads it.
    const Parsed nul = parse(std::string_view("<p>a\0b</p><p>c</p>", 19));
    EXPECT_NE(std::find(nul.events.begin(), nul.events.end(), "'c'"), nul.events.end());
    EXPECT_EQ(nul.events[3], "'ab'");

    // Nor inside a start tag, where it reads as U+FFFD.
    const Parsed inTag = parse(std::string_view("<p style=\"a\0b\">x<b>y</b>", 24));
    EXPECT_EQ(inTag.events, (Events{"<html>", "<body>", "<p style=a\uFFFDb>", "'x'", "<b>", "'y'", "</b>", "</p>",
                                    "</body>", "</html>", "end"}));

    // Garbage still parses to the end.
    const Parsed garbage = parse("<<>><a href=>\x01</a></</>&unknown; <!-- open comment");
    EXPECT_EQ(garbage.events.back(), "end");
}

TEST(RTHTMLParserTests, NULBytesReadAsInABrowser) {
    // Dropped from text; U+FFFD in a value, which goes on to its end, and in a style element's contents.
    const Parsed parsed = parse(std::string_view("<p>before\0after</p><p title=\"a\0b\" id=x\0y>second</p><style>p\0{}</style>"
                                                 "<!-- c\0 --><p>third</p>",
                                                 92));
    EXPECT_EQ(parsed.events, (Events{"<html>", "<body>", "<p>", "'beforeafter'", "</p>", "<p id=x\uFFFDy title=a\uFFFDb>",
                                     "'second'", "</p>", "<style>", "[p\uFFFD{}]", "</style>", "<p>", "'third'", "</p>",
                                     "</body>", "</html>", "end"}));
    // Nothing but NULs, and a NUL in an end tag, which then ends nothing.
    EXPECT_EQ(parse(std::string(1000, '\0')).events, (Events{"end"}));
    const Parsed end = parse(std::string_view("<b>x</b\0>y", 10));
    EXPECT_EQ(std::count(end.events.begin(), end.events.end(), "</b>"), 1);
}

// What the text and the first element's title read as, from a fragment inside a div.
std::pair<std::string, std::string> textAndTitle(std::string_view fragment) {
    const Parsed parsed = parse("<div>" + std::string(fragment) + "</div>");
    std::string text, title;
    for (const std::string& event : parsed.events) {
        if (event.front() == '\'') text += event.substr(1, event.size() - 2);
        if (const std::size_t at = event.find(" title="); title.empty() && at != std::string::npos) title = event.substr(at + 7, event.size() - at - 8);
    }
    return {text, title};
}

TEST(RTHTMLParserTests, CharacterReferencesReadAsHTMLReadsThem) {
    // As a browser reads them (checked against one): out-of-range numbers give U+FFFD, 128 to 159 are windows-1252
    // bytes (129 is unassigned there, and stays), "&#" with no digits stays text.
    EXPECT_EQ(textAndTitle("&#0;|&#xD800;|&#x110000;|&#99999999999;|&#65x").first, "\uFFFD|\uFFFD|\uFFFD|\uFFFD|Ax");
    EXPECT_EQ(textAndTitle("&#128;&#150;&#153;&#159;&#129;|&#;|&#x;|&#xZ").first, "\u20AC\u2013\u2122\u0178\u0081|&#;|&#x;|&#xZ");
    // Legacy names without a ";", the longest that begins the name; capitals; names HTML 4 has.
    EXPECT_EQ(textAndTitle("&amp &lt &gt &quot &nbsp| &copy2020 &notit; &notin; &ampx").first,
              "& < > \" \u00A0| \u00A92020 \u00ACit; \u2209 &x");
    EXPECT_EQ(textAndTitle("&AMP; &LT; &GT; &QUOT; &COPY; &REG; &AMP &LT").first, "& < > \" \u00A9 \u00AE & <");
    EXPECT_EQ(textAndTitle("&ldquo;x&rdquo; &hellip; &Amp; &unknown; &").first, "\u201Cx\u201D \u2026 &Amp; &unknown; &");
    // A reference to markup is text.
    const Parsed markup = parse("<p>&lt;b&gt;x&lt;/b&gt; &amp;amp;</p>");
    EXPECT_EQ(markup.events[3], "'<b>x</b> &amp;'");
    EXPECT_EQ(std::count(markup.events.begin(), markup.events.end(), "<b>"), 0);

    // In an attribute value a legacy name followed by a letter, a digit or "=" stays as written.
    EXPECT_EQ(textAndTitle("<i title=\"a&quot;b&apos;c&#0;d&amp=x&copy;&#128;&lt&copy2&lt.&AMP\">x</i>").second,
              "a\"b'c\uFFFDd&amp=x\u00A9\u20AC<&copy2<.&");
    EXPECT_EQ(textAndTitle("<i title='&quot;&#39;' id=a&lt;b>x</i>").second, "\"'");
    EXPECT_EQ(parse("<a href=\"?a=1&copy=2&amp;b=&#60;\">x</a>").events[2], "<a href=?a=1&copy=2&b=<>");
}

TEST(RTHTMLParserTests, NamesOfLaterHTMLReadAsABrowserReadsThem) {
    // As a browser reads them (checked against one): names HTML 4 lacks, lang and rang as HTML has them now, names
    // of two characters, and characters that would be markup or end a value if they came as typed.
    EXPECT_EQ(textAndTitle("&ccaron;esky &check; &frac13; &hyphen; &lang;x&rang;").first, "\u010Desky \u2713 \u2153 \u2010 \u27E8x\u27E9");
    EXPECT_EQ(textAndTitle("&nvlt; &fjlig;ord &NotEqualTilde; &bne;").first, "<\u20D2 fjord \u2242\u0338 =\u20E5");
    EXPECT_EQ(textAndTitle("a<&sol;i>b<&excl;-- c --> &lt&excl;x").first, "a</i>b<!-- c --> <!x");
    EXPECT_EQ(textAndTitle("&hellip&semi; &&num;60; &ampamp&semi;").first, "&hellip; &#60; &amp;");
    // Without a ";" such a name reads as the longest legacy name it begins with, if any; and nothing is read twice.
    EXPECT_EQ(textAndTitle("&check &centerdot &notinva &hyphen &notinva; &amp;lt; &ampfjlig;").first,
              "&check \u00A2erdot \u00ACinva &hyphen \u2209 &lt; &fjlig;");
    EXPECT_EQ(textAndTitle("<i title=\"&ccaron;&Tab;&sol;&centerdot&NewLine;&centerdot;&notit;&AMP;x\">x</i>").second,
              "\u010D\t/&centerdot\n\u00B7&notit;&x");
    EXPECT_EQ(textAndTitle("<i title=a&Tab;b&sol;>x</i>").second, "a\tb/");
}

// Each form's text and title, read from "<i title="FORM">[FORM]</i>" for each in turn.
std::vector<std::pair<std::string, std::string>> textsAndTitles(const std::vector<std::string>& forms) {
    std::string html = "<div>";
    for (const std::string& form : forms) html += "<i title=\"" + form + "\">[" + form + "]</i>";
    const Parsed parsed = parse(html + "</div>");
    std::vector<std::pair<std::string, std::string>> read;
    for (std::size_t at = 0; at + 1 < parsed.events.size(); ++at) {
        const std::string& tag = parsed.events[at];
        const std::string& text = parsed.events[at + 1];
        if (!tag.starts_with("<i title=") || !text.starts_with("'[")) continue;
        read.emplace_back(text.substr(2, text.size() - 4), tag.substr(9, tag.size() - 10));
    }
    return read;
}

TEST(RTHTMLParserTests, EveryNameOfHTMLsTableReadsAsTheTableHasIt) {
    // The table as Python has it (html.entities.html5), written unchanged by tools/character-references/generate.py.
    std::ifstream file(QL_RICHTEXT_DOCUMENTS "/named-character-references.json", std::ios::binary);
    const std::string json{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    const ns::Value parsed = ns::JSONSerialization::JSONObjectWithData(json, 0, nullptr);
    const ns::Dictionary* table = parsed.asDictionary();
    ASSERT_NE(table, nullptr);
    ASSERT_EQ(table->size(), 2231u);
    std::map<std::string, std::string, std::less<>> legacy;  // the names read without a ";"
    for (const auto& [key, value] : *table) {
        if (!key.ends_with(';')) legacy.emplace(key.view(), value.asString());
    }
    // What a name without its ";" reads as, outside and inside an attribute value: the longest legacy name that
    // begins it, but in a value not when a letter or a digit follows.
    const auto withoutSemicolon = [&legacy](std::string_view name) -> std::pair<std::string, std::string> {
        for (std::size_t length = name.size(); length > 0; --length) {
            const auto found = legacy.find(name.substr(0, length));
            if (found == legacy.end()) continue;
            const std::string text = found->second + std::string(name.substr(length));
            return {text, length == name.size() ? text : "&" + std::string(name)};
        }
        return {"&" + std::string(name), "&" + std::string(name)};
    };

    std::vector<std::string> forms;
    std::vector<std::pair<std::string, std::string>> expected;
    for (const auto& [entry, value] : *table) {
        const std::string key = entry;
        const std::string name = key.ends_with(';') ? key.substr(0, key.size() - 1) : key;
        forms.push_back("&" + key);
        expected.emplace_back(value.asString(), value.asString());
        if (key.ends_with(';') && !legacy.contains(name)) {
            forms.push_back("&" + name);
            expected.push_back(withoutSemicolon(name));
        }
        if (!key.ends_with(';')) {
            forms.push_back("&" + key + "=");
            expected.emplace_back(std::string(value.asString()) + "=", "&" + key + "=");
        }
    }
    const std::vector<std::pair<std::string, std::string>> read = textsAndTitles(forms);
    ASSERT_EQ(read.size(), forms.size());
    std::size_t wrong = 0;
    for (std::size_t at = 0; at < forms.size(); ++at) {
        if (read[at] == expected[at]) continue;
        if (++wrong <= 20) ADD_FAILURE() << forms[at] << " reads as " << read[at].first << " | " << read[at].second;
    }
    EXPECT_EQ(wrong, 0u) << " of " << forms.size() << " forms";
}

TEST(RTHTMLParserTests, ATagOfAMillionAttributesKeepsOnlyItsFirstOnes) {
    struct Counter : RTHTMLParserDelegate {
        std::vector<std::size_t> attributes;
        std::string text;
        void parserDidStartElement(RTHTMLParser&, std::string_view name, const ns::Dictionary& given) override {
            if (name == "p") attributes.push_back(given.size());
        }
        void parserFoundCharacters(RTHTMLParser&, std::string_view characters) override { text += characters; }
    };
    std::string html = "<p";
    for (int i = 0; i < 1000000; ++i) html += " a" + std::to_string(i) + "=\"&amp;\"";
    html += ">x</p><p class=\"q\">y</p>";
    std::vector<std::string> logged;
    RTSetLogHook([&](int, std::string_view message) { logged.emplace_back(message); });
    auto parser = std::make_shared<RTHTMLParser>(ns::Data(std::string_view(html)), 0);
    auto counter = std::make_shared<Counter>();
    parser->setDelegate(counter);
    EXPECT_TRUE(parser->parse());
    RTSetLogHook(nullptr);
    EXPECT_EQ(counter->attributes, (std::vector<std::size_t>{RTHTMLMaximumAttributes, 1}));
    EXPECT_EQ(counter->text, "xy");
    EXPECT_EQ(logged, (std::vector<std::string>{"Element <p> has 1000000 attributes; only the first 64 are read"}));
}

TEST(RTHTMLParserTests, MisnestedFormattingIsRepairedAsABrowserRepairsIt) {
    // The tree a browser builds (checked against one), but where it keeps formatting around a block: the
    // formatting opens again inside the block instead.
    EXPECT_EQ(parse("<b>a <i>b</b> c</i>").events,
              (Events{"<html>", "<body>", "<b>", "'a '", "<i>", "'b'", "</i>", "</b>", "<i>", "' c'", "</i>", "</body>", "</html>", "end"}));
    EXPECT_EQ(parse("<div>x <b>y</div><p>z").events,
              (Events{"<html>", "<body>", "<div>", "'x '", "<b>", "'y'", "</b>", "</div>", "<p>", "<b>", "'z'", "</b>", "</p>",
                      "</body>", "</html>", "end"}));
    EXPECT_EQ(parse("<b><p>t</p></b>").events,
              (Events{"<html>", "<body>", "<p>", "<b>", "'t'", "</b>", "</p>", "</body>", "</html>", "end"}));
    EXPECT_EQ(parse("<div>a</p>b</div>").events,
              (Events{"<html>", "<body>", "<div>", "'a'", "<p>", "</p>", "'b'", "</div>", "</body>", "</html>", "end"}));
    EXPECT_EQ(parse("<b>a<div>b</b>c</div>").events,
              (Events{"<html>", "<body>", "<b>", "'a'", "</b>", "<div>", "<b>", "'b'", "</b>", "'c'", "</div>", "</body>", "</html>", "end"}));
    EXPECT_EQ(parse("<p><b class=k>x<p>y").events,
              (Events{"<html>", "<body>", "<p>", "<b class=k>", "'x'", "</b>", "</p>", "<p>", "<b class=k>", "'y'", "</b>", "</p>",
                      "</body>", "</html>", "end"}));
    // A link inside a link ends it; an end tag of nothing open is dropped.
    EXPECT_EQ(parse("<a href=1>x<a href=2>y</a></i>").events,
              (Events{"<html>", "<body>", "<a href=1>", "'x'", "</a>", "<a href=2>", "'y'", "</a>", "</body>", "</html>", "end"}));
    // Tables stay inside formatting; their cells start afresh.
    EXPECT_EQ(parse("<b><table><tr><td>x</td></tr></table></b>").events,
              (Events{"<html>", "<body>", "<b>", "<table>", "<tr>", "<td>", "'x'", "</td>", "</tr>", "</table>", "</b>", "</body>",
                      "</html>", "end"}));
    const Parsed cells = parse("<table><tr><td><i>x</td><td>y</td></tr></table>z");
    EXPECT_EQ(std::count(cells.events.begin(), cells.events.end(), "<i>"), 1);

    // At most 16 formatting elements are opened again, and no more than the document's size of them.
    std::string deep;
    for (int i = 0; i < 20; ++i) deep += "<b class=" + std::to_string(i) + ">";
    const Parsed reopened = parse(deep + "x<p>y");
    const auto bold = [](const Parsed& parsed) {
        return std::count_if(parsed.events.begin(), parsed.events.end(), [](const std::string& e) { return e == "<b>" || e.starts_with("<b "); });
    };
    EXPECT_EQ(bold(reopened), 20 + 16);
    // Of identical ones, the last three (checked against a browser).
    EXPECT_EQ(bold(parse("<b><b><b><b><b><b>x<p>y")), 6 + 3);
    std::string many = "<b title=\"" + std::string(20000, 't') + "\">x";
    for (int i = 0; i < 1000; ++i) many += "<p>y";
    const Parsed bounded = parse(many);
    const auto copies = std::count_if(bounded.events.begin(), bounded.events.end(), [](const std::string& e) { return e.starts_with("<b "); });
    EXPECT_GE(copies, 3);
    EXPECT_LE(copies, 5);
}

// The text events' contents, joined, and how many elements of the name enclose each.
std::pair<std::string, std::vector<int>> textsAndDepths(const Parsed& parsed, std::string_view name) {
    std::string texts;
    std::vector<int> depths;
    int depth = 0;
    const std::string start = "<" + std::string(name), end = "</" + std::string(name) + ">";
    for (const std::string& event : parsed.events) {
        if (event == end) --depth;
        else if (event.starts_with(start) && (event[start.size()] == '>' || event[start.size()] == ' ')) ++depth;
        else if (event.front() == '\'') {
            texts += event.substr(1, event.size() - 2) + "|";
            depths.push_back(depth);
        }
    }
    return {texts, depths};
}

TEST(RTHTMLParserTests, MarkupFromABangReadsAsABrowserReadsIt) {
    // As a browser reads them (checked against one): comments that end at the first ">", so that a word
    // processor's markers go and what they enclose stays; a doctype anywhere is no text either.
    EXPECT_EQ(textsAndDepths(parse("<p>before<![CDATA[cdata text]]>after</p>"), "p").first, "beforeafter|");
    EXPECT_EQ(textsAndDepths(parse("<p>a<![if !supportLists]>b<![endif]>c<!x>d<!>e</p>"), "p").first, "abcde|");
    EXPECT_EQ(textsAndDepths(parse("<p>x<![CDATA[a>b]]>y</p><p>q<!DOCTYPE html>r</p>"), "p").first, "xb]]>y|qr|");
    const Parsed unclosed = parse("<p>x<![if");
    EXPECT_EQ(textsAndDepths(unclosed, "p").first, "x|");
    EXPECT_EQ(unclosed.events.back(), "end");
    // A word processor's hidden block stays a comment.
    EXPECT_EQ(textsAndDepths(parse("<!--[if gte mso 9]><xml><o:x>hidden</o:x></xml><![endif]--><p>shown</p>"), "p").first, "shown|");
}

TEST(RTHTMLParserTests, AnEndTagBrIsALineBreak) {
    EXPECT_EQ(parse("<p>end</br>slash-br</BR >x</p>").events,
              (Events{"<html>", "<body>", "<p>", "'end'", "<br>", "</br>", "'slash-br'", "<br>", "</br>", "'x'", "</p>", "</body>",
                      "</html>", "end"}));
    // Formatting a block ended is opened again for it, as for a line break (checked against a browser).
    EXPECT_EQ(textsAndDepths(parse("<p><b>x</p></br>y"), "b").second, (std::vector<int>{1, 1}));
}

TEST(RTHTMLParserTests, AParagraphStaysInTheHeadingItStartsIn) {
    // The tree a browser builds (checked against one).
    EXPECT_EQ(parse("<h2><p>Chapter Two</p></h2><p>after</p>").events,
              (Events{"<html>", "<body>", "<h2>", "<p>", "'Chapter Two'", "</p>", "</h2>", "<p>", "'after'", "</p>", "</body>", "</html>",
                      "end"}));
    // Ended by the next paragraph, the heading's end or a block's start, the paragraph leaves the heading open
    // only as long as the heading is.
    const auto heading = [](std::string_view html) { return textsAndDepths(parse(html), "h3"); };
    EXPECT_EQ(heading("<h3><p>a<p>b</h3>c"), (std::pair<std::string, std::vector<int>>{"a|b|c|", {1, 1, 0}}));
    EXPECT_EQ(heading("<h3><p>a</h3><p>b"), (std::pair<std::string, std::vector<int>>{"a|b|", {1, 0}}));
    EXPECT_EQ(heading("<h3><p><b>a</p>b</h3>c"), (std::pair<std::string, std::vector<int>>{"a|b|c|", {1, 1, 0}}));
    EXPECT_EQ(heading("<h3><p>a<div>b</div>c</h3>d"), (std::pair<std::string, std::vector<int>>{"a|b|c|d|", {1, 1, 1, 0}}));
    // What keeps the heading open is never reported, nor an element a document names the same.
    for (const Parsed& parsed : {parse("<h1><p>x</p></h1>"), parse("<ql-keep-open>y</ql-keep-open>")}) {
        for (const std::string& event : parsed.events) EXPECT_EQ(event.find("keep"), std::string::npos) << event;
    }
}

TEST(RTHTMLParserTests, StrayFormattingIsOpenedAgainAtMostThreeTimes) {
    // Unclosed u elements in five paragraphs: how many enclose each paragraph's text, as in a browser (checked
    // against one: a fourth identical element makes it forget the first).
    std::string html;
    for (int i = 0; i < 7; ++i) html += "<p>" + std::string(i < 5 ? "<u>" : "") + "p" + std::to_string(i) + "</p>";
    EXPECT_EQ(textsAndDepths(parse(html), "u").second, (std::vector<int>{1, 2, 3, 4, 4, 3, 3}));
    // Different attributes make different elements; alike ones are counted together however they are nested.
    EXPECT_EQ(textsAndDepths(parse("<p><font color=red><font color=blue><font color=red><font color=red><font color=red>x</p><p>y"), "font").second,
              (std::vector<int>{5, 4}));
    // An end tag reaches a forgotten element once none other of its name is left, as in a browser.
    EXPECT_EQ(textsAndDepths(parse("<p><i>a<i>b<i>c<i>d</i>e</i>f</i>g</i>h</p><p>k"), "i").second,
              (std::vector<int>{1, 2, 3, 4, 3, 2, 1, 0, 0}));
}

TEST(RTHTMLParserTests, StyleAndScriptContentsComeAsRawCDATA) {
    const Parsed parsed = parse(
        "<style>p > b { color: red } /* <i> */</style><p>x</p><script>if (a < b && c) { d(\"</p>\"); }</script>");
    EXPECT_TRUE(parsed.ok);
    const auto style = std::find(parsed.events.begin(), parsed.events.end(), "<style>");
    ASSERT_NE(style, parsed.events.end());
    EXPECT_EQ(*(style + 1), "[p > b { color: red } /* <i> */]");
    EXPECT_EQ(*(style + 2), "</style>");
    const auto script = std::find(parsed.events.begin(), parsed.events.end(), "<script>");
    ASSERT_NE(script, parsed.events.end());
    EXPECT_EQ((script + 1)->substr(0, 22), "[if (a < b && c) { d(\"");
    EXPECT_EQ(std::count(parsed.events.begin(), parsed.events.end(), "<i>"), 0);
    // The contents are not text.
    EXPECT_EQ(std::count_if(parsed.events.begin(), parsed.events.end(),
                            [](const std::string& e) { return e.find("color") != std::string::npos && e[0] == '\''; }),
              0);
}

TEST(RTHTMLParserTests, CommentsAndEndTagsWithoutANameReadAsABrowserReadsThem) {
    // The texts a browser shows (checked against one): "<!-->" and "<!--->" are empty comments, a comment ends
    // at "-->" or "--!>", and "</" followed by anything but a letter is a comment up to the first ">".
    const auto texts = [](std::string_view html) { return textsAndDepths(parse(html), "p").first; };
    EXPECT_EQ(texts("<p>a<!-->b</p><p>c</p>"), "ab|c|");
    EXPECT_EQ(texts("<p>d<!--->e</p><p>f</p>"), "de|f|");
    EXPECT_EQ(texts("<p>g<!---->h<!-- x --!>i<!-- y -- >z --->j</p><p>k</p>"), "ghij|k|");
    EXPECT_EQ(texts("<p>one</ p>two</ br>three</>four</3 x>five</p><p>six</p>"), "onetwothreefourfive|six|");
    // Unclosed, both run to the end of the document; a "<" or "</" at its very end is text.
    EXPECT_EQ(texts("<p>l<!-- unclosed</p><p>m</p>"), "l|");
    EXPECT_EQ(texts("<p>seven</ p"), "seven|");
    EXPECT_EQ(texts("<p>end</"), "end</|");
    EXPECT_EQ(texts("<p>end<"), "end<|");
    // Formatting after a comment that ends at "--!>" is repaired as elsewhere.
    EXPECT_EQ(textsAndDepths(parse("<p>j<!-- x --!>k<b>y</p><p>l</p>"), "b").second, (std::vector<int>{0, 1, 1}));
}

TEST(RTHTMLParserTests, AScriptEndsWhereABrowserEndsIt) {
    // The texts a browser shows around old pages' scripts (checked against one): after "<!--" in a script, a
    // "<script" tag makes the next "</script>" part of the script, until a "-->"; "<scripts>" is no script tag
    // and "</scripts>" no end tag.
    const auto texts = [](std::string_view html) { return textsAndDepths(parse(html), "p").first; };
    EXPECT_EQ(texts("<p>a</p><script><!--\ndocument.write('<script src=\"x.js\"></script>');\n//--></script><p>b</p>"), "a|b|");
    EXPECT_EQ(texts("<p>a</p><script><!-- x <SCRIPT/> y </script\n> z --></script><p>b</p>"), "a|b|");
    EXPECT_EQ(texts("<p>a</p><script><!-- x <script> y --> z </script><p>b</p>"), "a|b|");
    EXPECT_EQ(texts("<p>a</p><script><!-- x <scripts> y </script> z</script><p>b</p>"), "a| z|b|");
    EXPECT_EQ(texts("<p>a</p><script>x = \"</scripts>\";</script><p>b</p>"), "a|b|");
    EXPECT_EQ(texts("<p>a</p><script><!--<script>\n<p>b</p>"), "a|");
    // The script's text comes whole, an end tag the reader would take written "<\/"; so does a style sheet's.
    const Parsed script = parse("<script><!-- a <script> b </script> c --></script><p>d</p>");
    const auto at = std::find(script.events.begin(), script.events.end(), "<script>");
    ASSERT_LT(at + 2, script.events.end());
    EXPECT_EQ(*(at + 1), "[<!-- a <script> b <\\/script> c -->]");
    EXPECT_EQ(*(at + 2), "</script>");
    const Parsed style = parse("<style>/* </styles> */ p{}</style>");
    EXPECT_NE(std::find(style.events.begin(), style.events.end(), "[/* <\\/styles> */ p{}]"), style.events.end());
}

TEST(RTHTMLParserTests, ElementsABrowserReadsAsTextKeepTheirMarkupAsText) {
    // What a browser shows of each (checked against one): xmp and plaintext (to the end) as written, textarea
    // as written but for references (and without the line feed right after its start tag); nothing of
    // iframe, noembed, noframes, and of a title, where the paragraph goes on.
    const auto texts = [](std::string_view html) { return textsAndDepths(parse(html), "p").first; };
    EXPECT_EQ(texts("<p>a</p><xmp><b>Hello</b> &amp; <!-- x --> </xmps></xmp><p>b</p>"), "a|<b>Hello</b> &amp; <!-- x --> </xmps>|b|");
    EXPECT_EQ(texts("<p>a<textarea>\n<b>t</b> &lt; &amp;amp</textarea>b</p>"), "a|<b>t</b> < &amp|b|");
    EXPECT_EQ(texts("<p>a</p><plaintext><b>Hello</b> &amp; x</plaintext><p>b</p>"), "a|<b>Hello</b> &amp; x</plaintext><p>b</p>|");
    EXPECT_EQ(texts("<p>a<iframe src=f.html>x<p>y</p>z</iframe>b<noembed>x<p>y</p>z</noembed>c<noframes>x<p>y</p>z</noframes>d</p>"), "a|b|c|d|");
    EXPECT_EQ(parse("<p>a<title>x<p>y</p>z</title>b</p><p>c</p>").events,
              (Events{"<html>", "<body>", "<p>", "'ab'", "</p>", "<p>", "'c'", "</p>", "</body>", "</html>", "end"}));
    // A title elsewhere is kept, its text as written; a pre and a listing lose the line feed too.
    EXPECT_EQ(texts("<html><head><title>a<b>b</b></title></head></html>"), "a<b>b</b>|");
    EXPECT_EQ(texts("<pre>\nx\ny</pre><listing>\r\nz</listing>"), "x\ny|z|");
    // A noscript element's markup is read, as by a browser that runs no scripts.
    EXPECT_EQ(textsAndDepths(parse("<p>a<noscript><b>n</b></noscript>b</p>"), "b").second, (std::vector<int>{0, 1, 0}));
    // NULs read as U+FFFD there; inside SVG these elements' contents are markup (the tree a browser builds).
    EXPECT_EQ(texts(std::string_view("<xmp>x\0y</xmp><textarea>x\0y</textarea>", 38)), "x\uFFFDy|x\uFFFDy|");
    const Parsed svg = parse("<p>a<svg><textarea><tspan>x</tspan></textarea></svg>b</p>");
    EXPECT_NE(std::find(svg.events.begin(), svg.events.end(), "<tspan>"), svg.events.end());
}

TEST(RTHTMLParserTests, CDATAIsTextInsideSVGAndMathMLOnly) {
    // The texts a browser shows (checked against one): inside an SVG or MathML element a CDATA section is text,
    // to "]]>" or the end; outside them, and inside HTML elements there (a foreignObject's, an mi's, or one
    // such as b that ends the SVG), a comment up to the first ">".
    const auto texts = [](std::string_view html) { return textsAndDepths(parse(html), "p").first; };
    EXPECT_EQ(texts("<p>a<svg><text><![CDATA[x<y & z]]></text></svg>b<![CDATA[c]]>d</p>"), "a|x<y & z|bd|");
    EXPECT_EQ(texts("<p>a<SVG><Text><![CDATA[q]]></Text></SVG>b</p>"), "a|q|b|");
    EXPECT_EQ(texts("<p>a<math><mi><![CDATA[x]]><b>y<![CDATA[z]]></b></mi></math></p>"), "a|x|y|");
    EXPECT_EQ(texts("<p>a<svg><foreignObject><![CDATA[f]]><p>g<![CDATA[h]]>i</p></foreignObject></svg>b</p>"), "a|f|gi|b|");
    EXPECT_EQ(texts("<p>a<svg><foreignObject><svg><text><![CDATA[z]]></text></svg></foreignObject></svg>b</p>"), "a|z|b|");
    EXPECT_EQ(texts("<p>a<svg><b>bold</b><![CDATA[y]]>b</p>"), "a|bold|b|");
    EXPECT_EQ(texts("<p>a<svg><font color=red><![CDATA[q]]>b</p>"), "a|b|");
    EXPECT_EQ(texts("<p>a<svg/><![CDATA[y]]>b</p>"), "a|b|");
    EXPECT_EQ(texts("<div>a<svg><g><text>t</div><![CDATA[z]]>c"), "a|t|c|");
    EXPECT_EQ(texts("<p>a<svg><text><![CDATA[x</text></svg>b</p><p>c</p>"), "a|x</text></svg>b</p><p>c</p>|");
    EXPECT_EQ(texts(std::string_view("<p>a<svg><text><![CDATA[x\0y]]></text></svg></p>", 47)), "a|x\uFFFDy|");
}

TEST(RTHTMLParserTests, TheBodyStartsWhereABrowserStartsIt) {
    // An end tag before any element is nothing to a browser (the reader dropped the whole document); after the
    // head's elements any other element starts the body (the reader kept some in the head, never shown).
    EXPECT_EQ(textsAndDepths(parse("</div>x<p>y</p>"), "p").first, "x|y|");
    EXPECT_EQ(textsAndDepths(parse("<!-- c --></span>x"), "p").first, "x|");
    EXPECT_EQ(parse("</p>x").events, (Events{"<html>", "<body>", "<p>", "'x'", "</p>", "</body>", "</html>", "end"}));
    EXPECT_EQ(parse("<style>p{}</style><ruby>r</ruby>").events,
              (Events{"<html>", "<head>", "<style>", "[p{}]", "</style>", "</head>", "<body>", "<ruby>", "'r'", "</ruby>", "</body>",
                      "</html>", "end"}));
    for (const std::string_view html : {"<title>t</title><textarea>a</textarea>", "<script>v</script><svg><text>a</text></svg>",
                                        "<meta charset=utf-8><label>a</label>", "<noframes>f</noframes><custom-x>a</custom-x>"}) {
        const Parsed parsed = parse(html);
        const auto body = std::find(parsed.events.begin(), parsed.events.end(), "<body>");
        EXPECT_NE(std::find(body, parsed.events.end(), "'a'"), parsed.events.end()) << html;
    }
}

TEST(RTHTMLParserTests, LongDocumentsArriveWhole) {
    // Far beyond one piece of the reader's input, with characters of every UTF-8 length and tags crossing
    // the places where the input is cut.
    std::string text;
    while (text.size() < 100 * 1024) text += "a\u00e9\u4e2d\U0001F600";
    std::string html = "<p>" + text + "</p>";
    for (int i = 0; i < 3000; ++i) html += "<b title='t" + std::to_string(i) + "'>x</b>";
    const Parsed parsed = parse(html);
    EXPECT_TRUE(parsed.ok);
    EXPECT_EQ(parsed.events[3], "'" + text + "'");
    EXPECT_EQ(std::count(parsed.events.begin(), parsed.events.end(), "</b>"), 3000);
    EXPECT_EQ(std::count(parsed.events.begin(), parsed.events.end(), "<b title=t2999>"), 1);

    // A script's or style sheet's end tag where a piece of the reader's input (16 KB) ends: what follows it
    // shows (checked against a browser: "a", "b" and "c").
    for (const std::string_view element : {"script", "style"}) {
        for (std::size_t cut = 0; cut < 12; ++cut) {
            const std::string head = "<p>a</p><" + std::string(element) + ">";
            const std::string html = head + std::string(16 * 1024 - cut - head.size(), ' ') + "</" + std::string(element) + "><p>b</p><p>c</p>";
            EXPECT_EQ(textsAndDepths(parse(html), "p").first, "a|b|c|") << element << " cut " << cut;
        }
    }
}

TEST(RTHTMLParserTests, DetectsEncodingsFromBytesAndMeta) {
    // UTF-8 without any declaration.
    Parsed utf8 = parse("<p>\xe4\xb8\xad\xe6\x96\x87</p>");
    EXPECT_EQ(utf8.encoding, ns::UTF8StringEncoding);
    EXPECT_EQ(utf8.events[3], "'\u4e2d\u6587'");

    // Byte-order marks: UTF-8 and UTF-16 in both byte orders; the mark itself is no text.
    EXPECT_EQ(parse("\xEF\xBB\xBF<p>a</p>").events[3], "'a'");
    const std::string utf16le("\xFF\xFE<\0p\0>\0\x2D\x4E<\0/\0p\0>\0", 18);
    Parsed le = parse(utf16le);
    EXPECT_EQ(le.encoding, ns::UTF16LittleEndianStringEncoding);
    EXPECT_EQ(le.events[3], "'\u4e2d'");
    const std::string utf16be("\xFE\xFF\0<\0p\0>\x4E\x2D", 10);
    EXPECT_EQ(parse(utf16be).events[3], "'\u4e2d'");

    // A meta element, either form, names a legacy encoding: GBK bytes of 中文.
    const std::string gbk = "\xd6\xd0\xce\xc4";
    Parsed charset = parse("<html><head><meta charset=\"gbk\"></head><body>" + gbk + "</body></html>");
    EXPECT_EQ(charset.encoding, ns::GBKStringEncoding);
    EXPECT_NE(std::find(charset.events.begin(), charset.events.end(), "'\u4e2d\u6587'"), charset.events.end());
    Parsed httpEquiv = parse("<meta http-equiv='Content-Type' content='text/html; charset=ISO-8859-1'><p>caf\xe9</p>");
    EXPECT_EQ(httpEquiv.encoding, ns::ISOLatin1StringEncoding);
    EXPECT_NE(std::find(httpEquiv.events.begin(), httpEquiv.events.end(), "'caf\u00e9'"), httpEquiv.events.end());

    // Undeclared bytes that are not UTF-8 read as windows-1252 (0x93 and 0x94 are curly quotes there).
    Parsed legacy = parse("<p>\x93hi\x94</p>");
    EXPECT_EQ(legacy.encoding, ns::WindowsCP1252StringEncoding);
    EXPECT_EQ(legacy.events[3], "'\u201chi\u201d'");

    // An encoding given by the caller wins over a meta element; bytes invalid in it read as U+FFFD.
    Parsed given = parse("<meta charset=latin1><p>" + gbk + "</p>", ns::GBKStringEncoding);
    EXPECT_EQ(given.encoding, ns::GBKStringEncoding);
    EXPECT_NE(std::find(given.events.begin(), given.events.end(), "'\u4e2d\u6587'"), given.events.end());
    Parsed broken = parse("<p>a\xff\xfe" "b</p>", ns::UTF8StringEncoding);
    EXPECT_EQ(broken.events[3], "'a\ufffd\ufffdb'");
    // An encoding code nobody knows is detected instead.
    EXPECT_EQ(parse("<p>x</p>", 0x7777).encoding, ns::UTF8StringEncoding);

    EXPECT_EQ(RTHTMLParser::detectEncoding("<meta charset=utf-16><p>x"), ns::UTF8StringEncoding);
    EXPECT_EQ(RTHTMLParser::detectEncoding(std::string(1100, ' ') + "<meta charset=gbk>"), ns::UTF8StringEncoding);
}

TEST(RTHTMLParserTests, AbortsExceptionsDepthAndNilData) {
    EXPECT_EQ(RTHTMLParser::parserWithData(std::nullopt, 0), nullptr);
    ASSERT_NE(RTHTMLParser::parserWithData(ns::Data(), 0), nullptr);
    EXPECT_EQ(parse("").events, (Events{"end"}));

    // An abort ends the reports after that call and fails the parse.
    auto parser = std::make_shared<RTHTMLParser>(ns::Data(std::string_view("<p>a</p><p>b</p><p>c</p>")), 0);
    auto recorder = std::make_shared<Recorder>();
    recorder->abortAt = "'b'";
    parser->setDelegate(recorder);
    EXPECT_FALSE(parser->parse());
    EXPECT_EQ(recorder->events.back(), "'b'");

    // An exception from the delegate leaves parse() once the reader is gone; the parser can run again.
    auto throwing = std::make_shared<Recorder>();
    throwing->throwAt = true;
    parser = std::make_shared<RTHTMLParser>(ns::Data(std::string_view("<p>boom</p><p>after</p>")), 0);
    parser->setDelegate(throwing);
    EXPECT_THROW(parser->parse(), std::runtime_error);
    EXPECT_EQ(std::count(throwing->events.begin(), throwing->events.end(), "'after'"), 0);
    throwing->throwAt = false;
    throwing->events.clear();
    EXPECT_TRUE(parser->parse());
    EXPECT_EQ(throwing->events.back(), "end");

    // Elements past the depth limit are not reported, but their text is, and starts and ends balance.
    std::string deep;
    for (int i = 0; i < 1000; ++i) deep += "<span>";
    deep += "deep";
    const Parsed parsed = parse(deep);
    EXPECT_TRUE(parsed.ok);
    const auto starts = std::count(parsed.events.begin(), parsed.events.end(), "<span>");
    EXPECT_EQ(starts + 2, static_cast<long>(RTHTMLParser::MaximumDepth));  // html and body come first
    EXPECT_EQ(std::count(parsed.events.begin(), parsed.events.end(), "</span>"), starts);
    EXPECT_NE(std::find(parsed.events.begin(), parsed.events.end(), "'deep'"), parsed.events.end());
}

TEST(RTHTMLParserTests, RecurringAttributeValuesStayEachElementsOwn) {
    struct Keeper : RTHTMLParserDelegate {
        std::vector<ns::Dictionary> kept;
        void parserDidStartElement(RTHTMLParser&, std::string_view name, const ns::Dictionary& attributes) override {
            if (name == "i") kept.push_back(attributes);
        }
    };
    // One class on every element among more one-off values than the parser keeps at hand, and empty ones.
    std::string html;
    for (int i = 0; i < 40; ++i) html += "<i class=\"q\" id=\"n" + std::to_string(i) + "\" title=\"\" hidden>x</i>";
    auto parser = std::make_shared<RTHTMLParser>(ns::Data(std::string_view(html)), 0);
    auto keeper = std::make_shared<Keeper>();
    parser->setDelegate(keeper);
    ASSERT_TRUE(parser->parse());
    ASSERT_EQ(keeper->kept.size(), 40u);
    for (std::size_t i = 0; i < keeper->kept.size(); ++i) {
        const ns::Dictionary& attributes = keeper->kept[i];
        EXPECT_EQ(attributes["class"].stringValue(), "q");
        EXPECT_EQ(attributes["id"].stringValue(), "n" + std::to_string(i));
        EXPECT_TRUE(attributes["title"].isString());
        EXPECT_EQ(attributes["title"].stringValue(), "");
        EXPECT_TRUE(attributes["hidden"].isString());
    }
    // Changing one element's value leaves every other element's equal value as it was.
    *keeper->kept[3].find("class")->mutableStringStorage() = "changed";
    EXPECT_EQ(keeper->kept[3]["class"].stringValue(), "changed");
    EXPECT_EQ(keeper->kept[2]["class"].stringValue(), "q");
    EXPECT_EQ(keeper->kept[4]["class"].stringValue(), "q");
}

TEST(RTHTMLParserTests, ParseFromWithinADelegateCallIsRefused) {
    struct Reentrant : RTHTMLParserDelegate {
        bool inner = true;
        void parserDidStartElement(RTHTMLParser& parser, std::string_view, const ns::Dictionary&) override {
            inner = parser.parse();
        }
    };
    auto parser = std::make_shared<RTHTMLParser>(ns::Data(std::string_view("<b>x</b>")), 0);
    auto delegate = std::make_shared<Reentrant>();
    parser->setDelegate(delegate);
    EXPECT_TRUE(parser->parse());
    EXPECT_FALSE(delegate->inner);
}

}  // namespace
