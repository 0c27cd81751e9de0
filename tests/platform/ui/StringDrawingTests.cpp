#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "platform/graphics/BitmapContext.h"
#include "platform/text/TextLayout.h"
#include "platform/ui/Color.h"
#include "platform/ui/Font.h"
#include "platform/ui/GraphicsContext.h"
#include "platform/ui/StringDrawing.h"

namespace ql::ui {
namespace {

const std::string paragraph = "Pack my box with five dozen liquor jugs, then go home";

double exactWidth(std::string_view text, const Font& font) {
    return ct::Typesetter(ct::StyledText(text, {font.ctFont(), {}})).createLine({0, 0}).visibleWidth();
}

TEST(StringDrawing, FontFormsMeasureInWholePoints) {
    auto font = Font::systemFontOfSize(17);
    cg::Size one = sizeWithFont("Hello", *font);
    EXPECT_EQ(one.width, std::ceil(exactWidth("Hello", *font)));
    EXPECT_EQ(one.height, std::ceil(font->lineHeight()));
    EXPECT_GT(sizeWithFont("Hello, world", *font).width, one.width);
    EXPECT_EQ(sizeWithFont("", *font), (cg::Size{0, 0}));

    // Wrapped within 200 points, as tall as its lines.
    cg::Size wrapped = sizeWithFont(paragraph, *font, {200, 0});
    EXPECT_LE(wrapped.width, 200);
    const double lines = std::round(wrapped.height / font->lineHeight());
    EXPECT_GE(lines, 2);
    EXPECT_EQ(wrapped.height, std::ceil(lines * font->lineHeight()));
    // A height for two lines keeps two, truncating or not.
    cg::Size twoLines = sizeWithFont(paragraph, *font, {200, 2.5 * font->lineHeight()}, LineBreakMode::TruncatingTail);
    EXPECT_EQ(twoLines.height, std::ceil(2 * font->lineHeight()));
    // Labels limit the number of lines.
    ct::TextLayout label =
        layoutWithFont(paragraph, *font, {200, 0}, LineBreakMode::TruncatingTail, TextAlignment::Center, 2);
    EXPECT_EQ(label.lines().size(), 2u);
    EXPECT_TRUE(label.isTruncated());
    EXPECT_LE(label.size().width, 200);
    // Chinese wraps between ideographs.
    cg::Size chinese = sizeWithFont("这是一段需要换行显示的中文文字", *font, {100, 0});
    EXPECT_LE(chinese.width, 100);
    EXPECT_GE(chinese.height, 3 * font->lineHeight());
}

TEST(StringDrawing, AttributeFormsMeasureExactly) {
    auto font = Font::fontWithName("TimesNewRomanPSMT", 15);
    ns::Dictionary attributes{{std::string(FontAttributeName), ns::Value(font)}};
    cg::Size size = sizeWithAttributes("Hello", attributes);
    EXPECT_DOUBLE_EQ(size.width, exactWidth("Hello", *font));
    EXPECT_DOUBLE_EQ(size.height, font->lineHeight());
    // Without a font, Helvetica 12.
    EXPECT_DOUBLE_EQ(sizeWithAttributes("Hello", {}).width, exactWidth("Hello", *Font::fontWithName("Helvetica", 12)));

    cg::Rect wrapped = boundingRectWithSize(paragraph, {150, 1e6}, StringDrawingUsesLineFragmentOrigin, attributes);
    EXPECT_EQ(wrapped.origin, (cg::Point{0, 0}));
    EXPECT_LE(wrapped.size.width, 150);
    const double lines = std::round(wrapped.size.height / font->lineHeight());
    EXPECT_DOUBLE_EQ(wrapped.size.height, lines * font->lineHeight());

    // The height keeps two lines; the second then ends with the token.
    const unsigned truncating = StringDrawingUsesLineFragmentOrigin | StringDrawingTruncatesLastVisibleLine;
    cg::Rect cut = boundingRectWithSize(paragraph, {150, 2.2 * font->lineHeight()}, truncating, attributes);
    EXPECT_DOUBLE_EQ(cut.size.height, 2 * font->lineHeight());
    EXPECT_LE(cut.size.width, 150);

    // Without the line-fragment origin the text is one line on a baseline at the origin.
    cg::Rect baseline = boundingRectWithSize(paragraph, {150, 0}, 0, attributes);
    EXPECT_DOUBLE_EQ(baseline.origin.y, -font->ascender());
    EXPECT_DOUBLE_EQ(baseline.size.height, font->lineHeight());
    EXPECT_DOUBLE_EQ(baseline.size.width, exactWidth(paragraph, *font));
    cg::Rect truncatedLine = boundingRectWithSize(paragraph, {150, 0}, StringDrawingTruncatesLastVisibleLine, attributes);
    EXPECT_LE(truncatedLine.size.width, 150);
}

// Draws with an image context current; returns the bounding box of the ink in points and its colour.
struct Ink {
    cg::Rect bounds = cg::Rect::null();
    cg::Image::Pixel darkest{255, 255, 255, 255};
};

Ink inkOf(const cg::BitmapContext& context, const cg::Image& image) {
    Ink ink;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            cg::Image::Pixel p = image.pixel(x, y);
            if (p.a == 0) continue;
            ink.bounds = cg::rectUnion(ink.bounds, cg::Rect(x / context.scale(), y / context.scale(),
                                                            1 / context.scale(), 1 / context.scale()));
            if (p.a > ink.darkest.a || (p.a == ink.darkest.a && p.r + p.g + p.b < ink.darkest.r + ink.darkest.g + ink.darkest.b))
                ink.darkest = p;
        }
    }
    return ink;
}

