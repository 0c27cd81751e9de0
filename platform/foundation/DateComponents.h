#pragma once
// ns::DateComponents: a date broken into calendar fields (year, month, day, hour, week of year…), or an
// amount of each field to add or that lies between two dates. Fields that are not set hold
// DateComponentUndefined, as on the platform.

#include <cstdint>
#include <optional>

#include "platform/foundation/TimeZone.h"

namespace ql::ns {

inline constexpr std::int64_t DateComponentUndefined = INT64_MAX;

// Calendar unit bits, with the platform's values.
enum CalendarUnit : std::uint64_t {
    CalendarUnitEra = 1u << 1,
    CalendarUnitYear = 1u << 2,
    CalendarUnitMonth = 1u << 3,
    CalendarUnitDay = 1u << 4,
    CalendarUnitHour = 1u << 5,
    CalendarUnitMinute = 1u << 6,
    CalendarUnitSecond = 1u << 7,
    CalendarUnitWeekday = 1u << 9,
    CalendarUnitWeekdayOrdinal = 1u << 10,
    CalendarUnitQuarter = 1u << 11,
    CalendarUnitWeekOfMonth = 1u << 12,
    CalendarUnitWeekOfYear = 1u << 13,
    CalendarUnitYearForWeekOfYear = 1u << 14,
    CalendarUnitNanosecond = 1u << 15,
    CalendarUnitTimeZone = 1u << 21,
};

struct DateComponents {
    std::int64_t era = DateComponentUndefined;
    std::int64_t year = DateComponentUndefined;
    std::int64_t month = DateComponentUndefined;
    std::int64_t day = DateComponentUndefined;
    std::int64_t hour = DateComponentUndefined;
    std::int64_t minute = DateComponentUndefined;
    std::int64_t second = DateComponentUndefined;
    std::int64_t nanosecond = DateComponentUndefined;
    std::int64_t weekday = DateComponentUndefined;         // 1 is Sunday
    std::int64_t weekdayOrdinal = DateComponentUndefined;  // 2 for the second Tuesday of a month
    std::int64_t quarter = DateComponentUndefined;
    std::int64_t weekOfMonth = DateComponentUndefined;
    std::int64_t weekOfYear = DateComponentUndefined;
    std::int64_t yearForWeekOfYear = DateComponentUndefined;
    bool leapMonth = false;
    std::optional<TimeZone> timeZone;

    // The field of a single unit (DateComponentUndefined for CalendarUnitTimeZone or a combination).
    std::int64_t valueForComponent(CalendarUnit unit) const;
    void setValue(std::int64_t value, CalendarUnit unit);
};

}  // namespace ql::ns
