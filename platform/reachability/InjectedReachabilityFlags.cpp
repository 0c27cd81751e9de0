#include "platform/reachability/InjectedReachabilityFlags.h"

#include "platform/reachability/ReachabilityCenter.h"

namespace ql::sc {

InjectedReachabilityFlags::InjectedReachabilityFlags(std::optional<NetworkReachabilityFlags> flags) { set(flags); }

InjectedReachabilityFlags::~InjectedReachabilityFlags() { ReachabilityCenter::shared().endInjection(); }

void InjectedReachabilityFlags::set(std::optional<NetworkReachabilityFlags> flags) {
    ReachabilityCenter::shared().inject(flags);
}

}  // namespace ql::sc
