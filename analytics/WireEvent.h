#pragma once
// One event with its properties.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "analytics/WirePropertyValue.h"
#include "analytics/WireRecord.h"

namespace ql {

class WireEvent final : public WireRecord<WireEvent> {
    QL_OBJECT(WireEvent, ns::Object)
    QL_WIRE_FIELD(1, WireString, name, Name, Required)
    QL_WIRE_FIELD(2, WireMap<WirePropertyValue>, properties, Properties, Required)
    QL_WIRE_FIELD(3, WireI64, duration, Duration, Optional)
    QL_WIRE_FIELD(4, WireI32, acc, Acc, Optional)
    QL_WIRE_FIELD(5, WireI64, ts, Ts, Required)
public:
    static constexpr std::string_view structName = "Event";

    WireEvent() = default;
    // Sets every field, also those given as none.
    WireEvent(std::optional<std::string> name, std::shared_ptr<WireRecordMap<WirePropertyValue>> properties,
              std::int64_t duration, std::int32_t acc, std::int64_t ts);
};

}  // namespace ql
