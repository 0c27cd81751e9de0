#include "richtext/RTHTMLColors.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <unordered_map>
#include <vector>

#include "platform/foundation/Text.h"

namespace ql {

namespace {

struct NamedColor {
    std::string_view name;
    std::string_view digits;
};

constexpr NamedColor NamedColors[] = {
    {"aliceblue", "F0F8FF"},
    {"antiquewhite", "FAEBD7"},
    {"aqua", "00FFFF"},
    {"aquamarine", "7FFFD4"},
    {"azure", "F0FFFF"},
    {"beige", "F5F5DC"},
    {"bisque", "FFE4C4"},
    {"black", "000000"},
    {"blanchedalmond", "FFEBCD"},
    {"blue", "0000FF"},
    {"blueviolet", "8A2BE2"},
    {"brown", "A52A2A"},
    {"burlywood", "DEB887"},
    {"cadetblue", "5F9EA0"},
    {"chartreuse", "7FFF00"},
    {"chocolate", "D2691E"},
    {"coral", "FF7F50"},
    {"cornflowerblue", "6495ED"},
    {"cornsilk", "FFF8DC"},
    {"crimson", "DC143C"},
    {"cyan", "00FFFF"},
    {"darkblue", "00008B"},
    {"darkcyan", "008B8B"},
    {"darkgoldenrod", "B8860B"},
    {"darkgray", "A9A9A9"},
    {"darkgreen", "006400"},
    {"darkgrey", "A9A9A9"},
    {"darkkhaki", "BDB76B"},
    {"darkmagenta", "8B008B"},
    {"darkolivegreen", "556B2F"},
    {"darkorange", "FF8C00"},
    {"darkorchid", "9932CC"},
    {"darkred", "8B0000"},
    {"darksalmon", "E9967A"},
    {"darkseagreen", "8FBC8F"},
    {"darkslateblue", "483D8B"},
    {"darkslategray", "2F4F4F"},
    {"darkslategrey", "2F4F4F"},
    {"darkturquoise", "00CED1"},
    {"darkviolet", "9400D3"},
    {"deeppink", "FF1493"},
    {"deepskyblue", "00BFFF"},
    {"dimgray", "696969"},
    {"dimgrey", "696969"},
    {"dodgerblue", "1E90FF"},
    {"firebrick", "B22222"},
    {"floralwhite", "FFFAF0"},
    {"forestgreen", "228B22"},
    {"fuchsia", "FF00FF"},
    {"gainsboro", "DCDCDC"},
    {"ghostwhite", "F8F8FF"},
    {"gold", "FFD700"},
    {"goldenrod", "DAA520"},
    {"gray", "808080"},
    {"grey", "808080"},
    {"green", "008000"},
    {"greenyellow", "ADFF2F"},
    {"honeydew", "F0FFF0"},
    {"hotpink", "FF69B4"},
    {"indianred", "CD5C5C"},
    {"indigo", "4B0082"},
    {"ivory", "FFFFF0"},
    {"khaki", "F0E68C"},
    {"lavender", "E6E6FA"},
    {"lavenderblush", "FFF0F5"},
    {"lawngreen", "7CFC00"},
    {"lemonchiffon", "FFFACD"},
    {"lightblue", "ADD8E6"},
    {"lightcoral", "F08080"},
    {"lightcyan", "E0FFFF"},
    {"lightgoldenrodyellow", "FAFAD2"},
    {"lightgray", "D3D3D3"},
    {"lightgreen", "90EE90"},
    {"lightgrey", "D3D3D3"},
    {"lightpink", "FFB6C1"},
    {"lightsalmon", "FFA07A"},
    {"lightseagreen", "20B2AA"},
    {"lightskyblue", "87CEFA"},
    {"lightslategray", "778899"},
    {"lightslategrey", "778899"},
    {"lightsteelblue", "B0C4DE"},
    {"lightyellow", "FFFFE0"},
    {"lime", "00FF00"},
    {"limegreen", "32CD32"},
    {"linen", "FAF0E6"},
    {"magenta", "FF00FF"},
    {"maroon", "800000"},
    {"mediumaquamarine", "66CDAA"},
    {"mediumblue", "0000CD"},
    {"mediumorchid", "BA55D3"},
    {"mediumpurple", "9370DB"},
    {"mediumseagreen", "3CB371"},
    {"mediumslateblue", "7B68EE"},
    {"mediumspringgreen", "00FA9A"},
    {"mediumturquoise", "48D1CC"},
    {"mediumvioletred", "C71585"},
    {"midnightblue", "191970"},
    {"mintcream", "F5FFFA"},
    {"mistyrose", "FFE4E1"},
    {"moccasin", "FFE4B5"},
    {"navajowhite", "FFDEAD"},
    {"navy", "000080"},
    {"oldlace", "FDF5E6"},
    {"olive", "808000"},
    {"olivedrab", "6B8E23"},
    {"orange", "FFA500"},
    {"orangered", "FF4500"},
    {"orchid", "DA70D6"},
    {"palegoldenrod", "EEE8AA"},
    {"palegreen", "98FB98"},
    {"paleturquoise", "AFEEEE"},
    {"palevioletred", "DB7093"},
    {"papayawhip", "FFEFD5"},
    {"peachpuff", "FFDAB9"},
    {"peru", "CD853F"},
    {"pink", "FFC0CB"},
    {"plum", "DDA0DD"},
    {"powderblue", "B0E0E6"},
    {"purple", "800080"},
    {"red", "FF0000"},
    {"rosybrown", "BC8F8F"},
    {"royalblue", "4169E1"},
    {"saddlebrown", "8B4513"},
    {"salmon", "FA8072"},
    {"sandybrown", "F4A460"},
    {"seagreen", "2E8B57"},
    {"seashell", "FFF5EE"},
    {"sienna", "A0522D"},
    {"silver", "C0C0C0"},
    {"skyblue", "87CEEB"},
    {"slateblue", "6A5ACD"},
    {"slategray", "708090"},
    {"slategrey", "708090"},
    {"snow", "FFFAFA"},
    {"springgreen", "00FF7F"},
    {"steelblue", "4682B4"},
    {"tan", "D2B48C"},
    {"teal", "008080"},
    {"thistle", "D8BFD8"},
    {"tomato", "FF6347"},
    {"turquoise", "40E0D0"},
    {"violet", "EE82EE"},
    {"wheat", "F5DEB3"},
    {"white", "FFFFFF"},
    {"whitesmoke", "F5F5F5"},
    {"yellow", "FFFF00"},
    {"yellowgreen", "9ACD32"},
};

const std::unordered_map<std::string_view, std::string_view>& colorNames() {
    static const auto& names = *new std::unordered_map<std::string_view, std::string_view>([] {
        std::unordered_map<std::string_view, std::string_view> table;
        for (const NamedColor& color : NamedColors) table.emplace(color.name, color.digits);
        return table;
    }());
    return names;
}

int hexDigit(char16_t c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The leading hex digits of a piece, as a number; 0 when it does not start with one.
int hexValue(std::u16string_view piece) {
    int value = 0;
    for (char16_t c : piece) {
        const int digit = hexDigit(c);
        if (digit < 0) break;
        value = value * 16 + digit;
    }
    return value;
}

// A number read the way a text's float value is: leading white space skipped, the longest leading
// number taken, 0 when there is none.
double leadingNumber(std::string_view text) {
    std::size_t at = 0;
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t' || text[at] == '\n' || text[at] == '\r')) ++at;
    if (at < text.size() && text[at] == '+') ++at;
    double value = 0;
    const auto [end, error] = std::from_chars(text.data() + at, text.data() + text.size(), value);
    if (error == std::errc::result_out_of_range) return text[at] == '-' ? -HUGE_VAL : HUGE_VAL;
    return end == text.data() + at ? 0 : value;
}

std::string_view trimmed(std::string_view text, std::string_view characters) {
    const std::size_t first = text.find_first_not_of(characters);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(characters) - first + 1);
}

std::vector<std::string_view> split(std::string_view text, char separator) {
    std::vector<std::string_view> pieces;
    std::size_t start = 0;
    for (std::size_t comma = text.find(separator); comma != std::string_view::npos; comma = text.find(separator, start)) {
        pieces.push_back(text.substr(start, comma - start));
        start = comma + 1;
    }
    pieces.push_back(text.substr(start));
    return pieces;
}

std::shared_ptr<ui::Color> functionalColor(std::string_view text, std::string_view trim, std::size_t count) {
    const std::vector<std::string_view> pieces = split(trimmed(text, trim), ',');
    if (pieces.size() != count) return nullptr;
    const double alpha = count == 4 ? leadingNumber(pieces[3]) : 1;
    return ui::Color::colorWithRed(leadingNumber(pieces[0]) / 255, leadingNumber(pieces[1]) / 255,
                                   leadingNumber(pieces[2]) / 255, alpha);
}

// Clamped, so that out-of-range (or not-a-number) components still print two digits.
int byteOf(double component) {
    if (!(component > 0)) return 0;
    return static_cast<int>(std::min(component, 1.0) * 255);
}

}  // namespace

std::shared_ptr<ui::Color> RTColorFromHTMLColorString(std::string_view text) {
    if (text.starts_with("#")) return RTColorFromHexDigits(text.substr(1));
    if (text.starts_with("rgba")) return functionalColor(text, "rgba() ", 4);
    if (text.starts_with("rgb")) return functionalColor(text, "rgb() ", 3);
    const auto found = colorNames().find(ns::lowercaseString(text));
    return found == colorNames().end() ? nullptr : RTColorFromHexDigits(found->second);
}

std::shared_ptr<ui::Color> RTColorFromHexDigits(std::string_view digits) {
    const std::u16string units = ns::toUTF16(digits);
    if (units.size() != 6 && units.size() != 3) return nullptr;
    const std::size_t width = units.size() / 3;
    const double maximum = width == 2 ? 255 : 15;
    const std::u16string_view view(units);
    return ui::Color::colorWithRed(hexValue(view.substr(0, width)) / maximum, hexValue(view.substr(width, width)) / maximum,
                                   hexValue(view.substr(2 * width, width)) / maximum, 1);
}

std::optional<std::string> RTHexDigitsFromColor(const ui::Color& color) {
    const auto components = color.CGColor().components();
    char digits[8];
    if (components.size() == 4 && color.CGColor().colorSpace().model() == cg::ColorSpaceModel::RGB)
        std::snprintf(digits, sizeof digits, "%02x%02x%02x", byteOf(components[0]), byteOf(components[1]), byteOf(components[2]));
    else if (components.size() == 2)
        std::snprintf(digits, sizeof digits, "%02x%02x%02x", byteOf(components[0]), byteOf(components[0]), byteOf(components[0]));
    else
        return std::nullopt;
    return std::string(digits);
}

double RTAlphaComponent(const ui::Color& color) { return color.CGColor().alpha(); }

}  // namespace ql
