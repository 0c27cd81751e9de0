#include "platform/ui/Font.h"

#include <cstdio>

namespace ql::ui {

std::shared_ptr<Font> Font::systemFontOfSize(double size) {
    return std::make_shared<Font>(ct::Font::systemFont(size));
}

std::shared_ptr<Font> Font::boldSystemFontOfSize(double size) {
    return std::make_shared<Font>(ct::Font::systemFont(size, ct::FontBoldTrait));
}

std::shared_ptr<Font> Font::italicSystemFontOfSize(double size) {
    return std::make_shared<Font>(ct::Font::systemFont(size, ct::FontItalicTrait));
}

std::shared_ptr<Font> Font::fontWithName(std::string_view name, double size) {
    auto font = ct::Font::withExistingName(name, size);
    return font ? std::make_shared<Font>(std::move(*font)) : nullptr;
}

std::shared_ptr<Font> Font::fontWithSize(double size) const { return std::make_shared<Font>(font_.withSize(size)); }

std::string Font::description() const {
    char size[32];
    std::snprintf(size, sizeof size, "%.2fpt", pointSize());
    const std::uint32_t traits = font_.symbolicTraits();
    return "<UIFont: " + ns::addressText(this) + "> font-family: \"" + familyName() + "\"; font-weight: " +
           ((traits & ct::FontBoldTrait) ? "bold" : "normal") +
           "; font-style: " + ((traits & ct::FontItalicTrait) ? "italic" : "normal") + "; font-size: " + size;
}

bool Font::isEqual(const ns::Object& other) const {
    auto font = dynamic_cast<const Font*>(&other);
    return font && font->font_ == font_;
}

std::shared_ptr<ns::Object> Font::copy() const { return std::const_pointer_cast<ns::Object>(shared_from_this()); }

}  // namespace ql::ui
