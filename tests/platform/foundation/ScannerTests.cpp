#include <gtest/gtest.h>

#include <cmath>

#include "platform/foundation/Exception.h"
#include "platform/foundation/Scanner.h"

using namespace ql::ns;

TEST(Scanner, ScansStringsAndSkipsWhiteSpace) {
    Scanner scanner("  width = 42px;\n height=7 ");
    std::string text;
    EXPECT_TRUE(scanner.scanUpToString("=", &text));
    EXPECT_EQ(text, "width ");  // skipped characters are left out only at the start
    EXPECT_TRUE(scanner.scanString("=", &text));
    std::int32_t number = 0;
    EXPECT_TRUE(scanner.scanInt(&number));
    EXPECT_EQ(number, 42);
    EXPECT_EQ(scanner.scanLocation(), 12u);
    // Case is ignored unless asked for; `into` gets the text as it stands.
    EXPECT_TRUE(scanner.scanString("PX", &text));
    EXPECT_EQ(text, "px");
    EXPECT_FALSE(scanner.scanUpToString(";"));  // already there
    EXPECT_TRUE(scanner.scanString(";"));
    scanner.setCaseSensitive(true);
    EXPECT_FALSE(scanner.scanString("HEIGHT"));
    scanner.setCaseSensitive(false);
    EXPECT_TRUE(scanner.scanCharactersFromSet(CharacterSet::letterCharacterSet(), &text));
    EXPECT_EQ(text, "height");
    EXPECT_TRUE(scanner.scanString("="));
    EXPECT_TRUE(scanner.scanInt(&number));
    EXPECT_EQ(number, 7);
    EXPECT_TRUE(scanner.isAtEnd());  // only white space is left
    EXPECT_EQ(scanner.scanLocation(), 25u);
    EXPECT_FALSE(scanner.scanUpToString("x"));
    EXPECT_FALSE(scanner.scanString(""));

    Scanner mixed("abcABC");
    EXPECT_FALSE(mixed.scanUpToString("ABC"));  // found at once when case is ignored
    mixed.setCaseSensitive(true);
    EXPECT_TRUE(mixed.scanUpToString("ABC", &text));
    EXPECT_EQ(text, "abc");
    // Simple case folding pairs letters beyond ASCII too.
    Scanner greek("ΣΟΦΙΑ σοφια");
    EXPECT_TRUE(greek.scanString("σοφια", &text));
    EXPECT_EQ(text, "ΣΟΦΙΑ");
}

TEST(Scanner, LocationsCountUTF16UnitsOverChineseAndEmoji) {
    Scanner scanner("名字：😀张三,李四");
    std::string text;
    EXPECT_TRUE(scanner.scanUpToString("张", &text));
    EXPECT_EQ(text, "名字：😀");
    EXPECT_EQ(scanner.scanLocation(), 5u);
    EXPECT_TRUE(scanner.scanUpToCharactersFromSet(CharacterSet::characterSetWithCharactersInString(","), &text));
    EXPECT_EQ(text, "张三");
    EXPECT_EQ(scanner.scanLocation(), 7u);
    scanner.setScanLocation(3);
    EXPECT_TRUE(scanner.scanCharactersFromSet(CharacterSet::characterSetWithCharactersInString("😀"), &text));
    EXPECT_EQ(text, "😀");
    EXPECT_EQ(scanner.scanLocation(), 5u);
    scanner.setScanLocation(10);
    EXPECT_TRUE(scanner.isAtEnd());
    EXPECT_THROW(scanner.setScanLocation(11), Exception);
}

TEST(Scanner, IntegersOverflowToTheirLimits) {
    auto scanInt = [](std::string_view text, std::int32_t* value) { return Scanner(text).scanInt(value); };
    std::int32_t i = 0;
    EXPECT_TRUE(scanInt("+5", &i));
    EXPECT_EQ(i, 5);
    EXPECT_TRUE(scanInt("-2147483648", &i));
    EXPECT_EQ(i, INT32_MIN);
    EXPECT_TRUE(scanInt("2147483648", &i));
    EXPECT_EQ(i, INT32_MAX);
    EXPECT_TRUE(scanInt("-99999999999", &i));
    EXPECT_EQ(i, INT32_MIN);
    std::int64_t l = 0;
    EXPECT_TRUE(Scanner("-9223372036854775808").scanLongLong(&l));
    EXPECT_EQ(l, INT64_MIN);
    Scanner huge("9223372036854775808000 next");
    EXPECT_TRUE(huge.scanInteger(&l));
    EXPECT_EQ(l, INT64_MAX);
    EXPECT_EQ(huge.scanLocation(), 22u);  // every digit is consumed

    // Failures leave the location alone, skipped white space included.
    for (const char* bad : {"", "  x", "-", "+ 1", "--1"}) {
        Scanner scanner(bad);
        EXPECT_FALSE(scanner.scanInt(&i)) << bad;
        EXPECT_EQ(scanner.scanLocation(), 0u) << bad;
    }
    Scanner noSkipping(" 5");
    noSkipping.setCharactersToBeSkipped(std::nullopt);
    EXPECT_FALSE(noSkipping.scanInt(&i));
    // A whole 32-bit integer and nothing else, as a pure-integer test reads it.
    Scanner pure("12");
    EXPECT_TRUE(pure.scanInt(nullptr) && pure.isAtEnd());
    Scanner impure("12.5");
    EXPECT_FALSE(impure.scanInt(nullptr) && impure.isAtEnd());
}

TEST(Scanner, HexadecimalAndFloatingPoint) {
    std::uint32_t h = 0;
    EXPECT_TRUE(Scanner("0x1F").scanHexInt(&h));
    EXPECT_EQ(h, 31u);
    EXPECT_TRUE(Scanner("ffZ").scanHexInt(&h));
    EXPECT_EQ(h, 255u);
    Scanner zeroX("0xg");
    EXPECT_TRUE(zeroX.scanHexInt(&h));
    EXPECT_EQ(h, 0u);
    EXPECT_EQ(zeroX.scanLocation(), 1u);
    EXPECT_TRUE(Scanner("FFFFFFFFF").scanHexInt(&h));
    EXPECT_EQ(h, UINT32_MAX);
    EXPECT_FALSE(Scanner("xyz").scanHexInt(&h));

    double d = 0;
    Scanner scientific(" 3.25e2x");
    EXPECT_TRUE(scientific.scanDouble(&d));
    EXPECT_EQ(d, 325.0);
    EXPECT_EQ(scientific.scanLocation(), 7u);
    EXPECT_TRUE(Scanner(".5").scanDouble(&d));
    EXPECT_EQ(d, 0.5);
    EXPECT_TRUE(Scanner("-7.").scanDouble(&d));
    EXPECT_EQ(d, -7.0);
    Scanner bareExponent("1e");
    EXPECT_TRUE(bareExponent.scanDouble(&d));
    EXPECT_EQ(d, 1.0);
    EXPECT_EQ(bareExponent.scanLocation(), 1u);
    EXPECT_TRUE(Scanner("-0.0").scanDouble(&d));
    EXPECT_TRUE(std::signbit(d));
    EXPECT_TRUE(Scanner("1e400").scanDouble(&d));
    EXPECT_TRUE(std::isinf(d));
    EXPECT_TRUE(Scanner("-1e-400").scanDouble(&d));
    EXPECT_EQ(d, 0.0);
    EXPECT_TRUE(Scanner("0.000001e-320").scanDouble(&d));
    EXPECT_EQ(d, 0.0);
    for (const char* bad : {".", "-.", "e5", "+"}) EXPECT_FALSE(Scanner(bad).scanDouble(&d)) << bad;
}
