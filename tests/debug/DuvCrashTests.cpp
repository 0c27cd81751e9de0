#include <gtest/gtest.h>

#include <fcntl.h>
#include <sched.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <thread>

#include "debug/DuvCrashHelper.h"
#include "debug/DuvDebugTool.h"
#include "debug/DuvFirstFault.h"
#include "debug/DuvPendingException.h"
#include "debug/DuvPendingSignal.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Object.h"
#include "platform/foundation/Sandbox.h"
#include "tests/support/ChildProgram.h"
#include "tests/support/HostileFiles.h"

namespace ql {
namespace {

std::vector<std::string> recordFilesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.path().filename() != "crashLog.plist") names.push_back(entry.path().filename());
    return names;
}

class DuvCrash : public ::testing::Test {
protected:
    std::string folder() const { return sandbox_.path() + "/crashes"; }
    std::size_t recordFiles() const { return recordFilesIn(folder()).size(); }

    ns::TemporarySandbox sandbox_;
    ns::ManualClockScope clock_;
};

TEST_F(DuvCrash, AnEmptyStoreHasNothingAndTheNewestTwentyAreKept) {
    DuvCrashHelper store(folder());
    EXPECT_TRUE(store.crashPlist().empty());
    EXPECT_TRUE(store.crashLogs().empty());
    EXPECT_FALSE(store.crashReport());

    // All in the same second: every record still has its own key.
    for (int i = 0; i < 25; ++i) ASSERT_TRUE(store.saveToFile(ns::Dictionary{{"n", i}}));
    const auto keys = store.crashPlist();
    ASSERT_EQ(keys.size(), DuvCrashHelper::kMaxRecords);
    EXPECT_EQ(recordFiles(), DuvCrashHelper::kMaxRecords);
    EXPECT_EQ(store.crashReport().value()["n"].int64Value(), 24);
    EXPECT_EQ(store.crashLogs().back()["n"].int64Value(), 5);
    EXPECT_EQ(std::set<std::string>(keys.begin(), keys.end()).size(), keys.size());
    EXPECT_EQ(store.crashForKey(keys.front()).value()["date"].stringValue(), keys.front());

    // A later run reads the same index back.
    DuvCrashHelper reopened(folder());
    EXPECT_EQ(reopened.crashPlist(), keys);
}

TEST_F(DuvCrash, ExceptionsKeepWhatTheyHaveAndUnwritableRecordsTakeNoSlot) {
    DuvCrashHelper store(folder());
    ns::Exception bare("NSRangeException", "");
    bare.setCallStackSymbols({"0 frame", "1 frame"});
    store.saveException(bare);
    const ns::Dictionary info = *store.crashReport().value()["info"].asDictionary();
    EXPECT_EQ(info.keys(), (std::vector<std::string>{"callStack", "name"}));
    EXPECT_EQ(info["name"].stringValue(), "NSRangeException");
    EXPECT_EQ(store.crashReport().value()["type"].stringValue(), "exception");

    // An object in the user information cannot go into a property list.
    ns::Exception odd("NSGenericException", "why", ns::Dictionary{{"object", ns::Value(std::make_shared<ns::Object>())}});
    store.saveException(odd);
    EXPECT_EQ(store.crashPlist().size(), 1u);
    EXPECT_EQ(recordFiles(), 1u);
}

std::string killedBy(int signal) { return "signal " + std::to_string(signal); }

// Runs the body in a child process and answers how it ended: "signal N", "exit N", or "hung" for a child
// still running after a minute, which is then killed.
std::string childEnding(const std::function<void()>& body) {
    const pid_t child = ::fork();
    if (child == 0) {
        body();
        ::_exit(0);
    }
    const int ended = static_cast<int>(::syscall(SYS_pidfd_open, child, 0));
    pollfd wait{ended, POLLIN, 0};
    const bool hung = ended >= 0 && ::poll(&wait, 1, 60'000) == 0;
    if (hung) ::kill(child, SIGKILL);
    if (ended >= 0) ::close(ended);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (hung) return "hung";
    return WIFSIGNALED(status) ? killedBy(WTERMSIG(status)) : "exit " + std::to_string(WEXITSTATUS(status));
}

std::size_t plistFiles(const std::string& folder) {
    std::size_t count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) count += entry.path().extension() == ".plist";
    return count;
}

