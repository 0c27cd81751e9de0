#include "ui/HexColorComponent.h"

namespace ql {

namespace {

std::optional<unsigned> hexDigit(char c) {
    if (c >= '0' && c <= '9') return unsigned(c - '0');
    if (c >= 'A' && c <= 'F') return unsigned(c - 'A' + 10);
    if (c >= 'a' && c <= 'f') return unsigned(c - 'a' + 10);
    return std::nullopt;
}

}  // namespace

std::optional<double> hexColorComponent(std::string_view digits) {
    if (digits.empty() || digits.size() > 2) return std::nullopt;
    const auto high = hexDigit(digits.front());
    const auto low = hexDigit(digits.back());
    if (!high || !low) return std::nullopt;
    return (*high * 16 + *low) / 255.0;
}

}  // namespace ql
