// Two apps on one home, as two processes forked from this one. A child forked from a thread that has done
// network work would inherit that thread's loading engine without its threads: here the children are forked
// before any network work on the main thread, and this process posts from threads of its own.
#include <gtest/gtest.h>

#include <errno.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <condition_variable>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "analytics/StatEnvelope.h"
#include "analytics/StatEvent.h"
#include "analytics/WireLogEntry.h"
#include "analytics/WireResponse.h"
#include "analytics/client/RezOzovaInternal.h"
#include "analytics/client/RezOzovaUtility.h"
#include "analytics/client/StatWorker.h"
#include "platform/foundation/FileLock.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/VolumeFault.h"
#include "platform/foundation/Zlib.h"
#include "tests/analytics/client/ClientTestSupport.h"
#include "tests/support/LoopbackServer.h"

namespace ql {
namespace {

constexpr const char* ReplyType = "application/x-wire-records";

std::string replyBytes() { return test::serializedRecord(WireResponse(1, "ok", nullptr)).toString(); }

class ProcessesTest : public test::AnalyticsClientTest {
protected:
    ProcessesTest() {
        RezOzovaEnvelope::sharedInstance().reload();
        RezOzovaConfig::setConfigure(ns::Value(1), "statActivateMsg");
    }
};

TEST_F(ProcessesTest, TwoAppsRecordingIntoOneHomeGiveNoSerialNumberTwiceAndLoseNoEvent) {
    constexpr int Rounds = 50;
    constexpr int EventsPerApp = 40;
    constexpr int EventsPerEnvelope = 20;
    // Two apps that live through every round; each round starts them together and waits for both.
    int go[2][2];
    int done[2][2];
    std::vector<pid_t> apps;
    for (int app = 0; app < 2; ++app) {
        ASSERT_EQ(::pipe(go[app]), 0);
        ASSERT_EQ(::pipe(done[app]), 0);
        apps.push_back(test::inAnotherApp([app, start = go[app][0], finished = done[app][1]] {
            auto& records = RezOzovaRecords::sharedInstance();
            for (int round = 0; round < Rounds; ++round) {
                char signal = 0;
                if (::read(start, &signal, 1) != 1) return 2;
                for (int i = 0; i < EventsPerApp; ++i) {
                    auto event = std::make_shared<StatEvent>();
                    event->event_id = std::to_string(round) + "/" + std::to_string(app) + "/" + std::to_string(i);
                    records.add(RezOzovaRecords::Kind::Events, event);
                    // The clock stands still: both apps name their envelopes in the same millisecond.
                    if ((i + 1) % EventsPerEnvelope == 0) RezOzovaInternal::sharedInstance().generateEnvelopeFile();
                }
                const char result = records.hasPending() ? 'n' : 'y';
                if (::write(finished, &result, 1) != 1) return 2;
            }
            return 0;
        }));
        ::close(go[app][0]);
        ::close(done[app][1]);
    }
    for (int round = 0; round < Rounds; ++round) {
        for (int app = 0; app < 2; ++app) ASSERT_EQ(::write(go[app][1], "g", 1), 1);
        for (int app = 0; app < 2; ++app) {
            char result = 0;
            ASSERT_EQ(::read(done[app][0], &result, 1), 1) << "round " << round;
            EXPECT_EQ(result, 'y') << "round " << round << ": records left unsent";
        }
    }
    for (int app = 0; app < 2; ++app) {
        ::close(go[app][1]);
        ::close(done[app][0]);
        EXPECT_EQ(test::exitStatus(apps[app]), 0);
    }

    std::map<std::string, int> seen;
    std::set<std::int32_t> serials;
    std::set<std::string> signatures;
    const auto paths = RezOzovaUtility::envelopeFiles();
    EXPECT_EQ(paths.size(), std::size_t{Rounds * 2 * EventsPerApp / EventsPerEnvelope});
    for (const auto& path : paths) {
        const auto envelope = test::decodedRecord<StatEnvelope>(*ns::FileManager::defaultManager().contentsAtPath(path));
        EXPECT_TRUE(serials.insert(envelope->serial_num()).second) << "serial " << envelope->serial_num() << " twice";
        signatures.insert(envelope->signature().value_or(""));
        const auto inflated = ns::zlibInflate(*envelope->entity(), 1 << 20);
        ASSERT_TRUE(inflated) << path;
        const auto entry = test::decodedRecord<WireLogEntry>(*inflated);
        ASSERT_TRUE(entry->instant_msgs()) << path;
        for (const auto& event : *entry->instant_msgs()->front()->events()) ++seen[*event->name()];
    }
    // One installation, one signature, whichever app made it.
    EXPECT_EQ(signatures.size(), 1u);
    EXPECT_EQ(seen.size(), std::size_t{Rounds * 2 * EventsPerApp});
    for (const auto& [name, times] : seen) EXPECT_EQ(times, 1) << name;
    EXPECT_EQ(*serials.rbegin(), static_cast<std::int32_t>(paths.size()));
}

TEST_F(ProcessesTest, AnAppWhoseSerialNumberWasNotWrittenDoesNotPutItBackOverAnothersNewerOne) {
    int go[2];
    ASSERT_EQ(::pipe(go), 0);
    // The other app starts on this home now, and makes two envelopes when told.
    const pid_t other = test::inAnotherApp([start = go[0], unused = go[1]] {
        ::close(unused);
        char signal = 0;
        if (::read(start, &signal, 1) != 1) return 2;
        for (int i = 0; i < 2; ++i) {
            auto event = std::make_shared<StatEvent>();
            event->event_id = "other " + std::to_string(i);
            RezOzovaRecords::sharedInstance().add(RezOzovaRecords::Kind::Events, event);
            RezOzovaInternal::sharedInstance().generateEnvelopeFile();
        }
        return RezOzovaRecords::sharedInstance().hasPending() ? 1 : 0;
    });
    ::close(go[0]);
    auto record = [](const std::string& name) {
        auto event = std::make_shared<StatEvent>();
        event->event_id = name;
        RezOzovaRecords::sharedInstance().add(RezOzovaRecords::Kind::Events, event);
        RezOzovaInternal::sharedInstance().generateEnvelopeFile();
    };
    // This app's envelope is saved, but its settings cannot be written: the next serial number stays
    // waiting in its memory, to be written at its next synchronize.
    ns::setVolumeFaultForTesting(ns::Sandbox::preferences(), EROFS);
    record("mine 0");
    ns::setVolumeFaultForTesting(ns::Sandbox::preferences(), 0);
    ASSERT_EQ(::write(go[1], "g", 1), 1);
    ::close(go[1]);
    ASSERT_EQ(test::exitStatus(other), 0);
    // The other app found no number in the settings, and this app's waiting write now puts back an older
    // one than the other left: the number kept in the lock file is the one both go on from.
    record("mine 1");

    std::multiset<std::int32_t> serials;
    for (const auto& path : RezOzovaUtility::envelopeFiles())
        serials.insert(test::decodedRecord<StatEnvelope>(*ns::FileManager::defaultManager().contentsAtPath(path))->serial_num());
    EXPECT_EQ(serials, (std::multiset<std::int32_t>{1, 2, 3, 4}));
}

TEST_F(ProcessesTest, TwoAppsUploadingOneFolderToASlowCollectorPostEachFileOnce) {
    constexpr int Files = 6;
    const auto paths = test::envelopeFiles(Files);
    int portPipe[2][2];
    std::vector<pid_t> apps;
    for (int app = 0; app < 2; ++app) {
        ASSERT_EQ(::pipe(portPipe[app]), 0);
        apps.push_back(test::inAnotherApp([&paths, readEnd = portPipe[app][0]] {
            int port = 0;
            if (::read(readEnd, &port, sizeof port) != static_cast<ssize_t>(sizeof port)) return 2;
            const std::string host = "http://127.0.0.1:" + std::to_string(port);
            StatEndpoints::setHostsForTesting(StatEndpoints::Hosts{host, host, "", ""});
            StatWorker worker(paths);
            worker.main();
            return worker.envelopeFilePaths().empty() ? 0 : 1;
        }));
        ::close(portPipe[app][0]);
    }

    // Each reply waits until the other app has a request in flight too (or every file has arrived), so the
    // two apps work the folder at the same time; the wait is bounded only against a hang.
    std::mutex mutex;
    std::condition_variable changed;
    int inFlight = 0;
    int arrived = 0;
    test::LoopbackServer collector;
    collector.handle("/app_logs", [&](const httplib::Request&, httplib::Response& response) {
        std::unique_lock lock(mutex);
        ++inFlight;
        ++arrived;
        changed.notify_all();
        changed.wait_for(lock, std::chrono::seconds(5), [&] { return inFlight >= 2 || arrived >= Files; });
        --inFlight;
        response.set_content(replyBytes(), ReplyType);
    });
    for (int app = 0; app < 2; ++app) {
        const int port = collector.port();
        ASSERT_EQ(::write(portPipe[app][1], &port, sizeof port), static_cast<ssize_t>(sizeof port));
        ::close(portPipe[app][1]);
    }
    for (pid_t app : apps) EXPECT_EQ(test::exitStatus(app), 0);

    const auto posts = collector.requests("/app_logs");
    std::multiset<std::string> bodies;
    for (const auto& post : posts) bodies.insert(post.body);
    EXPECT_EQ(posts.size(), std::size_t{Files});
    for (int i = 0; i < Files; ++i) EXPECT_EQ(bodies.count("envelope body " + std::to_string(i)), 1u) << i;
    EXPECT_TRUE(RezOzovaUtility::envelopeFiles().empty());
}

TEST_F(ProcessesTest, TheClaimOfAnAppThatDiedIsTakenBack) {
    const auto paths = test::envelopeFiles(2);
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    // An app that claimed the first file and died while posting it.
    const pid_t holder = test::inAnotherApp([&paths, ready] {
        auto claim = ns::FileLock::claim(paths[0]);
        const char byte = claim ? 'y' : 'n';
        if (::write(ready[1], &byte, 1) != 1) return 1;
        ::pause();
        return 0;
    });
    ::close(ready[1]);
    char claimed = 0;
    ASSERT_EQ(::read(ready[0], &claimed, 1), 1);
    ::close(ready[0]);
    ASSERT_EQ(claimed, 'y');

    test::LoopbackServer collector;
    const std::string host = "http://127.0.0.1:" + std::to_string(collector.port());
    StatEndpoints::setHostsForTesting(StatEndpoints::Hosts{host, host, "", ""});
    collector.handle("/app_logs", [](const httplib::Request&, httplib::Response& response) {
        response.set_content(replyBytes(), ReplyType);
    });
    auto post = [](std::vector<std::string> waiting) {
        std::thread([&waiting] { StatWorker(waiting).main(); }).join();
    };

    // While the claim is held the file is someone else's: only the other one is posted.
    post(paths);
    ASSERT_EQ(collector.requestCount(), 1u);
    EXPECT_EQ(collector.requests("/app_logs")[0].body, "envelope body 1");
    EXPECT_EQ(RezOzovaUtility::envelopeFiles(), std::vector<std::string>{paths[0]});

    ASSERT_EQ(::kill(holder, SIGKILL), 0);
    EXPECT_EQ(test::exitStatus(holder), -SIGKILL);
    post(paths);
    ASSERT_EQ(collector.requestCount(), 2u);
    EXPECT_EQ(collector.requests("/app_logs")[1].body, "envelope body 0");
    EXPECT_TRUE(RezOzovaUtility::envelopeFiles().empty());
}

}  // namespace
}  // namespace ql
