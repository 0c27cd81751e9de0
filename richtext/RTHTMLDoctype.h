#pragma once
// Whether a document reads in quirks mode, as far as its doctype decides it: a browser reads a document that
// begins with no doctype, or with an old or malformed one, in quirks mode, where a table keeps an open paragraph
// open around it ("<p>See below:<table>...</table>and above.</p>" is one paragraph, the table in it); in any
// other mode the table ends the paragraph. Quirks mode comes of a doctype whose name is not "html", one the
// tokenizer marks as broken (no name, other words than PUBLIC or SYSTEM, identifiers without quotes or cut by a
// ">"), a public identifier of one of the old HTML and vendor DTDs, or that of HTML 4.01 Transitional or
// Frameset without a system identifier.

#include <string_view>

namespace ql {

// `doctype` is the whole doctype, from "<!" to its ">" (or the end of the document).
bool RTHTMLDoctypeSetsQuirksMode(std::string_view doctype);

}  // namespace ql
