// Every record's bytes against bytes assembled by hand from the record formats (a type byte, a big-endian
// 16-bit field id, then the value; texts as a 32-bit length and their bytes; 0 ends a struct), written
// here independently of the records' field tables: a field moved to another id or type fails here.

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <cstdio>
#include <set>
#include <string>
#include <string_view>

#include "analytics/WireActivateMsg.h"
#include "analytics/WireAppInfo.h"
#include "analytics/WireClientStats.h"
#include "analytics/WireDeviceInfo.h"
#include "analytics/WireError.h"
#include "analytics/WireEvent.h"
#include "analytics/WireIdTracking.h"
#include "analytics/WireInstantMsg.h"
#include "analytics/WireLocation.h"
#include "analytics/WireMiscInfo.h"
#include "analytics/WirePage.h"
#include "analytics/WireResponse.h"
#include "analytics/WireTraffic.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/PropertyListSerialization.h"
#include "platform/foundation/PropertyListUID.h"
#include "tests/analytics/WireTestSupport.h"

using namespace ql;
using ql::testing::readInto;
using ql::testing::written;

namespace {

// ---- Bytes by hand, as hex in the form hexFromBytes prints ----

std::string join(std::initializer_list<std::string> parts) {
    std::string out;
    for (const std::string& part : parts) {
        if (part.empty()) continue;
        if (!out.empty()) out += ' ';
        out += part;
    }
    return out;
}

std::string bigEndian(std::uint64_t value, int bytes) {
    std::string out;
    for (int i = bytes - 1; i >= 0; --i) {
        char text[4];
        std::snprintf(text, sizeof text, "%02X", static_cast<unsigned>((value >> (8 * i)) & 0xFF));
        out += (out.empty() ? "" : " ") + std::string(text);
    }
    return out;
}

std::string header(int code, int id) { return join({bigEndian(code, 1), bigEndian(id, 2)}); }
std::string text(std::string_view value) {
    std::string out = bigEndian(value.size(), 4);
    for (char c : value) out += " " + bigEndian(static_cast<unsigned char>(c), 1);
    return out;
}
std::string str(int id, std::string_view value) { return join({header(11, id), text(value)}); }
std::string i32(int id, std::int32_t value) { return join({header(8, id), bigEndian(static_cast<std::uint32_t>(value), 4)}); }
std::string i64(int id, std::int64_t value) { return join({header(10, id), bigEndian(static_cast<std::uint64_t>(value), 8)}); }
std::string dbl(int id, double value) { return join({header(4, id), bigEndian(std::bit_cast<std::uint64_t>(value), 8)}); }
std::string structField(int id, const std::string& body) { return join({header(12, id), body}); }
std::string mapField(int id, std::initializer_list<std::pair<std::string_view, std::string>> entries) {
    std::string out = join({header(13, id), "0B 0C", bigEndian(entries.size(), 4)});
    for (const auto& [key, body] : entries) out = join({out, text(key), body});
    return out;
}
std::string listField(int id, std::initializer_list<std::string> elements) {
    std::string out = join({header(15, id), "0C", bigEndian(elements.size(), 4)});
    for (const std::string& body : elements) out = join({out, body});
    return out;
}
const std::string stop = "00";

// Writes the record, compares with the expected bytes, then reads those bytes into a fresh record.
template <class R>
std::shared_ptr<R> roundTrip(const R& record, const std::string& expected) {
    EXPECT_EQ(written(record), expected) << R::structName;
    auto back = std::make_shared<R>();
    readInto(*back, expected);
    return back;
}

template <class R>
std::shared_ptr<R> make() {
    return std::make_shared<R>();
}

}  // namespace

