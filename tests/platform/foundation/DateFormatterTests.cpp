#include <gtest/gtest.h>

#include "platform/foundation/DateFormatter.h"

using namespace ql::ns;

namespace {

DateFormatter formatter(std::string format, std::string_view zone, std::string locale = "en_US_POSIX") {
    DateFormatter f;
    f.setLocale(Locale(std::move(locale)));
    f.setTimeZone(*TimeZone::named(zone));
    f.setDateFormat(std::move(format));
    return f;
}

}  // namespace

TEST(DateFormatter, FormatsInTheFormattersZone) {
    Date epoch = Date::fromTimeIntervalSince1970(0);
    EXPECT_EQ(formatter("yyyy-MM-dd HH:mm:ss", "Asia/Shanghai").stringFromDate(epoch), "1970-01-01 08:00:00");
    EXPECT_EQ(formatter("yyyy-MM-dd HH:mm:ss", "America/New_York").stringFromDate(epoch), "1969-12-31 19:00:00");
    EXPECT_EQ(formatter("EEE, dd MMM yyyy HH:mm:ss zzz", "GMT").stringFromDate(epoch), "Thu, 01 Jan 1970 00:00:00 GMT");
    EXPECT_EQ(formatter("HH:mm:ss.SSS", "UTC").stringFromDate(Date::fromTimeIntervalSince1970(1.25)), "00:00:01.250");
    EXPECT_EQ(formatter("yyyy-MM-dd'T'HH:mm:ssZZZZZ", "GMT+8").stringFromDate(epoch), "1970-01-01T08:00:00+08:00");
    // Literal Chinese text needs no quoting.
    EXPECT_EQ(formatter("今天 HH:mm", "Asia/Shanghai", "zh_CN").stringFromDate(epoch), "今天 08:00");
    EXPECT_EQ(formatter("MM-dd HH:mm", "Asia/Shanghai", "zh_CN").stringFromDate(epoch), "01-01 08:00");

    DateFormatter empty;
    EXPECT_EQ(empty.stringFromDate(epoch), "");
    EXPECT_FALSE(empty.dateFromString("1970"));
}

TEST(DateFormatter, ParsesRoundTripsAcrossZones) {
    const Date moments[] = {Date::fromTimeIntervalSince1970(0), Date::fromTimeIntervalSince1970(1420417800),
                            Date::fromTimeIntervalSince1970(1710046800),  // New York's spring change
                            Date::fromTimeIntervalSince1970(-2208988800)};
    for (std::string_view zone : {"UTC", "Asia/Shanghai", "America/New_York", "Asia/Kolkata", "GMT-0330"}) {
        DateFormatter f = formatter("yyyy-MM-dd HH:mm:ss", zone);
        for (Date moment : moments) {
            std::string text = f.stringFromDate(moment);
            EXPECT_EQ(f.dateFromString(text), moment) << zone << " " << text;
        }
    }
    // The same text names different moments in different zones.
    EXPECT_EQ(formatter("yyyy-MM-dd HH:mm", "Asia/Shanghai").dateFromString("2015-01-05 08:30"),
              Date::fromTimeIntervalSince1970(1420417800));
    EXPECT_EQ(formatter("yyyy-MM-dd HH:mm", "UTC").dateFromString("2015-01-05 08:30"),
              Date::fromTimeIntervalSince1970(1420417800 + 8 * 3600));
    // Fields the pattern lacks come from 1970-01-01 in the formatter's zone.
    EXPECT_EQ(formatter("HH:mm", "UTC").dateFromString("12:30"), Date::fromTimeIntervalSince1970(45000));
    EXPECT_EQ(formatter("yyyy-MM-dd", "Asia/Shanghai").dateFromString("1970-01-02"),
              Date::fromTimeIntervalSince1970(86400 - 8 * 3600));
}

TEST(DateFormatter, ParsingIsStrict) {
    DateFormatter f = formatter("yyyy-MM-dd HH:mm:ss", "UTC");
    // Numeric fields must have the pattern's width.
    for (const char* bad : {"", "2015-01-05", "2015-1-5 8:30:00", "2015-01-05 08:30:00x", "x2015-01-05 08:30:00",
                            "2015-02-30 08:30:00", "2015-13-01 00:00:00", "2015-01-05 25:00:00", "二〇一五"}) {
        EXPECT_FALSE(f.dateFromString(bad)) << bad;
    }
    EXPECT_EQ(f.dateFromString("2015-01-05 08:30:00"), Date::fromTimeIntervalSince1970(1420446600));
    EXPECT_EQ(formatter("dd MMM yyyy", "UTC").dateFromString("05 Jan 2015"),
              Date::fromTimeIntervalSince1970(1420416000));
    EXPECT_FALSE(formatter("dd MMM yyyy", "UTC").dateFromString("05 Foo 2015"));
}

TEST(DateFormatter, StylesGiveTheLocalesPatterns) {
    DateFormatter f;
    f.setLocale(Locale("en_US"));
    f.setTimeZone(TimeZone::gmt());
    f.setDateStyle(DateFormatterStyle::Long);
    EXPECT_EQ(f.dateStyle(), DateFormatterStyle::Long);
    EXPECT_EQ(f.timeStyle(), DateFormatterStyle::None);
    Date epoch = Date::fromTimeIntervalSince1970(0);
    EXPECT_EQ(f.stringFromDate(epoch), "January 1, 1970");
    EXPECT_EQ(f.dateFormat(), "MMMM d, y");

    f.setLocale(Locale("zh_CN"));
    EXPECT_EQ(f.stringFromDate(epoch), "1970年1月1日");

    f.setTimeStyle(DateFormatterStyle::Short);
    EXPECT_NE(f.stringFromDate(epoch).find("00:00"), std::string::npos) << f.stringFromDate(epoch);

    // A pattern takes over from the styles until a style is set again.
    f.setDateFormat("yyyy");
    f.setLocale(Locale("en_US"));
    EXPECT_EQ(f.stringFromDate(epoch), "1970");
    f.setDateStyle(DateFormatterStyle::None);
    f.setTimeStyle(DateFormatterStyle::None);
    EXPECT_EQ(f.dateFormat(), "");
    EXPECT_EQ(f.stringFromDate(epoch), "");
}

TEST(DateFormatter, CopiesAreIndependent) {
    DateFormatter original = formatter("HH:mm", "UTC");
    DateFormatter copy = original;
    copy.setTimeZone(*TimeZone::named("Asia/Tokyo"));
    Date epoch = Date::fromTimeIntervalSince1970(0);
    EXPECT_EQ(original.stringFromDate(epoch), "00:00");
    EXPECT_EQ(copy.stringFromDate(epoch), "09:00");
    EXPECT_EQ(copy.dateFormat(), "HH:mm");
}
