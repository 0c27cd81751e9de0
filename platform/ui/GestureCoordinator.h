#pragma once
// ui::GestureCoordinator: the arbitration between the gesture recognisers of one window and the views
// they watch. Recognisers see each touch first (deepest view's first); one that recognises makes the
// others that cannot recognise with it fail, cuts the touches off from the views when it cancels them,
// and a recogniser that must wait for another to fail waits. Touch ends are held back from the views
// while a recogniser that delays them may still recognise.

#include <memory>
#include <utility>
#include <vector>

#include "platform/ui/GestureRecognizer.h"

namespace ql::ui {

class Event;
class Touch;
class View;

class GestureCoordinator {
public:
    // A touch began on `hitView`: the recognisers of that view and its ancestors start watching it.
    void touchBegan(const std::shared_ptr<Touch>& touch, View* hitView);
    // Runs the recognisers on the event's touches, then hands the touches to their views.
    void dispatch(Event& event);
    // A recogniser's request to change its state, made while dispatching or later (timers).
    void requestState(GestureRecognizer& recognizer, GestureRecognizerState state);
    // A recogniser leaves its view: it takes no further part.
    void forget(GestureRecognizer& recognizer);

private:
    bool shouldBegin(GestureRecognizer& recognizer);
    static bool simultaneous(GestureRecognizer& a, GestureRecognizer& b);
    std::vector<std::shared_ptr<GestureRecognizer>> activeRecognizers() const;
    void didRecognize(GestureRecognizer& recognizer);
    void didFail(GestureRecognizer& recognizer);
    void cancelTouchesInViews(GestureRecognizer& recognizer);
    bool endIsHeld(const Touch& touch) const;
    void releaseHeldEnds();
    void finishIdleRecognizers();

    struct Depth;

    std::vector<std::weak_ptr<GestureRecognizer>> active_;
    // Dispatches and state requests in progress; the outermost one tidies up when it ends.
    int depth_ = 0;
    std::vector<std::pair<std::shared_ptr<Touch>, std::shared_ptr<Event>>> heldEnds_;
};

}  // namespace ql::ui
