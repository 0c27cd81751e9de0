#include "platform/graphics/BitmapContext.h"

#include <cmath>
#include <vector>

namespace ql::cg {

namespace {

// New surfaces start transparent black; without alpha, that is black.
cairo_surface_t* makeSurface(std::size_t width, std::size_t height, bool opaque) {
    if (!imageSizeAllowed(width, height)) return nullptr;
    cairo_surface_t* surface = cairo_image_surface_create(opaque ? CAIRO_FORMAT_RGB24 : CAIRO_FORMAT_ARGB32,
                                                          static_cast<int>(width), static_cast<int>(height));
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        return nullptr;
    }
    return surface;
}

}  // namespace

BitmapContext::BitmapContext(cairo_surface_t* surface, const AffineTransform& base, std::size_t width,
                             std::size_t height, ImageLayout layout, std::size_t bytesPerRow,
                             std::uint32_t bitmapInfo, double scale)
    : Context(surface, base),
      width_(width),
      height_(height),
      layout_(layout),
      bytesPerRow_(bytesPerRow),
      bitmapInfo_(bitmapInfo),
      scale_(scale) {}

BitmapContext::~BitmapContext() = default;

std::unique_ptr<BitmapContext> BitmapContext::create(std::size_t width, std::size_t height,
                                                     std::size_t bitsPerComponent, std::size_t bytesPerRow,
                                                     std::optional<ColorSpace> space, std::uint32_t bitmapInfo) {
    const auto alpha = static_cast<ImageAlphaInfo>(bitmapInfo & kBitmapAlphaInfoMask);
    if (bitsPerComponent != 8 && bitsPerComponent != 16) return nullptr;
    ImageLayout layout;
    layout.bitsPerComponent = static_cast<int>(bitsPerComponent);
    layout.alphaInfo = alpha;
    std::size_t components;
    if (alpha == ImageAlphaInfo::Only) {
        if (space) return nullptr;
        components = 1;
        layout.colorModel = ColorSpaceModel::Unknown;
    } else {
        if (!space) return nullptr;
        const ColorSpaceModel model = space->model();
        if (model != ColorSpaceModel::RGB && model != ColorSpaceModel::Monochrome) return nullptr;
        layout.colorModel = model;
        // Straight alpha cannot be drawn into, on the platform either.
        if (alpha == ImageAlphaInfo::First || alpha == ImageAlphaInfo::Last) return nullptr;
        if (model == ColorSpaceModel::Monochrome) {
            if (alpha != ImageAlphaInfo::None && alpha != ImageAlphaInfo::PremultipliedLast &&
                alpha != ImageAlphaInfo::PremultipliedFirst)
                return nullptr;
            components = alpha == ImageAlphaInfo::None ? 1 : 2;
        } else {
            // RGB is drawn with a fourth byte: alpha, or one that is skipped.
            if (alpha == ImageAlphaInfo::None) return nullptr;
            components = 4;
        }
    }
    layout.bitsPerPixel = static_cast<int>(components * bitsPerComponent);
    const std::size_t minimumRow = width * components * bitsPerComponent / 8;
    if (bytesPerRow == 0) bytesPerRow = minimumRow;
    if (bytesPerRow < minimumRow) return nullptr;
    const bool opaque = alpha == ImageAlphaInfo::None || alpha == ImageAlphaInfo::NoneSkipFirst ||
                        alpha == ImageAlphaInfo::NoneSkipLast;
    cairo_surface_t* surface = makeSurface(width, height, opaque);
    if (!surface) return nullptr;
    // The platform's bitmap contexts have y up from the bottom-left corner.
    const AffineTransform flip{1, 0, 0, -1, 0, static_cast<double>(height)};
    std::unique_ptr<BitmapContext> context(
        new BitmapContext(surface, flip, width, height, layout, bytesPerRow, bitmapInfo, 1));
    cairo_surface_destroy(surface);
    return context;
}

std::unique_ptr<BitmapContext> BitmapContext::createForImage(Size size, bool opaque, double scale) {
    if (!(scale > 0) || !std::isfinite(scale) || !(size.width > 0) || !(size.height > 0)) return nullptr;
    // Rounding up, but not for a size that is whole up to floating-point noise.
    auto pixels = [&](double points) { return static_cast<std::size_t>(std::ceil(points * scale - 1e-6)); };
    const double w = size.width * scale, h = size.height * scale;
    if (w > kMaxImageDimension || h > kMaxImageDimension) return nullptr;
    const std::size_t width = pixels(size.width), height = pixels(size.height);
    cairo_surface_t* surface = makeSurface(width, height, opaque);
    if (!surface) return nullptr;
    ImageLayout layout;
    layout.alphaInfo = opaque ? ImageAlphaInfo::NoneSkipFirst : ImageAlphaInfo::PremultipliedFirst;
    const auto info = static_cast<std::uint32_t>(layout.alphaInfo) | 0x2000;  // 32-bit little-endian words
    std::unique_ptr<BitmapContext> context(new BitmapContext(surface, AffineTransform::makeScale(scale, scale), width,
                                                             height, layout, width * 4, info, scale));
    cairo_surface_destroy(surface);
    return context;
}

std::shared_ptr<const Image> BitmapContext::makeImage() {
    flush();
    cairo_surface_t* s = surface();
    const unsigned char* data = cairo_image_surface_get_data(s);
    const auto stride = static_cast<std::size_t>(cairo_image_surface_get_stride(s));
    // The surface's rows are the image's pixel words already: copied in bulk (one block when the rows lie
    // back to back, as they do for 32-bit surfaces), then adjusted in tight passes where the layout says so.
    std::vector<std::uint32_t> pixels;
    if (stride == width_ * 4) {
        const auto* words = reinterpret_cast<const std::uint32_t*>(data);
        pixels.assign(words, words + width_ * height_);
    } else {
        pixels.reserve(width_ * height_);
        for (std::size_t y = 0; y < height_; ++y) {
            const auto* row = reinterpret_cast<const std::uint32_t*>(data + y * stride);
            pixels.insert(pixels.end(), row, row + width_);
        }
    }
    // An opaque surface leaves its top byte undefined.
    if (cairo_image_surface_get_format(s) == CAIRO_FORMAT_RGB24) {
        for (std::uint32_t& p : pixels) p |= 0xFF000000u;
    }
    if (layout_.colorModel == ColorSpaceModel::Monochrome) {
        // A grey bitmap keeps only lightness.
        for (std::uint32_t& p : pixels) {
            const unsigned r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
            const unsigned l = (r * 77 + g * 150 + b * 29 + 128) >> 8;
            p = (p & 0xFF000000u) | (l << 16) | (l << 8) | l;
        }
    } else if (layout_.alphaInfo == ImageAlphaInfo::Only) {
        for (std::uint32_t& p : pixels) p &= 0xFF000000u;
    }
    return Image::create(static_cast<int>(width_), static_cast<int>(height_), std::move(pixels), layout_);
}

}  // namespace ql::cg
