#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/foundation/FileLock.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Sandbox.h"
#include "platform/foundation/VolumeFault.h"

using namespace ql::ns;

namespace {

class FileLockTest : public ::testing::Test {
protected:
    TemporarySandbox sandbox;
    std::string folder = Sandbox::documents();
    std::string path = folder + "/shared.lock";

    ~FileLockTest() override { setVolumeFaultForTesting(folder, 0); }

    // Adds one to the number the locked file keeps, as a read, a pause for others and a write.
    static bool increment(const FileLock& lock) {
        const auto kept = lock.contents(32);
        if (!kept) return false;
        const std::string text = kept->toString();
        const long next = (text.empty() ? 0 : std::stol(text)) + 1;
        std::this_thread::yield();
        return lock.replaceContents(std::to_string(next));
    }
    std::string kept() const {
        const auto data = FileManager::defaultManager().contentsAtPath(path);
        return data ? data->toString() : "<none>";
    }
};

int exitStatus(pid_t child) {
    int status = 0;
    if (::waitpid(child, &status, 0) != child) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The system call a thread of this process is in, or -1 while it runs.
long systemCallOf(pid_t thread) {
    const auto line = FileManager::defaultManager().contentsAtPath("/proc/self/task/" + std::to_string(thread) + "/syscall");
    if (!line || line->empty() || line->toString().starts_with("running")) return -1;
    return std::stol(line->toString());
}

// Spins until the condition holds; the bound only keeps a failing test from hanging.
template <class Condition>
bool within10Seconds(Condition condition) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::yield();
    }
    return true;
}

std::atomic<int> interruptions{0};
void countInterruption(int) { ++interruptions; }

}  // namespace

TEST_F(FileLockTest, OneHolderAtATimeAcrossProcessesAndThreads) {
    constexpr int Apps = 4;
    constexpr int Threads = 3;
    constexpr int Rounds = 100;
    std::vector<pid_t> apps;
    for (int app = 0; app < Apps; ++app) {
        const pid_t child = ::fork();
        if (child == 0) {
            for (int round = 0; round < Rounds; ++round) {
                FileLock lock(path);
                if (!lock.held() || !increment(lock)) ::_exit(1);
            }
            ::_exit(0);
        }
        apps.push_back(child);
    }
    std::vector<std::thread> threads;
    std::atomic<int> failures{0};
    for (int t = 0; t < Threads; ++t)
        threads.emplace_back([&] {
            for (int round = 0; round < Rounds; ++round) {
                FileLock lock(path);
                if (!lock.held() || !increment(lock)) ++failures;
            }
        });
    for (auto& thread : threads) thread.join();
    for (pid_t app : apps) EXPECT_EQ(exitStatus(app), 0);
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(kept(), std::to_string((Apps + Threads) * Rounds));
}

TEST_F(FileLockTest, AClaimTakesOnlyAFreeRegularFileAndNeverWaits) {
    EXPECT_FALSE(FileLock::claim(path));  // nothing there to claim
    ASSERT_TRUE(FileManager::defaultManager().createFileAtPath(path, Data("envelope"), {}));
    {
        FileLock holder(path);
        ASSERT_TRUE(holder.held());
        EXPECT_FALSE(FileLock::claim(path));
    }
    auto claim = FileLock::claim(path);
    ASSERT_TRUE(claim);
    EXPECT_EQ(claim->contents(64)->toString(), "envelope");
    EXPECT_FALSE(FileLock::claim(path));
    auto moved = std::move(*claim);
    claim.reset();
    EXPECT_FALSE(FileLock::claim(path)) << "the moved lock still holds";

    // A pipe or a folder in a file's place is no file to work on, and opening it must not wait for a writer.
    const std::string pipe = folder + "/pipe";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    EXPECT_FALSE(FileLock::claim(pipe));
    EXPECT_FALSE(FileLock(pipe).held());
    EXPECT_FALSE(FileLock::claim(folder));
    EXPECT_FALSE(FileLock(folder).held());

    // The claim of a process that died goes with it.
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const std::string other = folder + "/other";
    ASSERT_TRUE(FileManager::defaultManager().createFileAtPath(other, Data("x"), {}));
    const pid_t holder = ::fork();
    if (holder == 0) {
        auto held = FileLock::claim(other);
        const char byte = held ? 'y' : 'n';
        if (::write(ready[1], &byte, 1) != 1) ::_exit(1);
        ::pause();
        ::_exit(0);
    }
    ::close(ready[1]);
    char claimed = 0;
    ASSERT_EQ(::read(ready[0], &claimed, 1), 1);
    ::close(ready[0]);
    ASSERT_EQ(claimed, 'y');
    EXPECT_FALSE(FileLock::claim(other));
    ASSERT_EQ(::kill(holder, SIGKILL), 0);
    EXPECT_EQ(exitStatus(holder), -1);
    EXPECT_TRUE(FileLock::claim(other));
}

