#pragma once
// The current snapshot of each identity and the journal of their changes.

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "analytics/WireIdJournal.h"
#include "analytics/WireIdSnapshot.h"
#include "analytics/WireRecord.h"

namespace ql {

class WireIdTracking final : public WireRecord<WireIdTracking> {
    QL_OBJECT(WireIdTracking, ns::Object)
    QL_WIRE_FIELD(1, WireMap<WireIdSnapshot>, snapshots, Snapshots, Required)
    QL_WIRE_FIELD(2, WireList<WireIdJournal>, journals, Journals, Optional)
    QL_WIRE_FIELD(3, WireString, checksum, Checksum, Optional)
public:
    static constexpr std::string_view structName = "IdTracking";

    WireIdTracking() = default;
    // Sets every field, also those given as none.
    WireIdTracking(std::shared_ptr<WireRecordMap<WireIdSnapshot>> snapshots,
                   std::shared_ptr<WireRecordList<WireIdJournal>> journals, std::optional<std::string> checksum);
};

}  // namespace ql
