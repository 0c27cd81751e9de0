#include "storage/datetime/TimeAgo.h"

#include <cmath>
#include <memory>

#include "platform/foundation/Bundle.h"
#include "platform/foundation/Calendar.h"

namespace ql::DateUtil {

namespace {

struct UnitTexts {
    std::string_view word;
    std::string_view number;
    std::string_view longPattern;
    std::string_view shortPattern;
};

constexpr UnitTexts kUnitTexts[] = {
    {"Last year", "1 year ago", "%%d %@years ago", "%%d%@y"},
    {"Last month", "1 month ago", "%%d %@months ago", "%%d%@M"},
    {"Last week", "1 week ago", "%%d %@weeks ago", "%%d%@w"},
    {"Yesterday", "1 day ago", "%%d %@days ago", "%%d%@d"},
    {"An hour ago", "1 hour ago", "%%d %@hours ago", "%%d%@h"},
    {"A minute ago", "1 minute ago", "%%d %@minutes ago", "%%d%@m"},
    {"Just now", "1 second ago", "%%d %@seconds ago", "%%d%@s"},
};

std::string lookUp(std::string_view key) {
    static const auto& bundle = *new std::shared_ptr<ns::Bundle>([] {
        auto path = ns::Bundle::main().pathForResource(kDateUtilBundleName, "");
        return path ? ns::Bundle::bundleWithPath(*path) : nullptr;
    }());
    if (!bundle) return std::string(key);
    return bundle->localizedString(key, "", kDateUtilStringsTable);
}

// The pattern with its string placeholder replaced by the suffix and "%%" reduced to "%".
std::string keyFor(std::string_view pattern, std::string_view suffix) {
    std::string key;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern.compare(i, 2, "%%") == 0) {
            key += '%';
            ++i;
        } else if (pattern.compare(i, 2, "%@") == 0) {
            key += suffix;
            ++i;
        } else {
            key += pattern[i];
        }
    }
    return key;
}

// Translations are data, not format strings: only the count placeholders ("%d", "%ld") and "%%" are
// replaced, and anything else after a "%" is kept as written, so a stray "%@" or "%s" cannot read memory.
std::string withCount(std::string_view translation, std::int64_t count) {
    std::string text;
    for (std::size_t i = 0; i < translation.size(); ++i) {
        if (translation[i] != '%') {
            text += translation[i];
        } else if (translation.compare(i, 2, "%%") == 0) {
            text += '%';
            ++i;
        } else if (translation.compare(i, 2, "%d") == 0) {
            text += std::to_string(count);
            ++i;
        } else if (translation.compare(i, 3, "%ld") == 0) {
            text += std::to_string(count);
            i += 2;
        } else {
            text += '%';
        }
    }
    return text;
}

bool wordFormFor(std::uint64_t style, std::uint64_t unit) {
    bool dateUnit = unit <= TPAgoUnitDays;
    switch (style) {
        case TPAgoStyleNumericAll: return false;
        case TPAgoStyleNumericDates: return !dateUnit;
        case TPAgoStyleNumericTimes: return dateUnit;
        default: return true;
    }
}

}  // namespace

std::string timeAgoSinceDate(ns::Date date) { return timeAgoSinceDate(date, ns::Date::now()); }
std::string shortTimeAgoSinceDate(ns::Date date) { return shortTimeAgoSinceDate(date, ns::Date::now()); }
std::string timeAgoSinceNow(ns::Date date) { return timeAgoSinceDate(date, ns::Date::now()); }
std::string shortTimeAgoSinceNow(ns::Date date) { return shortTimeAgoSinceDate(date, ns::Date::now()); }

std::string timeAgoSinceDate(ns::Date date, ns::Date other) { return timeAgoSinceDate(date, other, false); }

std::string timeAgoSinceDate(ns::Date date, ns::Date other, bool numericDates) {
    return timeAgoSinceDate(date, other, numericDates, false);
}

