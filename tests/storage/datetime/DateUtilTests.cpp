#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include <string>
#include <thread>
#include <vector>

#include "platform/foundation/Runtime.h"
#include "storage/datetime/DateUtil.h"
#include "tests/storage/datetime/DateTestSupport.h"

using namespace ql;
using namespace ql::DateUtil;

namespace {

class DateUtilTest : public datetest::FixedDateSettings {};

class DateUtilInUTCTest : public datetest::FixedDateSettings {
protected:
    DateUtilInUTCTest() : FixedDateSettings("UTC") {}
};

ns::TimeZone utc() { return *ns::TimeZone::named("UTC"); }

}  // namespace

TEST_F(DateUtilTest, LoadHookMakesTheDefaultCalendarGregorian) {
    ns::Date date = at(2026, 3, 11);
    setDefaultCalendarIdentifier(std::string("buddhist"));
    EXPECT_EQ(year(date), 2569);  // the Buddhist era is 543 years ahead

    setDefaultCalendarIdentifier(std::nullopt);
    EXPECT_FALSE(defaultCalendarIdentifier().has_value());
    EXPECT_EQ(implicitCalendar()->calendarIdentifier(), "gregorian");

    setDefaultCalendarIdentifier(std::string("no-such-calendar"));
    EXPECT_EQ(implicitCalendar()->calendarIdentifier(), "gregorian");

    registerLoadHook();
    ns::Runtime::runLoadHooks();
    bool registered = false;
    for (const auto& hook : ns::Runtime::loadHooks())
        if (hook.name == kLoadHookName) registered = hook.phase == ns::Runtime::LoadPhase::CategoryLoad && hook.hasRun;
    EXPECT_TRUE(registered);
    EXPECT_EQ(defaultCalendarIdentifier(), std::optional<std::string>("gregorian"));
    EXPECT_EQ(year(date), 2026);
}

TEST_F(DateUtilTest, ComponentsAndLeapYears) {
    ns::Date date = at(2026, 3, 11, 12, 30, 45);
    EXPECT_EQ(era(date), 1);
    EXPECT_EQ(year(date), 2026);
    EXPECT_EQ(month(date), 3);
    EXPECT_EQ(day(date), 11);
    EXPECT_EQ(hour(date), 12);
    EXPECT_EQ(minute(date), 30);
    EXPECT_EQ(second(date), 45);
    EXPECT_EQ(weekday(date), 4);  // Wednesday, Sunday being 1
    EXPECT_EQ(weekdayOrdinal(date), 2);
    EXPECT_EQ(quarter(date), 1);
    EXPECT_EQ(weekOfMonth(date), 2);
    EXPECT_EQ(weekOfYear(date), 11);
    EXPECT_EQ(yearForWeekOfYear(at(2026, 12, 31)), 2027);  // US weeks: Dec 27 – Jan 2 is week 1 of 2027
    EXPECT_EQ(dayOfYear(date), 70);
    EXPECT_EQ(componentForDate(date, 14), 0);

    // 00:30 in Berlin is still the day before in UTC.
    ns::Calendar inUTC;
    inUTC.setTimeZone(utc());
    EXPECT_EQ(dayWithCalendar(at(2026, 3, 11, 0, 30), inUTC), 10);
    EXPECT_EQ(hourWithCalendar(at(2026, 3, 11, 0, 30), inUTC), 23);

    EXPECT_TRUE(isLeapYear(2000));
    EXPECT_TRUE(isLeapYear(2024));
    EXPECT_FALSE(isLeapYear(1900));
    EXPECT_FALSE(isLeapYear(2023));
    EXPECT_TRUE(isInLeapYear(at(2024, 7, 1)));
    EXPECT_EQ(daysInYear(at(2024, 7, 1)), 366);
    EXPECT_EQ(daysInYear(at(2100, 7, 1)), 365);
    EXPECT_EQ(daysInMonth(at(2024, 2, 10)), 29);
    EXPECT_EQ(daysInMonth(at(2023, 2, 10)), 28);
    EXPECT_EQ(daysInMonth(at(2026, 4, 10)), 30);
}

