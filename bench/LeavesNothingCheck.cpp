// Every benchmark program, run once over (one iteration of each of its benchmarks) with a temporary folder and
// a home of its own, leaves nothing in either: no sandbox, no cache, no file of a server it started. The
// programs come on the command line (the build gives every benchmark's):
//   ctest --test-dir build/release -R benchmarks_leave_nothing

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/foundation/Sandbox.h"
#include "tests/support/ChildProgram.h"

using namespace ql;

namespace {

std::vector<std::string>& programs() {
    static std::vector<std::string> list;
    return list;
}

std::vector<std::string> leftIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename());
    return names;
}

// Longer than the slowest program's single pass takes.
constexpr double kLimit = 900;

}  // namespace

TEST(Benchmarks, LeaveNothingInTheTemporaryFolderOrTheHome) {
    ASSERT_FALSE(programs().empty()) << "no benchmark program given";
    for (const std::string& program : programs()) {
        const std::string name = std::filesystem::path(program).filename();
        ns::TemporarySandbox folder;
        const std::string temporary = folder.path() + "/tmp", home = folder.path() + "/home";
        std::filesystem::create_directories(temporary);
        std::filesystem::create_directories(home);
        const test::ChildRun run = test::runChild(
            {program, "--benchmark_min_time=0"},
            {{"TMPDIR", temporary}, {"HOME", home}, {"XDG_DATA_HOME", ""}, {"QUILLORY_HOME", ""}}, "", kLimit);
        EXPECT_TRUE(run.succeeded()) << name << ": " << run.describe();
        EXPECT_EQ(leftIn(temporary), std::vector<std::string>{}) << name << " left this in its temporary folder";
        EXPECT_EQ(leftIn(home), std::vector<std::string>{}) << name << " left this in its home";
    }
}

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    programs().assign(argv + 1, argv + argc);
    return RUN_ALL_TESTS();
}
