#include <gtest/gtest.h>

#include "platform/ui/Color.h"
#include "platform/ui/GraphicsContext.h"
#include "platform/ui/Image.h"

namespace ql::ui {
namespace {

TEST(ColorTests, NamedColoursAreSharedObjects) {
    EXPECT_EQ(Color::blackColor(), Color::blackColor());
    const auto madeBlack = Color::colorWithWhite(0, 1);
    EXPECT_NE(madeBlack, Color::blackColor());
    EXPECT_TRUE(madeBlack->isEqual(*Color::blackColor()));
    EXPECT_FALSE(Color::colorWithRed(0, 0, 0, 1)->isEqual(*Color::blackColor()));  // another colour space
    EXPECT_EQ(Color::clearColor()->CGColor().alpha(), 0);
    EXPECT_EQ(Color::lightGrayColor()->description(), "UIDeviceWhiteColorSpace 0.666667 1");
    EXPECT_EQ(Color::orangeColor()->description(), "UIDeviceRGBColorSpace 1 0.5 0 1");

    EXPECT_EQ(Color::classObject().name(), "UIColor");
    ASSERT_TRUE(ns::Class::named("UIColor"));
    EXPECT_TRUE(Color::redColor()->isKindOfClass(*ns::Class::named("UIColor")));
}

TEST(ColorTests, ComponentsInEachForm) {
    double r = -1, g = -1, b = -1, a = -1, w = -1;
    // Grey reads as RGB, but RGB does not read as grey.
    ASSERT_TRUE(Color::grayColor()->getRed(&r, &g, &b, &a));
    EXPECT_EQ(r, 0.5);
    EXPECT_EQ(b, 0.5);
    EXPECT_TRUE(Color::grayColor()->getWhite(&w, &a));
    EXPECT_EQ(w, 0.5);
    w = -1;
    EXPECT_FALSE(Color::redColor()->getWhite(&w, &a));
    EXPECT_EQ(w, -1);

    double h, s, v;
    ASSERT_TRUE(Color::colorWithRed(0, 0.5, 1, 0.3)->getHue(&h, &s, &v, &a));
    EXPECT_NEAR(h, 210.0 / 360, 1e-12);
    EXPECT_NEAR(s, 1, 1e-12);
    EXPECT_NEAR(v, 1, 1e-12);
    EXPECT_NEAR(a, 0.3, 1e-12);
    ASSERT_TRUE(Color::colorWithHue(210.0 / 360, 1, 1, 1)->getRed(&r, &g, &b, &a));
    EXPECT_NEAR(r, 0, 1e-12);
    EXPECT_NEAR(g, 0.5, 1e-12);
    EXPECT_NEAR(b, 1, 1e-12);
    ASSERT_TRUE(Color::colorWithHue(1.0, 1, 1, 1)->getRed(&r, &g, &b, &a));  // a full turn is red again
    EXPECT_EQ(r, 1);
    EXPECT_EQ(g, 0);

    // Components are kept as given, unclamped, and alpha can be replaced.
    const auto wide = Color::colorWithRed(1.5, -0.2, 0.5, 1);
    EXPECT_EQ(wide->CGColor().components()[0], 1.5);
    const auto faded = wide->colorWithAlphaComponent(0.25);
    EXPECT_EQ(faded->CGColor().alpha(), 0.25);
    EXPECT_EQ(faded->CGColor().components()[1], -0.2);
    EXPECT_EQ(faded->CGColor().numberOfComponents(), 4);
    EXPECT_EQ(Color::whiteColor()->CGColor().numberOfComponents(), 2);
}

TEST(ColorTests, PatternsAndSettingTheCurrentContext) {
    GraphicsBeginImageContextWithOptions({2, 2}, false, 1);
    Color::blueColor()->setFill();
    GraphicsGetCurrentContext()->fillRect({0, 0, 1, 1});
    const auto tile = GraphicsGetImageFromCurrentImageContext();
    GraphicsEndImageContext();

    const auto pattern = Color::colorWithPatternImage(tile);
    ASSERT_TRUE(pattern);
    EXPECT_FALSE(pattern->getRed(nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(pattern->description(), "UIPatternColorSpace");
    EXPECT_FALSE(Color::colorWithPatternImage(nullptr));

    GraphicsBeginImageContextWithOptions({4, 4}, false, 1);
    pattern->set();
    GraphicsGetCurrentContext()->fillRect({0, 0, 4, 4});
    const auto filled = GraphicsGetImageFromCurrentImageContext()->CGImage();
    GraphicsEndImageContext();
    EXPECT_EQ(filled->pixel(2, 2).b, 255);
    EXPECT_EQ(filled->pixel(3, 2).a, 0);
    // Without a current context setting a colour does nothing.
    Color::redColor()->set();
}

}  // namespace
}  // namespace ql::ui
