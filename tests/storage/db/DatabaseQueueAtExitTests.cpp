// A database queue closed at the end of the process while a stopped job holds it: the process still ends, at the
// end of its allowance, with the status it was given and what the user defaults promised written.

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "platform/foundation/Sandbox.h"
#include "tests/support/ChildProgram.h"

using namespace ql;

namespace {

// Far more than the end's allowance: a child still running then has hung.
constexpr double kRunLimit = 60;

}  // namespace

TEST(DatabaseQueueAtExit, ClosingAQueueAStoppedJobHoldsEndsTheProcessAtTheEndOfTheAllowance) {
    ns::TemporarySandbox home;
    const std::map<std::string, std::string> inHome{{"QUILLORY_HOME", home.path()}};
    const std::string database = home.path() + "/held.sqlite";
    const test::ChildRun ending = test::runChild({QL_CLOSE_AT_EXIT, database, "end"}, inHome, "", kRunLimit);
    EXPECT_TRUE(ending.ended) << "hung";
    EXPECT_EQ(ending.status, 5) << ending.describe();
    EXPECT_FALSE(ending.hasSanitizerReport()) << ending.describe();
    EXPECT_EQ(ending.out.find("the queue closed"), std::string::npos) << ending.out;
    EXPECT_NE(ending.err.find("the exit handlers still wait at the end of the allowance as the process ends: given up"),
              std::string::npos)
        << ending.err;
    EXPECT_LE(ending.secondsOfItsEnd().value_or(kRunLimit), test::kLongestEnd) << ending.out;

    const test::ChildRun next = test::runChild({QL_CLOSE_AT_EXIT, database, "read"}, inHome, "", kRunLimit);
    EXPECT_TRUE(next.succeeded()) << next.describe();
    EXPECT_EQ(next.out, "yes\nyes\n");
}
