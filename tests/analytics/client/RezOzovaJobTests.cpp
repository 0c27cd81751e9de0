#include <gtest/gtest.h>

#include <deque>

#include "analytics/StatEvent.h"
#include "analytics/client/RezOzovaUtility.h"
#include "platform/foundation/FileManager.h"
#include "tests/analytics/client/ClientTestSupport.h"

namespace ql {
namespace {

class JobTest : public test::AnalyticsClientTest {
protected:
    JobTest() {
        RezOzovaSession::sharedInstance().setSessionStatus(1);
        // Reads this installation's identity (which draws a fresh identifier) before any test's scripted draws.
        RezOzovaEnvelope::sharedInstance().reload();
    }
    ~JobTest() override { ns::FileManager::defaultManager().removeItemAtPath(RezOzovaUtility::analyticsFolder()); }

    static void lastPostAgo(double seconds) {
        RezOzovaConfig::setConfigure(ns::Value(ns::Clock::now() - seconds), "lastPostInterval");
    }
    static void policy(std::int32_t policy) { RezOzovaConfig::setConfigure(ns::Value(policy), "report_policy"); }
    // The draws the random source hands out, in order.
    static void draws(std::deque<std::uint32_t> values) {
        StatUtils::setRandomSourceForTesting([values = std::move(values)]() mutable {
            const std::uint32_t next = values.empty() ? 0 : values.front();
            if (!values.empty()) values.pop_front();
            return next;
        });
    }
};

TEST_F(JobTest, ReportPolicyThresholds) {
    RezOzovaApp::sharedInstance().setIntegratedTestMode(true);
    policy(0);
    EXPECT_DOUBLE_EQ(RezOzovaJob::elapsedTimeFromPost(), -1.0);
    EXPECT_TRUE(RezOzovaJob::shouldCommitJob(1));  // never posted
    lastPostAgo(10);
    EXPECT_FALSE(RezOzovaJob::shouldCommitJob(1));
    lastPostAgo(16);
    EXPECT_TRUE(RezOzovaJob::shouldCommitJob(1));
    // Outside integrated test mode policy 0 is not allowed and counts as 1.
    RezOzovaApp::sharedInstance().setIntegratedTestMode(false);
    EXPECT_FALSE(RezOzovaJob::shouldCommitJob(1));

    policy(1);
    EXPECT_TRUE(RezOzovaJob::shouldCommitJob(0));
    EXPECT_FALSE(RezOzovaJob::shouldCommitJob(1));

    policy(6);
    RezOzovaApp::sharedInstance().setLogSendInterval(60);
    lastPostAgo(60);
    EXPECT_FALSE(RezOzovaJob::shouldCommitJob(1));
    lastPostAgo(61);
    EXPECT_TRUE(RezOzovaJob::shouldCommitJob(1));

    policy(8);
    lastPostAgo(10800);
    EXPECT_FALSE(RezOzovaJob::shouldCommitJob(1));
    lastPostAgo(10801);
    EXPECT_TRUE(RezOzovaJob::shouldCommitJob(1));
    RezOzovaApp::sharedInstance().setBackgroundTaskEnabled(true);
    lastPostAgo(129600);
    EXPECT_FALSE(RezOzovaJob::shouldCommitJob(1));
    lastPostAgo(129601);
    EXPECT_TRUE(RezOzovaJob::shouldCommitJob(1));
    lastPostAgo(1);
    RezOzovaSession::sharedInstance().setAppInBackGround(true);
    EXPECT_TRUE(RezOzovaJob::shouldCommitJob(1));  // in the background: whether background sending is on
    RezOzovaApp::sharedInstance().setBackgroundTaskEnabled(false);
    EXPECT_FALSE(RezOzovaJob::shouldCommitJob(1));
    RezOzovaSession::sharedInstance().setAppInBackGround(false);

    // An imprinted policy outranks the stored one; any other value counts as 1.
    test::storeImprint({{"report_policy", "6"}});
    EXPECT_EQ(RezOzovaApp::sharedInstance().reportPolicy(), 6);
    test::storeImprint({{"report_policy", "5"}});
    EXPECT_EQ(RezOzovaApp::sharedInstance().reportPolicy(), 1);
}

TEST_F(JobTest, AStoredExperimentValueOutranksEveryOtherPolicyOutsideIntegratedTesting) {
    auto& app = RezOzovaApp::sharedInstance();
    app.setHostReportPolicy(6);
    policy(8);
    test::storeImprint({{"report_policy", "6"}});
    EXPECT_EQ(app.reportPolicy(), 6);

    RezOzovaConfig::setConfigure(ns::Value(8), "statExperimentReportPolicy");
    EXPECT_EQ(app.reportPolicy(), 8);
    RezOzovaConfig::setConfigure(ns::Value("6"), "statExperimentReportPolicy");  // as text, too
    EXPECT_EQ(app.reportPolicy(), 6);
    // It is checked like every other: 0 is for integrated testing only, and anything unknown counts as 1.
    RezOzovaConfig::setConfigure(ns::Value(0), "statExperimentReportPolicy");
    EXPECT_EQ(app.reportPolicy(), 1);
    RezOzovaConfig::setConfigure(ns::Value(3), "statExperimentReportPolicy");
    EXPECT_EQ(app.reportPolicy(), 1);

    // In integrated test mode the experiment is left out and the imprint decides again.
    RezOzovaConfig::setConfigure(ns::Value(8), "statExperimentReportPolicy");
    app.setIntegratedTestMode(true);
    EXPECT_EQ(app.reportPolicy(), 6);
}

TEST_F(JobTest, NothingIsCommittedWhilePendingKilledOrOffline) {
    policy(1);
    EXPECT_TRUE(RezOzovaJob::shouldCommitJob(0));
    RezOzovaJob::sharedInstance().setBLatencyJob(true);
    EXPECT_FALSE(RezOzovaJob::shouldCommitJob(0));
    RezOzovaJob::sharedInstance().setBLatencyJob(false);
    RezOzovaSession::sharedInstance().setAppBeKilling(true);
    EXPECT_FALSE(RezOzovaJob::shouldCommitJob(0));
    RezOzovaSession::sharedInstance().setAppBeKilling(false);
    sys::setNetworkInterfacesForTesting(std::vector{test::fakeInterface("lo", false, true)});
    EXPECT_FALSE(RezOzovaJob::shouldCommitJob(0));

    auto& job = RezOzovaJob::sharedInstance();
    EXPECT_TRUE(job.ready());
    job.setJobRunning(true);
    EXPECT_FALSE(job.ready());
    EXPECT_EQ(job.description(), "<RezOzovaJob: self.defcon=0, self.latency=0, self.jobRunning=1>");
    job.setJobRunning(false);
    RezOzovaSession::sharedInstance().setSessionStatus(0);
    EXPECT_FALSE(job.ready());
}

TEST_F(JobTest, DefconLevelsHoldBackPosts) {
    const std::pair<int, double> levels[] = {{1, 14400}, {2, 28800}, {3, 86400}};
    for (const auto& [level, pause] : levels) {
        RezOzovaConfig::setConfigure(ns::Value(level), "statDefcon");
        EXPECT_EQ(RezOzovaJob::sharedInstance().defcon(), level);  // read again by every sharedInstance
        lastPostAgo(pause - 1);
        EXPECT_FALSE(RezOzovaJob::defconPass()) << level;
        lastPostAgo(pause);
        EXPECT_TRUE(RezOzovaJob::defconPass()) << level;
    }
    // A clock turned back, or no post yet, passes.
    lastPostAgo(-50);
    EXPECT_TRUE(RezOzovaJob::defconPass());
    RezOzovaConfig::setConfigure(ns::Value(0), "statDefcon");
    lastPostAgo(1);
    EXPECT_TRUE(RezOzovaJob::defconPass());
}

TEST_F(JobTest, LatentConditionThresholds) {
    auto& job = RezOzovaJob::sharedInstance();
    lastPostAgo(172800);
    test::storeImprint({{"latent_hours", "47"}});  // below 48: the 15-day threshold stands
    EXPECT_TRUE(RezOzovaJob::checkLatentCondition());
    EXPECT_TRUE(job.bDisguisedLatency());
    EXPECT_FALSE(job.bLatencyJob());

    test::storeImprint({{"latent_hours", "48"}});
    EXPECT_TRUE(RezOzovaJob::checkLatentCondition());
    EXPECT_FALSE(job.bDisguisedLatency());
    EXPECT_TRUE(job.bLatencyJob());
    job.setBLatencyJob(false);

    lastPostAgo(129600);
    EXPECT_FALSE(RezOzovaJob::checkLatentCondition());
    lastPostAgo(1296000);
    RezOzovaConfig::setConfigure(ns::Value(ns::Data()), "statImprint");
    EXPECT_TRUE(RezOzovaJob::checkLatentCondition());
    EXPECT_TRUE(job.bLatencyJob());
    job.setBLatencyJob(false);

    // Files already waiting: never.
    RezOzovaUtility::saveData(ns::Data(std::string_view("waiting envelope")),
                              RezOzovaUtility::generateEnvelopeFileNameWithTS("1"));
    EXPECT_FALSE(RezOzovaJob::checkLatentCondition());
    EXPECT_FALSE(job.bLatencyJob());
}

TEST_F(JobTest, LatencyDraws) {
    auto& job = RezOzovaJob::sharedInstance();
    // The normal draw never lies in 128..255.
    draws({5, 209});
    EXPECT_EQ(job.calculateLatency(), 9);  // latency_sdk 0 stands for 10: 0..9, and 209 % 10
    EXPECT_EQ(job.latency_sdk(), 10);
    job.setLatency_sdk(1000);
    draws({5, 200});
    EXPECT_EQ(job.calculateLatency(), 127);
    EXPECT_EQ(job.latency(), 127);

    // The server's bound is held to 1800.
    test::storeImprint({{"latent", "5000"}});
    draws({5, 3599});
    EXPECT_EQ(job.calculateLatency(), 1799);
    test::storeImprint({{"latent", "-3"}});
    draws({5, 3599});
    EXPECT_EQ(job.calculateLatency(), 1799);
    test::storeImprint({{"latent", "0"}});
    draws({5, 3599});
    EXPECT_EQ(job.calculateLatency(), 0);

    // Without a signature the seed is 0: the one-in-a-thousand draw falls back to the normal one.
    EXPECT_EQ(job.latencySeed(), 0);
    test::storeImprint({{"latent", "20"}});
    draws({0, 4'000'000'000u});
    EXPECT_EQ(job.calculateLatency(), 0);  // 4e9 % 20

    // With one, the seed comes from signature bytes 4 and 5: "1234" -> "23" -> 0x23 | 0x80.
    std::vector<std::uint8_t> signature(32, 0);
    signature[4] = 0x12;
    signature[5] = 0x34;
    RezOzovaConfig::setConfigure(ns::Value(ns::Data(signature)), "statSignature");
    RezOzovaEnvelope::sharedInstance().reload();
    EXPECT_EQ(job.latencySeed(), 0xA3);
    draws({0, 30});
    EXPECT_EQ(job.calculateLatency(), 158);  // 128 + 30 % 36
}

TEST_F(JobTest, ALongSilenceSchedulesOneDelayedSendOnTheClock) {
    policy(1);
    lastPostAgo(1296000);
    RezOzova::setLatency(100);
    draws({5, 42});
    auto event = std::make_shared<StatEvent>();
    event->event_id = "pending";
    RezOzovaRecords::sharedInstance().add(RezOzovaRecords::Kind::Events, event);

    RezOzovaJob::preparePerformJob(0);
    auto& job = RezOzovaJob::sharedInstance();
    EXPECT_TRUE(job.bLatencyJob());
    EXPECT_EQ(job.latency(), 0);
    EXPECT_EQ(RezOzovaUtility::envelopeFiles().size(), 1u);  // the waiting records were packed at once
    EXPECT_FALSE(RezOzovaJob::shouldCommitJob(0));            // one delayed send at a time

    RezOzovaSession::sharedInstance().setAppInBackGround(true);  // the send is dropped when it fires
    ns::Clock::advance(41);
    EXPECT_TRUE(job.bLatencyJob());
    ns::Clock::advance(1);
    EXPECT_FALSE(job.bLatencyJob());
    EXPECT_FALSE(job.jobRunning());
}

}  // namespace
}  // namespace ql
