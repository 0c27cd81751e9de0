#include "platform/text/Font.h"

#include "platform/text/FontFace.h"

namespace ql::ct {

namespace {

constexpr double DefaultSize = 12;

double effectiveSize(double size) { return size > 0 ? size : DefaultSize; }

}  // namespace

Font::Font(const FontRecord& record, double size, const cg::AffineTransform& matrix)
    : record_(&record),
      face_(detail::FontFace::load(record.file, record.faceIndex)),
      size_(effectiveSize(size)),
      matrix_(matrix),
      shear_(record.syntheticShear),
      emboldened_(record.syntheticBold) {}

Font Font::withName(std::string_view name, double size, const cg::AffineTransform& matrix) {
    const FontCatalog& catalog = FontCatalog::shared();
    const FontRecord* record = catalog.fontNamed(name);
    return Font(record ? *record : catalog.substituteFont(), size, matrix);
}

std::optional<Font> Font::withExistingName(std::string_view name, double size) {
    const FontRecord* record = FontCatalog::shared().fontNamed(name);
    if (!record) return std::nullopt;
    return Font(*record, size, cg::AffineTransform::identity());
}

Font Font::closestToName(std::string_view name, double size) {
    if (std::optional<Font> font = withExistingName(name, size)) return *font;
    if (const auto closest = FontCatalog::shared().closestFamily(name)) {
        if (std::optional<Font> font = withExistingName(closest->family, size)) return *font;
    }
    return withName(name, size);
}

std::optional<Font> Font::withFamily(std::string_view family, double size, std::uint32_t traits) {
    const FontRecord* record = FontCatalog::shared().fontInFamily(family, traits);
    if (!record) return std::nullopt;
    return Font(*record, size, cg::AffineTransform::identity());
}

Font Font::systemFont(double size, std::uint32_t traits) {
    return Font(FontCatalog::shared().systemFont(traits), size, cg::AffineTransform::identity());
}

Font Font::withSize(double size) const {
    Font copy = *this;
    copy.size_ = effectiveSize(size);
    return copy;
}

Font Font::fallback(const FontRecord& record) const {
    Font font(record, size_, matrix_);
    if (record.color) return font;
    bool italic = record_->traits & FontItalicTrait;
    bool bold = record_->traits & FontBoldTrait;
    if (italic && !(record.traits & FontItalicTrait)) font.shear_ = SyntheticObliqueShear;
    if (bold && !(record.traits & FontBoldTrait)) font.emboldened_ = true;
    return font;
}

double Font::scale() const { return size_ / face_->unitsPerEm(); }
double Font::ascent() const { return face_->ascender() * scale(); }
double Font::descent() const { return face_->descender() * scale(); }
double Font::leading() const { return face_->lineGap() * scale(); }
double Font::capHeight() const { return face_->capHeight() * scale(); }
double Font::xHeight() const { return face_->xHeight() * scale(); }
double Font::underlinePosition() const { return face_->underlinePosition() * scale(); }
double Font::underlineThickness() const { return face_->underlineThickness() * scale(); }
int Font::unitsPerEm() const { return face_->unitsPerEm(); }
bool Font::hasGlyph(char32_t character) const { return face_->hasGlyph(character); }

bool Font::operator==(const Font& other) const {
    return record_ == other.record_ && size_ == other.size_ && matrix_ == other.matrix_ && shear_ == other.shear_ &&
           emboldened_ == other.emboldened_;
}

}  // namespace ql::ct
