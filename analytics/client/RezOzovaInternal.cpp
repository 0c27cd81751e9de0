#include "analytics/client/RezOzovaInternal.h"

#include <algorithm>
#include <cassert>

#include "analytics/StatError.h"
#include "analytics/StatEvent.h"
#include "analytics/StatLog.h"
#include "analytics/WirePage.h"
#include "analytics/client/RezOzovaApp.h"
#include "analytics/client/RezOzovaConfig.h"
#include "analytics/client/RezOzovaEnvelope.h"
#include "analytics/client/RezOzovaJob.h"
#include "analytics/client/RezOzovaSession.h"
#include "analytics/client/RezOzovaUtility.h"
#include "analytics/client/StatWorkDispatch.h"
#include "analytics/client/StatWorker.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Thread.h"

namespace ql {

namespace {

bool envelopeFileUsable(const std::string& path) {
    auto attributes = ns::FileManager::defaultManager().attributesOfItemAtPath(path);
    if (!attributes) return false;
    const double age = ns::Clock::now() - attributes->modificationDate.timeIntervalSince1970();
    return attributes->size < RezOzovaInternal::MaxEnvelopeBytes &&
           attributes->size > RezOzovaInternal::MinEnvelopeBytes && age <= RezOzovaInternal::MaxEnvelopeAge;
}

}  // namespace

RezOzovaInternal::RezOzovaInternal() : sendLogQueue_(std::make_shared<ns::OperationQueue>()) {
    sendLogQueue_->setName("StatSendLogQueue");
    sendLogQueue_->setMaxConcurrentOperationCount(1);
}

RezOzovaInternal& RezOzovaInternal::sharedInstance() {
    static RezOzovaInternal* internal = new RezOzovaInternal;
    return *internal;
}

void RezOzovaInternal::workEvent(const StatDispatchEvent& event) {
    assert(ns::Thread::isMainThread() && "recording work runs on the main thread");
    const auto type = event.eEventType();
    switch (type) {
    case 0: return sessionBegin();
    case 1: return sessionEnd(event.object());
    case 2:
    case 3:
    case 4: {
        const auto kind = type == 2   ? RezOzovaRecords::Kind::Events
                          : type == 3 ? RezOzovaRecords::Kind::Errors
                                      : RezOzovaRecords::Kind::EventsWithValues;
        return addToContainer(event.object().asObject<StatBaseEvent>(), kind);
    }
    case 5: return timedEvent(event.object(), false, true);
    case 6: return timedEvent(event.object(), false, false);
    case 7: return timedEvent(event.object(), true, true);
    case 8: return timedEvent(event.object(), true, false);
    case 9:
    case 10:
    case 11: return page(type, event.object());
    case 12:
    case 13: return account(type, event.object());
    default: statLog("Unknown event type: " + std::to_string(type));
    }
}

void RezOzovaInternal::sessionBegin() {
    RezOzovaRecords::sharedInstance().reloadCache();
    auto& session = RezOzovaSession::sharedInstance();
    session.beginSession(ns::Clock::now());
    if (!session.appInBackGround()) RezOzovaJob::preparePerformJob(0);
}

void RezOzovaInternal::sessionEnd(const ns::Value& at) {
    auto& session = RezOzovaSession::sharedInstance();
    auto& records = RezOzovaRecords::sharedInstance();
    if (auto closed = session.closeSession(at.isNumber() ? at.doubleValue() : ns::Clock::now());
        closed && !records.addSession(std::move(closed)))
        statLog("event limit reached, session dropped");
    // The send is considered while the session still counts as running, then the session closes.
    auto& app = RezOzovaApp::sharedInstance();
    if (app.reportPolicy() == 8 && app.backgroundTaskEnabled()) RezOzovaJob::preparePerformJob(1);
    session.setSessionStatus(0);
    // What could not be written stays in memory, for the next envelope or the next save.
    records.saveCache();
}

void RezOzovaInternal::addToContainer(const std::shared_ptr<StatBaseEvent>& record, RezOzovaRecords::Kind kind) {
    if (!record) return;
    record->session_id = RezOzovaSession::sharedInstance().sessionId();
    addEvent(record, kind);
}

void RezOzovaInternal::timedEvent(const ns::Value& object, bool withValues, bool beginning) {
    auto event = object.asObject<StatEvent>();
    if (!event) return;
    if (beginning) {
        if (!timedEvents_.begin(withValues, std::move(event))) statLog("event limit reached, timed event dropped");
        return;
    }
    auto begun = timedEvents_.end(withValues, *event);
    if (!begun) {
        statLog("timed event ended without a beginning: " + event->event_id.value_or("(null)"));
        return;
    }
    addToContainer(begun, withValues ? RezOzovaRecords::Kind::EventsWithValues : RezOzovaRecords::Kind::Events);
}

void RezOzovaInternal::page(std::int16_t type, const ns::Value& object) {
    auto& session = RezOzovaSession::sharedInstance();
    std::shared_ptr<WirePage> visit;
    if (type == 9) {
        visit = object.asObject<WirePage>();
    } else if (object.isString()) {
        const std::string name(object.asString());
        if (type == 10) return session.beginPage(name, ns::Clock::now());
        if (const auto duration = session.endPage(name, ns::Clock::now()))
            visit = std::make_shared<WirePage>(name, *duration);
        else statLog("page ended without a beginning: " + name);
    }
    if (visit && !session.addPage(visit)) statLog("no session to keep the page in, page dropped");
}

void RezOzovaInternal::account(std::int16_t type, const ns::Value& object) {
    auto& records = RezOzovaRecords::sharedInstance();
    if (type == 13) return records.signOff();
    const ns::Dictionary* account = object.asDictionary();
    const ns::Value* puid = account ? account->find("puid") : nullptr;
    if (!puid || !puid->isString() || puid->asString().empty()) {
        statLog("sign-in without an account id ignored");
        return;
    }
    const ns::Value* provider = account->find("provider");
    records.signIn(std::string(puid->asString()),
                   provider && provider->isString() && !provider->asString().empty()
                       ? std::optional<std::string>(std::string(provider->asString()))
                       : std::nullopt);
}

void RezOzovaInternal::addEvent(const std::shared_ptr<StatBaseEvent>& record, RezOzovaRecords::Kind container) {
    if (!record) return;
    if (!RezOzovaRecords::sharedInstance().add(container, record)) {
        statLog("event limit reached, record dropped");
        return;
    }
    if (auto event = std::dynamic_pointer_cast<StatEvent>(record)) event->outputStatLog();
    else if (auto error = std::dynamic_pointer_cast<StatError>(record)) error->outputStatLog();
    if (!RezOzovaSession::sharedInstance().appInBackGround()) RezOzovaJob::preparePerformJob(1);
}

bool RezOzovaInternal::hasJob() const { return RezOzovaRecords::sharedInstance().hasPending(); }

void RezOzovaInternal::generateEnvelopeFile() {
    auto& records = RezOzovaRecords::sharedInstance();
    if (!RezOzovaEnvelope::sharedInstance().makeEnvelopeData()) return;
    const std::int64_t packed = static_cast<std::int64_t>(records.packedCount());
    RezOzovaConfig::addToCount("statPeriodEvtCount", packed);
    records.clearPacked();
}

void RezOzovaInternal::beginPerformJob() {
    std::vector<std::string> paths;
    for (const auto& path : RezOzovaUtility::envelopeFiles()) {
        if (envelopeFileUsable(path)) paths.push_back(path);
        else RezOzovaUtility::removeFile(path);
    }
    // Names are creation times in milliseconds (with a same-millisecond suffix): name order is age order.
    std::sort(paths.begin(), paths.end());
    if (paths.empty() && (hasJob() || RezOzovaRecords::activateMsgPending())) {
        generateEnvelopeFile();
        for (const auto& path : RezOzovaUtility::envelopeFiles())
            if (envelopeFileUsable(path)) paths.push_back(path);
    }
    while (paths.size() > MaxEnvelopeFiles) {
        RezOzovaUtility::removeFile(paths.front());
        paths.erase(paths.begin());
    }
    if (paths.empty()) return;
    statLog("prepare to post log data");
    auto worker = std::make_shared<StatWorker>(std::move(paths));
    RezOzovaJob::sharedInstance().setJobRunning(true);
    sendLogQueue_->addOperation(worker);
}

std::optional<std::string> RezOzovaInternal::imprintValueWithKey(std::string_view key) {
    return RezOzovaRecords::imprintPropertyValueWithKey(key);
}

}  // namespace ql
