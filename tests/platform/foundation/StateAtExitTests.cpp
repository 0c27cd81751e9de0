// What a thread keeps for itself (JSON's scratch and parser, its run loop) and the libraries under JSON and
// digests still work at the end of the process: from an exit handler and from the destructor of an
// object of static storage, on the thread that ends it, after that thread's thread storage has been destroyed,
// whether that is the main thread returning or a pool job calling exit().

#include <gtest/gtest.h>

#include <string>

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
