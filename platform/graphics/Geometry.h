#pragma once
// Points, sizes, rectangles, edge insets and affine transforms with the platform's geometry rules:
// rectangles may have negative sizes (functions read them standardised), and the null rectangle
// (origin at infinity) is what an empty intersection yields and what a union ignores.

#include <string>
#include <string_view>

namespace ql::cg {

// The constructors let Point(x, y) work where parenthesised aggregate initialisation is not available.
struct Point {
    double x = 0;
    double y = 0;

    constexpr Point() = default;
    constexpr Point(double px, double py) : x(px), y(py) {}

    static constexpr Point zero() { return {}; }
    friend bool operator==(const Point&, const Point&) = default;
};

struct Size {
    double width = 0;
    double height = 0;

    constexpr Size() = default;
    constexpr Size(double w, double h) : width(w), height(h) {}

    static constexpr Size zero() { return {}; }
    friend bool operator==(const Size&, const Size&) = default;
};

struct Rect {
    Point origin;
    Size size;

    constexpr Rect() = default;
    constexpr Rect(Point o, Size s) : origin(o), size(s) {}
    constexpr Rect(double x, double y, double width, double height) : origin{x, y}, size{width, height} {}

    static constexpr Rect zero() { return {}; }
    static Rect null();    // the result of intersecting disjoint rectangles
    static Rect infinite();
    friend bool operator==(const Rect&, const Rect&) = default;
};

struct EdgeInsets {
    double top = 0;
    double left = 0;
    double bottom = 0;
    double right = 0;

    constexpr EdgeInsets() = default;
    constexpr EdgeInsets(double t, double l, double b, double r) : top(t), left(l), bottom(b), right(r) {}

    static constexpr EdgeInsets zero() { return {}; }
    friend bool operator==(const EdgeInsets&, const EdgeInsets&) = default;
};

// Maps (x, y) to (a·x + c·y + tx, b·x + d·y + ty).
struct AffineTransform {
    double a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;

    constexpr AffineTransform() = default;
    constexpr AffineTransform(double a_, double b_, double c_, double d_, double tx_, double ty_)
        : a(a_), b(b_), c(c_), d(d_), tx(tx_), ty(ty_) {}

    static constexpr AffineTransform identity() { return {}; }
    static AffineTransform makeTranslation(double tx, double ty);
    static AffineTransform makeScale(double sx, double sy);
    static AffineTransform makeRotation(double radians);
    friend bool operator==(const AffineTransform&, const AffineTransform&) = default;
};

// Rectangle queries; all read the rectangle standardised (non-negative size).
double minX(const Rect& r);
double midX(const Rect& r);
double maxX(const Rect& r);
double minY(const Rect& r);
double midY(const Rect& r);
double maxY(const Rect& r);
double width(const Rect& r);
double height(const Rect& r);

Rect rectStandardize(const Rect& r);
bool rectIsNull(const Rect& r);
bool rectIsEmpty(const Rect& r);  // null, or zero width or height
bool rectIsInfinite(const Rect& r);
bool rectEqualToRect(const Rect& a, const Rect& b);
bool rectContainsPoint(const Rect& r, Point p);  // half-open: the max edges are outside
bool rectContainsRect(const Rect& outer, const Rect& inner);
bool rectIntersectsRect(const Rect& a, const Rect& b);
Rect rectIntersection(const Rect& a, const Rect& b);  // null when disjoint
Rect rectUnion(const Rect& a, const Rect& b);         // null operands are ignored
Rect rectInset(const Rect& r, double dx, double dy);  // null when insetting past zero size
Rect rectOffset(const Rect& r, double dx, double dy);
Rect rectIntegral(const Rect& r);                     // smallest integral rectangle around r
// Splits r into the slice of `amount` taken from `edge` and the remainder.
enum class RectEdge { MinX, MinY, MaxX, MaxY };
void rectDivide(const Rect& r, Rect* slice, Rect* remainder, double amount, RectEdge edge);

bool pointEqualToPoint(Point a, Point b);
bool sizeEqualToSize(Size a, Size b);

Rect insetRect(const Rect& r, const EdgeInsets& insets);  // may leave a negative size, as the platform does

// Transforms. translate/scale/rotate prepend the operation: the result applies it first, then t.
bool isIdentity(const AffineTransform& t);
AffineTransform translate(const AffineTransform& t, double tx, double ty);
AffineTransform scale(const AffineTransform& t, double sx, double sy);
AffineTransform rotate(const AffineTransform& t, double radians);
AffineTransform concat(const AffineTransform& first, const AffineTransform& then);
AffineTransform invert(const AffineTransform& t);  // a singular t comes back unchanged
bool isInvertible(const AffineTransform& t);
Point applyToPoint(const AffineTransform& t, Point p);
Size applyToSize(const AffineTransform& t, Size s);  // linear part only, like the platform
Rect applyToRect(const AffineTransform& t, const Rect& r);  // bounding box of the transformed corners

// Descriptions in the platform's format: "{1, 2}", "{{0, 0}, {10, 20}}", "[1, 0, 0, 1, 0, 0]".
std::string toString(Point p);
std::string toString(Size s);
std::string toString(const Rect& r);
std::string toString(const EdgeInsets& e);
std::string toString(const AffineTransform& t);

// The reverse: the numbers of the text are read in order, ignoring braces, brackets and commas; missing
// numbers read as 0, so a malformed text gives zeros rather than failing.
Point pointFromString(std::string_view text);
Size sizeFromString(std::string_view text);
Rect rectFromString(std::string_view text);
EdgeInsets edgeInsetsFromString(std::string_view text);
AffineTransform affineTransformFromString(std::string_view text);

}  // namespace ql::cg
