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
        const double before = ns::Clock::now();
        if (MainLoop::advanceUntil(condition, std::max(real - counted_, 0.0))) {
            // Stopped at a deadline short of real time: the rest is added at the next run.
            counted_ = std::min(real, counted_ + (ns::Clock::now() - before));
            return true;
        }
        counted_ = real;
        if (real >= giveUp) return false;
        const double untilDue = ns::Clock::nextDeadline() - ns::Clock::now();
        ns::RunLoop::main()->waitForWorkFor(std::min({untilDue, giveUp - real, kLongestQuietWait}));
    }
}

}  // namespace ql::sim
