#include "analytics/client/RezOzovaInternal.h"

#include <algorithm>
#include <cassert>

#include "analytics/StatError.h"
#include "analytics/StatEvent.h"
#include "analytics/StatLog.h"
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

// Records beyond this many waiting in one container are dropped until a send makes room.
constexpr std::size_t MaxWaitingRecords = 5000;

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
    auto& session = RezOzovaSession::sharedInstance();
    const auto type = event.eEventType();
    switch (type) {
    case 0:
        // The waiting records live in memory for the life of the process: nothing to reload.
        if (session.sessionStatus() == 0) session.setSessionStatus(1);
        if (!session.appInBackGround()) RezOzovaJob::preparePerformJob(0);
        return;
    case 1:
        // The send is considered while the session still counts as running, then the session closes.
        if (RezOzovaApp::sharedInstance().reportPolicy() == 8 && RezOzovaApp::sharedInstance().backgroundTaskEnabled())
            RezOzovaJob::preparePerformJob(1);
        session.setSessionStatus(0);
        return;
    case 2:
    case 3:
    case 4: {
        auto record = event.object().asObject<StatBaseEvent>();
        if (!record) return;
        const auto kind = type == 2   ? RezOzovaRecords::Kind::Events
                          : type == 3 ? RezOzovaRecords::Kind::Errors
                                      : RezOzovaRecords::Kind::EventsWithValues;
        if (RezOzovaRecords::sharedInstance().pending(kind).size() >= MaxWaitingRecords) {
            statLog("event limit reached, record dropped");
            return;
        }
        record->session_id = session.sessionId();
        addEvent(record, kind);
        return;
    }
    default:
        if (type >= 5 && type <= 13) {
            // Timed events, pages and accounts belong to the session tracking, which this client does not carry.
            statLog("Event type not recorded here: " + std::to_string(type));
            return;
        }
        statLog("Unknown event type: " + std::to_string(type));
        return;
    }
}

void RezOzovaInternal::addEvent(const std::shared_ptr<StatBaseEvent>& record, RezOzovaRecords::Kind container) {
    if (!record) return;
    RezOzovaRecords::sharedInstance().add(container, record);
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
    if (paths.empty() && hasJob()) {
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
