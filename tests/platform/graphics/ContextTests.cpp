#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "platform/graphics/BitmapContext.h"
#include "tests/support/ReferenceImage.h"

namespace ql::cg {
namespace {

constexpr double kPi = std::numbers::pi;
constexpr RGBA kClear{0, 0, 0, 0};

// A top-left context as the view layer makes them.
std::unique_ptr<BitmapContext> canvas(double width, double height, double scale = 1) {
    auto context = BitmapContext::createForImage({width, height}, false, scale);
    EXPECT_TRUE(context);
    return context;
}

void expectMatches(BitmapContext& context, const std::shared_ptr<const Image>& reference, const std::string& name,
                   int tolerance, int allowedPixels) {
    const auto image = context.makeImage();
    ASSERT_TRUE(image && reference);
    test::saveForInspection(*image, name);
    test::saveForInspection(*reference, name + "-reference");
    const test::ImageDifference d = test::compareImages(*image, *reference, tolerance);
    EXPECT_TRUE(d.sameSize);
    EXPECT_LE(d.differing, allowedPixels) << name << ": largest difference " << d.largestDelta;
}

double angleFromTop(double x, double y, double cx, double cy) {
    // Clockwise on screen from 12 o'clock, 0 to 2π.
    double a = std::atan2(y - cy, x - cx) + kPi / 2;
    return a < 0 ? a + 2 * kPi : a;
}

TEST(ContextTests, ProgressRingWithRoundCaps) {
    // A ring view at 2×: the track all round, then 30 % of progress clockwise from the top with round ends.
    auto context = canvas(40, 40, 2);
    const double cx = 20, cy = 20, lineWidth = 4, radius = (40 - lineWidth) / 2 - 2, progress = 0.3;
    context->setLineWidth(lineWidth);
    context->setLineCap(LineCap::Butt);
    context->setStrokeColor(Color::gray(1, 0.25));
    context->addArc(cx, cy, radius, -kPi / 2, -kPi / 2 + 2 * kPi, false);
    context->strokePath();
    context->setLineCap(LineCap::Round);
    context->setStrokeColor(Color::rgb(1, 0, 0, 1));
    context->addArc(cx, cy, radius, -kPi / 2, -kPi / 2 + progress * 2 * kPi, false);
    context->strokePath();

    const double end = -kPi / 2 + progress * 2 * kPi;
    const auto reference = test::renderReference(80, 80, [&](double px, double py) {
        const double x = px / 2, y = py / 2;
        const double d = std::hypot(x - cx, y - cy);
        const bool onRing = std::fabs(d - radius) <= lineWidth / 2;
        const bool inSweep = onRing && angleFromTop(x, y, cx, cy) <= progress * 2 * kPi;
        const bool inCap = std::hypot(x - cx, y - (cy - radius)) <= lineWidth / 2 ||
                           std::hypot(x - (cx + radius * std::cos(end)), y - (cy + radius * std::sin(end))) <= lineWidth / 2;
        if (inSweep || inCap) return RGBA{1, 0, 0, 1};
        return onRing ? RGBA{1, 1, 1, 0.25} : kClear;
    });
    expectMatches(*context, reference, "progress-ring", 40, 30);
}

TEST(ContextTests, RadialGradientMaskExtendsPastItsEnd) {
    // The dimming mask of an overlay: clear at the centre, black at 0.75 from the end radius outwards.
    auto context = canvas(80, 50);
    const Gradient gradient(ColorSpace::deviceRGB(), {Color::rgb(0, 0, 0, 0), Color::rgb(0, 0, 0, 0.75)}, {0, 1});
    const double radius = std::min(80.0, 50.0) * 0.6;
    context->drawRadialGradient(gradient, {40, 25}, 0, {40, 25}, radius, GradientDrawsAfterEndLocation);
    const auto reference = test::renderReference(80, 50, [&](double x, double y) {
        return RGBA{0, 0, 0, 0.75 * std::min(1.0, std::hypot(x - 40, y - 25) / radius)};
    }, 2);
    expectMatches(*context, reference, "radial-mask", 3, 0);

    // Without the option nothing is drawn beyond the end circle; with a start radius, nothing inside the
    // start circle unless drawing before the start is asked for.
    auto ring = canvas(40, 40);
    const Gradient solid(ColorSpace::deviceRGB(), {Color::rgb(0, 0, 1, 1), Color::rgb(0, 0, 1, 1)});
    ring->drawRadialGradient(solid, {20, 20}, 5, {20, 20}, 15, 0);
    auto image = ring->makeImage();
    EXPECT_EQ(image->pixel(20, 20).a, 0);
    EXPECT_EQ(image->pixel(20, 30).a, 255);
    EXPECT_EQ(image->pixel(20, 38).a, 0);
    ring->drawRadialGradient(solid, {20, 20}, 5, {20, 20}, 15, GradientDrawsBeforeStartLocation);
    image = ring->makeImage();
    EXPECT_EQ(image->pixel(20, 20).a, 255);
    EXPECT_EQ(image->pixel(20, 38).a, 0);
}

TEST(ContextTests, LinearGradientExtendOptions) {
    const Gradient gradient(ColorSpace::deviceRGB(), {Color::rgb(1, 0, 0, 1), Color::rgb(0, 0, 1, 1)});
    for (unsigned options = 0; options < 4; ++options) {
        auto context = canvas(100, 4);
        context->drawLinearGradient(gradient, {25, 0}, {75, 0}, options);
        const auto image = context->makeImage();
        EXPECT_EQ(image->pixel(5, 2).a, (options & GradientDrawsBeforeStartLocation) ? 255 : 0) << options;
        EXPECT_EQ(image->pixel(95, 2).a, (options & GradientDrawsAfterEndLocation) ? 255 : 0) << options;
        const Image::Pixel middle = image->pixel(50, 2);
        EXPECT_EQ(middle.a, 255);
        EXPECT_NEAR(middle.r, 125, 4);
        EXPECT_NEAR(middle.b, 130, 4);
        if (options & GradientDrawsBeforeStartLocation) {
            EXPECT_EQ(image->pixel(5, 2), (Image::Pixel{255, 0, 0, 255}));
        }
    }
}

TEST(ContextTests, ClippingWithEvenOddAndSaveRestore) {
    auto context = canvas(60, 60);
    context->saveGState();
    context->clipToRect({0, 0, 60, 30});
    context->addEllipseInRect({0, 0, 60, 60});
    context->addEllipseInRect({15, 15, 30, 30});
    context->eoClip();
    context->setFillColor(Color::rgb(0, 0.5, 0, 1));
    context->fillRect({0, 0, 60, 60});
    EXPECT_EQ(context->getClipBoundingBox(), Rect(0, 0, 60, 30));
    context->restoreGState();
    // The clip is gone after the restore.
    context->setFillColor(Color::rgb(0, 0, 1, 1));
    context->fillRect({0, 50, 10, 10});
    EXPECT_EQ(context->getClipBoundingBox(), Rect(0, 0, 60, 60));

    const auto reference = test::renderReference(60, 60, [](double x, double y) {
        if (x < 10 && y >= 50) return RGBA{0, 0, 1, 1};
        const double d = std::hypot(x - 30, y - 30);
        return (y < 30 && d <= 30 && d > 15) ? RGBA{0, 0.5, 0, 1} : kClear;
    });
    expectMatches(*context, reference, "eo-clip", 40, 12);
}

TEST(ContextTests, FillRulesAndDrawPathModes) {
    auto context = canvas(40, 20);
    context->setFillColor(Color::gray(0, 1));
    context->addEllipseInRect({0, 0, 20, 20});
    context->addEllipseInRect({5, 5, 10, 10});
    context->fillPath();
    context->addEllipseInRect({20, 0, 20, 20});
    context->addEllipseInRect({25, 5, 10, 10});
    context->eoFillPath();
    EXPECT_TRUE(context->isPathEmpty());
    const auto image = context->makeImage();
    EXPECT_EQ(image->pixel(10, 10).a, 255);
    EXPECT_EQ(image->pixel(30, 10).a, 0);
    EXPECT_EQ(image->pixel(22, 10).a, 255);

    // Fill and stroke in one go: the stroke lies over the fill.
    auto both = canvas(20, 20);
    both->setFillColor(Color::rgb(1, 0, 0, 1));
    both->setStrokeColor(Color::rgb(0, 0, 1, 1));
    both->setLineWidth(4);
    both->addRect({4, 4, 12, 12});
    both->drawPath(PathDrawingMode::FillStroke);
    const auto drawn = both->makeImage();
    EXPECT_EQ(drawn->pixel(10, 10), (Image::Pixel{255, 0, 0, 255}));
    EXPECT_EQ(drawn->pixel(4, 10), (Image::Pixel{0, 0, 255, 255}));
}

TEST(ContextTests, PlatformBitmapContextsHaveTheirOriginAtTheBottom) {
    auto context = BitmapContext::create(10, 10, 8, 0, ColorSpace::deviceRGB(),
                                         static_cast<std::uint32_t>(ImageAlphaInfo::PremultipliedFirst));
    ASSERT_TRUE(context);
    context->setFillColor(Color::rgb(1, 0, 0, 1));
    context->fillRect({0, 0, 10, 3});
    const auto image = context->makeImage();
    EXPECT_EQ(image->pixel(5, 9).r, 255);  // bottom row
    EXPECT_EQ(image->pixel(5, 0).a, 0);    // top row

    // Drawing an image keeps it upright here, and turns it upside down in a top-left context.
    auto topRows = BitmapContext::createForImage({10, 10}, false, 1);
    topRows->setFillColor(Color::rgb(0, 1, 0, 1));
    topRows->fillRect({0, 0, 10, 5});
    const auto marker = topRows->makeImage();
    ASSERT_EQ(marker->pixel(0, 0).g, 255);
    context->drawImage({0, 0, 10, 10}, *marker);
    EXPECT_EQ(context->makeImage()->pixel(5, 1).g, 255);
    EXPECT_EQ(context->makeImage()->pixel(5, 6).a, 0);
    auto flipped = canvas(10, 10);
    flipped->drawImage({0, 0, 10, 10}, *marker);
    EXPECT_EQ(flipped->makeImage()->pixel(5, 8).g, 255);
    EXPECT_EQ(flipped->makeImage()->pixel(5, 1).a, 0);
}

TEST(ContextTests, BitmapLayoutsTheContextsAccept) {
    const auto rgb = ColorSpace::deviceRGB();
    auto info = [](ImageAlphaInfo a) { return static_cast<std::uint32_t>(a); };
    EXPECT_TRUE(BitmapContext::create(4, 4, 8, 16, rgb, info(ImageAlphaInfo::PremultipliedFirst)));
    EXPECT_TRUE(BitmapContext::create(4, 4, 8, 0, rgb, info(ImageAlphaInfo::NoneSkipFirst)));
    EXPECT_TRUE(BitmapContext::create(4, 4, 16, 0, rgb, info(ImageAlphaInfo::PremultipliedLast)));
    EXPECT_TRUE(BitmapContext::create(4, 4, 8, 0, std::nullopt, info(ImageAlphaInfo::Only)));
    EXPECT_TRUE(BitmapContext::create(4, 4, 8, 0, ColorSpace::deviceGray(), info(ImageAlphaInfo::None)));
    EXPECT_FALSE(BitmapContext::create(4, 4, 8, 0, rgb, info(ImageAlphaInfo::None)));   // 24-bit RGB
    EXPECT_FALSE(BitmapContext::create(4, 4, 8, 0, rgb, info(ImageAlphaInfo::Last)));   // straight alpha
    EXPECT_FALSE(BitmapContext::create(4, 4, 8, 8, rgb, info(ImageAlphaInfo::PremultipliedFirst)));  // short rows
    EXPECT_FALSE(BitmapContext::create(4, 4, 5, 0, rgb, info(ImageAlphaInfo::PremultipliedFirst)));
    EXPECT_FALSE(BitmapContext::create(4, 4, 8, 0, std::nullopt, info(ImageAlphaInfo::PremultipliedFirst)));
    EXPECT_FALSE(BitmapContext::create(0, 4, 8, 0, rgb, info(ImageAlphaInfo::PremultipliedFirst)));
    EXPECT_FALSE(BitmapContext::create(100000, 100000, 8, 0, rgb, info(ImageAlphaInfo::PremultipliedFirst)));
    EXPECT_FALSE(BitmapContext::createForImage({1e6, 1}, false, 2));

    // An opaque context composes translucent drawing over black, and its images have no alpha.
    auto opaque = BitmapContext::createForImage({3, 3}, true, 1);
    opaque->setFillColor(Color::rgb(1, 1, 1, 0.5));
    opaque->fillRect({0, 0, 3, 3});
    const auto image = opaque->makeImage();
    EXPECT_FALSE(image->hasAlpha());
    EXPECT_NEAR(image->pixel(1, 1).r, 128, 1);
    EXPECT_EQ(image->pixel(1, 1).a, 255);

    // A grey context keeps lightness only.
    auto gray = BitmapContext::create(2, 2, 8, 0, ColorSpace::deviceGray(), info(ImageAlphaInfo::None));
    gray->setFillColor(Color::rgb(0, 1, 0, 1));
    gray->fillRect({0, 0, 2, 2});
    const auto g = gray->makeImage()->pixel(0, 0);
    EXPECT_EQ(g.r, g.g);
    EXPECT_EQ(g.g, g.b);
    EXPECT_NEAR(g.g, 150, 2);

    // An alpha-only context keeps coverage only; an image is a copy that later drawing leaves alone.
    auto mask = BitmapContext::create(5, 3, 8, 0, std::nullopt, info(ImageAlphaInfo::Only));
    mask->setFillColor(Color::rgb(1, 0.5, 0, 0.5));
    mask->fillRect({0, 0, 5, 3});
    const auto coverage = mask->makeImage();
    mask->setFillColor(Color::rgb(1, 1, 1, 1));
    mask->fillRect({0, 0, 5, 3});
    EXPECT_EQ(coverage->pixels()[7] & 0x00FFFFFFu, 0u);
    EXPECT_NEAR(coverage->pixel(4, 2).a, 128, 1);
    EXPECT_EQ(mask->makeImage()->pixel(4, 2).a, 255);

    // Taking the image hands the pixels over: the context draws nothing afterwards and has no more to give.
    auto once = BitmapContext::createForImage({4, 4}, true, 1);
    once->setFillColor(Color::rgb(0, 0, 1, 1));
    once->fillRect({0, 0, 2, 4});
    const auto taken = once->takeImage();
    ASSERT_TRUE(taken);
    once->setFillColor(Color::rgb(1, 0, 0, 1));
    once->fillRect({0, 0, 4, 4});
    EXPECT_EQ(taken->pixel(1, 1), (Image::Pixel{0, 0, 255, 255}));
    EXPECT_EQ(taken->pixel(3, 1), (Image::Pixel{0, 0, 0, 255}));
    EXPECT_FALSE(once->makeImage());
    EXPECT_FALSE(once->takeImage());
}

TEST(ContextTests, ShadowsFallInBaseSpaceAndBlur) {
    // In a top-left context a positive offset moves the shadow down and right, whatever the transform.
    auto context = canvas(40, 40);
    context->translateCTM(40, 0);
    context->scaleCTM(-1, 1);
    context->setShadowWithColor({6, 6}, 0, Color::rgb(0, 0, 1, 1));
    context->setFillColor(Color::rgb(1, 0, 0, 1));
    context->fillRect({20, 10, 10, 10});  // device x 10…20 after the mirror
    auto image = context->makeImage();
    EXPECT_EQ(image->pixel(15, 15), (Image::Pixel{255, 0, 0, 255}));
    EXPECT_EQ(image->pixel(23, 23), (Image::Pixel{0, 0, 255, 255}));
    EXPECT_EQ(image->pixel(8, 8).a, 0);

    // In the platform's bitmap contexts y points up, so a negative height moves the shadow down the bitmap.
    auto platform = BitmapContext::create(20, 20, 8, 0, ColorSpace::deviceRGB(),
                                          static_cast<std::uint32_t>(ImageAlphaInfo::PremultipliedFirst));
    platform->setShadowWithColor({0, -5}, 0, Color::gray(0, 1));
    platform->setFillColor(Color::gray(1, 1));
    platform->fillRect({5, 10, 10, 5});  // bitmap rows 5…9
    image = platform->makeImage();
    EXPECT_EQ(image->pixel(10, 7), (Image::Pixel{255, 255, 255, 255}));
    EXPECT_EQ(image->pixel(10, 12), (Image::Pixel{0, 0, 0, 255}));

    // A blurred shadow fades across its edge and keeps full strength well inside.
    auto soft = canvas(60, 60);
    soft->setShadowWithColor({0, 0}, 8, Color::gray(0, 1));
    soft->setFillColor(Color::gray(1, 0));  // a transparent shape casts no shadow
    soft->fillRect({20, 20, 20, 20});
    EXPECT_EQ(soft->makeImage()->pixel(30, 30).a, 0);
    soft->setFillColor(Color::rgb(1, 1, 1, 1));
    soft->setShadowWithColor({0, 0}, 8, Color::gray(0, 1));
    soft->fillRect({20, 20, 20, 20});
    image = soft->makeImage();
    EXPECT_EQ(image->pixel(30, 30), (Image::Pixel{255, 255, 255, 255}));
    EXPECT_NEAR(image->pixel(19, 30).a, 128, 40);
    EXPECT_LT(image->pixel(12, 30).a, 40);
    EXPECT_GT(image->pixel(17, 30).a, image->pixel(14, 30).a);
    test::saveForInspection(*image, "soft-shadow");

    // No colour turns the shadow off.
    auto none = canvas(20, 20);
    none->setShadowWithColor({5, 5}, 0, std::nullopt);
    none->fillRect({0, 0, 10, 10});
    EXPECT_EQ(none->makeImage()->pixel(12, 12).a, 0);
}

TEST(ContextTests, AlphaAndTransparencyLayers) {
    // With a global alpha, two overlapping squares drawn separately blend with each other…
    auto separate = canvas(30, 20);
    separate->setAlpha(0.5);
    separate->setFillColor(Color::rgb(1, 0, 0, 1));
    separate->fillRect({0, 0, 20, 20});
    separate->setFillColor(Color::rgb(0, 0, 1, 1));
    separate->fillRect({10, 0, 20, 20});
    const Image::Pixel mixed = separate->makeImage()->pixel(15, 10);
    EXPECT_GT(mixed.r, 60);
    EXPECT_NEAR(mixed.a, 191, 2);

    // …while inside a transparency layer they are composed as one piece at that alpha.
    auto layered = canvas(30, 20);
    layered->setAlpha(0.5);
    layered->beginTransparencyLayer();
    EXPECT_EQ(layered->alpha(), 1);
    layered->setFillColor(Color::rgb(1, 0, 0, 1));
    layered->fillRect({0, 0, 20, 20});
    layered->setFillColor(Color::rgb(0, 0, 1, 1));
    layered->fillRect({10, 0, 20, 20});
    layered->saveGState();  // left open: ending the layer closes it
    layered->endTransparencyLayer();
    EXPECT_EQ(layered->alpha(), 0.5);
    const auto image = layered->makeImage();
    EXPECT_EQ(image->pixel(15, 10).r, 0);
    EXPECT_NEAR(image->pixel(15, 10).a, 128, 1);
    EXPECT_NEAR(image->pixel(5, 10).a, 128, 1);
    layered->endTransparencyLayer();  // unmatched: nothing happens
    layered->restoreGState();
}

TEST(ContextTests, MasksPatternsDashesAndBlendModes) {
    // An image with alpha masks by its alpha: only its opaque left half lets paint through.
    auto maskSource = BitmapContext::createForImage({4, 4}, false, 1);
    maskSource->setFillColor(Color::gray(0, 1));
    maskSource->fillRect({0, 0, 2, 4});
    const auto mask = maskSource->makeImage();
    auto context = canvas(8, 8);
    context->clipToMask({0, 0, 8, 8}, *mask);
    context->setFillColor(Color::rgb(1, 0, 0, 1));
    context->fillRect({0, 0, 8, 8});
    auto image = context->makeImage();
    EXPECT_EQ(image->pixel(1, 4).a, 255);
    EXPECT_EQ(image->pixel(6, 4).a, 0);

    // A pattern colour tiles its image from the base origin.
    auto tileSource = BitmapContext::createForImage({2, 2}, false, 1);
    tileSource->setFillColor(Color::rgb(0, 0, 1, 1));
    tileSource->fillRect({0, 0, 1, 1});
    auto patterned = canvas(6, 6);
    patterned->setFillColor(Color::pattern(tileSource->makeImage(), {2, 2}));
    patterned->fillRect({0, 0, 6, 6});
    image = patterned->makeImage();
    EXPECT_EQ(image->pixel(4, 2).b, 255);
    EXPECT_EQ(image->pixel(5, 2).a, 0);
    EXPECT_EQ(image->pixel(3, 3).a, 0);

    // Dashes: 2 on, 2 off along a horizontal line.
    auto dashed = canvas(12, 4);
    dashed->setLineWidth(2);
    dashed->setLineDash(0, {2, 2});
    dashed->strokeLineSegments({{0, 2}, {12, 2}});
    image = dashed->makeImage();
    for (int x = 0; x < 12; ++x) EXPECT_EQ(image->pixel(x, 2).a, (x % 4) < 2 ? 255 : 0) << x;

    // Blend modes apply inside the shape only: source-in keeps what lies outside the filled rectangle.
    auto blended = canvas(10, 10);
    blended->setFillColor(Color::rgb(1, 0, 0, 1));
    blended->fillRect({0, 0, 10, 10});
    blended->setBlendMode(BlendMode::SourceIn);
    blended->setFillColor(Color::rgb(0, 1, 0, 1));
    blended->fillRect({0, 0, 5, 10});
    image = blended->makeImage();
    EXPECT_EQ(image->pixel(2, 5), (Image::Pixel{0, 255, 0, 255}));
    EXPECT_EQ(image->pixel(7, 5), (Image::Pixel{255, 0, 0, 255}));
    blended->setBlendMode(BlendMode::Normal);
    blended->clearRect({0, 0, 10, 5});
    EXPECT_EQ(blended->makeImage()->pixel(7, 2).a, 0);
}

TEST(ContextTests, PathStateInUserSpace) {
    auto context = canvas(20, 20);
    context->translateCTM(5, 5);
    context->scaleCTM(2, 2);
    EXPECT_EQ(context->getCTM(), (AffineTransform{2, 0, 0, 2, 5, 5}));
    context->moveToPoint(1, 1);
    context->addLineToPoint(3, 2);
    EXPECT_EQ(context->getPathCurrentPoint(), Point(3, 2));
    EXPECT_EQ(context->getPathBoundingBox(), Rect(1, 1, 2, 1));
    // The path was taken through the transform at the time: changing it now moves nothing already added.
    context->scaleCTM(0.5, 0.5);
    EXPECT_EQ(context->getPathCurrentPoint(), Point(6, 4));
    EXPECT_EQ(context->copyPath().pathBoundingBox(), Rect(2, 2, 4, 2));
    context->beginPath();
    context->addRect({0, 0, 4, 4});
    EXPECT_TRUE(context->pathContainsPoint({2, 2}, PathDrawingMode::Fill));
    EXPECT_FALSE(context->pathContainsPoint({2, 2}, PathDrawingMode::Stroke));
    EXPECT_TRUE(context->pathContainsPoint({0, 2}, PathDrawingMode::Stroke));

    // A degenerate transform draws nothing and breaks nothing afterwards.
    context->saveGState();
    context->scaleCTM(0, 1);
    context->fillRect({0, 0, 10, 10});
    context->strokeRect({0, 0, 10, 10});
    context->restoreGState();
    context->restoreGState();  // unmatched
    context->fillRect({0, 0, 2, 2});
    const auto image = context->makeImage();
    EXPECT_EQ(image->pixel(6, 6).a, 255);
    EXPECT_EQ(image->pixel(15, 15).a, 0);
}

}  // namespace
}  // namespace ql::cg
