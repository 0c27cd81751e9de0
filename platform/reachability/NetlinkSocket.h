#pragma once
// A socket to the kernel's routing service (rtnetlink): for asking about routes, or, subscribed to
// multicast groups, for hearing about changes of links and routes.

#include <linux/netlink.h>

#include <cstdint>
#include <functional>

namespace ql::sc {

class NetlinkSocket {
public:
    // `groups` are RTMGRP_… bits to listen to; none for a socket that only asks. Invalid when the host
    // refuses such a socket.
    explicit NetlinkSocket(std::uint32_t groups = 0);
    ~NetlinkSocket();
    NetlinkSocket(const NetlinkSocket&) = delete;
    NetlinkSocket& operator=(const NetlinkSocket&) = delete;

    bool isValid() const { return fd_ >= 0; }
    int fd() const { return fd_; }

    // Sends `request` (its nlmsg_len filled in) to the kernel and hands each message of the answer to
    // `reply` until the answer is complete. False when the socket failed or the kernel did not answer.
    bool ask(nlmsghdr& request, const std::function<void(const nlmsghdr&)>& reply);

private:
    int fd_ = -1;
    std::uint32_t sequence_ = 0;
};

}  // namespace ql::sc
