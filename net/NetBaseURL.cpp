#include "net/NetBaseURL.h"

namespace ql {

std::optional<ns::URL> NetBaseURLWithTrailingSlash(std::optional<ns::URL> url) {
    if (url && !url->path().empty() && !url->absoluteString().ends_with('/')) return url->URLByAppendingPathComponent("");
    return url;
}

std::string NetResolvedURLString(std::string_view URLString, const std::optional<ns::URL>& baseURL) {
    const auto resolved = ns::URL::fromString(URLString, baseURL);
    return resolved ? resolved->absoluteString() : std::string(URLString);
}

}  // namespace ql
