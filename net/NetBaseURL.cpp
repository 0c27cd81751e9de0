#include "net/NetBaseURL.h"

namespace ql {

std::optional<ns::URL> NetBaseURLWithTrailingSlash(std::optional<ns::URL> url) {
    if (url && !url->path().empty() && !url->absoluteString().ends_with('/')) return url->URLByAppendingPathComponent("");
    return url;
}

std::string NetResolvedURLString(std::string_view URLString, const std::optional<ns::URL>& baseURL) {
    // Without a base a URL's absolute string is its text as given: nothing to parse for.
    if (!baseURL) return std::string(URLString);
    const auto resolved = ns::URL::fromString(URLString, baseURL);
    return resolved ? resolved->absoluteString() : std::string(URLString);
}

}  // namespace ql
