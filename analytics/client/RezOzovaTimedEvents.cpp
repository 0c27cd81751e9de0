#include "analytics/client/RezOzovaTimedEvents.h"

#include <utility>

namespace ql {

bool RezOzovaTimedEvents::begin(bool withValues, std::shared_ptr<StatEvent> event) {
    if (!event) return false;
    Key key{withValues, event->event_id, event->label};
    std::lock_guard lock(mutex_);
    if (begun_.size() >= MaxBegun && !begun_.contains(key)) return false;
    begun_[std::move(key)] = std::move(event);
    return true;
}

std::shared_ptr<StatEvent> RezOzovaTimedEvents::end(bool withValues, const StatEvent& ending) {
    std::shared_ptr<StatEvent> event;
    {
        std::lock_guard lock(mutex_);
        auto found = begun_.find(Key{withValues, ending.event_id, ending.label});
        if (found == begun_.end()) return nullptr;
        event = std::move(found->second);
        begun_.erase(found);
    }
    event->updateDu();
    return event;
}

void RezOzovaTimedEvents::clear() {
    std::lock_guard lock(mutex_);
    begun_.clear();
}

}  // namespace ql
