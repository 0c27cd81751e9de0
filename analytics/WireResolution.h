#pragma once
// A screen size.

#include <cstdint>
#include <string_view>

#include "analytics/WireRecord.h"

namespace ql {

class WireResolution final : public WireRecord<WireResolution> {
    QL_OBJECT(WireResolution, ns::Object)
    QL_WIRE_FIELD(1, WireI32, height, Height, Required)
    QL_WIRE_FIELD(2, WireI32, width, Width, Required)
public:
    static constexpr std::string_view structName = "Resolution";

    WireResolution() = default;
    // Sets every field, also those given as none.
    WireResolution(std::int32_t height, std::int32_t width);
};

}  // namespace ql
