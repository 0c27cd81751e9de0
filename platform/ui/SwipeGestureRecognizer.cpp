#include "platform/ui/SwipeGestureRecognizer.h"

#include <cmath>

#include "platform/ui/Event.h"

namespace ql::ui {

void SwipeGestureRecognizer::touchesBegan(const TouchSet&, Event& event) {
    if (static_cast<int>(numberOfTouches()) > touchesRequired_) {
        setState(GestureRecognizerState::Failed);
        return;
    }
    start_ = locationInView(nullptr);
    startTime_ = event.timestamp();
}

void SwipeGestureRecognizer::touchesMoved(const TouchSet&, Event& event) {
    if (state() != GestureRecognizerState::Possible) return;
    if (event.timestamp() - startTime_ > kMaximumDuration) {
        setState(GestureRecognizerState::Failed);
        return;
    }
    if (static_cast<int>(numberOfTouches()) != touchesRequired_) return;
    const cg::Point now = locationInView(nullptr);
    const double dx = now.x - start_.x;
    const double dy = now.y - start_.y;
    struct Way {
        unsigned bit;
        double along;
        double across;
    };
    const Way ways[] = {{SwipeGestureRecognizerDirectionRight, dx, dy},
                        {SwipeGestureRecognizerDirectionLeft, -dx, dy},
                        {SwipeGestureRecognizerDirectionDown, dy, dx},
                        {SwipeGestureRecognizerDirectionUp, -dy, dx}};
    for (const Way& way : ways) {
        if ((direction_ & way.bit) && way.along >= kMinimumDistance && std::fabs(way.across) <= way.along / 2) {
            setState(GestureRecognizerStateRecognized);
            return;
        }
    }
}

void SwipeGestureRecognizer::touchesEnded(const TouchSet&, Event&) {
    if (numberOfTouches() == 0 && state() == GestureRecognizerState::Possible) {
        setState(GestureRecognizerState::Failed);
    }
}

}  // namespace ql::ui
