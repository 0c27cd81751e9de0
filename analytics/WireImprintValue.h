#pragma once
// One property of an imprint.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "analytics/WireRecord.h"

namespace ql {

class WireImprintValue final : public WireRecord<WireImprintValue> {
    QL_OBJECT(WireImprintValue, ns::Object)
    QL_WIRE_FIELD(1, WireString, value, Value, Optional)
    QL_WIRE_FIELD(2, WireI64, ts, Ts, Required)
    QL_WIRE_FIELD(3, WireString, guid, Guid, Required)
public:
    static constexpr std::string_view structName = "ImprintValue";

    WireImprintValue() = default;
    // Sets every field, also those given as none.
    WireImprintValue(std::optional<std::string> value, std::int64_t ts, std::optional<std::string> guid);
};

}  // namespace ql