TEST_F(FileLockTest, KeepsASmallBoundedRecordAndFollowsVolumeFaults) {
    {
        FileLock lock(path);
        ASSERT_TRUE(lock.held());
        EXPECT_EQ(lock.contents(32)->length(), 0u);
        ASSERT_TRUE(lock.replaceContents("123456"));
        ASSERT_TRUE(lock.replaceContents("78"));
        EXPECT_EQ(lock.contents(32)->toString(), "78");
        EXPECT_FALSE(lock.contents(1)) << "more than the limit";
    }
    EXPECT_EQ(kept(), "78");
    struct stat status {};
    ASSERT_EQ(::stat(path.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u);

    // A read-only volume: an existing file is still locked and read, but not written; none is made.
    setVolumeFaultForTesting(folder, EROFS);
    {
        FileLock lock(path);
        EXPECT_TRUE(lock.held());
        EXPECT_EQ(lock.contents(32)->toString(), "78");
        EXPECT_FALSE(lock.replaceContents("9"));
        EXPECT_FALSE(FileLock::claim(path)) << "held above";
    }
    EXPECT_FALSE(FileLock(folder + "/new.lock").held());
    // A full one makes no file either.
    setVolumeFaultForTesting(folder, ENOSPC);
    EXPECT_FALSE(FileLock(folder + "/new.lock").held());
    EXPECT_FALSE(FileManager::defaultManager().fileExistsAtPath(folder + "/new.lock"));
    setVolumeFaultForTesting(folder, 0);
    EXPECT_EQ(kept(), "78");
    // A folder that is not there holds no file to lock, and is not made.
    EXPECT_FALSE(FileLock(folder + "/missing/a.lock").held());
}

TEST_F(FileLockTest, AnInterruptedWaitGoesOnWaiting) {
    struct sigaction handler {};
    struct sigaction previous {};
    handler.sa_handler = countInterruption;  // no SA_RESTART: the wait is interrupted
    sigemptyset(&handler.sa_mask);
    ASSERT_EQ(::sigaction(SIGUSR1, &handler, &previous), 0);
    interruptions = 0;

    std::optional<FileLock> holder(std::in_place, path);
    ASSERT_TRUE(holder->held());
    std::atomic<pid_t> waiterId{0};
    std::atomic<bool> waiterHeld{false};
    std::thread waiter([&] {
        waiterId = static_cast<pid_t>(::syscall(SYS_gettid));
        FileLock lock(path);
        waiterHeld = lock.held();
    });
    // However the test ends, the waiter gets the lock and is joined, and the signal's handling goes back.
    struct Finish {
        std::function<void()> run;
        ~Finish() { run(); }
    } finish{[&] {
        holder.reset();
        if (waiter.joinable()) waiter.join();
        ::sigaction(SIGUSR1, &previous, nullptr);
    }};
    ASSERT_TRUE(within10Seconds([&] { return waiterId.load() != 0; }));
    for (int k = 1; k <= 3; ++k) {
        ASSERT_TRUE(within10Seconds([&] { return systemCallOf(waiterId) == SYS_flock; })) << k;
        ASSERT_EQ(::pthread_kill(waiter.native_handle(), SIGUSR1), 0);
        ASSERT_TRUE(within10Seconds([&] { return interruptions.load() == k; })) << k;
    }
    // Back to waiting after the last interruption, and still not holding the lock.
    ASSERT_TRUE(within10Seconds([&] { return systemCallOf(waiterId) == SYS_flock; }));
    EXPECT_FALSE(waiterHeld.load());
    holder.reset();
    waiter.join();
    EXPECT_TRUE(waiterHeld.load());
}
