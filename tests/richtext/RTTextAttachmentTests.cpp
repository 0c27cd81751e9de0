#include <gtest/gtest.h>

#include <algorithm>

#include "platform/foundation/Exception.h"
#include "platform/foundation/URL.h"
#include "platform/text/Font.h"
#include "platform/ui/GeometryValue.h"
#include "richtext/NSStringCSS.h"
#include "richtext/RTHTMLOptions.h"
#include "richtext/RTHTMLParserNode.h"
#include "richtext/RTTextAttachment.h"
#include "richtext/RTTextAttachmentRunDelegate.h"
#include "richtext/RTTextBlock.h"
#include "richtext/UIFontRichText.h"

using namespace ql;

namespace {

class RTMathTextAttachment final : public RTTextAttachment {
    QL_OBJECT(RTMathTextAttachment, RTTextAttachment)
};

ns::Dictionary options(std::optional<cg::Size> maximum = std::nullopt) {
    ns::Dictionary options;
    options.set(std::string(NSBaseURLDocumentOption), ns::URL::fromString("https://example.com/q/7/index.html")->boxed());
    if (maximum) options.set(std::string(RTMaxImageSize), ui::GeometryValue::valueWithCGSize(*maximum));
    return options;
}

TEST(RTTextAttachmentTests, RegistryByTagName) {
    EXPECT_EQ(RTTextAttachment::registeredClassForTagName("img"), &RTTextAttachment::classObject());
    EXPECT_EQ(RTTextAttachment::registeredClassForTagName("iframe"), &RTTextAttachment::classObject());
    EXPECT_EQ(RTTextAttachment::registeredClassForTagName("object"), &RTObjectTextAttachment::classObject());
    EXPECT_EQ(RTTextAttachment::registeredClassForTagName("video"), &RTVideoTextAttachment::classObject());
    EXPECT_EQ(RTTextAttachment::registeredClassForTagName("IMG"), nullptr);
    EXPECT_EQ(RTTextAttachment::registeredClassForTagName("p"), nullptr);
    // Tags of an attachment tag's length that are none.
    for (const char* tag : {"", "map", "table", "strong", "imgs", "videos"})
        EXPECT_EQ(RTTextAttachment::registeredClassForTagName(tag), nullptr) << tag;
    EXPECT_EQ(RTTextAttachment::textAttachmentWithElement("p", {}, {}), nullptr);

    RTTextAttachment::registerClassForTagName(RTMathTextAttachment::classObject(), "math");
    auto math = RTTextAttachment::textAttachmentWithElement("math", {{"src", ns::Value("m.svg")}}, options());
    ASSERT_TRUE(std::dynamic_pointer_cast<RTMathTextAttachment>(math));
    EXPECT_EQ(math->contentURL()->absoluteString(), "https://example.com/q/7/m.svg");
    // Once the registry has changed, the defaults are still answered, and a default can be replaced.
    EXPECT_EQ(RTTextAttachment::registeredClassForTagName("object"), &RTObjectTextAttachment::classObject());
    EXPECT_EQ(RTTextAttachment::registeredClassForTagName("p"), nullptr);
    RTTextAttachment::registerClassForTagName(RTMathTextAttachment::classObject(), "iframe");
    EXPECT_EQ(RTTextAttachment::registeredClassForTagName("iframe"), &RTMathTextAttachment::classObject());
    RTTextAttachment::registerClassForTagName(RTTextAttachment::classObject(), "iframe");
    EXPECT_THROW(RTTextAttachment::registerClassForTagName(RTTextBlock::classObject(), "block"), ns::Exception);
}

TEST(RTTextAttachmentTests, ContentAndSizeFromTheElement) {
    auto image = RTTextAttachment::textAttachmentWithElement(
        "img", {{"src", ns::Value(" pics/a b.png ")}, {"width", ns::Value("400px")}, {"height", ns::Value("300")}},
        options(cg::Size{200, 200}));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->contentURL()->absoluteString(), "https://example.com/q/7/pics/a%20b.png");
    EXPECT_EQ(image->originalSize(), cg::Size(400, 300));
    EXPECT_EQ(image->displaySize(), cg::Size(200, 150));
    EXPECT_EQ(image->attributes()["width"].asString(), "400px");

    // Within the maximum nothing changes; an unknown side is capped alone; junk sizes are 0.
    auto small = RTTextAttachment::textAttachmentWithElement("img", {{"width", ns::Value("20")}}, options(cg::Size{10, 10}));
    EXPECT_EQ(small->displaySize(), cg::Size(10, 0));
    auto junk = RTTextAttachment::textAttachmentWithElement("img", {{"width", ns::Value("-5")}, {"height", ns::Value("abc")}},
                                                            options());
    EXPECT_EQ(junk->displaySize(), cg::Size(0, 0));
    EXPECT_FALSE(junk->contentURL());
    // Whole numbers read as any length does, the long and the padded ones too.
    for (const char* size : {"0", "007", "123456789", "1234567890", " 12", "12 ", "12.5", "3em", "+4"}) {
        auto sized = RTTextAttachment::textAttachmentWithElement("img", {{"width", ns::Value(size)}}, options());
        EXPECT_EQ(sized->originalSize().width, std::max(0.0, pixelSizeOfCSSMeasure(size, 0, 1))) << size;
    }
    EXPECT_EQ(RTTextAttachment::textAttachmentWithElement("img", {{"width", ns::Value("123456789")}}, options())->originalSize().width,
              123456789);

