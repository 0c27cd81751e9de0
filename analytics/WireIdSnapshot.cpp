#include "analytics/WireIdSnapshot.h"

#include <utility>

namespace ql {

WireIdSnapshot::WireIdSnapshot(std::optional<std::string> identity, std::int64_t ts, std::int32_t version) {
    setIdentity(std::move(identity));
    setTs(ts);
    setVersion(version);
}

}  // namespace ql
