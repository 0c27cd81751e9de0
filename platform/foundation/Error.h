#pragma once
// ns::Error: a failure as a value, with a domain, a code and a user-info dictionary under the
// platform's standard keys. Errors put into a Value (as another error's underlying error, say) travel
// boxed as an "NSError" object.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Value.h"

namespace ql::ns {

inline constexpr std::string_view CocoaErrorDomain = "NSCocoaErrorDomain";
inline constexpr std::string_view POSIXErrorDomain = "NSPOSIXErrorDomain";
inline constexpr std::string_view URLErrorDomain = "NSURLErrorDomain";

inline constexpr std::string_view LocalizedDescriptionKey = "NSLocalizedDescription";
inline constexpr std::string_view LocalizedFailureReasonErrorKey = "NSLocalizedFailureReason";
inline constexpr std::string_view LocalizedRecoverySuggestionErrorKey = "NSLocalizedRecoverySuggestion";
inline constexpr std::string_view UnderlyingErrorKey = "NSUnderlyingError";
inline constexpr std::string_view FilePathErrorKey = "NSFilePath";
inline constexpr std::string_view URLErrorFailingURLErrorKey = "NSErrorFailingURLKey";
inline constexpr std::string_view URLErrorFailingURLStringErrorKey = "NSErrorFailingURLStringKey";
inline constexpr std::string_view DebugDescriptionErrorKey = "NSDebugDescription";

class Error {
public:
    Error(std::string domain, std::int64_t code, Dictionary userInfo = {})
        : domain_(std::move(domain)), code_(code), userInfo_(std::move(userInfo)) {}

    const std::string& domain() const { return domain_; }
    std::int64_t code() const { return code_; }
    const Dictionary& userInfo() const { return userInfo_; }

    // The user info's description, else the platform's fallback wording:
    // "The operation couldn’t be completed. (<domain> error <code>.)"
    std::string localizedDescription() const;
    std::optional<std::string> localizedFailureReason() const;
    // "Error Domain=<domain> Code=<code> \"<description>\" UserInfo={key=value, …}"
    std::string description() const;

    // The error as a Value (an "NSError" object) and back.
    Value boxed() const;
    static std::optional<Error> fromValue(const Value& value);

    bool operator==(const Error& other) const;

private:
    std::string domain_;
    std::int64_t code_;
    Dictionary userInfo_;
};

}  // namespace ql::ns
