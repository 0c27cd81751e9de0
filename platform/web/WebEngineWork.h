#pragma once
// Signs that the engine is at work while the app waits on it (for one of its answers, or for it to take a
// command): bytes arriving from it, or its own process (the browser, which answers the app's commands)
// using the processor. The engine writes its messages in order, so an answer waits behind whatever it
// wrote before: a held request with a large body, say, which the engine takes seconds to make (its text,
// every byte of it perhaps escaped, and its Base64 entries: a 92 MiB body makes more than 600 MiB) before
// a byte of it comes, and seconds more to hand over. An engine that shows neither sign (stopped, or
// waiting on itself) is doing nothing.

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>

namespace ql::ui {

class WebEngineWork {
public:
    using Clock = std::chrono::steady_clock;
    // The share of one processor the engine's process uses, over the last second, that counts as work: far
    // above what an idle engine uses (its timers), far below what a busy one gets even on a loaded machine.
    static constexpr double kBusyShare = 0.1;

    // Follows the bytes counted in `arrived` and the processor time of the process `program` names (none
    // while it gives -1).
    WebEngineWork(const std::atomic<std::uint64_t>& arrived, std::function<pid_t()> program);

    // Looks again: whether bytes came since the last look, or the process used at least kBusyShare of a
    // processor over the last second (over the time since the first look, once that is half a second).
    // `sawBytes` tells which of the two it was.
    bool looksAtWork(bool* sawBytes = nullptr);

    // A process's processor time (user and system) so far, in seconds; negative when it cannot be read.
    static double processorSeconds(pid_t process);

private:
    struct Sample {
        Clock::time_point at;
        double seconds;
    };

    const std::atomic<std::uint64_t>& arrived_;
    std::function<pid_t()> program_;
    std::uint64_t lastArrived_;
    std::deque<Sample> samples_;
};

}  // namespace ql::ui
