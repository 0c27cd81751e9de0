#include "analytics/client/RezOzovaSession.h"

#include <algorithm>
#include <utility>

#include "analytics/StatBaseEvent.h"
#include "analytics/client/StatProtocolData.h"

namespace ql {

namespace {

std::int64_t milliseconds(double seconds) { return StatBaseEvent::truncatedWithin<std::int64_t>(seconds * 1000); }

}  // namespace

RezOzovaSession& RezOzovaSession::sharedInstance() {
    static RezOzovaSession* session = new RezOzovaSession;
    return *session;
}

void RezOzovaSession::beginSession(double at) {
    std::lock_guard lock(mutex_);
    if (open_) return;
    open_ = true;
    startedAt_ = at;
    sessionId_ = StatProtocolData::UUIDMD5String();
    pages_.clear();
    status_.store(1);
}

std::shared_ptr<WireSession> RezOzovaSession::closeSession(double at) {
    std::lock_guard lock(mutex_);
    if (!open_) return nullptr;
    open_ = false;
    auto session = std::make_shared<WireSession>();
    session->setId(sessionId_.value_or(""));
    session->setStart_time(milliseconds(startedAt_));
    session->setEnd_time(milliseconds(at));
    // A clock set back during the session gives no negative duration.
    session->setDuration(std::max<std::int64_t>(0, milliseconds(at - startedAt_)));
    if (!pages_.empty())
        session->setPages(std::make_shared<WireRecordList<WirePage>>(std::exchange(pages_, {})));
    pagesBegun_.clear();
    return session;
}

void RezOzovaSession::beginPage(const std::string& name, double at) {
    std::lock_guard lock(mutex_);
    if (pagesBegun_.size() >= MaxPages && !pagesBegun_.contains(name)) return;
    pagesBegun_[name] = at;
}

std::optional<std::int64_t> RezOzovaSession::endPage(const std::string& name, double at) {
    std::lock_guard lock(mutex_);
    auto found = pagesBegun_.find(name);
    if (found == pagesBegun_.end()) return std::nullopt;
    const double began = found->second;
    pagesBegun_.erase(found);
    return std::max<std::int64_t>(0, milliseconds(at - began));
}

bool RezOzovaSession::addPage(std::shared_ptr<WirePage> page) {
    std::lock_guard lock(mutex_);
    if (!open_ || !page || pages_.size() >= MaxPages) return false;
    pages_.push_back(std::move(page));
    return true;
}

void RezOzovaSession::resetForTesting() {
    std::lock_guard lock(mutex_);
    open_ = false;
    sessionId_.reset();
    pages_.clear();
    pagesBegun_.clear();
    status_.store(0);
    background_.store(false);
    killing_.store(false);
}

}  // namespace ql