TEST_F(DuvCrash, ACrashingProcessLeavesItsRecordsAndStillDies) {
    const std::string caches = ns::Sandbox::caches() + "/DuvCrashLog";
    // Uncaught: the exception's record, then the abort that follows it.
    EXPECT_EQ(childEnding([] {
                  DuvCrashHelper::sharedInstance().install();
                  DuvCrashHelper::sharedInstance().install();
                  // Nothing on a thread of its own catches it (the test framework would, on this one).
                  std::thread([] { throw ns::Exception("NSInvalidArgumentException", "bad argument"); }).join();
              }),
              killedBy(SIGABRT));
    DuvCrashHelper afterException(caches);
    const auto logs = afterException.crashLogs();
    ASSERT_EQ(logs.size(), 2u);
    EXPECT_EQ(logs[0]["signal type"].int64Value(), SIGABRT);
    EXPECT_EQ(logs[1]["type"].stringValue(), "exception");
    EXPECT_EQ(logs[1]["info"]["reason"].stringValue(), "bad argument");
    EXPECT_FALSE(logs[1]["info"]["callStack"].asArray()->empty());
    EXPECT_NE(logs[0]["date"], logs[1]["date"]);

    // A fault is recorded once and then ends the process instead of running the faulting code again.
    EXPECT_EQ(childEnding([] {
                  DuvCrashHelper::sharedInstance().install();
                  ::raise(SIGSEGV);
              }),
              killedBy(SIGSEGV));
    EXPECT_EQ(DuvCrashHelper(caches).crashReport().value()["signal type"].int64Value(), SIGSEGV);
}

TEST_F(DuvCrash, AFaultWhileAnotherThreadHoldsTheStoreAndTheLogStillRecordsAndDies) {
    const std::string caches = ns::Sandbox::caches() + "/DuvCrashLog";
    const auto whileASaveIsHeld = [&](const std::function<void()>& fault) {
        return childEnding([&] {
            DuvCrashHelper& store = DuvCrashHelper::sharedInstance();
            store.install();
            // Standard error becomes a full pipe that nobody reads: the saving thread blocks in its log line,
            // after its record is written and before it lets go of the store, the log and standard error.
            int pipe[2];
            if (::pipe(pipe) != 0) ::_exit(2);
            ::fcntl(pipe[1], F_SETFL, O_NONBLOCK);
            const char filler[512] = {};
            while (::write(pipe[1], filler, sizeof filler) > 0) {
            }
            ::fcntl(pipe[1], F_SETFL, 0);
            ::dup2(pipe[1], STDERR_FILENO);
            const std::size_t before = plistFiles(caches);
            std::thread([&store] { store.saveToFile(ns::Dictionary{{"held", true}}); }).detach();
            while (plistFiles(caches) == before) std::this_thread::yield();
            fault();
        });
    };
    EXPECT_EQ(whileASaveIsHeld([] { ::raise(SIGSEGV); }), killedBy(SIGSEGV));
    const auto report = DuvCrashHelper(caches).crashReport();
    ASSERT_TRUE(report);
    EXPECT_EQ((*report)["signal type"].int64Value(), SIGSEGV);

    // Nothing on the way out of an uncaught exception writes to standard error either.
    ns::FileManager::defaultManager().removeItemAtPath(caches);
    EXPECT_EQ(whileASaveIsHeld([] { std::thread([] { throw ns::Exception(ns::RangeException, "held"); }).join(); }),
              killedBy(SIGABRT));
    const auto logs = DuvCrashHelper(caches).crashLogs();
    ASSERT_EQ(logs.size(), 2u);
    EXPECT_EQ(logs[0]["signal type"].int64Value(), SIGABRT);
    EXPECT_EQ(logs[1]["info"]["reason"].stringValue(), "held");
}

