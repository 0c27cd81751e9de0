#include <gtest/gtest.h>

#include <regex>
#include <thread>

#include "analytics/StatEvent.h"
#include "analytics/WireResponse.h"
#include "analytics/client/RezOzovaInternal.h"
#include "analytics/client/RezOzovaUtility.h"
#include "analytics/client/StatWorker.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/UserDefaults.h"
#include "tests/analytics/client/ClientTestSupport.h"
#include "tests/support/ChildProgram.h"
#include "tests/support/HostileFiles.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/OnScopeExit.h"

namespace ql {
namespace {

constexpr const char* WireType = "application/x-wire-records";

std::string replyBytes(std::int32_t code) {
    WireResponse response(code, "ok", code == 1 ? test::imprintOf({{"umid", "u-1"}}) : nullptr);
    return test::serializedRecord(response).toString();
}

class WorkerTest : public test::AnalyticsClientTest {
protected:
    WorkerTest() {
        StatEndpoints::setHostsForTesting(StatEndpoints::Hosts{host(primary_), host(backup_), "", ""});
        RezOzovaApp::sharedInstance().setLogEnabled(true);
    }
    ~WorkerTest() override { ns::FileManager::defaultManager().removeItemAtPath(RezOzovaUtility::analyticsFolder()); }

    static std::string host(const test::LoopbackServer& server) { return "http://127.0.0.1:" + std::to_string(server.port()); }

    static void answer(test::LoopbackServer& server, int status, std::string contentType, std::string body) {
        server.handle("/app_logs", [=](const httplib::Request&, httplib::Response& response) {
            response.status = status;
            response.set_content(body, contentType);
        });
    }

    static std::int64_t count(std::string_view key) { return ns::UserDefaults::standard().integerForKey(key); }

    test::LoopbackServer primary_;
    test::LoopbackServer backup_;
};

TEST_F(WorkerTest, ThePrimaryRefusesTheBackupTakesEveryFileAndEachStartsAtThePrimaryAgain) {
    answer(primary_, 503, WireType, replyBytes(1));
    answer(backup_, 200, WireType, replyBytes(1));
    const auto paths = test::envelopeFiles(3);
    auto snapshots = std::make_shared<WireRecordMap<WireIdSnapshot>>();
    (*snapshots)["udid"] = std::make_shared<WireIdSnapshot>("abc", 1, 1);
    auto journals = std::make_shared<WireRecordList<WireIdJournal>>();
    journals->push_back(std::make_shared<WireIdJournal>("udid", "old", "abc", 1));
    RezOzovaRecords::sharedInstance().setIdTracking(std::make_shared<WireIdTracking>(snapshots, journals, "c"));
    RezOzovaJob::sharedInstance().setJobRunning(true);
    StatWorker worker(paths);
    worker.main();

    EXPECT_TRUE(RezOzovaUtility::envelopeFiles().empty());
    EXPECT_TRUE(worker.envelopeFilePaths().empty());
    EXPECT_FALSE(RezOzovaJob::sharedInstance().jobRunning());
    EXPECT_EQ(count("statFailedRequests"), 3);
    EXPECT_EQ(count("statSuccessfulRequests"), 3);
    EXPECT_DOUBLE_EQ(ns::UserDefaults::standard().doubleForKey("lastPostInterval"), ns::Clock::now());
    EXPECT_EQ(RezOzovaRecords::imprintPropertyValueWithKey("umid"), "u-1");
    // The identifier tracking was stored, its journal with it: these files carried none of it.
    const ns::Value tracking = ns::UserDefaults::standard().objectForKey("statIDTracking");
    ASSERT_TRUE(tracking.isData());
    const auto stored = test::decodedRecord<WireIdTracking>(*tracking.asData());
    EXPECT_EQ(stored->snapshots()->size(), 1u);
    ASSERT_TRUE(stored->journals());
    EXPECT_EQ(stored->journals()->size(), 1u);

    const auto tried = primary_.requests("/app_logs");
    const auto taken = backup_.requests("/app_logs");
    ASSERT_EQ(tried.size(), 3u);
    ASSERT_EQ(taken.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(taken[i].body, "envelope body " + std::to_string(i));
        EXPECT_EQ(tried[i].method, "POST");
        EXPECT_EQ(tried[i].header("Msg-Type"), "envelope");
        EXPECT_EQ(tried[i].header("Content-Type"), "envelope");
        EXPECT_EQ(tried[i].header("X-Ziviv-UTC"), "1700000000000");
        EXPECT_TRUE(std::regex_match(tried[i].header("X-Ziviv-Sdk").value_or(""),
                                     std::regex("iOS/3\\.6\\.6 [^ ]*/[^ ]* [^ /]+/9\\.0 [0-9A-F]{32}")));
    }
}

TEST_F(WorkerTest, WrongContentTypeOrStatusLeavesTheFileAndStopsTheJob) {
    answer(primary_, 200, std::string(WireType) + "; charset=utf-8", replyBytes(1));
    answer(backup_, 500, WireType, replyBytes(1));
    const auto paths = test::envelopeFiles(2);
    ns::Log::Capture capture;
    StatWorker worker(paths);
    worker.main();

    EXPECT_EQ(RezOzovaUtility::envelopeFiles(), paths);
    EXPECT_EQ(worker.envelopeFilePaths(), paths);
    EXPECT_EQ(primary_.requestCount(), 1u);
    EXPECT_EQ(backup_.requestCount(), 1u);
    EXPECT_EQ(count("statFailedRequests"), 2);
    EXPECT_EQ(count("statSuccessfulRequests"), 0);
    const auto lines = capture.lines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "STATLOG: (Response Applog) {\"fail\": \"statusCode\":500}"),
              lines.end());
}

