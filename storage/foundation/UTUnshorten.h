#pragma once
// Resolving a shortened link by following its redirects with a HEAD request; resolved links are kept in a
// memory cache, so asking again costs no request (unless memory pressure evicted the entry).

#include <functional>
#include <optional>

#include "platform/foundation/URL.h"

namespace ql {

// Returns at once. The completion (which may be empty) gets the final URL, or nothing on failure; it runs
// on a background queue, never on the caller's thread. A link without a scheme is taken as an http link.
void unshortenWithCompletion(const ns::URL& url, std::function<void(const std::optional<ns::URL>&)> completion);

}  // namespace ql