TEST_F(DuvCrash, AnExceptionThatLeavesASaveHoldingTheStoreEndsTheProcessWithItsRecord) {
    const std::string caches = ns::Sandbox::caches() + "/DuvCrashLog";
    EXPECT_EQ(childEnding([] {
                  DuvCrashHelper& store = DuvCrashHelper::sharedInstance();
                  store.install();
                  // Memory runs out in the middle of a save, on a thread where nothing catches: the store's lock
                  // is still held when the uncaught-exception handler runs.
                  ns::FileManager::setBeforeAtomicReplaceHookForTesting([](const std::string&) {
                      ns::FileManager::setBeforeAtomicReplaceHookForTesting({});
                      throw std::bad_alloc();
                  });
                  std::thread([&store] { store.saveToFile(ns::Dictionary{{"cut", true}}); }).join();
              }),
              killedBy(SIGABRT));
    const auto logs = DuvCrashHelper(caches).crashLogs();
    ASSERT_EQ(logs.size(), 2u);
    EXPECT_EQ(logs[0]["signal type"].int64Value(), SIGABRT);
    EXPECT_EQ(logs[1]["type"].stringValue(), "exception");
    EXPECT_EQ(logs[1]["info"]["reason"].stringValue(), "std::bad_alloc");
    // The save that was cut short left its temporary file, gone now that the store has opened again.
    for (const auto& entry : std::filesystem::directory_iterator(caches))
        EXPECT_EQ(entry.path().filename().string().find(".tmp-"), std::string::npos) << entry.path();
}

TEST_F(DuvCrash, ABrokenPipeTheProcessIgnoresIsAnErrorNotACrash) {
    const std::string caches = ns::Sandbox::caches() + "/DuvCrashLog";
    const auto writeToClosedPipe = [] {
        int ends[2];
        if (::pipe(ends) != 0) ::_exit(2);
        ::close(ends[0]);
        const bool refused = ::write(ends[1], "x", 1) < 0 && errno == EPIPE;
        ::_exit(refused ? 0 : 3);
    };
    EXPECT_EQ(childEnding([&] {
                  ::signal(SIGPIPE, SIG_IGN);
                  DuvCrashHelper::sharedInstance().install();
                  writeToClosedPipe();
              }),
              "exit 0");
    EXPECT_TRUE(DuvCrashHelper(caches).crashPlist().empty());

    // Where the process leaves it to its default, it is one of the recorded crashes.
    EXPECT_EQ(childEnding([&] {
                  DuvCrashHelper::sharedInstance().install();
                  writeToClosedPipe();
              }),
              killedBy(SIGPIPE));
    EXPECT_EQ(DuvCrashHelper(caches).crashReport().value()["signal type"].int64Value(), SIGPIPE);
}

// Read through a volatile so that the compiler cannot see the fault coming (and put a trap of its own there).
int* volatile gNowhere = nullptr;

[[gnu::noinline, gnu::no_sanitize("undefined")]] void dereferenceNull() { *gNowhere = 1; }

TEST_F(DuvCrash, ThreadsFaultingAtOnceLeaveTheFirstFaultsRecordComplete) {
    const std::string caches = ns::Sandbox::caches() + "/DuvCrashLog";
    constexpr int kRounds = 40;
    constexpr int kThreads = 4;
    for (int round = 0; round < kRounds; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        ns::FileManager::defaultManager().removeItemAtPath(caches);
        ASSERT_EQ(childEnding([] {
                      DuvCrashHelper::sharedInstance().install();
                      std::atomic<int> ready{0};
                      std::vector<std::thread> threads;
                      for (int i = 0; i < kThreads; ++i) {
                          threads.emplace_back([&ready] {
                              ready.fetch_add(1);
                              while (ready.load() < kThreads) {
                              }
                              dereferenceNull();
                          });
                      }
                      for (auto& thread : threads) thread.join();
                  }),
                  killedBy(SIGSEGV));
        const auto logs = DuvCrashHelper(caches).crashLogs();
        ASSERT_EQ(logs.size(), 1u);
        EXPECT_EQ(logs[0]["signal type"].int64Value(), SIGSEGV);
    }
}