TEST(WireRecordBytes, IdentityImprintAndResponseRecords) {
    // The example of the record conventions, byte for byte.
    WireIdSnapshot snapshot;
    snapshot.setIdentity("ab");
    snapshot.setTs(5);
    snapshot.setVersion(1);
    EXPECT_EQ(written(snapshot), "0B 00 01 00 00 00 02 61 62 0A 00 02 00 00 00 00 00 00 00 05 08 00 03 00 00 00 01 00");
    EXPECT_EQ(written(WireIdSnapshot()), "00");

    const std::string snapshotBytes = join({str(1, "ab"), i64(2, 5), i32(3, 1), stop});
    WireIdJournal journal;
    journal.setDomain("d1");
    journal.setOld_id("o2");
    journal.setNew_id("n3");
    journal.setTs(0x100000004);
    const std::string journalBytes = join({str(1, "d1"), str(2, "o2"), str(3, "n3"), i64(4, 0x100000004), stop});
    auto journalBack = roundTrip(journal, journalBytes);
    EXPECT_EQ(journalBack->domain(), "d1");
    EXPECT_EQ(journalBack->old_id(), "o2");
    EXPECT_EQ(journalBack->new_id(), "n3");
    EXPECT_EQ(journalBack->ts(), 0x100000004);

    WireIdTracking tracking;
    auto snapshotRecord = make<WireIdSnapshot>();
    readInto(*snapshotRecord, snapshotBytes);
    auto journalRecord = make<WireIdJournal>();
    readInto(*journalRecord, journalBytes);
    tracking.setSnapshots(std::make_shared<WireRecordMap<WireIdSnapshot>>(WireRecordMap<WireIdSnapshot>{{"idfa", snapshotRecord}}));
    tracking.setJournals(std::make_shared<WireRecordList<WireIdJournal>>(WireRecordList<WireIdJournal>{journalRecord}));
    tracking.setChecksum("c3");
    auto trackingBack = roundTrip(
        tracking, join({mapField(1, {{"idfa", snapshotBytes}}), listField(2, {journalBytes}), str(3, "c3"), stop}));
    EXPECT_EQ(trackingBack->snapshots()->at("idfa")->identity(), "ab");
    EXPECT_EQ(trackingBack->journals()->at(0)->new_id(), "n3");
    EXPECT_EQ(trackingBack->checksum(), "c3");

    WireImprintValue value;
    value.setValue("v1");
    value.setTs(0x100000002);
    value.setGuid("g3");
    const std::string valueBytes = join({str(1, "v1"), i64(2, 0x100000002), str(3, "g3"), stop});
    auto valueBack = roundTrip(value, valueBytes);
    EXPECT_EQ(valueBack->value(), "v1");
    EXPECT_EQ(valueBack->ts(), 0x100000002);
    EXPECT_EQ(valueBack->guid(), "g3");

    auto imprint = make<WireImprint>();
    auto valueRecord = make<WireImprintValue>();
    readInto(*valueRecord, valueBytes);
    imprint->setProperty(std::make_shared<WireRecordMap<WireImprintValue>>(WireRecordMap<WireImprintValue>{{"p", valueRecord}}));
    imprint->setVersion(0x102);
    imprint->setChecksum("c3");
    const std::string imprintBytes = join({mapField(1, {{"p", valueBytes}}), i32(2, 0x102), str(3, "c3"), stop});
    auto imprintBack = roundTrip(*imprint, imprintBytes);
    EXPECT_EQ(imprintBack->property()->at("p")->guid(), "g3");
    EXPECT_EQ(imprintBack->version(), 0x102);
    EXPECT_EQ(imprintBack->checksum(), "c3");

    WireResponse response;
    response.setResp_code(1);
    response.setMsg("m2");
    response.setImprint(imprint);
    auto responseBack = roundTrip(response, join({i32(1, 1), str(2, "m2"), structField(3, imprintBytes), stop}));
    EXPECT_EQ(responseBack->resp_code(), 1);
    EXPECT_EQ(responseBack->msg(), "m2");
    EXPECT_EQ(responseBack->imprint()->checksum(), "c3");
}

