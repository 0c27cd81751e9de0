#include "analytics/WireIdJournal.h"

#include <utility>

namespace ql {

WireIdJournal::WireIdJournal(std::optional<std::string> domain, std::optional<std::string> old_id,
                             std::optional<std::string> new_id, std::int64_t ts) {
    setDomain(std::move(domain));
    setOld_id(std::move(old_id));
    setNew_id(std::move(new_id));
    setTs(ts);
}

}  // namespace ql
