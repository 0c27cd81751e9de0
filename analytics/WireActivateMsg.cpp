#include "analytics/WireActivateMsg.h"

#include <utility>

namespace ql {

WireActivateMsg::WireActivateMsg(std::int64_t ts) { setTs(ts); }

}  // namespace ql
