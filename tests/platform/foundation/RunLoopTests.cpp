#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/foundation/Clock.h"
#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/Exception.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Thread.h"
#include "platform/foundation/Timer.h"

using namespace ql::ns;

namespace {

const std::string kDefault(DefaultRunLoopMode);
const std::string kCommon(RunLoopCommonModes);
const std::string kTracking(TrackingRunLoopMode);

// Runs `body` on the main loop while it runs in `mode`.
void whileRunningIn(const std::string& mode, std::function<void()> body) {
    auto loop = RunLoop::main();
    loop->performBlock(std::move(body), {mode});
    ASSERT_TRUE(loop->runMode(mode, Date::now()));
}

}  // namespace

TEST(RunLoop, TimersFireInOrderOnTheManualClockAndRespectModes) {
    ManualClockScope clock;
    const double start = Clock::now();
    auto loop = RunLoop::main();
    std::vector<std::string> fired;
    auto record = [&](std::string name) {
        return [&fired, name, start](Timer&) {
            fired.push_back(name + "@" + std::to_string(Clock::now() - start).substr(0, 3) + " in " +
                            RunLoop::main()->currentMode());
        };
    };
    auto late = Timer::timer(1.0, false, record("default"));
    auto early = Timer::timer(0.5, false, record("early-default"));
    auto common = Timer::timer(2.0, false, record("common"));
    auto tracking = Timer::timer(3.0, false, record("tracking"));
    auto custom = Timer::timer(0.2, false, record("custom"));
    loop->addTimer(late, kDefault);
    loop->addTimer(early, kDefault);
    loop->addTimer(common, kCommon);
    loop->addTimer(tracking, kTracking);
    loop->addTimer(custom, "custom");

    // While the loop tracks (a drag), default-mode timers hold still; common and tracking ones fire on time.
    whileRunningIn(kTracking, [] { Clock::advance(5); });
    EXPECT_EQ(fired, (std::vector<std::string>{"common@2.0 in " + kTracking, "tracking@3.0 in " + kTracking}));
    EXPECT_TRUE(late->isValid());

    // Back in the default mode the overdue timers fire, earliest date first; the custom mode's never does.
    fired.clear();
    Clock::advance(0);
    EXPECT_EQ(fired, (std::vector<std::string>{"early-default@5.0 in " + kDefault, "default@5.0 in " + kDefault}));
    EXPECT_TRUE(custom->isValid());
    EXPECT_FALSE(loop->runMode("unused", Date::distantFuture()));  // nothing could ever wake that mode
    custom->invalidate();
}

TEST(RunLoop, RepeatingTimersAndInvalidationFromTheirOwnBlock) {
    ManualClockScope clock;
    const double start = Clock::now();
    std::vector<double> everyTwo;
    auto steady = Timer::scheduledTimer(2.0, true, [&](Timer&) { everyTwo.push_back(Clock::now() - start); });
    int fires = 0;
    std::weak_ptr<int> capture;
    {
        auto held = std::make_shared<int>(7);
        capture = held;
        Timer::scheduledTimer(1.0, true, [&fires, held](Timer& self) {
            if (++fires == 3) self.invalidate();
        });
    }
    Clock::advance(10);
    EXPECT_EQ(everyTwo, (std::vector<double>{2, 4, 6, 8, 10}));
    EXPECT_EQ(fires, 3);
    EXPECT_TRUE(capture.expired());  // an invalid timer lets go of its block, and what the block held

    // A repeating timer that misses several intervals fires once, then counts from the moment it fired.
    int tracked = 0;
    auto trackingOnly = Timer::timer(1.0, true, [&](Timer&) { ++tracked; });
    RunLoop::main()->addTimer(trackingOnly, kTracking);
    Clock::advance(3.5);
    EXPECT_EQ(tracked, 0);
    whileRunningIn(kTracking, [] {});
    EXPECT_EQ(tracked, 1);
    EXPECT_DOUBLE_EQ(trackingOnly->fireDate().timeIntervalSince1970(), Clock::now() + 1);

    // fire() runs a one-shot timer early and ends it; a repeating timer keeps its schedule.
    const Date next = steady->fireDate();
    steady->fire();
    EXPECT_TRUE(steady->isValid());
    EXPECT_EQ(steady->fireDate(), next);
    int once = 0;
    auto oneShot = Timer::scheduledTimer(100, false, [&](Timer&) { ++once; });
    oneShot->fire();
    Clock::advance(200);
    EXPECT_EQ(once, 1);
    EXPECT_FALSE(oneShot->isValid());
    steady->invalidate();
    trackingOnly->invalidate();
}

