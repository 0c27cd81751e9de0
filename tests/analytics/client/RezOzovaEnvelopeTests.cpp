#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "analytics/StatEnvelope.h"
#include "analytics/StatError.h"
#include "analytics/StatEvent.h"
#include "analytics/WireLogEntry.h"
#include "analytics/client/RezOzovaUtility.h"
#include "analytics/client/StatClientConstants.h"
#include "platform/foundation/Digest.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/UserDefaults.h"
#include "tests/analytics/client/ClientTestSupport.h"
#include "tests/support/PeerProcess.h"

namespace ql {
namespace {

const std::string Inflate =
    test::pythonCommand("import sys,zlib; sys.stdout.buffer.write(zlib.decompress(sys.stdin.buffer.read()))");
const std::string HexMD5 = test::pythonCommand("import sys,hashlib; print(hashlib.md5(sys.stdin.buffer.read()).hexdigest(), end='')");

class EnvelopeTest : public test::AnalyticsClientTest {
protected:
    EnvelopeTest() {
        RezOzovaEnvelope::sharedInstance().reload();
        // As after the first launch: the activation message, which rides in the first entry alone, has gone.
        RezOzovaConfig::setConfigure(ns::Value(1), "statActivateMsg");
    }

    static void addEvent(const std::string& id) {
        auto event = std::make_shared<StatEvent>();
        event->event_id = id;
        RezOzovaRecords::sharedInstance().add(RezOzovaRecords::Kind::Events, event);
    }

    static std::shared_ptr<StatEnvelope> readEnvelope(const std::string& path) {
        auto bytes = ns::FileManager::defaultManager().contentsAtPath(path);
        EXPECT_TRUE(bytes) << path;
        return test::decodedRecord<StatEnvelope>(bytes.value_or(ns::Data()));
    }

    // The log entry inside a plain payload, inflated by an independent zlib.
    static std::shared_ptr<WireLogEntry> logEntryOf(const ns::Data& payload) {
        auto inflated = test::runPeer(Inflate, payload.view());
        EXPECT_TRUE(inflated);
        return test::decodedRecord<WireLogEntry>(ns::Data(inflated.value_or("")));
    }

    // The events and errors of the entry, which gathers them in one instant message.
    static std::shared_ptr<WireInstantMsg> entryOf(const ns::Data& payload) {
        const auto entry = logEntryOf(payload);
        EXPECT_TRUE(entry->instant_msgs() && entry->instant_msgs()->size() == 1u);
        if (!entry->instant_msgs() || entry->instant_msgs()->empty()) return std::make_shared<WireInstantMsg>();
        return entry->instant_msgs()->front();
    }

    static std::int32_t timestampFromGUID(const std::shared_ptr<StatEnvelope>& envelope, const ns::Data& signature) {
        auto guid = ns::Data();
        const std::string& hex = *envelope->guid();
        for (std::size_t i = 0; i < hex.size(); i += 2) {
            const auto byte = static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16));
            guid.append(&byte, 1);
        }
        const auto* g = guid.bytes();
        const auto* s = signature.bytes();
        return static_cast<std::int32_t>(std::uint32_t(g[0] ^ s[0]) | std::uint32_t(g[1] ^ s[1]) << 8 |
                                         std::uint32_t(g[30] ^ s[30]) << 16 | std::uint32_t(g[31] ^ s[31]) << 24);
    }
};

