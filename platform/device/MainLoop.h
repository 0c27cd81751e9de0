#pragma once
// sim::MainLoop: drives the main thread's run loop for the headless device: the work that is ready now,
// everything up to a moment of the clock, or until the app has gone quiet. On a manual clock time moves
// only here (and in whoever else advances it); on real time these calls run the loop for as long as
// that time takes.

#include <functional>

namespace ql::sim {

class MainLoop {
public:
    // Timers due within this many seconds keep the app from being idle.
    static constexpr double kDefaultIdleHorizon = 1.0;
    // How much clock time runUntilIdle lets pass before it gives up on an app that never goes quiet.
    static constexpr double kDefaultIdleLimit = 60;

    // Runs due timers, performed blocks, signalled sources and the main queue in the default mode until
    // a pass finds nothing to do. No time passes. True when anything ran.
    static bool runReadyWork();

    // Lets `seconds` of clock time pass, running everything that falls due on the way at its own moment
    // and the ready work after it.
    static void advance(double seconds);
    // Like advance, but asks `condition` before the first deadline and after the work of each, and stops as
    // soon as it holds: the clock then stays where that happened. Returns whether it held.
    static bool advanceUntil(const std::function<bool()>& condition, double seconds);

    // Runs until the main thread is idle: nothing ready, and no deadline of the clock within `horizon`
    // seconds (time moves to each deadline inside it, so animations, the keyboard's slide and
    // decelerations finish). False when the app still had work due after `limit` seconds of clock time,
    // as with a repeating timer that never stops. Work on other threads is not waited for: wait for its
    // result with runUntil.
    static bool runUntilIdle(double horizon = kDefaultIdleHorizon, double limit = kDefaultIdleLimit);

    // Runs the loop until `condition` holds or `timeout` seconds of clock time have passed (a manual clock
    // moves from deadline to deadline once other threads are quiet). Returns whether it held.
    static bool runUntil(const std::function<bool()>& condition, double timeout);
};

}  // namespace ql::sim
