#include "platform/graphics/Geometry.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace ql::cg {

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

// The platform's infinite rectangle: large enough that any finite geometry fits inside.
constexpr double kInfiniteHalf = 8.98846567431158e307;

std::string number(double v) {
    // The shortest text that reads back as the same value, so that 0.1 prints as 0.1.
    char buf[32];
    const auto result = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, result.ptr);
}

// Up to N numbers of a description, in order; what is missing stays 0.
template <std::size_t N>
std::array<double, N> numbersIn(std::string_view text) {
    std::array<double, N> out{};
    std::size_t found = 0;
    std::size_t i = 0;
    while (found < N && i < text.size()) {
        const char c = text[i];
        if (std::isdigit(static_cast<unsigned char>(c)) || c == '-' || c == '+' || c == '.') {
            const std::string piece(text.substr(i, std::min<std::size_t>(64, text.size() - i)));
            char* end = nullptr;
            const double v = std::strtod(piece.c_str(), &end);
            if (end != piece.c_str()) {
                out[found++] = v;
                i += static_cast<std::size_t>(end - piece.c_str());
                continue;
            }
        }
        ++i;
    }
    return out;
}

}  // namespace

Rect Rect::null() { return {kInf, kInf, 0, 0}; }

Rect Rect::infinite() { return {-kInfiniteHalf, -kInfiniteHalf, 2 * kInfiniteHalf, 2 * kInfiniteHalf}; }

AffineTransform AffineTransform::makeTranslation(double tx, double ty) { return {1, 0, 0, 1, tx, ty}; }

AffineTransform AffineTransform::makeScale(double sx, double sy) { return {sx, 0, 0, sy, 0, 0}; }

AffineTransform AffineTransform::makeRotation(double radians) {
    const double c = std::cos(radians);
    const double s = std::sin(radians);
    return {c, s, -s, c, 0, 0};
}

double minX(const Rect& r) { return r.origin.x + std::min(0.0, r.size.width); }
double maxX(const Rect& r) { return r.origin.x + std::max(0.0, r.size.width); }
double midX(const Rect& r) { return r.origin.x + r.size.width / 2; }
double minY(const Rect& r) { return r.origin.y + std::min(0.0, r.size.height); }
double maxY(const Rect& r) { return r.origin.y + std::max(0.0, r.size.height); }
double midY(const Rect& r) { return r.origin.y + r.size.height / 2; }
double width(const Rect& r) { return std::fabs(r.size.width); }
double height(const Rect& r) { return std::fabs(r.size.height); }

Rect rectStandardize(const Rect& r) {
    if (rectIsNull(r)) return r;
    return {minX(r), minY(r), width(r), height(r)};
}

bool rectIsNull(const Rect& r) { return std::isinf(r.origin.x) || std::isinf(r.origin.y); }

bool rectIsEmpty(const Rect& r) { return rectIsNull(r) || r.size.width == 0 || r.size.height == 0; }

bool rectIsInfinite(const Rect& r) { return rectEqualToRect(r, Rect::infinite()); }

bool rectEqualToRect(const Rect& a, const Rect& b) {
    if (rectIsNull(a) || rectIsNull(b)) return rectIsNull(a) && rectIsNull(b);
    return rectStandardize(a) == rectStandardize(b);
}

bool rectContainsPoint(const Rect& r, Point p) {
    if (rectIsNull(r)) return false;
    return p.x >= minX(r) && p.x < maxX(r) && p.y >= minY(r) && p.y < maxY(r);
}

bool rectContainsRect(const Rect& outer, const Rect& inner) {
    if (rectIsNull(outer) || rectIsNull(inner)) return false;
    return minX(inner) >= minX(outer) && maxX(inner) <= maxX(outer) && minY(inner) >= minY(outer) &&
                  maxY(inner) <= maxY(outer);
}

bool rectIntersectsRect(const Rect& a, const Rect& b) {
    if (rectIsNull(a) || rectIsNull(b)) return false;
    return minX(a) < maxX(b) && minX(b) < maxX(a) && minY(a) < maxY(b) && minY(b) < maxY(a);
}

Rect rectIntersection(const Rect& a, const Rect& b) {
    if (rectIsNull(a) || rectIsNull(b)) return Rect::null();
    const double x0 = std::max(minX(a), minX(b));
    const double x1 = std::min(maxX(a), maxX(b));
    const double y0 = std::max(minY(a), minY(b));
    const double y1 = std::min(maxY(a), maxY(b));
    // Rectangles that only touch share a zero-sized edge, which is still an intersection.
    if (x1 < x0 || y1 < y0) return Rect::null();
    return {x0, y0, x1 - x0, y1 - y0};
}

Rect rectUnion(const Rect& a, const Rect& b) {
    if (rectIsNull(a)) return rectStandardize(b);
    if (rectIsNull(b)) return rectStandardize(a);
    const double x0 = std::min(minX(a), minX(b));
    const double y0 = std::min(minY(a), minY(b));
    return {x0, y0, std::max(maxX(a), maxX(b)) - x0, std::max(maxY(a), maxY(b)) - y0};
}

Rect rectInset(const Rect& r, double dx, double dy) {
    if (rectIsNull(r)) return r;
    const Rect s = rectStandardize(r);
    const Rect out{s.origin.x + dx, s.origin.y + dy, s.size.width - 2 * dx, s.size.height - 2 * dy};
    if (out.size.width < 0 || out.size.height < 0) return Rect::null();
    return out;
}

Rect rectOffset(const Rect& r, double dx, double dy) {
    if (rectIsNull(r)) return r;
    const Rect s = rectStandardize(r);
    return {s.origin.x + dx, s.origin.y + dy, s.size.width, s.size.height};
}

