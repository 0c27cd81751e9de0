#pragma once
// ui::Responder: an object on the responder chain. Views, view controllers, windows and the application
// are responders; touches not handled by a responder travel to its next responder, and action messages
// without a target look for the first responder along the chain that responds to them.

#include <memory>
#include <set>

#include "platform/foundation/Object.h"

namespace ql::ui {

class Event;
class Touch;
class View;

using TouchSet = std::set<std::shared_ptr<Touch>>;

class Responder : public ns::Object {
    QL_OBJECT_NAMED(Responder, ns::Object, "UIResponder")
public:
    Responder() = default;

    // The next object up the chain; none at its end.
    virtual Responder* nextResponder() const { return nullptr; }

    // First responder status lives with the responder's window; see becomeFirstResponder for views.
    virtual bool canBecomeFirstResponder() const { return false; }
    virtual bool canResignFirstResponder() const { return true; }
    virtual bool becomeFirstResponder() { return false; }
    virtual bool resignFirstResponder() { return true; }
    virtual bool isFirstResponder() const { return false; }

    // What appears with the keyboard while this responder is first responder.
    virtual std::shared_ptr<View> inputView() const { return nullptr; }
    virtual std::shared_ptr<View> inputAccessoryView() const { return nullptr; }
    // Asks the keyboard to take the current input views again (announced with new keyboard frames).
    virtual void reloadInputViews();

    // Touches not handled here go to the next responder.
    virtual void touchesBegan(const TouchSet& touches, Event* event);
    virtual void touchesMoved(const TouchSet& touches, Event* event);
    virtual void touchesEnded(const TouchSet& touches, Event* event);
    virtual void touchesCancelled(const TouchSet& touches, Event* event);
};

}  // namespace ql::ui
