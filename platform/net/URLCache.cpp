#include "platform/net/URLCache.h"

#include "platform/foundation/Clock.h"
#include "platform/foundation/Locked.h"

namespace ql::ns {

namespace {

// A reply larger than this share of the capacity is not kept: it would push out too much else.
constexpr std::uint64_t kLargestShare = 20;

std::mutex sharedMutex;

std::shared_ptr<URLCache>& sharedSlot() {
    static auto* slot = new std::shared_ptr<URLCache>(std::make_shared<URLCache>(4 * 1024 * 1024, 20 * 1024 * 1024,
                                                                                 std::nullopt));
    return *slot;
}

std::uint64_t costOf(const CachedURLResponse& cached) {
    std::uint64_t cost = cached.data().length() + 256;
    if (auto* http = dynamic_cast<const HTTPURLResponse*>(cached.response().get())) {
        for (const auto& [name, value] : http->headerFields().fields()) cost += name.size() + value.size();
    }
    return cost;
}

}  // namespace

CachedURLResponse::CachedURLResponse(std::shared_ptr<URLResponse> response, Data data, Dictionary userInfo,
                                     URLCacheStoragePolicy storagePolicy)
    : response_(std::move(response)),
      data_(std::move(data)),
      userInfo_(std::move(userInfo)),
      policy_(storagePolicy),
      responseTime_(Clock::now()) {}

URLCache::URLCache(std::uint64_t memoryCapacity, std::uint64_t diskCapacity, std::optional<std::string>)
    : memoryCapacity_(memoryCapacity), diskCapacity_(diskCapacity) {}

std::shared_ptr<URLCache> URLCache::sharedURLCache() {
    std::lock_guard lock(sharedMutex);
    return sharedSlot();
}

void URLCache::setSharedURLCache(std::shared_ptr<URLCache> cache) {
    if (!cache) return;
    std::lock_guard lock(sharedMutex);
    sharedSlot() = std::move(cache);
}

std::optional<std::string> URLCache::keyFor(const URLRequest& request) {
    if (!request.URL()) return std::nullopt;
    std::string key = request.URL()->absoluteString();
    key.erase(std::min(key.find('#'), key.size()));
    return key;
}

std::shared_ptr<CachedURLResponse> URLCache::cachedResponseForRequest(const URLRequest& request) const {
    auto key = keyFor(request);
    if (!key) return nullptr;
    std::lock_guard lock(mutex_);
    auto found = index_.find(*key);
    if (found == index_.end()) return nullptr;
    entries_.splice(entries_.begin(), entries_, found->second);
    return found->second->response;
}

void URLCache::storeCachedResponse(const std::shared_ptr<CachedURLResponse>& cachedResponse,
                                   const URLRequest& request) {
    auto key = keyFor(request);
    if (!key || !cachedResponse || cachedResponse->storagePolicy() == URLCacheStoragePolicy::NotAllowed) return;
    const std::uint64_t cost = costOf(*cachedResponse);
    std::lock_guard lock(mutex_);
    if (auto found = index_.find(*key); found != index_.end()) {
        usage_ -= found->second->cost;
        entries_.erase(found->second);
        index_.erase(found);
    }
    if (cost > memoryCapacity_ / kLargestShare) return;
    entries_.push_front({*key, cachedResponse, cost});
    index_[*key] = entries_.begin();
    usage_ += cost;
    evictLocked();
}

void URLCache::removeCachedResponseForRequest(const URLRequest& request) {
    auto key = keyFor(request);
    if (!key) return;
    std::lock_guard lock(mutex_);
    if (auto found = index_.find(*key); found != index_.end()) {
        usage_ -= found->second->cost;
        entries_.erase(found->second);
        index_.erase(found);
    }
}

void URLCache::removeAllCachedResponses() {
    std::lock_guard lock(mutex_);
    entries_.clear();
    index_.clear();
    usage_ = 0;
}

void URLCache::evictLocked() {
    while (usage_ > memoryCapacity_ && !entries_.empty()) {
        usage_ -= entries_.back().cost;
        index_.erase(entries_.back().key);
        entries_.pop_back();
    }
}

std::uint64_t URLCache::memoryCapacity() const { return ns::lockedCopy(mutex_, memoryCapacity_); }

void URLCache::setMemoryCapacity(std::uint64_t capacity) {
    std::lock_guard lock(mutex_);
    memoryCapacity_ = capacity;
    evictLocked();
}

std::uint64_t URLCache::diskCapacity() const { return ns::lockedCopy(mutex_, diskCapacity_); }

void URLCache::setDiskCapacity(std::uint64_t capacity) { ns::lockedStore(mutex_, diskCapacity_, capacity); }

std::uint64_t URLCache::largestStorableSize() const {
    std::lock_guard lock(mutex_);
    return memoryCapacity_ / kLargestShare;
}

std::uint64_t URLCache::currentMemoryUsage() const { return ns::lockedCopy(mutex_, usage_); }

}  // namespace ql::ns
