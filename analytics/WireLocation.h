#pragma once
// One position fix.

#include <cstdint>
#include <string_view>

#include "analytics/WireRecord.h"

namespace ql {

class WireLocation final : public WireRecord<WireLocation> {
    QL_OBJECT(WireLocation, ns::Object)
    QL_WIRE_FIELD(1, WireDouble, lat, Lat, Required)
    QL_WIRE_FIELD(2, WireDouble, lng, Lng, Required)
    QL_WIRE_FIELD(3, WireI64, ts, Ts, Required)
public:
    static constexpr std::string_view structName = "Location";

    WireLocation() = default;
    // Sets every field, also those given as none.
    WireLocation(double lat, double lng, std::int64_t ts);
};

}  // namespace ql
