#pragma once
// Reachability: a stand-alone watcher of a host name or an address that reports changes on a serial queue
// of its own, through separate blocks for "reachable" and "unreachable" and the notification
// "kReachabilityChangedNotification"; it can refuse cellular connections and answers questions about the
// current flags.

#include <sys/socket.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/Object.h"
#include "platform/reachability/NetworkReachability.h"

namespace ql {

// Posted on the main queue with the Reachability object as its object.
inline constexpr std::string_view kReachabilityChangedNotification = "kReachabilityChangedNotification";

enum NetworkStatus : std::int64_t {
    NotReachable = 0,
    ReachableViaWWAN = 1,
    ReachableViaWiFi = 2,
};

class Reachability : public ns::Object {
    QL_OBJECT(Reachability, ns::Object)
public:
    using NetworkReachable = std::function<void(Reachability& reachability)>;
    using NetworkUnreachable = std::function<void(Reachability& reachability)>;

    static std::shared_ptr<Reachability> reachabilityWithHostName(std::string_view hostname);
    // Nothing when no target can be made of the name.
    static std::shared_ptr<Reachability> reachabilityWithHostname(std::string_view hostname);
    // Nothing unless the address is IPv4 or IPv6.
    static std::shared_ptr<Reachability> reachabilityWithAddress(const sockaddr* hostAddress);
    // The network in general (the zero IPv4 address).
    static std::shared_ptr<Reachability> reachabilityForInternetConnection();
    // The IPv4 link-local network, 169.254.0.0.
    static std::shared_ptr<Reachability> reachabilityForLocalWiFi();

    explicit Reachability(std::shared_ptr<sc::NetworkReachability> reachabilityRef);
    ~Reachability() override;

    bool reachableOnWWAN() const { return reachableOnWWAN_; }
    void setReachableOnWWAN(bool reachable) { reachableOnWWAN_ = reachable; }
    // Run on the serial queue when a change makes the target reachable, or unreachable.
    const NetworkReachable& reachableBlock() const { return reachableBlock_; }
    void setReachableBlock(NetworkReachable block) { reachableBlock_ = std::move(block); }
    const NetworkUnreachable& unreachableBlock() const { return unreachableBlock_; }
    void setUnreachableBlock(NetworkUnreachable block) { unreachableBlock_ = std::move(block); }
    const std::shared_ptr<sc::NetworkReachability>& reachabilityRef() const { return reachabilityRef_; }
    // "com.Carrowgate.reachability"
    const std::shared_ptr<ns::DispatchQueue>& reachabilitySerialQueue() const { return reachabilitySerialQueue_; }
    // The object itself while it notifies, which keeps it alive until stopNotifier.
    const std::shared_ptr<Reachability>& reachabilityObject() const { return reachabilityObject_; }

    // True when notifying is on (also when it already was). The object must be owned by a shared_ptr.
    bool startNotifier();
    void stopNotifier();

    // Reachable, and not a transient connection that still needs to be made; over cellular only when
    // reachableOnWWAN allows it.
    bool isReachableWithFlags(sc::NetworkReachabilityFlags flags) const;
    // These read the flags afresh and answer false when they cannot be read.
    bool isReachable() const;
    bool isReachableViaWWAN() const;
    bool isReachableViaWiFi() const;
    bool isConnectionRequired() const { return connectionRequired(); }
    bool connectionRequired() const;
    bool isConnectionOnDemand() const;
    bool isInterventionRequired() const;

    NetworkStatus currentReachabilityStatus() const;
    // 0 when the flags cannot be read.
    sc::NetworkReachabilityFlags reachabilityFlags() const;
    // "Cellular", "WiFi" or "No Connection", looked up in the main bundle's default strings table.
    std::string currentReachabilityString() const;
    // One letter per flag, "-" when clear: "WR ctiCDld".
    std::string currentReachabilityFlags() const;

    // A change reported by the target, on the serial queue.
    void reachabilityChanged(sc::NetworkReachabilityFlags flags);

    std::string description() const override;

private:
    std::optional<sc::NetworkReachabilityFlags> currentFlags() const;

    bool reachableOnWWAN_ = true;
    NetworkReachable reachableBlock_;
    NetworkUnreachable unreachableBlock_;
    std::shared_ptr<sc::NetworkReachability> reachabilityRef_;
    std::shared_ptr<ns::DispatchQueue> reachabilitySerialQueue_;
    std::shared_ptr<Reachability> reachabilityObject_;
};

}  // namespace ql
