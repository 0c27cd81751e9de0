#pragma once
// The one-time activation message.

#include <cstdint>
#include <string_view>

#include "analytics/WireRecord.h"

namespace ql {

class WireActivateMsg final : public WireRecord<WireActivateMsg> {
    QL_OBJECT(WireActivateMsg, ns::Object)
    QL_WIRE_FIELD(1, WireI64, ts, Ts, Required)
public:
    static constexpr std::string_view structName = "ActivateMsg";

    WireActivateMsg() = default;
    // Sets every field, also those given as none.
    WireActivateMsg(std::int64_t ts);
};

}  // namespace ql
