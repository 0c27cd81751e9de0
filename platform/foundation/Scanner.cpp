#include "platform/foundation/Scanner.h"

#include <unicode/uchar.h>
#include <unicode/utf16.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

#include "platform/foundation/Exception.h"
#include "platform/foundation/Text.h"

namespace ql::ns {

namespace {

bool isDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

int hexValue(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

}  // namespace

Scanner::Scanner(std::string_view string) : string_(string), units_(toUTF16(string)) {}

void Scanner::setScanLocation(std::uint64_t location) {
    if (location > units_.size())
        throw Exception(RangeException, "Index " + std::to_string(location) + " out of bounds; string length " +
                                            std::to_string(units_.size()));
    location_ = static_cast<std::size_t>(location);
}

char32_t Scanner::codePointAt(std::size_t index, std::size_t* next) const {
    char16_t lead = units_[index];
    if (U16_IS_LEAD(lead) && index + 1 < units_.size() && U16_IS_TRAIL(units_[index + 1])) {
        *next = index + 2;
        return static_cast<char32_t>(U16_GET_SUPPLEMENTARY(lead, units_[index + 1]));
    }
    *next = index + 1;
    return lead;
}

std::size_t Scanner::afterSkipped() const {
    std::size_t index = location_;
    if (!skipped_) return index;
    while (index < units_.size()) {
        std::size_t next = 0;
        if (!skipped_->longCharacterIsMember(codePointAt(index, &next))) break;
        index = next;
    }
    return index;
}

std::optional<std::size_t> Scanner::matchAt(std::size_t index, const std::u16string& needle) const {
    if (caseSensitive_) {
        if (units_.size() - index < needle.size() || units_.compare(index, needle.size(), needle) != 0)
            return std::nullopt;
        return needle.size();
    }
    // Code point by code point under simple case folding, which may pair texts of different lengths.
    std::size_t at = index;
    for (std::size_t i = 0; i < needle.size();) {
        if (at >= units_.size()) return std::nullopt;
        UChar32 wanted = 0;
        U16_NEXT(needle.data(), i, needle.size(), wanted);
        std::size_t next = 0;
        UChar32 have = static_cast<UChar32>(codePointAt(at, &next));
        if (u_foldCase(have, U_FOLD_CASE_DEFAULT) != u_foldCase(wanted, U_FOLD_CASE_DEFAULT)) return std::nullopt;
        at = next;
    }
    return at - index;
}

std::string Scanner::text(std::size_t from, std::size_t to) const {
    return fromUTF16(std::u16string_view(units_).substr(from, to - from));
}

bool Scanner::scanString(std::string_view string, std::string* into) {
    std::size_t start = afterSkipped();
    std::u16string needle = toUTF16(string);
    if (needle.empty()) return false;
    std::optional<std::size_t> length = matchAt(start, needle);
    if (!length) return false;
    if (into) *into = text(start, start + *length);
    location_ = start + *length;
    return true;
}

bool Scanner::scanCharactersFromSet(const CharacterSet& set, std::string* into) {
    std::size_t start = afterSkipped();
    std::size_t end = start;
    while (end < units_.size()) {
        std::size_t next = 0;
        if (!set.longCharacterIsMember(codePointAt(end, &next))) break;
        end = next;
    }
    if (end == start) return false;
    if (into) *into = text(start, end);
    location_ = end;
    return true;
}

bool Scanner::scanUpToString(std::string_view stopString, std::string* into) {
    std::size_t start = afterSkipped();
    std::u16string needle = toUTF16(stopString);
    std::size_t end = start;
    while (end < units_.size() && !(needle.size() && matchAt(end, needle))) ++end;
    if (end == start) return false;
    if (into) *into = text(start, end);
    location_ = end;
    return true;
}

bool Scanner::scanUpToCharactersFromSet(const CharacterSet& stopSet, std::string* into) {
    std::size_t start = afterSkipped();
    std::size_t end = start;
    while (end < units_.size()) {
        std::size_t next = 0;
        if (stopSet.longCharacterIsMember(codePointAt(end, &next))) break;
        end = next;
    }
    if (end == start) return false;
    if (into) *into = text(start, end);
    location_ = end;
    return true;
}

std::size_t Scanner::integerEnd(std::size_t index, bool* negative) const {
    *negative = false;
    std::size_t at = index;
    if (at < units_.size() && (units_[at] == u'+' || units_[at] == u'-')) *negative = units_[at++] == u'-';
    std::size_t digits = at;
    while (at < units_.size() && isDigit(units_[at])) ++at;
    return at == digits ? index : at;
}

template <class Integer>
bool Scanner::scanSignedInteger(Integer* value) {
    std::size_t start = afterSkipped();
    bool negative = false;
    std::size_t end = integerEnd(start, &negative);
    if (end == start) return false;
    constexpr Integer most = std::numeric_limits<Integer>::max();
    constexpr Integer least = std::numeric_limits<Integer>::min();
    Integer result = 0;
    bool overflow = false;
    for (std::size_t i = start; i < end; ++i) {
        if (!isDigit(units_[i]) || overflow) continue;
        Integer digit = static_cast<Integer>(units_[i] - u'0');
        // Accumulated on the negative side, which holds one value more.
        if (result < (least + digit) / 10)
            overflow = true;
        else
            result = static_cast<Integer>(result * 10 - digit);
    }
    if (overflow)
        result = negative ? least : most;
    else if (!negative)
        result = result == least ? most : static_cast<Integer>(-result);
    if (value) *value = result;
    location_ = end;
    return true;
}

bool Scanner::scanInt(std::int32_t* value) { return scanSignedInteger(value); }
bool Scanner::scanInteger(std::int64_t* value) { return scanSignedInteger(value); }
bool Scanner::scanLongLong(std::int64_t* value) { return scanSignedInteger(value); }

bool Scanner::scanHexInt(std::uint32_t* value) {
    std::size_t start = afterSkipped();
    std::size_t at = start;
    if (at + 2 < units_.size() && units_[at] == u'0' && (units_[at + 1] == u'x' || units_[at + 1] == u'X') &&
        hexValue(units_[at + 2]) >= 0)
        at += 2;
    std::size_t digits = at;
    std::uint64_t result = 0;
    for (; at < units_.size() && hexValue(units_[at]) >= 0; ++at) {
        result = std::min<std::uint64_t>(result * 16 + static_cast<std::uint64_t>(hexValue(units_[at])),
                                         std::uint64_t{UINT32_MAX} + 1);
    }
    if (at == digits) return false;
    if (value) *value = static_cast<std::uint32_t>(std::min<std::uint64_t>(result, UINT32_MAX));
    location_ = at;
    return true;
}

bool Scanner::scanDouble(double* value) {
    std::size_t start = afterSkipped();
    std::size_t at = start;
    std::string ascii;
    if (at < units_.size() && (units_[at] == u'+' || units_[at] == u'-')) {
        if (units_[at] == u'-') ascii += '-';
        ++at;
    }
    std::size_t integerDigits = 0, fractionDigits = 0, leadingZeros = 0, fractionZeros = 0;
    for (; at < units_.size() && isDigit(units_[at]); ++at, ++integerDigits) {
        if (integerDigits == leadingZeros && units_[at] == u'0') ++leadingZeros;
        ascii += static_cast<char>(units_[at]);
    }
    if (at < units_.size() && units_[at] == u'.') {
        std::size_t dot = at++;
        ascii += '.';
        for (; at < units_.size() && isDigit(units_[at]); ++at, ++fractionDigits) {
            if (fractionDigits == fractionZeros && units_[at] == u'0') ++fractionZeros;
            ascii += static_cast<char>(units_[at]);
        }
        if (integerDigits + fractionDigits == 0) at = dot;
    }
    if (integerDigits + fractionDigits == 0) return false;
    long long exponent = 0;
    if (at < units_.size() && (units_[at] == u'e' || units_[at] == u'E')) {
        bool negative = false;
        std::size_t end = integerEnd(at + 1, &negative);
        if (end != at + 1) {
            ascii += 'e';
            for (std::size_t i = at + 1; i < end; ++i) ascii += static_cast<char>(units_[i]);
            for (std::size_t i = at + 1; i < end; ++i)
                if (isDigit(units_[i])) exponent = std::min(exponent * 10 + (units_[i] - u'0'), 1'000'000'000LL);
            if (negative) exponent = -exponent;
            at = end;
        }
    }
    double result = 0;
    const char* first = ascii.data() + (ascii[0] == '-' ? 1 : 0);
    auto [end, error] = std::from_chars(first, ascii.data() + ascii.size(), result);
    (void)end;
    if (error == std::errc::result_out_of_range) {
        // Too large or too small for a double: infinity or zero, as the decimal point's place says.
        long long magnitude = integerDigits > leadingZeros
                                  ? exponent + static_cast<long long>(integerDigits - leadingZeros)
                                  : exponent - static_cast<long long>(fractionZeros);
        result = magnitude > 0 ? HUGE_VAL : 0.0;
    }
    if (ascii[0] == '-') result = -result;
    if (value) *value = result;
    location_ = at;
    return true;
}

bool Scanner::isAtEnd() const { return afterSkipped() >= units_.size(); }

}  // namespace ql::ns
