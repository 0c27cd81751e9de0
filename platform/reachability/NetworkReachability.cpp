#include "platform/reachability/NetworkReachability.h"

#include <netinet/in.h>

#include <algorithm>
#include <cstring>

#include "platform/reachability/ReachabilityCenter.h"

namespace ql::sc {

NetworkReachability::NetworkReachability(Passkey, Target target) : target_(std::move(target)) {}

NetworkReachability::~NetworkReachability() {
    for (const auto& schedule : runLoops_) {
        if (auto runLoop = schedule.runLoop.lock()) runLoop->removeSource(source_, schedule.mode);
    }
    if (isScheduledLocked()) ReachabilityCenter::shared().remove(this);
}

std::shared_ptr<NetworkReachability> NetworkReachability::createWithName(std::string_view hostName) {
    if (hostName.empty()) return nullptr;
    Target target;
    target.hostName = std::string(hostName);
    target.address.ss_family = AF_UNSPEC;
    return std::make_shared<NetworkReachability>(Passkey{}, std::move(target));
}

std::shared_ptr<NetworkReachability> NetworkReachability::createWithAddress(const sockaddr* address) {
    if (!address) return nullptr;
    Target target;
    if (address->sa_family == AF_INET) {
        std::memcpy(&target.address, address, sizeof(sockaddr_in));
    } else if (address->sa_family == AF_INET6) {
        std::memcpy(&target.address, address, sizeof(sockaddr_in6));
    } else {
        return nullptr;
    }
    return std::make_shared<NetworkReachability>(Passkey{}, std::move(target));
}

bool NetworkReachability::getFlags(NetworkReachabilityFlags& flags) const {
    {
        std::lock_guard lock(mutex_);
        if (isHostName() && lastFlags_ && !ReachabilityCenter::shared().isInjected()) {
            flags = *lastFlags_;
            return true;
        }
    }
    const auto current = ReachabilityCenter::shared().flagsFor(target_);
    if (!current) return false;
    flags = *current;
    return true;
}

bool NetworkReachability::setCallback(Callback callback) {
    std::lock_guard lock(mutex_);
    callback_ = std::move(callback);
    return true;
}

bool NetworkReachability::scheduleWithRunLoop(const std::shared_ptr<ns::RunLoop>& runLoop, std::string_view mode) {
    if (!runLoop) return false;
    std::shared_ptr<ns::RunLoopSource> source;
    bool first = false;
    {
        std::lock_guard lock(mutex_);
        if (queue_) return false;
        const bool present = std::any_of(runLoops_.begin(), runLoops_.end(), [&](const RunLoopSchedule& s) {
            return s.runLoop.lock() == runLoop && s.mode == mode;
        });
        if (present) return true;
        if (!source_) {
            std::weak_ptr<ns::Object> weak = weak_from_this();
            source_ = std::make_shared<ns::RunLoopSource>([weak] {
                if (auto self = std::static_pointer_cast<NetworkReachability>(weak.lock())) self->performOnRunLoop();
            });
        }
        first = runLoops_.empty();
        runLoops_.push_back({runLoop, std::string(mode)});
        source = source_;
    }
    runLoop->addSource(source, mode);
    if (first) didSchedule();
    return true;
}

bool NetworkReachability::unscheduleFromRunLoop(const std::shared_ptr<ns::RunLoop>& runLoop, std::string_view mode) {
    if (!runLoop) return false;
    std::shared_ptr<ns::RunLoopSource> source;
    bool last = false;
    {
        std::lock_guard lock(mutex_);
        auto found = std::find_if(runLoops_.begin(), runLoops_.end(), [&](const RunLoopSchedule& s) {
            return s.runLoop.lock() == runLoop && s.mode == mode;
        });
        if (found == runLoops_.end()) return false;
        runLoops_.erase(found);
        last = runLoops_.empty();
        source = source_;
    }
    runLoop->removeSource(source, mode);
    if (last) didUnschedule();
    return true;
}

bool NetworkReachability::setDispatchQueue(std::shared_ptr<ns::DispatchQueue> queue) {
    bool scheduled = false;
    bool unscheduled = false;
    {
        std::lock_guard lock(mutex_);
        if (queue && !runLoops_.empty()) return false;
        scheduled = queue && !queue_;
        unscheduled = !queue && queue_;
        queue_ = std::move(queue);
    }
    if (scheduled) didSchedule();
    if (unscheduled) didUnschedule();
    return true;
}

void NetworkReachability::didSchedule() {
    auto& center = ReachabilityCenter::shared();
    center.add(std::static_pointer_cast<NetworkReachability>(shared_from_this()));
    // A host name reports once its first lookup is done; an address reports changes from what it is now.
    if (isHostName()) {
        refresh();
        return;
    }
    std::uint64_t lookup;
    {
        std::lock_guard lock(mutex_);
        lookup = ++lookup_;
    }
    const NetworkReachabilityFlags flags = center.flagsFor(target_).value_or(0);
    std::lock_guard lock(mutex_);
    if (lookup == lookup_ && isScheduledLocked()) lastFlags_ = flags;
}

void NetworkReachability::didUnschedule() {
    ReachabilityCenter::shared().remove(this);
    std::lock_guard lock(mutex_);
    lastFlags_.reset();
    ++lookup_;  // a lookup still under way reports nothing
}

void NetworkReachability::refresh() {
    std::uint64_t lookup;
    {
        std::lock_guard lock(mutex_);
        if (!isScheduledLocked()) return;
        lookup = ++lookup_;
    }
    auto& center = ReachabilityCenter::shared();
    if (!isHostName() || center.isInjected()) {
        report(center.flagsFor(target_).value_or(0), lookup);
        return;
    }
    // Resolving may take long: never on the caller's thread.
    std::weak_ptr<ns::Object> weak = weak_from_this();
    ns::DispatchQueue::global(ns::DispatchQueue::Priority::Background)->async([weak, lookup] {
        auto self = std::static_pointer_cast<NetworkReachability>(weak.lock());
        if (self) self->report(ReachabilityCenter::shared().flagsFor(self->target_).value_or(0), lookup);
    });
}

void NetworkReachability::report(NetworkReachabilityFlags flags, std::uint64_t lookup) {
    std::shared_ptr<ns::DispatchQueue> queue;
    std::shared_ptr<ns::RunLoopSource> source;
    {
        std::lock_guard lock(mutex_);
        if (lookup != lookup_ || !isScheduledLocked() || lastFlags_ == flags) return;
        lastFlags_ = flags;
        if (queue_) {
            queue = queue_;
        } else {
            pendingFlags_ = flags;
            source = source_;
        }
    }
    if (source) {
        source->signal();
        return;
    }
    std::weak_ptr<ns::Object> weak = weak_from_this();
    queue->async([weak, flags, scheduledOn = queue.get()] {
        auto self = std::static_pointer_cast<NetworkReachability>(weak.lock());
        if (!self) return;
        Callback callback;
        {
            std::lock_guard lock(self->mutex_);
            if (self->queue_.get() != scheduledOn) return;
            callback = self->callback_;
        }
        if (callback) callback(*self, flags);
    });
}

void NetworkReachability::performOnRunLoop() {
    Callback callback;
    NetworkReachabilityFlags flags;
    {
        std::lock_guard lock(mutex_);
        if (runLoops_.empty()) return;
        callback = callback_;
        flags = pendingFlags_;
    }
    if (callback) callback(*this, flags);
}

}  // namespace ql::sc
