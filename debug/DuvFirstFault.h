#pragma once
// The one order in which a process's faults take their turn at the crash note, uncaught exceptions and fatal
// signals alike: the first fault's thread writes its note, and the threads of any other fault wait for it,
// since the process ends as soon as one of them goes on to its end. The wait is bounded (a note that cannot
// be finished must not keep a crashed process alive) and uses only atomics, the clock and nanosleep: safe in
// a signal handler and on the way out of an uncaught exception, with no lock that could be held for good.
// The noting thread itself, entering again (the abort that follows its exception's note, or another fatal
// signal while it writes), goes on at once: it would wait for itself.

#include <sys/types.h>

#include <atomic>
#include <cstdint>

namespace ql {

class DuvFirstFault {
public:
    enum class Turn {
        First,  // the caller's fault is the first: it writes the note, then calls noted()
        Again,  // the caller is the noting thread, entering again
        Later,  // another thread's note is written (or the wait limit has passed)
    };

    explicit constexpr DuvFirstFault(std::int64_t waitLimitNanoseconds) : waitLimit_(waitLimitNanoseconds) {}

    Turn begin() noexcept;
    void noted() noexcept { noted_.store(true); }

private:
    const std::int64_t waitLimit_;
    // The thread writing the note; 0 before any.
    std::atomic<pid_t> noter_{0};
    std::atomic<bool> noted_{false};
};

// The process's order: an uncaught exception's note is written whole before any fatal signal of another
// thread ends the process, and the other way round.
DuvFirstFault& processFirstFault() noexcept;

}  // namespace ql
