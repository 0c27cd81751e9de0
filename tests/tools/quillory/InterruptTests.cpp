// The run command interrupted as a person interrupts it: Ctrl-C at the terminal (SIGINT to the whole job)
// and `kill PID` (SIGTERM to the program), mid-tour and mid-sign-in, the sign-in either waiting for a service
// that never answers or showing its overlay while the run command waits for the script's next line. Each
// run ends by its signal, as a shell expects (130, 143), leaving no sandbox and no process behind; a kept home
// stays as it was and the next launch on it goes on from there.
//
// QL_INTERRUPT_RUNS changes how often each case runs (10); QL_QUILLORY_PROGRAM runs another build.

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/foundation/Sandbox.h"
#include "tests/support/ChildJob.h"
#include "tests/support/LoopbackServer.h"
#include "tests/tools/quillory/RunCommandProcess.h"

using namespace ql;

namespace {

constexpr const char* kFillIn =
    "swipe left\nswipe left\ntap 进入App\ntap 手机号码\ntype 20160302\ntap Next\ntype abcdef\ntap Done\n";
// Far longer than any moment of these runs takes under the sanitizers, so that only a run that hangs reaches it.
constexpr double kLimit = 120;

int runs() { return test::runsFrom("QL_INTERRUPT_RUNS", 10); }

std::string quillory() { return test::program("QL_QUILLORY_PROGRAM", QL_QUILLORY_PROGRAM); }

// While it lives, what a run command leaves running when it ends becomes this process's child, so that the
// test can see it.
class OrphansComeHere {
public:
    OrphansComeHere() {
        ::prctl(PR_GET_CHILD_SUBREAPER, &previous_);
        ::prctl(PR_SET_CHILD_SUBREAPER, 1);
    }
    ~OrphansComeHere() { ::prctl(PR_SET_CHILD_SUBREAPER, previous_); }
    OrphansComeHere(const OrphansComeHere&) = delete;
    OrphansComeHere& operator=(const OrphansComeHere&) = delete;

    // How many processes the ended run command left behind; they are ended and reaped here.
    static int left() {
        int count = 0;
        for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
            const std::string name = entry.path().filename();
            if (name.find_first_not_of("0123456789") != std::string::npos) continue;
            std::ifstream stat(entry.path() / "stat");
            std::string line;
            std::getline(stat, line);
            // pid (name) state ppid …: the name may hold spaces and parentheses, the last ")" ends it.
            std::istringstream fields(line.substr(line.rfind(')') + 1));
            char state = 0;
            pid_t parent = 0;
            if (!(fields >> state >> parent) || parent != ::getpid()) continue;
            ::kill(std::stoi(name), SIGKILL);
            ++count;
        }
        while (::waitpid(-1, nullptr, WNOHANG) > 0) {
        }
        return count;
    }

private:
    int previous_ = 0;
};

// How the interrupt is sent: Ctrl-C reaches the whole job, `kill PID` the program alone.
void interrupt(const test::ChildJob& job, int signal) {
    if (signal == SIGINT) job.signalGroup(signal);
    else job.signalProgram(signal);
}

class Interrupting : public ::testing::Test {
protected:
    Interrupting() {
        std::filesystem::create_directories(temporary_);
        std::filesystem::create_directories(shots_);
    }

    test::ChildJob start(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), {quillory(), "--shots", shots_});
        return test::ChildJob(arguments, {{"TMPDIR", temporary_}});
    }

    // The run ended by the signal, its fresh sandbox gone, nothing of it still running.
    void expectEndedCleanlyBy(test::ChildJob& job, int signal, const std::string& when) {
        const test::ChildRun run = job.wait(kLimit);
        EXPECT_TRUE(run.ended && run.signal == signal) << when << ": " << run.describe();
        EXPECT_FALSE(run.hasSanitizerReport()) << when << ": " << run.describe();
        EXPECT_EQ(test::leftIn(temporary_), std::vector<std::string>{}) << when;
        EXPECT_FALSE(job.groupHasProcesses()) << when;
        EXPECT_EQ(OrphansComeHere::left(), 0) << when;
    }

    ns::TemporarySandbox folder_;
    const std::string temporary_ = folder_.path() + "/tmp";
    const std::string shots_ = folder_.path() + "/shots";
    OrphansComeHere orphans_;
};

