#include "platform/ui/PanGestureRecognizer.h"

#include <cmath>

#include "platform/ui/Event.h"
#include "platform/ui/View.h"
#include "platform/ui/Window.h"

namespace ql::ui {

cg::Point PanGestureRecognizer::vectorInView(cg::Point vector, const View* v) const {
    const Window* window = view() ? view()->window() : nullptr;
    if (!v || !window || v == window) return vector;
    const cg::Point a = v->convertPointFromView({0, 0}, window);
    const cg::Point b = v->convertPointFromView(vector, window);
    return {b.x - a.x, b.y - a.y};
}

cg::Point PanGestureRecognizer::translationInView(const View* v) const {
    const cg::Point now = locationInView(nullptr);
    return vectorInView({now.x - origin_.x + carried_.x, now.y - origin_.y + carried_.y}, v);
}

void PanGestureRecognizer::setTranslation(cg::Point translation, const View* v) {
    // Kept in window coordinates: the view's vector is turned back through the inverse conversion.
    const cg::Point unit = vectorInView({1, 0}, v);
    const cg::Point unitY = vectorInView({0, 1}, v);
    const double det = unit.x * unitY.y - unitY.x * unit.y;
    cg::Point inWindow = translation;
    if (det != 0) {
        inWindow = {(translation.x * unitY.y - unitY.x * translation.y) / det,
                    (unit.x * translation.y - translation.x * unit.y) / det};
    }
    origin_ = locationInView(nullptr);
    carried_ = inWindow;
}

cg::Point PanGestureRecognizer::velocityInView(const View* v) const { return vectorInView(velocity_, v); }

void PanGestureRecognizer::reset() {
    carried_ = {};
    velocity_ = {};
    fingers_ = 0;
}

void PanGestureRecognizer::rebase() {
    // A finger landing or lifting moves the centroid; the translation must not jump with it.
    const cg::Point before = last_;
    const cg::Point now = locationInView(nullptr);
    origin_.x += now.x - before.x;
    origin_.y += now.y - before.y;
    last_ = now;
    fingers_ = numberOfTouches();
}

void PanGestureRecognizer::touchesBegan(const TouchSet& touches, Event& event) {
    for (const auto& touch : touches) {
        if (numberOfTouches() > maximumTouches_) ignoreTouch(touch);
    }
    if (fingers_ == 0) {
        origin_ = last_ = locationInView(nullptr);
        lastTime_ = event.timestamp();
        fingers_ = numberOfTouches();
    } else {
        rebase();
    }
}

void PanGestureRecognizer::touchesMoved(const TouchSet&, Event& event) {
    if (numberOfTouches() != fingers_) rebase();
    const cg::Point now = locationInView(nullptr);
    const double dt = event.timestamp() - lastTime_;
    if (dt > 0) velocity_ = {(now.x - last_.x) / dt, (now.y - last_.y) / dt};
    last_ = now;
    lastTime_ = event.timestamp();
    if (state() == GestureRecognizerState::Possible) {
        if (numberOfTouches() >= minimumTouches_ &&
            std::hypot(now.x - origin_.x, now.y - origin_.y) > kHysteresis) {
            setState(GestureRecognizerState::Began);
        }
    } else if (state() == GestureRecognizerState::Began || state() == GestureRecognizerState::Changed) {
        setState(GestureRecognizerState::Changed);
    }
}

void PanGestureRecognizer::touchesEnded(const TouchSet&, Event&) {
    if (numberOfTouches() >= minimumTouches_ && numberOfTouches() > 0) {
        rebase();
        return;
    }
    if (state() == GestureRecognizerState::Possible) setState(GestureRecognizerState::Failed);
    else if (state() == GestureRecognizerState::Began || state() == GestureRecognizerState::Changed) {
        setState(GestureRecognizerState::Ended);
    }
}

}  // namespace ql::ui
