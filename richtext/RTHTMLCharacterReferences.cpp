#include "richtext/RTHTMLCharacterReferences.h"

#include <algorithm>
#include <array>
#include <string>

#include "platform/foundation/StringEncoding.h"
#include "platform/foundation/Text.h"
#include "richtext/RTHTMLNamedReferenceTable.h"

namespace ql {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isHexDigit(char c) { return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
bool isAlphanumeric(char c) { return isDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

int digitValue(char c) {
    if (isDigit(c)) return c - '0';
    return (c | 0x20) - 'a' + 10;
}

// Letters numbered from 0 (A) to 51 (z), -1 for any other byte.
constexpr int letterIndex(char c) { return c >= 'A' && c <= 'Z' ? c - 'A' : c >= 'a' && c <= 'z' ? c - 'a' + 26 : -1; }

constexpr std::string_view nameOf(const RTHTMLNamedReference& reference) {
    return RTHTMLNamedReferenceNames.substr(reference.nameAt, reference.nameLength);
}

constexpr std::size_t longestName(bool legacyOnly) {
    std::size_t longest = 0;
    for (const auto& reference : RTHTMLNamedReferences) {
        if (reference.legacy || !legacyOnly) longest = std::max<std::size_t>(longest, reference.nameLength);
    }
    return longest;
}
constexpr std::size_t LongestName = longestName(false);
constexpr std::size_t LongestLegacyName = longestName(true);

// Each name's row, by a hash of the name, made at compile time: a search hashes a few bytes and compares one
// or two names, where a binary search through the table took hundreds of instructions.
constexpr std::size_t SlotBits = 12;
static_assert(std::size(RTHTMLNamedReferences) * 3 < (std::size_t{1} << SlotBits) * 2, "a third of the slots free, or searches grow long");

constexpr std::size_t slotOf(std::string_view name) {
    std::uint64_t hash = name.size();
    for (const char c : name) hash = (hash << 5) + hash + static_cast<unsigned char>(c);
    return static_cast<std::size_t>((hash * 0x9E3779B97F4A7C15ull) >> (64 - SlotBits));
}

constexpr std::array<std::uint16_t, std::size_t{1} << SlotBits> Slots = [] {
    std::array<std::uint16_t, std::size_t{1} << SlotBits> slots{};  // a row's number + 1, 0 for none
    for (std::size_t row = 0; row < std::size(RTHTMLNamedReferences); ++row) {
        std::size_t at = slotOf(nameOf(RTHTMLNamedReferences[row]));
        while (slots[at] != 0) at = (at + 1) % slots.size();
        slots[at] = static_cast<std::uint16_t>(row + 1);
    }
    return slots;
}();

const RTHTMLNamedReference* findName(std::string_view name) {
    if (name.size() > LongestName) return nullptr;
    for (std::size_t at = slotOf(name);; at = (at + 1) % Slots.size()) {
        if (Slots[at] == 0) return nullptr;
        const RTHTMLNamedReference& reference = RTHTMLNamedReferences[Slots[at] - 1];
        if (nameOf(reference) == name) return &reference;
    }
}

// By a name's first letter, the second letters with which a legacy name begins: most names (ldquo, mdash,
// hellip) begin like none, and need no search.
constexpr std::array<std::uint64_t, 52> LegacyBeginnings = [] {
    std::array<std::uint64_t, 52> beginnings{};
    for (const auto& reference : RTHTMLNamedReferences) {
        const std::string_view name = nameOf(reference);
        if (reference.legacy)
            beginnings[static_cast<std::size_t>(letterIndex(name[0]))] |= std::uint64_t{1} << letterIndex(name[1]);
    }
    return beginnings;
}();

// The longest legacy name that begins `name`.
const RTHTMLNamedReference* longestLegacyPrefix(std::string_view name) {
    if (name.size() < 2) return nullptr;
    const int first = letterIndex(name[0]);
    const int second = letterIndex(name[1]);
    if (first < 0 || second < 0 || !(LegacyBeginnings[static_cast<std::size_t>(first)] >> second & 1)) return nullptr;
    for (std::size_t length = std::min(name.size(), LongestLegacyName); length >= 2; --length) {
        const RTHTMLNamedReference* found = findName(name.substr(0, length));
        if (found && found->legacy) return found;
    }
    return nullptr;
}

// A character as the reader is handed it: itself, but an ASCII one as a numeric reference, which the reader
// takes for that character alone, where typed it could join what is around it: into markup after a "<" of
// text ("<&sol;b>"), into a reference with what comes before it ("&hellip&semi;", "&&num;60;"), or into the
// end of an attribute value without quotes ("a&Tab;b").
void appendSpelling(std::string& text, char32_t character) {
    if (character >= 0x80) return ns::appendUTF8(text, character);
    text += "&#";
    if (character >= 100) text += static_cast<char>('0' + character / 100);
    if (character >= 10) text += static_cast<char>('0' + character / 10 % 10);
    text += static_cast<char>('0' + character % 10);
    text += ';';
}

std::string spelling(char32_t character) {
    std::string text;
    appendSpelling(text, character);
    return text;
}

std::string spelling(const RTHTMLNamedReference& reference) {
    std::string text;
    appendSpelling(text, reference.character);
    if (reference.secondCharacter) appendSpelling(text, reference.secondCharacter);
    return text;
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
    // A run of letters and digits longer than every name can only begin with a legacy one: it is read no
    // further than that.
    const std::size_t limit = std::min(text.size(), LongestName + 2);
    std::size_t end = 1;
    while (end < limit && isAlphanumeric(text[end])) ++end;
    const std::string_view name = text.substr(1, end - 1);
    if (name.empty()) return std::nullopt;
    if (end < text.size() && text[end] == ';') {
        if (const RTHTMLNamedReference* found = findName(name)) return RTCharacterReferenceRewrite{name.size() + 2, spelling(*found)};
    }
    const RTHTMLNamedReference* legacy = longestLegacyPrefix(name);
    if (!legacy) return std::nullopt;
    const std::size_t length = legacy->nameLength;
    const char next = length < name.size() ? name[length] : end < text.size() ? text[end] : '\0';
    if (inAttributeValue && (isAlphanumeric(next) || next == '=')) return std::nullopt;
    return RTCharacterReferenceRewrite{1 + length, spelling(*legacy)};
}

}  // namespace ql
