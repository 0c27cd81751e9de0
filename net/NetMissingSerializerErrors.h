#pragma once
// The errors of managers and operations that were left without a serializer (an archive that held none):
// their requests fail with these instead of being sent or parsed by nothing.

#include <optional>

#include "platform/foundation/Error.h"

namespace ql {

// In the request-serialization domain, code −1000.
ns::Error NetMissingRequestSerializerError();
// In the response-serialization domain, code −1016.
ns::Error NetMissingResponseSerializerError();
// Why a manager with these serializers cannot make a request: the request serializer's error when that one
// is missing, else the response serializer's; nothing when both are there.
std::optional<ns::Error> NetMissingSerializerError(bool hasRequestSerializer, bool hasResponseSerializer);

}  // namespace ql
