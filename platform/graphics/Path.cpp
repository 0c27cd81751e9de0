#include "platform/graphics/Path.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace ql::cg {

namespace {

constexpr double kTwoPi = 2 * std::numbers::pi;
// Control-point distance of a cubic quarter circle of radius 1.
constexpr double kKappa = 0.5522847498307936;

Point lerp(Point a, Point b, double t) { return {a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t}; }

Point cubicAt(const Point& p0, const Point& p1, const Point& p2, const Point& p3, double t) {
    const double u = 1 - t;
    const double a = u * u * u, b = 3 * u * u * t, c = 3 * u * t * t, d = t * t * t;
    return {a * p0.x + b * p1.x + c * p2.x + d * p3.x, a * p0.y + b * p1.y + c * p2.y + d * p3.y};
}

// Parameters in (0, 1) where one coordinate of a cubic has a turning point.
std::vector<double> cubicExtrema(double p0, double p1, double p2, double p3) {
    const double a = -p0 + 3 * p1 - 3 * p2 + p3;
    const double b = 2 * (p0 - 2 * p1 + p2);
    const double c = p1 - p0;
    std::vector<double> out;
    auto keep = [&](double t) {
        if (t > 0 && t < 1) out.push_back(t);
    };
    if (std::fabs(a) < 1e-12) {
        if (std::fabs(b) > 1e-12) keep(-c / b);
        return out;
    }
    const double disc = b * b - 4 * a * c;
    if (disc < 0) return out;
    const double root = std::sqrt(disc);
    keep((-b + root) / (2 * a));
    keep((-b - root) / (2 * a));
    return out;
}

double distance(Point a, Point b) { return std::hypot(b.x - a.x, b.y - a.y); }

}  // namespace

void Path::moveTo(Point p) {
    elements_.push_back({PathElementType::MoveToPoint, {p, {}, {}}});
    current_ = p;
    subpathStart_ = p;
}

void Path::ensureStart(Point p) {
    if (!current_) moveTo(p);
}

void Path::lineTo(Point p) {
    if (!current_) return moveTo(p);
    elements_.push_back({PathElementType::AddLineToPoint, {p, {}, {}}});
    current_ = p;
}

void Path::quadCurveTo(Point control, Point end) {
    ensureStart(control);
    elements_.push_back({PathElementType::AddQuadCurveToPoint, {control, end, {}}});
    current_ = end;
}

void Path::curveTo(Point control1, Point control2, Point end) {
    ensureStart(control1);
    elements_.push_back({PathElementType::AddCurveToPoint, {control1, control2, end}});
    current_ = end;
}

void Path::closeSubpath() {
    if (!current_) return;
    elements_.push_back({PathElementType::CloseSubpath, {}});
    current_ = subpathStart_;
}

void Path::addRect(const Rect& r) {
    moveTo(r.origin);
    lineTo({r.origin.x + r.size.width, r.origin.y});
    lineTo({r.origin.x + r.size.width, r.origin.y + r.size.height});
    lineTo({r.origin.x, r.origin.y + r.size.height});
    closeSubpath();
}

void Path::addLines(const std::vector<Point>& points) {
    if (points.empty()) return;
    moveTo(points.front());
    for (std::size_t i = 1; i < points.size(); ++i) lineTo(points[i]);
}

void Path::addEllipseInRect(const Rect& rect) {
    const Rect r = rectStandardize(rect);
    if (rectIsNull(r)) return;
    const double cx = midX(r), cy = midY(r), rx = r.size.width / 2, ry = r.size.height / 2;
    const double kx = rx * kKappa, ky = ry * kKappa;
    moveTo({cx + rx, cy});
    curveTo({cx + rx, cy + ky}, {cx + kx, cy + ry}, {cx, cy + ry});
    curveTo({cx - kx, cy + ry}, {cx - rx, cy + ky}, {cx - rx, cy});
    curveTo({cx - rx, cy - ky}, {cx - kx, cy - ry}, {cx, cy - ry});
    curveTo({cx + kx, cy - ry}, {cx + rx, cy - ky}, {cx + rx, cy});
    closeSubpath();
}

void Path::appendArcSegments(Point center, double radius, double start, double sweep) {
    if (radius <= 0 || sweep == 0) return;
    const int segments = std::max(1, static_cast<int>(std::ceil(std::fabs(sweep) / (std::numbers::pi / 2) - 1e-9)));
    const double step = sweep / segments;
    const double k = 4.0 / 3.0 * std::tan(step / 4) * radius;
    double a = start;
    for (int i = 0; i < segments; ++i) {
        const double b = (i == segments - 1) ? start + sweep : a + step;
        const Point p0{center.x + radius * std::cos(a), center.y + radius * std::sin(a)};
        const Point p3{center.x + radius * std::cos(b), center.y + radius * std::sin(b)};
        curveTo({p0.x - k * std::sin(a), p0.y + k * std::cos(a)}, {p3.x + k * std::sin(b), p3.y - k * std::cos(b)}, p3);
        a = b;
    }
}

