#include "platform/foundation/Locked.h"
#include "platform/foundation/RunLoop.h"

#include <algorithm>

#include "platform/foundation/BackgroundWork.h"
#include "platform/foundation/DispatchPool.h"
#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/Thread.h"
#include "platform/foundation/Timer.h"

namespace ql::ns {

namespace {

// Beyond this a real-time wait has no useful deadline (distant dates would overflow the steady clock).
constexpr double kLongestTimedWait = 365.0 * 24 * 3600;

template <class T>
void appendUnique(std::vector<std::shared_ptr<T>>& list, const std::shared_ptr<T>& item) {
    if (std::find(list.begin(), list.end(), item) == list.end()) list.push_back(item);
}

std::chrono::steady_clock::time_point realDeadlineAfter(double seconds) {
    if (seconds >= kLongestTimedWait) return std::chrono::steady_clock::time_point::max();
    return std::chrono::steady_clock::now() +
           std::chrono::duration_cast<std::chrono::steady_clock::duration>(
               std::chrono::duration<double>(std::max(seconds, 0.0)));
}

}  // namespace

// ---- Sources ----

RunLoopSource::RunLoopSource(std::function<void()> perform) : perform_(std::move(perform)) {}

void RunLoopSource::signal() {
    std::weak_ptr<RunLoop> only;  // a source is nearly always in one loop: no list to copy then
    std::vector<std::weak_ptr<RunLoop>> loops;
    {
        std::lock_guard lock(mutex_);
        signalled_ = true;
        if (loops_.size() == 1) only = loops_.front();
        else loops = loops_;
    }
    if (auto loop = only.lock()) loop->wakeUp();
    for (auto& weak : loops) {
        if (auto loop = weak.lock()) loop->wakeUp();
    }
}

bool RunLoopSource::isSignalled() const { return ns::lockedCopy(mutex_, signalled_); }

void RunLoopSource::perform() {
    if (perform_) perform_();
}

bool RunLoopSource::takeSignal() {
    std::lock_guard lock(mutex_);
    return std::exchange(signalled_, false);
}

void RunLoopSource::attach(const std::shared_ptr<RunLoop>& loop) {
    std::lock_guard lock(mutex_);
    for (const auto& weak : loops_) {
        if (weak.lock() == loop) return;
    }
    loops_.push_back(loop);
}

void RunLoopSource::detach(const RunLoop* loop) {
    std::lock_guard lock(mutex_);
    std::erase_if(loops_, [&](const std::weak_ptr<RunLoop>& weak) {
        auto l = weak.lock();
        return !l || l.get() == loop;
    });
}

// ---- The loop ----

std::shared_ptr<RunLoop> RunLoop::create(bool isMain) {
    auto loop = std::make_shared<RunLoop>(Key{});
    loop->isMain_ = isMain;
    Clock::addClient(std::shared_ptr<Clock::Client>(loop, static_cast<Clock::Client*>(loop.get())));
    return loop;
}

std::shared_ptr<RunLoop> RunLoop::current() { return Thread::current()->runLoop(); }

std::shared_ptr<RunLoop> RunLoop::main() { return Thread::mainThread()->runLoop(); }

bool RunLoop::isMainRunLoop() const { return isMain_; }

bool RunLoop::onOwnThread() const { return thread_.load() == std::this_thread::get_id(); }

std::string RunLoop::currentMode() const {
    std::lock_guard lock(mutex_);
    return modeStack_.empty() ? std::string() : modeStack_.back();
}

bool RunLoop::modeMatches(std::string_view itemMode, std::string_view runningMode) {
    if (itemMode == runningMode) return true;
    return itemMode == RunLoopCommonModes && (runningMode == DefaultRunLoopMode || runningMode == TrackingRunLoopMode);
}

bool RunLoop::anyModeMatches(const std::vector<std::string>& itemModes, std::string_view runningMode) {
    return std::any_of(itemModes.begin(), itemModes.end(),
                       [&](const std::string& mode) { return modeMatches(mode, runningMode); });
}

bool RunLoop::drainsMainQueue(std::string_view mode) const {
    return isMain_ && modeMatches(RunLoopCommonModes, mode);
}

void RunLoop::wakeUp() {
    {
        std::lock_guard lock(mutex_);
        wakePending_ = true;
    }
    notifyWaiting();
}

void RunLoop::notifyWaiting() {
    wake_.notify_all();
    std::shared_ptr<RunLoopWaiter> waiter;
    {
        std::lock_guard lock(mutex_);
        waiter = waiter_;
    }
    // The loop's own thread is not waiting, and looks at its flags before it does.
    if (waiter && !onOwnThread()) waiter->wake();
}

void RunLoop::setWaiter(std::shared_ptr<RunLoopWaiter> waiter) {
    std::lock_guard lock(mutex_);
    waiter_ = std::move(waiter);
}

void RunLoop::stop() {
    {
        std::lock_guard lock(mutex_);
        if (modeStack_.empty()) return;
        stopRequested_ = true;
    }
    notifyWaiting();
}

// ---- Timers ----

void RunLoop::addTimer(const std::shared_ptr<Timer>& timer, std::string_view mode) {
    timer->attach(std::static_pointer_cast<RunLoop>(shared_from_this()));
    {
        std::lock_guard lock(mutex_);
        const bool present = std::any_of(timers_.begin(), timers_.end(), [&](const TimerEntry& e) {
            return e.timer == timer && e.mode == mode;
        });
        if (!present) timers_.push_back({timer, std::string(mode)});
    }
    wakeUp();
}

std::vector<std::shared_ptr<Timer>> RunLoop::pruneTimers() {
    std::vector<std::shared_ptr<Timer>> removed;
    std::erase_if(timers_, [&](TimerEntry& e) {
        if (e.timer->isValid()) return false;
        removed.push_back(std::move(e.timer));
        return true;
    });
    std::erase_if(delayed_, [](const DelayedPerform& d) { return !d.timer->isValid(); });
    return removed;
}

double RunLoop::nextTimerDate(std::string_view mode) const {
    double next = Clock::kNever;
    for (const auto& e : timers_) {
        if (modeMatches(e.mode, mode) && e.timer->isValid() && !e.timer->isFiring())
            next = std::min(next, e.timer->fireTime());
    }
    return next;
}

double RunLoop::nextDeadlineAfter(double time) const {
    std::lock_guard lock(mutex_);
    double next = Clock::kNever;
    for (const auto& e : timers_) {
        const double date = e.timer->fireTime();
        if (date > time && e.timer->isValid()) next = std::min(next, date);
    }
    return next;
}

void RunLoop::clockChanged() { wakeUp(); }

bool RunLoop::fireDueTimers(std::string_view mode) {
    const double now = Clock::now();
    std::vector<std::shared_ptr<Timer>> due;
    std::vector<std::shared_ptr<Timer>> removed;
    {
        std::lock_guard lock(mutex_);
        removed = pruneTimers();
        for (const auto& e : timers_) {
            if (modeMatches(e.mode, mode) && !e.timer->isFiring() && e.timer->fireTime() <= now)
                appendUnique(due, e.timer);
        }
    }
    // Earlier dates first; timers due at the same moment fire in the order they were scheduled.
    std::stable_sort(due.begin(), due.end(), [](const auto& a, const auto& b) { return a->fireTime() < b->fireTime(); });
    bool fired = false;
    for (const auto& timer : due) {
        // An earlier timer's block may have invalidated or moved this one.
        if (!timer->isValid() || timer->fireTime() > now) continue;
        timer->fireFromLoop();
        fired = true;
    }
    return fired;
}

// ---- Blocks and sources ----

void RunLoop::performBlock(std::function<void()> block, std::vector<std::string> modes) {
    {
        std::lock_guard lock(mutex_);
        blocks_.push_back({std::move(block), std::move(modes)});
        wakePending_ = true;
    }
    notifyWaiting();
}

void RunLoop::performBlockAndWait(std::function<void()> block, std::vector<std::string> modes) {
    if (onOwnThread()) {
        block();
        return;
    }
    struct Latch {
        std::mutex mutex;
        std::condition_variable done;
        bool finished = false;
    };
    auto latch = std::make_shared<Latch>();
    // The latch opens even when the block throws, so the caller is not left waiting.
    struct Opener {
        std::shared_ptr<Latch> latch;
        ~Opener() {
            {
                std::lock_guard lock(latch->mutex);
                latch->finished = true;
            }
            latch->done.notify_all();
        }
    };
    performBlock(
        [latch, block = std::move(block)] {
            Opener opener{latch};
            block();
        },
        std::move(modes));
    DispatchPool::BlockingScope blocking;
    std::unique_lock lock(latch->mutex);
    latch->done.wait(lock, [&] { return latch->finished; });
}

bool RunLoop::runBlocks(std::string_view mode) {
    std::vector<std::function<void()>> ready;
    {
        std::lock_guard lock(mutex_);
        if (blocks_.empty()) return false;
        ready.reserve(blocks_.size());
        for (auto& b : blocks_) {
            if (anyModeMatches(b.modes, mode)) ready.push_back(std::move(b.block));
        }
        // Removed in place: a fresh queue for the blocks that wait would allocate on every pass.
        std::erase_if(blocks_, [&](const Block& b) { return anyModeMatches(b.modes, mode); });
    }
    for (auto& block : ready) {
        block();
        block = nullptr;  // release what the block captured before the next one runs
    }
    return !ready.empty();
}

void RunLoop::addSource(const std::shared_ptr<RunLoopSource>& source, std::string_view mode) {
    source->attach(std::static_pointer_cast<RunLoop>(shared_from_this()));
    {
        std::lock_guard lock(mutex_);
        const bool present = std::any_of(sources_.begin(), sources_.end(), [&](const SourceEntry& e) {
            return e.source == source && e.mode == mode;
        });
        if (!present) sources_.push_back({source, std::string(mode)});
    }
    if (source->isSignalled()) wakeUp();
}

void RunLoop::removeSource(const std::shared_ptr<RunLoopSource>& source, std::string_view mode) {
    bool stillScheduled;
    {
        std::lock_guard lock(mutex_);
        std::erase_if(sources_, [&](const SourceEntry& e) { return e.source == source && e.mode == mode; });
        stillScheduled = std::any_of(sources_.begin(), sources_.end(),
                                     [&](const SourceEntry& e) { return e.source == source; });
    }
    if (!stillScheduled) source->detach(this);
    wakeUp();
}

bool RunLoop::performSources(std::string_view mode) {
    // Only those signalled: one signalled later wakes the loop again. The first is kept apart, so that
    // the usual pass (none, or one source) allocates nothing.
    std::shared_ptr<RunLoopSource> first;
    std::vector<std::shared_ptr<RunLoopSource>> more;
    {
        std::lock_guard lock(mutex_);
        for (const auto& e : sources_) {
            if (!modeMatches(e.mode, mode) || !e.source->isSignalled()) continue;
            if (!first) first = e.source;
            else if (e.source != first) appendUnique(more, e.source);
        }
    }
    bool performed = false;
    const auto perform = [&](const std::shared_ptr<RunLoopSource>& source) {
        if (!source || !source->takeSignal()) return;
        source->perform();
        performed = true;
    };
    perform(first);
    for (const auto& source : more) perform(source);
    return performed;
}

// ---- Delayed performs ----

void RunLoop::performAfterDelay(double seconds, std::weak_ptr<Object> target, std::function<void()> block,
                                std::vector<std::string> modes) {
    const auto owner = target.lock();
    if (!owner) return;  // the target is already gone: there is nobody to perform for
    auto timer = Timer::timer(seconds, false, [target = std::move(target), block = std::move(block)](Timer&) {
        if (auto alive = target.lock()) block();
    });
    std::vector<std::shared_ptr<Timer>> removed;
    {
        std::lock_guard lock(mutex_);
        removed = pruneTimers();
        delayed_.push_back({timer, owner.get()});
    }
    for (const auto& mode : modes) addTimer(timer, mode);
}

void RunLoop::cancelPerforms(const Object* target) {
    std::vector<std::shared_ptr<Timer>> cancelled;
    {
        std::lock_guard lock(mutex_);
        for (const auto& d : delayed_) {
            if (d.target == target) cancelled.push_back(d.timer);
        }
        std::erase_if(delayed_, [&](const DelayedPerform& d) { return d.target == target; });
    }
    for (const auto& timer : cancelled) timer->invalidate();
}

// ---- Running ----

bool RunLoop::runPass(std::string_view mode, bool* firedTimer) {
    // A pass of a loop is background work: once the process ends, a thread other than the ending one stops here,
    // inside a job too, and so does the main thread when another thread ends the process.
    BackgroundWork work;
    const bool fired = fireDueTimers(mode);
    if (firedTimer) *firedTimer = fired;
    bool handled = runBlocks(mode);
    handled |= performSources(mode);
    if (drainsMainQueue(mode)) handled |= DispatchQueue::main()->drainMain();
    return handled;
}

bool RunLoop::isEmpty(std::string_view mode) {
    if (drainsMainQueue(mode)) return false;
    std::vector<std::shared_ptr<Timer>> removed;
    std::lock_guard lock(mutex_);
    removed = pruneTimers();
    return std::none_of(timers_.begin(), timers_.end(), [&](const TimerEntry& e) { return modeMatches(e.mode, mode); }) &&
           std::none_of(sources_.begin(), sources_.end(), [&](const SourceEntry& e) { return modeMatches(e.mode, mode); }) &&
           std::none_of(blocks_.begin(), blocks_.end(), [&](const Block& b) { return anyModeMatches(b.modes, mode); });
}

bool RunLoop::waitForWork(std::string_view mode, double limit, std::chrono::steady_clock::time_point realLimit) {
    // A pool worker parked in its run loop (an operation waiting for its transfer) is a blocked worker,
    // and the pool adds one meanwhile. Announced before taking the loop's lock: it may wake other loops.
    DispatchPool::BlockingScope blocking;
    std::unique_lock lock(mutex_);
    while (!wakePending_ && !stopRequested_) {
        const double now = Clock::now();
        const double due = std::min(nextTimerDate(mode), limit);
        if (due <= now) break;
        auto until = realLimit;
        // A manual clock only moves when advanced, and advancing wakes every loop.
        if (!Clock::isManual()) until = std::min(until, realDeadlineAfter(due - now));
        if (waiter_) {
            const auto waiter = waiter_;
            lock.unlock();
            waiter->wait(until, [this] {
                std::lock_guard held(mutex_);
                return wakePending_ || stopRequested_;
            });
            lock.lock();
            if (!wakePending_ && !stopRequested_ && until == realLimit && std::chrono::steady_clock::now() >= until)
                return false;
            continue;
        }
        if (until == std::chrono::steady_clock::time_point::max()) {
            wake_.wait(lock);
        } else if (wake_.wait_until(lock, until) == std::cv_status::timeout && until == realLimit) {
            return false;
        }
    }
    wakePending_ = false;
    return true;
}

// A run entered in a mode leaves it even when a timer or block of the caller's throws out of it, so the
// loop never reports a run that has ended.
class RunLoop::ModeScope {
public:
    // A run clears a stop asked for during its last block, so that it ends this run and not the next.
    ModeScope(RunLoop& loop, std::string_view mode, bool endsStop) : loop_(loop), endsStop_(endsStop) {
        std::lock_guard lock(loop_.mutex_);
        loop_.modeStack_.emplace_back(mode);
    }
    ~ModeScope() {
        std::lock_guard lock(loop_.mutex_);
        loop_.modeStack_.pop_back();
        if (endsStop_) loop_.stopRequested_ = false;
    }
    ModeScope(const ModeScope&) = delete;
    ModeScope& operator=(const ModeScope&) = delete;

private:
    RunLoop& loop_;
    bool endsStop_;
};

bool RunLoop::runMode(std::string_view mode, Date limit) {
    if (isEmpty(mode)) return false;
    ModeScope scope(*this, mode, true);
    const double until = limit.timeIntervalSince1970();
    for (;;) {
        if (runPass(mode)) break;
        {
            std::lock_guard lock(mutex_);
            if (std::exchange(stopRequested_, false)) break;
        }
        if (Clock::now() >= until || isEmpty(mode)) break;
        waitForWork(mode, until);
    }
    return true;
}

void RunLoop::run() {
    while (runMode(DefaultRunLoopMode, Date::distantFuture())) {
    }
}

void RunLoop::runUntilDate(Date limit) {
    while (Clock::now() < limit.timeIntervalSince1970() && runMode(DefaultRunLoopMode, limit)) {
    }
}

void RunLoop::runDueWork() {
    std::string mode = currentMode();
    if (!mode.empty()) {
        runPass(mode);
        return;
    }
    ModeScope scope(*this, DefaultRunLoopMode, false);
    runPass(DefaultRunLoopMode);
}

bool RunLoop::waitForWorkFor(double seconds) {
    return waitForWork(DefaultRunLoopMode, Clock::kNever, realDeadlineAfter(seconds));
}

bool RunLoop::runUntil(const std::function<bool()>& condition, double timeoutSeconds) {
    const std::string_view mode = DefaultRunLoopMode;
    const double limit = Clock::now() + timeoutSeconds;
    const auto realLimit = realDeadlineAfter(timeoutSeconds);
    ModeScope scope(*this, mode, true);
    auto self = std::static_pointer_cast<RunLoop>(shared_from_this());
    bool satisfied = false;
    for (;;) {
        if ((satisfied = condition())) break;
        bool fired = false;
        if (runPass(mode, &fired) || fired) continue;
        {
            std::lock_guard lock(mutex_);
            if (std::exchange(stopRequested_, false)) break;
        }
        if (Clock::now() >= limit) break;
        if (!Clock::isManual()) {
            if (!waitForWork(mode, limit, realLimit)) break;
            continue;
        }
        // Manual time: let other threads finish what they are doing before time moves on.
        DispatchPool& pool = DispatchPool::shared();
        if (pool.hasRunnableWork()) {
            pool.wakeWhenIdle(self);
            if (!waitForWork(mode, limit, realLimit)) break;
            continue;
        }
        const double next = Clock::nextDeadline();
        if (next <= limit) {
            Clock::advanceTo(next);
            continue;
        }
        // Nothing is scheduled before the limit; only another thread could still deliver something.
        if (!waitForWork(mode, limit, realLimit)) {
            Clock::advanceTo(limit);
            runPass(mode);
            satisfied = condition();
            break;
        }
    }
    return satisfied;
}

}  // namespace ql::ns
