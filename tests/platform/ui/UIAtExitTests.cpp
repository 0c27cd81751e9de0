// The graphics context stack and the layout solver's scratch, kept per thread, still serve at the end of the
// process: from an exit handler on the thread that ends it, after its thread storage has been destroyed. What the
// text and drawing libraries keep for the whole process serves threads still drawing as it ends.

#include <gtest/gtest.h>

#include <string>

#include "tests/support/ChildProgram.h"

using namespace ql;

namespace {

// Far more than the program's work and the end of its process.
constexpr double kRunLimit = 60;

std::string atTheEnd(const std::string& what) {
    const test::ChildRun child = test::runChild({QL_UI_AT_EXIT, what}, {}, "", kRunLimit);
    EXPECT_TRUE(child.succeeded()) << what << ": " << child.describe();
    EXPECT_FALSE(child.hasSanitizerReport()) << what << ": " << child.describe();
    return child.out;
}

}  // namespace

TEST(UIAtExit, APictureIsDrawnFromAnExitHandler) { EXPECT_EQ(atTheEnd("drawing"), "at the end: 10x6\n"); }

TEST(UIAtExit, ConstraintsAreSolvedFromAnExitHandler) {
    // right = left + width = 10 + 100.
    EXPECT_EQ(atTheEnd("layout"), "at the end: 110\n");
}

TEST(UIAtExit, ThreadsStillDrawingTextAsTheProcessEndsDoNotBringItDown) {
    // The threads never come to a stop the end knows of: the process ends under them, at once and with main's
    // status. main returns at several points of their work.
    for (int milliseconds = 30; milliseconds <= 80; milliseconds += 10) {
        const test::ChildRun child =
            test::runChild({QL_UI_AT_EXIT, "text-on-threads", std::to_string(milliseconds)}, {}, "", kRunLimit);
        EXPECT_TRUE(child.succeeded()) << milliseconds << " ms: " << child.describe();
        EXPECT_FALSE(child.hasSanitizerReport()) << milliseconds << " ms: " << child.describe();
        EXPECT_LT(child.secondsOfItsEnd().value_or(test::kLongestEnd), ns::BackgroundWork::kEndAllowance / 2)
            << milliseconds << " ms: " << child.out;
    }
}
