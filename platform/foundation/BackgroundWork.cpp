#include "platform/foundation/BackgroundWork.h"

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "platform/foundation/DispatchPool.h"
#include "platform/foundation/Log.h"

namespace ql::ns {

namespace {

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

[[noreturn]] void stopForGood() {
    for (;;) ::pause();
}

bool stretchesEndedBy(std::chrono::steady_clock::time_point deadline) {
    while (working.load() > 0) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

void endProcess() {
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                              std::chrono::duration<double>(BackgroundWork::kEndAllowance));
    endsTheProcess = true;
    bool finished = true;
    if (DispatchPool* pool = DispatchPool::existing()) finished = pool->waitUntilQuiet(false, deadline);
    if (workingHere) leave();  // the end does not wait for what the ending thread itself was doing
    ending.store(true);
    finished = stretchesEndedBy(deadline) && finished;
    if (!finished) {
        Log::write("background work still under way after " + std::to_string(int(BackgroundWork::kEndAllowance)) +
                   " s as the process ends: given up");
    }
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

BackgroundWork::BackgroundWork() : wasWorking_(workingHere) {
    if (wasWorking_) return;
    enter();
    if (ending.load() && !endsTheProcess) {
        leave();
        stopForGood();
    }
}

BackgroundWork::~BackgroundWork() {
    if (!wasWorking_ && workingHere) leave();
}

BackgroundWork::Pause::Pause() : wasWorking_(workingHere) {
    if (wasWorking_) leave();
}

BackgroundWork::Pause::~Pause() {
    if (wasWorking_ && !workingHere) enter();
}

}  // namespace ql::ns
