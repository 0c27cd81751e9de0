#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "platform/foundation/URL.h"
#include "platform/text/AttributeNames.h"
#include "platform/text/ParagraphStyleObject.h"
#include "platform/ui/Color.h"
#include "platform/ui/Font.h"
#include "platform/ui/GeometryValue.h"
#include "richtext/NSAttributedStringHTML.h"
#include "richtext/RTAttributeNames.h"
#include "richtext/RTCSSListStyle.h"
#include "richtext/RTHTMLAttributedStringBuilder.h"
#include "richtext/RTHTMLColors.h"
#include "richtext/RTHTMLOptions.h"
#include "richtext/RTLog.h"
#include "richtext/RTSimpleHTMLElements.h"
#include "richtext/RTTextAttachment.h"
#include "richtext/RTTextBlock.h"
#include "richtext/RichTextFontDescriptor.h"
#include "richtext/RichTextParagraphStyle.h"
#include "tests/richtext/ImportedText.h"
#include "tests/support/OnScopeExit.h"

using namespace ql;
using namespace ql::test;

namespace {

TEST(RTHTMLAttributedStringBuilderTests, WhiteSpaceCollapsesAndGoesBetweenBlocks) {
    EXPECT_FALSE(initWithHTMLData(ns::Data(std::string_view()), {}).has_value());
    EXPECT_EQ(text(" \n\t "), "");
    EXPECT_EQ(text("<p>Hello   <b>world</b>\n again</p>"), "Hello world again\n");
    // Between blocks, and right after a line break, white space is no content.
    EXPECT_EQ(text("<div>one</div>\n   <div>two</div>"), "one\ntwo\n");
    EXPECT_EQ(text("<p>one<br>   two</p>"), "one\u2028two\n");
    // Body text ending in spaces before a block: the spaces go and one line end separates them.
    EXPECT_EQ(text("<body>text  <div>block</div></body>"), "text\nblock\n");
    EXPECT_EQ(text("<body><div>a</div>b <span> c</span> d</body>"), "a\nb c d");
    // Trailing spaces and tabs of the document go unless asked to stay; line ends stay.
    EXPECT_EQ(text("<body>end \t </body>"), "end");
    EXPECT_EQ(text("<body>end \t </body>", {{std::string(RTDocumentPreserveTrailingSpaces), ns::Value(true)}}), "end ");
    EXPECT_EQ(text("<body><pre>end \t </pre></body>", {{std::string(RTDocumentPreserveTrailingSpaces), ns::Value(true)}}), "end \t\n");
    EXPECT_EQ(text("<p>para</p>"), "para\n");
    // Spaces written on purpose stay.
    EXPECT_EQ(text("<p>a&nbsp;&nbsp;b</p>"), "a\u00A0\u00A0b\n");
}

// Entities cut a text into pieces as the reader reports it: the pieces read as the one text they make, and
// white space among them still goes next to blocks (a list item after text begins a line, as in a browser).
TEST(RTHTMLAttributedStringBuilderTests, TextsCutByEntitiesReadAsOne) {
    EXPECT_EQ(text("<p>a &amp;  &lt; b&gt;</p>"), "a & < b>\n");
    EXPECT_EQ(text("<div><b>x</b> &amp; <i>y</i>&#32;&#32;z</div>"), "x & y z\n");
    EXPECT_EQ(text("<div><p>x</p>\n  &amp;y</div>"), "x\n&y\n");
    EXPECT_EQ(text("<ul><li>one</li>\n &amp; \n<li>two</li></ul>"), "\t\u2022\tone\n&\n\t\u2022\ttwo\n");
    EXPECT_EQ(text("<pre>a\n&lt;b&gt;\n  c</pre>"), "a\n<b>\n  c\n");
}

// Every run of a question-shaped document, each expectation read off its CSS: the paragraph rule gives its
// text #333 and a 1em (12 point) bottom margin, ".q b" makes the bold text red, the div's padding and
// background make one text block that every paragraph inside it lists, list items keep the default black
// and their marker is generated content, the image is one attachment character.
TEST(RTHTMLAttributedStringBuilderTests, AQuestionDocumentKeepsEveryRun) {
    std::string html = "<html><head><style>p { margin: 0 0 1em 0; color: #333 } .q b { color: red }</style></head><body>";
    for (int i = 0; i < 2; ++i)
        html += "<div class=\"q\" style=\"padding: 4px 8px; background-color: rgb(250, 250, 240)\"><p>第" + std::to_string(i) +
                "题：意思与&ldquo;<b>高兴</b>&rdquo;？ Choose the <i>best</i> answer &amp; explain.</p>"
                "<ul><li>A. 快乐</li><li>B. 难过</li></ul><img src=\"q.png\" width=\"120\" height=\"80\"><br></div>\n";
    const ct::AttributedString result = import(html + "</body></html>");

    struct Expected {
        std::u16string text;
        std::string color;
        bool bold = false;
        bool italic = false;
        double paragraphSpacing = 0;
        double headIndent = 0;
        bool marker = false;
        bool listed = false;
        bool attachment = false;
    };
    std::vector<Expected> expected;
    for (const char16_t digit : {u'0', u'1'}) {
        const std::vector<Expected> block = {
            {std::u16string(u"第") + digit + u"题：意思与\u201C", "333333", false, false, 12},
            {u"高兴", "ff0000", true, false, 12},
            {u"\u201D？ Choose the ", "333333", false, false, 12},
            {u"best", "333333", false, true, 12},
            {u" answer & explain.\n", "333333", false, false, 12},
            {u"\t\u2022\t", "000000", false, false, 0, 27, true, true},
            {u"A. 快乐\n", "000000", false, false, 0, 27, false, true},
            {u"\t\u2022\t", "000000", false, false, 12, 27, true, true},
            {u"B. 难过\n", "000000", false, false, 12, 27, false, true},
            {u"\uFFFC", "000000", false, false, 0, 0, false, false, true},
            {u"\u2028\n", "000000"},
        };
        expected.insert(expected.end(), block.begin(), block.end());
    }

    std::vector<const RTTextBlock*> blocks;
    std::size_t run = 0;
    result.enumerateAttributes({0, result.length()}, [&](const ns::Dictionary& attributes, ns::Range range, bool&) {
        ASSERT_LT(run, expected.size());
        const Expected& want = expected[run++];
        const std::u16string_view text = std::u16string_view(result.u16string()).substr(range.location, range.length);
        SCOPED_TRACE("run " + std::to_string(run));
        EXPECT_EQ(text, want.text);
        EXPECT_EQ(colorAt(result, range.location), want.color);
        const ct::Font font = fontAt(result, range.location);
        EXPECT_EQ(font.familyName(), "Times New Roman");
        EXPECT_DOUBLE_EQ(font.pointSize(), 12);
        EXPECT_EQ((font.symbolicTraits() & ct::FontBoldTrait) != 0, want.bold);
        EXPECT_EQ((font.symbolicTraits() & ct::FontItalicTrait) != 0, want.italic);
        const ct::ParagraphStyle paragraph = paragraphAt(result, range.location);
        EXPECT_DOUBLE_EQ(paragraph.paragraphSpacing, want.paragraphSpacing);
        EXPECT_DOUBLE_EQ(paragraph.headIndent, want.headIndent);
        EXPECT_EQ(attributes.contains(RTFieldAttribute), want.marker);
        EXPECT_EQ(attributes.contains(RTTextListsAttribute), want.listed);
        const auto attachment = attributes[ui::AttachmentAttributeName].asObject<RTTextAttachment>();
        EXPECT_EQ(attachment != nullptr, want.attachment);
        if (attachment) {
            EXPECT_EQ(attachment->displaySize(), (cg::Size{120, 80}));
        }
        // One block per question, shared by all of its paragraphs.
        const ns::Array* listed = attributes[RTTextBlocksAttribute].asArray();
        ASSERT_TRUE(listed);
        ASSERT_EQ(listed->size(), 1u);
        const auto box = listed->front().asObject<RTTextBlock>();
        ASSERT_TRUE(box);
        EXPECT_EQ(box->padding(), (cg::EdgeInsets{4, 8, 4, 8}));
        ASSERT_TRUE(box->backgroundColor());
        EXPECT_EQ(RTHexDigitsFromColor(*box->backgroundColor()), "fafaf0");
        if (blocks.empty() || blocks.back() != box.get()) blocks.push_back(box.get());
        // The block paints the background, so the runs carry none.
        EXPECT_FALSE(attributes.contains(RTBackgroundColorAttribute));
    });
    EXPECT_EQ(run, expected.size());
    EXPECT_EQ(blocks.size(), 2u);
}

TEST(RTHTMLAttributedStringBuilderTests, LineBreaksStayInsideTheirParagraph) {
    const ct::AttributedString result = import("<p style=\"text-align:center\">first<br>second</p>");
    EXPECT_EQ(result.string(), "first\u2028second\n");
    EXPECT_EQ(paragraphAt(result, 0).alignment, ct::TextAlignment::Center);
    EXPECT_EQ(paragraphAt(result, indexOf(result, u"second")).alignment, ct::TextAlignment::Center);
    EXPECT_EQ(paragraphAt(result, 0), paragraphAt(result, indexOf(result, u"second")));
}

TEST(RTHTMLAttributedStringBuilderTests, NestedListsNumberAndIndentTheirItems) {
    const ct::AttributedString result =
        import("<ul><li>one<ul><li>inner</li></ul></li><li>two</li></ul><ol start=\"3\"><li>c</li><li>d</li></ol>");
    EXPECT_EQ(result.string(), "\t\u2022\tone\n\t\u25E6\tinner\n\t\u2022\ttwo\n\t3.\tc\n\t4.\td\n");

    const ct::ParagraphStyle outer = paragraphAt(result, indexOf(result, u"one"));
    const ct::ParagraphStyle inner = paragraphAt(result, indexOf(result, u"inner"));
    EXPECT_DOUBLE_EQ(outer.headIndent, 27);
    EXPECT_DOUBLE_EQ(outer.firstLineHeadIndent, 0);
    EXPECT_DOUBLE_EQ(inner.headIndent, 54);
    EXPECT_DOUBLE_EQ(inner.firstLineHeadIndent, 27);
    // The marker is right-aligned before the text, which starts at the head indent.
    ASSERT_GE(outer.tabStops.size(), 2u);
    EXPECT_EQ(outer.tabStops[0], (ct::TextTab{ct::TextAlignment::Right, 22}));
    EXPECT_EQ(outer.tabStops[1], (ct::TextTab{ct::TextAlignment::Left, 27}));

    // The marker is generated content; paragraphs know their lists, outermost first.
    EXPECT_EQ(result.attributeAtIndex(RTFieldAttribute, 0).stringValue(), RTListPrefixField);
    EXPECT_TRUE(result.attributeAtIndex(RTFieldAttribute, indexOf(result, u"one")).isNil());
    const ns::Array* lists = result.attributeAtIndex(RTTextListsAttribute, indexOf(result, u"inner")).asArray();
    ASSERT_TRUE(lists);
    ASSERT_EQ(lists->size(), 2u);
    EXPECT_EQ((*lists)[0].asObject<RTCSSListStyle>()->type(), static_cast<std::uint64_t>(RTListStyleType::Disc));
    EXPECT_EQ((*lists)[1].asObject<RTCSSListStyle>()->type(), static_cast<std::uint64_t>(RTListStyleType::Circle));

    // Long lists are numbered in one pass.
    std::string many = "<ol>";
    for (int i = 0; i < 3000; ++i) many += "<li>x</li>";
    const std::string numbered = text(many + "</ol>");
    EXPECT_NE(numbered.find("\t3000.\tx\n"), std::string::npos);
}

TEST(RTHTMLAttributedStringBuilderTests, AnItemsValueNumbersItAndTheItemsAfterIt) {
    EXPECT_EQ(text("<ol><li>a<li value=\"10\">b<li>c</ol>"), "\t1.\ta\n\t10.\tb\n\t11.\tc\n");
    // Read as HTML reads an integer; a later value starts the count again, from the list's start or not.
    EXPECT_EQ(text("<ol start=\"3\"><li value=\" +7th\">a<li>b<li value=\"-1\">c<li>d<li value=\"x\">e</ol>"),
              "\t7.\ta\n\t8.\tb\n\t-1.\tc\n\t0.\td\n\t1.\te\n");
    // A number beyond 32 bits numbers nothing; an item of a nested list counts only in its own list.
    EXPECT_EQ(text("<ol><li value=\"99999999999\">a<ol><li value=\"5\">in</ol><li>b</ol>"),
              "\t1.\ta\n\t5.\tin\n\t2.\tb\n");
    // Bullets have no number to take.
    EXPECT_EQ(text("<ul><li value=\"4\">a</ul>"), "\t\u2022\ta\n");
}

TEST(RTHTMLAttributedStringBuilderTests, MarkersInsideTheTextAndMarkerImages) {
    const ct::AttributedString inside = import("<ul style=\"list-style-position:inside\"><li>in</li></ul>");
    EXPECT_EQ(inside.string(), "\t\t\u2022in\n");
    EXPECT_EQ(paragraphAt(inside, 0).tabStops.at(0), (ct::TextTab{ct::TextAlignment::Left, 22}));

    const ns::Dictionary base{{std::string(NSBaseURLDocumentOption), ns::URL::fromString("http://example.com/q/")->boxed()}};
    const ct::AttributedString images = import("<ul style=\"list-style-image:url(dot.png)\"><li>pic</li></ul>", base);
    EXPECT_EQ(images.string(), "\t\uFFFC\tpic\n");
    auto marker = images.attributeAtIndex(ui::AttachmentAttributeName, 1).asObject<RTTextAttachment>();
    ASSERT_TRUE(marker);
    EXPECT_EQ(marker->contentURL()->absoluteString(), "http://example.com/q/dot.png");
    EXPECT_TRUE(images.attributeAtIndex(ct::RunDelegateAttributeName, 1).asObject());
    EXPECT_EQ(images.attributeAtIndex(RTFieldAttribute, 1).stringValue(), RTListPrefixField);
}

TEST(RTHTMLAttributedStringBuilderTests, ObjectsAndVideosCompleteAtTheirEndTags) {
    const ns::Dictionary base{{std::string(NSBaseURLDocumentOption), ns::URL::fromString("http://example.com/q/")->boxed()}};
    const ct::AttributedString result =
        import("<p><video><source src=\"a.mp4\"><source src=\"b.mp4\"></video><video src=\"own.mp4\"><source src=\"c.mp4\">"
               "</video><object data=\"o.swf\"><param name=\"p\" value=\"1\"></object></p>",
               base);
    EXPECT_EQ(result.string(), "\uFFFC\uFFFC\uFFFC\n");
    auto first = result.attributeAtIndex(ui::AttachmentAttributeName, 0).asObject<RTVideoTextAttachment>();
    auto second = result.attributeAtIndex(ui::AttachmentAttributeName, 1).asObject<RTVideoTextAttachment>();
    auto object = result.attributeAtIndex(ui::AttachmentAttributeName, 2).asObject<RTObjectTextAttachment>();
    ASSERT_TRUE(first && second && object);
    EXPECT_EQ(first->contentURL()->absoluteString(), "http://example.com/q/a.mp4");
    EXPECT_EQ(second->contentURL()->absoluteString(), "http://example.com/q/own.mp4");
    ASSERT_TRUE(object->childNodes());
    ASSERT_EQ(object->childNodes()->size(), 1u);
    EXPECT_EQ(object->childNodes()->front()->name(), "param");
    EXPECT_EQ(object->contentURL()->absoluteString(), "http://example.com/q/o.swf");
}

TEST(RTHTMLAttributedStringBuilderTests, LinksTakeTheirColourAndResolveAgainstTheBase) {
    const ns::Dictionary base{{std::string(NSBaseURLDocumentOption), ns::URL::fromString("http://example.com/q/")->boxed()}};
    const ct::AttributedString plain = import("<p>see <a href=\" page.html\n\">here</a> now</p>", base);
    const std::uint64_t link = indexOf(plain, u"here");
    EXPECT_EQ(colorAt(plain, link), "0000ee");
    EXPECT_EQ(colorAt(plain, 0), "000000");
    EXPECT_EQ(plain.attributeAtIndex(ct::UnderlineStyleAttributeName, link).int64Value(), 1);
    const auto url = ns::URL::fromValue(plain.attributeAtIndex(ui::LinkAttributeName, link));
    ASSERT_TRUE(url);
    EXPECT_EQ(url->absoluteString(), "http://example.com/q/page.html");
    EXPECT_EQ(plain.attributeAtIndex(RTGUIDAttribute, link).stringValue().size(), 36u);
    EXPECT_EQ(colorAt(plain, link), colorAt(plain, link + 3));
    EXPECT_EQ(plain.attributeAtIndex(RTLinkHighlightColorAttribute, link).asObject<ui::Color>() != nullptr, true);

    ns::Dictionary options = base;
    options.set(std::string(RTDefaultLinkColor), ns::Value("red"));
    options.set(std::string(RTDefaultLinkDecoration), ns::Value(false));
    const ct::AttributedString red = import("<p><a href=\"x\">here</a></p>", options);
    EXPECT_EQ(colorAt(red, 0), "ff0000");
    EXPECT_TRUE(red.attributeAtIndex(ct::UnderlineStyleAttributeName, 0).isNil());
    const ct::AttributedString highlighted =
        import("<p><a href=\"x\">here</a></p>", {{std::string(RTDefaultLinkHighlightColor), ns::Value("#00ff00")}});
    auto highlight = highlighted.attributeAtIndex(RTLinkHighlightColorAttribute, 0).asObject<ui::Color>();
    ASSERT_TRUE(highlight);
    EXPECT_EQ(RTHexDigitsFromColor(*highlight), "00ff00");

    // A colour from a class rule stays; without href there is no link but the anchor keeps its name.
    const ct::AttributedString styled = import("<style>.g { color: #008000 }</style><p><a class=\"g\" name=\"n\">g</a></p>");
    EXPECT_EQ(colorAt(styled, 0), "008000");
    EXPECT_TRUE(styled.attributeAtIndex(ui::LinkAttributeName, 0).isNil());
    EXPECT_EQ(styled.attributeAtIndex(RTAnchorAttribute, 0).stringValue(), "n");
}

TEST(RTHTMLAttributedStringBuilderTests, HeadersPreAndQuotations) {
    const ct::AttributedString result = import("<h1>Title</h1><p>body</p><pre>a  b\n  c</pre>");
    EXPECT_EQ(result.string(), "Title\nbody\na  b\n  c\n");
    const ct::Font title = fontAt(result, 0);
    EXPECT_DOUBLE_EQ(title.pointSize(), 24);
    EXPECT_TRUE(title.symbolicTraits() & ct::FontBoldTrait);
    EXPECT_EQ(result.attributeAtIndex(RTHeaderLevelAttribute, 0).int64Value(), 1);
    EXPECT_TRUE(result.attributeAtIndex(RTHeaderLevelAttribute, indexOf(result, u"body")).isNil());
    // Every level from 1 to 6 is its own; tags that only look like headers have none.
    const ct::AttributedString levels = import("<h6>six</h6><h3>three</h3><h7>seven</h7><hr><h0>zero</h0>");
    EXPECT_EQ(levels.attributeAtIndex(RTHeaderLevelAttribute, indexOf(levels, u"six")).int64Value(), 6);
    EXPECT_EQ(levels.attributeAtIndex(RTHeaderLevelAttribute, indexOf(levels, u"three")).int64Value(), 3);
    EXPECT_TRUE(levels.attributeAtIndex(RTHeaderLevelAttribute, indexOf(levels, u"seven")).isNil());
    EXPECT_TRUE(levels.attributeAtIndex(RTHeaderLevelAttribute, indexOf(levels, u"zero")).isNil());
    EXPECT_NEAR(paragraphAt(result, 0).paragraphSpacing, 16.08, 1e-9);  // .67em of 24 points
    const ct::Font code = fontAt(result, indexOf(result, u"a  b"));
    EXPECT_EQ(code.familyName(), "Courier");
    EXPECT_DOUBLE_EQ(fontAt(result, indexOf(result, u"body")).pointSize(), 12);

    const ct::AttributedString quote = import("<blockquote>one<blockquote>two</blockquote></blockquote>");
    EXPECT_DOUBLE_EQ(paragraphAt(quote, 0).headIndent, 25);
    EXPECT_DOUBLE_EQ(paragraphAt(quote, indexOf(quote, u"two")).headIndent, 50);
    EXPECT_DOUBLE_EQ(paragraphAt(quote, indexOf(quote, u"two")).firstLineHeadIndent, 50);
}

TEST(RTHTMLAttributedStringBuilderTests, ImagesBecomeAttachmentsWithTheirSizes) {
    ns::Dictionary options{{std::string(NSBaseURLDocumentOption), ns::URL::fromString("http://example.com/q/")->boxed()}};
    const ct::AttributedString result = import("<p>see <img src=\"i/a.png\" width=\"120\" height=\"80\"> here</p>", options);
    EXPECT_EQ(result.string(), "see \uFFFC here\n");
    const std::uint64_t at = indexOf(result, u"\uFFFC");
    auto attachment = result.attributeAtIndex(ui::AttachmentAttributeName, at).asObject<RTTextAttachment>();
    ASSERT_TRUE(attachment);
    EXPECT_EQ(attachment->displaySize(), (cg::Size{120, 80}));
    EXPECT_EQ(attachment->contentURL()->absoluteString(), "http://example.com/q/i/a.png");
    EXPECT_TRUE(result.attributeAtIndex(ct::RunDelegateAttributeName, at).asObject());
    EXPECT_TRUE(result.attributeAtIndex(ui::AttachmentAttributeName, at + 1).isNil());

    options.set(std::string(RTMaxImageSize), ui::GeometryValue::valueWithCGSize({60, 60}));
    const ct::AttributedString fitted = import("<img src=\"a.png\" width=\"120\" height=\"80\">", options);
    auto small = fitted.attributeAtIndex(ui::AttachmentAttributeName, indexOf(fitted, u"\uFFFC")).asObject<RTTextAttachment>();
    ASSERT_TRUE(small);
    EXPECT_EQ(small->displaySize(), (cg::Size{60, 40}));
}

TEST(RTHTMLAttributedStringBuilderTests, OptionsSetTheDocumentDefaults) {
    const ns::Dictionary scaled{{std::string(RTDefaultFontSize), ns::Value(15.0)},
                                {std::string(NSTextSizeMultiplierDocumentOption), ns::Value(1.5)},
                                {std::string(RTDefaultFontFamily), ns::Value("Helvetica")},
                                {std::string(RTDefaultTextColor), ns::Value("#336699")}};
    const ct::AttributedString result = import("<p>x</p>", scaled);
    EXPECT_DOUBLE_EQ(fontAt(result, 0).pointSize(), 23);
    EXPECT_EQ(fontAt(result, 0).familyName(), "Helvetica");
    EXPECT_EQ(colorAt(result, 0), "336699");
    const ct::AttributedString unscaled = import("<p>x</p>", {{std::string(NSTextSizeMultiplierDocumentOption), ns::Value(0.0)}});
    EXPECT_DOUBLE_EQ(fontAt(unscaled, 0).pointSize(), 12);
    EXPECT_EQ(fontAt(unscaled, 0).familyName(), "Times New Roman");
    const ct::AttributedString nonsense = import("<p>x</p>", {{std::string(RTDefaultFontSize), ns::Value(-4.0)},
                                                              {std::string(NSTextSizeMultiplierDocumentOption), ns::Value(std::nan(""))}});
    EXPECT_DOUBLE_EQ(fontAt(nonsense, 0).pointSize(), 12);

    const ct::AttributedString aligned = import("<div>x</div>", {{std::string(RTDefaultTextAlignment), ns::Value(std::int64_t(0x102))},
                                                                  {std::string(RTDefaultHeadIndent), ns::Value(std::int64_t(10))}});
    EXPECT_EQ(paragraphAt(aligned, 0).alignment, ct::TextAlignment::Center);
    EXPECT_DOUBLE_EQ(paragraphAt(aligned, 0).headIndent, 10);

    // The font tag: sizes 1 to 7 scale, others fall back to the default size.
    const ns::Dictionary doubled{{std::string(NSTextSizeMultiplierDocumentOption), ns::Value(2.0)}};
    const ct::AttributedString fonts = import("<p><font size=\"7\">big</font><font size=\"0\" color=\"red\">plain</font></p>", doubled);
    EXPECT_DOUBLE_EQ(fontAt(fonts, 0).pointSize(), 96);
    EXPECT_DOUBLE_EQ(fontAt(fonts, indexOf(fonts, u"plain")).pointSize(), 24);
    EXPECT_EQ(colorAt(fonts, indexOf(fonts, u"plain")), "ff0000");
}

TEST(RTHTMLAttributedStringBuilderTests, StylesApplyFromWhereTheyAppear) {
    const ct::AttributedString result =
        import("<p class=\"k\">before</p><style>.k { color: red } p b { color: blue }</style><p class=\"k\">after <b>bold</b></p>"
               "<p style=\"color:#00ff00\">inline</p>");
    EXPECT_EQ(colorAt(result, 0), "000000");
    EXPECT_EQ(colorAt(result, indexOf(result, u"after")), "ff0000");
    EXPECT_EQ(colorAt(result, indexOf(result, u"bold")), "0000ff");
    EXPECT_EQ(colorAt(result, indexOf(result, u"inline")), "00ff00");
    // Descendant selectors ending on a class or an id.
    const ct::AttributedString descendants =
        import("<style>div .x { color: #111111 } div #y { color: #222222 } span .x { color: #333333 }</style>"
               "<div><p class=\"x\">one</p><p id=\"y\">two</p></div><p class=\"x\">three</p>");
    EXPECT_EQ(colorAt(descendants, 0), "111111");
    EXPECT_EQ(colorAt(descendants, indexOf(descendants, u"two")), "222222");
    EXPECT_EQ(colorAt(descendants, indexOf(descendants, u"three")), "000000");
    // Siblings of one tag share a cascade only when their attributes agree; cousins never do.
    const ct::AttributedString siblings =
        import("<style>.a { color: #ff0000 } p { color: #00ff00 } div p { color: #0000ff }</style><ul><li class=\"a\">one</li>"
               "<li>two</li><li class=\"a\">three</li><li class=\"a\">four</li></ul><div><p>five</p></div><p>six</p><p>seven</p>"
               "<div><p>eight</p></div>");
    EXPECT_EQ(colorsOf(siblings, {u"one", u"two", u"three", u"four", u"five", u"six", u"seven", u"eight"}),
              (std::vector<std::string>{"ff0000", "000000", "ff0000", "ff0000", "0000ff", "00ff00", "00ff00", "0000ff"}));
    // Elements without attributes in different places: by their tag while no descendant selector ends on
    // it, by their ancestors once one does, and afresh after the rules change.
    const ct::AttributedString tags = import("<p>a <i>x</i></p><style>p { color: #ff0000 } div i { color: #00ff00 }</style>"
                                             "<div><p>b <i>y</i></p></div><p><i>z</i></p>");
    EXPECT_EQ(colorAt(tags, 0), "000000");
    EXPECT_EQ(colorAt(tags, indexOf(tags, u"x")), "000000");
    EXPECT_EQ(colorAt(tags, indexOf(tags, u"b")), "ff0000");
    EXPECT_EQ(colorAt(tags, indexOf(tags, u"y")), "00ff00");
    EXPECT_EQ(colorAt(tags, indexOf(tags, u"z")), "ff0000");
    const ct::AttributedString ignored =
        import("<p style=\"color:#00ff00\">inline</p>", {{std::string(RTIgnoreInlineStyles), ns::Value(true)}});
    EXPECT_EQ(colorAt(ignored, 0), "000000");

    // Custom attributes: class names that matched a tag-and-class rule are left out.
    const ct::AttributedString custom = import("<style>p.k { color: red }</style><p class=\"k extra\" data-id=\"7\">x</p>",
                                               {{std::string(RTProcessCustomHTMLAttributes), ns::Value(true)}});
    const ns::Dictionary* attributes = custom.attributeAtIndex(RTCustomAttributesAttribute, 0).asDictionary();
    ASSERT_TRUE(attributes);
    EXPECT_EQ((*attributes)["class"].stringValue(), "extra");
    EXPECT_EQ((*attributes)["data-id"].stringValue(), "7");
}

TEST(RTHTMLAttributedStringBuilderTests, ElementsInTheSamePlaceOfTheirQuestionsShareACascade) {
    // The bold run of each question: same tags, classes and ids above it means the same cascade; any
    // difference on the way up (a class more, another id, none) means its own.
    const ct::AttributedString cousins = import(
        "<style>.q b { color: #ff0000 } .r b { color: #00ff00 } #m i { color: #0000ff }</style>"
        "<div class=\"q\"><p><b>one</b></p></div><div><p><b>two</b></p></div><div class=\"q\"><p><b>three</b></p></div>"
        "<div class=\"q r\"><p><b>four</b></p></div><div class=\"\"><p><b>five</b></p></div><div class=\"q\"><p><b style=\"color:#123456\">six</b></p></div>"
        "<div class=\"q\"><p><b>seven</b></p></div><div id=\"m\"><p><i>eight</i></p></div><div id=\"n\"><p><i>nine</i></p></div>"
        "<style>.q b { color: #654321 }</style><div class=\"q\"><p><b>ten</b></p></div>");
    EXPECT_EQ(colorsOf(cousins, {u"one", u"two", u"three", u"four", u"five", u"six", u"seven", u"eight", u"nine", u"ten"}),
              (std::vector<std::string>{"ff0000", "000000", "ff0000", "00ff00", "000000", "123456", "ff0000", "0000ff",
                                        "000000", "654321"}));

    // More places than are numbered at once, and places deeper than are numbered at all.
    std::string many = "<style>.q b { color: #ff0000 } #d1499 b { color: #00ff00 }</style>";
    for (int i = 0; i < 1500; ++i) many += "<div class=\"q\" id=\"d" + std::to_string(i) + "\"><p><b>" + std::to_string(i) + "</b></p></div>";
    many += "<b>loose</b><div class=\"q\"><p><b>last</b></p></div>";
    for (int i = 0; i < 100; ++i) many += "<div class=\"q\">";
    many += "<b>deep</b>";
    const ct::AttributedString places = import(many);
    EXPECT_EQ(colorAt(places, indexOf(places, u"1499")), "00ff00");
    EXPECT_EQ(colorAt(places, indexOf(places, u"1498")), "ff0000");
    EXPECT_EQ(colorAt(places, indexOf(places, u"loose")), "000000");
    EXPECT_EQ(colorAt(places, indexOf(places, u"last")), "ff0000");
    EXPECT_EQ(colorAt(places, indexOf(places, u"deep")), "ff0000");
}

TEST(RTHTMLAttributedStringBuilderTests, LinkedStylesheetsAreReadOnlyFromLocalFiles) {
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / ("rt-builder-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const test::OnScopeExit removeFolder([&] { std::filesystem::remove_all(folder); });
    std::ofstream(folder / "q.css") << "p { color: #123456 }";
    const ns::Dictionary base{{std::string(NSBaseURLDocumentOption), ns::URL::fileURLWithPath(folder.string(), true).boxed()}};
    const ct::AttributedString local = import("<link rel=\"stylesheet\" type=\"TEXT/CSS\" href=\"q.css\"><p>x</p>", base);
    EXPECT_EQ(colorAt(local, 0), "123456");

    std::vector<std::string> messages;
    RTSetLogHook([&](int level, std::string_view message) {
        EXPECT_EQ(level, RTLogLevelWarning);
        messages.emplace_back(message);
    });
    const test::OnScopeExit removeHook([] { RTSetLogHook(nullptr); });
    const ct::AttributedString remote = import("<link type=\"text/css\" href=\"http://example.com/q.css\"><p>x</p>", base);
    EXPECT_EQ(colorAt(remote, 0), "000000");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "CSS link referencing a non-local target, ignored");
    // A device is no style sheet: reading it would never end.
    const ct::AttributedString device = import("<link type=\"text/css\" href=\"file:///dev/zero\"><p>x</p>", base);
    EXPECT_EQ(device.string(), "x\n");
    EXPECT_EQ(messages.size(), 2u);
}

TEST(RTHTMLAttributedStringBuilderTests, FlushCallbackSeesBlocksAndItsExceptionsReachTheCaller) {
    // The queues hand over synchronously: the callback runs on the caller's thread.
    std::vector<std::string> flushed;
    std::vector<std::thread::id> threads;
    const ns::Dictionary watching{{std::string(RTWillFlushBlockCallBack),
                                   ns::Value(std::make_shared<RTWillFlushBlock>([&](const std::shared_ptr<RTHTMLElement>& element) {
                                       flushed.push_back(element->name());
                                       threads.push_back(std::this_thread::get_id());
                                   }))}};
    EXPECT_EQ(text("<p>a</p><div>b</div>", watching), "a\nb\n");
    EXPECT_EQ(flushed, (std::vector<std::string>{"p", "div"}));
    EXPECT_EQ(threads, std::vector<std::thread::id>(2, std::this_thread::get_id()));

    const ns::Dictionary throwing{{std::string(RTWillFlushBlockCallBack),
                                   ns::Value(std::make_shared<RTWillFlushBlock>([](const std::shared_ptr<RTHTMLElement>&) {
                                       throw std::runtime_error("stop");
                                   }))}};
    EXPECT_THROW(initWithHTMLData(ns::Data(std::string_view("<p>a</p><p>b</p>")), throwing), std::runtime_error);

    auto builder = std::make_shared<RTHTMLAttributedStringBuilder>(ns::Data(std::string_view("<p>a</p>")), ns::Dictionary());
    builder->setWillFlushCallback([](const std::shared_ptr<RTHTMLElement>&) { throw std::runtime_error("stop"); });
    EXPECT_THROW(builder->generatedAttributedString(), std::runtime_error);
    // The partial text is never handed out as a result.
    EXPECT_THROW(builder->generatedAttributedString(), std::runtime_error);

    // Flushed blocks drop their subtrees unless the tree is to be kept.
    for (const bool keep : {false, true}) {
        auto builder = std::make_shared<RTHTMLAttributedStringBuilder>(ns::Data(std::string_view("<div><b>a</b></div>")), ns::Dictionary());
        std::shared_ptr<RTHTMLElement> div;
        builder->setWillFlushCallback([&](const std::shared_ptr<RTHTMLElement>& element) { div = element; });
        builder->setShouldKeepDocumentNodeTree(keep);
        ASSERT_TRUE(builder->generatedAttributedString());
        ASSERT_TRUE(div);
        EXPECT_EQ(div->childCount(), keep ? 1u : 0u);
        EXPECT_TRUE(div->didOutput());
    }

    // The text is built once: a second call answers the same object without building (or flushing) again.
    auto once = std::make_shared<RTHTMLAttributedStringBuilder>(ns::Data(std::string_view("<p>a</p>")), ns::Dictionary());
    int flushes = 0;
    once->setWillFlushCallback([&](const std::shared_ptr<RTHTMLElement>&) { ++flushes; });
    const std::shared_ptr<ct::AttributedString> first = once->generatedAttributedString();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->string(), "a\n");
    EXPECT_EQ(flushes, 1);
    EXPECT_EQ(once->generatedAttributedString().get(), first.get());
    EXPECT_EQ(flushes, 1);
}

