#include "richtext/NSScannerHTML.h"

#include <cctype>
#include <vector>

#include "platform/foundation/Text.h"
#include "richtext/NSStringHTML.h"
#include "richtext/RTHTMLColors.h"

namespace ql {

namespace css {

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

namespace {

char lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back())) text.remove_suffix(1);
    return text;
}

bool isQuote(char c) { return c == '"' || c == '\''; }

// Past a quoted string that starts at `at` (the quote), or to the end when it is not closed.
std::size_t pastQuoted(std::string_view text, std::size_t at) {
    const char quote = text[at];
    for (std::size_t i = at + 1; i < text.size(); ++i) {
        if (text[i] == '\\') {
            ++i;
        } else if (text[i] == quote) {
            return i + 1;
        }
    }
    return text.size();
}

// The end of a value: the first ";" or "}" outside quotes and parentheses, or the end of the text.
std::size_t valueEnd(std::string_view text, std::size_t at) {
    std::size_t depth = 0;
    while (at < text.size()) {
        const char c = text[at];
        if (isQuote(c)) {
            at = pastQuoted(text, at);
            continue;
        }
        if (c == '(') ++depth;
        if (c == ')' && depth > 0) --depth;
        if ((c == ';' || c == '}') && depth == 0) return at;
        if (c == '/' && at + 1 < text.size() && text[at + 1] == '*') {
            const std::size_t close = text.find("*/", at + 2);
            at = close == std::string_view::npos ? text.size() : close + 2;
            continue;
        }
        ++at;
    }
    return at;
}

// The value's comma-separated parts outside quotes and parentheses, each trimmed.
std::vector<std::string_view> topLevelParts(std::string_view value) {
    std::vector<std::string_view> parts;
    std::size_t depth = 0;
    std::size_t start = 0;
    for (std::size_t i = 0; i < value.size();) {
        const char c = value[i];
        if (isQuote(c)) {
            i = pastQuoted(value, i);
            continue;
        }
        if (c == '(') ++depth;
        if (c == ')' && depth > 0) --depth;
        if (c == ',' && depth == 0) {
            parts.push_back(trimmed(value.substr(start, i - start)));
            start = i + 1;
        }
        ++i;
    }
    parts.push_back(trimmed(value.substr(start)));
    return parts;
}

std::string unquoted(std::string_view part) {
    if (part.size() >= 2 && isQuote(part.front()) && part.back() == part.front()) part = part.substr(1, part.size() - 2);
    return std::string(part);
}

// Comments removed from a value (they may stand anywhere white space may).
std::string withoutComments(std::string_view value) {
    std::string out;
    for (std::size_t i = 0; i < value.size();) {
        if (isQuote(value[i])) {
            const std::size_t end = pastQuoted(value, i);
            out.append(value.substr(i, end - i));
            i = end;
        } else if (value.compare(i, 2, "/*") == 0) {
            const std::size_t close = value.find("*/", i + 2);
            i = close == std::string_view::npos ? value.size() : close + 2;
            out += ' ';
        } else {
            out += value[i++];
        }
    }
    return out;
}

ns::Value declarationValue(std::string_view raw) {
    const std::string text = withoutComments(raw);
    const std::string_view value = trimmed(text);
    if (value.find_first_of("\"'") == std::string_view::npos) return ns::Value(value);
    const std::vector<std::string_view> parts = topLevelParts(value);
    if (parts.size() == 1) return ns::Value(unquoted(parts[0]));
    ns::Array array;
    for (std::string_view part : parts) array.push_back(ns::Value(unquoted(part)));
    return ns::Value(std::move(array));
}

std::size_t skipSpaces(std::string_view text, std::size_t at) {
    while (at < text.size() && isSpace(text[at])) ++at;
    return at;
}

}  // namespace

std::optional<Declaration> readDeclaration(std::string_view text, std::size_t& at) {
    std::size_t position = at;
    while (position < text.size()) {
        position = skipSpaces(text, position);
        if (position >= text.size()) break;
        if (text[position] == ';') {
            ++position;
            continue;
        }
        if (text.compare(position, 2, "/*") == 0) {
            const std::size_t close = text.find("*/", position + 2);
            position = close == std::string_view::npos ? text.size() : close + 2;
            continue;
        }
        const std::size_t end = valueEnd(text, position);
        const std::string_view declaration = text.substr(position, end - position);
        // A "}" ends nothing in a declaration list of its own; step over it.
        position = end < text.size() ? end + 1 : end;
        const std::size_t colon = declaration.find(':');
        if (colon == std::string_view::npos) continue;
        const std::string_view name = trimmed(declaration.substr(0, colon));
        ns::Value value = declarationValue(declaration.substr(colon + 1));
        if (name.empty() || (value.isString() && value.asString().empty())) continue;
        std::string lowered(name);
        for (char& c : lowered) c = lower(c);
        at = position;
        return Declaration{std::move(lowered), std::move(value)};
    }
    return std::nullopt;
}

