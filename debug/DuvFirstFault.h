#pragma once
// Which of the threads that take a fatal signal at once notes the crash: the first. The others wait for its
// note to be written, since the process ends as soon as any of them goes on to the default action. The wait
// is bounded (a note that cannot be finished must not keep a crashed process alive) and uses only atomics,
// the clock and nanosleep: safe in a signal handler, with no lock a handler could wait on for good. The
// noting thread itself, entering again (another fatal signal while it writes), goes on at once: it would
// wait for itself.

#include <sys/types.h>

#include <atomic>
#include <cstdint>

namespace ql {

class DuvFirstFault {
public:
    explicit constexpr DuvFirstFault(std::int64_t waitLimitNanoseconds) : waitLimit_(waitLimitNanoseconds) {}

    // True for the first caller, which writes the note and then calls noted(). Any later caller answers
    // false once the note is written, or the wait limit has passed.
    bool begin() noexcept;
    void noted() noexcept { noted_.store(true); }

private:
    const std::int64_t waitLimit_;
    // The thread writing the note; 0 before any.
    std::atomic<pid_t> noter_{0};
    std::atomic<bool> noted_{false};
};

}  // namespace ql
