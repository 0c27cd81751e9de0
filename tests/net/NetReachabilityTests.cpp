#include <gtest/gtest.h>
#include <netinet/in.h>

#include <atomic>
#include <mutex>
#include <regex>

#include "net/NetNetworkReachabilityManager.h"
#include "net/Reachability.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/RunLoop.h"
#include "platform/reachability/InjectedReachabilityFlags.h"

namespace ql {
namespace {

constexpr sc::NetworkReachabilityFlags kTransient = sc::NetworkReachabilityFlagsTransientConnection;
constexpr sc::NetworkReachabilityFlags kReachable = sc::NetworkReachabilityFlagsReachable;
constexpr sc::NetworkReachabilityFlags kRequired = sc::NetworkReachabilityFlagsConnectionRequired;
constexpr sc::NetworkReachabilityFlags kOnTraffic = sc::NetworkReachabilityFlagsConnectionOnTraffic;
constexpr sc::NetworkReachabilityFlags kIntervention = sc::NetworkReachabilityFlagsInterventionRequired;
constexpr sc::NetworkReachabilityFlags kOnDemand = sc::NetworkReachabilityFlagsConnectionOnDemand;
constexpr sc::NetworkReachabilityFlags kWWAN = sc::NetworkReachabilityFlagsIsWWAN;

// Real seconds are only the cap of a failing wait: the manual clock moves once every thread is idle.
bool pumpUntil(const std::function<bool()>& condition) { return ns::RunLoop::main()->runUntil(condition, 60); }
// Lets the main run loop handle whatever is pending: with the manual clock, time only moves on to the
// marker once every thread is idle.
void pump() {
    bool marked = false;
    ns::DispatchQueue::main()->after(1, [&] { marked = true; });
    EXPECT_TRUE(pumpUntil([&] { return marked; }));
}

// Notifications of one name, as the main thread sees them.
class NotificationRecorder {
public:
    explicit NotificationRecorder(std::string_view name) {
        token_ = ns::NotificationCenter::defaultCenter().addObserverForName(
            name, nullptr, nullptr, [this](const ns::Notification& n) {
                EXPECT_TRUE(ns::DispatchQueue::isMainThread());
                std::lock_guard lock(mutex_);
                received_.push_back(n.userInfo());
                senders_.push_back(n.sender());
            });
    }
    ~NotificationRecorder() { ns::NotificationCenter::defaultCenter().removeObserver(token_.get()); }
    std::size_t count() const {
        std::lock_guard lock(mutex_);
        return received_.size();
    }
    ns::Dictionary last() const {
        std::lock_guard lock(mutex_);
        return received_.back();
    }
    const ns::Object* lastSender() const {
        std::lock_guard lock(mutex_);
        return senders_.back();
    }

private:
    mutable std::mutex mutex_;
    std::vector<ns::Dictionary> received_;
    std::vector<const ns::Object*> senders_;
    std::shared_ptr<ns::Object> token_;
};

TEST(NetNetworkReachabilityManager, FlagsMapToStatusesWithTheirTexts) {
    EXPECT_EQ(NetNetworkReachabilityStatusForFlags(kReachable), NetNetworkReachabilityStatusReachableViaWiFi);
    EXPECT_EQ(NetNetworkReachabilityStatusForFlags(kReachable | kWWAN), NetNetworkReachabilityStatusReachableViaWWAN);
    EXPECT_EQ(NetNetworkReachabilityStatusForFlags(kReachable | kRequired), NetNetworkReachabilityStatusNotReachable);
    EXPECT_EQ(NetNetworkReachabilityStatusForFlags(kReachable | kRequired | kOnTraffic),
              NetNetworkReachabilityStatusReachableViaWiFi);
    EXPECT_EQ(NetNetworkReachabilityStatusForFlags(kReachable | kRequired | kOnDemand),
              NetNetworkReachabilityStatusReachableViaWiFi);
    EXPECT_EQ(NetNetworkReachabilityStatusForFlags(kReachable | kRequired | kOnTraffic | kIntervention),
              NetNetworkReachabilityStatusNotReachable);
    EXPECT_EQ(NetNetworkReachabilityStatusForFlags(0), NetNetworkReachabilityStatusNotReachable);
    EXPECT_EQ(NetNetworkReachabilityStatusForFlags(kWWAN), NetNetworkReachabilityStatusNotReachable);

    EXPECT_EQ(NetReachabilityStatusText(-1), "Unknown");
    EXPECT_EQ(NetReachabilityStatusText(0), "Not Reachable");
    EXPECT_EQ(NetReachabilityStatusText(1), "Reachable via WWAN");
    EXPECT_EQ(NetReachabilityStatusText(2), "Reachable via WiFi");
    EXPECT_EQ(NetReachabilityStatusText(5), "Unknown");

    auto shared = NetNetworkReachabilityManager::sharedManager();
    EXPECT_EQ(shared, NetNetworkReachabilityManager::sharedManager());
    EXPECT_EQ(shared->networkReachabilityStatus(), NetNetworkReachabilityStatusUnknown);
    EXPECT_EQ(shared->networkReachabilityAssociation(), NetNetworkReachabilityForAddress);
    EXPECT_FALSE(shared->isReachable());
    EXPECT_EQ(shared->localizedNetworkReachabilityStatusString(), "Unknown");
    EXPECT_EQ(NetNetworkReachabilityManager::keyPathsForValuesAffectingValueForKey("reachableViaWiFi"),
              std::vector<std::string>{"networkReachabilityStatus"});
    EXPECT_TRUE(NetNetworkReachabilityManager::keyPathsForValuesAffectingValueForKey("other").empty());
}

TEST(NetNetworkReachabilityManager, StatusFollowsInjectedFlagsOnTheMainThread) {
    ns::ManualClockScope clock;
    sc::InjectedReachabilityFlags injected(kReachable);
    NotificationRecorder notifications(NetNetworkingReachabilityDidChangeNotification);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    auto manager = NetNetworkReachabilityManager::managerForAddress(reinterpret_cast<const sockaddr*>(&address));

    std::vector<NetNetworkReachabilityStatus> blockStatuses;
    manager->setReachabilityStatusChangeBlock([&](NetNetworkReachabilityStatus status) {
        EXPECT_TRUE(ns::DispatchQueue::isMainThread());
        blockStatuses.push_back(status);
    });
    std::vector<bool> reachableChanges;
    auto observation = manager->addObserver("reachable", ns::KeyValueObservingOptionNew,
                                            [&](const ns::KeyValueChange& change) {
                                                reachableChanges.push_back(change.newValue.boolValue());
                                            });

    manager->startMonitoring();
    ASSERT_TRUE(pumpUntil([&] { return notifications.count() == 1; }));
    EXPECT_EQ(manager->networkReachabilityStatus(), NetNetworkReachabilityStatusReachableViaWiFi);
    EXPECT_TRUE(manager->isReachableViaWiFi());
    EXPECT_EQ(notifications.last()[NetNetworkingReachabilityNotificationStatusItem].int64Value(), 2);
    EXPECT_EQ(notifications.lastSender(), nullptr);

    injected.set(kReachable | kWWAN);
    ASSERT_TRUE(pumpUntil([&] { return notifications.count() == 2; }));
    EXPECT_EQ(manager->networkReachabilityStatus(), NetNetworkReachabilityStatusReachableViaWWAN);
    EXPECT_EQ(manager->localizedNetworkReachabilityStatusString(), "Reachable via WWAN");
    injected.set(std::nullopt);
    ASSERT_TRUE(pumpUntil([&] { return notifications.count() == 3; }));
    EXPECT_FALSE(manager->isReachable());
    EXPECT_EQ(blockStatuses, (std::vector<NetNetworkReachabilityStatus>{NetNetworkReachabilityStatusReachableViaWiFi,
                                                                        NetNetworkReachabilityStatusReachableViaWWAN,
                                                                        NetNetworkReachabilityStatusNotReachable}));
    EXPECT_EQ(reachableChanges, (std::vector<bool>{true, true, false}));

    manager->stopMonitoring();
    injected.set(kReachable);
    pump();
    EXPECT_EQ(notifications.count(), 3u);
    EXPECT_EQ(manager->networkReachabilityStatus(), NetNetworkReachabilityStatusNotReachable);

    // Starting again looks the status up afresh.
    manager->startMonitoring();
    ASSERT_TRUE(pumpUntil([&] { return notifications.count() == 4; }));
    EXPECT_TRUE(manager->isReachableViaWiFi());
    manager->stopMonitoring();
}

TEST(NetNetworkReachabilityManager, HostNamesWaitForTheirResolution) {
    ns::ManualClockScope clock;
    sc::InjectedReachabilityFlags injected(kReachable | kRequired | kOnDemand);
    NotificationRecorder notifications(NetNetworkingReachabilityDidChangeNotification);
    auto manager = NetNetworkReachabilityManager::managerForDomain("service.example");
    EXPECT_EQ(manager->networkReachabilityAssociation(), NetNetworkReachabilityForName);
    manager->startMonitoring();
    ASSERT_TRUE(pumpUntil([&] { return notifications.count() == 1; }));
    EXPECT_EQ(manager->networkReachabilityStatus(), NetNetworkReachabilityStatusReachableViaWiFi);
    pump();
    EXPECT_EQ(notifications.count(), 1u);

    // A manager that was released stops reporting, and one without a target never starts.
    injected.set(0);
    manager.reset();
    pump();
    EXPECT_EQ(notifications.count(), 1u);
    auto nameless = NetNetworkReachabilityManager::managerForDomain("");
    EXPECT_FALSE(nameless->networkReachability());
    nameless->startMonitoring();
    pump();
    EXPECT_EQ(nameless->networkReachabilityStatus(), NetNetworkReachabilityStatusUnknown);
}

TEST(Reachability, FlagQuestionsReadTheCurrentFlags) {
    auto internet = Reachability::reachabilityForInternetConnection();
    ASSERT_TRUE(internet);
    EXPECT_TRUE(Reachability::reachabilityForLocalWiFi());
    EXPECT_TRUE(Reachability::reachabilityWithHostName("example.invalid"));
    EXPECT_FALSE(Reachability::reachabilityWithHostname(""));
    EXPECT_FALSE(Reachability::reachabilityWithAddress(nullptr));
    EXPECT_TRUE(internet->reachableOnWWAN());
    EXPECT_EQ(internet->reachabilitySerialQueue()->label(), "com.Carrowgate.reachability");

    EXPECT_TRUE(internet->isReachableWithFlags(kReachable));
    EXPECT_TRUE(internet->isReachableWithFlags(kReachable | kRequired));
    EXPECT_FALSE(internet->isReachableWithFlags(kReachable | kTransient | kRequired));
    EXPECT_TRUE(internet->isReachableWithFlags(kReachable | kWWAN));

    sc::InjectedReachabilityFlags injected(kReachable);
    EXPECT_EQ(internet->currentReachabilityFlags(), "-R -------");
    EXPECT_EQ(internet->currentReachabilityStatus(), ReachableViaWiFi);
    EXPECT_EQ(internet->currentReachabilityString(), "WiFi");
    EXPECT_TRUE(std::regex_match(internet->description(), std::regex("<Reachability: 0x[0-9a-f]+ \\(-R -------\\)>")))
        << internet->description();

    injected.set(kReachable | kWWAN | kRequired | kOnTraffic | sc::NetworkReachabilityFlagsIsDirect);
    EXPECT_EQ(internet->currentReachabilityFlags(), "WR c--C--d");
    EXPECT_TRUE(internet->isReachableViaWWAN());
    EXPECT_FALSE(internet->isReachableViaWiFi());
    EXPECT_TRUE(internet->isConnectionRequired());
    EXPECT_TRUE(internet->isConnectionOnDemand());
    EXPECT_FALSE(internet->isInterventionRequired());
    EXPECT_EQ(internet->currentReachabilityStatus(), ReachableViaWWAN);
    EXPECT_EQ(internet->currentReachabilityString(), "Cellular");
    internet->setReachableOnWWAN(false);
    EXPECT_FALSE(internet->isReachable());
    EXPECT_EQ(internet->currentReachabilityStatus(), NotReachable);
    EXPECT_EQ(internet->currentReachabilityString(), "No Connection");

    injected.set(kReachable | kRequired | kIntervention | kTransient);
    EXPECT_TRUE(internet->isInterventionRequired());
    EXPECT_FALSE(internet->isReachable());
    injected.set(std::nullopt);
    EXPECT_EQ(internet->reachabilityFlags(), 0u);
    EXPECT_FALSE(internet->isReachable());
    EXPECT_FALSE(internet->isConnectionRequired());
}

TEST(Reachability, ChangesRunTheBlocksOnItsQueueAndNotifyOnTheMainQueue) {
    ns::ManualClockScope clock;
    sc::InjectedReachabilityFlags injected(kReachable);
    NotificationRecorder notifications(kReachabilityChangedNotification);
    auto reachability = Reachability::reachabilityForInternetConnection();
    std::atomic<int> reachable{0}, unreachable{0};
    std::atomic<bool> onItsQueue{true};
    reachability->setReachableBlock([&](Reachability& r) {
        onItsQueue = onItsQueue && r.reachabilitySerialQueue()->isCurrent();
        ++reachable;
    });
    reachability->setUnreachableBlock([&](Reachability& r) {
        onItsQueue = onItsQueue && r.reachabilitySerialQueue()->isCurrent();
        ++unreachable;
    });

    EXPECT_TRUE(reachability->startNotifier());
    EXPECT_TRUE(reachability->startNotifier());
    EXPECT_EQ(reachability->reachabilityObject(), reachability);

    injected.set(kReachable | kTransient | kRequired);
    ASSERT_TRUE(pumpUntil([&] { return notifications.count() == 1; }));
    EXPECT_EQ(unreachable, 1);
    EXPECT_EQ(notifications.lastSender(), reachability.get());
    injected.set(kReachable | kWWAN);
    ASSERT_TRUE(pumpUntil([&] { return notifications.count() == 2; }));
    EXPECT_EQ(reachable, 1);
    EXPECT_TRUE(onItsQueue);

    reachability->stopNotifier();
    EXPECT_FALSE(reachability->reachabilityObject());
    injected.set(0);
    pump();
    EXPECT_EQ(notifications.count(), 2u);
    EXPECT_EQ(reachable + unreachable, 2);
}

}  // namespace
}  // namespace ql
