#include "platform/ui/BezierPath.h"

#include <algorithm>
#include <numbers>

#include "platform/ui/GraphicsContext.h"

namespace ql::ui {

std::shared_ptr<BezierPath> BezierPath::bezierPath() { return std::make_shared<BezierPath>(); }

std::shared_ptr<BezierPath> BezierPath::bezierPathWithRect(const cg::Rect& rect) {
    auto p = bezierPath();
    p->path_.addRect(rect);
    return p;
}

std::shared_ptr<BezierPath> BezierPath::bezierPathWithOvalInRect(const cg::Rect& rect) {
    auto p = bezierPath();
    p->path_.addEllipseInRect(rect);
    return p;
}

std::shared_ptr<BezierPath> BezierPath::bezierPathWithRoundedRect(const cg::Rect& rect, double cornerRadius) {
    // Circular corners: the shorter side limits the radius both ways.
    const cg::Rect r = cg::rectStandardize(rect);
    const double radius = std::clamp(cornerRadius, 0.0, std::min(r.size.width, r.size.height) / 2);
    auto p = bezierPath();
    p->path_.addRoundedRect(r, radius, radius);
    return p;
}

std::shared_ptr<BezierPath> BezierPath::bezierPathWithRoundedRect(const cg::Rect& rect, unsigned corners, cg::Size radii) {
    constexpr double kPi = std::numbers::pi;
    const cg::Rect r = cg::rectStandardize(rect);
    const double radius = std::clamp(radii.width, 0.0, std::min(r.size.width, r.size.height) / 2);
    const double x0 = cg::minX(r), x1 = cg::maxX(r), y0 = cg::minY(r), y1 = cg::maxY(r);
    auto rounded = [&](unsigned corner) { return (corners & corner) != 0 && radius > 0; };
    auto p = bezierPath();
    cg::Path& path = p->path_;
    // Clockwise on screen from the top-left corner.
    if (rounded(RectCornerTopLeft)) path.moveTo({x0 + radius, y0});
    else path.moveTo({x0, y0});
    if (rounded(RectCornerTopRight)) path.addArc({x1 - radius, y0 + radius}, radius, -kPi / 2, 0, false);
    else path.lineTo({x1, y0});
    if (rounded(RectCornerBottomRight)) path.addArc({x1 - radius, y1 - radius}, radius, 0, kPi / 2, false);
    else path.lineTo({x1, y1});
    if (rounded(RectCornerBottomLeft)) path.addArc({x0 + radius, y1 - radius}, radius, kPi / 2, kPi, false);
    else path.lineTo({x0, y1});
    if (rounded(RectCornerTopLeft)) path.addArc({x0 + radius, y0 + radius}, radius, kPi, 3 * kPi / 2, false);
    path.closeSubpath();
    return p;
}

std::shared_ptr<BezierPath> BezierPath::bezierPathWithArcCenter(cg::Point center, double radius, double startAngle,
                                                                double endAngle, bool clockwise) {
    auto p = bezierPath();
    p->addArcWithCenter(center, radius, startAngle, endAngle, clockwise);
    return p;
}

std::shared_ptr<BezierPath> BezierPath::bezierPathWithCGPath(const cg::Path& path) {
    auto p = bezierPath();
    p->path_ = path;
    return p;
}

void BezierPath::moveToPoint(cg::Point point) { path_.moveTo(point); }
void BezierPath::addLineToPoint(cg::Point point) { path_.lineTo(point); }

void BezierPath::addCurveToPoint(cg::Point end, cg::Point control1, cg::Point control2) {
    path_.curveTo(control1, control2, end);
}

void BezierPath::addQuadCurveToPoint(cg::Point end, cg::Point control) { path_.quadCurveTo(control, end); }

void BezierPath::addArcWithCenter(cg::Point center, double radius, double startAngle, double endAngle, bool clockwise) {
    // Clockwise on a y-down screen runs towards increasing angles, which the drawing layer calls counter-clockwise.
    path_.addArc(center, radius, startAngle, endAngle, !clockwise);
}

void BezierPath::closePath() { path_.closeSubpath(); }
void BezierPath::removeAllPoints() { path_ = cg::Path(); }
void BezierPath::appendPath(const BezierPath& other) { path_.addPath(other.path_); }
void BezierPath::applyTransform(const cg::AffineTransform& transform) { path_ = path_.transformed(transform); }

cg::Point BezierPath::currentPoint() const { return path_.currentPoint().value_or(cg::Point{}); }

cg::Rect BezierPath::bounds() const {
    const cg::Rect box = path_.boundingBox();
    return cg::rectIsNull(box) ? cg::Rect::zero() : box;
}

bool BezierPath::containsPoint(cg::Point point) const {
    return path_.containsPoint(point, evenOdd_ ? cg::FillRule::EvenOdd : cg::FillRule::Winding);
}

void BezierPath::setLineDash(const std::vector<double>& pattern, double phase) {
    dash_ = pattern;
    dashPhase_ = phase;
}

void BezierPath::fill() const { paint(true, cg::BlendMode::Normal, 1); }
void BezierPath::fillWithBlendMode(cg::BlendMode mode, double alpha) const { paint(true, mode, alpha); }
void BezierPath::stroke() const { paint(false, cg::BlendMode::Normal, 1); }
void BezierPath::strokeWithBlendMode(cg::BlendMode mode, double alpha) const { paint(false, mode, alpha); }

void BezierPath::paint(bool fill, cg::BlendMode mode, double alpha) const {
    cg::Context* context = GraphicsGetCurrentContext();
    if (!context) return;
    context->saveGState();
    context->setBlendMode(mode);
    context->setAlpha(alpha);
    context->beginPath();
    context->addPath(path_);
    if (fill) {
        if (evenOdd_) context->eoFillPath();
        else context->fillPath();
    } else {
        context->setLineWidth(lineWidth_);
        context->setLineCap(lineCap_);
        context->setLineJoin(lineJoin_);
        context->setMiterLimit(miterLimit_);
        context->setLineDash(dashPhase_, dash_);
        context->strokePath();
    }
    context->restoreGState();
}

void BezierPath::addClip() const {
    cg::Context* context = GraphicsGetCurrentContext();
    if (!context) return;
    context->beginPath();
    context->addPath(path_);
    if (evenOdd_) context->eoClip();
    else context->clip();
}

}  // namespace ql::ui