TEST(RunLoop, ATimerWhoseIntervalIsNoNumberFiresAsOneWithoutAnInterval) {
    // A duration worked out from nothing (0/0) must not leave a timer that never fires.
    ManualClockScope clock;
    int once = 0, repeated = 0;
    auto oneShot = Timer::scheduledTimer(std::nan(""), false, [&](Timer&) { ++once; });
    auto repeating = Timer::scheduledTimer(std::nan(""), true, [&](Timer&) { ++repeated; });
    EXPECT_EQ(oneShot->timeInterval(), 0);
    EXPECT_GT(repeating->timeInterval(), 0);
    Clock::advance(0.01);
    EXPECT_EQ(once, 1);
    EXPECT_GT(repeated, 1);  // every tenth of a millisecond, as with no interval at all
    repeating->invalidate();
}

TEST(RunLoop, ATimerWhoseBlockThrowsIsRescheduledOrEndedAsIfItReturned) {
    ManualClockScope clock;
    int calls = 0;
    auto repeating = Timer::scheduledTimer(1.0, true, [&](Timer&) {
        if (++calls == 1) throw std::runtime_error("a timer failed");
    });
    EXPECT_THROW(Clock::advance(1), std::runtime_error);
    Clock::advance(1);
    Clock::advance(1);
    EXPECT_EQ(calls, 3);
    EXPECT_TRUE(repeating->isValid());
    repeating->invalidate();

    std::weak_ptr<int> capture;
    std::shared_ptr<Timer> oneShot;
    {
        auto held = std::make_shared<int>(7);
        capture = held;
        oneShot = Timer::scheduledTimer(1.0, false, [held](Timer&) { throw std::runtime_error("a timer failed"); });
    }
    EXPECT_THROW(Clock::advance(1), std::runtime_error);
    EXPECT_FALSE(oneShot->isValid());
    EXPECT_TRUE(capture.expired());
}

TEST(RunLoop, DelayedPerformsAreCancelledPerTarget) {
    ManualClockScope clock;
    auto loop = RunLoop::main();
    auto kept = std::make_shared<Object>();
    auto cancelled = std::make_shared<Object>();
    auto dropped = std::make_shared<Object>();
    std::vector<std::string> ran;
    loop->performAfterDelay(1, kept, [&] { ran.push_back("kept"); });
    loop->performAfterDelay(1, cancelled, [&] { ran.push_back("cancelled"); });
    loop->performAfterDelay(2, cancelled, [&] { ran.push_back("cancelled later"); });
    loop->performAfterDelay(1, dropped, [&] { ran.push_back("dropped"); });
    loop->performAfterDelay(0.5, kept, [&] { ran.push_back("tracking"); }, {kTracking});
    loop->cancelPerforms(cancelled.get());
    dropped.reset();
    Clock::advance(5);
    EXPECT_EQ(ran, std::vector<std::string>{"kept"});
    whileRunningIn(kTracking, [] {});
    EXPECT_EQ(ran, (std::vector<std::string>{"kept", "tracking"}));
}

TEST(RunLoop, PerformsBlocksOnAnotherThreadInTheRightMode) {
    std::atomic<bool> switchToDefault{false};
    DispatchSemaphore finished(0);
    auto worker = std::make_shared<Thread>([&] {
        auto loop = RunLoop::current();
        loop->addSource(Port::port(), kTracking);
        loop->addSource(Port::port(), kDefault);
        while (!Thread::current()->isCancelled())
            loop->runMode(switchToDefault ? kDefault : kTracking, Date::distantFuture());
        finished.signal();
    });
    worker->setName("tracker");
    auto loop = worker->runLoop();

    std::vector<std::string> seen;  // touched on the worker only, read after it has finished
    loop->performBlock([&] { seen.push_back("default " + RunLoop::current()->currentMode()); }, {kDefault});
    worker->start();
    loop->performBlockAndWait([&] {
        seen.push_back("tracking " + Thread::current()->name());
        EXPECT_FALSE(Thread::isMainThread());
        EXPECT_EQ(RunLoop::current(), loop);
        switchToDefault = true;
    }, {kTracking});
    loop->performBlock([&] { seen.push_back("common"); });
    loop->performBlock([&] { Thread::current()->cancel(); }, {kDefault});
    ASSERT_TRUE(finished.wait(30));
    EXPECT_EQ(seen, (std::vector<std::string>{"tracking tracker", "default " + kDefault, "common"}));
}

