#include <gtest/gtest.h>

#include <cmath>

#include "platform/text/ParagraphStyleObject.h"
#include "tests/web/label/LabelTestSupport.h"

namespace ql {
namespace {

using test::attributed;
using test::helvetica;

const ct::ParagraphStyle& paragraphOf(const ct::AttributedString& text, std::uint64_t index = 0) {
    return text.attributeAtIndex(ct::ParagraphStyleAttributeName, index).asObject<ct::ParagraphStyleObject>()->style();
}

TEST(AttributedLabelModel, StartsWithTheDefaultLooksAndSettings) {
    auto label = std::make_shared<AttributedLabel>(cg::Rect{0, 0, 200, 40});
    EXPECT_TRUE(label->isUserInteractionEnabled());
    EXPECT_FALSE(label->isMultipleTouchEnabled());
    EXPECT_TRUE(label->linkAttributes()[ct::UnderlineStyleAttributeName].boolValue());
    EXPECT_EQ(label->linkAttributes()[ct::ForegroundColorAttributeName].asObject<ui::Color>(), ui::Color::blueColor());
    EXPECT_FALSE(label->activeLinkAttributes()[ct::UnderlineStyleAttributeName].boolValue());
    EXPECT_EQ(label->activeLinkAttributes()[ct::ForegroundColorAttributeName].asObject<ui::Color>(), ui::Color::redColor());
    EXPECT_EQ(label->inactiveLinkAttributes()[ct::ForegroundColorAttributeName].asObject<ui::Color>(),
              ui::Color::grayColor());
    EXPECT_EQ(label->linkBackgroundEdgeInset(), (cg::EdgeInsets{0, -1, 0, -1}));
    EXPECT_EQ(label->lineHeightMultiple(), 1.0);
    EXPECT_TRUE(label->extendsLinkTouchArea());
    EXPECT_EQ(label->verticalAlignment(), LabelVerticalAlignment::Center);
    ASSERT_TRUE(label->longPressGestureRecognizer());
    EXPECT_EQ(label->longPressGestureRecognizer()->view(), label.get());
    EXPECT_FALSE(label->attributedText());
}

TEST(AttributedLabelModel, PlainTextTakesTheLabelsFontColourAndParagraphSettings) {
    auto label = std::make_shared<AttributedLabel>(cg::Rect{0, 0, 200, 40});
    auto font = helvetica(20);
    label->setFont(font);
    label->setTextColor(ui::Color::greenColor());
    label->setLineBreakMode(ui::LineBreakMode::TruncatingTail);
    label->setLineHeightMultiple(1.5);
    label->setFirstLineIndent(12);
    label->setLineSpacing(3);
    label->setKern(0.5);
    label->setTextAlignment(ui::TextAlignment::Center);
    label->setNumberOfLines(2);
    label->setText(std::optional<std::string>("Hello there"));
    ASSERT_TRUE(label->attributedText());
    EXPECT_EQ(label->text(), "Hello there");
    const ct::AttributedString& text = *label->attributedText();
    EXPECT_EQ(text.attributeAtIndex(ct::FontAttributeName, 3).asObject<ui::Font>(), font);
    EXPECT_EQ(text.attributeAtIndex(ct::ForegroundColorAttributeName, 3).asObject<ui::Color>(), ui::Color::greenColor());
    EXPECT_EQ(text.attributeAtIndex(ct::KernAttributeName, 3).doubleValue(), 0.5);
    // More than one line wraps by words whatever the label's mode; the heights follow the multiple.
    const ct::ParagraphStyle& wrapped = paragraphOf(text);
    EXPECT_EQ(wrapped.lineBreakMode, ct::LineBreakMode::WordWrapping);
    EXPECT_DOUBLE_EQ(wrapped.minimumLineHeight, font->lineHeight() * 1.5);
    EXPECT_DOUBLE_EQ(wrapped.maximumLineHeight, font->lineHeight() * 1.5);
    EXPECT_EQ(wrapped.lineHeightMultiple, 1.5);
    EXPECT_EQ(wrapped.firstLineHeadIndent, 12);
    EXPECT_EQ(wrapped.lineSpacing, 3);
    EXPECT_EQ(wrapped.alignment, ct::TextAlignment::Center);
    label->setNumberOfLines(1);
    label->setMinimumLineHeight(33);
    label->setText(std::optional<std::string>("Hello there"));
    EXPECT_EQ(paragraphOf(*label->attributedText()).lineBreakMode, ct::LineBreakMode::TruncatingTail);
    EXPECT_EQ(paragraphOf(*label->attributedText()).minimumLineHeight, 33);
    // No text clears everything.
    label->setText(std::optional<std::string>());
    EXPECT_FALSE(label->attributedText());
    EXPECT_FALSE(label->text());
}

TEST(AttributedLabelModel, InheritedAttributesOverrideTheTextsOwnAndTheBlockHasTheLastWord) {
    auto label = std::make_shared<AttributedLabel>(cg::Rect{0, 0, 200, 40});
    ct::AttributedString own("abc def", test::textAttributes(helvetica(30), ui::Color::redColor()));
    own.addAttribute("Custom", ns::Value(7), {0, 3});
    label->setText(own, [](ct::AttributedString text) {
        text.addAttribute(LabelStrikeOutAttribute, ns::Value(true), {4, 3});
        return text;
    });
    const ct::AttributedString& text = *label->attributedText();
    EXPECT_EQ(text.attributeAtIndex(ct::FontAttributeName, 0).asObject<ui::Font>(), label->font());
    EXPECT_EQ(text.attributeAtIndex(ct::ForegroundColorAttributeName, 0).asObject<ui::Color>(), label->textColor());
    EXPECT_EQ(text.attributeAtIndex("Custom", 1).int64Value(), 7);
    EXPECT_TRUE(text.attributeAtIndex(LabelStrikeOutAttribute, 5).boolValue());
    EXPECT_TRUE(text.attributeAtIndex(LabelStrikeOutAttribute, 1).isNil());
}

TEST(AttributedLabelModel, ContextColouredRangesTakeTheTextColourAndKeepTheirOtherAttributes) {
    auto label = std::make_shared<AttributedLabel>(cg::Rect{0, 0, 200, 40});
    auto big = helvetica(30);
    ct::AttributedString text = attributed("plain context", big);
    text.addAttribute(ct::ForegroundColorFromContextAttributeName, ns::Value(true), {6, 7});
    text.addAttribute(ct::UnderlineStyleAttributeName, ns::Value(1), {6, 7});
    label->setTextColor(ui::Color::purpleColor());
    label->setText(text);
    const ct::AttributedString& rendered = label->renderedAttributedText();
    EXPECT_TRUE(rendered.attributeAtIndex(ct::ForegroundColorFromContextAttributeName, 8).isNil());
    EXPECT_EQ(rendered.attributeAtIndex(ct::ForegroundColorAttributeName, 8).asObject<ui::Color>(),
              ui::Color::purpleColor());
    EXPECT_EQ(rendered.attributeAtIndex(ct::FontAttributeName, 8).asObject<ui::Font>(), big);
    EXPECT_EQ(rendered.attributeAtIndex(ct::UnderlineStyleAttributeName, 8).int64Value(), 1);
    EXPECT_EQ(rendered.attributeAtIndex(ct::ForegroundColorAttributeName, 1).asObject<ui::Color>(),
              ui::Color::blackColor());
    // The stored text is left as it was set.
    EXPECT_FALSE(label->attributedText()->attributeAtIndex(ct::ForegroundColorFromContextAttributeName, 8).isNil());
}

TEST(AttributedLabelModel, CachesItsFramesetterUntilTheTextOrColourChanges) {
    auto label = std::make_shared<AttributedLabel>(cg::Rect{0, 0, 200, 40});
    label->setText(attributed("same"));
    auto first = label->framesetter();
    label->setText(attributed("same"));
    EXPECT_EQ(label->framesetter(), first);
    // An equal colour that is another object still counts as a change.
    label->setTextColor(ui::Color::colorWithRed(0, 0, 0, 1));
    auto second = label->framesetter();
    EXPECT_NE(second, first);
    label->setAttributedText(attributed("other"));
    EXPECT_NE(label->framesetter(), second);
    EXPECT_EQ(label->text(), "other");
    EXPECT_EQ(label->framesetter()->attributedString().string(), "other");
}

TEST(AttributedLabelModel, LinkAttributesInTheTextBecomeLinks) {
    auto label = std::make_shared<AttributedLabel>(cg::Rect{0, 0, 200, 40});
    ct::AttributedString text = attributed("see the docs now");
    text.addAttribute(ui::LinkAttributeName, ns::Value("https://docs.test/a"), {8, 4});
    label->setText(text);
    ASSERT_EQ(label->links().size(), 1u);
    EXPECT_EQ(label->links()[0].range(), (ns::Range{8, 4}));
    EXPECT_EQ(label->links()[0].URL->absoluteString(), "https://docs.test/a");
    // Laid over with the label's link look.
    EXPECT_EQ(label->attributedText()->attributeAtIndex(ct::ForegroundColorAttributeName, 9).asObject<ui::Color>(),
              ui::Color::blueColor());
    // A new text drops the old links.
    label->setText(attributed("plain"));
    EXPECT_TRUE(label->links().empty());
}

}  // namespace
}  // namespace ql
