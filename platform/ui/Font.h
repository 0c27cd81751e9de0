#pragma once
// ui::Font: the view layer's font object (registered as "UIFont"), an immutable ct::Font with the
// platform's names for its metrics: ascender up from the baseline, descender down from it as a negative
// number, line height from one baseline to the next.

#include <memory>
#include <string>
#include <string_view>

#include "platform/foundation/Object.h"
#include "platform/text/AttributeValues.h"
#include "platform/text/Font.h"

namespace ql::ui {

class Font : public ns::Object, public ct::FontValue {
    QL_OBJECT_NAMED(Font, ns::Object, "UIFont")
public:
    explicit Font(ct::Font font) : font_(std::move(font)) {}

    static std::shared_ptr<Font> systemFontOfSize(double size);
    static std::shared_ptr<Font> boldSystemFontOfSize(double size);
    static std::shared_ptr<Font> italicSystemFontOfSize(double size);
    // The font with that PostScript, full or family name ("Helvetica-Bold", "Times New Roman"); nullptr
    // when no font bears the name.
    static std::shared_ptr<Font> fontWithName(std::string_view name, double size);
    std::shared_ptr<Font> fontWithSize(double size) const;

    const std::string& fontName() const { return font_.fontName(); }
    const std::string& familyName() const { return font_.familyName(); }
    double pointSize() const { return font_.pointSize(); }
    double ascender() const { return font_.ascent(); }
    double descender() const { return -font_.descent(); }
    double leading() const { return font_.leading(); }
    double capHeight() const { return font_.capHeight(); }
    double xHeight() const { return font_.xHeight(); }
    double lineHeight() const { return font_.lineHeight(); }

    const ct::Font& ctFont() const override { return font_; }

    // `<UIFont: 0x…> font-family: "Helvetica"; font-weight: bold; font-style: normal; font-size: 19.00pt`
    std::string description() const override;
    bool isEqual(const ns::Object& other) const override;
    // Fonts are immutable: a copy is the font itself.
    std::shared_ptr<ns::Object> copy() const override;

private:
    ct::Font font_;
};

}  // namespace ql::ui
