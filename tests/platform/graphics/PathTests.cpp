#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "platform/graphics/Path.h"

namespace ql::cg {
namespace {

constexpr double kPi = std::numbers::pi;

TEST(PathTests, ArcsFollowTheDirectionFlagAndStayOnTheCircle) {
    // Increasing angles (clockwise flag off): a quarter from the top to the right runs through the upper
    // right; decreasing angles take the long way round through the left.
    Path shortWay;
    shortWay.addArc({0, 0}, 10, -kPi / 2, 0, false);
    Path longWay;
    longWay.addArc({0, 0}, 10, -kPi / 2, 0, true);
    const Rect a = shortWay.pathBoundingBox();
    EXPECT_NEAR(minX(a), 0, 1e-9);
    EXPECT_NEAR(maxY(a), 0, 1e-9);
    const Rect b = longWay.pathBoundingBox();
    EXPECT_NEAR(minX(b), -10, 1e-6);
    EXPECT_NEAR(maxY(b), 10, 1e-6);
    ASSERT_TRUE(longWay.currentPoint());
    EXPECT_NEAR(longWay.currentPoint()->x, 10, 1e-9);
    EXPECT_NEAR(longWay.currentPoint()->y, 0, 1e-9);

    // Every flattened point lies on the circle.
    Path circle;
    circle.addArc({5, 5}, 20, -kPi / 2, -kPi / 2 + 2 * kPi, false);
    for (const auto& poly : circle.flattened(0.01))
        for (const Point& p : poly) EXPECT_NEAR(std::hypot(p.x - 5, p.y - 5), 20, 0.02);

    // A sweep of more than a turn draws one turn; an arc with a current point is joined by a line.
    Path over;
    over.moveTo({100, 100});
    over.addArc({0, 0}, 1, 0, 6 * kPi, false);
    EXPECT_EQ(over.elements()[1].type, PathElementType::AddLineToPoint);
    EXPECT_EQ(over.elements()[1].points[0], Point(1, 0));
    EXPECT_EQ(over.elements().size(), 6u);  // move, line, four quarter curves
}

TEST(PathTests, ArcToPointIsTangentToBothLines) {
    // A rounded corner: from (0, 10) up to the corner (0, 0), then right towards (20, 0), radius 5.
    Path p;
    p.moveTo({0, 10});
    p.addArcToPoint({0, 0}, {20, 0}, 5);
    ASSERT_GE(p.elements().size(), 3u);
    EXPECT_EQ(p.elements()[1].type, PathElementType::AddLineToPoint);
    EXPECT_NEAR(p.elements()[1].points[0].x, 0, 1e-9);
    EXPECT_NEAR(p.elements()[1].points[0].y, 5, 1e-9);
    ASSERT_TRUE(p.currentPoint());
    EXPECT_NEAR(p.currentPoint()->x, 5, 1e-9);
    EXPECT_NEAR(p.currentPoint()->y, 0, 1e-9);
    // The arc bulges towards the corner but stays on the circle around (5, 5).
    const auto polylines = p.flattened(0.001);
    for (const Point& q : polylines.front())
        if (q.y < 5 && q.x < 5) {
            EXPECT_NEAR(std::hypot(q.x - 5, q.y - 5), 5, 0.01);
        }

    // Collinear points and a zero radius degrade to a line to the first tangent point.
    Path straight;
    straight.moveTo({0, 0});
    straight.addArcToPoint({10, 0}, {20, 0}, 5);
    EXPECT_EQ(straight.elements().back().type, PathElementType::AddLineToPoint);
    EXPECT_EQ(*straight.currentPoint(), Point(10, 0));
    Path none;
    none.addArcToPoint({3, 4}, {5, 6}, 2);
    EXPECT_EQ(*none.currentPoint(), Point(3, 4));
}

TEST(PathTests, BoundsAndHitTesting) {
    Path ellipse;
    ellipse.addEllipseInRect({10, 20, 40, 20});
    const Rect tight = ellipse.pathBoundingBox();
    EXPECT_NEAR(tight.origin.x, 10, 1e-9);
    EXPECT_NEAR(tight.origin.y, 20, 1e-9);
    EXPECT_NEAR(tight.size.width, 40, 1e-9);
    EXPECT_NEAR(tight.size.height, 20, 1e-9);
    EXPECT_TRUE(rectContainsRect(ellipse.boundingBox(), tight));
    EXPECT_TRUE(rectIsNull(Path().boundingBox()));

    EXPECT_TRUE(ellipse.containsPoint({30, 30}));
    EXPECT_FALSE(ellipse.containsPoint({11, 21}));  // inside the box, outside the curve

    // Two circles the same way round: a disc by winding, a ring by even-odd.
    Path rings;
    rings.addEllipseInRect({0, 0, 100, 100});
    rings.addEllipseInRect({25, 25, 50, 50});
    EXPECT_TRUE(rings.containsPoint({50, 50}, FillRule::Winding));
    EXPECT_FALSE(rings.containsPoint({50, 50}, FillRule::EvenOdd));
    EXPECT_TRUE(rings.containsPoint({10, 50}, FillRule::EvenOdd));

    Path rounded;
    rounded.addRoundedRect({0, 0, 100, 40}, 30, 30);  // corners of 30 × 20: the height limits one radius only
    EXPECT_FALSE(rounded.containsPoint({1, 1}));
    EXPECT_FALSE(rounded.containsPoint({20, 1}));
    EXPECT_TRUE(rounded.containsPoint({31, 1}));
    EXPECT_TRUE(rounded.containsPoint({50, 20}));

    const Path moved = rounded.transformed(AffineTransform::makeTranslation(10, 5));
    EXPECT_EQ(moved.pathBoundingBox(), Rect(10, 5, 100, 40));
    EXPECT_FALSE(moved == rounded);
    EXPECT_TRUE(moved == rounded.transformed(AffineTransform::makeTranslation(10, 5)));
}

}  // namespace
}  // namespace ql::cg
