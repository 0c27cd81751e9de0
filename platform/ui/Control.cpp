#include "platform/ui/Control.h"

#include <algorithm>

#include "platform/ui/Application.h"
#include "platform/ui/TapGestureRecognizer.h"
#include "platform/ui/Touch.h"

namespace ql::ui {

void Control::setEnabled(bool enabled) {
    if (enabled_ == enabled) return;
    enabled_ = enabled;
    if (!enabled && highlighted_) highlighted_ = false;
    stateDidChange();
}

void Control::setSelected(bool selected) {
    if (selected_ == selected) return;
    selected_ = selected;
    stateDidChange();
}

void Control::setHighlighted(bool highlighted) {
    if (highlighted_ == highlighted) return;
    highlighted_ = highlighted;
    stateDidChange();
}

unsigned Control::state() const {
    unsigned s = ControlStateNormal;
    if (highlighted_) s |= ControlStateHighlighted;
    if (!enabled_) s |= ControlStateDisabled;
    if (selected_) s |= ControlStateSelected;
    return s;
}

void Control::setContentHorizontalAlignment(ControlContentHorizontalAlignment alignment) {
    horizontal_ = alignment;
    setNeedsLayout();
}

void Control::setContentVerticalAlignment(ControlContentVerticalAlignment alignment) {
    vertical_ = alignment;
    setNeedsLayout();
}

// ---- Targets and actions ----

void Control::addTarget(std::weak_ptr<ns::Object> target, Action action, unsigned controlEvents) {
    const bool hasTarget = !target.expired();
    for (auto& e : entries_) {
        const bool sameTarget = e.hasTarget == hasTarget && !e.target.owner_before(target) && !target.owner_before(e.target);
        if (sameTarget && e.action == action) {
            e.events |= controlEvents;
            return;
        }
    }
    entries_.push_back({std::move(target), hasTarget, std::move(action), controlEvents});
}

void Control::removeTarget(const ns::Object* target, const Action& action, unsigned controlEvents) {
    for (auto& e : entries_) {
        const bool sameTarget = !target || e.target.lock().get() == target;
        const bool sameAction = !action || e.action == action;
        if (sameTarget && sameAction) e.events &= ~controlEvents;
    }
    entries_.erase(std::remove_if(entries_.begin(), entries_.end(), [](const Entry& e) { return e.events == 0; }),
                   entries_.end());
}

std::vector<std::shared_ptr<ns::Object>> Control::allTargets() const {
    std::vector<std::shared_ptr<ns::Object>> targets;
    for (const auto& e : entries_) {
        auto t = e.target.lock();
        if (t && std::find(targets.begin(), targets.end(), t) == targets.end()) targets.push_back(t);
    }
    return targets;
}

unsigned Control::allControlEvents() const {
    unsigned events = 0;
    for (const auto& e : entries_) events |= e.events;
    return events;
}

std::vector<Action> Control::actionsForTarget(const ns::Object* target, unsigned controlEvent) const {
    std::vector<Action> actions;
    for (const auto& e : entries_) {
        const bool sameTarget = target ? e.target.lock().get() == target : !e.hasTarget;
        if (sameTarget && (e.events & controlEvent)) actions.push_back(e.action);
    }
    return actions;
}

void Control::sendEvents(unsigned controlEvents, Event* event) {
    auto keep = sharedFromThis();
    const auto entries = entries_;
    for (const auto& e : entries) {
        if (!(e.events & controlEvents)) continue;
        auto target = e.target.lock();
        // A target that is gone no longer receives anything; one never given means the responder chain.
        if (e.hasTarget && !target) continue;
        sendAction(e.action, target.get(), event);
    }
}

void Control::sendActionsForControlEvents(unsigned controlEvents) { sendEvents(controlEvents, nullptr); }

void Control::sendAction(const Action& action, ns::Object* target, Event* event) {
    Application::sharedApplication().sendAction(action, target, this, event);
}

// ---- Tracking ----

bool Control::beginTrackingWithTouch(Touch&, Event*) { return true; }
bool Control::continueTrackingWithTouch(Touch&, Event*) { return true; }
void Control::endTrackingWithTouch(Touch*, Event*) {}
void Control::cancelTrackingWithEvent(Event*) {}

bool Control::insideWithSlop(const Touch& touch) const {
    return cg::rectContainsPoint(cg::rectInset(bounds(), -kTouchSlop, -kTouchSlop), touch.locationInView(this));
}

void Control::touchesBegan(const TouchSet& touches, Event* event) {
    if (!enabled_ || touches.empty() || !trackedTouch_.expired()) return;
    auto touch = *touches.begin();
    trackedTouch_ = touch;
    auto keep = sharedFromThis();
    tracking_ = beginTrackingWithTouch(*touch, event);
    touchInside_ = true;
    setHighlighted(true);
    unsigned events = ControlEventTouchDown;
    if (touch->tapCount() > 1) events |= ControlEventTouchDownRepeat;
    sendEvents(events, event);
}

void Control::touchesMoved(const TouchSet& touches, Event* event) {
    auto touch = trackedTouch_.lock();
    if (!touch || !touches.count(touch)) return;
    auto keep = sharedFromThis();
    const bool inside = insideWithSlop(*touch);
    if (tracking_) tracking_ = continueTrackingWithTouch(*touch, event);
    setHighlighted(inside);
    unsigned events = inside ? ControlEventTouchDragInside : ControlEventTouchDragOutside;
    if (inside && !touchInside_) events |= ControlEventTouchDragEnter;
    if (!inside && touchInside_) events |= ControlEventTouchDragExit;
    touchInside_ = inside;
    sendEvents(events, event);
}

void Control::touchesEnded(const TouchSet& touches, Event* event) {
    auto touch = trackedTouch_.lock();
    if (!touch || !touches.count(touch)) return;
    auto keep = sharedFromThis();
    trackedTouch_.reset();
    const bool inside = insideWithSlop(*touch);
    touchInside_ = inside;
    setHighlighted(false);
    if (tracking_) endTrackingWithTouch(touch.get(), event);
    tracking_ = false;
    sendEvents(inside ? ControlEventTouchUpInside : ControlEventTouchUpOutside, event);
}

void Control::touchesCancelled(const TouchSet& touches, Event* event) {
    auto touch = trackedTouch_.lock();
    if (!touch || !touches.count(touch)) return;
    auto keep = sharedFromThis();
    trackedTouch_.reset();
    setHighlighted(false);
    if (tracking_) cancelTrackingWithEvent(event);
    tracking_ = false;
    touchInside_ = false;
    sendEvents(ControlEventTouchCancel, event);
}

bool Control::gestureRecognizerShouldBegin(const GestureRecognizer& recognizer) const {
    const auto* tap = dynamic_cast<const TapGestureRecognizer*>(&recognizer);
    if (tap && recognizer.view() != this && tap->numberOfTapsRequired() == 1 && tap->numberOfTouchesRequired() == 1) {
        return false;
    }
    return true;
}

}  // namespace ql::ui
