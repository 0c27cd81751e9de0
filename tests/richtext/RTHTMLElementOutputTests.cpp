#include <gtest/gtest.h>

#include "platform/text/AttributeNames.h"
#include "platform/text/ParagraphStyleObject.h"
#include "platform/text/Shadow.h"
#include "richtext/NSAttributedStringHTML.h"
#include "richtext/NSCharacterSetHTML.h"
#include "richtext/NSMutableAttributedStringHTML.h"
#include "richtext/NSStringCSS.h"
#include "richtext/RTAttributeNames.h"
#include "richtext/RTHTMLColors.h"
#include "richtext/RTHTMLElement.h"
#include "richtext/RTSimpleHTMLElements.h"
#include "richtext/RTStylesheetHTMLElement.h"
#include "richtext/RTTextAttachmentHTMLElement.h"
#include "richtext/RTTextHTMLElement.h"
#include "richtext/RTHTMLOptions.h"
#include "platform/ui/Color.h"
#include "platform/ui/GeometryValue.h"

using namespace ql;

namespace {

std::shared_ptr<RTHTMLElement> add(const std::shared_ptr<RTHTMLElement>& parent, std::shared_ptr<RTHTMLElement> child,
                                   RTHTMLElementDisplayStyle display = RTHTMLElementDisplayStyle::Inline) {
    if (parent) {
        parent->addChildNode(child);
        child->inheritAttributesFromElement(*parent);
    } else {
        child->setFontDescriptor(std::make_shared<RichTextFontDescriptor>());
        child->setParagraphStyle(std::make_shared<RichTextParagraphStyle>());
        child->setTextScale(1);
    }
    child->setDisplayStyle(display);
    return child;
}

std::shared_ptr<RTHTMLElement> element(const std::shared_ptr<RTHTMLElement>& parent, std::string_view name,
                                       RTHTMLElementDisplayStyle display = RTHTMLElementDisplayStyle::Inline,
                                       ns::Dictionary attributes = {}) {
    return add(parent, std::make_shared<RTHTMLElement>(name, attributes), display);
}

std::shared_ptr<RTHTMLElement> text(const std::shared_ptr<RTHTMLElement>& parent, std::string_view characters) {
    return add(parent, std::make_shared<RTTextHTMLElement>(std::string(characters)));
}

// A text that takes its parent's style as the tree's texts do.
std::shared_ptr<RTTextHTMLElement> sharingText(const std::shared_ptr<RTHTMLElement>& parent, std::string_view characters) {
    auto node = std::make_shared<RTTextHTMLElement>(std::string(characters));
    parent->addChildNode(node);
    node->inheritStyleOfParent(*parent);
    return node;
}

std::string output(const std::shared_ptr<RTHTMLElement>& element) {
    const auto text = element->attributedString();
    return text ? text->string() : "<nil>";
}

TEST(RTHTMLElementOutputTests, JoinsChildrenAndEndsBlocks) {
    const auto body = element(nullptr, "body", RTHTMLElementDisplayStyle::Block);
    const auto span = element(body, "span");
    text(span, "one  ");
    const auto hidden = element(body, "span", RTHTMLElementDisplayStyle::None);
    text(hidden, "never");
    const auto div = element(body, "div", RTHTMLElementDisplayStyle::Block);
    text(div, " two");
    const auto after = element(body, "span");
    text(after, " three ");
    const auto apple = element(body, "span");
    apple->setContainsAppleConvertedSpace(true);
    text(apple, " four");
    EXPECT_EQ(output(hidden), "<nil>");
    EXPECT_EQ(output(body), "one\ntwo\nthree  four");

    const auto emptyBlock = element(body, "p", RTHTMLElementDisplayStyle::Block);
    EXPECT_EQ(output(emptyBlock), "\n");
    EXPECT_TRUE(emptyBlock->attributedString()->attributeAtIndex(ct::FontAttributeName, 0).asObject());
    EXPECT_EQ(output(element(nullptr, "body", RTHTMLElementDisplayStyle::Block)), "");
    const auto ended = element(body, "p", RTHTMLElementDisplayStyle::Block);
    text(ended, "line\n");
    EXPECT_EQ(output(ended), "line\n");

    EXPECT_TRUE(body->needsOutput());
    const auto children = body->childNodes();
    for (const auto& node : *children) std::static_pointer_cast<RTHTMLElement>(node)->setDidOutput(true);
    EXPECT_FALSE(body->needsOutput());
    EXPECT_EQ(output(span), "<nil>");
}

TEST(RTHTMLElementOutputTests, TextsJoinInTheirElementsText) {
    const auto p = element(nullptr, "p", RTHTMLElementDisplayStyle::Block);
    p->setTextColor(ui::Color::blackColor());
    const auto shared = [&](std::string_view characters) { return sharingText(p, characters); };
    shared("one \n");
    shared("\t two ");
    shared(" three ");
    shared(" four")->setContainsAppleConvertedSpace(true);  // kept after white space
    shared(" five")->setDidOutput(true);
    const auto text = p->attributedString();
    ASSERT_TRUE(text);
    EXPECT_EQ(text->string(), "one two three  four\n");
    // One run in the element's shared attributes, the paragraph's end included.
    ns::Range run;
    EXPECT_EQ(&text->attributesAtIndex(0, &run), p->attributesForTextContent().get());
    EXPECT_EQ(run, (ns::Range{0, text->length()}));
}

TEST(RTHTMLElementOutputTests, InlineElementsJoinAsTheirOwnTextsWould) {
    const auto p = element(nullptr, "p", RTHTMLElementDisplayStyle::Block);
    text(p, "a ");
    const auto span = element(p, "span");
    text(span, " b\t");
    const auto inner = element(span, "i");
    inner->setTextColor(RTColorFromHTMLColorString("red"));
    text(inner, "\n c ");
    const auto block = element(span, "div", RTHTMLElementDisplayStyle::Block);
    text(block, "d");
    const auto empty = element(span, "b");
    text(empty, " ");
    const auto after = element(p, "span");
    text(after, "  e");
    const auto written = p->attributedString();
    ASSERT_TRUE(written);
    EXPECT_EQ(written->string(), "a b c\nd\ne\n");
    // Each piece keeps its element's attributes; the line before the block those of the text before it.
    EXPECT_EQ(written->attributeAtIndex(ct::ForegroundColorAttributeName, 4).asObject(), inner->textColor());
    EXPECT_EQ(written->attributeAtIndex(ct::ForegroundColorAttributeName, 5).asObject(), inner->textColor());
    EXPECT_TRUE(written->attributeAtIndex(ct::ForegroundColorAttributeName, 3).isNil());

    // On its own, an inline element's text keeps the white space that joining it in its parent drops.
    EXPECT_EQ(output(span), " b c\nd\n");
}

TEST(RTHTMLElementOutputTests, WhiteSpaceAtTheSeamsOfAPartOfTheText) {
    // Every ASCII character and a few others, as the ignorable white-space set has them.
    for (const char16_t c : std::u16string(u"\u0085\u00a0\u2028\u2029\u3000\u2003\ufeff\u9898")) {
        ct::AttributedString text(std::u16string(u"x") + c, ns::Dictionary());
        EXPECT_EQ(endsWithIgnorableWhitespace(text), ignorableWhitespaceCharacterSet().characterIsMember(c)) << int(c);
    }
    // Where a line ends before a block, its white space goes for a line end, up to the line end before it.
    for (char16_t c = 0; c < 128; ++c) {
        ct::AttributedString text(std::u16string(u"x") + c + c, ns::Dictionary());
        const bool ignorable = ignorableWhitespaceCharacterSet().characterIsMember(c);
        EXPECT_EQ(endsWithIgnorableWhitespace(text), ignorable) << int(c);
        EXPECT_FALSE(endLine(text));
        EXPECT_EQ(text.u16string(), !ignorable ? std::u16string(u"x") + c + c + u"\n" : c == u'\n' ? u"x\n\n" : u"x\n") << int(c);
    }

    // The part from `from` on reads as a text of its own: what comes before it is never touched.
    const ns::Dictionary bold{{"b", ns::Value(true)}};
    ct::AttributedString text("before \n", bold);
    const std::uint64_t from = text.length();
    EXPECT_FALSE(endsWithIgnorableWhitespace(text, from));
    EXPECT_FALSE(endLine(text, from));  // an empty part has no attributes to lend its line end
    EXPECT_EQ(text.string(), "before \n\n");
    EXPECT_TRUE(text.attributesAtIndex(from).empty());
    text.appendAttributedString(ct::AttributedString(" \t after \n ", bold));
    removeCollapsibleLeadingWhitespace(text, from);
    EXPECT_EQ(text.string(), "before \nafter \n ");
    EXPECT_FALSE(endLine(text, from));
    EXPECT_EQ(text.string(), "before \nafter \n");
    EXPECT_FALSE(endLine(text, text.length()));
    EXPECT_EQ(text.string(), "before \nafter \n\n");

    // A br's line break is no white space: of those before a block, the last is the line's end and the others
    // stay; nor does the line feed it became go where the piece it begins joins white space.
    ct::AttributedString breaks("after \u2028 \u2028 ", bold);
    EXPECT_TRUE(endLine(breaks));
    EXPECT_EQ(breaks.string(), "after\u2028\n");
    ct::AttributedString joined("before ", bold);
    joined.appendAttributedString(ct::AttributedString(" \n\nafter", bold));
    removeCollapsibleLeadingWhitespace(joined, 7, true);
    EXPECT_EQ(joined.string(), "before \n\nafter");
    removeCollapsibleLeadingWhitespace(joined, 7);
    EXPECT_EQ(joined.string(), "before after");
}

TEST(RTHTMLElementOutputTests, SharedTextAttributesFollowTheElementsChanges) {
    const auto p = element(nullptr, "p", RTHTMLElementDisplayStyle::Block);
    p->setTextColor(ui::Color::blackColor());
    const auto shared = [&](std::string_view characters) { return sharingText(p, characters); };
    const auto colorOf = [](const ns::Dictionary& attributes) {
        const auto color = attributes[ct::ForegroundColorAttributeName].asObject<ui::Color>();
        return color ? RTHexDigitsFromColor(*color).value_or("?") : "none";
    };
    const auto first = shared("a");
    const auto before = p->attributesForTextContent();
    EXPECT_EQ(p->attributesForTextContent(), before);
    EXPECT_EQ(colorOf(*before), "000000");

    // A later style reaches the texts; a snapshot already handed out stays as it was.
    p->setTextColor(RTColorFromHTMLColorString("red"));
    EXPECT_EQ(colorOf(*p->attributesForTextContent()), "ff0000");
    EXPECT_EQ(colorOf(*before), "000000");
    EXPECT_EQ(colorOf(first->attributedString()->attributesAtIndex(0)), "ff0000");

    // So does a change of the children.
    const auto kept = p->attributesForTextContent();
    shared("b");
    const auto rebuilt = p->attributesForTextContent();
    EXPECT_NE(rebuilt, kept);
    EXPECT_EQ(*rebuilt, *kept);
    p->removeAllChildNodes();
    EXPECT_NE(p->attributesForTextContent(), rebuilt);
}

TEST(RTHTMLElementOutputTests, ElementsOfOneStyleShareTheirTextAttributes) {
    const auto body = element(nullptr, "body", RTHTMLElementDisplayStyle::Block);
    body->setTextColor(RTColorFromHTMLColorString("#000"));
    body->setTextAttributesCache(RTHTMLElement::makeTextAttributesCache());
    const auto first = element(body, "span");
    const auto second = element(body, "span");
    second->setTextColor(RTColorFromHTMLColorString("#000"));  // another object of the same colour
    EXPECT_EQ(first->attributesForTextContent(), second->attributesForTextContent());

    // Value-equal fonts share; a different font, colour or link does not.
    const auto bold = element(body, "b");
    bold->mutableFontDescriptor().setBoldTrait(true);
    const auto alsoBold = element(body, "b");
    alsoBold->mutableFontDescriptor().setBoldTrait(true);
    EXPECT_NE(bold->attributesForTextContent(), first->attributesForTextContent());
    EXPECT_EQ(alsoBold->attributesForTextContent(), bold->attributesForTextContent());
    const auto red = element(body, "span");
    red->setTextColor(RTColorFromHTMLColorString("red"));
    EXPECT_NE(red->attributesForTextContent(), first->attributesForTextContent());
    const auto link = element(body, "a");
    link->setLink(ns::URL::fromString("https://example.com/"));
    const auto otherLink = element(body, "a");
    otherLink->setLink(ns::URL::fromString("https://example.com/"));  // a link of its own (GUID)
    EXPECT_NE(link->attributesForTextContent(), otherLink->attributesForTextContent());

    // Lists and blocks are compared as objects: equal values are still two boxes.
    const auto block = [&] {
        const auto div = element(body, "div", RTHTMLElementDisplayStyle::Block);
        div->mutableParagraphStyle().textBlocks = RichTextParagraphStyle::TextBlocks{std::make_shared<RTTextBlock>()};
        return div->attributesForTextContent();
    };
    const auto firstBlock = block();
    EXPECT_NE(firstBlock, block());
    EXPECT_EQ((*firstBlock)[RTTextBlocksAttribute].asArray()->size(), 1u);
    // An element and its children that keep its paragraph style share the style's values.
    const auto div = element(body, "div", RTHTMLElementDisplayStyle::Block);
    div->mutableParagraphStyle().textBlocks = RichTextParagraphStyle::TextBlocks{std::make_shared<RTTextBlock>()};
    const auto inDiv = element(div, "b");
    inDiv->mutableFontDescriptor().setBoldTrait(true);
    const auto boxOf = [](const std::shared_ptr<const ns::Dictionary>& attributes) {
        return (*attributes)[ct::ParagraphStyleAttributeName].asObject();
    };
    EXPECT_NE(inDiv->attributesForTextContent(), div->attributesForTextContent());
    EXPECT_EQ(boxOf(inDiv->attributesForTextContent()), boxOf(div->attributesForTextContent()));
    EXPECT_EQ((*inDiv->attributesForTextContent())[RTTextBlocksAttribute], (*div->attributesForTextContent())[RTTextBlocksAttribute]);
    // The platform's paragraph styles are values: blocks of equal paragraph values share one, others have
    // their own.
    EXPECT_EQ(boxOf(firstBlock), boxOf(div->attributesForTextContent()));
    const auto spaced = element(body, "div", RTHTMLElementDisplayStyle::Block);
    spaced->mutableParagraphStyle().textBlocks = RichTextParagraphStyle::TextBlocks{std::make_shared<RTTextBlock>()};
    spaced->mutableParagraphStyle().paragraphSpacing = 7;
    const auto spacedBox = std::dynamic_pointer_cast<ct::ParagraphStyleObject>(boxOf(spaced->attributesForTextContent()));
    ASSERT_TRUE(spacedBox);
    EXPECT_NE(spacedBox, boxOf(firstBlock));
    EXPECT_EQ(spacedBox->style().paragraphSpacing, 7);
    EXPECT_EQ((*firstBlock)[ct::ParagraphStyleAttributeName].asObject<ct::ParagraphStyleObject>()->style().paragraphSpacing, 0);

    // A style changed after its snapshot was shared makes a new one; the shared one stays as it was.
    const auto before = first->attributesForTextContent();
    first->mutableParagraphStyle().headIndent = 9;
    EXPECT_NE(first->attributesForTextContent(), before);
    EXPECT_EQ(second->attributesForTextContent(), before);
    EXPECT_EQ((*before)[ct::ParagraphStyleAttributeName].asObject<ct::ParagraphStyleObject>()->style().headIndent, 0);
}

TEST(RTHTMLElementOutputTests, AStyleDifferingInTheParagraphAloneTakesTheParagraphsOwnValues) {
    const auto body = element(nullptr, "body", RTHTMLElementDisplayStyle::Block);
    body->setTextColor(RTColorFromHTMLColorString("#333"));
    body->setTextAttributesCache(RTHTMLElement::makeTextAttributesCache());
    // One section after another, each in a block (and a list) of its own, with the same bold text.
    const auto section = [&](bool inList) {
        const auto div = element(body, "div", RTHTMLElementDisplayStyle::Block);
        div->mutableParagraphStyle().textBlocks = RichTextParagraphStyle::TextBlocks{std::make_shared<RTTextBlock>()};
        if (inList) div->mutableParagraphStyle().textLists = RichTextParagraphStyle::TextLists{std::make_shared<RTCSSListStyle>()};
        const auto bold = element(div, "b");
        bold->mutableFontDescriptor().setBoldTrait(true);
        return bold;
    };
    const auto objectOf = [](const ns::Dictionary& attributes, std::string_view key) {
        const ns::Array* values = attributes[key].asArray();
        return values && values->size() == 1 ? values->front().asObject() : nullptr;
    };

    const auto first = section(false);
    const auto firstAttributes = first->attributesForTextContent();
    const ns::Dictionary firstAsMade = *firstAttributes;
    for (const bool inList : {true, false, true}) {
        const auto next = section(inList);
        const auto attributes = next->attributesForTextContent();
        EXPECT_NE(attributes, firstAttributes);
        // What a snapshot made afresh would hold, with the new paragraph's own objects.
        EXPECT_EQ(*attributes, next->attributesForAttributedStringRepresentation());
        EXPECT_EQ(objectOf(*attributes, RTTextBlocksAttribute), next->paragraphStyle()->textBlocks->front());
        EXPECT_EQ(objectOf(*attributes, RTTextListsAttribute), inList ? next->paragraphStyle()->textLists->front() : nullptr);
        EXPECT_EQ(attributes->contains(RTTextListsAttribute), inList);
        // Equal paragraph values: one platform paragraph style.
        EXPECT_EQ((*attributes)[ct::ParagraphStyleAttributeName].asObject(), (*firstAttributes)[ct::ParagraphStyleAttributeName].asObject());
        EXPECT_EQ((*attributes)[ct::FontAttributeName].asObject(), (*firstAttributes)[ct::FontAttributeName].asObject());
    }
    // A colour of the same value in an object of its own stays the element's own, as made afresh.
    const auto recoloured = section(false);
    recoloured->setTextColor(RTColorFromHTMLColorString("#333"));
    EXPECT_EQ((*recoloured->attributesForTextContent())[ct::ForegroundColorAttributeName].asObject(), recoloured->textColor());
    // The snapshot the others were made from stays as it was.
    EXPECT_EQ(*firstAttributes, firstAsMade);
    EXPECT_EQ(objectOf(*firstAttributes, RTTextBlocksAttribute), first->paragraphStyle()->textBlocks->front());
    EXPECT_EQ(first->attributesForTextContent(), firstAttributes);

    // Blocks that have gone, and whose addresses new ones may take, are never taken for the new ones.
    for (int round = 0; round < 20; ++round) {
        body->removeAllChildNodes();
        const auto bold = section(round % 3 == 0);
        const auto attributes = bold->attributesForTextContent();
        EXPECT_EQ(objectOf(*attributes, RTTextBlocksAttribute), bold->paragraphStyle()->textBlocks->front());
        EXPECT_EQ(*attributes, bold->attributesForAttributedStringRepresentation());
    }
}

TEST(RTHTMLElementOutputTests, EachListsMarkersCarryTheParagraphOfTheirItems) {
    // Sections of the same styles, each with a block and lists of its own.
    std::string html = "<html><body>";
    for (int section = 0; section < 4; ++section)
        html += "<div style=\"padding: 2px\"><p>Q<b>b</b></p><ul><li>one</li><li>two</li></ul><ol><li>three</li></ol></div>";
    html += "</body></html>";
    const std::optional<ct::AttributedString> text = initWithHTMLData(ns::Data{std::string_view(html)}, {});
    ASSERT_TRUE(text);
    std::size_t markers = 0;
    const ns::Dictionary* marker = nullptr;
    text->enumerateAttributes({0, text->length()}, [&](const ns::Dictionary& attributes, ns::Range, bool&) {
        if (attributes[RTFieldAttribute].stringValue() == RTListPrefixField) {
            marker = &attributes;
            ++markers;
            return;
        }
        if (!marker) return;
        // The marker holds the paragraph attributes of its item's text, the very objects, and nothing else.
        ns::Dictionary expected = paragraphAttributes(attributes);
        expected.set(RTFieldAttribute, ns::Value(RTListPrefixField));
        EXPECT_EQ(*marker, expected);
        for (const std::string_view key : {ct::ParagraphStyleAttributeName, RTTextListsAttribute, RTTextBlocksAttribute}) {
            const ns::Array* markerValues = (*marker)[key].asArray();
            const ns::Array* textValues = attributes[key].asArray();
            if (!markerValues || !textValues) {
                EXPECT_EQ((*marker)[key].asObject(), attributes[key].asObject());
                continue;
            }
            ASSERT_EQ(markerValues->size(), textValues->size());
            for (std::size_t at = 0; at < textValues->size(); ++at) EXPECT_EQ((*markerValues)[at].asObject(), (*textValues)[at].asObject());
        }
        marker = nullptr;
    });
    EXPECT_EQ(markers, 12u);
}

TEST(RTHTMLElementOutputTests, AttributesOfTheStyle) {
    RTHTMLElement::setUsesUIKitAttributes(false);
    const auto body = element(nullptr, "body", RTHTMLElementDisplayStyle::Block);
    const auto link = element(body, "a");
    link->setLink(ns::URL::fromString("https://example.com/"));
    link->setStrikeOut(true);
    link->setUnderlineStyle(2);
    link->setHeaderLevel(3);
    link->setTextColor(ui::Color::colorWithRed(0, 0, 1, 1));
    link->setShadows(arrayOfCSSShadows("1px 1px red, 2px 2px blue", 12, nullptr));
    ns::Dictionary attributes = link->attributesForAttributedStringRepresentation();
    EXPECT_EQ(attributes[RTGUIDAttribute].stringValue(), link->linkGUID().value_or("?"));
    EXPECT_TRUE(attributes[RTStrikethroughAttribute].boolValue());
    EXPECT_EQ(attributes[ct::UnderlineStyleAttributeName].int64Value(), 2);
    EXPECT_EQ(attributes[RTHeaderLevelAttribute].int64Value(), 3);
    EXPECT_EQ(attributes[RTShadowsAttribute].count(), 2u);
    EXPECT_TRUE(attributes[ct::ForegroundColorAttributeName].asObject<ui::Color>());
    EXPECT_TRUE(attributes[ct::ParagraphStyleAttributeName].asObject<ct::ParagraphStyleObject>());

    RTHTMLElement::setUsesUIKitAttributes(true);
    attributes = link->attributesForAttributedStringRepresentation();
    RTHTMLElement::setUsesUIKitAttributes(false);
    EXPECT_EQ(attributes[ui::UnderlineStyleAttributeName].int64Value(), 1);
    EXPECT_EQ(attributes[ui::StrikethroughStyleAttributeName].int64Value(), 1);
    EXPECT_TRUE(attributes[ui::ShadowAttributeName].asObject<ct::Shadow>());
    EXPECT_TRUE(attributes[ui::ForegroundColorAttributeName].asObject<ui::Color>());

    // An attachment replaces the element's text with one character, whatever its children.
    const auto image = element(body, "img", RTHTMLElementDisplayStyle::Inline, {{"width", ns::Value("20")}});
    text(image, "ignored");
    image->setTextAttachment(std::make_shared<RTTextAttachment>());
    const auto imageText = image->attributedString();
    ASSERT_TRUE(imageText);
    EXPECT_EQ(imageText->u16string(), u"\uFFFC");
    EXPECT_TRUE(imageText->attributeAtIndex(ui::AttachmentAttributeName, 0).asObject<RTTextAttachment>());
    EXPECT_TRUE(imageText->attributeAtIndex(ct::RunDelegateAttributeName, 0).asObject());
    EXPECT_FALSE(imageText->attributeAtIndex(RTAttachmentParagraphSpacingAttribute, 0).isNil());
}

TEST(RTHTMLElementOutputTests, ParagraphSpacingAndCustomAttributes) {
    const auto body = element(nullptr, "body", RTHTMLElementDisplayStyle::Block);
    const auto block = element(body, "div", RTHTMLElementDisplayStyle::Block);
    block->mutableParagraphStyle().paragraphSpacing = 12;
    const auto inner = element(block, "p", RTHTMLElementDisplayStyle::Block);
    inner->mutableParagraphStyle().paragraphSpacing = 4;
    text(inner, "text");
    const auto raised = block->attributedString();
    ASSERT_TRUE(raised);
    EXPECT_EQ(raised->attributeAtIndex(ct::ParagraphStyleAttributeName, 0).asObject<ct::ParagraphStyleObject>()->style().paragraphSpacing, 12);

    const auto list = element(body, "ul", RTHTMLElementDisplayStyle::Block);
    const auto inList = element(list, "p", RTHTMLElementDisplayStyle::Block);
    inList->mutableParagraphStyle().paragraphSpacing = 12;
    const auto innerText = element(inList, "span");
    innerText->mutableParagraphStyle().paragraphSpacing = 0;
    text(innerText, "x");
    EXPECT_EQ(inList->attributedString()->attributeAtIndex(ct::ParagraphStyleAttributeName, 0).asObject<ct::ParagraphStyleObject>()->style().paragraphSpacing, 0);

    const auto custom = element(body, "span", RTHTMLElementDisplayStyle::Inline,
                                {{"class", ns::Value("skip keep")}, {"data-id", ns::Value("7")}, {"href", ns::Value("x")}});
    custom->setShouldProcessCustomHTMLAttributes(true);
    custom->setCSSClassNamesToIgnoreForCustomAttributes({"skip"});
    text(custom, "c");
    const ns::Value written = custom->attributedString()->attributeAtIndex(RTCustomAttributesAttribute, 0);
    ASSERT_TRUE(written.asDictionary());
    EXPECT_EQ((*written.asDictionary())["class"].stringValue(), "keep");
    EXPECT_EQ((*written.asDictionary())["data-id"].stringValue(), "7");
    EXPECT_FALSE(written.asDictionary()->contains("href"));
    const auto onlySkipped = element(body, "span", RTHTMLElementDisplayStyle::Inline, {{"class", ns::Value("skip")}});
    onlySkipped->setShouldProcessCustomHTMLAttributes(true);
    onlySkipped->setCSSClassNamesToIgnoreForCustomAttributes({"skip"});
    text(onlySkipped, "d");
    EXPECT_TRUE(onlySkipped->attributedString()->attributeAtIndex(RTCustomAttributesAttribute, 0).isNil());
}

TEST(RTHTMLElementOutputTests, ClassNamesToIgnoreSharedByACascade) {
    const auto body = element(nullptr, "body", RTHTMLElementDisplayStyle::Block);
    const auto names = std::make_shared<const std::set<std::string>>(std::set<std::string>{"skip"});
    const auto customClass = [&](std::string_view classes, std::shared_ptr<const std::set<std::string>> ignored) {
        const auto span = element(body, "span", RTHTMLElementDisplayStyle::Inline, {{"class", ns::Value(std::string(classes))}});
        span->setShouldProcessCustomHTMLAttributes(true);
        span->shareCSSClassNamesToIgnoreForCustomAttributes(std::move(ignored));
        text(span, "x");
        const ns::Value written = span->attributedString()->attributeAtIndex(RTCustomAttributesAttribute, 0);
        return written.asDictionary() ? (*written.asDictionary())["class"].stringValue() : std::string("<none>");
    };
    // Both elements read the one set, and neither changes it for the other.
    EXPECT_EQ(customClass("skip a", names), "a");
    EXPECT_EQ(customClass("b  skip", names), "b");
    EXPECT_EQ(*names, std::set<std::string>{"skip"});
    // An empty set is none: the class is written as it was, spacing and all.
    EXPECT_EQ(customClass("skip  c", std::make_shared<const std::set<std::string>>()), "skip  c");
    EXPECT_EQ(customClass("skip  c", nullptr), "skip  c");

    const auto own = element(body, "span");
    own->shareCSSClassNamesToIgnoreForCustomAttributes(names);
    EXPECT_EQ(&own->CSSClassNamesToIgnoreForCustomAttributes(), names.get());
    own->setCSSClassNamesToIgnoreForCustomAttributes({"other"});
    EXPECT_EQ(own->CSSClassNamesToIgnoreForCustomAttributes(), std::set<std::string>{"other"});
    EXPECT_EQ(*names, std::set<std::string>{"skip"});
    own->setCSSClassNamesToIgnoreForCustomAttributes({});
    EXPECT_TRUE(own->CSSClassNamesToIgnoreForCustomAttributes().empty());
}

TEST(RTHTMLElementOutputTests, StylesheetElement) {
    auto style = std::make_shared<RTStylesheetHTMLElement>("style", ns::Dictionary());
    style->addChildNode(std::make_shared<RTHTMLParserTextNode>("p { color: red }"));
    style->addChildNode(std::make_shared<RTHTMLParserTextNode>(" em { color: blue }"));
    const RTCSSStylesheet sheet = style->stylesheet();
    EXPECT_EQ(sheet.orderedSelectors(), (std::vector<std::string>{"p", "em"}));
    EXPECT_FALSE(style->attributedString());
}

}  // namespace