// Every element writes its text at the end of its parent's text, in place: what comes before stays as it
// was, and what it writes is its own text, as if nothing came before (white space trimmed, a paragraph's
// spacing raised, a link's highlight and custom attributes set on its part alone).
TEST(RTHTMLAttributedStringBuilderTests, EveryElementWritesItsTextInPlaceAsItsOwnTextReads) {
    const std::string_view html =
        "<ol><li>one <a href=\"x\"> two </a></li><li><p style=\"margin-bottom: 12px\">three</p></li></ol>"
        "<div>   </div><p style=\"margin-bottom: 20px\"><span>in</span><div> block </div></p><hr>"
        "<p>a<br>b <img src=\"x.png\" width=\"3\" height=\"4\"></p><div data-x=\"1\" class=\"c\"> custom</div>";
    auto builder = std::make_shared<RTHTMLAttributedStringBuilder>(
        ns::Data(html), ns::Dictionary{{std::string(RTProcessCustomHTMLAttributes), ns::Value(true)}});
    builder->setShouldKeepDocumentNodeTree(true);
    std::vector<std::shared_ptr<RTHTMLElement>> flushed;
    builder->setWillFlushCallback([&](const std::shared_ptr<RTHTMLElement>& element) { flushed.push_back(element); });
    ASSERT_TRUE(builder->generatedAttributedString());
    ASSERT_FALSE(flushed.empty());

    std::vector<RTHTMLElement*> elements;
    const auto collect = [&elements](const auto& self, RTHTMLElement& element) -> void {
        elements.push_back(&element);
        for (const auto& child : element.children())
            if (child->isElement()) self(self, static_cast<RTHTMLElement&>(*child));
    };
    for (const auto& element : flushed) {
        element->setDidOutput(false);
        collect(collect, *element);
    }
    std::size_t highlighted = 0;
    for (RTHTMLElement* element : elements) {
        if (auto* anchor = dynamic_cast<RTAnchorHTMLElement*>(element)) {
            anchor->setHighlightedTextColor(ui::Color::redColor());
            ++highlighted;
        }
    }
    EXPECT_EQ(highlighted, 1u);

    std::size_t written = 0;
    for (RTHTMLElement* element : elements) {
        SCOPED_TRACE(element->name());
        const std::optional<ct::AttributedString> own = element->attributedString();
        // Ends in white space and no paragraph, in attributes of its own.
        ct::AttributedString text(" before ", ns::Dictionary{{"k", ns::Value(1)}});
        const ct::AttributedString before = text;
        const bool wrote = element->appendAttributedStringTo(text);
        ASSERT_EQ(wrote, own.has_value());
        EXPECT_EQ(text.attributedSubstringFromRange({0, before.length()}), before);
        if (!own) continue;
        ++written;
        // An attachment's run delegate is made afresh for each text.
        const auto withoutRunDelegates = [](ct::AttributedString string) {
            string.removeAttribute(ct::RunDelegateAttributeName, {0, string.length()});
            return string;
        };
        EXPECT_EQ(withoutRunDelegates(text.attributedSubstringFromRange({before.length(), text.length() - before.length()})),
                  withoutRunDelegates(*own))
            << text.string() << " / " << own->string();
    }
    EXPECT_GE(written, 15u);
}