namespace {

// Stands for something else a loop's thread waits on (sockets, say): `arrive()` is activity there, which
// the waiter hands to the loop by signalling a source.
class RecordingWaiter final : public RunLoopWaiter {
public:
    void wait(std::chrono::steady_clock::time_point until, const std::function<bool()>& hasWork) override {
        std::unique_lock lock(mutex_);
        waitingThread = std::this_thread::get_id();
        const auto done = [&] { return woken_ || activity_; };
        if (!hasWork()) {
            if (until == std::chrono::steady_clock::time_point::max()) changed_.wait(lock, done);
            else changed_.wait_until(lock, until, done);
        }
        woken_ = false;
        if (!std::exchange(activity_, false)) return;
        lock.unlock();
        activitySource->signal();
    }
    void wake() override {
        std::lock_guard lock(mutex_);
        woken_ = true;
        ++wakes_;
        changed_.notify_all();
    }
    void arrive() {
        std::lock_guard lock(mutex_);
        activity_ = true;
        changed_.notify_all();
    }
    int wakes() {
        std::lock_guard lock(mutex_);
        return wakes_;
    }

    std::shared_ptr<RunLoopSource> activitySource;
    std::atomic<std::thread::id> waitingThread{};

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool woken_ = false;
    bool activity_ = false;
    int wakes_ = 0;
};

}  // namespace

TEST(RunLoop, AWaiterIsWaitedThroughOnTheLoopsThreadAndWokenOnlyFromOthers) {
    auto waiter = std::make_shared<RecordingWaiter>();
    DispatchSemaphore handled(0);
    waiter->activitySource = std::make_shared<RunLoopSource>([&] { handled.signal(); });
    DispatchSemaphore ready(0);
    DispatchSemaphore finished(0);
    std::atomic<std::thread::id> workerThread{};
    auto worker = std::make_shared<Thread>([&] {
        workerThread = std::this_thread::get_id();
        auto loop = RunLoop::current();
        loop->setWaiter(waiter);
        loop->addSource(waiter->activitySource, kDefault);
        ready.signal();
        while (!Thread::current()->isCancelled()) loop->runMode(kDefault, Date::distantFuture());
        finished.signal();
    });
    auto loop = worker->runLoop();
    worker->start();
    ASSERT_TRUE(ready.wait(30));

    // Work given from another thread wakes the waiter; work the loop gives itself does not.
    DispatchSemaphore ran(0);
    const int before = waiter->wakes();
    loop->performBlockAndWait([&] { loop->performBlock([&] { ran.signal(); }); });
    ASSERT_TRUE(ran.wait(30));
    EXPECT_EQ(waiter->wakes() - before, 1);
    // What the waiter watches reaches the loop.
    waiter->arrive();
    ASSERT_TRUE(handled.wait(30));
    EXPECT_EQ(waiter->waitingThread.load(), workerThread.load());

    loop->performBlock([] { Thread::current()->cancel(); });
    ASSERT_TRUE(finished.wait(30));
}

TEST(RunLoop, RunUntilWakesForConditionsMetElsewhere) {
    // Real time: another thread meets the condition and wakes the loop.
    std::atomic<bool> done{false};
    Thread::detachNewThread([&] {
        done = true;
        RunLoop::main()->wakeUp();
    });
    EXPECT_TRUE(RunLoop::main()->runUntil([&] { return done.load(); }, 30));

    // Manual time: the loop waits for the pool to finish before time moves, then jumps to the next
    // deadline instead of waiting for it.
    ManualClockScope clock;
    const double start = Clock::now();
    std::atomic<int> stage{0};
    DispatchQueue::global()->async([&] { stage = 1; });
    EXPECT_TRUE(RunLoop::main()->runUntil([&] { return stage.load() == 1; }, 60));
    EXPECT_EQ(Clock::now(), start);
    DispatchQueue::global()->after(30, [&] { DispatchQueue::main()->async([&] { stage = 2; }); });
    EXPECT_TRUE(RunLoop::main()->runUntil([&] { return stage.load() == 2; }, 60));
    EXPECT_EQ(Clock::now(), start + 30);
}

