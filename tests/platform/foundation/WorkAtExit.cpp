// A program that ends while its background work is still going, for BackgroundWorkTests.
//   foundation_work_at_exit MARKER [return|exit|waits-for-main|run-loop-timer|refilling|endless-block|
//                                   handler-waits-on-group|handler-queues-onto-sync|handler-syncs-onto-stopped-block|
//                                   defaults-given-up|defaults-set-at-the-end|daemon HOW|worker HOW|
//                                   threads-using FORMAT MILLISECONDS|stdio-given-up HOW|read-default [KEY...]]
// return, exit, waits-for-main: a serial queue's job writes log lines and digests for a while, and performs
//   blocks that log on another thread's run loop, then writes the file MARKER; main returns (or, with "exit",
//   calls exit) as soon as that job has started. With "waits-for-main", the job waits for the main queue first,
//   which never runs again.
// run-loop-timer: a job on a global queue runs its thread's run loop for a minute, with a timer that takes a
//   digest every 5 ms; main returns once the timer has fired.
// refilling: a block on a serial queue takes a digest, logs it and queues itself again, for ever; main returns
//   once it has run.
// endless-block: a block on a serial queue takes digests for ever; main returns once it has begun.
// In the last three, the program's own exit handler is a slow one (half a second). Background work that still
// runs once the exit handlers have begun says "ran after the exit handlers began" on standard error and ends the
// process with status 3. The end's beginning is told on standard output (tellTheEndBegins), and so is, without
// flushing, "a line left in the buffer".
// handler-waits-on-group: a job waits on a group the main thread entered; main returns, and an exit handler leaves
//   the group, gives the job's thread a moment to wake, then waits on the group for 0.1 s.
// handler-queues-onto-sync: a job is blocked in a sync onto a suspended serial queue; main returns, and an exit
//   handler resumes the queue, gives the job's thread a moment to wake, then queues a block onto it.
// handler-syncs-onto-stopped-block: sets the user default "set-in-main" without synchronizing it; a block of a
//   serial queue waits on a semaphore; main ends its background work with a short allowance and returns 5. An
//   exit handler sets the user default "set-in-handler", signals the semaphore, so that the block's thread wakes
//   and stops for good, then syncs onto the queue, whose turn the stopped block holds. What ends the process
//   then is the end's allowance: "the sync returned" on standard output would be a fault.
// defaults-given-up: sets the user default "promise" to "kept" without synchronizing it, starts a job that takes
//   digests for ever and ends its background work with an allowance of a second and a half before main returns.
// defaults-set-at-the-end: sets user defaults from code that runs at the end: "first-handler" from an exit handler
//   registered before the defaults are first used, "static" from the destructor of an object of static storage
//   made before then too, "main" in main and "last-handler" from an exit handler registered afterwards.
// daemon at-once|after-child: sets the user default "before" and synchronizes, then forks; the parent leaves with
//   _exit, at once (after telling the child's process ID on standard output) or once the child has ended (with
//   its status), and the child carries on as the program: it sets "daemon" and returns from main.
// worker return|exit: sets the user default "shared" to 1 without synchronizing it and forks a worker; the parent
//   sets "shared" to 2 and synchronizes, and only then the worker sets "child" and returns from main (or calls
//   exit); the parent waits for it, sets "late" and returns (with the worker's status when it failed).
// threads-using json|xml|text MILLISECONDS: four ns::Threads write and read JSON (or property lists as XML, or
//   dates, patterns and digests of texts) for ever, without a run loop; main returns 0 after MILLISECONDS, and the
//   end lingers a tenth of a second once what they use would be destroyed. A round trip that comes back different
//   says so on standard error and ends with status 4.
// stdio-given-up FILE handler|fenced|blocked-flush: writes 100 lines to FILE through stdio, and one to FILE.held,
//   which a thread then holds for good; then the end gives up with status 6 on an exit handler that never returns
//   ("handler"), or fences off a block that never ends ("fenced"). With "blocked-flush", as with "handler", but
//   another thread is blocked for good in a flush of every stream, holding the C library's list of them.
// read-default: prints the user default "promise", or each KEY's, one a line, or "nothing" for one not set.

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/foundation/BackgroundWork.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/DateFormatter.h"
#include "platform/foundation/Digest.h"
#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/JSONSerialization.h"
#include "platform/foundation/Locale.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/PropertyListSerialization.h"
#include "platform/foundation/RegularExpression.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Thread.h"
#include "platform/foundation/TimeZone.h"
#include "platform/foundation/Timer.h"
#include "platform/foundation/Transliteration.h"
#include "platform/foundation/UserDefaults.h"
#include "tests/support/ChildProgram.h"

