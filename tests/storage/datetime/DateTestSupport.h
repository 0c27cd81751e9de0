#pragma once
// Fixes the time zone, the locale, the preferred languages and the clock for date tests, so that no
// answer depends on the machine's settings or the time of day the tests run.

#include <gtest/gtest.h>

#include <string>

#include "platform/foundation/Clock.h"
#include "platform/foundation/Locale.h"
#include "platform/foundation/TimeZone.h"
#include "storage/datetime/DateUtil.h"

namespace ql::datetest {

class FixedDateSettings : public ::testing::Test {
protected:
    explicit FixedDateSettings(const char* zone = "Europe/Berlin") {
        ns::TimeZone::setDefault(ns::TimeZone::named(zone));
        ns::Locale::setCurrent(ns::Locale("en_US"));
        ns::Locale::setPreferredLanguages(std::vector<std::string>{"en"});
        DateUtil::setDefaultCalendarIdentifier(std::string(ns::CalendarIdentifierGregorian));
    }
    ~FixedDateSettings() override {
        ns::TimeZone::setDefault(std::nullopt);
        ns::Locale::setCurrent(std::nullopt);
        ns::Locale::setPreferredLanguages(std::nullopt);
    }

    // A wall-clock time in the fixed zone.
    static ns::Date at(std::int64_t year, std::int64_t month, std::int64_t day, std::int64_t hour = 0,
                       std::int64_t minute = 0, std::int64_t second = 0) {
        auto date = DateUtil::dateWithYear(year, month, day, hour, minute, second);
        EXPECT_TRUE(date.has_value());
        return date.value_or(ns::Date());
    }

    // 2026-03-11 12:00 in Berlin (a Wednesday).
    ns::ManualClockScope clock{1773226800.0};
};

}  // namespace ql::datetest
