// The manual clock kept in step with real time while the device waits for the world outside: real time that
// passes passes for the app, each deadline on the way in its order, and the pace stops at the one after which
// what it waits for holds; other threads' work ends its waits.

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/device/MainLoop.h"
#include "platform/device/RealTimePace.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/DispatchQueue.h"
#include "tests/support/OnScopeExit.h"

using namespace ql;

namespace {

// Moves real time on as if that much had passed, for as long as the scope lasts.
class RealTimeLater {
public:
    explicit RealTimeLater(double seconds) : seconds_(seconds) { ns::Clock::shiftRealTimeForTesting(seconds); }
    ~RealTimeLater() { ns::Clock::shiftRealTimeForTesting(-seconds_); }
    RealTimeLater(const RealTimeLater&) = delete;
    RealTimeLater& operator=(const RealTimeLater&) = delete;

private:
    double seconds_;
};

}  // namespace

TEST(RealTimePace, TheClockMovesOnByTheRealTimePassedThroughEachDeadlineInOrder) {
    ns::ManualClockScope clock;
    const double start = ns::Clock::now();
    std::vector<int> fired;
    for (const int at : {20, 10, 40}) ns::DispatchQueue::main()->after(at, [&fired, at] { fired.push_back(at); });
    sim::RealTimePace pace;
    const RealTimeLater later(25);

    // What the pace waits for holds after the second deadline: the clock stays there.
    EXPECT_TRUE(pace.runUntil([&] { return fired.size() == 2; }, 5));
    EXPECT_EQ(fired, (std::vector<int>{10, 20}));
    EXPECT_EQ(ns::Clock::now(), start + 20);

    // The rest of the real time that passed comes at the next run; the deadline beyond it stays ahead.
    EXPECT_FALSE(pace.runUntil([] { return false; }, 0));
    EXPECT_GE(ns::Clock::now(), start + 25);
    EXPECT_LT(ns::Clock::now(), start + 40);
    EXPECT_EQ(fired, (std::vector<int>{10, 20}));

    // The last deadline comes once the clock gets there, as any other.
    sim::MainLoop::advance(15);
    EXPECT_EQ(fired, (std::vector<int>{10, 20, 40}));
}

TEST(RealTimePace, ARestartForgetsTheRealTimeThatPassedBefore) {
    ns::ManualClockScope clock;
    const double start = ns::Clock::now();
    sim::RealTimePace pace;
    const RealTimeLater later(30);
    pace.restart();
    EXPECT_FALSE(pace.runUntil([] { return false; }, 0));
    EXPECT_LT(ns::Clock::now(), start + 30);
}

TEST(RealTimePace, WorkFromAnotherThreadEndsTheWaitWithoutTheClockRunningAhead) {
    ns::ManualClockScope clock;
    const double start = ns::Clock::now();
    bool seen = false;
    std::thread other([&seen] { ns::DispatchQueue::main()->async([&seen] { seen = true; }); });
    const test::OnScopeExit joined([&] { other.join(); });
    sim::RealTimePace pace;
    EXPECT_TRUE(pace.runUntil([&] { return seen; }, 60));
    // Only as much as really passed: the clock did not jump to the end of the minute.
    EXPECT_LT(ns::Clock::now(), start + 30);
}

namespace {

// Counts the clock's moves.
class ClockWatch final : public ns::Clock::Client {
public:
    double nextDeadlineAfter(double) const override { return ns::Clock::kNever; }
    void clockChanged() override { ++moves; }
    std::atomic<int> moves{0};
};

}  // namespace

TEST(RealTimePace, BetweenDeadlinesTheClockMovesInStepsSoThatTheLoopWaitsInBetween) {
    ns::ManualClockScope clock;
    auto watch = std::make_shared<ClockWatch>();
    ns::Clock::addClient(watch);
    sim::RealTimePace pace;
    // Each move wakes the main loop: moving at every look would never let it wait. However slowly this runs,
    // a third of a second holds at most four steps.
    const double timeout = 3.5 * sim::RealTimePace::kLongestStep;
    EXPECT_FALSE(pace.runUntil([] { return false; }, timeout));
    EXPECT_LE(watch->moves.load(), 4);
}
