// A database queue closed at the end of the process while a stopped job holds it: the process still ends, at the
// end of its allowance, with the status it was given and what the user defaults promised written.

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "platform/foundation/Sandbox.h"
#include "tests/support/ChildProgram.h"
#include "tests/support/ExitHandlersGivenUp.h"

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
    EXPECT_TRUE(test::gaveUpItsExitHandlers(ending, 5, "the queue closed"));

    const test::ChildRun next = test::runChild({QL_CLOSE_AT_EXIT, database, "read"}, inHome, "", kRunLimit);
    EXPECT_TRUE(next.succeeded()) << next.describe();
    EXPECT_EQ(next.out, "yes\nyes\n");
}
