#pragma once
// The versioned, checksummed property map that the log endpoint hands out.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "analytics/WireImprintValue.h"
#include "analytics/WireRecord.h"

namespace ql {

class WireImprint final : public WireRecord<WireImprint> {
    QL_OBJECT(WireImprint, ns::Object)
    QL_WIRE_FIELD(1, WireMap<WireImprintValue>, property, Property, Required)
    QL_WIRE_FIELD(2, WireI32, version, Version, Required)
    QL_WIRE_FIELD(3, WireString, checksum, Checksum, Required)
public:
    static constexpr std::string_view structName = "Imprint";

    WireImprint() = default;
    // Sets every field, also those given as none.
    WireImprint(std::shared_ptr<WireRecordMap<WireImprintValue>> property, std::int32_t version,
                std::optional<std::string> checksum);
};

}  // namespace ql
