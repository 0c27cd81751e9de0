// The app's small utilities: Base64 (RFC 4648 vectors, line breaks, lenient decoding), the mobile-number
// rule, blank trimming, hex colours, per-device picture names and pictures drawn in code.

#include <gtest/gtest.h>

#include <string>

#include "app/uikit/ColorHex.h"
#include "app/uikit/ImageContent.h"
#include "app/uikit/MKNKBase64.h"
#include "app/uikit/StringCategory.h"
#include "platform/ui/Color.h"
#include "platform/ui/GraphicsContext.h"
#include "platform/ui/Image.h"

using namespace ql;

namespace {

std::string encode(std::string_view bytes, bool lines = false) {
    return base64EncodeBytes(bytes.data(), bytes.size(), lines);
}

std::string decode(std::string_view text) { return std::string(base64DecodeBytes(text.data(), text.size()).view()); }

void expectRGBA(const std::shared_ptr<ui::Color>& color, double r, double g, double b, double a) {
    ASSERT_TRUE(color);
    double red = -1, green = -1, blue = -1, alpha = -1;
    ASSERT_TRUE(color->getRed(&red, &green, &blue, &alpha));
    EXPECT_NEAR(red, r, 1e-9);
    EXPECT_NEAR(green, g, 1e-9);
    EXPECT_NEAR(blue, b, 1e-9);
    EXPECT_NEAR(alpha, a, 1e-9);
}

}  // namespace

TEST(Base64, EncodesTheStandardVectorsAndBreaksLinesEvery48Bytes) {
    // RFC 4648, section 10.
    EXPECT_EQ(encode(""), "");
    EXPECT_EQ(encode("f"), "Zg==");
    EXPECT_EQ(encode("fo"), "Zm8=");
    EXPECT_EQ(encode("foo"), "Zm9v");
    EXPECT_EQ(encode("foob"), "Zm9vYg==");
    EXPECT_EQ(encode("fooba"), "Zm9vYmE=");
    EXPECT_EQ(encode("foobar"), "Zm9vYmFy");
    EXPECT_EQ(base64EncodedString(ns::Data(std::string_view("\xff\xfe\x00", 3))), "//4A");

    const std::string line(48, 'a');
    EXPECT_EQ(encode(line, true).find('\r'), std::string::npos);  // one full line, no break after it
    const std::string broken = encode(line + "a", true);
    EXPECT_EQ(broken.size(), 64u + 2 + 4);
    EXPECT_EQ(broken.substr(64, 2), "\r\n");
    EXPECT_EQ(encode(line + "a", false).find('\r'), std::string::npos);
}

TEST(Base64, DecodesLenientlyAndRefusesNonASCIIText) {
    EXPECT_EQ(decode("Zm9vYmFy"), "foobar");
    EXPECT_EQ(decode("Zm9v\r\nYmFy\n"), "foobar");  // line breaks anywhere, also after the last group
    EXPECT_EQ(decode("Zm9vYg=="), "foob");
    EXPECT_EQ(decode("Zm9vYg"), "foob");    // two leftover characters make one byte
    EXPECT_EQ(decode("Zm9vY"), "foo");      // a single leftover character makes none
    EXPECT_EQ(decode("Zm-9v_"), "foo");     // the URL alphabet's characters are skipped, not read
    EXPECT_EQ(std::string(base64DecodeBytes("Zm8=", kBase64ZeroTerminated).view()), "fo");
    EXPECT_EQ(std::string(dataFromBase64String("Zm9v").view()), "foo");
    EXPECT_TRUE(dataFromBase64String("Zm9v\xe4\xb8\xad").empty());  // text that has no ASCII form
}

