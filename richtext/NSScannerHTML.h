#pragma once
// Scanners for the pieces of CSS that the rich text import reads: declarations, url() values and
// colours. Each reads at the scanner's location after its skipped characters and, when it fails, leaves
// the location where it was. The same readers work on plain texts from a byte offset (css::read…), for
// callers that walk a whole text.
//
// The declaration grammar follows CSS's own error recovery: declarations are "name: value" separated by
// ";"; property names are ASCII-lower-cased; comments are skipped; a ";" inside quotes or parentheses
// does not end a value; a declaration without ":" or with an empty value is skipped, not fatal. A value
// is its text trimmed of white space; a value holding quoted strings becomes its comma-separated parts
// unquoted: one text for a single part, an array of texts for several ("'Times New Roman', serif").

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "platform/foundation/Scanner.h"
#include "platform/foundation/Value.h"
#include "platform/ui/Color.h"

namespace ql {

// The next declaration: its property name and its value (a text or an array of texts).
bool scanCSSAttribute(ns::Scanner& scanner, std::string* name, ns::Value* value);
// "url(" (any case), the URL and the closing ")": a quoted URL runs to its matching quote (an empty
// quoted URL gives the empty text), an unquoted one to the next ")". The URL is trimmed of white space
// and has its HTML character references replaced.
bool scanCSSURL(ns::Scanner& scanner, std::string* url);
// A colour as CSS writes it: "#" and what follows up to white space or a comma, "rgb…" up to and
// including ")", or a word of letters and digits, when it reads as a colour (RTHTMLColors.h). `name`
// receives the text as written.
bool scanHTMLColor(ns::Scanner& scanner, std::shared_ptr<ui::Color>* color, std::string* name);

namespace css {

struct Declaration {
    std::string name;
    ns::Value value;
};

// The readers on a UTF-8 text; `at` is a byte offset, moved past what was read on success only.
std::optional<Declaration> readDeclaration(std::string_view text, std::size_t& at);
std::optional<std::string> readURL(std::string_view text, std::size_t& at);
std::optional<std::pair<std::shared_ptr<ui::Color>, std::string>> readColor(std::string_view text, std::size_t& at);

// CSS white space: space, tab, line feed, carriage return, form feed.
bool isSpace(char c);

}  // namespace css

}  // namespace ql
