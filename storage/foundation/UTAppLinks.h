#pragma once
// Links to an app's page and its reviews in the store. The identifier is percent-encoded, so no text can
// change where the link leads.

#include <optional>
#include <string_view>

#include "platform/foundation/URL.h"

namespace ql {

inline constexpr std::string_view kUTAppStoreWebHost = "itunes.apple.com";
inline constexpr std::string_view kUTAppStoreAppHost = "itunes.apple.com";

std::optional<ns::URL> appStoreURLforApplicationIdentifier(std::string_view identifier);
std::optional<ns::URL> appStoreReviewURLForApplicationIdentifier(std::string_view identifier);

}  // namespace ql