TEST(StringDrawing, DrawsIntoTheCurrentContext) {
    auto font = Font::boldSystemFontOfSize(16);
    const cg::Rect rect{10, 10, 200, 60};
    auto draw = [&](const std::function<void()>& drawing) {
        auto context = cg::BitmapContext::createForImage({220, 80}, false, 2);
        GraphicsPushContext(*context);
        drawing();
        GraphicsPopContext();
        auto image = context->makeImage();
        return inkOf(*context, *image);
    };

    // Centred: the ink sits in the middle of the rectangle, in the context's fill colour.
    Ink centred = draw([&] {
        Color::redColor()->setFill();
        cg::Size drawn = drawInRect("中文 Centre", rect, *font, LineBreakMode::WordWrapping, TextAlignment::Center);
        EXPECT_EQ(drawn, sizeWithFont("中文 Centre", *font));
    });
    ASSERT_FALSE(cg::rectIsNull(centred.bounds));
    EXPECT_NEAR(cg::midX(centred.bounds), cg::midX(rect), 1.5);
    EXPECT_GE(cg::minY(centred.bounds), rect.origin.y);
    EXPECT_LE(cg::maxY(centred.bounds), rect.origin.y + font->lineHeight() + 1);
    EXPECT_GT(centred.darkest.r, 200);
    EXPECT_LT(centred.darkest.g, 40);

    Ink right = draw([&] { drawInRect("Right", rect, *font, LineBreakMode::WordWrapping, TextAlignment::Right); });
    EXPECT_NEAR(cg::maxX(right.bounds), cg::maxX(rect), 2);
    EXPECT_GT(cg::minX(right.bounds), cg::midX(rect));

    // Attributes give the colour; black without one.
    ns::Dictionary blue{{std::string(FontAttributeName), ns::Value(font)},
                        {std::string(ForegroundColorAttributeName), ns::Value(Color::blueColor())}};
    Ink attributed = draw([&] { drawInRect("Blue", rect, blue); });
    EXPECT_GT(attributed.darkest.b, 200);
    EXPECT_LT(attributed.darkest.r, 40);
    Ink black = draw([&] { drawAtPoint("Black", {10, 10}, ns::Dictionary{}); });
    EXPECT_LT(black.darkest.r + black.darkest.g + black.darkest.b, 60);

    // A truncated line stays inside the rectangle; clipping cuts at its edge.
    Ink truncated = draw([&] { drawInRect(paragraph, {10, 10, 120, 20}, *font, LineBreakMode::TruncatingTail); });
    EXPECT_LE(cg::maxX(truncated.bounds), 131);
    Ink clipped = draw([&] { drawInRect(paragraph, {10, 10, 120, 20}, *font, LineBreakMode::Clipping); });
    EXPECT_LE(cg::maxX(clipped.bounds), 130);
    EXPECT_GE(cg::maxX(clipped.bounds), 125);

    // A baseline origin: the ink rises above it.
    Ink onBaseline = draw([&] { drawWithRect("Base", {10, 40, 100, 0}, 0, blue); });
    EXPECT_LE(cg::maxY(onBaseline.bounds), 40 + font->ctFont().descent());
    EXPECT_LT(cg::minY(onBaseline.bounds), 40 - font->capHeight() + 1);

    // Emoji have no face here; they draw the missing glyph and nothing breaks.
    Ink emoji = draw([&] { drawAtPoint("\U0001F600\U0001F44D\U0001F3FD ok", {10, 10}, *font); });
    EXPECT_FALSE(cg::rectIsNull(emoji.bounds));

    // Without a current context nothing happens.
    EXPECT_EQ(drawAtPoint("nowhere", {0, 0}, *font), sizeWithFont("nowhere", *font));
}

}  // namespace
}  // namespace ql::ui
