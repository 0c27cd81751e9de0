#include "richtext/RTHTMLCharacterReferences.h"

#include <algorithm>
#include <array>
#include <string>

#include "platform/foundation/StringEncoding.h"
#include "platform/foundation/Text.h"
#include "richtext/RTHTMLNameTable.h"

namespace ql {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isHexDigit(char c) { return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
bool isAlphanumeric(char c) { return isDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

int digitValue(char c) {
    if (isDigit(c)) return c - '0';
    return (c | 0x20) - 'a' + 10;
}

// The names of HTML 4 (those the reader knows) and the capitals AMP, COPY, GT, LT, QUOT and REG, with their
// characters; the names HTML also reads without a ";" are marked legacy.
constexpr std::uint32_t Legacy = 0x80000000u;
constexpr std::uint32_t CharacterBits = 0x1FFFFF;
constexpr RTHTMLNameTable<9, std::uint32_t>::Entry Entries[] = {
    {"AElig", 0x00C6 | Legacy}, {"AMP", 0x0026 | Legacy}, {"Aacute", 0x00C1 | Legacy}, {"Acirc", 0x00C2 | Legacy},
    {"Agrave", 0x00C0 | Legacy}, {"Alpha", 0x0391}, {"Aring", 0x00C5 | Legacy}, {"Atilde", 0x00C3 | Legacy},
    {"Auml", 0x00C4 | Legacy}, {"Beta", 0x0392}, {"COPY", 0x00A9 | Legacy}, {"Ccedil", 0x00C7 | Legacy},
    {"Chi", 0x03A7}, {"Dagger", 0x2021}, {"Delta", 0x0394}, {"ETH", 0x00D0 | Legacy}, {"Eacute", 0x00C9 | Legacy},
    {"Ecirc", 0x00CA | Legacy}, {"Egrave", 0x00C8 | Legacy}, {"Epsilon", 0x0395}, {"Eta", 0x0397},
    {"Euml", 0x00CB | Legacy}, {"GT", 0x003E | Legacy}, {"Gamma", 0x0393}, {"Iacute", 0x00CD | Legacy},
    {"Icirc", 0x00CE | Legacy}, {"Igrave", 0x00CC | Legacy}, {"Iota", 0x0399}, {"Iuml", 0x00CF | Legacy},
    {"Kappa", 0x039A}, {"LT", 0x003C | Legacy}, {"Lambda", 0x039B}, {"Mu", 0x039C}, {"Ntilde", 0x00D1 | Legacy},
    {"Nu", 0x039D}, {"OElig", 0x0152}, {"Oacute", 0x00D3 | Legacy}, {"Ocirc", 0x00D4 | Legacy},
    {"Ograve", 0x00D2 | Legacy}, {"Omega", 0x03A9}, {"Omicron", 0x039F}, {"Oslash", 0x00D8 | Legacy},
    {"Otilde", 0x00D5 | Legacy}, {"Ouml", 0x00D6 | Legacy}, {"Phi", 0x03A6}, {"Pi", 0x03A0}, {"Prime", 0x2033},
    {"Psi", 0x03A8}, {"QUOT", 0x0022 | Legacy}, {"REG", 0x00AE | Legacy}, {"Rho", 0x03A1}, {"Scaron", 0x0160},
    {"Sigma", 0x03A3}, {"THORN", 0x00DE | Legacy}, {"Tau", 0x03A4}, {"Theta", 0x0398}, {"Uacute", 0x00DA | Legacy},
    {"Ucirc", 0x00DB | Legacy}, {"Ugrave", 0x00D9 | Legacy}, {"Upsilon", 0x03A5}, {"Uuml", 0x00DC | Legacy},
    {"Xi", 0x039E}, {"Yacute", 0x00DD | Legacy}, {"Yuml", 0x0178}, {"Zeta", 0x0396}, {"aacute", 0x00E1 | Legacy},
    {"acirc", 0x00E2 | Legacy}, {"acute", 0x00B4 | Legacy}, {"aelig", 0x00E6 | Legacy}, {"agrave", 0x00E0 | Legacy},
    {"alefsym", 0x2135}, {"alpha", 0x03B1}, {"amp", 0x0026 | Legacy}, {"and", 0x2227}, {"ang", 0x2220},
    {"apos", 0x0027}, {"aring", 0x00E5 | Legacy}, {"asymp", 0x2248}, {"atilde", 0x00E3 | Legacy},
    {"auml", 0x00E4 | Legacy}, {"bdquo", 0x201E}, {"beta", 0x03B2}, {"brvbar", 0x00A6 | Legacy}, {"bull", 0x2022},
    {"cap", 0x2229}, {"ccedil", 0x00E7 | Legacy}, {"cedil", 0x00B8 | Legacy}, {"cent", 0x00A2 | Legacy},
    {"chi", 0x03C7}, {"circ", 0x02C6}, {"clubs", 0x2663}, {"cong", 0x2245}, {"copy", 0x00A9 | Legacy},
    {"crarr", 0x21B5}, {"cup", 0x222A}, {"curren", 0x00A4 | Legacy}, {"dArr", 0x21D3}, {"dagger", 0x2020},
    {"darr", 0x2193}, {"deg", 0x00B0 | Legacy}, {"delta", 0x03B4}, {"diams", 0x2666}, {"divide", 0x00F7 | Legacy},
    {"eacute", 0x00E9 | Legacy}, {"ecirc", 0x00EA | Legacy}, {"egrave", 0x00E8 | Legacy}, {"empty", 0x2205},
    {"emsp", 0x2003}, {"ensp", 0x2002}, {"epsilon", 0x03B5}, {"equiv", 0x2261}, {"eta", 0x03B7},
    {"eth", 0x00F0 | Legacy}, {"euml", 0x00EB | Legacy}, {"euro", 0x20AC}, {"exist", 0x2203}, {"fnof", 0x0192},
    {"forall", 0x2200}, {"frac12", 0x00BD | Legacy}, {"frac14", 0x00BC | Legacy}, {"frac34", 0x00BE | Legacy},
    {"frasl", 0x2044}, {"gamma", 0x03B3}, {"ge", 0x2265}, {"gt", 0x003E | Legacy}, {"hArr", 0x21D4},
    {"harr", 0x2194}, {"hearts", 0x2665}, {"hellip", 0x2026}, {"iacute", 0x00ED | Legacy},
    {"icirc", 0x00EE | Legacy}, {"iexcl", 0x00A1 | Legacy}, {"igrave", 0x00EC | Legacy}, {"image", 0x2111},
    {"infin", 0x221E}, {"int", 0x222B}, {"iota", 0x03B9}, {"iquest", 0x00BF | Legacy}, {"isin", 0x2208},
    {"iuml", 0x00EF | Legacy}, {"kappa", 0x03BA}, {"lArr", 0x21D0}, {"lambda", 0x03BB}, {"lang", 0x2329},
    {"laquo", 0x00AB | Legacy}, {"larr", 0x2190}, {"lceil", 0x2308}, {"ldquo", 0x201C}, {"le", 0x2264},
    {"lfloor", 0x230A}, {"lowast", 0x2217}, {"loz", 0x25CA}, {"lrm", 0x200E}, {"lsaquo", 0x2039}, {"lsquo", 0x2018},
    {"lt", 0x003C | Legacy}, {"macr", 0x00AF | Legacy}, {"mdash", 0x2014}, {"micro", 0x00B5 | Legacy},
    {"middot", 0x00B7 | Legacy}, {"minus", 0x2212}, {"mu", 0x03BC}, {"nabla", 0x2207}, {"nbsp", 0x00A0 | Legacy},
    {"ndash", 0x2013}, {"ne", 0x2260}, {"ni", 0x220B}, {"not", 0x00AC | Legacy}, {"notin", 0x2209}, {"nsub", 0x2284},
    {"ntilde", 0x00F1 | Legacy}, {"nu", 0x03BD}, {"oacute", 0x00F3 | Legacy}, {"ocirc", 0x00F4 | Legacy},
    {"oelig", 0x0153}, {"ograve", 0x00F2 | Legacy}, {"oline", 0x203E}, {"omega", 0x03C9}, {"omicron", 0x03BF},
    {"oplus", 0x2295}, {"or", 0x2228}, {"ordf", 0x00AA | Legacy}, {"ordm", 0x00BA | Legacy},
    {"oslash", 0x00F8 | Legacy}, {"otilde", 0x00F5 | Legacy}, {"otimes", 0x2297}, {"ouml", 0x00F6 | Legacy},
    {"para", 0x00B6 | Legacy}, {"part", 0x2202}, {"permil", 0x2030}, {"perp", 0x22A5}, {"phi", 0x03C6},
    {"pi", 0x03C0}, {"piv", 0x03D6}, {"plusmn", 0x00B1 | Legacy}, {"pound", 0x00A3 | Legacy}, {"prime", 0x2032},
    {"prod", 0x220F}, {"prop", 0x221D}, {"psi", 0x03C8}, {"quot", 0x0022 | Legacy}, {"rArr", 0x21D2},
    {"radic", 0x221A}, {"rang", 0x232A}, {"raquo", 0x00BB | Legacy}, {"rarr", 0x2192}, {"rceil", 0x2309},
    {"rdquo", 0x201D}, {"real", 0x211C}, {"reg", 0x00AE | Legacy}, {"rfloor", 0x230B}, {"rho", 0x03C1},
    {"rlm", 0x200F}, {"rsaquo", 0x203A}, {"rsquo", 0x2019}, {"sbquo", 0x201A}, {"scaron", 0x0161}, {"sdot", 0x22C5},
    {"sect", 0x00A7 | Legacy}, {"shy", 0x00AD | Legacy}, {"sigma", 0x03C3}, {"sigmaf", 0x03C2}, {"sim", 0x223C},
    {"spades", 0x2660}, {"sub", 0x2282}, {"sube", 0x2286}, {"sum", 0x2211}, {"sup", 0x2283},
    {"sup1", 0x00B9 | Legacy}, {"sup2", 0x00B2 | Legacy}, {"sup3", 0x00B3 | Legacy}, {"supe", 0x2287},
    {"szlig", 0x00DF | Legacy}, {"tau", 0x03C4}, {"there4", 0x2234}, {"theta", 0x03B8}, {"thetasym", 0x03D1},
    {"thinsp", 0x2009}, {"thorn", 0x00FE | Legacy}, {"tilde", 0x02DC}, {"times", 0x00D7 | Legacy}, {"trade", 0x2122},
    {"uArr", 0x21D1}, {"uacute", 0x00FA | Legacy}, {"uarr", 0x2191}, {"ucirc", 0x00FB | Legacy},
    {"ugrave", 0x00F9 | Legacy}, {"uml", 0x00A8 | Legacy}, {"upsih", 0x03D2}, {"upsilon", 0x03C5},
    {"uuml", 0x00FC | Legacy}, {"weierp", 0x2118}, {"xi", 0x03BE}, {"yacute", 0x00FD | Legacy},
    {"yen", 0x00A5 | Legacy}, {"yuml", 0x00FF | Legacy}, {"zeta", 0x03B6}, {"zwj", 0x200D}, {"zwnj", 0x200C}};
constexpr RTHTMLNameTable<9, std::uint32_t> Names{Entries};
constexpr std::size_t LongestLegacyName = 6;

// Letters numbered from 0 (A) to 51 (z), -1 for any other byte.
constexpr int letterIndex(char c) { return c >= 'A' && c <= 'Z' ? c - 'A' : c >= 'a' && c <= 'z' ? c - 'a' + 26 : -1; }

// By a name's first letter, the second letters with which a legacy name begins: most names (ldquo, mdash,
// hellip) begin like none, and need no search.
constexpr std::array<std::uint64_t, 52> LegacyBeginnings = [] {
    std::array<std::uint64_t, 52> beginnings{};
    for (const auto& entry : Entries) {
        if (entry.value & Legacy)
            beginnings[static_cast<std::size_t>(letterIndex(entry.name[0]))] |= std::uint64_t{1} << letterIndex(entry.name[1]);
    }
    return beginnings;
}();

struct LegacyPrefix {
    std::size_t length;
    char32_t character;
};

// The longest legacy name that begins `name`.
std::optional<LegacyPrefix> longestLegacyPrefix(std::string_view name) {
    if (name.size() < 2) return std::nullopt;
    const int first = letterIndex(name[0]);
    const int second = letterIndex(name[1]);
    if (first < 0 || second < 0 || !(LegacyBeginnings[static_cast<std::size_t>(first)] >> second & 1)) return std::nullopt;
    for (std::size_t length = std::min(name.size(), LongestLegacyName); length >= 2; --length) {
        const std::uint32_t found = Names.find(name.substr(0, length), false);
        if (found & Legacy) return LegacyPrefix{length, found & CharacterBits};
    }
    return std::nullopt;
}

// The character as the reader is handed it: itself, but for those that would read as markup there.
std::string spelling(char32_t character) {
    switch (character) {
    case '&': return "&#38;";
    case '<': return "&#60;";
    case '>': return "&#62;";
    case '"': return "&#34;";
    case '\'': return "&#39;";
    default: {
        std::string text;
        ns::appendUTF8(text, character);
        return text;
    }
    }
}

// A byte of windows-1252 as the character it stands for; one that the encoding leaves unassigned stays the
// control character of that number, as HTML keeps it.
std::string windows1252Character(char32_t byte) {
    const std::string single(1, static_cast<char>(byte));
    std::optional<std::string> decoded = ns::decodeTextReplacingInvalid(single, ns::WindowsCP1252StringEncoding);
    if (decoded && !decoded->empty() && *decoded != "\uFFFD") return std::move(*decoded);
    return spelling(byte);
}

std::optional<RTCharacterReferenceRewrite> numericReference(std::string_view text) {
    std::size_t at = 2;
    const bool hex = at < text.size() && (text[at] == 'x' || text[at] == 'X');
    if (hex) ++at;
    const std::size_t digits = at;
    // Past U+10FFFF every value reads the same, so the sum stops growing there.
    constexpr char32_t Beyond = 0x110000;
    char32_t value = 0;
    for (; at < text.size() && (hex ? isHexDigit(text[at]) : isDigit(text[at])); ++at)
        value = std::min<char32_t>(value * (hex ? 16 : 10) + static_cast<char32_t>(digitValue(text[at])), Beyond);
    // No digits: HTML keeps the text, where the reader would drop "&#".
    if (at == digits) return RTCharacterReferenceRewrite{1, "&#38;"};
    if (at < text.size() && text[at] == ';') ++at;
    if (value == 0 || value >= Beyond || (value >= 0xD800 && value <= 0xDFFF)) return RTCharacterReferenceRewrite{at, "\uFFFD"};
    if (value >= 0x80 && value <= 0x9F) return RTCharacterReferenceRewrite{at, windows1252Character(value)};
    return std::nullopt;
}

}  // namespace

std::optional<RTCharacterReferenceRewrite> rewriteCharacterReference(std::string_view text, bool inAttributeValue) {
    if (text.size() < 2) return std::nullopt;
    if (text[1] == '#') return numericReference(text);
    std::size_t end = 1;
    while (end < text.size() && isAlphanumeric(text[end])) ++end;
    const std::string_view name = text.substr(1, end - 1);
    if (name.empty()) return std::nullopt;
    if (end < text.size() && text[end] == ';') {
        if (const std::uint32_t found = Names.find(name, false)) return RTCharacterReferenceRewrite{name.size() + 2, spelling(found & CharacterBits)};
    }
    const std::optional<LegacyPrefix> legacy = longestLegacyPrefix(name);
    if (!legacy) return std::nullopt;
    const char next = legacy->length < name.size() ? name[legacy->length] : end < text.size() ? text[end] : '\0';
    if (inAttributeValue && (isAlphanumeric(next) || next == '=')) return std::nullopt;
    return RTCharacterReferenceRewrite{1 + legacy->length, spelling(legacy->character)};
}

}  // namespace ql
