#pragma once
// The errors of managers and operations that were left without a serializer (an archive that held none):
// their requests fail with these instead of being sent or parsed by nothing.

#include "platform/foundation/Error.h"

namespace ql {

// In the request-serialization domain, code −1000.
ns::Error NetMissingRequestSerializerError();
// In the response-serialization domain, code −1016.
ns::Error NetMissingResponseSerializerError();

}  // namespace ql
