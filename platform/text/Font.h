#pragma once
// ct::Font: a face of the font catalog at a point size, with the metrics the layout needs. Fonts are
// immutable values; copies share the loaded face. Characters the face lacks are drawn with the catalog's
// fallback faces (Chinese with WenQuanYi Micro Hei), chosen per character by the shaper.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/graphics/Geometry.h"
#include "platform/text/FontCatalog.h"

namespace ql::ct {

namespace detail {
class FontFace;
}

class Font {
public:
    // The font of that PostScript, full or family name. An unknown name gives the substitute font
    // (Helvetica) and a size of 0 or less the default size of 12 points, as the platform does. The matrix
    // transforms the glyphs (a shear slants them) and its horizontal scale stretches their advances.
    static Font withName(std::string_view name, double size,
                         const cg::AffineTransform& matrix = cg::AffineTransform::identity());
    // The same, but nullopt for a name no font bears.
    static std::optional<Font> withExistingName(std::string_view name, double size);
    // The same, but a name no font bears gives the regular face of the family fontconfig's matching picks for
    // it (FontCatalog::closestFamily), and only when it picks none the substitute font.
    static Font closestToName(std::string_view name, double size);
    // The face of a family with exactly the bold and italic bits of `traits`; nullopt when there is none.
    static std::optional<Font> withFamily(std::string_view family, double size, std::uint32_t traits = 0);
    // The system font with the bold and italic bits of `traits`.
    static Font systemFont(double size, std::uint32_t traits = 0);

    // The same face at another size (the default size for 0 or less).
    Font withSize(double size) const;

    const std::string& fontName() const { return record_->postScriptName; }
    const std::string& familyName() const { return record_->familyName; }
    const std::string& fullName() const { return record_->fullName; }
    double pointSize() const { return size_; }
    const cg::AffineTransform& matrix() const { return matrix_; }
    std::uint32_t symbolicTraits() const { return record_->traits; }

    // Metrics in points. Descent is positive, measured down from the baseline; line height is
    // ascent + descent + leading.
    double ascent() const;
    double descent() const;
    double leading() const;
    double lineHeight() const { return ascent() + descent() + leading(); }
    double capHeight() const;
    double xHeight() const;
    double underlinePosition() const;
    double underlineThickness() const;
    int unitsPerEm() const;

    // Whether the face itself (not a fallback) has a glyph for the character.
    bool hasGlyph(char32_t character) const;

    // The font a fallback face stands in with for this one: same size and matrix, slanted and
    // emboldened where this font is italic or bold and the fallback face is not (a colour face never is).
    Font fallback(const FontRecord& record) const;

    const FontRecord& record() const { return *record_; }
    const detail::FontFace& face() const { return *face_; }
    // Shear and emboldening applied when drawing, on top of the matrix.
    double syntheticShear() const { return shear_; }
    bool isSyntheticBold() const { return emboldened_; }
    // Points per font unit.
    double scale() const;

    bool operator==(const Font& other) const;

private:
    Font(const FontRecord& record, double size, const cg::AffineTransform& matrix);

    const FontRecord* record_;
    std::shared_ptr<const detail::FontFace> face_;
    double size_;
    cg::AffineTransform matrix_;
    double shear_;
    bool emboldened_;
};

}  // namespace ql::ct
