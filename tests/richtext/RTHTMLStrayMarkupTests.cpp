// What the import shows of markup that old pages, word processors and templates leave: tables in paragraphs,
// parts of tables outside tables and text inside tables outside their cells, "<?" markup, style sheets and
// frames inside SVG, and what ends a document. Each expectation is the headless browser's: the lines of its
// visible text (innerText, blank lines left out but where said) and the computed colour of an element, read after
// loading the document as a file.

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "richtext/RTCSSStylesheet.h"
#include "tests/richtext/ImportedText.h"

using namespace ql;
using namespace ql::test;

namespace {

using Lines = std::vector<std::string>;

TEST(RTHTMLStrayMarkupTests, SentencesAfterATableInAParagraphBeginTheirOwnLine) {
    EXPECT_EQ(lines("<p>Read the table below.<table><tr><td>x</td></tr></table>Then answer the questions.</p>Question 1: How many foxes?"),
              (Lines{"Read the table below.", "x", "Then answer the questions.", "Question 1: How many foxes?"}));
    EXPECT_EQ(lines("<p>a<table><tr><td>b</td></tr></table>c</p>d"), (Lines{"a", "b", "c", "d"}));
    EXPECT_EQ(lines("<!DOCTYPE html><p>a<table><tr><td>b</td></tr></table>c</p>d"), (Lines{"a", "b", "c", "d"}));
    // Without a doctype the text after the table is still the paragraph's, in its style; with one, not.
    const std::string_view red = "<p style=\"color:#ff0000\">a<table><tr><td>b</td></tr></table>c</p>";
    EXPECT_EQ(colorsOf(import(red), {u"c"}), std::vector<std::string>{"ff0000"});
    EXPECT_EQ(colorsOf(import("<!DOCTYPE html>" + std::string(red)), {u"c"}), std::vector<std::string>{"000000"});
    // A table after text inside a block, or a block at the start of an element in line, begins a line.
    EXPECT_EQ(lines("<div>a<table><tr><td>b</td></tr></table>c</div>"), (Lines{"a", "b", "c"}));
    EXPECT_EQ(lines("<span>a</span><span><div>b</div></span>c"), (Lines{"a", "b", "c"}));
    EXPECT_EQ(lines("<span>a</span><span><b></b> <div>b</div></span>c"), (Lines{"a", "b", "c"}));
    EXPECT_EQ(lines("<p>x</p><b>H</b><a href=x><table><tr><td>T</td></tr></table>z"), (Lines{"x", "H", "T", "z"}));
    EXPECT_EQ(lines("<span>a</span><div><script>x</script></div>c"), (Lines{"a", "c"}));
}

TEST(RTHTMLStrayMarkupTests, PartsOfTablesOutsideTablesAreNothing) {
    for (const std::string_view part : {"<td>b</td>", "<tr><td>b</td></tr>", "<th>b</th>", "<tbody>b</tbody>", "<caption>b</caption>"}) {
        EXPECT_EQ(lines("<p>a" + std::string(part) + "c</p>d"), (Lines{"abc", "d"})) << part;
    }
    EXPECT_EQ(lines("<p>a <td></td>b c</p>"), Lines{"a b c"});
}

TEST(RTHTMLStrayMarkupTests, WhatATableCannotHoldShowsBeforeIt) {
    EXPECT_EQ(lines("<table><tr><td>A</td></tr>B</table>"), (Lines{"B", "A"}));
    EXPECT_EQ(lines("<table><tr><td>a</td></tr><span>b</span><p>c</p>d</table>"), (Lines{"b", "c", "d", "a"}));
    EXPECT_EQ(lines("<table><tr><td>1<table><tr><td>2</td></tr>3</table>4</td></tr></table>"), (Lines{"13", "2", "4"}));
    // Formatting left open there is in effect after the table, as it is before it.
    const ct::AttributedString bold = import("<table><b>x<tr><td>y</td></tr></table>z");
    EXPECT_EQ(bold.string(), "x\ny\nz");
    for (const auto& [word, isBold] : {std::pair{u"x", true}, std::pair{u"y", false}, std::pair{u"z", true}}) {
        EXPECT_EQ((fontAt(bold, indexOf(bold, word)).symbolicTraits() & ct::FontBoldTrait) != 0, isBold);
    }
}

TEST(RTHTMLStrayMarkupTests, WhiteSpaceDirectlyInATableStaysThere) {
    // Text that goes before the table ends at a tag or comment; the white space after it, with nothing of what went
    // before the table open, is the table's.
    EXPECT_EQ(lines("<table>walrus43</colgroup> <i>sorrel61"), Lines{"walrus43sorrel61"});
    EXPECT_EQ(lines("<table><i>walrus43</i> <b>sorrel61</b></table>"), Lines{"walrus43sorrel61"});
    EXPECT_EQ(lines("<table>walrus43<!-- c --> <b>sorrel61</b></table>"), Lines{"walrus43sorrel61"});
    EXPECT_EQ(lines("<table><span>walrus43</span> <b>sorrel61</b></table>"), Lines{"walrus43sorrel61"});
    // Formatting a browser has open around the table is not open before it.
    EXPECT_EQ(lines("<h2><b><h3><table>walrus43</colgroup> <i>sorrel61</i></table>gamma</h3></h2>"), (Lines{"walrus43sorrel61", "gamma"}));
    // In one piece with text, or inside an element that went before the table, it goes with them.
    EXPECT_EQ(lines("<table>walrus43 <i>sorrel61"), Lines{"walrus43 sorrel61"});
    EXPECT_EQ(lines("<table>walrus43</td> sorrel61</table>"), Lines{"walrus43 sorrel61"});
    EXPECT_EQ(lines("<table><span>walrus43<!-- c --> <b>sorrel61</b></span></table>"), Lines{"walrus43 sorrel61"});
}

TEST(RTHTMLStrayMarkupTests, ALineBreakIsNoWhiteSpaceToCollapse) {
    // First inside an element in line, before a table that ends the line anyway.
    for (const std::string_view element : {"b", "span", "font color=red"}) {
        EXPECT_EQ(lines("copper umber <" + std::string(element) + "><br><table><tr><td>acorn</td></tr></table>"), (Lines{"copper umber", "acorn"}))
            << element;
    }
    // A line break and an empty paragraph at the start of a line each show an empty line (blank lines counted).
    EXPECT_EQ(lines("trellis22 <dl></br></p> fjord23", true), (Lines{"trellis22", "", "", "fjord23"}));
}

TEST(RTHTMLStrayMarkupTests, MarkupThatHidesNothingHidesNothing) {
    EXPECT_EQ(lines("<p>Hello, <?= $name ?>!</p>"), Lines{"Hello, !"});
    EXPECT_EQ(lines("<p>a <svg><style><i>b</i></style></svg> c</p>"), Lines{"a b c"});
    EXPECT_EQ(lines("<p>a <svg><style><b>b</b></svg><p>rest one</p><p>rest two</p>"), (Lines{"a b", "rest one", "rest two"}));
    EXPECT_EQ(lines("<p>a<svg><iframe><b>b</b></iframe></svg>c</p>"), Lines{"abc"});
    // A style sheet in a drawing still styles the document.
    EXPECT_EQ(colorsOf(import("<svg><style>p { color: #ff0000 }</style></svg><p>x</p>"), {u"x"}), std::vector<std::string>{"ff0000"});
}

TEST(RTHTMLStrayMarkupTests, TheLastTextOfADocumentShows) {
    EXPECT_EQ(lines("<p>x</p>&"), (Lines{"x", "&"}));
    EXPECT_EQ(lines("<b>x</b>&"), Lines{"x&"});
    EXPECT_EQ(lines("<p>x</p><!-- c -->&"), (Lines{"x", "&"}));
    EXPECT_EQ(lines("<!DOCTYPE html>&"), Lines{"&"});
    for (const std::string_view afterDoctype : {"5", "\nA", "   A", "<!-- c -->B"}) {
        const Lines shown = lines("<!DOCTYPE html>" + std::string(afterDoctype));
        ASSERT_EQ(shown.size(), 1u) << afterDoctype;
        EXPECT_EQ(shown[0], std::string(1, afterDoctype.back()));
    }
    EXPECT_EQ(lines("<p>x</p></html>A"), (Lines{"x", "A"}));
    EXPECT_EQ(lines("<p>x</p></body>AB"), (Lines{"x", "AB"}));
}

TEST(RTHTMLStrayMarkupTests, ATextAreaShowsItsTextAsWritten) {
    // Its value in the browser: line ends and spaces as written, markup as text; the paragraph's font.
    const ct::AttributedString shown = import("<p>a<textarea>x\n  <b>y</b></textarea>b</p>");
    EXPECT_EQ(shown.string(), "ax\n  <b>y</b>b\n");
    EXPECT_EQ(fontAt(shown, 1).familyName(), fontAt(shown, 0).familyName());
}

// Between ordinary paragraphs, each kind of markup above: every paragraph's text shows, in the browser's order.
TEST(RTHTMLStrayMarkupTests, APageOfEveryKindShowsItsLinesInTheBrowsersOrder) {
    std::ifstream file(std::string(QL_RICHTEXT_DOCUMENTS) + "/tables-and-stray-markup.html", std::ios::binary);
    ASSERT_TRUE(file);
    const std::string html{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    EXPECT_EQ(lines(html), (Lines{"The foxes of Green Hill live in three dens.", "Read the table below.", "Foxes: 3",
                                  "Then answer the questions.", "Question 1: How many foxes?", "Each den has one way in.",
                                  "An old page wrote a cell inside a paragraph.", "The next line.", "Count the foxes again.",
                                  "Before the table.", "In the table.", "The foxes sleep by day.", "Hello, ! Nobody ran this template.",
                                  "A drawing's style in italics and more.", "They hunt at night.", "A frame in a drawing in bold and more.",
                                  "A style left open bold words", "Rest one.", "Rest two.", "The end of the story.", "&"}));
}

}  // namespace
