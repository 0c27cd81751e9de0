#pragma once
// ct::Shadow: the shadow text casts (the platform's shadow object, registered as "NSShadow"): offset,
// blur radius and colour (none: the platform's default, black at one third opacity).

#include <memory>
#include <optional>

#include "platform/foundation/Object.h"
#include "platform/graphics/Color.h"
#include "platform/graphics/Geometry.h"

namespace ql::ct {

class Shadow final : public ns::Object {
    QL_OBJECT_NAMED(Shadow, ns::Object, "NSShadow")
public:
    Shadow() = default;
    Shadow(cg::Size offset, double blurRadius, std::optional<cg::Color> color)
        : shadowOffset(offset), shadowBlurRadius(blurRadius), shadowColor(std::move(color)) {}

    cg::Size shadowOffset;
    double shadowBlurRadius = 0;
    std::optional<cg::Color> shadowColor;

    // The colour drawn: shadowColor, or black with alpha 1/3.
    cg::Color effectiveColor() const { return shadowColor.value_or(cg::Color::gray(0, 1.0 / 3.0)); }

    bool isEqual(const ns::Object& other) const override {
        auto* shadow = dynamic_cast<const Shadow*>(&other);
        return shadow && shadow->shadowOffset == shadowOffset && shadow->shadowBlurRadius == shadowBlurRadius &&
               shadow->shadowColor == shadowColor;
    }
    std::shared_ptr<ns::Object> copy() const override {
        return std::make_shared<Shadow>(shadowOffset, shadowBlurRadius, shadowColor);
    }
};

}  // namespace ql::ct
