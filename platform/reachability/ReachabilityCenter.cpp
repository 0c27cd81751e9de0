#include "platform/reachability/ReachabilityCenter.h"

#include <algorithm>

#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/Locked.h"
#include "platform/reachability/HostRoutes.h"

namespace ql::sc {

ReachabilityCenter& ReachabilityCenter::shared() {
    // Never destroyed: targets held by other long-lived objects may still leave it during exit.
    static ReachabilityCenter* const center = new ReachabilityCenter;
    return *center;
}

std::optional<NetworkReachabilityFlags> ReachabilityCenter::flagsFor(const NetworkReachability::Target& target) const {
    {
        std::lock_guard lock(mutex_);
        if (injected_) return injectedFlags_;
    }
    if (!target.hostName.empty()) return hostFlagsForHostName(target.hostName);
    return hostFlagsForAddress(target.address);
}

bool ReachabilityCenter::isInjected() const { return ns::lockedCopy(mutex_, injected_); }

void ReachabilityCenter::add(const std::shared_ptr<NetworkReachability>& target) {
    std::lock_guard lock(mutex_);
    scheduled_.push_back(target);
    if (!watcher_) {
        // The watcher's thread only hands the news on, so that no target is ever released (and the
        // watcher joined) on that thread.
        watcher_ = std::make_unique<NetworkChangeWatcher>([] {
            ns::DispatchQueue::global(ns::DispatchQueue::Priority::Background)->async([] { shared().refreshAll(); });
        });
    }
}

void ReachabilityCenter::remove(const NetworkReachability* target) {
    std::unique_ptr<NetworkChangeWatcher> stopped;
    {
        std::lock_guard lock(mutex_);
        std::erase_if(scheduled_, [&](const std::weak_ptr<NetworkReachability>& weak) {
            auto scheduled = weak.lock();
            return !scheduled || scheduled.get() == target;
        });
        if (scheduled_.empty()) stopped = std::move(watcher_);
    }
    // `stopped` joins the watcher here, outside the lock.
}

void ReachabilityCenter::refreshAll() {
    std::vector<std::shared_ptr<NetworkReachability>> targets;
    {
        std::lock_guard lock(mutex_);
        for (const auto& weak : scheduled_) {
            if (auto target = weak.lock()) targets.push_back(std::move(target));
        }
    }
    for (const auto& target : targets) target->refresh();
}

void ReachabilityCenter::inject(std::optional<NetworkReachabilityFlags> flags) {
    {
        std::lock_guard lock(mutex_);
        injected_ = true;
        injectedFlags_ = flags;
    }
    refreshAll();
}

void ReachabilityCenter::endInjection() {
    {
        std::lock_guard lock(mutex_);
        injected_ = false;
        injectedFlags_.reset();
    }
    refreshAll();
}

}  // namespace ql::sc
