#pragma once
// The base URL rules the two HTTP managers share.

#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/URL.h"

namespace ql {

// The URL with a trailing "/" when it has a path that does not end in one, so that relative paths resolve
// below it instead of replacing its last segment. A URL with an empty path stays as it is.
std::optional<ns::URL> NetBaseURLWithTrailingSlash(std::optional<ns::URL> url);

// The absolute text of the URL text resolved against the base (the text alone without a base). A text that
// is no URL comes back unchanged, so that the request serializer reports it.
std::string NetResolvedURLString(std::string_view URLString, const std::optional<ns::URL>& baseURL);

}  // namespace ql
