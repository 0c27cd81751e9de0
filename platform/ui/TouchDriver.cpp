#include "platform/ui/TouchDriver.h"

#include <algorithm>

#include "platform/foundation/Clock.h"
#include "platform/ui/Application.h"
#include "platform/ui/Event.h"
#include "platform/ui/Touch.h"
#include "platform/ui/Window.h"

namespace ql::ui {

std::shared_ptr<Window> TouchDriver::windowAt(cg::Point screenPoint) {
    auto windows = Application::sharedApplication().windows();
    for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
        Window& w = **it;
        if (w.isHidden() || !w.isUserInteractionEnabled()) continue;
        if (w.hitTest(w.convertPointFromWindow(screenPoint, nullptr), nullptr)) return *it;
    }
    return nullptr;
}

cg::Point TouchDriver::screenCenter(const View& view) {
    const cg::Rect b = view.bounds();
    const cg::Point inWindow = view.convertPointToView({cg::midX(b), cg::midY(b)}, nullptr);
    const Window* window = view.window();
    return window ? window->convertPointToWindow(inWindow, nullptr) : inWindow;
}

void TouchDriver::send() {
    TouchSet touches(fingers_.begin(), fingers_.end());
    auto event = std::make_shared<Event>(std::move(touches), ns::Clock::now());
    Application::sharedApplication().sendEvent(*event);
    fingers_.erase(std::remove_if(fingers_.begin(), fingers_.end(), [](const auto& t) { return !t->isActive(); }),
                   fingers_.end());
    for (auto& finger : fingers_) finger->hold();
}

std::shared_ptr<Touch> TouchDriver::down(cg::Point screenPoint, int tapCount) {
    auto window = windowAt(screenPoint);
    if (!window) return nullptr;
    auto touch = std::make_shared<Touch>(window, window->convertPointFromWindow(screenPoint, nullptr), ns::Clock::now(),
                                         tapCount);
    fingers_.push_back(touch);
    send();
    return touch;
}

void TouchDriver::move(const std::shared_ptr<Touch>& finger, cg::Point screenPoint) {
    if (!finger || !finger->isActive()) return;
    Window* window = finger->window();
    finger->moveTo(window ? window->convertPointFromWindow(screenPoint, nullptr) : screenPoint, ns::Clock::now());
    send();
}

void TouchDriver::up(const std::shared_ptr<Touch>& finger) {
    if (!finger || !finger->isActive()) return;
    finger->lift(ns::Clock::now());
    send();
}

void TouchDriver::cancel(const std::shared_ptr<Touch>& finger) {
    if (!finger || !finger->isActive()) return;
    finger->cancel(ns::Clock::now());
    send();
}

bool TouchDriver::tap(cg::Point screenPoint, int tapCount) {
    auto touch = down(screenPoint, tapCount);
    if (!touch) return false;
    up(touch);
    return true;
}

bool TouchDriver::tap(const View& view) { return tap(screenCenter(view)); }

void TouchDriver::drag(cg::Point from, cg::Point to, int steps) {
    auto touch = down(from);
    if (!touch) return;
    steps = std::max(1, steps);
    for (int i = 1; i <= steps; ++i) {
        const double t = double(i) / steps;
        move(touch, {from.x + (to.x - from.x) * t, from.y + (to.y - from.y) * t});
    }
    up(touch);
}

}  // namespace ql::ui
