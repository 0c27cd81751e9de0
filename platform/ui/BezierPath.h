#pragma once
// ui::BezierPath: the platform's path object: a path with its own stroke settings (line width, caps,
// joins, dashes) and fill rule, filled, stroked or clipped to in the current context.

#include <memory>
#include <vector>

#include "platform/foundation/Object.h"
#include "platform/graphics/Context.h"
#include "platform/graphics/Path.h"

namespace ql::ui {

// Which corners bezierPathWithRoundedRect rounds, with the platform's bits.
enum RectCorner : unsigned {
    RectCornerTopLeft = 1u << 0,
    RectCornerTopRight = 1u << 1,
    RectCornerBottomLeft = 1u << 2,
    RectCornerBottomRight = 1u << 3,
    RectCornerAllCorners = ~0u,
};

class BezierPath : public ns::Object {
    QL_OBJECT_NAMED(BezierPath, ns::Object, "UIBezierPath")
public:
    BezierPath() = default;

    static std::shared_ptr<BezierPath> bezierPath();
    static std::shared_ptr<BezierPath> bezierPathWithRect(const cg::Rect& rect);
    static std::shared_ptr<BezierPath> bezierPathWithOvalInRect(const cg::Rect& rect);
    static std::shared_ptr<BezierPath> bezierPathWithRoundedRect(const cg::Rect& rect, double cornerRadius);
    // The platform rounds the chosen corners by the radii's width alone, in both directions.
    static std::shared_ptr<BezierPath> bezierPathWithRoundedRect(const cg::Rect& rect, unsigned corners, cg::Size radii);
    // `clockwise` as seen on the screen (y down): towards increasing angles.
    static std::shared_ptr<BezierPath> bezierPathWithArcCenter(cg::Point center, double radius, double startAngle,
                                                               double endAngle, bool clockwise);
    static std::shared_ptr<BezierPath> bezierPathWithCGPath(const cg::Path& path);

    void moveToPoint(cg::Point point);
    void addLineToPoint(cg::Point point);
    void addCurveToPoint(cg::Point end, cg::Point control1, cg::Point control2);
    void addQuadCurveToPoint(cg::Point end, cg::Point control);
    void addArcWithCenter(cg::Point center, double radius, double startAngle, double endAngle, bool clockwise);
    void closePath();
    void removeAllPoints();
    void appendPath(const BezierPath& other);
    void applyTransform(const cg::AffineTransform& transform);

    const cg::Path& CGPath() const { return path_; }
    void setCGPath(cg::Path path) { path_ = std::move(path); }
    // (0, 0) when the path has no point yet.
    cg::Point currentPoint() const;
    bool isEmpty() const { return path_.isEmpty(); }
    // The bounds of the path's points, control points included; zero for an empty path.
    cg::Rect bounds() const;
    bool containsPoint(cg::Point point) const;

    double lineWidth() const { return lineWidth_; }
    void setLineWidth(double width) { lineWidth_ = width; }
    cg::LineCap lineCapStyle() const { return lineCap_; }
    void setLineCapStyle(cg::LineCap cap) { lineCap_ = cap; }
    cg::LineJoin lineJoinStyle() const { return lineJoin_; }
    void setLineJoinStyle(cg::LineJoin join) { lineJoin_ = join; }
    double miterLimit() const { return miterLimit_; }
    void setMiterLimit(double limit) { miterLimit_ = limit; }
    bool usesEvenOddFillRule() const { return evenOdd_; }
    void setUsesEvenOddFillRule(bool evenOdd) { evenOdd_ = evenOdd; }
    void setLineDash(const std::vector<double>& pattern, double phase);
    const std::vector<double>& lineDash() const { return dash_; }
    double lineDashPhase() const { return dashPhase_; }

    // In the current context with its colours; these leave the context's state as they found it.
    void fill() const;
    void fillWithBlendMode(cg::BlendMode mode, double alpha) const;
    void stroke() const;
    void strokeWithBlendMode(cg::BlendMode mode, double alpha) const;
    // Intersects the current context's clip with the path.
    void addClip() const;

private:
    void paint(bool fill, cg::BlendMode mode, double alpha) const;

    cg::Path path_;
    double lineWidth_ = 1;
    cg::LineCap lineCap_ = cg::LineCap::Butt;
    cg::LineJoin lineJoin_ = cg::LineJoin::Miter;
    double miterLimit_ = 10;
    bool evenOdd_ = false;
    std::vector<double> dash_;
    double dashPhase_ = 0;
};

}  // namespace ql::ui
