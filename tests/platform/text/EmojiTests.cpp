// Emoji: the colour face the fallback picks, sequences shaped as one picture, and the pictures drawn in
// colour, checked against the same face drawn by an independent program (Python's imaging library).

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/foundation/Text.h"
#include "platform/graphics/BitmapContext.h"
#include "platform/text/TextLayout.h"
#include "platform/text/Typesetter.h"
#include "tests/support/PeerProcess.h"
#include "tests/support/ReferenceImage.h"

namespace ql::ct {
namespace {

Typesetter typeset(std::string_view text, double size = 20, const Font& font = Font::withName("Helvetica", 20)) {
    return Typesetter(StyledText(text, {font.withSize(size), {}}));
}

// The faces that draw the text's visible glyphs, and how many distinct clusters those glyphs stand for.
struct Drawn {
    std::vector<std::string> faces;
    std::size_t clusters = 0;
    std::size_t glyphs = 0;
};

Drawn drawn(const Line& line) {
    Drawn d;
    std::uint64_t last = UINT64_MAX;
    for (const ct::Run& run : line.runs()) {
        for (const RunGlyph& g : run.glyphs()) {
            if (g.id == InvisibleGlyph || g.advance == 0) continue;
            ++d.glyphs;
            if (g.stringIndex != last) ++d.clusters;
            last = g.stringIndex;
            if (d.faces.empty() || d.faces.back() != run.font().familyName()) d.faces.push_back(run.font().familyName());
        }
    }
    return d;
}

bool isColourful(const cg::Image::Pixel& p) {
    return p.a > 200 && (std::abs(p.r - p.g) > 80 || std::abs(p.g - p.b) > 80 || std::abs(p.r - p.b) > 80);
}

TEST(Emoji, SequencesShapeAsOnePictureFromTheColourFace) {
    // A face, a family joined by zero-width joiners, a skin tone, a flag, a keycap, a heart asked for as
    // an emoji, and a tag sequence.
    for (const char* emoji : {"😀", "👨‍👩‍👧", "👍🏽", "🇨🇳", "1️⃣", "❤️", "🏴󠁧󠁢󠁳󠁣󠁴󠁿"}) {
        SCOPED_TRACE(emoji);
        const Typesetter typesetter = typeset(emoji);
        const Drawn d = drawn(typesetter.createLine({0, 0}));
        EXPECT_EQ(d.faces, std::vector<std::string>{"Noto Color Emoji"});
        EXPECT_EQ(d.glyphs, 1u);
        EXPECT_EQ(d.clusters, 1u);
        // Nothing can break inside it.
        EXPECT_EQ(typesetter.suggestClusterBreak(0, 1), typesetter.length());
    }
    // Characters shown as text by default, or asked for as text, stay with the text's faces.
    for (const char* text : {"❤", "☺︎", "1", "#", "©"}) {
        SCOPED_TRACE(text);
        const Drawn d = drawn(typeset(text).createLine({0, 0}));
        ASSERT_EQ(d.faces.size(), 1u);
        EXPECT_NE(d.faces[0], "Noto Color Emoji");
    }
    // A name with emoji: Chinese from its face, each emoji a picture, the text after them from the text's
    // face (white space is not drawn with the emoji face).
    const Drawn name = drawn(typeset("陈思远 😀👨‍👩‍👧 ok").createLine({0, 0}));
    EXPECT_EQ(name.faces, (std::vector<std::string>{"WenQuanYi Micro Hei", "Noto Color Emoji", "Helvetica"}));
    EXPECT_EQ(name.clusters, 4u + 2u + 3u);
    // Wrapped as tightly as can be, each picture keeps its line.
    const Typesetter family = typeset("👨‍👩‍👧👨‍👩‍👧");
    EXPECT_EQ(family.suggestLineBreak(0, 1), family.length() / 2);
    // Pictures scale with the size like outlines do.
    EXPECT_NEAR(typeset("😀", 40).createLine({0, 0}).width(), 2 * typeset("😀", 20).createLine({0, 0}).width(), 1e-9);
}

// The picture drawn unscaled (109 pixels a side is the face's own size) matches the same picture drawn
// by Python's imaging library, pixel for pixel.
TEST(Emoji, PicturesMatchThoseAnIndependentProgramDraws) {
    constexpr int Width = 200;
    constexpr int Height = 160;
    const auto peer = test::runPeer(test::pythonCommand(R"(
import sys
from PIL import Image, ImageDraw, ImageFont
font = ImageFont.truetype("/usr/share/fonts/truetype/noto/NotoColorEmoji.ttf", 109)
image = Image.new("RGBA", (200, 160), (255, 255, 255, 255))
ImageDraw.Draw(image).text((0, 0), "\U0001F600", font=font, embedded_color=True)
sys.stdout.buffer.write(image.tobytes())
)"),
                                    "");
    ASSERT_TRUE(peer) << "python3-pil is needed (scripts/setup installs it)";
    ASSERT_EQ(peer->size(), static_cast<std::size_t>(Width * Height * 4));

    auto context = cg::BitmapContext::createForImage({Width, Height}, true, 1);
    context->setFillColor(cg::Color::gray(1));
    context->fillRect({0, 0, Width, Height});
    context->setFillColor(cg::Color::gray(0));
    const Typesetter typesetter = typeset("😀", 109);
    const TextLayout layout(typesetter, ParagraphStyle{}, LayoutBox{});
    layout.draw(*context, {0, 0});
    const auto ours = context->makeImage();
    test::saveForInspection(*ours, "emoji-109");

    // Both place the picture by its own metrics; compared where each one's ink starts.
    auto inkOrigin = [&](auto pixel) {
        int left = Width, top = Height;
        for (int y = 0; y < Height; ++y)
            for (int x = 0; x < Width; ++x) {
                const cg::Image::Pixel p = pixel(x, y);
                if (p.r < 250 || p.g < 250 || p.b < 250) {
                    left = std::min(left, x);
                    top = std::min(top, y);
                }
            }
        return std::make_pair(left, top);
    };
    auto theirs = [&](int x, int y) {
        if (x < 0 || y < 0 || x >= Width || y >= Height) return cg::Image::Pixel{255, 255, 255, 255};
        const auto* p = reinterpret_cast<const std::uint8_t*>(peer->data()) + (y * Width + x) * 4;
        return cg::Image::Pixel{p[0], p[1], p[2], p[3]};
    };
    const auto [ourLeft, ourTop] = inkOrigin([&](int x, int y) { return ours->pixel(x, y); });
    const auto [theirLeft, theirTop] = inkOrigin(theirs);
    ASSERT_LT(ourLeft, Width);
    int colourful = 0, differing = 0;
    for (int y = 0; y < Height; ++y) {
        for (int x = 0; x < Width; ++x) {
            const cg::Image::Pixel a = ours->pixel(x, y);
            const cg::Image::Pixel b = theirs(x - ourLeft + theirLeft, y - ourTop + theirTop);
            colourful += isColourful(a) ? 1 : 0;
            if (std::abs(a.r - b.r) > 8 || std::abs(a.g - b.g) > 8 || std::abs(a.b - b.b) > 8) ++differing;
        }
    }
    EXPECT_GT(colourful, 5000);  // a yellow face, not a black shape
    EXPECT_LT(differing, 50);
    // Both stand on the baseline alike (the peer's is the face's ascent, 101 pixels, below its origin).
    EXPECT_NEAR(ourTop - layout.lines()[0].origin.y, theirTop - 101, 1);
}

TEST(Emoji, PicturesAreDrawnInColourAtTheTextsSizeWhateverItsStyle) {
    const double size = 24;
    for (const Font& font : {Font::systemFont(size), Font::systemFont(size, FontBoldTrait | FontItalicTrait)}) {
        SCOPED_TRACE(font.fontName());
        const Typesetter typesetter = typeset("A😀👨‍👩‍👧", size, font);
        const TextLayout layout(typesetter, ParagraphStyle{}, LayoutBox{});
        const double scale = 2;
        auto context = cg::BitmapContext::createForImage({120, 40}, true, scale);
        context->setFillColor(cg::Color::gray(1));
        context->fillRect({0, 0, 120, 40});
        context->setFillColor(cg::Color::gray(0));
        layout.draw(*context, {0, 0});
        const auto image = context->makeImage();
        test::saveForInspection(*image, "emoji-" + font.fontName());
        // Colour ink for the two pictures, each no wider than its advance and about as tall as the text.
        const Line& line = layout.lines()[0].line;
        const double letter = line.runs().front().width();
        int top = image->height(), bottom = -1;
        std::vector<int> columns(static_cast<std::size_t>(image->width()), 0);
        for (int y = 0; y < image->height(); ++y)
            for (int x = 0; x < image->width(); ++x) {
                if (!isColourful(image->pixel(x, y))) continue;
                ++columns[static_cast<std::size_t>(x)];
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        ASSERT_GE(bottom, 0);
        const double height = (bottom - top + 1) / scale;
        EXPECT_GT(height, 0.8 * size);
        EXPECT_LT(height, 1.3 * size);
        int first = image->width(), last = -1;
        for (int x = 0; x < image->width(); ++x)
            if (columns[static_cast<std::size_t>(x)] > 0) {
                first = std::min(first, x);
                last = std::max(last, x);
            }
        // Both pictures lie past the letter and within the line.
        EXPECT_GE(first / scale, letter - 1);
        EXPECT_LE((last + 1) / scale, line.width() + 1);
    }
}

}  // namespace
}  // namespace ql::ct
