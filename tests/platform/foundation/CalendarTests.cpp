#include <gtest/gtest.h>

#include <limits>

#include "platform/foundation/Calendar.h"

using namespace ql::ns;

namespace {

Calendar calendarIn(std::string_view zone) {
    Calendar calendar = *Calendar::withIdentifier(CalendarIdentifierGregorian);
    calendar.setLocale(Locale("en_US_POSIX"));
    calendar.setTimeZone(*TimeZone::named(zone));
    return calendar;
}

Date dateOf(const Calendar& calendar, int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
    DateComponents c;
    c.year = year;
    c.month = month;
    c.day = day;
    c.hour = hour;
    c.minute = minute;
    c.second = second;
    return *calendar.dateFromComponents(c);
}

constexpr std::uint64_t kDateUnits = CalendarUnitYear | CalendarUnitMonth | CalendarUnitDay;
constexpr std::uint64_t kAllUnits = CalendarUnitEra | kDateUnits | CalendarUnitHour | CalendarUnitMinute |
                                    CalendarUnitSecond | CalendarUnitNanosecond | CalendarUnitWeekday |
                                    CalendarUnitWeekdayOrdinal | CalendarUnitQuarter | CalendarUnitWeekOfMonth |
                                    CalendarUnitWeekOfYear | CalendarUnitYearForWeekOfYear | CalendarUnitTimeZone;

}  // namespace

TEST(Calendar, BreaksDatesIntoComponentsAndBack) {
    Calendar utc = calendarIn("UTC");
    Date leapDay = Date::fromTimeIntervalSince1970(1709210096.25);  // 2024-02-29 12:34:56.25 UTC, a Thursday
    DateComponents c = utc.components(kAllUnits, leapDay);
    EXPECT_EQ(c.era, 1);
    EXPECT_EQ(c.year, 2024);
    EXPECT_EQ(c.month, 2);
    EXPECT_EQ(c.day, 29);
    EXPECT_EQ(c.hour, 12);
    EXPECT_EQ(c.minute, 34);
    EXPECT_EQ(c.second, 56);
    EXPECT_EQ(c.nanosecond, 250'000'000);
    EXPECT_EQ(c.weekday, 5);
    EXPECT_EQ(c.weekdayOrdinal, 5);  // the fifth Thursday of February
    EXPECT_EQ(c.quarter, 1);
    EXPECT_EQ(c.weekOfYear, 9);
    EXPECT_EQ(c.yearForWeekOfYear, 2024);
    ASSERT_TRUE(c.timeZone);
    EXPECT_EQ(c.timeZone->name(), "UTC");
    EXPECT_EQ(utc.dateFromComponents(c), leapDay);

    // Only what was asked for is filled in.
    DateComponents yearOnly = utc.components(CalendarUnitYear, leapDay);
    EXPECT_EQ(yearOnly.year, 2024);
    EXPECT_EQ(yearOnly.month, DateComponentUndefined);
    EXPECT_FALSE(yearOnly.timeZone);

    // The same moment is another day in Shanghai.
    DateComponents late = calendarIn("Asia/Shanghai")
                              .components(kDateUnits | CalendarUnitHour, Date::fromTimeIntervalSince1970(1709236800));
    EXPECT_EQ(late.month, 3);
    EXPECT_EQ(late.day, 1);
    EXPECT_EQ(late.hour, 4);
}

