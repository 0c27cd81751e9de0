#pragma once
// Whether a user-perceived character shows as an emoji, in colour, rather than as text: characters whose
// default presentation is emoji, and any character asked for as one (a variation selector 16, a keycap,
// a skin tone, a flag's regional indicators, a sequence joined with zero-width joiners). A variation
// selector 15 asks for text. For the text layer's own sources.

#include <span>

namespace ql::ct::detail {

bool isEmojiPresentation(std::span<const char32_t> characters);

}  // namespace ql::ct::detail