namespace {

TEST(RTHTMLElementOutputTests, AttachmentElement) {
    const ns::Dictionary options{{std::string(RTMaxImageSize), ui::GeometryValue::valueWithCGSize({50, 50})}};
    auto image = std::make_shared<RTTextAttachmentHTMLElement>(
        "img", ns::Dictionary{{"src", ns::Value("https://example.com/a.png")}, {"width", ns::Value("100")}, {"height", ns::Value("40")}},
        options);
    ASSERT_TRUE(image->textAttachment());
    // The attachment's size fitted to the largest allowed stays.
    EXPECT_EQ(image->textAttachment()->displaySize().width, 50);
    EXPECT_EQ(image->textAttachment()->displaySize().height, 20);
    EXPECT_EQ(image->textAttachment()->contentURL()->absoluteString(), "https://example.com/a.png");
    image->setFontDescriptor(std::make_shared<RichTextFontDescriptor>());
    const auto text = image->attributedString();
    ASSERT_TRUE(text);
    EXPECT_EQ(text->u16string(), u"\uFFFC");

    EXPECT_FALSE(std::make_shared<RTTextAttachmentHTMLElement>("IMG", ns::Dictionary())->textAttachment());
    EXPECT_TRUE(std::make_shared<RTTextAttachmentHTMLElement>("video", ns::Dictionary())->textAttachment());
}

}  // namespace

