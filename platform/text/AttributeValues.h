#pragma once
// What layout reads from attributed text: a font or a colour may be held by objects of any layer (the
// view layer's font and colour objects among them), which say what they stand for through these two
// interfaces; the layout then turns each run of attributes into a text style and each paragraph's
// attributes into a paragraph style. Absent or unknown values read as the platform's defaults:
// Helvetica at 12 points, the drawing context's colour, a default paragraph style.

#include <optional>

#include "platform/foundation/Value.h"
#include "platform/graphics/Color.h"
#include "platform/text/AttributedString.h"
#include "platform/text/Font.h"
#include "platform/text/ParagraphStyle.h"
#include "platform/text/StyledText.h"

namespace ql::ct {

// An attribute value that stands for a font.
class FontValue {
public:
    virtual ~FontValue() = default;
    virtual const Font& ctFont() const = 0;
};

// An attribute value that stands for a colour.
class ColorValue {
public:
    virtual ~ColorValue() = default;
    virtual const cg::Color& CGColor() const = 0;
};

// The font of a value that stands for one.
std::optional<Font> fontFromValue(const ns::Value& value);
// The colour of a value that stands for one.
std::optional<cg::Color> colorFromValue(const ns::Value& value);

// The font, the colour (the typesetting key first, then the view layer's), the kern, the underline and
// the paragraph style's writing direction.
TextStyle textStyleFromAttributes(const ns::Dictionary& attributes);
ParagraphStyle paragraphStyleFromAttributes(const ns::Dictionary& attributes);
// One style run for each run of attributes, so that every shaped run lies within one run of attributes.
StyledText styledTextFromAttributedString(const AttributedString& string);

}  // namespace ql::ct
