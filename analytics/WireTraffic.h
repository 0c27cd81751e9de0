#pragma once
// Data sent and received during a session.

#include <cstdint>
#include <string_view>

#include "analytics/WireRecord.h"

namespace ql {

class WireTraffic final : public WireRecord<WireTraffic> {
    QL_OBJECT(WireTraffic, ns::Object)
    QL_WIRE_FIELD(1, WireI32, upload_traffic, Upload_traffic, Required)
    QL_WIRE_FIELD(2, WireI32, download_traffic, Download_traffic, Required)
public:
    static constexpr std::string_view structName = "Traffic";

    WireTraffic() = default;
    // Sets every field, also those given as none.
    WireTraffic(std::int32_t upload_traffic, std::int32_t download_traffic);
};

}  // namespace ql
