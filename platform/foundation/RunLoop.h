#pragma once
// ns::RunLoop: the event loop of one thread. It fires timers and runs performed blocks and signalled
// sources of the mode it runs in; the main thread's loop also drains the main dispatch queue. Loops are
// made lazily, one per thread; every member except the run methods may be called from any thread.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/foundation/Clock.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/Object.h"

namespace ql::ns {

inline constexpr std::string_view DefaultRunLoopMode = "kCFRunLoopDefaultMode";
inline constexpr std::string_view RunLoopCommonModes = "kCFRunLoopCommonModes";
inline constexpr std::string_view TrackingRunLoopMode = "UITrackingRunLoopMode";

class RunLoop;
class Timer;

// An input source of a run loop. While scheduled in a mode it keeps the loop alive there; once
// signalled, the loop calls perform() the next time it runs in one of the source's modes.
class RunLoopSource : public Object {
    QL_OBJECT(RunLoopSource, Object)
public:
    explicit RunLoopSource(std::function<void()> perform = {});

    // Marks the source ready and wakes the loops it is scheduled on. Thread-safe.
    void signal();
    bool isSignalled() const;
    virtual void perform();

private:
    friend class RunLoop;
    bool takeSignal();
    void attach(const std::shared_ptr<RunLoop>& loop);
    void detach(const RunLoop* loop);

    std::function<void()> perform_;
    mutable std::mutex mutex_;
    bool signalled_ = false;
    std::vector<std::weak_ptr<RunLoop>> loops_;
};

// A port that never receives anything; scheduling one keeps a loop alive (a thread that only waits for
// performed work).
class Port : public RunLoopSource {
    QL_OBJECT(Port, RunLoopSource)
public:
    Port() = default;
    static std::shared_ptr<Port> port() { return std::make_shared<Port>(); }
};

// Something else a loop's thread waits on besides the loop's own work (the sockets of transfers the thread
// drives, say). While one is set, the loop waits through it.
class RunLoopWaiter {
public:
    virtual ~RunLoopWaiter() = default;
    // On the loop's thread: handles what is ready; then, unless `hasWork` holds, waits until `until` or a
    // wake() and handles what became ready.
    virtual void wait(std::chrono::steady_clock::time_point until, const std::function<bool()>& hasWork) = 0;
    // From any thread: ends a wait in progress, or the next one, early.
    virtual void wake() = 0;
};

class RunLoop final : public Object, private Clock::Client {
    QL_OBJECT(RunLoop, Object)
public:
    class Key {
        friend class RunLoop;
        Key() = default;
    };
    // Made by its Thread only; use current() or main().
    explicit RunLoop(Key) {}

    static std::shared_ptr<RunLoop> current();
    static std::shared_ptr<RunLoop> main();

    // The mode of the innermost run in progress, empty when the loop is not running.
    std::string currentMode() const;

    void addTimer(const std::shared_ptr<Timer>& timer, std::string_view mode);
    void addSource(const std::shared_ptr<RunLoopSource>& source, std::string_view mode);
    void removeSource(const std::shared_ptr<RunLoopSource>& source, std::string_view mode);

    // Queues a block to run on this loop's thread the next time the loop runs in one of `modes`, in the
    // order blocks were performed. Thread-safe; wakes the loop.
    void performBlock(std::function<void()> block,
                      std::vector<std::string> modes = {std::string(RunLoopCommonModes)});
    // Like performBlock, but waits until the block has run; runs it at once on the loop's own thread.
    void performBlockAndWait(std::function<void()> block,
                             std::vector<std::string> modes = {std::string(RunLoopCommonModes)});

    // Delayed performs, cancellable per target. A block whose target is gone by then does not run.
    void performAfterDelay(double seconds, std::weak_ptr<Object> target, std::function<void()> block,
                           std::vector<std::string> modes = {std::string(DefaultRunLoopMode)});
    void cancelPerforms(const Object* target);