// More threads than cores, as on a small device: a thread is then set aside in the middle of what it does
// (its crash note, say) while others run on.
void keepToTwoCores() {
    cpu_set_t allowed, two;
    CPU_ZERO(&allowed);
    CPU_ZERO(&two);
    if (::sched_getaffinity(0, sizeof allowed, &allowed) != 0) return;
    for (int cpu = 0, taken = 0; cpu < CPU_SETSIZE && taken < 2; ++cpu) {
        if (!CPU_ISSET(cpu, &allowed)) continue;
        CPU_SET(cpu, &two);
        ++taken;
    }
    ::sched_setaffinity(0, sizeof two, &two);
}

enum class Fault { Throw, Abort, Segfault };

// Eight threads fault at the same moment, each in its own way, while a ninth saves a record of its own.
std::string faultTogether(const std::vector<Fault>& faults) {
    return childEnding([&faults] {
        keepToTwoCores();
        DuvCrashHelper& store = DuvCrashHelper::sharedInstance();
        store.install();
        const int everyone = static_cast<int>(faults.size()) + 1;
        std::atomic<int> ready{0};
        const auto arrive = [&] {
            ready.fetch_add(1);
            while (ready.load() < everyone) std::this_thread::yield();
        };
        std::vector<std::thread> threads;
        threads.emplace_back([&] {
            arrive();
            store.saveToFile(ns::Dictionary{{"saved", true}});
        });
        for (std::size_t i = 0; i < faults.size(); ++i) {
            threads.emplace_back([&arrive, fault = faults[i], i] {
                arrive();
                switch (fault) {
                case Fault::Throw:
                    // What the exception carries makes its note take a moment to write.
                    throw ns::Exception(ns::InvalidArgumentException, "thread " + std::to_string(i),
                                        ns::Dictionary{{"context", ns::Value(ns::Data(std::string(16 << 10, 'x')))}});
                case Fault::Abort: std::abort();
                case Fault::Segfault: dereferenceNull();
                }
            });
        }
        for (auto& thread : threads) thread.join();
    });
}

// What the crash of one process noted for the next launch, as the store files it: "exception <reason> +
// signal 6", "signal 11", or whatever else was found. The notes are read as the store reads them when it
// opens, without the cost of filing them as records.
std::string crashNotesIn(const std::string& folder) {
    std::vector<std::string> found;
    for (const auto& exception : duv_pending_exception::collect(folder)) {
        const ns::Value& info = exception.record["info"];
        const bool whole = exception.record["type"].stringValue() == "exception" &&
                           info["name"].stringValue() == ns::InvalidArgumentException &&
                           info["reason"].stringValue().starts_with("thread ") && info["callStack"].asArray() &&
                           !info["callStack"].asArray()->empty();
        found.push_back(whole ? "exception " + info["reason"].stringValue() : "a partial exception");
    }
    for (const auto& signal : duv_pending_signal::collect(folder))
        found.push_back("signal " + std::to_string(signal.signal));
    std::string text;
    for (const std::string& note : found) text += (text.empty() ? "" : " + ") + note;
    return text.empty() ? "nothing" : text;
}

