#include "analytics/StatEnvelope.h"

#include <utility>

namespace ql {

StatEnvelope::StatEnvelope(std::optional<std::string> version, std::optional<std::string> address,
                           std::optional<std::string> signature, std::int32_t serial_num, std::int32_t ts_secs,
                           std::int32_t length, std::optional<ns::Data> entity, std::optional<std::string> guid,
                           std::optional<std::string> checksum, std::int32_t codex) {
    setVersion(std::move(version));
    setAddress(std::move(address));
    setSignature(std::move(signature));
    setSerial_num(serial_num);
    setTs_secs(ts_secs);
    setLength(length);
    setEntity(std::move(entity));
    setGuid(std::move(guid));
    setChecksum(std::move(checksum));
    setCodex(codex);
}

}  // namespace ql
