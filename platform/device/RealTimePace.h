#pragma once
// sim::RealTimePace: the clock keeping step with real time while the device waits for the world outside it
// (a service on the network, say). On the manual clock time otherwise moves only when the device moves it;
// paced, the real time that passes passes for the app too, so a time-out of the app's comes when it would on
// a phone. What the device moves the clock on by itself (a finger's stroke, an explicit wait) comes on top.

#include <functional>

namespace ql::sim {

class RealTimePace {
public:
    // Between deadlines the clock moves on in steps of this much real time (each move wakes the run loops).
    static constexpr double kLongestStep = 0.1;

    // Real time counts from now.
    RealTimePace();

    // Real time counts from now again: what passed so far is not added (the clock was moved on for it
    // otherwise).
    void restart();

    // Runs until `condition` holds or `timeout` seconds of real time have passed. A manual clock moves on by
    // the real time passed since the start (or the last run) as each deadline comes, and at least every
    // kLongestStep, asking the condition after the work of each deadline; in between the main run loop waits
    // for work from other threads. On real time the loop simply runs. Returns whether the condition held.
    bool runUntil(const std::function<bool()>& condition, double timeout);

private:
    double counted_;  // the real time up to which the clock has been moved on
};

}  // namespace ql::sim
