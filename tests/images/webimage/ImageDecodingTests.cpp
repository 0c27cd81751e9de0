#include <gtest/gtest.h>

#include "images/webimage/ImageDecoding.h"
#include "images/webimage/ImageGIF.h"
#include "platform/ui/GraphicsContext.h"
#include "platform/ui/Screen.h"
#include "tests/images/webimage/WebImageTestSupport.h"

namespace ql {
namespace {

using namespace std::string_view_literals;

ns::Data bytes(std::string_view text) { return ns::Data(text); }

TEST(ImageDecodingTests, ContentTypeBySignature) {
    EXPECT_EQ(wi_contentTypeForImageData(bytes(test::jpegBytes(4, 4))), "image/jpeg");
    EXPECT_EQ(wi_contentTypeForImageData(bytes(test::pngBytes(4, 4, false))), "image/png");
    EXPECT_EQ(wi_contentTypeForImageData(bytes(test::gifBytes(2, 5))), "image/gif");
    EXPECT_EQ(wi_contentTypeForImageData(bytes("II*\0"sv)), "image/tiff");
    EXPECT_EQ(wi_contentTypeForImageData(bytes("MM\0*"sv)), "image/tiff");
    EXPECT_EQ(wi_contentTypeForImageData(bytes("RIFF\x10\0\0\0WEBP"sv)), "image/webp");
    EXPECT_EQ(wi_contentTypeForImageData(bytes("RIFF\x10\0\0\0WAVE"sv)), std::nullopt);
    EXPECT_EQ(wi_contentTypeForImageData(bytes("RIFF")), std::nullopt);
    EXPECT_EQ(wi_contentTypeForImageData(bytes("<html>")), std::nullopt);
    EXPECT_EQ(wi_contentTypeForImageData(ns::Data()), std::nullopt);
    // WebP is recognised, not decoded.
    EXPECT_EQ(wi_imageWithData(bytes("RIFF\x10\0\0\0WEBP"sv)), nullptr);
    EXPECT_EQ(wi_imageWithData(std::nullopt), nullptr);
}

TEST(ImageDecodingTests, ExifOrientationTurnsTheImage) {
    const ui::ImageOrientation expected[] = {
        ui::ImageOrientation::Up,           ui::ImageOrientation::UpMirrored,    ui::ImageOrientation::Down,
        ui::ImageOrientation::DownMirrored, ui::ImageOrientation::LeftMirrored,  ui::ImageOrientation::Right,
        ui::ImageOrientation::RightMirrored, ui::ImageOrientation::Left};
    for (int exif = 1; exif <= 8; ++exif) EXPECT_EQ(wi_exifOrientationToiOSOrientation(exif), expected[exif - 1]);
    EXPECT_EQ(wi_exifOrientationToiOSOrientation(0), ui::ImageOrientation::Up);
    EXPECT_EQ(wi_exifOrientationToiOSOrientation(9), ui::ImageOrientation::Up);

    const ns::Data sideways(test::jpegBytes(6, 4, 6));
    EXPECT_EQ(wi_imageOrientationFromImageData(sideways), ui::ImageOrientation::Right);
    auto image = wi_imageWithData(sideways);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->imageOrientation(), ui::ImageOrientation::Right);
    EXPECT_EQ(image->size(), (cg::Size{4, 6}));
    EXPECT_EQ(wi_imageOrientationFromImageData(bytes(test::jpegBytes(6, 4))), ui::ImageOrientation::Up);
}

TEST(ImageDecodingTests, CacheKeysNameTheScale) {
    ui::Screen::mainScreen().setScale(2);
    auto image = wi_imageWithData(bytes(test::pngBytes(8, 8, false)));
    ASSERT_TRUE(image);
    EXPECT_EQ(ScaledImageForCacheKey("http://h/a.png", image)->scale(), 2);
    EXPECT_EQ(ScaledImageForCacheKey("http://h/photo@3x.png", image)->scale(), 3);
    EXPECT_EQ(ScaledImageForCacheKey("http://h/a@2x.png@3x.png", image)->scale(), 3);
    ui::Screen::mainScreen().setScale(3);
    EXPECT_EQ(ScaledImageForCacheKey("http://h/photo@2x.png", image)->scale(), 2);
    // Too short to name a scale: the screen's holds.
    EXPECT_EQ(ScaledImageForCacheKey("a@2x.pn", image)->scale(), 3);
    EXPECT_EQ(ScaledImageForCacheKey("k", nullptr), nullptr);

    auto animated = wi_animatedGIFWithData(bytes(test::gifBytes(3, 10)));
    ASSERT_TRUE(animated);
    auto scaled = ScaledImageForCacheKey("http://h/anim@2x.gif", animated);
    ASSERT_EQ(scaled->images().size(), 3u);
    for (const auto& frame : scaled->images()) EXPECT_EQ(frame->scale(), 2);
    EXPECT_DOUBLE_EQ(scaled->duration(), animated->duration());
    ui::Screen::mainScreen().setScale(2);
}

TEST(ImageDecodingTests, ForcedDecodingKeepsScaleAndOrientation) {
    auto sideways = ui::Image::imageWithCGImage(test::rampBitmap(6, 4, false), 2, ui::ImageOrientation::Right);
    auto decoded = decodedImageWithImage(sideways);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->scale(), 2);
    EXPECT_EQ(decoded->imageOrientation(), ui::ImageOrientation::Right);
    EXPECT_EQ(decoded->CGImage()->alphaInfo(), cg::ImageAlphaInfo::PremultipliedFirst);
    EXPECT_EQ(decoded->CGImage()->pixel(3, 2), sideways->CGImage()->pixel(3, 2));