TEST(Calendar, ComposesWithDefaultsCarriesAndTimeZones) {
    Calendar utc = calendarIn("UTC");
    DateComponents hourOnly;
    hourOnly.hour = 10;
    DateComponents back = utc.components(kDateUnits | CalendarUnitHour, *utc.dateFromComponents(hourOnly));
    EXPECT_EQ(back.year, 1);
    EXPECT_EQ(back.month, 1);
    EXPECT_EQ(back.day, 1);
    EXPECT_EQ(back.hour, 10);

    EXPECT_EQ(dateOf(utc, 2023, 13, 1), dateOf(utc, 2024, 1, 1));
    EXPECT_EQ(dateOf(utc, 2024, 3, 0), dateOf(utc, 2024, 2, 29));
    EXPECT_EQ(dateOf(utc, 2023, 3, 0), dateOf(utc, 2023, 2, 28));
    EXPECT_EQ(dateOf(utc, 2024, 1, 1, 25), dateOf(utc, 2024, 1, 2, 1));

    DateComponents zoned;
    zoned.year = 1970;
    zoned.month = 1;
    zoned.day = 1;
    zoned.hour = 8;
    zoned.timeZone = TimeZone::named("Asia/Shanghai");
    EXPECT_EQ(utc.dateFromComponents(zoned), Date::fromTimeIntervalSince1970(0));

    // Year, month and day win over a week of year given alongside them (a start of day rebuilt from them).
    DateComponents mixed;
    mixed.year = 2024;
    mixed.month = 6;
    mixed.day = 15;
    mixed.weekOfYear = 2;
    EXPECT_EQ(utc.dateFromComponents(mixed), dateOf(utc, 2024, 6, 15));

    // Week-based dates: Monday of ISO week 1 of 2021 is 2021-01-04.
    Calendar iso = utc;
    iso.setFirstWeekday(2);
    iso.setMinimumDaysInFirstWeek(4);
    DateComponents week;
    week.yearForWeekOfYear = 2021;
    week.weekOfYear = 1;
    week.weekday = 2;
    EXPECT_EQ(iso.dateFromComponents(week), dateOf(utc, 2021, 1, 4));

    DateComponents huge;
    huge.year = std::int64_t{1} << 40;
    EXPECT_FALSE(utc.dateFromComponents(huge));
}

TEST(Calendar, AddsMonthsAndYearsAtMonthEnds) {
    Calendar utc = calendarIn("UTC");
    auto add = [&](Date date, CalendarUnit unit, std::int64_t amount) {
        DateComponents c;
        c.setValue(amount, unit);
        return *utc.dateByAddingComponents(c, date);
    };
    EXPECT_EQ(add(dateOf(utc, 2023, 1, 31), CalendarUnitMonth, 1), dateOf(utc, 2023, 2, 28));
    EXPECT_EQ(add(dateOf(utc, 2024, 1, 31), CalendarUnitMonth, 1), dateOf(utc, 2024, 2, 29));
    EXPECT_EQ(add(dateOf(utc, 2024, 3, 31), CalendarUnitMonth, -1), dateOf(utc, 2024, 2, 29));
    EXPECT_EQ(add(dateOf(utc, 2024, 2, 29), CalendarUnitYear, 1), dateOf(utc, 2025, 2, 28));
    EXPECT_EQ(add(dateOf(utc, 2024, 2, 29), CalendarUnitYear, 4), dateOf(utc, 2028, 2, 29));
    EXPECT_EQ(add(dateOf(utc, 2024, 12, 31), CalendarUnitDay, 1), dateOf(utc, 2025, 1, 1));
    EXPECT_EQ(add(dateOf(utc, 2024, 12, 30), CalendarUnitWeekOfYear, 1), dateOf(utc, 2025, 1, 6));
    EXPECT_EQ(add(dateOf(utc, 2024, 1, 1), CalendarUnitQuarter, 1), dateOf(utc, 2024, 4, 1));
    EXPECT_EQ(add(dateOf(utc, 2024, 1, 1), CalendarUnitSecond, -1), dateOf(utc, 2023, 12, 31, 23, 59, 59));

    // Several fields: the largest first, so January 31st plus a month and a day is March 1st.
    DateComponents monthAndDay;
    monthAndDay.month = 1;
    monthAndDay.day = 1;
    EXPECT_EQ(utc.dateByAddingComponents(monthAndDay, dateOf(utc, 2023, 1, 31)), dateOf(utc, 2023, 3, 1));
    // Fractions of a second survive.
    Date fractional = dateOf(utc, 2024, 1, 1).addingTimeInterval(0.125);
    EXPECT_EQ(add(fractional, CalendarUnitMonth, 1), dateOf(utc, 2024, 2, 1).addingTimeInterval(0.125));
}

