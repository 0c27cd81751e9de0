#pragma once
// One page visit.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "analytics/WireRecord.h"

namespace ql {

class WirePage final : public WireRecord<WirePage> {
    QL_OBJECT(WirePage, ns::Object)
    QL_WIRE_FIELD(1, WireString, page_name, Page_name, Required)
    QL_WIRE_FIELD(2, WireI64, duration, Duration, Required)
public:
    static constexpr std::string_view structName = "Page";

    WirePage() = default;
    // Sets every field, also those given as none.
    WirePage(std::optional<std::string> page_name, std::int64_t duration);
};

}  // namespace ql
