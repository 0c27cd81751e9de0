#include "web/browser/GlyphPath.h"

#include <algorithm>
#include <vector>

namespace ql {

void addPolygon(ui::BezierPath& path, std::initializer_list<cg::Point> points) {
    std::vector<cg::Point> corners(points);
    if (corners.size() < 3) return;
    double twiceArea = 0;
    for (std::size_t i = 0; i < corners.size(); ++i) {
        const cg::Point& a = corners[i];
        const cg::Point& b = corners[(i + 1) % corners.size()];
        twiceArea += a.x * b.y - b.x * a.y;
    }
    // With y down, a clockwise polygon has a positive area.
    if (twiceArea < 0) std::reverse(corners.begin(), corners.end());
    path.moveToPoint(corners.front());
    for (std::size_t i = 1; i < corners.size(); ++i) path.addLineToPoint(corners[i]);
    path.closePath();
}

void addRect(ui::BezierPath& path, const cg::Rect& rect) {
    const double x = rect.origin.x, y = rect.origin.y, w = rect.size.width, h = rect.size.height;
    addPolygon(path, {{x, y}, {x + w, y}, {x + w, y + h}, {x, y + h}});
}

}  // namespace ql