TEST(RTHTMLAttributedStringBuilderTests, AnEndTagClosesItsElementWithTheOnesInsideOrNothing) {
    EXPECT_EQ(text("<p>a</div>b</p></span>"), "ab\n");
    // Closing the block closes the span open inside it: what follows has neither's style.
    const ct::AttributedString result = import("<div><span style=\"font-size:30px\">a</div>b");
    EXPECT_EQ(result.string(), "a\nb");
    EXPECT_DOUBLE_EQ(fontAt(result, 0).pointSize(), 30);
    EXPECT_DOUBLE_EQ(fontAt(result, 2).pointSize(), 12);
}

TEST(RTHTMLAttributedStringBuilderTests, MisnestedFormattingShowsAsInABrowser) {
    // Bold and italic by character, as a browser shows them.
    const auto traits = [](std::string_view html) {
        const ct::AttributedString result = import(html);
        std::string shown;
        for (std::uint64_t at = 0; at < result.length(); ++at) {
            const char16_t c = result.u16string()[at];
            if (c == u'\n' || c == u' ') {
                shown += c == u'\n' ? '|' : ' ';
                continue;
            }
            const std::uint32_t symbolic = fontAt(result, at).symbolicTraits();
            shown += (symbolic & ct::FontBoldTrait) ? ((symbolic & ct::FontItalicTrait) ? 'X' : 'B') : (symbolic & ct::FontItalicTrait) ? 'I' : '.';
        }
        return shown;
    };
    EXPECT_EQ(traits("<b>a <i>b</b> c</i>"), "B X I");
    EXPECT_EQ(traits("<div>x <b>y</div><p>z"), ". B|B|");
    EXPECT_EQ(traits("<b><p>t</p></b>"), "B|");
    EXPECT_EQ(traits("<div>a</p>b</div>"), ".|.|");
    EXPECT_EQ(text("<div>a</p>b</div>"), "a\nb\n");
    // White space between a formatting element and a block is no line of its own.
    EXPECT_EQ(traits("<b>\n<p>t</p>\n</b>u"), "B|.");
    EXPECT_EQ(traits("<font color=red><b>a<div>b</b>c</div></font>"), "B|B.|");
}

