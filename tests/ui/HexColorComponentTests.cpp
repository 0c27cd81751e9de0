#include <gtest/gtest.h>

#include "ui/HexColorComponent.h"

namespace ql {
namespace {

TEST(HexColorComponent, OneOrTwoHexDigitsOfEitherCaseAndNothingElse) {
    EXPECT_EQ(hexColorComponent("00"), 0.0);
    EXPECT_EQ(hexColorComponent("ff"), 1.0);
    EXPECT_EQ(hexColorComponent("Ff"), 1.0);
    EXPECT_EQ(hexColorComponent("28"), 40 / 255.0);
    EXPECT_EQ(hexColorComponent("a"), 0xAA / 255.0) << "one digit stands for itself twice";
    for (const char* bad : {"", "fff", "g0", "0g", " f", "-1", "+f", "\xc2\xb2"}) {
        EXPECT_FALSE(hexColorComponent(bad)) << bad;
    }
}

}  // namespace
}  // namespace ql