TEST(WireRecordBytes, ApplicationAndDeviceRecords) {
    WireAppInfo app;
    app.setKey("k1");
    app.setVersion("v2");
    app.setVersion_index(0x103);
    app.setPackage_name("p4");
    app.setSdk_type(0x105);
    app.setSdk_version("s6");
    app.setChannel("c7");
    app.setWrapper_type("w8");
    app.setWrapper_version("w9");
    app.setVertical_type(0x10A);
    auto appBack = roundTrip(app, join({str(1, "k1"), str(2, "v2"), i32(3, 0x103), str(4, "p4"), i32(5, 0x105),
                                        str(6, "s6"), str(7, "c7"), str(8, "w8"), str(9, "w9"), i32(10, 0x10A), stop}));
    EXPECT_EQ(appBack->key(), "k1");
    EXPECT_EQ(appBack->version_index(), 0x103);
    EXPECT_EQ(appBack->sdk_type(), 0x105);
    EXPECT_EQ(appBack->channel(), "c7");
    EXPECT_EQ(appBack->wrapper_version(), "w9");
    EXPECT_EQ(appBack->vertical_type(), 0x10A);

    auto resolution = make<WireResolution>();
    resolution->setHeight(0x101);
    resolution->setWidth(0x102);
    const std::string resolutionBytes = join({i32(1, 0x101), i32(2, 0x102), stop});
    auto resolutionBack = roundTrip(*resolution, resolutionBytes);
    EXPECT_EQ(resolutionBack->height(), 0x101);
    EXPECT_EQ(resolutionBack->width(), 0x102);

    WireTraffic traffic;
    traffic.setUpload_traffic(0x101);
    traffic.setDownload_traffic(0x102);
    auto trafficBack = roundTrip(traffic, join({i32(1, 0x101), i32(2, 0x102), stop}));
    EXPECT_EQ(trafficBack->upload_traffic(), 0x101);
    EXPECT_EQ(trafficBack->download_traffic(), 0x102);

    WireDeviceInfo device;
    device.setDevice_id("d1");
    device.setIdmd5("i2");
    device.setMac_address("m3");
    device.setOpen_udid("o4");
    device.setModel("m5");
    device.setCpu("c6");
    device.setOs("o7");
    device.setOs_version("o8");
    device.setResolution(resolution);
    device.setDevice_board("b12");
    device.setDevice_brand("b13");
    device.setDevice_manutime(0x10000000E);
    device.setDevice_manufacturer("m15");
    device.setDevice_manuid("m16");
    device.setDevice_name("n17");
    auto deviceBack = roundTrip(
        device, join({str(1, "d1"), str(2, "i2"), str(3, "m3"), str(4, "o4"), str(5, "m5"), str(6, "c6"), str(7, "o7"),
                      str(8, "o8"), structField(9, resolutionBytes), str(12, "b12"), str(13, "b13"),
                      i64(14, 0x10000000E), str(15, "m15"), str(16, "m16"), str(17, "n17"), stop}));
    EXPECT_EQ(deviceBack->device_id(), "d1");
    EXPECT_EQ(deviceBack->os_version(), "o8");
    EXPECT_EQ(deviceBack->resolution()->width(), 0x102);
    EXPECT_EQ(deviceBack->device_board(), "b12");
    EXPECT_EQ(deviceBack->device_manutime(), 0x10000000E);
    EXPECT_EQ(deviceBack->device_name(), "n17");

    // Both counts start set at 0, so a fresh record writes them.
    WireClientStats stats;
    EXPECT_EQ(written(stats), join({i32(1, 0), i32(2, 0), stop}));
    stats.setSuccessful_requests(0x101);
    stats.setFailed_requests(0x102);
    stats.setLast_request_spent_ms(0x103);
    auto statsBack = roundTrip(stats, join({i32(1, 0x101), i32(2, 0x102), i32(3, 0x103), stop}));
    EXPECT_EQ(statsBack->successful_requests(), 0x101);
    EXPECT_EQ(statsBack->failed_requests(), 0x102);
    EXPECT_EQ(statsBack->last_request_spent_ms(), 0x103);

    WireMiscInfo misc;
    misc.setTime_zone(8);
    misc.setLanguage("l2");
    misc.setCountry("c3");
    misc.setLatitude(4.25);
    misc.setLongitude(5.25);
    misc.setCarrier("c6");
    misc.setLatency(0x107);
    misc.setDisplay_name("d8");
    misc.setAccess_type(0x109);
    misc.setAccess_subtype("a10");
    auto miscBack = roundTrip(misc, join({i32(1, 8), str(2, "l2"), str(3, "c3"), dbl(4, 4.25), dbl(5, 5.25),
                                          str(6, "c6"), i32(7, 0x107), str(8, "d8"), i32(9, 0x109), str(10, "a10"), stop}));
    EXPECT_EQ(miscBack->time_zone(), 8);
    EXPECT_EQ(miscBack->latitude(), 4.25);
    EXPECT_EQ(miscBack->longitude(), 5.25);
    EXPECT_EQ(miscBack->latency(), 0x107);
    EXPECT_EQ(miscBack->access_type(), 0x109);
    EXPECT_EQ(miscBack->access_subtype(), "a10");
}

