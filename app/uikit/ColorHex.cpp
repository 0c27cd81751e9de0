#include "app/uikit/ColorHex.h"

#include <algorithm>
#include <cstdio>

#include "platform/ui/Color.h"
#include "ui/HexColorComponent.h"

namespace ql {

namespace {

// A component that is no hex number reads as 0.
double component(std::string_view digits) { return hexColorComponent(digits).value_or(0); }

}  // namespace

std::shared_ptr<ui::Color> colorWithHex(std::uint32_t hex, double alpha) {
    return ui::Color::colorWithRed(((hex >> 16) & 0xFF) / 255.0, ((hex >> 8) & 0xFF) / 255.0, (hex & 0xFF) / 255.0,
                                   alpha);
}

std::shared_ptr<ui::Color> colorWithHexString(std::string_view text) {
    std::string digits;
    for (char c : text) {
        if (c != '#') digits.push_back(c);
    }
    const std::string_view d(digits);
    switch (digits.size()) {
        case 3: return ui::Color::colorWithRed(component(d.substr(0, 1)), component(d.substr(1, 1)), component(d.substr(2, 1)), 1);
        case 4:
            return ui::Color::colorWithRed(component(d.substr(1, 1)), component(d.substr(2, 1)), component(d.substr(3, 1)),
                                           component(d.substr(0, 1)));
        case 6: return ui::Color::colorWithRed(component(d.substr(0, 2)), component(d.substr(2, 2)), component(d.substr(4, 2)), 1);
        case 8:
            return ui::Color::colorWithRed(component(d.substr(2, 2)), component(d.substr(4, 2)), component(d.substr(6, 2)),
                                           component(d.substr(0, 2)));
        default: return nullptr;
    }
}

std::string HEXString(const ui::Color& color) {
    double red = 0, green = 0, blue = 0, alpha = 0;
    // Grey colours answer in RGB too (white for all three).
    if (!color.getRed(&red, &green, &blue, &alpha)) return "#FFFFFF";
    auto byte = [](double value) { return unsigned(std::clamp(value, 0.0, 1.0) * 255); };
    char text[8];
    std::snprintf(text, sizeof text, "#%02X%02X%02X", byte(red), byte(green), byte(blue));
    return text;
}

std::shared_ptr<ui::Color> colorWithWholeRed(double red, double green, double blue, double alpha) {
    return ui::Color::colorWithRed(red / 255, green / 255, blue / 255, alpha);
}

}  // namespace ql
