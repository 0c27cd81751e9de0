#include "web/browser/GlyphPath.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "platform/ui/Color.h"
#include "platform/ui/GraphicsContext.h"

namespace ql {

void addPolygon(ui::BezierPath& path, std::vector<cg::Point> points, Turning turning) {
    if (points.size() < 3) return;
    double twiceArea = 0;
    for (std::size_t i = 0; i < points.size(); ++i) {
        const cg::Point& a = points[i];
        const cg::Point& b = points[(i + 1) % points.size()];
        twiceArea += a.x * b.y - b.x * a.y;
    }
    // With y down, a clockwise polygon has a positive area.
    if ((twiceArea < 0) == (turning == Turning::Clockwise)) std::reverse(points.begin(), points.end());
    path.moveToPoint(points.front());
    for (std::size_t i = 1; i < points.size(); ++i) path.addLineToPoint(points[i]);
    path.closePath();
}

void addPolygon(ui::BezierPath& path, std::initializer_list<cg::Point> points, Turning turning) {
    addPolygon(path, std::vector<cg::Point>(points), turning);
}

void addRect(ui::BezierPath& path, const cg::Rect& rect, Turning turning) {
    const double x = rect.origin.x, y = rect.origin.y, w = rect.size.width, h = rect.size.height;
    addPolygon(path, {{x, y}, {x + w, y}, {x + w, y + h}, {x, y + h}}, turning);
}

void addCircle(ui::BezierPath& path, cg::Point centre, double radius, Turning turning) {
    const bool clockwise = turning == Turning::Clockwise;
    path.moveToPoint({centre.x + radius, centre.y});
    path.addArcWithCenter(centre, radius, 0, clockwise ? 2 * std::numbers::pi : -2 * std::numbers::pi, clockwise);
    path.closePath();
}

void addRing(ui::BezierPath& path, cg::Point centre, double outer, double inner) {
    addCircle(path, centre, outer, Turning::Clockwise);
    addCircle(path, centre, inner, Turning::CounterClockwise);
}

std::vector<cg::Point> turned(std::vector<cg::Point> points, cg::Point centre, double angle) {
    const double c = std::cos(angle), s = std::sin(angle);
    for (cg::Point& p : points) {
        const double dx = p.x - centre.x, dy = p.y - centre.y;
        p = {centre.x + dx * c - dy * s, centre.y + dx * s + dy * c};
    }
    return points;
}

std::shared_ptr<ui::Image> glyphImage(cg::Size canvas, const ui::BezierPath& glyph,
                                      const std::function<void()>& prepareFill) {
    ui::ImageContextScope context(canvas, false, 0);
    if (!context.context()) return nullptr;
    if (prepareFill) {
        prepareFill();
    } else {
        ui::Color::blackColor()->setFill();
    }
    glyph.fill();
    return context.image();
}

}  // namespace ql
