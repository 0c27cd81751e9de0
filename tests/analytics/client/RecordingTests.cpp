#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>

#include "analytics/StatEnvelope.h"
#include "analytics/StatEvent.h"
#include "analytics/WireResponse.h"
#include "analytics/client/RezOzovaInternal.h"
#include "analytics/client/RezOzovaRecordCache.h"
#include "analytics/client/RezOzovaRecordHold.h"
#include "analytics/client/RezOzovaUtility.h"
#include "analytics/client/StatWorkDispatch.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/UserDefaults.h"
#include "tests/analytics/client/ClientTestSupport.h"
#include "tests/analytics/client/IndependentReader.h"
#include "tests/support/FaultyVolume.h"
#include "tests/support/HostileFiles.h"
#include "tests/support/LoopbackServer.h"

namespace ql {
namespace {

using test::field;

constexpr const char* ReplyType = "application/x-wire-records";

class RecordingTest : public test::AnalyticsClientTest {
protected:
    RecordingTest() { startInstallation(); }

    static void startInstallation() {
        test::resetAnalyticsClient();
        RezOzovaEnvelope::sharedInstance().reload();
        // Sends are driven by hand here: in the background a session start considers none.
        RezOzovaSession::sharedInstance().setAppInBackGround(true);
        RezOzovaApp::sharedInstance().setLogEnabled(true);
    }

    static std::vector<std::string> pendingIds(RezOzovaRecords::Kind kind = RezOzovaRecords::Kind::Events) {
        std::vector<std::string> ids;
        for (const auto& record : RezOzovaRecords::sharedInstance().pending(kind))
            ids.push_back(std::dynamic_pointer_cast<StatEvent>(record)->event_id.value_or(""));
        return ids;
    }

    static bool logged(const ns::Log::Capture& capture, std::string_view start) {
        for (const auto& line : capture.lines())
            if (line.starts_with(start)) return true;
        return false;
    }

    // Points the log endpoints at the collector, which takes every envelope.
    static void collectInto(test::LoopbackServer& collector) {
        const std::string host = "http://127.0.0.1:" + std::to_string(collector.port());
        StatEndpoints::setHostsForTesting(StatEndpoints::Hosts{host, host, "", ""});
        const std::string reply = test::serializedRecord(WireResponse(1, "ok", nullptr)).toString();
        collector.handle("/app_logs", [reply](const httplib::Request&, httplib::Response& response) {
            response.set_content(reply, ReplyType);
        });
    }

    // The log entries of every envelope the collector was given, read independently.
    static std::vector<ns::Value> collectedEntries(const test::LoopbackServer& collector) {
        std::vector<ns::Value> entries;
        for (const auto& request : collector.requests("/app_logs"))
            entries.push_back(field(test::readEnvelopeIndependently(ns::Data(request.body)), 7));
        return entries;
    }

    static void runJob() {
        auto& internal = RezOzovaInternal::sharedInstance();
        internal.beginPerformJob();
        internal.sendLogQueue()->waitUntilAllOperationsAreFinished();
    }

    // Forgets what this process holds in memory, as a new launch starts without it.
    static void relaunch() {
        RezOzovaRecords::sharedInstance().clearAll();
        RezOzovaRecords::sharedInstance().setIdTracking(nullptr);
        RezOzovaSession::sharedInstance().resetForTesting();
        RezOzovaSession::sharedInstance().setAppInBackGround(true);
    }

    // Session A records five events and ends, so the cache keeps them; session B starts, taking them back,
    // and records five more. Nothing is sent meanwhile: the app is in the background.
    static void recordTwoSessions() {
        test::workEvent(0);
        for (int i = 0; i < 5; ++i) test::workEvent(2, ns::Value(test::eventRecord("A" + std::to_string(i))));
        ns::Clock::advance(60);
        test::workEvent(1);
        ns::Clock::advance(60);
        test::workEvent(0);
        for (int i = 0; i < 5; ++i) test::workEvent(2, ns::Value(test::eventRecord("B" + std::to_string(i))));
    }

    // Launches that follow, with the service back, until everything waiting has been sent.
    static void launchUntilAllIsSent() {
        ns::Clock::advance(3600);  // the sessions of these launches start after session A
        for (int launch = 0; launch < 2; ++launch) {
            test::workEvent(0);
            runJob();  // the envelopes left waiting, if any
            runJob();  // what waited in the cache
            test::workEvent(1);
            relaunch();
        }
    }

