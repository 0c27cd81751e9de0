#include "platform/foundation/BackgroundWork.h"

#include <pthread.h>
#include <stdlib.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/foundation/DispatchPool.h"
#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/OpenStreams.h"
#include "platform/foundation/Thread.h"

namespace ql::ns {

namespace {

using SteadyTime = std::chrono::steady_clock::time_point;

// A thread has taken the end on: any other that comes to it stops.
std::atomic<bool> begun{false};
// The other threads stop at their next stretch or wait.
std::atomic<bool> ending{false};
// Stretches under way on threads that are not waiting inside them.
std::atomic<int> working{0};
thread_local bool workingHere = false;
thread_local bool endsTheProcess = false;

void enter() {
    working.fetch_add(1);
    workingHere = true;
}

void leave() {
    working.fetch_sub(1);
    workingHere = false;
}

// The calling thread stops for good, counted as stopped: neither the end nor a wait for the pool's quiet waits
// for it. It holds no lock of the system's here.
[[noreturn]] void stopForGood() {
    if (workingHere) leave();
    if (DispatchPool* pool = DispatchPool::existing()) pool->stopsForGoodHere();
    for (;;) ::pause();
}

SteadyTime secondsFromNow(double seconds) {
    return std::chrono::steady_clock::now() +
           std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(seconds));
}

constexpr auto kStopPart = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
    std::chrono::duration<double>(BackgroundWork::kStopAllowance));

// The allowance of the ends: one deadline for the waits for one unbroken spell of the pool's work, opened by
// the first of them and given back by one that sees the work through.
struct Allowance {
    std::uint64_t spell;
    SteadyTime end;
};
std::mutex allowanceMutex;
std::optional<Allowance> openAllowance;  // guarded by allowanceMutex

SteadyTime endOfTheAllowance() {
    DispatchPool* pool = DispatchPool::existing();
    const std::uint64_t spell = pool ? pool->busySpell() : 0;
    std::lock_guard lock(allowanceMutex);
    if (!openAllowance || openAllowance->spell != spell)
        openAllowance = Allowance{spell, secondsFromNow(BackgroundWork::kEndAllowance)};
    return openAllowance->end;
}

void giveTheAllowanceBack() {
    std::lock_guard lock(allowanceMutex);
    openAllowance.reset();
}

