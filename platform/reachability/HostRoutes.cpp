#include "platform/reachability/HostRoutes.h"

#include <linux/rtnetlink.h>
#include <netdb.h>
#include <netinet/in.h>

#include <cstring>
#include <memory>

#include "platform/reachability/NetlinkSocket.h"

namespace ql::sc {

namespace {

constexpr NetworkReachabilityFlags kReachable = NetworkReachabilityFlagsReachable;
constexpr NetworkReachabilityFlags kDirect = NetworkReachabilityFlagsIsDirect;
constexpr NetworkReachabilityFlags kLocal = NetworkReachabilityFlagsIsLocalAddress;

struct RouteRequest {
    nlmsghdr header;
    rtmsg route;
    char attributes[64];
};

RouteRequest routeRequest(unsigned char family, unsigned short flags) {
    RouteRequest request{};
    request.header.nlmsg_len = NLMSG_LENGTH(sizeof(rtmsg));
    request.header.nlmsg_type = RTM_GETROUTE;
    request.header.nlmsg_flags = static_cast<unsigned short>(NLM_F_REQUEST | flags);
    request.route.rtm_family = family;
    return request;
}

bool hasAttribute(const nlmsghdr& message, unsigned short type) {
    const auto* route = static_cast<const rtmsg*>(NLMSG_DATA(&message));
    int length = static_cast<int>(message.nlmsg_len) - static_cast<int>(NLMSG_LENGTH(sizeof(rtmsg)));
    for (const auto* attribute = RTM_RTA(route); RTA_OK(attribute, length); attribute = RTA_NEXT(attribute, length)) {
        if (attribute->rta_type == type) return true;
    }
    return false;
}

bool isZero(const sockaddr_storage& address) {
    if (address.ss_family == AF_INET)
        return reinterpret_cast<const sockaddr_in&>(address).sin_addr.s_addr == htonl(INADDR_ANY);
    return IN6_IS_ADDR_UNSPECIFIED(&reinterpret_cast<const sockaddr_in6&>(address).sin6_addr);
}

// The zero address stands for the network at large: reachable when a usable default route exists.
std::optional<NetworkReachabilityFlags> defaultRouteFlags(unsigned char family) {
    NetlinkSocket socket;
    RouteRequest request = routeRequest(family, NLM_F_DUMP);
    bool found = false;
    const bool answered = socket.ask(request.header, [&](const nlmsghdr& message) {
        if (message.nlmsg_type != RTM_NEWROUTE) return;
        const auto* route = static_cast<const rtmsg*>(NLMSG_DATA(&message));
        if (route->rtm_dst_len == 0 && route->rtm_table == RT_TABLE_MAIN && route->rtm_type == RTN_UNICAST &&
            !(route->rtm_flags & (RTNH_F_DEAD | RTNH_F_LINKDOWN)))
            found = true;
    });
    if (!answered) return std::nullopt;
    return found ? kReachable : 0;
}

// What the kernel would do with a packet for `address`.
std::optional<NetworkReachabilityFlags> routeFlags(const sockaddr_storage& address) {
    const bool v4 = address.ss_family == AF_INET;
    const void* bytes = v4 ? static_cast<const void*>(&reinterpret_cast<const sockaddr_in&>(address).sin_addr)
                           : static_cast<const void*>(&reinterpret_cast<const sockaddr_in6&>(address).sin6_addr);
    const std::size_t size = v4 ? sizeof(in_addr) : sizeof(in6_addr);

    NetlinkSocket socket;
    RouteRequest request = routeRequest(static_cast<unsigned char>(address.ss_family), 0);
    request.route.rtm_dst_len = static_cast<unsigned char>(size * 8);
    auto* destination = reinterpret_cast<rtattr*>(reinterpret_cast<char*>(&request) + NLMSG_ALIGN(request.header.nlmsg_len));
    destination->rta_type = RTA_DST;
    destination->rta_len = static_cast<unsigned short>(RTA_LENGTH(size));
    std::memcpy(RTA_DATA(destination), bytes, size);
    request.header.nlmsg_len = NLMSG_ALIGN(request.header.nlmsg_len) + RTA_ALIGN(destination->rta_len);

    NetworkReachabilityFlags flags = 0;  // an error answer means there is no route
    const bool answered = socket.ask(request.header, [&](const nlmsghdr& message) {
        if (message.nlmsg_type != RTM_NEWROUTE) return;
        switch (static_cast<const rtmsg*>(NLMSG_DATA(&message))->rtm_type) {
        case RTN_LOCAL:
            flags = kReachable | kLocal | kDirect;
            break;
        case RTN_UNICAST:
            flags = kReachable | (hasAttribute(message, RTA_GATEWAY) || hasAttribute(message, RTA_VIA) ? 0 : kDirect);
            break;
        case RTN_BROADCAST:
        case RTN_MULTICAST:
        case RTN_ANYCAST:
            flags = kReachable | kDirect;
            break;
        default:  // unreachable, prohibited, blackhole…
            break;
        }
    });
    if (!answered) return std::nullopt;
    return flags;
}

}  // namespace

std::optional<NetworkReachabilityFlags> hostFlagsForAddress(const sockaddr_storage& address) {
    if (address.ss_family != AF_INET && address.ss_family != AF_INET6) return std::nullopt;
    if (isZero(address)) return defaultRouteFlags(static_cast<unsigned char>(address.ss_family));
    return routeFlags(address);
}

std::optional<NetworkReachabilityFlags> hostFlagsForHostName(const std::string& hostName) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(hostName.c_str(), nullptr, &hints, &found) != 0) return 0;
    std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> results(found, freeaddrinfo);

    std::optional<NetworkReachabilityFlags> answer;
    for (const addrinfo* entry = found; entry; entry = entry->ai_next) {
        sockaddr_storage address{};
        if (entry->ai_addrlen > sizeof address) continue;
        std::memcpy(&address, entry->ai_addr, entry->ai_addrlen);
        const auto flags = hostFlagsForAddress(address);
        if (flags && (*flags & NetworkReachabilityFlagsReachable)) return flags;
        if (flags) answer = flags;
    }
    return answer;
}

}  // namespace ql::sc
