#pragma once
// Questions the rich text import asks of texts while it reads HTML: numbers, droppable white space, the
// first and last characters, and HTML character references.

#include <string>
#include <string_view>

#include "platform/foundation/CharacterSet.h"

namespace ql {

// Every character is an ASCII digit or "." (the empty text counts as numeric).
bool isNumeric(std::string_view text);
// Nothing is left once the ignorable white space (NSCharacterSetHTML.h) is trimmed.
bool isIgnorableWhitespace(std::string_view text);
// Whether the first (last) user-visible code point is in the set; false for the empty text.
bool hasPrefixCharacterFromSet(std::string_view text, const ns::CharacterSet& set);
bool hasSuffixCharacterFromSet(std::string_view text, const ns::CharacterSet& set);

// Character references replaced: decimal and hexadecimal ("&#233;", "&#xE9;") and the named references
// of HTML 4 ("&eacute;", "&amp;"). A reference must end with ";"; anything that is not a complete, known
// reference stays as written. References to U+0000, surrogates or beyond U+10FFFF give U+FFFD.
std::string stringByReplacingHTMLEntities(std::string_view text);

}  // namespace ql
