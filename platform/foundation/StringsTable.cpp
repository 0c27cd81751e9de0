#include "platform/foundation/StringsTable.h"

#include <string>
#include <string_view>

#include "platform/foundation/FileManager.h"
#include "platform/foundation/Text.h"

namespace ql::ns {

namespace {

// UTF-16 text (after its byte-order mark) as UTF-8.
std::string utf16ToUTF8(std::string_view bytes, bool bigEndian) {
    std::u16string units(bytes.size() / 2, u'\0');
    for (std::size_t i = 0; i < units.size(); ++i) {
        auto high = static_cast<unsigned char>(bytes[2 * i + (bigEndian ? 0 : 1)]);
        auto low = static_cast<unsigned char>(bytes[2 * i + (bigEndian ? 1 : 0)]);
        units[i] = static_cast<char16_t>(high << 8 | low);
    }
    return fromUTF16(units);
}

std::string decodedText(const Data& data) {
    std::string_view bytes = data.view();
    if (bytes.starts_with("\xEF\xBB\xBF")) return std::string(bytes.substr(3));
    if (bytes.starts_with("\xFF\xFE")) return utf16ToUTF8(bytes.substr(2), false);
    if (bytes.starts_with("\xFE\xFF")) return utf16ToUTF8(bytes.substr(2), true);
    return std::string(bytes);
}

bool isBareWordCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           std::string_view("_$+/:.-").find(c) != std::string_view::npos;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

class Parser {
public:
    explicit Parser(std::string_view text) : text_(text) {}

    std::optional<Dictionary> parse() {
        Dictionary table;
        while (skipSpaceAndComments()) {
            std::optional<std::string> key = string();
            if (!key) return fail("a quoted key or a bare word");
            std::string value;
            if (!skipSpaceAndComments()) return fail("\"=\" or \";\"");
            if (text_[position_] == '=') {
                ++position_;
                if (!skipSpaceAndComments()) return fail("a value");
                std::optional<std::string> parsed = string();
                if (!parsed) return fail("a quoted value or a bare word");
                value = std::move(*parsed);
                if (!skipSpaceAndComments()) return fail("\";\"");
            } else {
                value = *key;  // `"key";` stands for itself
            }
            if (text_[position_] != ';') return fail("\";\"");
            ++position_;
            table.appendUnsorted(std::move(*key), Value(std::move(value)));
        }
        if (failed_) return std::nullopt;
        table.finishAppending();
        return table;
    }

    const std::string& problem() const { return problem_; }

private:
    // Moves past blanks and comments; false at the end of the text (or in an unterminated comment).
    bool skipSpaceAndComments() {
        while (position_ < text_.size()) {
            char c = text_[position_];
            if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v') {
                ++position_;
            } else if (text_.substr(position_).starts_with("//")) {
                std::size_t end = text_.find('\n', position_);
                position_ = end == std::string_view::npos ? text_.size() : end + 1;
            } else if (text_.substr(position_).starts_with("/*")) {
                std::size_t end = text_.find("*/", position_ + 2);
                if (end == std::string_view::npos) {
                    fail("the end of a comment");
                    return false;
                }
                position_ = end + 2;
            } else {
                return true;
            }
        }
        return false;
    }

    std::optional<std::string> string() {
        char c = text_[position_];
        if (c == '"' || c == '\'') return quoted(c);
        std::size_t start = position_;
        while (position_ < text_.size() && isBareWordCharacter(text_[position_])) ++position_;
        if (position_ == start) return std::nullopt;
        return std::string(text_.substr(start, position_ - start));
    }

    std::optional<std::string> quoted(char quote) {
        ++position_;
        std::string out;
        std::u16string escapedUnits;  // \U escapes, kept together so that surrogate pairs combine
        auto flushUnits = [&] {
            if (!escapedUnits.empty()) out += fromUTF16(escapedUnits);
            escapedUnits.clear();
        };
        while (position_ < text_.size()) {
            char c = text_[position_++];
            if (c == quote) {
                flushUnits();
                return out;
            }
            if (c != '\\') {
                flushUnits();
                out += c;
                continue;
            }
            if (position_ >= text_.size()) break;
            char e = text_[position_++];
            if (e == 'U' || e == 'u') {
                int unit = 0;
                for (int i = 0; i < 4; ++i) {
                    int digit = position_ < text_.size() ? hexDigit(text_[position_]) : -1;
                    if (digit < 0) return fail("four hexadecimal digits after \\U");
                    unit = unit * 16 + digit;
                    ++position_;
                }
                escapedUnits += static_cast<char16_t>(unit);
                continue;
            }
            flushUnits();
            if (e >= '0' && e <= '7') {
                int code = e - '0';
                for (int i = 0; i < 2 && position_ < text_.size() && text_[position_] >= '0' && text_[position_] <= '7'; ++i)
                    code = code * 8 + (text_[position_++] - '0');
                out += fromUTF16(std::u16string(1, static_cast<char16_t>(code)));
                continue;
            }
            switch (e) {
                case 'a': out += '\a'; break;
                case 'b': out += '\b'; break;
                case 'f': out += '\f'; break;
                case 'n': out += '\n'; break;
                case 'r': out += '\r'; break;
                case 't': out += '\t'; break;
                case 'v': out += '\v'; break;
                default: out += e; break;  // \" \' \\ and any other character stand for themselves
            }
        }
        return fail("the closing quote");
    }

    std::nullopt_t fail(std::string_view expected) {
        if (!failed_) {
            failed_ = true;
            std::size_t line = 1;
            for (std::size_t i = 0; i < position_ && i < text_.size(); ++i) line += text_[i] == '\n';
            problem_ = "Expected " + std::string(expected) + " on line " + std::to_string(line) + ".";
        }
        return std::nullopt;
    }

    std::string_view text_;
    std::size_t position_ = 0;
    bool failed_ = false;
    std::string problem_;
};

}  // namespace

std::optional<Dictionary> parseStringsTable(const Data& data, Error* error) {
    std::string text = decodedText(data);
    Parser parser(text);
    std::optional<Dictionary> table = parser.parse();
    if (!table && error)
        *error = Error(std::string(CocoaErrorDomain), FileReadCorruptFileError,
                       {{std::string(DebugDescriptionErrorKey), Value(parser.problem())}});
    return table;
}

}  // namespace ql::ns
