#include "storage/datetime/DateUtil.h"

#include <limits>
#include <mutex>

#include "platform/foundation/Runtime.h"

namespace ql::DateUtil {

namespace {

constexpr std::uint64_t kBrokenDownUnits = ns::CalendarUnitEra | ns::CalendarUnitYear | ns::CalendarUnitMonth |
                                           ns::CalendarUnitDay | ns::CalendarUnitHour | ns::CalendarUnitMinute |
                                           ns::CalendarUnitSecond | ns::CalendarUnitWeekday |
                                           ns::CalendarUnitWeekdayOrdinal | ns::CalendarUnitQuarter |
                                           ns::CalendarUnitWeekOfMonth | ns::CalendarUnitWeekOfYear;

struct DefaultCalendar {
    std::mutex mutex;
    std::optional<std::string> identifier;
    std::shared_ptr<const Calendar> calendar;
};

DefaultCalendar& defaults() {
    static auto* state = new DefaultCalendar();  // lives as long as the process
    return *state;
}

std::shared_ptr<const Calendar> calendarFor(const std::optional<std::string>& identifier) {
    if (identifier) {
        if (auto calendar = Calendar::withIdentifier(*identifier))
            return std::make_shared<const Calendar>(std::move(*calendar));
    }
    return std::make_shared<const Calendar>(*Calendar::withIdentifier(ns::CalendarIdentifierGregorian));
}

// The date rebuilt from its era, year, month and day alone.
std::optional<Date> startOfDay(Date date, const Calendar& calendar) {
    ns::DateComponents parts =
        calendar.components(ns::CalendarUnitEra | ns::CalendarUnitYear | ns::CalendarUnitMonth | ns::CalendarUnitDay,
                            date);
    return calendar.dateFromComponents(parts);
}

Date adding(Date date, std::int64_t amount, ns::CalendarUnit unit) {
    ns::DateComponents step;
    step.setValue(amount, unit);
    return implicitCalendar()->dateByAddingComponents(step, date).value_or(date);
}

// The smallest amount has no negation; no calendar reaches that far, so the date stays as it was.
Date subtracting(Date date, std::int64_t amount, ns::CalendarUnit unit) {
    if (amount == std::numeric_limits<std::int64_t>::min()) return date;
    return adding(date, -amount, unit);
}

// Whole units of `units` from `other` to `date`; `count` reads the answer out of the components.
template <class Count>
std::int64_t calendarDistance(Date date, Date other, const Calendar* calendar, std::uint64_t units, Count count) {
    std::shared_ptr<const Calendar> implicit;
    if (!calendar) {
        implicit = implicitCalendar();
        calendar = implicit.get();
    }
    bool receiverIsEarlier = date <= other;
    Date earlier = receiverIsEarlier ? date : other;
    Date later = receiverIsEarlier ? other : date;
    std::int64_t result = count(calendar->components(units, earlier, later));
    return receiverIsEarlier ? -result : result;
}

}  // namespace

void load() { setDefaultCalendarIdentifier(std::string(ns::CalendarIdentifierGregorian)); }

void registerLoadHook() {
    ns::Runtime::registerLoadHook(ns::Runtime::LoadPhase::CategoryLoad, std::string(kLoadHookName), &load);
}

void setDefaultCalendarIdentifier(std::optional<std::string> identifier) {
    auto calendar = calendarFor(identifier);
    std::lock_guard lock(defaults().mutex);
    defaults().identifier = std::move(identifier);
    defaults().calendar = std::move(calendar);
}

std::optional<std::string> defaultCalendarIdentifier() {
    std::lock_guard lock(defaults().mutex);
    return defaults().identifier;
}

std::shared_ptr<const Calendar> implicitCalendar() {
    std::lock_guard lock(defaults().mutex);
    if (!defaults().calendar) defaults().calendar = calendarFor(std::nullopt);
    return defaults().calendar;
}

std::int64_t componentForDate(Date date, std::uint64_t kind, const Calendar* calendar) {
    std::shared_ptr<const Calendar> implicit;
    if (!calendar) {
        implicit = implicitCalendar();
        calendar = implicit.get();
    }
    if (kind == TPComponentKindDayOfYear)
        return static_cast<std::int64_t>(calendar->ordinalityOfUnit(ns::CalendarUnitDay, ns::CalendarUnitYear, date));
    if (kind > TPComponentKindYearForWeekOfYear) return 0;
    std::uint64_t units = kBrokenDownUnits;
    if (kind == TPComponentKindYearForWeekOfYear) units |= ns::CalendarUnitYearForWeekOfYear;
    ns::DateComponents parts = calendar->components(units, date);
    switch (kind) {
        case TPComponentKindEra: return parts.era;
        case TPComponentKindYear: return parts.year;
        case TPComponentKindMonth: return parts.month;
        case TPComponentKindDay: return parts.day;
        case TPComponentKindHour: return parts.hour;
        case TPComponentKindMinute: return parts.minute;
        case TPComponentKindSecond: return parts.second;
        case TPComponentKindWeekday: return parts.weekday;
        case TPComponentKindWeekdayOrdinal: return parts.weekdayOrdinal;
        case TPComponentKindQuarter: return parts.quarter;
        case TPComponentKindWeekOfMonth: return parts.weekOfMonth;
        case TPComponentKindWeekOfYear: return parts.weekOfYear;
        default: return parts.yearForWeekOfYear;
    }
}

#define QL_DATEUTIL_COMPONENT(name, kind)                                                                     \
    std::int64_t name(Date date) { return componentForDate(date, kind); }                                   \
    std::int64_t name##WithCalendar(Date date, const Calendar& calendar) {                                  \
        return componentForDate(date, kind, &calendar);                                                     \
    }
