#pragma once
// The option keys of an HTML import (a dictionary handed to the import and to every element it makes).

#include <string_view>

namespace ql {

// A URL: the base of relative URLs.
inline constexpr std::string_view NSBaseURLDocumentOption = "BaseURL";
// An IANA character-set name: the document's encoding.
inline constexpr std::string_view NSTextEncodingNameDocumentOption = "TextEncodingName";
// A number: the text size multiplier.
inline constexpr std::string_view NSTextSizeMultiplierDocumentOption = "TextSizeMultiplier";
// A boxed size: the largest size an image attachment is shown at.
inline constexpr std::string_view RTMaxImageSize = "RTMaxImageSize";
inline constexpr std::string_view RTDefaultFontFamily = "RTDefaultFontFamily";
inline constexpr std::string_view RTDefaultFontName = "RTDefaultFontName";
inline constexpr std::string_view RTDefaultFontSize = "RTDefaultFontSize";
inline constexpr std::string_view RTDefaultTextColor = "RTDefaultTextColor";
inline constexpr std::string_view RTDefaultLinkColor = "RTDefaultLinkColor";
inline constexpr std::string_view RTDefaultLinkHighlightColor = "RTDefaultLinkHighlightColor";
inline constexpr std::string_view RTDefaultLinkDecoration = "RTDefaultLinkDecoration";
inline constexpr std::string_view RTDefaultTextAlignment = "RTDefaultTextAlignment";
inline constexpr std::string_view RTDefaultLineHeightMultiplier = "RTDefaultLineHeightMultiplier";
inline constexpr std::string_view RTDefaultFirstLineHeadIndent = "RTDefaultFirstLineHeadIndent";
inline constexpr std::string_view RTDefaultHeadIndent = "RTDefaultHeadIndent";
// An RTStylesheetOption (RTHTMLOptionValues.h): rules merged over the default stylesheet.
inline constexpr std::string_view RTDefaultStyleSheet = "RTDefaultStyleSheet";
inline constexpr std::string_view RTUseiOS6Attributes = "RTUseiOS6Attributes";
// An RTWillFlushBlock (RTHTMLOptionValues.h): called with each element about to be flushed.
inline constexpr std::string_view RTWillFlushBlockCallBack = "RTWillFlushBlockCallBack";
inline constexpr std::string_view RTProcessCustomHTMLAttributes = "RTProcessCustomHTMLAttributes";
inline constexpr std::string_view RTIgnoreInlineStyles = "RTIgnoreInlineStyles";
inline constexpr std::string_view RTDocumentPreserveTrailingSpaces = "RTDocumentPreserveTrailingSpaces";

}  // namespace ql
