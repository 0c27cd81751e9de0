#pragma once
// Holds blocks queued with DispatchQueue::after until their moment of ns::Clock, then hands them to
// their queues. Real time is watched by one thread of its own; a manual clock hands them over while it
// is advanced, on the advancing thread, so that they are queued before the advance moves on.

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <utility>

#include "platform/foundation/Clock.h"

namespace ql::ns {

class DispatchQueue;

class DelayedDispatch final : public Clock::Client {
public:
    static DelayedDispatch& shared();

    void schedule(double when, std::shared_ptr<DispatchQueue> queue, std::function<void()> block);

    double nextDeadlineAfter(double time) const override;
    void clockChanged() override;

private:
    struct Entry {
        std::shared_ptr<DispatchQueue> queue;
        std::function<void()> block;
    };

    DelayedDispatch() = default;
    void handOverDue();
    void watch();

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    // Keyed by (moment, order of scheduling), so blocks due together keep their order.
    std::map<std::pair<double, std::uint64_t>, Entry> entries_;
    std::uint64_t nextOrder_ = 0;
    bool watching_ = false;
};

}  // namespace ql::ns
