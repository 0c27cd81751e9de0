#pragma once
// ns::Cache: a thread-safe memory cache of values by text key, with limits on the number of entries and
// on their total cost. When a limit is passed the least recently used entries go first. The cache also
// empties itself when the application receives a memory warning, as the platform's caches give memory
// back under pressure.

#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

#include "platform/foundation/Object.h"
#include "platform/foundation/Value.h"

namespace ql::ns {

class Cache;

class CacheDelegate {
public:
    virtual ~CacheDelegate() = default;
    // An entry is leaving the cache: evicted by a limit or a memory warning, or removed. Called on the
    // thread that caused it, after the cache has let go of its lock.
    virtual void cacheWillEvictObject(Cache& cache, const Value& object) = 0;
};

class Cache : public Object {
public:
    static const Class& classObject();
    const Class& objectClass() const override;

    Cache() = default;
    ~Cache() override;

    std::string name() const;
    void setName(std::string name);
    std::weak_ptr<CacheDelegate> delegate() const;
    void setDelegate(std::weak_ptr<CacheDelegate> delegate);

    // 0 means no limit (the default). Lowering a limit evicts at once.
    std::uint64_t totalCostLimit() const;
    void setTotalCostLimit(std::uint64_t limit);
    std::uint64_t countLimit() const;
    void setCountLimit(std::uint64_t limit);

    // Nil when absent. A hit makes the entry the most recently used.
    Value objectForKey(std::string_view key);
    // Replaces any entry under the key; a nil value removes it. An entry whose cost alone passes the cost
    // limit is evicted at once, and nothing else with it.
    void setObject(std::string_view key, Value object, std::uint64_t cost = 0);
    void removeObjectForKey(std::string_view key);
    void removeAllObjects();

private:
    struct Entry {
        std::string key;
        Value object;
        std::uint64_t cost = 0;
    };
    using Entries = std::list<Entry>;

    // Sets one of the limits below and evicts what no longer fits.
    void setLimit(std::uint64_t& slot, std::uint64_t limit);
    // Under mutex_: moves entries past the limits, least recently used first, into `evicted`.
    void trim(Entries& evicted);
    void evicted(Entries& entries);
    void observeMemoryWarnings();

    mutable std::mutex mutex_;
    std::string name_;
    std::weak_ptr<CacheDelegate> delegate_;
    std::uint64_t totalCostLimit_ = 0;
    std::uint64_t countLimit_ = 0;
    std::uint64_t totalCost_ = 0;
    Entries entries_;  // most recently used first
    std::unordered_map<std::string, Entries::iterator> index_;
    std::once_flag observing_;
};

}  // namespace ql::ns
