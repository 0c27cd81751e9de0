#include "analytics/WireClientStats.h"

#include <utility>

namespace ql {

WireClientStats::WireClientStats() {
    setSuccessful_requests(0);
    setFailed_requests(0);
}

WireClientStats::WireClientStats(std::int32_t successful_requests, std::int32_t failed_requests,
                                 std::int32_t last_request_spent_ms) {
    setSuccessful_requests(successful_requests);
    setFailed_requests(failed_requests);
    setLast_request_spent_ms(last_request_spent_ms);
}

}  // namespace ql
