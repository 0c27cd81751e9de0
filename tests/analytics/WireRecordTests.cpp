#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "analytics/StatEnvelope.h"
#include "analytics/WireActivateMsg.h"
#include "analytics/WireAppInfo.h"
#include "analytics/WireClientStats.h"
#include "analytics/WireDeviceInfo.h"
#include "analytics/WireError.h"
#include "analytics/WireEvent.h"
#include "analytics/WireIdTracking.h"
#include "analytics/WireInstantMsg.h"
#include "analytics/WireLogEntry.h"
#include "analytics/WireLocation.h"
#include "analytics/WireMiscInfo.h"
#include "analytics/WirePage.h"
#include "analytics/WireResponse.h"
#include "analytics/WireTraffic.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/PropertyListSerialization.h"
#include "platform/foundation/PropertyListUID.h"
#include "tests/analytics/WireTestSupport.h"

using namespace ql;
using ql::testing::readInto;
using ql::testing::written;

namespace {

std::string validationFailure(const auto& record) {
    try {
        record.validate();
    } catch (const WireProtocolException& e) {
        EXPECT_EQ(e.name(), "WireProtocolException");
        return e.reason();
    }
    return "";
}

// ---- Filling every field of any record, through the same field table the records use ----

template <class R>
std::shared_ptr<R> populated(int seed);

template <class Kind>
struct Sample;
template <>
struct Sample<WireDouble> {
    static double make(int seed) { return seed + 0.5; }
};
template <>
struct Sample<WireI32> {
    static std::int32_t make(int seed) { return -seed; }
};
template <>
struct Sample<WireI64> {
    static std::int64_t make(int seed) { return (std::int64_t{1} << 40) + seed; }
};
template <>
struct Sample<WireString> {
    static std::optional<std::string> make(int seed) { return "文本 " + std::to_string(seed); }
};
template <>
struct Sample<WireBinary> {
    static std::optional<ns::Data> make(int seed) { return ns::Data(std::string(3, static_cast<char>(seed))); }
};
template <class R>
struct Sample<WireStruct<R>> {
    static std::shared_ptr<R> make(int seed) { return populated<R>(seed + 1); }
};
template <class R>
struct Sample<WireMap<R>> {
    static std::shared_ptr<WireRecordMap<R>> make(int seed) {
        return std::make_shared<WireRecordMap<R>>(
            WireRecordMap<R>{{"b", populated<R>(seed + 1)}, {"a", populated<R>(seed + 2)}});
    }
};
template <class R>
struct Sample<WireList<R>> {
    static std::shared_ptr<WireRecordList<R>> make(int seed) {
        return std::make_shared<WireRecordList<R>>(WireRecordList<R>{populated<R>(seed + 1), populated<R>(seed + 2)});
    }
};

template <class R>
std::shared_ptr<R> populated(int seed) {
    auto record = std::make_shared<R>();
    auto fill = [&]<class Kind>(const WireFieldInfo& field, WireSlot<Kind>& slot) {
        slot.value = Sample<Kind>::make(seed + field.id);
        slot.setSet(true);
    };
    wire::visitFields<R>(*record, fill);
    return record;
}

// Sets or unsets one field by name, whatever its kind.
template <class R>
void unsetField(R& record, std::string_view name) {
    auto unset = [&]<class Kind>(const WireFieldInfo& field, WireSlot<Kind>& slot) {
        if (field.name == name) slot.setSet(false);
    };
    wire::visitFields<R>(record, unset);
}

template <class R>
std::vector<std::string> fieldNames() {
    std::vector<std::string> names;
    R record;
    auto collect = [&]<class Kind>(const WireFieldInfo& field, WireSlot<Kind>&) { names.emplace_back(field.name); };
    wire::visitFields<R>(record, collect);
    return names;
}

template <class R>
std::shared_ptr<R> readBack(const std::shared_ptr<R>& record) {
    auto buffer = std::make_shared<WireMemoryBuffer>();
    WireBinaryProtocol protocol(buffer);
    record->write(protocol);
    auto copy = std::make_shared<R>();
    WireBinaryProtocol reader(std::make_shared<WireMemoryBuffer>(buffer->getBuffer()));
    copy->read(reader);
    EXPECT_EQ(reader.transport()->bytesRemaining(), 0u);
    return copy;
}

template <class R>
std::shared_ptr<R> unarchived(const std::shared_ptr<R>& record) {
    ns::Error error("", 0);
    auto data = ns::KeyedArchiver::archivedDataWithRootObject(ns::Value(record), &error);
    EXPECT_TRUE(data) << error.description();
    if (!data) return nullptr;
    auto copy = ns::KeyedUnarchiver::unarchiveObjectWithData(*data, &error).asObject<R>();
    EXPECT_TRUE(copy) << error.description();
    return copy;
}

// ---- Every record type ----

// The required fields of each record, in the order validate checks them.
template <class R>
struct Required;
#define QL_REQUIRED(R, ...)                                               \
    template <>                                                           \
    struct Required<R> {                                                  \
        static std::vector<std::string> names() { return {__VA_ARGS__}; } \
    }
QL_REQUIRED(WireIdSnapshot, "identity", "ts", "version");
QL_REQUIRED(WireIdJournal, "domain", "new_id", "ts");
QL_REQUIRED(WireIdTracking, "snapshots");
QL_REQUIRED(WireImprintValue, "ts", "guid");
QL_REQUIRED(WireImprint, "property", "version", "checksum");
QL_REQUIRED(WireResponse, "resp_code");
QL_REQUIRED(WireAppInfo, "key", "sdk_type", "sdk_version", "channel");
QL_REQUIRED(WireResolution, "height", "width");
QL_REQUIRED(WireTraffic, "upload_traffic", "download_traffic");
QL_REQUIRED(WireDeviceInfo);
QL_REQUIRED(WireClientStats, "successful_requests", "failed_requests");
QL_REQUIRED(WireMiscInfo);
QL_REQUIRED(WirePage, "page_name", "duration");
QL_REQUIRED(WireError, "ts", "context");
QL_REQUIRED(WirePropertyValue);
QL_REQUIRED(WireEvent, "name", "properties", "ts");
QL_REQUIRED(WireLocation, "lat", "lng", "ts");
QL_REQUIRED(WireActivateMsg, "ts");
QL_REQUIRED(WireInstantMsg, "id");
QL_REQUIRED(WireSession, "id", "start_time", "end_time", "duration");
QL_REQUIRED(WireLogEntry, "client_stats", "app_info", "device_info", "misc_info");
QL_REQUIRED(StatEnvelope);
#undef QL_REQUIRED

template <class R>
class EveryRecord : public ::testing::Test {};
using RecordTypes = ::testing::Types<WireIdSnapshot, WireIdJournal, WireIdTracking, WireImprintValue, WireImprint,
                                     WireResponse, WireAppInfo, WireResolution, WireTraffic, WireDeviceInfo,
                                     WireClientStats, WireMiscInfo, WirePage, WireError, WirePropertyValue, WireEvent,
                                     WireLocation, WireActivateMsg, WireInstantMsg, WireSession, WireLogEntry,
                                     StatEnvelope>;
TYPED_TEST_SUITE(EveryRecord, RecordTypes);

TYPED_TEST(EveryRecord, ReadsBackEveryFieldItWrites) {
    auto record = populated<TypeParam>(3);
    auto copy = readBack(record);
    EXPECT_EQ(copy->description(), record->description());
    EXPECT_EQ(written(*copy), written(*record));
    // Every field went over the wire and came back set.
    for (const auto& name : fieldNames<TypeParam>()) EXPECT_NE(copy->description().find(name + ":"), std::string::npos);
    EXPECT_EQ(validationFailure(*copy), "");
}

TYPED_TEST(EveryRecord, ValidatesTheLowestMissingRequiredField) {
    const auto required = Required<TypeParam>::names();
    // Only the required fields set: valid.
    auto minimal = populated<TypeParam>(1);
    for (const auto& name : fieldNames<TypeParam>())
        if (std::find(required.begin(), required.end(), name) == required.end()) unsetField(*minimal, name);
    EXPECT_EQ(validationFailure(*minimal), "");
    // With the k-th required field and all after it unset, the k-th is named.
    for (std::size_t k = 0; k < required.size(); ++k) {
        auto record = populated<TypeParam>(1);
        for (std::size_t j = k; j < required.size(); ++j) unsetField(*record, required[j]);
        EXPECT_EQ(validationFailure(*record), "Required field '" + required[k] + "' is not set.");
    }
}

TYPED_TEST(EveryRecord, ArchivesItsSetFields) {
    auto record = populated<TypeParam>(5);
    auto copy = unarchived(record);
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->description(), record->description());
    EXPECT_EQ(written(*copy), written(*record));

