#pragma once
// A fresh identifier text, for marking the pieces of text that belong together (all runs of one link).

#include <string>

#include "platform/foundation/UUID.h"

namespace ql {

// 36 upper-case hex digits and dashes, random each call.
inline std::string stringWithUUID() { return ns::UUID().UUIDString(); }

}  // namespace ql
