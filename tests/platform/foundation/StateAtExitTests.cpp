// What a thread keeps for itself (JSON's scratch and parser, its run loop) and the libraries under JSON and
// digests still work at the end of the process: from an exit handler and from the destructor of an
// object of static storage, on the thread that ends it, after that thread's thread storage has been destroyed,
// whether that is the main thread returning or a pool job calling exit(). What lives for the whole process (the
// standard user defaults, the JSON library) serves code at the end and threads still running as it ends.

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Sandbox.h"
#include "tests/platform/foundation/DefaultsAtTheNextLaunch.h"
#include "tests/support/ChildProgram.h"

using namespace ql;

namespace {

// Far more than the program's work and the end of its process.
constexpr double kRunLimit = 60;

// Uses `what` at the end of a process from each place and on each thread; answers what it printed each time.
void expectAtTheEnd(const std::string& what, const std::string& result) {
    for (const std::string where : {"handler", "static"}) {
        for (const std::string thread : {"main", "job"}) {
            const test::ChildRun child = test::runChild({QL_STATE_AT_EXIT, what, where, thread}, {}, "", kRunLimit);
            const std::string trial = what + " from " + where + " on " + thread;
            EXPECT_TRUE(child.succeeded()) << trial << ": " << child.describe();
            EXPECT_FALSE(child.hasSanitizerReport()) << trial << ": " << child.describe();
            EXPECT_EQ(child.out, "at the end: " + result + "\n") << trial;
        }
    }
}

}  // namespace

TEST(StateAtExit, JSONWrittenAndReadAtTheEndRoundTrips) {
    expectAtTheEnd("json", R"(["quillory",1,2.5,true,null,{"k":"v"}] read back the same)");
}

TEST(StateAtExit, TheEndingThreadsRunLoopStillPerformsAtTheEnd) { expectAtTheEnd("run-loop", "performed"); }

TEST(StateAtExit, ADigestIsTakenAtTheEnd) {
    // As `printf quillory | openssl md5` gives it.
    expectAtTheEnd("digest", "a944f36a69df40ca594b62211a2d0819");
}

TEST(StateAtExit, DefaultsSetByCodeAtTheEndAreKeptForTheNextLaunch) {
    // One exit handler and one object of static storage come before the defaults' first use, so the runtime would
    // tear the store down before they run; the other handler comes after it.
    ns::TemporarySandbox home;
    const std::map<std::string, std::string> inHome{{"QUILLORY_HOME", home.path()}};
    const test::ChildRun ending = test::runChild({QL_WORK_AT_EXIT, "-", "defaults-set-at-the-end"}, inHome, "", kRunLimit);
    EXPECT_TRUE(ending.succeeded()) << ending.describe();
    EXPECT_FALSE(ending.hasSanitizerReport()) << ending.describe();
    EXPECT_EQ(test::defaultsAtTheNextLaunch(inHome, {"first-handler", "static", "main", "last-handler"}),
              "yes\nyes\nyes\nyes\n");
}

TEST(StateAtExit, ThreadsStillReadingAndWritingAsTheProcessEndsDoNotBringItDown) {
    // The threads never come to a stop the end knows of, so the process ends under them, at once and with main's
    // status; the JSON, XML, text services' and crypto libraries' state must not be torn down meanwhile. main
    // returns at several points of their work.
    for (const std::string format : {"json", "xml", "text"}) {
        for (int milliseconds = 30; milliseconds <= 80; milliseconds += 10) {
            const std::string trial = format + " after " + std::to_string(milliseconds) + " ms";
            const test::ChildRun child = test::runChild(
                {QL_WORK_AT_EXIT, "-", "threads-using", format, std::to_string(milliseconds)}, {}, "", kRunLimit);
            EXPECT_TRUE(child.succeeded()) << trial << ": " << child.describe();
            EXPECT_FALSE(child.hasSanitizerReport()) << trial << ": " << child.describe();
            EXPECT_EQ(child.err.find("given up"), std::string::npos) << trial << ": " << child.err;
            EXPECT_LT(child.secondsOfItsEnd().value_or(test::kLongestEnd), ns::BackgroundWork::kEndAllowance / 2)
                << trial << ": " << child.out;
        }
    }
}

namespace {

// Runs the program of WorkAtExit.cpp as `how` says in a home of its own, and once it has ended (a daemon it tells
// of included), answers what the user defaults `keys` hold at the next launch there.
std::string defaultsAfterAForkedChild(const std::vector<std::string>& how, const std::vector<std::string>& keys) {
    ns::TemporarySandbox home;
    const std::map<std::string, std::string> inHome{{"QUILLORY_HOME", home.path()}};
    std::vector<std::string> arguments{QL_WORK_AT_EXIT, "-"};
    arguments.insert(arguments.end(), how.begin(), how.end());
    const test::ChildRun parent = test::runChild(arguments, inHome, "", kRunLimit);
    EXPECT_TRUE(parent.succeeded()) << how.back() << ": " << parent.describe();
    EXPECT_FALSE(parent.hasSanitizerReport()) << how.back() << ": " << parent.describe();
    constexpr std::string_view kDaemon = "daemon ";
    if (const auto told = parent.out.find(kDaemon); told != std::string::npos) {
        EXPECT_TRUE(test::awaitGone(std::stoi(parent.out.substr(told + kDaemon.size())), kRunLimit));
    }
    return test::defaultsAtTheNextLaunch(inHome, keys);
}

}  // namespace

TEST(StateAtExit, AForkedChildWritesWhatItSetAndLeavesWhatItInheritedToItsParent) {
    // A daemon: the parent leaves with _exit, at once or once the child has ended, and the child returns from main.
    for (const std::string how : {"at-once", "after-child"})
        EXPECT_EQ(defaultsAfterAForkedChild({"daemon", how}, {"before", "daemon"}), "yes\nyes\n") << how;
    // A worker: the parent's unsynchronized 1 is its own to write, and its 2, written since, must stay.
    for (const std::string how : {"return", "exit"})
        EXPECT_EQ(defaultsAfterAForkedChild({"worker", how}, {"shared", "child", "late"}), "2\nyes\nyes\n") << how;
}
