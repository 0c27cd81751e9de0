#include "platform/net/HTTPDate.h"

#include <array>
#include <cctype>
#include <cstdint>
#include <string>
#include <vector>

namespace ql::ns {

namespace {

bool isDelimiter(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u == 0x09 || (u >= 0x20 && u <= 0x2F) || (u >= 0x3B && u <= 0x40) || (u >= 0x5B && u <= 0x60) ||
           (u >= 0x7B && u <= 0x7E);
}

// Leading digits of a token (between `min` and `max` of them); the rest of the token may be anything. The
// digits are counted to their end but only the first `max` are summed, so a long run cannot overflow.
std::optional<int> leadingNumber(std::string_view token, std::size_t min, std::size_t max) {
    std::size_t count = 0;
    int value = 0;
    while (count < token.size() && std::isdigit(static_cast<unsigned char>(token[count]))) {
        if (count < max) value = value * 10 + (token[count] - '0');
        ++count;
    }
    if (count < min || count > max) return std::nullopt;
    return value;
}

bool isLeapYear(int year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

int daysInMonth(int year, int month) {
    static constexpr std::array<int, 12> days = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : days[static_cast<std::size_t>(month - 1)];
}

bool parseTime(std::string_view token, int& hour, int& minute, int& second) {
    int fields[3];
    std::size_t at = 0;
    for (int i = 0; i < 3; ++i) {
        std::size_t digits = 0;
        int value = 0;
        while (at < token.size() && std::isdigit(static_cast<unsigned char>(token[at])) && digits < 2) {
            value = value * 10 + (token[at++] - '0');
            ++digits;
        }
        if (digits == 0) return false;
        fields[i] = value;
        if (i < 2) {
            if (at >= token.size() || token[at] != ':') return false;
            ++at;
        }
    }
    hour = fields[0];
    minute = fields[1];
    second = fields[2];
    return true;
}

int monthOf(std::string_view token) {
    static constexpr std::array<std::string_view, 12> names = {"jan", "feb", "mar", "apr", "may", "jun",
                                                               "jul", "aug", "sep", "oct", "nov", "dec"};
    if (token.size() < 3) return 0;
    std::string prefix;
    for (int i = 0; i < 3; ++i) prefix += static_cast<char>(std::tolower(static_cast<unsigned char>(token[i])));
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (names[i] == prefix) return static_cast<int>(i) + 1;
    }
    return 0;
}

// Days from 1970-01-01 to the given civil date (proleptic Gregorian).
std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

}  // namespace

std::optional<double> parseHTTPDate(std::string_view text) {
    std::vector<std::string_view> tokens;
    std::size_t at = 0;
    while (at < text.size()) {
        while (at < text.size() && isDelimiter(text[at])) ++at;
        const std::size_t start = at;
        while (at < text.size() && !isDelimiter(text[at])) ++at;
        if (at > start) tokens.push_back(text.substr(start, at - start));
    }
    bool haveTime = false, haveDay = false, haveMonth = false, haveYear = false;
    int hour = 0, minute = 0, second = 0, day = 0, month = 0, year = 0;
    for (std::string_view token : tokens) {
        if (!haveTime && parseTime(token, hour, minute, second)) {
            haveTime = true;
        } else if (auto d = leadingNumber(token, 1, 2); !haveDay && d) {
            haveDay = true;
            day = *d;
        } else if (int m = monthOf(token); !haveMonth && m) {
            haveMonth = true;
            month = m;
        } else if (auto y = leadingNumber(token, 2, 4); !haveYear && y) {
            haveYear = true;
            year = *y;
        }
    }
    if (haveYear && year >= 70 && year <= 99) year += 1900;
    if (haveYear && year >= 0 && year <= 69) year += 2000;
    if (!haveTime || !haveDay || !haveMonth || !haveYear) return std::nullopt;
    // A day the month does not have (31 April) is no date, rather than a day of the next month.
    if (day < 1 || day > daysInMonth(year, month) || year < 1601 || hour > 23 || minute > 59 || second > 59)
        return std::nullopt;
    const std::int64_t days = daysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day));
    return static_cast<double>(days * 86400 + hour * 3600 + minute * 60 + second);
}

}  // namespace ql::ns