TEST_F(DateUtilTest, DayTestsFollowTheClock) {
    EXPECT_TRUE(isToday(at(2026, 3, 11, 0, 0)));
    EXPECT_TRUE(isToday(at(2026, 3, 11, 23, 59, 59)));
    EXPECT_FALSE(isToday(at(2026, 3, 12, 0, 0)));
    EXPECT_TRUE(isTomorrow(at(2026, 3, 12, 8, 0)));
    EXPECT_TRUE(isYesterday(at(2026, 3, 10, 23, 0)));
    EXPECT_FALSE(isYesterday(at(2026, 3, 9, 23, 0)));
    EXPECT_TRUE(isSameDay(at(2026, 3, 1, 0, 0), at(2026, 3, 1, 23, 59)));
    EXPECT_FALSE(isSameDay(at(2026, 3, 1, 23, 59), at(2026, 3, 2, 0, 0)));

    EXPECT_TRUE(isWeekend(at(2026, 3, 14, 12)));   // Saturday
    EXPECT_TRUE(isWeekend(at(2026, 3, 15, 12)));   // Sunday
    for (int weekday = 9; weekday <= 13; ++weekday) EXPECT_FALSE(isWeekend(at(2026, 3, weekday, 12))) << weekday;
}

TEST_F(DateUtilTest, AddingAndSubtractingCalendarUnits) {
    ns::Date date = at(2024, 1, 31, 10, 0);
    EXPECT_EQ(dateByAddingMonths(date, 1), at(2024, 2, 29, 10, 0));  // the month's last day
    EXPECT_EQ(dateByAddingYears(at(2024, 2, 29), 1), at(2025, 2, 28));
    EXPECT_EQ(dateByAddingWeeks(date, 2), at(2024, 2, 14, 10, 0));
    EXPECT_EQ(dateBySubtractingDays(date, 31), at(2023, 12, 31, 10, 0));
    EXPECT_EQ(dateByAddingHours(date, -3), at(2024, 1, 31, 7, 0));
    EXPECT_EQ(dateBySubtractingMinutes(date, 90), at(2024, 1, 31, 8, 30));
    EXPECT_EQ(dateByAddingSeconds(date, 61), at(2024, 1, 31, 10, 1, 1));
    EXPECT_EQ(dateBySubtractingYears(date, 24), at(2000, 1, 31, 10, 0));
    EXPECT_EQ(dateBySubtractingWeeks(date, 1), at(2024, 1, 24, 10, 0));
    EXPECT_EQ(dateBySubtractingMonths(date, 2), at(2023, 11, 30, 10, 0));
    EXPECT_EQ(dateBySubtractingHours(date, 24), at(2024, 1, 30, 10, 0));
    EXPECT_EQ(dateBySubtractingSeconds(date, 1), at(2024, 1, 31, 9, 59, 59));

    // Over the spring change in Berlin a day keeps the wall time; 24 hours do not.
    ns::Date evening = at(2026, 3, 28, 20, 0);
    EXPECT_EQ(dateByAddingDays(evening, 1), at(2026, 3, 29, 20, 0));
    EXPECT_EQ(dateByAddingHours(evening, 24), at(2026, 3, 29, 21, 0));
    EXPECT_EQ(dateByAddingMinutes(evening, 24 * 60), at(2026, 3, 29, 21, 0));
}

