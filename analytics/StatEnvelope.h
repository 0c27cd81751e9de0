#pragma once
// The envelope around one compressed (and maybe encrypted) log entry, as saved for upload.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "analytics/WireRecord.h"

namespace ql {

class StatEnvelope final : public WireRecord<StatEnvelope> {
    QL_OBJECT(StatEnvelope, ns::Object)
    QL_WIRE_FIELD(1, WireString, version, Version, Optional)
    QL_WIRE_FIELD(2, WireString, address, Address, Optional)
    QL_WIRE_FIELD(3, WireString, signature, Signature, Optional)
    QL_WIRE_FIELD(4, WireI32, serial_num, Serial_num, Optional)
    QL_WIRE_FIELD(5, WireI32, ts_secs, Ts_secs, Optional)
    QL_WIRE_FIELD(6, WireI32, length, Length, Optional)
    QL_WIRE_FIELD(7, WireBinary, entity, Entity, Optional)
    QL_WIRE_FIELD(8, WireString, guid, Guid, Optional)
    QL_WIRE_FIELD(9, WireString, checksum, Checksum, Optional)
    QL_WIRE_FIELD(10, WireI32, codex, Codex, Optional)
public:
    static constexpr std::string_view structName = "Envelope";

    StatEnvelope() = default;
    // Sets every field, also those given as none.
    StatEnvelope(std::optional<std::string> version, std::optional<std::string> address,
                 std::optional<std::string> signature, std::int32_t serial_num, std::int32_t ts_secs,
                 std::int32_t length, std::optional<ns::Data> entity, std::optional<std::string> guid,
                 std::optional<std::string> checksum, std::int32_t codex);
};

}  // namespace ql
