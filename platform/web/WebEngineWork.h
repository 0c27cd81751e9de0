#pragma once
// Signs that the engine is at work while the app waits on it (for one of its answers, or for it to take a
// command): bytes arriving from it, or its processes (the browser, which answers the app's commands, and
// those it may wait on) using the processor. The engine writes its messages in order, so an answer waits behind whatever it
// wrote before: a held request with a large body, say, which the engine takes seconds to make (its text,
// every byte of it perhaps escaped, and its Base64 entries: a 92 MiB body makes more than 600 MiB) before
// a byte of it comes, and seconds more to hand over. An engine that shows neither sign (stopped, or
// waiting on itself) is doing nothing.

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <deque>

#include "platform/web/WebEngineGroupTime.h"
#include "platform/web/WebEngineReading.h"

namespace ql::ui {

class WebEngineWork {
public:
    using Clock = std::chrono::steady_clock;
    // The share of one processor the engine's processes use, over the last second, that counts as work: far
    // above what an idle engine uses (its timers), far below what a busy one gets even on a loaded machine.
    static constexpr double kBusyShare = 0.1;

    // Follows what the app's reader tells of the engine and the processor time of the process group `group`
    // (none when it is not a group).
    WebEngineWork(const WebEngineReading& reading, pid_t group);

    // Looks again: whether bytes came since the last look, the reader is at work on what came, or the
    // processes used at least kBusyShare of a processor over the last second (over the time since the first
    // look, once that is half a second). `sawBytes` tells whether bytes came.
    bool looksAtWork(bool* sawBytes = nullptr);

private:
    struct Sample {
        Clock::time_point at;
        double seconds;
    };

    const WebEngineReading& reading_;
    WebEngineGroupTime processor_;
    std::uint64_t lastArrived_;
    std::deque<Sample> samples_;
};

}  // namespace ql::ui