using namespace ql::ns;

namespace {

// Long enough that the end of main comes in the middle of it.
constexpr auto kWorkTime = std::chrono::milliseconds(300);

std::shared_ptr<RunLoop> loggingThreadLoop() {
    auto thread = std::make_shared<Thread>([] {
        RunLoop::current()->addSource(Port::port(), DefaultRunLoopMode);
        RunLoop::current()->run();
    });
    thread->start();
    return thread->runLoop();
}

int endWithWorkUnderWay(const std::string& marker, const std::string& how) {
    static auto* started = new DispatchSemaphore(0);
    auto loop = loggingThreadLoop();
    DispatchQueue::serial("work-at-exit")->async([=] {
        started->signal();
        if (how == "waits-for-main") DispatchQueue::main()->sync([] {});
        const std::string chunk(64 * 1024, 'x');
        int round = 0;
        for (auto end = std::chrono::steady_clock::now() + kWorkTime; std::chrono::steady_clock::now() < end; ++round) {
            Log::write("round " + std::to_string(round) + " " + hexString(md5(chunk)));
            loop->performBlock([round] { Log::write("performed " + std::to_string(round)); });
        }
        std::ofstream(marker) << round << "\n";
    });
    started->wait();
    if (how == "exit") std::exit(0);
    return 0;
}

// ---- Work that would go on for ever, watched by a slow exit handler ----

std::atomic<bool> exitHandlersBegan{false};

// Gives background work half a second to show itself, as a slow exit handler would.
void slowExitHandler() {
    exitHandlersBegan.store(true);
    const timespec halfASecond{0, 500'000'000};
    ::nanosleep(&halfASecond, nullptr);
}

// The background work's own step: what the exit handlers tear down (the digests' library, the log) is in use.
void step(int round) {
    if (exitHandlersBegan.load()) {
        static constexpr char kTold[] = "ran after the exit handlers began\n";
        [[maybe_unused]] const auto written = ::write(2, kTold, sizeof kTold - 1);
        ::_exit(3);
    }
    const std::string digest = hexString(md5(std::string(4096, static_cast<char>('a' + round % 26))));
    if (round % 10000 == 0) Log::write("step " + std::to_string(round) + " " + digest);
}

void keepRefilling(const std::shared_ptr<DispatchQueue>& queue, int round, DispatchSemaphore* ran) {
    queue->async([queue, round, ran] {
        step(round);
        if (round == 0) ran->signal();
        keepRefilling(queue, round + 1, ran);
    });
}

int endWithEndlessWork(const std::string& how) {
    // What the work uses is set up before the exit handler is registered, so that it is torn down after it.
    step(0);
    std::atexit(slowExitHandler);
    static auto* ran = new DispatchSemaphore(0);
    if (how == "run-loop-timer") {
        DispatchQueue::global()->async([] {
            auto round = std::make_shared<int>(0);
            RunLoop::current()->addTimer(Timer::timer(0.005, true,
                                                      [round](Timer&) {
                                                          step(++*round);
                                                          if (*round == 1) ran->signal();
                                                      }),
                                         DefaultRunLoopMode);
            RunLoop::current()->runUntilDate(Date::fromTimeIntervalSince1970(Clock::now() + 60));
        });
    } else if (how == "refilling") {
        keepRefilling(DispatchQueue::serial("refilling"), 0, ran);
    } else {
        DispatchQueue::serial("endless")->async([] {
            ran->signal();
            for (int round = 1;; ++round) step(round);
        });
    }
    ran->wait();
    ql::test::tellTheEndBegins();
    std::printf("a line left in the buffer\n");
    return 0;
}

// ---- Exit handlers that wait for what a stopped thread waited on ----

// Long enough for a woken thread to take the lock its wait gives back, and to stop there if it is to.
void giveTheWokenThreadAMoment() {
    const timespec aFifthOfASecond{0, 200'000'000};
    ::nanosleep(&aFifthOfASecond, nullptr);
}

std::shared_ptr<DispatchGroup> waitedGroup;
std::shared_ptr<DispatchQueue> syncedQueue;

void leaveTheGroupThenWaitOnIt() {
    waitedGroup->leave();
    giveTheWokenThreadAMoment();
    waitedGroup->wait(0.1);
}

void resumeTheQueueThenQueueOntoIt() {
    syncedQueue->resume();
    giveTheWokenThreadAMoment();
    syncedQueue->async([] {});
}

int endWithAJobBlocked(const std::string& how) {
    static auto* started = new DispatchSemaphore(0);
    if (how == "handler-waits-on-group") {
        waitedGroup = std::make_shared<DispatchGroup>();
        waitedGroup->enter();
        DispatchQueue::global()->async([] {
            started->signal();
            waitedGroup->wait(-1);
        });
        std::atexit(leaveTheGroupThenWaitOnIt);
    } else {
        syncedQueue = DispatchQueue::serial("synced");
        syncedQueue->suspend();
        DispatchQueue::global()->async([] {
            started->signal();
            syncedQueue->sync([] {});
        });
        std::atexit(resumeTheQueueThenQueueOntoIt);
    }
    started->wait();
    ql::test::tellTheEndBegins();
    return 0;
}

// Short, so the end gives up soon; long enough for a loaded machine's queued work to finish first.
constexpr double kShortAllowance = 1.5;

std::shared_ptr<DispatchQueue> heldQueue;
DispatchSemaphore* heldBlockWaits;

void wakeTheStoppedBlockThenSyncOntoItsQueue() {
    UserDefaults::standard().setObject(ql::ns::Value("yes"), "set-in-handler");
    heldBlockWaits->signal();
    heldQueue->sync([] {});
    std::printf("the sync returned\n");
}

int endWithAnExitHandlerSyncingOntoAStoppedBlock() {
    UserDefaults::standard().setObject(ql::ns::Value("yes"), "set-in-main");
    static auto* started = new DispatchSemaphore(0);
    heldBlockWaits = new DispatchSemaphore(0);
    heldQueue = DispatchQueue::serial("held");
    heldQueue->async([] {
        started->signal();
        heldBlockWaits->wait();
    });
    started->wait();
    std::atexit(wakeTheStoppedBlockThenSyncOntoItsQueue);
    BackgroundWork::endTheProcess(kShortAllowance);
    ql::test::tellTheEndBegins();
    return 5;
}

// ---- What the user defaults promised, when the end gives up ----

int endGivingUpWithADefaultUnsynchronized() {
    UserDefaults::standard().setObject(ql::ns::Value("kept"), "promise");
    static auto* started = new DispatchSemaphore(0);
    DispatchQueue::global()->async([] {
        started->signal();
        for (int round = 0;; ++round) hexString(md5(std::string(4096, static_cast<char>('a' + round % 26))));
    });
    started->wait();
    BackgroundWork::endTheProcess(kShortAllowance);
    return 0;
}

// ---- Code at the end that sets defaults ----

struct SetsADefaultAtItsEnd {
    ~SetsADefaultAtItsEnd() { UserDefaults::standard().setObject(ql::ns::Value("yes"), "static"); }
};

int endSettingDefaultsAtTheEnd() {
    static SetsADefaultAtItsEnd setter;
    std::atexit([] { UserDefaults::standard().setObject(ql::ns::Value("yes"), "first-handler"); });
    UserDefaults::standard().setObject(ql::ns::Value("yes"), "main");
    std::atexit([] { UserDefaults::standard().setObject(ql::ns::Value("yes"), "last-handler"); });
    return 0;
}

// ---- A forked child carrying on as the program ----

// The child's status as the parent's own, 1 when it did not exit by itself.
int statusOf(pid_t child) {
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return 1;
    return WEXITSTATUS(status);
}

int endAsADaemon(const std::string& how) {
    UserDefaults::standard().setObject(ql::ns::Value("yes"), "before");
    if (!UserDefaults::standard().synchronize()) return 1;
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child < 0) return 1;
    if (child > 0) {
        if (how == "after-child") ::_exit(statusOf(child));
        std::printf("daemon %d\n", static_cast<int>(child));
        std::fflush(stdout);
        ::_exit(0);
    }
    UserDefaults::standard().setObject(ql::ns::Value("yes"), "daemon");
    return 0;
}

