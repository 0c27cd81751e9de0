#pragma once
// The recording core, as far as the analytics client's delivery needs it: runs dispatched work on the main
// thread, keeps added records, and starts send jobs (envelope files, then an upload worker on its queue).

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "analytics/StatBaseEvent.h"
#include "analytics/client/RezOzovaRecords.h"
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
    // Sends the envelope files on disk with an upload worker on the send-log queue.
    void beginPerformJob();
    static std::optional<std::string> imprintValueWithKey(std::string_view key);

    const std::shared_ptr<ns::OperationQueue>& sendLogQueue() const { return sendLogQueue_; }

private:
    RezOzovaInternal();
    std::shared_ptr<ns::OperationQueue> sendLogQueue_;
};

}  // namespace ql