    // One field set gives one field set, without any default.
    const auto names = fieldNames<TypeParam>();
    for (const auto& name : names)
        if (name != names.back()) unsetField(*record, name);
    auto single = unarchived(record);
    ASSERT_TRUE(single);
    EXPECT_EQ(written(*single), written(*record));
}

// ---- Bytes from the record conventions ----

TEST(WireRecord, WritesExactlyTheSetFields) {
    EXPECT_EQ(written(WireDeviceInfo()), "00");
    EXPECT_EQ(written(WireIdSnapshot("ab", 5, 1)),
              "0B 00 01 00 00 00 02 61 62 0A 00 02 00 00 00 00 00 00 00 05 08 00 03 00 00 00 01 00");

    WireResponse response;
    response.setResp_code(0x01020304);
    EXPECT_EQ(written(response), "08 00 01 01 02 03 04 00");

    EXPECT_EQ(written(WireClientStats()), "08 00 01 00 00 00 00 08 00 02 00 00 00 00 00");
    WireActivateMsg activate;
    activate.setTs(1);
    EXPECT_EQ(written(activate), "0A 00 01 00 00 00 00 00 00 00 01 00");

    WireIdJournal journal;
    journal.setDomain("d");
    journal.setNew_id("n");
    journal.setTs(2);
    EXPECT_EQ(written(journal), "0B 00 01 00 00 00 01 64 0B 00 03 00 00 00 01 6E 0A 00 04 00 00 00 00 00 00 00 02 00");
    EXPECT_EQ(validationFailure(journal), "");

    WireIdTracking tracking;
    tracking.setSnapshots(std::make_shared<WireRecordMap<WireIdSnapshot>>());
    EXPECT_EQ(written(tracking), "0D 00 01 0B 0C 00 00 00 00 00");

    WireInstantMsg instant;
    instant.setId("x");
    instant.setEvents(std::make_shared<WireRecordList<WireEvent>>());
    EXPECT_EQ(written(instant), "0B 00 01 00 00 00 01 78 0F 00 03 0C 00 00 00 00 00");

    WireEvent event;
    event.setName("e");
    event.setProperties(std::make_shared<WireRecordMap<WirePropertyValue>>());
    event.setDuration(3);
    event.setTs(4);
    EXPECT_EQ(validationFailure(event), "");
    EXPECT_EQ(written(event),
              "0B 00 01 00 00 00 01 65 0D 00 02 0B 0C 00 00 00 00 "
              "0A 00 03 00 00 00 00 00 00 00 03 0A 00 05 00 00 00 00 00 00 00 04 00");

    WireLocation location(-1.5, 0, 9);
    EXPECT_EQ(written(location),
              "04 00 01 BF F8 00 00 00 00 00 00 04 00 02 00 00 00 00 00 00 00 00 "
              "0A 00 03 00 00 00 00 00 00 00 09 00");
}

