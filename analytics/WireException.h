#pragma once
// Exceptions of the binary record layer. Malformed or truncated input and unset required fields raise
// WireProtocolException; callers that decode untrusted bytes catch it (or ns::Exception) and log it.

#include <string>
#include <string_view>
#include <utility>

#include "platform/foundation/Exception.h"

namespace ql {

inline constexpr std::string_view WireProtocolExceptionName = "WireProtocolException";

class WireException : public ns::Exception {
public:
    using ns::Exception::Exception;
};

class WireProtocolException : public WireException {
public:
    explicit WireProtocolException(std::string reason) : WireException(WireProtocolExceptionName, std::move(reason)) {}
    WireProtocolException(std::string_view name, std::string reason) : WireException(name, std::move(reason)) {}
};

}  // namespace ql
