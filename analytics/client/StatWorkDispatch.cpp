#include "analytics/client/StatWorkDispatch.h"

#include <mutex>

#include "analytics/client/RezOzovaInternal.h"
#include "platform/foundation/DispatchQueue.h"

namespace ql {

namespace {
std::mutex handOver;
}

StatWorkDispatch& StatWorkDispatch::sharedInstance() {
    static StatWorkDispatch* dispatch = new StatWorkDispatch;
    return *dispatch;
}

void StatWorkDispatch::sendEvent(ns::Value object, std::int16_t type) {
    auto event = std::make_shared<StatDispatchEvent>();
    event->setEEventType(type);
    event->setObject(std::move(object));
    std::lock_guard lock(handOver);
    sharedInstance().dispatchEvent(std::move(event));
}

void StatWorkDispatch::dispatchEvent(std::shared_ptr<StatDispatchEvent> event) {
    // The main queue is first in, first out, and drained by the main run loop in a later turn.
    ns::DispatchQueue::main()->async([this, event = std::move(event)] { workWithEvent(*event); });
}

void StatWorkDispatch::workWithEvent(const StatDispatchEvent& event) { RezOzovaInternal::sharedInstance().workEvent(event); }

}  // namespace ql
