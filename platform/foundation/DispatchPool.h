#pragma once
// The worker threads behind every queue but the main one. Keeps about one runnable worker per core and
// adds workers while others are blocked in a wait (sync, semaphores, groups), so that nested waits
// cannot starve the pool. Internal to the foundation: queues submit jobs, waits announce themselves.

#include <semaphore.h>

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/foundation/BackgroundWork.h"
#include "platform/foundation/DispatchQueue.h"

namespace ql::ns {

class RunLoop;

class DispatchPool {
public:
    static DispatchPool& shared();
    // The pool if it has been made: looking at it makes none.
    static DispatchPool* existing();

    void submit(DispatchQueue::Priority priority, std::function<void()> job);
    // True when jobs are queued or running and not all of them are blocked in waits.
    bool hasRunnableWork();
    // Wakes `loop` once the pool has no runnable work left (at once when it has none).
    void wakeWhenIdle(const std::weak_ptr<RunLoop>& loop);
    // Whether jobs are waiting for a worker; a long-running drain yields when they are.
    bool hasWaitingJobs();
    // Counts the times the pool went from having no job, queued or running, to having one: two looks that get
    // the same number saw one unbroken spell of work.
    std::uint64_t busySpell();
    // Waits, at most until `deadline`, until no job is queued and every job has ended (`everyJob`), or until
    // only jobs blocked in a wait are left (otherwise). A job of the calling worker is not waited for. While
    // a job is blocked, `meanwhile` (when given) runs between looks: the job may be waiting for the caller.
    // Returns whether the pool got there.
    bool waitUntilQuiet(bool everyJob, std::chrono::steady_clock::time_point deadline,
                        const std::function<void()>& meanwhile = {});
    // The calling thread stops for good at the end of the process (BackgroundWork): on a worker, its job no
    // longer counts as running, so the waits for quiet do not wait for it.
    void stopsForGoodHere();

    // Wraps a wait that may block the calling thread; on a worker it lets the pool add a worker.
    class BlockingScope {
    public:
        BlockingScope();
        ~BlockingScope();
        BlockingScope(const BlockingScope&) = delete;
        BlockingScope& operator=(const BlockingScope&) = delete;

    private:
        bool onWorker_;
        BackgroundWork::Pause pause_;
    };

private:
    DispatchPool();
    void workerMain();
    void spawnIfNeededLocked();
    void notifyIdleLocked(std::vector<std::weak_ptr<RunLoop>>& toWake);
    // Under the lock: a job ended or blocked, which a quiet waiter looks at.
    void notifyQuietWaitersLocked();
    static void wake(std::vector<std::weak_ptr<RunLoop>>& loops);

    static constexpr std::size_t kLevels = 4;
    const int baseWorkers_;
    const int maxWorkers_;
    std::mutex mutex_;
    // Sleeping workers wait here, each woken by one post. A woken worker takes the lock as anyone does,
    // so that giving it back costs no system call (a condition variable's waiter takes it back in a way
    // that makes the next unlock wake nobody through the kernel).
    sem_t wakeUps_;
    std::array<std::deque<std::function<void()>>, kLevels> jobs_;
    // Changed under the lock; read without it by hasWaitingJobs, which a draining queue asks per batch.
    std::atomic<std::size_t> queued_{0};
    std::uint64_t busySpells_ = 0;
    int workers_ = 0;
    int idle_ = 0;  // sleeping workers that no post has claimed yet
    int blocked_ = 0;
    int running_ = 0;
    std::vector<std::weak_ptr<RunLoop>> idleWaiters_;
    std::condition_variable quieter_;
    int quietWaiters_ = 0;
};

}  // namespace ql::ns
