#include "platform/foundation/Clock.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/foundation/Exception.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Thread.h"

namespace ql::ns {

namespace {

std::atomic<bool> manual{false};
std::atomic<double> manualTime{0};
std::atomic<double> realTimeShift{0};

struct Clients {
    std::mutex mutex;
    std::vector<std::weak_ptr<Clock::Client>> list;
};

Clients& clients() {
    static Clients* c = new Clients;
    return *c;
}

// Clients are called outside the lock, through strong references, so that a client may go away or
// register others while the clock talks to it.
std::vector<std::shared_ptr<Clock::Client>> liveClients() {
    Clients& c = clients();
    std::lock_guard lock(c.mutex);
    std::vector<std::shared_ptr<Clock::Client>> live;
    live.reserve(c.list.size());
    std::erase_if(c.list, [&](const std::weak_ptr<Clock::Client>& weak) {
        auto client = weak.lock();
        if (!client) return true;
        live.push_back(std::move(client));
        return false;
    });
    return live;
}

void notifyClients() {
    for (const auto& client : liveClients()) client->clockChanged();
}

}  // namespace

double Clock::now() {
    if (manual.load(std::memory_order_acquire)) return manualTime.load(std::memory_order_acquire);
    using namespace std::chrono;
    return duration<double>(system_clock::now().time_since_epoch()).count() + realTimeShift.load(std::memory_order_relaxed);
}

void Clock::useManualTime(double start) {
    manualTime.store(start);
    manual.store(true, std::memory_order_release);
    notifyClients();
}

void Clock::useRealTime() {
    manual.store(false, std::memory_order_release);
    notifyClients();
}

bool Clock::isManual() { return manual.load(std::memory_order_acquire); }

double Clock::steadyRealTime() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count() + realTimeShift.load(std::memory_order_relaxed);
}

void Clock::shiftRealTimeForTesting(double seconds) {
    realTimeShift.fetch_add(seconds);
    notifyClients();
}

double Clock::nextDeadline() {
    const double current = now();
    double next = kNever;
    for (const auto& client : liveClients()) {
        next = std::min(next, client->nextDeadlineAfter(current));
    }
    return next;
}

void Clock::advance(double seconds) {
    if (seconds < 0) throw Exception(InvalidArgumentException, "the clock cannot go back in time");
    advanceTo(now() + seconds);
}

void Clock::stepTo(double time) {
    double current = manualTime.load();
    while (current < time && !manualTime.compare_exchange_weak(current, time)) {
    }
    notifyClients();
    if (Thread::isMainThread()) RunLoop::main()->runDueWork();
}

void Clock::advanceTo(double time) {
    if (!isManual()) throw Exception(InternalInconsistencyException, "only a manual clock can be advanced");
    // Deadlines that are already due were handed to their owners when they came; step through the later
    // ones one at a time, so that work at an earlier moment always happens before work at a later one.
    for (double next = nextDeadline(); next <= time; next = nextDeadline()) stepTo(next);
    stepTo(time);
}

void Clock::addClient(std::weak_ptr<Client> client) {
    Clients& c = clients();
    std::lock_guard lock(c.mutex);
    c.list.push_back(std::move(client));
}

}  // namespace ql::ns