namespace {

TEST(RTHTMLElementOutputTests, ElementsByTagLinksBreaksAndRules) {
    const ns::Dictionary none;
    EXPECT_TRUE(std::dynamic_pointer_cast<RTAnchorHTMLElement>(RTHTMLElement::elementWithName("a", none, none)));
    EXPECT_TRUE(std::dynamic_pointer_cast<RTBreakHTMLElement>(RTHTMLElement::elementWithName("br", none, none)));
    EXPECT_TRUE(std::dynamic_pointer_cast<RTHorizontalRuleHTMLElement>(RTHTMLElement::elementWithName("hr", none, none)));
    EXPECT_TRUE(std::dynamic_pointer_cast<RTStylesheetHTMLElement>(RTHTMLElement::elementWithName("style", none, none)));
    EXPECT_TRUE(std::dynamic_pointer_cast<RTTextAttachmentHTMLElement>(RTHTMLElement::elementWithName("iframe", none, none)));
    const auto capitals = RTHTMLElement::elementWithName("IMG", none, none);
    EXPECT_FALSE(std::dynamic_pointer_cast<RTTextAttachmentHTMLElement>(capitals));
    RTTextAttachment::registerClassForTagName(RTVideoTextAttachment::classObject(), "movie");
    EXPECT_TRUE(std::dynamic_pointer_cast<RTTextAttachmentHTMLElement>(RTHTMLElement::elementWithName("movie", none, none)));

    const auto body = element(nullptr, "body", RTHTMLElementDisplayStyle::Block);
    auto link = std::static_pointer_cast<RTHTMLElement>(RTHTMLElement::elementWithName("a", none, none));
    add(body, link);
    link->applyStyleDictionary(*RTCSSStylesheet::defaultStyleSheet().stylesForSelector("a"));
    text(link, "go");
    const auto linked = link->attributedString();
    ASSERT_TRUE(linked);
    auto highlight = linked->attributeAtIndex(RTLinkHighlightColorAttribute, 0).asObject<ui::Color>();
    ASSERT_TRUE(highlight);
    EXPECT_EQ(highlight->CGColor().rgba().r, 1);
    EXPECT_TRUE(linked->attributeAtIndex(ct::ForegroundColorFromContextAttributeName, 0).boolValue());
    auto plain = std::static_pointer_cast<RTHTMLElement>(RTHTMLElement::elementWithName("a", none, none));
    add(body, plain);
    plain->applyStyleDictionary({{"color", ns::Value("blue")}});
    text(plain, "x");
    EXPECT_TRUE(plain->attributedString()->attributeAtIndex(RTLinkHighlightColorAttribute, 0).isNil());

    auto paragraph = element(body, "p", RTHTMLElementDisplayStyle::Block);
    text(paragraph, "one");
    add(paragraph, RTHTMLElement::elementWithName("br", none, none));
    text(paragraph, "two");
    EXPECT_EQ(paragraph->attributedString()->u16string(), u"one\u2028two\n");

    auto rule = add(body, RTHTMLElement::elementWithName("hr", none, none), RTHTMLElementDisplayStyle::Block);
    const auto ruleText = rule->attributedString();
    ASSERT_TRUE(ruleText);
    EXPECT_EQ(ruleText->string(), "\n");
    EXPECT_TRUE(ruleText->attributeAtIndex(RTHorizontalRuleStyleAttribute, 0).boolValue());
}

}  // namespace
