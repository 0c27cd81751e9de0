#pragma once
// The online configuration client's small utilities: bundle values, JSON text, deflate compression, stored
// settings and the device identifier.

#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Data.h"
#include "platform/foundation/Value.h"

namespace ql {

class OCUtil {
public:
    static std::string sdkVersionString() { return "1.0"; }
    static std::string sdkTypeString() { return "iOS"; }
    static std::string appVersionString() { return appBundleVersionString(); }
    static std::string appPackageNameString();
    static std::string appBundleVersionString();
    static std::string appShortVersionString();
    // Nil, null, or a text that is empty once white space and line breaks are trimmed.
    static bool isEmptyString(const ns::Value& value);
    // The platform JSON writer's text; "" (and a log line) on failure.
    static std::string JSONFragment(const ns::Value& value);
    // Nil when the text is not JSON.
    static ns::Value JSONValue(std::string_view text);
    static std::optional<ns::Data> deflatedData(const ns::Data& source);
    // The prefix followed by the zlib stream of the source at the level (-1: zlib's default).
    static std::optional<ns::Data> deflatedDataPrefixedWith(const ns::Data& prefix, int level, const ns::Data& source);
    // The shared device identifier; "" when it cannot be had.
    static std::string openUDIDString();
    static ns::Value configureWithKey(std::string_view key);
    static void setConfigure(const ns::Value& value, std::string_view key);
};

}  // namespace ql
