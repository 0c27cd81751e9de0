#include "platform/foundation/DelayedDispatch.h"

#include <algorithm>
#include <chrono>
#include <pthread.h>
#include <thread>
#include <vector>

#include "platform/foundation/DispatchQueue.h"

namespace ql::ns {

DelayedDispatch& DelayedDispatch::shared() {
    // Lives as long as the process (its watcher thread never ends); reachable through this pointer.
    static std::shared_ptr<DelayedDispatch>* instance = [] {
        auto* created = new std::shared_ptr<DelayedDispatch>(new DelayedDispatch);
        Clock::addClient(*created);
        return created;
    }();
    return **instance;
}

void DelayedDispatch::schedule(double when, std::shared_ptr<DispatchQueue> queue, std::function<void()> block) {
    bool startWatcher = false;
    {
        std::lock_guard lock(mutex_);
        entries_.emplace(std::make_pair(when, nextOrder_++), Entry{std::move(queue), std::move(block)});
        startWatcher = !std::exchange(watching_, true);
    }
    if (startWatcher) std::thread([this] { watch(); }).detach();
    changed_.notify_all();
    // With a manual clock a block due now goes at once; nothing else would ever hand it over.
    if (Clock::isManual()) handOverDue();
}

double DelayedDispatch::nextDeadlineAfter(double time) const {
    std::lock_guard lock(mutex_);
    auto next = entries_.upper_bound({time, UINT64_MAX});
    return next == entries_.end() ? Clock::kNever : next->first.first;
}

void DelayedDispatch::clockChanged() {
    if (Clock::isManual()) handOverDue();
    changed_.notify_all();
}

void DelayedDispatch::handOverDue() {
    std::vector<Entry> due;
    {
        std::lock_guard lock(mutex_);
        const double now = Clock::now();
        while (!entries_.empty() && entries_.begin()->first.first <= now) {
            due.push_back(std::move(entries_.begin()->second));
            entries_.erase(entries_.begin());
        }
    }
    for (auto& entry : due) entry.queue->async(std::move(entry.block));
}

void DelayedDispatch::watch() {
    pthread_setname_np(pthread_self(), "ql.after");
    std::unique_lock lock(mutex_);
    for (;;) {
        if (Clock::isManual() || entries_.empty()) {
            // A manual clock hands blocks over as it advances; switching clocks or scheduling wakes us.
            changed_.wait(lock);
            continue;
        }
        const double wait = entries_.begin()->first.first - Clock::now();
        if (wait > 0) {
            changed_.wait_for(lock, std::chrono::duration<double>(std::min(wait, 3600.0)));
            continue;
        }
        lock.unlock();
        handOverDue();
        lock.lock();
    }
}

}  // namespace ql::ns
