#pragma once
// One change of an identity within a domain.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "analytics/WireRecord.h"

namespace ql {

class WireIdJournal final : public WireRecord<WireIdJournal> {
    QL_OBJECT(WireIdJournal, ns::Object)
    QL_WIRE_FIELD(1, WireString, domain, Domain, Required)
    QL_WIRE_FIELD(2, WireString, old_id, Old_id, Optional)
    QL_WIRE_FIELD(3, WireString, new_id, New_id, Required)
    QL_WIRE_FIELD(4, WireI64, ts, Ts, Required)
public:
    static constexpr std::string_view structName = "IdJournal";

    WireIdJournal() = default;
    // Sets every field, also those given as none.
    WireIdJournal(std::optional<std::string> domain, std::optional<std::string> old_id,
                  std::optional<std::string> new_id, std::int64_t ts);
};

}  // namespace ql
