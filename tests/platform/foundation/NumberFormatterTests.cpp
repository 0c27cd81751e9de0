#include <gtest/gtest.h>

#include "platform/foundation/NumberFormatter.h"

using namespace ql::ns;

namespace {

NumberFormatter formatter(NumberFormatterStyle style, std::string locale = "en_US_POSIX") {
    NumberFormatter f;
    f.setNumberStyle(style);
    f.setLocale(Locale(std::move(locale)));
    return f;
}

}  // namespace

TEST(NumberFormatter, PlainStyleReadsOnlyWholePlainNumbers) {
    NumberFormatter plain = formatter(NumberFormatterStyle::None);
    auto integer = plain.numberFromString("42");
    ASSERT_TRUE(integer);
    EXPECT_TRUE(integer->isInteger());
    EXPECT_EQ(integer->int64Value(), 42);
    auto fraction = plain.numberFromString("-1.5");
    ASSERT_TRUE(fraction);
    EXPECT_TRUE(fraction->isDouble());
    EXPECT_EQ(fraction->doubleValue(), -1.5);
    EXPECT_EQ(plain.numberFromString("9007199254740993")->int64Value(), 9007199254740993);
    for (const char* bad : {"", "12abc", "abc", "1,234", "1 2", "--1", " "}) {
        EXPECT_FALSE(plain.numberFromString(bad)) << bad;
    }

    EXPECT_EQ(plain.stringFromNumber(1234.5), "1234");  // rounded half to even
    EXPECT_EQ(plain.stringFromNumber(1235.5), "1236");
    EXPECT_EQ(plain.stringFromNumber(std::int64_t{-9007199254740993}), "-9007199254740993");
    EXPECT_EQ(plain.stringFromNumber(true), "1");
    EXPECT_FALSE(plain.stringFromNumber("12"));
    EXPECT_FALSE(plain.stringFromNumber(Value()));
}

TEST(NumberFormatter, DecimalAndPercentStyles) {
    NumberFormatter decimal = formatter(NumberFormatterStyle::Decimal, "en_US");
    EXPECT_TRUE(decimal.usesGroupingSeparator());
    EXPECT_EQ(decimal.maximumFractionDigits(), 3u);
    EXPECT_EQ(decimal.stringFromNumber(1234567.891), "1,234,567.891");
    EXPECT_EQ(decimal.stringFromNumber(0.12345), "0.123");
    EXPECT_EQ(decimal.numberFromString("1,234.5")->doubleValue(), 1234.5);
    EXPECT_EQ(decimal.numberFromString("1234")->int64Value(), 1234);

    decimal.setUsesGroupingSeparator(false);
    decimal.setMinimumFractionDigits(2);
    EXPECT_EQ(decimal.stringFromNumber(1234), "1234.00");
    decimal.setMaximumFractionDigits(2);
    EXPECT_EQ(decimal.stringFromNumber(2.345), "2.34");  // 2.345 is just below 2.345 as a double
    // A new style starts from its own settings.
    decimal.setNumberStyle(NumberFormatterStyle::Decimal);
    EXPECT_EQ(decimal.stringFromNumber(1234), "1,234");

    NumberFormatter percent = formatter(NumberFormatterStyle::Percent, "en_US");
    EXPECT_EQ(percent.stringFromNumber(0.25), "25%");
    EXPECT_EQ(percent.stringFromNumber(12.5), "1,250%");
    EXPECT_EQ(percent.numberFromString("25%")->doubleValue(), 0.25);
    EXPECT_FALSE(percent.numberFromString("25"));
}

TEST(NumberFormatter, LocalesDecideTheSeparators) {
    NumberFormatter german = formatter(NumberFormatterStyle::Decimal, "de_DE");
    EXPECT_EQ(german.stringFromNumber(1234.5), "1.234,5");
    EXPECT_EQ(german.numberFromString("1.234,5")->doubleValue(), 1234.5);
    // The POSIX locale reads the program's own number texts the same everywhere.
    NumberFormatter posix = formatter(NumberFormatterStyle::None);
    EXPECT_EQ(posix.numberFromString("1234.5")->doubleValue(), 1234.5);
    EXPECT_FALSE(posix.numberFromString("1234,5"));

    NumberFormatter copy = german;
    copy.setLocale(Locale("en_US"));
    EXPECT_EQ(german.stringFromNumber(0.5), "0,5");
    EXPECT_EQ(copy.stringFromNumber(0.5), "0.5");
}
