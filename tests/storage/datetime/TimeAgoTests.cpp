#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "storage/datetime/TimeAgo.h"
#include "tests/storage/datetime/DateTestSupport.h"

using namespace ql;
using namespace ql::DateUtil;

namespace {

class TimeAgoTest : public datetest::FixedDateSettings {
protected:
    static void speak(std::string language) { ns::Locale::setPreferredLanguages(std::vector<std::string>{language}); }
    ns::Date now = ns::Date::now();
    std::string daysAgo(std::int64_t days) const {
        return timeAgoSinceDate(DateUtil::dateBySubtractingDays(now, days), now);
    }
};

}  // namespace

TEST_F(TimeAgoTest, PicksTheLargestUnitAndTheStyle) {
    // Equal dates: seconds with a count of 0.
    EXPECT_EQ(timeAgoSinceDateFormat(now, now, TPAgoStyleWords), "Just now");
    EXPECT_EQ(timeAgoSinceDateFormat(now, now, TPAgoStyleNumericDates), "Just now");
    EXPECT_EQ(timeAgoSinceDateFormat(now, now, TPAgoStyleNumericAll), "1 second ago");
    EXPECT_EQ(timeAgoSinceDateFormat(now, now, TPAgoStyleNumericTimes), "1 second ago");
    EXPECT_EQ(timeAgoSinceDateFormat(now, now, TPAgoStyleShort), "0s");
    EXPECT_EQ(timeAgoSinceDateFormat(now, now, 9), "Just now");

    // The order of the dates does not matter.
    EXPECT_EQ(timeAgoSinceDate(now.addingTimeInterval(90), now), "A minute ago");
    EXPECT_EQ(timeAgoSinceDate(now.addingTimeInterval(-90), now), "A minute ago");
    EXPECT_EQ(timeAgoSinceDate(now, now.addingTimeInterval(-119)), "A minute ago");
    EXPECT_EQ(timeAgoSinceDate(now, now.addingTimeInterval(-120)), "2 minutes ago");
    EXPECT_EQ(timeAgoSinceDate(now, now.addingTimeInterval(-45), false, true), "45 seconds ago");
    EXPECT_EQ(timeAgoSinceDate(now, now.addingTimeInterval(-3600), false, true), "1 hour ago");
    EXPECT_EQ(timeAgoSinceDate(now, now.addingTimeInterval(-3600), true, false), "An hour ago");
    EXPECT_EQ(timeAgoSinceDate(now, now.addingTimeInterval(-(23 * 3600 + 59 * 60))), "23 hours ago");

    // From 24 hours on, calendar days count.
    EXPECT_EQ(timeAgoSinceDate(at(2026, 3, 9, 23), at(2026, 3, 11, 5)), "2 days ago");  // 30 hours
    EXPECT_EQ(timeAgoSinceDate(at(2026, 3, 9, 20), at(2026, 3, 10, 20)), "Yesterday");
    EXPECT_EQ(timeAgoSinceDate(at(2026, 3, 9, 20), at(2026, 3, 10, 20), true), "1 day ago");
    EXPECT_EQ(timeAgoSinceDate(at(2026, 3, 9, 20), at(2026, 3, 10, 20), false, true), "Yesterday");
    EXPECT_EQ(daysAgo(10), "Last week");
    EXPECT_EQ(timeAgoSinceDate(DateUtil::dateBySubtractingDays(now, 10), now, true), "1 week ago");
    EXPECT_EQ(daysAgo(15), "2 weeks ago");
    EXPECT_EQ(timeAgoSinceDate(at(2026, 1, 11), now), "2 months ago");
    EXPECT_EQ(timeAgoSinceDate(at(2025, 3, 1), now), "Last year");
    EXPECT_EQ(timeAgoSinceDate(at(2023, 3, 1), now), "3 years ago");

    // The short style never uses a word form.
    EXPECT_EQ(shortTimeAgoSinceDate(at(2025, 3, 1), now), "1y");
    EXPECT_EQ(shortTimeAgoSinceDate(at(2026, 1, 11), now), "2M");
    EXPECT_EQ(shortTimeAgoSinceDate(DateUtil::dateBySubtractingDays(now, 10), now), "1w");
    EXPECT_EQ(shortTimeAgoSinceDate(now.addingTimeInterval(-5 * 60)), "5m");
    EXPECT_EQ(shortTimeAgoSinceNow(now.addingTimeInterval(-2 * 3600)), "2h");
    EXPECT_EQ(timeAgoSinceNow(DateUtil::dateBySubtractingDays(now, 3)), "3 days ago");
    EXPECT_EQ(timeAgoSinceDate(DateUtil::dateBySubtractingDays(now, 3)), "3 days ago");

    EXPECT_FALSE(localizedStringFor(TPAgoStyleWords, 7, 1).has_value());
    EXPECT_EQ(localizedStringFor(TPAgoStyleNumericAll, TPAgoUnitWeeks, 1), "1 week ago");
}