const char* nameOf(int signal) { return signal == SIGINT ? "SIGINT" : "SIGTERM"; }

}  // namespace

TEST_F(Interrupting, MidTour) {
    for (const int signal : {SIGINT, SIGTERM}) {
        for (int run = 0; run < runs(); ++run) {
            // A different moment each time: on the guide, the sign-in before and after it is filled in, the
            // binding before and after the code is asked for.
            const std::string step = "step 0" + std::to_string(run % 5 + 2) + "-";
            const std::string when = std::string(nameOf(signal)) + " after " + step + " in run " + std::to_string(run);
            test::ChildJob tour = start({});
            ASSERT_TRUE(tour.waitForOutput(step, kLimit)) << when << ":\n" << tour.output();
            interrupt(tour, signal);
            expectEndedCleanlyBy(tour, signal, when);
            EXPECT_EQ(tour.output().find("tour complete"), std::string::npos) << when;
        }
    }
}

TEST_F(Interrupting, MidSignIn) {
    test::SilentPort silent;
    for (const int signal : {SIGINT, SIGTERM}) {
        for (int run = 0; run < runs(); ++run) {
            // Half the time the command waits for a service that never answers; the other half the reply is
            // held and the overlay shows while the run command waits for the script's next line.
            const bool waitsForTheService = run % 2 == 0;
            const std::string when = std::string(nameOf(signal)) +
                                     (waitsForTheService ? " waiting for the service" : " waiting for the next line") +
                                     " in run " + std::to_string(run);
            test::ChildJob signIn = waitsForTheService
                                        ? start({"--service", silent.url("/"), "--script", "-"})
                                        : start({"--hold", "Mobile/StudentLogin", "--script", "-"});
            if (waitsForTheService) {
                ASSERT_TRUE(signIn.write(std::string(kFillIn) + "tap 登 录\ntree\n")) << when;
                ASSERT_TRUE(silent.takeCall(kLimit)) << when << ":\n" << signIn.output();
            } else {
                ASSERT_TRUE(signIn.write(std::string(kFillIn) + "nowait tap 登 录\nnowait tree\n")) << when;
                ASSERT_TRUE(signIn.waitForOutput("登录中 | (spinner)\nok 10\n", kLimit)) << when << ":\n" << signIn.output();
            }
            interrupt(signIn, signal);
            expectEndedCleanlyBy(signIn, signal, when);
            EXPECT_EQ(signIn.output().find("无网络连接"), std::string::npos) << when;
            silent.hangUp();
        }
    }
}

TEST_F(Interrupting, AKeptHomeStaysAsItWasAndTheNextLaunchGoesOnFromIt) {
    for (const int signal : {SIGINT, SIGTERM}) {
        const std::string when = nameOf(signal);
        const std::string home = folder_.path() + "/home-" + when;
        {
            // Signed in, bound and on the book store when it is interrupted.
            test::ChildJob tour = start({"--home", home});
            ASSERT_TRUE(tour.waitForOutput("step 09-", kLimit)) << when << ":\n" << tour.output();
            interrupt(tour, signal);
            expectEndedCleanlyBy(tour, signal, when);
        }
        ASSERT_TRUE(std::filesystem::is_directory(home + "/standin-service")) << when;
        // No guide: the saved sign-in goes through against the kept service, with the number the tour bound.
        test::ChildJob next = start({"--home", home, "--script", "-"});
        ASSERT_TRUE(next.write("tree\ntap 我的\ntree\n"));
        next.closeInput();
        const test::ChildRun run = next.wait(kLimit);
        EXPECT_TRUE(run.succeeded()) << when << ": " << run.describe();
        EXPECT_NE(run.out.find("HomeVC \"首页\"\n  首页 | 陈思远"), std::string::npos) << when << ":\n" << run.out;
        EXPECT_NE(run.out.find("手机号 13800000002"), std::string::npos) << when << ":\n" << run.out;
    }
}