TEST(StatEnvelope, WritesItsFieldsWithTheEntityAsBytes) {
    StatEnvelope envelope;
    envelope.setVersion("V1.0");
    envelope.setSerial_num(7);
    envelope.setEntity(ns::Data(std::string_view("\x01\xFF", 2)));
    envelope.setCodex(0);
    EXPECT_EQ(written(envelope),
              "0B 00 01 00 00 00 04 56 31 2E 30 08 00 04 00 00 00 07 "
              "0B 00 07 00 00 00 02 01 FF 08 00 0A 00 00 00 00 00");
    // The entity is not text: bytes that are not UTF-8 come back as they were.
    StatEnvelope copy;
    readInto(copy, written(envelope));
    ASSERT_TRUE(copy.entity());
    EXPECT_EQ(copy.entity()->length(), 2u);
    EXPECT_EQ(copy.entity()->bytes()[1], 0xFF);
}

TEST(WireRecord, LeavesOutFieldsMarkedSetThatHoldNothing) {
    // The all-fields initializer marks every field set, also those given as none.
    WireImprintValue value(std::nullopt, 1, "g");
    EXPECT_TRUE(value.valueIsSet());
    EXPECT_EQ(validationFailure(value), "");
    EXPECT_EQ(written(value), "0A 00 02 00 00 00 00 00 00 00 01 0B 00 03 00 00 00 01 67 00");
    // Only the flag counts for validate: a required text set to none passes.
    WireImprintValue noGuid(std::nullopt, 1, std::nullopt);
    EXPECT_EQ(validationFailure(noGuid), "");
    noGuid.unsetGuid();
    EXPECT_EQ(validationFailure(noGuid), "Required field 'guid' is not set.");

    WireIdTracking tracking(nullptr, nullptr, std::nullopt);
    EXPECT_EQ(written(tracking), "00");
    EXPECT_EQ(validationFailure(tracking), "");
}