TEST_F(TimeAgoTest, RussianAndUkrainianPluralForms) {
    speak("ru");
    for (std::int64_t count : {21, 101, 1}) EXPECT_EQ(getLocaleFormatUnderscoresWithValue(count), "__") << count;
    for (std::int64_t count : {2, 3, 4, 22}) EXPECT_EQ(getLocaleFormatUnderscoresWithValue(count), "_") << count;
    for (std::int64_t count : {0, 5, 11, 12, 14, 19, 20, 25, 111, 112})
        EXPECT_EQ(getLocaleFormatUnderscoresWithValue(count), "") << count;
    EXPECT_EQ(getLocaleFormatUnderscoresWithValue(21.9), "__");

    EXPECT_EQ(daysAgo(2), "2 дня назад");
    EXPECT_EQ(daysAgo(5), "5 дней назад");
    EXPECT_EQ(logicLocalizedStringFromFormat("%%d %@days ago", 21), "21 день назад");
    EXPECT_EQ(logicLocalizedStringFromFormat("%%d %@days ago", 101), "101 день назад");
    EXPECT_EQ(logicLocalizedStringFromFormat("%%d %@days ago", 22), "22 дня назад");
    EXPECT_EQ(logicLocalizedStringFromFormat("%%d %@days ago", 111), "111 дней назад");
    EXPECT_EQ(logicLocalizedStringFromFormat("%%d %@years ago", 3), "3 года назад");
    EXPECT_EQ(logicLocalizedStringFromFormat("%%d %@minutes ago", 21), "21 минуту назад");
    EXPECT_EQ(timeAgoSinceDate(at(2026, 3, 9, 20), at(2026, 3, 10, 20)), "Вчера");
    EXPECT_EQ(timeAgoSinceDate(now, now, true, true), "1 секунду назад");
    // The short style with a count of 1 takes the "one" form.
    EXPECT_EQ(shortTimeAgoSinceDate(at(2025, 3, 1), now), "1г");
    EXPECT_EQ(logicLocalizedStringFromFormat("%%d%@y", 5), "5л");

    speak("uk");
    EXPECT_EQ(daysAgo(2), "2 дні тому");
    EXPECT_EQ(daysAgo(7), "Минулого тижня");
    EXPECT_EQ(timeAgoSinceDate(DateUtil::dateBySubtractingDays(now, 7), now, true), "1 тиждень тому");
    EXPECT_EQ(daysAgo(5), "5 днів тому");
    EXPECT_EQ(logicLocalizedStringFromFormat("%%d %@days ago", 21), "21 день тому");
    EXPECT_EQ(logicLocalizedStringFromFormat("%%d %@days ago", 11), "11 днів тому");
    EXPECT_EQ(logicLocalizedStringFromFormat("%%d %@hours ago", 3), "3 години тому");
    EXPECT_EQ(timeAgoSinceDate(at(2023, 3, 1), now), "3 роки тому");
    EXPECT_EQ(timeAgoSinceDate(now.addingTimeInterval(-30), now), "30 секунд тому");
    EXPECT_EQ(timeAgoSinceDate(now, now), "Щойно");

    // Any other language has one form for every count of 2 and more.
    speak("de");
    EXPECT_EQ(getLocaleFormatUnderscoresWithValue(21), "");
    EXPECT_EQ(getLocaleFormatUnderscoresWithValue(2), "");
    EXPECT_EQ(logicLocalizedStringFromFormat("%%d %@days ago", 21), "21 days ago");
}

TEST_F(TimeAgoTest, TranslationsAreNeverFormatStrings) {
    // A key the table lacks reads as itself; its placeholders other than the count's stay as written.
    EXPECT_EQ(logicLocalizedStringFromFormat("%%d %@widgets %s %@ %%", 3), "3 widgets %s  %");
    EXPECT_EQ(logicLocalizedStringFromFormat("%%ld%@x %n%", 7), "7x %n%");
}
