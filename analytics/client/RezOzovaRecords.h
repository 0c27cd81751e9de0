#pragma once
// The log-entry builder: the records waiting to be sent (events, events with values, errors, closed
// sessions), the identifier tracking, and the one-time activation message, packed into one serialized and
// compressed log entry together with the application, device, statistics and miscellaneous records; the
// record cache on disk between launches; and the reading of the log endpoint's reply (result code, imprint).

#include <cstddef>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "analytics/StatBaseEvent.h"
#include "analytics/WireIdTracking.h"
#include "analytics/WireImprint.h"
#include "analytics/WireSession.h"
#include "platform/foundation/Data.h"

namespace ql {

class RezOzovaRecordHold;

class RezOzovaRecords {
public:
    using Container = std::vector<std::shared_ptr<StatBaseEvent>>;
    using Sessions = std::vector<std::shared_ptr<WireSession>>;
    enum class Kind { Events, EventsWithValues, Errors };

    // Records beyond this many waiting in one container (sessions count as one) are dropped until a send
    // makes room.
    static constexpr std::size_t MaxWaitingRecords = 5000;
    // Identity changes kept for the next entry; the oldest go first.
    static constexpr std::size_t MaxJournals = 100;
    // A log entry of this many serialized bytes or more is dropped, records and all.
    static constexpr std::size_t MaxSerializedLength = std::size_t{4} << 20;
    // A compressed entry of this many bytes or more is dropped too.
    static constexpr std::size_t MaxCompressedLength = std::size_t{205} << 10;

    static RezOzovaRecords& sharedInstance();

    // False, and the record is not kept, when its container is full.
    bool add(Kind kind, std::shared_ptr<StatBaseEvent> record);
    bool addSession(std::shared_ptr<WireSession> session);
    // A copy of what waits in one container, oldest first.
    Container pending(Kind kind) const;
    Sessions pendingSessions() const;
    std::size_t pendingCount(Kind kind) const;
    bool hasPending() const;
    // How many events and errors the last entityData packed.
    std::size_t packedCount() const;
    // Forgets the records the last entityData packed (records added since stay).
    void clearPacked();
    // Forgets every waiting record here, as the app's end would: those taken back from the record cache
    // are still held on disk, for the next app (or the next start) to take over.
    void clearAll();

    // Moves the waiting records, and the identifier tracking with them, to the record cache on disk. False
    // when they could not be written; they then stay here for the next envelope or the next save.
    bool saveCache();
    // Takes the cached records back, before those waiting here (they are older); the cached tracking is
    // taken when none is held. They stay on disk, held, until an envelope or the cache has them again.
    void reloadCache();
    // Under the folder lock (RezOzovaFolderLock), once the last entityData packed every waiting record: saves
    // the envelope at the path, when nothing is there yet; the records held on disk leave in the same step.
    // False, with everything as it was, when it could not be saved.
    bool saveEnvelopeLocked(const ns::Data& envelope, const std::string& path);

    // Whether no activation message was ever sent from this installation.
    static bool activateMsgPending();
    // The waiting records as one log entry, with the activation message while it is pending, written with the
    // binary protocol and compressed; tells the envelope builder the serialized length. Nothing when there is
    // nothing to send, and nothing, with the records dropped, when the entry is too large.
    std::optional<ns::Data> entityData();
    // Once the last entry was saved: when it carried the activation message, stores that message's time under
    // "statActivateMsg" (only the first time).
    void setActivateMsgFlag();

    // True when the reply is a "Response" with result code 1; then a complete imprint it carries is stored.
    bool verifyResponseData(const ns::Data& data);
    // After the service accepted an entry: the journal entries that entry carried (`delivered`, nothing when
    // it carried none) leave the tracking held, and the tracking is stored under "statIDTracking". Changes
    // journaled since the entry was made stay for the next one.
    void saveIdTracking(const WireIdTracking* delivered);
    void setIdTracking(std::shared_ptr<WireIdTracking> tracking);
    // The tracking held, else the one stored under "statIDTracking"; nothing when there is neither.
    std::shared_ptr<WireIdTracking> idTracking();
    // A user account signed in ("puid", and its provider when given) or off: the account's identities in
    // the tracking change, and each change is journaled for the next entry.
    void signIn(const std::string& puid, const std::optional<std::string>& provider);
    void signOff();

    // The stored imprint ("statImprint"), decoded; nothing when none is stored or it cannot be read.
    static std::shared_ptr<WireImprint> storedImprint();
    // The value text of a property of the stored imprint, or nothing.
    static std::optional<std::string> imprintPropertyValueWithKey(std::string_view key);

private:
    Container& container(Kind kind);
    const Container& container(Kind kind) const;
    void clearLocked();
    // Drops every waiting record for good, those held on disk too (an entry too large to send).
    void dropAll();
    std::shared_ptr<WireIdTracking>& trackingLocked();
    void changeIdentityLocked(const std::string& domain, const std::optional<std::string>& identity);

    mutable std::mutex mutex_;
    Container events_;
    Container eventsWithValues_;
    Container errors_;
    Sessions sessions_;
    // Counts per container packed by the last entityData.
    std::size_t packedEvents_ = 0;
    std::size_t packedEventsWithValues_ = 0;
    std::size_t packedErrors_ = 0;
    std::size_t packedSessions_ = 0;
    std::shared_ptr<WireIdTracking> idTracking_;
    // Where the records taken back from the cache (the oldest waiting) are held on disk meanwhile.
    std::shared_ptr<RezOzovaRecordHold> hold_;
    // The time of the activation message the last entry carried.
    std::optional<std::int64_t> entryActivateMsgTs_;
};

}  // namespace ql