TEST_F(DateUtilTest, DistancesInEveryUnit) {
    ns::Date date = at(2026, 3, 11, 12, 0);
    ns::Date threeDaysBefore = at(2026, 3, 8, 12, 0);
    EXPECT_EQ(daysFrom(date, threeDaysBefore), 3);
    EXPECT_EQ(daysFrom(threeDaysBefore, date), -3);
    EXPECT_EQ(daysEarlierThan(date, threeDaysBefore), 0);
    EXPECT_EQ(daysLaterThan(date, threeDaysBefore), 3);
    EXPECT_EQ(daysEarlierThan(threeDaysBefore, date), 3);
    EXPECT_EQ(daysFrom(at(2026, 3, 9, 11, 59), threeDaysBefore), 0);  // not yet a whole day

    // Months across years count the years in.
    EXPECT_EQ(monthsFrom(at(2026, 3, 11), at(2025, 1, 11)), 14);
    EXPECT_EQ(monthsFrom(at(2025, 1, 11), at(2026, 3, 11)), -14);
    EXPECT_EQ(monthsFrom(at(2026, 3, 10), at(2025, 1, 11)), 13);
    EXPECT_EQ(monthsEarlierThan(at(2025, 1, 11), at(2026, 3, 11)), 14);
    EXPECT_EQ(monthsLaterThan(at(2025, 1, 11), at(2026, 3, 11)), 0);

    EXPECT_EQ(yearsFrom(at(2026, 3, 11), at(2024, 3, 12)), 1);
    EXPECT_EQ(yearsFrom(at(2026, 3, 11), at(2024, 3, 11)), 2);
    EXPECT_EQ(yearsLaterThan(at(2026, 3, 11), at(2024, 3, 11)), 2);
    EXPECT_EQ(yearsEarlierThan(at(2024, 3, 11), at(2026, 3, 11)), 2);

    EXPECT_EQ(weeksFrom(at(2026, 3, 21), at(2026, 3, 11)), 1);  // ten days
    EXPECT_EQ(weeksFrom(at(2026, 3, 25), at(2026, 3, 11)), 2);
    EXPECT_EQ(weeksFrom(at(2026, 1, 5), at(2025, 12, 22)), 2);  // across the new year
    EXPECT_EQ(weeksEarlierThan(at(2026, 3, 11), at(2026, 3, 25)), 2);
    EXPECT_EQ(weeksLaterThan(at(2026, 3, 11), at(2026, 3, 25)), 0);

    ns::Date ninetyMinutesAgo = ns::Date::now().addingTimeInterval(-90 * 60);
    EXPECT_DOUBLE_EQ(hoursAgo(ninetyMinutesAgo), 1.5);
    EXPECT_DOUBLE_EQ(minutesAgo(ninetyMinutesAgo), 90);
    EXPECT_DOUBLE_EQ(secondsAgo(ninetyMinutesAgo), 5400);
    EXPECT_DOUBLE_EQ(hoursUntil(ninetyMinutesAgo), 0);
    EXPECT_DOUBLE_EQ(hoursFrom(ninetyMinutesAgo, ns::Date::now()), -1.5);
    EXPECT_DOUBLE_EQ(minutesFrom(ns::Date::now(), ninetyMinutesAgo), 90);
    EXPECT_DOUBLE_EQ(secondsLaterThan(ns::Date::now(), ninetyMinutesAgo), 5400);
    EXPECT_DOUBLE_EQ(hoursEarlierThan(ninetyMinutesAgo, ns::Date::now()), 1.5);
    EXPECT_DOUBLE_EQ(minutesLaterThan(ninetyMinutesAgo, ns::Date::now()), 0);
    EXPECT_DOUBLE_EQ(secondsEarlierThan(ns::Date::now(), ninetyMinutesAgo), 0);
    EXPECT_DOUBLE_EQ(hoursLaterThan(ns::Date::now(), ninetyMinutesAgo), 1.5);
    EXPECT_DOUBLE_EQ(minutesEarlierThan(ninetyMinutesAgo, ns::Date::now()), 90);

    ns::Date inTenDays = dateByAddingDays(ns::Date::now(), 10);
    EXPECT_EQ(daysUntil(inTenDays), 10);
    EXPECT_EQ(weeksUntil(inTenDays), 1);
    EXPECT_EQ(daysAgo(inTenDays), 0);
    EXPECT_EQ(weeksAgo(dateBySubtractingWeeks(ns::Date::now(), 3)), 3);
    EXPECT_EQ(monthsAgo(dateBySubtractingMonths(ns::Date::now(), 5)), 5);
    EXPECT_EQ(monthsUntil(dateByAddingMonths(ns::Date::now(), 5)), 5);
    EXPECT_EQ(yearsAgo(dateBySubtractingYears(ns::Date::now(), 4)), 4);
    EXPECT_EQ(yearsUntil(dateBySubtractingYears(ns::Date::now(), 4)), 0);
    EXPECT_DOUBLE_EQ(minutesUntil(ns::Date::now().addingTimeInterval(30)), 0.5);
    EXPECT_DOUBLE_EQ(secondsUntil(ns::Date::now().addingTimeInterval(30)), 30);

    // An explicit calendar counts in its own zone: 23:30 to 00:30 in Berlin is one day there, none in UTC
    // where both fall on the same day.
    ns::Calendar inUTC;
    inUTC.setTimeZone(utc());
    EXPECT_EQ(daysFrom(at(2026, 3, 12, 0, 30), at(2026, 3, 11, 0, 30), &inUTC), 1);
    EXPECT_EQ(yearsFrom(at(2026, 1, 1, 0, 30), at(2025, 1, 1, 0, 30), &inUTC), 1);
}

