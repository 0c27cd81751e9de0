#pragma once
// What managers and operations need of a request serializer: one operation that derives the request to
// send from a given one and the caller's parameters. A serializer is configured once and then shared by
// every request a manager makes, so the operation leaves the serializer unchanged.

#include <optional>

#include "platform/foundation/Error.h"
#include "platform/foundation/Value.h"
#include "platform/net/URLRequest.h"

namespace ql {

// The error domain of requests that could not be built, and its one code.
inline constexpr std::string_view NetURLRequestSerializationErrorDomain = "com.varnholt.error.serialization.request";

class NetURLRequestSerialization {
public:
    virtual ~NetURLRequestSerialization() = default;

    // A new request with the parameters encoded, or nothing when they could not be. `error`, when given,
    // receives the reason; a request may come back together with an error (a body that could not be
    // written), and callers must then not send it.
    virtual std::optional<ns::URLRequest> requestBySerializingRequest(const ns::URLRequest& request,
                                                                      const ns::Value& parameters,
                                                                      std::optional<ns::Error>* error) const = 0;
};

}  // namespace ql
