#include "mapping/MMNumberParser.h"

#include <charconv>
#include <cmath>
#include <cstdint>

namespace ql::detail {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

std::size_t skipDigits(std::string_view s, std::size_t i) {
    while (i < s.size() && isDigit(s[i])) ++i;
    return i;
}

}  // namespace

ns::Value numberFromText(std::string_view text) {
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    const std::size_t intStart = i;
    i = skipDigits(text, i);
    const bool hasIntDigits = i > intStart;
    bool integral = true;
    if (i < text.size() && text[i] == '.') {
        integral = false;
        const std::size_t fracStart = ++i;
        i = skipDigits(text, i);
        if (!hasIntDigits && i == fracStart) return {};
    } else if (!hasIntDigits) {
        return {};
    }
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        integral = false;
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
        const std::size_t expStart = i;
        i = skipDigits(text, i);
        if (i == expStart) return {};
    }
    if (i != text.size()) return {};

    // from_chars takes no leading "+".
    std::string_view digits = text[0] == '+' ? text.substr(1) : text;
    const char* first = digits.data();
    const char* last = digits.data() + digits.size();
    if (integral) {
        std::int64_t s = 0;
        if (auto r = std::from_chars(first, last, s); r.ec == std::errc() && r.ptr == last) return ns::Value(s);
        std::uint64_t u = 0;
        if (auto r = std::from_chars(first, last, u); r.ec == std::errc() && r.ptr == last) return ns::Value(u);
    }
    double d = 0;
    auto r = std::from_chars(first, last, d);
    if (r.ec != std::errc() || r.ptr != last || !std::isfinite(d)) return {};
    return ns::Value(d);
}

}  // namespace ql::detail
