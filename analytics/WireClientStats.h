#pragma once
// The client's own upload statistics.

#include <cstdint>
#include <string_view>

#include "analytics/WireRecord.h"

namespace ql {

class WireClientStats final : public WireRecord<WireClientStats> {
    QL_OBJECT(WireClientStats, ns::Object)
    QL_WIRE_FIELD(1, WireI32, successful_requests, Successful_requests, Required)
    QL_WIRE_FIELD(2, WireI32, failed_requests, Failed_requests, Required)
    QL_WIRE_FIELD(3, WireI32, last_request_spent_ms, Last_request_spent_ms, Optional)
public:
    static constexpr std::string_view structName = "ClientStats";

    // Both counts start at 0, set.
    WireClientStats();
    // Sets every field, also those given as none.
    WireClientStats(std::int32_t successful_requests, std::int32_t failed_requests, std::int32_t last_request_spent_ms);
};

}  // namespace ql
