#include "net/Reachability.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <cstdint>
#include <cstdio>

#include "platform/foundation/Bundle.h"
#include "platform/foundation/NotificationCenter.h"

namespace ql {

namespace {

std::shared_ptr<Reachability> forIPv4(std::uint32_t hostOrderAddress) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(hostOrderAddress);
    return Reachability::reachabilityWithAddress(reinterpret_cast<const sockaddr*>(&address));
}

}  // namespace

std::shared_ptr<Reachability> Reachability::reachabilityWithHostName(std::string_view hostname) {
    return reachabilityWithHostname(hostname);
}

std::shared_ptr<Reachability> Reachability::reachabilityWithHostname(std::string_view hostname) {
    auto ref = sc::NetworkReachability::createWithName(hostname);
    return ref ? std::make_shared<Reachability>(std::move(ref)) : nullptr;
}

std::shared_ptr<Reachability> Reachability::reachabilityWithAddress(const sockaddr* hostAddress) {
    auto ref = sc::NetworkReachability::createWithAddress(hostAddress);
    return ref ? std::make_shared<Reachability>(std::move(ref)) : nullptr;
}

std::shared_ptr<Reachability> Reachability::reachabilityForInternetConnection() { return forIPv4(INADDR_ANY); }

std::shared_ptr<Reachability> Reachability::reachabilityForLocalWiFi() { return forIPv4(0xA9FE0000); }  // 169.254.0.0

Reachability::Reachability(std::shared_ptr<sc::NetworkReachability> reachabilityRef)
    : reachabilityRef_(std::move(reachabilityRef)),
      reachabilitySerialQueue_(ns::DispatchQueue::serial("com.Carrowgate.reachability")) {}

Reachability::~Reachability() {
    stopNotifier();
    reachabilityRef_.reset();
}

bool Reachability::startNotifier() {
    if (reachabilityObject_.get() == this) return true;
    std::weak_ptr<Reachability> weak = std::static_pointer_cast<Reachability>(shared_from_this());
    const bool registered = reachabilityRef_->setCallback([weak](sc::NetworkReachability&, sc::NetworkReachabilityFlags flags) {
        if (auto self = weak.lock()) self->reachabilityChanged(flags);
    });
    if (!registered) {
        reachabilityObject_.reset();
        return false;
    }
    if (!reachabilityRef_->setDispatchQueue(reachabilitySerialQueue_)) {
        reachabilityRef_->setCallback(nullptr);
        reachabilityObject_.reset();
        return false;
    }
    reachabilityObject_ = std::static_pointer_cast<Reachability>(shared_from_this());
    return true;
}

void Reachability::stopNotifier() {
    if (reachabilityRef_) {
        reachabilityRef_->setCallback(nullptr);
        reachabilityRef_->setDispatchQueue(nullptr);
    }
    // Last, since this may release the object itself.
    auto self = std::move(reachabilityObject_);
}

bool Reachability::isReachableWithFlags(sc::NetworkReachabilityFlags flags) const {
    bool connected = flags & sc::NetworkReachabilityFlagsReachable;
    const sc::NetworkReachabilityFlags transientNeedingConnection =
        sc::NetworkReachabilityFlagsTransientConnection | sc::NetworkReachabilityFlagsConnectionRequired;
    if ((flags & transientNeedingConnection) == transientNeedingConnection) connected = false;
    if (flags & sc::NetworkReachabilityFlagsIsWWAN) return connected && reachableOnWWAN_;
    return connected;
}

std::optional<sc::NetworkReachabilityFlags> Reachability::currentFlags() const {
    sc::NetworkReachabilityFlags flags = 0;
    if (!reachabilityRef_ || !reachabilityRef_->getFlags(flags)) return std::nullopt;
    return flags;
}

bool Reachability::isReachable() const {
    const auto flags = currentFlags();
    return flags && isReachableWithFlags(*flags);
}

bool Reachability::isReachableViaWWAN() const {
    const auto flags = currentFlags();
    return flags && (*flags & sc::NetworkReachabilityFlagsReachable) && (*flags & sc::NetworkReachabilityFlagsIsWWAN);
}

bool Reachability::isReachableViaWiFi() const {
    const auto flags = currentFlags();
    return flags && (*flags & sc::NetworkReachabilityFlagsReachable) && !(*flags & sc::NetworkReachabilityFlagsIsWWAN);
}

bool Reachability::connectionRequired() const {
    const auto flags = currentFlags();
    return flags && (*flags & sc::NetworkReachabilityFlagsConnectionRequired);
}

bool Reachability::isConnectionOnDemand() const {
    const auto flags = currentFlags();
    return flags && (*flags & sc::NetworkReachabilityFlagsConnectionRequired) &&
           (*flags & (sc::NetworkReachabilityFlagsConnectionOnTraffic | sc::NetworkReachabilityFlagsConnectionOnDemand));
}

bool Reachability::isInterventionRequired() const {
    const auto flags = currentFlags();
    return flags && (*flags & sc::NetworkReachabilityFlagsConnectionRequired) &&
           (*flags & sc::NetworkReachabilityFlagsInterventionRequired);
}

NetworkStatus Reachability::currentReachabilityStatus() const {
    if (!isReachable()) return NotReachable;
    return isReachableViaWiFi() ? ReachableViaWiFi : ReachableViaWWAN;
}

sc::NetworkReachabilityFlags Reachability::reachabilityFlags() const { return currentFlags().value_or(0); }

std::string Reachability::currentReachabilityString() const {
    switch (currentReachabilityStatus()) {
        case ReachableViaWWAN: return ns::Bundle::main().localizedString("Cellular", "", "");
        case ReachableViaWiFi: return ns::Bundle::main().localizedString("WiFi", "", "");
        default: return ns::Bundle::main().localizedString("No Connection", "", "");
    }
}

std::string Reachability::currentReachabilityFlags() const {
    const sc::NetworkReachabilityFlags flags = reachabilityFlags();
    auto letter = [flags](sc::NetworkReachabilityFlags flag, char set) { return (flags & flag) ? set : '-'; };
    std::string text;
    text += letter(sc::NetworkReachabilityFlagsIsWWAN, 'W');
    text += letter(sc::NetworkReachabilityFlagsReachable, 'R');
    text += ' ';
    text += letter(sc::NetworkReachabilityFlagsConnectionRequired, 'c');
    text += letter(sc::NetworkReachabilityFlagsTransientConnection, 't');
    text += letter(sc::NetworkReachabilityFlagsInterventionRequired, 'i');
    text += letter(sc::NetworkReachabilityFlagsConnectionOnTraffic, 'C');
    text += letter(sc::NetworkReachabilityFlagsConnectionOnDemand, 'D');
    text += letter(sc::NetworkReachabilityFlagsIsLocalAddress, 'l');
    text += letter(sc::NetworkReachabilityFlagsIsDirect, 'd');
    return text;
}

void Reachability::reachabilityChanged(sc::NetworkReachabilityFlags flags) {
    if (isReachableWithFlags(flags)) {
        if (reachableBlock_) reachableBlock_(*this);
    } else if (unreachableBlock_) {
        unreachableBlock_(*this);
    }
    auto self = std::static_pointer_cast<Reachability>(shared_from_this());
    ns::DispatchQueue::main()->async([self] {
        ns::NotificationCenter::defaultCenter().post(kReachabilityChangedNotification, self.get());
    });
}

std::string Reachability::description() const {
    char address[32];
    std::snprintf(address, sizeof address, "%#x", static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(this)));
    return "<" + std::string(className()) + ": " + address + " (" + currentReachabilityFlags() + ")>";
}

}  // namespace ql
