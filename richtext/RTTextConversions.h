#pragma once
// Conversions between the view layer's and the typesetter's text enumerations, the typesetting font of a
// view-layer font, and lengths rounded to the pixel grid of a screen scale.

#include "platform/text/Font.h"
#include "platform/text/Line.h"
#include "platform/text/ParagraphStyle.h"
#include "platform/ui/Font.h"
#include "platform/ui/TextTypes.h"

namespace ql {

// The font of that name at that size.
ct::Font RTCTFontCreateWithUIFont(const ui::Font& font);

// Left, center, right, justified and natural; any other value is reported to the log hook as an error
// ("Unknown alignment %d") and gives left.
ct::TextAlignment RTNSTextAlignmentToCTTextAlignment(ui::TextAlignment alignment);
// The reverse; a value that is no alignment comes back unchanged.
ui::TextAlignment RTNSTextAlignmentFromCTTextAlignment(ct::TextAlignment alignment);
// Truncating the head cuts at the start, the middle in the middle; every other mode at the end.
ct::LineTruncationType RTNSLineBreakModeToCTLineTruncationType(ui::LineBreakMode mode);

// round(length × scale) / scale, halves away from zero; and the same rounded up.
double RTRoundToScale(double length, double scale);
double RTCeilToScale(double length, double scale);

}  // namespace ql