TEST_F(DuvCrash, ThreadsThrowingAbortingAndFaultingAtOnceLeaveTheFirstFaultsRecordWhole) {
    const std::string caches = ns::Sandbox::caches() + "/DuvCrashLog";
    constexpr int kTrials = 200;
    const auto tally = [&](const std::vector<Fault>& faults, const std::regex& whole) {
        std::map<std::string, int> outcomes;
        int lost = 0;
        for (int trial = 0; trial < kTrials; ++trial) {
            ns::FileManager::defaultManager().removeItemAtPath(caches);
            const std::string ending = faultTogether(faults);
            const std::string notes = crashNotesIn(caches);
            lost += !((ending == killedBy(SIGABRT) || ending == killedBy(SIGSEGV)) && std::regex_match(notes, whole));
            ++outcomes[ending + ": " + notes];
        }
        std::string seen;
        for (const auto& [outcome, count] : outcomes) seen += "\n  " + std::to_string(count) + " × " + outcome;
        EXPECT_EQ(lost, 0) << "of " << kTrials << " trials:" << seen;
    };
    {
        SCOPED_TRACE("eight threads throwing");
        // An uncaught exception's note, then that of the abort that ends its thread.
        tally(std::vector<Fault>(8, Fault::Throw), std::regex("exception thread [0-7] \\+ signal 6"));
    }
    SCOPED_TRACE("eight threads throwing, aborting and faulting");
    const std::vector<Fault> mixed{Fault::Throw, Fault::Abort, Fault::Segfault, Fault::Throw,
                                   Fault::Abort, Fault::Segfault, Fault::Throw, Fault::Abort};
    // Whichever came first: an exception, an abort or a fault.
    tally(mixed, std::regex("exception thread [0-7] \\+ signal 6|signal 6|signal 11"));
}

TEST_F(DuvCrash, ThreadsThrowingWhileTheProcessEndsLeaveTheFirstExceptionsRecordWhole) {
    // The end of the process tears down what it owns while the threads throw: the handler they reach, and
    // what it reaches, stay, and the process is not gone before the first note is whole. A trial whose end
    // was over before any thread threw ends as main asked, with nothing noted.
    const std::string notes = folder() + "/notes";
    constexpr int kTrials = 200;
    std::map<std::string, int> outcomes;
    int broken = 0;
    int thrown = 0;
    int trial = 0;
    // A broken trial may hang until it is killed: three of them tell enough.
    for (; trial < kTrials && broken < 3; ++trial) {
        ns::FileManager::defaultManager().removeItemAtPath(notes);
        // Half the trials let the end go on at once: the process waits for the handler at work.
        const test::ChildRun child = test::runChild({QL_THROW_AT_EXIT, notes, trial % 2 ? "quick" : "slow"}, {}, "", 30);
        const std::string noted = crashNotesIn(notes);
        const bool aborted = child.ended && child.signal == SIGABRT;
        const bool whole = aborted && std::regex_match(noted, std::regex("exception thread [0-7] \\+ signal 6"));
        const bool untouched = child.succeeded() && noted == "nothing";
        broken += !(whole || untouched) || child.hasSanitizerReport();
        thrown += aborted;
        ++outcomes[child.describe().substr(0, child.describe().find(';')) + ": " + noted +
                   (child.hasSanitizerReport() ? " (with a sanitizer's report)" : "")];
    }
    std::string seen;
    for (const auto& [outcome, count] : outcomes) seen += "\n  " + std::to_string(count) + " × " + outcome;
    EXPECT_EQ(broken, 0) << "of " << trial << " trials:" << seen;
    EXPECT_GT(thrown, 0) << "no thread threw before the end was over:" << seen;
}

TEST_F(DuvCrash, APipeWhereTheNoteGoesDoesNotHoldTheCrashingProcess) {
    const std::string caches = ns::Sandbox::caches() + "/DuvCrashLog";
    EXPECT_EQ(childEnding([&] {
                  DuvCrashHelper::sharedInstance().install();
                  const std::string note = caches + "/pending-signal-" + std::to_string(::getpid());
                  if (::mkfifo(note.c_str(), 0600) != 0) ::_exit(2);
                  dereferenceNull();
              }),
              killedBy(SIGSEGV));
    EXPECT_TRUE(DuvCrashHelper(caches).crashPlist().empty());
    EXPECT_TRUE(recordFilesIn(caches).empty());
}

