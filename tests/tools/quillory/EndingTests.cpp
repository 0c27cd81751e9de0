// The run command as a person runs it from the shell, one process per run: whatever the app still has under
// way in the background when the script's last line is done, the run ends with status 0, without a sanitizer
// report, and its fresh sandbox goes whole; against a separate stand-in service (the app's covers then come
// from another process, later) and against the in-process one. A command line that cannot be followed is
// refused with the usage before anything starts.
//
// CI runs each ten times (QL_EXIT_RUNS changes that); QL_QUILLORY_PROGRAM and QL_STANDIN_PROGRAM run other
// builds of the two programs, a release build say.

#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/foundation/Sandbox.h"
#include "tests/support/ChildProgram.h"
#include "tests/tools/quillory/RunCommandProcess.h"

using namespace ql;
using test::leftIn;
using test::program;

namespace {

constexpr const char* kSignIn =
    "swipe left\nswipe left\ntap 进入App\ntap 手机号码\ntype 20160301\ntap Next\ntype 123456\ntap Done\ntap 登 录\ntree\n";
// Far longer than a run takes under the sanitizers, so that only a run that hangs reaches it.
constexpr double kRunLimit = 120;

int runs() { return test::runsFrom("QL_EXIT_RUNS", 10); }

// `standin-service --port 0` in a process of its own, for as long as the object lives.
class StandinProcess {
public:
    StandinProcess() {
        int output[2];
        if (::pipe(output) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, output[1], 1);
        posix_spawn_file_actions_addclose(&actions, output[0]);
        const std::string path = program("QL_STANDIN_PROGRAM", QL_STANDIN_PROGRAM);
        const char* argv[] = {path.c_str(), "--port", "0", nullptr};
        const bool started =
            ::posix_spawn(&pid_, argv[0], &actions, nullptr, const_cast<char* const*>(argv), environ) == 0;
        posix_spawn_file_actions_destroy(&actions);
        ::close(output[1]);
        FILE* lines = ::fdopen(output[0], "r");
        int port = 0;
        if (started && std::fscanf(lines, "%d", &port) == 1) url_ = "http://127.0.0.1:" + std::to_string(port) + "/";
        std::fclose(lines);
        if (!started) pid_ = 0;
    }
    ~StandinProcess() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGTERM);
        int status = 0;
        ::waitpid(pid_, &status, 0);
    }
    StandinProcess(const StandinProcess&) = delete;
    StandinProcess& operator=(const StandinProcess&) = delete;

    const std::string& url() const { return url_; }

private:
    pid_t pid_ = 0;
    std::string url_;
};

// Runs the sign-in script again and again in one temporary folder; each run must end cleanly and take its
// sandbox with it.
void signInRepeatedly(const std::string& serviceURL) {
    ns::TemporarySandbox folder;
    const std::string temporary = folder.path() + "/tmp";
    std::filesystem::create_directories(temporary);
    const std::string shots = folder.path() + "/shots";
    const std::string quillory = program("QL_QUILLORY_PROGRAM", QL_QUILLORY_PROGRAM);
    const int count = runs();
    for (int run = 1; run <= count; ++run) {
        const test::ChildRun child = test::runChild({quillory, "--shots", shots, "--script", "-"},
                                                    {{"TMPDIR", temporary}, {"QUILLORY_SERVICE_URL", serviceURL}},
                                                    kSignIn, kRunLimit);
        ASSERT_TRUE(child.succeeded()) << "run " << run << ": " << child.describe();
        EXPECT_FALSE(child.hasSanitizerReport()) << "run " << run << ": " << child.describe();
        EXPECT_NE(child.out.find("HomeVC \"首页\"\n"), std::string::npos) << child.out;
        EXPECT_TRUE(child.out.ends_with("ok 10\n")) << child.out;
        ASSERT_EQ(leftIn(temporary), std::vector<std::string>{}) << "run " << run;
    }
}

}  // namespace

TEST(RunCommandProcess, EndsCleanlyAfterSigningInAgainstASeparateService) {
    const StandinProcess service;
    ASSERT_FALSE(service.url().empty());
    signInRepeatedly(service.url());
}

TEST(RunCommandProcess, EndsCleanlyAfterSigningInAgainstTheInProcessStandin) { signInRepeatedly(""); }

TEST(RunCommandProcess, ACommandLineItCannotFollowGetsTheUsageBeforeAnythingStarts) {
    ns::TemporarySandbox folder;
    const std::string temporary = folder.path() + "/tmp";
    std::filesystem::create_directories(temporary);
    const std::string quillory = program("QL_QUILLORY_PROGRAM", QL_QUILLORY_PROGRAM);
    const std::string missing = folder.path() + "/missing.txt";
    struct Case {
        std::vector<std::string> arguments;
        std::string complaint;
    };
    for (const Case& refused : {
             Case{{"--script", missing}, "quillory: cannot read the script " + missing + ": there is no such file\n"},
             Case{{"--script", folder.path()}, "quillory: cannot read the script " + folder.path() + ": it is a folder\n"},
             Case{{"--device", "nokia"}, "quillory: unknown device nokia\n"},
         }) {
        std::vector<std::string> arguments = {quillory, "--shots", folder.path() + "/shots"};
        arguments.insert(arguments.end(), refused.arguments.begin(), refused.arguments.end());
        const test::ChildRun child = test::runChild(arguments, {{"TMPDIR", temporary}}, "", kRunLimit);
        EXPECT_TRUE(child.ended && child.status == 2) << child.describe();
        EXPECT_EQ(child.err.rfind(refused.complaint + "usage: quillory ", 0), 0u) << child.err;
        // Nothing started: no service, no sandbox, no screenshots folder.
        EXPECT_EQ(child.out, "");
        EXPECT_EQ(leftIn(temporary), std::vector<std::string>{});
        EXPECT_FALSE(std::filesystem::exists(folder.path() + "/shots"));
    }
}
