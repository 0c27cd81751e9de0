#pragma once
// cg::Gradient: colours at locations from 0 to 1, drawn by a context along a line or between two circles.

#include <span>
#include <vector>

#include "platform/graphics/Color.h"

namespace ql::cg {

// Whether a gradient also fills the area before its start and after its end with its end colours.
enum GradientDrawingOptions : unsigned {
    GradientDrawsBeforeStartLocation = 1u << 0,
    GradientDrawsAfterEndLocation = 1u << 1,
};

class Gradient {
public:
    struct Stop {
        double location;
        RGBA color;
    };

    // Without locations the colours are spread evenly from 0 to 1; with them, there must be one per colour
    // (extra or missing ones fall back to even spacing). Stops are kept in order of location.
    Gradient(ColorSpace space, const std::vector<Color>& colors, const std::vector<double>& locations = {});
    // `components` holds count colours of the space's components plus alpha each.
    static Gradient withComponents(ColorSpace space, std::span<const double> components,
                                   std::span<const double> locations, std::size_t count);

    const ColorSpace& colorSpace() const { return space_; }
    const std::vector<Stop>& stops() const { return stops_; }

private:
    ColorSpace space_;
    std::vector<Stop> stops_;
};

}  // namespace ql::cg
