#pragma once
// For tests: while an InjectedReachabilityFlags lives, every reachability target reads the injected
// flags instead of the host's network, and each change of them reaches scheduled targets the way a
// change of the network would, without touching the host. One at a time.

#include <optional>

#include "platform/reachability/NetworkReachability.h"

namespace ql::sc {

class InjectedReachabilityFlags {
public:
    // nullopt: the flags cannot be read.
    explicit InjectedReachabilityFlags(std::optional<NetworkReachabilityFlags> flags);
    ~InjectedReachabilityFlags();
    InjectedReachabilityFlags(const InjectedReachabilityFlags&) = delete;
    InjectedReachabilityFlags& operator=(const InjectedReachabilityFlags&) = delete;

    void set(std::optional<NetworkReachabilityFlags> flags);
};

}  // namespace ql::sc
