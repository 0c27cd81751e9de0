#include "platform/ui/Responder.h"

#include "platform/ui/Keyboard.h"

namespace ql::ui {

void Responder::reloadInputViews() {
    if (isFirstResponder()) Keyboard::shared().reload(*this);
}

void Responder::touchesBegan(const TouchSet& touches, Event* event) {
    if (Responder* next = nextResponder()) next->touchesBegan(touches, event);
}

void Responder::touchesMoved(const TouchSet& touches, Event* event) {
    if (Responder* next = nextResponder()) next->touchesMoved(touches, event);
}

void Responder::touchesEnded(const TouchSet& touches, Event* event) {
    if (Responder* next = nextResponder()) next->touchesEnded(touches, event);
}

void Responder::touchesCancelled(const TouchSet& touches, Event* event) {
    if (Responder* next = nextResponder()) next->touchesCancelled(touches, event);
}

}  // namespace ql::ui
