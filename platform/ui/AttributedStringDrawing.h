#pragma once
// Attributed text drawn and measured by the view layer: each run in its own font (FontAttributeName, a
// ui::Font) and colour (ForegroundColorAttributeName, a ui::Color); runs without one take the defaults.

#include <memory>

#include "platform/graphics/Geometry.h"
#include "platform/text/AttributedString.h"
#include "platform/text/StyledText.h"

namespace ql::ui {

class Color;
class Font;

ct::StyledText styledText(const ct::AttributedString& text, const Font& defaultFont,
                          const std::shared_ptr<Color>& defaultColor);
// The size of the text wrapped by words in `width` (no limit when 0 or less).
cg::Size sizeOfAttributedString(const ct::AttributedString& text, double width, const Font& defaultFont);
// Wraps by words within the rectangle's width, from its top left corner, in the current context.
void drawAttributedStringInRect(const ct::AttributedString& text, const cg::Rect& rect, const Font& defaultFont,
                                const std::shared_ptr<Color>& defaultColor);

}  // namespace ql::ui