TEST(Calendar, DaylightSavingInANamedZone) {
    Calendar newYork = calendarIn("America/New_York");
    Date saturdayNoon = Date::fromTimeIntervalSince1970(1710003600);  // 2024-03-09 12:00 EST
    Date sundayNoon = Date::fromTimeIntervalSince1970(1710086400);    // 2024-03-10 12:00 EDT
    DateComponents oneDay;
    oneDay.day = 1;
    EXPECT_EQ(newYork.dateByAddingComponents(oneDay, saturdayNoon), sundayNoon);
    DateComponents dayHours;
    dayHours.hour = 24;
    EXPECT_EQ(newYork.dateByAddingComponents(dayHours, saturdayNoon), sundayNoon.addingTimeInterval(3600));

    auto spring = newYork.rangeOfUnit(CalendarUnitDay, sundayNoon);
    ASSERT_TRUE(spring);
    EXPECT_EQ(spring->start, Date::fromTimeIntervalSince1970(1710046800));
    EXPECT_EQ(spring->duration, 23 * 3600);
    auto autumn = newYork.rangeOfUnit(CalendarUnitDay, Date::fromTimeIntervalSince1970(1730649600));
    ASSERT_TRUE(autumn);
    EXPECT_EQ(autumn->start, Date::fromTimeIntervalSince1970(1730606400));
    EXPECT_EQ(autumn->duration, 25 * 3600);

    EXPECT_EQ(newYork.components(CalendarUnitDay, saturdayNoon, sundayNoon).day, 1);
    EXPECT_EQ(newYork.components(CalendarUnitHour, saturdayNoon, sundayNoon).hour, 23);

    // Where daylight saving skipped midnight, the day starts at 01:00.
    Calendar saoPaulo = calendarIn("America/Sao_Paulo");
    EXPECT_EQ(saoPaulo.startOfDayForDate(Date::fromTimeIntervalSince1970(1541340000)),
              Date::fromTimeIntervalSince1970(1541300400));
}

TEST(Calendar, DifferencesTakeTheLargestUnitsFirst) {
    Calendar utc = calendarIn("UTC");
    Date start = dateOf(utc, 2024, 1, 1);
    DateComponents weeksAndDays =
        utc.components(CalendarUnitWeekOfYear | CalendarUnitDay, start, dateOf(utc, 2024, 1, 11));
    EXPECT_EQ(weeksAndDays.weekOfYear, 1);
    EXPECT_EQ(weeksAndDays.day, 3);

    DateComponents months =
        utc.components(CalendarUnitYear | CalendarUnitMonth | CalendarUnitDay, start, dateOf(utc, 2025, 3, 1, 12));
    EXPECT_EQ(months.year * 12 + months.month, 14);
    EXPECT_EQ(months.day, 0);
    // Asking for the era too still measures the smaller units.
    DateComponents withEra = utc.components(kAllUnits, start, dateOf(utc, 2025, 3, 1, 12));
    EXPECT_EQ(withEra.era, 0);
    EXPECT_EQ(withEra.year * 12 + withEra.month, 14);
    EXPECT_EQ(withEra.hour, 12);

    DateComponents backwards = utc.components(CalendarUnitDay | CalendarUnitHour | CalendarUnitMinute, start,
                                              dateOf(utc, 2023, 12, 28, 22, 30));
    EXPECT_EQ(backwards.day, -3);
    EXPECT_EQ(backwards.hour, -1);
    EXPECT_EQ(backwards.minute, -30);

    // A month from Jan 31st ends on the last day of February; one day short of it is no whole month.
    EXPECT_EQ(utc.components(CalendarUnitMonth, dateOf(utc, 2024, 1, 31), dateOf(utc, 2024, 2, 29)).month, 1);
    EXPECT_EQ(utc.components(CalendarUnitMonth, dateOf(utc, 2024, 1, 31), dateOf(utc, 2024, 2, 28)).month, 0);
    DateComponents monthDay =
        utc.components(CalendarUnitMonth | CalendarUnitDay, dateOf(utc, 2024, 1, 31), dateOf(utc, 2024, 3, 1));
    EXPECT_EQ(monthDay.month, 1);
    EXPECT_EQ(monthDay.day, 1);

    DateComponents clock =
        utc.components(CalendarUnitHour | CalendarUnitMinute | CalendarUnitSecond | CalendarUnitNanosecond, start,
                       start.addingTimeInterval(100 * 86400 + 3723.5));
    EXPECT_EQ(clock.hour, 2401);
    EXPECT_EQ(clock.minute, 2);
    EXPECT_EQ(clock.second, 3);
    EXPECT_EQ(clock.nanosecond, 500'000'000);
}

