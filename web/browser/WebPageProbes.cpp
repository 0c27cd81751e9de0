#include "web/browser/WebPageProbes.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdlib>
#include <optional>
#include <vector>

namespace ql {

namespace {

std::string removeAll(std::string text, std::string_view what) {
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at)) text.erase(at, what.size());
    return text;
}

std::optional<double> number(const std::string& text) {
    if (text.empty()) return std::nullopt;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size()) return std::nullopt;
    return value;
}

}  // namespace

bool viewportIsDynamic(std::string_view viewportContent) {
    if (viewportContent.empty()) return false;
    std::string content = removeAll(std::string(viewportContent), " ");
    std::transform(content.begin(), content.end(), content.begin(), [](unsigned char c) { return std::tolower(c); });
    for (std::string_view mark : {"maximum-scale=1", "user-scalable=no", "width=device-width", "initial-scale=1"}) {
        if (content.find(mark) != std::string::npos) return true;
    }
    return false;
}

std::shared_ptr<ui::Color> pageBackgroundColor(std::string_view computedColor) {
    const auto white = [] { return ui::Color::whiteColor(); };
    std::string text(computedColor);
    if (text.empty() || text.find("rgb") == std::string::npos) return white();
    for (std::string_view part : {"rgba", "rgb", "(", ")", " "}) text = removeAll(std::move(text), part);
    std::vector<std::string> parts;
    for (std::size_t start = 0;;) {
        const std::size_t comma = text.find(',', start);
        parts.push_back(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    if (parts.size() < 3) return white();
    double channels[3];
    for (int i = 0; i < 3; ++i) {
        const auto value = number(parts[i]);
        if (!value) return white();
        channels[i] = std::clamp(*value, 0.0, 255.0) / 255;
    }
    double alpha = 1;
    if (parts.size() >= 4) {
        // The alpha of a computed colour is a fraction from 0 to 1.
        const auto value = number(parts[3]);
        if (!value || *value <= 0) return white();
        alpha = std::min(*value, 1.0);
    }
    return ui::Color::colorWithRed(channels[0], channels[1], channels[2], alpha);
}

}  // namespace ql
