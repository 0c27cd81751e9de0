#pragma once
// ct::detail::FontFace: one face of a font file, loaded once per process and shared by every ct::Font
// drawn with it. It holds the face's metrics in font units, a HarfBuzz font (at one unit per font unit,
// so that shaped advances scale linearly to any size) and a cairo face for drawing. Glyphs are never
// hinted: outlines scale linearly, so widths and pixels do not depend on the size or the machine's
// font settings. A colour face of bitmaps at fixed sizes (emoji) has its pictures scaled to the size
// drawn. For the text layer's own sources.

#include <cairo.h>
#include <hb.h>

#include <cstdint>
#include <memory>
#include <string>

namespace ql::ct::detail {

class FontFace {
public:
    // The face at `index` of the file; loaded on first use and kept for the life of the process.
    // Raises "NSInternalInconsistencyException" when the file cannot be read as a font.
    static std::shared_ptr<const FontFace> load(const std::string& file, int index);

    ~FontFace();
    FontFace(const FontFace&) = delete;
    FontFace& operator=(const FontFace&) = delete;

    // Metrics in font units. Ascender and descender come from the horizontal header, as the platform
    // takes them; descender is positive (below the baseline). Cap and x height come from the OS/2 table,
    // or from the outlines of "H" and "x" where the table lacks them.
    int unitsPerEm() const { return unitsPerEm_; }
    double ascender() const { return ascender_; }
    double descender() const { return descender_; }
    double lineGap() const { return lineGap_; }
    double capHeight() const { return capHeight_; }
    double xHeight() const { return xHeight_; }
    double underlinePosition() const { return underlinePosition_; }
    double underlineThickness() const { return underlineThickness_; }

    // Shaping font; HarfBuzz fonts are safe to share between threads once made.
    hb_font_t* hbFont() const { return hbFont_; }
    bool hasGlyph(char32_t character) const;
    // Glyphs are colour pictures.
    bool isColor() const { return color_; }
    // The face for cairo, which does its own locking around the FreeType face underneath.
    cairo_font_face_t* cairoFace() const { return cairoFace_; }

private:
    FontFace() = default;

    int unitsPerEm_ = 0;
    double ascender_ = 0;
    double descender_ = 0;
    double lineGap_ = 0;
    double capHeight_ = 0;
    double xHeight_ = 0;
    double underlinePosition_ = 0;
    double underlineThickness_ = 0;
    bool color_ = false;
    hb_font_t* hbFont_ = nullptr;
    cairo_font_face_t* cairoFace_ = nullptr;
};

}  // namespace ql::ct::detail
