#include "analytics/WireImprint.h"

#include <utility>

namespace ql {

WireImprint::WireImprint(std::shared_ptr<WireRecordMap<WireImprintValue>> property, std::int32_t version,
                         std::optional<std::string> checksum) {
    setProperty(std::move(property));
    setVersion(version);
    setChecksum(std::move(checksum));
}

}  // namespace ql