QL_DATEUTIL_COMPONENT(era, TPComponentKindEra)
QL_DATEUTIL_COMPONENT(year, TPComponentKindYear)
QL_DATEUTIL_COMPONENT(month, TPComponentKindMonth)
QL_DATEUTIL_COMPONENT(day, TPComponentKindDay)
QL_DATEUTIL_COMPONENT(hour, TPComponentKindHour)
QL_DATEUTIL_COMPONENT(minute, TPComponentKindMinute)
QL_DATEUTIL_COMPONENT(second, TPComponentKindSecond)
QL_DATEUTIL_COMPONENT(weekday, TPComponentKindWeekday)
QL_DATEUTIL_COMPONENT(weekdayOrdinal, TPComponentKindWeekdayOrdinal)
QL_DATEUTIL_COMPONENT(quarter, TPComponentKindQuarter)
QL_DATEUTIL_COMPONENT(weekOfMonth, TPComponentKindWeekOfMonth)
QL_DATEUTIL_COMPONENT(weekOfYear, TPComponentKindWeekOfYear)
QL_DATEUTIL_COMPONENT(yearForWeekOfYear, TPComponentKindYearForWeekOfYear)
QL_DATEUTIL_COMPONENT(dayOfYear, TPComponentKindDayOfYear)
#undef QL_DATEUTIL_COMPONENT

std::int64_t daysInMonth(Date date) {
    return static_cast<std::int64_t>(
        Calendar::currentCalendar().rangeOfUnit(ns::CalendarUnitDay, ns::CalendarUnitMonth, date).length);
}

std::int64_t daysInYear(Date date) { return isInLeapYear(date) ? 366 : 365; }

bool isInLeapYear(Date date) { return isLeapYear(year(date)); }

bool isLeapYear(std::int64_t year) {
    if (year % 400 == 0) return true;
    if (year % 100 == 0) return false;
    return year % 4 == 0;
}

bool isToday(Date date) { return isSameDay(date, Date::now()); }
bool isTomorrow(Date date) { return isSameDay(date, dateByAddingDays(Date::now(), 1)); }
bool isYesterday(Date date) { return isSameDay(date, dateBySubtractingDays(Date::now(), 1)); }

bool isSameDay(Date date, Date other) {
    Calendar calendar = Calendar::currentCalendar();
    return startOfDay(date, calendar) == startOfDay(other, calendar);
}

bool isWeekend(Date date) {
    Calendar calendar = Calendar::currentCalendar();
    ns::Range weekdays = calendar.maximumRangeOfUnit(ns::CalendarUnitWeekday);
    auto weekday = static_cast<std::uint64_t>(calendar.components(ns::CalendarUnitWeekday, date).weekday);
    return weekday == weekdays.location || weekday == weekdays.length;
}

std::optional<Date> dateWithYear(std::int64_t year, std::int64_t month, std::int64_t day) {
    return dateWithYear(year, month, day, 0, 0, 0);
}

std::optional<Date> dateWithYear(std::int64_t year, std::int64_t month, std::int64_t day, std::int64_t hour,
                                 std::int64_t minute, std::int64_t second) {
    ns::DateComponents parts;
    parts.year = year;
    parts.month = month;
    parts.day = day;
    parts.hour = hour;
    parts.minute = minute;
    parts.second = second;
    return implicitCalendar()->dateFromComponents(parts);
}

