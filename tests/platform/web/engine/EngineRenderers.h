#pragma once
// The engine's renderer processes, found by the browser's own account, and a renderer ended as the system
// ends one (kill -9), for tests of pages whose own process ends.

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/types.h>
#include <unistd.h>

#include <memory>
#include <set>
#include <vector>

#include "platform/web/WebEngine.h"
#include "platform/web/WebEngineError.h"
#include "platform/web/WebEngineFields.h"

namespace ql::test {

inline std::shared_ptr<ui::WebEngine> runningEngine() {
    ns::Error error = ui::webEngineError(0, "");
    return ui::WebEngine::running(&error);
}

inline std::set<pid_t> renderers(ui::WebEngine& engine) {
    std::set<pid_t> found;
    const ns::Value info = engine.call("SystemInfo.getProcessInfo", {}, "");
    const ns::Value* processes = ui::fieldsOf(info).find("processInfo");
    if (!processes || !processes->asArray()) return found;
    for (const auto& process : *processes->asArray()) {
        const auto& fields = ui::fieldsOf(process);
        if (ui::textField(fields, "type") == "renderer") found.insert(static_cast<pid_t>(ui::numberField(fields, "id")));
    }
    return found;
}

inline std::vector<pid_t> renderersSince(ui::WebEngine& engine, const std::set<pid_t>& before) {
    std::vector<pid_t> fresh;
    for (pid_t pid : renderers(engine)) {
        if (!before.contains(pid)) fresh.push_back(pid);
    }
    return fresh;
}

// The one renderer that came since `before` was taken: the one serving the page opened meanwhile (each page
// has a process of its own).
inline pid_t newRenderer(ui::WebEngine& engine, const std::set<pid_t>& before) {
    const std::vector<pid_t> fresh = renderersSince(engine, before);
    EXPECT_EQ(fresh.size(), 1u);
    return fresh.size() == 1 ? fresh.front() : 0;
}

// Kills the process and waits until it has ended (on a descriptor the system makes readable then), so that
// nothing more comes from it; false when it could not be killed or outlived the bound.
inline bool killAndAwaitEnd(pid_t pid) {
    constexpr int kBoundMilliseconds = 10000;
    const int ending = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    if (ending < 0) return false;
    pollfd ended{ending, POLLIN, 0};
    const bool gone = kill(pid, SIGKILL) == 0 && poll(&ended, 1, kBoundMilliseconds) == 1;
    close(ending);
    return gone;
}

}  // namespace ql::test
