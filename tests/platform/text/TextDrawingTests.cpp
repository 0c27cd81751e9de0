#include <gtest/gtest.h>

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_ADVANCES_H

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "platform/foundation/Text.h"
#include "platform/graphics/BitmapContext.h"
#include "platform/text/TextLayout.h"
#include "tests/support/ReferenceImage.h"

namespace ql::ct {
namespace {

// Glyph outlines flattened into edges, filled with the non-zero rule at a fine grid of samples: a
// rasterizer of its own, so that the reference owes nothing to the drawing code under test.
class OutlineCoverage {
public:
    OutlineCoverage(int width, int height, int samples)
        : width_(width * samples), height_(height * samples), samples_(samples) {}

    // Adds a glyph's outline in font units, its origin at (x, y) device pixels and `scale` pixels per unit.
    void addGlyph(FT_Face face, unsigned glyph, double x, double y, double scale) {
        ASSERT_EQ(FT_Load_Glyph(face, glyph, FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING), 0);
        Placement p{this, x, y, scale, {}, {}};
        FT_Outline_Funcs funcs{};
        funcs.move_to = [](const FT_Vector* to, void* user) {
            auto* q = static_cast<Placement*>(user);
            q->close();
            q->at = q->map(to);
            q->start = q->at;
            return 0;
        };
        funcs.line_to = [](const FT_Vector* to, void* user) {
            auto* q = static_cast<Placement*>(user);
            q->lineTo(q->map(to));
            return 0;
        };
        funcs.conic_to = [](const FT_Vector* c, const FT_Vector* to, void* user) {
            auto* q = static_cast<Placement*>(user);
            Point p0 = q->at, p1 = q->map(c), p2 = q->map(to);
            for (int i = 1; i <= 16; ++i) {
                double t = i / 16.0, u = 1 - t;
                q->lineTo({u * u * p0.x + 2 * u * t * p1.x + t * t * p2.x, u * u * p0.y + 2 * u * t * p1.y + t * t * p2.y});
            }
            return 0;
        };
        funcs.cubic_to = [](const FT_Vector* c1, const FT_Vector* c2, const FT_Vector* to, void* user) {
            auto* q = static_cast<Placement*>(user);
            Point p0 = q->at, p1 = q->map(c1), p2 = q->map(c2), p3 = q->map(to);
            for (int i = 1; i <= 16; ++i) {
                double t = i / 16.0, u = 1 - t;
                q->lineTo({u * u * u * p0.x + 3 * u * u * t * p1.x + 3 * u * t * t * p2.x + t * t * t * p3.x,
                           u * u * u * p0.y + 3 * u * u * t * p1.y + 3 * u * t * t * p2.y + t * t * t * p3.y});
            }
            return 0;
        };
        ASSERT_EQ(FT_Outline_Decompose(&face->glyph->outline, &funcs, &p), 0);
        p.close();
    }

    // Fraction of the samples of pixel (x, y) inside the outlines.
    std::vector<double> coverage() const {
        std::vector<int> inside(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_), 0);
        for (int row = 0; row < height_; ++row) {
            const double y = (row + 0.5) / samples_;
            std::vector<std::pair<double, int>> crossings;
            for (const Edge& e : edges_) {
                if ((e.y0 <= y) == (e.y1 <= y)) continue;
                double x = e.x0 + (y - e.y0) * (e.x1 - e.x0) / (e.y1 - e.y0);
                crossings.emplace_back(x, e.y1 > e.y0 ? 1 : -1);
            }
            std::sort(crossings.begin(), crossings.end());
            int winding = 0;
            for (std::size_t i = 0; i + 1 < crossings.size(); ++i) {
                winding += crossings[i].second;
                if (winding == 0) continue;
                int from = std::max(0, static_cast<int>(std::ceil(crossings[i].first * samples_ - 0.5)));
                int to = std::min(width_, static_cast<int>(std::ceil(crossings[i + 1].first * samples_ - 0.5)));
                for (int col = from; col < to; ++col) inside[static_cast<std::size_t>(row * width_ + col)] = 1;
            }
        }
        const int pw = width_ / samples_, ph = height_ / samples_;
        std::vector<double> result(static_cast<std::size_t>(pw * ph), 0);
        for (int row = 0; row < height_; ++row) {
            for (int col = 0; col < width_; ++col) {
                result[static_cast<std::size_t>((row / samples_) * pw + col / samples_)] +=
                    inside[static_cast<std::size_t>(row * width_ + col)] / double(samples_ * samples_);
            }
        }
        return result;
    }

private:
    struct Point {
        double x, y;
    };
    struct Edge {
        double x0, y0, x1, y1;
    };
    struct Placement {
        OutlineCoverage* owner;
        double x, y, scale;
        Point at, start;
        Point map(const FT_Vector* v) const { return {x + v->x * scale, y - v->y * scale}; }
        void lineTo(Point to) {
            owner->edges_.push_back({at.x, at.y, to.x, to.y});
            at = to;
        }
        void close() {
            if (at.x != start.x || at.y != start.y) lineTo(start);
        }
    };