Date dateByAddingYears(Date date, std::int64_t years) { return adding(date, years, ns::CalendarUnitYear); }
Date dateByAddingMonths(Date date, std::int64_t months) { return adding(date, months, ns::CalendarUnitMonth); }
Date dateByAddingWeeks(Date date, std::int64_t weeks) { return adding(date, weeks, ns::CalendarUnitWeekOfYear); }
Date dateByAddingDays(Date date, std::int64_t days) { return adding(date, days, ns::CalendarUnitDay); }
Date dateByAddingHours(Date date, std::int64_t hours) { return adding(date, hours, ns::CalendarUnitHour); }
Date dateByAddingMinutes(Date date, std::int64_t minutes) { return adding(date, minutes, ns::CalendarUnitMinute); }
Date dateByAddingSeconds(Date date, std::int64_t seconds) { return adding(date, seconds, ns::CalendarUnitSecond); }
Date dateBySubtractingYears(Date date, std::int64_t years) {
    return subtracting(date, years, ns::CalendarUnitYear);
}
Date dateBySubtractingMonths(Date date, std::int64_t months) {
    return subtracting(date, months, ns::CalendarUnitMonth);
}
Date dateBySubtractingWeeks(Date date, std::int64_t weeks) {
    return subtracting(date, weeks, ns::CalendarUnitWeekOfYear);
}
Date dateBySubtractingDays(Date date, std::int64_t days) {
    return subtracting(date, days, ns::CalendarUnitDay);
}
Date dateBySubtractingHours(Date date, std::int64_t hours) {
    return subtracting(date, hours, ns::CalendarUnitHour);
}
Date dateBySubtractingMinutes(Date date, std::int64_t minutes) {
    return subtracting(date, minutes, ns::CalendarUnitMinute);
}
Date dateBySubtractingSeconds(Date date, std::int64_t seconds) {
    return subtracting(date, seconds, ns::CalendarUnitSecond);
}

std::int64_t yearsFrom(Date date, Date other, const Calendar* calendar) {
    return calendarDistance(date, other, calendar, ns::CalendarUnitYear,
                            [](const ns::DateComponents& parts) { return parts.year; });
}

std::int64_t monthsFrom(Date date, Date other, const Calendar* calendar) {
    return calendarDistance(date, other, calendar, kBrokenDownUnits,
                            [](const ns::DateComponents& parts) { return parts.month + 12 * parts.year; });
}

std::int64_t weeksFrom(Date date, Date other, const Calendar* calendar) {
    return calendarDistance(date, other, calendar, ns::CalendarUnitWeekOfYear,
                            [](const ns::DateComponents& parts) { return parts.weekOfYear; });
}

std::int64_t daysFrom(Date date, Date other, const Calendar* calendar) {
    return calendarDistance(date, other, calendar, ns::CalendarUnitDay,
                            [](const ns::DateComponents& parts) { return parts.day; });
}

double hoursFrom(Date date, Date other) { return date.timeIntervalSinceDate(other) / 3600.0; }
double minutesFrom(Date date, Date other) { return date.timeIntervalSinceDate(other) / 60.0; }
double secondsFrom(Date date, Date other) { return date.timeIntervalSinceDate(other); }

#define QL_DATEUTIL_RELATIVE(Unit, Type)                                                                      \
    Type Unit##EarlierThan(Date date, Date other) {                                                         \
        Type distance = Unit##From(date, other);                                                            \
        return distance < 0 ? -distance : 0;                                                                \
    }                                                                                                       \
    Type Unit##LaterThan(Date date, Date other) {                                                           \
        Type distance = Unit##From(date, other);                                                            \
        return distance > 0 ? distance : 0;                                                                 \
    }                                                                                                       \
    Type Unit##Ago(Date date) { return Unit##EarlierThan(date, Date::now()); }                              \
    Type Unit##Until(Date date) { return Unit##LaterThan(date, Date::now()); }
QL_DATEUTIL_RELATIVE(years, std::int64_t)
QL_DATEUTIL_RELATIVE(months, std::int64_t)
QL_DATEUTIL_RELATIVE(weeks, std::int64_t)
QL_DATEUTIL_RELATIVE(days, std::int64_t)
QL_DATEUTIL_RELATIVE(hours, double)
QL_DATEUTIL_RELATIVE(minutes, double)
QL_DATEUTIL_RELATIVE(seconds, double)
#undef QL_DATEUTIL_RELATIVE

bool isEarlierThan(Date date, Date other) { return date.timeIntervalSince1970() < other.timeIntervalSince1970(); }
bool isLaterThan(Date date, Date other) { return date.timeIntervalSince1970() > other.timeIntervalSince1970(); }
bool isEarlierThanOrEqualTo(Date date, Date other) {
    return date.timeIntervalSince1970() <= other.timeIntervalSince1970();
}
bool isLaterThanOrEqualTo(Date date, Date other) {
    return date.timeIntervalSince1970() >= other.timeIntervalSince1970();
}

}  // namespace ql::DateUtil
