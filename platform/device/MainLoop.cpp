#include "platform/device/MainLoop.h"

#include <algorithm>

#include "platform/foundation/Clock.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/Exception.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/MainThread.h"

namespace ql::sim {

namespace {

// Moves the clock to `time`: a manual clock steps through the deadlines before it; on real time the loop
// runs until then.
void passTo(double time) {
    if (ns::Clock::isManual()) {
        ns::Clock::advanceTo(time);
    } else {
        ns::RunLoop::main()->runUntilDate(ns::Date::fromTimeIntervalSince1970(time));
    }
}

}  // namespace

bool MainLoop::runReadyWork() {
    ui::assertMainThread();
    // With no time to wait, runUntil makes passes until one finds nothing to do and asks the condition
    // once before each: every question after the first means a pass did some work.
    int questions = 0;
    ns::RunLoop::main()->runUntil([&questions] {
        ++questions;
        return false;
    }, 0);
    return questions > 1;
}

void MainLoop::advance(double seconds) {
    advanceUntil([] { return false; }, seconds);
}

bool MainLoop::advanceUntil(const std::function<bool()>& condition, double seconds) {
    if (!(seconds >= 0)) {
        throw ns::Exception(ns::InvalidArgumentException, "time only moves forward, not by " + std::to_string(seconds));
    }
    const double end = ns::Clock::now() + seconds;
    for (;;) {
        runReadyWork();
        if (condition()) return true;
        const double next = ns::Clock::nextDeadline();
        if (next > end) break;
        passTo(next);
    }
    if (ns::Clock::now() < end) passTo(end);
    runReadyWork();
    return condition();
}

bool MainLoop::runUntilIdle(double horizon, double limit) {
    const double giveUp = ns::Clock::now() + limit;
    for (;;) {
        runReadyWork();
        const double now = ns::Clock::now();
        const double next = ns::Clock::nextDeadline();
        if (next > now + horizon) return true;
        if (next > giveUp) return false;
        passTo(std::max(next, now));
    }
}

bool MainLoop::runUntil(const std::function<bool()>& condition, double timeout) {
    ui::assertMainThread();
    return ns::RunLoop::main()->runUntil(condition, timeout);
}

}  // namespace ql::sim
