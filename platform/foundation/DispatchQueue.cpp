#include "platform/foundation/DispatchQueue.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <iterator>

#include "platform/foundation/BackgroundWork.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/DelayedDispatch.h"
#include "platform/foundation/DispatchPool.h"
#include "platform/foundation/Exception.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Thread.h"

namespace ql::ns {

namespace {

// The queues on whose behalf this thread is running code, innermost first (a chain through sync calls).
struct QueueFrame {
    const DispatchQueue* queue;
    const QueueFrame* previous;
};
thread_local const QueueFrame* currentFrame = nullptr;

class FrameScope {
public:
    explicit FrameScope(const DispatchQueue* queue) : frame_{queue, currentFrame} { currentFrame = &frame_; }
    ~FrameScope() { currentFrame = frame_.previous; }
    FrameScope(const FrameScope&) = delete;
    FrameScope& operator=(const FrameScope&) = delete;

private:
    QueueFrame frame_;
};

// Runs `onExit` when leaving a scope, also by an exception, so a queue is never left claimed.
template <class F>
class Finally {
public:
    explicit Finally(F f) : f_(std::move(f)) {}
    ~Finally() { f_(); }
    Finally(const Finally&) = delete;
    Finally& operator=(const Finally&) = delete;

private:
    F f_;
};

std::shared_ptr<DispatchQueue>* leaked(std::shared_ptr<DispatchQueue> queue) {
    return new std::shared_ptr<DispatchQueue>(std::move(queue));
}

}  // namespace

struct DispatchQueue::SyncWaiter {
    std::condition_variable granted;
    bool isGranted = false;
};

DispatchQueue::DispatchQueue(Key, Kind kind, std::string label, Priority priority)
    : kind_(kind),
      label_(std::move(label)),
      priority_(priority) {}

std::shared_ptr<DispatchQueue> DispatchQueue::main() {
    // The main run loop drains this queue, so it exists first.
    static std::shared_ptr<DispatchQueue>* queue = [] {
        RunLoop::main();
        return leaked(std::make_shared<DispatchQueue>(Key{}, Kind::Main, "com.apple.main-thread", Priority::Default));
    }();
    return *queue;
}

std::shared_ptr<DispatchQueue> DispatchQueue::global(Priority priority) {
    static const std::array<std::shared_ptr<DispatchQueue>*, 4> queues = {
        leaked(std::make_shared<DispatchQueue>(Key{}, Kind::Global, "com.apple.root.user-initiated-qos", Priority::High)),
        leaked(std::make_shared<DispatchQueue>(Key{}, Kind::Global, "com.apple.root.default-qos", Priority::Default)),
        leaked(std::make_shared<DispatchQueue>(Key{}, Kind::Global, "com.apple.root.utility-qos", Priority::Low)),
        leaked(std::make_shared<DispatchQueue>(Key{}, Kind::Global, "com.apple.root.background-qos", Priority::Background)),
    };
    return *queues[static_cast<std::size_t>(priority)];
}

std::shared_ptr<DispatchQueue> DispatchQueue::serial(std::string label) {
    return std::make_shared<DispatchQueue>(Key{}, Kind::Serial, std::move(label), Priority::Default);
}

std::shared_ptr<DispatchQueue> DispatchQueue::concurrent(std::string label) {
    return std::make_shared<DispatchQueue>(Key{}, Kind::Concurrent, std::move(label), Priority::Default);
}

bool DispatchQueue::isMainThread() { return Thread::isMainThread(); }

bool DispatchQueue::isCurrent() const {
    if (kind_ == Kind::Main) return Thread::isMainThread();
    for (const QueueFrame* frame = currentFrame; frame; frame = frame->previous) {
        if (frame->queue == this) return true;
    }
    return false;
}

// ---- Submitting ----

void DispatchQueue::async(std::function<void()> block) { enqueue(Item{std::move(block)}); }

void DispatchQueue::asyncBarrier(std::function<void()> block) {
    enqueue(Item{std::move(block), nullptr, kind_ == Kind::Concurrent});
}

void DispatchQueue::after(double seconds, std::function<void()> block) {
    DelayedDispatch::shared().schedule(Clock::now() + std::max(seconds, 0.0),
                                       std::static_pointer_cast<DispatchQueue>(shared_from_this()), std::move(block));
}

void DispatchQueue::enqueue(Item item) {
    switch (kind_) {
    case Kind::Main: {
        bool wasEmpty;
        {
            std::lock_guard lock(mutex_);
            wasEmpty = items_.empty();
            items_.push_back(std::move(item));
        }
        // The loop takes everything at once, so only the first block after a drain needs to wake it.
        if (wasEmpty) RunLoop::main()->wakeUp();
        return;
    }
    case Kind::Serial: {
        bool drain;
        {
            std::lock_guard lock(mutex_);
            items_.push_back(std::move(item));
            drain = startSerialLocked();
        }
        if (drain) submitDrain();
        return;
    }
    case Kind::Concurrent:
    case Kind::Global: {
        std::vector<Item> started;
        {
            std::lock_guard lock(mutex_);
            items_.push_back(std::move(item));
            takeStartableLocked(started);
        }
        launch(started);
        return;
    }
    }
}

void DispatchQueue::grantLocked(Item& item) {
    --syncWaiters_;
    item.waiter->isGranted = true;
    item.waiter->granted.notify_one();
}

// ---- Serial queues ----

bool DispatchQueue::startSerialLocked() {
    if (running_ > 0 || suspendCount_ > 0 || items_.empty()) return false;
    running_ = 1;
    if (items_.front().waiter) {
        grantLocked(items_.front());
        items_.pop_front();
        return false;
    }
    return true;
}

void DispatchQueue::submitDrain() {
    DispatchPool::shared().submit(priority_, [self = std::static_pointer_cast<DispatchQueue>(shared_from_this())] {
        self->drainSerial();
    });
}

// Runs the queue's blocks in batches on one worker: no hand-off between threads per block.
void DispatchQueue::drainSerial() {
    FrameScope frame(this);
    std::deque<Item> batch;
    for (;;) {
        {
            std::lock_guard lock(mutex_);
            if (suspendCount_ > 0 || items_.empty()) {
                running_ = 0;
                return;
            }
            if (items_.front().waiter) {  // the queue passes to the sync caller, still claimed
                grantLocked(items_.front());
                items_.pop_front();
                return;
            }
            if (syncWaiters_ == 0) {
                batch.swap(items_);
            } else {
                while (!items_.front().waiter) {
                    batch.push_back(std::move(items_.front()));
                    items_.pop_front();
                }
            }
        }
        while (!batch.empty()) {
            if (suspended_.load(std::memory_order_relaxed)) {
                std::lock_guard lock(mutex_);
                items_.insert(items_.begin(), std::make_move_iterator(batch.begin()),
                              std::make_move_iterator(batch.end()));
                batch.clear();
                break;
            }
            Item item = std::move(batch.front());
            batch.pop_front();
            // Each block is a stretch of its own: once the process ends, the drain stops before the next one.
            BackgroundWork::stopHereOnceTheEndHasBegun();
            item.block();
        }
        // A busy queue gives its worker back when other jobs wait; the queue stays claimed meanwhile.
        if (DispatchPool::shared().hasWaitingJobs()) {
            submitDrain();
            return;
        }
    }
}

// ---- Concurrent and global queues ----

void DispatchQueue::takeStartableLocked(std::vector<Item>& started) {
    while (suspendCount_ == 0 && !items_.empty() && !barrierRunning_) {
        Item& front = items_.front();
        if (front.barrier) {
            if (running_ > 0) break;
            barrierRunning_ = true;
        } else {
            ++running_;
        }
        if (front.waiter) grantLocked(front);
        else started.push_back(std::move(front));
        items_.pop_front();
    }
}

void DispatchQueue::launch(std::vector<Item>& started) {
    for (auto& item : started) {
        DispatchPool::shared().submit(priority_, [self = std::static_pointer_cast<DispatchQueue>(shared_from_this()),
                                                  item = std::move(item)]() mutable {
            self->runConcurrent(std::move(item));
        });
    }
    started.clear();
}

void DispatchQueue::runConcurrent(Item item) {
    {
        FrameScope frame(this);
        item.block();
    }
    const bool barrier = item.barrier;
    item = Item{};
    finishConcurrent(barrier);
}

void DispatchQueue::finishConcurrent(bool barrier) {
    std::vector<Item> started;
    {
        std::lock_guard lock(mutex_);
        if (barrier) barrierRunning_ = false;
        else --running_;
        takeStartableLocked(started);
    }
    launch(started);
}

// ---- Sync ----

void DispatchQueue::sync(std::function<void()> block) {
    if (kind_ == Kind::Main) syncOntoMain(std::move(block));
    else syncOntoPool(std::move(block), false);
}

void DispatchQueue::syncBarrier(std::function<void()> block) {
    if (kind_ == Kind::Main) syncOntoMain(std::move(block));
    else syncOntoPool(std::move(block), kind_ == Kind::Concurrent);
}

void DispatchQueue::syncOntoMain(std::function<void()> block) {
    if (Thread::isMainThread())
        throw Exception(InternalInconsistencyException, "sync onto the main queue from the main thread would deadlock");
    struct Latch {
        std::mutex mutex;
        std::condition_variable done;
        bool finished = false;
    } latch;
    enqueue(Item{[&] {
        Finally open([&] {
            std::lock_guard lock(latch.mutex);
            latch.finished = true;
            latch.done.notify_one();
        });
        block();
    }});
    DispatchPool::BlockingScope blocking;
    std::unique_lock lock(latch.mutex);
    latch.done.wait(lock, [&] { return latch.finished; });
}

// Sync work runs on the caller's thread once the queue grants it its turn.
void DispatchQueue::syncOntoPool(std::function<void()> block, bool barrier) {
    const bool exclusive = barrier || kind_ == Kind::Serial;
    if (exclusive && isCurrent())
        throw Exception(InternalInconsistencyException,
                        "sync onto the queue \"" + label_ + "\" from its own block would deadlock");
    SyncWaiter waiter;
    bool free;
    {
        std::lock_guard lock(mutex_);
        free = suspendCount_ == 0 && items_.empty() && !barrierRunning_ && (!exclusive || running_ == 0);
        if (free) {
            if (barrier) barrierRunning_ = true;
            else ++running_;
        } else {
            items_.push_back(Item{{}, &waiter, barrier});
            ++syncWaiters_;
        }
    }
    if (!free) {
        // Entered before the lock is taken, so left after it is let go: a thread the end of the process stops as
        // the wait ends holds no lock of the queue's. It keeps the turn it was given: what is queued after it is
        // given up with it.
        DispatchPool::BlockingScope blocking;
        std::unique_lock lock(mutex_);
        waiter.granted.wait(lock, [&] { return waiter.isGranted; });
    }
    Finally release([&] {
        if (kind_ == Kind::Serial) {
            bool drain;
            {
                std::lock_guard lock(mutex_);
                running_ = 0;
                drain = startSerialLocked();
            }
            if (drain) submitDrain();
        } else {
            finishConcurrent(barrier);
        }
    });
    FrameScope frame(this);
    block();
}

// ---- The end of background work ----

bool DispatchQueue::finishBackgroundWork(double realSeconds) {
    return finishBackgroundWork(std::chrono::steady_clock::now() +
                                std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                    std::chrono::duration<double>(std::max(realSeconds, 0.0))));
}