    // Session A's records arrived exactly once, session B's unsaved events at most once. Session A is told by
    // its start: `startOfA`, the clock when the app that recorded it was forked.
    static void expectEachRecordOnce(const test::LoopbackServer& collector, double startOfA) {
        std::map<std::string, int> events;
        int sessionsOfA = 0;
        for (const ns::Value& entry : collectedEntries(collector)) {
            const ns::Value& messages = field(entry, 6);
            for (std::size_t m = 0; m < messages.count(); ++m) {
                const ns::Value& sent = field(messages[m], 3);
                for (std::size_t i = 0; i < sent.count(); ++i) ++events[field(sent[i], 1).stringValue()];
            }
            const ns::Value& sessions = field(entry, 7);
            for (std::size_t i = 0; i < sessions.count(); ++i)
                sessionsOfA += field(sessions[i], 2).int64Value() == static_cast<std::int64_t>(startOfA * 1000);
        }
        for (int i = 0; i < 5; ++i) {
            EXPECT_EQ(events["A" + std::to_string(i)], 1) << i;
            EXPECT_LE(events["B" + std::to_string(i)], 1) << i;
        }
        EXPECT_EQ(sessionsOfA, 1);
    }

    static std::vector<std::string> analyticsFolderNames(std::string_view containing) {
        auto names = ns::FileManager::defaultManager().contentsOfDirectoryAtPath(RezOzovaUtility::analyticsFolder());
        std::vector<std::string> found;
        for (const auto& name : names.value_or(std::vector<std::string>{}))
            if (name.find(containing) != std::string::npos) found.push_back(name);
        return found;
    }
};

TEST_F(RecordingTest, TimedEventsTakeTheirDurationFromTheClock) {
    ns::Log::Capture capture;
    test::workEvent(5, ns::Value(test::eventRecord("reading", "chapter-1")));
    test::workEvent(7, ns::Value(test::eventRecord("reading", "chapter-1")));  // with values: timed apart from the plain one
    ns::Clock::advance(1.5);
    test::workEvent(6, ns::Value(test::eventRecord("reading", "chapter-1")));
    ASSERT_EQ(pendingIds(), std::vector<std::string>{"reading"});
    auto ended = std::dynamic_pointer_cast<StatEvent>(RezOzovaRecords::sharedInstance().pending(RezOzovaRecords::Kind::Events)[0]);
    EXPECT_EQ(ended->du, 1500);
    EXPECT_EQ(ended->label, "chapter-1");
    EXPECT_TRUE(pendingIds(RezOzovaRecords::Kind::EventsWithValues).empty());

    // Only the same identifier and label end it, and only once.
    test::workEvent(6, ns::Value(test::eventRecord("reading", "chapter-1")));
    test::workEvent(8, ns::Value(test::eventRecord("reading", "chapter-2")));
    EXPECT_TRUE(logged(capture, "STATLOG: timed event ended without a beginning: reading"));
    EXPECT_EQ(pendingIds().size(), 1u);
    ns::Clock::advance(0.5);
    test::workEvent(8, ns::Value(test::eventRecord("reading", "chapter-1")));
    ASSERT_EQ(pendingIds(RezOzovaRecords::Kind::EventsWithValues), std::vector<std::string>{"reading"});
    EXPECT_EQ(std::dynamic_pointer_cast<StatEvent>(
                  RezOzovaRecords::sharedInstance().pending(RezOzovaRecords::Kind::EventsWithValues)[0])->du,
              2000);

    // Begun again, it starts over.
    test::workEvent(5, ns::Value(test::eventRecord("quiz")));
    ns::Clock::advance(4);
    test::workEvent(5, ns::Value(test::eventRecord("quiz")));
    ns::Clock::advance(1);
    test::workEvent(6, ns::Value(test::eventRecord("quiz")));
    EXPECT_EQ(std::dynamic_pointer_cast<StatEvent>(RezOzovaRecords::sharedInstance().pending(RezOzovaRecords::Kind::Events)[1])->du,
              1000);
}

TEST_F(RecordingTest, PagesTravelInTheirSessionWhichTheCacheKeepsUntilTheNextLaunch) {
    ns::Log::Capture capture;
    test::workEvent(0);
    const auto sessionId = RezOzovaSession::sharedInstance().sessionId();
    ASSERT_TRUE(sessionId);
    EXPECT_EQ(RezOzovaSession::sharedInstance().sessionStatus(), 1);
    test::workEvent(2, ns::Value(test::eventRecord("opened")));
    EXPECT_EQ(RezOzovaRecords::sharedInstance().pending(RezOzovaRecords::Kind::Events)[0]->session_id, sessionId);

    test::workEvent(10, ns::Value("Library"));
    ns::Clock::advance(3);
    test::workEvent(11, ns::Value("Library"));
    test::workEvent(9, ns::Value(std::make_shared<WirePage>("Cover", 1200)));
    test::workEvent(11, ns::Value("Never begun"));
    EXPECT_TRUE(logged(capture, "STATLOG: page ended without a beginning: Never begun"));
    ns::Clock::advance(7);
    test::workEvent(1, ns::Value(ns::Clock::now() - 2));  // the session ended two seconds before the work ran

    EXPECT_EQ(RezOzovaSession::sharedInstance().sessionStatus(), 0);
    // The session end saved everything to the cache and let it go here.
    EXPECT_FALSE(RezOzovaRecords::sharedInstance().hasPending());
    EXPECT_TRUE(RezOzovaUtility::isExistAtPath(RezOzovaRecordCache::path()));
    test::workEvent(9, ns::Value(std::make_shared<WirePage>("Outside", 5)));
    EXPECT_TRUE(logged(capture, "STATLOG: no session to keep the page in, page dropped"));

    relaunch();
    test::workEvent(0);
    EXPECT_FALSE(RezOzovaUtility::isExistAtPath(RezOzovaRecordCache::path()));
    EXPECT_EQ(pendingIds(), std::vector<std::string>{"opened"});
    const auto sessions = RezOzovaRecords::sharedInstance().pendingSessions();
    ASSERT_EQ(sessions.size(), 1u);
    const auto& session = *sessions[0];
    EXPECT_EQ(session.id(), sessionId);
    EXPECT_EQ(session.start_time(), 1'700'000'000'000);
    EXPECT_EQ(session.end_time(), 1'700'000'008'000);
    EXPECT_EQ(session.duration(), 8000);
    ASSERT_TRUE(session.pages());
    ASSERT_EQ(session.pages()->size(), 2u);
    EXPECT_EQ((*session.pages())[0]->page_name(), "Library");
    EXPECT_EQ((*session.pages())[0]->duration(), 3000);
    EXPECT_EQ((*session.pages())[1]->page_name(), "Cover");
    EXPECT_EQ((*session.pages())[1]->duration(), 1200);
    // The new launch runs a session of its own.
    EXPECT_NE(RezOzovaSession::sharedInstance().sessionId(), sessionId);

    // Taken back once: a second start finds nothing more. (The second launch's session was saved with them.)
    test::workEvent(1);
    relaunch();
    test::workEvent(0);
    test::workEvent(0);
    EXPECT_EQ(pendingIds(), std::vector<std::string>{"opened"});
    EXPECT_EQ(RezOzovaRecords::sharedInstance().pendingSessions().size(), 2u);
}

TEST_F(RecordingTest, ADamagedCacheIsSetAsideAndLoggedAndCostsNoRecord) {
    const std::string path = RezOzovaRecordCache::path();
    const std::string folder = RezOzovaUtility::analyticsFolder();
    auto damagedFiles = [&] {
        std::vector<std::string> names;
        const auto all = ns::FileManager::defaultManager().contentsOfDirectoryAtPath(folder);
        for (const auto& name : all.value_or(std::vector<std::string>{}))
            if (name.starts_with("records-damaged-")) names.push_back(name);
        return names;
    };
    ns::Error error("", 0);
    const std::vector<ns::Data> damaged{
        ns::Data(std::string_view("not an archive at all")),
        // A readable archive that holds no records.
        *ns::KeyedArchiver::archivedDataWithRootObject(ns::Value("a text"), &error),
        *ns::KeyedArchiver::archivedDataWithRootObject(
            ns::Value(ns::Dictionary{{"events", ns::Value(ns::Array{ns::Value(7)})}}), &error),
    };
    for (std::size_t i = 0; i < damaged.size(); ++i) {
        ASSERT_TRUE(ns::FileManager::defaultManager().writeAtomically(path, damaged[i], 0600));
        test::workEvent(2, ns::Value(test::eventRecord("kept-" + std::to_string(i))));
        ns::Log::Capture capture;
        test::workEvent(0);
        EXPECT_TRUE(logged(capture, "STATLOG: Record cache damaged (")) << i;
        ASSERT_EQ(damagedFiles().size(), i + 1);
        EXPECT_EQ(ns::FileManager::defaultManager().contentsAtPath(folder + "/" + damagedFiles().back()), damaged[i]);
        EXPECT_EQ(pendingIds(), std::vector<std::string>{"kept-" + std::to_string(i)});
        // The next save writes a sound cache, and the next launch finds the record there.
        test::workEvent(1);
        relaunch();
        test::workEvent(0);
        EXPECT_EQ(pendingIds(), std::vector<std::string>{"kept-" + std::to_string(i)});
        test::workEvent(1);
        relaunch();
        RezOzovaUtility::removeFile(path);
    }

    // A pipe in the cache's place is not opened (it would wait for a writer), and is set aside too.
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    test::workEvent(2, ns::Value(test::eventRecord("beside-a-pipe")));
    test::workEvent(1);
    EXPECT_EQ(damagedFiles().size(), damaged.size() + 1);
    relaunch();
    test::workEvent(0);
    EXPECT_EQ(pendingIds(), std::vector<std::string>{"beside-a-pipe"});
}

TEST_F(RecordingTest, WhatIsNoCacheFileIsSetAsideWithoutWaitingAndCostsNoRecord) {
    const std::string path = RezOzovaRecordCache::path();
    for (const test::HostileFile kind : test::hostileFiles()) {
        SCOPED_TRACE(test::describe(kind));
        test::placeHostileFile(kind, path, RezOzovaRecordCache::MaxFileBytes + 1);
        const test::HangGuard guard("the record cache as " + test::describe(kind));
        const std::string id = "beside " + test::describe(kind);
        test::workEvent(2, ns::Value(test::eventRecord(id)));
        ns::Log::Capture capture;
        test::workEvent(1);
        EXPECT_TRUE(logged(capture, "STATLOG: Record cache damaged ("));
        relaunch();
        test::workEvent(0);
        EXPECT_EQ(pendingIds(), std::vector<std::string>{id});
        test::workEvent(1);
        relaunch();
        RezOzovaUtility::removeFile(path);
    }
}

TEST_F(RecordingTest, TheFirstJobOfAnInstallationSendsTheActivationMessageEvenWithNothingRecorded) {
    test::LoopbackServer collector;
    collectInto(collector);
    runJob();
    auto entries = collectedEntries(collector);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(field(field(entries[0], 5), 1).int64Value(), 1'700'000'000'000);
    EXPECT_TRUE(field(entries[0], 6).isNil());
    EXPECT_EQ(field(field(entries[0], 2), 1).stringValue(), "test-app-key");
    EXPECT_EQ(ns::UserDefaults::standard().integerForKey("statActivateMsg"), 1'700'000'000'000);

    // Sent once: later jobs with nothing recorded send nothing.
    runJob();
    EXPECT_EQ(collector.requestCount(), 1u);
    EXPECT_TRUE(RezOzovaUtility::envelopeFiles().empty());
}

TEST_F(RecordingTest, EventsRecordedWhileTheDiskIsFullArriveExactlyOnceWhenSpaceReturns) {
    for (const test::VolumeKind kind : test::volumeKinds()) {
        SCOPED_TRACE(test::describe(kind));
        ns::TemporarySandbox installation;
        startInstallation();
        test::LoopbackServer collector;
        collectInto(collector);
        {
            test::FaultyVolume disk(kind, ns::Sandbox::caches());
            disk.fill();
            test::workEvent(0);
            for (int i = 0; i < 10; ++i) test::workEvent(2, ns::Value(test::eventRecord("e" + std::to_string(i))));

            // No envelope can be written: the records stay, and so does the activation message.
            RezOzovaInternal::sharedInstance().generateEnvelopeFile();
            EXPECT_TRUE(RezOzovaUtility::envelopeFiles().empty());
            EXPECT_EQ(pendingIds().size(), 10u);
            EXPECT_TRUE(RezOzovaRecords::activateMsgPending());
            // Nor can the cache at the session's end; a job started meanwhile has nothing to post.
            test::workEvent(1);
            EXPECT_FALSE(RezOzovaUtility::isExistAtPath(RezOzovaRecordCache::path()));
            EXPECT_EQ(pendingIds().size(), 10u);
            EXPECT_EQ(RezOzovaRecords::sharedInstance().pendingSessions().size(), 1u);
            runJob();
            EXPECT_EQ(collector.requestCount(), 0u);
            EXPECT_EQ(pendingIds().size(), 10u);

            disk.restore();
            test::workEvent(0);
            test::workEvent(2, ns::Value(test::eventRecord("after")));
            runJob();
            EXPECT_FALSE(RezOzovaRecords::sharedInstance().hasPending());
            EXPECT_TRUE(RezOzovaUtility::envelopeFiles().empty());
        }

        const auto entries = collectedEntries(collector);
        ASSERT_EQ(entries.size(), 1u);
        std::vector<std::string> names;
        const ns::Value& events = field(field(entries[0], 6)[0], 3);
        for (std::size_t i = 0; i < events.count(); ++i) names.push_back(field(events[i], 1).stringValue());
        std::vector<std::string> expected;
        for (int i = 0; i < 10; ++i) expected.push_back("e" + std::to_string(i));
        expected.push_back("after");
        EXPECT_EQ(names, expected);
        EXPECT_EQ(field(entries[0], 7).count(), 1u);  // the session that ended while the disk was full
        EXPECT_FALSE(field(entries[0], 5).isNil());
        EXPECT_FALSE(RezOzovaRecords::activateMsgPending());
    }
}

}  // namespace
}  // namespace ql

