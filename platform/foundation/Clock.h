#pragma once
// ns::Clock: the one time source of the process. It follows real time unless a test installs the
// manual clock, which stands still until advanced. Everything that waits for a moment in time (timers,
// delayed dispatch, delayed performs) registers as a Clock::Client, so that advancing a manual clock can
// step through their deadlines in order.

#include <limits>
#include <memory>

namespace ql::ns {

class Clock {
public:
    static constexpr double kNever = std::numeric_limits<double>::infinity();

    // Seconds since 1970.
    static double now();

    static void useManualTime(double start);
    static void useRealTime();
    static bool isManual();
    // For tests: real time reads `seconds` later from now on (a negative shift takes it back), as if that much
    // had passed, and every client hears that the clock changed. A manual clock does not move.
    static void shiftRealTimeForTesting(double seconds);
    // Real time whichever clock is in use, in seconds from an arbitrary start: it never jumps with the system's
    // date, only with shiftRealTimeForTesting. For keeping the manual clock in step with real time.
    static double steadyRealTime();

    // Manual clock only (raises otherwise): moves time forward by `seconds`, stopping at every deadline
    // of a client on the way, so each timer and delayed block fires at its own time and in order. On the
    // main thread it also runs the main run loop's due work at each stop.
    static void advance(double seconds);
    // Like advance, up to an absolute time (seconds since 1970); a time already past changes nothing.
    static void advanceTo(double time);
    // The earliest deadline of any client that lies after now (kNever when there is none).
    static double nextDeadline();

    // Something with work due at moments of the clock. clockChanged may be called on any thread, so it
    // must only wake its owner or queue work, never run user code.
    class Client {
    public:
        virtual ~Client() = default;
        // The earliest moment after `time` at which this client has work due, kNever when none.
        virtual double nextDeadlineAfter(double time) const = 0;
        // The time moved (manual advance) or the clock was switched: re-evaluate what is due.
        virtual void clockChanged() = 0;
    };
    // The clock holds clients weakly; a client leaves when it is destroyed.
    static void addClient(std::weak_ptr<Client> client);

private:
    // Moves manual time forward (never back) to `time` and lets everything due there happen.
    static void stepTo(double time);
};

// Installs a manual clock for the lifetime of the scope (tests), then returns to real time.
class ManualClockScope {
public:
    explicit ManualClockScope(double start = 1'000'000'000.0) { Clock::useManualTime(start); }
    ~ManualClockScope() { Clock::useRealTime(); }
    ManualClockScope(const ManualClockScope&) = delete;
    ManualClockScope& operator=(const ManualClockScope&) = delete;
};

}  // namespace ql::ns
