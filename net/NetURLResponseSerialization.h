#pragma once
// What operations and task delegates need of a response serializer: one operation that judges a finished
// reply and turns its body into an object. One serializer serves many requests at once, on several
// threads, so it keeps no state while it works.

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include "platform/foundation/Data.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Value.h"
#include "platform/net/URLResponse.h"

namespace ql {

inline constexpr std::string_view NetURLResponseSerializationErrorDomain = "com.varnholt.error.serialization.response";
// Its codes are the platform's URL-error codes: a refused status code is a bad server response (−1011,
// ns::URLErrorBadServerResponse); a refused MIME type or a body that cannot be decoded is this one.
inline constexpr std::int64_t NetURLErrorCannotDecodeContentData = -1016;
// Under these keys the errors of a refused reply carry the reply (an object) and its body (data).
inline constexpr std::string_view NetNetworkingOperationFailingURLResponseErrorKey =
    "com.varnholt.serialization.response.error.response";
inline constexpr std::string_view NetNetworkingOperationFailingURLResponseDataErrorKey =
    "com.varnholt.serialization.response.error.data";

class NetURLResponseSerialization {
public:
    virtual ~NetURLResponseSerialization() = default;

    // The body as an object, or nil. `error`, when given, receives why the reply was refused or could not
    // be read; an object may come back together with an error (a JSON body of a failed status).
    virtual ns::Value responseObjectForResponse(const std::shared_ptr<ns::URLResponse>& response,
                                                const std::optional<ns::Data>& data,
                                                std::optional<ns::Error>* error) const = 0;
};

// `error` with `underlyingError` under NSUnderlyingError, unless it has one already; whichever exists
// when the other does not.
std::optional<ns::Error> NetErrorAddingUnderlyingError(const std::optional<ns::Error>& error,
                                                       const std::optional<ns::Error>& underlyingError);

// Whether the error or one beneath it is this domain's "unacceptable content" error (−1016).
bool NetErrorChainContainsDecodeFailure(const std::optional<ns::Error>& error);

}  // namespace ql
