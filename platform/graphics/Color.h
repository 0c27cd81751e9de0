#pragma once
// Colours as the drawing layer sees them: components in a colour space (device grey, RGB or CMYK, alpha
// last) or a pattern that tiles an image. Components are kept as given, unclamped; drawing clamps them.

#include <array>
#include <memory>
#include <span>

#include "platform/graphics/Geometry.h"

namespace ql::cg {

class Image;

// The platform's colour-space models, with its numbering.
enum class ColorSpaceModel { Unknown = -1, Monochrome = 0, RGB = 1, CMYK = 2, Lab = 3, DeviceN = 4, Indexed = 5, Pattern = 6 };

class ColorSpace {
public:
    constexpr ColorSpace() = default;
    static constexpr ColorSpace deviceRGB() { return ColorSpace(ColorSpaceModel::RGB); }
    static constexpr ColorSpace deviceGray() { return ColorSpace(ColorSpaceModel::Monochrome); }
    static constexpr ColorSpace deviceCMYK() { return ColorSpace(ColorSpaceModel::CMYK); }
    static constexpr ColorSpace pattern() { return ColorSpace(ColorSpaceModel::Pattern); }

    ColorSpaceModel model() const { return model_; }
    // Colour components, alpha not counted.
    int numberOfComponents() const;
    friend bool operator==(const ColorSpace&, const ColorSpace&) = default;

private:
    constexpr explicit ColorSpace(ColorSpaceModel model) : model_(model) {}
    ColorSpaceModel model_ = ColorSpaceModel::RGB;
};

// Straight (not premultiplied) device RGB with alpha.
struct RGBA {
    double r = 0, g = 0, b = 0, a = 0;
    friend bool operator==(const RGBA&, const RGBA&) = default;
};

struct HSBA {
    double hue = 0, saturation = 0, brightness = 0, alpha = 0;
};

class Color {
public:
    Color() = default;  // opaque black
    static Color rgb(double red, double green, double blue, double alpha = 1);
    static Color gray(double white, double alpha = 1);
    static Color cmyk(double cyan, double magenta, double yellow, double black, double alpha = 1);
    // An RGB colour; hue, saturation and brightness in 0…1 (a hue of 1 is red again).
    static Color hsb(double hue, double saturation, double brightness, double alpha = 1);
    // The space's components, then alpha; a count that does not fit the space gives opaque black.
    static Color withComponents(ColorSpace space, std::span<const double> components);
    // Tiles the image, each tile `tile` units of the drawing's base space in size.
    static Color pattern(std::shared_ptr<const Image> image, Size tile, double alpha = 1);

    const ColorSpace& colorSpace() const { return space_; }
    // Including alpha: 2 for grey, 4 for RGB, 5 for CMYK, 1 for a pattern.
    int numberOfComponents() const;
    std::span<const double> components() const { return {components_.data(), static_cast<std::size_t>(numberOfComponents())}; }
    double alpha() const { return components_[static_cast<std::size_t>(numberOfComponents() - 1)]; }
    Color withAlpha(double alpha) const;

    // In device RGB; a pattern reads as black with its alpha.
    RGBA rgba() const;
    HSBA hsba() const;
    bool isPattern() const { return space_.model() == ColorSpaceModel::Pattern; }
    const std::shared_ptr<const Image>& patternImage() const { return pattern_; }
    Size patternTile() const { return tile_; }

    bool operator==(const Color& other) const;

private:
    ColorSpace space_ = ColorSpace::deviceGray();
    std::array<double, 5> components_{0, 1, 0, 0, 0};
    std::shared_ptr<const Image> pattern_;
    Size tile_;
};

}  // namespace ql::cg
