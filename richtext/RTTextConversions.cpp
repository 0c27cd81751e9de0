#include "richtext/RTTextConversions.h"

#include <cmath>
#include <string>

#include "richtext/RTLog.h"

namespace ql {

ct::Font RTCTFontCreateWithUIFont(const ui::Font& font) {
    return ct::Font::withName(font.ctFont().fontName(), font.ctFont().pointSize());
}

ct::TextAlignment RTNSTextAlignmentToCTTextAlignment(ui::TextAlignment alignment) {
    switch (alignment) {
    case ui::TextAlignment::Left: return ct::TextAlignment::Left;
    case ui::TextAlignment::Center: return ct::TextAlignment::Center;
    case ui::TextAlignment::Right: return ct::TextAlignment::Right;
    case ui::TextAlignment::Justified: return ct::TextAlignment::Justified;
    case ui::TextAlignment::Natural: return ct::TextAlignment::Natural;
    }
    RTLogMessage(RTLogLevelError, "Unknown alignment " + std::to_string(static_cast<std::int64_t>(alignment)));
    return ct::TextAlignment::Left;
}

ui::TextAlignment RTNSTextAlignmentFromCTTextAlignment(ct::TextAlignment alignment) {
    switch (alignment) {
    case ct::TextAlignment::Left: return ui::TextAlignment::Left;
    case ct::TextAlignment::Right: return ui::TextAlignment::Right;
    case ct::TextAlignment::Center: return ui::TextAlignment::Center;
    case ct::TextAlignment::Justified: return ui::TextAlignment::Justified;
    case ct::TextAlignment::Natural: return ui::TextAlignment::Natural;
    }
    return static_cast<ui::TextAlignment>(static_cast<std::int64_t>(alignment));
}

ct::LineTruncationType RTNSLineBreakModeToCTLineTruncationType(ui::LineBreakMode mode) {
    switch (mode) {
    case ui::LineBreakMode::TruncatingHead: return ct::LineTruncationType::Start;
    case ui::LineBreakMode::TruncatingMiddle: return ct::LineTruncationType::Middle;
    default: return ct::LineTruncationType::End;
    }
}

double RTRoundToScale(double length, double scale) { return std::round(length * scale) / scale; }

double RTCeilToScale(double length, double scale) { return std::ceil(length * scale) / scale; }

}  // namespace ql
