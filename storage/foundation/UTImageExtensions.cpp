#include "storage/foundation/UTImageExtensions.h"

#include <algorithm>
#include <cmath>

#include "platform/foundation/DispatchQueue.h"
#include "platform/net/URLSession.h"
#include "platform/net/URLSessionTask.h"
#include "platform/ui/GraphicsContext.h"
#include "platform/ui/Screen.h"

namespace ql {

namespace {

constexpr double kImageLoadTimeout = 10;

double centred(double origin, double extent, double drawn) { return std::round(origin + (extent - drawn) / 2); }

// Where the image goes for a content mode; `clips` tells whether the drawing is kept inside the rectangle.
cg::Rect placement(cg::Size natural, const cg::Rect& rect, ui::ContentMode mode, bool& clips) {
    const double x = rect.origin.x, y = rect.origin.y, w = rect.size.width, h = rect.size.height;
    const double iw = natural.width, ih = natural.height;
    clips = true;
    switch (mode) {
        case ui::ContentMode::ScaleToFill:
        case ui::ContentMode::Redraw:
            clips = false;
            return rect;
        case ui::ContentMode::ScaleAspectFit:
        case ui::ContentMode::ScaleAspectFill: {
            const double widthRatio = w / iw, heightRatio = h / ih;
            const double f = mode == ui::ContentMode::ScaleAspectFit ? std::min(widthRatio, heightRatio)
                                                                      : std::max(widthRatio, heightRatio);
            const double dw = std::round(iw * f), dh = std::round(ih * f);
            return {centred(x, w, dw), centred(y, h, dh), dw, dh};
        }
        case ui::ContentMode::Center: return {centred(x, w, iw), centred(y, h, ih), iw, ih};
        case ui::ContentMode::Top: return {centred(x, w, iw), y, iw, ih};
        case ui::ContentMode::Bottom: return {centred(x, w, iw), y + h - ih, iw, ih};
        case ui::ContentMode::Left: return {x, centred(y, h, ih), iw, ih};
        case ui::ContentMode::Right: return {x + w - iw, centred(y, h, ih), iw, ih};
        case ui::ContentMode::TopLeft: return {x, y, iw, ih};
        case ui::ContentMode::TopRight: return {x + w - iw, y, iw, ih};
        case ui::ContentMode::BottomLeft: return {x, y + h - ih, iw, ih};
        case ui::ContentMode::BottomRight: return {x + w - iw, y + h - ih, iw, ih};
    }
    return {x, y, iw, ih};
}

}  // namespace

std::shared_ptr<ui::Image> imageWithSolidColor(const ui::Color& color, cg::Size size) {
    ui::ImageContextScope context(size, false, ui::Screen::mainScreen().scale());
    if (!context.context()) return nullptr;
    context.context()->setFillColor(color.CGColor());
    context.context()->fillRect({0, 0, size.width, size.height});
    return context.image();
}

std::shared_ptr<ui::Image> imageMaskedAndTintedWithColor(const ui::Image& image, const ui::Color& color) {
    const cg::Size size = image.size();
    ui::ImageContextScope context(size, false, image.scale());
    if (!context.context() || !image.CGImage()) return nullptr;
    cg::Context& c = *context.context();
    c.translateCTM(0, size.height);
    c.scaleCTM(1, -1);
    const cg::Rect whole{0, 0, size.width, size.height};
    c.clipToMask(whole, *image.CGImage());
    c.setFillColor(color.CGColor());
    c.fillRect(whole);
    return context.image();
}

std::shared_ptr<ui::Image> imageWithContentsOfURL(const ns::URL& url, ns::URLRequestCachePolicy cachePolicy,
                                                  ns::Error* error) {
    ns::URLRequest request(url, cachePolicy, kImageLoadTimeout);
    ns::DispatchSemaphore finished(0);
    std::optional<ns::Data> received;
    std::optional<ns::Error> failure;
    auto task = ns::URLSession::sharedSession()->dataTaskWithRequest(
        request, [&](const std::optional<ns::Data>& data, const std::shared_ptr<ns::URLResponse>&,
                     const std::optional<ns::Error>& loadError) {
            received = data;
            failure = loadError;
            finished.signal();
        });
    if (!task) return nullptr;
    task->resume();
    finished.wait();
    if (failure && error) *error = *failure;
    if (!received) return nullptr;
    return ui::Image::imageWithData(*received);
}

void drawInRect(const ui::Image& image, const cg::Rect& rect, ui::ContentMode contentMode) {
    cg::Context* context = ui::GraphicsGetCurrentContext();
    const cg::Size natural = image.size();
    if (!context || natural.width <= 0 || natural.height <= 0) return;
    bool clips = true;
    const cg::Rect target = placement(natural, rect, contentMode, clips);
    if (!clips) {
        image.drawInRect(target);
        return;
    }
    context->saveGState();
    context->clipToRect(rect);
    image.drawInRect(target);
    context->restoreGState();
}

std::shared_ptr<ui::Image> tileImageAtColumn(const ui::Image& image, std::uint64_t column, std::uint64_t columns,
                                             std::uint64_t row, std::uint64_t rows) {
    if (columns == 0 || rows == 0) return nullptr;
    const cg::Size size = image.size();
    const double tileWidth = std::round(size.width / static_cast<double>(columns));
    const double tileHeight = std::round(size.height / static_cast<double>(rows));
    ui::ImageContextScope context({tileWidth, tileHeight}, true, image.scale());
    if (!context.context()) return nullptr;
    context.context()->translateCTM(-static_cast<double>(column) * tileWidth, -static_cast<double>(row) * tileHeight);
    image.drawAtPoint({0, 0});
    return context.image();
}

std::shared_ptr<ui::Image> tileImageInClipRect(const ui::Image& image, const cg::Rect& clip, const cg::Rect& bounds,
                                               double scale) {
    if (bounds.size.width <= 0) return nullptr;
    ui::ImageContextScope context(clip.size, true, scale);
    if (!context.context()) return nullptr;
    const double zoom = image.size().width / bounds.size.width;
    if (zoom <= 0) return nullptr;
    context.context()->translateCTM(-clip.origin.x, -clip.origin.y);
    context.context()->scaleCTM(1 / zoom, 1 / zoom);
    image.drawAtPoint({0, 0});
    return context.image();
}

std::shared_ptr<ui::Image> imageScaledToSize(const ui::Image& image, cg::Size size) {
    ui::ImageContextScope context(size, false, image.scale());
    if (!context.context()) return nullptr;
    image.drawInRect({0, 0, size.width, size.height});
    return context.image();
}

}  // namespace ql
