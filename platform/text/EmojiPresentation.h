#pragma once
// Whether a user-perceived character shows as an emoji, in colour, rather than as text: characters whose
// default presentation is emoji, and any character asked for as one (a variation selector 16, a keycap,
// a skin tone, a flag's regional indicators, a sequence joined with zero-width joiners). A variation
// selector 15 asks for text. For the text layer's own sources.

#include <span>

namespace ql::ct::detail {

// The full answer; isEmojiPresentation settles most text without it.
bool hasEmojiPresentation(std::span<const char32_t> characters);

inline bool isEmojiPresentation(std::span<const char32_t> characters) {
    // Most text is passed over here: a character alone is an emoji only when its default presentation
    // is one, and none of those lies outside these two stretches (Chinese is between them).
    const bool plain = characters.size() == 1 && (characters[0] < 0x231A || (characters[0] > 0x2B55 && characters[0] < 0x1F000));
    return !plain && hasEmojiPresentation(characters);
}

}  // namespace ql::ct::detail
