#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

#include "platform/foundation/Exception.h"
#include "platform/foundation/Object.h"
#include "platform/text/AttributeNames.h"
#include "platform/text/AttributeValues.h"
#include "platform/text/Framesetter.h"
#include "platform/text/LinePositions.h"
#include "platform/text/ParagraphStyleObject.h"

namespace ql::ct {
namespace {

// Attribute values standing for a font and a colour, as the view layer's objects do.
class FontObject : public ns::Object, public FontValue {
public:
    explicit FontObject(Font font) : font_(std::move(font)) {}
    const Font& ctFont() const override { return font_; }

private:
    Font font_;
};

class ColorObject : public ns::Object, public ColorValue {
public:
    explicit ColorObject(cg::Color color) : color_(std::move(color)) {}
    const cg::Color& CGColor() const override { return color_; }

private:
    cg::Color color_;
};

const Font helvetica = Font::withName("Helvetica", 15);
const std::string paragraph = "It was the best of times, it was the worst of times, it was the age of wisdom";

ns::Dictionary attributes(const Font& font, ParagraphStyle style = {}) {
    return {{std::string(FontAttributeName), ns::Value(std::make_shared<FontObject>(font))},
            {std::string(ParagraphStyleAttributeName), ns::Value(std::make_shared<ParagraphStyleObject>(style))}};
}

Framesetter framesetter(std::string_view text, ParagraphStyle style = {}) {
    return Framesetter(AttributedString(text, attributes(helvetica, style)));
}

TEST(Framesetter, FramesHoldTheLinesThatFitWithOriginsFromTheBottom) {
    Framesetter setter = framesetter(paragraph);
    const double lineHeight = helvetica.lineHeight();
    Frame frame = setter.createFrame({0, 0}, {10, 20, 160, 1000});
    ASSERT_GE(frame.lines().size(), 3u);
    EXPECT_EQ(frame.stringRange(), (ns::Range{0, setter.attributedString().length()}));
    EXPECT_EQ(frame.visibleStringRange(), frame.stringRange());
    std::uint64_t next = 0;
    for (std::size_t i = 0; i < frame.lines().size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(frame.lines()[i].stringRange().location, next);
        next = frame.lines()[i].stringRange().end();
        EXPECT_LE(frame.lines()[i].visibleWidth(), 160);
        EXPECT_NEAR(frame.lineOrigins()[i].y, 1000 - (i * lineHeight + helvetica.ascent()), 1e-9);
        EXPECT_DOUBLE_EQ(frame.lineOrigins()[i].x, 0);
    }
    // Lines that do not fit the height whole are left out, even the first.
    Frame two = setter.createFrame({0, 0}, {0, 0, 160, 2.5 * lineHeight});
    ASSERT_EQ(two.lines().size(), 2u);
    EXPECT_EQ(two.visibleStringRange().length, two.lines()[1].stringRange().end());
    EXPECT_TRUE(setter.createFrame({0, 0}, {0, 0, 160, lineHeight / 2}).lines().empty());
    // A range of the text sets only that range.
    Frame middle = setter.createFrame({7, 10}, {0, 0, 1000, 1000});
    ASSERT_EQ(middle.lines().size(), 1u);
    EXPECT_EQ(middle.lines()[0].stringRange(), (ns::Range{7, 10}));
    EXPECT_THROW(setter.createFrame({5, 1000}, {0, 0, 10, 10}), ns::Exception);
    EXPECT_TRUE(Framesetter(AttributedString()).createFrame({0, 0}, {0, 0, 100, 100}).lines().empty());
}

TEST(Framesetter, SuggestedSizesMatchTheFrameAndRangesThatFit) {
    Framesetter setter = framesetter(paragraph);
    const double lineHeight = helvetica.lineHeight();
    ns::Range fit;
    cg::Size one = setter.suggestFrameSize({0, 0}, {100000, 100000}, &fit);
    EXPECT_DOUBLE_EQ(one.width, createLine(setter.attributedString()).visibleWidth());
    EXPECT_DOUBLE_EQ(one.height, lineHeight);
    EXPECT_EQ(fit.length, setter.attributedString().length());
    for (double width : {250.0, 160.0, 90.0}) {
        SCOPED_TRACE(width);
        Frame frame = setter.createFrame({0, 0}, {0, 0, width, 100000});
        cg::Size size = setter.suggestFrameSize({0, 0}, {width, 100000});
        EXPECT_LE(size.width, width);
        EXPECT_NEAR(size.height, frame.lines().size() * lineHeight, 1e-9);
        // The first two lines alone.
        cg::Size two = setter.suggestFrameSize({0, frame.lines()[1].stringRange().end()}, {width, 100000});
        EXPECT_NEAR(two.height, 2 * lineHeight, 1e-9);
    }
    cg::Size limited = setter.suggestFrameSize({0, 0}, {90, 3 * lineHeight + 1}, &fit);
    EXPECT_NEAR(limited.height, 3 * lineHeight, 1e-9);
    EXPECT_LT(fit.length, setter.attributedString().length());
    EXPECT_EQ(Framesetter(AttributedString()).suggestFrameSize({0, 0}, {100, 100}), (cg::Size{0, 0}));
}

TEST(Framesetter, ParagraphStylesSetIndentsAlignmentHeightsAndSpacing) {
    const double lineHeight = helvetica.lineHeight();
    const double width = 200;
    auto frame = [&](std::string_view text, ParagraphStyle style) {
        return framesetter(text, style).createFrame({0, 0}, {0, 0, width, 1000});
    };
    const double wordWidth = createLine(AttributedString("Hello", attributes(helvetica))).visibleWidth();
    EXPECT_NEAR(frame("Hello", {.alignment = TextAlignment::Center}).lineOrigins()[0].x, (width - wordWidth) / 2, 1e-9);
    EXPECT_NEAR(frame("Hello", {.alignment = TextAlignment::Right}).lineOrigins()[0].x, width - wordWidth, 1e-9);

    Frame indented = frame(paragraph, {.firstLineHeadIndent = 30, .headIndent = 10, .tailIndent = -20});
    ASSERT_GE(indented.lines().size(), 3u);
    EXPECT_DOUBLE_EQ(indented.lineOrigins()[0].x, 30);
    EXPECT_DOUBLE_EQ(indented.lineOrigins()[1].x, 10);
    EXPECT_DOUBLE_EQ(indented.lineRooms()[0].x, 30);
    EXPECT_DOUBLE_EQ(indented.lineRooms()[0].width, width - 50);
    EXPECT_DOUBLE_EQ(indented.lineRooms()[1].width, width - 30);
    EXPECT_LE(indented.lines()[0].visibleWidth(), width - 50);
    EXPECT_LE(indented.lines()[1].visibleWidth(), width - 30);

    // Line heights: the multiple scales the font's height, the limits hold it; extra room goes above.
    Frame tall = frame(paragraph, {.lineHeightMultiple = 1.5});
    EXPECT_NEAR(tall.lineOrigins()[0].y - tall.lineOrigins()[1].y, 1.5 * lineHeight, 1e-9);
    EXPECT_NEAR(1000 - tall.lineOrigins()[0].y, 1.5 * lineHeight - helvetica.descent(), 1e-9);
    Frame held = frame(paragraph, {.lineHeightMultiple = 3, .maximumLineHeight = 25});
    EXPECT_NEAR(held.lineOrigins()[0].y - held.lineOrigins()[1].y, 25, 1e-9);
    Frame raised = frame(paragraph, {.minimumLineHeight = 40});
    EXPECT_NEAR(raised.lineOrigins()[0].y - raised.lineOrigins()[1].y, 40, 1e-9);

    Frame spaced = frame("one\ntwo\nthree four", {.lineSpacing = 4, .paragraphSpacing = 10, .paragraphSpacingBefore = 3});
    ASSERT_EQ(spaced.lines().size(), 3u);
    EXPECT_NEAR(spaced.lineOrigins()[0].y - spaced.lineOrigins()[1].y, lineHeight + 4 + 10 + 3, 1e-9);
    EXPECT_NEAR(1000 - spaced.lineOrigins()[0].y, helvetica.ascent(), 1e-9);

    // Justified lines fill the width, but not the paragraph's last.
    Frame justified = frame(paragraph, {.alignment = TextAlignment::Justified});
    EXPECT_NEAR(justified.lines()[0].visibleWidth(), width, 1e-6);
    EXPECT_LT(justified.lines().back().visibleWidth(), width - 1);

    // Character wrapping fills a line inside a word; the truncating modes wrap by words.
    auto narrow = [&](ParagraphStyle style) { return framesetter(paragraph, style).createFrame({0, 0}, {0, 0, 160, 1000}); };
    Frame byCharacter = narrow({.lineBreakMode = LineBreakMode::CharWrapping});
    Frame truncating = narrow({.lineBreakMode = LineBreakMode::TruncatingTail});
    Frame byWord = narrow({});
    EXPECT_GT(byCharacter.lines()[0].stringRange().length, byWord.lines()[0].stringRange().length);
    EXPECT_EQ(truncating.lines().size(), byWord.lines().size());
}

TEST(Framesetter, RunsFollowTheAttributesOfTheirRanges) {
    AttributedString text("plain 粗体 link", attributes(helvetica));
    const Font big = Font::withName("Helvetica", 30);
    text.addAttribute(FontAttributeName, ns::Value(std::make_shared<FontObject>(big)), {6, 2});
    text.addAttribute(ForegroundColorAttributeName, ns::Value(std::make_shared<ColorObject>(cg::Color::rgb(0, 0, 1))),
                      {9, 4});
    text.addAttribute(UnderlineStyleAttributeName, ns::Value(1), {9, 4});
    Framesetter setter(text);
    Frame frame = setter.createFrame({0, 0}, {0, 0, 1000, 1000});
    ASSERT_EQ(frame.lines().size(), 1u);
    const Line& line = frame.lines()[0];
    EXPECT_DOUBLE_EQ(line.ascent(), std::max(big.fallback(line.runs()[1].font().record()).ascent(), line.ascent()));
    bool sawLink = false;
    for (const ct::Run& run : line.runs()) {
        const ns::Range range = run.stringRange();
        if (range.location >= 9) {
            sawLink = true;
            EXPECT_TRUE(run.style().underlined);
            EXPECT_EQ(run.style().foregroundColor, cg::Color::rgb(0, 0, 1));
        } else {
            EXPECT_FALSE(run.style().underlined);
            EXPECT_FALSE(run.style().foregroundColor.has_value());
        }
        // No run crosses a change of attributes.
        EXPECT_TRUE(range.end() <= 6 || range.location >= 6);
        EXPECT_TRUE(range.end() <= 8 || range.location >= 8);
        if (range.location == 6) {
            EXPECT_EQ(run.font().pointSize(), 30);
        }
    }
    EXPECT_TRUE(sawLink);
    // Kerning widens every character by its amount.
    AttributedString kerned("abc 中文", attributes(helvetica));
    const double plain = createLine(kerned).width();
    kerned.addAttribute(KernAttributeName, ns::Value(2.5), {0, kerned.length()});
    EXPECT_NEAR(createLine(kerned).width(), plain + 2.5 * 6, 1e-9);
    // Unknown values read as the defaults.
    TextStyle fallback = textStyleFromAttributes({{std::string(FontAttributeName), ns::Value("Courier")}});
    EXPECT_EQ(fallback.font.pointSize(), 12);
    EXPECT_EQ(textStyleFromAttributes({{std::string(ui::ForegroundColorAttributeName),
                                        ns::Value(std::make_shared<ColorObject>(cg::Color::gray(0.5)))}})
                  .foregroundColor,
              cg::Color::gray(0.5));
}

TEST(LinePositions, OffsetsAndIndexesMeetAtCharacterHalves) {
    AttributedString text("abc 中文", attributes(helvetica));
    Line line = createLine(text);
    double previous = -1;
    for (std::uint64_t i = 0; i <= text.length(); ++i) {
        const double offset = offsetForStringIndex(line, i);
        EXPECT_GT(offset, previous);
        previous = offset;
        if (i < text.length()) {
            const double next = offsetForStringIndex(line, i + 1);
            EXPECT_EQ(stringIndexForPosition(line, {offset + (next - offset) * 0.25, 0}), i);
            EXPECT_EQ(stringIndexForPosition(line, {offset + (next - offset) * 0.75, 0}), i + 1);
        }
    }
    EXPECT_DOUBLE_EQ(offsetForStringIndex(line, text.length()), line.width());
    EXPECT_EQ(stringIndexForPosition(line, {-5, 0}), 0u);
    EXPECT_EQ(stringIndexForPosition(line, {line.width() + 5, 0}), text.length());
    // A line of a frame keeps the indexes of the whole text.
    Framesetter setter(text);
    Frame frame = setter.createFrame({4, 2}, {0, 0, 1000, 1000});
    EXPECT_EQ(stringIndexForPosition(frame.lines()[0], {0, 0}), 4u);
    EXPECT_DOUBLE_EQ(offsetForStringIndex(frame.lines()[0], 5), offsetForStringIndex(frame.lines()[0], 4) +
                                                                    frame.lines()[0].runs()[0].glyphs()[0].advance);
}

}  // namespace
}  // namespace ql::ct