TEST_F(WorkerTest, UnderDefconAFailureGivesUpEveryFileOfTheJob) {
    RezOzovaJob::sharedInstance().setDefcon(1);
    answer(primary_, 500, WireType, replyBytes(1));
    answer(backup_, 200, WireType, replyBytes(1));
    StatWorker worker(test::envelopeFiles(3));
    worker.main();
    EXPECT_TRUE(RezOzovaUtility::envelopeFiles().empty());
    EXPECT_EQ(primary_.requestCount(), 1u);
    EXPECT_EQ(backup_.requestCount(), 0u);
    EXPECT_EQ(count("statFailedRequests"), 1);
}

TEST_F(WorkerTest, AnEnvelopeThatIsNoRegularFileOrTooLargeIsNeverSentAndTheRestGo) {
    answer(primary_, 200, WireType, replyBytes(1));
    auto& internal = RezOzovaInternal::sharedInstance();
    for (const test::HostileFile kind : test::hostileFiles()) {
        SCOPED_TRACE(test::describe(kind));
        const auto paths = test::envelopeFiles(2);
        test::placeHostileFile(kind, paths[0], RezOzovaInternal::MaxEnvelopeBytes + 1);
        const std::size_t sent = primary_.requestCount();
        const test::HangGuard guard("posting an envelope that is " + test::describe(kind));
        StatWorker(paths).main();
        if (kind == test::HostileFile::Oversized) {
            // Not read, so not sent: the job stops at it as at any file not delivered, and the next job's
            // starter drops it.
            EXPECT_EQ(primary_.requestCount(), sent);
            internal.beginPerformJob();
            internal.sendLogQueue()->waitUntilAllOperationsAreFinished();
        }
        const auto requests = primary_.requests("/app_logs");
        ASSERT_EQ(requests.size(), sent + 1);
        EXPECT_EQ(requests.back().body, "envelope body 1");
        EXPECT_EQ(backup_.requestCount(), 0u);
        RezOzovaUtility::removeFile(paths[0]);
        EXPECT_TRUE(RezOzovaUtility::envelopeFiles().empty());
    }
}

TEST_F(WorkerTest, AReplyThatDoesNotVerifyStillDeliversTheFile) {
    answer(primary_, 200, WireType, replyBytes(0));
    ns::Log::Capture capture;
    StatWorker worker(test::envelopeFiles(1));
    worker.main();
    EXPECT_TRUE(RezOzovaUtility::envelopeFiles().empty());
    EXPECT_EQ(count("statFailedRequests"), 1);
    EXPECT_EQ(backup_.requestCount(), 0u);
    const auto lines = capture.lines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "STATLOG: (Response Applog) {\"fail\": \"error\"}"), lines.end());
    EXPECT_EQ(RezOzovaRecords::imprintPropertyValueWithKey("umid"), std::nullopt);
}

