#include "platform/graphics/BitmapContext.h"

#include <cmath>
#include <vector>

namespace ql::cg {

namespace {

// New surfaces start transparent black; without alpha, that is black. Their rows lie back to back in
// `pixels`, which the context keeps, so that an image can take them over.
cairo_surface_t* makeSurface(std::size_t width, std::size_t height, bool opaque, std::vector<std::uint32_t>& pixels) {
    if (!imageSizeAllowed(width, height)) return nullptr;
    const cairo_format_t format = opaque ? CAIRO_FORMAT_RGB24 : CAIRO_FORMAT_ARGB32;
    if (cairo_format_stride_for_width(format, static_cast<int>(width)) != static_cast<int>(width * 4)) return nullptr;
    pixels.assign(width * height, 0);
    cairo_surface_t* surface =
        cairo_image_surface_create_for_data(reinterpret_cast<unsigned char*>(pixels.data()), format,
                                            static_cast<int>(width), static_cast<int>(height), static_cast<int>(width * 4));
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        return nullptr;
    }
    return surface;
}

}  // namespace

BitmapContext::BitmapContext(cairo_surface_t* surface, std::vector<std::uint32_t> pixels, const AffineTransform& base,
                             std::size_t width, std::size_t height, ImageLayout layout, std::size_t bytesPerRow,
                             std::uint32_t bitmapInfo, double scale)
    : Context(surface, base),
      pixels_(std::move(pixels)),
      width_(width),
      height_(height),
      layout_(layout),
      bytesPerRow_(bytesPerRow),
      bitmapInfo_(bitmapInfo),
      scale_(scale) {}

// The surface is finished while the words it draws into still exist.
BitmapContext::~BitmapContext() { cairo_surface_finish(surface()); }

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
    std::vector<std::uint32_t> pixels;
    cairo_surface_t* surface = makeSurface(width, height, opaque, pixels);
    if (!surface) return nullptr;
    // The platform's bitmap contexts have y up from the bottom-left corner.
    const AffineTransform flip{1, 0, 0, -1, 0, static_cast<double>(height)};
    std::unique_ptr<BitmapContext> context(
        new BitmapContext(surface, std::move(pixels), flip, width, height, layout, bytesPerRow, bitmapInfo, 1));
    cairo_surface_destroy(surface);
    return context;
}

std::unique_ptr<BitmapContext> BitmapContext::createForImage(Size size, bool opaque, double scale) {
    if (!(scale > 0) || !std::isfinite(scale) || !(size.width > 0) || !(size.height > 0)) return nullptr;
    // Rounding up, but not for a size that is whole up to floating-point noise.
    auto pixelCount = [&](double points) { return static_cast<std::size_t>(std::ceil(points * scale - 1e-6)); };
    const double w = size.width * scale, h = size.height * scale;
    if (w > kMaxImageDimension || h > kMaxImageDimension) return nullptr;
    const std::size_t width = pixelCount(size.width), height = pixelCount(size.height);
    std::vector<std::uint32_t> pixels;
    cairo_surface_t* surface = makeSurface(width, height, opaque, pixels);
    if (!surface) return nullptr;
    ImageLayout layout;
    layout.alphaInfo = opaque ? ImageAlphaInfo::NoneSkipFirst : ImageAlphaInfo::PremultipliedFirst;
    const auto info = static_cast<std::uint32_t>(layout.alphaInfo) | 0x2000;  // 32-bit little-endian words
    std::unique_ptr<BitmapContext> context(new BitmapContext(surface, std::move(pixels),
                                                             AffineTransform::makeScale(scale, scale), width, height,
                                                             layout, width * 4, info, scale));
    cairo_surface_destroy(surface);
    return context;
}

void BitmapContext::finishPixels(std::vector<std::uint32_t>& pixels) const {
    // An opaque surface leaves its top byte undefined.
    if (cairo_image_surface_get_format(surface()) == CAIRO_FORMAT_RGB24) {
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
}

std::shared_ptr<const Image> BitmapContext::makeImage() {
    if (pixels_.empty()) return nullptr;  // taken
    flush();
    // The surface's rows are the image's pixel words already: one block copy, then tight passes where the
    // layout needs them.
    std::vector<std::uint32_t> pixels(pixels_);
    finishPixels(pixels);
    return Image::create(static_cast<int>(width_), static_cast<int>(height_), std::move(pixels), layout_);
}

std::shared_ptr<const Image> BitmapContext::takeImage() {
    if (pixels_.empty()) return nullptr;
    flush();
    // A finished surface refuses any further drawing, so nothing writes into the words once they are the
    // image's.
    cairo_surface_finish(surface());
    std::vector<std::uint32_t> pixels = std::move(pixels_);
    pixels_.clear();
    finishPixels(pixels);
    return Image::create(static_cast<int>(width_), static_cast<int>(height_), std::move(pixels), layout_);
}

}  // namespace ql::cg
