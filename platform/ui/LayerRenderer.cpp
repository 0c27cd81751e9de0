// Drawing of layers: the display pass that turns a layer's (or its view's) drawing into its contents,
// and the composition of a layer tree into a context: shadow, background with rounded corners, contents,
// sublayers (clipped to the rounded bounds when masking), then the border on top; opacity and shadow apply
// to the layer and its sublayers as one piece.

#include <algorithm>
#include <cmath>

#include "platform/graphics/BitmapContext.h"
#include "platform/graphics/Path.h"
#include "platform/ui/GraphicsContext.h"
#include "platform/ui/Layer.h"
#include "platform/ui/Screen.h"
#include "platform/ui/View.h"
#include "platform/ui/Window.h"

namespace ql::ui {

namespace {

bool drewAnything(const cg::Image& image) {
    const std::uint32_t* p = image.pixels();
    const std::size_t count = static_cast<std::size_t>(image.width()) * static_cast<std::size_t>(image.height());
    return std::any_of(p, p + count, [](std::uint32_t pixel) { return (pixel >> 24) != 0; });
}

// Draws `drawing` (in the rectangle's own coordinates) into a fresh bitmap; null when nothing was drawn.
std::shared_ptr<const cg::Image> drawIntoBitmap(const cg::Rect& bounds, double scale,
                                                const std::function<void(cg::Context&)>& drawing) {
    if (cg::rectIsEmpty(bounds) || scale <= 0) return nullptr;
    auto context = cg::BitmapContext::createForImage(bounds.size, false, scale);
    if (!context) return nullptr;
    context->translateCTM(-bounds.origin.x, -bounds.origin.y);
    {
        // The drawing is the caller's code: when it throws, the bitmap goes and must not stay current.
        struct Current {
            explicit Current(cg::Context& c) { GraphicsPushContext(c); }
            ~Current() { GraphicsPopContext(); }
        } current(*context);
        drawing(*context);
    }
    auto image = context->takeImage();
    return image && drewAnything(*image) ? image : nullptr;
}

cg::Path boundsPath(const Layer& layer, double inset = 0) {
    cg::Path path;
    const cg::Rect r = cg::rectInset(layer.bounds(), inset, inset);
    if (cg::rectIsNull(r)) return path;
    const double radius = std::max(0.0, layer.cornerRadius() - inset);
    if (radius > 0) path.addRoundedRect(r, radius, radius);
    else path.addRect(r);
    return path;
}

// The image's pixel grid mapped onto `dest` (top-left origin, y down).
void drawImageIn(cg::Context& context, const cg::Image& image, const cg::Rect& dest) {
    if (image.width() == 0 || image.height() == 0 || cg::rectIsEmpty(dest)) return;
    const cg::AffineTransform toUser{dest.size.width / image.width(), 0, 0, dest.size.height / image.height(),
                                     dest.origin.x, dest.origin.y};
    context.drawImage(image, toUser);
}

// Nine parts: the corners keep their size, the edges stretch along, the centre both ways.
void drawStretched(cg::Context& context, const cg::Image& image, const cg::Rect& dest, const cg::Rect& center,
                   double scale) {
    const double w = image.width(), h = image.height();
    const double px[4] = {0, std::round(cg::minX(center) * w), std::round(cg::maxX(center) * w), w};
    const double py[4] = {0, std::round(cg::minY(center) * h), std::round(cg::maxY(center) * h), h};
    const double left = px[1] / scale, right = (w - px[2]) / scale;
    const double top = py[1] / scale, bottom = (h - py[2]) / scale;
    const double dx[4] = {cg::minX(dest), cg::minX(dest) + left, cg::maxX(dest) - right, cg::maxX(dest)};
    const double dy[4] = {cg::minY(dest), cg::minY(dest) + top, cg::maxY(dest) - bottom, cg::maxY(dest)};
    for (int row = 0; row < 3; ++row) {
        for (int col = 0; col < 3; ++col) {
            const cg::Rect source{px[col], py[row], px[col + 1] - px[col], py[row + 1] - py[row]};
            const cg::Rect target{dx[col], dy[row], dx[col + 1] - dx[col], dy[row + 1] - dy[row]};
            if (source.size.width <= 0 || source.size.height <= 0 || target.size.width <= 0 || target.size.height <= 0) {
                continue;
            }
            if (auto part = image.cropped(source)) drawImageIn(context, *part, target);
        }
    }
}

cg::Rect gravityRect(ContentsGravity gravity, const cg::Rect& b, cg::Size natural) {
    const double w = natural.width, h = natural.height;
    switch (gravity) {
        case ContentsGravity::Resize: return b;
        case ContentsGravity::ResizeAspect:
        case ContentsGravity::ResizeAspectFill: {
            if (w <= 0 || h <= 0) return b;
            const double sx = b.size.width / w, sy = b.size.height / h;
            const double s = gravity == ContentsGravity::ResizeAspect ? std::min(sx, sy) : std::max(sx, sy);
            return {cg::midX(b) - w * s / 2, cg::midY(b) - h * s / 2, w * s, h * s};
        }
        case ContentsGravity::Center: return {cg::midX(b) - w / 2, cg::midY(b) - h / 2, w, h};
        case ContentsGravity::Top: return {cg::midX(b) - w / 2, cg::minY(b), w, h};
        case ContentsGravity::Bottom: return {cg::midX(b) - w / 2, cg::maxY(b) - h, w, h};
        case ContentsGravity::Left: return {cg::minX(b), cg::midY(b) - h / 2, w, h};
        case ContentsGravity::Right: return {cg::maxX(b) - w, cg::midY(b) - h / 2, w, h};
        case ContentsGravity::TopLeft: return {cg::minX(b), cg::minY(b), w, h};
        case ContentsGravity::TopRight: return {cg::maxX(b) - w, cg::minY(b), w, h};
        case ContentsGravity::BottomLeft: return {cg::minX(b), cg::maxY(b) - h, w, h};
        case ContentsGravity::BottomRight: return {cg::maxX(b) - w, cg::maxY(b) - h, w, h};
    }
    return b;
}

void renderSublayer(Layer& layer, cg::Context& context) {
    if (layer.isHidden() || layer.opacity() <= 0) return;
    context.saveGState();
    context.concatCTM(layer.transformToSuperlayer());
    layer.renderInContext(context);
    context.restoreGState();
}

}  // namespace

// ---- The display pass ----

void Layer::display() {
    if (view_) {
        view_->displayLayer(*this);
        return;
    }
    contents_ = drawIntoBitmap(bounds_, contentsScale_, [this](cg::Context& context) { drawInContext(context); });
}

void Layer::drawInContext(cg::Context&) {}

void View::displayLayer(Layer& layer) {
    const double scale = window_ ? window_->screen().scale() : Screen::mainScreen().scale();
    const cg::Rect b = bounds();
    layer.setContentsScale(scale);
    layer.setContentsCenter({0, 0, 1, 1});
    layer.setContents(drawIntoBitmap(b, scale, [this, &b](cg::Context&) { drawRect(b); }));
}

// ---- Composition ----

void Layer::renderContents(cg::Context& context) {
    if (!contents_) return;
    const double scale = contentsScale_ > 0 ? contentsScale_ : 1;
    const cg::Size natural{contents_->width() / scale, contents_->height() / scale};
    const cg::Rect dest = gravityRect(contentsGravity_, bounds_, natural);
    const cg::Rect whole{0, 0, 1, 1};
    if (contentsGravity_ == ContentsGravity::Resize && contentsCenter_ != whole) {
        drawStretched(context, *contents_, dest, contentsCenter_, scale);
    } else {
        drawImageIn(context, *contents_, dest);
    }
}

// The shadow the outline casts, without the outline itself: filled with its shadow, then the fill cleared.
void Layer::renderPathShadow(cg::Context& context) const {
    context.saveGState();
    context.beginTransparencyLayer();
    context.setShadowWithColor(shadowOffset_, shadowRadius_ * 2,
                               shadowColor_.withAlpha(shadowColor_.alpha() * shadowOpacity_));
    context.setFillColor(cg::Color::gray(0, 1));
    context.beginPath();
    context.addPath(*shadowPath_);
    context.fillPath();
    context.setShadowWithColor({0, 0}, 0, std::nullopt);
    context.setBlendMode(cg::BlendMode::Clear);
    context.beginPath();
    context.addPath(*shadowPath_);
    context.fillPath();
    context.endTransparencyLayer();
    context.restoreGState();
}

void Layer::renderInContext(cg::Context& context) {
    const bool shadow = shadowOpacity_ > 0;
    const bool shadowOfContent = shadow && !shadowPath_;
    const bool group = opacity_ < 1 || shadow;
    context.saveGState();
    if (group) {
        context.setAlpha(opacity_);
        if (shadowOfContent) {
            context.setShadowWithColor(shadowOffset_, shadowRadius_ * 2,
                                       shadowColor_.withAlpha(shadowColor_.alpha() * shadowOpacity_));
        }
        context.beginTransparencyLayer();
        context.setAlpha(1);
        context.setShadowWithColor({0, 0}, 0, std::nullopt);
        if (shadow && shadowPath_) renderPathShadow(context);
    }
    if (backgroundColor_) {
        context.beginPath();
        context.addPath(boundsPath(*this));
        context.setFillColor(*backgroundColor_);
        context.fillPath();
    }
    context.saveGState();
    if (masksToBounds_) {
        context.beginPath();
        context.addPath(boundsPath(*this));
        context.clip();
    }
    renderContents(context);
    for (const auto& sub : std::vector<std::shared_ptr<Layer>>(sublayers_)) renderSublayer(*sub, context);
    context.restoreGState();
    if (borderWidth_ > 0) {
        context.beginPath();
        context.addPath(boundsPath(*this, borderWidth_ / 2));
        context.setStrokeColor(borderColor_);
        context.setLineWidth(borderWidth_);
        context.strokePath();
    }
    if (group) context.endTransparencyLayer();
    context.restoreGState();
}

}  // namespace ql::ui
