#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "platform/graphics/Geometry.h"

namespace ql::cg {
namespace {

void expectNear(const AffineTransform& a, const AffineTransform& b) {
    EXPECT_NEAR(a.a, b.a, 1e-12);
    EXPECT_NEAR(a.b, b.b, 1e-12);
    EXPECT_NEAR(a.c, b.c, 1e-12);
    EXPECT_NEAR(a.d, b.d, 1e-12);
    EXPECT_NEAR(a.tx, b.tx, 1e-9);
    EXPECT_NEAR(a.ty, b.ty, 1e-9);
}

TEST(GeometryTests, RectQueriesReadNegativeSizesStandardised) {
    const Rect r{10, 20, -4, -6};
    EXPECT_EQ(minX(r), 6);
    EXPECT_EQ(maxX(r), 10);
    EXPECT_EQ(midX(r), 8);
    EXPECT_EQ(minY(r), 14);
    EXPECT_EQ(maxY(r), 20);
    EXPECT_EQ(width(r), 4);
    EXPECT_EQ(height(r), 6);
    EXPECT_EQ(rectStandardize(r), Rect(6, 14, 4, 6));
    EXPECT_TRUE(rectEqualToRect(r, Rect(6, 14, 4, 6)));
    EXPECT_FALSE(r == Rect(6, 14, 4, 6));
}

TEST(GeometryTests, NullAndEmptyRects) {
    const Rect null = Rect::null();
    EXPECT_TRUE(rectIsNull(null));
    EXPECT_TRUE(rectIsEmpty(null));
    EXPECT_FALSE(rectIsNull(Rect::zero()));
    EXPECT_TRUE(rectIsEmpty(Rect::zero()));
    EXPECT_TRUE(rectIsEmpty(Rect(5, 5, 0, 10)));
    EXPECT_FALSE(rectIsEmpty(Rect(5, 5, 1, 1)));
    EXPECT_TRUE(rectEqualToRect(null, Rect::null()));
    EXPECT_FALSE(rectEqualToRect(null, Rect::zero()));
    EXPECT_FALSE(rectContainsPoint(null, {0, 0}));
    EXPECT_TRUE(rectIsInfinite(Rect::infinite()));
    EXPECT_TRUE(rectContainsRect(Rect::infinite(), Rect(-1e9, -1e9, 2e9, 2e9)));
}

TEST(GeometryTests, IntersectionAndUnion) {
    const Rect a{0, 0, 10, 10};
    EXPECT_EQ(rectIntersection(a, Rect(5, 5, 10, 10)), Rect(5, 5, 5, 5));
    // Disjoint rectangles give the null rect; touching ones a zero-width strip that does not count as
    // intersecting.
    EXPECT_TRUE(rectIsNull(rectIntersection(a, Rect(20, 0, 5, 5))));
    EXPECT_EQ(rectIntersection(a, Rect(10, 2, 5, 5)), Rect(10, 2, 0, 5));
    EXPECT_FALSE(rectIntersectsRect(a, Rect(10, 2, 5, 5)));
    EXPECT_TRUE(rectIntersectsRect(a, Rect(9, 2, 5, 5)));
    EXPECT_TRUE(rectIsNull(rectIntersection(a, Rect::null())));
    // Negative sizes are standardised first.
    EXPECT_EQ(rectIntersection(a, Rect(12, 12, -4, -4)), Rect(8, 8, 2, 2));

    // A union ignores null operands but not empty ones: a zero rect at the origin still extends it.
    EXPECT_EQ(rectUnion(Rect(5, 5, 2, 2), Rect::null()), Rect(5, 5, 2, 2));
    EXPECT_EQ(rectUnion(Rect::null(), Rect(1, 1, -1, -1)), Rect(0, 0, 1, 1));
    EXPECT_EQ(rectUnion(Rect(5, 5, 2, 2), Rect::zero()), Rect(0, 0, 7, 7));
    EXPECT_TRUE(rectIsNull(rectUnion(Rect::null(), Rect::null())));
}

TEST(GeometryTests, InsetOffsetIntegralDivideContain) {
    EXPECT_EQ(rectInset(Rect(0, 0, 10, 10), 2, 3), Rect(2, 3, 6, 4));
    EXPECT_EQ(rectInset(Rect(0, 0, 10, 10), -1, -1), Rect(-1, -1, 12, 12));
    EXPECT_TRUE(rectIsNull(rectInset(Rect(0, 0, 10, 10), 6, 0)));
    EXPECT_TRUE(rectIsNull(rectInset(Rect::null(), 1, 1)));
    EXPECT_EQ(rectOffset(Rect(1, 2, -3, 4), 10, 10), Rect(8, 12, 3, 4));
    EXPECT_EQ(rectIntegral(Rect(0.5, 1.2, 2.0, 2.9)), Rect(0, 1, 3, 4));
    EXPECT_TRUE(rectIsNull(rectIntegral(Rect::null())));

    Rect slice, rest;
    rectDivide(Rect(0, 0, 100, 50), &slice, &rest, 30, RectEdge::MaxX);
    EXPECT_EQ(slice, Rect(70, 0, 30, 50));
    EXPECT_EQ(rest, Rect(0, 0, 70, 50));
    rectDivide(Rect(0, 0, 100, 50), &slice, &rest, 80, RectEdge::MinY);
    EXPECT_EQ(slice, Rect(0, 0, 100, 50));
    EXPECT_EQ(rest, Rect(0, 50, 100, 0));

    // The max edges are outside.
    EXPECT_TRUE(rectContainsPoint(Rect(0, 0, 10, 10), {0, 0}));
    EXPECT_FALSE(rectContainsPoint(Rect(0, 0, 10, 10), {10, 5}));
    EXPECT_TRUE(rectContainsRect(Rect(0, 0, 10, 10), Rect(0, 0, 10, 10)));
    EXPECT_FALSE(rectContainsRect(Rect(0, 0, 10, 10), Rect(5, 5, 6, 1)));

    EXPECT_EQ(insetRect(Rect(0, 0, 100, 40), {5, 10, 15, 20}), Rect(10, 5, 70, 20));
    EXPECT_EQ(insetRect(Rect(0, 0, 10, 10), {0, 8, 0, 8}).size.width, -6);
}

TEST(GeometryTests, TransformsComposeInvertAndApply) {
    const AffineTransform t = translate(scale(AffineTransform::identity(), 2, 3), 5, 7);
    // Translation is prepended, so it is scaled too.
    EXPECT_EQ(applyToPoint(t, {1, 1}), Point(12, 24));
    const AffineTransform then = concat(AffineTransform::makeScale(2, 3), AffineTransform::makeTranslation(5, 7));
    EXPECT_EQ(applyToPoint(then, {1, 1}), Point(7, 10));

    expectNear(concat(t, invert(t)), AffineTransform::identity());
    expectNear(concat(invert(t), t), AffineTransform::identity());
    const AffineTransform r = AffineTransform::makeRotation(std::numbers::pi / 2);
    const Point p = applyToPoint(r, {1, 0});
    EXPECT_NEAR(p.x, 0, 1e-12);
    EXPECT_NEAR(p.y, 1, 1e-12);
    expectNear(rotate(rotate(AffineTransform::identity(), 0.3), -0.3), AffineTransform::identity());

    // A singular transform cannot be inverted and comes back as it was.
    const AffineTransform singular = AffineTransform::makeScale(0, 1);
    EXPECT_FALSE(isInvertible(singular));
    EXPECT_EQ(invert(singular), singular);
    EXPECT_TRUE(isIdentity(AffineTransform{}));
    EXPECT_FALSE(isIdentity(r));

    // Sizes take the linear part only; rects become the bounds of their transformed corners.
    EXPECT_EQ(applyToSize(AffineTransform{2, 0, 0, -1, 100, 100}, {3, 4}), Size(6, -4));
    const Rect box = applyToRect(r, Rect(0, 0, 10, 20));
    EXPECT_NEAR(box.origin.x, -20, 1e-9);
    EXPECT_NEAR(box.origin.y, 0, 1e-9);
    EXPECT_NEAR(box.size.width, 20, 1e-9);
    EXPECT_NEAR(box.size.height, 10, 1e-9);
    EXPECT_TRUE(rectIsNull(applyToRect(r, Rect::null())));
}

TEST(GeometryTests, StringFormsRoundTrip) {
    EXPECT_EQ(toString(Point{1, 2.5}), "{1, 2.5}");
    EXPECT_EQ(toString(Rect(0, 0, 10, 20)), "{{0, 0}, {10, 20}}");
    EXPECT_EQ(toString(EdgeInsets{1, 2, 3, 4}), "{1, 2, 3, 4}");
    EXPECT_EQ(toString(AffineTransform::makeTranslation(3, -4)), "[1, 0, 0, 1, 3, -4]");
    EXPECT_EQ(toString(Point{0.1, 1.0 / 3}), "{0.1, 0.3333333333333333}");

    EXPECT_EQ(edgeInsetsFromString("{1, 2, 3, 4}"), (EdgeInsets{1, 2, 3, 4}));
    EXPECT_EQ(edgeInsetsFromString(toString(EdgeInsets{-1.5, 0, 2e3, 7})), (EdgeInsets{-1.5, 0, 2e3, 7}));
    EXPECT_EQ(rectFromString("{{1,2},{3,4}}"), Rect(1, 2, 3, 4));
    EXPECT_EQ(pointFromString("{7}"), Point(7, 0));
    EXPECT_EQ(sizeFromString("garbage"), Size(0, 0));
    const AffineTransform t{1, 2, 3, 4, 5, 6};
    EXPECT_EQ(affineTransformFromString(toString(t)), t);
}

}  // namespace
}  // namespace ql::cg
