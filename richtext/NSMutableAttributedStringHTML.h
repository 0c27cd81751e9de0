#pragma once
// Appending to the attributed text the rich text import assembles, and recording the HTML attributes of
// source elements on it.

#include <string>
#include <string_view>

#include "platform/foundation/Range.h"
#include "platform/foundation/Value.h"
#include "platform/text/AttributedString.h"

namespace ql {

// Appends the text with the attributes of the last character, less the attachment, the run delegate and
// the field marker (they belong to that one character); without attributes to an empty string.
void appendString(ct::AttributedString& string, std::string_view text);
// Appends "\n" carrying only the font, paragraph style, text blocks, text lists and foreground colour of
// the last character (under both the typesetting and the view-layer keys), so the paragraph ends in its
// own style without extending links or decorations. To an empty string it appends a bare "\n".
void appendEndOfParagraph(ct::AttributedString& string);
// Sets `name` to `value` in the custom-attributes dictionary of every run in the range; with
// `replaceExisting` false, runs that already have a value for the name keep it.
void addHTMLAttribute(ct::AttributedString& string, std::string_view name, const ns::Value& value, ns::Range range,
                      bool replaceExisting);

}  // namespace ql
