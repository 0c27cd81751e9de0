#include "net/NetURLSessionTaskSwizzling.h"

#include <mutex>
#include <string>

#include "net/NetURLSessionNotifications.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Runtime.h"
#include "platform/net/URLSessionTask.h"

namespace ql {

namespace {

// Calls the platform's method, then announces the call when the task was not already in `unchanged`.
ns::URLSessionTask::MethodHook announcing(ns::URLSessionTaskState unchanged, std::string_view notification) {
    return [unchanged, notification](ns::URLSessionTask& task, const std::function<void()>& original) {
        const ns::URLSessionTaskState before = task.state();
        original();
        if (before != unchanged) ns::NotificationCenter::defaultCenter().post(notification, &task);
    };
}

}  // namespace

void NetURLSessionTaskSwizzling::registerLoadHook() {
    ns::Runtime::registerLoadHook(ns::Runtime::LoadPhase::ClassLoad, std::string(kLoadHookName), &load);
}

void NetURLSessionTaskSwizzling::load() {
    static std::once_flag installed;
    std::call_once(installed, [] {
        ns::URLSessionTask::installResumeHook(
            announcing(ns::URLSessionTaskState::Running, NetURLSessionTaskDidResumeNotification));
        ns::URLSessionTask::installSuspendHook(
            announcing(ns::URLSessionTaskState::Suspended, NetURLSessionTaskDidSuspendNotification));
    });
}

}  // namespace ql
