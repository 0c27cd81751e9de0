#include "platform/ui/TapGestureRecognizer.h"

#include <cmath>

#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Timer.h"
#include "platform/ui/Touch.h"

namespace ql::ui {

TapGestureRecognizer::~TapGestureRecognizer() { stopTimer(); }

void TapGestureRecognizer::stopTimer() {
    if (timer_) timer_->invalidate();
    timer_.reset();
}

void TapGestureRecognizer::reset() {
    stopTimer();
    taps_ = 0;
    fingers_ = 0;
}

bool TapGestureRecognizer::awaitsFurtherTouches() const {
    return state() == GestureRecognizerState::Possible && taps_ > 0 && taps_ < tapsRequired_;
}

void TapGestureRecognizer::touchesBegan(const TouchSet&, Event&) {
    stopTimer();
    const int down = static_cast<int>(numberOfTouches());
    if (down > touchesRequired_) {
        setState(GestureRecognizerState::Failed);
        return;
    }
    if (down > fingers_) fingers_ = down;
    if (down == 1) start_ = locationInView(nullptr);
}

void TapGestureRecognizer::touchesMoved(const TouchSet& touches, Event&) {
    for (const auto& touch : touches) {
        const cg::Point p = touch->locationInView(nullptr);
        if (std::hypot(p.x - start_.x, p.y - start_.y) > kAllowableMovement) {
            setState(GestureRecognizerState::Failed);
            return;
        }
    }
}

void TapGestureRecognizer::touchesEnded(const TouchSet&, Event&) {
    if (numberOfTouches() > 0) return;  // not every finger is up yet
    if (fingers_ != touchesRequired_) {
        setState(GestureRecognizerState::Failed);
        return;
    }
    fingers_ = 0;
    if (++taps_ >= tapsRequired_) {
        setState(GestureRecognizerStateRecognized);
        return;
    }
    std::weak_ptr<TapGestureRecognizer> weakSelf = std::static_pointer_cast<TapGestureRecognizer>(shared_from_this());
    timer_ = ns::Timer::timer(kMaximumTapInterval, false, [weakSelf](ns::Timer&) {
        auto self = weakSelf.lock();
        if (self && self->state() == GestureRecognizerState::Possible) self->setState(GestureRecognizerState::Failed);
    });
    ns::RunLoop::main()->addTimer(timer_, ns::RunLoopCommonModes);
}

}  // namespace ql::ui
