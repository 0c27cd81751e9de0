// exit() called on a thread other than the main one, while other work runs, ends the process as main's return
// does: the work ends before what it uses is torn down, so the process ends with the status given, with no crash
// for the crash store to record and nothing for a sanitizer to report. The end races the work: many trials each.

#include <gtest/gtest.h>

#include <functional>
#include <future>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "debug/DuvCrashHelper.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Sandbox.h"
#include "tests/support/ChildProgram.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/ReferenceJPEG.h"

using namespace ql;

namespace {

constexpr int kTrials = 100;
// exit() on the main thread ended the process cleanly already: fewer trials guard it.
constexpr int kTrialsFromTheMainThread = 50;
// Children running at once: the trials take a fraction of the time, and the machine stays responsive.
constexpr int kAtOnce = 4;
// Far more than a trial's work and the end's allowance: a child still running then has hung.
constexpr double kRunLimit = 60;

struct Trial {
    test::ChildRun run;
    std::string crashes;  // the crash store's folder
};

// Runs `trials` children, kAtOnce at a time, each in a home of its own inside `home`; `arguments` makes a trial's
// command line from its home and its crash store's folder. Answers how many ended badly, with a tally of how all
// of them ended.
std::pair<int, std::string> runTrials(
    int trials, const ns::TemporarySandbox& home,
    const std::function<std::vector<std::string>(const std::string& trialHome, const std::string& crashes)>& arguments) {
    int bad = 0;
    std::map<std::string, int> outcomes;
    for (int first = 0; first < trials; first += kAtOnce) {
        std::vector<std::future<Trial>> batch;
        for (int t = first; t < first + kAtOnce && t < trials; ++t) {
            const std::string trialHome = home.path() + "/trial-" + std::to_string(t);
            const std::string crashes = trialHome + "/crashes";
            ns::FileManager::defaultManager().createDirectoryAtPath(crashes, true);
            batch.push_back(std::async(std::launch::async, [=] {
                return Trial{test::runChild(arguments(trialHome, crashes), {{"QUILLORY_HOME", trialHome}}, "", kRunLimit),
                             crashes};
            }));
        }
        for (auto& pending : batch) {
            const Trial trial = pending.get();
            // Opening the store makes the record of a crash its handler noted.
            const std::size_t records = DuvCrashHelper(trial.crashes).crashLogs().size();
            const bool good = trial.run.succeeded() && !trial.run.hasSanitizerReport() && records == 0;
            bad += !good;
            const std::string described = trial.run.describe();
            ++outcomes[described.substr(0, described.find(';')) + (records ? ", with a crash record" : "") +
                       (trial.run.hasSanitizerReport() ? ", with a sanitizer's report" : "") +
                       (good ? "" : ": " + trial.run.err.substr(0, 400))];
        }
    }
    std::string tally;
    for (const auto& [outcome, count] : outcomes) tally += "\n  " + std::to_string(count) + " × " + outcome;
    return {bad, tally};
}

// The six pictures the downloads take one after the other, and the quick reply whose load ends the process.
void servePictures(test::LoopbackServer& server) {
    test::ReferenceJPEG picture;
    picture.width = 192;
    picture.height = 128;
    const std::string jpeg = picture.encode();
    for (int i = 0; i < 6; ++i) server.serveText("/image/" + std::to_string(i), jpeg, "image/jpeg");
    server.serveText("/quick", "done");
}

}  // namespace

TEST(DuvExit, ExitFromAPoolJobWhileEightQueuesDigestAndWriteEndsCleanly) {
    ns::TemporarySandbox home;
    const auto [bad, tally] = runTrials(kTrials, home, [](const std::string& trialHome, const std::string& crashes) {
        return std::vector<std::string>{QL_EXIT_MID_WORK, crashes, "digests", trialHome};
    });
    EXPECT_EQ(bad, 0) << "of " << kTrials << " trials:" << tally;
}

TEST(DuvExit, ExitFromALoadsCompletionHandlerOrAMainThreadTimerWhileSixDownloadsRunEndsCleanly) {
    test::LoopbackServer server;
    servePictures(server);
    for (const std::string from : {"handler", "main-timer"}) {
        ns::TemporarySandbox home;
        const int trials = from == "handler" ? kTrials : kTrialsFromTheMainThread;
        const auto [bad, tally] = runTrials(trials, home, [&](const std::string&, const std::string& crashes) {
            return std::vector<std::string>{QL_EXIT_MID_WORK, crashes, "downloads", server.url("/"), from};
        });
        EXPECT_EQ(bad, 0) << "exit from the " << from << ", of " << trials << " trials:" << tally;
    }
}
