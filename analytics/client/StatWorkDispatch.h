#pragma once
// Turns every recording call, from any thread, into a unit of work that the recording core runs on the main
// thread, one at a time, in the order sent.

#include <cstdint>
#include <memory>

#include "platform/foundation/Object.h"
#include "platform/foundation/Value.h"

namespace ql {

class StatDispatchEvent : public ns::Object {
    QL_OBJECT(StatDispatchEvent, ns::Object)
public:
    // 0 session begin, 1 session end, 2 event, 3 error, 4 event with values, 5-8 timed events, 9-11 pages,
    // 12 sign-in, 13 sign-off.
    std::int16_t eEventType() const { return eEventType_; }
    void setEEventType(std::int16_t type) { eEventType_ = type; }
    // The work's argument: a record, a dictionary, a number or nothing.
    const ns::Value& object() const { return object_; }
    void setObject(ns::Value object) { object_ = std::move(object); }

private:
    std::int16_t eEventType_ = 0;
    ns::Value object_;
};

class StatWorkDispatch {
public:
    static StatWorkDispatch& sharedInstance();

    // The one entry point; returns at once, also on the main thread.
    static void sendEvent(ns::Value object, std::int16_t type);

    // Queues the work on the main thread behind everything queued before it.
    void dispatchEvent(std::shared_ptr<StatDispatchEvent> event);
    // Hands the event to the recording core.
    void workWithEvent(const StatDispatchEvent& event);
};

}  // namespace ql
