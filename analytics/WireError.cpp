#include "analytics/WireError.h"

#include <utility>

namespace ql {

WireError::WireError(std::int64_t ts, std::optional<std::string> context, std::int32_t source) {
    setTs(ts);
    setContext(std::move(context));
    setSource(source);
}

}  // namespace ql
