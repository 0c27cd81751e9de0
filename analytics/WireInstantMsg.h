#pragma once
// Errors and events gathered under one id between sessions.

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "analytics/WireError.h"
#include "analytics/WireEvent.h"
#include "analytics/WireRecord.h"

namespace ql {

class WireInstantMsg final : public WireRecord<WireInstantMsg> {
    QL_OBJECT(WireInstantMsg, ns::Object)
    QL_WIRE_FIELD(1, WireString, id, Id, Required)
    QL_WIRE_FIELD(2, WireList<WireError>, errors, Errors, Optional)
    QL_WIRE_FIELD(3, WireList<WireEvent>, events, Events, Optional)
    QL_WIRE_FIELD(4, WireList<WireEvent>, game_events, Game_events, Optional)
public:
    static constexpr std::string_view structName = "InstantMsg";

    WireInstantMsg() = default;
    // Sets every field, also those given as none.
    WireInstantMsg(std::optional<std::string> id, std::shared_ptr<WireRecordList<WireError>> errors,
                   std::shared_ptr<WireRecordList<WireEvent>> events,
                   std::shared_ptr<WireRecordList<WireEvent>> game_events);
};

}  // namespace ql
