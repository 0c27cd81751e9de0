#pragma once
// DateUtil: calendar arithmetic on dates — a process-wide default ("implicit") calendar, component getters,
// day tests, construction, adding units, whole-unit distances, ordering and shared formatters.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Calendar.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/DateFormatter.h"
#include "platform/foundation/Locale.h"
#include "platform/foundation/TimeZone.h"

namespace ql::DateUtil {

using ns::Calendar;
using ns::Date;

enum TPComponentKind : std::uint64_t {
    TPComponentKindEra = 0,
    TPComponentKindYear = 1,
    TPComponentKindMonth = 2,
    TPComponentKindDay = 3,
    TPComponentKindHour = 4,
    TPComponentKindMinute = 5,
    TPComponentKindSecond = 6,
    TPComponentKindWeekday = 7,
    TPComponentKindWeekdayOrdinal = 8,
    TPComponentKindQuarter = 9,
    TPComponentKindWeekOfMonth = 10,
    TPComponentKindWeekOfYear = 11,
    TPComponentKindYearForWeekOfYear = 12,
    TPComponentKindDayOfYear = 13,
};

// Default calendar. The load hook (registered under kLoadHookName) makes it the Gregorian calendar.
inline constexpr std::string_view kLoadHookName = "NSDate(DateUtil)";
void registerLoadHook();
void load();
// Nothing stores nothing, but the implicit calendar is then Gregorian; so is it for an unknown identifier.
void setDefaultCalendarIdentifier(std::optional<std::string> identifier);
std::optional<std::string> defaultCalendarIdentifier();
// Gregorian until a default calendar is set.
std::shared_ptr<const Calendar> implicitCalendar();

// Components. With no calendar the implicit one is used; a kind outside the table answers 0.
std::int64_t componentForDate(Date date, std::uint64_t kind, const Calendar* calendar = nullptr);
std::int64_t era(Date date);
std::int64_t year(Date date);
std::int64_t month(Date date);
std::int64_t day(Date date);
std::int64_t hour(Date date);
std::int64_t minute(Date date);
std::int64_t second(Date date);
std::int64_t weekday(Date date);
std::int64_t weekdayOrdinal(Date date);
std::int64_t quarter(Date date);
std::int64_t weekOfMonth(Date date);
std::int64_t weekOfYear(Date date);
std::int64_t yearForWeekOfYear(Date date);
std::int64_t dayOfYear(Date date);
std::int64_t eraWithCalendar(Date date, const Calendar& calendar);
std::int64_t yearWithCalendar(Date date, const Calendar& calendar);
std::int64_t monthWithCalendar(Date date, const Calendar& calendar);
std::int64_t dayWithCalendar(Date date, const Calendar& calendar);
std::int64_t hourWithCalendar(Date date, const Calendar& calendar);
std::int64_t minuteWithCalendar(Date date, const Calendar& calendar);
std::int64_t secondWithCalendar(Date date, const Calendar& calendar);
std::int64_t weekdayWithCalendar(Date date, const Calendar& calendar);
std::int64_t weekdayOrdinalWithCalendar(Date date, const Calendar& calendar);
std::int64_t quarterWithCalendar(Date date, const Calendar& calendar);
std::int64_t weekOfMonthWithCalendar(Date date, const Calendar& calendar);
std::int64_t weekOfYearWithCalendar(Date date, const Calendar& calendar);
std::int64_t yearForWeekOfYearWithCalendar(Date date, const Calendar& calendar);
std::int64_t dayOfYearWithCalendar(Date date, const Calendar& calendar);

// Single-date facts. Day tests and daysInMonth use the user's current calendar.
std::int64_t daysInMonth(Date date);
std::int64_t daysInYear(Date date);
bool isInLeapYear(Date date);
bool isLeapYear(std::int64_t year);
bool isToday(Date date);
bool isTomorrow(Date date);
bool isYesterday(Date date);
bool isSameDay(Date date, Date other);
bool isWeekend(Date date);

// Construction in the implicit calendar; parsing with the shared parsing formatter (the system time zone
// unless one is given). Nothing when the text does not match the pattern.
std::optional<Date> dateWithYear(std::int64_t year, std::int64_t month, std::int64_t day);
std::optional<Date> dateWithYear(std::int64_t year, std::int64_t month, std::int64_t day, std::int64_t hour,
                                 std::int64_t minute, std::int64_t second);
std::optional<Date> dateWithString(std::string_view text, const std::string& formatString);
std::optional<Date> dateWithString(std::string_view text, const std::string& formatString,
                                   const ns::TimeZone& timeZone);

// Adding and subtracting in the implicit calendar. A date the calendar cannot reach stays as it was.
Date dateByAddingYears(Date date, std::int64_t years);
Date dateByAddingMonths(Date date, std::int64_t months);
Date dateByAddingWeeks(Date date, std::int64_t weeks);
Date dateByAddingDays(Date date, std::int64_t days);
Date dateByAddingHours(Date date, std::int64_t hours);
Date dateByAddingMinutes(Date date, std::int64_t minutes);
Date dateByAddingSeconds(Date date, std::int64_t seconds);
Date dateBySubtractingYears(Date date, std::int64_t years);
Date dateBySubtractingMonths(Date date, std::int64_t months);
Date dateBySubtractingWeeks(Date date, std::int64_t weeks);
Date dateBySubtractingDays(Date date, std::int64_t days);
Date dateBySubtractingHours(Date date, std::int64_t hours);
Date dateBySubtractingMinutes(Date date, std::int64_t minutes);
Date dateBySubtractingSeconds(Date date, std::int64_t seconds);

// Signed whole calendar units from `other` to `date`: positive when `date` is later.
std::int64_t yearsFrom(Date date, Date other, const Calendar* calendar = nullptr);
std::int64_t monthsFrom(Date date, Date other, const Calendar* calendar = nullptr);
std::int64_t weeksFrom(Date date, Date other, const Calendar* calendar = nullptr);
std::int64_t daysFrom(Date date, Date other, const Calendar* calendar = nullptr);
// Clock distances, fractional and signed.
double hoursFrom(Date date, Date other);
double minutesFrom(Date date, Date other);
double secondsFrom(Date date, Date other);

// How far `date` lies before `other` (0 when it does not).
std::int64_t yearsEarlierThan(Date date, Date other);
std::int64_t monthsEarlierThan(Date date, Date other);
std::int64_t weeksEarlierThan(Date date, Date other);
std::int64_t daysEarlierThan(Date date, Date other);
double hoursEarlierThan(Date date, Date other);
double minutesEarlierThan(Date date, Date other);
double secondsEarlierThan(Date date, Date other);
// How far `date` lies after `other` (0 when it does not).
std::int64_t yearsLaterThan(Date date, Date other);
std::int64_t monthsLaterThan(Date date, Date other);
std::int64_t weeksLaterThan(Date date, Date other);
std::int64_t daysLaterThan(Date date, Date other);
double hoursLaterThan(Date date, Date other);
double minutesLaterThan(Date date, Date other);
double secondsLaterThan(Date date, Date other);
// Against now (the platform clock).
std::int64_t yearsAgo(Date date);
std::int64_t monthsAgo(Date date);
std::int64_t weeksAgo(Date date);
std::int64_t daysAgo(Date date);
double hoursAgo(Date date);
double minutesAgo(Date date);
double secondsAgo(Date date);
std::int64_t yearsUntil(Date date);
std::int64_t monthsUntil(Date date);
std::int64_t weeksUntil(Date date);
std::int64_t daysUntil(Date date);
double hoursUntil(Date date);
double minutesUntil(Date date);
double secondsUntil(Date date);

bool isEarlierThan(Date date, Date other);
bool isLaterThan(Date date, Date other);
bool isEarlierThanOrEqualTo(Date date, Date other);
bool isLaterThanOrEqualTo(Date date, Date other);

// Formatting through the shared formatters (the system time zone and the current locale unless given).
// The style form never shows the time.
std::string formattedDateWithStyle(Date date, ns::DateFormatterStyle style);
std::string formattedDateWithStyle(Date date, ns::DateFormatterStyle style, const ns::TimeZone& timeZone);
std::string formattedDateWithStyle(Date date, ns::DateFormatterStyle style, const ns::Locale& locale);
std::string formattedDateWithStyle(Date date, ns::DateFormatterStyle style, const ns::TimeZone& timeZone,
                                   const ns::Locale& locale);
std::string formattedDateWithFormat(Date date, const std::string& format);
std::string formattedDateWithFormat(Date date, const std::string& format, const ns::TimeZone& timeZone);
std::string formattedDateWithFormat(Date date, const std::string& format, const ns::Locale& locale);
std::string formattedDateWithFormat(Date date, const std::string& format, const ns::TimeZone& timeZone,
                                    const ns::Locale& locale);

}  // namespace ql::DateUtil
