#include "platform/foundation/DispatchQueue.h"

#include <cerrno>
#include <chrono>
#include <cmath>
#include <ctime>
#include <string>

#include "platform/foundation/DispatchPool.h"
#include "platform/foundation/Exception.h"
#include "platform/foundation/RaceDetector.h"

namespace ql::ns {

// ---- Groups ----

DispatchGroup::~DispatchGroup() = default;

void DispatchGroup::enter() {
    std::lock_guard lock(mutex_);
    ++count_;
}

void DispatchGroup::leave() {
    std::vector<Notification> due;
    {
        std::lock_guard lock(mutex_);
        if (count_ == 0) throw Exception(InternalInconsistencyException, "DispatchGroup::leave without a matching enter");
        if (--count_ > 0) return;
        due.swap(notifications_);
        // Under the lock: a waiter that wakes may destroy the group as soon as the lock is free.
        emptied_.notify_all();
    }
    for (auto& n : due) n.queue->async(std::move(n.block));
}

void DispatchGroup::async(const std::shared_ptr<DispatchQueue>& queue, std::function<void()> block) {
    enter();
    queue->async([self = std::static_pointer_cast<DispatchGroup>(shared_from_this()), block = std::move(block)] {
        // The group is left even when the block throws, so waiters are not stranded.
        struct Leave {
            DispatchGroup& group;
            ~Leave() { group.leave(); }
        } leave{*self};
        block();
    });
}

void DispatchGroup::notify(const std::shared_ptr<DispatchQueue>& queue, std::function<void()> block) {
    {
        std::lock_guard lock(mutex_);
        if (count_ > 0) {
            notifications_.push_back({queue, std::move(block)});
            return;
        }
    }
    queue->async(std::move(block));
}

bool DispatchGroup::wait(double timeoutSeconds) {
    {
        std::lock_guard lock(mutex_);
        if (count_ == 0) return true;
    }
    // Entered before the lock is taken, so left after it is let go: a thread the end of the process stops as the
    // wait ends holds no lock of the group's.
    DispatchPool::BlockingScope blocking;
    std::unique_lock lock(mutex_);
    auto empty = [&] { return count_ == 0; };
    if (timeoutSeconds < 0) {
        emptied_.wait(lock, empty);
        return true;
    }
    return emptied_.wait_for(lock, std::chrono::duration<double>(timeoutSeconds), empty);
}

// ---- Semaphores ----

namespace {
// Longer timed waits are waits without end: their deadline would not fit the clock's seconds.
constexpr double kLongestTimedWaitSeconds = 1e9;
}  // namespace

DispatchSemaphore::DispatchSemaphore(long value) {
    if (value < 0) throw Exception(InvalidArgumentException, "a semaphore cannot start below zero");
    if (value > SEM_VALUE_MAX)
        throw Exception(InvalidArgumentException, "a semaphore cannot start above " + std::to_string(SEM_VALUE_MAX));
    sem_init(&semaphore_, 0, static_cast<unsigned>(value));
}

DispatchSemaphore::~DispatchSemaphore() { sem_destroy(&semaphore_); }

void DispatchSemaphore::signal() {
    race::happensBefore(&semaphore_);
    if (sem_post(&semaphore_) != 0)
        throw Exception(RangeException, "a semaphore cannot count above " + std::to_string(SEM_VALUE_MAX));
}

bool DispatchSemaphore::wait(double timeoutSeconds) {
    if (sem_trywait(&semaphore_) == 0) return true;
    DispatchPool::BlockingScope blocking;
    if (!(timeoutSeconds >= 0) || timeoutSeconds > kLongestTimedWaitSeconds) {
        while (sem_wait(&semaphore_) != 0) {  // only a signal handler interrupts it
        }
        return true;
    }
    timespec deadline{};
    clock_gettime(CLOCK_MONOTONIC, &deadline);
    const double whole = std::floor(timeoutSeconds);
    deadline.tv_sec += static_cast<time_t>(whole);
    deadline.tv_nsec += static_cast<long>((timeoutSeconds - whole) * 1e9);
    if (deadline.tv_nsec >= 1'000'000'000L) {
        deadline.tv_sec += 1;
        deadline.tv_nsec -= 1'000'000'000L;
    }
    while (sem_clockwait(&semaphore_, CLOCK_MONOTONIC, &deadline) != 0) {
        if (errno == ETIMEDOUT) return false;
    }
    // The race detector's runtime sees the other waits take the count, but not this one.
    race::happensAfter(&semaphore_);
    return true;
}

}  // namespace ql::ns