int endWithAForkedWorker(const std::string& how) {
    UserDefaults::standard().setInteger(1, "shared");
    // The worker goes on once the parent has written its newer value, whatever the machine's load.
    int written[2];
    if (::pipe(written) != 0) return 1;
    std::fflush(nullptr);
    const pid_t worker = ::fork();
    if (worker < 0) return 1;
    if (worker == 0) {
        ::close(written[1]);
        char told = 0;
        if (::read(written[0], &told, 1) != 1) ::_exit(1);
        UserDefaults::standard().setObject(ql::ns::Value("yes"), "child");
        if (how == "exit") std::exit(0);
        return 0;
    }
    ::close(written[0]);
    UserDefaults::standard().setInteger(2, "shared");
    const bool synchronized = UserDefaults::standard().synchronize();
    const char tell = 1;
    const bool told = ::write(written[1], &tell, 1) == 1;
    ::close(written[1]);
    if (const int status = statusOf(worker); status != 0) return status;
    if (!synchronized || !told) return 1;
    UserDefaults::standard().setObject(ql::ns::Value("yes"), "late");
    return 0;
}

// ---- Threads of the app's own still using a library as the process ends ----

std::optional<Data> writtenAs(const std::string& format, const ql::ns::Value& value) {
    if (format == "json") return JSONSerialization::dataWithJSONObject(value, 0, nullptr);
    return PropertyListSerialization::dataWithPropertyList(value, PropertyListFormat::XML, nullptr);
}

