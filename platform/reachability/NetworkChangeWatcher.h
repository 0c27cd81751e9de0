#pragma once
// A thread that listens to the kernel's announcements of link and route changes (IPv4 and IPv6) and
// calls `changed` after each burst of them. `changed` runs on the watcher's thread and must only hand
// work elsewhere.

#include <functional>
#include <thread>

#include "platform/reachability/NetlinkSocket.h"

namespace ql::sc {

class NetworkChangeWatcher {
public:
    explicit NetworkChangeWatcher(std::function<void()> changed);
    // Stops and joins the thread.
    ~NetworkChangeWatcher();
    NetworkChangeWatcher(const NetworkChangeWatcher&) = delete;
    NetworkChangeWatcher& operator=(const NetworkChangeWatcher&) = delete;

private:
    void watch();

    std::function<void()> changed_;
    NetlinkSocket socket_;
    int stopEvent_ = -1;  // an eventfd that ends the watch
    std::thread thread_;
};

}  // namespace ql::sc