TEST(Calendar, RangesOrdinalsAndWeeks) {
    Calendar utc = calendarIn("UTC");
    EXPECT_EQ(utc.rangeOfUnit(CalendarUnitDay, CalendarUnitMonth, dateOf(utc, 2024, 2, 10)), (Range{1, 29}));
    EXPECT_EQ(utc.rangeOfUnit(CalendarUnitDay, CalendarUnitMonth, dateOf(utc, 2023, 2, 10)), (Range{1, 28}));
    EXPECT_EQ(utc.rangeOfUnit(CalendarUnitDay, CalendarUnitMonth, dateOf(utc, 1900, 2, 10)), (Range{1, 28}));
    EXPECT_EQ(utc.rangeOfUnit(CalendarUnitDay, CalendarUnitMonth, dateOf(utc, 2000, 2, 10)), (Range{1, 29}));
    EXPECT_EQ(utc.rangeOfUnit(CalendarUnitDay, CalendarUnitYear, dateOf(utc, 2024, 7, 1)), (Range{1, 366}));
    EXPECT_EQ(utc.rangeOfUnit(CalendarUnitMonth, CalendarUnitYear, dateOf(utc, 2024, 7, 1)), (Range{1, 12}));
    EXPECT_EQ(utc.rangeOfUnit(CalendarUnitHour, CalendarUnitDay, dateOf(utc, 2024, 7, 1)), (Range{0, 24}));
    EXPECT_TRUE(utc.rangeOfUnit(CalendarUnitYear, CalendarUnitDay, dateOf(utc, 2024, 7, 1)).isNotFound());
    EXPECT_EQ(utc.maximumRangeOfUnit(CalendarUnitWeekday), (Range{1, 7}));
    EXPECT_EQ(utc.maximumRangeOfUnit(CalendarUnitDay), (Range{1, 31}));
    EXPECT_EQ(utc.minimumRangeOfUnit(CalendarUnitDay), (Range{1, 28}));
    EXPECT_EQ(utc.maximumRangeOfUnit(CalendarUnitMonth), (Range{1, 12}));

    EXPECT_EQ(utc.ordinalityOfUnit(CalendarUnitDay, CalendarUnitYear, dateOf(utc, 2024, 3, 1)), 61u);
    EXPECT_EQ(utc.ordinalityOfUnit(CalendarUnitDay, CalendarUnitYear, dateOf(utc, 2023, 3, 1)), 60u);
    EXPECT_EQ(utc.ordinalityOfUnit(CalendarUnitHour, CalendarUnitDay, dateOf(utc, 2024, 3, 1, 0, 30)), 1u);
    EXPECT_EQ(utc.ordinalityOfUnit(CalendarUnitYear, CalendarUnitDay, dateOf(utc, 2024, 3, 1)), NotFound);

    // 2024-06-01 is a Saturday: the 7th day of a week from Sunday, the 6th of a week from Monday.
    Date saturday = dateOf(utc, 2024, 6, 1, 15);
    EXPECT_EQ(utc.components(CalendarUnitWeekday, saturday).weekday, 7);
    Calendar fromSunday = utc;
    fromSunday.setFirstWeekday(1);
    Calendar fromMonday = utc;
    fromMonday.setFirstWeekday(2);
    EXPECT_EQ(fromSunday.ordinalityOfUnit(CalendarUnitDay, CalendarUnitWeekOfYear, saturday), 7u);
    EXPECT_EQ(fromMonday.ordinalityOfUnit(CalendarUnitDay, CalendarUnitWeekOfYear, saturday), 6u);
    EXPECT_EQ(fromMonday.firstWeekday(), 2u);
    EXPECT_EQ(fromSunday.firstWeekday(), 1u);
    // June 2024 starts on a Saturday, so the 3rd (Monday) lies in its second week when weeks start on Sunday.
    EXPECT_EQ(fromSunday.ordinalityOfUnit(CalendarUnitWeekOfMonth, CalendarUnitMonth, dateOf(utc, 2024, 6, 3)), 2u);
    auto week = fromMonday.rangeOfUnit(CalendarUnitWeekOfYear, saturday);
    ASSERT_TRUE(week);
    EXPECT_EQ(week->start, dateOf(utc, 2024, 5, 27));
    EXPECT_EQ(week->duration, 7 * 86400);

    auto month = utc.rangeOfUnit(CalendarUnitMonth, saturday);
    ASSERT_TRUE(month);
    EXPECT_EQ(month->start, dateOf(utc, 2024, 6, 1));
    EXPECT_EQ(month->end(), dateOf(utc, 2024, 7, 1));
    auto year = utc.rangeOfUnit(CalendarUnitYear, saturday);
    ASSERT_TRUE(year);
    EXPECT_EQ(year->duration, 366 * 86400);
    auto hour = utc.rangeOfUnit(CalendarUnitHour, saturday.addingTimeInterval(1234.5));
    ASSERT_TRUE(hour);
    EXPECT_EQ(hour->start, saturday);
    EXPECT_FALSE(utc.rangeOfUnit(CalendarUnitEra, saturday));
    EXPECT_EQ(utc.startOfDayForDate(saturday), dateOf(utc, 2024, 6, 1));
}

