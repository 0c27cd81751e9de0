// The device's fingers and keyboard.

#include <algorithm>
#include <cmath>

#include "platform/device/Device.h"
#include "platform/device/ViewQuery.h"
#include "platform/device/ViewTreeDump.h"
#include "platform/foundation/Exception.h"
#include "platform/foundation/Text.h"
#include "platform/ui/KeyInput.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Touch.h"
#include "platform/ui/Window.h"

namespace ql::sim {

// Where a finger can touch a view: the middle of its visible part, in screen coordinates, and that part
// in the window's coordinates; or why it cannot.
struct Device::Reach {
    cg::Point screenPoint;
    cg::Rect visible;
    std::string problem;
};

namespace {

// "UIButton \"Sign in\"": the class and the words it shows, for messages.
std::string describe(const ui::View& view) {
    std::string text(view.className());
    auto words = titleOf(view);
    if (!words) words = textOf(view);
    if (words && words->empty() && placeholderOf(view)) words = placeholderOf(view);
    if (!words) words = view.accessibilityLabel();
    if (words) text += " \"" + *words + "\"";
    return text;
}

cg::Point middle(const cg::Rect& rect) { return {cg::midX(rect), cg::midY(rect)}; }

cg::Point clampToScreen(cg::Point point) {
    const cg::Rect screen = ui::Screen::mainScreen().bounds();
    return {std::clamp(point.x, cg::minX(screen), cg::maxX(screen) - 1),
            std::clamp(point.y, cg::minY(screen), cg::maxY(screen) - 1)};
}

[[noreturn]] void cannot(const std::string& reason) { throw ns::Exception(ns::InvalidArgumentException, reason); }

}  // namespace

Device::Reach Device::reach(const ui::View& view) const {
    Reach reach;
    ui::Window* window = view.window();
    if (!window || !isShown(view)) {
        reach.problem = describe(view) + " is not shown";
        return reach;
    }
    cg::Rect visible = view.convertRectToView(view.bounds(), nullptr);
    for (const ui::View* v = view.superview(); v; v = v->superview()) {
        if (v->clipsToBounds()) visible = cg::rectIntersection(visible, v->convertRectToView(v->bounds(), nullptr));
    }
    visible = cg::rectIntersection(visible, window->bounds());
    if (cg::rectIsEmpty(visible)) {
        reach.problem = describe(view) + " is off screen";
        return reach;
    }
    reach.visible = visible;
    reach.screenPoint = window->convertPointToWindow(middle(visible), nullptr);
    const auto front = ui::TouchDriver::windowAt(reach.screenPoint);
    if (front.get() != window) {
        reach.problem = describe(view) + " is covered by " +
                        (front ? std::string(front->className()) : "nothing that takes touches");
        return reach;
    }
    const ui::View* hit = window->hitTest(middle(visible), nullptr);
    if (!hit || !(hit == &view || hit->isDescendantOfView(&view) || view.isDescendantOfView(hit))) {
        reach.problem = describe(view) + " is covered by " + (hit ? describe(*hit) : "nothing that takes touches");
    }
    return reach;
}

// ---- Fingers ----

void Device::press(cg::Point screenPoint, double duration) {
    auto finger = fingers_.down(screenPoint);
    if (!finger) cannot("no window takes a touch at " + cg::toString(screenPoint));
    try {
        MainLoop::advance(duration);
        fingers_.up(finger);
    } catch (...) {
        fingers_.cancel(finger);
        throw;
    }
    MainLoop::runReadyWork();
}

void Device::stroke(cg::Point from, cg::Point to, double duration, int steps) {
    if (steps < 1 || !(duration >= 0)) cannot("a stroke takes at least one move and no negative time");
    auto finger = fingers_.down(from);
    if (!finger) cannot("no window takes a touch at " + cg::toString(from));
    try {
        for (int i = 1; i <= steps; ++i) {
            MainLoop::advance(duration / steps);
            const double t = double(i) / steps;
            fingers_.move(finger, {from.x + (to.x - from.x) * t, from.y + (to.y - from.y) * t});
        }
        fingers_.up(finger);
    } catch (...) {
        fingers_.cancel(finger);
        throw;
    }
    MainLoop::runReadyWork();
}

void Device::tap(const ui::View& view) {
    const Reach r = reach(view);
    if (!r.problem.empty()) cannot("cannot tap " + r.problem);
    press(r.screenPoint, kTapDuration);
}

void Device::tap(std::string_view words) {
    const auto found = findAll(words);
    if (found.empty()) {
        std::string reason = "nothing shown says \"" + std::string(words) + "\"";
        if (auto key = keyWindow()) reason += "; the key window holds:\n" + dumpViewTree(*key);
        cannot(reason);
    }
    for (const auto& view : found) {
        const Reach r = reach(*view);
        if (r.problem.empty()) {
            press(r.screenPoint, kTapDuration);
            return;
        }
    }
    cannot("cannot tap " + reach(*found.front()).problem);
}

void Device::tap(cg::Point screenPoint) { press(screenPoint, kTapDuration); }

void Device::drag(cg::Point from, cg::Point to, double duration, int steps) { stroke(from, to, duration, steps); }

void Device::drag(const ui::View& view, cg::Point offset, double duration, int steps) {
    const Reach r = reach(view);
    if (!r.problem.empty()) cannot("cannot drag " + r.problem);
    stroke(r.screenPoint, {r.screenPoint.x + offset.x, r.screenPoint.y + offset.y}, duration, steps);
}

void Device::swipe(const ui::View& view, Direction direction) {
    const Reach r = reach(view);
    if (!r.problem.empty()) cannot("cannot swipe " + r.problem);
    const bool horizontal = direction == Direction::Left || direction == Direction::Right;
    const double extent = horizontal ? r.visible.size.width : r.visible.size.height;
    const double half = std::max(0.6 * extent, 100.0) / 2;
    const double sign = direction == Direction::Right || direction == Direction::Down ? 1 : -1;
    const cg::Point c = r.screenPoint;
    const cg::Point delta = horizontal ? cg::Point{sign * half, 0} : cg::Point{0, sign * half};
    stroke(clampToScreen({c.x - delta.x, c.y - delta.y}), clampToScreen({c.x + delta.x, c.y + delta.y}),
           kSwipeDuration, kSwipeSteps);
}

void Device::swipe(cg::Point from, cg::Point to) { stroke(from, to, kSwipeDuration, kSwipeSteps); }

// ---- Keyboard ----

std::shared_ptr<ui::KeyInput> Device::textInput(std::string_view what) const {
    auto key = keyWindow();
    if (!key) cannot(std::string(what) + " needs a key window");
    ui::Responder* responder = key->firstResponder();
    auto* input = dynamic_cast<ui::KeyInput*>(responder);
    if (!input) {
        cannot(std::string(what) + " needs a first responder that takes text" +
               (responder ? ", not " + std::string(responder->className()) : ", and there is none"));
    }
    // Held for the keystroke: a return may end editing and take the field off the screen.
    return std::shared_ptr<ui::KeyInput>(responder->shared_from_this(), input);
}

void Device::type(std::string_view text) {
    if (!ns::isValidUTF8(text)) cannot("typed text must be UTF-8");
    // The keystrokes come faster than the screen redraws: the work they leave (layout, display, posted
    // blocks) runs once after the line, so typing costs time in proportion to its length.
    for (std::string_view character : ns::composedCharacterSequences(text)) {
        textInput("typing")->insertText(std::string(character));
    }
    MainLoop::runReadyWork();
}

void Device::pressReturn() {
    textInput("the return key")->insertText("\n");
    MainLoop::runReadyWork();
}

void Device::pressBackspace(int times) {
    if (times < 0) cannot("the backspace key cannot be pressed a negative number of times");
    for (int i = 0; i < times; ++i) {
        textInput("the backspace key")->deleteBackward();
        MainLoop::runReadyWork();
    }
}

}  // namespace ql::sim
