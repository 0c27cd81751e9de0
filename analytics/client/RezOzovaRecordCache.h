#pragma once
// The record cache on disk: what is recorded waits here between launches (a session's end saves it, the next
// session's start takes it back). One file in the analytics folder, read and written under the folder's lock,
// so that apps sharing a home add to it and take from it without losing each other's records. A file that
// cannot be read back is set aside under another name and logged, never overwritten.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "analytics/StatBaseEvent.h"
#include "analytics/WireIdTracking.h"
#include "analytics/WireSession.h"

namespace ql {

struct RezOzovaCachedRecords {
    std::vector<std::shared_ptr<StatBaseEvent>> events;
    std::vector<std::shared_ptr<StatBaseEvent>> eventsWithValues;
    std::vector<std::shared_ptr<StatBaseEvent>> errors;
    std::vector<std::shared_ptr<WireSession>> sessions;
    std::shared_ptr<WireIdTracking> idTracking;

    bool empty() const {
        return events.empty() && eventsWithValues.empty() && errors.empty() && sessions.empty() && !idTracking;
    }
};

class RezOzovaRecordCache {
public:
    // A cache file larger than this is not read (and is set aside): the waiting records are bounded well below.
    static constexpr std::uint64_t MaxFileBytes = 32u << 20;

    static std::string path();
    // Adds the records after those the file holds (the tracking replaces the file's). False when they could not
    // be written: they stay the caller's to keep.
    static bool save(const RezOzovaCachedRecords& records);
    // Everything the file holds, oldest first; the file is gone afterwards.
    static RezOzovaCachedRecords take();
};

}  // namespace ql