    auto object = RTTextAttachment::textAttachmentWithElement("object", {{"data", ns::Value("/movie.swf")}}, options());
    EXPECT_EQ(object->contentURL()->absoluteString(), "https://example.com/movie.swf");
    auto node = std::make_shared<RTHTMLParserNode>("param", ns::Dictionary{});
    std::static_pointer_cast<RTObjectTextAttachment>(object)->setChildNodes(RTObjectTextAttachment::NodeList{node});
    EXPECT_EQ(std::static_pointer_cast<RTObjectTextAttachment>(object)->childNodes()->front(), node);
    auto data = RTTextAttachment::textAttachmentWithElement("img", {{"src", ns::Value("data:image/png;base64,iVBO")}}, {});
    EXPECT_EQ(data->contentURL()->scheme(), "data");
}

// The source and sizes are found among any number of other attributes, and only under their own names.
TEST(RTTextAttachmentTests, SourceAndSizesAmongOtherAttributes) {
    ns::Dictionary attributes;
    for (const char* name : {"alt", "class", "data-src", "heights", "id", "loading", "srcset", "style", "title", "w"})
        attributes.set(name, ns::Value("9"));
    attributes.set("src", ns::Value("a.png"));
    attributes.set("width", ns::Value("40"));
    attributes.set("height", ns::Value("30"));
    auto image = RTTextAttachment::textAttachmentWithElement("img", attributes, options());
    EXPECT_EQ(image->contentURL()->absoluteString(), "https://example.com/q/7/a.png");
    EXPECT_EQ(image->originalSize(), cg::Size(40, 30));
    EXPECT_EQ(image->attributes(), attributes);

    // An object's content is its "data"; its "src" is only an attribute.
    attributes.set("data", ns::Value("b.swf"));
    auto object = RTTextAttachment::textAttachmentWithElement("object", attributes, options());
    EXPECT_EQ(object->contentURL()->absoluteString(), "https://example.com/q/7/b.swf");
    attributes.erase("data");
    EXPECT_FALSE(RTTextAttachment::textAttachmentWithElement("object", attributes, options())->contentURL());
}

// White space of any kind around a source is dropped, whatever the text's characters; a number names a file.
TEST(RTTextAttachmentTests, ContentURLWithoutTheBlanksAround) {
    const std::pair<ns::Value, const char*> sources[] = {
        {ns::Value("a.png"), "https://example.com/q/7/a.png"},
        {ns::Value("\ta.png\n"), "https://example.com/q/7/a.png"},
        {ns::Value("a.png\u00a0"), "https://example.com/q/7/a.png"},
        {ns::Value("\u3000a.png"), "https://example.com/q/7/a.png"},
        {ns::Value("img/\u00fc.png"), "https://example.com/q/7/img/%C3%BC.png"},
        {ns::Value("\u00fc"), "https://example.com/q/7/%C3%BC"},
        {ns::Value("\x01" "a"), "https://example.com/q/7/%01a"},
        {ns::Value(std::int64_t{5}), "https://example.com/q/7/5"},
    };
    for (const auto& [source, expected] : sources) {
        auto image = RTTextAttachment::textAttachmentWithElement("img", {{"src", source}}, options());
        ASSERT_TRUE(image->contentURL()) << source.description();
        EXPECT_EQ(image->contentURL()->absoluteString(), expected) << source.description();
    }
    for (const char* blank : {"", " ", "\u00a0\n"})
        EXPECT_FALSE(RTTextAttachment::textAttachmentWithElement("img", {{"src", ns::Value(blank)}}, options())->contentURL());
}

