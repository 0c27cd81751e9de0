#include "net/uikit/NetRequestStateObserver.h"

#include "net/NetURLConnectionOperation.h"
#include "net/NetURLSessionNotifications.h"
#include "platform/foundation/DispatchQueue.h"

namespace ql {

NetRequestStateObserver::~NetRequestStateObserver() { ns::NotificationCenter::defaultCenter().removeObserver(this); }

void NetRequestStateObserver::observe(std::string_view name, const ns::Object* sender, bool on) {
    std::weak_ptr<ns::Object> weak = weak_from_this();
    ns::NotificationCenter::defaultCenter().addObserver(
        weak,
        [weak, on](const ns::Notification&) {
            ns::DispatchQueue::main()->async([weak, on] {
                auto self = std::static_pointer_cast<NetRequestStateObserver>(weak.lock());
                if (!self) return;
                if (on) {
                    self->switchOn();
                } else {
                    self->switchOff();
                }
            });
        },
        name, sender);
}

void NetRequestStateObserver::bindTask(const std::shared_ptr<ns::URLSessionTask>& task, TaskPolicy policy) {
    auto& center = ns::NotificationCenter::defaultCenter();
    center.removeObserver(this, NetNetworkingTaskDidResumeNotification, nullptr);
    center.removeObserver(this, NetNetworkingTaskDidSuspendNotification, nullptr);
    center.removeObserver(this, NetNetworkingTaskDidCompleteNotification, nullptr);
    if (!task) return;

    const auto state = task->state();
    const bool follow = policy == TaskPolicy::UnlessCompleted ? state != ns::URLSessionTaskState::Completed
                                                              : state == ns::URLSessionTaskState::Running;
    if (policy == TaskPolicy::UnlessCompleted && !follow) return;
    if (state == ns::URLSessionTaskState::Running) {
        switchOn();
    } else {
        switchOff();
    }
    if (!follow) return;
    observe(NetNetworkingTaskDidResumeNotification, task.get(), true);
    observe(NetNetworkingTaskDidCompleteNotification, task.get(), false);
    observe(NetNetworkingTaskDidSuspendNotification, task.get(), false);
}

void NetRequestStateObserver::bindOperation(const std::shared_ptr<ns::Operation>& operation) {
    auto& center = ns::NotificationCenter::defaultCenter();
    center.removeObserver(this, NetNetworkingOperationDidStartNotification, nullptr);
    center.removeObserver(this, NetNetworkingOperationDidFinishNotification, nullptr);
    if (!operation || operation->isFinished()) return;
    if (operation->isExecuting()) {
        switchOn();
    } else {
        switchOff();
    }
    observe(NetNetworkingOperationDidStartNotification, operation.get(), true);
    observe(NetNetworkingOperationDidFinishNotification, operation.get(), false);
}

}  // namespace ql