std::string timeAgoSinceDate(ns::Date date, ns::Date other, bool numericDates, bool numericTimes) {
    std::uint64_t style = TPAgoStyleWords;
    if (numericDates && numericTimes) style = TPAgoStyleNumericAll;
    else if (numericDates) style = TPAgoStyleNumericDates;
    else if (numericTimes) style = TPAgoStyleNumericTimes;
    return timeAgoSinceDateFormat(date, other, style);
}

std::string shortTimeAgoSinceDate(ns::Date date, ns::Date other) {
    return timeAgoSinceDateFormat(date, other, TPAgoStyleShort);
}

std::string timeAgoSinceDateFormat(ns::Date date, ns::Date other, std::uint64_t style) {
    ns::Calendar calendar = ns::Calendar::currentCalendar();
    ns::Date earlier = date <= other ? date : other;
    ns::Date later = date <= other ? other : date;
    ns::DateComponents clock =
        calendar.components(ns::CalendarUnitHour | ns::CalendarUnitMinute | ns::CalendarUnitSecond, earlier, later);

    std::uint64_t unit;
    std::int64_t count;
    if (clock.hour > 23) {
        constexpr std::uint64_t dayUnits = ns::CalendarUnitYear | ns::CalendarUnitMonth | ns::CalendarUnitDay |
                                           ns::CalendarUnitWeekOfYear;
        auto startOfDay = [&calendar](ns::Date moment) {
            return calendar.dateFromComponents(calendar.components(dayUnits | ns::CalendarUnitTimeZone, moment))
                .value_or(moment);
        };
        ns::DateComponents days = calendar.components(dayUnits, startOfDay(earlier), startOfDay(later));
        if (days.year >= 1) unit = TPAgoUnitYears, count = days.year;
        else if (days.month >= 1) unit = TPAgoUnitMonths, count = days.month;
        else if (days.weekOfYear >= 1) unit = TPAgoUnitWeeks, count = days.weekOfYear;
        else unit = TPAgoUnitDays, count = days.day;
    } else if (clock.hour >= 1) {
        unit = TPAgoUnitHours, count = clock.hour;
    } else if (clock.minute >= 1) {
        unit = TPAgoUnitMinutes, count = clock.minute;
    } else {
        unit = TPAgoUnitSeconds, count = clock.second;
    }
    return localizedStringFor(style, unit, count).value_or("");
}

std::optional<std::string> localizedStringFor(std::uint64_t style, std::uint64_t unit, std::int64_t value) {
    if (unit > TPAgoUnitSeconds) return std::nullopt;
    const UnitTexts& texts = kUnitTexts[unit];
    if (style == TPAgoStyleShort) return logicLocalizedStringFromFormat(texts.shortPattern, value);
    if (value >= 2) return logicLocalizedStringFromFormat(texts.longPattern, value);
    return lookUp(wordFormFor(style, unit) ? texts.word : texts.number);
}

std::string logicLocalizedStringFromFormat(std::string_view pattern, std::int64_t value) {
    std::string suffix = getLocaleFormatUnderscoresWithValue(static_cast<double>(value));
    return withCount(lookUp(keyFor(pattern, suffix)), value);
}

std::string getLocaleFormatUnderscoresWithValue(double value) {
    std::string language = ns::Bundle::main().preferredLocalizations().front();
    if (language != "ru" && language != "uk") return "";
    if (!std::isfinite(value)) return "";
    // Whole counts only; the remainders below need no more than the count's last two digits.
    auto n = static_cast<std::int64_t>(std::fmod(std::floor(value), 100.0));
    std::int64_t lastTwo = n % 100;
    std::int64_t last = n % 10;
    if (lastTwo >= 11 && lastTwo <= 14) return "";
    if (last == 1) return "__";
    if (last >= 2 && last <= 4) return "_";
    return "";
}

}  // namespace ql::DateUtil
