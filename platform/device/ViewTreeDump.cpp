#include "platform/device/ViewTreeDump.h"

#include <cmath>
#include <cstdio>
#include <optional>

#include "platform/device/ViewQuery.h"
#include "platform/ui/View.h"

namespace ql::sim {

namespace {

// Whole numbers without decimals, others with up to two.
std::string number(double value) {
    char text[64];
    if (std::isfinite(value) && std::fabs(value) < 1e15 && value == std::round(value)) {
        std::snprintf(text, sizeof text, "%.0f", value == 0 ? 0.0 : value);
        return text;
    }
    std::snprintf(text, sizeof text, "%.2f", value);
    std::string s = text;
    if (s.find('.') != std::string::npos) {
        while (s.back() == '0') s.pop_back();
        if (s.back() == '.') s.pop_back();
    }
    return s;
}

std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\t': out += "\\t"; break;
            default: out += c;
        }
    }
    return out + "\"";
}

void appendAttribute(std::string& line, const char* name, const std::optional<std::string>& value) {
    if (value) line += std::string(" ") + name + "=" + quoted(*value);
}

void dump(const ui::View& view, int depth, std::string& out) {
    const cg::Rect f = view.frame();
    std::string line(static_cast<std::size_t>(depth) * 2, ' ');
    line += std::string(view.className()) + " (" + number(f.origin.x) + " " + number(f.origin.y) + "; " +
            number(f.size.width) + " " + number(f.size.height) + ")";
    appendAttribute(line, "title", titleOf(view));
    appendAttribute(line, "text", textOf(view));
    appendAttribute(line, "placeholder", placeholderOf(view));
    if (view.isHidden()) line += " hidden";
    out += line + "\n";
    for (const auto& sub : view.subviews()) dump(*sub, depth + 1, out);
}

}  // namespace

std::string dumpViewTree(const ui::View& root) {
    std::string out;
    dump(root, 0, out);
    return out;
}

}  // namespace ql::sim
