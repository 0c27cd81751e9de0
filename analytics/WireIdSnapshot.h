#pragma once
// The value of one identity at one moment.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "analytics/WireRecord.h"

namespace ql {

class WireIdSnapshot final : public WireRecord<WireIdSnapshot> {
    QL_OBJECT(WireIdSnapshot, ns::Object)
    QL_WIRE_FIELD(1, WireString, identity, Identity, Required)
    QL_WIRE_FIELD(2, WireI64, ts, Ts, Required)
    QL_WIRE_FIELD(3, WireI32, version, Version, Required)
public:
    static constexpr std::string_view structName = "IdSnapshot";

    WireIdSnapshot() = default;
    // Sets every field, also those given as none.
    WireIdSnapshot(std::optional<std::string> identity, std::int64_t ts, std::int32_t version);
};

}  // namespace ql
