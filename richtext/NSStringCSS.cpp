#include "richtext/NSStringCSS.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <vector>

#include "platform/foundation/Text.h"
#include "platform/ui/GeometryValue.h"
#include "richtext/NSScannerHTML.h"

namespace ql {

namespace {

struct Measure {
    double number = 0;
    bool hasNumber = false;
    std::string_view unit;  // what follows the number and any white space
};

Measure readMeasure(std::string_view text) {
    Measure measure;
    std::size_t at = 0;
    while (at < text.size() && css::isSpace(text[at])) ++at;
    const std::size_t start = at;
    if (at < text.size() && text[at] == '-') ++at;
    bool seenDot = false;
    std::size_t digits = 0;
    while (at < text.size() && (std::isdigit(static_cast<unsigned char>(text[at])) || (text[at] == '.' && !seenDot))) {
        if (text[at] == '.')
            seenDot = true;
        else
            ++digits;
        ++at;
    }
    if (digits == 0) return measure;
    // from_chars reads no "." without digits after it ("5." reads 5), which is what the number means.
    std::from_chars(text.data() + start, text.data() + at, measure.number);
    measure.hasNumber = true;
    while (at < text.size() && css::isSpace(text[at])) ++at;
    measure.unit = text.substr(at);
    return measure;
}

bool unitIs(std::string_view unit, std::string_view name) {
    if (unit.size() < name.size()) return false;
    for (std::size_t i = 0; i < name.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(unit[i])) != name[i]) return false;
    // The unit is a whole word: "px" but not "pxx".
    return unit.size() == name.size() || !std::isalpha(static_cast<unsigned char>(unit[name.size()]));
}

// The pieces of a text separated by white space or by `separator`, outside parentheses.
std::vector<std::string_view> topLevelTokens(std::string_view text, char separator, bool splitOnSpace) {
    std::vector<std::string_view> tokens;
    std::size_t depth = 0;
    std::size_t start = 0;
    const auto flush = [&](std::size_t end) {
        if (end > start) tokens.push_back(text.substr(start, end - start));
        start = end + 1;
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '(') ++depth;
        if (c == ')' && depth > 0) --depth;
        if (depth == 0 && (c == separator || (splitOnSpace && css::isSpace(c)))) flush(i);
    }
    flush(text.size());
    return tokens;
}

bool isHexDigit(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }

}  // namespace

std::string RTASCIILowercased(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

RTCSSLength::RTCSSLength(std::string_view text) {
    const Measure measure = readMeasure(text);
    if (!measure.hasNumber) return;
    number_ = measure.number;
    if (unitIs(measure.unit, "px")) unit_ = Unit::Pixels;
    else if (unitIs(measure.unit, "pt")) unit_ = Unit::Points;
    else if (unitIs(measure.unit, "em")) unit_ = Unit::Ems;
    else if (measure.unit.starts_with("%")) unit_ = Unit::Percent;
}

double RTCSSLength::pixels(double currentTextSize, double textScale) const {
    switch (unit_) {
        case Unit::Pixels: return number_ * textScale;
        case Unit::Points: return number_ * 1.3333 * textScale;
        case Unit::Ems: return number_ * currentTextSize;
        case Unit::Percent: return number_ * currentTextSize / 100;
        case Unit::None: break;
    }
    return number_;
}

double pixelSizeOfCSSMeasure(std::string_view text, double currentTextSize, double textScale) {
    return RTCSSLength(text).pixels(currentTextSize, textScale);
}

RTCSSEdgeLengths::RTCSSEdgeLengths(std::string_view text) {
    const std::vector<std::string_view> parts = topLevelTokens(text, ' ', true);
    count_ = std::min(parts.size(), sides_.size());
    for (std::size_t i = 0; i < count_; ++i) sides_[i] = RTCSSLength(parts[i]);
}

cg::EdgeInsets RTCSSEdgeLengths::insets(double currentTextSize, double textScale) const {
    if (count_ == 0) return {};
    std::array<double, 4> sides{};  // top, right, bottom, left
    for (std::size_t i = 0; i < count_; ++i) sides[i] = sides_[i].pixels(currentTextSize, textScale);
    if (count_ < 2) sides[1] = sides[0];
    if (count_ < 3) sides[2] = sides[0];
    if (count_ < 4) sides[3] = sides[1];
    return {sides[0], sides[3], sides[2], sides[1]};
}

cg::EdgeInsets RTEdgeInsets(std::string_view text, double currentTextSize, double textScale) {
    return RTCSSEdgeLengths(text).insets(currentTextSize, textScale);
}

bool isCSSLengthValue(std::string_view text) {
    const Measure measure = readMeasure(text);
    if (!measure.hasNumber) return false;
    return measure.unit.empty() || unitIs(measure.unit, "em") || unitIs(measure.unit, "px") || unitIs(measure.unit, "pt");
}

ns::Array arrayOfCSSShadows(std::string_view text, double currentTextSize, const std::shared_ptr<ui::Color>& currentColor) {
    ns::Array shadows;
    for (std::string_view shadow : topLevelTokens(text, ',', false)) {
        std::vector<double> lengths;
        std::shared_ptr<ui::Color> color;
        for (std::string_view token : topLevelTokens(shadow, ' ', true)) {
            if (readMeasure(token).hasNumber) {
                lengths.push_back(pixelSizeOfCSSMeasure(token, currentTextSize, 1));
            } else {
                std::size_t at = 0;
                if (auto read = css::readColor(token, at); read && at == token.size()) color = read->first;
            }
        }
        if (lengths.size() < 2) continue;
        ns::Dictionary entry;
        entry.set(RTShadowOffsetKey, ui::GeometryValue::valueWithCGSize({lengths[0], lengths[1]}));
        entry.set(RTShadowBlurKey, ns::Value(lengths.size() > 2 ? lengths[2] : 0.0));
        if (color || currentColor) entry.set(RTShadowColorKey, ns::Value(color ? color : currentColor));
        shadows.push_back(ns::Value(std::move(entry)));
    }
    return shadows;
}

std::string stringByDecodingCSSContentAttribute(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        if (text[at] != '\\') {
            out += text[at++];
            continue;
        }
        ++at;
        if (at >= text.size()) break;
        if (!isHexDigit(text[at])) {
            // Any other character, a whole UTF-8 sequence, stands for itself.
            const std::size_t start = at++;
            while (at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80) ++at;
            out.append(text.substr(start, at - start));
            continue;
        }
        std::uint32_t value = 0;
        std::size_t digits = 0;
        while (at < text.size() && digits < 6 && isHexDigit(text[at])) {
            value = value * 16 + static_cast<std::uint32_t>(std::isdigit(static_cast<unsigned char>(text[at]))
                                                                ? text[at] - '0'
                                                                : std::tolower(static_cast<unsigned char>(text[at])) - 'a' + 10);
            ++at;
            ++digits;
        }
        if (at < text.size() && css::isSpace(text[at])) {
            // "\r\n" is one white-space character to CSS.
            at += text.compare(at, 2, "\r\n") == 0 ? 2 : 1;
        }
        const bool valid = value != 0 && value <= 0x10FFFF && (value < 0xD800 || value > 0xDFFF);
        ns::appendUTF8(out, valid ? char32_t(value) : U'\uFFFD');
    }
    return out;
}

ns::Value dictionaryOfCSSStyles(std::string_view text) {
    ns::Dictionary styles;
    std::size_t at = 0;
    while (auto declaration = css::readDeclaration(text, at)) styles.set(std::move(declaration->name), std::move(declaration->value));
    return ns::Value::mutableDictionary(std::move(styles));
}

}  // namespace ql
