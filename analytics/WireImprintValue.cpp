#include "analytics/WireImprintValue.h"

#include <utility>

namespace ql {

WireImprintValue::WireImprintValue(std::optional<std::string> value, std::int64_t ts, std::optional<std::string> guid) {
    setValue(std::move(value));
    setTs(ts);
    setGuid(std::move(guid));
}

}  // namespace ql
