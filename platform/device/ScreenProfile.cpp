#include "platform/device/ScreenProfile.h"

#include <cmath>

#include "platform/foundation/Exception.h"

namespace ql::sim {

void ScreenProfile::validate() const {
    const double w = portraitSize.width, h = portraitSize.height;
    if (!(std::isfinite(w) && std::isfinite(h) && w > 0 && h > 0 && w <= h)) {
        throw ns::Exception(ns::InvalidArgumentException,
                            "a screen is given upright with a positive size, not " + cg::toString(portraitSize));
    }
    if (scale != 1 && scale != 2 && scale != 3) {
        throw ns::Exception(ns::InvalidArgumentException,
                            "a screen's scale is 1, 2 or 3, not " + std::to_string(scale));
    }
}

}  // namespace ql::sim
