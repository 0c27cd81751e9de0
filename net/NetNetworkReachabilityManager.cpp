#include "net/NetNetworkReachabilityManager.h"

#include <netinet/in.h>

#include <array>

#include "net/NetStrings.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/RunLoop.h"

namespace ql {

namespace {

constexpr std::string_view kStatusKey = "networkReachabilityStatus";
constexpr std::array<std::string_view, 3> kDerivedKeys{"reachable", "reachableViaWWAN", "reachableViaWiFi"};

void postStatusChange(NetNetworkReachabilityStatus status) {
    ns::NotificationCenter::defaultCenter().post(
        NetNetworkingReachabilityDidChangeNotification, nullptr,
        {{std::string(NetNetworkingReachabilityNotificationStatusItem), ns::Value(static_cast<std::int64_t>(status))}});
}

}  // namespace

NetNetworkReachabilityStatus NetNetworkReachabilityStatusForFlags(sc::NetworkReachabilityFlags flags) {
    const bool reachable = flags & sc::NetworkReachabilityFlagsReachable;
    const bool needsConnection = flags & sc::NetworkReachabilityFlagsConnectionRequired;
    const bool canConnectAutomatically =
        flags & (sc::NetworkReachabilityFlagsConnectionOnTraffic | sc::NetworkReachabilityFlagsConnectionOnDemand);
    const bool canConnectWithoutUser =
        canConnectAutomatically && !(flags & sc::NetworkReachabilityFlagsInterventionRequired);
    const bool networkReachable = reachable && (!needsConnection || canConnectWithoutUser);
    if (!networkReachable) return NetNetworkReachabilityStatusNotReachable;
    if (flags & sc::NetworkReachabilityFlagsIsWWAN) return NetNetworkReachabilityStatusReachableViaWWAN;
    return NetNetworkReachabilityStatusReachableViaWiFi;
}

std::string NetReachabilityStatusText(std::int64_t status) {
    switch (status) {
        case NetNetworkReachabilityStatusNotReachable: return NetLocalizedString("Not Reachable");
        case NetNetworkReachabilityStatusReachableViaWWAN: return NetLocalizedString("Reachable via WWAN");
        case NetNetworkReachabilityStatusReachableViaWiFi: return NetLocalizedString("Reachable via WiFi");
        default: return NetLocalizedString("Unknown");
    }
}

std::shared_ptr<NetNetworkReachabilityManager> NetNetworkReachabilityManager::sharedManager() {
    static const auto& shared = *new std::shared_ptr<NetNetworkReachabilityManager>([] {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        return managerForAddress(reinterpret_cast<const sockaddr*>(&address));
    }());
    return shared;
}

std::shared_ptr<NetNetworkReachabilityManager> NetNetworkReachabilityManager::managerForDomain(std::string_view domain) {
    auto manager = std::make_shared<NetNetworkReachabilityManager>(sc::NetworkReachability::createWithName(domain));
    manager->setNetworkReachabilityAssociation(NetNetworkReachabilityForName);
    return manager;
}

std::shared_ptr<NetNetworkReachabilityManager> NetNetworkReachabilityManager::managerForAddress(const sockaddr* address) {
    auto manager = std::make_shared<NetNetworkReachabilityManager>(sc::NetworkReachability::createWithAddress(address));
    manager->setNetworkReachabilityAssociation(NetNetworkReachabilityForAddress);
    return manager;
}

NetNetworkReachabilityManager::NetNetworkReachabilityManager(std::shared_ptr<sc::NetworkReachability> reachability)
    : networkReachability_(std::move(reachability)) {}

NetNetworkReachabilityManager::~NetNetworkReachabilityManager() { stopMonitoring(); }

void NetNetworkReachabilityManager::setNetworkReachabilityStatus(NetNetworkReachabilityStatus status) {
    willChangeValueForKey(kStatusKey);
    for (std::string_view key : kDerivedKeys) willChangeValueForKey(key);
    networkReachabilityStatus_ = status;
    for (auto key = kDerivedKeys.rbegin(); key != kDerivedKeys.rend(); ++key) didChangeValueForKey(*key);
    didChangeValueForKey(kStatusKey);
}

void NetNetworkReachabilityManager::startMonitoring() {
    stopMonitoring();
    if (!networkReachability_) return;

    std::weak_ptr<NetNetworkReachabilityManager> weak =
        std::static_pointer_cast<NetNetworkReachabilityManager>(shared_from_this());
    auto callback = [weak](NetNetworkReachabilityStatus status) {
        auto self = weak.lock();
        if (!self) return;
        self->setNetworkReachabilityStatus(status);
        if (self->networkReachabilityStatusBlock_) self->networkReachabilityStatusBlock_(status);
    };
    networkReachability_->setCallback([callback](sc::NetworkReachability&, sc::NetworkReachabilityFlags flags) {
        const NetNetworkReachabilityStatus status = NetNetworkReachabilityStatusForFlags(flags);
        callback(status);
        ns::DispatchQueue::main()->async([status] { postStatusChange(status); });
    });
    networkReachability_->scheduleWithRunLoop(ns::RunLoop::main(), ns::RunLoopCommonModes);

    if (networkReachabilityAssociation_ != NetNetworkReachabilityForName) {
        ns::DispatchQueue::global(ns::DispatchQueue::Priority::Background)
            ->async([target = networkReachability_, callback] {
                sc::NetworkReachabilityFlags flags = 0;
                if (!target->getFlags(flags)) flags = 0;
                const NetNetworkReachabilityStatus status = NetNetworkReachabilityStatusForFlags(flags);
                ns::DispatchQueue::main()->async([callback, status] {
                    callback(status);
                    postStatusChange(status);
                });
            });
    }
}

void NetNetworkReachabilityManager::stopMonitoring() {
    if (networkReachability_) networkReachability_->unscheduleFromRunLoop(ns::RunLoop::main(), ns::RunLoopCommonModes);
}

std::string NetNetworkReachabilityManager::localizedNetworkReachabilityStatusString() const {
    return NetReachabilityStatusText(networkReachabilityStatus_);
}

std::vector<std::string> NetNetworkReachabilityManager::keyPathsForValuesAffectingValueForKey(std::string_view key) {
    for (std::string_view derived : kDerivedKeys)
        if (key == derived) return {std::string(kStatusKey)};
    return {};
}

ns::Value NetNetworkReachabilityManager::valueForKey(std::string_view key) const {
    if (key == kStatusKey) return static_cast<std::int64_t>(networkReachabilityStatus_);
    if (key == "reachable") return isReachable();
    if (key == "reachableViaWWAN") return isReachableViaWWAN();
    if (key == "reachableViaWiFi") return isReachableViaWiFi();
    return ns::Object::valueForKey(key);
}

}  // namespace ql