    auto translucent = ui::Image::imageWithCGImage(test::rampBitmap(4, 4, true), 1);
    EXPECT_EQ(decodedImageWithImage(translucent), translucent);
    auto animated = wi_animatedGIFWithData(ns::Data(test::gifBytes(2, 10)));
    EXPECT_EQ(decodedImageWithImage(animated), animated);
}

TEST(ImageDecodingTests, GIFsBecomeAnimatedImages) {
    auto timed = wi_animatedGIFWithData(ns::Data(test::gifBytes(3, 20)));
    ASSERT_TRUE(timed);
    EXPECT_EQ(timed->images().size(), 3u);
    EXPECT_NEAR(timed->duration(), 0.6, 1e-6);
    // Frames without a delay, or with one too short to honour, last a tenth of a second.
    auto untimed = wi_imageWithData(ns::Data(test::gifBytes(4, -1)));
    ASSERT_TRUE(untimed);
    EXPECT_EQ(untimed->images().size(), 4u);
    EXPECT_NEAR(untimed->duration(), 0.4, 1e-6);
    auto hasty = wi_animatedGIFWithData(ns::Data(test::gifBytes(2, 1)));
    EXPECT_NEAR(hasty->duration(), 0.2, 1e-6);
    // One frame is a still image.
    auto still = wi_animatedGIFWithData(ns::Data(test::gifBytes(1, 10)));
    ASSERT_TRUE(still);
    EXPECT_TRUE(still->images().empty());
}

TEST(ImageDecodingTests, ScalingAndCroppingFillsTheSize) {
    ui::Screen::mainScreen().setScale(1);
    auto animated = wi_animatedGIFWithData(ns::Data(test::gifBytes(2, 10)));
    ASSERT_TRUE(animated);
    EXPECT_EQ(wi_animatedImageByScalingAndCroppingToSize(animated, {0, 0}), animated);
    EXPECT_EQ(wi_animatedImageByScalingAndCroppingToSize(animated, animated->size()), animated);
    auto wide = wi_animatedImageByScalingAndCroppingToSize(animated, {16, 4});
    ASSERT_TRUE(wide);
    ASSERT_EQ(wide->images().size(), 2u);
    EXPECT_EQ(wide->images()[0]->size(), (cg::Size{16, 4}));
    // The first frame is red all over, so the crop is red everywhere; the second green.
    EXPECT_EQ(wide->images()[0]->CGImage()->pixel(8, 2).r, 255);
    EXPECT_EQ(wide->images()[1]->CGImage()->pixel(8, 2).g, 255);
    EXPECT_DOUBLE_EQ(wide->duration(), animated->duration());

    // A size with one empty side gives nothing, and leaves the caller's own image context alone.
    const ui::ImageContextScope outer({4, 4}, false, 1);
    ASSERT_TRUE(outer.context());
    EXPECT_FALSE(wi_animatedImageByScalingAndCroppingToSize(animated, {0, 10}));
    EXPECT_EQ(ui::GraphicsGetCurrentContext(), outer.context());
    ui::Screen::mainScreen().setScale(2);
}

}  // namespace
}  // namespace ql
