#pragma once
// cg::Image: an immutable bitmap of width × height pixels, stored as premultiplied 32-bit ARGB in native
// byte order (the layout Cairo draws from), whatever the source was. The source's own layout (bits per
// component, alpha kind, colour model) is kept as description, because callers decide on it (re-encode
// as PNG when there is alpha, skip 16-bit images, discard CMYK JPEGs).

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/graphics/Color.h"
#include "platform/graphics/Geometry.h"

namespace ql::cg {

// The platform's alpha kinds of a bitmap (the low five bits of its bitmap info).
enum class ImageAlphaInfo : std::uint32_t {
    None = 0,
    PremultipliedLast = 1,
    PremultipliedFirst = 2,
    Last = 3,
    First = 4,
    NoneSkipLast = 5,
    NoneSkipFirst = 6,
    Only = 7,
};

inline constexpr std::uint32_t kBitmapAlphaInfoMask = 0x1F;

// Decoding and drawing refuse bitmaps beyond these, so that a hostile header cannot exhaust memory.
inline constexpr int kMaxImageDimension = 32767;
inline constexpr std::size_t kMaxImagePixels = std::size_t{1} << 25;

bool imageSizeAllowed(std::size_t width, std::size_t height);

struct ImageLayout {
    int bitsPerComponent = 8;
    int bitsPerPixel = 32;
    ImageAlphaInfo alphaInfo = ImageAlphaInfo::PremultipliedFirst;
    ColorSpaceModel colorModel = ColorSpaceModel::RGB;
};

class Image {
public:
    // Takes premultiplied ARGB pixels, width × height of them; nullptr when the size is not allowed or the
    // pixel count does not match.
    static std::shared_ptr<const Image> create(int width, int height, std::vector<std::uint32_t> pixels,
                                               ImageLayout layout = {});
    // From straight (not premultiplied) RGBA bytes, four per pixel.
    static std::shared_ptr<const Image> fromRGBA(int width, int height, const std::uint8_t* rgba,
                                                 ImageLayout layout = {});

    int width() const { return width_; }
    int height() const { return height_; }
    Size size() const { return {static_cast<double>(width_), static_cast<double>(height_)}; }
    const std::uint32_t* pixels() const { return pixels_->data(); }
    int bytesPerRow() const { return width_ * 4; }

    const ImageLayout& layout() const { return layout_; }
    int bitsPerComponent() const { return layout_.bitsPerComponent; }
    int bitsPerPixel() const { return layout_.bitsPerPixel; }
    ImageAlphaInfo alphaInfo() const { return layout_.alphaInfo; }
    ColorSpace colorSpace() const;
    // Whether the layout carries alpha (premultiplied or straight, first or last, or alpha only).
    bool hasAlpha() const;

    // One pixel unpremultiplied, as bytes; out of range reads transparent black.
    struct Pixel {
        std::uint8_t r = 0, g = 0, b = 0, a = 0;
        friend bool operator==(const Pixel&, const Pixel&) = default;
    };
    Pixel pixel(int x, int y) const;
    // Straight RGBA bytes of the whole bitmap, row by row.
    std::vector<std::uint8_t> rgbaBytes() const;

    // The part inside `rect` (pixel units, top-left origin, rounded outwards); nullptr when it is empty.
    std::shared_ptr<const Image> cropped(const Rect& rect) const;
    // The same pixels described with another layout (the bitmap a context made is described by the context).
    std::shared_ptr<const Image> withLayout(const ImageLayout& layout) const;

private:
    Image(int width, int height, std::shared_ptr<const std::vector<std::uint32_t>> pixels, ImageLayout layout)
        : width_(width), height_(height), pixels_(std::move(pixels)), layout_(layout) {}

    int width_;
    int height_;
    std::shared_ptr<const std::vector<std::uint32_t>> pixels_;
    ImageLayout layout_;
};

}  // namespace ql::cg
