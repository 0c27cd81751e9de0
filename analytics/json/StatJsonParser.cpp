#include "analytics/json/StatJsonParser.h"

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "analytics/json/StatJsonDecimal.h"
#include "platform/foundation/Text.h"

namespace ql {

namespace {

bool isWhiteSpace(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool isDigit(unsigned char c) { return c >= '0' && c <= '9'; }

int hexValue(unsigned char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string hexByte(const char* format, unsigned char byte) {
    char text[64];
    std::snprintf(text, sizeof text, format, static_cast<unsigned>(byte));
    return text;
}

// An integer from its digits (an optional '-' and decimal digits): 64-bit while it fits, else the digits
// themselves, so that it is written back exactly.
ns::Value integerFromDigits(std::string_view digits) {
    const char* first = digits.data();
    const char* last = first + digits.size();
    std::int64_t i = 0;
    if (auto [end, ec] = std::from_chars(first, last, i); ec == std::errc() && end == last) return ns::Value(i);
    std::uint64_t u = 0;
    if (auto [end, ec] = std::from_chars(first, last, u); ec == std::errc() && end == last) return ns::Value(u);
    return ns::Value(std::make_shared<StatJsonDecimal>(std::string(digits)));
}

// A double prints a whole number of 18 digits or more in exponent form, and rounds it past 17.
constexpr std::size_t FewestDigitsKeptWhole = 18;
// Beyond this a literal such as 1e100000 would spell out a huge number of zeros.
constexpr std::size_t MostDigitsKeptWhole = 40;

// The digits of a literal with a fraction or an exponent whose value is a whole number of 18 to 40
// digits ("1.5e20" gives 150000000000000000000); nothing otherwise.
std::optional<std::string> wholeNumberDigits(std::string_view text) {
    const bool negative = text.starts_with('-');
    if (negative) text.remove_prefix(1);
    const std::size_t e = text.find_first_of("eE");
    const std::string_view mantissa = text.substr(0, e);
    long long exponent = 0;
    if (e != std::string_view::npos) {
        std::string_view written = text.substr(e + 1);
        if (written.starts_with('+')) written.remove_prefix(1);
        const auto [end, ec] = std::from_chars(written.data(), written.data() + written.size(), exponent);
        if (ec != std::errc() || end != written.data() + written.size()) return std::nullopt;
        // Below minus the mantissa's length no digits are left whole; it also keeps the count of fraction
        // digits taken off below from running past the most negative exponent.
        if (exponent < -static_cast<long long>(mantissa.size())) return std::nullopt;
    }
    const std::size_t dot = mantissa.find('.');
    std::string digits(mantissa.substr(0, dot));
    if (dot != std::string_view::npos) {
        digits += mantissa.substr(dot + 1);
        exponent -= static_cast<long long>(mantissa.size() - dot - 1);
    }
    digits.erase(0, digits.find_first_not_of('0'));
    if (digits.empty()) return std::nullopt;  // zero: a double holds it exactly
    while (exponent < 0 && digits.back() == '0') {
        digits.pop_back();
        ++exponent;
    }
    if (exponent < 0) return std::nullopt;  // a fraction remains
    const auto count = static_cast<unsigned long long>(digits.size()) + static_cast<unsigned long long>(exponent);
    if (count < FewestDigitsKeptWhole || count > MostDigitsKeptWhole) return std::nullopt;
    digits.append(static_cast<std::size_t>(exponent), '0');
    return negative ? "-" + digits : digits;
}

// The number a literal stands for: an integer when it has neither fraction nor exponent (its digits kept
// when it lies beyond 64 bits), the same for a whole number too long for a double to print as digits,
// else a double; nothing when it lies beyond the doubles.
std::optional<ns::Value> numberFromLiteral(std::string_view text, bool integral) {
    if (integral) return integerFromDigits(text);
    if (const auto whole = wholeNumberDigits(text)) return integerFromDigits(*whole);
    const char* first = text.data();
    const char* last = first + text.size();
    double d = 0;
    if (auto [end, ec] = std::from_chars(first, last, d); ec == std::errc() && end == last) return ns::Value(d);
    return std::nullopt;
}

}  // namespace

ns::Value StatJsonParser::objectWithString(std::optional<std::string_view> text) {
    ns::Value value = fragmentWithString(text);
    if (value.isNil() || value.isArray() || value.isDictionary()) return value;
    addErrorWithCode(StatJsonErrorCode::NotContainer, "Valid fragment, but not JSON");
    return {};
}

ns::Value StatJsonParser::fragmentWithString(std::optional<std::string_view> text) {
    clearErrorTrace();
    if (!text) {
        addErrorWithCode(StatJsonErrorCode::NoInput, "Input was 'nil'");
        return {};
    }
    resetDepth();
    c_ = text->data();
    end_ = c_ + text->substr(0, text->find('\0')).size();
    ns::Value value;
    if (!scanValue(value)) return {};
    skipWhiteSpace();
    if (!atEnd()) {
        addErrorWithCode(StatJsonErrorCode::Garbage, "Garbage after JSON");
        return {};
    }
    return value;
}

void StatJsonParser::skipWhiteSpace() {
    while (c_ < end_ && isWhiteSpace(static_cast<unsigned char>(*c_))) ++c_;
}

bool StatJsonParser::fail(StatJsonErrorCode code, std::string description) {
    addErrorWithCode(code, std::move(description));
    return false;
}

bool StatJsonParser::scanValue(ns::Value& out) {
    skipWhiteSpace();
    if (atEnd()) return fail(StatJsonErrorCode::EarlyEnd, "Unexpected end of string");
    const unsigned char c = current();
    ++c_;
    switch (c) {
        case '{': return scanRestOfObject(out);
        case '[': return scanRestOfArray(out);
        case '"': {
            std::string text;
            if (!scanRestOfString(text)) return false;
            out = ns::Value::mutableString(std::move(text));
            return true;
        }
        case 't': out = ns::Value(true); return scanRestOfWord("rue", "Expected 'true'");
        case 'f': out = ns::Value(false); return scanRestOfWord("alse", "Expected 'false'");
        case 'n': out = ns::Value::null(); return scanRestOfWord("ull", "Expected 'null'");
        case '+': return fail(StatJsonErrorCode::BadNumber, "Leading + disallowed in number");
        default:
            if (c == '-' || isDigit(c)) {
                --c_;
                return scanNumber(out);
            }
            return fail(StatJsonErrorCode::BadStructure, "Unrecognised leading character");
    }
}

bool StatJsonParser::scanRestOfWord(std::string_view rest, std::string_view expected) {
    if (std::string_view(c_, end_ - c_).substr(0, rest.size()) != rest)
        return fail(StatJsonErrorCode::BadStructure, std::string(expected));
    c_ += rest.size();
    return true;
}

bool StatJsonParser::scanNumber(ns::Value& out) {
    const char* start = c_;
    if (current() == '-') ++c_;
    if (current() == '0') {
        ++c_;
        if (isDigit(current())) return fail(StatJsonErrorCode::BadNumber, "Leading 0 disallowed in number");
    } else if (isDigit(current())) {
        while (isDigit(current())) ++c_;
    } else {
        return fail(StatJsonErrorCode::BadNumber, "No digits after initial minus");
    }
    bool integral = true;
    if (current() == '.') {
        integral = false;
        ++c_;
        if (!isDigit(current())) return fail(StatJsonErrorCode::BadNumber, "No digits after decimal point");
        while (isDigit(current())) ++c_;
    }
    if (current() == 'e' || current() == 'E') {
        integral = false;
        ++c_;
        if (current() == '+' || current() == '-') ++c_;
        if (!isDigit(current())) return fail(StatJsonErrorCode::BadNumber, "No digits after exponent");
        while (isDigit(current())) ++c_;
    }
    auto number = numberFromLiteral(std::string_view(start, c_ - start), integral);
    if (!number) return fail(StatJsonErrorCode::BadNumber, "Failed creating decimal instance");
    out = std::move(*number);
    return true;
}

bool StatJsonParser::scanRestOfArray(ns::Value& out) {
    if (!enterContainer()) return false;
    ns::Array elements;
    elements.reserve(8);
    while (!atEnd()) {
        skipWhiteSpace();
        if (current() == ']') {
            ++c_;
            leaveContainer();
            out = ns::Value::mutableArray(std::move(elements));
            return true;
        }
        ns::Value element;
        if (!scanValue(element)) return fail(StatJsonErrorCode::BadStructure, "Expected value while parsing array");
        elements.push_back(std::move(element));
        skipWhiteSpace();
        if (current() == ',') {
            ++c_;
            skipWhiteSpace();
            if (current() == ']') return fail(StatJsonErrorCode::TrailingComma, "Trailing comma disallowed in array");
        }
    }
    return fail(StatJsonErrorCode::EarlyEnd, "End of input while parsing array");
}

bool StatJsonParser::scanRestOfObject(ns::Value& out) {
    if (!enterContainer()) return false;
    if (atEnd()) return fail(StatJsonErrorCode::EarlyEnd, "End of input while parsing object");
    ns::Dictionary members;
    while (!atEnd()) {
        skipWhiteSpace();
        if (current() == '}') {
            ++c_;
            leaveContainer();
            members.finishAppending();  // a repeated key keeps its later value
            out = ns::Value::mutableDictionary(std::move(members));
            return true;
        }
        std::string key;
        if (current() != '"') return fail(StatJsonErrorCode::BadStructure, "Object key string expected");
        ++c_;
        if (!scanRestOfString(key)) return fail(StatJsonErrorCode::BadStructure, "Object key string expected");
        skipWhiteSpace();
        if (current() != ':') return fail(StatJsonErrorCode::BadStructure, "Expected ':' separating key and value");
        ++c_;
        ns::Value value;
        if (!scanValue(value)) return fail(StatJsonErrorCode::BadStructure, "Object value expected for key: " + key);
        members.appendUnsorted(std::move(key), std::move(value));
        skipWhiteSpace();
        if (current() == ',') {
            ++c_;
            skipWhiteSpace();
            if (current() == '}') return fail(StatJsonErrorCode::TrailingComma, "Trailing comma disallowed in object");
        }
    }
    return fail(StatJsonErrorCode::EarlyEnd, "End of input while parsing object");
}

bool StatJsonParser::scanRestOfString(std::string& out) {
    out.reserve(16);
    for (;;) {
        const char* run = c_;
        while (c_ < end_ && *c_ != '"' && *c_ != '\\' && static_cast<unsigned char>(*c_) >= 0x20) ++c_;
        if (c_ != run) {
            const std::string_view bytes(run, c_ - run);
            if (!ns::isValidUTF8(bytes)) return fail(StatJsonErrorCode::BadUnicode, "Invalid UTF-8 in string");
            out += bytes;
        }
        const unsigned char c = current();
        if (c == '"') {
            ++c_;
            return true;
        }
        if (c != '\\')
            return fail(StatJsonErrorCode::ControlCharacter, hexByte("Unescaped control character '0x%x'", c));
        ++c_;
        const unsigned char escape = current();
        switch (escape) {
            case '"':
            case '\\':
            case '/': out += static_cast<char>(escape); break;
            case 'b': out += '\b'; break;
            case 'f': out += '\f'; break;
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 't': out += '\t'; break;
            case 'u':
                ++c_;
                if (!scanUnicodeEscape(out)) return fail(StatJsonErrorCode::BadUnicode, "Broken unicode character");
                break;
            default: return fail(StatJsonErrorCode::BadEscape, hexByte("Illegal escape sequence '0x%x'", escape));
        }
        if (escape != 'u') ++c_;
        if (atEnd()) return fail(StatJsonErrorCode::EarlyEnd, "Unexpected EOF while parsing string");
    }
}

// After "\u": one character, or a surrogate pair written as two escapes.
bool StatJsonParser::scanUnicodeEscape(std::string& out) {
    char16_t high = 0;
    if (!scanHexQuad(high)) return fail(StatJsonErrorCode::BadUnicode, "Missing hex quad");
    if (high >= 0xDC00 && high <= 0xDFFF)
        return fail(StatJsonErrorCode::BadUnicode, "Invalid high character in surrogate pair");
    if (high < 0xD800 || high > 0xDBFF) {
        ns::appendUTF8(out, high);
        return true;
    }
    char16_t low = 0;
    if (current() != '\\' || (++c_, current() != 'u') || (++c_, !scanHexQuad(low)))
        return fail(StatJsonErrorCode::BadUnicode, "Missing low character in surrogate pair");
    if (low < 0xDC00 || low > 0xDFFF) return fail(StatJsonErrorCode::BadUnicode, "Invalid low surrogate char");
    ns::appendUTF8(out, 0x10000 + ((char32_t(high) - 0xD800) << 10) + (char32_t(low) - 0xDC00));
    return true;
}

bool StatJsonParser::scanHexQuad(char16_t& out) {
    unsigned value = 0;
    for (int i = 0; i < 4; ++i) {
        const int digit = hexValue(current());
        if (digit < 0) return fail(StatJsonErrorCode::BadUnicode, "Missing hex digit in quad");
        value = value * 16 + static_cast<unsigned>(digit);
        ++c_;
    }
    out = static_cast<char16_t>(value);
    return true;
}

}  // namespace ql
