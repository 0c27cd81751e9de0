#include "analytics/WireEvent.h"

#include <utility>

namespace ql {

WireEvent::WireEvent(std::optional<std::string> name, std::shared_ptr<WireRecordMap<WirePropertyValue>> properties,
                     std::int64_t duration, std::int32_t acc, std::int64_t ts) {
    setName(std::move(name));
    setProperties(std::move(properties));
    setDuration(duration);
    setAcc(acc);
    setTs(ts);
}

}  // namespace ql
