#include "platform/text/Run.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <numeric>

#include "platform/text/FontFace.h"

namespace ql::ct {

Run::Run(TextStyle style, ns::Range range, std::vector<RunGlyph> glyphs, std::uint8_t level)
    : style_(std::move(style)), range_(range), glyphs_(std::move(glyphs)), level_(level) {}

double Run::width() const {
    return std::accumulate(glyphs_.begin(), glyphs_.end(), 0.0,
                           [](double sum, const RunGlyph& g) { return sum + g.advance; });
}

Run Run::slice(std::size_t begin, std::size_t end, double dx) const {
    std::vector<RunGlyph> part(glyphs_.begin() + static_cast<std::ptrdiff_t>(begin),
                               glyphs_.begin() + static_cast<std::ptrdiff_t>(end));
    for (auto& g : part) g.position.x += dx;
    // A slice stands for the characters from its first glyph's in text order up to those of the glyph
    // after it in text order: the one to its right, or to its left when the run is right to left.
    std::uint64_t from = 0;
    std::uint64_t until = 0;
    if (!isRightToLeft()) {
        from = begin < glyphs_.size() ? glyphs_[begin].stringIndex : range_.end();
        until = end < glyphs_.size() ? glyphs_[end].stringIndex : range_.end();
    } else {
        until = begin > 0 ? glyphs_[begin - 1].stringIndex : range_.end();
        from = end > begin ? glyphs_[end - 1].stringIndex : until;
    }
    return Run(style_, {from, until - from}, std::move(part), level_);
}

Run Run::withGlyphs(std::vector<RunGlyph> glyphs) const { return Run(style_, range_, std::move(glyphs), level_); }

namespace {

struct ScaledFontDeleter {
    void operator()(cairo_scaled_font_t* f) const { cairo_scaled_font_destroy(f); }
};
struct FontOptionsDeleter {
    void operator()(cairo_font_options_t* o) const { cairo_font_options_destroy(o); }
};

cg::AffineTransform linearPart(cg::AffineTransform t) {
    t.tx = 0;
    t.ty = 0;
    return t;
}

// Outlines are scaled linearly and never hinted, and coverage is grey, so a text draws the same pixels
// on every machine whatever its font configuration says.
cairo_font_options_t* renderingOptions() {
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    cairo_font_options_set_subpixel_order(options, CAIRO_SUBPIXEL_ORDER_DEFAULT);
    return options;
}

// FreeType's emboldening strength: outlines grow by a 24th of the em in all.
constexpr double EmboldenFraction = 1.0 / 24;

}  // namespace

void Run::draw(cg::Context& context, const cg::AffineTransform& textToUser) const {
    const Font& font = style_.font;
    // Cairo's glyph space has y down; text space has it up. From glyph space to user space: flip, scale
    // to the size, slant, the font's matrix, then the text's.
    cg::AffineTransform glyphToUser = cg::AffineTransform::makeScale(font.pointSize(), -font.pointSize());
    glyphToUser = cg::concat(glyphToUser, cg::AffineTransform{1, 0, font.syntheticShear(), 1, 0, 0});
    glyphToUser = cg::concat(glyphToUser, linearPart(font.matrix()));
    glyphToUser = cg::concat(glyphToUser, linearPart(textToUser));
    if (std::abs(glyphToUser.a * glyphToUser.d - glyphToUser.b * glyphToUser.c) < 1e-12) return;

    std::vector<cairo_glyph_t> glyphs;
    glyphs.reserve(glyphs_.size());
    for (const RunGlyph& g : glyphs_) {
        if (g.id == InvisibleGlyph) continue;
        cg::Point at = cg::applyToPoint(textToUser, g.position);
        glyphs.push_back({g.id, at.x, at.y});
    }
    if (glyphs.empty()) return;
    const cg::RGBA color = (style_.foregroundColor ? *style_.foregroundColor : context.fillColor()).rgba();
    const double textScale = std::sqrt(std::abs(textToUser.a * textToUser.d - textToUser.b * textToUser.c));

    context.paint([&](cairo_t* cr, double alpha) {
        cairo_save(cr);
        cairo_matrix_t fontMatrix{glyphToUser.a, glyphToUser.b, glyphToUser.c, glyphToUser.d, 0, 0};
        cairo_matrix_t ctm;
        cairo_get_matrix(cr, &ctm);
        std::unique_ptr<cairo_font_options_t, FontOptionsDeleter> options(renderingOptions());
        std::unique_ptr<cairo_scaled_font_t, ScaledFontDeleter> scaled(
            cairo_scaled_font_create(font.face().cairoFace(), &fontMatrix, &ctm, options.get()));
        if (cairo_scaled_font_status(scaled.get()) == CAIRO_STATUS_SUCCESS) {
            cairo_set_scaled_font(cr, scaled.get());
            cairo_set_source_rgba(cr, color.r, color.g, color.b, color.a * alpha);
            if (font.isSyntheticBold()) {
                cairo_glyph_path(cr, glyphs.data(), static_cast<int>(glyphs.size()));
                cairo_fill_preserve(cr);
                cairo_set_line_width(cr, font.pointSize() * EmboldenFraction * textScale);
                cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
                cairo_stroke(cr);
            } else {
                cairo_show_glyphs(cr, glyphs.data(), static_cast<int>(glyphs.size()));
            }
        }
        cairo_restore(cr);
    });
    if (!style_.underlined || glyphs_.empty()) return;
    // The underline runs under the run's whole advance, white space included, as the platform draws it.
    const double thickness = std::max(font.underlineThickness(), 0.5);
    const double x = glyphs_.front().position.x;
    context.saveGState();
    context.concatCTM(textToUser);
    context.setFillColor(cg::Color::rgb(color.r, color.g, color.b, color.a));
    context.fillRect({x, font.underlinePosition() - thickness / 2, width(), thickness});
    context.restoreGState();
}

}  // namespace ql::ct
