#include "platform/graphics/Image.h"

#include <algorithm>
#include <cmath>

#include "platform/graphics/Pixels.h"

namespace ql::cg {

bool imageSizeAllowed(std::size_t width, std::size_t height) {
    return width > 0 && height > 0 && width <= kMaxImageDimension && height <= kMaxImageDimension &&
           width * height <= kMaxImagePixels;
}

std::shared_ptr<const Image> Image::create(int width, int height, std::vector<std::uint32_t> pixels,
                                           ImageLayout layout) {
    if (width <= 0 || height <= 0 || !imageSizeAllowed(static_cast<std::size_t>(width), static_cast<std::size_t>(height)))
        return nullptr;
    if (pixels.size() != static_cast<std::size_t>(width) * static_cast<std::size_t>(height)) return nullptr;
    auto shared = std::make_shared<const std::vector<std::uint32_t>>(std::move(pixels));
    return std::shared_ptr<const Image>(new Image(width, height, std::move(shared), layout));
}

std::shared_ptr<const Image> Image::fromRGBA(int width, int height, const std::uint8_t* rgba, ImageLayout layout) {
    if (width <= 0 || height <= 0 || !imageSizeAllowed(static_cast<std::size_t>(width), static_cast<std::size_t>(height)))
        return nullptr;
    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    std::vector<std::uint32_t> pixels(count);
    for (std::size_t i = 0; i < count; ++i)
        pixels[i] = premultipliedARGB(rgba[4 * i], rgba[4 * i + 1], rgba[4 * i + 2], rgba[4 * i + 3]);
    return create(width, height, std::move(pixels), layout);
}

ColorSpace Image::colorSpace() const {
    switch (layout_.colorModel) {
    case ColorSpaceModel::Monochrome: return ColorSpace::deviceGray();
    case ColorSpaceModel::CMYK: return ColorSpace::deviceCMYK();
    default: return ColorSpace::deviceRGB();
    }
}

bool Image::hasAlpha() const {
    switch (layout_.alphaInfo) {
    case ImageAlphaInfo::PremultipliedLast:
    case ImageAlphaInfo::PremultipliedFirst:
    case ImageAlphaInfo::Last:
    case ImageAlphaInfo::First:
    case ImageAlphaInfo::Only: return true;
    default: return false;
    }
}

Image::Pixel Image::pixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return {};
    const auto c = straightRGBA((*pixels_)[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
                                          static_cast<std::size_t>(x)]);
    return {c[0], c[1], c[2], c[3]};
}

std::vector<std::uint8_t> Image::rgbaBytes() const {
    std::vector<std::uint8_t> out(pixels_->size() * 4);
    for (std::size_t i = 0; i < pixels_->size(); ++i) {
        const auto c = straightRGBA((*pixels_)[i]);
        std::copy(c.begin(), c.end(), out.begin() + static_cast<std::ptrdiff_t>(4 * i));
    }
    return out;
}

std::shared_ptr<const Image> Image::cropped(const Rect& rect) const {
    const Rect r = rectIntersection(rectIntegral(rect), Rect(0, 0, width_, height_));
    if (rectIsEmpty(r)) return nullptr;
    const int x0 = static_cast<int>(r.origin.x);
    const int y0 = static_cast<int>(r.origin.y);
    const int w = static_cast<int>(r.size.width);
    const int h = static_cast<int>(r.size.height);
    std::vector<std::uint32_t> out(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
    for (int y = 0; y < h; ++y) {
        const auto* row = pixels_->data() + static_cast<std::size_t>(y0 + y) * static_cast<std::size_t>(width_) + x0;
        std::copy(row, row + w, out.begin() + static_cast<std::ptrdiff_t>(y) * w);
    }
    return create(w, h, std::move(out), layout_);
}

std::shared_ptr<const Image> Image::withLayout(const ImageLayout& layout) const {
    return std::shared_ptr<const Image>(new Image(width_, height_, pixels_, layout));
}

}  // namespace ql::cg