TEST(RTTextAttachmentTests, VerticalAlignmentAndRunDelegate) {
    auto attachment = std::make_shared<RTTextAttachment>();
    attachment->setDisplaySize(30, 40);
    const ct::Font font = ct::Font::withName("Helvetica", 20);
    attachment->adjustVerticalAlignmentForFont(font);
    auto delegate = RTTextAttachmentRunDelegateCreate(attachment);
    ASSERT_NE(delegate, nullptr);
    EXPECT_EQ(RTTextAttachmentRunDelegateCreate(nullptr), nullptr);

    EXPECT_DOUBLE_EQ(delegate->width(), 30);
    EXPECT_DOUBLE_EQ(delegate->ascent(), 40);  // baseline
    EXPECT_DOUBLE_EQ(delegate->descent(), 0);

    attachment->setVerticalAlignment(1);  // top: the top at the font's ascent
    EXPECT_DOUBLE_EQ(delegate->ascent(), font.ascent());
    EXPECT_DOUBLE_EQ(delegate->descent(), 40 - font.ascent());
    attachment->setVerticalAlignment(3);  // bottom: the bottom at the font's descent
    EXPECT_DOUBLE_EQ(delegate->descent(), font.descent());
    attachment->setVerticalAlignment(2);  // centre on the middle of the font
    EXPECT_DOUBLE_EQ(delegate->ascent() - 20, (font.ascent() - font.descent()) / 2);
    EXPECT_DOUBLE_EQ(delegate->ascent() + delegate->descent(), 40);
    attachment->setVerticalAlignment(9);
    EXPECT_EQ(attachment->verticalAlignment(), RTTextAttachmentVerticalAlignment::Baseline);
    // A size set later still counts, and a tiny attachment never reports negative room.
    attachment->setVerticalAlignment(1);
    attachment->setDisplaySize(5, 2);
    EXPECT_DOUBLE_EQ(delegate->width(), 5);
    EXPECT_GE(delegate->descent(), 0);
    EXPECT_DOUBLE_EQ(delegate->ascent() + delegate->descent(), 2);
    // The delegate keeps the attachment its callbacks read after everyone else has let go of it.
    {
        auto kept = std::make_shared<RTTextAttachment>();
        kept->setDisplaySize(7, 9);
        const std::weak_ptr<RTTextAttachment> watched = kept;
        auto alone = RTTextAttachmentRunDelegateCreate(kept);
        kept.reset();
        EXPECT_FALSE(watched.expired());
        EXPECT_DOUBLE_EQ(alone->width(), 7);
        EXPECT_DOUBLE_EQ(alone->ascent(), 9);
        EXPECT_DOUBLE_EQ(alone->descent(), 0);
        alone.reset();
        EXPECT_TRUE(watched.expired());
    }

    attachment->setHyperLinkGUID("G");
    attachment->setHyperLinkURL(ns::URL::fromString("https://example.com/"));
    EXPECT_EQ(attachment->hyperLinkGUID(), "G");
    EXPECT_EQ(attachment->hyperLinkURL()->absoluteString(), "https://example.com/");

    const auto uiFont = fontWithCTFont(font);
    EXPECT_EQ(uiFont->fontName(), font.fontName());
    EXPECT_DOUBLE_EQ(uiFont->pointSize(), 20);
}

TEST(RTTextAttachmentTests, TextBlocksCompareByPaddingAndColour) {
    RTTextBlock a, b;
    EXPECT_TRUE(a.isEqual(b));
    EXPECT_EQ(a.hash(), b.hash());
    a.setPadding({1, 2, 3, 4});
    EXPECT_FALSE(a.isEqual(b));
    b.setPadding({1, 2, 3, 4});
    a.setBackgroundColor(ui::Color::colorWithRed(1, 0, 0, 1));
    EXPECT_FALSE(a.isEqual(b));
    EXPECT_FALSE(b.isEqual(a));
    b.setBackgroundColor(ui::Color::colorWithRed(1, 0, 0, 1));
    EXPECT_TRUE(a.isEqual(b));
    EXPECT_EQ(a.hash(), b.hash());
    b.setBackgroundColor(ui::Color::colorWithRed(0, 0, 1, 1));
    EXPECT_FALSE(a.isEqual(b));
}

TEST(RTTextAttachmentTests, ParserNodesKeepTheirChildren) {
    auto root = std::make_shared<RTHTMLParserNode>("div", ns::Dictionary{{"id", ns::Value("r")}});
    EXPECT_EQ(root->attributeForKey("id"), "r");
    EXPECT_EQ(root->attributeForKey("class"), std::nullopt);
    EXPECT_FALSE(root->childNodes());
    auto text = std::make_shared<RTHTMLParserTextNode>("p { color: red }");
    auto child = std::make_shared<RTHTMLParserNode>("p", ns::Dictionary{});
    root->addChildNode(text);
    root->addChildNode(child);
    EXPECT_EQ(text->name(), "#TEXT#");
    EXPECT_EQ(text->characters(), "p { color: red }");
    EXPECT_EQ(child->parentNode(), root);
    EXPECT_EQ(root->childCount(), 2u);
    EXPECT_EQ(root->lastChild(), child);
    root->removeChildNode(text);
    EXPECT_EQ(text->parentNode(), nullptr);
    EXPECT_EQ(*root->childNodes(), RTHTMLParserNode::NodeList{child});
    root->removeAllChildNodes();
    EXPECT_EQ(root->childCount(), 0u);
    EXPECT_EQ(child->parentNode(), nullptr);

    // A very deep tree is let go without deep recursion.
    auto top = std::make_shared<RTHTMLParserNode>("html", ns::Dictionary{});
    auto at = top;
    for (int i = 0; i < 200000; ++i) {
        auto next = std::make_shared<RTHTMLParserNode>("span", ns::Dictionary{});
        at->addChildNode(next);
        at = next;
    }
    at.reset();
    top.reset();
    SUCCEED();
}

}  // namespace