TEST_F(DateUtilTest, OrderingComparesInstants) {
    ns::Date a = at(2026, 3, 11, 12, 0);
    ns::Date b = a.addingTimeInterval(0.25);
    EXPECT_TRUE(isEarlierThan(a, b));
    EXPECT_FALSE(isEarlierThan(a, a));
    EXPECT_TRUE(isLaterThan(b, a));
    EXPECT_FALSE(isLaterThan(a, a));
    EXPECT_TRUE(isEarlierThanOrEqualTo(a, a));
    EXPECT_FALSE(isEarlierThanOrEqualTo(b, a));
    EXPECT_TRUE(isLaterThanOrEqualTo(a, a));
    EXPECT_FALSE(isLaterThanOrEqualTo(a, b));
}

TEST_F(DateUtilTest, ParsingAndFormattingThroughSharedFormatters) {
    auto parsed = dateWithString("2026-03-11 12:30", "yyyy-MM-dd HH:mm", utc());
    ASSERT_TRUE(parsed.has_value());
    EXPECT_DOUBLE_EQ(parsed->timeIntervalSince1970(), 1773232200.0);
    EXPECT_FALSE(dateWithString("11.03.2026", "yyyy-MM-dd", utc()).has_value());
    EXPECT_FALSE(dateWithString("2026-03-11 12:30 trailing", "yyyy-MM-dd HH:mm", utc()).has_value());

    ns::Date date = *parsed;
    EXPECT_EQ(formattedDateWithFormat(date, "yyyy-MM-dd HH:mm", utc(), ns::Locale("en_US")), "2026-03-11 12:30");
    EXPECT_EQ(formattedDateWithFormat(date, "HH:mm", *ns::TimeZone::named("Asia/Shanghai"), ns::Locale("en_US")),
              "20:30");
    EXPECT_EQ(formattedDateWithFormat(date, "EEEE", utc(), ns::Locale("de_DE")), "Mittwoch");
    // The style form shows the date only.
    EXPECT_EQ(formattedDateWithStyle(date, ns::DateFormatterStyle::Long, utc(), ns::Locale("en_US")),
              "March 11, 2026");
    EXPECT_EQ(formattedDateWithStyle(date, ns::DateFormatterStyle::Long, utc(), ns::Locale("de_DE")),
              "11. März 2026");
    EXPECT_EQ(formattedDateWithStyle(date, ns::DateFormatterStyle::None, utc(), ns::Locale("en_US")), "");
}

