#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/un.h>

#include <atomic>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/RunLoop.h"
#include "platform/reachability/InjectedReachabilityFlags.h"
#include "platform/reachability/NetworkReachability.h"

namespace ql::sc {
namespace {

constexpr NetworkReachabilityFlags kReachable = NetworkReachabilityFlagsReachable;
constexpr NetworkReachabilityFlags kLocal =
    NetworkReachabilityFlagsReachable | NetworkReachabilityFlagsIsLocalAddress | NetworkReachabilityFlagsIsDirect;

std::shared_ptr<NetworkReachability> forIPv4(const char* text) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    inet_pton(AF_INET, text, &address.sin_addr);
    return NetworkReachability::createWithAddress(reinterpret_cast<const sockaddr*>(&address));
}

std::shared_ptr<NetworkReachability> forIPv6(const char* text) {
    sockaddr_in6 address{};
    address.sin6_family = AF_INET6;
    inet_pton(AF_INET6, text, &address.sin6_addr);
    return NetworkReachability::createWithAddress(reinterpret_cast<const sockaddr*>(&address));
}

std::optional<NetworkReachabilityFlags> flagsOf(const NetworkReachability& target) {
    NetworkReachabilityFlags flags = 0;
    if (!target.getFlags(flags)) return std::nullopt;
    return flags;
}

// Read independently of the library: whether the kernel's IPv4 table has a default route that is up.
bool hostHasIPv4DefaultRoute() {
    std::ifstream table("/proc/net/route");
    std::string line;
    std::getline(table, line);  // header
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string interface, destination, gateway, flags, refs, use, metric, mask;
        fields >> interface >> destination >> gateway >> flags >> refs >> use >> metric >> mask;
        if (destination == "00000000" && mask == "00000000" && (std::stoul(flags, nullptr, 16) & 0x1)) return true;
    }
    return false;
}

bool hostHasIPv6Loopback() {
    std::ifstream addresses("/proc/net/if_inet6");
    std::string line;
    while (std::getline(addresses, line)) {
        if (line.rfind("00000000000000000000000000000001", 0) == 0) return true;
    }
    return false;
}

// Callbacks seen by one target.
struct Recorder {
    std::vector<NetworkReachabilityFlags> flags;
    std::vector<std::thread::id> threads;
    NetworkReachability::Callback callback() {
        return [this](NetworkReachability&, NetworkReachabilityFlags f) {
            flags.push_back(f);
            threads.push_back(std::this_thread::get_id());
        };
    }
};

TEST(NetworkReachability, HostFlagsFollowTheKernelsRoutes) {
    EXPECT_EQ(flagsOf(*forIPv4("127.0.0.1")), kLocal);
    EXPECT_EQ(flagsOf(*forIPv4("127.1.2.3")), kLocal);
    if (hostHasIPv6Loopback()) {
        EXPECT_EQ(flagsOf(*forIPv6("::1")), kLocal);
    }
    auto localhost = NetworkReachability::createWithName("localhost");
    ASSERT_NE(localhost, nullptr);
    EXPECT_EQ(flagsOf(*localhost), kLocal);

    const auto internet = flagsOf(*forIPv4("0.0.0.0"));
    ASSERT_TRUE(internet.has_value());
    EXPECT_EQ(*internet, hostHasIPv4DefaultRoute() ? kReachable : 0u);
    // Linux has neither cellular interfaces nor connections made on demand.
    EXPECT_EQ(*internet & ~kReachable, 0u);

    sockaddr_un local{};
    local.sun_family = AF_UNIX;
    EXPECT_EQ(NetworkReachability::createWithAddress(reinterpret_cast<const sockaddr*>(&local)), nullptr);
    EXPECT_EQ(NetworkReachability::createWithAddress(nullptr), nullptr);
    EXPECT_EQ(NetworkReachability::createWithName(""), nullptr);
}

TEST(NetworkReachability, HostNamesAreResolvedOffTheCallersThread) {
    auto localhost = NetworkReachability::createWithName("localhost");
    Recorder recorder;
    localhost->setCallback(recorder.callback());
    auto loop = ns::RunLoop::current();
    ASSERT_TRUE(localhost->scheduleWithRunLoop(loop, ns::DefaultRunLoopMode));
    ASSERT_TRUE(loop->runUntil([&] { return !recorder.flags.empty(); }, 10));
    EXPECT_EQ(recorder.flags, std::vector<NetworkReachabilityFlags>{kLocal});
    EXPECT_EQ(recorder.threads.front(), std::this_thread::get_id());
    EXPECT_EQ(flagsOf(*localhost), kLocal);
    EXPECT_TRUE(localhost->unscheduleFromRunLoop(loop, ns::DefaultRunLoopMode));
    EXPECT_FALSE(localhost->unscheduleFromRunLoop(loop, ns::DefaultRunLoopMode));
}

