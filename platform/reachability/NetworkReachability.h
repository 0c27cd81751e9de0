#pragma once
// sc::NetworkReachability: whether a host name, an address or the network at large (the zero address)
// can be reached from here, as the platform's flag bits, read on demand or reported on a run loop or a
// dispatch queue whenever they change. Changes come from the host's interfaces and routes; host names
// are resolved off the caller's thread while scheduled. Linux has no cellular interfaces, so IsWWAN is
// never set, and no connection is ever made on demand.

#include <sys/socket.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/Object.h"
#include "platform/foundation/RunLoop.h"

namespace ql::sc {

using NetworkReachabilityFlags = std::uint32_t;

inline constexpr NetworkReachabilityFlags NetworkReachabilityFlagsTransientConnection = 1u << 0;
inline constexpr NetworkReachabilityFlags NetworkReachabilityFlagsReachable = 1u << 1;
inline constexpr NetworkReachabilityFlags NetworkReachabilityFlagsConnectionRequired = 1u << 2;
inline constexpr NetworkReachabilityFlags NetworkReachabilityFlagsConnectionOnTraffic = 1u << 3;
inline constexpr NetworkReachabilityFlags NetworkReachabilityFlagsInterventionRequired = 1u << 4;
inline constexpr NetworkReachabilityFlags NetworkReachabilityFlagsConnectionOnDemand = 1u << 5;
inline constexpr NetworkReachabilityFlags NetworkReachabilityFlagsIsLocalAddress = 1u << 16;
inline constexpr NetworkReachabilityFlags NetworkReachabilityFlagsIsDirect = 1u << 17;
inline constexpr NetworkReachabilityFlags NetworkReachabilityFlagsIsWWAN = 1u << 18;

class NetworkReachability final : public ns::Object {
    QL_OBJECT(NetworkReachability, ns::Object)
public:
    using Callback = std::function<void(NetworkReachability& target, NetworkReachabilityFlags flags)>;

    class Passkey {
        friend class NetworkReachability;
        Passkey() = default;
    };
    struct Target;
    NetworkReachability(Passkey, Target target);
    ~NetworkReachability() override;

    // nullptr for an empty name.
    static std::shared_ptr<NetworkReachability> createWithName(std::string_view hostName);
    // nullptr unless `address` is an IPv4 or IPv6 socket address.
    static std::shared_ptr<NetworkReachability> createWithAddress(const sockaddr* address);

    // The flags as they are now; false when they cannot be read. An unscheduled host name is resolved
    // here and now, which may take as long as the resolver does; a scheduled one answers what its last
    // resolution found.
    bool getFlags(NetworkReachabilityFlags& flags) const;

    // The callback runs where the target is scheduled, once for every change of its flags (for a host
    // name also once its first resolution is done). An empty callback removes it.
    bool setCallback(Callback callback);
    // A target is scheduled on run loops or on one dispatch queue, never both: false when it is already
    // scheduled the other way.
    bool scheduleWithRunLoop(const std::shared_ptr<ns::RunLoop>& runLoop, std::string_view mode);
    bool unscheduleFromRunLoop(const std::shared_ptr<ns::RunLoop>& runLoop, std::string_view mode);
    // nullptr unschedules from the current queue.
    bool setDispatchQueue(std::shared_ptr<ns::DispatchQueue> queue);

    // What is watched: a host name, or an IPv4/IPv6 address (the port is ignored).
    struct Target {
        std::string hostName;        // empty for an address
        sockaddr_storage address{};  // family AF_UNSPEC for a host name
    };

private:
    friend class ReachabilityCenter;
    struct RunLoopSchedule {
        std::weak_ptr<ns::RunLoop> runLoop;
        std::string mode;
    };

    bool isHostName() const { return !target_.hostName.empty(); }
    bool isScheduledLocked() const { return !runLoops_.empty() || queue_; }
    // Reads the flags again and reports them when they changed: called when the host's network changes,
    // or the flags injected by tests do.
    void refresh();
    // Called when the target became scheduled or stopped being so.
    void didSchedule();
    void didUnschedule();
    // Reports `flags` if they differ from the last reported; results of superseded lookups are dropped.
    void report(NetworkReachabilityFlags flags, std::uint64_t lookup);
    void performOnRunLoop();

    const Target target_;
    mutable std::mutex mutex_;
    Callback callback_;
    std::vector<RunLoopSchedule> runLoops_;
    std::shared_ptr<ns::RunLoopSource> source_;
    std::shared_ptr<ns::DispatchQueue> queue_;
    std::optional<NetworkReachabilityFlags> lastFlags_;  // while scheduled: what was last reported
    NetworkReachabilityFlags pendingFlags_ = 0;         // for the run loop source
    std::uint64_t lookup_ = 0;                          // the latest lookup started
};

}  // namespace ql::sc