namespace ql {
namespace {

TEST_F(RecordingTest, RecordsOfAFinishedSessionOutliveAKillInTheNextOneAndArriveOnce) {
    const double startOfA = ns::Clock::now();
    const pid_t app = test::inAnotherApp([] {
        recordTwoSessions();
        ::raise(SIGKILL);
        return 0;
    });
    ASSERT_EQ(test::exitStatus(app), -SIGKILL);
    // Writes of the analytics folder a kill cut short leave their temporaries: the next start removes them.
    const std::string folder = RezOzovaUtility::analyticsFolder();
    ASSERT_TRUE(ns::writeToFile(ns::Data("cut"), folder + "/.records.cache.tmp-Ab12Cd0", 0));
    ASSERT_TRUE(ns::writeToFile(ns::Data("cut"), folder + "/.1700000000000_envelope.log.tmp-Ef34Gh0", 0));

    test::LoopbackServer collector;
    collectInto(collector);
    launchUntilAllIsSent();
    expectEachRecordOnce(collector, startOfA);
    EXPECT_TRUE(analyticsFolderNames(".tmp-").empty());
    EXPECT_TRUE(analyticsFolderNames("held-").empty());
}

TEST_F(RecordingTest, AKillAtAnyStepOfLettingGoOfTakenBackRecordsLosesNoneAndSendsNoneTwice) {
    const std::vector<std::pair<std::string, std::function<void()>>> waysToLetGo{
        {"packing an envelope", [] { RezOzovaInternal::sharedInstance().generateEnvelopeFile(); }},
        {"ending the session", [] { test::workEvent(1); }},
    };
    for (const auto& [way, letGo] : waysToLetGo) {
        for (const std::string step : {"writing", "written", "committed", "moved"}) {
            SCOPED_TRACE(way + ", killed at " + step);
            ns::TemporarySandbox installation;
            startInstallation();
            const double startOfA = ns::Clock::now();
            const pid_t app = test::inAnotherApp([&letGo, &step] {
                recordTwoSessions();
                // Only the file that takes the taken-back records' place: other atomic writes go through.
                ns::FileManager::setBeforeAtomicReplaceHookForTesting([&step](const std::string& temporary) {
                    if (step == "writing" && temporary.find("/held-") != std::string::npos) ::raise(SIGKILL);
                });
                RezOzovaRecordHold::setStepHookForTesting([&step](std::string_view reached) {
                    if (reached == step) ::raise(SIGKILL);
                });
                letGo();
                return 0;
            });
            ASSERT_EQ(test::exitStatus(app), -SIGKILL);

            test::LoopbackServer collector;
            collectInto(collector);
            launchUntilAllIsSent();
            expectEachRecordOnce(collector, startOfA);
            EXPECT_TRUE(analyticsFolderNames("held-").empty());
            EXPECT_TRUE(analyticsFolderNames("consumed-").empty());
        }
    }
}

TEST_F(RecordingTest, RecordsAnotherAppTookBackAreLeftToItUntilItEnds) {
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t other = test::inAnotherApp([ready] {
        recordTwoSessions();
        if (::write(ready[1], "r", 1) != 1) return 2;
        ::pause();
        return 0;
    });
    ::close(ready[1]);
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    ::close(ready[0]);

    test::workEvent(0);
    EXPECT_TRUE(pendingIds().empty());
    EXPECT_TRUE(RezOzovaRecords::sharedInstance().pendingSessions().empty());

    ASSERT_EQ(::kill(other, SIGKILL), 0);
    ASSERT_EQ(test::exitStatus(other), -SIGKILL);
    relaunch();
    test::workEvent(0);
    EXPECT_EQ(pendingIds(), (std::vector<std::string>{"A0", "A1", "A2", "A3", "A4"}));
    EXPECT_EQ(RezOzovaRecords::sharedInstance().pendingSessions().size(), 1u);
}

}  // namespace
}  // namespace ql
