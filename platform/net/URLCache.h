#pragma once
// ns::URLCache: replies kept for reuse, keyed by request URL, after the platform's URL cache. This cache
// lives in memory only: the disk capacity is recorded for callers but nothing is written to disk. Entries
// beyond the memory capacity are dropped least recently used first; a reply larger than a twentieth of
// the capacity is not kept. Thread-safe.

#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

#include "platform/foundation/Data.h"
#include "platform/foundation/Object.h"
#include "platform/net/URLRequest.h"
#include "platform/net/URLResponse.h"

namespace ql::ns {

enum class URLCacheStoragePolicy {
    Allowed = 0,
    AllowedInMemoryOnly = 1,
    NotAllowed = 2,
};

class CachedURLResponse final : public Object {
    QL_OBJECT_NAMED(CachedURLResponse, Object, "NSCachedURLResponse")
public:
    CachedURLResponse(std::shared_ptr<URLResponse> response, Data data, Dictionary userInfo = {},
                      URLCacheStoragePolicy storagePolicy = URLCacheStoragePolicy::Allowed);

    const std::shared_ptr<URLResponse>& response() const { return response_; }
    const Data& data() const { return data_; }
    const Dictionary& userInfo() const { return userInfo_; }
    URLCacheStoragePolicy storagePolicy() const { return policy_; }
    // When the reply was received (ns::Clock time), for its age.
    double responseTime() const { return responseTime_; }

private:
    const std::shared_ptr<URLResponse> response_;
    const Data data_;
    const Dictionary userInfo_;
    const URLCacheStoragePolicy policy_;
    const double responseTime_;
};

class URLCache final : public Object {
    QL_OBJECT_NAMED(URLCache, Object, "NSURLCache")
public:
    URLCache(std::uint64_t memoryCapacity, std::uint64_t diskCapacity, std::optional<std::string> diskPath);

    // 4 MB of memory (and 20 MB of disk, as recorded) unless replaced.
    static std::shared_ptr<URLCache> sharedURLCache();
    static void setSharedURLCache(std::shared_ptr<URLCache> cache);

    std::shared_ptr<CachedURLResponse> cachedResponseForRequest(const URLRequest& request) const;
    void storeCachedResponse(const std::shared_ptr<CachedURLResponse>& cachedResponse, const URLRequest& request);
    void removeCachedResponseForRequest(const URLRequest& request);
    void removeAllCachedResponses();

    std::uint64_t memoryCapacity() const;
    void setMemoryCapacity(std::uint64_t capacity);
    std::uint64_t diskCapacity() const;
    void setDiskCapacity(std::uint64_t capacity);
    std::uint64_t currentMemoryUsage() const;
    // The largest body the cache keeps.
    std::uint64_t largestStorableSize() const;
    std::uint64_t currentDiskUsage() const { return 0; }

private:
    struct Entry {
        std::string key;
        std::shared_ptr<CachedURLResponse> response;
        std::uint64_t cost;
    };
    static std::optional<std::string> keyFor(const URLRequest& request);
    void evictLocked();

    mutable std::mutex mutex_;
    std::uint64_t memoryCapacity_;
    std::uint64_t diskCapacity_;
    std::uint64_t usage_ = 0;
    // Most recently used first.
    mutable std::list<Entry> entries_;
    std::unordered_map<std::string, std::list<Entry>::iterator> index_;
};

}  // namespace ql::ns
