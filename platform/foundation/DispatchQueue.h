#pragma once
// ns::DispatchQueue: queues of blocks. The main queue is drained by the main run loop; serial and
// concurrent queues run on a small shared thread pool that grows while workers are blocked in waits.
// DispatchGroup tracks completion of sets of blocks; DispatchSemaphore counts.

#include <semaphore.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/foundation/Object.h"

namespace ql::ns {

class DispatchQueue final : public Object {
    QL_OBJECT(DispatchQueue, Object)
public:
    enum class Priority { High, Default, Low, Background };
    enum class Kind { Main, Serial, Concurrent, Global };

    class Key {
        friend class DispatchQueue;
        Key() = default;
    };
    // Use main(), global(), serial() or concurrent().
    DispatchQueue(Key, Kind kind, std::string label, Priority priority);

    static std::shared_ptr<DispatchQueue> main();
    static std::shared_ptr<DispatchQueue> global(Priority priority = Priority::Default);
    static std::shared_ptr<DispatchQueue> serial(std::string label);
    static std::shared_ptr<DispatchQueue> concurrent(std::string label);

    void async(std::function<void()> block);
    // Runs the block and returns once it has run, after everything queued before it. Work on a serial or
    // concurrent queue runs on the calling thread; work on the main queue runs on the main thread. Waiting
    // for a queue that is running the caller (sync onto the current serial queue, or onto the main queue
    // from the main thread) raises instead of deadlocking.
    void sync(std::function<void()> block);
    // Queues the block after `seconds` of ns::Clock time.
    void after(double seconds, std::function<void()> block);
    // On a concurrent queue made with concurrent(), barrier blocks run alone: after everything queued
    // before them has finished and before anything queued after them starts. Elsewhere they are plain.
    void asyncBarrier(std::function<void()> block);
    void syncBarrier(std::function<void()> block);

    const std::string& label() const { return label_; }
    Kind kind() const { return kind_; }
    Priority priority() const { return priority_; }
    // True while code runs on behalf of this queue, including blocks run inline by sync.
    bool isCurrent() const;
    static bool isMainThread();

    // Lets the work of the queues other than the main one end before what it uses goes (a sandbox at its end,
    // say): waits until none is queued or running any more, what it queues in turn included, for at most
    // `realSeconds`. On the main thread the main queue runs meanwhile while some of that work waits, since it
    // may be waiting for the main thread (what such a block raises comes out of here). Returns whether all of it
    // ended; what has not goes on afterwards.
    static bool finishBackgroundWork(double realSeconds);
    // The same, until `deadline`.
    static bool finishBackgroundWork(std::chrono::steady_clock::time_point deadline);

    // Suspension stops new blocks from starting (the running ones finish); calls nest.
    void suspend();
    void resume();

private:
    friend class RunLoop;
    struct SyncWaiter;
    struct Item {
        std::function<void()> block;
        SyncWaiter* waiter = nullptr;  // a sync caller waiting for its turn
        bool barrier = false;
    };

    void enqueue(Item item);
    // Under mutex_: claims the serial queue for a drain when it is idle and has work; a sync caller at
    // the front gets the queue directly. Returns whether a drain must be submitted.
    bool startSerialLocked();
    void submitDrain();
    void drainSerial();
    // Under mutex_: takes the items of a concurrent queue that may start now.
    void takeStartableLocked(std::vector<Item>& started);
    void launch(std::vector<Item>& started);
    void runConcurrent(Item item);
    void finishConcurrent(bool barrier);
    void grantLocked(Item& item);
    void syncOntoPool(std::function<void()> block, bool barrier);
    void syncOntoMain(std::function<void()> block);
    // The main run loop's share of the main queue: runs what it holds now; true when anything ran.
    bool drainMain();

    const Kind kind_;
    const std::string label_;
    const Priority priority_;
    mutable std::mutex mutex_;
    std::deque<Item> items_;
    int running_ = 0;
    bool barrierRunning_ = false;
    int suspendCount_ = 0;
    int syncWaiters_ = 0;
    std::atomic<bool> suspended_{false};
    std::deque<Item> mainBatch_;  // main queue: taken from items_ by the main thread, still to run
};

class DispatchGroup final : public Object {
    QL_OBJECT(DispatchGroup, Object)
public:
    DispatchGroup() = default;
    ~DispatchGroup() override;

    void enter();
    // Raises when it does not match an enter.
    void leave();
    void async(const std::shared_ptr<DispatchQueue>& queue, std::function<void()> block);
    // Queues `block` on `queue` once the group is empty (at once when it already is).
    void notify(const std::shared_ptr<DispatchQueue>& queue, std::function<void()> block);
    // Waits until the group is empty, at most `timeoutSeconds` of real time (negative: forever).
    // Returns whether the group emptied.
    bool wait(double timeoutSeconds);

private:
    struct Notification {
        std::shared_ptr<DispatchQueue> queue;
        std::function<void()> block;
    };
    std::mutex mutex_;
    std::condition_variable emptied_;
    long count_ = 0;
    std::vector<Notification> notifications_;
};

class DispatchSemaphore {
public:
    explicit DispatchSemaphore(long value);
    ~DispatchSemaphore();
    DispatchSemaphore(const DispatchSemaphore&) = delete;
    DispatchSemaphore& operator=(const DispatchSemaphore&) = delete;

    void signal();
    // Waits at most `timeoutSeconds` of real time (negative: forever); returns whether it got the count.
    bool wait(double timeoutSeconds = -1);

private:
    // A counting semaphore of the C library: a signal that finds nobody waiting costs no system call, and
    // one that wakes a waiter does not make it queue for a lock the signaller still holds. It may be
    // destroyed as soon as a wait returns, even while the signal that ended the wait is still returning.
    sem_t semaphore_;
};

}  // namespace ql::ns
