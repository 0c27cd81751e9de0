#include <gtest/gtest.h>

#include <cmath>

#include "platform/text/Framesetter.h"
#include "platform/text/LinePositions.h"
#include "platform/text/ParagraphStyleObject.h"
#include "platform/ui/GeometryValue.h"
#include "tests/support/ReferenceImage.h"
#include "tests/web/label/LabelTestSupport.h"

namespace ql {
namespace {

using test::attributed;
using test::helvetica;
using test::pixelsNear;

constexpr cg::RGBA Red{1, 0, 0, 1};
constexpr cg::RGBA Green{0, 1, 0, 1};
constexpr cg::RGBA Blue{0, 0, 1, 1};
constexpr cg::RGBA Black{0, 0, 0, 1};

std::shared_ptr<AttributedLabel> makeLabel(cg::Rect frame, std::int64_t lines, ui::LineBreakMode mode) {
    auto label = std::make_shared<AttributedLabel>(frame);
    label->setNumberOfLines(lines);
    label->setLineBreakMode(mode);
    return label;
}

// The left and right ends of the pixels of one colour.
std::pair<int, int> columnsOf(const cg::Image& image, cg::RGBA colour) {
    int left = -1;
    int right = -1;
    for (int x = 0; x < image.width(); ++x) {
        if (pixelsNear(image, {static_cast<double>(x), 0, 1, static_cast<double>(image.height())}, colour, 90) == 0)
            continue;
        if (left < 0) left = x;
        right = x;
    }
    return {left, right};
}

ct::AttributedString redToken() { return ct::AttributedString("…", test::textAttributes(helvetica(17), ui::Color::redColor())); }

TEST(AttributedLabelDrawing, TruncatesOnlyTheLastVisibleLineAndOnlyWhenTextGoesOn) {
    const std::string text = "The quick brown fox jumps over the lazy dog again and again";
    // A text that fits is never cut, whatever the mode says.
    auto fits = makeLabel({0, 0, 600, 40}, 1, ui::LineBreakMode::TruncatingTail);
    fits->setText(std::optional<std::string>(text));
    fits->setAttributedTruncationToken(redToken());
    EXPECT_EQ(pixelsNear(*test::drawLabel(*fits), {0, 0, 600, 40}, Red), 0);

    auto tail = makeLabel({0, 0, 150, 40}, 1, ui::LineBreakMode::TruncatingTail);
    tail->setText(std::optional<std::string>(text));
    tail->setAttributedTruncationToken(redToken());
    auto [tailLeft, tailRight] = columnsOf(*test::drawLabel(*tail), Red);
    ASSERT_GE(tailLeft, 0);
    EXPECT_GT(tailLeft, 100);
    EXPECT_LE(tailRight, 150);

    auto head = makeLabel({0, 0, 150, 40}, 1, ui::LineBreakMode::TruncatingHead);
    head->setText(std::optional<std::string>(text));
    head->setAttributedTruncationToken(redToken());
    auto [headLeft, headRight] = columnsOf(*test::drawLabel(*head), Red);
    ASSERT_GE(headLeft, 0);
    EXPECT_LT(headRight, 20);

    // One line cut in the middle; the last of three lines is cut at its end.
    auto middle = makeLabel({0, 0, 300, 40}, 1, ui::LineBreakMode::TruncatingMiddle);
    middle->setText(std::optional<std::string>(text + " " + text));
    middle->setAttributedTruncationToken(redToken());
    auto [middleLeft, middleRight] = columnsOf(*test::drawLabel(*middle), Red);
    EXPECT_GT(middleLeft, 100);
    EXPECT_LT(middleRight, 200);
    auto third = makeLabel({0, 0, 150, 90}, 3, ui::LineBreakMode::TruncatingMiddle);
    third->setText(std::optional<std::string>(text + " " + text));
    third->setAttributedTruncationToken(redToken());
    auto image = test::drawLabel(*third);
    EXPECT_GT(columnsOf(*image, Red).first, 60);
    const test::InkBounds ink = test::inkBounds(*image);
    int redTop = -1;
    for (int y = 0; y < image->height() && redTop < 0; ++y) {
        if (pixelsNear(*image, {0, static_cast<double>(y), 150, 1}, Red, 90) > 0) redTop = y;
    }
    EXPECT_GT(redTop, ink.top + 2 * helvetica(17)->lineHeight() - 4);
}

TEST(AttributedLabelDrawing, TheTokenFollowsTheLastVisibleCharacterAndStandsAloneWhenRoomIsShort) {
    // The first line ends in a newline: the token comes right after its last letter.
    auto label = makeLabel({0, 0, 300, 40}, 1, ui::LineBreakMode::TruncatingTail);
    label->setText(std::optional<std::string>("first line\nsecond line"));
    label->setAttributedTruncationToken(redToken());
    auto [left, right] = columnsOf(*test::drawLabel(*label), Red);
    const double firstWidth = ct::createLine(attributed("first line")).visibleWidth();
    EXPECT_NEAR(left, firstWidth, 3);
    // Narrower than the token: the token alone.
    auto narrow = makeLabel({0, 0, 6, 40}, 1, ui::LineBreakMode::TruncatingTail);
    narrow->setText(std::optional<std::string>("words that never fit"));
    narrow->setTruncationTokenString("WIDE TOKEN");
    narrow->setTruncationTokenStringAttributes(test::textAttributes(helvetica(17), ui::Color::redColor()));
    auto image = test::drawLabel(*narrow);
    EXPECT_GT(pixelsNear(*image, {0, 0, 6, 40}, Red, 90), 0);
    EXPECT_EQ(pixelsNear(*image, {0, 0, 6, 40}, Black, 40), 0);
    // Without token settings the token takes the look of the text it follows.
    auto blue = makeLabel({0, 0, 120, 40}, 1, ui::LineBreakMode::TruncatingTail);
    blue->setTextColor(ui::Color::blueColor());
    blue->setText(std::optional<std::string>("a rather long line of words"));
    auto [blueLeft, blueRight] = columnsOf(*test::drawLabel(*blue), Blue);
    EXPECT_GT(blueRight, 110);
}

TEST(AttributedLabelDrawing, StrikeThroughAndBackgroundBoxesShowOnThePixels) {
    auto label = makeLabel({0, 0, 300, 60}, 1, ui::LineBreakMode::TruncatingTail);
    ct::AttributedString text = attributed("plain struck boxed");
    text.addAttribute(LabelStrikeOutAttribute, ns::Value(true), {6, 6});
    text.addAttribute(ct::ForegroundColorAttributeName, ns::Value(ui::Color::redColor()), {6, 6});
    // The struck run is larger, but its line is as thick as the label's own font draws one.
    text.addAttribute(ct::FontAttributeName, ns::Value(helvetica(40)), {6, 6});
    text.addAttribute(LabelBackgroundFillColor, ns::Value(ui::Color::greenColor()), {13, 5});
    label->setText(text);
    auto image = test::drawLabel(*label, 3);
    test::saveForInspection(*image, "label-strike-box");
    // A red row as wide as most of the struck word, as thick as the label's font's underline.
    const double struckWidth = 3 * ct::createLine(ct::AttributedString("struck", test::textAttributes(helvetica(40)))).width();
    int fullRows = 0;
    for (int y = 0; y < image->height(); ++y) {
        if (pixelsNear(*image, {0, static_cast<double>(y), 900, 1}, Red, 90) > struckWidth * 0.9) ++fullRows;
    }
    EXPECT_GE(fullRows, 2);
    EXPECT_LE(fullRows, std::ceil(3 * helvetica(17)->ctFont().underlineThickness()) + 1);
    EXPECT_LT(std::ceil(3 * helvetica(17)->ctFont().underlineThickness()) + 1, 3 * helvetica(40)->ctFont().underlineThickness());
    // The green box behind "boxed" lies right of the struck word.
    auto [greenLeft, greenRight] = columnsOf(*image, Green);
    ASSERT_GE(greenLeft, 0);
    EXPECT_GT(greenLeft, struckWidth);
    EXPECT_GT(pixelsNear(*image, {0, 0, 900, 180}, Green), 1800);

    // Lines past the limit are not drawn, and neither are their strikes and boxes.
    auto limited = makeLabel({0, 0, 120, 80}, 1, ui::LineBreakMode::TruncatingTail);
    ct::AttributedString longer = attributed("first words then struck boxed words");
    longer.addAttribute(LabelStrikeOutAttribute, ns::Value(true), {17, 6});
    longer.addAttribute(ct::ForegroundColorAttributeName, ns::Value(ui::Color::redColor()), {17, 6});
    longer.addAttribute(LabelBackgroundFillColor, ns::Value(ui::Color::greenColor()), {24, 5});
    limited->setText(longer);
    ASSERT_GT(limited->framesetter()->createFrame({0, 0}, {0, 0, 120, 1000}).lines()[0].stringRange().end(), 0u);
    ASSERT_LT(limited->framesetter()->createFrame({0, 0}, {0, 0, 120, 1000}).lines()[0].stringRange().end(), 17u);
    auto limitedImage = test::drawLabel(*limited);
    EXPECT_EQ(pixelsNear(*limitedImage, {0, 0, 120, 80}, Red, 90), 0);
    EXPECT_EQ(pixelsNear(*limitedImage, {0, 0, 120, 80}, Green, 90), 0);

    // However large the padding, a box is never wider than its line.
    auto padded = makeLabel({0, 0, 300, 60}, 1, ui::LineBreakMode::TruncatingTail);
    ct::AttributedString boxed = attributed("box");
    boxed.addAttribute(LabelBackgroundFillColor, ns::Value(ui::Color::greenColor()), {0, 3});
    boxed.addAttribute(LabelBackgroundFillPadding, ui::GeometryValue::valueWithUIEdgeInsets({0, 0, 0, 500}), {0, 3});
    padded->setText(boxed);
    padded->setLinkBackgroundEdgeInset({0, 0, 0, 0});
    auto [boxLeft, boxRight] = columnsOf(*test::drawLabel(*padded), Green);
    EXPECT_LE(boxRight - boxLeft + 1, std::ceil(ct::createLine(attributed("box")).width()) + 1);
}

// Boxes and strikes of right-to-left runs cover their own glyphs: in a left-to-right paragraph, where the
// space after the run runs the other way, and in a right-to-left one.
TEST(AttributedLabelDrawing, BoxesAndStrikesOfRightToLeftRunsCoverTheirOwnGlyphs) {
    struct Case {
        const char* text;
        ct::WritingDirection direction;
    };
    for (const Case& c : {Case{"read שלום עולם now", ct::WritingDirection::Natural},
                          Case{"שלום עולם read now", ct::WritingDirection::RightToLeft}}) {
        SCOPED_TRACE(c.text);
        auto label = makeLabel({0, 0, 300, 40}, 1, ui::LineBreakMode::TruncatingTail);
        ct::ParagraphStyle paragraph;
        paragraph.baseWritingDirection = c.direction;
        ct::AttributedString text = attributed(c.text);
        text.addAttribute(ct::ParagraphStyleAttributeName, ns::Value(std::make_shared<ct::ParagraphStyleObject>(paragraph)),
                          {0, text.length()});
        const std::u16string string = text.u16string();
        const ns::Range boxed{string.find(u"עולם"), 4};
        const ns::Range struck{string.find(u"שלום"), 4};
        text.addAttribute(LabelBackgroundFillColor, ns::Value(ui::Color::greenColor()), boxed);
        text.addAttribute(LabelStrikeOutAttribute, ns::Value(true), struck);
        text.addAttribute(ct::ForegroundColorAttributeName, ns::Value(ui::Color::redColor()), struck);
        label->setText(text);
        label->setLinkBackgroundEdgeInset({0, 0, 0, 0});
        const double scale = 3;
        auto image = test::drawLabel(*label, scale);
        test::saveForInspection(*image, std::string("label-rtl-") + (c.direction == ct::WritingDirection::Natural ? "ltr" : "rtl"));

        const ct::Frame frame = label->framesetter()->createFrame({0, 0}, {0, 0, 300, 40});
        const ct::Line& line = frame.lines()[0];
        const double start = frame.lineRooms()[0].x + line.penOffsetForFlush(0, frame.lineRooms()[0].width);
        auto expectColumns = [&](cg::RGBA colour, ns::Range range) {
            const auto [left, right] = ct::horizontalExtent(line, range);
            const auto [first, last] = columnsOf(*image, colour);
            EXPECT_NEAR(first, (start + left) * scale, 3);
            EXPECT_NEAR(last + 1, (start + right) * scale, 3);
        };
        expectColumns(Green, boxed);
        expectColumns(Red, struck);
    }
}

// The row (in pixels from the top) holding most of the strike's red.
int strikeRow(int superscript) {
    auto label = makeLabel({0, 0, 200, 60}, 1, ui::LineBreakMode::TruncatingTail);
    ct::AttributedString text = attributed("base struck");
    text.addAttribute(LabelStrikeOutAttribute, ns::Value(true), {5, 6});
    text.addAttribute(ct::ForegroundColorAttributeName, ns::Value(ui::Color::redColor()), {5, 6});
    // Only the strike is looked at: the struck glyphs themselves are white.
    text.addAttribute(ct::ForegroundColorAttributeName, ns::Value(ui::Color::whiteColor()), {0, 5});
    if (superscript != 0) text.addAttribute(ct::SuperscriptAttributeName, ns::Value(superscript), {5, 6});
    label->setText(text);
    auto image = test::drawLabel(*label, 4);
    int best = -1;
    int most = 0;
    for (int y = 0; y < image->height(); ++y) {
        const int red = pixelsNear(*image, {0, static_cast<double>(y), 800, 1}, Red, 90);
        if (red > most) {
            most = red;
            best = y;
        }
    }
    return best;
}

TEST(AttributedLabelDrawing, SuperscriptAndSubscriptMoveTheStrike) {
    const double ascent = helvetica(17)->ascender();
    const int plain = strikeRow(0);
    ASSERT_GE(plain, 0);
    EXPECT_NEAR(strikeRow(1) - plain, 4 * 0.47 * ascent, 5);
    EXPECT_NEAR(plain - strikeRow(-1), 4 * 0.25 * ascent, 5);
}

TEST(AttributedLabelDrawing, ShrinksFontsOnAPrivateCopyWithoutTouchingTheLabelsText) {
    const std::string text = "Little foxes read books in bed";
    const double width = std::ceil(ct::createLine(attributed(text)).visibleWidth());
    auto shrinking = makeLabel({0, 0, width / 3, 60}, 2, ui::LineBreakMode::WordWrapping);
    shrinking->setAdjustsFontSizeToFitWidth(true);
    shrinking->setText(std::optional<std::string>(text));
    const ct::AttributedString before = *shrinking->attributedText();
    auto shrunkImage = test::drawLabel(*shrinking);
    // The label keeps its text and its framesetter's text.
    EXPECT_EQ(*shrinking->attributedText(), before);
    EXPECT_EQ(shrinking->framesetter()->attributedString().attributeAtIndex(ct::FontAttributeName, 0).asObject<ui::Font>()->pointSize(), 17);

    // It looks as the same text set at 9 points: 17 × 2/3 ÷ (π/e), whole points down.
    auto reference = makeLabel({0, 0, width / 3, 60}, 2, ui::LineBreakMode::WordWrapping);
    ct::AttributedString small = before;
    small.addAttribute(ct::FontAttributeName, ns::Value(helvetica(9)), {0, small.length()});
    reference->setText(small);
    auto referenceImage = test::drawLabel(*reference);
    EXPECT_EQ(test::compareImages(*shrunkImage, *referenceImage, 0).differing, 0);
    EXPECT_FALSE(test::inkBounds(*shrunkImage).empty());
    // A minimum scale factor holds the shrinking.
    shrinking->setMinimumScaleFactor(0.9);
    EXPECT_GT(test::compareImages(*test::drawLabel(*shrinking), *referenceImage, 0).differing, 0);
}

TEST(AttributedLabelDrawing, HighlightedLabelsDrawEverythingInTheHighlightColour) {
    auto label = makeLabel({0, 0, 300, 40}, 1, ui::LineBreakMode::TruncatingTail);
    label->setText(std::optional<std::string>("read the guide now"));
    label->addLinkToURL(*ns::URL::fromString("https://guide.test"), {9, 5});
    auto normal = test::drawLabel(*label, 2);
    EXPECT_GT(pixelsNear(*normal, {0, 0, 600, 80}, Blue, 90), 20);
    // Links are underlined: a blue row about as wide as the link's word.
    const double guideWidth = 2 * ct::createLine(attributed("guide")).width();
    int underlineRows = 0;
    for (int y = 0; y < 80; ++y) {
        if (pixelsNear(*normal, {0, static_cast<double>(y), 600, 1}, Blue, 90) > guideWidth * 0.9) ++underlineRows;
    }
    EXPECT_GE(underlineRows, 1);
    label->setHighlightedTextColor(ui::Color::greenColor());
    label->setHighlighted(true);
    auto image = test::drawLabel(*label);
    EXPECT_EQ(pixelsNear(*image, {0, 0, 300, 40}, Blue, 90), 0);
    EXPECT_GT(pixelsNear(*image, {0, 0, 300, 40}, Green, 90), 20);
    EXPECT_EQ(pixelsNear(*image, {0, 0, 300, 40}, Black, 40), 0);
}

TEST(AttributedLabelDrawing, ShadowsFollowTheHighlightState) {
    auto label = makeLabel({0, 0, 200, 40}, 1, ui::LineBreakMode::TruncatingTail);
    label->setText(std::optional<std::string>("shadow"));
    EXPECT_EQ(pixelsNear(*test::drawLabel(*label), {0, 0, 200, 40}, Red, 60), 0);
    label->setShadowColor(ui::Color::redColor());
    label->setShadowOffset({4, 4});
    EXPECT_GT(pixelsNear(*test::drawLabel(*label), {0, 0, 200, 40}, Red, 60), 20);
    // Highlighted, the highlighted shadow takes over; without one there is none.
    label->setHighlighted(true);
    EXPECT_EQ(pixelsNear(*test::drawLabel(*label), {0, 0, 200, 40}, Red, 60), 0);
    label->setHighlightedShadowColor(ui::Color::greenColor());
    label->setHighlightedShadowOffset({4, 4});
    EXPECT_GT(pixelsNear(*test::drawLabel(*label), {0, 0, 200, 40}, Green, 60), 20);
}

TEST(AttributedLabelDrawing, CentredLinesAreCentredOneByOneAndVerticalAlignmentMovesThem) {
    auto label = makeLabel({0, 0, 200, 120}, 0, ui::LineBreakMode::WordWrapping);
    label->setTextAlignment(ui::TextAlignment::Center);
    label->setText(std::optional<std::string>("wide first line here\nmid"));
    auto image = test::drawLabel(*label);
    const double midWidth = ct::createLine(attributed("mid")).visibleWidth();
    const double lineHeight = helvetica(17)->lineHeight();
    const double textTop = std::floor((120 - std::ceil(2 * lineHeight)) / 2);
    const cg::Rect secondLine{0, textTop + lineHeight, 200, lineHeight};
    int left = 200;
    int right = 0;
    for (int y = static_cast<int>(secondLine.origin.y); y < static_cast<int>(cg::maxY(secondLine)); ++y) {
        for (int x = 0; x < 200; ++x) {
            const auto p = image->pixel(x, y);
            if (p.r < 128) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
        }
    }
    EXPECT_NEAR((left + right) / 2.0, 100, 3);
    EXPECT_NEAR(right - left, midWidth, 7);
    EXPECT_NEAR(test::inkBounds(*image).top, textTop + 3, 4);
    label->setVerticalAlignment(LabelVerticalAlignment::Top);
    EXPECT_LT(test::inkBounds(*test::drawLabel(*label)).top, 8);
    label->setVerticalAlignment(LabelVerticalAlignment::Bottom);
    EXPECT_GT(test::inkBounds(*test::drawLabel(*label)).bottom, 110);
}

}  // namespace
}  // namespace ql
