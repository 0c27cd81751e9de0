#pragma once
// Where a browser ends the contents of an element it reads as no markup, in a document's bytes (followed by
// a NUL, as a std::string's are).
// - Raw text and text with character references only (style, xmp, iframe, noembed, noframes, textarea,
//   title): at the first end tag of the element's name, "</" and the name in any case followed by white
//   space, "/" or ">". "</styles>" ends no style element.
// - A script: the same, but after "<!--" in its text a "<script" (followed by white space, "/" or ">") makes
//   the next "</script" part of the text, until a "-->" (scripts of old pages write scripts this way:
//   "<!-- document.write('<script src=x></script>'); //-->").
// Either runs to the end of the document when no such end tag comes.

#include <cstddef>
#include <string_view>

namespace ql {

// `source` holds the document; `from` is where the contents begin, after the start tag. The end tag's place.
std::size_t RTHTMLRawTextEnd(std::string_view source, std::size_t from, std::string_view name);
std::size_t RTHTMLScriptEnd(std::string_view source, std::size_t from);

// Where a comment that begins with "<!--" at `at` ends, for a browser as for the reader: past its first "-->"
// or "--!>" ("<!-->" and "<!--->" are whole empty comments to a browser), or at the end of the document.
std::size_t RTHTMLCommentEnd(std::string_view source, std::size_t at);

// Whether "</" and `name`, in any case, begin at `at`, whatever follows: where the reader (libxml2) ends
// such contents.
bool RTHTMLStartsEndTagPrefix(std::string_view source, std::size_t at, std::string_view name);

}  // namespace ql
