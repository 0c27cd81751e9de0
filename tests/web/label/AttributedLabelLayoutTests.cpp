#include <gtest/gtest.h>

#include <cmath>

#include "platform/text/Framesetter.h"
#include "tests/web/label/LabelTestSupport.h"

namespace ql {
namespace {

using test::attributed;
using test::helvetica;

const std::string story = "Once upon a time a small fox found a book in the forest and began to read it aloud";

TEST(AttributedLabelLayout, MeasuresAnyTextOnAGivenNumberOfLines) {
    EXPECT_EQ(AttributedLabel::sizeThatFitsAttributedString(std::nullopt, {100, 100}, 0), (cg::Size{0, 0}));
    EXPECT_EQ(AttributedLabel::sizeThatFitsAttributedString(ct::AttributedString(), {100, 100}, 0), (cg::Size{0, 0}));
    const ct::AttributedString text = attributed(story);
    const double lineHeight = helvetica(17)->lineHeight();
    // One line is measured at its full width whatever the width given.
    const cg::Size one = AttributedLabel::sizeThatFitsAttributedString(text, {50, 10}, 1);
    EXPECT_EQ(one, AttributedLabel::sizeThatFitsAttributedString(text, {500, 10}, 1));
    EXPECT_EQ(one.width, std::ceil(ct::createLine(text).visibleWidth()));
    EXPECT_EQ(one.height, std::ceil(lineHeight));
    // Wrapped to five or more lines, two lines are two lines high.
    const cg::Size all = AttributedLabel::sizeThatFitsAttributedString(text, {120, 0}, 0);
    ASSERT_GE(all.height, 5 * lineHeight - 1);
    const cg::Size two = AttributedLabel::sizeThatFitsAttributedString(text, {120, 0}, 2);
    EXPECT_EQ(two.height, std::ceil(2 * lineHeight));
    EXPECT_LE(two.width, 120);
    EXPECT_EQ(AttributedLabel::sizeThatFitsAttributedString(text, {120, 0}, 50), all);
}

TEST(AttributedLabelLayout, SizeThatFitsAddsTheInsetsOnceAndIntrinsicSizeFollows) {
    auto label = std::make_shared<AttributedLabel>(cg::Rect{0, 0, 120, 40});
    label->setNumberOfLines(0);
    label->setText(attributed(story));
    const cg::Size bare = label->sizeThatFits({120, 1000});
    EXPECT_EQ(bare, AttributedLabel::sizeThatFitsAttributedString(attributed(story), {120, 0}, 0));
    label->setTextInsets({5, 7, 11, 13});
    const cg::Size inset = label->sizeThatFits({120, 1000});
    EXPECT_EQ(inset.width, bare.width + 20);
    EXPECT_EQ(inset.height, bare.height + 16);
    label->setNumberOfLines(1);
    EXPECT_EQ(label->intrinsicContentSize(),
              (cg::Size{std::ceil(ct::createLine(*label->attributedText()).visibleWidth()) + 20,
                        std::ceil(helvetica(17)->lineHeight()) + 16}));
    // A truncation token counted into the length never reaches past the text.
    label->setAttributedTruncationToken(attributed(" more"));
    label->setNumberOfLines(3);
    EXPECT_NO_THROW(label->sizeThatFits({120, 1000}));
    EXPECT_EQ(label->sizeThatFits({120, 1000}).height, std::ceil(3 * helvetica(17)->lineHeight()) + 16);
}

TEST(AttributedLabelLayout, TextRectangleIsAtLeastTwoLinesAndAlignedVertically) {
    auto label = std::make_shared<AttributedLabel>(cg::Rect{0, 0, 200, 100});
    label->setNumberOfLines(0);
    label->setText(attributed("Two short\nlines"));
    const double textHeight = std::ceil(2 * helvetica(17)->lineHeight());
    const cg::Rect bounds{0, 0, 200, 100};
    cg::Rect centred = label->textRectForBounds(bounds, 0);
    EXPECT_EQ(centred.origin.y, std::floor((100 - textHeight) / 2));
    EXPECT_EQ(centred.size.height, 100);
    label->setVerticalAlignment(LabelVerticalAlignment::Bottom);
    EXPECT_EQ(label->textRectForBounds(bounds, 0).origin.y, 100 - textHeight);
    label->setVerticalAlignment(LabelVerticalAlignment::Top);
    EXPECT_EQ(label->textRectForBounds(bounds, 0).origin.y, 0);
    // Bounds lower than two lines still give two lines of room.
    const cg::Rect low = label->textRectForBounds({0, 0, 200, 10}, 0);
    EXPECT_DOUBLE_EQ(low.size.height, 2 * helvetica(17)->lineHeight());
    EXPECT_DOUBLE_EQ(label->textRectForBounds({0, 0, 200, 10}, 4).size.height, 4 * helvetica(17)->lineHeight());
    // Insets move and shrink the room.
    label->setTextInsets({10, 20, 10, 20});
    const cg::Rect inset = label->textRectForBounds(bounds, 0);
    EXPECT_EQ(inset.origin.x, 20);
    EXPECT_EQ(inset.origin.y, 10);
    EXPECT_EQ(inset.size.width, 160);
}

TEST(AttributedLabelLayout, WithoutAttributedTextTheBaseLabelAnswers) {
    auto label = std::make_shared<AttributedLabel>(cg::Rect{0, 0, 200, 100});
    ui::Label plain(cg::Rect{0, 0, 200, 100});
    EXPECT_EQ(label->sizeThatFits({200, 100}), plain.sizeThatFits({200, 100}));
    label->setTextInsets({10, 20, 10, 20});
    EXPECT_EQ(label->textRectForBounds({0, 0, 200, 100}, 1), plain.textRectForBounds({20, 10, 160, 80}, 1));
}

TEST(AttributedLabelLayout, BoundingRectanglesCoverTheCharacters) {
    auto label = std::make_shared<AttributedLabel>(cg::Rect{0, 0, 300, 100});
    label->setText(attributed("alpha beta"));
    const cg::Rect alpha = label->boundingRectForCharacterRange({0, 5});
    const cg::Rect beta = label->boundingRectForCharacterRange({6, 4});
    EXPECT_EQ(alpha.origin.x, 0);
    EXPECT_GT(alpha.size.width, 20);
    EXPECT_GT(beta.origin.x, cg::maxX(alpha));
    EXPECT_DOUBLE_EQ(alpha.origin.y, beta.origin.y);
    EXPECT_NEAR(alpha.size.height, helvetica(17)->ascender() - helvetica(17)->descender(), 1e-9);
    EXPECT_TRUE(cg::rectIsNull(label->boundingRectForCharacterRange({50, 2})));
}

}  // namespace
}  // namespace ql
