#pragma once
// The HTTP caching rules the loading system applies between a request, its cache policy and the URL
// cache (RFC 9111, as far as a private client cache needs them). Internal to the loading system.

#include <memory>
#include <optional>
#include <string>

#include "platform/net/URLCache.h"
#include "platform/net/URLRequest.h"
#include "platform/net/URLResponse.h"

namespace ql::ns::http {

enum class CacheUse {
    Load,        // go to the network and ignore the cache
    UseCached,   // answer with the cached reply without asking the server
    Revalidate,  // ask the server whether the cached reply still holds
    Fail,        // the policy forbids the network and nothing is cached
};

// What a request with its (effective) policy does with what the cache holds for it.
CacheUse decideCacheUse(const URLRequest& request, URLRequestCachePolicy policy,
                        const std::shared_ptr<CachedURLResponse>& cached, double now);

// Adds the conditional fields that ask the server to confirm the cached reply.
void addValidators(URLRequest& request, const CachedURLResponse& cached);

// Whether a reply to the request may be kept at all.
bool isStorable(const URLRequest& request, const HTTPURLResponse& response);

// The cached reply brought up to date with the fields of the server's "not modified" answer.
std::shared_ptr<CachedURLResponse> refreshedCachedResponse(const CachedURLResponse& cached,
                                                           const HTTPURLResponse& notModified);

}  // namespace ql::ns::http