ql::ns::Value readAs(const std::string& format, const Data& data) {
    if (format == "json") return JSONSerialization::JSONObjectWithData(data, 0, nullptr);
    return PropertyListSerialization::propertyListWithData(data, PropertyListImmutable, nullptr, nullptr);
}

bool valueComesBackTheSame(const std::string& format, int thread, long round) {
    const ql::ns::Value written(Dictionary{{"thread", ql::ns::Value(thread)},
                                           {"round", ql::ns::Value(static_cast<std::int64_t>(round))},
                                           {"text", ql::ns::Value("\u4e66 quillory")},
                                           {"list", ql::ns::Value(Array{ql::ns::Value(1.5), ql::ns::Value(true)})}});
    const auto data = writtenAs(format, written);
    return data && readAs(format, *data) == written;
}

// Dates in a Chinese locale, a pattern, a transliteration, a time zone and a digest: the text services' and the
// crypto library's state.
bool textComesBackTheSame(long round) {
    DateFormatter formatter;
    formatter.setLocale(Locale("zh_CN"));
    formatter.setTimeZone(TimeZone::named("Asia/Shanghai").value_or(TimeZone::gmt()));
    formatter.setDateFormat("yyyy\u5e74M\u6708d\u65e5 HH:mm:ss");
    const Date date = Date::fromTimeIntervalSince1970(static_cast<double>(round * 3607));
    const std::string text = formatter.stringFromDate(date);
    const auto pattern = RegularExpression::regularExpressionWithPattern("\\d+\u5e74");
    return formatter.dateFromString(text) == date && pattern && pattern->numberOfMatchesInString(text) == 1 &&
           transliteratedToASCII("\u4e66") == "shu" && hexString(md5(text)).size() == 32;
}

[[noreturn]] void roundTripForEver(const std::string& format, int thread) {
    for (long round = 0;; ++round) {
        if (!(format == "text" ? textComesBackTheSame(round) : valueComesBackTheSame(format, thread, round))) {
            static constexpr char kDiffers[] = "a round trip came back different\n";
            [[maybe_unused]] const auto told = ::write(2, kDiffers, sizeof kDiffers - 1);
            ::_exit(4);
        }
    }
}

