#include "platform/device/RealTimePace.h"

#include <algorithm>

#include "platform/device/MainLoop.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/MainThread.h"

namespace ql::sim {

RealTimePace::RealTimePace() : counted_(ns::Clock::steadyRealTime()) {}

void RealTimePace::restart() { counted_ = ns::Clock::steadyRealTime(); }

bool RealTimePace::runUntil(const std::function<bool()>& condition, double timeout) {
    ui::assertMainThread();
    if (!ns::Clock::isManual()) return MainLoop::runUntil(condition, timeout);
    const double giveUp = ns::Clock::steadyRealTime() + timeout;
    for (;;) {
        const double real = ns::Clock::steadyRealTime();
        const double behind = std::max(real - counted_, 0.0);
        // Moving the clock wakes every run loop, this one too: it moves on once a deadline has come or a step's
        // worth of real time has passed, and the loop waits in between.
        const double untilDue = ns::Clock::nextDeadline() - ns::Clock::now();
        const double step = behind >= untilDue || behind >= kLongestStep ? behind : 0;
        const double before = ns::Clock::now();
        if (MainLoop::advanceUntil(condition, step)) {
            // Stopped at a deadline short of real time: the rest is added at the next run.
            counted_ = std::min(real, counted_ + (ns::Clock::now() - before));
            return true;
        }
        counted_ += step;
        if (real >= giveUp) return false;
        const double lag = real - counted_;
        const double nextDue = ns::Clock::nextDeadline() - ns::Clock::now() - lag;
        ns::RunLoop::main()->waitForWorkFor(std::min({nextDue, kLongestStep - lag, giveUp - real}));
    }
}

}  // namespace ql::sim
