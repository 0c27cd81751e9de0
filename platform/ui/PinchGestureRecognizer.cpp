#include "platform/ui/PinchGestureRecognizer.h"

#include <cmath>

#include "platform/ui/Event.h"

namespace ql::ui {

double PinchGestureRecognizer::distance() const {
    const cg::Point a = locationOfTouch(0, nullptr);
    const cg::Point b = locationOfTouch(1, nullptr);
    return std::hypot(a.x - b.x, a.y - b.y);
}

void PinchGestureRecognizer::setScale(double scale) {
    scale_ = scale;
    if (numberOfTouches() >= 2 && scale != 0) baseDistance_ = distance() / scale;
}

void PinchGestureRecognizer::reset() {
    scale_ = 1;
    velocity_ = 0;
    baseDistance_ = 0;
}

void PinchGestureRecognizer::touchesBegan(const TouchSet& touches, Event& event) {
    for (const auto& touch : touches) {
        if (numberOfTouches() > 2) ignoreTouch(touch);
    }
    if (numberOfTouches() == 2 && state() == GestureRecognizerState::Possible) {
        baseDistance_ = distance();
        lastTime_ = event.timestamp();
    }
}

void PinchGestureRecognizer::touchesMoved(const TouchSet&, Event& event) {
    if (numberOfTouches() < 2 || baseDistance_ <= 0) return;
    const double d = distance();
    if (state() == GestureRecognizerState::Possible) {
        if (std::fabs(d - baseDistance_) <= kHysteresis) return;
    }
    const double newScale = d / baseDistance_;
    const double dt = event.timestamp() - lastTime_;
    if (dt > 0) velocity_ = (newScale - scale_) / dt;
    lastTime_ = event.timestamp();
    scale_ = newScale;
    if (state() == GestureRecognizerState::Possible) setState(GestureRecognizerState::Began);
    else if (state() == GestureRecognizerState::Began || state() == GestureRecognizerState::Changed) {
        setState(GestureRecognizerState::Changed);
    }
}

void PinchGestureRecognizer::touchesEnded(const TouchSet&, Event&) {
    if (numberOfTouches() >= 2) return;
    if (state() == GestureRecognizerState::Possible) {
        if (numberOfTouches() == 0) setState(GestureRecognizerState::Failed);
    } else if (state() == GestureRecognizerState::Began || state() == GestureRecognizerState::Changed) {
        setState(GestureRecognizerState::Ended);
    }
}

}  // namespace ql::ui