TEST(RTHTMLAttributedStringBuilderTests, DeepDocumentsAreBuiltWithoutDeepRecursion) {
    std::string deep;
    for (int i = 0; i < 20000; ++i) deep += "<div><span>";
    deep += "core";
    EXPECT_EQ(text(deep), "core\n");
}

TEST(RTHTMLAttributedStringBuilderTests, ImportedTextWritesBackAsCSS) {
    const ct::AttributedString result =
        import("<h2 style=\"text-align:center; font-family:Helvetica\">T</h2><p style=\"color:rgb(255,0,0)\">r</p>");
    const RichTextFontDescriptor title(fontAt(result, 0));
    EXPECT_EQ(title.cssStyleRepresentation(), "font-family:'Helvetica';font-size:18px;font-weight:bold;");
    auto style = result.attributeAtIndex(ct::ParagraphStyleAttributeName, 0).asObject<ct::ParagraphStyleObject>();
    const auto paragraph = RichTextParagraphStyle::paragraphStyleWithNSParagraphStyle(style.get());
    ASSERT_TRUE(paragraph->cssStyleRepresentation());
    EXPECT_NE(paragraph->cssStyleRepresentation()->find("text-align:center;"), std::string::npos);
    EXPECT_EQ(colorAt(result, indexOf(result, u"r")), "ff0000");
}

