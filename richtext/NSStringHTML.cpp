#include "richtext/NSStringHTML.h"

#include <libxml/HTMLparser.h>

#include <algorithm>
#include <array>
#include <charconv>

#include "platform/foundation/Text.h"
#include "richtext/NSCharacterSetHTML.h"

namespace ql {

namespace {

// The code point that starts (ends) a UTF-8 text; a malformed one (cut short, overlong, a surrogate,
// past U+10FFFF) reads as U+FFFD. Decoded in place: every text of an import asks.
char32_t firstCodePoint(std::string_view text) {
    if (text.empty()) return 0xFFFD;
    const auto byte = [text](std::size_t at) { return static_cast<unsigned char>(text[at]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) return lead;
    std::size_t length = 0;
    char32_t c = 0;
    char32_t smallest = 0;
    if (lead >= 0xC2 && lead <= 0xDF) length = 2, c = lead & 0x1F, smallest = 0x80;
    else if (lead >= 0xE0 && lead <= 0xEF) length = 3, c = lead & 0x0F, smallest = 0x800;
    else if (lead >= 0xF0 && lead <= 0xF4) length = 4, c = lead & 0x07, smallest = 0x10000;
    else return 0xFFFD;
    if (text.size() < length) return 0xFFFD;
    for (std::size_t at = 1; at < length; ++at) {
        if ((byte(at) & 0xC0) != 0x80) return 0xFFFD;
        c = (c << 6) | (byte(at) & 0x3F);
    }
    if (c < smallest || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0xFFFD;
    return c;
}

char32_t lastCodePoint(std::string_view text) {
    std::size_t start = text.size() - 1;
    // Back over continuation bytes to the lead byte of the last sequence (at most three).
    while (start > 0 && text.size() - start < 4 && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80) --start;
    return firstCodePoint(text.substr(start));
}

bool isScalarValue(std::uint32_t c) { return c != 0 && c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF); }

}  // namespace

bool isNumeric(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return (c >= '0' && c <= '9') || c == '.'; });
}

bool isIgnorableWhitespace(std::string_view text) {
    // Most texts answer on their first character: a visible ASCII one is never white space, nor is any
    // other character outside the set (a text in Chinese, say).
    if (text.empty()) return true;
    const unsigned char lead = static_cast<unsigned char>(text.front());
    if (lead > 0x20 && lead < 0x7F) return false;
    const ns::CharacterSet& ignorable = ignorableWhitespaceCharacterSet();
    // The white space between tags is ASCII: answered from a table of the set for as long as the text is.
    static const std::array<bool, 0x80> ascii = [&ignorable] {
        std::array<bool, 0x80> members{};
        for (char32_t c = 0; c < members.size(); ++c) members[c] = ignorable.longCharacterIsMember(c);
        return members;
    }();
    std::size_t at = 0;
    for (; at < text.size() && static_cast<unsigned char>(text[at]) < 0x80; ++at)
        if (!ascii[static_cast<unsigned char>(text[at])]) return false;
    text.remove_prefix(at);
    if (text.empty()) return true;
    if (!ignorable.longCharacterIsMember(firstCodePoint(text))) return false;
    return ns::stringByTrimmingCharactersInSet(text, ignorable).empty();
}

bool hasPrefixCharacterFromSet(std::string_view text, const ns::CharacterSet& set) {
    return !text.empty() && set.longCharacterIsMember(firstCodePoint(text));
}

bool hasSuffixCharacterFromSet(std::string_view text, const ns::CharacterSet& set) {
    return !text.empty() && set.longCharacterIsMember(lastCodePoint(text));
}

std::string stringByReplacingHTMLEntities(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t amp = text.find('&', at);
        if (amp == std::string_view::npos) break;
        out.append(text.substr(at, amp - at));
        at = amp + 1;
        // Names and numbers of references are short: a ";" further away belongs to something else, and
        // looking no further keeps a text full of "&" linear.
        const std::size_t near = text.substr(amp, 33).find(';');
        const std::size_t semicolon = near == std::string_view::npos ? near : amp + near;
        if (semicolon == std::string_view::npos) {
            out += '&';
            continue;
        }
        const std::string_view body = text.substr(amp + 1, semicolon - amp - 1);
        std::optional<char32_t> decoded;
        if (body.size() > 1 && body[0] == '#') {
            const bool hex = body[1] == 'x' || body[1] == 'X';
            const std::string_view digits = body.substr(hex ? 2 : 1);
            std::uint32_t value = 0;
            const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value, hex ? 16 : 10);
            // Digits too many for 32 bits still make a reference, to a code point that does not exist.
            if (!digits.empty() && end == digits.data() + digits.size())
                decoded = error == std::errc() && isScalarValue(value) ? char32_t(value) : U'\uFFFD';
        } else if (!body.empty()) {
            const std::string name(body);
            if (const htmlEntityDesc* entity = htmlEntityLookup(reinterpret_cast<const xmlChar*>(name.c_str())))
                decoded = char32_t(entity->value);
        }
        if (!decoded) {
            out += '&';
            continue;
        }
        ns::appendUTF8(out, *decoded);
        at = semicolon + 1;
    }
    out.append(text.substr(at));
    return out;
}

}  // namespace ql