TEST(WireRecord, UnsettingANumberKeepsItsValue) {
    WireIdSnapshot snapshot;
    snapshot.setTs(7);
    snapshot.unsetTs();
    EXPECT_FALSE(snapshot.tsIsSet());
    EXPECT_EQ(snapshot.ts(), 7);
    EXPECT_EQ(written(snapshot), "00");
    snapshot.setIdentity("x");
    snapshot.unsetIdentity();
    EXPECT_EQ(snapshot.identity(), std::nullopt);

    WireClientStats stats;
    EXPECT_EQ(validationFailure(stats), "");
    stats.unsetSuccessful_requests();
    EXPECT_EQ(validationFailure(stats), "Required field 'successful_requests' is not set.");
    WireAppInfo app;
    app.setKey("k");
    app.setSdk_version("1");
    app.setChannel("c");
    EXPECT_EQ(validationFailure(app), "Required field 'sdk_type' is not set.");
}

TEST(WireRecord, SharesTheListsAndMapsItIsGiven) {
    auto journals = std::make_shared<WireRecordList<WireIdJournal>>();
    WireIdTracking tracking;
    tracking.setJournals(journals);
    journals->push_back(std::make_shared<WireIdJournal>("d", std::nullopt, "n", 1));
    EXPECT_EQ(tracking.journals()->size(), 1u);
    EXPECT_EQ(tracking.journals(), journals);
    // A null element has no wire form and is left out of the count too.
    journals->push_back(nullptr);
    EXPECT_EQ(written(tracking),
              "0F 00 02 0C 00 00 00 01 0B 00 01 00 00 00 01 64 0B 00 03 00 00 00 01 6E "
              "0A 00 04 00 00 00 00 00 00 00 01 00 00");
}

// ---- Reading ----

