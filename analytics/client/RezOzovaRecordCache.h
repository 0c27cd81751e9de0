#pragma once
// The record cache on disk: what is recorded waits here between launches (a session's end saves it, the next
// session's start takes it back). One file in the analytics folder, read and written under the folder's lock,
// so that apps sharing a home add to it and take from it without losing each other's records. Records taken
// back stay on disk, held by the app that took them (RezOzovaRecordHold.h), until they are in an envelope or
// in the cache again. A file that cannot be read back is set aside under another name and logged, never
// overwritten.

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "analytics/StatBaseEvent.h"
#include "analytics/StatLog.h"
#include "analytics/WireIdTracking.h"
#include "analytics/WireSession.h"

namespace ql {

class RezOzovaRecordHold;

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
    // Adds the records after those the file holds (the tracking replaces the file's). With a hold, the records
    // given include those it holds, and it lets go of them in the same step. False when they could not be
    // written: they stay the caller's to keep, and the hold stays as it was.
    static bool save(const RezOzovaCachedRecords& records, RezOzovaRecordHold* hold);
    // What the file holds and what holds of apps that have ended hold, oldest first, at most `limit` records of
    // each kind (the oldest give way). They move into the hold, which is made when there is none; nothing is
    // taken when nothing can be held (the records then wait on disk for a later take). Also removes what
    // writes in the analytics folder cut short by the end of their app left.
    static RezOzovaCachedRecords take(std::shared_ptr<RezOzovaRecordHold>& hold, std::size_t limit);
};

// Keeps the newest `limit` records (those at the end), logging how many older ones were dropped.
template <class Records>
void keepNewest(Records& records, std::size_t limit) {
    if (records.size() <= limit) return;
    statLog("event limit reached, " + std::to_string(records.size() - limit) + " cached records dropped");
    records.erase(records.begin(), records.end() - static_cast<std::ptrdiff_t>(limit));
}

}  // namespace ql