int endWithThreadsUsing(const std::string& format, int milliseconds) {
    ql::test::lingerAtTheEnd();
    // The text services load their data once, behind synchronisation of their own that the race detector cannot
    // see: done here first, the threads do not race to it.
    if (format == "text" && !textComesBackTheSame(0)) return 4;
    for (int thread = 0; thread < 4; ++thread)
        Thread::detachNewThread([format, thread] { roundTripForEver(format, thread); });
    const timespec pause{milliseconds / 1000, (milliseconds % 1000) * 1'000'000L};
    ::nanosleep(&pause, nullptr);
    ql::test::tellTheEndBegins();
    return 0;
}

// ---- What was written through stdio when the end gives up ----

[[noreturn]] void waitForEver() {
    for (;;) ::pause();
}

// Blocks a thread for good in a flush of every stream: one of them is written into a pipe that nobody reads.
void blockAFlushOfEveryStream() {
    int ends[2];
    if (::pipe(ends) != 0) std::abort();
    FILE* unread = ::fdopen(ends[1], "w");
    static char buffer[1 << 18];
    if (!unread || std::setvbuf(unread, buffer, _IOFBF, sizeof buffer) != 0) std::abort();
    const std::string moreThanThePipeHolds(sizeof buffer / 2, 'x');
    std::fwrite(moreThanThePipeHolds.data(), 1, moreThanThePipeHolds.size(), unread);
    std::thread([] { std::fflush(nullptr); }).detach();
    giveTheWokenThreadAMoment();
}

int endGivingUpWithStdioBuffered(const std::string& path, const std::string& how) {
    FILE* file = std::fopen(path.c_str(), "w");
    FILE* held = std::fopen((path + ".held").c_str(), "w");
    if (!file || !held) return 2;
    for (int line = 1; line <= 100; ++line) std::fprintf(file, "line %d\n", line);
    std::fprintf(held, "held\n");
    static auto* holding = new DispatchSemaphore(0);
    std::thread([held] {
        ::flockfile(held);
        holding->signal();
        waitForEver();
    }).detach();
    holding->wait();
    if (how == "blocked-flush") blockAFlushOfEveryStream();
    if (how != "fenced") {
        std::atexit([] { waitForEver(); });
    } else {
        static auto* started = new DispatchSemaphore(0);
        DispatchQueue::serial("never-ends")->async([] {
            started->signal();
            for (int round = 0;; ++round) hexString(md5(std::string(4096, static_cast<char>('a' + round % 26))));
        });
        started->wait();
    }
    BackgroundWork::endTheProcess(kShortAllowance);
    ql::test::tellTheEndBegins();
    return 6;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    const std::string how = argc > 2 ? argv[2] : "return";
    if (how == "run-loop-timer" || how == "refilling" || how == "endless-block") return endWithEndlessWork(how);
    if (how == "handler-waits-on-group" || how == "handler-queues-onto-sync") return endWithAJobBlocked(how);
    if (how == "handler-syncs-onto-stopped-block") return endWithAnExitHandlerSyncingOntoAStoppedBlock();
    if (how == "defaults-given-up") return endGivingUpWithADefaultUnsynchronized();
    if (how == "defaults-set-at-the-end") return endSettingDefaultsAtTheEnd();
    if (how == "daemon" && argc > 3) return endAsADaemon(argv[3]);
    if (how == "worker" && argc > 3) return endWithAForkedWorker(argv[3]);
    if (how == "threads-using" && argc > 4) return endWithThreadsUsing(argv[3], std::atoi(argv[4]));
    if (how == "stdio-given-up" && argc > 3) return endGivingUpWithStdioBuffered(argv[1], argv[3]);
    if (how == "read-default") {
        std::vector<std::string> keys(argv + std::min(argc, 3), argv + argc);
        if (keys.empty()) keys.push_back("promise");
        for (const std::string& key : keys)
            std::printf("%s\n", UserDefaults::standard().stringForKey(key).value_or("nothing").c_str());
        return 0;
    }
    return endWithWorkUnderWay(argv[1], how);
}
