#pragma once
// Colours from hex numbers and hex texts, and back to a hex text, as the app's artwork specifies them.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace ql::ui {
class Color;
}

namespace ql {

// 0xRRGGBB.
std::shared_ptr<ui::Color> colorWithHex(std::uint32_t hex, double alpha = 1.0);
// "#RGB", "#ARGB", "#RRGGBB" or "#AARRGGBB" ("#" anywhere is dropped, case does not matter); nullptr for
// any other length. A component that is no hex number reads as 0.
std::shared_ptr<ui::Color> colorWithHexString(std::string_view text);
// "#RRGGBB" of an RGB or grey colour, components clamped to 0…1 first (extended-range colours would
// otherwise wrap around); "#FFFFFF" for colours without components, such as patterns.
std::string HEXString(const ui::Color& color);
// Components given as 0…255.
std::shared_ptr<ui::Color> colorWithWholeRed(double red, double green, double blue, double alpha = 1.0);

}  // namespace ql
