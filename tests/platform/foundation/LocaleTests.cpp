#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Locale.h"
#include "platform/foundation/TimeZone.h"

using namespace ql::ns;

TEST(Locale, IdentifiersAndTheirParts) {
    EXPECT_EQ(Locale("zh_CN").languageCode(), "zh");
    EXPECT_EQ(Locale("zh_CN").countryCode(), "CN");
    EXPECT_EQ(Locale("en_US_POSIX").languageCode(), "en");
    EXPECT_EQ(Locale("en_US_POSIX").countryCode(), "US");
    EXPECT_EQ(Locale("fr").countryCode(), "");
    EXPECT_EQ(Locale("en_US_POSIX").localeIdentifier(), "en_US_POSIX");
}

TEST(Locale, ThePhoneSettingsOverrideTheHost) {
    Locale::setCurrent(Locale("zh_CN"));
    Locale::setPreferredLanguages(std::vector<std::string>{"zh-Hans-CN", "en-US"});
    EXPECT_EQ(Locale::current(), Locale("zh_CN"));
    EXPECT_EQ(Locale::preferredLanguages(), (std::vector<std::string>{"zh-Hans-CN", "en-US"}));

    Locale::setCurrent(std::nullopt);
    Locale::setPreferredLanguages(std::nullopt);
    // The host's own: whatever it is, it is a language tag, never a POSIX name.
    for (const std::string& language : Locale::preferredLanguages()) {
        EXPECT_EQ(language.find('_'), std::string::npos) << language;
        EXPECT_EQ(language.find('.'), std::string::npos) << language;
    }
    EXPECT_FALSE(Locale::current().localeIdentifier().empty());
}

TEST(Locale, TheCLocaleIsPlainAmericanEnglish) {
    // Under LANG=C or C.UTF-8 the host's locale is ICU's "en_US_POSIX", whose variant names no language.
    Locale::setPreferredLanguages(std::nullopt);
    const char* language = std::getenv("LANGUAGE");
    const std::optional<std::string> savedLanguage = language ? std::optional<std::string>(language) : std::nullopt;
    ::unsetenv("LANGUAGE");
    for (const char* identifier : {"en_US_POSIX", "C", "POSIX", "C.UTF-8"}) {
        Locale::setCurrent(Locale(identifier));
        EXPECT_EQ(Locale::preferredLanguages(), std::vector<std::string>{"en-US"}) << identifier;
    }
    Locale::setCurrent(Locale("de_DE_POSIX"));
    EXPECT_EQ(Locale::preferredLanguages(), std::vector<std::string>{"de-DE"});
    Locale::setCurrent(Locale("zh_CN"));
    EXPECT_EQ(Locale::preferredLanguages(), std::vector<std::string>{"zh-Hans-CN"});
    Locale::setCurrent(std::nullopt);
    if (savedLanguage) ::setenv("LANGUAGE", savedLanguage->c_str(), 1);
}

TEST(TimeZone, NamedZonesAndFixedOffsets) {
    auto shanghai = TimeZone::named("Asia/Shanghai");
    ASSERT_TRUE(shanghai);
    EXPECT_EQ(shanghai->name(), "Asia/Shanghai");
    EXPECT_EQ(shanghai->secondsFromGMT(Date::fromTimeIntervalSince1970(0)), 8 * 3600);
    EXPECT_FALSE(TimeZone::named("Nowhere/Atlantis"));

    EXPECT_EQ(TimeZone::gmt().name(), "GMT");
    EXPECT_EQ(TimeZone::forSecondsFromGMT(0)->name(), "GMT");
    EXPECT_EQ(TimeZone::forSecondsFromGMT(8 * 3600)->name(), "GMT+0800");
    EXPECT_EQ(TimeZone::forSecondsFromGMT(-(3 * 3600 + 1800))->name(), "GMT-0330");
    EXPECT_EQ(TimeZone::forSecondsFromGMT(5 * 3600 + 45 * 60)->secondsFromGMT(), 20700);
    EXPECT_FALSE(TimeZone::forSecondsFromGMT(18 * 3600 + 1));
    EXPECT_TRUE(TimeZone::forSecondsFromGMT(-18 * 3600));

    auto custom = TimeZone::named("GMT+8");
    ASSERT_TRUE(custom);
    EXPECT_EQ(custom->name(), "GMT+0800");
    EXPECT_EQ(custom->secondsFromGMT(), 28800);
    EXPECT_EQ(*custom, *TimeZone::forSecondsFromGMT(28800));
    EXPECT_FALSE(*custom == *shanghai);
}

TEST(TimeZone, DaylightSavingAndTheDefaultZone) {
    auto newYork = TimeZone::named("America/New_York");
    ASSERT_TRUE(newYork);
    Date winter = Date::fromTimeIntervalSince1970(1704067200);  // 2024-01-01 00:00 UTC
    Date summer = Date::fromTimeIntervalSince1970(1719792000);  // 2024-07-01 00:00 UTC
    EXPECT_EQ(newYork->secondsFromGMT(winter), -5 * 3600);
    EXPECT_EQ(newYork->secondsFromGMT(summer), -4 * 3600);
    EXPECT_FALSE(newYork->isDaylightSavingTime(winter));
    EXPECT_TRUE(newYork->isDaylightSavingTime(summer));

    TimeZone::setDefault(newYork);
    EXPECT_EQ(TimeZone::defaultTimeZone(), *newYork);
    TimeZone::setDefault(std::nullopt);
    EXPECT_EQ(TimeZone::defaultTimeZone(), TimeZone::system());
}