TEST(TextRules, MobileNumbersAndBlanks) {
    EXPECT_TRUE(isMobileNumber("13800000001"));
    EXPECT_TRUE(isMobileNumber("19912345678"));
    EXPECT_FALSE(isMobileNumber(""));
    EXPECT_FALSE(isMobileNumber("1380000000"));     // 10 digits
    EXPECT_FALSE(isMobileNumber("138000000011"));   // 12 digits
    EXPECT_FALSE(isMobileNumber("23800000001"));    // not starting with 1
    EXPECT_FALSE(isMobileNumber("1380000000a"));
    EXPECT_FALSE(isMobileNumber("１３８０００００００１"));  // full-width digits are no ASCII digits

    EXPECT_EQ(trim(" \t手机 号\n "), "手机 号");
    EXPECT_EQ(replaceHomeAndEndWhiteCharter("  a b  "), "a b");
    EXPECT_EQ(replaceHomeAndEndWhiteCharter("\t a "), "\t a");  // a leading tab stops the trimming there
    EXPECT_EQ(replaceHomeAndEndWhiteCharter("   "), "");
    EXPECT_EQ(replaceHomeAndEndWhiteCharter(" \u0301a \u0301 "), " \u0301a \u0301");  // spaces with a mark stay
    EXPECT_EQ(replaceHomeAndEndWhiteCharter(" \U0001F600 "), "\U0001F600");
    // Long blank ends are taken off in one walk, not one character at a time over the whole text.
    const std::string blanks(20000, ' ');
    EXPECT_EQ(replaceHomeAndEndWhiteCharter(blanks + "\u4e2d a" + blanks), "\u4e2d a");
}

TEST(Colours, FromHexNumbersAndTextsAndBack) {
    expectRGBA(colorWithHex(0xFF8000), 1, 128 / 255.0, 0, 1);
    expectRGBA(colorWithHex(0x000000, 0.25), 0, 0, 0, 0.25);
    expectRGBA(colorWithHexString("#FFF"), 1, 1, 1, 1);
    expectRGBA(colorWithHexString("8000ff00"), 0, 1, 0, 128 / 255.0);
    expectRGBA(colorWithHexString("#E81D1D"), 0xE8 / 255.0, 0x1D / 255.0, 0x1D / 255.0, 1);
    expectRGBA(colorWithHexString("F0A8"), 0, 0xAA / 255.0, 0x88 / 255.0, 1);  // alpha first: F, then 0, A, 8
    EXPECT_EQ(colorWithHexString("#12345"), nullptr);
    expectRGBA(colorWithHexString("GG0000"), 0, 0, 0, 1);  // no hex digits: the component reads as 0

    EXPECT_EQ(HEXString(*ui::Color::colorWithWhite(0.5, 1)), "#7F7F7F");
    EXPECT_EQ(HEXString(*colorWithHex(0xE81D1D)), "#E81D1D");
    EXPECT_EQ(HEXString(*ui::Color::colorWithRed(1.4, -0.2, 0.5, 1)), "#FF007F");  // clamped, not wrapped
    expectRGBA(colorWithWholeRed(255, 0, 51), 1, 0, 0.2, 1);
}

TEST(DevicePictures, NamesFollowTheDeviceClass) {
    EXPECT_EQ(imageNameForDevice("home_bg", 0), "home_bg_iphone4.png");
    EXPECT_EQ(imageNameForDevice("home_bg", 1), "home_bg_iphone5.png");
    EXPECT_EQ(imageNameForDevice("home_bg", 2), "home_bg_iphone6.png");
    EXPECT_EQ(imageNameForDevice("home_bg", 3), "home_bg_iphone6p.png");
    EXPECT_EQ(imageNameForDevice("home_bg", 4), "home_bg_ipad.png");
    EXPECT_EQ(imageNameForDevice("home_bg", 5), "home_bg");
    EXPECT_EQ(resizableImageName("", {}), nullptr);
    EXPECT_EQ(imageWithContentFileName(""), nullptr);
}

TEST(DevicePictures, DrawnPicturesOfNoSizeAreNoneAndLeaveTheOuterContextAlone) {
    const ui::Color red(cg::Color::rgb(1, 0, 0, 1));
    const auto swatch = imageWithColor(red, {3, 2});
    ASSERT_TRUE(swatch);
    EXPECT_EQ(swatch->size(), (cg::Size{3, 2}));
    const auto scaled = scaleImageToSize(*swatch, {6, 4});
    ASSERT_TRUE(scaled);
    EXPECT_EQ(scaled->size(), (cg::Size{6, 4}));

    // No size: nothing drawn, no image, and a context begun by the caller stays the current one.
    EXPECT_EQ(imageWithColor(red, {0, 0}), nullptr);
    ui::ImageContextScope outer({5, 5}, false, 1);
    ASSERT_TRUE(outer.context());
    EXPECT_EQ(imageWithColor(red, {0, 4}), nullptr);
    EXPECT_EQ(scaleImageToSize(*swatch, {4, 0}), nullptr);
    EXPECT_EQ(ui::GraphicsGetCurrentContext(), outer.context());
}