std::optional<std::string> readURL(std::string_view text, std::size_t& at) {
    std::size_t position = at;
    if (text.size() - std::min(position, text.size()) < 4) return std::nullopt;
    for (std::size_t i = 0; i < 4; ++i)
        if (lower(text[position + i]) != "url("[i]) return std::nullopt;
    position = skipSpaces(text, position + 4);
    std::string_view url;
    if (position < text.size() && isQuote(text[position])) {
        const std::size_t close = text.find(text[position], position + 1);
        const std::size_t end = close == std::string_view::npos ? text.size() : close;
        url = text.substr(position + 1, end - position - 1);
        position = close == std::string_view::npos ? end : close + 1;
        position = skipSpaces(text, position);
    } else {
        const std::size_t close = text.find(')', position);
        const std::size_t end = close == std::string_view::npos ? text.size() : close;
        url = text.substr(position, end - position);
        position = end;
    }
    if (position < text.size() && text[position] == ')') ++position;
    at = position;
    return stringByReplacingHTMLEntities(trimmed(url));
}

std::optional<std::pair<std::shared_ptr<ui::Color>, std::string>> readColor(std::string_view text, std::size_t& at) {
    std::size_t end = at;
    if (end >= text.size()) return std::nullopt;
    if (text[end] == '#') {
        while (end < text.size() && !isSpace(text[end]) && text[end] != ',') ++end;
    } else if (text.compare(end, 3, "rgb") == 0) {
        const std::size_t close = text.find(')', end);
        if (close == std::string_view::npos) return std::nullopt;
        end = close + 1;
    } else {
        while (end < text.size() && std::isalnum(static_cast<unsigned char>(text[end]))) ++end;
    }
    const std::string_view written = text.substr(at, end - at);
    if (written.empty()) return std::nullopt;
    std::shared_ptr<ui::Color> color = RTColorFromHTMLColorString(written);
    if (!color) return std::nullopt;
    at = end;
    return std::pair{std::move(color), std::string(written)};
}

}  // namespace css

namespace {

// Runs a reader at the scanner's location after its skipped characters; moves the scanner past what
// was read, or back to where it was.
template <class Reader>
auto scanWith(ns::Scanner& scanner, Reader&& read) {
    const std::uint64_t start = scanner.scanLocation();
    if (const std::optional<ns::CharacterSet> skipped = scanner.charactersToBeSkipped()) {
        // A scan skips before it reads, so the skipped characters are read as a set with skipping off.
        scanner.setCharactersToBeSkipped(std::nullopt);
        scanner.scanCharactersFromSet(*skipped);
        scanner.setCharactersToBeSkipped(skipped);
    }
    const std::uint64_t location = scanner.scanLocation();
    const std::string rest = ns::substringFromIndex(scanner.string(), location);
    std::size_t at = 0;
    auto result = read(std::string_view(rest), at);
    scanner.setScanLocation(result ? location + ns::utf16Length(std::string_view(rest).substr(0, at)) : start);
    return result;
}

}  // namespace

bool scanCSSAttribute(ns::Scanner& scanner, std::string* name, ns::Value* value) {
    auto declaration = scanWith(scanner, css::readDeclaration);
    if (!declaration) return false;
    if (name) *name = std::move(declaration->name);
    if (value) *value = std::move(declaration->value);
    return true;
}

bool scanCSSURL(ns::Scanner& scanner, std::string* url) {
    auto read = scanWith(scanner, css::readURL);
    if (!read) return false;
    if (url) *url = std::move(*read);
    return true;
}

bool scanHTMLColor(ns::Scanner& scanner, std::shared_ptr<ui::Color>* color, std::string* name) {
    auto read = scanWith(scanner, css::readColor);
    if (!read) return false;
    if (color) *color = std::move(read->first);
    if (name) *name = std::move(read->second);
    return true;
}

}  // namespace ql