void Path::addArc(Point center, double radius, double startAngle, double endAngle, bool clockwise) {
    radius = std::fabs(radius);
    const Point start{center.x + radius * std::cos(startAngle), center.y + radius * std::sin(startAngle)};
    if (current_) lineTo(start);
    else moveTo(start);
    double sweep = endAngle - startAngle;
    if (!std::isfinite(sweep)) return;
    if (clockwise) {
        if (sweep > 0) sweep -= std::ceil(sweep / kTwoPi) * kTwoPi;
        sweep = std::max(sweep, -kTwoPi);
    } else {
        if (sweep < 0) sweep += std::ceil(-sweep / kTwoPi) * kTwoPi;
        sweep = std::min(sweep, kTwoPi);
    }
    appendArcSegments(center, radius, startAngle, sweep);
}

void Path::addArcToPoint(Point t1, Point t2, double radius) {
    if (!current_) return moveTo(t1);
    const Point p0 = *current_;
    const double l1 = distance(p0, t1), l2 = distance(t1, t2);
    if (l1 == 0 || l2 == 0 || radius <= 0) return lineTo(t1);
    const Point u1{(p0.x - t1.x) / l1, (p0.y - t1.y) / l1};
    const Point u2{(t2.x - t1.x) / l2, (t2.y - t1.y) / l2};
    if (std::fabs(u1.x * u2.y - u1.y * u2.x) < 1e-12) return lineTo(t1);
    const double angle = std::acos(std::clamp(u1.x * u2.x + u1.y * u2.y, -1.0, 1.0));
    const double d = radius / std::tan(angle / 2);
    const Point tp1{t1.x + u1.x * d, t1.y + u1.y * d};
    const Point tp2{t1.x + u2.x * d, t1.y + u2.y * d};
    Point bisector{u1.x + u2.x, u1.y + u2.y};
    const double bl = std::hypot(bisector.x, bisector.y);
    bisector = {bisector.x / bl, bisector.y / bl};
    const double h = radius / std::sin(angle / 2);
    const Point center{t1.x + bisector.x * h, t1.y + bisector.y * h};
    lineTo(tp1);
    const double a1 = std::atan2(tp1.y - center.y, tp1.x - center.x);
    const double a2 = std::atan2(tp2.y - center.y, tp2.x - center.x);
    double sweep = a2 - a1;
    if (sweep > std::numbers::pi) sweep -= kTwoPi;
    if (sweep < -std::numbers::pi) sweep += kTwoPi;
    appendArcSegments(center, radius, a1, sweep);
}

void Path::addRoundedRect(const Rect& rect, double cornerWidth, double cornerHeight) {
    const Rect r = rectStandardize(rect);
    if (rectIsNull(r)) return;
    const double cw = std::clamp(cornerWidth, 0.0, r.size.width / 2);
    const double ch = std::clamp(cornerHeight, 0.0, r.size.height / 2);
    if (cw == 0 || ch == 0) return addRect(r);
    const double x0 = minX(r), x1 = maxX(r), y0 = minY(r), y1 = maxY(r);
    const double kx = cw * kKappa, ky = ch * kKappa;
    moveTo({x0 + cw, y0});
    lineTo({x1 - cw, y0});
    curveTo({x1 - cw + kx, y0}, {x1, y0 + ch - ky}, {x1, y0 + ch});
    lineTo({x1, y1 - ch});
    curveTo({x1, y1 - ch + ky}, {x1 - cw + kx, y1}, {x1 - cw, y1});
    lineTo({x0 + cw, y1});
    curveTo({x0 + cw - kx, y1}, {x0, y1 - ch + ky}, {x0, y1 - ch});
    lineTo({x0, y0 + ch});
    curveTo({x0, y0 + ch - ky}, {x0 + cw - kx, y0}, {x0 + cw, y0});
    closeSubpath();
}

void Path::addPath(const Path& other, const AffineTransform& t) {
    for (const PathElement& e : other.elements_) {
        PathElement copy = e;
        const int n = e.type == PathElementType::AddCurveToPoint       ? 3
                      : e.type == PathElementType::AddQuadCurveToPoint ? 2
                      : e.type == PathElementType::CloseSubpath        ? 0
                                                                       : 1;
        for (int i = 0; i < n; ++i) copy.points[static_cast<std::size_t>(i)] = applyToPoint(t, e.points[static_cast<std::size_t>(i)]);
        switch (copy.type) {
        case PathElementType::MoveToPoint: moveTo(copy.points[0]); break;
        case PathElementType::AddLineToPoint: lineTo(copy.points[0]); break;
        case PathElementType::AddQuadCurveToPoint: quadCurveTo(copy.points[0], copy.points[1]); break;
        case PathElementType::AddCurveToPoint: curveTo(copy.points[0], copy.points[1], copy.points[2]); break;
        case PathElementType::CloseSubpath: closeSubpath(); break;
        }
    }
}

