#pragma once
// ns::Exception: raised only for programming errors and where the platform itself raises (unknown keys,
// abstract methods, malformed records). It carries the platform's exception name and a reason.

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Value.h"

namespace ql::ns {

inline constexpr std::string_view InvalidArgumentException = "NSInvalidArgumentException";
inline constexpr std::string_view InternalInconsistencyException = "NSInternalInconsistencyException";
inline constexpr std::string_view RangeException = "NSRangeException";
inline constexpr std::string_view UnknownKeyException = "NSUnknownKeyException";
inline constexpr std::string_view GenericException = "NSGenericException";

class Exception : public std::runtime_error {
public:
    Exception(std::string_view name, std::string reason, Dictionary userInfo = {})
        : std::runtime_error(std::string(name) + ": " + reason),
          name_(name),
          reason_(std::move(reason)),
          userInfo_(std::move(userInfo)) {}

    const std::string& name() const { return name_; }
    const std::string& reason() const { return reason_; }
    const Dictionary& userInfo() const { return userInfo_; }
    // The stack where the exception went uncaught, filled in before the uncaught-exception handler sees it.
    const std::vector<std::string>& callStackSymbols() const { return callStackSymbols_; }
    void setCallStackSymbols(std::vector<std::string> symbols) { callStackSymbols_ = std::move(symbols); }

private:
    std::string name_;
    std::string reason_;
    Dictionary userInfo_;
    std::vector<std::string> callStackSymbols_;
};

}  // namespace ql::ns