TEST(DuvFirstFaultTurns, TheFirstNotesTheOthersWaitForItBoundedAndTheNoterEnteringAgainGoesOn) {
    using Turn = DuvFirstFault::Turn;
    const test::HangGuard guard("threads taking turns at a crash note");
    DuvFirstFault turn(std::int64_t{60'000'000'000});
    ASSERT_EQ(turn.begin(), Turn::First);
    // A fault inside the handler, on the noting thread: waiting would wait for itself for a minute.
    EXPECT_EQ(turn.begin(), Turn::Again);

    std::atomic<bool> entering{false}, noted{false};
    Turn answer = Turn::First;
    bool sawTheNote = false;
    std::thread other([&] {
        entering = true;
        answer = turn.begin();
        sawTheNote = noted.load();
    });
    while (!entering) std::this_thread::yield();
    noted = true;
    turn.noted();
    other.join();
    EXPECT_EQ(answer, Turn::Later);
    EXPECT_TRUE(sawTheNote);
    // The noting thread still goes on at once after its note.
    EXPECT_EQ(turn.begin(), Turn::Again);

    // A noter that never finishes holds the others only for the limit.
    DuvFirstFault stuck(std::int64_t{20'000'000});
    ASSERT_EQ(stuck.begin(), Turn::First);
    std::thread([&] { answer = stuck.begin(); }).join();
    EXPECT_EQ(answer, Turn::Later);
}

// Never reached: it only keeps the recursion below from being seen as endless and folded away.
volatile std::size_t gDeepest = SIZE_MAX;

[[gnu::noinline]] std::size_t descend(std::size_t depth) {
    volatile char frame[512] = {};
    frame[depth % sizeof frame] = 1;
    if (depth == gDeepest) return frame[0];
    return descend(depth + 1) + frame[1];
}

TEST_F(DuvCrash, AStackOverflowLeavesARecord) {
    const std::string caches = ns::Sandbox::caches() + "/DuvCrashLog";
    EXPECT_EQ(childEnding([] {
                  // A bounded stack, so the overflow comes soon whatever the shell's limit.
                  const rlimit stack{4 << 20, 4 << 20};
                  ::setrlimit(RLIMIT_STACK, &stack);
                  DuvCrashHelper::sharedInstance().install();
                  descend(0);
              }),
              killedBy(SIGSEGV));
    const auto report = DuvCrashHelper(caches).crashReport();
    ASSERT_TRUE(report);
    EXPECT_EQ((*report)["signal type"].int64Value(), SIGSEGV);
}

TEST_F(DuvCrash, TemporaryFilesOfCutSavesGoWhenTheStoreOpens) {
    {
        DuvCrashHelper store(folder());
        ASSERT_TRUE(store.saveToFile(ns::Dictionary{{"kept", true}}));
    }
    const auto note = [&](const std::string& name) { std::ofstream(folder() + "/" + name) << "<?xml"; };
    note(".2016-03-02 10:00:00.plist.tmp-a1b2c3d40");
    note(".crashLog.plist.tmp-e5f6g7h81");
    note(".unrelated");
    DuvCrashHelper store(folder());
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder())) names.insert(entry.path().filename());
    EXPECT_EQ(names, (std::set<std::string>{".unrelated", "crashLog.plist", store.crashPlist().front() + ".plist"}));
    EXPECT_TRUE(store.crashReport().value()["kept"].boolValue());
}

TEST_F(DuvCrash, NotedCrashesBecomeRecordsOldestFirstAndCutNotesAreDropped) {
    std::filesystem::create_directories(folder());
    const auto note = [&](const std::string& name, const std::string& text) {
        std::ofstream(folder() + "/" + name) << text;
    };
    note("pending-signal-7", "11 2000000000\nnot a line\n4 20");  // the last line was cut short
    note("pending-signal-8", "8 1000000000\n");
    const std::string exception =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\"><dict>"
        "<key>seconds</key><integer>1500000000</integer><key>record</key><dict><key>type</key>"
        "<string>exception</string><key>info</key><dict><key>name</key><string>NSRangeException</string></dict>"
        "</dict></dict></plist>";
    note("pending-exception-9", exception);
    note("pending-exception-10", exception.substr(0, exception.size() / 2));
    note("pending-exception-11", "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>seconds</key>"
                                 "<integer>5</integer></dict></plist>");  // no record
    DuvCrashHelper store(folder());
    const auto logs = store.crashLogs();
    ASSERT_EQ(logs.size(), 3u);
    EXPECT_EQ(logs[0]["signal type"].int64Value(), SIGSEGV);
    EXPECT_EQ(logs[1]["info"]["name"].stringValue(), "NSRangeException");
    EXPECT_EQ(logs[2]["signal type"].int64Value(), SIGFPE);
    EXPECT_EQ(recordFiles(), 3u);  // the notes are gone
    EXPECT_EQ(DuvCrashHelper(folder()).crashPlist().size(), 3u);
}

