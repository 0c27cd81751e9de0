#include "analytics/WireIdTracking.h"

#include <utility>

namespace ql {

WireIdTracking::WireIdTracking(std::shared_ptr<WireRecordMap<WireIdSnapshot>> snapshots,
                               std::shared_ptr<WireRecordList<WireIdJournal>> journals,
                               std::optional<std::string> checksum) {
    setSnapshots(std::move(snapshots));
    setJournals(std::move(journals));
    setChecksum(std::move(checksum));
}

}  // namespace ql
