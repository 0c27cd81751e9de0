// The trees the parser reports where the reader underneath would build another than a browser does: where a
// paragraph or another element ends, what a table may hold, what "<?" and SVG and MathML make of the markup.
// Each expectation is the headless browser's tree of the same document (its body's innerHTML, read after
// loading the document as a file), less the tbody it adds to tables, the quotes around attribute values,
// comments, and the text of style sheets and scripts (which the parser reports apart); formatting around a
// block is written as copies inside and after it, as the repair writes it (RTHTMLOpenElements.h).

#include <gtest/gtest.h>

#include <string_view>

#include "tests/richtext/ParserEvents.h"

using namespace ql::test;

namespace {

TEST(RTHTMLParserTreeTests, ElementsEndWhereABrowserEndsThem) {
    // Blocks the reader does not know end a paragraph, as does any block inside an element in it.
    EXPECT_EQ(bodyMarkup("<p>a<section>b</section>c</p>d"), "<p>a</p><section>b</section>c<p></p>d");
    EXPECT_EQ(bodyMarkup("<p>a<figure>b</figure>c</p>d"), "<p>a</p><figure>b</figure>c<p></p>d");
    EXPECT_EQ(bodyMarkup("<p><span>a<div>b</div>c</span>d</p>e"), "<p><span>a</span></p><div>b</div>cd<p></p>e");
    // A heading's start tag ends a heading, any heading's end tag the open one.
    EXPECT_EQ(bodyMarkup("<h1>a<h2>b</h2>c"), "<h1>a</h1><h2>b</h2>c");
    EXPECT_EQ(bodyMarkup("<h3>a</h2>b"), "<h3>a</h3>b");
    EXPECT_EQ(bodyMarkup("<p>x</p><h4><u>a<h2>b</h2>c</u></h4>d"), "<p>x</p><h4><u>a</u><h2><u>b</u></h2><u>c</u></h4>d");
    EXPECT_EQ(bodyMarkup("<p>x</p><h4><p><u>a<h2>b</h2>c</u></h4>d"), "<p>x</p><h4><p><u>a</u></p></h4><h2><u>b</u></h2><u>c</u>d");
    EXPECT_EQ(bodyMarkup("<p>x</p><u><h4>a<h2>b</h2>c</h4>d"), "<p>x</p><h4><u>a</u></h4><h2><u>b</u></h2><u>cd</u>");
    EXPECT_EQ(bodyMarkup("<h2><p>a</p></p>b</h2>c"), "<h2><p>a</p><p></p>b</h2>c");
    // Lists without items, blocks in preformatted text and headings, items in blocks stay where they start; an
    // item's start tag ends an item it is in past a div.
    EXPECT_EQ(bodyMarkup("<menu><p>a<dt>b</p>c</menu>d"), "<menu><p>a</p><dt>b<p></p>c</dt></menu>d");
    EXPECT_EQ(bodyMarkup("<ul><ol><li>x</li></ol>y</ul>z"), "<ul><ol><li>x</li></ol>y</ul>z");
    EXPECT_EQ(bodyMarkup("<h1>a<li>b</h1>c"), "<h1>a<li>b</li></h1>c");
    EXPECT_EQ(bodyMarkup("<ul><li>a<blockquote><li>b</blockquote>c</ul>"), "<ul><li>a<blockquote><li>b</li></blockquote>c</li></ul>");
    EXPECT_EQ(bodyMarkup("<dl><dt>a<dl><dt>b</dl>c</dl>"), "<dl><dt>a<dl><dt>b</dt></dl>c</dt></dl>");
    EXPECT_EQ(bodyMarkup("<li>a<div><li>b</div>c"), "<li>a<div></div></li><li>bc</li>");
    // A marquee bounds a paragraph's reach; a head or body start tag in the body is nothing.
    EXPECT_EQ(bodyMarkup("<p>a<marquee><p>b</marquee>c</p>d"), "<p>a<marquee><p>b</p></marquee>c</p>d");
    EXPECT_EQ(bodyMarkup("<p>a<body>b</p>c"), "<p>ab</p>c");
    EXPECT_EQ(bodyMarkup("<p>a<head>b</p>c"), "<p>ab</p>c");
    // A form's start tag inside a form is nothing, until a form's end tag.
    EXPECT_EQ(bodyMarkup("<p>x</p><form><p>a<form>b</form>c</p></form>d"), "<p>x</p><form><p>ab</p></form>c<p></p>d");
    EXPECT_EQ(bodyMarkup("<p>x</p><div><form></div><form>b</form>c"), "<p>x</p><div><form></form></div>bc");
    // A form's end tag ends only the form.
    EXPECT_EQ(bodyMarkup("<p>x</p><form><h3>a</form>b</h3>"), "<p>x</p><form><h3>ab</h3></form>");
}

TEST(RTHTMLParserTreeTests, ATableEndsAParagraphOutsideQuirksModeOnly) {
    // Without a doctype, or with an old or broken one, a paragraph goes on around a table; a heading, a pre or
    // a link always does.
    const std::string_view table = "<p>a<table><tr><td>b</td></tr></table>c</p>d";
    const std::string kept = "<p>a<table><tr><td>b</td></tr></table>c</p>d";
    const std::string ended = "<p>a</p><table><tr><td>b</td></tr></table>c<p></p>d";
    EXPECT_EQ(bodyMarkup(table), kept);
    EXPECT_EQ(bodyMarkup("<!DOCTYPE html>" + std::string(table)), ended);
    EXPECT_EQ(bodyMarkup("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">" + std::string(table)), kept);
    EXPECT_EQ(bodyMarkup("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\" \"http://www.w3.org/TR/html4/loose.dtd\">" +
                         std::string(table)),
              ended);
    EXPECT_EQ(bodyMarkup("<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\" "
                         "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd\">" +
                         std::string(table)),
              ended);
    EXPECT_EQ(bodyMarkup("<!DOCTYPE html SYSTEM>" + std::string(table)), kept);
    EXPECT_EQ(bodyMarkup("<!DOCTYPE svg>" + std::string(table)), kept);
    EXPECT_EQ(bodyMarkup("<pre>a<table><tr><td>b</td></tr></table>c</pre>d"), "<pre>a<table><tr><td>b</td></tr></table>c</pre>d");
    EXPECT_EQ(bodyMarkup("<a href=\"x\">a<table><tr><td>b</td></tr></table>c</a>d"), "<a href=x>a<table><tr><td>b</td></tr></table>c</a>d");
}

TEST(RTHTMLParserTreeTests, ATableHoldsOnlyItsPartsAndTheRestGoesBeforeIt) {
    // Parts of a table outside any table are nothing.
    EXPECT_EQ(bodyMarkup("<p>a<td>b</td>c</p>d"), "<p>abc</p>d");
    EXPECT_EQ(bodyMarkup("<p>a<tr><td>b</td></tr>c</p>d"), "<p>abc</p>d");
    EXPECT_EQ(bodyMarkup("<p>a<caption>b</caption>c</p>d"), "<p>abc</p>d");
    EXPECT_EQ(bodyMarkup("<p>a<thead>b<col>c<colgroup>d</thead>e</p>f"), "<p>abcde</p>f");
    // Text and elements outside its cells go before it, in order; what they leave open ends at its next part.
    // (After a paragraph: text that begins a document goes into a paragraph of the reader's own.)
    EXPECT_EQ(bodyMarkup("<p>x</p><table><tr><td>A</td></tr>B</table>"), "<p>x</p>B<table><tr><td>A</td></tr></table>");
    EXPECT_EQ(bodyMarkup("<table><b>x</b><tr><td>y</td></tr></table>z"), "<b>x</b><table><tr><td>y</td></tr></table>z");
    EXPECT_EQ(bodyMarkup("<table><b>x<tr><td>y</td></tr></table>z"), "<b>x</b><table><tr><td>y</td></tr></table><b>z</b>");
    EXPECT_EQ(bodyMarkup("<table><tr><td>a</td></tr><span>b</span><p>c</p>d</table>"),
              "<span>b</span><p>c</p>d<table><tr><td>a</td></tr></table>");
    EXPECT_EQ(bodyMarkup("<table><tr><td>1<table><tr><td>2</td></tr>3</table>4</td></tr></table>"),
              "<table><tr><td>13<table><tr><td>2</td></tr></table>4</td></tr></table>");
    EXPECT_EQ(bodyMarkup("<div><table><tr><td>a</td></tr>b</div>c</table>"), "<div>bc<table><tr><td>a</td></tr></table></div>");
    EXPECT_EQ(bodyMarkup("<p>x</p><table><tr><td>a</td></tr></p><tr><td>b</td></tr></table>"),
              "<p>x</p><p></p><table><tr><td>a</td></tr><tr><td>b</td></tr></table>");
    // Where the document ends in a comment or a tag, or SVG moved before a table ends, the table stays whole.
    EXPECT_EQ(bodyMarkup("<p>x</p><table><tr><td>A</td></tr>B<!-- c"), "<p>x</p>B<table><tr><td>A</td></tr></table>");
    EXPECT_EQ(bodyMarkup("<p>x</p><table><tr><td>A</td></tr>B<span title=\"x"), "<p>x</p>B<table><tr><td>A</td></tr></table>");
    EXPECT_EQ(bodyMarkup("<p>x</p><table><tr><td>A</td></tr><svg><style>s</style></svg></table>B"),
              "<p>x</p><svg><style></style></svg><table><tr><td>A</td></tr></table>B");
    EXPECT_EQ(bodyMarkup("<p>x</p><table><p>a<svg><p>b</svg><colgroup>c</p><tr><td>d</td></tr></table>"),
              "<p>x</p><p>a<svg></svg></p><p>b</p>c<p></p><table><colgroup></colgroup><tr><td>d</td></tr></table>");
    // A form there is empty; a table there ends it; a caption or row group ends the cell it is in.
    EXPECT_EQ(bodyMarkup("<table><tr><td>a</td></tr><p>b<form>c</form>d</p></table>"), "<p>bcd</p><table><tr><td>a</td></tr></table>");
    EXPECT_EQ(bodyMarkup("<table><tr><td>a</td></tr><table><tr><td>b</td></tr></table>c"),
              "<table><tr><td>a</td></tr></table><table><tr><td>b</td></tr></table>c");
    EXPECT_EQ(bodyMarkup("<p>x</p><table><tr><td>a<caption>b</caption>c</table>"),
              "<p>x</p>c<table><tr><td>a</td></tr><caption>b</caption></table>");
    EXPECT_EQ(bodyMarkup("<table><tr><td><div>a<tr><td>b</table>"), "<table><tr><td><div>a</div></td></tr><tr><td>b</td></tr></table>");
    EXPECT_EQ(bodyMarkup("<table><tr><td>a<thead><tr><td>b</table>"), "<table><tr><td>a</td></tr><thead><tr><td>b</td></tr></thead></table>");
}

TEST(RTHTMLParserTreeTests, MarkupFromAQuestionMarkIsAComment) {
    // Up to the first ">", or the end of the document: templates that were not run leave these.
    EXPECT_EQ(bodyMarkup("<p>Hello, <?= $name ?>!</p>"), "<p>Hello, !</p>");
    EXPECT_EQ(bodyMarkup("<p>a<? x ?>b<?>c<?xml version=\"1.0\"?>d<?php echo 'e>f'; ?>g</p>"), "<p>abcdf'; ?>g</p>");
    EXPECT_EQ(bodyMarkup("<p>a</p><p>b<? c</p><p>d</p>"), "<p>a</p><p>b</p><p>d</p>");
}

TEST(RTHTMLParserTreeTests, StyleSheetsAndScriptsInSVGAndMathMLHoldMarkup) {
    // An element that cannot go in SVG or MathML ends them, and the style sheet, script or frame it is in.
    EXPECT_EQ(bodyMarkup("<p>a <svg><style><i>b</i></style></svg> c</p>"), "<p>a <svg><style></style></svg><i>b</i> c</p>");
    EXPECT_EQ(bodyMarkup("<p>a <svg><style><b>b</b></svg><p>rest one</p><p>rest two</p>"),
              "<p>a <svg><style></style></svg><b>b</b></p><p>rest one</p><p>rest two</p>");
    EXPECT_EQ(bodyMarkup("<p>a<math><script><span>b</span></script></math>c</p>"), "<p>a<math><script></script></math><span>b</span>c</p>");
    EXPECT_EQ(bodyMarkup("<p>a<svg><iframe><b>b</b></iframe></svg>c</p>"), "<p>a<svg><iframe></iframe></svg><b>b</b>c</p>");
    // So does an end tag of an element outside them; a comment is no end.
    EXPECT_EQ(bodyMarkup("<p>a<svg><style>x</svg>b</p><p>c</p>"), "<p>a<svg><style></style></svg>b</p><p>c</p>");
    EXPECT_EQ(bodyMarkup("<p>a<svg><style><!-- </style> --><i>b</i></style></svg>c</p>"), "<p>a<svg><style></style></svg><i>b</i>c</p>");
}

}  // namespace