TEST_F(DateUtilTest, SharedFormattersServeThreadsOneAtATime) {
    // Every thread reconfigures the same formatters with its own zone; without the lock a thread would
    // format or parse with another thread's settings.
    const ns::Date date = at(2026, 3, 11, 12, 0);
    const char* zones[] = {"UTC", "Asia/Shanghai", "America/New_York", "Asia/Kolkata"};
    const char* expected[] = {"11:00", "19:00", "07:00", "16:30"};
    std::vector<std::thread> threads;
    std::vector<int> failures(4, 0);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            ns::TimeZone zone = *ns::TimeZone::named(zones[t]);
            for (int round = 0; round < 200; ++round) {
                if (formattedDateWithFormat(date, "HH:mm", zone, ns::Locale("en_US")) != expected[t]) ++failures[t];
                auto back = dateWithString(std::string("2026-03-11 ") + expected[t], "yyyy-MM-dd HH:mm", zone);
                if (!back || *back != date) ++failures[t];
            }
        });
    }
    for (auto& thread : threads) thread.join();
    for (int t = 0; t < 4; ++t) EXPECT_EQ(failures[t], 0) << zones[t];
}

TEST_F(DateUtilInUTCTest, AmountsBeyondTheCalendarsReachLeaveTheDateAsItWas) {
    const ns::Date date = at(2021, 3, 27);
    // Far but within reach: counted exactly, on the right side.
    EXPECT_EQ(year(dateByAddingYears(date, 5'000'000)), 5'002'021);
    EXPECT_EQ(year(dateByAddingMonths(date, 60'000'000)), 5'002'021);
    const ns::Date longAgo = dateBySubtractingYears(date, 5'000'000);
    EXPECT_EQ(era(longAgo), 0);
    EXPECT_EQ(year(longAgo), 4'997'980);  // 2021 - 5,000,000 is 4,997,980 before year 1
    EXPECT_EQ(dateByAddingDays(date, 2'000'000'000).timeIntervalSinceDate(date), 2e9 * 86400);
    EXPECT_EQ(dateBySubtractingWeeks(date, 200'000'000).timeIntervalSinceDate(date), -2e8 * 7 * 86400);

    // Beyond reach, however the amount compares with 32 bits.
    EXPECT_EQ(dateByAddingYears(date, 10'000'000), date);
    EXPECT_EQ(dateByAddingMonths(date, 100'000'000), date);
    EXPECT_EQ(dateBySubtractingYears(date, 2'147'483'647), date);
    EXPECT_EQ(dateByAddingYears(date, std::numeric_limits<std::int32_t>::min()), date);
    EXPECT_EQ(dateBySubtractingMonths(date, std::numeric_limits<std::int32_t>::max()), date);
    EXPECT_EQ(dateByAddingDays(date, std::numeric_limits<std::int32_t>::max()), date);
    EXPECT_EQ(dateByAddingSeconds(date, std::numeric_limits<std::int64_t>::max() - 1), date);
    EXPECT_EQ(dateByAddingHours(date, std::numeric_limits<std::int64_t>::min()), date);

    // The smallest amount has no negation.
    constexpr std::int64_t smallest = std::numeric_limits<std::int64_t>::min();
    EXPECT_EQ(dateBySubtractingYears(date, smallest), date);
    EXPECT_EQ(dateBySubtractingMonths(date, smallest), date);
    EXPECT_EQ(dateBySubtractingWeeks(date, smallest), date);
    EXPECT_EQ(dateBySubtractingDays(date, smallest), date);
    EXPECT_EQ(dateBySubtractingHours(date, smallest), date);
    EXPECT_EQ(dateBySubtractingMinutes(date, smallest), date);
    EXPECT_EQ(dateBySubtractingSeconds(date, smallest), date);
}
