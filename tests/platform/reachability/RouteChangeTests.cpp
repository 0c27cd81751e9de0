// Changes of the kernel's routes reach scheduled targets. The test runs in a network namespace of its
// own, made before any thread starts, so it changes routes without touching the host's network; where
// the system does not allow such namespaces it is skipped.

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "platform/foundation/RunLoop.h"
#include "platform/reachability/NetlinkSocket.h"
#include "platform/reachability/NetworkReachability.h"

namespace ql::sc {
namespace {

std::string isolationFailure;

bool writeFile(const char* path, const std::string& text) {
    const int fd = open(path, O_WRONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    close(fd);
    return ok;
}

// A private user and network namespace with only the loopback interface, up.
std::string isolate() {
    const uid_t uid = getuid();
    const gid_t gid = getgid();
    if (unshare(CLONE_NEWUSER | CLONE_NEWNET) != 0) return std::string("unshare: ") + std::strerror(errno);
    writeFile("/proc/self/setgroups", "deny");
    if (!writeFile("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1") ||
        !writeFile("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1"))
        return "cannot map the user";
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ifreq request{};
    std::strcpy(request.ifr_name, "lo");
    const bool up = fd >= 0 && ioctl(fd, SIOCGIFFLAGS, &request) == 0 &&
                    (request.ifr_flags = static_cast<short>(request.ifr_flags | IFF_UP), ioctl(fd, SIOCSIFFLAGS, &request) == 0);
    if (fd >= 0) close(fd);
    return up ? "" : "cannot bring up the loopback interface";
}

// Adds or deletes an IPv4 route through the loopback interface.
bool changeRoute(unsigned short type, const char* destination, unsigned char prefixLength) {
    struct {
        nlmsghdr header;
        rtmsg route;
        char attributes[64];
    } request{};
    request.header.nlmsg_len = NLMSG_LENGTH(sizeof(rtmsg));
    request.header.nlmsg_type = type;
    request.header.nlmsg_flags = static_cast<unsigned short>(NLM_F_REQUEST | NLM_F_ACK | (type == RTM_NEWROUTE ? NLM_F_CREATE | NLM_F_EXCL : 0));
    request.route = {AF_INET, prefixLength, 0, 0, RT_TABLE_MAIN, RTPROT_BOOT, RT_SCOPE_LINK, RTN_UNICAST, 0};
    auto append = [&](unsigned short attributeType, const void* data, std::size_t size) {
        auto* attribute = reinterpret_cast<rtattr*>(reinterpret_cast<char*>(&request) + NLMSG_ALIGN(request.header.nlmsg_len));
        attribute->rta_type = attributeType;
        attribute->rta_len = static_cast<unsigned short>(RTA_LENGTH(size));
        std::memcpy(RTA_DATA(attribute), data, size);
        request.header.nlmsg_len = NLMSG_ALIGN(request.header.nlmsg_len) + RTA_ALIGN(attribute->rta_len);
    };
    in_addr address{};
    inet_pton(AF_INET, destination, &address);
    if (prefixLength > 0) append(RTA_DST, &address, sizeof address);
    const int loopback = static_cast<int>(if_nametoindex("lo"));
    append(RTA_OIF, &loopback, sizeof loopback);

    NetlinkSocket socket;
    int error = -1;
    const bool answered = socket.ask(request.header, [&](const nlmsghdr& reply) {
        if (reply.nlmsg_type == NLMSG_ERROR) error = static_cast<const nlmsgerr*>(NLMSG_DATA(&reply))->error;
    });
    return answered && error == 0;
}

std::shared_ptr<NetworkReachability> forIPv4(const char* text) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    inet_pton(AF_INET, text, &address.sin_addr);
    return NetworkReachability::createWithAddress(reinterpret_cast<const sockaddr*>(&address));
}

TEST(RouteChanges, ReachScheduledTargets) {
    if (!isolationFailure.empty()) GTEST_SKIP() << "no private network namespace: " << isolationFailure;
    auto loop = ns::RunLoop::current();
    auto remote = forIPv4("198.51.100.7");
    auto internet = forIPv4("0.0.0.0");
    std::vector<NetworkReachabilityFlags> remoteCalls, internetCalls;
    remote->setCallback([&](NetworkReachability&, NetworkReachabilityFlags flags) { remoteCalls.push_back(flags); });
    internet->setCallback([&](NetworkReachability&, NetworkReachabilityFlags flags) { internetCalls.push_back(flags); });
    ASSERT_TRUE(remote->scheduleWithRunLoop(loop, ns::DefaultRunLoopMode));
    ASSERT_TRUE(internet->scheduleWithRunLoop(loop, ns::DefaultRunLoopMode));
    NetworkReachabilityFlags flags = ~0u;
    ASSERT_TRUE(remote->getFlags(flags));
    EXPECT_EQ(flags, 0u);

    const auto direct = NetworkReachabilityFlagsReachable | NetworkReachabilityFlagsIsDirect;
    ASSERT_TRUE(changeRoute(RTM_NEWROUTE, "198.51.100.0", 24));
    ASSERT_TRUE(loop->runUntil([&] { return !remoteCalls.empty(); }, 10));
    EXPECT_EQ(remoteCalls.back(), direct);
    EXPECT_TRUE(internetCalls.empty());

    ASSERT_TRUE(changeRoute(RTM_NEWROUTE, "0.0.0.0", 0));
    ASSERT_TRUE(loop->runUntil([&] { return !internetCalls.empty(); }, 10));
    EXPECT_EQ(internetCalls.back(), NetworkReachabilityFlagsReachable);

    ASSERT_TRUE(changeRoute(RTM_DELROUTE, "0.0.0.0", 0));
    ASSERT_TRUE(changeRoute(RTM_DELROUTE, "198.51.100.0", 24));
    ASSERT_TRUE(loop->runUntil([&] { return remoteCalls.back() == 0 && internetCalls.back() == 0; }, 10));
}

}  // namespace
}  // namespace ql::sc

int main(int argc, char** argv) {
    ql::sc::isolationFailure = ql::sc::isolate();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
