// The end of a process with background work under way: the work already queued ends before anything it uses
// is torn down, whether main returns or calls exit, and work left waiting for the main thread does not hold
// the process. Work that would go on for ever stops within the end's allowance, never running into the exit
// handlers: at its next step, or fenced off from them when it never comes to one. A thread stopped as it comes
// back from a wait holds no lock an exit handler needs, and what a store promised to write at the end is written
// even when the end gives up. A second thread calling exit() stops and counts as stopped, so the end does not wait
// for it; an exit handler that waits for what a stopped thread holds is given up at the end of the allowance.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>

#include "platform/foundation/Sandbox.h"
#include "tests/platform/foundation/DefaultsAtTheNextLaunch.h"
#include "tests/support/ChildProgram.h"
#include "tests/support/ExitHandlersGivenUp.h"

using namespace ql;

namespace {

// How long a run may take before it counts as hung: far more than the program's work and the end's allowance.
constexpr double kRunLimit = 60;

// Runs the program in a way that leaves its background work going for ever; answers how it ended.
test::ChildRun endWithEndlessWork(const std::string& how) {
    const test::ChildRun child = test::runChild({QL_WORK_AT_EXIT, "-", how}, {}, "", kRunLimit);
    EXPECT_TRUE(child.succeeded()) << child.describe();
    EXPECT_FALSE(child.hasSanitizerReport()) << child.describe();
    EXPECT_EQ(child.err.find("ran after the exit handlers began"), std::string::npos) << child.err;
    const std::optional<double> seconds = child.secondsOfItsEnd();
    EXPECT_TRUE(seconds.has_value()) << child.out;
    EXPECT_LE(seconds.value_or(0), test::kLongestEnd);
    EXPECT_NE(child.out.find("a line left in the buffer"), std::string::npos) << child.out;
    return child;
}

}  // namespace

TEST(BackgroundWork, TheProcessEndsAfterItsQueuedWorkWithoutTearingAnythingDownUnderIt) {
    ns::TemporarySandbox folder;
    // The end of main races the job: a few runs each way.
    for (int run = 0; run < 4; ++run) {
        for (const std::string how : {"return", "exit"}) {
            const std::string marker = folder.path() + "/done-" + how + std::to_string(run);
            const test::ChildRun child = test::runChild({QL_WORK_AT_EXIT, marker, how}, {}, "", kRunLimit);
            EXPECT_TRUE(child.succeeded()) << how << ": " << child.describe();
            EXPECT_FALSE(child.hasSanitizerReport()) << how << ": " << child.describe();
            EXPECT_TRUE(std::filesystem::exists(marker)) << how << ": the job was cut short";
            EXPECT_EQ(child.err.find("given up"), std::string::npos) << child.err;
        }
    }
}

TEST(BackgroundWork, WorkLeftWaitingForTheMainQueueDoesNotHoldTheEnd) {
    ns::TemporarySandbox folder;
    const std::string marker = folder.path() + "/done";
    const test::ChildRun child = test::runChild({QL_WORK_AT_EXIT, marker, "waits-for-main"}, {}, "", kRunLimit);
    EXPECT_TRUE(child.succeeded()) << child.describe();
    EXPECT_FALSE(child.hasSanitizerReport()) << child.describe();
    // Given up without waiting out the allowance: the main queue never runs again, so the job never goes on.
    EXPECT_FALSE(std::filesystem::exists(marker));
    EXPECT_EQ(child.err.find("given up"), std::string::npos) << child.err;
}

TEST(BackgroundWork, ARunLoopRunningInsideAJobStopsAtTheEnd) {
    // The job's thread waits in its loop between the timer's firings: the end need not wait for it, and the
    // timer never fires again once it has begun.
    endWithEndlessWork("run-loop-timer");
}

TEST(BackgroundWork, ASerialQueueThatKeepsRefillingTakesNoItemOnceTheEndBegins) {
    // The queue has work to the last moment of the allowance; what it still holds then is given up, and the
    // block under way is the last to run.
    const test::ChildRun child = endWithEndlessWork("refilling");
    EXPECT_NE(child.err.find("given up"), std::string::npos) << child.err;
}

TEST(BackgroundWork, ABlockStillRunningAtTheEndOfTheAllowanceIsFencedOffFromTheExitHandlers) {
    // It never comes to a stop: the process ends at once with the status main gave, standard output kept,
    // and no exit handler runs under the block.
    const test::ChildRun child = endWithEndlessWork("endless-block");
    EXPECT_NE(child.err.find("the process ends without its exit handlers"), std::string::npos) << child.err;
}