TEST_F(DuvCrash, WhatTheWorldPutsInPlaceOfNotesIndexOrRecordsIsPassedOverWithoutWaiting) {
    // Larger than any note, index or record is read.
    constexpr std::uint64_t kOversized = (std::uint64_t{4} << 20) + 1;
    for (const test::HostileFile kind : test::hostileFiles()) {
        SCOPED_TRACE(test::describe(kind));
        ns::FileManager::defaultManager().removeItemAtPath(folder());
        std::vector<std::string> keys;
        {
            DuvCrashHelper store(folder());
            ASSERT_TRUE(store.saveToFile(ns::Dictionary{{"n", 1}}));
            ASSERT_TRUE(store.saveToFile(ns::Dictionary{{"n", 2}}));
            keys = store.crashPlist();
        }
        ASSERT_EQ(keys.size(), 2u);
        test::placeHostileFile(kind, folder() + "/pending-signal-3", kOversized);
        test::placeHostileFile(kind, folder() + "/pending-exception-4", kOversized);
        test::placeHostileFile(kind, folder() + "/" + keys[1] + ".plist", kOversized);
        {
            const test::HangGuard guard("the crash store beside " + test::describe(kind));
            DuvCrashHelper store(folder());
            EXPECT_EQ(store.crashPlist(), keys);
            EXPECT_FALSE(store.crashForKey(keys[1]));
            ASSERT_EQ(store.crashLogs().size(), 1u);
            EXPECT_EQ(store.crashReport().value()["n"].int64Value(), 2);
            EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(folder() + "/pending-signal-3")));
            EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(folder() + "/pending-exception-4")));
            ASSERT_TRUE(store.saveToFile(ns::Dictionary{{"n", 3}}));
            EXPECT_EQ(store.crashReport().value()["n"].int64Value(), 3);
        }
        // In place of the index: the store starts empty and goes on.
        test::placeHostileFile(kind, folder() + "/crashLog.plist", kOversized);
        const test::HangGuard guard("the crash store's index as " + test::describe(kind));
        DuvCrashHelper store(folder());
        EXPECT_TRUE(store.crashPlist().empty());
        ASSERT_TRUE(store.saveToFile(ns::Dictionary{{"n", 4}}));
        EXPECT_EQ(DuvCrashHelper(folder()).crashReport().value()["n"].int64Value(), 4);
    }
}

// Run in a process of its own, started afresh from the test program, since it needs a process in which
// nothing has made the tool yet: a forked child would inherit this one's tool, as would a repeated run.
TEST(DuvDebugToolThreads, AToolFirstReachedFromANetworkThreadBuildsItsWindowOnTheMainThread) {
    const std::string style = GTEST_FLAG_GET(death_test_style);
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const auto firstReached = [] {
        std::shared_ptr<DuvDebugTool> tool;
        std::thread([&] { tool = DuvDebugTool::shareInstance(); }).join();
        if (tool->debugWin()) return "a window built off the main thread";
        if (!ns::RunLoop::main()->runUntil([&] { return tool->debugWin() != nullptr; }, 30)) return "no window";
        if (!tool->debugTimer()->isValid()) return "no running timer";
        if (!tool->debugWin()->isHidden()) return "a window shown";
        return "";
    };
    EXPECT_EXIT(
        {
            const std::string fault = firstReached();
            std::fputs(fault.c_str(), stderr);
            std::_Exit(fault.empty() ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
    GTEST_FLAG_SET(death_test_style, style);
}

}  // namespace
}  // namespace ql
