// A program whose threads throw while it ends, for DuvCrashTests. The crash store is installed on the folder
// given; eight threads wait until main has returned and the exit handlers are tearing down the program's objects
// of static storage, then throw one after the other, thread i after i × 0.4 ms, so over 3 ms. What an exception
// carries makes its note take a moment to write. With "slow", the teardown takes a second more; with "quick",
// nothing holds the process once the threads have been let go.
//   debug_throw_at_exit FOLDER slow|quick

#include <time.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "debug/DuvCrashHelper.h"
#include "platform/foundation/Exception.h"

using namespace ql;

namespace {

constexpr int kThreads = 8;
constexpr auto kApart = std::chrono::microseconds(400);

// When the teardown began, on the steady clock; zero before.
std::atomic<std::chrono::steady_clock::rep> teardownBegan{0};
bool slowTeardown = false;

// Made before the libraries' objects of static storage (this file is linked first), so destroyed after them: the
// threads throw as it goes, and a slow teardown takes a second over it.
struct Teardown {
    ~Teardown() {
        teardownBegan.store(std::chrono::steady_clock::now().time_since_epoch().count());
        const timespec aSecond{1, 0};
        const timespec threeMs{0, 3'000'000};
        ::nanosleep(slowTeardown ? &aSecond : &threeMs, nullptr);
    }
} teardown;

[[noreturn]] void throwDuringTheTeardown(int i) {
    std::chrono::steady_clock::rep began = 0;
    while ((began = teardownBegan.load()) == 0) std::this_thread::yield();
    const auto when = std::chrono::steady_clock::time_point(std::chrono::steady_clock::duration(began)) + i * kApart;
    while (std::chrono::steady_clock::now() < when) {
    }
    throw ns::Exception(ns::InvalidArgumentException, "thread " + std::to_string(i),
                        ns::Dictionary{{"context", ns::Value(ns::Data(std::string(16 << 10, 'x')))}});
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    slowTeardown = std::string(argv[2]) == "slow";
    // Kept for the process, as the app's store is.
    static DuvCrashHelper* const store = new DuvCrashHelper(argv[1]);
    store->install();
    for (int i = 0; i < kThreads; ++i) std::thread(throwDuringTheTeardown, i).detach();
    return 0;
}
