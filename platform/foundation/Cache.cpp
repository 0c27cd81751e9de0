#include "platform/foundation/Cache.h"

#include "platform/foundation/Locked.h"
#include "platform/foundation/MemoryWarning.h"
#include "platform/foundation/NotificationCenter.h"

namespace ql::ns {

namespace {

[[maybe_unused]] const bool cacheClassRegistered = detail::registerClassOnLoad(&Cache::classObject);

}  // namespace

const Class& Cache::classObject() {
    static const Class& cls = makeClass<Cache, Object>("NSCache");
    return cls;
}

const Class& Cache::objectClass() const { return classObject(); }

Cache::~Cache() { NotificationCenter::defaultCenter().removeObserver(this); }

std::string Cache::name() const { return ns::lockedCopy(mutex_, name_); }

void Cache::setName(std::string name) { ns::lockedStore(mutex_, name_, std::move(name)); }

std::weak_ptr<CacheDelegate> Cache::delegate() const { return ns::lockedCopy(mutex_, delegate_); }

void Cache::setDelegate(std::weak_ptr<CacheDelegate> delegate) {
    ns::lockedStore(mutex_, delegate_, std::move(delegate));
}

std::uint64_t Cache::totalCostLimit() const { return ns::lockedCopy(mutex_, totalCostLimit_); }

void Cache::setTotalCostLimit(std::uint64_t limit) { setLimit(totalCostLimit_, limit); }

std::uint64_t Cache::countLimit() const { return ns::lockedCopy(mutex_, countLimit_); }

void Cache::setCountLimit(std::uint64_t limit) { setLimit(countLimit_, limit); }

void Cache::setLimit(std::uint64_t& slot, std::uint64_t limit) {
    Entries gone;
    {
        std::lock_guard lock(mutex_);
        slot = limit;
        trim(gone);
    }
    evicted(gone);
}

Value Cache::objectForKey(std::string_view key) {
    std::lock_guard lock(mutex_);
    auto found = index_.find(std::string(key));
    if (found == index_.end()) return Value();
    entries_.splice(entries_.begin(), entries_, found->second);
    return found->second->object;
}

void Cache::setObject(std::string_view key, Value object, std::uint64_t cost) {
    if (object.isNil()) {
        removeObjectForKey(key);
        return;
    }
    // An empty cache has nothing to give back, so it starts listening when it first holds something;
    // by then it is owned by a shared_ptr when it ever will be.
    observeMemoryWarnings();
    Entries gone;
    Entries replaced;  // released after the lock, like evicted entries, but not reported
    {
        std::lock_guard lock(mutex_);
        std::string ownKey(key);
        if (auto found = index_.find(ownKey); found != index_.end()) {
            totalCost_ -= found->second->cost;
            replaced.splice(replaced.begin(), entries_, found->second);
            index_.erase(found);
        }
        if (totalCostLimit_ && cost > totalCostLimit_) {
            // It could never fit: it goes at once instead of flushing everything else first.
            gone.push_back(Entry{std::move(ownKey), std::move(object), cost});
        } else {
            entries_.push_front(Entry{ownKey, std::move(object), cost});
            index_.emplace(std::move(ownKey), entries_.begin());
            totalCost_ += cost;
            trim(gone);
        }
    }
    evicted(gone);
}

void Cache::removeObjectForKey(std::string_view key) {
    Entries gone;
    {
        std::lock_guard lock(mutex_);
        auto found = index_.find(std::string(key));
        if (found == index_.end()) return;
        totalCost_ -= found->second->cost;
        gone.splice(gone.end(), entries_, found->second);
        index_.erase(found);
    }
    evicted(gone);
}

void Cache::removeAllObjects() {
    Entries gone;
    {
        std::lock_guard lock(mutex_);
        gone.splice(gone.end(), entries_);
        index_.clear();
        totalCost_ = 0;
    }
    evicted(gone);
}

void Cache::trim(Entries& gone) {
    while (!entries_.empty() &&
           ((countLimit_ && entries_.size() > countLimit_) || (totalCostLimit_ && totalCost_ > totalCostLimit_))) {
        auto last = std::prev(entries_.end());
        totalCost_ -= last->cost;
        index_.erase(last->key);
        gone.splice(gone.end(), entries_, last);
    }
}

void Cache::evicted(Entries& gone) {
    if (gone.empty()) return;
    if (auto delegate = this->delegate().lock()) {
        for (const Entry& entry : gone) delegate->cacheWillEvictObject(*this, entry.object);
    }
}

void Cache::observeMemoryWarnings() {
    std::weak_ptr<Object> self = weak_from_this();
    if (self.expired()) return;
    std::call_once(observing_, [&] {
        NotificationCenter::defaultCenter().addObserver(
            self, [this](const Notification&) { removeAllObjects(); }, MemoryWarningNotification);
    });
}

}  // namespace ql::ns
