#pragma once
// cg::Path: a sequence of subpaths made of lines and Bézier curves, as the drawing context and bezier
// paths build and query them. Arcs and ellipses are turned into cubic curves when they are added.

#include <array>
#include <optional>
#include <vector>

#include "platform/graphics/Geometry.h"

namespace ql::cg {

enum class PathElementType { MoveToPoint, AddLineToPoint, AddQuadCurveToPoint, AddCurveToPoint, CloseSubpath };

struct PathElement {
    PathElementType type;
    std::array<Point, 3> points;  // 1 for move and line, 2 for quad curves, 3 for cubic curves, 0 for close
    friend bool operator==(const PathElement&, const PathElement&) = default;
};

enum class FillRule { Winding, EvenOdd };

class Path {
public:
    bool isEmpty() const { return elements_.empty(); }
    const std::vector<PathElement>& elements() const { return elements_; }
    // Where the next segment starts; nullopt before the first move.
    std::optional<Point> currentPoint() const { return current_; }

    void moveTo(Point p);
    // Without a current point, these start a subpath at their first point instead.
    void lineTo(Point p);
    void quadCurveTo(Point control, Point end);
    void curveTo(Point control1, Point control2, Point end);
    void closeSubpath();

    void addRect(const Rect& r);
    void addLines(const std::vector<Point>& points);
    // A closed ellipse inscribed in the rectangle, starting at its right-hand middle and running towards
    // increasing angles (clockwise on a y-down screen).
    void addEllipseInRect(const Rect& r);
    // An arc of the circle around `center` from `startAngle` to `endAngle`, joined to the current point by a
    // line. `clockwise` follows the drawing context's convention: true runs towards decreasing angles.
    // Sweeps beyond a full turn are cut to one turn.
    void addArc(Point center, double radius, double startAngle, double endAngle, bool clockwise);
    // A line from the current point towards `tangent1`, then the arc of `radius` tangent to both the line
    // current→tangent1 and the line tangent1→tangent2. Degenerate cases draw a line to `tangent1`.
    void addArcToPoint(Point tangent1, Point tangent2, double radius);
    // A closed rectangle with circular corners; the radii are limited to half the shorter side.
    void addRoundedRect(const Rect& r, double cornerWidth, double cornerHeight);
    void addPath(const Path& other, const AffineTransform& transform = AffineTransform::identity());

    Path transformed(const AffineTransform& t) const;
    // Bounds of all points, control points included; the null rect for an empty path.
    Rect boundingBox() const;
    // Bounds of the curves themselves.
    Rect pathBoundingBox() const;
    bool containsPoint(Point p, FillRule rule = FillRule::Winding) const;
    // The path as polylines (one per subpath), curves flattened to within `tolerance`.
    std::vector<std::vector<Point>> flattened(double tolerance = 0.1) const;

    friend bool operator==(const Path& a, const Path& b) { return a.elements_ == b.elements_; }

private:
    void ensureStart(Point p);
    void appendArcSegments(Point center, double radius, double start, double sweep);

    std::vector<PathElement> elements_;
    std::optional<Point> current_;
    Point subpathStart_;
};

}  // namespace ql::cg
