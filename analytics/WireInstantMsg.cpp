#include "analytics/WireInstantMsg.h"

#include <utility>

namespace ql {

WireInstantMsg::WireInstantMsg(std::optional<std::string> id, std::shared_ptr<WireRecordList<WireError>> errors,
                               std::shared_ptr<WireRecordList<WireEvent>> events,
                               std::shared_ptr<WireRecordList<WireEvent>> game_events) {
    setId(std::move(id));
    setErrors(std::move(errors));
    setEvents(std::move(events));
    setGame_events(std::move(game_events));
}

}  // namespace ql
