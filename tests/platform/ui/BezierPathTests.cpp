#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "platform/ui/BezierPath.h"
#include "platform/ui/Color.h"
#include "platform/ui/GraphicsContext.h"
#include "platform/ui/Image.h"
#include "tests/support/ReferenceImage.h"

namespace ql::ui {
namespace {

constexpr double kPi = std::numbers::pi;

TEST(BezierPathTests, ShapesBoundsAndHitTesting) {
    // Clockwise on screen from the top to three o'clock passes the upper right only.
    const auto quarter = BezierPath::bezierPathWithArcCenter({0, 0}, 10, -kPi / 2, 0, true);
    const cg::Rect tight = quarter->CGPath().pathBoundingBox();
    EXPECT_NEAR(cg::minX(tight), 0, 1e-9);
    EXPECT_NEAR(cg::maxY(tight), 0, 1e-9);
    EXPECT_NEAR(quarter->currentPoint().x, 10, 1e-9);
    const auto rest = BezierPath::bezierPathWithArcCenter({0, 0}, 10, -kPi / 2, 0, false);
    EXPECT_NEAR(cg::maxY(rest->CGPath().pathBoundingBox()), 10, 1e-6);

    const auto oval = BezierPath::bezierPathWithOvalInRect({0, 0, 20, 10});
    EXPECT_TRUE(oval->containsPoint({10, 5}));
    EXPECT_FALSE(oval->containsPoint({1, 1}));
    EXPECT_TRUE(cg::rectContainsRect(oval->bounds(), {0, 0, 20, 10}));
    EXPECT_EQ(BezierPath::bezierPath()->bounds(), cg::Rect::zero());
    EXPECT_TRUE(BezierPath::bezierPath()->isEmpty());

    // Only the chosen corners are rounded.
    const auto topLeft = BezierPath::bezierPathWithRoundedRect({0, 0, 40, 40}, RectCornerTopLeft, {10, 10});
    EXPECT_FALSE(topLeft->containsPoint({1, 1}));
    EXPECT_TRUE(topLeft->containsPoint({39, 1}));
    EXPECT_TRUE(topLeft->containsPoint({1, 39}));
    const auto all = BezierPath::bezierPathWithRoundedRect({0, 0, 40, 40}, 10);
    EXPECT_FALSE(all->containsPoint({39.5, 39.5}));
    // Too large a radius is cut to half the shorter side, in both directions.
    const auto pill = BezierPath::bezierPathWithRoundedRect({0, 0, 100, 40}, 30);
    EXPECT_TRUE(pill->containsPoint({20, 1}));
    EXPECT_FALSE(pill->containsPoint({2, 2}));

    // Rings by even-odd; paths append and transform.
    auto ring = BezierPath::bezierPathWithOvalInRect({0, 0, 40, 40});
    ring->appendPath(*BezierPath::bezierPathWithOvalInRect({10, 10, 20, 20}));
    EXPECT_TRUE(ring->containsPoint({20, 20}));
    ring->setUsesEvenOddFillRule(true);
    EXPECT_FALSE(ring->containsPoint({20, 20}));
    ring->applyTransform(cg::AffineTransform::makeTranslation(100, 0));
    EXPECT_TRUE(ring->containsPoint({103, 20}));
    ring->removeAllPoints();
    EXPECT_TRUE(ring->isEmpty());

    EXPECT_EQ(BezierPath::classObject().name(), "UIBezierPath");
}

TEST(BezierPathTests, PieProgressDrawnThroughTheCurrentContext) {
    // A pie indicator: a 3-point ring, then 40 % of the disc from twelve o'clock clockwise.
    const double progress = 0.4;
    GraphicsBeginImageContextWithOptions({34, 34}, false, 2);
    Color::whiteColor()->set();
    const auto ring = BezierPath::bezierPathWithOvalInRect({3, 3, 28, 28});
    ring->setLineWidth(3);
    ring->stroke();
    const auto sector = BezierPath::bezierPath();
    sector->moveToPoint({17, 17});
    sector->addArcWithCenter({17, 17}, 14, -kPi / 2, progress * 2 * kPi - kPi / 2, true);
    sector->closePath();
    sector->fill();
    const auto drawn = GraphicsGetImageFromCurrentImageContext()->CGImage();
    GraphicsEndImageContext();

    const auto reference = test::renderReference(68, 68, [&](double px, double py) {
        const double x = px / 2 - 17, y = py / 2 - 17;
        const double d = std::hypot(x, y);
        double angle = std::atan2(y, x) + kPi / 2;
        if (angle < 0) angle += 2 * kPi;
        const bool onRing = std::fabs(d - 14) <= 1.5;
        const bool inSector = d <= 14 && angle <= progress * 2 * kPi;
        return (onRing || inSector) ? cg::RGBA{1, 1, 1, 1} : cg::RGBA{};
    });
    test::saveForInspection(*drawn, "pie-progress");
    const auto d = test::compareImages(*drawn, *reference, 40);
    EXPECT_LE(d.differing, 20) << "largest " << d.largestDelta;

    // Clipping to a path limits what follows; the stroke settings stay with the path.
    GraphicsBeginImageContextWithOptions({20, 20}, false, 1);
    BezierPath::bezierPathWithRect({0, 0, 10, 20})->addClip();
    Color::redColor()->setFill();
    BezierPath::bezierPathWithRect({0, 0, 20, 20})->fill();
    const auto clipped = GraphicsGetImageFromCurrentImageContext()->CGImage();
    EXPECT_EQ(GraphicsGetCurrentContext()->lineWidth(), 1);
    GraphicsEndImageContext();
    EXPECT_EQ(clipped->pixel(5, 5).r, 255);
    EXPECT_EQ(clipped->pixel(15, 5).a, 0);
}

}  // namespace
}  // namespace ql::ui
