#include "platform/foundation/DispatchPool.h"

#include <algorithm>
#include <pthread.h>
#include <thread>

#include "platform/foundation/RunLoop.h"

namespace ql::ns {

namespace {

thread_local bool isWorkerThread = false;
std::atomic<DispatchPool*> made{nullptr};

std::size_t levelOf(DispatchQueue::Priority priority) { return static_cast<std::size_t>(priority); }

}  // namespace

DispatchPool& DispatchPool::shared() {
    // Workers never end, so the pool outlives every static; it is reachable through this pointer.
    static DispatchPool* pool = new DispatchPool;
    return *pool;
}

DispatchPool* DispatchPool::existing() { return made.load(); }

DispatchPool::DispatchPool()
    : baseWorkers_(std::max(2, static_cast<int>(std::thread::hardware_concurrency()))),
      maxWorkers_(std::max(64, 4 * baseWorkers_)) {
    sem_init(&wakeUps_, 0, 0);
    made.store(this);
}

void DispatchPool::submit(DispatchQueue::Priority priority, std::function<void()> job) {
    std::unique_lock lock(mutex_);
    if (queued_ == 0 && running_ == 0) ++busySpells_;
    jobs_[levelOf(priority)].push_back(std::move(job));
    ++queued_;
    if (idle_ > 0) {
        --idle_;  // that sleeper is claimed: another job wakes another one
        lock.unlock();
        sem_post(&wakeUps_);
        return;
    }
    spawnIfNeededLocked();
}

void DispatchPool::spawnIfNeededLocked() {
    const int runnable = workers_ - blocked_;
    if (queued_ == 0 || idle_ > 0 || runnable >= baseWorkers_ || workers_ >= maxWorkers_) return;
    ++workers_;
    std::thread([this] { workerMain(); }).detach();
}

void DispatchPool::workerMain() {
    // A job may call exit(): the process then ends from here as it would from main.
    BackgroundWork::ThreadBody body;
    isWorkerThread = true;
    pthread_setname_np(pthread_self(), "ql.dispatch");
    std::unique_lock lock(mutex_);
    for (;;) {
        // A worker that finds no job sleeps; one woken may find its job taken by a busy worker, and
        // sleeps again.
        while (queued_ == 0) {
            ++idle_;
            lock.unlock();
            while (sem_wait(&wakeUps_) != 0) {  // only a signal handler interrupts it
            }
            lock.lock();
        }
        auto level = std::find_if(jobs_.begin(), jobs_.end(), [](const auto& jobs) { return !jobs.empty(); });
        std::function<void()> job = std::move(level->front());
        level->pop_front();
        --queued_;
        ++running_;
        lock.unlock();
        {
            // Once the process ends, the worker stops here for good and the job is given up.
            BackgroundWork work;
            job();
            job = nullptr;  // what the job captured goes before the pool counts it as done
        }
        lock.lock();
        --running_;
        notifyQuietWaitersLocked();
        std::vector<std::weak_ptr<RunLoop>> toWake;
        notifyIdleLocked(toWake);
        if (!toWake.empty()) {
            lock.unlock();
            wake(toWake);
            lock.lock();
        }
    }
}

bool DispatchPool::hasRunnableWork() {
    std::lock_guard lock(mutex_);
    return queued_ > 0 || running_ > blocked_;
}

bool DispatchPool::hasWaitingJobs() { return queued_.load(std::memory_order_relaxed) > 0; }

std::uint64_t DispatchPool::busySpell() {
    std::lock_guard lock(mutex_);
    return busySpells_;
}

void DispatchPool::notifyQuietWaitersLocked() {
    if (quietWaiters_ > 0) quieter_.notify_all();
}

bool DispatchPool::waitUntilQuiet(bool everyJob, std::chrono::steady_clock::time_point deadline,
                                  const std::function<void()>& meanwhile) {
    const int own = isWorkerThread ? 1 : 0;
    // A worker waiting here is a blocked one, so the pool can run the rest meanwhile.
    BlockingScope blocking;
    std::unique_lock lock(mutex_);
    const auto quiet = [&] { return queued_ == 0 && running_ <= (everyJob ? own : blocked_); };
    ++quietWaiters_;
    for (;;) {
        if (quiet() || std::chrono::steady_clock::now() >= deadline) break;
        if (meanwhile && blocked_ > own) {
            lock.unlock();
            meanwhile();
            lock.lock();
            // What the caller runs does not tell the pool: look again soon.
            quieter_.wait_until(lock, std::min(deadline, std::chrono::steady_clock::now() + std::chrono::milliseconds(5)));
        } else {
            quieter_.wait_until(lock, deadline);
        }
    }
    --quietWaiters_;
    return quiet();
}

void DispatchPool::stopsForGoodHere() {
    if (!isWorkerThread) return;
    std::vector<std::weak_ptr<RunLoop>> toWake;
    {
        std::lock_guard lock(mutex_);
        --running_;
        notifyQuietWaitersLocked();
        notifyIdleLocked(toWake);
    }
    wake(toWake);
}

void DispatchPool::notifyIdleLocked(std::vector<std::weak_ptr<RunLoop>>& toWake) {
    if (idleWaiters_.empty() || queued_ > 0 || running_ > blocked_) return;
    toWake.swap(idleWaiters_);
}

void DispatchPool::wake(std::vector<std::weak_ptr<RunLoop>>& loops) {
    for (auto& weak : loops) {
        if (auto loop = weak.lock()) loop->wakeUp();
    }
}

void DispatchPool::wakeWhenIdle(const std::weak_ptr<RunLoop>& loop) {
    std::vector<std::weak_ptr<RunLoop>> toWake;
    {
        std::lock_guard lock(mutex_);
        auto same = [&](const std::weak_ptr<RunLoop>& w) { return !w.owner_before(loop) && !loop.owner_before(w); };
        if (std::none_of(idleWaiters_.begin(), idleWaiters_.end(), same)) idleWaiters_.push_back(loop);
        notifyIdleLocked(toWake);
    }
    wake(toWake);
}

DispatchPool::BlockingScope::BlockingScope() : onWorker_(isWorkerThread) {
    if (!onWorker_) return;
    DispatchPool& pool = shared();
    std::vector<std::weak_ptr<RunLoop>> toWake;
    {
        std::lock_guard lock(pool.mutex_);
        ++pool.blocked_;
        pool.spawnIfNeededLocked();
        pool.notifyIdleLocked(toWake);
        pool.notifyQuietWaitersLocked();
    }
    wake(toWake);
}

DispatchPool::BlockingScope::~BlockingScope() {
    if (!onWorker_) return;
    DispatchPool& pool = shared();
    std::lock_guard lock(pool.mutex_);
    --pool.blocked_;
}

}  // namespace ql::ns
