#include <gtest/gtest.h>

#include "richtext/RichTextParagraphStyle.h"

using namespace ql;

namespace {

TEST(RichTextParagraphStyleTests, CSSForm) {
    RichTextParagraphStyle style;
    EXPECT_EQ(style.defaultTabInterval, 36);
    EXPECT_FALSE(style.cssStyleRepresentation());
    style.lineHeightMultiple = 1;
    EXPECT_FALSE(style.cssStyleRepresentation());
    style.lineHeightMultiple = 1.5;
    EXPECT_EQ(style.cssStyleRepresentation().value_or(""), "line-height:1.5em;");
    style.lineHeightMultiple = 0;
    style.tailIndent = -20;
    EXPECT_EQ(style.cssStyleRepresentation().value_or(""), "margin-right:20px;");
    style.tailIndent = 20;
    EXPECT_EQ(style.cssStyleRepresentation().value_or(""), "margin-right:-20px;");

    RichTextParagraphStyle justified;
    justified.alignment = ct::TextAlignment::Justified;
    justified.baseWritingDirection = ct::WritingDirection::RightToLeft;
    justified.paragraphSpacing = 10;
    EXPECT_EQ(justified.cssStyleRepresentation().value_or(""), "text-align:justify;direction:rtl;margin-bottom:10px;");
    justified.alignment = ct::TextAlignment::Center;
    justified.baseWritingDirection = ct::WritingDirection::LeftToRight;
    justified.paragraphSpacing = 0;
    justified.paragraphSpacingBefore = 2.25;
    justified.headIndent = 12;
    justified.firstLineHeadIndent = 99;  // not written
    EXPECT_EQ(justified.cssStyleRepresentation().value_or(""), "text-align:center;direction:ltr;margin-top:2.25px;margin-left:12px;");
}

TEST(RichTextParagraphStyleTests, PlatformStylesBothWays) {
    RichTextParagraphStyle style;
    style.alignment = ct::TextAlignment::Right;
    style.firstLineHeadIndent = 3;
    style.headIndent = 4;
    style.tailIndent = -5;
    style.paragraphSpacing = 6;
    style.paragraphSpacingBefore = 7;
    style.lineHeightMultiple = 1.2;
    style.minimumLineHeight = 8;
    style.maximumLineHeight = 30;
    style.baseWritingDirection = ct::WritingDirection::RightToLeft;
    style.addTabStopAtPosition(50, 2);
    style.addTabStopAtPosition(80, 9);  // no such alignment: no tab stop
    style.textLists = RichTextParagraphStyle::TextLists{std::make_shared<RTCSSListStyle>()};

    const ct::ParagraphStyle platform = style.createCTParagraphStyle();
    EXPECT_EQ(platform.alignment, ct::TextAlignment::Right);
    EXPECT_EQ(platform.tailIndent, -5);
    EXPECT_EQ(platform.defaultTabInterval, 36);
    ASSERT_EQ(platform.tabStops.size(), 1u);
    EXPECT_EQ(platform.tabStops[0], (ct::TextTab{ct::TextAlignment::Center, 50}));
    EXPECT_EQ(platform.lineSpacing, 0);

    const auto back = RichTextParagraphStyle::paragraphStyleWithNSParagraphStyle(style.NSParagraphStyle().get());
    EXPECT_FALSE(back->textLists);
    back->textLists = style.textLists;
    EXPECT_TRUE(back->isEqual(style));
    EXPECT_TRUE(style.isEqual(*back));

    // Nothing given: the platform's default style, whose tab interval of 0 replaces the 36.
    const auto fromDefault = RichTextParagraphStyle::paragraphStyleWithNSParagraphStyle(nullptr);
    EXPECT_EQ(fromDefault->defaultTabInterval, 0);
    EXPECT_FALSE(fromDefault->tabStops);
    EXPECT_EQ(fromDefault->alignment, ct::TextAlignment::Natural);
}

TEST(RichTextParagraphStyleTests, CopiesEqualityAndHash) {
    RichTextParagraphStyle style;
    style.addTabStopAtPosition(10, 0);
    ASSERT_TRUE(style.tabStops);
    auto copied = std::static_pointer_cast<RichTextParagraphStyle>(style.copy());
    copied->addTabStopAtPosition(20, 0);
    EXPECT_EQ(style.tabStops->size(), 1u);
    EXPECT_EQ(copied->tabStops->size(), 2u);

    // Without lists the receiver matches a style with lists, not the other way round; the hash agrees.
    RichTextParagraphStyle withoutLists;
    RichTextParagraphStyle withLists;
    auto list = std::make_shared<RTCSSListStyle>();
    withLists.textLists = RichTextParagraphStyle::TextLists{list};
    EXPECT_TRUE(withoutLists.isEqual(withLists));
    EXPECT_FALSE(withLists.isEqual(withoutLists));
    EXPECT_EQ(withoutLists.hash(), withLists.hash());

    // Lists compare as objects: a copied list is another list.
    RichTextParagraphStyle withCopy;
    withCopy.textLists = RichTextParagraphStyle::TextLists{std::static_pointer_cast<RTCSSListStyle>(list->copy())};
    EXPECT_FALSE(withLists.isEqual(withCopy));
    RichTextParagraphStyle sameList;
    sameList.textLists = withLists.textLists;
    EXPECT_TRUE(withLists.isEqual(sameList));

    // Blocks compare by value.
    auto block = std::make_shared<RTTextBlock>();
    block->setPadding({1, 2, 3, 4});
    auto equalBlock = std::make_shared<RTTextBlock>();
    equalBlock->setPadding({1, 2, 3, 4});
    RichTextParagraphStyle a, b;
    a.textBlocks = RichTextParagraphStyle::TextBlocks{block};
    b.textBlocks = RichTextParagraphStyle::TextBlocks{equalBlock};
    EXPECT_TRUE(a.isEqual(b));

    // A copy shares the lists and blocks until either style changes its own.
    RichTextParagraphStyle outer;
    outer.textBlocks = RichTextParagraphStyle::TextBlocks{block};
    outer.textLists.mutableList().push_back(list);
    auto inner = std::static_pointer_cast<RichTextParagraphStyle>(outer.copy());
    EXPECT_EQ(&*inner->textBlocks, &*outer.textBlocks);
    inner->textBlocks.mutableList().push_back(equalBlock);
    inner->textLists.mutableList().clear();
    EXPECT_EQ(*outer.textBlocks, RichTextParagraphStyle::TextBlocks{block});
    EXPECT_EQ(*outer.textLists, RichTextParagraphStyle::TextLists{list});
    EXPECT_EQ(inner->textBlocks->size(), 2u);
    EXPECT_TRUE(inner->textLists);
    EXPECT_TRUE(inner->textLists->empty());
    // Absent and empty lists differ, as optional ones do; equal elements in other lists are equal.
    RichTextParagraphStyle emptyLists;
    emptyLists.textLists.mutableList();
    EXPECT_FALSE(emptyLists.textLists == withoutLists.textLists);
    EXPECT_TRUE(inner->textLists == emptyLists.textLists);
    RichTextParagraphStyle sameBlock;
    sameBlock.textBlocks = RichTextParagraphStyle::TextBlocks{block};
    EXPECT_TRUE(sameBlock.textBlocks == outer.textBlocks);

    RichTextParagraphStyle shifted;
    shifted.headIndent = 1;
    EXPECT_FALSE(shifted.isEqual(withoutLists));
    RichTextParagraphStyle negativeZero;
    negativeZero.headIndent = -0.0;
    EXPECT_TRUE(negativeZero.isEqual(withoutLists));
    EXPECT_EQ(negativeZero.hash(), withoutLists.hash());
}

}  // namespace
