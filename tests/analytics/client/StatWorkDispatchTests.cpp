#include <gtest/gtest.h>

#include <map>
#include <thread>

#include "analytics/StatError.h"
#include "analytics/StatEvent.h"
#include "analytics/client/RezOzovaInternal.h"
#include "analytics/client/RezOzovaUtility.h"
#include "analytics/client/StatWorkDispatch.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Log.h"
#include "tests/analytics/client/ClientTestSupport.h"

namespace ql {
namespace {

using DispatchTest = test::AnalyticsClientTest;

std::shared_ptr<StatEvent> event(std::string id) {
    auto record = std::make_shared<StatEvent>();
    record->event_id = std::move(id);
    return record;
}

std::vector<std::string> recordedIds() {
    std::vector<std::string> ids;
    for (const auto& record : RezOzovaRecords::sharedInstance().pending(RezOzovaRecords::Kind::Events))
        ids.push_back(*std::dynamic_pointer_cast<StatEvent>(record)->event_id);
    return ids;
}

TEST_F(DispatchTest, EventsFromSeveralThreadsRunOnMainInTheOrderEachSent) {
    constexpr int Threads = 4;
    constexpr int PerThread = 25;
    std::vector<std::thread> senders;
    for (int t = 0; t < Threads; ++t)
        senders.emplace_back([t] {
            for (int i = 0; i < PerThread; ++i)
                StatWorkDispatch::sendEvent(ns::Value(event(std::to_string(t) + ":" + std::to_string(i))), 2);
        });
    for (auto& sender : senders) sender.join();
    // Nothing runs until the main run loop turns.
    EXPECT_TRUE(recordedIds().empty());
    ASSERT_TRUE(pumpUntil([] { return recordedIds().size() == Threads * PerThread; }));

    std::map<int, int> next;
    for (const auto& id : recordedIds()) {
        const int thread = std::stoi(id.substr(0, id.find(':')));
        EXPECT_EQ(std::stoi(id.substr(id.find(':') + 1)), next[thread]++) << id;
    }
    for (int t = 0; t < Threads; ++t) EXPECT_EQ(next[t], PerThread);
}

TEST_F(DispatchTest, MainThreadSendsReturnFirstAndTheSessionIdIsStamped) {
    RezOzovaSession::sharedInstance().setSessionId("session-7");
    StatWorkDispatch::sendEvent(ns::Value(event("first")), 2);
    auto error = std::make_shared<StatError>();
    error->context = "boom";
    StatWorkDispatch::sendEvent(ns::Value(error), 3);
    StatWorkDispatch::sendEvent(ns::Value(event("second")), 2);
    EXPECT_TRUE(recordedIds().empty());
    ASSERT_TRUE(pumpUntil([] { return recordedIds().size() == 2; }));
    EXPECT_EQ(recordedIds(), (std::vector<std::string>{"first", "second"}));
    const auto errors = RezOzovaRecords::sharedInstance().pending(RezOzovaRecords::Kind::Errors);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0]->session_id, "session-7");
}

TEST_F(DispatchTest, AnUnknownTypeReachesTheHandlerAndIsIgnoredWithALogLine) {
    RezOzovaApp::sharedInstance().setLogEnabled(true);
    ns::Log::Capture capture;
    StatWorkDispatch::sendEvent(ns::Value(event("odd")), 14);
    StatWorkDispatch::sendEvent(ns::Value(event("after")), 2);
    ASSERT_TRUE(pumpUntil([] { return recordedIds().size() == 1; }));
    EXPECT_EQ(recordedIds(), std::vector<std::string>{"after"});
    const auto lines = capture.lines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "STATLOG: Unknown event type: 14"), lines.end());
}

TEST_F(DispatchTest, ASessionStartWithRecordsWaitingStartsAJob) {
    // Nothing listens there: both endpoints refuse, and the file stays for a later job.
    StatEndpoints::setHostsForTesting(StatEndpoints::Hosts{"http://127.0.0.1:1", "http://127.0.0.1:1", "", ""});
    RezOzovaEnvelope::sharedInstance().reload();
    RezOzovaRecords::sharedInstance().add(RezOzovaRecords::Kind::Events, event("waiting"));
    StatWorkDispatch::sendEvent(ns::Value(), 0);
    ASSERT_TRUE(pumpUntil([] { return RezOzovaSession::sharedInstance().sessionStatus() != 0; }));
    RezOzovaInternal::sharedInstance().sendLogQueue()->waitUntilAllOperationsAreFinished();
    EXPECT_FALSE(RezOzovaJob::sharedInstance().jobRunning());
    EXPECT_FALSE(RezOzovaInternal::sharedInstance().hasJob());
    EXPECT_EQ(RezOzovaUtility::envelopeFiles().size(), 1u);
    EXPECT_EQ(RezOzovaConfig::configureWithKey("statFailedRequests").int64Value(), 2);

    // A session end under policy 1 sends nothing and closes the session.
    StatWorkDispatch::sendEvent(ns::Value(ns::Clock::now()), 1);
    ASSERT_TRUE(pumpUntil([] { return RezOzovaSession::sharedInstance().sessionStatus() == 0; }));
    EXPECT_EQ(RezOzovaConfig::configureWithKey("statFailedRequests").int64Value(), 2);
    ns::FileManager::defaultManager().removeItemAtPath(RezOzovaUtility::analyticsFolder());
}

}  // namespace
}  // namespace ql
