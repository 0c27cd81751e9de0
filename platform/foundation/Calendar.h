#pragma once
// ns::Calendar: calendar arithmetic in a time zone: breaking dates into components and back, adding
// components, the differences between two dates, and the ranges and ordinals of units. Gregorian unless
// another calendar is named. A calendar may be used from several threads; each copy is independent.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Date.h"
#include "platform/foundation/DateComponents.h"
#include "platform/foundation/Locale.h"
#include "platform/foundation/Range.h"
#include "platform/foundation/TimeZone.h"

namespace ql::ns {

inline constexpr std::string_view CalendarIdentifierGregorian = "gregorian";
inline constexpr std::string_view CalendarIdentifierISO8601 = "iso8601";

// A span of time: where a unit that holds a date starts, and how long it lasts.
struct DateInterval {
    Date start;
    double duration = 0;
    Date end() const { return start.addingTimeInterval(duration); }
};

class Calendar {
public:
    // The Gregorian calendar in the current locale and the default time zone.
    Calendar();
    // Nothing for an identifier the platform does not know ("gregorian", "buddhist", "japanese", …).
    static std::optional<Calendar> withIdentifier(std::string_view identifier);
    // The user's calendar: Gregorian, with the current locale and the default time zone of this moment.
    static Calendar currentCalendar();

    Calendar(const Calendar& other);
    Calendar& operator=(const Calendar& other);
    Calendar(Calendar&&) noexcept;
    Calendar& operator=(Calendar&&) noexcept;
    ~Calendar();

    const std::string& calendarIdentifier() const;
    Locale locale() const;
    void setLocale(const Locale& locale);
    TimeZone timeZone() const;
    void setTimeZone(const TimeZone& zone);
    // 1 is Sunday. The locale's choice unless set.
    std::uint64_t firstWeekday() const;
    void setFirstWeekday(std::uint64_t weekday);
    std::uint64_t minimumDaysInFirstWeek() const;
    void setMinimumDaysInFirstWeek(std::uint64_t days);

    // The fields of the date named by `units` (CalendarUnit bits); the others stay undefined.
    DateComponents components(std::uint64_t units, Date date) const;
    // Whole units from `from` to `to`, the largest unit first (so 10 days in weeks and days is one week
    // and three days); negative when `to` is earlier.
    DateComponents components(std::uint64_t units, Date from, Date to) const;
    // Undefined fields take their smallest value (year 1, January, the 1st, midnight). Out-of-range values
    // carry over (month 13 is January of the next year). Nothing when the date is out of reach.
    std::optional<Date> dateFromComponents(const DateComponents& components) const;
    // Adds each defined field, the largest unit first; months keep the day where it exists (January 31st
    // plus one month is the last day of February). Hours and smaller are absolute time.
    std::optional<Date> dateByAddingComponents(const DateComponents& components, Date date) const;

    // Where the smaller unit ranges within the larger unit that holds the date: days in this month
    // {1, 28…31}, days in this year, months in a year {1, 12}, weekdays in a week {1, 7}, hours in a day
    // {0, 24}, weeks in a month or year. {NotFound, 0} for pairs that make no sense.
    Range rangeOfUnit(CalendarUnit smaller, CalendarUnit larger, Date date) const;
    // Where the unit that holds the date starts, and how long it lasts (a day of a daylight-saving change
    // lasts 23 or 25 hours). Nothing for units without a natural start (era, weekday, nanosecond…).
    std::optional<DateInterval> rangeOfUnit(CalendarUnit unit, Date date) const;
    // The smallest and the largest range a unit can take ({1, 31} for days, {1, 7} for weekdays).
    Range minimumRangeOfUnit(CalendarUnit unit) const;
    Range maximumRangeOfUnit(CalendarUnit unit) const;
    // The position, from 1, of the smaller unit holding the date within the larger one: day 60 of a
    // leap year, hour 1 for 00:30. NotFound for pairs that make no sense.
    std::uint64_t ordinalityOfUnit(CalendarUnit smaller, CalendarUnit larger, Date date) const;
    // The first moment of the day that holds the date (not always midnight where a daylight-saving
    // change skips it).
    Date startOfDayForDate(Date date) const;

private:
    struct Impl;
    explicit Calendar(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

}  // namespace ql::ns