TEST(NetworkReachability, RunLoopCallbacksFollowInjectedFlagsInTheirMode) {
    InjectedReachabilityFlags injected(kReachable);
    auto internet = forIPv4("0.0.0.0");
    auto host = NetworkReachability::createWithName("example.invalid");
    Recorder internetCalls, hostCalls;
    internet->setCallback(internetCalls.callback());
    host->setCallback(hostCalls.callback());
    auto loop = ns::RunLoop::current();
    ASSERT_TRUE(internet->scheduleWithRunLoop(loop, ns::DefaultRunLoopMode));
    ASSERT_TRUE(host->scheduleWithRunLoop(loop, ns::DefaultRunLoopMode));

    // A host name reports its first lookup; an address only reports changes.
    ASSERT_TRUE(loop->runUntil([&] { return !hostCalls.flags.empty(); }, 5));
    EXPECT_EQ(hostCalls.flags, std::vector<NetworkReachabilityFlags>{kReachable});
    EXPECT_TRUE(internetCalls.flags.empty());
    EXPECT_EQ(flagsOf(*internet), kReachable);

    // Not delivered while the loop runs in another mode.
    injected.set(0);
    loop->runMode(ns::TrackingRunLoopMode, ns::Date::now());
    EXPECT_TRUE(internetCalls.flags.empty());
    ASSERT_TRUE(loop->runUntil([&] { return internetCalls.flags.size() == 1; }, 5));
    EXPECT_EQ(internetCalls.flags.back(), 0u);

    // Unchanged flags report nothing; an unscheduled target hears nothing.
    injected.set(0);
    loop->runMode(ns::DefaultRunLoopMode, ns::Date::now());
    EXPECT_EQ(internetCalls.flags.size(), 1u);
    ASSERT_TRUE(host->unscheduleFromRunLoop(loop, ns::DefaultRunLoopMode));
    const auto wwan = kReachable | NetworkReachabilityFlagsIsWWAN;
    injected.set(wwan);
    ASSERT_TRUE(loop->runUntil([&] { return internetCalls.flags.size() == 2; }, 5));
    EXPECT_EQ(internetCalls.flags, (std::vector<NetworkReachabilityFlags>{0, wwan}));
    EXPECT_EQ(hostCalls.flags.size(), 2u);
    EXPECT_EQ(hostCalls.flags.back(), 0u);
    for (auto thread : internetCalls.threads) EXPECT_EQ(thread, std::this_thread::get_id());

    // Unreadable flags.
    injected.set(std::nullopt);
    EXPECT_EQ(flagsOf(*internet), std::nullopt);
    EXPECT_EQ(flagsOf(*host), std::nullopt);
}

TEST(NetworkReachability, QueueCallbacksRunOnTheQueue) {
    InjectedReachabilityFlags injected(0);
    auto queue = ns::DispatchQueue::serial("reachability.tests");
    auto target = forIPv4("192.0.2.10");
    ns::DispatchSemaphore called(0);
    std::vector<NetworkReachabilityFlags> seen;
    std::atomic<bool> onQueue{true};
    target->setCallback([&](NetworkReachability&, NetworkReachabilityFlags flags) {
        onQueue = onQueue && queue->isCurrent();
        seen.push_back(flags);
        called.signal();
    });
    ASSERT_TRUE(target->setDispatchQueue(queue));
    EXPECT_FALSE(target->scheduleWithRunLoop(ns::RunLoop::current(), ns::DefaultRunLoopMode));

    injected.set(kReachable);
    ASSERT_TRUE(called.wait(5));
    injected.set(kReachable | NetworkReachabilityFlagsIsDirect);
    ASSERT_TRUE(called.wait(5));
    queue->sync([] {});
    EXPECT_EQ(seen, (std::vector<NetworkReachabilityFlags>{kReachable, kReachable | NetworkReachabilityFlagsIsDirect}));
    EXPECT_TRUE(onQueue);

    ASSERT_TRUE(target->setDispatchQueue(nullptr));
    EXPECT_TRUE(target->scheduleWithRunLoop(ns::RunLoop::current(), ns::DefaultRunLoopMode));
    EXPECT_FALSE(target->setDispatchQueue(queue));
}

TEST(NetworkReachability, ATargetGoneBeforeItsCallbackRanIsSilent) {
    InjectedReachabilityFlags injected(0);
    auto loop = ns::RunLoop::current();
    bool called = false;
    {
        auto target = forIPv4("0.0.0.0");
        target->setCallback([&](NetworkReachability&, NetworkReachabilityFlags) { called = true; });
        target->scheduleWithRunLoop(loop, ns::DefaultRunLoopMode);
        injected.set(kReachable);
    }
    loop->runMode(ns::DefaultRunLoopMode, ns::Date::now());
    EXPECT_FALSE(called);
}

}  // namespace
}  // namespace ql::sc