TEST(RTHTMLAttributedStringBuilderTests, TheViewLayerFlagIsSetOnlyWhenAsked) {
    RTHTMLElement::setUsesUIKitAttributes(false);
    text("<p>x</p>", {{std::string(RTUseiOS6Attributes), ns::Value(true)}});
    EXPECT_TRUE(RTHTMLElement::usesUIKitAttributes());
    text("<p>x</p>");
    EXPECT_TRUE(RTHTMLElement::usesUIKitAttributes());
    RTHTMLElement::setUsesUIKitAttributes(false);
}

}  // namespace
TEST(RTHTMLAttributedStringBuilderTests, ItemsOfOneStyleShareTheirAttributes) {
    const ct::AttributedString result = import("<ol><li>a</li><li>b</li><li>c</li></ol><ol><li>x</li><li>y</li></ol><p>end</p>");
    ASSERT_EQ(result.string(), "\t1.\ta\n\t2.\tb\n\t3.\tc\n\t1.\tx\n\t2.\ty\nend\n");
    const auto at = [&](std::u16string_view text) { return &result.attributesAtIndex(indexOf(result, text)); };
    // The items' texts and markers share their dictionaries; the marker's is its own.
    EXPECT_EQ(at(u"a"), at(u"b"));
    EXPECT_EQ(at(u"1."), at(u"2."));
    EXPECT_NE(at(u"1."), at(u"a"));
    EXPECT_EQ(result.attributeAtIndex(RTFieldAttribute, indexOf(result, u"2.")).stringValue(), RTListPrefixField);
    // Another list is another numbering, so its items have attributes of their own.
    EXPECT_NE(at(u"x"), at(u"a"));
    EXPECT_EQ(result.attributeAtIndex(RTTextListsAttribute, indexOf(result, u"x")).asArray()->size(), 1u);
}

