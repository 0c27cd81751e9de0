#include "platform/ui/Event.h"

#include "platform/ui/Touch.h"

namespace ql::ui {

TouchSet Event::touchesForView(const View* view) const {
    TouchSet result;
    for (const auto& touch : touches_) {
        if (touch->view() == view) result.insert(touch);
    }
    return result;
}

TouchSet Event::touchesForWindow(const Window* window) const {
    TouchSet result;
    for (const auto& touch : touches_) {
        if (touch->window() == window) result.insert(touch);
    }
    return result;
}

TouchSet Event::touchesForGestureRecognizer(const GestureRecognizer* recognizer) const {
    TouchSet result;
    for (const auto& touch : touches_) {
        for (const auto& r : touch->gestureRecognizers()) {
            if (r.lock().get() == recognizer) result.insert(touch);
        }
    }
    return result;
}

}  // namespace ql::ui
