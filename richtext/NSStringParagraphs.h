#pragma once
// Paragraphs of a text: each ends after a paragraph separator (line feed, carriage return, the pair of
// both, U+0085 or U+2029), which belongs to it; the last runs to the end of the text.

#include <cstdint>
#include <string_view>

#include "platform/foundation/Range.h"

namespace ql {

// The paragraph holding the code unit at `index` (UTF-16); at the end of the text, the last paragraph
// (empty after a final separator). Beyond the end raises "NSRangeException".
ns::Range rangeOfParagraphAtIndex(std::u16string_view text, std::uint64_t index);
ns::Range rangeOfParagraphAtIndex(std::string_view text, std::uint64_t index);

}  // namespace ql
