#include <gtest/gtest.h>

#include <string>

#include "analytics/StatError.h"
#include "analytics/StatEvent.h"
#include "analytics/StatGameLevel.h"
#include "analytics/StatLog.h"
#include "analytics/StatUtil.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/TimeZone.h"

using namespace ql;

namespace {

// 2001-09-09 01:46:40 UTC; shown in a zone eight hours east.
constexpr double kStart = 1'000'000'000.0;

class StatRecords : public ::testing::Test {
protected:
    void SetUp() override { ns::TimeZone::setDefault(ns::TimeZone::forSecondsFromGMT(8 * 3600)); }
    void TearDown() override {
        ns::TimeZone::setDefault(std::nullopt);
        setStatLogEnabled(false);
    }
    ns::ManualClockScope clock{kStart};
};

template <class T>
std::shared_ptr<T> roundTrip(const std::shared_ptr<T>& object) {
    ns::Error error("", 0);
    auto data = ns::KeyedArchiver::archivedDataWithRootObject(ns::Value(object), &error);
    EXPECT_TRUE(data) << error.description();
    if (!data) return nullptr;
    return ns::KeyedUnarchiver::unarchiveObjectWithData(*data, &error).asObject<T>();
}

// What `f` prints to standard error.
template <class F>
std::string logged(F&& f) {
    ::testing::internal::CaptureStderr();
    f();
    return ::testing::internal::GetCapturedStderr();
}

TEST_F(StatRecords, StampsRecordsWithTheClockInTheDefaultZone) {
    StatEvent event;
    EXPECT_EQ(event.type, "event");
    EXPECT_EQ(event.ts, kStart);
    EXPECT_EQ(event.date, "2001-09-09");
    EXPECT_EQ(event.time, "09:46:40");
    EXPECT_EQ(StatError().type, "error");

    EXPECT_EQ(event.StatBaseEvent::attributes(),
              (ns::Dictionary{{"date", ns::Value("2001-09-09")}, {"time", ns::Value("09:46:40")}}));
    event.session_id = "s1";
    EXPECT_EQ(event.StatBaseEvent::attributes()["session_id"], ns::Value("s1"));

    ns::Clock::advance(1.5);
    event.updateDu();
    EXPECT_EQ(event.du, 1500);
}

TEST_F(StatRecords, EventAttributesCarryWhatApplies) {
    StatEvent event;
    event.event_id = "tap";
    EXPECT_EQ(event.attributes(), (ns::Dictionary{{"date", ns::Value("2001-09-09")},
                                                  {"time", ns::Value("09:46:40")},
                                                  {"ts", ns::Value(1'000'000'000)},
                                                  {"tag", ns::Value("tap")}}));
    event.label = "";
    event.values = ns::Dictionary{{"k", ns::Value("v")}};
    event.acc = 2;
    event.du = 1;
    event.session_id = "s";
    auto attributes = event.attributes();
    EXPECT_FALSE(attributes.contains("label"));
    EXPECT_EQ(attributes["values"], ns::Value(event.values));
    EXPECT_EQ(attributes["acc"], ns::Value(2));
    EXPECT_EQ(attributes["du"], ns::Value(1));
    EXPECT_EQ(attributes["session_id"], ns::Value("s"));
    event.ts = 0;
    EXPECT_FALSE(event.attributes().contains("ts"));
}

TEST_F(StatRecords, LongLabelsAreCutOnACharacterBoundaryWithAWarning) {
    setStatLogEnabled(true);
    StatEvent event;
    event.label = std::string(256, 'a');
    std::string log = logged([&] { EXPECT_EQ(event.attributes()["label"], ns::Value(*event.label)); });
    EXPECT_EQ(log, "");

    event.label = std::string(300, 'b');
    log = logged([&] { EXPECT_EQ(event.attributes()["label"], ns::Value(std::string(256, 'b'))); });
    EXPECT_EQ(log, "STATLOG: (Warning) Ziviv event label (" + *event.label + ") max bytes length > 256\n");

    // 85 three-byte characters are 255 bytes; the 86th would cross 256.
    std::string chinese;
    for (int i = 0; i < 100; ++i) chinese += "书";
    event.label = chinese;
    logged([&] { EXPECT_EQ(event.attributes()["label"].asString().size(), 255u); });
    EXPECT_EQ(StatUtil::getString("a书", 3), "a");
    EXPECT_EQ(StatUtil::getString("a书", 4), "a书");
}

TEST_F(StatRecords, LogLinesOnlyWhileLoggingIsOn) {
    StatEvent event;
    event.event_id = "tap";
    StatError error;
    error.context = "boom";
    error.session_id = "s";
    EXPECT_EQ(logged([&] { event.outputStatLog(); }), "");

    setStatLogEnabled(true);
    EXPECT_EQ(logged([&] { event.outputStatLog(); }), "STATLOG: event: session_id=(null), event=tap\n");
    event.label = "L";
    event.du = 12;
    event.session_id = "s";
    EXPECT_EQ(logged([&] { event.outputStatLog(); }), "STATLOG: event: session_id=s, event=tap, label=L, du=12\n");
    EXPECT_EQ(logged([&] { error.outputStatLog(); }), "STATLOG: error: session_id=s, context=boom\n");
    EXPECT_EQ(error.attributes(), (ns::Dictionary{{"date", ns::Value("2001-09-09")},
                                                  {"time", ns::Value("09:46:40")},
                                                  {"message_type", ns::Value("error")},
                                                  {"context", ns::Value("boom")},
                                                  {"session_id", ns::Value("s")}}));
}

TEST_F(StatRecords, ArchivesKeepEveryField) {
    auto event = std::make_shared<StatEvent>();
    event->event_id = "tap";
    event->label = "L";
    event->acc = 5'000'000'000;  // beyond 32 bits
    event->du = -1;
    event->values = ns::Dictionary{{"n", ns::Value(1)}};
    event->session_id = "s";
    event->sendingFlag = true;
    ns::Clock::advance(60);
    auto copy = roundTrip(event);
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->event_id, "tap");
    EXPECT_EQ(copy->label, "L");
    EXPECT_EQ(copy->acc, 5'000'000'000);
    EXPECT_EQ(copy->du, -1);
    EXPECT_EQ(copy->values, event->values);
    EXPECT_EQ(copy->session_id, "s");
    EXPECT_TRUE(copy->sendingFlag);
    EXPECT_EQ(copy->ts, kStart);
    EXPECT_EQ(copy->time, "09:46:40");
    EXPECT_EQ(copy->type, "event");

    auto error = std::make_shared<StatError>();
    error->context = "boom";
    auto errorCopy = roundTrip(error);
    ASSERT_TRUE(errorCopy);
    EXPECT_EQ(errorCopy->context, "boom");
    EXPECT_EQ(errorCopy->session_id, std::nullopt);
    EXPECT_EQ(errorCopy->type, "error");
}

TEST_F(StatRecords, GameLevelsStartRunningAndArchiveTheirFields) {
    auto level = StatGameLevel::levelWithName("one");
    EXPECT_EQ(level->name, "one");
    EXPECT_EQ(level->ts, kStart);
    EXPECT_TRUE(level->running);
    EXPECT_EQ(level->du, 0);
    level->running = false;
    level->du = 2.5;
    ns::Clock::advance(10);
    auto copy = roundTrip(level);
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->name, "one");
    EXPECT_EQ(copy->ts, kStart);
    EXPECT_FALSE(copy->running);
    EXPECT_EQ(copy->du, 2.5);
}

}  // namespace