TEST_F(WorkerTest, InTheBackgroundWithoutBackgroundSendingTheWorkerStopsAfterTheFileInHand) {
    answer(primary_, 200, WireType, replyBytes(1));
    const auto paths = test::envelopeFiles(3);
    RezOzovaSession::sharedInstance().setAppInBackGround(true);
    StatWorker worker(paths);
    worker.main();
    EXPECT_EQ(primary_.requestCount(), 1u);
    EXPECT_EQ(RezOzovaUtility::envelopeFiles(), (std::vector<std::string>{paths[1], paths[2]}));
}

TEST_F(WorkerTest, WithBackgroundSendingTheWorkerAsksForTimeAndGoesOn) {
    answer(primary_, 200, WireType, replyBytes(1));
    RezOzovaApp::sharedInstance().setBackgroundTaskEnabled(true);
    RezOzovaSession::sharedInstance().setAppInBackGround(true);
    auto& application = ui::Application::sharedApplication();
    const auto tasks = application.backgroundTaskCount();
    // The task runs until the background allowance is over: let it run out, so that a later test (or this one
    // run again) finds none of the client's running.
    const test::OnScopeExit endTask([&] {
        application.enterBackground();
        ns::Clock::advance(ui::Application::kBackgroundTimeAllowance);
        EXPECT_TRUE(pumpUntil([&] { return application.backgroundTaskCount() == tasks; }));
        application.enterForeground();
    });
    StatWorker worker(test::envelopeFiles(3));
    worker.main();
    EXPECT_TRUE(RezOzovaUtility::envelopeFiles().empty());
    ASSERT_TRUE(pumpUntil([&] { return application.backgroundTaskCount() == tasks + 1; }));
    // Asking again while the task runs begins no other.
    RezOzovaApp::sharedInstance().activeBackgroundTask();
    pumpUntil([] { return false; }, 0);
    EXPECT_EQ(application.backgroundTaskCount(), tasks + 1);
}

TEST_F(WorkerTest, TheJobStarterPacksRecordsAndQueuesTheWorker) {
    answer(primary_, 200, WireType, replyBytes(1));
    RezOzovaEnvelope::sharedInstance().reload();
    // Files the starter must drop: too small, and too large.
    RezOzovaUtility::saveData(ns::Data(std::string_view("tiny")), RezOzovaUtility::generateEnvelopeFileNameWithTS("1"));
    RezOzovaUtility::saveData(ns::Data(std::string(256 * 1024, 'x')), RezOzovaUtility::generateEnvelopeFileNameWithTS("2"));
    auto event = std::make_shared<StatEvent>();
    event->event_id = "finished-chapter";
    RezOzovaRecords::sharedInstance().add(RezOzovaRecords::Kind::Events, event);

    auto& internal = RezOzovaInternal::sharedInstance();
    internal.beginPerformJob();
    EXPECT_TRUE(RezOzovaJob::sharedInstance().jobRunning());
    internal.sendLogQueue()->waitUntilAllOperationsAreFinished();
    EXPECT_FALSE(RezOzovaJob::sharedInstance().jobRunning());
    EXPECT_FALSE(internal.hasJob());
    EXPECT_EQ(count("statPeriodEvtCount"), 1);
    EXPECT_EQ(primary_.requestCount(), 1u);
    EXPECT_TRUE(RezOzovaUtility::envelopeFiles().empty());
}

