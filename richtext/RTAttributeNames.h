#pragma once
// The rich text import's own attribute keys on the attributed text it makes.

#include <string_view>

namespace ql {

// A text marking a generated piece of text; RTListPrefixField marks a list item's marker.
inline constexpr std::string_view RTFieldAttribute = "RTField";
inline constexpr std::string_view RTListPrefixField = "{listprefix}";
// Arrays of the blocks and lists enclosing a paragraph, outermost first.
inline constexpr std::string_view RTTextBlocksAttribute = "RTTextBlocks";
inline constexpr std::string_view RTTextListsAttribute = "RTTextLists";
// A dictionary of HTML attributes carried over from the source elements.
inline constexpr std::string_view RTCustomAttributesAttribute = "RTCustomAttributes";

}  // namespace ql