bool stretchesEndedBy(SteadyTime deadline) {
    while (working.load() > 0) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// A stretch still under way may hold the log's lock, the standard error's or the allocator's: this takes none.
// The line and its end go in one write, so no other writer's text comes between them.
void tellWithoutALock(std::string_view line) {
    char end = '\n';
    const iovec parts[] = {{const_cast<char*>(line.data()), line.size()}, {&end, 1}};
    [[maybe_unused]] const ssize_t written = ::writev(STDERR_FILENO, parts, 2);
}

// The first of the exit handlers once a stretch could not be stopped, and the end of exit handlers given up: ends
// the process with the status it was given before anything (more) is torn down. What was written through stdio is
// kept, but for a stream a thread holds as the process ends.
void endAtOnce(int status, void*) {
    if (!flushStreamsNoThreadHolds(BackgroundWork::kStopAllowance))
        tellWithoutALock("the stdio streams were not flushed in time as the process ends: what they held is lost");
    ::_exit(status);
}

std::mutex promisesMutex;

std::vector<std::function<void()>>& promises() {
    // May be reached while other objects of static storage are made: made on first use, never destroyed.
    static auto* writes = new std::vector<std::function<void()>>;
    return *writes;
}

void keepThePromises() {
    std::vector<std::function<void()>> writes;
    {
        std::lock_guard lock(promisesMutex);
        writes = promises();
    }
    for (const auto& write : writes) {
        try {
            write();
        } catch (...) {
            // The end goes on: the others are written still.
            tellWithoutALock("a write promised for the end of the process failed");
        }
    }
}

// ---- The exit handlers' bound ----
// Once the end is over, the exit handlers run on the ending thread, and one may wait for what a thread the end
// stopped holds for good (a queue's turn, a database). They get until the end of the allowance, kStopAllowance at
// the least: then the end gives up on them, writes what the stores promised and ends the process with its status.

struct ExitHandlersBound {
    SteadyTime deadline;
    int status = 0;
};
// Set on the ending thread before the thread that watches the deadline starts.
ExitHandlersBound exitHandlersBound;

bool startThread(void* (*body)(void*)) {
    pthread_t thread;
    if (::pthread_create(&thread, nullptr, body, nullptr) != 0) return false;
    ::pthread_detach(thread);
    return true;
}

void* keepThePromisesThenEnd(void*) {
    keepThePromises();
    endAtOnce(exitHandlersBound.status, nullptr);
    return nullptr;
}

void* giveUpTheExitHandlersAtTheirDeadline(void*) {
    std::this_thread::sleep_until(exitHandlersBound.deadline);
    tellWithoutALock(BackgroundWork::kExitHandlersGivenUp);
    // What the stores write may wait for what the exit handlers hold: it gets the stop's part of the allowance.
    if (!startThread(keepThePromisesThenEnd)) keepThePromisesThenEnd(nullptr);
    std::this_thread::sleep_for(kStopPart);
    endAtOnce(exitHandlersBound.status, nullptr);
    return nullptr;
}

const pid_t armedProcess = ::getpid();

// The first of the exit handlers once the end is over. A child forked afterwards ends as it would otherwise.
void boundTheExitHandlers(int status, void*) {
    if (::getpid() != armedProcess) return;
    exitHandlersBound.status = status;
    exitHandlersBound.deadline = std::max(exitHandlersBound.deadline, secondsFromNow(BackgroundWork::kStopAllowance));
    startThread(giveUpTheExitHandlersAtTheirDeadline);
}

void endProcess(double allowance) {
    if (endsTheProcess) return;  // over already: ended on this thread before main returned or exit() was called
    // Another thread is ending the process (it called exit() too, or main returned meanwhile): this one stops as
    // any other does, and that one goes on to the exit handlers.
    if (begun.exchange(true)) stopForGood();
    endsTheProcess = true;
    const SteadyTime end = std::min(endOfTheAllowance(), secondsFromNow(allowance));
    bool queuedWorkFinished = true;
    if (DispatchPool* pool = DispatchPool::existing()) queuedWorkFinished = pool->waitUntilQuiet(false, end - kStopPart);
    if (workingHere) leave();  // the end does not wait for what the ending thread itself was doing
    ending.store(true);
    if (stretchesEndedBy(end)) {
        if (!queuedWorkFinished) Log::write("background work still queued as the process ends: given up");
        keepThePromises();
        exitHandlersBound.deadline = end;
        // Registered after every other exit handler, so run before all of them.
        ::on_exit(&boundTheExitHandlers, nullptr);
        return;
    }
    tellWithoutALock("background work still under way at the end of its allowance as the process ends: given up, "
                     "and the process ends without its exit handlers");
    keepThePromises();
    // Registered after every other exit handler, so run before all of them.
    ::on_exit(&endAtOnce, nullptr);
}

// The last of the end, as the program unloads: every exit handler has run and every object of static storage has
// been destroyed, so what the exit handlers themselves set (a default, say) is written too. What the stores write
// with is never destroyed. A forked child writes what it changed itself here as well.
[[gnu::destructor]] void keepThePromisesOnceTheExitHandlersAreOver() { keepThePromises(); }

// exit() destroys the calling thread's thread storage before it runs any exit handler or destroys any object of
// static storage: this object, on the main thread and on the threads the system starts, ends the process there.
// A forked child has none of the threads whose work the end would wait for, so it ends as it would otherwise, but
// for what the stores promised: written before its exit handlers too, as the armed process writes it.
struct EndOnExit {
    bool endedOnItsOwn = false;
    ~EndOnExit() {
        if (endedOnItsOwn) return;
        if (::getpid() == armedProcess) {
            endProcess(BackgroundWork::kEndAllowance);
        } else {
            keepThePromises();
        }
    }
};
#ifdef __clang__
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wexit-time-destructors"  // its destructor is where the end begins
#endif
thread_local EndOnExit endOnExit;
#ifdef __clang__
#pragma clang diagnostic pop
#endif
// The main thread's, made while the program initialises: destroyed as main returns or exit() is called there.
[[maybe_unused]] const bool mainThreadArmed = !endOnExit.endedOnItsOwn;

}  // namespace

// Called as a stretch starts or comes back from a wait, once counted: the end either sees it under way and
// waits for it, or it sees the end.
void BackgroundWork::stopHereOnceTheEndHasBegun() {
    if (ending.load() && !endsTheProcess) stopForGood();
}

void BackgroundWork::endTheProcess(double allowance) { endProcess(allowance); }

void BackgroundWork::writeAtTheEnd(std::function<void()> write) {
    std::lock_guard lock(promisesMutex);
    promises().push_back(std::move(write));
}

BackgroundWork::ThreadBody::ThreadBody() { endOnExit.endedOnItsOwn = false; }

BackgroundWork::ThreadBody::~ThreadBody() { endOnExit.endedOnItsOwn = true; }

bool BackgroundWork::finishQueuedWork() {
    const bool finished = DispatchQueue::finishBackgroundWork(endOfTheAllowance() - kStopPart);
    if (finished) giveTheAllowanceBack();
    return finished;
}

BackgroundWork::BackgroundWork() : wasWorking_(workingHere) {
    if (!wasWorking_) enter();
    stopHereOnceTheEndHasBegun();
}

BackgroundWork::~BackgroundWork() {
    if (!wasWorking_ && workingHere) leave();
}

BackgroundWork::Pause::Pause() : wasWorking_(workingHere) {
    if (wasWorking_) leave();
}

BackgroundWork::Pause::~Pause() {
    if (wasWorking_) {
        if (!workingHere) enter();
    } else if (!Thread::isMainThread()) {
        return;  // no stretch: a thread of the app's own, whose waits its exit handlers may end
    }
    stopHereOnceTheEndHasBegun();
}

}  // namespace ql::ns
