#include "platform/ui/BarBackground.h"

#include "platform/ui/Color.h"
#include "platform/ui/Image.h"
#include "platform/ui/Screen.h"

namespace ql::ui {

void BarBackground::draw(cg::Context& context, const cg::Rect& bounds, const Image* image, const Image* shadow,
                         Edge shadowEdge) const {
    if (image) {
        image->drawInRect(bounds);
    } else {
        cg::Color fill = style == BarStyle::Default ? cg::Color::gray(0.97, translucent ? 0.94 : 1)
                                                    : cg::Color::gray(0.1, translucent ? 0.9 : 1);
        if (tintColor) fill = tintColor->CGColor();
        context.setFillColor(fill);
        context.fillRect(bounds);
    }
    auto alongEdge = [&](double height) {
        const double y = shadowEdge == Edge::Top ? 0 : cg::maxY(bounds) - height;
        return cg::Rect{0, y, bounds.size.width, height};
    };
    if (shadow) {
        const cg::Size s = shadow->size();
        if (s.height > 0) shadow->drawInRect(alongEdge(s.height));
        return;
    }
    context.setFillColor(cg::Color::gray(0, 0.3));
    context.fillRect(alongEdge(1 / Screen::mainScreen().scale()));
}

}  // namespace ql::ui
