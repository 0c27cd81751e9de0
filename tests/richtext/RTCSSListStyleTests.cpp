#include <gtest/gtest.h>

#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "richtext/RTCSSListStyle.h"

using namespace ql;

namespace {

std::string prefix(const ns::Dictionary& styles, std::int64_t counter) {
    return RTCSSListStyle(styles).prefixWithCounter(counter).value_or("<none>");
}

TEST(RTCSSListStyleTests, KeywordsAndSetters) {
    EXPECT_EQ(RTCSSListStyle::listStyleTypeFromString(std::nullopt), RTCSSListStyle::NotUnderstood);
    EXPECT_EQ(RTCSSListStyle::listStylePositionFromString(std::nullopt), RTCSSListStyle::NotUnderstood);
    EXPECT_EQ(RTCSSListStyle::listStyleTypeFromString("Upper-Latin"), 7u);
    EXPECT_EQ(RTCSSListStyle::listStyleTypeFromString("lower-alpha"), 9u);
    EXPECT_EQ(RTCSSListStyle::listStyleTypeFromString("lower-roman"), 1u);
    EXPECT_EQ(RTCSSListStyle::listStyleTypeFromString(" disc"), 1u);
    EXPECT_EQ(RTCSSListStyle::listStylePositionFromString("INSIDE"), 1u);
    EXPECT_EQ(RTCSSListStyle::listStylePositionFromString("outside"), 2u);
    EXPECT_EQ(RTCSSListStyle::listStylePositionFromString("middle"), 0u);

    RTCSSListStyle style;
    style.setType(RTListStyleType::Disc);
    EXPECT_FALSE(style.setTypeWithString(std::nullopt));
    EXPECT_EQ(style.type(), 5u);
    EXPECT_TRUE(style.setTypeWithString("lower-roman"));
    EXPECT_EQ(style.type(), 1u);
    EXPECT_FALSE(style.setPositionWithString(std::nullopt));
    EXPECT_TRUE(style.setPositionWithString("inside"));
    EXPECT_EQ(style.position(), 1u);
}

TEST(RTCSSListStyleTests, FromStyleDictionaries) {
    const RTCSSListStyle empty{ns::Dictionary()};
    EXPECT_EQ(empty.type(), 0u);
    EXPECT_EQ(empty.position(), 2u);
    EXPECT_EQ(empty.startingItemNumber(), 1);
    EXPECT_FALSE(empty.imageName());
    EXPECT_FALSE(empty.prefixWithCounter(1));

    const RTCSSListStyle shorthand({{"list-style", ns::Value("SQUARE Inside url(Dots/Red.PNG)")}});
    EXPECT_EQ(shorthand.type(), 6u);
    EXPECT_EQ(shorthand.position(), 1u);
    EXPECT_EQ(shorthand.imageName().value_or(""), "Dots/Red.PNG");  // the URL keeps its case

    const RTCSSListStyle swapped({{"list-style", ns::Value("inside square")}});
    EXPECT_EQ(swapped.type(), 1u);
    EXPECT_EQ(swapped.position(), 0u);

    const RTCSSListStyle inherited({{"list-style", ns::Value("Inherit")}, {"list-style-type", ns::Value("square")}});
    EXPECT_TRUE(inherited.inherit());
    EXPECT_EQ(inherited.type(), 0u);
    EXPECT_EQ(inherited.position(), 2u);

    const RTCSSListStyle badImage({{"list-style-image", ns::Value("none")}, {"list-style-type", ns::Value("disc")}});
    EXPECT_FALSE(badImage.imageName());
    EXPECT_EQ(badImage.type(), 5u);
}

TEST(RTCSSListStyleTests, Prefixes) {
    EXPECT_EQ(prefix({{"list-style-type", ns::Value("decimal")}}, 3), "\t3.\t");
    EXPECT_EQ(prefix({{"list-style-type", ns::Value("decimal-leading-zero")}}, 7), "\t07.\t");
    EXPECT_EQ(prefix({{"list-style-type", ns::Value("decimal-leading-zero")}}, 123), "\t123.\t");
    EXPECT_EQ(prefix({{"list-style-type", ns::Value("upper-alpha")}}, 1), "\tA.\t");
    EXPECT_EQ(prefix({{"list-style-type", ns::Value("upper-latin")}}, 26), "\tZ.\t");
    EXPECT_EQ(prefix({{"list-style-type", ns::Value("LOWER-ALPHA")}}, 1), "\ta.\t");
    // Letters run out after z: the number stands in.
    EXPECT_EQ(prefix({{"list-style-type", ns::Value("lower-alpha")}}, 27), "\t27.\t");
    EXPECT_EQ(prefix({{"list-style-type", ns::Value("upper-alpha")}}, 0), "\t0.\t");
    EXPECT_EQ(prefix({{"list-style-type", ns::Value("disc")}, {"list-style-position", ns::Value("inside")}}, 1), "\t\t\u2022");
    EXPECT_EQ(prefix({{"list-style-type", ns::Value("circle")}}, 1), "\t\u25E6\t");
    EXPECT_EQ(prefix({{"list-style-type", ns::Value("square")}}, 1), "\t\u25AA\t");
    EXPECT_EQ(prefix({{"list-style-type", ns::Value("plus")}}, 1), "\t+\t");
    EXPECT_EQ(prefix({{"list-style-type", ns::Value("underscore")}}, 1), "\t_\t");
    EXPECT_EQ(prefix({{"list-style-type", ns::Value("none")}, {"list-style-image", ns::Value("url(a.png)")}}, 1), "\t\uFFFC\t");
    EXPECT_EQ(prefix({{"list-style-type", ns::Value("none")}}, 1), "<none>");
    EXPECT_EQ(prefix({{"list-style-type", ns::Value("lower-roman")}}, 1), "<none>");

    EXPECT_TRUE(RTCSSListStyle({{"list-style-type", ns::Value("lower-alpha")}}).isOrdered());
    EXPECT_FALSE(RTCSSListStyle({{"list-style-type", ns::Value("disc")}}).isOrdered());
}

TEST(RTCSSListStyleTests, IdentityCopyAndArchive) {
    const auto shared = std::make_shared<RTCSSListStyle>(ns::Dictionary{{"list-style", ns::Value("lower-alpha inside url(x.png)")}});
    RTCSSListStyle& style = *shared;
    style.setInherit(true);
    style.setStartingItemNumber(4);
    auto copied = std::static_pointer_cast<RTCSSListStyle>(style.copy());
    EXPECT_TRUE(copied->inherit());
    EXPECT_TRUE(style.isEqualToListStyle(copied.get()));
    EXPECT_EQ(style.hash(), copied->hash());
    EXPECT_FALSE(style.isEqual(*copied));  // equality of objects stays identity
    copied->setImageName("y.png");
    EXPECT_FALSE(style.isEqualToListStyle(copied.get()));
    EXPECT_FALSE(style.isEqualToListStyle(nullptr));
    EXPECT_NE(style.description().find("type=9 position=1"), std::string::npos);

    const auto data = ns::KeyedArchiver::archivedDataWithRootObject(ns::Value(shared), nullptr);
    ASSERT_TRUE(data);
    const ns::Value decoded = ns::KeyedUnarchiver::unarchiveObjectWithData(*data, nullptr);
    auto restored = decoded.asObject<RTCSSListStyle>();
    ASSERT_TRUE(restored);
    EXPECT_TRUE(style.isEqualToListStyle(restored.get()));
    EXPECT_EQ(restored->imageName().value_or(""), "x.png");
    EXPECT_EQ(restored->startingItemNumber(), 4);
}

}  // namespace
