#pragma once
// ui::Color: the platform's colour object: a drawing colour (grey, RGB or a pattern image) with the
// named shared colours, conversions between RGB, grey and hue-saturation-brightness, and setting itself
// as the current context's fill or stroke colour.

#include <memory>
#include <string>

#include "platform/foundation/Object.h"
#include "platform/graphics/Color.h"
#include "platform/text/AttributeValues.h"

namespace ql::ui {

class Image;

class Color : public ns::Object, public ct::ColorValue {
    QL_OBJECT_NAMED(Color, ns::Object, "UIColor")
public:
    explicit Color(cg::Color color) : color_(std::move(color)) {}

    static std::shared_ptr<Color> colorWithRed(double red, double green, double blue, double alpha);
    static std::shared_ptr<Color> colorWithWhite(double white, double alpha);
    static std::shared_ptr<Color> colorWithHue(double hue, double saturation, double brightness, double alpha);
    // Tiles the image at its size in points; nullptr without an image.
    static std::shared_ptr<Color> colorWithPatternImage(const std::shared_ptr<Image>& image);
    static std::shared_ptr<Color> colorWithCGColor(const cg::Color& color);

    // The shared named colours: each call returns the same object.
    static const std::shared_ptr<Color>& blackColor();
    static const std::shared_ptr<Color>& darkGrayColor();
    static const std::shared_ptr<Color>& lightGrayColor();
    static const std::shared_ptr<Color>& whiteColor();
    static const std::shared_ptr<Color>& grayColor();
    static const std::shared_ptr<Color>& redColor();
    static const std::shared_ptr<Color>& greenColor();
    static const std::shared_ptr<Color>& blueColor();
    static const std::shared_ptr<Color>& cyanColor();
    static const std::shared_ptr<Color>& yellowColor();
    static const std::shared_ptr<Color>& magentaColor();
    static const std::shared_ptr<Color>& orangeColor();
    static const std::shared_ptr<Color>& purpleColor();
    static const std::shared_ptr<Color>& brownColor();
    static const std::shared_ptr<Color>& clearColor();
    static const std::shared_ptr<Color>& lightTextColor();
    static const std::shared_ptr<Color>& darkTextColor();
    static const std::shared_ptr<Color>& groupTableViewBackgroundColor();

    std::shared_ptr<Color> colorWithAlphaComponent(double alpha) const;

    // The components in the asked form; false (and the outputs untouched) when the colour cannot give
    // them: a pattern for all three, an RGB colour for white.
    bool getRed(double* red, double* green, double* blue, double* alpha) const;
    bool getWhite(double* white, double* alpha) const;
    bool getHue(double* hue, double* saturation, double* brightness, double* alpha) const;

    const cg::Color& CGColor() const override { return color_; }

    // Make this the current context's fill and stroke colour, or one of them.
    void set() const;
    void setFill() const;
    void setStroke() const;

    bool isEqual(const ns::Object& other) const override;
    // "UIDeviceRGBColorSpace 1 0 0 1", "UIDeviceWhiteColorSpace 0 1", "UIPatternColorSpace".
    std::string description() const override;

private:
    cg::Color color_;
};

}  // namespace ql::ui
