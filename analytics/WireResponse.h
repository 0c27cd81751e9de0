#pragma once
// The body of the log endpoint's reply.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "analytics/WireImprint.h"
#include "analytics/WireRecord.h"

namespace ql {

class WireResponse final : public WireRecord<WireResponse> {
    QL_OBJECT(WireResponse, ns::Object)
    QL_WIRE_FIELD(1, WireI32, resp_code, Resp_code, Required)
    QL_WIRE_FIELD(2, WireString, msg, Msg, Optional)
    QL_WIRE_FIELD(3, WireStruct<WireImprint>, imprint, Imprint, Optional)
public:
    static constexpr std::string_view structName = "Response";

    WireResponse() = default;
    // Sets every field, also those given as none.
    WireResponse(std::int32_t resp_code, std::optional<std::string> msg, std::shared_ptr<WireImprint> imprint);
};

}  // namespace ql