TEST(Calendar, IdentifiersAndIndependentCopies) {
    EXPECT_FALSE(Calendar::withIdentifier("klingon"));
    auto buddhist = Calendar::withIdentifier("buddhist");
    ASSERT_TRUE(buddhist);
    buddhist->setTimeZone(TimeZone::gmt());
    EXPECT_EQ(buddhist->components(CalendarUnitYear, Date::fromTimeIntervalSince1970(0)).year, 2513);
    EXPECT_EQ(Calendar().calendarIdentifier(), "gregorian");
    EXPECT_EQ(Calendar::currentCalendar().calendarIdentifier(), "gregorian");

    Calendar utc = calendarIn("UTC");
    Calendar copy = utc;
    copy.setTimeZone(*TimeZone::named("Asia/Tokyo"));
    EXPECT_EQ(utc.timeZone().name(), "UTC");
    EXPECT_EQ(copy.components(CalendarUnitHour, Date::fromTimeIntervalSince1970(0)).hour, 9);
    EXPECT_EQ(utc.components(CalendarUnitHour, Date::fromTimeIntervalSince1970(0)).hour, 0);
}

TEST(Calendar, AdditionsStopAtTheCalendarsReachInEveryKind) {
    const Date start = Date::fromTimeIntervalSince1970(1616803200);  // 2021-03-27 UTC
    for (const char* kind : {"gregorian", "hebrew", "chinese", "coptic", "islamic", "japanese", "persian"}) {
        SCOPED_TRACE(kind);
        auto calendar = Calendar::withIdentifier(kind);
        ASSERT_TRUE(calendar);
        calendar->setTimeZone(*TimeZone::named("UTC"));
        auto add = [&](Date date, CalendarUnit unit, std::int64_t amount) {
            DateComponents c;
            c.setValue(amount, unit);
            return calendar->dateByAddingComponents(c, date);
        };
        // Leap months, short months and month ends all land: every day of two years, a step either way.
        for (int day = 0; day < 800; ++day) {
            const Date date = start.addingTimeInterval(day * 86400.0);
            for (CalendarUnit unit : {CalendarUnitMonth, CalendarUnitYear}) {
                for (std::int64_t amount : {1, -1, 13, -13}) {
                    auto landed = add(date, unit, amount);
                    ASSERT_TRUE(landed) << day << " " << amount;
                    EXPECT_EQ(*landed > date, amount > 0);
                }
            }
        }
        auto far = add(start, CalendarUnitYear, 1'000'000);
        ASSERT_TRUE(far);
        EXPECT_GT(far->timeIntervalSinceDate(start), 353 * 86400.0 * 1e6);
        EXPECT_FALSE(add(start, CalendarUnitYear, 10'000'000));
        EXPECT_FALSE(add(start, CalendarUnitYear, -2'147'483'647));
        EXPECT_FALSE(add(start, CalendarUnitMonth, 100'000'000));
        EXPECT_FALSE(add(start, CalendarUnitDay, std::numeric_limits<std::int32_t>::max()));
        EXPECT_FALSE(add(start, CalendarUnitSecond, std::numeric_limits<std::int64_t>::max() - 1));
        // Quarters count three months each: amounts whose months no 64-bit integer holds are refused too.
        EXPECT_FALSE(add(start, CalendarUnitQuarter, std::numeric_limits<std::int64_t>::max() / 2));
        EXPECT_FALSE(add(start, CalendarUnitQuarter, std::numeric_limits<std::int64_t>::min()));
    }
}
