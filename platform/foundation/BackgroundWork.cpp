#include "platform/foundation/BackgroundWork.h"

#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string_view>
#include <thread>

#include "platform/foundation/DispatchPool.h"
#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/Log.h"

namespace ql::ns {

namespace {

using SteadyTime = std::chrono::steady_clock::time_point;

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

// The first of the exit handlers once a stretch could not be stopped: ends the process with the status it was
// given before anything is torn down. Standard output keeps what was written to it, unless a thread holds it.
void endAtOnce(int status, void*) {
    if (::ftrylockfile(stdout) == 0) {
        std::fflush(stdout);
        ::funlockfile(stdout);
    }
    ::_exit(status);
}

// A stretch still under way may hold the log's lock, the standard error's or the allocator's: this takes none.
void tellWithoutALock(std::string_view line) {
    [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, line.data(), line.size());
}

void endProcess() {
    endsTheProcess = true;
    const SteadyTime end = endOfTheAllowance();
    bool queuedWorkFinished = true;
    if (DispatchPool* pool = DispatchPool::existing()) queuedWorkFinished = pool->waitUntilQuiet(false, end - kStopPart);
    if (workingHere) leave();  // the end does not wait for what the ending thread itself was doing
    ending.store(true);
    if (stretchesEndedBy(end)) {
        if (!queuedWorkFinished) Log::write("background work still queued as the process ends: given up");
        return;
    }
    tellWithoutALock("background work still under way at the end of its allowance as the process ends: given up, "
                     "and the process ends without its exit handlers\n");
    // Registered after every other exit handler, so run before all of them.
    ::on_exit(&endAtOnce, nullptr);
}

// Made on the main thread while the program initialises, so destroyed as that thread ends: before any object
// of static storage.
struct EndOfTheMainThread {
    const pid_t process = ::getpid();
    ~EndOfTheMainThread() {
        if (::getpid() == process) endProcess();
    }
};
thread_local EndOfTheMainThread endOfTheMainThread;
[[maybe_unused]] const pid_t armedFor = endOfTheMainThread.process;

}  // namespace

// Called as a stretch starts or comes back from a wait, once counted: the end either sees it under way and
// waits for it, or it sees the end.
void BackgroundWork::stopHereOnceTheEndHasBegun() {
    if (!ending.load() || endsTheProcess) return;
    if (workingHere) leave();
    for (;;) ::pause();
}

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
    if (!wasWorking_) return;
    if (!workingHere) enter();
    stopHereOnceTheEndHasBegun();
}

}  // namespace ql::ns