bool DispatchQueue::finishBackgroundWork(std::chrono::steady_clock::time_point deadline) {
    DispatchPool* pool = DispatchPool::existing();
    if (!pool) return true;
    std::function<void()> serveMainQueue;
    if (Thread::isMainThread()) serveMainQueue = [] { main()->drainMain(); };
    return pool->waitUntilQuiet(true, deadline, serveMainQueue);
}

// ---- Suspension ----

void DispatchQueue::suspend() {
    if (kind_ == Kind::Global) return;  // the global queues cannot be suspended
    std::lock_guard lock(mutex_);
    ++suspendCount_;
    suspended_.store(true, std::memory_order_relaxed);
}

void DispatchQueue::resume() {
    if (kind_ == Kind::Global) return;
    std::vector<Item> started;
    bool drain = false;
    {
        std::lock_guard lock(mutex_);
        if (suspendCount_ == 0)
            throw Exception(InternalInconsistencyException, "resume of the queue \"" + label_ + "\" without a suspend");
        if (--suspendCount_ > 0) return;
        suspended_.store(false, std::memory_order_relaxed);
        if (kind_ == Kind::Serial) drain = startSerialLocked();
        else if (kind_ == Kind::Concurrent) takeStartableLocked(started);
    }
    if (kind_ == Kind::Main) RunLoop::main()->wakeUp();
    if (drain) submitDrain();
    launch(started);
}

// ---- The main queue ----

bool DispatchQueue::drainMain() {
    // A block that runs the loop again (a nested run) continues this batch before anything newer.
    if (mainBatch_.empty()) {
        std::lock_guard lock(mutex_);
        if (suspendCount_ > 0) return false;
        mainBatch_.swap(items_);
    }
    FrameScope frame(this);
    bool ran = false;
    while (!mainBatch_.empty()) {
        if (suspended_.load(std::memory_order_relaxed)) {
            std::lock_guard lock(mutex_);
            items_.insert(items_.begin(), std::make_move_iterator(mainBatch_.begin()),
                          std::make_move_iterator(mainBatch_.end()));
            mainBatch_.clear();
            break;
        }
        Item item = std::move(mainBatch_.front());
        mainBatch_.pop_front();
        item.block();
        ran = true;
    }
    return ran;
}

}  // namespace ql::ns
