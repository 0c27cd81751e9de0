#include "platform/ui/GestureCoordinator.h"

#include <algorithm>
#include <map>

#include "platform/foundation/Clock.h"
#include "platform/ui/Event.h"
#include "platform/ui/Touch.h"
#include "platform/ui/View.h"

namespace ql::ui {

namespace {

bool isTerminal(GestureRecognizerState state) {
    return state == GestureRecognizerState::Ended || state == GestureRecognizerState::Cancelled ||
           state == GestureRecognizerState::Failed;
}

bool hasActiveTouches(const std::vector<std::shared_ptr<Touch>>& touches) {
    return std::any_of(touches.begin(), touches.end(), [](const auto& t) { return t->isActive(); });
}

using PhaseCall = void (Responder::*)(const TouchSet&, Event*);

// Hands each view its touches of one phase, in one call per view.
void deliverToViews(const std::vector<std::shared_ptr<Touch>>& touches, Event& event, PhaseCall call) {
    std::map<View*, TouchSet> byView;
    std::vector<std::shared_ptr<View>> order;
    for (const auto& touch : touches) {
        auto view = touch->view();
        if (!view) continue;
        if (byView.find(view) == byView.end()) order.push_back(view->sharedFromThis());
        byView[view].insert(touch);
    }
    for (const auto& view : order) (view.get()->*call)(byView[view.get()], &event);
}

}  // namespace

// Recognisers that reached the end of their gesture are reset once the outermost step is over.
struct GestureCoordinator::Depth {
    explicit Depth(GestureCoordinator& c) : coordinator(c) { ++coordinator.depth_; }
    ~Depth() {
        if (--coordinator.depth_ == 0) coordinator.finishIdleRecognizers();
    }
    GestureCoordinator& coordinator;
};

std::vector<std::shared_ptr<GestureRecognizer>> GestureCoordinator::activeRecognizers() const {
    std::vector<std::shared_ptr<GestureRecognizer>> result;
    for (const auto& weak : active_) {
        if (auto r = weak.lock()) result.push_back(std::move(r));
    }
    return result;
}

void GestureCoordinator::touchBegan(const std::shared_ptr<Touch>& touch, View* hitView) {
    for (View* v = hitView; v; v = v->superview()) {
        for (const auto& recognizer : std::vector<std::shared_ptr<GestureRecognizer>>(v->gestureRecognizers())) {
            if (!recognizer->isEnabled() || recognizer->waiting_ || isTerminal(recognizer->state())) continue;
            if (auto delegate = recognizer->delegate()) {
                if (!delegate->gestureRecognizerShouldReceiveTouch(*recognizer, *touch)) continue;
            }
            recognizer->touches_.push_back(touch);
            touch->recognizers_.push_back(recognizer);
            auto known = std::find_if(active_.begin(), active_.end(),
                                      [&](const auto& w) { return w.lock() == recognizer; });
            if (known == active_.end()) active_.push_back(recognizer);
        }
    }
}

void GestureCoordinator::dispatch(Event& event) {
    Depth depth(*this);
    static constexpr TouchPhase kPhases[] = {TouchPhase::Began, TouchPhase::Moved, TouchPhase::Ended,
                                             TouchPhase::Cancelled};
    for (TouchPhase phase : kPhases) {
        for (const auto& recognizer : activeRecognizers()) {
            if (!recognizer->isEnabled() || recognizer->waiting_ || isTerminal(recognizer->state())) continue;
            TouchSet mine;
            for (const auto& touch : recognizer->touches_) {
                if (touch->phase() == phase && event.allTouches().count(touch)) mine.insert(touch);
            }
            if (mine.empty()) continue;
            switch (phase) {
                case TouchPhase::Began: recognizer->touchesBegan(mine, event); break;
                case TouchPhase::Moved: recognizer->touchesMoved(mine, event); break;
                case TouchPhase::Ended: recognizer->touchesEnded(mine, event); break;
                default: recognizer->touchesCancelled(mine, event); break;
            }
        }
    }

    auto shared = std::static_pointer_cast<Event>(event.shared_from_this());
    std::vector<std::shared_ptr<Touch>> began, moved, ended, cancelled;
    for (const auto& touch : event.allTouches()) {
        // A touch that its window has not taken in yet (a window further up, whose turn comes later) has
        // no view to begin on here.
        if (!touch->registered_) continue;
        if (!touch->deliverToView_ || touch->cancelledForView_ || touch->viewSawEnd_) continue;
        switch (touch->phase()) {
            case TouchPhase::Began:
                if (!touch->viewSawBegin_) {
                    touch->viewSawBegin_ = true;
                    began.push_back(touch);
                }
                break;
            case TouchPhase::Moved: moved.push_back(touch); break;
            case TouchPhase::Ended:
                if (endIsHeld(*touch)) {
                    if (std::none_of(heldEnds_.begin(), heldEnds_.end(), [&](const auto& h) { return h.first == touch; })) {
                        heldEnds_.emplace_back(touch, shared);
                    }
                } else {
                    touch->viewSawEnd_ = true;
                    ended.push_back(touch);
                }
                break;
            case TouchPhase::Cancelled:
                touch->viewSawEnd_ = true;
                if (touch->viewSawBegin_) cancelled.push_back(touch);
                break;
            case TouchPhase::Stationary: break;
        }
    }
    deliverToViews(began, event, &Responder::touchesBegan);
    deliverToViews(moved, event, &Responder::touchesMoved);
    deliverToViews(ended, event, &Responder::touchesEnded);
    deliverToViews(cancelled, event, &Responder::touchesCancelled);
}

bool GestureCoordinator::shouldBegin(GestureRecognizer& recognizer) {
    if (auto delegate = recognizer.delegate()) {
        if (!delegate->gestureRecognizerShouldBegin(recognizer)) return false;
    }
    for (const auto& touch : recognizer.touches_) {
        View* hit = touch->view();
        if (hit && hit != recognizer.view() && !hit->gestureRecognizerShouldBegin(recognizer)) return false;
    }
    return true;
}

bool GestureCoordinator::simultaneous(GestureRecognizer& a, GestureRecognizer& b) {
    if (auto d = a.delegate()) {
        if (d->gestureRecognizerShouldRecognizeSimultaneouslyWithGestureRecognizer(a, b)) return true;
    }
    if (auto d = b.delegate()) {
        if (d->gestureRecognizerShouldRecognizeSimultaneouslyWithGestureRecognizer(b, a)) return true;
    }
    return false;
}

void GestureCoordinator::requestState(GestureRecognizer& recognizer, GestureRecognizerState state) {
    using S = GestureRecognizerState;
    auto keep = std::static_pointer_cast<GestureRecognizer>(recognizer.shared_from_this());
    Depth depth(*this);
    const S current = recognizer.state();
    if (current == S::Possible && (state == S::Began || state == S::Ended)) {
        if (!shouldBegin(recognizer)) {
            recognizer.waiting_ = false;
            recognizer.applyState(S::Failed);
            didFail(recognizer);
            return;
        }
        for (const auto& other : activeRecognizers()) {
            if (other.get() == &recognizer) continue;
            const S s = other->state();
            const bool recognized = s == S::Began || s == S::Changed || (s == S::Ended && !other->touches_.empty());
            if (recognized && !simultaneous(recognizer, *other) && other->canPreventGestureRecognizer(recognizer) &&
                recognizer.canBePreventedByGestureRecognizer(*other)) {
                recognizer.waiting_ = false;
                recognizer.applyState(S::Failed);
                didFail(recognizer);
                return;
            }
        }
        for (const auto& weak : recognizer.requiredToFail_) {
            auto required = weak.lock();
            if (!required) continue;
            const S s = required->state();
            if (s == S::Began || s == S::Changed || s == S::Ended) {
                recognizer.waiting_ = false;
                recognizer.applyState(S::Failed);
                didFail(recognizer);
                return;
            }
            const bool inPlay = std::any_of(active_.begin(), active_.end(), [&](const auto& w) { return w.lock() == required; });
            if (s == S::Possible && inPlay) {
                recognizer.waiting_ = true;
                recognizer.waitingFor_ = state;
                return;
            }
        }
        recognizer.waiting_ = false;
        recognizer.applyState(state);
        didRecognize(recognizer);
        return;
    }
    if (current == S::Possible && (state == S::Failed || state == S::Cancelled)) {
        recognizer.waiting_ = false;
        recognizer.applyState(S::Failed);
        didFail(recognizer);
        return;
    }
    if ((current == S::Began || current == S::Changed) &&
        (state == S::Changed || state == S::Ended || state == S::Cancelled)) {
        recognizer.applyState(state);
        return;
    }
    if (state == S::Possible) recognizer.applyState(state);
}

void GestureCoordinator::didRecognize(GestureRecognizer& recognizer) {
    // Recognisers that cannot go along with this one fail.
    for (const auto& other : activeRecognizers()) {
        if (other.get() == &recognizer || other->state() != GestureRecognizerState::Possible) continue;
        if (simultaneous(recognizer, *other) || !recognizer.canPreventGestureRecognizer(*other) ||
            !other->canBePreventedByGestureRecognizer(recognizer)) {
            continue;
        }
        other->waiting_ = false;
        other->applyState(GestureRecognizerState::Failed);
        didFail(*other);
    }
    // Those that waited for this one to fail fail as well.
    for (const auto& other : activeRecognizers()) {
        if (!other->waiting_) continue;
        for (const auto& weak : other->requiredToFail_) {
            if (weak.lock().get() == &recognizer) {
                other->waiting_ = false;
                other->applyState(GestureRecognizerState::Failed);
                didFail(*other);
                break;
            }
        }
    }
    if (recognizer.cancelsTouchesInView()) cancelTouchesInViews(recognizer);
}

void GestureCoordinator::didFail(GestureRecognizer& recognizer) {
    for (const auto& other : activeRecognizers()) {
        if (!other->waiting_) continue;
        bool waitsForThis = false;
        bool stillWaiting = false;
        for (const auto& weak : other->requiredToFail_) {
            auto required = weak.lock();
            if (!required) continue;
            if (required.get() == &recognizer) waitsForThis = true;
            else if (required->state() == GestureRecognizerState::Possible &&
                     std::any_of(active_.begin(), active_.end(), [&](const auto& w) { return w.lock() == required; })) {
                stillWaiting = true;
            }
        }
        if (waitsForThis && !stillWaiting) {
            other->waiting_ = false;
            requestState(*other, other->waitingFor_);
        }
    }
    releaseHeldEnds();
}

void GestureCoordinator::cancelTouchesInViews(GestureRecognizer& recognizer) {
    std::vector<std::shared_ptr<Touch>> cut;
    for (const auto& touch : recognizer.touches_) {
        if (touch->cancelledForView_) continue;
        touch->cancelledForView_ = true;
        heldEnds_.erase(std::remove_if(heldEnds_.begin(), heldEnds_.end(), [&](const auto& h) { return h.first == touch; }),
                        heldEnds_.end());
        if (touch->deliverToView_ && touch->viewSawBegin_ && !touch->viewSawEnd_) {
            touch->viewSawEnd_ = true;
            cut.push_back(touch);
        }
    }
    if (cut.empty()) return;
    TouchSet set(cut.begin(), cut.end());
    auto event = std::make_shared<Event>(set, ns::Clock::now());
    deliverToViews(cut, *event, &Responder::touchesCancelled);
}

bool GestureCoordinator::endIsHeld(const Touch& touch) const {
    for (const auto& weak : touch.recognizers_) {
        auto r = weak.lock();
        if (r && r->isEnabled() && r->delaysTouchesEnded() && r->state() == GestureRecognizerState::Possible &&
            (r->waiting_ || r->awaitsFurtherTouches())) {
            return true;
        }
    }
    return false;
}

void GestureCoordinator::releaseHeldEnds() {
    auto held = std::move(heldEnds_);
    heldEnds_.clear();
    for (auto& [touch, event] : held) {
        if (touch->cancelledForView_ || touch->viewSawEnd_) continue;
        if (endIsHeld(*touch)) {
            heldEnds_.emplace_back(touch, event);
            continue;
        }
        touch->viewSawEnd_ = true;
        deliverToViews({touch}, *event, &Responder::touchesEnded);
    }
}

void GestureCoordinator::finishIdleRecognizers() {
    for (const auto& recognizer : activeRecognizers()) {
        if (hasActiveTouches(recognizer->touches_)) continue;
        const bool idle = recognizer->state() == GestureRecognizerState::Possible && !recognizer->waiting_ &&
                          !recognizer->awaitsFurtherTouches();
        if (!isTerminal(recognizer->state()) && !idle) continue;
        for (const auto& touch : recognizer->touches_) {
            auto& list = touch->recognizers_;
            list.erase(std::remove_if(list.begin(), list.end(), [&](const auto& w) { return w.lock() == recognizer; }),
                       list.end());
        }
        recognizer->touches_.clear();
        recognizer->waiting_ = false;
        if (recognizer->state() != GestureRecognizerState::Possible) recognizer->applyState(GestureRecognizerState::Possible);
        recognizer->reset();
        active_.erase(std::remove_if(active_.begin(), active_.end(),
                                     [&](const auto& w) { return w.expired() || w.lock() == recognizer; }),
                      active_.end());
    }
    releaseHeldEnds();
}

void GestureCoordinator::forget(GestureRecognizer& recognizer) {
    active_.erase(std::remove_if(active_.begin(), active_.end(),
                                 [&](const auto& w) { return w.expired() || w.lock().get() == &recognizer; }),
                  active_.end());
}

}  // namespace ql::ui
