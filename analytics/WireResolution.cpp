#include "analytics/WireResolution.h"

#include <utility>

namespace ql {

WireResolution::WireResolution(std::int32_t height, std::int32_t width) {
    setHeight(height);
    setWidth(width);
}

}  // namespace ql
