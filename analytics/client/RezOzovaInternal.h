#pragma once
// The recording core: runs the dispatched work on the main thread (sessions, events, errors, timed events,
// pages, accounts), keeps added records, and starts send jobs (envelope files, then an upload worker on its
// queue).

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "analytics/StatBaseEvent.h"
#include "platform/foundation/Value.h"
#include "analytics/client/RezOzovaRecords.h"
#include "analytics/client/RezOzovaTimedEvents.h"
#include "platform/foundation/OperationQueue.h"

namespace ql {

class StatDispatchEvent;

class RezOzovaInternal {
public:
    // Envelope files the job starter keeps: at most this many, each smaller than MaxEnvelopeBytes, larger than
    // MinEnvelopeBytes and younger than MaxEnvelopeAge seconds.
    static constexpr std::size_t MaxEnvelopeFiles = 10;
    static constexpr std::uint64_t MaxEnvelopeBytes = 256 * 1024;
    static constexpr std::uint64_t MinEnvelopeBytes = 10;
    static constexpr double MaxEnvelopeAge = 14 * 24 * 3600;

    static RezOzovaInternal& sharedInstance();

    // The work for the event's type, on the main thread.
    void workEvent(const StatDispatchEvent& event);
    // Adds the record, logs it and, in the foreground, considers a send (trigger 1); a missing record does
    // nothing.
    void addEvent(const std::shared_ptr<StatBaseEvent>& record, RezOzovaRecords::Kind container);
    bool hasJob() const;
    // Packs the waiting records into an envelope file.
    void generateEnvelopeFile();
    // Sends the envelope files on disk with an upload worker on the send-log queue; when none waits, first
    // packs the waiting records, or the activation message while it was never sent, into a new one.
    void beginPerformJob();
    static std::optional<std::string> imprintValueWithKey(std::string_view key);

    const std::shared_ptr<ns::OperationQueue>& sendLogQueue() const { return sendLogQueue_; }
    RezOzovaTimedEvents& timedEvents() { return timedEvents_; }

private:
    RezOzovaInternal();
    // Checks the limit, stamps the session and adds the record.
    void addToContainer(const std::shared_ptr<StatBaseEvent>& record, RezOzovaRecords::Kind kind);
    void sessionBegin();
    void sessionEnd(const ns::Value& at);
    void timedEvent(const ns::Value& object, bool withValues, bool beginning);
    void page(std::int16_t type, const ns::Value& object);
    void account(std::int16_t type, const ns::Value& object);

    std::shared_ptr<ns::OperationQueue> sendLogQueue_;
    RezOzovaTimedEvents timedEvents_;
};

}  // namespace ql
