#include "platform/graphics/Color.h"

#include <algorithm>
#include <cmath>

namespace ql::cg {

int ColorSpace::numberOfComponents() const {
    switch (model_) {
    case ColorSpaceModel::Monochrome: return 1;
    case ColorSpaceModel::RGB: return 3;
    case ColorSpaceModel::CMYK: return 4;
    case ColorSpaceModel::Lab: return 3;
    default: return 0;
    }
}

Color Color::rgb(double red, double green, double blue, double alpha) {
    Color c;
    c.space_ = ColorSpace::deviceRGB();
    c.components_ = {red, green, blue, alpha, 0};
    return c;
}

Color Color::gray(double white, double alpha) {
    Color c;
    c.space_ = ColorSpace::deviceGray();
    c.components_ = {white, alpha, 0, 0, 0};
    return c;
}

Color Color::cmyk(double cyan, double magenta, double yellow, double black, double alpha) {
    Color c;
    c.space_ = ColorSpace::deviceCMYK();
    c.components_ = {cyan, magenta, yellow, black, alpha};
    return c;
}

Color Color::hsb(double hue, double saturation, double brightness, double alpha) {
    const double h = (hue - std::floor(hue)) * 6;
    const int sector = static_cast<int>(h) % 6;
    const double f = h - std::floor(h);
    const double v = brightness;
    const double p = v * (1 - saturation);
    const double q = v * (1 - saturation * f);
    const double t = v * (1 - saturation * (1 - f));
    switch (sector) {
    case 0: return rgb(v, t, p, alpha);
    case 1: return rgb(q, v, p, alpha);
    case 2: return rgb(p, v, t, alpha);
    case 3: return rgb(p, q, v, alpha);
    case 4: return rgb(t, p, v, alpha);
    default: return rgb(v, p, q, alpha);
    }
}

Color Color::withComponents(ColorSpace space, std::span<const double> components) {
    const auto n = static_cast<std::size_t>(space.numberOfComponents());
    if (n == 0 || components.size() != n + 1) return gray(0, 1);
    Color c;
    c.space_ = space;
    c.components_ = {};
    std::copy(components.begin(), components.end(), c.components_.begin());
    return c;
}

Color Color::pattern(std::shared_ptr<const Image> image, Size tile, double alpha) {
    Color c;
    c.space_ = ColorSpace::pattern();
    c.components_ = {alpha, 0, 0, 0, 0};
    c.pattern_ = std::move(image);
    c.tile_ = tile;
    return c;
}

int Color::numberOfComponents() const { return space_.numberOfComponents() + 1; }

Color Color::withAlpha(double alpha) const {
    Color c = *this;
    c.components_[static_cast<std::size_t>(numberOfComponents() - 1)] = alpha;
    return c;
}

RGBA Color::rgba() const {
    const auto& k = components_;
    switch (space_.model()) {
    case ColorSpaceModel::Monochrome: return {k[0], k[0], k[0], k[1]};
    case ColorSpaceModel::RGB: return {k[0], k[1], k[2], k[3]};
    case ColorSpaceModel::CMYK:
        return {(1 - k[0]) * (1 - k[3]), (1 - k[1]) * (1 - k[3]), (1 - k[2]) * (1 - k[3]), k[4]};
    default: return {0, 0, 0, alpha()};
    }
}

HSBA Color::hsba() const {
    const RGBA c = rgba();
    const double maxC = std::max({c.r, c.g, c.b});
    const double minC = std::min({c.r, c.g, c.b});
    const double delta = maxC - minC;
    HSBA out{0, maxC == 0 ? 0 : delta / maxC, maxC, c.a};
    if (delta > 0) {
        double h;
        if (maxC == c.r) h = (c.g - c.b) / delta;
        else if (maxC == c.g) h = 2 + (c.b - c.r) / delta;
        else h = 4 + (c.r - c.g) / delta;
        h /= 6;
        out.hue = h < 0 ? h + 1 : h;
    }
    return out;
}

bool Color::operator==(const Color& other) const {
    return space_ == other.space_ && components_ == other.components_ && pattern_ == other.pattern_ &&
           tile_ == other.tile_;
}

}  // namespace ql::cg