    int width_, height_, samples_;
    std::vector<Edge> edges_;
};

struct FreeTypeLibrary {
    FreeTypeLibrary() { EXPECT_EQ(FT_Init_FreeType(&library), 0); }
    ~FreeTypeLibrary() { FT_Done_FreeType(library); }
    FT_Library library = nullptr;
};

struct FaceDeleter {
    void operator()(FT_Face f) const { FT_Done_Face(f); }
};

TEST(TextDrawing, CentredChineseLabelMatchesAReferenceDrawnFromTheOutlines) {
    const std::string text = "你好世界，欢迎光临";
    const Font font = Font::systemFont(17);
    const FontRecord& chinese = *FontCatalog::shared().fallbackFonts().front();
    ASSERT_EQ(chinese.familyName, "WenQuanYi Micro Hei");
    const cg::Color ink = cg::Color::rgb(0.1, 0.2, 0.6);

    FreeTypeLibrary freeType;
    FT_Face rawFace;
    ASSERT_EQ(FT_New_Face(freeType.library, chinese.file.c_str(), chinese.faceIndex, &rawFace), 0);
    std::unique_ptr<FT_FaceRec_, FaceDeleter> face(rawFace);
    const double unit = font.pointSize() / face->units_per_EM;
    auto advance = [&](char32_t c) {
        FT_Fixed a = 0;
        FT_Get_Advance(face.get(), FT_Get_Char_Index(face.get(), c), FT_LOAD_NO_SCALE, &a);
        return a * unit;
    };
    const std::u32string lines[] = {U"你好世界，", U"欢迎光临"};
    const double em = advance(U'你');
    const cg::Rect box{10, 8, 5.5 * em, 60};
    const double scale = 2;
    const cg::Size canvas{box.size.width + 20, 60};

    // What the layout draws.
    auto context = cg::BitmapContext::createForImage(canvas, false, scale);
    ASSERT_TRUE(context);
    context->setFillColor(cg::Color::gray(1));
    context->fillRect({0, 0, canvas.width, canvas.height});
    Typesetter typesetter(StyledText(text, {font, ink}));
    TextLayout layout(typesetter, {.alignment = TextAlignment::Center}, {.width = box.size.width});
    ASSERT_EQ(layout.lines().size(), 2u);
    layout.draw(*context, box.origin);
    auto actual = context->makeImage();

    // The reference: each line centred in the box, glyph after glyph by the face's own advances, the
    // baselines one line height apart; glyph origins on whole pixels, as the renderer puts them.
    const int pw = static_cast<int>(canvas.width * scale), ph = static_cast<int>(canvas.height * scale);
    OutlineCoverage outlines(pw, ph, 8);
    const double ascent = face->ascender * unit, lineHeight = (face->ascender - face->descender) * unit;
    for (int l = 0; l < 2; ++l) {
        double width = 0;
        for (char32_t c : lines[l]) width += advance(c);
        double x = box.origin.x + (box.size.width - width) / 2;
        const double baseline = box.origin.y + ascent + l * lineHeight;
        for (char32_t c : lines[l]) {
            outlines.addGlyph(face.get(), FT_Get_Char_Index(face.get(), c), std::floor(x * scale + 0.5),
                              std::floor(baseline * scale + 0.5), unit * scale);
            x += advance(c);
        }
    }
    const std::vector<double> coverage = outlines.coverage();
    const cg::RGBA color = ink.rgba();
    auto expected = test::renderReference(pw, ph, [&](double x, double y) {
        double c = coverage[static_cast<std::size_t>(static_cast<int>(y) * pw + static_cast<int>(x))];
        return cg::RGBA{1 - c + c * color.r, 1 - c + c * color.g, 1 - c + c * color.b, 1};
    }, 1);
    test::saveForInspection(*actual, "text-chinese-label");
    test::saveForInspection(*expected, "text-chinese-label-reference");

    const test::ImageDifference difference = test::compareImages(*actual, *expected, 32);
    ASSERT_TRUE(difference.sameSize);
    EXPECT_LE(difference.differing, pw * ph / 1000) << "largest difference " << difference.largestDelta;
    int inked = 0;
    for (double c : coverage) inked += c > 0.5 ? 1 : 0;
    EXPECT_GT(inked, pw * ph / 20);  // the picture is not blank
}

}  // namespace
}  // namespace ql::ct
