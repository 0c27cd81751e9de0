#include "mapping/MMExtension.h"

#include <algorithm>

#include "platform/foundation/CharacterSet.h"
#include "platform/foundation/Text.h"

namespace ql {

std::optional<ns::URL> mm_url(std::string_view text) {
    static const auto& unescaped = *new ns::CharacterSet(ns::CharacterSet::characterSetWithCharactersInString(
        "!$&'()*+,-./:;=?@_~%#[]0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return ns::URL::fromString(ns::stringByAddingPercentEncodingWithAllowedCharacters(text, unescaped));
}

namespace {

bool isAsciiUpper(char c) { return c >= 'A' && c <= 'Z'; }
bool isAsciiLower(char c) { return c >= 'a' && c <= 'z'; }
char asciiLower(char c) { return isAsciiUpper(c) ? static_cast<char>(c + ('a' - 'A')) : c; }
char asciiUpper(char c) { return isAsciiLower(c) ? static_cast<char>(c - ('a' - 'A')) : c; }

// Length of the UTF-8 sequence that starts with this byte (1 for stray bytes).
std::size_t sequenceLength(unsigned char lead) {
    return lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
}

bool isScannerSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

}  // namespace

std::string mm_underlineFromCamel(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 4);
    for (char c : text) {
        if (isAsciiUpper(c)) {
            out += '_';
            out += asciiLower(c);
        } else {
            out += c;
        }
    }
    return out;
}

std::string mm_camelFromUnderline(std::string_view text) {
    std::string out;
    std::size_t start = 0;
    for (bool first = true;; first = false) {
        std::size_t end = text.find('_', start);
        std::string_view piece = text.substr(start, end == std::string_view::npos ? end : end - start);
        if (first) {
            out += piece;
        } else if (!piece.empty()) {
            std::size_t lead = std::min(sequenceLength(static_cast<unsigned char>(piece[0])), piece.size());
            out += ns::uppercaseString(piece.substr(0, lead));
            out += piece.substr(lead);
        }
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    return out;
}

std::string mm_firstCharLower(std::string_view text) {
    std::string out(text);
    if (!out.empty()) out[0] = asciiLower(out[0]);
    return out;
}

std::string mm_firstCharUpper(std::string_view text) {
    std::string out(text);
    if (!out.empty()) out[0] = asciiUpper(out[0]);
    return out;
}

bool mm_isPureInt(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && isScannerSpace(text[i])) ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    std::size_t digits = i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
    if (i == digits) return false;
    while (i < text.size() && isScannerSpace(text[i])) ++i;
    return i == text.size();
}

}  // namespace ql
