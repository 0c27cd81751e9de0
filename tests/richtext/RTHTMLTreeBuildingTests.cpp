// How the import builds the tree where the reader underneath would build another than a browser does: a
// noscript element in the head, an object's fallback content, end tags with attributes, end tags through
// blocks left open, headings inside headings, end tags a browser ignores. Each expectation is the headless
// browser's with scripts off (the import runs none): the lines of its visible text, or its body's tree (as in
// RTHTMLParserTreeTests.cpp; formatting around a block is written as copies inside and after it).

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tests/richtext/ImportedText.h"
#include "tests/richtext/ParserEvents.h"

using namespace ql;
using namespace ql::test;

namespace {

using Lines = std::vector<std::string>;

TEST(RTHTMLTreeBuildingTests, ANoscriptElementInTheHeadEndsTheHeadAtWhatItCannotHold) {
    // The tracking pixel many pages carry, and a block or formatting inside: the page after them shows.
    EXPECT_EQ(lines("<!DOCTYPE html><html><head><title>Story</title><noscript><img height=\"1\" width=\"1\" style=\"display:none\" "
                    "src=\"https://example.com/px.gif\"/></noscript></head><body><h1>The Fox</h1><p>Once upon a time.</p></body></html>"),
              (Lines{"The Fox", "Once upon a time."}));
    EXPECT_EQ(lines("<head><noscript><img src=x></noscript></head><body><p>Hello world</p>"), Lines{"Hello world"});
    EXPECT_EQ(bodyMarkup("<head><noscript><div>x</div></noscript></head><body><p>Hello</p><p>World</p>"), "<div>x</div><p>Hello</p><p>World</p>");
    EXPECT_EQ(bodyMarkup("<head><noscript><b>x</b></noscript></head><body><p>Hello</p><p>World</p>"), "<b>x</b><p>Hello</p><p>World</p>");
    // Text ends it too; an end tag inside it is nothing; what a noscript in the head may hold stays there.
    EXPECT_EQ(lines("<head><noscript>x</noscript></head><p>Hello</p>"), (Lines{"x", "Hello"}));
    EXPECT_EQ(bodyMarkup("<head><noscript></p><div>x</div></noscript></head><p>Hello</p>"), "<div>x</div><p>Hello</p>");
    EXPECT_EQ(bodyMarkup("<head><noscript><link rel=stylesheet href=a.css><style>p { color: #ff0000 }</style></noscript></head><p>Hello</p>"),
              "<p>Hello</p>");
}

TEST(RTHTMLTreeBuildingTests, ANoscriptElementInTheHeadHoldsWhatTheHeadMayHoldUpToWhatItCannot) {
    // Each element a noscript element in the head may hold, then each that ends it and the head: the page shows.
    const std::pair<std::string_view, std::string_view> held[] = {
        {"link", "<link rel=stylesheet href=a.css>"}, {"meta", "<meta name=viewport content=\"width=device-width\">"},
        {"style", "<style>h1 { color: #336699 }</style>"}, {"basefont", "<basefont size=4>"}, {"bgsound", "<bgsound src=a.wav>"},
        {"noframes", "<noframes><p>No frames</p></noframes>"}};
    const std::pair<std::string_view, Lines> ending[] = {{"<img src=p.gif>", {}},
                                                         {"<iframe src=tag.html></iframe>", {}},
                                                         {"<div>Enable JS</div>", {"Enable JS"}},
                                                         {"Please enable JavaScript", {"Please enable JavaScript"}}};
    for (const auto& [name, element] : held) {
        for (const auto& [end, shown] : ending) {
            const std::string html = "<!DOCTYPE html><html><head><title>T</title><noscript>" + std::string(element) + std::string(end) +
                                     "</noscript></head><body><h1>Story</h1><p>Once upon a time.</p><p>The end.</p></body></html>";
            Lines expected = shown;
            expected.insert(expected.end(), {"Story", "Once upon a time.", "The end."});
            EXPECT_EQ(lines(html), expected) << name << " " << end;
        }
    }
    // The body begins where the noscript element ends, not at what it holds.
    EXPECT_EQ(bodyMarkup("<head><noscript><basefont size=4><bgsound src=a.wav><img src=p.gif></noscript></head><body><h1>Story</h1>"),
              "<img src=p.gif><h1>Story</h1>");
    // A page whose noscript element holds a style sheet, a refresh, a tracking pixel, a frame and a message.
    EXPECT_EQ(lines("<!DOCTYPE html><html><head><meta charset=utf-8><title>The Fox</title><noscript><link rel=stylesheet "
                    "href=nojs.css><meta http-equiv=refresh content=\"30\"><style>.js { display: none }</style><img src=pixel.gif><iframe "
                    "src=tag.html></iframe><div>Please enable JavaScript.</div>Some features need it.</noscript></head><body><h1>The "
                    "Fox</h1><p>The foxes live in three dens.</p><p>They hunt at night.</p></body></html>"),
              (Lines{"Please enable JavaScript.", "Some features need it.", "The Fox", "The foxes live in three dens.", "They hunt at night."}));
}

TEST(RTHTMLTreeBuildingTests, AnObjectShowsItsFallbackContent) {
    EXPECT_EQ(lines("<!doctype html><p>Watch:</p><object type=\"application/x-shockwave-flash\" data=\"movie.swf\"><p>You need Flash to "
                    "see the film. Read the story below instead.</p></object><p>End.</p>"),
              (Lines{"Watch:", "You need Flash to see the film. Read the story below instead.", "End."}));
    EXPECT_EQ(lines("<p>a<object data=x.swf><param name=a value=b>fall <b>back</b></object>b</p>"), Lines{"afall backb"});
    // Without any, its attachment stands in its place.
    EXPECT_EQ(text("<p>a<object data=x.swf><param name=a value=b> </object>b</p>"), "a\uFFFCb\n");
}

TEST(RTHTMLTreeBuildingTests, AnEndTagsAttributesAreReadAndDropped) {
    EXPECT_EQ(lines("<p>a</p foo=\">\">b"), (Lines{"a", "b"}));
    EXPECT_EQ(lines("FOO<script></script foo=\">\" dd>BAR"), Lines{"FOOBAR"});
    // A NUL in its name makes it the end tag of no element.
    EXPECT_EQ(bodyMarkup(std::string("<p>a</p\0>b</p>c", 15)), "<p>ab</p>c");
}

TEST(RTHTMLTreeBuildingTests, AnEndTagEndsTheBlocksLeftOpenInsideItsElement) {
    EXPECT_EQ(bodyMarkup("<h2><div>Unit 3</h2><p>Read the story.</p>"), "<h2><div>Unit 3</div></h2><p>Read the story.</p>");
    EXPECT_EQ(bodyMarkup("<h2><center>Unit 3</h2><p>Read the story.</p>"), "<h2><center>Unit 3</center></h2><p>Read the story.</p>");
    EXPECT_EQ(bodyMarkup("<h2><article>Unit 3</h2><p>Read the story.</p>"), "<h2><article>Unit 3</article></h2><p>Read the story.</p>");
    EXPECT_EQ(bodyMarkup("<ul><li><div>Apples</ul><p>Which is red?</p><p>Why?</p>"),
              "<ul><li><div>Apples</div></li></ul><p>Which is red?</p><p>Why?</p>");
    EXPECT_EQ(bodyMarkup("<ul><li><button>Apples</ul><p>Which is red?</p>"), "<ul><li><button>Apples</button></li></ul><p>Which is red?</p>");
    EXPECT_EQ(linesWithoutMarkers("<ol><li>One<div>note</ol>Question two."), (Lines{"One", "note", "Question two."}));
    // The question after the heading is no heading.
    const ct::AttributedString shown = import("<h2><div>Unit 3</h2><p>Read the story.</p>");
    EXPECT_EQ(fontAt(shown, indexOf(shown, u"Read")).pointSize(), fontAt(import("<p>Read the story.</p>"), 0).pointSize());
}

TEST(RTHTMLTreeBuildingTests, AHeadingEndsAnotherOnlyWhereThatOneIsTheCurrentElement) {
    EXPECT_EQ(bodyMarkup("<h2><b><h3>alpha</h3>beta</b></h2>gamma"), "<h2><h3><b>alpha</b></h3><b>beta</b></h2>gamma");
    EXPECT_EQ(lines("<h2><b><h3>alpha</h3>beta</b></h2>gamma"), (Lines{"alpha", "beta", "gamma"}));
    // Formatting a browser opens again inside the first keeps it open; formatting it ended with a block does not.
    EXPECT_EQ(bodyMarkup("<p>x</p><pre><b></pre><h1>alpha<h2></h1>beta</h2>gamma"),
              "<p>x</p><pre><b></b></pre><h1><b>alpha</b><h2></h2><b>beta</b></h1><b>gamma</b>");
    EXPECT_EQ(lines("<p>x</p><i><b><p></i><h2>alpha<h3></h3>beta</h2>gamma"), (Lines{"x", "alpha", "betagamma"}));
    // A nobr inside a nobr ends the outer one, as a link inside a link does.
    EXPECT_EQ(lines("<p>x</p><h1><nobr><nobr></nobr><h2></h1>alpha</h2>beta"), (Lines{"x", "alphabeta"}));
}

TEST(RTHTMLTreeBuildingTests, FormattingOpensAgainWhereABrowserOpensItAgain) {
    // At a formatting element's start tag, though a block follows it: the italic a table part or a block ended is open
    // again around everything after, so the first heading is the current element where the second begins.
    for (const std::string_view before : {"<table><i></table>", "<div><i></div>", "<table><tr><i></table>", "<table><colgroup><i></table>",
                                          "<table><tr><td>c</td><i></tr></table>"}) {
        Lines expected = before.find("c<") != std::string_view::npos ? Lines{"c"} : Lines{};
        expected.insert(expected.end(), {"one", "twothree"});
        EXPECT_EQ(lines(std::string(before) + "<b><p></b><h2>one<h3></h3>two</h2>three"), expected) << before;
    }
    EXPECT_EQ(lines("<table><tbody><u></tbody></table><em><div></em><h4>one<h1></h1>two</h4>three"), (Lines{"one", "twothree"}));
    EXPECT_EQ(lines("<table><tbody><tr><em></tbody></table><tt><dl><dt></tt><h5>one<h6></h6>two</h5>three"), (Lines{"one", "twothree"}));
    EXPECT_EQ(lines("<table><i></table><b> <div></b><h2>one<h3></h3>two</h2>three"), (Lines{"one", "twothree"}));
    EXPECT_EQ(lines("<table><strong></table><a href=\"x\"><p></a><h2>one<h3></h3>two</h2>three"), (Lines{"one", "twothree"}));
    EXPECT_EQ(lines("<table><i></table><nobr><p></nobr><h2>one<h3></h3>two</h2>three"), (Lines{"one", "twothree"}));
    EXPECT_EQ(lines("<p>x</p><table><code></table><font color=red><section></font><h3>one<h4></h4>two</h3>three"),
              (Lines{"x", "one", "twothree"}));
    EXPECT_EQ(linesWithoutMarkers("<table><i></table><s><ul><li></s><h5>one<h6></h6>two</h5>three"), (Lines{"one", "twothree"}));
    // Inside the first heading, where it keeps that one open around the second.
    EXPECT_EQ(lines("<table><i></table><h2><b><p></b>one<h3></h3>two</h2>three"), (Lines{"one", "two", "three"}));
    // Around an xmp, a noscript, an svg or a math element, as around any element in line; not at a textarea, a title,
    // elements whose contents a browser never shows, or parts of ruby and media.
    const std::pair<std::string_view, Lines> inFirst[] = {
        {"<xmp>x</xmp>", {"x", "two", "three"}}, {"<noscript></noscript>", {"two", "three"}}, {"<img>", {"two", "three"}},
        {"<svg></svg>", {"two", "three"}},       {"<math></math>", {"two", "three"}},
        {"<textarea></textarea>", {"twothree"}}, {"<title>t</title>", {"twothree"}},      {"<iframe></iframe>", {"twothree"}},
        {"<noframes>t</noframes>", {"twothree"}}, {"<noembed>t</noembed>", {"twothree"}}, {"<rt></rt>", {"twothree"}},
        {"<source>", {"twothree"}},               {"<param>", {"twothree"}}};
    for (const auto& [element, shown] : inFirst)
        EXPECT_EQ(lines("<table><i></table><h2>" + std::string(element) + "<h3></h3>two</h2>three"), shown) << element;
    // A textarea's text is its own; formatting opened again around a noscript or svg element holds what follows it too.
    EXPECT_EQ(bodyMarkup("<p>x</p><table><i></table><textarea>t</textarea>u"), "<p>x</p><i></i><table></table><textarea>t</textarea><i>u</i>");
    EXPECT_EQ(bodyMarkup("<b><p>x</p><noscript>y</noscript>z"), "<p><b>x</b></p><b><noscript>y</noscript>z</b>");
    EXPECT_EQ(bodyMarkup("<b><p>x</p><svg><text>y</text></svg>z"), "<p><b>x</b></p><b><svg><text>y</text></svg>z</b>");
}

TEST(RTHTMLTreeBuildingTests, AnEndTagABrowserIgnoresIsNothing) {
    // An element in line that a block was opened inside.
    for (const std::string_view name : {"span", "label", "ruby", "sup"}) {
        const std::string html = "<" + std::string(name) + "><p>Read the text</" + std::string(name) + "> carefully.</p>Next line.";
        EXPECT_EQ(lines(html), (Lines{"Read the text carefully.", "Next line."})) << name;
    }
    EXPECT_EQ(bodyMarkup("<p>x</p><noscript><li>alpha</noscript>beta"), "<p>x</p><noscript><li>alphabeta</li></noscript>");
    // One that a misnested end tag of formatting around it ended already, past a heading.
    EXPECT_EQ(lines("<p>x</p><span><h2><small>a<span>b</small>c</span>d<h3>e</h3>f</h2>g"), (Lines{"x", "abcd", "e", "fg"}));
    // An item's end tag with no item open in its list.
    EXPECT_EQ(bodyMarkup("<ol><li>alpha<ol><li>beta</li></li>gamma</ol>delta</ol>epsilon"),
              "<ol><li>alpha<ol><li>beta</li>gamma</ol>delta</li></ol>epsilon");
    // A "</p>" in a table in formatting in a paragraph (no doctype: the table is the paragraph's) makes an empty
    // paragraph before the table, in the formatting.
    EXPECT_EQ(bodyMarkup("<p><i>alpha <table></p></table> beta</p>gamma"), "<p><i>alpha <p></p><table></table> beta</i></p><i>gamma</i>");
    EXPECT_EQ(lines("<p><i>alpha <table></p></table> beta</p>gamma"), (Lines{"alpha", "beta", "gamma"}));
    // A table part's end tag among what goes before a table, and a block's inside a select.
    EXPECT_EQ(bodyMarkup("<p>x</p><table><li>alpha</colgroup>beta</table>gamma"), "<p>x</p><li>alphabeta</li><table></table>gamma");
    EXPECT_EQ(lines("<p>x</p><table><tr><td><p>alpha<select><option>beta</p>gamma</select>delta</p>epsilon</td></tr></table>zeta"),
              (Lines{"x", "alphabetagammadelta", "epsilon", "zeta"}));
}

TEST(RTHTMLTreeBuildingTests, ButtonsFormsAndItemsEndAsABrowserEndsThem) {
    // A block in a button in formatting in a paragraph; a button in a button.
    EXPECT_EQ(lines("<p>x</p><b><p><button><p></button>beta</p>gamma"), (Lines{"x", "beta", "gamma"}));
    EXPECT_EQ(bodyMarkup("<p>x</p><button>alpha<button>beta</button>gamma"), "<p>x</p><button>alpha</button><button>beta</button>gamma");
    // A form's end tag with elements still open ends the item open last.
    EXPECT_EQ(linesWithoutMarkers("<p>x</p><form><ul><li>alpha</form>beta</ul>gamma"), (Lines{"x", "alpha", "beta", "gamma"}));
    // What goes before a table in formatting stays in the formatting, a block too (no doctype: the table is the
    // paragraph's).
    EXPECT_EQ(lines("<p>x</p><p><i><table>alpha beta<dt>gamma"), (Lines{"x", "alpha betagamma"}));
    // An item before a table in an item stays in that item.
    EXPECT_EQ(bodyMarkup("<p>x</p><li><table><li></table>alpha</li>beta"), "<p>x</p><li><li></li><table></table>alpha</li>beta");
}

TEST(RTHTMLTreeBuildingTests, AnItemEndsNoItemOutsideANoscriptElementItIsIn) {
    // The item inside the noscript element is the current element at the form's end tag, which ends it.
    EXPECT_EQ(linesWithoutMarkers("<p>x</p><form><li><noscript><b><i></b> <li>gamma</form>hazel"), (Lines{"x", "gamma", "hazel"}));
    // The outer item stays open around the noscript element, and holds what follows it.
    EXPECT_EQ(linesWithoutMarkers("<p>x</p><ul><li>a<noscript><div><li>b</div></noscript>c</ul>d"), (Lines{"x", "a", "b", "c", "d"}));
    EXPECT_EQ(linesWithoutMarkers("<p>x</p><dl><dd>a<noscript><div><dt>b</div></noscript>c</dl>d"), (Lines{"x", "a", "b", "cd"}));
}

TEST(RTHTMLTreeBuildingTests, AFormsEndTagWithElementsStillOpenTakesOnlyTheFormOut) {
    // What was open inside the form stays open; the heading around it is the current element again.
    EXPECT_EQ(bodyMarkup("<p>x</p><h2><form><div></form></div><h3></h3>alpha</h2>beta"),
              "<p>x</p><h2><form><div></div></form></h2><h3></h3>alphabeta");
    // A later form is no form inside a form, and a form's end tag with none in scope is nothing.
    EXPECT_EQ(bodyMarkup("<p>x</p><form><div></form><form></div><li>alpha</form>beta"),
              "<p>x</p><form><div><form></form></div><li>alphabeta</li></form>");
    EXPECT_EQ(bodyMarkup("<p>x</p><form><ul></form><li><div><form></div>alpha</form>beta"),
              "<p>x</p><form><ul><li><div><form></form></div>alphabeta</li></ul></form>");
    // An item with formatting open in it is not the current element: it stays open, the form alone goes.
    EXPECT_EQ(bodyMarkup("<p>x</p><strong><b></strong><form><li>alpha</form>beta"),
              "<p>x</p><strong><b></b></strong><form><li><b>alphabeta</b></li></form>");
    EXPECT_EQ(bodyMarkup("<p>x</p><form><b>alpha</form>beta</b>"), "<p>x</p><form><b>alphabeta</b></form>");
}

TEST(RTHTMLTreeBuildingTests, WhiteSpaceOpensTheFormattingABrowserEndedAgainAroundWhatFollows) {
    // The item inside the form is the current element at the form's end tag, which ends it: the formatting is open
    // around the form, not inside the item.
    EXPECT_EQ(linesWithoutMarkers("<b><i></b>\n<form><li>x</form>y"), (Lines{"x", "y"}));
    EXPECT_EQ(linesWithoutMarkers("<table><i></table>\n<form><li>x</form>y"), (Lines{"x", "y"}));
    EXPECT_EQ(linesWithoutMarkers("<p>One</p><b>Bold <i>both</b> <form><li>item text</form>after the form"),
              (Lines{"One", "Bold both", "item text", "after the form"}));
    // Opened around a table, it stays open past what goes before the table.
    EXPECT_EQ(linesWithoutMarkers("<p>x</p><b><i></b> <form><li><table>alpha</table>beta</form>gamma"), (Lines{"x", "alpha", "beta", "gamma"}));
    // Around a heading, which is then the current element where another starts.
    EXPECT_EQ(lines("<p><b>x</p>\n<h1>alpha<h2></h1>beta</h2>gamma"), (Lines{"x", "alpha", "betagamma"}));
    EXPECT_EQ(lines("<p>x</p><b><i></b> <h1>alpha<h2></h1>beta</h2>gamma"), (Lines{"x", "alpha", "betagamma"}));
}

TEST(RTHTMLTreeBuildingTests, FormattingEndedAcrossBlocksEndsWhatWasOpenedInTheInnermost) {
    // The b opened in the div ends with the strong around the div, so the one opened again in the heading keeps
    // the heading open around the next.
    EXPECT_EQ(lines("<p>x</p><strong><div><b></strong><h1>alpha<h2></h1>beta</h2>gamma"), (Lines{"x", "alpha", "beta", "gamma"}));
    // The elements in line it holds around the block are open no more: the heading around them is the current
    // element again where another starts.
    EXPECT_EQ(lines("<p>x</p><h5><i><span><p></i><h3></h1>alpha</h2>beta"), (Lines{"x", "alphabeta"}));
    EXPECT_EQ(lines("<p>x</p><h2><b><span>alpha<p>beta</b></span><h3>gamma</h3>delta</h2>epsilon"),
              (Lines{"x", "alpha", "beta", "gamma", "deltaepsilon"}));
    // Formatting around a button: its end tag inside the button leaves the button and its paragraph open.
    EXPECT_EQ(bodyMarkup("<p>x</p><i><button><p>alpha</i>beta"), "<p>x</p><i></i><button><p><i>alpha</i>beta</p></button>");
    EXPECT_EQ(lines("<p>x</p><b>alpha<button>beta<p>gamma</b>delta</p>epsilon</button>zeta"),
              (Lines{"x", "alphabeta", "gammadelta", "epsilonzeta"}));
    // A button that ends another opens the formatting that one ended again around itself, not in the item inside it.
    EXPECT_EQ(linesWithoutMarkers("<p>x</p><button><b><button><form><li>gamma</form>hazel"), (Lines{"x", "gamma", "hazel"}));
}

// Between ordinary paragraphs, each kind of markup above: every paragraph's text shows, in the browser's order.
TEST(RTHTMLTreeBuildingTests, APageOfEveryKindShowsItsLinesInTheBrowsersOrder) {
    std::ifstream file(std::string(QL_RICHTEXT_DOCUMENTS) + "/tree-building.html", std::ios::binary);
    ASSERT_TRUE(file);
    const std::string html{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    EXPECT_EQ(linesWithoutMarkers(html),
              (Lines{"The Fox", "The foxes of Green Hill live in three dens.", "Watch:", "You need Flash to see the film. Read the story below instead.",
                     "Each den has one way in.", "Unit 3", "Read the story.", "Apples", "Which is red?", "One", "note", "Question two.", "alpha",
                     "beta", "gamma", "Read the text carefully.", "Next line.", "first", "second", "third", "fourth", "fifth",
                     "The foxes sleep by day.", "A button.", "After the button.", "A form's item", "after its end.", "An item before a table.",
                     "Inside the form.", "A heading after it.", "After the heading.Not in a heading.", "A button's paragraph goes on.",
                     "They hunt at night.", "The end of the story."}));
}

}  // namespace
