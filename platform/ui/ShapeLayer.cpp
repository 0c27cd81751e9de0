#include "platform/ui/ShapeLayer.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace ql::ui {

namespace {

// The path as polylines, each with whether it was closed.
struct Polyline {
    std::vector<cg::Point> points;
};

std::vector<Polyline> flatten(const cg::Path& path) {
    constexpr int kSteps = 16;
    std::vector<Polyline> lines;
    cg::Point current, start;
    for (const auto& e : path.elements()) {
        switch (e.type) {
            case cg::PathElementType::MoveToPoint:
                current = start = e.points[0];
                lines.push_back({{current}});
                break;
            case cg::PathElementType::AddLineToPoint:
                if (lines.empty()) lines.push_back({{current}});
                current = e.points[0];
                lines.back().points.push_back(current);
                break;
            case cg::PathElementType::AddQuadCurveToPoint: {
                if (lines.empty()) lines.push_back({{current}});
                const cg::Point p0 = current, c = e.points[0], p1 = e.points[1];
                for (int i = 1; i <= kSteps; ++i) {
                    const double t = double(i) / kSteps, u = 1 - t;
                    lines.back().points.push_back({u * u * p0.x + 2 * u * t * c.x + t * t * p1.x,
                                                   u * u * p0.y + 2 * u * t * c.y + t * t * p1.y});
                }
                current = p1;
                break;
            }
            case cg::PathElementType::AddCurveToPoint: {
                if (lines.empty()) lines.push_back({{current}});
                const cg::Point p0 = current, c1 = e.points[0], c2 = e.points[1], p1 = e.points[2];
                for (int i = 1; i <= kSteps; ++i) {
                    const double t = double(i) / kSteps, u = 1 - t;
                    const double a = u * u * u, b = 3 * u * u * t, c = 3 * u * t * t, d = t * t * t;
                    lines.back().points.push_back({a * p0.x + b * c1.x + c * c2.x + d * p1.x,
                                                   a * p0.y + b * c1.y + c * c2.y + d * p1.y});
                }
                current = p1;
                break;
            }
            case cg::PathElementType::CloseSubpath:
                if (!lines.empty()) lines.back().points.push_back(start);
                current = start;
                break;
        }
    }
    return lines;
}

double length(const Polyline& line) {
    double total = 0;
    for (std::size_t i = 1; i < line.points.size(); ++i) {
        total += std::hypot(line.points[i].x - line.points[i - 1].x, line.points[i].y - line.points[i - 1].y);
    }
    return total;
}

}  // namespace

cg::Path ShapeLayer::trimmedPath(const cg::Path& path, double start, double end) {
    start = std::clamp(start, 0.0, 1.0);
    end = std::clamp(end, 0.0, 1.0);
    if (start <= 0 && end >= 1) return path;
    cg::Path result;
    if (end <= start) return result;
    const auto lines = flatten(path);
    double total = 0;
    for (const auto& line : lines) total += length(line);
    if (total <= 0) return result;
    const double from = start * total, to = end * total;
    double walked = 0;
    for (const auto& line : lines) {
        bool drawing = false;
        for (std::size_t i = 1; i < line.points.size(); ++i) {
            const cg::Point a = line.points[i - 1], b = line.points[i];
            const double segment = std::hypot(b.x - a.x, b.y - a.y);
            const double s0 = walked, s1 = walked + segment;
            walked = s1;
            if (s1 <= from || s0 >= to || segment <= 0) continue;
            auto at = [&](double s) {
                const double t = (s - s0) / segment;
                return cg::Point{a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t};
            };
            if (!drawing) {
                result.moveTo(at(std::max(from, s0)));
                drawing = true;
            }
            result.lineTo(at(std::min(to, s1)));
        }
    }
    return result;
}

void ShapeLayer::renderContents(cg::Context& context) {
    Layer::renderContents(context);
    if (path_.isEmpty()) return;
    context.saveGState();
    if (fillColor_) {
        context.beginPath();
        context.addPath(path_);
        context.setFillColor(*fillColor_);
        if (fillRule_ == cg::FillRule::EvenOdd) context.eoFillPath();
        else context.fillPath();
    }
    if (strokeColor_ && lineWidth_ > 0) {
        const cg::Path stroke = trimmedPath(path_, strokeStart_, strokeEnd_);
        if (!stroke.isEmpty()) {
            context.beginPath();
            context.addPath(stroke);
            context.setStrokeColor(*strokeColor_);
            context.setLineWidth(lineWidth_);
            context.setLineCap(lineCap_);
            context.setLineJoin(lineJoin_);
            context.strokePath();
        }
    }
    context.restoreGState();
}

}  // namespace ql::ui
