#pragma once
// ui::Event: the touches of one moment, as the input source hands them to the application. It carries
// every touch that is down (those that did not change are stationary) and those that just ended.

#include <memory>

#include "platform/foundation/Object.h"
#include "platform/ui/Responder.h"

namespace ql::ui {

class GestureRecognizer;
class View;
class Window;

class Event : public ns::Object {
    QL_OBJECT_NAMED(Event, ns::Object, "UIEvent")
public:
    enum class Type { Touches = 0, Motion = 1, RemoteControl = 2 };

    Event(TouchSet touches, double timestamp) : touches_(std::move(touches)), timestamp_(timestamp) {}

    Type type() const { return Type::Touches; }
    double timestamp() const { return timestamp_; }
    const TouchSet& allTouches() const { return touches_; }
    TouchSet touchesForView(const View* view) const;
    TouchSet touchesForWindow(const Window* window) const;
    TouchSet touchesForGestureRecognizer(const GestureRecognizer* recognizer) const;

private:
    TouchSet touches_;
    double timestamp_;
};

}  // namespace ql::ui
