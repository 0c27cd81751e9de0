#include "net/uikit/NetNetworkActivityIndicatorManager.h"

#include "net/NetURLConnectionOperation.h"
#include "net/NetURLSessionNotifications.h"
#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/RunLoop.h"
#include "platform/net/URLSessionTask.h"
#include "platform/ui/Application.h"

namespace ql {

std::shared_ptr<NetNetworkActivityIndicatorManager> NetNetworkActivityIndicatorManager::sharedManager() {
    static const auto& shared = *new std::shared_ptr<NetNetworkActivityIndicatorManager>(create());
    return shared;
}

std::shared_ptr<NetNetworkActivityIndicatorManager> NetNetworkActivityIndicatorManager::create() {
    std::shared_ptr<NetNetworkActivityIndicatorManager> manager(new NetNetworkActivityIndicatorManager());
    auto& center = ns::NotificationCenter::defaultCenter();
    auto* raw = manager.get();
    const auto started = [raw](const ns::Notification& n) { raw->networkRequestDidStart(n); };
    const auto finished = [raw](const ns::Notification& n) { raw->networkRequestDidFinish(n); };
    center.addObserver(manager, started, NetNetworkingOperationDidStartNotification);
    center.addObserver(manager, started, NetNetworkingTaskDidResumeNotification);
    center.addObserver(manager, finished, NetNetworkingOperationDidFinishNotification);
    center.addObserver(manager, finished, NetNetworkingTaskDidSuspendNotification);
    center.addObserver(manager, finished, NetNetworkingTaskDidCompleteNotification);
    return manager;
}

NetNetworkActivityIndicatorManager::~NetNetworkActivityIndicatorManager() {
    ns::NotificationCenter::defaultCenter().removeObserver(this);
    if (activityIndicatorVisibilityTimer_) activityIndicatorVisibilityTimer_->invalidate();
}

std::set<std::string> NetNetworkActivityIndicatorManager::keyPathsForValuesAffectingIsNetworkActivityIndicatorVisible() {
    return {"activityCount"};
}

bool NetNetworkActivityIndicatorManager::isEnabled() const {
    std::lock_guard lock(mutex_);
    return enabled_;
}

void NetNetworkActivityIndicatorManager::setEnabled(bool enabled) {
    willChangeValueForKey("enabled");
    {
        std::lock_guard lock(mutex_);
        enabled_ = enabled;
    }
    didChangeValueForKey("enabled");
}

std::int64_t NetNetworkActivityIndicatorManager::activityCount() const {
    std::lock_guard lock(mutex_);
    return activityCount_;
}

void NetNetworkActivityIndicatorManager::setActivityCount(std::int64_t count) {
    willChangeValueForKey("activityCount");
    willChangeValueForKey("networkActivityIndicatorVisible");
    {
        std::lock_guard lock(mutex_);
        activityCount_ = count;
    }
    didChangeValueForKey("networkActivityIndicatorVisible");
    didChangeValueForKey("activityCount");
    scheduleDelayedUpdate();
}

void NetNetworkActivityIndicatorManager::incrementActivityCount() { changeCount(1); }

void NetNetworkActivityIndicatorManager::decrementActivityCount() { changeCount(-1); }

void NetNetworkActivityIndicatorManager::changeCount(std::int64_t delta) {
    willChangeValueForKey("activityCount");
    willChangeValueForKey("networkActivityIndicatorVisible");
    {
        std::lock_guard lock(mutex_);
        activityCount_ = delta > 0 ? activityCount_ + delta : std::max<std::int64_t>(activityCount_ + delta, 0);
    }
    didChangeValueForKey("networkActivityIndicatorVisible");
    didChangeValueForKey("activityCount");
    scheduleDelayedUpdate();
}

void NetNetworkActivityIndicatorManager::scheduleDelayedUpdate() {
    std::weak_ptr<NetNetworkActivityIndicatorManager> weak =
        std::static_pointer_cast<NetNetworkActivityIndicatorManager>(shared_from_this());
    ns::DispatchQueue::main()->async([weak] {
        if (auto self = weak.lock()) self->updateNetworkActivityIndicatorVisibilityDelayed();
    });
}

std::optional<ns::URLRequest> NetNetworkActivityIndicatorManager::requestOf(const ns::Notification& notification) {
    const auto* sender = notification.sender();
    if (const auto* operation = dynamic_cast<const NetURLConnectionOperation*>(sender)) return operation->request();
    if (const auto* task = dynamic_cast<const ns::URLSessionTask*>(sender)) return task->originalRequest();
    return std::nullopt;
}

void NetNetworkActivityIndicatorManager::networkRequestDidStart(const ns::Notification& notification) {
    const auto request = requestOf(notification);
    if (!request || !request->URL()) return;
    {
        std::lock_guard lock(mutex_);
        auto [entry, inserted] = requestsInFlight_.try_emplace(notification.sender(), notification.object());
        if (!inserted) {
            const bool sameObject = !entry->second.expired() || !notification.object();
            if (sameObject) return;
            // A counted object died without announcing its end; the newcomer at its address takes its place.
            entry->second = notification.object();
            return;
        }
    }
    incrementActivityCount();
}

void NetNetworkActivityIndicatorManager::networkRequestDidFinish(const ns::Notification& notification) {
    const auto request = requestOf(notification);
    if (!request || !request->URL()) return;
    {
        std::lock_guard lock(mutex_);
        if (requestsInFlight_.erase(notification.sender()) == 0) return;
    }
    decrementActivityCount();
}

void NetNetworkActivityIndicatorManager::updateNetworkActivityIndicatorVisibilityDelayed() {
    if (!isEnabled()) return;
    std::weak_ptr<NetNetworkActivityIndicatorManager> weak =
        std::static_pointer_cast<NetNetworkActivityIndicatorManager>(shared_from_this());
    if (!isNetworkActivityIndicatorVisible()) {
        if (auto pending = activityIndicatorVisibilityTimer()) pending->invalidate();
        auto timer = ns::Timer::timer(kInvisibilityDelay, false, [weak](ns::Timer&) {
            if (auto self = weak.lock()) self->updateNetworkActivityIndicatorVisibility();
        });
        setActivityIndicatorVisibilityTimer(timer);
        ns::RunLoop::main()->addTimer(timer, ns::RunLoopCommonModes);
    } else {
        ns::RunLoop::main()->performBlock([weak] {
            if (auto self = weak.lock()) self->updateNetworkActivityIndicatorVisibility();
        });
    }
}

void NetNetworkActivityIndicatorManager::updateNetworkActivityIndicatorVisibility() {
    ui::Application::sharedApplication().setNetworkActivityIndicatorVisible(isNetworkActivityIndicatorVisible());
}

std::shared_ptr<ns::Timer> NetNetworkActivityIndicatorManager::activityIndicatorVisibilityTimer() const {
    std::lock_guard lock(mutex_);
    return activityIndicatorVisibilityTimer_;
}

void NetNetworkActivityIndicatorManager::setActivityIndicatorVisibilityTimer(std::shared_ptr<ns::Timer> timer) {
    std::lock_guard lock(mutex_);
    activityIndicatorVisibilityTimer_ = std::move(timer);
}

ns::Value NetNetworkActivityIndicatorManager::valueForKey(std::string_view key) const {
    if (key == "activityCount") return ns::Value(activityCount());
    if (key == "networkActivityIndicatorVisible") return ns::Value(isNetworkActivityIndicatorVisible());
    if (key == "enabled") return ns::Value(isEnabled());
    return ns::Object::valueForKey(key);
}

}  // namespace ql