TEST_F(WorkerTest, IdentityChangesJournaledWhileAnUploadIsOnItsWayWaitForTheNextEntry) {
    auto& records = RezOzovaRecords::sharedInstance();
    auto record = [&records](const std::string& name) {
        auto event = std::make_shared<StatEvent>();
        event->event_id = name;
        records.add(RezOzovaRecords::Kind::Events, event);
        RezOzovaInternal::sharedInstance().generateEnvelopeFile();
    };
    // Encrypted, so that what an entry carried is read back through its envelope's own key.
    RezOzovaApp::sharedInstance().setEncryptEnabled(true);
    RezOzovaEnvelope::sharedInstance().reload();
    records.signIn("student-1", "school");
    record("read");
    const auto paths = RezOzovaUtility::envelopeFiles();
    ASSERT_EQ(paths.size(), 1u);
    // As after a relaunch: the tracking comes back from the record cache, as other objects with equal fields.
    ASSERT_TRUE(records.saveCache());
    records.setIdTracking(nullptr);
    records.reloadCache();
    ASSERT_TRUE(records.idTracking() && records.idTracking()->journals());
    ASSERT_EQ(records.idTracking()->journals()->size(), 2u);

    // The collector holds its reply until the student has signed off.
    auto arrived = std::make_shared<test::Gate>();
    auto release = std::make_shared<test::Gate>();
    primary_.handle("/app_logs", [=](const httplib::Request&, httplib::Response& response) {
        arrived->open();
        release->wait();
        response.set_content(replyBytes(1), WireType);
    });
    std::thread upload([&paths] { StatWorker(paths).main(); });
    EXPECT_TRUE(arrived->wait());
    // Half a minute later: the upload's 60-s time-out runs on this clock too.
    ns::Clock::advance(30);
    records.signOff();
    release->open();
    upload.join();
    ASSERT_EQ(primary_.requestCount(), 1u);

    // What the accepted entry carried is done with; the sign-off waits for the next entry, in memory and in
    // the stored record, which names no account any more.
    auto expectSignOffWaiting = [](const WireIdTracking& tracking) {
        EXPECT_TRUE(!tracking.snapshots() || tracking.snapshots()->empty());
        ASSERT_TRUE(tracking.journals());
        ASSERT_EQ(tracking.journals()->size(), 2u);
        const auto& puid = *tracking.journals()->at(0);
        const auto& provider = *tracking.journals()->at(1);
        EXPECT_EQ(puid.domain(), "puid");
        EXPECT_EQ(puid.old_id(), "student-1");
        EXPECT_EQ(puid.new_id(), "");
        EXPECT_EQ(puid.ts(), 1'700'000'030'000);
        EXPECT_EQ(provider.domain(), "provider");
        EXPECT_EQ(provider.old_id(), "school");
    };
    expectSignOffWaiting(*records.idTracking());
    const ns::Value stored = ns::UserDefaults::standard().objectForKey("statIDTracking");
    ASSERT_TRUE(stored.isData());
    expectSignOffWaiting(*test::decodedRecord<WireIdTracking>(*stored.asData()));

    // The next entry carries the sign-off; once it is accepted nothing is left to send.
    answer(primary_, 200, WireType, replyBytes(1));
    record("after");
    StatWorker(RezOzovaUtility::envelopeFiles()).main();
    EXPECT_EQ(primary_.requestCount(), 2u);
    EXPECT_FALSE(records.idTracking()->journalsIsSet());
    const ns::Value last = ns::UserDefaults::standard().objectForKey("statIDTracking");
    ASSERT_TRUE(last.isData());
    EXPECT_FALSE(test::decodedRecord<WireIdTracking>(*last.asData())->journalsIsSet());
}

TEST(StatWorkerAtExit, AnUploadTheCollectorNeverAnswersHoldsTheEndOnceAndNoLonger) {
    // The sandbox's end waits for the upload, and the process's end only for what is left of the same
    // allowance: the upload, waiting for a reply, is then no work under way, and never goes on.
    const test::ChildRun child = test::runChild({QL_UPLOAD_AT_EXIT}, {}, "", 60);
    EXPECT_TRUE(child.succeeded()) << child.describe();
    EXPECT_FALSE(child.hasSanitizerReport()) << child.describe();
    const std::optional<double> seconds = child.secondsOfItsEnd();
    ASSERT_TRUE(seconds.has_value()) << child.out;
    EXPECT_LE(*seconds, test::kLongestEnd);
}

}  // namespace
}  // namespace ql
