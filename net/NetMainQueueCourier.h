#pragma once
// NetMainQueueCourier: what an operation owes the main queue (its start and finish notifications, its
// progress reports, its count of bytes read), carried there in as few trips as possible and always in
// the order it was handed over. Each trip to the main queue wakes the main thread, so work that need not
// be seen at once is held until something else goes that way: a trip of its own, or a carrier (the
// operation's completion block) that delivers it on the main queue just before its own work.

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace ql {

class NetMainQueueCourier : public std::enable_shared_from_this<NetMainQueueCourier> {
public:
    static std::shared_ptr<NetMainQueueCourier> make() { return std::make_shared<NetMainQueueCourier>(); }

    // Keeps `work` for the next trip or carrier; nothing travels yet.
    void hold(std::function<void()> work);
    // Sends what is held (`work` last) on a trip of its own unless one is on its way or a carrier is
    // expected.
    void send(std::function<void()> work);
    void dispatch();
    // A carrier will deliver what is held: trips are not needed until it does. Release it (which sends
    // what is held) when it will not come after all or will not run on the main queue.
    void expectCarrier();
    void releaseCarrier();
    // On the main queue: runs what is held, in order. Carriers call it before their own work.
    void deliver();

private:
    std::mutex mutex_;
    std::vector<std::function<void()>> held_;
    bool tripOnItsWay_ = false;
    bool carrierExpected_ = false;
};

}  // namespace ql
