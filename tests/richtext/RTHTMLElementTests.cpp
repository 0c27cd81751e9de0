#include <gtest/gtest.h>

#include "platform/foundation/Exception.h"
#include "platform/ui/GeometryValue.h"
#include "richtext/RTHTMLElement.h"

using namespace ql;

namespace {

std::shared_ptr<RTHTMLElement> element(std::string_view name, ns::Dictionary attributes = {},
                                       const std::shared_ptr<RTHTMLElement>& parent = nullptr) {
    auto made = std::make_shared<RTHTMLElement>(name, attributes);
    if (parent) {
        parent->addChildNode(made);
        made->inheritAttributesFromElement(*parent);
    }
    made->interpretAttributes();
    return made;
}

TEST(RTHTMLElementTests, SizesAndHTMLAttributes) {
    const auto image = element("img", {{"width", ns::Value("100px")}, {"height", ns::Value("abc")}});
    EXPECT_EQ(image->size().width, 100);
    EXPECT_EQ(image->size().height, 0);
    image->setAttributes({{"width", ns::Value(" 12.5")}, {"height", ns::Value("1e999")}});
    EXPECT_EQ(image->size().width, 12.5);
    EXPECT_EQ(image->size().height, 1);  // the leading number only
    image->setAttributes({{"width", ns::Value(40)}, {"height", ns::Value()}});  // a number given as one; nil
    EXPECT_EQ(image->size().width, 40);
    EXPECT_EQ(image->size().height, 0);

    const auto rtl = element("p", {{"dir", ns::Value("rtl")}, {"align", ns::Value("center")}});
    EXPECT_EQ(rtl->paragraphStyle()->baseWritingDirection, ct::WritingDirection::RightToLeft);
    EXPECT_EQ(rtl->paragraphStyle()->alignment, ct::TextAlignment::Center);
    const auto odd = element("p", {{"dir", ns::Value("sideways")}, {"align", ns::Value("middle")}});
    EXPECT_EQ(odd->paragraphStyle()->baseWritingDirection, ct::WritingDirection::Natural);
    EXPECT_EQ(odd->paragraphStyle()->alignment, ct::TextAlignment::Natural);

    EXPECT_TRUE(element("span", {{"class", ns::Value("Apple-converted-space")}})->containsAppleConvertedSpace());
    EXPECT_FALSE(element("span", {{"class", ns::Value("Apple-converted-space other")}})->containsAppleConvertedSpace());
    EXPECT_TRUE(RTHTMLElement::attributesToIgnoreForCustomAttributesAttribute().contains("href"));
    EXPECT_FALSE(RTHTMLElement::attributesToIgnoreForCustomAttributesAttribute().contains("class"));
}

TEST(RTHTMLElementTests, InheritanceColoursLinksAndResolvedValues) {
    const auto root = element("body");
    root->setFontDescriptor(std::make_shared<RichTextFontDescriptor>());
    root->setParagraphStyle(std::make_shared<RichTextParagraphStyle>());
    auto red = ui::Color::colorWithRed(1, 0, 0, 1);
    root->setTextColor(red);
    root->setCurrentTextSize(16);
    root->setTextScale(2);
    root->setUnderlineStyle(1);
    root->setDisplayStyle(RTHTMLElementDisplayStyle::Block);
    root->setLink(ns::URL::fromString("https://example.com/a"));
    const std::string firstGUID = root->linkGUID().value_or("");
    EXPECT_EQ(firstGUID.size(), 36u);

    const auto child = element("span", {}, root);
    // Shared until one side changes its own; a change never reaches the other.
    EXPECT_EQ(child->fontDescriptor(), root->fontDescriptor());
    EXPECT_EQ(child->paragraphStyle(), root->paragraphStyle());
    child->mutableFontDescriptor().setBoldTrait(true);
    EXPECT_NE(child->fontDescriptor(), root->fontDescriptor());
    EXPECT_FALSE(root->fontDescriptor()->boldTrait());
    root->mutableParagraphStyle().headIndent = 7;
    EXPECT_NE(child->paragraphStyle(), root->paragraphStyle());
    EXPECT_EQ(child->paragraphStyle()->headIndent, 0);
    const auto own = child->paragraphStyle();
    child->setParagraphValue(&RichTextParagraphStyle::headIndent, 3.0);
    EXPECT_EQ(child->paragraphStyle()->headIndent, 3);
    EXPECT_EQ(own->headIndent, 0);  // a holder of the old object keeps its values
    EXPECT_EQ(child->textColor(), red);
    EXPECT_TRUE(child->isColorInherited());
    EXPECT_EQ(child->linkGUID().value_or(""), firstGUID);
    EXPECT_EQ(child->underlineStyle(), 1);
    EXPECT_EQ(child->textScale(), 2);
    EXPECT_EQ(child->displayStyle(), RTHTMLElementDisplayStyle::Inline);  // not inherited

    child->setTextColor(red);
    EXPECT_TRUE(child->isColorInherited());
    child->setTextColor(ui::Color::colorWithRed(1, 0, 0, 1));
    EXPECT_FALSE(child->isColorInherited());

    root->setLink(ns::URL::fromString("https://example.com/b"));
    EXPECT_NE(root->linkGUID().value_or(""), firstGUID);
    EXPECT_EQ(element("em", {}, root)->linkGUID(), root->linkGUID());

    // Unset values resolve through the ancestors, in a loop however deep the tree.
    std::shared_ptr<RTHTMLElement> deepest = child;
    for (int i = 0; i < 20000; ++i) {
        auto next = std::make_shared<RTHTMLElement>("span", ns::Dictionary());
        deepest->addChildNode(next);
        deepest = next;
    }
    EXPECT_EQ(deepest->currentTextSize(), 16);
    EXPECT_EQ(deepest->fontVariant(), RTHTMLElementFontVariant::Normal);
    child->setFontVariant(RTHTMLElementFontVariant::SmallCaps);
    EXPECT_EQ(deepest->fontVariant(), RTHTMLElementFontVariant::SmallCaps);
    EXPECT_EQ(element("p")->currentTextSize(), 0);

    auto attachment = std::make_shared<RTTextAttachment>();
    const auto image = element("img", {{"width", ns::Value("30")}, {"height", ns::Value("20")}}, root);
    image->setTextAttachmentAlignment(2);
    image->setTextAttachment(attachment);
    EXPECT_EQ(attachment->displaySize().width, 30);
    EXPECT_EQ(attachment->hyperLinkGUID(), root->linkGUID());
    EXPECT_EQ(static_cast<int>(attachment->verticalAlignment()), 2);
}

TEST(RTHTMLElementTests, InheritedValuesAtKeyPaths) {
    const auto root = element("div", {{"align", ns::Value("inherit")}, {"lang", ns::Value("zh")}});
    root->setFontDescriptor(std::make_shared<RichTextFontDescriptor>());
    root->setHeaderLevel(2);
    root->setLetterSpacing(3);
    root->setBeforeContent("inherit");
    root->setTextColor(ui::Color::colorWithRed(1, 0, 0, 1));
    const auto middle = element("p", {{"lang", ns::Value("inherit")}}, root);
    middle->setHeaderLevel(0);
    middle->setLetterSpacing(0);
    const auto leaf = element("span", {{"align", ns::Value("left")}, {"width", ns::Value("30")}}, middle);
    leaf->setLetterSpacing(0.25);

    // Nil, a number of integer value 0 and "inherit" come from the parent, as far up as they must.
    EXPECT_EQ(leaf->valueForKeyPathWithInheritance("headerLevel").int64Value(), 2);
    EXPECT_EQ(leaf->valueForKeyPathWithInheritance("letterSpacing").doubleValue(), 3);
    EXPECT_EQ(leaf->valueForKeyPathWithInheritance("attributes.lang").stringValue(), "zh");
    EXPECT_EQ(leaf->valueForKeyPathWithInheritance("attributes.align").stringValue(), "left");
    EXPECT_EQ(leaf->valueForKeyPathWithInheritance("textColor").asObject<ui::Color>(), root->textColor());
    // A root answers its own value: "inherit", 0 or nil.
    EXPECT_EQ(root->valueForKeyPathWithInheritance("attributes.align").stringValue(), "inherit");
    EXPECT_EQ(middle->valueForKeyPathWithInheritance("attributes.align").stringValue(), "inherit");
    EXPECT_EQ(root->valueForKeyPathWithInheritance("beforeContent").stringValue(), "inherit");
    EXPECT_EQ(root->valueForKeyPathWithInheritance("underlineStyle").int64Value(), 0);
    EXPECT_TRUE(leaf->valueForKeyPathWithInheritance("attributes.title").isNil());
    EXPECT_TRUE(leaf->valueForKeyPathWithInheritance("link.absoluteString").isNil());

    // Boxed as the platform boxes them: geometry as values, the style objects as copies of the element's.
    EXPECT_EQ(ui::GeometryValue::CGSizeValue(leaf->valueForKeyPathWithInheritance("size"))->width, 30);
    const auto font = leaf->valueForKeyPath("fontDescriptor").asObject<RichTextFontDescriptor>();
    ASSERT_TRUE(font);
    EXPECT_NE(font.get(), leaf->fontDescriptor().get());
    EXPECT_TRUE(font->isEqual(*leaf->fontDescriptor()));
    // A key the element does not have raises, as key-value coding does.
    EXPECT_THROW(leaf->valueForKeyPathWithInheritance("nothing"), ns::Exception);

    // In a loop however deep the tree.
    std::shared_ptr<RTHTMLElement> deepest = leaf;
    for (int i = 0; i < 20000; ++i) {
        auto next = std::make_shared<RTHTMLElement>("span", ns::Dictionary());
        deepest->addChildNode(next);
        deepest = next;
    }
    EXPECT_EQ(deepest->valueForKeyPathWithInheritance("attributes.lang").stringValue(), "zh");
}

TEST(RTHTMLElementTests, ListsAndOutputFlag) {
    const auto list = element("ol", {{"start", ns::Value("4")}});
    list->setStyles({{"list-style-type", ns::Value("lower-alpha")}});
    list->setDisplayStyle(RTHTMLElementDisplayStyle::Block);
    const auto style = list->listStyle();
    EXPECT_EQ(style->type(), 9u);
    EXPECT_EQ(style->startingItemNumber(), 4);
    EXPECT_EQ(element("ul")->listStyle()->startingItemNumber(), 1);

    const auto item = element("li", {}, list);
    EXPECT_FALSE(item->isNotChildOfList());
    item->setDisplayStyle(RTHTMLElementDisplayStyle::ListItem);
    EXPECT_FALSE(element("span", {}, item)->isNotChildOfList());
    EXPECT_TRUE(element("span", {}, element("div"))->isNotChildOfList());
    EXPECT_TRUE(list->isNotChildOfList());

    EXPECT_FALSE(item->didOutput());
    item->setDidOutput(true);
    EXPECT_TRUE(item->didOutput());
}

// The elements of one cascade share its declarations; styles set or applied on one element are its own.
TEST(RTHTMLElementTests, StylesAreSharedWithinACascadeOnly) {
    const auto declarations =
        std::make_shared<const RTCSSDeclarations>(ns::Value(ns::Dictionary{{"text-indent", ns::Value("4px")}}));
    const auto first = element("p");
    const auto second = element("p");
    first->applyStyles(declarations);
    second->applyStyles(declarations);
    EXPECT_EQ(&first->styles(), &second->styles());
    EXPECT_EQ(&first->styles(), declarations->styles().asDictionary());

    second->setStyles({{"text-indent", ns::Value("9px")}});
    EXPECT_EQ(second->styles().find("text-indent")->asString(), "9px");
    EXPECT_EQ(first->styles().find("text-indent")->asString(), "4px");
    // A dictionary applied directly is read into declarations of the element's own.
    const ns::Dictionary own{{"text-indent", ns::Value("2px")}};
    first->applyStyleDictionary(own);
    EXPECT_EQ(first->styles().find("text-indent")->asString(), "2px");
    EXPECT_EQ(declarations->styles().asDictionary()->find("text-indent")->asString(), "4px");
    EXPECT_TRUE(element("p")->styles().empty());
}

// Inheriting copies the link, its GUID, the anchor and the shadows over what the element had, absent ones
// included.
TEST(RTHTMLElementTests, InheritingReplacesLinksAnchorsAndShadows) {
    const auto linked = element("a");
    linked->setLink(ns::URL::fromString("https://example.com/a"));
    linked->setAnchorName(std::string("top"));
    linked->setShadows(ns::Array{ns::Value(ns::Dictionary{{"blur", ns::Value(2.0)}})});
    const auto plain = element("span");

    const auto child = element("b", {}, linked);
    EXPECT_EQ(child->linkGUID(), linked->linkGUID());
    EXPECT_EQ(child->anchorName(), "top");
    EXPECT_EQ(child->shadows().size(), 1u);
    child->inheritAttributesFromElement(*plain);
    EXPECT_EQ(child->link(), std::nullopt);
    EXPECT_EQ(child->linkGUID(), std::nullopt);
    EXPECT_EQ(child->anchorName(), std::nullopt);
    EXPECT_TRUE(child->shadows().empty());
    child->inheritAttributesFromElement(*linked);
    EXPECT_EQ(child->linkGUID(), linked->linkGUID());
    EXPECT_EQ(child->anchorName(), "top");
}

// The seldom set inherited style (stroke colour, shadows, anchor, link GUID) is shared between an element
// and the descendants that inherit it: a change on any one of them stays its own.
TEST(RTHTMLElementTests, SharedDecorationsChangeForTheirElementAlone) {
    const auto parent = element("div");
    const auto stroke = ui::Color::colorWithRed(0, 0, 1, 1);
    parent->setBackgroundStrokeColor(stroke);
    parent->setAnchorName(std::string("top"));
    const auto child = element("span", {}, parent);
    const auto grandchild = element("b", {}, child);
    EXPECT_EQ(grandchild->backgroundStrokeColor(), stroke);
    EXPECT_EQ(grandchild->anchorName(), "top");

    child->setShadows(ns::Array{ns::Value(ns::Dictionary{{"blur", ns::Value(1.0)}})});
    child->setAnchorName(std::string("middle"));
    EXPECT_EQ(child->backgroundStrokeColor(), stroke);
    EXPECT_TRUE(parent->shadows().empty());
    EXPECT_EQ(parent->anchorName(), "top");
    EXPECT_TRUE(grandchild->shadows().empty());
    EXPECT_EQ(grandchild->anchorName(), "top");

    parent->setBackgroundStrokeColor(nullptr);
    parent->setLink(ns::URL::fromString("https://example.com/p"));
    EXPECT_EQ(child->backgroundStrokeColor(), stroke);
    EXPECT_EQ(grandchild->backgroundStrokeColor(), stroke);
    EXPECT_EQ(child->linkGUID(), std::nullopt);
    EXPECT_EQ(grandchild->linkGUID(), std::nullopt);
    ASSERT_TRUE(parent->linkGUID());

    // Inherited again, the element takes what the parent has now, its own changes gone.
    grandchild->inheritAttributesFromElement(*child);
    EXPECT_EQ(grandchild->anchorName(), "middle");
    EXPECT_EQ(grandchild->shadows().size(), 1u);
    child->inheritAttributesFromElement(*parent);
    EXPECT_EQ(child->backgroundStrokeColor(), nullptr);
    EXPECT_EQ(child->linkGUID(), parent->linkGUID());
    EXPECT_TRUE(child->shadows().empty());
    EXPECT_EQ(grandchild->shadows().size(), 1u);
}

}  // namespace
