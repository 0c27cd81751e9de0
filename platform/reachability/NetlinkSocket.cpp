#include "platform/reachability/NetlinkSocket.h"

#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>

namespace ql::sc {

NetlinkSocket::NetlinkSocket(std::uint32_t groups) {
    fd_ = socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
    if (fd_ < 0) return;
    sockaddr_nl local{};
    local.nl_family = AF_NETLINK;
    local.nl_groups = groups;
    // The kernel answers at once; the limit only guards against a host that never does.
    const timeval timeout{2, 0};
    if (bind(fd_, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0 ||
        (groups == 0 && setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout) != 0)) {
        close(fd_);
        fd_ = -1;
    }
}

NetlinkSocket::~NetlinkSocket() {
    if (fd_ >= 0) close(fd_);
}

bool NetlinkSocket::ask(nlmsghdr& request, const std::function<void(const nlmsghdr&)>& reply) {
    if (fd_ < 0) return false;
    request.nlmsg_seq = ++sequence_;
    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    if (sendto(fd_, &request, request.nlmsg_len, 0, reinterpret_cast<const sockaddr*>(&kernel), sizeof kernel) < 0)
        return false;

    alignas(nlmsghdr) char buffer[16384];
    for (;;) {
        const ssize_t length = recv(fd_, buffer, sizeof buffer, 0);
        if (length < 0 && errno == EINTR) continue;
        if (length <= 0) return false;
        auto remaining = static_cast<unsigned>(length);
        for (auto* message = reinterpret_cast<nlmsghdr*>(buffer); NLMSG_OK(message, remaining);
             message = NLMSG_NEXT(message, remaining)) {
            if (message->nlmsg_seq != request.nlmsg_seq) continue;  // a late answer to an earlier question
            if (message->nlmsg_type == NLMSG_DONE) return true;
            reply(*message);
            if (!(message->nlmsg_flags & NLM_F_MULTI)) return true;
        }
    }
}

}  // namespace ql::sc
