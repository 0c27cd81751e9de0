#include "storage/foundation/UTVersion.h"

#include <gtest/gtest.h>

namespace ql {
namespace {

std::string printed(std::string_view text) {
    auto version = UTVersion::versionWithString(text);
    return version ? version->description() : "(nil)";
}

TEST(UTVersion, ParsesOnlyWholeDottedNumbers) {
    EXPECT_EQ(printed("1.2.3 beta"), "1.2.3");
    EXPECT_EQ(UTVersion::versionWithString("1.2.3 beta")->build(), 0u);
    EXPECT_EQ(printed("1.2.3\tx"), "1.2.3");
    for (std::string_view bad : {"1.2.3b", "v1.2", " 1.2", "1.2.3.4.5", "1.2.", "", ".1", "1..2"}) {
        EXPECT_FALSE(UTVersion::versionWithString(bad)) << bad;
    }
    EXPECT_FALSE(UTVersion::versionWithString(std::nullopt));

    auto ten = UTVersion::versionWithString("10");
    EXPECT_EQ(ten->major(), 10u);
    EXPECT_EQ(ten->minor() + ten->maintenance() + ten->build(), 0u);
    EXPECT_EQ(ten->description(), "10.0");
    EXPECT_EQ(printed("1.0.0.3"), "1.0.0.3");
    EXPECT_EQ(printed("1.0.2"), "1.0.2");
    EXPECT_EQ(printed("1.0.2.0"), "1.0.2");

    // Too large a group reads as the largest signed 64-bit number; parts print unsigned.
    EXPECT_EQ(UTVersion::versionWithString("99999999999999999999.1")->major(), 9223372036854775807u);
    EXPECT_EQ(UTVersion(4294967296u, 3000000000u, 0).description(), "4294967296.3000000000");
}

TEST(UTVersion, ComparesNumericallyAndEquatesAbsentParts) {
    auto v12 = UTVersion::versionWithString("1.2");
    auto v110 = UTVersion::versionWithString("1.10");
    EXPECT_TRUE(v12->isLessThenVersion(v110.get()));
    EXPECT_TRUE(v110->isGreaterThenVersion(v12.get()));
    EXPECT_EQ(v12->compare(v110.get()), -1);
    EXPECT_TRUE(v12->isLessThenVersionString("1.10"));

    auto v1200 = UTVersion::versionWithString("1.2.0.0");
    EXPECT_TRUE(v12->isEqualToVersion(v1200.get()));
    EXPECT_EQ(v12->hash(), v1200->hash());
    EXPECT_EQ(v12->compare(v1200.get()), 0);

    UTVersion a(1, 2, 3, 4), b(1, 2, 3, 5);
    EXPECT_FALSE(a.isEqualToVersion(&b));
    EXPECT_EQ(a.compare(&b), -1);
    EXPECT_EQ(b.compare(&a), 1);
    EXPECT_NE(a.hash(), b.hash());
    EXPECT_EQ(a.hash(), ((1u * 31 + 2) * 31 + 3) * 31 + 4);

    UTVersion two(2, 0, 0, 0);
    EXPECT_TRUE(two.isEqual(ns::Value("2.0")));
    EXPECT_FALSE(two.isEqual(ns::Value(2)));
    EXPECT_TRUE(two.isEqual(ns::Value(std::static_pointer_cast<ns::Object>(two.copy()))));
    EXPECT_FALSE(two.isEqual(ns::Value(std::make_shared<UTVersion>(2, 1, 0))));

    // Absent: equal to 0.0.0.0, yet ranked below everything; an unparsable text is absent.
    UTVersion zero;
    EXPECT_TRUE(zero.isEqualToVersion(nullptr));
    EXPECT_EQ(zero.compare(nullptr), 1);
    EXPECT_FALSE(two.isLessThenVersionString("later"));
    EXPECT_TRUE(two.isGreaterThenVersionString("later"));
}

TEST(UTVersion, SystemVersionIsParsedOnce) {
    auto os = UTVersion::osVersion();
    ASSERT_TRUE(os);
    EXPECT_EQ(os, UTVersion::osVersion());
    EXPECT_TRUE(UTVersion::osVersionIsLessThen("999"));
    EXPECT_TRUE(UTVersion::osVersionIsGreaterThen("0.1"));
    EXPECT_FALSE(UTVersion::osVersionIsLessThen(os->description()));

    // The app's build comes from its Info.plist, whose CFBundleVersion is "1".
    auto build = UTVersion::appBundleVersion();
    ASSERT_TRUE(build);
    EXPECT_EQ(build->description(), "1.0");
}

}  // namespace
}  // namespace ql
