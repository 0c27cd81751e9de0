#pragma once
// The one reader and the one writer of colour texts in rich text: CSS colour names (the 147 extended
// keywords), "#" hex in three or six digits, and the rgb() and rgba() forms. Texts the reader does not
// understand give nothing; every caller decides what that means for it.

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/ui/Color.h"

namespace ql {

// The tests run on the text as given, in this order: a leading "#" reads the rest as hex digits; a
// leading "rgba" and "rgb" (lower case) read four and three comma-separated numbers inside the
// parentheses (red, green and blue out of 255, alpha as is; a piece without a number reads 0; another
// count of pieces gives nothing); anything else is looked up, lower-cased, as a colour name.
std::shared_ptr<ui::Color> RTColorFromHTMLColorString(std::string_view text);
// Three or six hex digits (no "#") as an opaque colour: "abc" is "aabbcc". A piece that does not start
// with a hex digit reads 0; other lengths give nothing.
std::shared_ptr<ui::Color> RTColorFromHexDigits(std::string_view digits);
// Six lower-case hex digits of an RGB or grey colour, components clamped to 0…1 and truncated; alpha is
// not written. Nothing for colours of other spaces.
std::optional<std::string> RTHexDigitsFromColor(const ui::Color& color);
// The colour's opacity, 0…1.
double RTAlphaComponent(const ui::Color& color);

}  // namespace ql