TEST(RunLoop, AWaitForWorkEndsWithWorkFromElsewhereOrTheRealTimeAndLeavesAManualClockWhereItIs) {
    ManualClockScope clock;
    const double start = Clock::now();
    // A wake-up ends the wait at once (that of installing the manual clock as well); after it, nothing comes:
    // the wait ends with its real time, and the manual clock has not moved.
    RunLoop::main()->wakeUp();
    EXPECT_TRUE(RunLoop::main()->waitForWorkFor(60));
    EXPECT_FALSE(RunLoop::main()->waitForWorkFor(0.01));
    EXPECT_EQ(Clock::now(), start);

    // A block performed from another thread ends the wait; it runs only when the loop runs.
    bool ran = false;
    std::thread other([&ran] { RunLoop::main()->performBlock([&ran] { ran = true; }); });
    EXPECT_TRUE(RunLoop::main()->waitForWorkFor(60));
    other.join();
    EXPECT_FALSE(ran);
    EXPECT_TRUE(RunLoop::main()->runUntil([&] { return ran; }, 0));
    EXPECT_EQ(Clock::now(), start);

    // Real time read steadily, whichever clock is in use, moves with the test hook as the real clock does.
    const double before = Clock::steadyRealTime();
    Clock::shiftRealTimeForTesting(100);
    const double after = Clock::steadyRealTime();
    Clock::shiftRealTimeForTesting(-100);
    EXPECT_GE(after - before, 100);
    EXPECT_LT(Clock::steadyRealTime(), after);
}

TEST(RunLoop, SignalledSourcesAreHandledInTheirModesAndStopEndsARun) {
    std::vector<std::string> performed;  // touched on the worker only, read after it has finished
    auto tracked = std::make_shared<RunLoopSource>([&] { performed.push_back("tracked"); });
    auto plain = std::make_shared<RunLoopSource>([&] { performed.push_back("plain"); });
    DispatchSemaphore ran(0);
    DispatchSemaphore finished(0);
    auto worker = Thread::detachNewThread([&] {
        auto loop = RunLoop::current();
        loop->addSource(plain, kDefault);
        loop->addSource(tracked, kTracking);
        ran.signal();
        while (loop->runMode(kDefault, Date::distantFuture())) ran.signal();
        finished.signal();
    });
    ASSERT_TRUE(ran.wait(30));
    tracked->signal();
    plain->signal();
    ASSERT_TRUE(ran.wait(30));
    EXPECT_TRUE(tracked->isSignalled());  // waits for a run in the tracking mode
    EXPECT_FALSE(plain->isSignalled());
    EXPECT_TRUE(worker->isExecuting());

    // A loop with nothing left in its mode stops running by itself.
    worker->runLoop()->removeSource(plain, kDefault);
    ASSERT_TRUE(finished.wait(30));
    EXPECT_EQ(performed, std::vector<std::string>{"plain"});

    // Timers alone do not end a run that waits for input; stop() does.
    auto loop = RunLoop::main();
    int fired = 0;
    loop->addTimer(Timer::timer(0, false, [&](Timer&) {
        ++fired;
        loop->stop();
    }), kDefault);
    EXPECT_TRUE(loop->runMode(kDefault, Date::distantFuture()));
    EXPECT_EQ(fired, 1);
    auto timer = Timer::timer(1, false, {});
    loop->addTimer(timer, kDefault);
    EXPECT_THROW(worker->runLoop()->addTimer(timer, kDefault), Exception);
    timer->invalidate();
}

TEST(RunLoop, ARunLeftByAnExceptionLeavesItsMode) {
    ManualClockScope clock;
    auto loop = RunLoop::main();
    loop->performBlock([] { throw std::runtime_error("a block failed"); }, {kTracking});
    EXPECT_THROW(loop->runMode(kTracking, Date::now()), std::runtime_error);
    EXPECT_EQ(loop->currentMode(), "");
    loop->performBlock([] { throw std::runtime_error("a block failed"); });
    EXPECT_THROW(loop->runUntil([] { return false; }, 1), std::runtime_error);
    EXPECT_EQ(loop->currentMode(), "");
    loop->performBlock([] { throw std::runtime_error("a block failed"); });
    EXPECT_THROW(Clock::advance(0), std::runtime_error);
    EXPECT_EQ(loop->currentMode(), "");
    // The loop still runs in the mode it is asked for.
    std::string seen;
    whileRunningIn(kDefault, [&] { seen = loop->currentMode(); });
    EXPECT_EQ(seen, kDefault);
}