TEST(WireRecordBytes, ActivityRecords) {
    WirePage page;
    page.setPage_name("p1");
    page.setDuration(0x100000002);
    auto pageBack = roundTrip(page, join({str(1, "p1"), i64(2, 0x100000002), stop}));
    EXPECT_EQ(pageBack->page_name(), "p1");
    EXPECT_EQ(pageBack->duration(), 0x100000002);

    auto error = make<WireError>();
    error->setTs(0x100000001);
    error->setContext("c2");
    error->setSource(0x103);
    const std::string errorBytes = join({i64(1, 0x100000001), str(2, "c2"), i32(3, 0x103), stop});
    auto errorBack = roundTrip(*error, errorBytes);
    EXPECT_EQ(errorBack->ts(), 0x100000001);
    EXPECT_EQ(errorBack->context(), "c2");
    EXPECT_EQ(errorBack->source(), 0x103);

    auto property = make<WirePropertyValue>();
    property->setString_value("s1");
    property->setLong_value(0x100000002);
    const std::string propertyBytes = join({str(1, "s1"), i64(2, 0x100000002), stop});
    auto propertyBack = roundTrip(*property, propertyBytes);
    EXPECT_EQ(propertyBack->string_value(), "s1");
    EXPECT_EQ(propertyBack->long_value(), 0x100000002);

    auto event = make<WireEvent>();
    event->setName("n1");
    event->setProperties(std::make_shared<WireRecordMap<WirePropertyValue>>(WireRecordMap<WirePropertyValue>{{"k", property}}));
    event->setDuration(0x100000003);
    event->setAcc(0x104);
    event->setTs(0x100000005);
    const std::string eventBytes = join({str(1, "n1"), mapField(2, {{"k", propertyBytes}}), i64(3, 0x100000003),
                                         i32(4, 0x104), i64(5, 0x100000005), stop});
    auto eventBack = roundTrip(*event, eventBytes);
    EXPECT_EQ(eventBack->name(), "n1");
    EXPECT_EQ(eventBack->properties()->at("k")->string_value(), "s1");
    EXPECT_EQ(eventBack->duration(), 0x100000003);
    EXPECT_EQ(eventBack->acc(), 0x104);
    EXPECT_EQ(eventBack->ts(), 0x100000005);

    WireLocation location;
    location.setLat(1.25);
    location.setLng(2.25);
    location.setTs(0x100000003);
    auto locationBack = roundTrip(location, join({dbl(1, 1.25), dbl(2, 2.25), i64(3, 0x100000003), stop}));
    EXPECT_EQ(locationBack->lat(), 1.25);
    EXPECT_EQ(locationBack->lng(), 2.25);
    EXPECT_EQ(locationBack->ts(), 0x100000003);

    WireActivateMsg activate;
    activate.setTs(0x100000001);
    EXPECT_EQ(roundTrip(activate, join({i64(1, 0x100000001), stop}))->ts(), 0x100000001);

    WireInstantMsg instant;
    instant.setId("i1");
    instant.setErrors(std::make_shared<WireRecordList<WireError>>(WireRecordList<WireError>{error}));
    instant.setEvents(std::make_shared<WireRecordList<WireEvent>>(WireRecordList<WireEvent>{event}));
    instant.setGame_events(std::make_shared<WireRecordList<WireEvent>>());
    auto instantBack = roundTrip(instant, join({str(1, "i1"), listField(2, {errorBytes}), listField(3, {eventBytes}),
                                                listField(4, {}), stop}));
    EXPECT_EQ(instantBack->id(), "i1");
    EXPECT_EQ(instantBack->errors()->at(0)->context(), "c2");
    EXPECT_EQ(instantBack->events()->at(0)->name(), "n1");
    ASSERT_TRUE(instantBack->game_eventsIsSet());
    EXPECT_TRUE(instantBack->game_events()->empty());
}

namespace {

// The keys of the archived record's own entry (the root object's dictionary), "$class" left out.
template <class R>
std::set<std::string> archivedKeys(const std::shared_ptr<R>& record) {
    const auto data = ns::KeyedArchiver::archivedDataWithRootObject(ns::Value(record), nullptr);
    EXPECT_TRUE(data);
    if (!data) return {};
    const ns::Value archive = ns::PropertyListSerialization::propertyListWithData(*data, 0, nullptr, nullptr);
    const ns::Array& objects = *archive["$objects"].asArray();
    const auto rootIndex = ns::PropertyListUID::valueOf(archive["$top"]["root"]);
    EXPECT_TRUE(rootIndex);
    if (!rootIndex) return {};
    const ns::Value& root = objects.at(static_cast<std::size_t>(*rootIndex));
    std::set<std::string> keys;
    for (const auto& [key, value] : *root.asDictionary()) {
        if (key != "$class") keys.insert(key);
    }
    return keys;
}

}  // namespace

