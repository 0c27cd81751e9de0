#include "platform/ui/GestureRecognizer.h"

#include <algorithm>

#include "platform/ui/Touch.h"
#include "platform/ui/View.h"
#include "platform/ui/Window.h"

namespace ql::ui {

GestureRecognizer::GestureRecognizer(std::weak_ptr<ns::Object> target, Action action) {
    addTarget(std::move(target), std::move(action));
}

GestureRecognizer::~GestureRecognizer() = default;

void GestureRecognizer::addTarget(std::weak_ptr<ns::Object> target, Action action) {
    for (const auto& t : targets_) {
        if (!t.object.owner_before(target) && !target.owner_before(t.object) && t.action == action) return;
    }
    targets_.push_back({std::move(target), std::move(action)});
}

void GestureRecognizer::removeTarget(const ns::Object* target, const Action& action) {
    targets_.erase(std::remove_if(targets_.begin(), targets_.end(),
                                  [&](const Target& t) {
                                      const bool sameTarget = !target || t.object.lock().get() == target;
                                      const bool sameAction = !action || t.action == action;
                                      return sameTarget && sameAction;
                                  }),
                   targets_.end());
}

void GestureRecognizer::setEnabled(bool enabled) {
    if (enabled_ == enabled) return;
    if (!enabled) {
        if (state_ == GestureRecognizerState::Began || state_ == GestureRecognizerState::Changed) {
            setState(GestureRecognizerState::Cancelled);
        } else if (state_ == GestureRecognizerState::Possible && !touches_.empty()) {
            setState(GestureRecognizerState::Failed);
        }
    }
    willChangeValueForKey("enabled");
    enabled_ = enabled;
    didChangeValueForKey("enabled");
}

void GestureRecognizer::requireGestureRecognizerToFail(const std::shared_ptr<GestureRecognizer>& other) {
    if (other && other.get() != this) requiredToFail_.push_back(other);
}

void GestureRecognizer::setView(View* view) {
    if (view_ && view_->window()) view_->window()->gestures().forget(*this);
    view_ = view;
}

cg::Point GestureRecognizer::locationInView(const View* view) const {
    cg::Point sum;
    int count = 0;
    for (const auto& touch : touches_) {
        if (!touch->isActive()) continue;
        const cg::Point p = touch->locationInView(nullptr);
        sum.x += p.x;
        sum.y += p.y;
        ++count;
    }
    cg::Point inWindow = count ? cg::Point{sum.x / count, sum.y / count} : lastLocation_;
    if (count) const_cast<GestureRecognizer*>(this)->lastLocation_ = inWindow;
    const Window* window = view_ ? view_->window() : nullptr;
    if (!view || !window || view == window) return inWindow;
    return view->convertPointFromView(inWindow, window);
}

std::size_t GestureRecognizer::numberOfTouches() const {
    return static_cast<std::size_t>(std::count_if(touches_.begin(), touches_.end(), [](const auto& t) { return t->isActive(); }));
}

cg::Point GestureRecognizer::locationOfTouch(std::size_t index, const View* view) const {
    std::size_t i = 0;
    for (const auto& touch : touches_) {
        if (!touch->isActive()) continue;
        if (i++ == index) return touch->locationInView(view);
    }
    return locationInView(view);
}

ns::Value GestureRecognizer::valueForKey(std::string_view key) const {
    if (key == "state") return static_cast<std::int64_t>(state_);
    if (key == "enabled") return enabled_;
    return ns::Object::valueForKey(key);
}

void GestureRecognizer::setState(GestureRecognizerState state) {
    // The last known place of the touches survives their end, as locationInView promises.
    locationInView(nullptr);
    if (view_ && view_->window()) {
        view_->window()->gestures().requestState(*this, state);
        return;
    }
    applyState(state);
}

void GestureRecognizer::applyState(GestureRecognizerState state) {
    willChangeValueForKey("state");
    state_ = state;
    didChangeValueForKey("state");
    using S = GestureRecognizerState;
    const bool sends = isDiscrete() ? state == S::Ended
                                    : (state == S::Began || state == S::Changed || state == S::Ended || state == S::Cancelled);
    if (sends) sendActions();
}

void GestureRecognizer::sendActions() {
    auto keep = shared_from_this();
    for (const Target& t : std::vector<Target>(targets_)) {
        if (auto target = t.object.lock()) t.action.send(target.get(), this, nullptr);
    }
}

void GestureRecognizer::reset() {}

void GestureRecognizer::touchesBegan(const TouchSet&, Event&) {}
void GestureRecognizer::touchesMoved(const TouchSet&, Event&) {}
void GestureRecognizer::touchesEnded(const TouchSet&, Event&) {}

void GestureRecognizer::touchesCancelled(const TouchSet&, Event&) {
    using S = GestureRecognizerState;
    if (state_ == S::Began || state_ == S::Changed) setState(S::Cancelled);
    else if (state_ == S::Possible) setState(S::Failed);
}

void GestureRecognizer::ignoreTouch(const std::shared_ptr<Touch>& touch) {
    touches_.erase(std::remove(touches_.begin(), touches_.end(), touch), touches_.end());
    auto& list = touch->recognizers_;
    list.erase(std::remove_if(list.begin(), list.end(), [&](const auto& w) { return w.lock().get() == this; }), list.end());
}

}  // namespace ql::ui