Path Path::transformed(const AffineTransform& t) const {
    Path out;
    out.addPath(*this, t);
    return out;
}

Rect Path::boundingBox() const {
    Rect box = Rect::null();
    for (const PathElement& e : elements_) {
        const int n = e.type == PathElementType::AddCurveToPoint       ? 3
                      : e.type == PathElementType::AddQuadCurveToPoint ? 2
                      : e.type == PathElementType::CloseSubpath        ? 0
                                                                       : 1;
        for (int i = 0; i < n; ++i) box = rectUnion(box, Rect(e.points[static_cast<std::size_t>(i)], Size{}));
    }
    return box;
}

Rect Path::pathBoundingBox() const {
    Rect box = Rect::null();
    Point last{};
    auto include = [&](Point p) { box = rectUnion(box, Rect(p, Size{})); };
    for (const PathElement& e : elements_) {
        switch (e.type) {
        case PathElementType::MoveToPoint:
        case PathElementType::AddLineToPoint:
            include(e.points[0]);
            last = e.points[0];
            break;
        case PathElementType::AddQuadCurveToPoint: {
            // As the cubic with the same shape.
            const Point c1 = lerp(last, e.points[0], 2.0 / 3.0);
            const Point c2 = lerp(e.points[1], e.points[0], 2.0 / 3.0);
            for (double t : cubicExtrema(last.x, c1.x, c2.x, e.points[1].x)) include(cubicAt(last, c1, c2, e.points[1], t));
            for (double t : cubicExtrema(last.y, c1.y, c2.y, e.points[1].y)) include(cubicAt(last, c1, c2, e.points[1], t));
            include(e.points[1]);
            last = e.points[1];
            break;
        }
        case PathElementType::AddCurveToPoint: {
            const auto& p = e.points;
            for (double t : cubicExtrema(last.x, p[0].x, p[1].x, p[2].x)) include(cubicAt(last, p[0], p[1], p[2], t));
            for (double t : cubicExtrema(last.y, p[0].y, p[1].y, p[2].y)) include(cubicAt(last, p[0], p[1], p[2], t));
            include(p[2]);
            last = p[2];
            break;
        }
        case PathElementType::CloseSubpath: break;
        }
    }
    return box;
}

std::vector<std::vector<Point>> Path::flattened(double tolerance) const {
    std::vector<std::vector<Point>> out;
    Point start{}, last{};
    auto current = [&]() -> std::vector<Point>& {
        if (out.empty()) out.push_back({last});
        return out.back();
    };
    auto addCubic = [&](Point p0, Point p1, Point p2, Point p3) {
        const double dd = std::max(std::hypot(p0.x - 2 * p1.x + p2.x, p0.y - 2 * p1.y + p2.y),
                                   std::hypot(p1.x - 2 * p2.x + p3.x, p1.y - 2 * p2.y + p3.y));
        const int n = std::clamp(static_cast<int>(std::ceil(std::sqrt(0.75 * dd / tolerance))), 1, 1000);
        auto& poly = current();
        for (int i = 1; i <= n; ++i) poly.push_back(cubicAt(p0, p1, p2, p3, static_cast<double>(i) / n));
    };
    for (const PathElement& e : elements_) {
        switch (e.type) {
        case PathElementType::MoveToPoint:
            out.push_back({e.points[0]});
            start = last = e.points[0];
            break;
        case PathElementType::AddLineToPoint:
            current().push_back(e.points[0]);
            last = e.points[0];
            break;
        case PathElementType::AddQuadCurveToPoint:
            addCubic(last, lerp(last, e.points[0], 2.0 / 3.0), lerp(e.points[1], e.points[0], 2.0 / 3.0), e.points[1]);
            last = e.points[1];
            break;
        case PathElementType::AddCurveToPoint:
            addCubic(last, e.points[0], e.points[1], e.points[2]);
            last = e.points[2];
            break;
        case PathElementType::CloseSubpath:
            current().push_back(start);
            // A segment after a close starts a new subpath at the same start point.
            out.push_back({start});
            last = start;
            break;
        }
    }
    std::erase_if(out, [](const std::vector<Point>& poly) { return poly.size() < 2; });
    return out;
}

bool Path::containsPoint(Point p, FillRule rule) const {
    int winding = 0;
    int crossings = 0;
    for (const auto& poly : flattened(0.01)) {
        // Every subpath counts as closed for filling.
        for (std::size_t i = 0; i < poly.size(); ++i) {
            const Point a = poly[i];
            const Point b = poly[(i + 1) % poly.size()];
            if ((a.y <= p.y) == (b.y <= p.y)) continue;
            const double x = a.x + (p.y - a.y) * (b.x - a.x) / (b.y - a.y);
            if (x > p.x) {
                ++crossings;
                winding += b.y > a.y ? 1 : -1;
            }
        }
    }
    return rule == FillRule::EvenOdd ? (crossings % 2) != 0 : winding != 0;
}

}  // namespace ql::cg
