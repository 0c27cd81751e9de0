#include "platform/text/EmojiPresentation.h"

#include <unicode/uchar.h>

#include <algorithm>

namespace ql::ct::detail {

namespace {

constexpr char32_t TextSelector = 0xFE0E;
constexpr char32_t EmojiSelector = 0xFE0F;
constexpr char32_t Keycap = 0x20E3;
constexpr char32_t ZeroWidthJoiner = 0x200D;

bool has(char32_t c, UProperty property) { return u_hasBinaryProperty(static_cast<UChar32>(c), property); }

}  // namespace

bool hasEmojiPresentation(std::span<const char32_t> characters) {
    if (characters.empty()) return false;
    const char32_t base = characters.front();
    if (std::find(characters.begin(), characters.end(), TextSelector) != characters.end()) return false;
    if (has(base, UCHAR_EMOJI_PRESENTATION)) return true;
    for (char32_t c : characters.subspan(1)) {
        if (c == EmojiSelector || c == Keycap || has(c, UCHAR_EMOJI_MODIFIER)) return true;
        if (c == ZeroWidthJoiner && has(base, UCHAR_EXTENDED_PICTOGRAPHIC)) return true;
    }
    return false;
}

}  // namespace ql::ct::detail
