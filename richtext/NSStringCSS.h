#pragma once
// CSS values read from texts: lengths, box insets, text shadows, the content property's escapes and
// declaration lists. Lengths come out in points.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/foundation/Value.h"
#include "platform/graphics/Geometry.h"
#include "platform/ui/Color.h"

namespace ql {

// The keys of a shadow dictionary: "Offset" (a boxed size: x, and y growing downwards as in CSS),
// "Color" (a ui::Color) and "Blur" (a number).
inline constexpr std::string_view RTShadowOffsetKey = "Offset";
inline constexpr std::string_view RTShadowColorKey = "Color";
inline constexpr std::string_view RTShadowBlurKey = "Blur";

// ASCII letters lower-cased, as CSS keywords compare.
std::string RTASCIILowercased(std::string_view text);

// The leading number (an optional "-", digits and at most one "."; white space before it is skipped),
// then, after optional white space, a unit in any case: "px" times the text scale, "pt" times 1.3333 and
// the text scale, "em" times the reference text size, "%" times the reference size / 100; no unit (or an
// unknown one) leaves the number. 0 when there is no number.
double pixelSizeOfCSSMeasure(std::string_view text, double currentTextSize, double textScale);
// A measure read once, as pixelSizeOfCSSMeasure reads it, and worked out against text sizes as often as needed.
class RTCSSLength {
public:
    RTCSSLength() = default;
    explicit RTCSSLength(std::string_view text);
    double pixels(double currentTextSize, double textScale) const;

private:
    enum class Unit : std::uint8_t { None, Pixels, Points, Ems, Percent };
    double number_ = 0;  // 0 too when the text has no number
    Unit unit_ = Unit::None;
};
// One to four lengths separated by white space, in CSS order (top, right, bottom, left; missing sides
// repeat the opposite one), each read as above; zero insets for an empty text. Lengths beyond four are
// ignored.
cg::EdgeInsets RTEdgeInsets(std::string_view text, double currentTextSize, double textScale);
// The lengths of such a text read once.
class RTCSSEdgeLengths {
public:
    explicit RTCSSEdgeLengths(std::string_view text);
    cg::EdgeInsets insets(double currentTextSize, double textScale) const;

private:
    std::array<RTCSSLength, 4> sides_;  // top, right, bottom, left as written
    std::size_t count_ = 0;
};
// The text starts with a number followed by no unit or by "em", "px" or "pt".
bool isCSSLengthValue(std::string_view text);
// The shadows of a text-shadow list: for each comma-separated shadow, two offsets and an optional blur
// (lengths relative to the reference size, at a text scale of 1) and an optional colour, before or after
// them; the current colour when none is given. "none", and shadows without two offsets, give none.
ns::Array arrayOfCSSShadows(std::string_view text, double currentTextSize, const std::shared_ptr<ui::Color>& currentColor);
// CSS escapes decoded: a backslash and one to six hex digits (one white-space character after them is
// part of the escape, as CSS has it; zero, surrogates and values past U+10FFFF give U+FFFD), or a
// backslash and any other character, which stands for itself. A backslash at the very end is dropped.
std::string stringByDecodingCSSContentAttribute(std::string_view text);
// The declarations of a style text, read with scanCSSAttribute until it finds no more; a property met
// twice keeps its last value. The dictionary is marked mutable, as the platform's is.
ns::Value dictionaryOfCSSStyles(std::string_view text);

}  // namespace ql
