#include "platform/ui/LongPressGestureRecognizer.h"

#include <cmath>

#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Timer.h"

namespace ql::ui {

LongPressGestureRecognizer::~LongPressGestureRecognizer() { stopTimer(); }

void LongPressGestureRecognizer::stopTimer() {
    if (timer_) timer_->invalidate();
    timer_.reset();
}

void LongPressGestureRecognizer::reset() { stopTimer(); }

void LongPressGestureRecognizer::touchesBegan(const TouchSet&, Event&) {
    const int down = static_cast<int>(numberOfTouches());
    if (state() != GestureRecognizerState::Possible) return;
    if (down > touchesRequired_) {
        setState(GestureRecognizerState::Failed);
        return;
    }
    if (down < touchesRequired_) return;
    start_ = locationInView(nullptr);
    std::weak_ptr<LongPressGestureRecognizer> weakSelf =
        std::static_pointer_cast<LongPressGestureRecognizer>(shared_from_this());
    timer_ = ns::Timer::timer(minimumPressDuration_, false, [weakSelf](ns::Timer&) {
        auto self = weakSelf.lock();
        if (self && self->state() == GestureRecognizerState::Possible) self->setState(GestureRecognizerState::Began);
    });
    ns::RunLoop::main()->addTimer(timer_, ns::RunLoopCommonModes);
}

void LongPressGestureRecognizer::touchesMoved(const TouchSet&, Event&) {
    if (state() == GestureRecognizerState::Possible) {
        const cg::Point p = locationInView(nullptr);
        if (std::hypot(p.x - start_.x, p.y - start_.y) > allowableMovement_) {
            stopTimer();
            setState(GestureRecognizerState::Failed);
        }
    } else if (state() == GestureRecognizerState::Began || state() == GestureRecognizerState::Changed) {
        setState(GestureRecognizerState::Changed);
    }
}

void LongPressGestureRecognizer::touchesEnded(const TouchSet&, Event&) {
    if (static_cast<int>(numberOfTouches()) >= touchesRequired_) return;
    stopTimer();
    if (state() == GestureRecognizerState::Possible) setState(GestureRecognizerState::Failed);
    else if (state() == GestureRecognizerState::Began || state() == GestureRecognizerState::Changed) {
        setState(GestureRecognizerState::Ended);
    }
}

}  // namespace ql::ui
