#pragma once
// The loading engine: runs HTTP exchanges on libcurl's multi interface, which keeps connections alive and
// reuses them across exchanges. The process's engine has an I/O thread of its own and serves every
// asynchronous load. A thread that loads synchronously drives an engine of its own while it waits (it is
// blocked anyway), which spares two thread hops per request; its connections are kept for its later
// synchronous loads. Everything that touches curl happens on an engine's driving thread; other threads
// hand it work through perform(). The exchanges' time-outs run on the app's clock (ns::Clock): when the clock
// moves or is switched, the engine's thread looks at them again. They are no stops of a manual clock's
// advance, though: what a transfer does is its thread's business, and moving the clock past a time-out makes
// it happen there soon after. A round is background work, and a wait for the network a pause in it: once the
// process ends, no engine starts another round.
// Internal to the loading system.

#include <curl/curl.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

#include "platform/foundation/Clock.h"

namespace ql::ns {

class HTTPExchange;

class LoadingEngine final : public Clock::Client {
public:
    // The process's engine, made on first use and never destroyed: its thread serves the process until
    // it exits.
    static const std::shared_ptr<LoadingEngine>& shared();
    // The calling thread's own engine, which only that thread drives, through runOnce. It is shut down
    // when the thread ends.
    static const std::shared_ptr<LoadingEngine>& ofCurrentThread();
    // An engine for one synchronous load made while the thread already drives its own.
    static std::shared_ptr<LoadingEngine> newEngine();
    // Makes the calling thread's own engine driven by the thread's run loop whenever that waits, so that
    // the transfers of loads reporting to this loop need no other thread.
    static void driveWithCurrentRunLoop();
    // That engine, once the calling thread's run loop drives it; null otherwise.
    static std::shared_ptr<LoadingEngine> ofCurrentRunLoop();

    ~LoadingEngine() override;
    LoadingEngine(const LoadingEngine&) = delete;
    LoadingEngine& operator=(const LoadingEngine&) = delete;

    // Runs the command on the driving thread, after the commands given before it. Thread-safe; a shut
    // down engine drops it.
    void perform(std::function<void()> command);
    // Makes a wait of the driving thread in runOnce return. Thread-safe.
    void wakeUp();
    // Whether the calling thread is driving this engine now.
    bool isDriving() const { return driving_.load() == std::this_thread::get_id(); }
    // The engine the calling thread is driving now, if any.
    static LoadingEngine* drivingEngine();
    // Driving thread only: runs the work once this round's transfers have reported, so that work caused by
    // many reports of one round (waking a delegate's queue, say) is done once.
    void atEndOfRound(std::function<void()> work) { endOfRound_.push_back(std::move(work)); }
    // One round on the driving thread: commands, transfers, finished exchanges, deadlines, then a wait of at
    // most `longestWaitMilliseconds` for anything to happen.
    void runOnce(long longestWaitMilliseconds);

    // Driving thread only.
    void add(const std::shared_ptr<HTTPExchange>& exchange, CURL* handle);
    void remove(CURL* handle);
    CURL* takeHandle();
    void returnHandle(CURL* handle);
    // Runs curl once more before the next wait (a transfer was resumed, say).
    void needsPerform() { performPending_ = true; }

    // Exchanges by a number unique in the process, for curl callbacks that can carry only a number.
    static std::uint64_t registerExchange(HTTPExchange* exchange);
    static void unregisterExchange(std::uint64_t id);
    static HTTPExchange* exchangeWithID(std::uint64_t id);

    // Clock::Client: wakes the driving thread, which looks at the time-outs again.
    double nextDeadlineAfter(double time) const override;
    void clockChanged() override;

private:
    struct Key {};

public:
    explicit LoadingEngine(Key);

private:
    // Made and known to the clock.
    static std::shared_ptr<LoadingEngine> make();
    void runForever();
    class RunLoopDriver;
    // The two halves of runOnce: the round's work, and the wait for what comes next.
    void runRound();
    void waitForActivity(long longestWaitMilliseconds);
    // Whether commands or a transfer wait for the next round.
    bool hasPendingWork();
    void runCommands();
    void collectFinished();
    void expireDeadlines();
    long waitMilliseconds(long longest);
    // Drops everything an engine whose thread ended still holds.
    void shutDown();
    friend struct ThreadEngine;

    CURLM* multi_;
    // Other threads wake the driving thread's wait through this counter (one write, and one read by the
    // woken thread), not through curl's own wake-up, which costs a send and two receives. A wake-up still
    // pending is not signalled again: commands given before the woken thread takes them need no second one.
    const int wakeFd_;
    std::atomic<bool> wakePending_{false};
    // The earliest time-out of the exchanges as the last round left them; the clock wakes the thread once
    // it gets there.
    std::atomic<double> earliestDeadline_{Clock::kNever};
    std::mutex mutex_;
    std::vector<std::function<void()>> commands_;
    std::vector<std::function<void()>> running_;  // driving thread; keeps its capacity between rounds
    bool shutDown_ = false;
    std::atomic<std::thread::id> driving_{};
    // The only thread that drives a thread's engine: its commands are run before that thread next waits.
    std::thread::id owner_{};

    // Driving thread only.
    std::unordered_map<CURL*, std::shared_ptr<HTTPExchange>> active_;
    std::vector<CURL*> spareHandles_;
    std::vector<std::function<void()>> endOfRound_;
    bool performPending_ = false;
};

}  // namespace ql::ns