TEST(WireRecord, SkipsUnknownIdsAndUnexpectedTypes) {
    WireResponse response;
    // Field 3 as a text, field 9 unknown, then field 2.
    readInto(response,
             "08 00 01 00 00 00 01 0B 00 03 00 00 00 01 61 08 00 09 00 00 00 05 "
             "0B 00 02 00 00 00 02 6F 6B 00");
    EXPECT_EQ(response.resp_code(), 1);
    EXPECT_FALSE(response.imprintIsSet());
    EXPECT_EQ(response.msg(), "ok");

    WireMiscInfo misc;
    readInto(misc, "08 00 04 00 00 00 05 04 00 05 40 00 00 00 00 00 00 00 00");
    EXPECT_FALSE(misc.latitudeIsSet());
    EXPECT_TRUE(misc.longitudeIsSet());
    EXPECT_EQ(misc.longitude(), 2.0);

    WireIdSnapshot snapshot;
    readInto(snapshot, "0B 00 02 00 00 00 01 61 0F 00 07 08 00 00 00 01 00 00 00 01 08 00 03 00 00 00 04 00");
    EXPECT_FALSE(snapshot.tsIsSet());
    EXPECT_EQ(snapshot.version(), 4);
}

TEST(WireRecord, ReadsNestedRecordsMapsAndLists) {
    WireResponse response;
    readInto(response,
             "08 00 01 00 00 00 01 "
             "0C 00 03 "                                            // imprint
             "0D 00 01 0B 0C 00 00 00 02 "                          //   two properties, the same key twice
             "00 00 00 01 6B 0A 00 02 00 00 00 00 00 00 00 01 00 "  //   k: ts 1
             "00 00 00 01 6B 0A 00 02 00 00 00 00 00 00 00 02 00 "  //   k: ts 2
             "08 00 02 00 00 00 03 00 "                             //   version 3
             "00");
    ASSERT_TRUE(response.imprint());
    ASSERT_EQ(response.imprint()->property()->size(), 1u);
    EXPECT_EQ(response.imprint()->property()->at("k")->ts(), 2);
    EXPECT_EQ(response.imprint()->version(), 3);

    WireIdTracking tracking;
    readInto(tracking, "0D 00 01 0B 0C 00 00 00 00 00");
    EXPECT_TRUE(tracking.snapshotsIsSet());
    ASSERT_TRUE(tracking.snapshots());
    EXPECT_TRUE(tracking.snapshots()->empty());

    WireInstantMsg instant;
    readInto(instant,
             "0F 00 03 0C 00 00 00 01 0B 00 01 00 00 00 01 65 00 "
             "0F 00 04 0C 00 00 00 02 0B 00 01 00 00 00 01 67 00 00 "
             "0F 00 02 0C FF FF FF FF 00");
    ASSERT_EQ(instant.events()->size(), 1u);
    EXPECT_EQ(instant.events()->at(0)->name(), "e");
    ASSERT_EQ(instant.game_events()->size(), 2u);
    EXPECT_EQ(instant.game_events()->at(0)->name(), "g");
    EXPECT_FALSE(instant.game_events()->at(1)->nameIsSet());
    // A negative count is an empty list, still set.
    EXPECT_TRUE(instant.errorsIsSet());
    EXPECT_TRUE(instant.errors()->empty());
}

TEST(WireRecord, ReadingKeepsWhatItHadAndWhatItReadBeforeAFailure) {
    WireIdSnapshot snapshot;
    snapshot.setIdentity("kept");
    readInto(snapshot, "08 00 03 00 00 00 01 00");
    EXPECT_EQ(snapshot.identity(), "kept");
    EXPECT_EQ(snapshot.version(), 1);

    WireIdSnapshot truncated;
    try {
        readInto(truncated, "0A 00 02 00 00 00 00 00 00 00 09 0B 00 01 00 00 00 09 61");
        ADD_FAILURE() << "no exception";
    } catch (const WireProtocolException& e) {
        EXPECT_EQ(e.reason(), "Length beyond the data in readString, size: 9, bytes left: 1");
    }
    EXPECT_EQ(truncated.ts(), 9);
    EXPECT_FALSE(truncated.identityIsSet());

    // A map key that is not text cannot be stored.
    WireImprint imprint;
    EXPECT_THROW(readInto(imprint, "0D 00 01 0B 0C 00 00 00 01 00 00 00 01 FF 00 00"), WireProtocolException);
}

