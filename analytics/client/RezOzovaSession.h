#pragma once
// The session tracking: whether a session runs and since when, the pages seen in it, and whether the app is
// in the background or being terminated. Sessions open and close with the dispatched session work; a closed
// session becomes a record that waits to be sent.

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "analytics/WirePage.h"
#include "analytics/WireSession.h"
#include "platform/foundation/Locked.h"

namespace ql {

class RezOzovaSession {
public:
    // Pages kept in one session, and pages begun and not yet ended, beyond which more are dropped.
    static constexpr std::size_t MaxPages = 5000;

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

    // Unless a session runs, opens one at the time (seconds since 1970) under a new id.
    void beginSession(double at);
    // Ends the running session at the time: its record, with the pages seen in it. The status stays for the
    // caller to clear (a send may still be considered inside the session). Nothing when no session runs.
    std::shared_ptr<WireSession> closeSession(double at);

    // Remembers when the named page began (a page begun again starts over).
    void beginPage(const std::string& name, double at);
    // The milliseconds since the named page began, which is then forgotten; nothing for a page not begun.
    std::optional<std::int64_t> endPage(const std::string& name, double at);
    // Adds the page to the running session; false (the page is not kept) when none runs or it is full.
    bool addPage(std::shared_ptr<WirePage> page);

    // Back to a process's start: no session, no pages, in the foreground.
    void resetForTesting();

private:
    mutable std::mutex mutex_;
    std::optional<std::string> sessionId_;
    double startedAt_ = 0;
    bool open_ = false;
    std::vector<std::shared_ptr<WirePage>> pages_;
    std::map<std::string, double> pagesBegun_;
    std::atomic<std::int32_t> status_{0};
    std::atomic<bool> background_{false};
    std::atomic<bool> killing_{false};
};

}  // namespace ql
