#pragma once
// One session of use, from the app coming to the front to its leaving, with the pages seen in it. Positions
// and traffic have their places here too, though this client gathers neither.

#include <string_view>

#include "analytics/WireLocation.h"
#include "analytics/WirePage.h"
#include "analytics/WireRecord.h"
#include "analytics/WireTraffic.h"

namespace ql {

class WireSession final : public WireRecord<WireSession> {
    QL_OBJECT(WireSession, ns::Object)
    QL_WIRE_FIELD(1, WireString, id, Id, Required)
    QL_WIRE_FIELD(2, WireI64, start_time, Start_time, Required)  // milliseconds since 1970
    QL_WIRE_FIELD(3, WireI64, end_time, End_time, Required)
    QL_WIRE_FIELD(4, WireI64, duration, Duration, Required)      // milliseconds
    QL_WIRE_FIELD(5, WireList<WirePage>, pages, Pages, Optional)
    QL_WIRE_FIELD(6, WireList<WireLocation>, locations, Locations, Optional)
    QL_WIRE_FIELD(7, WireStruct<WireTraffic>, traffic, Traffic, Optional)
public:
    static constexpr std::string_view structName = "Session";
};

}  // namespace ql
