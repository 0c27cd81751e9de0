#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include "analytics/StatError.h"
#include "analytics/StatEvent.h"
#include "analytics/client/RezOzovaInternal.h"
#include "analytics/client/RezOzovaUtility.h"
#include "analytics/client/StatProtocolData.h"
#include "analytics/client/StatWorkDispatch.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Locale.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/ui/Device.h"
#include "tests/analytics/client/ClientTestSupport.h"
#include "tests/analytics/client/IndependentReader.h"

namespace ql {
namespace {

using test::field;

class LogEntryTest : public test::AnalyticsClientTest {
protected:
    LogEntryTest() {
        ns::TimeZone::setDefault(ns::TimeZone::forSecondsFromGMT(8 * 3600));
        ns::Locale::setPreferredLanguages(std::vector<std::string>{"zh-Hans"});
        RezOzovaEnvelope::sharedInstance().reload();
    }
    ~LogEntryTest() override { ns::Locale::setPreferredLanguages(std::nullopt); }

    // Every envelope file, oldest first, as the service's independent reader sees it; the files are gone after.
    static std::vector<ns::Value> takeEnvelopes() {
        std::vector<ns::Value> envelopes;
        for (const auto& path : RezOzovaUtility::envelopeFiles()) {
            envelopes.push_back(test::readEnvelopeIndependently(*ns::FileManager::defaultManager().contentsAtPath(path)));
            RezOzovaUtility::removeFile(path);
        }
        return envelopes;
    }

