#pragma once
// Appending to the attributed text the rich text import assembles, and recording the HTML attributes of
// source elements on it. The functions that take `from` read and change only the part of the string from
// there on, as if it were a string of its own (an element's text written in place after what came before).

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/foundation/Range.h"
#include "platform/foundation/Value.h"
#include "platform/text/AttributedString.h"

namespace ql {

// Appends the text with the attributes of the last character, less the attachment, the run delegate and
// the field marker (they belong to that one character); without attributes to an empty string.
void appendString(ct::AttributedString& string, std::string_view text, std::uint64_t from = 0);
// Only the font, paragraph style, text blocks, text lists and foreground colour of the attributes (under
// both the typesetting and the view-layer keys): what a paragraph's own pieces (its end, a list marker)
// carry, without links or decorations.
// The copy has room for `roomForMore` entries that the caller adds.
ns::Dictionary paragraphAttributes(const ns::Dictionary& attributes, std::size_t roomForMore = 0);
// Appends "\n" carrying only the font, paragraph style, text blocks, text lists and foreground colour of
// the last character (under both the typesetting and the view-layer keys), so the paragraph ends in its
// own style without extending links or decorations. To an empty string it appends a bare "\n".
void appendEndOfParagraph(ct::AttributedString& string);
// Whether the text ends inside a line: it is not empty and its last character is no line end ("\n").
bool endsInsideLine(const ct::AttributedString& string);
// Whether the text ends with a character of the ignorable white-space set (NSCharacterSetHTML.h).
bool endsWithIgnorableWhitespace(const ct::AttributedString& string, std::uint64_t from = 0);
// Ends the line the text ends in, where a block begins after it: the white space after the last line end ("\n")
// goes, all in one deletion, and a line end takes its place (none where a line end was all that went before).
// Line breaks of br elements (U+2028) among that white space are no white space to drop: they stay, but the last,
// which coincides with the line's end. True when a line break ended the line: the block's text then joins no
// white space before it (an empty paragraph there is a line of its own).
bool endLine(ct::AttributedString& string, std::uint64_t from = 0);
// HTML collapses white space where two pieces of text meet: once the text before ends in white space,
// the spaces, line feeds and tabs that begin the next piece go. A list marker or a rule line at the start
// is content and stays; so is the line feed a line break stands for where the piece begins with a br element
// (`beginsWithLineBreak`: a br before a block ends the line with a line feed, see `endLine`).
void removeCollapsibleLeadingWhitespace(ct::AttributedString& piece, std::uint64_t from = 0, bool beginsWithLineBreak = false);
// Sets `name` to `value` in the custom-attributes dictionary of every run in the range; with
// `replaceExisting` false, runs that already have a value for the name keep it.
void addHTMLAttribute(ct::AttributedString& string, std::string_view name, const ns::Value& value, ns::Range range,
                      bool replaceExisting);

}  // namespace ql
