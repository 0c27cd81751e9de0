#pragma once
// Time-ago texts: the distance between two dates as a short human text ("Yesterday", "5 days ago", "5d"),
// in the largest unit that fits, read from the strings table "DateUtil" of the resource bundle
// "DateUtil.bundle", with Russian and Ukrainian plural forms chosen by the count.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Date.h"

namespace ql::DateUtil {

enum TPAgoStyle : std::uint64_t {
    TPAgoStyleWords = 0,
    TPAgoStyleNumericAll = 1,
    TPAgoStyleNumericDates = 2,
    TPAgoStyleNumericTimes = 3,
    TPAgoStyleShort = 4,
};

enum TPAgoUnit : std::uint64_t {
    TPAgoUnitYears = 0,
    TPAgoUnitMonths = 1,
    TPAgoUnitWeeks = 2,
    TPAgoUnitDays = 3,
    TPAgoUnitHours = 4,
    TPAgoUnitMinutes = 5,
    TPAgoUnitSeconds = 6,
};

inline constexpr std::string_view kDateUtilStringsTable = "DateUtil";
inline constexpr std::string_view kDateUtilBundleName = "DateUtil.bundle";

// From the date to now.
std::string timeAgoSinceDate(ns::Date date);
std::string shortTimeAgoSinceDate(ns::Date date);
std::string timeAgoSinceNow(ns::Date date);
std::string shortTimeAgoSinceNow(ns::Date date);

// Between two dates, in either order.
std::string timeAgoSinceDate(ns::Date date, ns::Date other);
std::string timeAgoSinceDate(ns::Date date, ns::Date other, bool numericDates);
std::string timeAgoSinceDate(ns::Date date, ns::Date other, bool numericDates, bool numericTimes);
std::string shortTimeAgoSinceDate(ns::Date date, ns::Date other);
// A style above TPAgoStyleShort reads as TPAgoStyleWords.
std::string timeAgoSinceDateFormat(ns::Date date, ns::Date other, std::uint64_t style);

// The text of a count in a unit; nothing for a unit outside TPAgoUnit.
std::optional<std::string> localizedStringFor(std::uint64_t style, std::uint64_t unit, std::int64_t value);
// A counted pattern ("%%d %@days ago") resolved for the count: the plural suffix names the key, whose
// translation gets the count.
std::string logicLocalizedStringFromFormat(std::string_view pattern, std::int64_t value);
// "", "_" or "__": the plural form of the count for Russian and Ukrainian; "" for other languages.
std::string getLocaleFormatUnderscoresWithValue(double value);

}  // namespace ql::DateUtil