    static const ns::Value& entryOf(const ns::Value& envelope) { return field(envelope, 7); }
};

TEST_F(LogEntryTest, TheServiceReadsTheLabelTheFourRecordsAndTheActivationMessage) {
    auto& app = RezOzovaApp::sharedInstance();
    app.setAppVersion("2.3");
    app.setChannel("校园版");
    RezOzovaConfig::setConfigure(ns::Value(5), "statSuccessfulRequests");
    RezOzovaConfig::setConfigure(ns::Value(2), "statFailedRequests");
    RezOzovaConfig::setConfigure(ns::Value(40), "statLastRequestSpentMS");
    RezOzovaJob::sharedInstance().setLatency(7);

    auto labelled = test::eventRecord("opened-book", "chapter-1");
    labelled->values = ns::Dictionary{{"pages", ns::Value(12)}, {"book", ns::Value("Fox")}};
    RezOzovaRecords::sharedInstance().add(RezOzovaRecords::Kind::EventsWithValues, labelled);
    // 259 bytes: cut to 256 on a character boundary, so the third character does not fit.
    auto longLabel = test::eventRecord("long", std::string(250, 'y') + "一二三");
    RezOzovaRecords::sharedInstance().add(RezOzovaRecords::Kind::Events, longLabel);
    auto error = std::make_shared<StatError>();
    error->context = "boom";
    RezOzovaRecords::sharedInstance().add(RezOzovaRecords::Kind::Errors, error);
    RezOzovaInternal::sharedInstance().generateEnvelopeFile();

    const auto envelopes = takeEnvelopes();
    ASSERT_EQ(envelopes.size(), 1u);
    const ns::Value& entry = entryOf(envelopes[0]);
    ASSERT_TRUE(entry.isDictionary());

    const ns::Value& stats = field(entry, 1);
    EXPECT_EQ(field(stats, 1).int64Value(), 5);
    EXPECT_EQ(field(stats, 2).int64Value(), 2);
    EXPECT_EQ(field(stats, 3).int64Value(), 40);

    const ns::Value& appInfo = field(entry, 2);
    EXPECT_EQ(field(appInfo, 1).stringValue(), "test-app-key");
    EXPECT_EQ(field(appInfo, 2).stringValue(), "2.3");
    EXPECT_EQ(field(appInfo, 5).int64Value(), 1);
    EXPECT_EQ(field(appInfo, 6).stringValue(), "3.6.6");
    EXPECT_EQ(field(appInfo, 7).stringValue(), "校园版");

    const ns::Value& device = field(entry, 3);
    EXPECT_EQ(field(device, 1).stringValue(), ui::Device::currentDevice().identifierForVendor().UUIDString());
    EXPECT_EQ(field(device, 4).stringValue(), StatSharedUDID::value());
    EXPECT_EQ(field(device, 5).stringValue(), sys::machineIdentifier());
    EXPECT_TRUE(field(device, 6).isNil());  // no CPU fact: left out rather than sent empty
    EXPECT_EQ(field(device, 7).stringValue(), "iOS");
    EXPECT_EQ(field(device, 8).stringValue(), "9.0");
    const auto pixels = StatProtocolData::resolution();
    EXPECT_GT(pixels.height, 0);
    EXPECT_EQ(field(field(device, 9), 1).int64Value(), pixels.height);
    EXPECT_EQ(field(field(device, 9), 2).int64Value(), pixels.width);

    const ns::Value& misc = field(entry, 4);
    EXPECT_EQ(field(misc, 1).int64Value(), 8);
    EXPECT_EQ(field(misc, 2).stringValue(), "zh-Hans");
    EXPECT_TRUE(field(misc, 4).isNil());  // no position is read
    EXPECT_EQ(field(misc, 7).int64Value(), 7);
    EXPECT_EQ(field(misc, 9).int64Value(), 1);  // Wi-Fi

    // The first entry of the installation carries the activation message, and its time is kept once sent.
    EXPECT_EQ(field(field(entry, 5), 1).int64Value(), 1'700'000'000'000);
    EXPECT_EQ(ns::UserDefaults::standard().integerForKey("statActivateMsg"), 1'700'000'000'000);

    const ns::Value& messages = field(entry, 6);
    ASSERT_EQ(messages.count(), 1u);
    EXPECT_EQ(field(messages[0], 1).stringValue(), StatSharedUDID::value());
    const ns::Value& events = field(messages[0], 3);
    ASSERT_EQ(events.count(), 2u);
    EXPECT_EQ(field(events[0], 1).stringValue(), "long");
    EXPECT_EQ(field(field(events[0], 2)["label"], 1).stringValue(), std::string(250, 'y') + "一二");
    EXPECT_EQ(field(events[1], 1).stringValue(), "opened-book");
    const ns::Value& properties = field(events[1], 2);
    EXPECT_EQ(properties.count(), 3u);
    EXPECT_EQ(field(properties["label"], 1).stringValue(), "chapter-1");
    EXPECT_EQ(field(properties["pages"], 2).int64Value(), 12);
    EXPECT_EQ(field(properties["book"], 1).stringValue(), "Fox");
    EXPECT_EQ(field(events[1], 5).int64Value(), 1'700'000'000'000);
    const ns::Value& errors = field(messages[0], 2);
    ASSERT_EQ(errors.count(), 1u);
    EXPECT_EQ(field(errors[0], 2).stringValue(), "boom");

    // Later entries leave the activation message out, and its kept time stays the first one.
    ns::Clock::advance(60);
    test::storeImprint({{"umid", "u-1"}});
    RezOzovaRecords::sharedInstance().add(RezOzovaRecords::Kind::Events, test::eventRecord("next"));
    RezOzovaInternal::sharedInstance().generateEnvelopeFile();
    const auto later = takeEnvelopes();
    ASSERT_EQ(later.size(), 1u);
    EXPECT_TRUE(field(entryOf(later[0]), 5).isNil());
    EXPECT_EQ(ns::UserDefaults::standard().integerForKey("statActivateMsg"), 1'700'000'000'000);
    // The imprint the service handed out goes back with every entry.
    const ns::Value& imprint = field(entryOf(later[0]), 8);
    EXPECT_EQ(field(field(imprint, 1)["umid"], 1).stringValue(), "u-1");
    EXPECT_EQ(field(imprint, 3).stringValue(), "imprint-checksum");
}

TEST_F(LogEntryTest, TheVendorIdentifierReadBackIsTheSameAcrossTwoLaunchesOnOneHome) {
    RezOzovaRecords::sharedInstance().add(RezOzovaRecords::Kind::Events, test::eventRecord("first-launch"));
    RezOzovaInternal::sharedInstance().generateEnvelopeFile();

    // The second launch: another process on the same home, which reads its identity afresh.
    const pid_t child = ::fork();
    if (child == 0) {
        StatSharedUDID::scheme().clearCache();
        RezOzovaEnvelope::sharedInstance().reload();
        RezOzovaRecords::sharedInstance().add(RezOzovaRecords::Kind::Events, test::eventRecord("second-launch"));
        RezOzovaInternal::sharedInstance().generateEnvelopeFile();
        ::_exit(RezOzovaInternal::sharedInstance().hasJob() ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    const auto envelopes = takeEnvelopes();
    ASSERT_EQ(envelopes.size(), 2u);
    const std::string first = field(field(entryOf(envelopes[0]), 3), 1).stringValue();
    EXPECT_EQ(first.size(), 36u);
    EXPECT_EQ(field(field(entryOf(envelopes[1]), 3), 1).stringValue(), first);
    EXPECT_EQ(field(field(field(entryOf(envelopes[1]), 6)[0], 3)[0], 1).stringValue(), "second-launch");
    EXPECT_EQ(field(envelopes[0], 4).int64Value(), 1);
    EXPECT_EQ(field(envelopes[1], 4).int64Value(), 2);
    // The identity digest woven into each GUID (odd bytes, under the same time stamp here) is made of the
    // vendor identifier too, so the two launches' GUIDs agree there.
    const std::string firstGUID = field(envelopes[0], 8).stringValue();
    const std::string secondGUID = field(envelopes[1], 8).stringValue();
    ASSERT_EQ(firstGUID.size(), 64u);
    ASSERT_EQ(secondGUID.size(), 64u);
    EXPECT_EQ(field(envelopes[0], 5).int64Value(), field(envelopes[1], 5).int64Value());
    for (std::size_t k = 2; k <= 13; ++k)
        EXPECT_EQ(firstGUID.substr(2 * (2 * k + 1), 2), secondGUID.substr(2 * (2 * k + 1), 2)) << k;

    // A new installation (another sandbox) has another identifier.
    ns::TemporarySandbox other;
    EXPECT_NE(StatProtocolData::deviceIDVendorString(), first);
}

TEST_F(LogEntryTest, SignInAndSignOffTravelAsTheAccountsIdentitiesAndTheirJournal) {
    test::workEvent(12, ns::Value(ns::Dictionary{{"puid", ns::Value("student-42")}, {"provider", ns::Value("school")}}));
    ns::Clock::advance(5);
    test::workEvent(12, ns::Value(ns::Dictionary{{"puid", ns::Value("student-43")}}));
    test::workEvent(12, ns::Value(ns::Dictionary{{"provider", ns::Value("no id")}}));  // refused: no account
    RezOzovaRecords::sharedInstance().add(RezOzovaRecords::Kind::Events, test::eventRecord("read"));
    RezOzovaInternal::sharedInstance().generateEnvelopeFile();

    // What the client reads back from its own file, once the service has accepted it.
    ASSERT_EQ(RezOzovaUtility::envelopeFiles().size(), 1u);
    const auto delivered = RezOzovaEnvelope::entryOfEnvelopeData(
        *ns::FileManager::defaultManager().contentsAtPath(RezOzovaUtility::envelopeFiles()[0]));
    ASSERT_TRUE(delivered && delivered->id_tracking() && delivered->id_tracking()->journals());
    EXPECT_EQ(delivered->id_tracking()->journals()->size(), 4u);
    auto envelopes = takeEnvelopes();
    ASSERT_EQ(envelopes.size(), 1u);
    const ns::Value& tracking = field(entryOf(envelopes[0]), 9);
    const ns::Value& snapshots = field(tracking, 1);
    EXPECT_EQ(snapshots.count(), 1u);  // the second sign-in named no provider
    EXPECT_EQ(field(snapshots["puid"], 1).stringValue(), "student-43");
    EXPECT_EQ(field(snapshots["puid"], 2).int64Value(), 1'700'000'005'000);
    EXPECT_EQ(field(snapshots["puid"], 3).int64Value(), 2);
    const ns::Value& journals = field(tracking, 2);
    ASSERT_EQ(journals.count(), 4u);
    EXPECT_EQ(field(journals[0], 1).stringValue(), "puid");
    EXPECT_TRUE(field(journals[0], 2).isNil());
    EXPECT_EQ(field(journals[0], 3).stringValue(), "student-42");
    EXPECT_EQ(field(journals[1], 1).stringValue(), "provider");
    EXPECT_EQ(field(journals[2], 2).stringValue(), "student-42");
    EXPECT_EQ(field(journals[2], 3).stringValue(), "student-43");
    EXPECT_EQ(field(journals[3], 2).stringValue(), "school");
    EXPECT_EQ(field(journals[3], 3).stringValue(), "");

    // Once the service took an entry the journal is done with; the account stays, and signing off says so.
    RezOzovaRecords::sharedInstance().saveIdTracking(delivered->id_tracking().get());
    test::workEvent(13);
    RezOzovaRecords::sharedInstance().add(RezOzovaRecords::Kind::Events, test::eventRecord("after"));
    RezOzovaInternal::sharedInstance().generateEnvelopeFile();
    envelopes = takeEnvelopes();
    ASSERT_EQ(envelopes.size(), 1u);
    const ns::Value& after = field(entryOf(envelopes[0]), 9);
    EXPECT_EQ(field(after, 1).count(), 0u);
    ASSERT_EQ(field(after, 2).count(), 1u);
    EXPECT_EQ(field(field(after, 2)[0], 2).stringValue(), "student-43");
    EXPECT_EQ(field(field(after, 2)[0], 3).stringValue(), "");
}

}  // namespace
}  // namespace ql