// ---- Text form and archives ----

TEST(WireRecord, DescribesEveryField) {
    EXPECT_EQ(WireIdSnapshot("ab", 5, 1).description(), "IdSnapshot(identity:\"ab\",ts:5,version:1)");
    EXPECT_EQ(WireIdSnapshot().description(), "IdSnapshot(identity:\"(null)\",ts:0,version:0)");
    WireLocation location(31.23, -121.5, 1);
    EXPECT_EQ(location.description(), "Location(lat:31.230000,lng:-121.500000,ts:1)");
    WireResponse response(1, "m", std::make_shared<WireImprint>());
    EXPECT_EQ(response.description(),
              "Response(resp_code:1,msg:\"m\",imprint:Imprint(property:(null),version:0,checksum:\"(null)\"))");
    WireIdTracking tracking;
    tracking.setSnapshots(std::make_shared<WireRecordMap<WireIdSnapshot>>(
        WireRecordMap<WireIdSnapshot>{{"idfa", std::make_shared<WireIdSnapshot>("x", 1, 2)}}));
    EXPECT_EQ(tracking.description(),
              "IdTracking(snapshots:{\n    idfa = IdSnapshot(identity:\"x\",ts:1,version:2);\n},"
              "journals:(null),checksum:\"(null)\")");
}

TEST(WireRecord, UnarchivingAppliesNoDefaultsAndRefusesWrongKinds) {
    auto stats = std::make_shared<WireClientStats>();
    stats->unsetSuccessful_requests();
    stats->unsetFailed_requests();
    stats->setLast_request_spent_ms(12);
    auto copy = unarchived(stats);
    ASSERT_TRUE(copy);
    EXPECT_FALSE(copy->successful_requestsIsSet());
    EXPECT_FALSE(copy->failed_requestsIsSet());
    EXPECT_EQ(copy->last_request_spent_ms(), 12);

    // A text field archived as a number makes the archive unreadable, not the record wrong.
    const auto uid = [](std::uint64_t i) { return ns::PropertyListUID::make(i); };
    ns::Array objects{
        ns::Value("$null"),
        ns::Value(ns::Dictionary{{"$class", uid(3)}, {"identity", uid(2)}, {"ts", ns::Value(5)}}),
        ns::Value(5),
        ns::Value(
            ns::Dictionary{{"$classname", ns::Value("WireIdSnapshot")},
                           {"$classes", ns::Value(ns::Array{ns::Value("WireIdSnapshot"), ns::Value("NSObject")})}}),
    };
    const auto archive = [&](ns::Array table) {
        return *ns::PropertyListSerialization::dataWithPropertyList(
            ns::Value(ns::Dictionary{{"$archiver", ns::Value("NSKeyedArchiver")},
                                     {"$version", ns::Value(100000)},
                                     {"$top", ns::Value(ns::Dictionary{{"root", uid(1)}})},
                                     {"$objects", ns::Value(std::move(table))}}),
            ns::PropertyListFormat::Binary, nullptr);
    };
    ns::Error error("", 0);
    EXPECT_TRUE(ns::KeyedUnarchiver::unarchiveObjectWithData(archive(objects), &error).isNil());
    EXPECT_EQ(error.code(), ns::CoderReadCorruptError);
    EXPECT_EQ(error.userInfo()[ns::DebugDescriptionErrorKey].asString(),
              "value for key (identity) is not of class NSString");
    // The same archive with a text there reads.
    objects[2] = ns::Value("id");
    auto snapshot = ns::KeyedUnarchiver::unarchiveObjectWithData(archive(objects), &error).asObject<WireIdSnapshot>();
    ASSERT_TRUE(snapshot);
    EXPECT_EQ(snapshot->description(), "IdSnapshot(identity:\"id\",ts:5,version:0)");
    EXPECT_FALSE(snapshot->versionIsSet());
}

}  // namespace
