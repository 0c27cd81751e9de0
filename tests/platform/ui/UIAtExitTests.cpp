// The graphics context stack and the layout solver's scratch, kept per thread, still serve at the end of the
// process: from an exit handler on the thread that ends it, after its thread storage has been destroyed.

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
