// The three shared formatters are reconfigured on every call, so each is used under its own lock: two
// threads formatting at once must not see each other's pattern, zone or locale.

#include <mutex>

#include "storage/datetime/DateUtil.h"

namespace ql::DateUtil {

namespace {

struct SharedFormatter {
    std::mutex mutex;
    ns::DateFormatter formatter;
};

// Created once, on first use, and kept for the process.
SharedFormatter& parsingFormatter() {
    static auto* shared = new SharedFormatter();
    return *shared;
}
SharedFormatter& styleFormatter() {
    static auto* shared = new SharedFormatter();
    return *shared;
}
SharedFormatter& patternFormatter() {
    static auto* shared = new SharedFormatter();
    return *shared;
}

}  // namespace

std::optional<Date> dateWithString(std::string_view text, const std::string& formatString) {
    return dateWithString(text, formatString, ns::TimeZone::system());
}

std::optional<Date> dateWithString(std::string_view text, const std::string& formatString,
                                   const ns::TimeZone& timeZone) {
    SharedFormatter& shared = parsingFormatter();
    std::lock_guard lock(shared.mutex);
    shared.formatter.setDateStyle(ns::DateFormatterStyle::None);
    shared.formatter.setTimeStyle(ns::DateFormatterStyle::None);
    shared.formatter.setTimeZone(timeZone);
    shared.formatter.setDateFormat(formatString);
    return shared.formatter.dateFromString(text);
}

std::string formattedDateWithStyle(Date date, ns::DateFormatterStyle style) {
    return formattedDateWithStyle(date, style, ns::TimeZone::system(), ns::Locale::current());
}
std::string formattedDateWithStyle(Date date, ns::DateFormatterStyle style, const ns::TimeZone& timeZone) {
    return formattedDateWithStyle(date, style, timeZone, ns::Locale::current());
}
std::string formattedDateWithStyle(Date date, ns::DateFormatterStyle style, const ns::Locale& locale) {
    return formattedDateWithStyle(date, style, ns::TimeZone::system(), locale);
}

std::string formattedDateWithStyle(Date date, ns::DateFormatterStyle style, const ns::TimeZone& timeZone,
                                   const ns::Locale& locale) {
    SharedFormatter& shared = styleFormatter();
    std::lock_guard lock(shared.mutex);
    shared.formatter.setDateStyle(style);
    shared.formatter.setTimeZone(timeZone);
    shared.formatter.setLocale(locale);
    return shared.formatter.stringFromDate(date);
}

std::string formattedDateWithFormat(Date date, const std::string& format) {
    return formattedDateWithFormat(date, format, ns::TimeZone::system(), ns::Locale::current());
}
std::string formattedDateWithFormat(Date date, const std::string& format, const ns::TimeZone& timeZone) {
    return formattedDateWithFormat(date, format, timeZone, ns::Locale::current());
}
std::string formattedDateWithFormat(Date date, const std::string& format, const ns::Locale& locale) {
    return formattedDateWithFormat(date, format, ns::TimeZone::system(), locale);
}

std::string formattedDateWithFormat(Date date, const std::string& format, const ns::TimeZone& timeZone,
                                    const ns::Locale& locale) {
    SharedFormatter& shared = patternFormatter();
    std::lock_guard lock(shared.mutex);
    shared.formatter.setDateFormat(format);
    shared.formatter.setTimeZone(timeZone);
    shared.formatter.setLocale(locale);
    return shared.formatter.stringFromDate(date);
}

}  // namespace ql::DateUtil
