#pragma once
// The platform's measuring and drawing of strings in views. The font forms take a font and a line-break
// mode, draw in the current context's fill colour and give sizes rounded up to whole points; the attribute
// forms read the font (Helvetica 12 when absent) and colour (black when absent) from the attributes and
// give exact sizes. Drawing goes to the current graphics context and does nothing without one. Texts are
// set by ct::TextLayout: wrapping within the width, lines left out below the height, the last one shown
// cut by the line-break mode.

#include <cstdint>
#include <string_view>

#include "platform/foundation/Value.h"
#include "platform/graphics/Geometry.h"
#include "platform/text/TextLayout.h"
#include "platform/ui/TextTypes.h"

namespace ql::ui {

class Font;

// The size of the text on one line (line and paragraph separators still start new lines).
cg::Size sizeWithFont(std::string_view text, const Font& font);
// The size of the text wrapped within `size`; a zero or negative side is no limit.
cg::Size sizeWithFont(std::string_view text, const Font& font, cg::Size size,
                      LineBreakMode lineBreakMode = LineBreakMode::WordWrapping);
cg::Size sizeWithAttributes(std::string_view text, const ns::Dictionary& attributes);
// With StringDrawingUsesLineFragmentOrigin the text wraps within `size` (a zero or negative side is no
// limit) and the rectangle starts at the origin. Without it the text is one line whose baseline starts at
// the origin, so the rectangle starts above it, at minus the ascent; `size` then only matters when the
// line is to be truncated.
cg::Rect boundingRectWithSize(std::string_view text, cg::Size size, unsigned options,
                              const ns::Dictionary& attributes);

// The text layer's alignment for the view layer's.
ct::TextAlignment textLayoutAlignment(TextAlignment alignment);

// The layout behind the font forms, with a limit on the number of lines (0: none) as labels have; a
// zero or negative side of `size` is no limit. Draw it with ct::TextLayout::draw.
ct::TextLayout layoutWithFont(std::string_view text, const Font& font, cg::Size size, LineBreakMode lineBreakMode,
                              TextAlignment alignment, std::uint64_t maximumNumberOfLines = 0);

// Draw on one line with the top left at `point`; give the size drawn.
cg::Size drawAtPoint(std::string_view text, cg::Point point, const Font& font);
cg::Size drawInRect(std::string_view text, const cg::Rect& rect, const Font& font,
                    LineBreakMode lineBreakMode = LineBreakMode::WordWrapping,
                    TextAlignment alignment = TextAlignment::Left);
void drawAtPoint(std::string_view text, cg::Point point, const ns::Dictionary& attributes);
void drawInRect(std::string_view text, const cg::Rect& rect, const ns::Dictionary& attributes);
// Options as for boundingRectWithSize: without StringDrawingUsesLineFragmentOrigin the rectangle's
// origin is the baseline's start.
void drawWithRect(std::string_view text, const cg::Rect& rect, unsigned options, const ns::Dictionary& attributes);

}  // namespace ql::ui
