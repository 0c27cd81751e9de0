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

// What an element writes on its text besides the platform's keys.
inline constexpr std::string_view RTAttachmentParagraphSpacingAttribute = "RTAttachmentParagraphSpacing";
inline constexpr std::string_view RTGUIDAttribute = "RTGUID";
inline constexpr std::string_view RTAnchorAttribute = "RTAnchor";
inline constexpr std::string_view RTStrikethroughAttribute = "RTStrikethrough";
inline constexpr std::string_view RTBackgroundColorAttribute = "RTBackgroundColor";
inline constexpr std::string_view RTShadowsAttribute = "RTShadows";
inline constexpr std::string_view RTHeaderLevelAttribute = "RTHeaderLevel";
inline constexpr std::string_view RTBackgroundStrokeColorAttribute = "RTBackgroundStrokeColor";
inline constexpr std::string_view RTBackgroundStrokeWidthAttribute = "RTBackgroundStrokeWidth";
inline constexpr std::string_view RTBackgroundCornerRadiusAttribute = "RTBackgroundCornerRadius";
// The colour of a link while it is touched.
inline constexpr std::string_view RTLinkHighlightColorAttribute = "RTLinkHighlightColor";
// Marks the line of a horizontal rule.
inline constexpr std::string_view RTHorizontalRuleStyleAttribute = "RTHorizontalRuleStyle";

}  // namespace ql
