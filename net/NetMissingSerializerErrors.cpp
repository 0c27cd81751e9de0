#include "net/NetMissingSerializerErrors.h"

#include <string>

#include "net/NetStrings.h"
#include "net/NetURLRequestSerialization.h"
#include "net/NetURLResponseSerialization.h"
#include "platform/net/URLError.h"

namespace ql {

namespace {

ns::Error missingSerializer(std::string_view domain, std::int64_t code, std::string_view reason) {
    return ns::Error(std::string(domain), code,
                     {{std::string(ns::LocalizedFailureReasonErrorKey), ns::Value(NetLocalizedString(reason))}});
}

}  // namespace

ns::Error NetMissingRequestSerializerError() {
    return missingSerializer(NetURLRequestSerializationErrorDomain, ns::URLErrorBadURL, "No request serializer is set.");
}

ns::Error NetMissingResponseSerializerError() {
    return missingSerializer(NetURLResponseSerializationErrorDomain, NetURLErrorCannotDecodeContentData,
                             "No response serializer is set.");
}

std::optional<ns::Error> NetMissingSerializerError(bool hasRequestSerializer, bool hasResponseSerializer) {
    if (!hasRequestSerializer) return NetMissingRequestSerializerError();
    if (!hasResponseSerializer) return NetMissingResponseSerializerError();
    return std::nullopt;
}

}  // namespace ql