TEST(BackgroundWork, AnExitHandlerWaitingForWhatAStoppedJobWaitedOnEndsWithinTheBound) {
    // The job's thread wakes once the end has begun and stops for good there: it must hold none of the group's
    // or the queue's locks then, or the exit handler waits for ever. A hang shows as a child killed at the limit.
    for (const std::string how : {"handler-waits-on-group", "handler-queues-onto-sync"}) {
        const test::ChildRun child = test::runChild({QL_WORK_AT_EXIT, "-", how}, {}, "", kRunLimit);
        EXPECT_TRUE(child.ended) << how << ": hung";
        EXPECT_TRUE(child.succeeded()) << how << ": " << child.describe();
        EXPECT_FALSE(child.hasSanitizerReport()) << how << ": " << child.describe();
        EXPECT_TRUE(child.secondsOfItsEnd().has_value()) << how << ": " << child.out;
        EXPECT_EQ(child.err.find("given up"), std::string::npos) << how << ": " << child.err;
    }
}

TEST(BackgroundWork, AJobCallingExitWhileAnotherThreadEndsTheProcessDoesNotHoldTheEnd) {
    // The job stops where it calls exit(): were it still counted as running, the end would wait for it until its
    // allowance ran out and give up the work it thinks still queued. The end races the job: a few runs each way.
    for (int run = 0; run < 3; ++run) {
        for (const std::string first : {"return", "exit", "thread", "job"}) {
            const test::ChildRun child = test::runChild({QL_SECOND_EXIT, first}, {}, "", kRunLimit);
            EXPECT_TRUE(child.succeeded()) << first << ": " << child.describe();
            EXPECT_FALSE(child.hasSanitizerReport()) << first << ": " << child.describe();
            EXPECT_EQ(child.out, "the exit handlers ran\n") << first;
            EXPECT_EQ(child.err.find("given up"), std::string::npos) << first << ": " << child.err;
        }
    }
}

TEST(BackgroundWork, AnExitHandlerWaitingForAQueueAStoppedBlockHoldsIsGivenUpAtTheEndOfTheAllowance) {
    // The handler wakes the block, which stops for good holding its queue's turn, then syncs onto the queue: the
    // process ends at the end of the allowance all the same, with main's status, having written the defaults set
    // before and in the handler.
    ns::TemporarySandbox home;
    const std::map<std::string, std::string> inHome{{"QUILLORY_HOME", home.path()}};
    const test::ChildRun ending =
        test::runChild({QL_WORK_AT_EXIT, "-", "handler-syncs-onto-stopped-block"}, inHome, "", kRunLimit);
    EXPECT_TRUE(test::gaveUpItsExitHandlers(ending, 5, "the sync returned"));
    EXPECT_EQ(test::defaultsAtTheNextLaunch(inHome, {"set-in-main", "set-in-handler"}), "yes\nyes\n");
}

TEST(BackgroundWork, WhatTheUserDefaultsPromisedIsWrittenWhenTheEndGivesUpOnABusyJob) {
    ns::TemporarySandbox home;
    const std::map<std::string, std::string> inHome{{"QUILLORY_HOME", home.path()}};
    const test::ChildRun ending = test::runChild({QL_WORK_AT_EXIT, "-", "defaults-given-up"}, inHome, "", kRunLimit);
    EXPECT_TRUE(ending.succeeded()) << ending.describe();
    EXPECT_FALSE(ending.hasSanitizerReport()) << ending.describe();
    // The job never stops, so its end is fenced off from the exit handlers, which would have written the value.
    EXPECT_NE(ending.err.find("the process ends without its exit handlers"), std::string::npos) << ending.err;
    EXPECT_EQ(test::defaultsAtTheNextLaunch(inHome, {}), "kept\n");
}

TEST(BackgroundWork, WhatWasWrittenThroughStdioIsKeptWhenTheEndGivesUp) {
    // The end gives up on an exit handler that never returns, or fences off a block that never ends: either way
    // the process ends without the C library's own flush. A stream another thread holds for good is passed over
    // rather than waited for; a thread blocked for good in a flush of every stream holds them all, and the end says
    // that what they held is lost rather than wait for it.
    ns::TemporarySandbox folder;
    for (const std::string how : {"handler", "fenced", "blocked-flush"}) {
        const std::string path = folder.path() + "/written-" + how;
        const test::ChildRun child = test::runChild({QL_WORK_AT_EXIT, path, "stdio-given-up", how}, {}, "", kRunLimit);
        EXPECT_TRUE(child.ended) << how << ": hung";
        EXPECT_EQ(child.status, 6) << how << ": " << child.describe();
        EXPECT_FALSE(child.hasSanitizerReport()) << how << ": " << child.describe();
        EXPECT_NE(child.err.find("given up"), std::string::npos) << how << ": " << child.err;
        EXPECT_LE(child.secondsOfItsEnd().value_or(test::kLongestEnd + 1), test::kLongestEnd) << how << ": " << child.out;
        const bool blocked = how == "blocked-flush";
        EXPECT_EQ(child.err.find("were not flushed in time") != std::string::npos, blocked) << how << ": " << child.err;
        if (blocked) continue;
        std::ifstream written(path);
        int lines = 0;
        for (std::string line; std::getline(written, line); ++lines)
            EXPECT_EQ(line, "line " + std::to_string(lines + 1)) << how;
        EXPECT_EQ(lines, 100) << how;
    }
}
