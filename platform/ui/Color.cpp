#include "platform/ui/Color.h"

#include <cstdio>

#include "platform/ui/GraphicsContext.h"
#include "platform/ui/Image.h"

namespace ql::ui {

namespace {

std::shared_ptr<Color> make(cg::Color color) { return std::make_shared<Color>(std::move(color)); }

}  // namespace

std::shared_ptr<Color> Color::colorWithRed(double red, double green, double blue, double alpha) {
    return make(cg::Color::rgb(red, green, blue, alpha));
}

std::shared_ptr<Color> Color::colorWithWhite(double white, double alpha) { return make(cg::Color::gray(white, alpha)); }

std::shared_ptr<Color> Color::colorWithHue(double hue, double saturation, double brightness, double alpha) {
    return make(cg::Color::hsb(hue, saturation, brightness, alpha));
}

std::shared_ptr<Color> Color::colorWithPatternImage(const std::shared_ptr<Image>& image) {
    if (!image || !image->CGImage()) return nullptr;
    return make(cg::Color::pattern(image->uprightBitmap(), image->size()));
}

std::shared_ptr<Color> Color::colorWithCGColor(const cg::Color& color) { return make(color); }

#define QL_NAMED_COLOR(name, value)                                       \
    const std::shared_ptr<Color>& Color::name() {                         \
        static const auto& shared = *new std::shared_ptr<Color>(make(value)); \
        return shared;                                                    \
    }

QL_NAMED_COLOR(blackColor, cg::Color::gray(0, 1))
QL_NAMED_COLOR(darkGrayColor, cg::Color::gray(1.0 / 3, 1))
QL_NAMED_COLOR(lightGrayColor, cg::Color::gray(2.0 / 3, 1))
QL_NAMED_COLOR(whiteColor, cg::Color::gray(1, 1))
QL_NAMED_COLOR(grayColor, cg::Color::gray(0.5, 1))
QL_NAMED_COLOR(redColor, cg::Color::rgb(1, 0, 0, 1))
QL_NAMED_COLOR(greenColor, cg::Color::rgb(0, 1, 0, 1))
QL_NAMED_COLOR(blueColor, cg::Color::rgb(0, 0, 1, 1))
QL_NAMED_COLOR(cyanColor, cg::Color::rgb(0, 1, 1, 1))
QL_NAMED_COLOR(yellowColor, cg::Color::rgb(1, 1, 0, 1))
QL_NAMED_COLOR(magentaColor, cg::Color::rgb(1, 0, 1, 1))
QL_NAMED_COLOR(orangeColor, cg::Color::rgb(1, 0.5, 0, 1))
QL_NAMED_COLOR(purpleColor, cg::Color::rgb(0.5, 0, 0.5, 1))
QL_NAMED_COLOR(brownColor, cg::Color::rgb(0.6, 0.4, 0.2, 1))
QL_NAMED_COLOR(clearColor, cg::Color::gray(0, 0))
QL_NAMED_COLOR(lightTextColor, cg::Color::gray(1, 0.6))
QL_NAMED_COLOR(darkTextColor, cg::Color::gray(0, 1))
QL_NAMED_COLOR(groupTableViewBackgroundColor, cg::Color::rgb(239.0 / 255, 239.0 / 255, 244.0 / 255, 1))

#undef QL_NAMED_COLOR

std::shared_ptr<Color> Color::colorWithAlphaComponent(double alpha) const { return make(color_.withAlpha(alpha)); }

bool Color::getRed(double* red, double* green, double* blue, double* alpha) const {
    if (color_.isPattern()) return false;
    const cg::RGBA c = color_.rgba();
    if (red) *red = c.r;
    if (green) *green = c.g;
    if (blue) *blue = c.b;
    if (alpha) *alpha = c.a;
    return true;
}

bool Color::getWhite(double* white, double* alpha) const {
    if (color_.colorSpace().model() != cg::ColorSpaceModel::Monochrome) return false;
    if (white) *white = color_.components()[0];
    if (alpha) *alpha = color_.alpha();
    return true;
}

bool Color::getHue(double* hue, double* saturation, double* brightness, double* alpha) const {
    if (color_.isPattern()) return false;
    const cg::HSBA c = color_.hsba();
    if (hue) *hue = c.hue;
    if (saturation) *saturation = c.saturation;
    if (brightness) *brightness = c.brightness;
    if (alpha) *alpha = c.alpha;
    return true;
}

void Color::set() const {
    setFill();
    setStroke();
}

void Color::setFill() const {
    if (cg::Context* context = GraphicsGetCurrentContext()) context->setFillColor(color_);
}

void Color::setStroke() const {
    if (cg::Context* context = GraphicsGetCurrentContext()) context->setStrokeColor(color_);
}

bool Color::isEqual(const ns::Object& other) const {
    const auto* color = dynamic_cast<const Color*>(&other);
    return color && color->color_ == color_;
}

std::string Color::description() const {
    std::string text;
    switch (color_.colorSpace().model()) {
    case cg::ColorSpaceModel::Monochrome: text = "UIDeviceWhiteColorSpace"; break;
    case cg::ColorSpaceModel::Pattern: return "UIPatternColorSpace";
    default: text = "UIDeviceRGBColorSpace"; break;
    }
    for (double component : color_.components()) {
        char buf[32];
        std::snprintf(buf, sizeof buf, " %g", component);
        text += buf;
    }
    return text;
}

}  // namespace ql::ui