TEST(WireRecordBytes, ArchivesKeepEachSetFieldUnderItsName) {
    auto snapshot = make<WireIdSnapshot>();
    snapshot->setIdentity("ab");
    snapshot->setTs(5);
    snapshot->setVersion(1);
    EXPECT_EQ(archivedKeys(snapshot), (std::set<std::string>{"identity", "ts", "version"}));

    auto journal = make<WireIdJournal>();
    journal->setDomain("d");
    journal->setOld_id("o");
    journal->setNew_id("n");
    journal->setTs(1);
    EXPECT_EQ(archivedKeys(journal), (std::set<std::string>{"domain", "old_id", "new_id", "ts"}));

    auto app = make<WireAppInfo>();
    app->setKey("k");
    app->setSdk_type(1);
    app->setVersion_index(2);
    app->setWrapper_version("w");
    EXPECT_EQ(archivedKeys(app), (std::set<std::string>{"key", "sdk_type", "version_index", "wrapper_version"}));

    auto device = make<WireDeviceInfo>();
    device->setResolution(make<WireResolution>());
    device->setDevice_manutime(3);
    device->setOpen_udid("u");
    EXPECT_EQ(archivedKeys(device), (std::set<std::string>{"resolution", "device_manutime", "open_udid"}));

    auto misc = make<WireMiscInfo>();
    misc->setTime_zone(8);
    misc->setAccess_type(1);
    misc->setLatitude(1.5);
    misc->setDisplay_name("d");
    EXPECT_EQ(archivedKeys(misc), (std::set<std::string>{"time_zone", "access_type", "latitude", "display_name"}));

    auto stats = make<WireClientStats>();
    EXPECT_EQ(archivedKeys(stats), (std::set<std::string>{"successful_requests", "failed_requests"}));

    auto event = make<WireEvent>();
    event->setName("n");
    event->setProperties(std::make_shared<WireRecordMap<WirePropertyValue>>());
    event->setAcc(1);
    EXPECT_EQ(archivedKeys(event), (std::set<std::string>{"name", "properties", "acc"}));

    auto instant = make<WireInstantMsg>();
    instant->setId("i");
    instant->setGame_events(std::make_shared<WireRecordList<WireEvent>>());
    EXPECT_EQ(archivedKeys(instant), (std::set<std::string>{"id", "game_events"}));

    auto response = make<WireResponse>();
    response->setResp_code(1);
    response->setImprint(make<WireImprint>());
    EXPECT_EQ(archivedKeys(response), (std::set<std::string>{"resp_code", "imprint"}));

    auto error = make<WireError>();
    error->setSource(2);
    error->setContext("c");
    EXPECT_EQ(archivedKeys(error), (std::set<std::string>{"source", "context"}));

    auto page = make<WirePage>();
    page->setPage_name("p");
    EXPECT_EQ(archivedKeys(page), (std::set<std::string>{"page_name"}));

    auto location = make<WireLocation>();
    location->setLng(1);
    EXPECT_EQ(archivedKeys(location), (std::set<std::string>{"lng"}));

    auto tracking = make<WireIdTracking>();
    tracking->setJournals(std::make_shared<WireRecordList<WireIdJournal>>());
    tracking->setChecksum("c");
    EXPECT_EQ(archivedKeys(tracking), (std::set<std::string>{"journals", "checksum"}));

    auto value = make<WireImprintValue>();
    value->setGuid("g");
    EXPECT_EQ(archivedKeys(value), (std::set<std::string>{"guid"}));

    auto property = make<WirePropertyValue>();
    property->setLong_value(1);
    property->setString_value("s");
    EXPECT_EQ(archivedKeys(property), (std::set<std::string>{"long_value", "string_value"}));

    auto traffic = make<WireTraffic>();
    traffic->setDownload_traffic(1);
    EXPECT_EQ(archivedKeys(traffic), (std::set<std::string>{"download_traffic"}));

    auto activate = make<WireActivateMsg>();
    activate->setTs(1);
    EXPECT_EQ(archivedKeys(activate), (std::set<std::string>{"ts"}));
}