    // Runs the loop once in `mode`: fires due timers and waits, at most until `limit`, for a performed
    // block or a signalled source, which it handles before returning. Returns false at once when the mode
    // has nothing that could ever wake it (no timers, sources or blocks).
    bool runMode(std::string_view mode, Date limit);
    // Runs in the default mode for as long as the loop has anything to run.
    void run();
    void runUntilDate(Date limit);
    // Ends the innermost run in progress.
    void stop();
    // Wakes the loop so that it re-examines its timers, blocks and sources.
    void wakeUp();
    // On the loop's own thread: the loop waits through `waiter` from now on.
    void setWaiter(std::shared_ptr<RunLoopWaiter> waiter);

    // For tests: pumps this loop in the default mode until `condition` holds or `timeoutSeconds` of clock
    // time have passed. With the manual clock, an idle loop advances the clock to the next deadline of the
    // process once the dispatch pool has nothing runnable; waiting for other threads is bounded by the
    // same number of real seconds so a test cannot hang.
    bool runUntil(const std::function<bool()>& condition, double timeoutSeconds);
    // On the loop's own thread: waits at most `seconds` of real time for something to run in the default mode
    // (a performed block, a signalled source, main-queue work, a due timer) or a wake-up, without running it
    // and without moving a manual clock. False when the time ran out first.
    bool waitForWorkFor(double seconds);

    bool isMainRunLoop() const;

private:
    friend class Thread;
    friend class Clock;

    struct TimerEntry {
        std::shared_ptr<Timer> timer;
        std::string mode;
    };
    struct SourceEntry {
        std::shared_ptr<RunLoopSource> source;
        std::string mode;
    };
    struct Block {
        std::function<void()> block;
        std::vector<std::string> modes;
    };
    struct DelayedPerform {
        std::shared_ptr<Timer> timer;
        const Object* target;
    };

    static bool modeMatches(std::string_view itemMode, std::string_view runningMode);
    static bool anyModeMatches(const std::vector<std::string>& itemModes, std::string_view runningMode);
    bool drainsMainQueue(std::string_view mode) const;

    // Clock::Client
    double nextDeadlineAfter(double time) const override;
    void clockChanged() override;

    // One pass in `mode` without waiting. Returns true when a block, a source or main-queue work ran.
    bool runPass(std::string_view mode, bool* firedTimer = nullptr);
    bool fireDueTimers(std::string_view mode);
    bool runBlocks(std::string_view mode);
    bool performSources(std::string_view mode);
    // Waits until woken, until the next timer of `mode` is due or until `limit` (clock time). A finite
    // `realLimit` caps the wait in real time. Returns false when the real cap ran out.
    bool waitForWork(std::string_view mode, double limit,
                     std::chrono::steady_clock::time_point realLimit = std::chrono::steady_clock::time_point::max());
    bool isEmpty(std::string_view mode);
    double nextTimerDate(std::string_view mode) const;  // under mutex_
    // Under mutex_: drops invalid timers, handing them back so that they die after the lock is released.
    std::vector<std::shared_ptr<Timer>> pruneTimers();
    bool onOwnThread() const;
    // After wakePending_ or stopRequested_ was set: ends the wait of the loop's thread.
    void notifyWaiting();
    // A loop for a thread, known to the clock. The thread binds it once it runs.
    static std::shared_ptr<RunLoop> create(bool isMain);
    void bind(std::thread::id thread) { thread_.store(thread); }
    // Called by the clock's advance on the main thread: one pass of due work in the running mode.
    void runDueWork();
    // Keeps a mode on the mode stack while the loop runs in it, however the run ends.
    class ModeScope;

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::shared_ptr<RunLoopWaiter> waiter_;
    bool wakePending_ = false;
    bool stopRequested_ = false;
    std::vector<std::string> modeStack_;
    std::vector<TimerEntry> timers_;
    std::vector<SourceEntry> sources_;
    std::deque<Block> blocks_;
    std::vector<DelayedPerform> delayed_;
    std::atomic<std::thread::id> thread_{};
    bool isMain_ = false;
};

}  // namespace ql::ns
