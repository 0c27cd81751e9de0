#include "net/NetMainQueueCourier.h"

#include <utility>

#include "platform/foundation/DispatchQueue.h"

namespace ql {

void NetMainQueueCourier::hold(std::function<void()> work) {
    std::lock_guard lock(mutex_);
    // A short request hands over its start, its bytes and its finish: room for them at once.
    if (held_.empty()) held_.reserve(4);
    held_.push_back(std::move(work));
}

void NetMainQueueCourier::send(std::function<void()> work) {
    hold(std::move(work));
    dispatch();
}

void NetMainQueueCourier::dispatch() {
    {
        std::lock_guard lock(mutex_);
        if (tripOnItsWay_ || carrierExpected_ || held_.empty()) return;
        tripOnItsWay_ = true;
    }
    ns::DispatchQueue::main()->async([self = shared_from_this()] { self->deliver(); });
}

void NetMainQueueCourier::expectCarrier() {
    std::lock_guard lock(mutex_);
    carrierExpected_ = true;
}

void NetMainQueueCourier::releaseCarrier() {
    {
        std::lock_guard lock(mutex_);
        carrierExpected_ = false;
    }
    dispatch();
}

void NetMainQueueCourier::deliver() {
    std::vector<std::function<void()>> work;
    {
        std::lock_guard lock(mutex_);
        work.swap(held_);
        tripOnItsWay_ = false;
        carrierExpected_ = false;
    }
    // Work may hand over more (a notification observer pausing the operation, say): it waits for a trip
    // of its own, after this one.
    std::size_t next = 0;
    // Should a piece throw, what follows it is still owed: it goes back ahead of anything held since,
    // and travels on a trip of its own.
    struct KeepTheRest {
        NetMainQueueCourier& courier;
        std::vector<std::function<void()>>& work;
        std::size_t& next;
        ~KeepTheRest() {
            if (next >= work.size()) return;
            {
                std::lock_guard lock(courier.mutex_);
                courier.held_.insert(courier.held_.begin(), std::make_move_iterator(work.begin() + next),
                                     std::make_move_iterator(work.end()));
            }
            courier.dispatch();
        }
    } keepTheRest{*this, work, next};
    while (next < work.size()) {
        auto each = std::move(work[next++]);
        each();
    }
}

}  // namespace ql
