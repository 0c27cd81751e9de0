#pragma once
// NetNetworkActivityIndicatorManager: counts the requests in flight, from the start and finish
// notifications of operations and the resume, suspend and complete notifications of session tasks, and
// shows the status bar's network activity indicator while any runs. Showing is immediate; hiding waits
// a short moment so that back-to-back requests do not make it flicker. It touches nothing until enabled.

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Object.h"
#include "platform/foundation/Timer.h"
#include "platform/net/URLRequest.h"

namespace ql {

class NetNetworkActivityIndicatorManager final : public ns::Object {
    QL_OBJECT(NetNetworkActivityIndicatorManager, ns::Object)
public:
    // How long the indicator stays up after the last request ended.
    static constexpr double kInvisibilityDelay = 0.17;

    // The process-wide manager, made once.
    static std::shared_ptr<NetNetworkActivityIndicatorManager> sharedManager();
    // A manager listening to the request notifications of the default centre.
    static std::shared_ptr<NetNetworkActivityIndicatorManager> create();
    ~NetNetworkActivityIndicatorManager() override;

    // "networkActivityIndicatorVisible" changes with "activityCount": both are announced together.
    static std::set<std::string> keyPathsForValuesAffectingIsNetworkActivityIndicatorVisible();

    bool isEnabled() const;
    void setEnabled(bool enabled);
    std::int64_t activityCount() const;
    void setActivityCount(std::int64_t count);
    bool isNetworkActivityIndicatorVisible() const { return activityCount() > 0; }

    void incrementActivityCount();
    // Never below zero.
    void decrementActivityCount();

    // Count a request that announced its start, and uncount it when it announces its end. A request is
    // counted once however often it starts, and uncounted only when it was counted, so a task that is
    // suspended and then completes lowers the count once.
    void networkRequestDidStart(const ns::Notification& notification);
    void networkRequestDidFinish(const ns::Notification& notification);

    // On the main queue: shows at once, or hides after the delay (the timer reads the count when it fires).
    void updateNetworkActivityIndicatorVisibilityDelayed();
    void updateNetworkActivityIndicatorVisibility();

    std::shared_ptr<ns::Timer> activityIndicatorVisibilityTimer() const;
    void setActivityIndicatorVisibilityTimer(std::shared_ptr<ns::Timer> timer);

    ns::Value valueForKey(std::string_view key) const override;

private:
    NetNetworkActivityIndicatorManager() = default;
    // The request an operation or a session task carries; none for any other object.
    static std::optional<ns::URLRequest> requestOf(const ns::Notification& notification);
    void changeCount(std::int64_t delta);
    void scheduleDelayedUpdate();

    mutable std::mutex mutex_;
    bool enabled_ = false;
    std::int64_t activityCount_ = 0;
    std::shared_ptr<ns::Timer> activityIndicatorVisibilityTimer_;
    // The senders counted now; the weak pointer tells a new object at a reused address from a counted one.
    std::map<const ns::Object*, std::weak_ptr<ns::Object>> requestsInFlight_;
};

}  // namespace ql
