#pragma once
// The process-wide side of reachability: where flags come from (the host, or flags injected by tests),
// which targets are scheduled, and the watcher of the host's network that runs while any target is.

#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/reachability/NetworkChangeWatcher.h"
#include "platform/reachability/NetworkReachability.h"

namespace ql::sc {

class ReachabilityCenter {
public:
    static ReachabilityCenter& shared();

    // The flags of `target` now; for a host name (unless flags are injected) this resolves it.
    std::optional<NetworkReachabilityFlags> flagsFor(const NetworkReachability::Target& target) const;
    // Whether flagsFor answers at once for every target.
    bool isInjected() const;

    void add(const std::shared_ptr<NetworkReachability>& target);
    void remove(const NetworkReachability* target);
    // Every scheduled target reads its flags again.
    void refreshAll();

    // Tests: `flags` replace the host's for every target (nullopt: flags cannot be read), until
    // endInjection. Both count as changes of the network.
    void inject(std::optional<NetworkReachabilityFlags> flags);
    void endInjection();

private:
    ReachabilityCenter() = default;

    mutable std::mutex mutex_;
    std::vector<std::weak_ptr<NetworkReachability>> scheduled_;
    std::unique_ptr<NetworkChangeWatcher> watcher_;
    bool injected_ = false;
    std::optional<NetworkReachabilityFlags> injectedFlags_;
};

}  // namespace ql::sc
