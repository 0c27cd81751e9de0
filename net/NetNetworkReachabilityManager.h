#pragma once
// NetNetworkReachabilityManager: watches whether a host name, an address or the network at large can be
// reached, and reports it as a four-valued status through a block, the change notification and the
// observable properties "networkReachabilityStatus", "reachable", "reachableViaWWAN" and
// "reachableViaWiFi". Everything it reports happens on the main thread.

#include <sys/socket.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Object.h"
#include "platform/reachability/NetworkReachability.h"

namespace ql {

enum NetNetworkReachabilityStatus : std::int64_t {
    NetNetworkReachabilityStatusUnknown = -1,
    NetNetworkReachabilityStatusNotReachable = 0,
    NetNetworkReachabilityStatusReachableViaWWAN = 1,
    NetNetworkReachabilityStatusReachableViaWiFi = 2,
};

// Posted on the main queue with no object and the status (a number) under the status item key.
inline constexpr std::string_view NetNetworkingReachabilityDidChangeNotification =
    "com.varnholt.networking.reachability.change";
inline constexpr std::string_view NetNetworkingReachabilityNotificationStatusItem =
    "NetworkingReachabilityNotificationStatusItem";

// How a manager's target was made.
enum NetNetworkReachabilityAssociation : std::uint64_t {
    NetNetworkReachabilityForAddress = 1,
    NetNetworkReachabilityForName = 3,
};

class NetNetworkReachabilityManager : public ns::Object {
    QL_OBJECT(NetNetworkReachabilityManager, ns::Object)
public:
    using StatusBlock = std::function<void(NetNetworkReachabilityStatus status)>;

    // Watches the zero IPv4 address, i.e. the network in general. Made once; nothing starts it.
    static std::shared_ptr<NetNetworkReachabilityManager> sharedManager();
    static std::shared_ptr<NetNetworkReachabilityManager> managerForDomain(std::string_view domain);
    static std::shared_ptr<NetNetworkReachabilityManager> managerForAddress(const sockaddr* address);

    // The status stays unknown until monitoring learns it. A target may be missing (an empty host name);
    // such a manager never learns anything.
    explicit NetNetworkReachabilityManager(std::shared_ptr<sc::NetworkReachability> reachability);
    ~NetNetworkReachabilityManager() override;

    NetNetworkReachabilityStatus networkReachabilityStatus() const { return networkReachabilityStatus_; }
    void setNetworkReachabilityStatus(NetNetworkReachabilityStatus status);
    const std::shared_ptr<sc::NetworkReachability>& networkReachability() const { return networkReachability_; }
    std::uint64_t networkReachabilityAssociation() const { return networkReachabilityAssociation_; }
    void setNetworkReachabilityAssociation(std::uint64_t association) { networkReachabilityAssociation_ = association; }
    const StatusBlock& networkReachabilityStatusBlock() const { return networkReachabilityStatusBlock_; }
    // Called on every status change; an empty block removes it.
    void setReachabilityStatusChangeBlock(StatusBlock block) { networkReachabilityStatusBlock_ = std::move(block); }

    bool isReachable() const { return isReachableViaWWAN() || isReachableViaWiFi(); }
    bool isReachableViaWWAN() const { return networkReachabilityStatus_ == NetNetworkReachabilityStatusReachableViaWWAN; }
    bool isReachableViaWiFi() const { return networkReachabilityStatus_ == NetNetworkReachabilityStatusReachableViaWiFi; }

    // Follows the target's changes on the main run loop. An address's current status is also looked up
    // once, off the main thread; a host name's arrives once it is resolved. The manager must be owned by
    // a shared_ptr.
    void startMonitoring();
    void stopMonitoring();

    std::string localizedNetworkReachabilityStatusString() const;

    // The keys whose changes change `key`'s value: "networkReachabilityStatus" for the three derived keys.
    static std::vector<std::string> keyPathsForValuesAffectingValueForKey(std::string_view key);
    ns::Value valueForKey(std::string_view key) const override;

private:
    std::shared_ptr<sc::NetworkReachability> networkReachability_;
    std::uint64_t networkReachabilityAssociation_ = 0;
    NetNetworkReachabilityStatus networkReachabilityStatus_ = NetNetworkReachabilityStatusUnknown;
    StatusBlock networkReachabilityStatusBlock_;
};

// The status for the platform's reachability flags.
NetNetworkReachabilityStatus NetNetworkReachabilityStatusForFlags(sc::NetworkReachabilityFlags flags);

// "Unknown", "Not Reachable", "Reachable via WWAN" or "Reachable via WiFi", looked up in the "Networking"
// strings table; any other value is "Unknown".
std::string NetReachabilityStatusText(std::int64_t status);

}  // namespace ql
