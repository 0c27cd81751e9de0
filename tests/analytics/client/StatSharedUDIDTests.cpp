#include <gtest/gtest.h>

#include <regex>

#include "analytics/StatEvent.h"
#include "analytics/client/StatSharedUDID.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/ui/Pasteboard.h"
#include "tests/analytics/client/ClientTestSupport.h"

namespace ql {
namespace {

using SharedUDIDTest = test::AnalyticsClientTest;

const std::string IdA = "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa";
const std::string IdB = "bbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb";
const std::string IdC = "cccccccccccccccccccccccccccccccccccccccc";

std::string slotName(int slot) { return "org.SharedUDID.slot." + std::to_string(slot); }

// Another app's record in a slot.
void writeSlot(int slot, const std::string& identifier, const std::string& appUID) {
    auto pasteboard = ui::Pasteboard::pasteboardWithName(slotName(slot), true);
    pasteboard->setPersistent(true);
    SharedUDIDScheme::_setDict(ns::Dictionary{{"SharedUDID", ns::Value(identifier)},
                                              {"SharedUDID_appUID", ns::Value(appUID)},
                                              {"SharedUDID_slot", ns::Value(slotName(slot))}},
                               *pasteboard);
}

ns::Dictionary localRecord() { return ns::UserDefaults::standard().dictionaryForKey("SharedUDID").value_or(ns::Dictionary()); }

TEST_F(SharedUDIDTest, AFreshDeviceMakesAnIdentifierAndClaimsSlotZero) {
    ns::Error error("", -1);
    const auto value = StatSharedUDID::valueWithError(&error);
    ASSERT_TRUE(value);
    EXPECT_TRUE(std::regex_match(*value, std::regex("[0-9a-f]{40}")));
    EXPECT_EQ(error.domain(), "org.SharedUDID");
    EXPECT_EQ(error.code(), 0);
    EXPECT_EQ(error.userInfo()["description"].stringValue(), "SharedUDID succesfully retrieved");

    const auto slot = ui::Pasteboard::pasteboardWithName(slotName(0), false);
    ASSERT_TRUE(slot);
    EXPECT_TRUE(slot->isPersistent());
    const auto written = SharedUDIDScheme::_getDictFromPasteboard(*slot);
    EXPECT_EQ(written["SharedUDID"].stringValue(), *value);
    EXPECT_EQ(localRecord()["SharedUDID"].stringValue(), *value);
    EXPECT_EQ(localRecord()["SharedUDID_slot"].stringValue(), slotName(0));
    EXPECT_TRUE(localRecord()["SharedUDID_createdTS"].isDate());

    // The second call answers from the cache.
    EXPECT_EQ(StatSharedUDID::valueWithError(&error), value);
    EXPECT_EQ(error.userInfo()["description"].stringValue(), "SharedUDID in cache from first call");
    // The other class keeps its own cache but finds the same identifier.
    EXPECT_EQ(OCSharedUDID::value(), value);
}

TEST_F(SharedUDIDTest, SlotsVoteAndALocalIdentifierStandsAgainstThem) {
    writeSlot(0, IdA, "app-1");
    writeSlot(1, IdB, "app-2");
    writeSlot(3, IdA, "app-3");
    writeSlot(4, IdA, "app-4");
    EXPECT_EQ(StatSharedUDID::value(), IdA);
    // The free slot 2 (between taken ones) became this app's.
    EXPECT_EQ(localRecord()["SharedUDID_slot"].stringValue(), slotName(2));

    StatSharedUDID::scheme().clearCache();
    ns::UserDefaults::standard().setObject(ns::Value(ns::Dictionary{{"SharedUDID", ns::Value(IdC)}}), "SharedUDID");
    ui::Pasteboard::removePasteboardWithName(slotName(2));
    ns::Error error("", -1);
    EXPECT_EQ(StatSharedUDID::valueWithError(&error), IdC);
    EXPECT_EQ(error.code(), 2);
}

TEST_F(SharedUDIDTest, TheIdentifierIsStableAcrossLaunches) {
    const auto first = StatSharedUDID::value();
    StatSharedUDID::scheme().clearCache();  // a new launch
    EXPECT_EQ(StatSharedUDID::value(), first);
    // The app found its own slot again instead of claiming another.
    EXPECT_TRUE(ui::Pasteboard::pasteboardWithName(slotName(0), false));
    EXPECT_FALSE(ui::Pasteboard::pasteboardWithName(slotName(1), false));

    // A stored record without an identifier gets one, and keeps it on the next launch.
    ns::UserDefaults::standard().setObject(ns::Value(ns::Dictionary{{"SharedUDID_appUID", ns::Value("me")}}),
                                           "SharedUDID");
    StatSharedUDID::scheme().clearCache();
    const auto filled = StatSharedUDID::value();
    EXPECT_EQ(filled, first);  // the slots' vote
    EXPECT_EQ(localRecord()["SharedUDID"].stringValue(), *filled);
    StatSharedUDID::scheme().clearCache();
    EXPECT_EQ(StatSharedUDID::value(), filled);
}

TEST_F(SharedUDIDTest, OptingOutAnswersZerosUntilOptedBackIn) {
    const auto identifier = StatSharedUDID::value();
    StatSharedUDID::setOptOut(true);
    ns::Error error("", -1);
    EXPECT_EQ(StatSharedUDID::valueWithError(&error), std::string(40, '0'));
    EXPECT_EQ(error.code(), 1);
    EXPECT_NE(error.userInfo()["description"].stringValue().find("is opted-out from SharedUDID as of"), std::string::npos);
    StatSharedUDID::setOptOut(false);
    EXPECT_EQ(StatSharedUDID::valueWithError(&error), identifier);
    EXPECT_EQ(error.code(), 0);
}

TEST_F(SharedUDIDTest, UnreadableSlotsCountAsSlotsWithoutAnIdentifier) {
    auto junk = ui::Pasteboard::pasteboardWithName(slotName(0), true);
    junk->setPersistent(true);
    junk->setData(ns::Data(std::string_view("not an archive")), "org.SharedUDID");
    EXPECT_TRUE(SharedUDIDScheme::_getDictFromPasteboard(*junk).size() == 0);
    const auto value = StatSharedUDID::value();
    ASSERT_TRUE(value);
    // Slot 0 held nothing usable, so it was taken over.
    EXPECT_EQ(SharedUDIDScheme::_getDictFromPasteboard(*ui::Pasteboard::pasteboardWithName(slotName(0), false))["SharedUDID"]
                  .stringValue(),
              *value);
}

TEST_F(SharedUDIDTest, ASlotIsReadAsPlainValuesOnly) {
    // Slots are shared with every other app: a record that holds anything but texts, numbers and dates
    // (here an object of one of this app's own classes) is not decoded, and the slot counts as unusable.
    auto slot = ui::Pasteboard::pasteboardWithName(slotName(0), true);
    slot->setPersistent(true);
    auto planted = std::make_shared<StatEvent>();
    planted->label = "planted";
    SharedUDIDScheme::_setDict(ns::Dictionary{{"SharedUDID", ns::Value(IdA)}, {"extra", ns::Value(planted)}}, *slot);
    EXPECT_TRUE(SharedUDIDScheme::_getDictFromPasteboard(*slot).size() == 0);

    writeSlot(1, IdB, "other-app");
    const ns::Dictionary plain = SharedUDIDScheme::_getDictFromPasteboard(*ui::Pasteboard::pasteboardWithName(slotName(1), false));
    EXPECT_EQ(plain["SharedUDID"].stringValue(), IdB);
    EXPECT_EQ(StatSharedUDID::value(), IdB);
}

}  // namespace
}  // namespace ql
