#include "platform/reachability/NetworkChangeWatcher.h"

#include <linux/rtnetlink.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace ql::sc {

NetworkChangeWatcher::NetworkChangeWatcher(std::function<void()> changed)
    : changed_(std::move(changed)), socket_(RTMGRP_LINK | RTMGRP_IPV4_ROUTE | RTMGRP_IPV6_ROUTE) {
    // Without the kernel's announcements there is nothing to watch: targets keep their last flags.
    if (!socket_.isValid()) return;
    stopEvent_ = eventfd(0, EFD_CLOEXEC);
    if (stopEvent_ < 0) return;
    thread_ = std::thread([this] { watch(); });
}

NetworkChangeWatcher::~NetworkChangeWatcher() {
    if (thread_.joinable()) {
        const std::uint64_t one = 1;
        // An eventfd write of 1 cannot fail short of a counter overflow.
        [[maybe_unused]] const ssize_t written = write(stopEvent_, &one, sizeof one);
        thread_.join();
    }
    if (stopEvent_ >= 0) close(stopEvent_);
}

void NetworkChangeWatcher::watch() {
    alignas(nlmsghdr) char buffer[16384];
    pollfd fds[2] = {{socket_.fd(), POLLIN, 0}, {stopEvent_, POLLIN, 0}};
    for (;;) {
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds[1].revents) return;
        if (!fds[0].revents) continue;
        // Read the whole burst, then report once. An overrun (ENOBUFS) lost messages: a change all the same.
        for (;;) {
            const ssize_t length = recv(socket_.fd(), buffer, sizeof buffer, MSG_DONTWAIT);
            if (length >= 0 || errno == ENOBUFS || errno == EINTR) continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) break;
            return;
        }
        changed_();
    }
}

}  // namespace ql::sc
