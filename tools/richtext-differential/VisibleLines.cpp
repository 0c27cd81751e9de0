#include "tools/richtext-differential/VisibleLines.h"

namespace ql::tools {

namespace {

constexpr std::string_view LineSeparator = "\u2028";
constexpr std::string_view ParagraphSeparator = "\u2029";
constexpr std::string_view Attachment = "\uFFFC";
constexpr std::string_view NoBreakSpace = "\u00A0";
// The longest marker the import writes before an item's text ("xviii." and the like, or a bullet).
constexpr std::size_t LongestMarker = 12;

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v'; }

void endLine(std::string& line, std::vector<std::string>& lines) {
    while (!line.empty() && line.back() == ' ') line.pop_back();
    if (!line.empty()) lines.push_back(std::move(line));
    line.clear();
}

// The length of the end of a line at the start of `text`, 0 when none begins there.
std::size_t lineEndAt(std::string_view text) {
    if (text.front() == '\n') return 1;
    if (text.starts_with(LineSeparator) || text.starts_with(ParagraphSeparator)) return LineSeparator.size();
    return 0;
}

// The length of a list item's marker between its tabs at the start of a line, 0 when none begins there.
std::size_t markerAt(std::string_view text) {
    const std::size_t from = text.starts_with('\t') ? 1 : 0;
    const std::size_t tab = text.substr(0, from + LongestMarker + 1).find('\t', from);
    if (tab == std::string_view::npos || tab == from) return 0;
    return text.substr(from, tab - from).find_first_of(" \n") == std::string_view::npos ? tab + 1 : 0;
}

std::vector<std::string> lines(std::string_view text, bool markers) {
    std::vector<std::string> lines;
    std::string line;
    bool lineStart = true;
    for (std::size_t at = 0; at < text.size();) {
        const std::string_view rest = text.substr(at);
        if (const std::size_t end = lineEndAt(rest)) {
            endLine(line, lines);
            at += end;
            lineStart = true;
            continue;
        }
        // Items of nested lists that begin an item begin its line with their markers too.
        if (lineStart && markers) {
            for (std::size_t marker; at < text.size() && (marker = markerAt(text.substr(at))) > 0;) at += marker;
        }
        lineStart = false;
        if (at >= text.size()) break;
        if (text.substr(at).starts_with(Attachment)) {
            at += Attachment.size();
        } else if (isBlank(text[at]) || text.substr(at).starts_with(NoBreakSpace)) {
            if (!line.empty() && line.back() != ' ') line += ' ';
            at += isBlank(text[at]) ? 1 : NoBreakSpace.size();
        } else if (!lineEndAt(text.substr(at))) {
            line += text[at++];
        }
    }
    endLine(line, lines);
    return lines;
}

}  // namespace

std::vector<std::string> visibleLines(std::string_view text) { return lines(text, false); }

std::vector<std::string> importedLines(std::string_view text) { return lines(text, true); }

bool sameLines(const std::vector<std::string>& a, const std::vector<std::string>& b) {
    const auto withoutSpaces = [](std::string line) {
        std::erase(line, ' ');
        return line;
    };
    if (a.size() != b.size()) return false;
    for (std::size_t at = 0; at < a.size(); ++at) {
        if (withoutSpaces(a[at]) != withoutSpaces(b[at])) return false;
    }
    return true;
}

}  // namespace ql::tools
