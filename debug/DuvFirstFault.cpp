#include "debug/DuvFirstFault.h"

#include <time.h>
#include <unistd.h>

namespace ql {

namespace {

std::int64_t monotonicNanoseconds() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

// An exception's note is a property list of its stack, and a signal's note one short line: threads faulting
// with the first wait this long at most.
constinit DuvFirstFault gProcessFirstFault(3'000'000'000);

}  // namespace

DuvFirstFault::Turn DuvFirstFault::begin() noexcept {
    const pid_t self = ::gettid();
    pid_t first = 0;
    if (noter_.compare_exchange_strong(first, self)) return Turn::First;
    if (first == self) return Turn::Again;
    const std::int64_t giveUpAt = monotonicNanoseconds() + waitLimit_;
    while (!noted_.load() && monotonicNanoseconds() < giveUpAt) {
        const timespec pause{0, 1'000'000};
        ::nanosleep(&pause, nullptr);
    }
    return Turn::Later;
}

DuvFirstFault& processFirstFault() noexcept { return gProcessFirstFault; }

}  // namespace ql
