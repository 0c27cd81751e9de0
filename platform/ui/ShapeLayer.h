#pragma once
// ui::ShapeLayer: a layer that draws a path: filled, stroked, or both, with a stroke that may cover only
// a part of the path's length (strokeStart to strokeEnd, as a progress ring does).

#include <optional>

#include "platform/graphics/Context.h"
#include "platform/graphics/Path.h"
#include "platform/ui/Layer.h"

namespace ql::ui {

class ShapeLayer : public Layer {
    QL_OBJECT_NAMED(ShapeLayer, Layer, "CAShapeLayer")
public:
    ShapeLayer() = default;
    static std::shared_ptr<ShapeLayer> layer() { return std::make_shared<ShapeLayer>(); }

    const cg::Path& path() const { return path_; }
    void setPath(cg::Path path) { path_ = std::move(path); }
    // Black unless set; none fills nothing.
    const std::optional<cg::Color>& fillColor() const { return fillColor_; }
    void setFillColor(std::optional<cg::Color> color) { fillColor_ = std::move(color); }
    // None unless set.
    const std::optional<cg::Color>& strokeColor() const { return strokeColor_; }
    void setStrokeColor(std::optional<cg::Color> color) { strokeColor_ = std::move(color); }
    double lineWidth() const { return lineWidth_; }
    void setLineWidth(double width) { lineWidth_ = width; }
    cg::LineCap lineCap() const { return lineCap_; }
    void setLineCap(cg::LineCap cap) { lineCap_ = cap; }
    cg::LineJoin lineJoin() const { return lineJoin_; }
    void setLineJoin(cg::LineJoin join) { lineJoin_ = join; }
    cg::FillRule fillRule() const { return fillRule_; }
    void setFillRule(cg::FillRule rule) { fillRule_ = rule; }
    // Fractions of the path's length that the stroke covers; clamped to 0…1 when drawn.
    double strokeStart() const { return strokeStart_; }
    void setStrokeStart(double start) { strokeStart_ = start; }
    double strokeEnd() const { return strokeEnd_; }
    void setStrokeEnd(double end) { strokeEnd_ = end; }

    // The part of `path` between two fractions of its length (curves followed closely by short lines).
    static cg::Path trimmedPath(const cg::Path& path, double start, double end);

protected:
    void renderContents(cg::Context& context) override;

private:
    cg::Path path_;
    std::optional<cg::Color> fillColor_ = cg::Color::gray(0, 1);
    std::optional<cg::Color> strokeColor_;
    double lineWidth_ = 1;
    cg::LineCap lineCap_ = cg::LineCap::Butt;
    cg::LineJoin lineJoin_ = cg::LineJoin::Miter;
    cg::FillRule fillRule_ = cg::FillRule::Winding;
    double strokeStart_ = 0;
    double strokeEnd_ = 1;
};

}  // namespace ql::ui