Rect rectIntegral(const Rect& r) {
    if (rectIsNull(r)) return r;
    const double x0 = std::floor(minX(r));
    const double y0 = std::floor(minY(r));
    return {x0, y0, std::ceil(maxX(r)) - x0, std::ceil(maxY(r)) - y0};
}

void rectDivide(const Rect& r, Rect* slice, Rect* remainder, double amount, RectEdge edge) {
    const Rect s = rectStandardize(r);
    Rect a = Rect::null();
    Rect b = Rect::null();
    if (!rectIsNull(s)) {
        const bool horizontal = edge == RectEdge::MinX || edge == RectEdge::MaxX;
        const double extent = horizontal ? s.size.width : s.size.height;
        const double cut = std::clamp(amount, 0.0, extent);
        a = b = s;
        if (horizontal) {
            a.size.width = cut;
            b.size.width = extent - cut;
            if (edge == RectEdge::MinX) b.origin.x += cut;
            else a.origin.x += extent - cut;
        } else {
            a.size.height = cut;
            b.size.height = extent - cut;
            if (edge == RectEdge::MinY) b.origin.y += cut;
            else a.origin.y += extent - cut;
        }
    }
    if (slice) *slice = a;
    if (remainder) *remainder = b;
}

bool pointEqualToPoint(Point a, Point b) { return a == b; }

bool sizeEqualToSize(Size a, Size b) { return a == b; }

Rect insetRect(const Rect& r, const EdgeInsets& insets) {
    return {r.origin.x + insets.left, r.origin.y + insets.top, r.size.width - (insets.left + insets.right),
                    r.size.height - (insets.top + insets.bottom)};
}

bool isIdentity(const AffineTransform& t) { return t == AffineTransform::identity(); }

AffineTransform concat(const AffineTransform& t1, const AffineTransform& t2) {
    return {t1.a * t2.a + t1.b * t2.c,
                    t1.a * t2.b + t1.b * t2.d,
                    t1.c * t2.a + t1.d * t2.c,
                    t1.c * t2.b + t1.d * t2.d,
                    t1.tx * t2.a + t1.ty * t2.c + t2.tx,
                    t1.tx * t2.b + t1.ty * t2.d + t2.ty};
}

AffineTransform translate(const AffineTransform& t, double tx, double ty) {
    return concat(AffineTransform::makeTranslation(tx, ty), t);
}

AffineTransform scale(const AffineTransform& t, double sx, double sy) {
    return concat(AffineTransform::makeScale(sx, sy), t);
}

AffineTransform rotate(const AffineTransform& t, double radians) {
    return concat(AffineTransform::makeRotation(radians), t);
}

bool isInvertible(const AffineTransform& t) {
    const double det = t.a * t.d - t.b * t.c;
    return det != 0 && std::isfinite(det);
}

AffineTransform invert(const AffineTransform& t) {
    if (!isInvertible(t)) return t;
    const double det = t.a * t.d - t.b * t.c;
    const double a = t.d / det;
    const double b = -t.b / det;
    const double c = -t.c / det;
    const double d = t.a / det;
    return {a, b, c, d, -(t.tx * a + t.ty * c), -(t.tx * b + t.ty * d)};
}

Point applyToPoint(const AffineTransform& t, Point p) {
    return {t.a * p.x + t.c * p.y + t.tx, t.b * p.x + t.d * p.y + t.ty};
}

Size applyToSize(const AffineTransform& t, Size s) {
    return {t.a * s.width + t.c * s.height, t.b * s.width + t.d * s.height};
}

Rect applyToRect(const AffineTransform& t, const Rect& r) {
    if (rectIsNull(r)) return r;
    const Point corners[] = {applyToPoint(t, {minX(r), minY(r)}), applyToPoint(t, {maxX(r), minY(r)}),
                                                      applyToPoint(t, {minX(r), maxY(r)}), applyToPoint(t, {maxX(r), maxY(r)})};
    double x0 = corners[0].x, x1 = x0, y0 = corners[0].y, y1 = y0;
    for (const Point& p : corners) {
        x0 = std::min(x0, p.x);
        x1 = std::max(x1, p.x);
        y0 = std::min(y0, p.y);
        y1 = std::max(y1, p.y);
    }
    return {x0, y0, x1 - x0, y1 - y0};
}

std::string toString(Point p) { return "{" + number(p.x) + ", " + number(p.y) + "}"; }

std::string toString(Size s) { return "{" + number(s.width) + ", " + number(s.height) + "}"; }

std::string toString(const Rect& r) { return "{" + toString(r.origin) + ", " + toString(r.size) + "}"; }

std::string toString(const EdgeInsets& e) {
    return "{" + number(e.top) + ", " + number(e.left) + ", " + number(e.bottom) + ", " + number(e.right) + "}";
}

std::string toString(const AffineTransform& t) {
    return "[" + number(t.a) + ", " + number(t.b) + ", " + number(t.c) + ", " + number(t.d) + ", " + number(t.tx) +
                  ", " + number(t.ty) + "]";
}

Point pointFromString(std::string_view text) {
    const auto n = numbersIn<2>(text);
    return {n[0], n[1]};
}

Size sizeFromString(std::string_view text) {
    const auto n = numbersIn<2>(text);
    return {n[0], n[1]};
}

Rect rectFromString(std::string_view text) {
    const auto n = numbersIn<4>(text);
    return {n[0], n[1], n[2], n[3]};
}

EdgeInsets edgeInsetsFromString(std::string_view text) {
    const auto n = numbersIn<4>(text);
    return {n[0], n[1], n[2], n[3]};
}

AffineTransform affineTransformFromString(std::string_view text) {
    const auto n = numbersIn<6>(text);
    return {n[0], n[1], n[2], n[3], n[4], n[5]};
}

}  // namespace ql::cg
