#pragma once
// The white space that separates the parts of markup: a tag's name and attributes, a doctype's words.

namespace ql {

constexpr bool RTHTMLIsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

}  // namespace ql