TEST_F(EnvelopeTest, TheFirstEnvelopeDecodesBackAndItsChecksumVerifies) {
    // The shared builder never names a file before the last one it named, and every test's clock starts at
    // the same moment: this test's envelope is made a day after any other test's, and a day after its own
    // when the tests are run again in the process.
    static int runs = 0;
    const std::int64_t seconds = 1'700'000'000 + 86'400 * std::int64_t{++runs};
    ns::Clock::advance(static_cast<double>(seconds - 1'700'000'000));
    auto& envelope = RezOzovaEnvelope::sharedInstance();
    addEvent("opened-book");
    const auto data = envelope.makeEnvelopeData();
    ASSERT_TRUE(data);

    const auto files = RezOzovaUtility::envelopeFiles();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(ns::lastPathComponent(files[0]), std::to_string(seconds) + "000_envelope.log");
    const auto record = readEnvelope(files[0]);
    EXPECT_EQ(record->version(), "V1.0");
    EXPECT_EQ(record->address(), "test-app-key");
    EXPECT_EQ(record->serial_num(), 1);
    EXPECT_EQ(record->ts_secs(), seconds);
    EXPECT_EQ(record->codex(), 0);

    const ns::Value signature = ns::UserDefaults::standard().objectForKey("statSignature");
    ASSERT_TRUE(signature.isData());
    ASSERT_EQ(signature.asData()->length(), 32u);
    EXPECT_EQ(record->signature(), ns::hexString(*signature.asData()));
    EXPECT_EQ(timestampFromGUID(record, *signature.asData()), seconds);
    EXPECT_TRUE(envelope.verifyTimestamp());
    EXPECT_TRUE(envelope.verifyChecksum());

    const auto logEntry = logEntryOf(*record->entity());
    const auto entry = entryOf(*record->entity());
    ASSERT_TRUE(entry->events());
    ASSERT_EQ(entry->events()->size(), 1u);
    EXPECT_EQ((*entry->events())[0]->name(), "opened-book");
    EXPECT_EQ(entry->id(), StatSharedUDID::value());
    EXPECT_EQ(record->length(), static_cast<std::int32_t>(test::serializedRecord(*logEntry).length()));

    const std::string checked = *record->signature() + "1" + std::to_string(seconds) + std::to_string(*std::optional(record->length())) +
                                *record->guid();
    EXPECT_EQ(record->checksum(), test::runPeer(HexMD5, checked));
    EXPECT_EQ(ns::UserDefaults::standard().integerForKey("statSerialNum"), 2);
}

TEST_F(EnvelopeTest, LaterEnvelopesStampTheirTimeAndNeverShareAFile) {
    auto& envelope = RezOzovaEnvelope::sharedInstance();
    addEvent("a");
    ASSERT_TRUE(envelope.makeEnvelopeData());
    RezOzovaRecords::sharedInstance().clearPacked();
    addEvent("b");
    ns::Clock::advance(1.0004);  // the same millisecond as the next one
    ASSERT_TRUE(envelope.makeEnvelopeData());
    RezOzovaRecords::sharedInstance().clearPacked();
    addEvent("c");
    ASSERT_TRUE(envelope.makeEnvelopeData());

    const auto files = RezOzovaUtility::envelopeFiles();
    ASSERT_EQ(files.size(), 3u);
    const ns::Data signature = *envelope.signature();
    std::vector<std::string> names;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const auto record = readEnvelope(files[i]);
        EXPECT_EQ(record->serial_num(), static_cast<std::int32_t>(i + 1));
        names.push_back(*(*entryOf(*record->entity())->events())[0]->name());
        if (i > 0) {
            EXPECT_EQ(timestampFromGUID(record, signature), 1'700'000'001);
        }
    }
    EXPECT_EQ(names, (std::vector<std::string>{"a", "b", "c"}));  // name order is creation order
    EXPECT_TRUE(envelope.verifyTimestamp());
    EXPECT_TRUE(envelope.verifyChecksum());
}

TEST_F(EnvelopeTest, TheImprintDecidesEncryptionAndAnIndependentPeerDecrypts) {
    auto& envelope = RezOzovaEnvelope::sharedInstance();
    addEvent("warm-up");
    ASSERT_TRUE(envelope.makeEnvelopeData());  // makes the signature
    RezOzovaRecords::sharedInstance().clearPacked();

    test::storeImprint({{"codex", "1"}});
    addEvent("secret");
    const auto data = envelope.makeEnvelopeData();
    ASSERT_TRUE(data);
    const auto record = test::decodedRecord<StatEnvelope>(*data);
    EXPECT_EQ(record->codex(), 1);
    const ns::Data& payload = *record->entity();
    EXPECT_EQ(payload.length() % 16, 0u);
    EXPECT_EQ(envelope.entityMD5().compare(ns::md5(payload)), 0);
    EXPECT_TRUE(envelope.verifyChecksum());

    const std::string key = ns::hexString(envelope.signature()->subdata(1, 16));
    const std::string iv = ns::hexString(ns::Data(StatEncryptionIV.data(), StatEncryptionIV.size()));
    const auto plain = test::runPeer("openssl enc -d -aes-128-cbc -K " + key + " -iv " + iv, payload.view());
    ASSERT_TRUE(plain);
    EXPECT_EQ((*entryOf(ns::Data(*plain))->events())[0]->name(), "secret");
    RezOzovaRecords::sharedInstance().clearPacked();

    // The service's "0" wins over the host app's wish.
    test::storeImprint({{"codex", "0"}});
    RezOzovaApp::sharedInstance().setEncryptEnabled(true);
    addEvent("open");
    const auto plainRecord = test::decodedRecord<StatEnvelope>(*envelope.makeEnvelopeData());
    EXPECT_EQ(plainRecord->codex(), 0);
    EXPECT_EQ((*entryOf(*plainRecord->entity())->events())[0]->name(), "open");
}

TEST_F(EnvelopeTest, ChecksumOfAKnownSerialAndLength) {
    auto& envelope = RezOzovaEnvelope::sharedInstance();
    RezOzovaConfig::setConfigure(ns::Value(7), "statSerialNum");
    envelope.setLength(321);
    envelope.setTimestamp(1'700'000'123);
    const auto data = envelope.toDataWithEntity(ns::Data(std::string_view("payload bytes")));
    ASSERT_TRUE(data);
    const auto record = test::decodedRecord<StatEnvelope>(*data);
    EXPECT_EQ(record->serial_num(), 7);
    EXPECT_EQ(record->length(), 321);
    const std::string text = *record->signature() + "7" + "1700000123" + "321" + *record->guid();
    EXPECT_EQ(record->checksum(), test::runPeer(HexMD5, text));
}

TEST_F(EnvelopeTest, NoRecordsNoEnvelopeButTheSerialAdvancesAndTheExchangeFileStaysPut) {
    auto& envelope = RezOzovaEnvelope::sharedInstance();
    EXPECT_FALSE(envelope.makeEnvelopeData());
    EXPECT_TRUE(RezOzovaUtility::envelopeFiles().empty());
    EXPECT_EQ(ns::UserDefaults::standard().integerForKey("statSerialNum"), 1);

    addEvent("x");
    ASSERT_TRUE(envelope.makeEnvelopeData());
    const std::string path = RezOzovaUtility::exchangeIdentityPath();
    const auto before = ns::FileManager::defaultManager().attributesOfItemAtPath(path);
    ASSERT_TRUE(before);
    const auto json = test::runPeer(
        test::pythonCommand("import sys,json,hashlib; d=json.load(sys.stdin); s=bytes.fromhex(d['signature']);"
                            "print(d['appkey'], d['checksum'] == hashlib.md5(s[2:18].hex().encode()).hexdigest().upper())"),
        ns::FileManager::defaultManager().contentsAtPath(path)->view());
    EXPECT_EQ(json, "test-app-key True\n");
    envelope.checkExchangeData();
    const auto after = ns::FileManager::defaultManager().attributesOfItemAtPath(path);
    EXPECT_EQ(after->systemFileNumber, before->systemFileNumber);  // not replaced
}

TEST_F(EnvelopeTest, TimeStampsAndCountsBeyondTheirWireFieldsAreHeldAtTheirEnds) {
    // Records are objects anyone may fill (or archives bring back): their time stamps may be anything.
    constexpr std::int64_t most = std::numeric_limits<std::int64_t>::max();
    constexpr std::int64_t least = std::numeric_limits<std::int64_t>::min();
    const std::vector<std::pair<double, std::int64_t>> stamps{
        {1e300, most}, {-1e300, least}, {INFINITY, most}, {NAN, 0}, {1'700'000'000.5, 1'700'000'000'500}};
    for (const auto& [seconds, millis] : stamps) {
        auto event = std::make_shared<StatEvent>();
        event->event_id = "e";
        event->ts = seconds;
        event->acc = std::int64_t{1} << 40;
        RezOzovaRecords::sharedInstance().add(RezOzovaRecords::Kind::Events, event);
        auto error = std::make_shared<StatError>();
        error->ts = seconds;
        RezOzovaRecords::sharedInstance().add(RezOzovaRecords::Kind::Errors, error);
    }
    const auto payload = RezOzovaRecords::sharedInstance().entityData();
    ASSERT_TRUE(payload);
    const auto entry = entryOf(*payload);
    ASSERT_EQ(entry->events()->size(), stamps.size());
    ASSERT_EQ(entry->errors()->size(), stamps.size());
    for (std::size_t i = 0; i < stamps.size(); ++i) {
        EXPECT_EQ((*entry->events())[i]->ts(), stamps[i].second) << stamps[i].first;
        EXPECT_EQ((*entry->errors())[i]->ts(), stamps[i].second) << stamps[i].first;
        EXPECT_EQ((*entry->events())[i]->acc(), std::numeric_limits<std::int32_t>::max());
    }
}

TEST_F(EnvelopeTest, StoredCountsAtTheEndsOfSixtyFourBitsStayThere) {
    // The settings file may hold any number: counting on from its ends must not overflow.
    constexpr std::int64_t most = std::numeric_limits<std::int64_t>::max();
    constexpr std::int64_t least = std::numeric_limits<std::int64_t>::min();
    RezOzovaConfig::setConfigure(ns::Value(most), "statSerialNum");
    RezOzovaConfig::setConfigure(ns::Value(1e300), "statSuccessfulRequests");
    RezOzovaConfig::setConfigure(ns::Value(least), "statFailedRequests");
    addEvent("x");
    ASSERT_TRUE(RezOzovaEnvelope::sharedInstance().makeEnvelopeData());
    auto& defaults = ns::UserDefaults::standard();
    EXPECT_EQ(defaults.integerForKey("statSerialNum"), most);
    RezOzovaConfig::incrementRequest(true, 1);
    RezOzovaConfig::incrementRequest(false, 1);
    EXPECT_EQ(defaults.integerForKey("statSuccessfulRequests"), most);
    EXPECT_EQ(defaults.integerForKey("statFailedRequests"), least + 1);
    RezOzovaConfig::setConfigure(ns::Value(least), "statPeriodEvtCount");
    RezOzovaConfig::addToCount("statPeriodEvtCount", -5);
    EXPECT_EQ(defaults.integerForKey("statPeriodEvtCount"), least);
}

TEST_F(EnvelopeTest, PrintBytesLogsEachByteInLowerCaseHexBetweenBrackets) {
    const std::uint8_t bytes[] = {0x0a, 0xff, 0x00, 0x7f};
    ns::Log::Capture capture;
    RezOzovaEnvelope::printBytes(bytes, sizeof bytes);
    RezOzovaApp::sharedInstance().setLogEnabled(true);
    RezOzovaEnvelope::printBytes(bytes, sizeof bytes);
    RezOzovaEnvelope::printBytes(bytes, 0);
    EXPECT_EQ(capture.lines(), (std::vector<std::string>{"STATLOG: < 0a ff 00 7f >", "STATLOG: < >"}));
}

TEST_F(EnvelopeTest, AnEntryTooLargeToSendIsDroppedWithItsRecords) {
    std::uint32_t state = 99;
    for (int i = 0; i < 3000; ++i) {
        std::string id;
        for (int k = 0; k < 100; ++k) id += static_cast<char>(33 + ((state = state * 1664525 + 1013904223) >> 24) % 94);
        addEvent(id);
    }
    EXPECT_FALSE(RezOzovaRecords::sharedInstance().entityData());
    EXPECT_FALSE(RezOzovaRecords::sharedInstance().hasPending());
    EXPECT_FALSE(RezOzovaEnvelope::sharedInstance().makeEnvelopeData());
    EXPECT_TRUE(RezOzovaUtility::envelopeFiles().empty());
}

}  // namespace
}  // namespace ql