namespace {

// Each expectation below is read off a browser's computed style for the same input, its default of 16 pixels
// being the import's 12 points: sizes in pixels are the same numbers here, "em" sizes three quarters of them.
TEST(RTHTMLAttributedStringBuilderTests, MarkupOfPastedPagesShowsAsInABrowser) {
    EXPECT_EQ(text("<p>before<![CDATA[cdata text]]>after</p><p>a<![if !supportLists]>b<![endif]>c<!x>d</p>"), "beforeafter\nabcd\n");
    // The first rule after "<!--" and the rule before "-->" both apply.
    const ct::AttributedString styled =
        import("<style><!--\n/* c */ p.m {font-size:20px}\n p.n {font-size:10px}\n--></style><p class=m>x</p><p class=n>y</p>");
    EXPECT_DOUBLE_EQ(fontAt(styled, indexOf(styled, u"x")).pointSize(), 20);
    EXPECT_DOUBLE_EQ(fontAt(styled, indexOf(styled, u"y")).pointSize(), 10);
    EXPECT_EQ(text("<p>end</br>slash-br</p>"), "end\u2028slash-br\n");
    // A paragraph inside a heading: the heading's size and weight, the paragraph's margins of 1em of it.
    const ct::AttributedString heading = import("<h2><p>Chapter Two</p></h2><p>after</p>");
    EXPECT_DOUBLE_EQ(fontAt(heading, 0).pointSize(), 18);
    EXPECT_TRUE(fontAt(heading, 0).symbolicTraits() & ct::FontBoldTrait);
    EXPECT_DOUBLE_EQ(paragraphAt(heading, 0).paragraphSpacing, 18);
    EXPECT_DOUBLE_EQ(fontAt(heading, indexOf(heading, u"after")).pointSize(), 12);
}

TEST(RTHTMLAttributedStringBuilderTests, FontNamesResolveToTheClosestInstalledFamily) {
    // The installed family fontconfig's matching picks for each name (as fc-match does with the fonts setup
    // installs; Chinese faces matched for Chinese text), whether named by a font element or a style.
    const std::pair<std::string, std::string> expected[] = {
        {"Courier New", "DejaVu Sans Mono"}, {"Times New Roman", "Times New Roman"}, {"Georgia", "DejaVu Serif"},         {"SimSun", "WenQuanYi Micro Hei"},       {"宋体", "WenQuanYi Micro Hei"},
        {"Microsoft YaHei", "WenQuanYi Micro Hei"}, {"微软雅黑", "WenQuanYi Micro Hei"}, {"KaiTi", "WenQuanYi Micro Hei"},
        {"楷体", "WenQuanYi Micro Hei"},     {"SimHei", "WenQuanYi Micro Hei"},       {"黑体", "WenQuanYi Micro Hei"},
    };
    for (const auto& [name, family] : expected) {
        SCOPED_TRACE(name);
        EXPECT_EQ(fontAt(import("<font face=\"" + name + "\">x</font>"), 0).familyName(), family);
        EXPECT_EQ(fontAt(import("<span style=\"font-family:'" + name + "'\">x</span>"), 0).familyName(), family);
    }
    // A style's family goes by the app's list of override names first (Arial is drawn as Helvetica), a font
    // element's face by fontconfig.
    EXPECT_EQ(fontAt(import("<font face=\"Arial\">x</font>"), 0).familyName(), "DejaVu Sans");
    EXPECT_EQ(fontAt(import("<span style=\"font-family:Arial\">x</span>"), 0).familyName(), "Helvetica");
    // The generic families, and names fontconfig has no rule for: a font element gets its pick, a style the
    // fallback family.
    EXPECT_EQ(fontAt(import("<span style=\"font-family:monospace\">x</span>"), 0).familyName(), "Courier");
    EXPECT_EQ(fontAt(import("<span style=\"font-family:serif\">x</span>"), 0).familyName(), "Times New Roman");
    EXPECT_EQ(fontAt(import("<span style=\"font-family:sans-serif\">x</span>"), 0).familyName(), "Helvetica");
    EXPECT_EQ(fontAt(import("<font face=\"Verdana\">x</font>"), 0).familyName(), "DejaVu Sans");
    EXPECT_EQ(fontAt(import("<span style=\"font-family:Verdana\">x</span>"), 0).familyName(), "Times New Roman");
    // Bold and italic carry over to the family picked.
    const ct::Font code = fontAt(import("<b><i><span style=\"font-family:'Courier New'\">x</span></i></b>"), 0);
    EXPECT_EQ(code.familyName(), "DejaVu Sans Mono");
    EXPECT_TRUE(code.symbolicTraits() & ct::FontBoldTrait);
    EXPECT_TRUE(code.symbolicTraits() & ct::FontItalicTrait);
}

// A word processor's "web page": its conditional comments, a style sheet inside comment markers with its own
// at-rules and "mso-" properties, list markers kept for browsers between "<![if !supportLists]>" and
// "<![endif]>", "o:p" elements, and faces named in English and in Chinese.
TEST(RTHTMLAttributedStringBuilderTests, AWordProcessorsWebPageShowsAsInABrowser) {
    std::ifstream file(std::string(QL_RICHTEXT_DOCUMENTS) + "/word-export.html", std::ios::binary);
    ASSERT_TRUE(file);
    const std::string html{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    const ct::AttributedString result = import(html);
    const std::string shown = result.string();
    for (const std::string_view hidden : {"<!", "Teacher", "mso", "if !supportLists", "endif"})
        EXPECT_EQ(shown.find(hidden), std::string::npos) << hidden << " in " << shown;

    // Each word: size, bold, family, and the space after its paragraph, as the browser computes them.
    struct Expected {
        std::u16string word;
        double size;
        bool bold;
        std::string family;
        double spacingAfter;
    };
    const Expected expected[] = {
        {u"Chapter Two", 18, true, "Helvetica", 6},
        {u"The river rose in spring.", 16, false, "Times New Roman", 0},
        {u"1.", 16, false, "Times New Roman", 0},
        {u"First point", 16, false, "Times New Roman", 0},
        {u"print(word)", 16, true, "DejaVu Sans Mono", 0},
        {u"春天来了。", 16, false, "WenQuanYi Micro Hei", 0},
    };
    for (const Expected& want : expected) {
        SCOPED_TRACE(std::string(want.word.begin(), want.word.end()));
        const std::uint64_t at = indexOf(result, want.word);
        const ct::Font font = fontAt(result, at);
        EXPECT_DOUBLE_EQ(font.pointSize(), want.size);
        EXPECT_EQ((font.symbolicTraits() & ct::FontBoldTrait) != 0, want.bold);
        EXPECT_EQ(font.familyName(), want.family);
        EXPECT_NEAR(paragraphAt(result, at).paragraphSpacing, want.spacingAfter, 1e-3);  // points read as 4/3 pixels
    }
}

// Between ordinary paragraphs, each kind of markup a browser reads otherwise than as tags: empty comments, end
// tags without a name, an old page's script that writes a script, xmp, a textarea, a title in a paragraph,
// frames, CDATA inside SVG and MathML and outside them, and plaintext to the end. The text and fonts are the
// ones the browser shows: its blank lines between paragraphs are single line ends here, the iframe's box an
// attachment, and the SVG's and MathML's text runs in line with the paragraph.
TEST(RTHTMLAttributedStringBuilderTests, MarkupABrowserReadsAsTextShowsAsInABrowser) {
    std::ifstream file(std::string(QL_RICHTEXT_DOCUMENTS) + "/markup-read-as-text.html", std::ios::binary);
    ASSERT_TRUE(file);
    const std::string html{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    const ct::AttributedString result = import(html);
    EXPECT_EQ(result.string(),
              "Before the comments.\nab\nBetween the comments.\ncd\nAfter the comments.\none two three four five\n"
              "After the end tags.\nAfter the script.\n<b>Bold?</b> &amp; <i>no</i>\nAfter the xmp.\nType <b>x</b> < y here.\n"
              "After the textarea.\nA title in a paragraph.\nFrames \uFFFC end.\nAfter the frames.\nShape x < y & z and n<m end.\n"
              "Outside end.\nBefore the plain text.\n<p>Shown as written & so on</p>\n");
    // Monospace text in xmp and plaintext, the default font elsewhere. A textarea's text takes the font around
    // it, bold inside a b: the default style sheet keeps to its rules, none of which is a textarea's (a browser
    // draws one in a monospace font of normal weight).
    const std::tuple<std::u16string, std::string, bool> families[] = {
        {u"<b>Bold?</b>", "Courier", false},     {u"<b>x</b> < y", "Times New Roman", true}, {u"<p>Shown", "Courier", false},
        {u"Type", "Times New Roman", false},     {u"x < y & z", "Times New Roman", false},  {u"After the xmp.", "Times New Roman", false},
    };
    for (const auto& [words, family, bold] : families) {
        SCOPED_TRACE(family);
        const ct::Font font = fontAt(result, indexOf(result, words));
        EXPECT_EQ(font.familyName(), family);
        EXPECT_EQ((font.symbolicTraits() & ct::FontBoldTrait) != 0, bold);
    }
}

// What a browser shows of documents that begin with an end tag, or with a style sheet, a script or a title
// followed by elements the reader kept in the head.
TEST(RTHTMLAttributedStringBuilderTests, TheStartOfADocumentShowsAsInABrowser) {
    EXPECT_EQ(text("</div>x<p>y</p>"), "x\ny\n");
    EXPECT_EQ(text("<style>p{}</style><ruby>汉<rt>hàn</rt></ruby>字<p>y</p>"), "汉hàn字\ny\n");
    EXPECT_EQ(text("<script>v</script><svg><text>s</text></svg><p>y</p>"), "s\ny\n");
    EXPECT_EQ(text("<meta charset=utf-8><label>l</label> <button>b</button><custom-x>c</custom-x>"), "l bc");
    EXPECT_EQ(text("<html><head><title>T</title></head><p>x</p>"), "x\n");
}

}  // namespace
