#pragma once
// One reported error.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "analytics/WireRecord.h"

namespace ql {

class WireError final : public WireRecord<WireError> {
    QL_OBJECT(WireError, ns::Object)
    QL_WIRE_FIELD(1, WireI64, ts, Ts, Required)
    QL_WIRE_FIELD(2, WireString, context, Context, Required)
    QL_WIRE_FIELD(3, WireEnum, source, Source, Optional)
public:
    static constexpr std::string_view structName = "Error";

    WireError() = default;
    // Sets every field, also those given as none.
    WireError(std::int64_t ts, std::optional<std::string> context, std::int32_t source);
};

}  // namespace ql
