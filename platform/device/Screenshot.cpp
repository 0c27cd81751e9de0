#include "platform/device/Screenshot.h"

#include "platform/foundation/Exception.h"
#include "platform/graphics/BitmapContext.h"
#include "platform/graphics/ImageEncoding.h"
#include "platform/ui/DisplayCycle.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Window.h"

namespace ql::sim {

std::shared_ptr<const cg::Image> renderWindow(ui::Window& window) {
    ui::DisplayCycle::flush();
    const cg::Size size = window.bounds().size;
    auto context = cg::BitmapContext::createForImage(size, true, window.screen().scale());
    if (!context) {
        throw ns::Exception(ns::InvalidArgumentException, "a window of " + cg::toString(size) + " cannot be rendered");
    }
    // The layer renders in its own coordinates; its bounds origin is where the window's content starts.
    context->translateCTM(-window.bounds().origin.x, -window.bounds().origin.y);
    window.layer()->renderInContext(*context);
    return context->takeImage();
}

ns::Data renderWindowPNG(ui::Window& window) {
    auto png = cg::encodePNG(*renderWindow(window));
    if (!png) {
        throw ns::Exception(ns::InternalInconsistencyException, "the window's picture could not be encoded as PNG");
    }
    return *png;
}

}  // namespace ql::sim
