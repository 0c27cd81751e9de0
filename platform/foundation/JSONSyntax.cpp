#include "platform/foundation/JSONSyntax.h"

#include <charconv>
#include <cstdint>
#include <system_error>

namespace ql::ns {

namespace {

bool isJSONSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isHexDigit(char c) { return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// Offset of the first byte that does not belong to a well-formed UTF-8 sequence (no overlong forms, no
// surrogates, nothing above U+10FFFF).
std::optional<std::size_t> firstInvalidUtf8(std::string_view s) {
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    std::size_t n = s.size();
    for (std::size_t i = 0; i < n;) {
        unsigned char c = p[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        std::size_t len;
        unsigned char lo = 0x80, hi = 0xBF;  // allowed range of the second byte
        if (c >= 0xC2 && c <= 0xDF) {
            len = 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            len = 3;
            if (c == 0xE0) lo = 0xA0;
            if (c == 0xED) hi = 0x9F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            len = 4;
            if (c == 0xF0) lo = 0x90;
            if (c == 0xF4) hi = 0x8F;
        } else {
            return i;
        }
        if (i + len > n || p[i + 1] < lo || p[i + 1] > hi) return i;
        for (std::size_t k = 2; k < len; ++k)
            if ((p[i + k] & 0xC0) != 0x80) return i;
        i += len;
    }
    return std::nullopt;
}

class Checker {
public:
    Checker(std::string_view text, bool fragmentsAllowed) : s_(text), fragmentsAllowed_(fragmentsAllowed) {}

    std::optional<std::string> run() {
        if (auto bad = firstInvalidUtf8(s_)) return around("Unable to convert data to string", *bad);
        skipSpace();
        if (atEnd()) return "No value.";
        if (!fragmentsAllowed_ && s_[i_] != '[' && s_[i_] != '{')
            return "JSON text did not start with array or object and option to allow fragments not set.";
        if (!value(0)) return error_;
        skipSpace();
        if (!atEnd()) return "Garbage at end.";
        return std::nullopt;
    }

private:
    static std::string around(std::string_view what, std::size_t at) {
        return std::string(what) + " around character " + std::to_string(at) + ".";
    }
    bool fail(std::string_view what, std::size_t at) {
        error_ = around(what, at);
        return false;
    }
    bool atEnd() const { return i_ >= s_.size(); }
    bool at(char c) const { return i_ < s_.size() && s_[i_] == c; }
    void skipSpace() {
        while (i_ < s_.size() && isJSONSpace(s_[i_])) ++i_;
    }
    static bool startsValue(char c) {
        return c == '[' || c == '{' || c == '"' || c == 't' || c == 'f' || c == 'n' || c == '-' || isDigit(c);
    }

    // `depth` counts the containers around the value.
    bool value(int depth) {
        if (atEnd()) return fail("Invalid value", i_);
        switch (s_[i_]) {
            case '[': return array(depth + 1);
            case '{': return object(depth + 1);
            case '"': return string();
            case 't': return literal("true");
            case 'f': return literal("false");
            case 'n': return literal("null");
            default: return isDigit(s_[i_]) || s_[i_] == '-' ? number() : fail("Invalid value", i_);
        }
    }

    bool literal(std::string_view word) {
        if (s_.substr(i_, word.size()) != word) return fail("Invalid value", i_);
        i_ += word.size();
        return true;
    }

    bool array(int depth) {
        if (depth > JSONMaxNestingDepth) return fail("Too many nested arrays or dictionaries", i_);
        ++i_;
        skipSpace();
        if (at(']')) {
            ++i_;
            return true;
        }
        for (;;) {
            skipSpace();
            if (!value(depth)) return false;
            skipSpace();
            if (at(',')) {
                ++i_;
            } else if (at(']')) {
                ++i_;
                return true;
            } else {
                return fail("Badly formed array", i_);
            }
        }
    }

    bool object(int depth) {
        if (depth > JSONMaxNestingDepth) return fail("Too many nested arrays or dictionaries", i_);
        ++i_;
        skipSpace();
        if (at('}')) {
            ++i_;
            return true;
        }
        for (;;) {
            skipSpace();
            if (!at('"')) return fail("No string key for value in object", i_);
            if (!string()) return false;
            skipSpace();
            if (!at(':')) return fail("Badly formed object", i_);
            ++i_;
            skipSpace();
            if (atEnd() || !startsValue(s_[i_])) return fail("No value for key in object", i_);
            if (!value(depth)) return false;
            skipSpace();
            if (at(',')) {
                ++i_;
            } else if (at('}')) {
                ++i_;
                return true;
            } else {
                return fail("Badly formed object", i_);
            }
        }
    }

    // Four hex digits at `at` as a UTF-16 code unit, or -1.
    long hexUnit(std::size_t at) const {
        if (at + 4 > s_.size()) return -1;
        long unit = 0;
        for (std::size_t k = at; k < at + 4; ++k) {
            char c = s_[k];
            if (!isHexDigit(c)) return -1;
            unit = unit * 16 + (isDigit(c) ? c - '0' : (c | 0x20) - 'a' + 10);
        }
        return unit;
    }

    bool string() {
        std::size_t start = i_++;
        for (;;) {
            if (atEnd()) return fail("Unterminated string", start);
            unsigned char c = static_cast<unsigned char>(s_[i_]);
            if (c == '"') {
                ++i_;
                return true;
            }
            if (c < 0x20) return fail("Unescaped control character", i_);
            if (c != '\\') {
                ++i_;
                continue;
            }
            std::size_t escape = i_++;
            if (atEnd()) return fail("Unterminated string", start);
            switch (s_[i_]) {
                case '"':
                case '\\':
                case '/':
                case 'b':
                case 'f':
                case 'n':
                case 'r':
                case 't': ++i_; break;
                case 'u': {
                    long unit = hexUnit(i_ + 1);
                    if (unit < 0) return fail("Invalid unicode escape sequence", escape);
                    i_ += 5;
                    if (unit >= 0xDC00 && unit <= 0xDFFF) return fail("Invalid unicode escape sequence", escape);
                    if (unit >= 0xD800 && unit <= 0xDBFF) {
                        long low = at('\\') && i_ + 1 < s_.size() && s_[i_ + 1] == 'u' ? hexUnit(i_ + 2) : -1;
                        if (low < 0xDC00 || low > 0xDFFF)
                            return fail("Missing low code point in surrogate pair", escape);
                        i_ += 6;
                    }
                    break;
                }
                default: return fail("Invalid escape sequence", escape);
            }
        }
    }

    bool number() {
        std::size_t start = i_;
        if (at('-')) ++i_;
        if (at('0')) {
            ++i_;
        } else if (!atEnd() && isDigit(s_[i_])) {
            while (!atEnd() && isDigit(s_[i_])) ++i_;
        } else {
            return fail("Invalid value", start);
        }
        bool integral = true;
        if (at('.')) {
            integral = false;
            ++i_;
            if (atEnd() || !isDigit(s_[i_])) return fail("Invalid value", start);
            while (!atEnd() && isDigit(s_[i_])) ++i_;
        }
        if (at('e') || at('E')) {
            integral = false;
            ++i_;
            if (at('+') || at('-')) ++i_;
            if (atEnd() || !isDigit(s_[i_])) return fail("Invalid value", start);
            while (!atEnd() && isDigit(s_[i_])) ++i_;
        }
        // Integers too wide for 64 bits become doubles as well; only a magnitude beyond the doubles is bad.
        if (overflows(s_.substr(start, i_ - start), integral)) return fail("Number wound up as NaN", start);
        return true;
    }

    static bool overflows(std::string_view number, bool integral) {
        if (integral && number.size() <= 20) return false;
        double d;
        auto r = std::from_chars(number.data(), number.data() + number.size(), d);
        if (r.ec != std::errc::result_out_of_range) return false;
        // Out of range means overflow or underflow: the decimal exponent of the leading digit tells which.
        std::size_t i = number[0] == '-' ? 1 : 0;
        long long leading = -1;  // exponent of the leading significant digit, from the integer part
        for (; i < number.size() && isDigit(number[i]); ++i)
            if (leading >= 0 || number[i] != '0') ++leading;
        if (leading < 0 && i < number.size() && number[i] == '.') {
            for (++i; i < number.size() && number[i] == '0'; ++i) --leading;
            if (i == number.size() || !isDigit(number[i])) return false;  // all zeros
        }
        while (i < number.size() && number[i] != 'e' && number[i] != 'E') ++i;
        long long exponent = 0;
        if (i < number.size()) {
            std::size_t e = i + 1;
            bool negative = number[e] == '-';
            if (number[e] == '+' || number[e] == '-') ++e;
            for (; e < number.size() && exponent < 100000; ++e) exponent = exponent * 10 + (number[e] - '0');
            if (negative) exponent = -exponent;
        }
        return leading + exponent > 0;
    }

    std::string_view s_;
    bool fragmentsAllowed_;
    std::size_t i_ = 0;
    std::string error_;
};

}  // namespace

std::optional<std::string> firstJSONSyntaxError(std::string_view text, bool fragmentsAllowed) {
    return Checker(text, fragmentsAllowed).run();
}

}  // namespace ql::ns
