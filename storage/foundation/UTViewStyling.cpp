#include "storage/foundation/UTViewStyling.h"

#include "platform/ui/Animation.h"
#include "platform/ui/BezierPath.h"
#include "platform/ui/GraphicsContext.h"
#include "platform/ui/Layer.h"

namespace ql {

std::shared_ptr<ui::Image> snapshotImage(ui::View& view) {
    const cg::Size size = view.bounds().size;
    ui::ImageContextScope context(size, false, 1);
    if (!context.context()) return nullptr;
    view.layer()->renderInContext(*context.context());
    return context.image();
}

void setRoundedCornersWithRadius(ui::View& view, double radius, double width, const ui::Color* color) {
    ui::Layer& layer = *view.layer();
    layer.setMasksToBounds(true);
    layer.setCornerRadius(radius);
    layer.setBorderWidth(width);
    if (color) layer.setBorderColor(color->CGColor());
}

void addShadowWithColor(ui::View& view, const ui::Color* color, float alpha, double radius, cg::Size offset) {
    ui::Layer& layer = *view.layer();
    layer.setShadowOpacity(alpha);
    layer.setShadowRadius(radius);
    layer.setShadowOffset(offset);
    if (color) layer.setShadowColor(color->CGColor());
    layer.setMasksToBounds(false);
}

void updateShadowPathToBounds(ui::View& view, const cg::Rect& bounds, double duration) {
    ui::Layer& layer = *view.layer();
    cg::Path path;
    path.addRect(bounds);
    if (duration > 0 && layer.shadowPath()) {
        auto animation = ui::Animation::animationWithKeyPath(std::string(kShadowPathKey));
        animation->setFromValue(ns::Value(ui::BezierPath::bezierPathWithCGPath(*layer.shadowPath())));
        animation->setToValue(ns::Value(ui::BezierPath::bezierPathWithCGPath(path)));
        animation->setDuration(duration);
        animation->setTimingFunction(ui::TimingFunction::EaseInEaseOut);
        layer.addAnimation(animation, std::string(kShadowPathKey));
    }
    layer.setShadowPath(std::move(path));
}

}  // namespace ql
