#pragma once
// What two readers of one document are compared by: its visible text as lines, in order. A line ends at a line
// end or a line or paragraph separator; white space inside a line (tabs and no-break spaces too) collapses to
// one space and goes at its ends; lines left empty and attachment characters (U+FFFC, the import's stand-in
// for an image or a frame) go. What separates paragraphs (one line end or a blank line) and spacing are left
// out of the comparison on purpose, and so are list markers: the import writes each item's marker and a tab
// before its text, the browser's text has none.

#include <string>
#include <string_view>
#include <vector>

namespace ql::tools {

std::vector<std::string> visibleLines(std::string_view text);
// The same of the import's text, its list markers left out.
std::vector<std::string> importedLines(std::string_view text);
// Whether two readers' lines read alike: the same lines but for spaces (where pieces of text meet, the import
// keeps white space or drops it by rules of its own, next to elements that show nothing, for one).
bool sameLines(const std::vector<std::string>& a, const std::vector<std::string>& b);

}  // namespace ql::tools
