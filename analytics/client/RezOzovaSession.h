#pragma once
// The session state that the analytics client's decisions read: whether a session runs, and whether the app
// is in the background or being terminated. The session tracking sets it as the app moves.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

#include "platform/foundation/Locked.h"

namespace ql {

class RezOzovaSession {
public:
    static RezOzovaSession& sharedInstance();

    // 0: no session running.
    std::int32_t sessionStatus() const { return status_.load(); }
    void setSessionStatus(std::int32_t status) { status_.store(status); }
    bool appInBackGround() const { return background_.load(); }
    void setAppInBackGround(bool background) { background_.store(background); }
    bool appBeKilling() const { return killing_.load(); }
    void setAppBeKilling(bool killing) { killing_.store(killing); }

    // The running session's id, stamped on every record added.
    std::optional<std::string> sessionId() const { return ns::lockedCopy(mutex_, sessionId_); }
    void setSessionId(std::optional<std::string> id) { ns::lockedStore(mutex_, sessionId_, std::move(id)); }

private:
    mutable std::mutex mutex_;
    std::optional<std::string> sessionId_;
    std::atomic<std::int32_t> status_{0};
    std::atomic<bool> background_{false};
    std::atomic<bool> killing_{false};
};

}  // namespace ql
