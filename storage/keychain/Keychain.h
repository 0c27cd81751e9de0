#pragma once
// Keychain: one-call shortcuts for generic passwords, each filling and running one KeychainQuery, and the
// process-wide accessibility given to new items (and used to filter listings).

#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Data.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Value.h"
#include "platform/security/KeychainItems.h"

namespace ql {

class Keychain {
public:
    // None when the item is missing or its bytes are no text.
    static std::optional<std::string> passwordForService(std::string_view service, std::string_view account,
                                                         ns::Error* error = nullptr);
    static std::optional<ns::Data> passwordDataForService(std::string_view service, std::string_view account,
                                                          ns::Error* error = nullptr);
    static bool setPassword(std::string_view password, std::string_view service, std::string_view account,
                            ns::Error* error = nullptr);
    static bool setPasswordData(const ns::Data& password, std::string_view service, std::string_view account,
                                ns::Error* error = nullptr);
    static bool deletePasswordForService(std::string_view service, std::string_view account,
                                         ns::Error* error = nullptr);
    static std::optional<ns::Array> accountsForService(std::optional<std::string_view> service,
                                                       ns::Error* error = nullptr);
    static std::optional<ns::Array> allAccounts(ns::Error* error = nullptr);

    // None until set; set before other threads use the keychain.
    static std::optional<sec::Accessibility> accessibilityType();
    static void setAccessibilityType(sec::Accessibility accessibility);
};

}  // namespace ql
