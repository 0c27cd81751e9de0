#pragma once
// Locale, position, carrier and connection.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "analytics/WireRecord.h"

namespace ql {

class WireMiscInfo final : public WireRecord<WireMiscInfo> {
    QL_OBJECT(WireMiscInfo, ns::Object)
    QL_WIRE_FIELD(1, WireI32, time_zone, Time_zone, Optional)
    QL_WIRE_FIELD(2, WireString, language, Language, Optional)
    QL_WIRE_FIELD(3, WireString, country, Country, Optional)
    QL_WIRE_FIELD(4, WireDouble, latitude, Latitude, Optional)
    QL_WIRE_FIELD(5, WireDouble, longitude, Longitude, Optional)
    QL_WIRE_FIELD(6, WireString, carrier, Carrier, Optional)
    QL_WIRE_FIELD(7, WireI32, latency, Latency, Optional)
    QL_WIRE_FIELD(8, WireString, display_name, Display_name, Optional)
    QL_WIRE_FIELD(9, WireEnum, access_type, Access_type, Optional)
    QL_WIRE_FIELD(10, WireString, access_subtype, Access_subtype, Optional)
public:
    static constexpr std::string_view structName = "MiscInfo";

    WireMiscInfo() = default;
    // Sets every field, also those given as none.
    WireMiscInfo(std::int32_t time_zone, std::optional<std::string> language, std::optional<std::string> country,
                 double latitude, double longitude, std::optional<std::string> carrier, std::int32_t latency,
                 std::optional<std::string> display_name, std::int32_t access_type,
                 std::optional<std::string> access_subtype);
};

}  // namespace ql
