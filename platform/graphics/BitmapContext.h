#pragma once
// cg::BitmapContext: a drawing context that renders into its own bitmap, which can be taken as an image at
// any time. Made either the platform's way (pixel size, bits per component, colour space, bitmap info;
// origin bottom left, y up) or for the view layer (a size in points at a scale; origin top left, y down).

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "platform/graphics/Context.h"

namespace ql::cg {

class BitmapContext : public Context {
public:
    // nullptr for layouts the platform refuses (no colour space with colour, straight alpha, components that
    // are neither 8 nor 16 bits, rows too short) and for sizes beyond the image limits. Pixels are kept at
    // 8 bits whatever the layout says; the layout only describes the images made.
    static std::unique_ptr<BitmapContext> create(std::size_t width, std::size_t height, std::size_t bitsPerComponent,
                                                 std::size_t bytesPerRow, std::optional<ColorSpace> space,
                                                 std::uint32_t bitmapInfo);
    // A top-left context of `size` points at `scale` pixels per point (pixel size rounded up); opaque
    // contexts start black and have no alpha.
    static std::unique_ptr<BitmapContext> createForImage(Size size, bool opaque, double scale);
    ~BitmapContext() override;

    std::size_t width() const { return width_; }
    std::size_t height() const { return height_; }
    std::size_t bitsPerComponent() const { return static_cast<std::size_t>(layout_.bitsPerComponent); }
    std::size_t bitsPerPixel() const { return static_cast<std::size_t>(layout_.bitsPerPixel); }
    std::size_t bytesPerRow() const { return bytesPerRow_; }
    ImageAlphaInfo alphaInfo() const { return layout_.alphaInfo; }
    std::uint32_t bitmapInfo() const { return bitmapInfo_; }
    ColorSpaceModel colorModel() const { return layout_.colorModel; }
    double scale() const { return scale_; }

    // A copy of the bitmap as it is now.
    std::shared_ptr<const Image> makeImage();
    // The bitmap as it is now, its pixels handed over rather than copied: the context draws nothing after.
    std::shared_ptr<const Image> takeImage();

private:
    BitmapContext(cairo_surface_t* surface, std::vector<std::uint32_t> pixels, const AffineTransform& base,
                  std::size_t width, std::size_t height, ImageLayout layout, std::size_t bytesPerRow,
                  std::uint32_t bitmapInfo, double scale);
    // The surface's words made the image's: opaque ones given alpha, grey or alpha-only ones reduced.
    void finishPixels(std::vector<std::uint32_t>& pixels) const;

    // The surface draws straight into these words.
    std::vector<std::uint32_t> pixels_;
    std::size_t width_;
    std::size_t height_;
    ImageLayout layout_;
    std::size_t bytesPerRow_;
    std::uint32_t bitmapInfo_;
    double scale_;
};

}  // namespace ql::cg
