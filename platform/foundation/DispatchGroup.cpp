#include "platform/foundation/DispatchQueue.h"

#include <chrono>

#include "platform/foundation/DispatchPool.h"
#include "platform/foundation/Exception.h"

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
    std::unique_lock lock(mutex_);
    if (count_ == 0) return true;
    DispatchPool::BlockingScope blocking;
    auto empty = [&] { return count_ == 0; };
    if (timeoutSeconds < 0) {
        emptied_.wait(lock, empty);
        return true;
    }
    return emptied_.wait_for(lock, std::chrono::duration<double>(timeoutSeconds), empty);
}

// ---- Semaphores ----

DispatchSemaphore::DispatchSemaphore(long value) : value_(value) {
    if (value < 0) throw Exception(InvalidArgumentException, "a semaphore cannot start below zero");
}

void DispatchSemaphore::signal() {
    std::lock_guard lock(mutex_);
    ++value_;
    // Under the lock: the woken waiter may destroy the semaphore as soon as the lock is free.
    available_.notify_one();
}

bool DispatchSemaphore::wait(double timeoutSeconds) {
    std::unique_lock lock(mutex_);
    auto available = [&] { return value_ > 0; };
    if (!available()) {
        DispatchPool::BlockingScope blocking;
        if (timeoutSeconds < 0) available_.wait(lock, available);
        else if (!available_.wait_for(lock, std::chrono::duration<double>(timeoutSeconds), available)) return false;
    }
    --value_;
    return true;
}

}  // namespace ql::ns
