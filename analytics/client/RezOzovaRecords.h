#pragma once
// The log-entry builder: the records waiting to be sent, packed into one serialized and compressed log entry,
// and the reading of the log endpoint's reply (result code, imprint).

#include <cstddef>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "analytics/StatBaseEvent.h"
#include "analytics/WireIdTracking.h"
#include "platform/foundation/Data.h"

namespace ql {

class RezOzovaRecords {
public:
    using Container = std::vector<std::shared_ptr<StatBaseEvent>>;
    enum class Kind { Events, EventsWithValues, Errors };

    // A log entry of this many serialized bytes or more is dropped, records and all.
    static constexpr std::size_t MaxSerializedLength = std::size_t{4} << 20;
    // A compressed entry of this many bytes or more is dropped too.
    static constexpr std::size_t MaxCompressedLength = std::size_t{205} << 10;

    static RezOzovaRecords& sharedInstance();

    void add(Kind kind, std::shared_ptr<StatBaseEvent> record);
    // A copy of what waits in one container, oldest first.
    Container pending(Kind kind) const;
    bool hasPending() const;
    // How many records the last entityData packed.
    std::size_t packedCount() const;
    // Forgets the records the last entityData packed (records added since stay).
    void clearPacked();
    // Forgets every waiting record.
    void clearAll();

    // The waiting records as one log entry (an "InstantMsg" under the device identifier), written with the
    // binary protocol and compressed; tells the envelope builder the serialized length. Nothing when no record
    // waits, and nothing, with the records dropped, when the entry is too large.
    std::optional<ns::Data> entityData();
    // True when the reply is a "Response" with result code 1; then a complete imprint it carries is stored.
    bool verifyResponseData(const ns::Data& data);
    // Stores the identifier tracking under "statIDTracking", without its journal, when it has snapshots.
    void saveIdTracking();
    void setIdTracking(std::shared_ptr<WireIdTracking> tracking);
    // The log entry here never carries an activation message, so there is nothing to mark.
    void setActivateMsgFlag() {}

    // The value text of a property of the stored imprint ("statImprint"), or nothing.
    static std::optional<std::string> imprintPropertyValueWithKey(std::string_view key);

private:
    Container& container(Kind kind);
    const Container& container(Kind kind) const;

    mutable std::mutex mutex_;
    Container events_;
    Container eventsWithValues_;
    Container errors_;
    // Counts per container packed by the last entityData.
    std::size_t packedEvents_ = 0;
    std::size_t packedEventsWithValues_ = 0;
    std::size_t packedErrors_ = 0;
    std::shared_ptr<WireIdTracking> idTracking_;
};

}  // namespace ql
