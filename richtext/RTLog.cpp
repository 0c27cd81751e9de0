#include "richtext/RTLog.h"

#include <atomic>
#include <memory>
#include <mutex>

namespace ql {

namespace {

std::atomic<int> currentLevel{RTLogLevelInfo};

struct Hook {
    std::mutex lock;
    std::shared_ptr<const RTLogHook> hook;
};

Hook& installed() {
    static Hook& hook = *new Hook;
    return hook;
}

}  // namespace

void RTSetLogHook(RTLogHook hook) {
    Hook& state = installed();
    std::lock_guard guard(state.lock);
    state.hook = hook ? std::make_shared<const RTLogHook>(std::move(hook)) : nullptr;
}

void RTSetLogLevel(int level) { currentLevel.store(level); }
int RTLogLevelCurrent() { return currentLevel.load(); }

void RTLogMessage(int level, std::string_view message) {
    if (level > currentLevel.load()) return;
    std::shared_ptr<const RTLogHook> hook;
    {
        Hook& state = installed();
        std::lock_guard guard(state.lock);
        hook = state.hook;
    }
    // Called outside the lock, so a hook may log or replace itself.
    if (hook) (*hook)(level, message);
}

}  // namespace ql
