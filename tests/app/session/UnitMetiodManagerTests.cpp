#include <gtest/gtest.h>

#include <cstdint>
#include <set>

#include "app/session/LoginDataModel.h"
#include "app/session/UnitMetiodManager.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/PropertyListSerialization.h"
#include "platform/foundation/Sandbox.h"
#include "platform/foundation/UserDefaults.h"

using namespace ql;
using ns::Value;

namespace {

class SavedSettingsTest : public ::testing::Test {
protected:
    ns::TemporarySandbox sandbox;

    // Another store over the same file, as the next launch of the app would open it.
    static ns::UserDefaults restartedStore() { return ns::UserDefaults(ns::UserDefaults::standard().path()); }
};

}  // namespace

TEST_F(SavedSettingsTest, AFreshInstallationHasNothingSaved) {
    EXPECT_FALSE(UnitMetiodManager::getShowGuideKey());
    EXPECT_FALSE(UnitMetiodManager::isAutoLogin());
    EXPECT_EQ(UnitMetiodManager::getTheSavedUserPhoneNumAndPassword(), nullptr);
}

TEST_F(SavedSettingsTest, EveryWriteReachesTheFileAtOnce) {
    UnitMetiodManager::saveShowGuideKey(true);
    UnitMetiodManager::setAutoLogin(true);
    UnitMetiodManager::saveTheUserPhoneNumAndPassword(LoginDataModel::rememberLoginPhoneNum("13800000001", "secret1"));
    {
        const ns::UserDefaults next = restartedStore();
        EXPECT_TRUE(next.boolForKey(ShowGuideKey));
        EXPECT_TRUE(next.boolForKey(AutoLoginKey));
        EXPECT_TRUE(next.dataForKey(UserLoginModelKey).has_value());
    }

    // Signing out must not be lost: a stale YES would sign the student in again at the next launch.
    UnitMetiodManager::setAutoLogin(false);
    EXPECT_FALSE(restartedStore().boolForKey(AutoLoginKey));
    EXPECT_FALSE(UnitMetiodManager::isAutoLogin());

    UnitMetiodManager::removeTheUserPhoneNumAndPassword();
    EXPECT_FALSE(restartedStore().dataForKey(UserLoginModelKey).has_value());
    EXPECT_EQ(UnitMetiodManager::getTheSavedUserPhoneNumAndPassword(), nullptr);
}

TEST_F(SavedSettingsTest, CredentialsAreAKeyedArchiveOfBothTexts) {
    UnitMetiodManager::saveTheUserPhoneNumAndPassword(LoginDataModel::rememberLoginPhoneNum("13800000001", ""));
    auto saved = UnitMetiodManager::getTheSavedUserPhoneNumAndPassword();
    ASSERT_NE(saved, nullptr);
    EXPECT_EQ(saved->loginPhoneNum, "13800000001");
    EXPECT_EQ(saved->loginPassword, "");  // an empty password stays an empty text, not an absent one

    // The archive's object table holds the record under the two keys and the class name.
    const auto data = ns::UserDefaults::standard().dataForKey(UserLoginModelKey);
    ASSERT_TRUE(data);
    const Value archive = ns::PropertyListSerialization::propertyListWithData(*data, 0, nullptr, nullptr);
    std::set<std::string> keys;
    for (const Value& object : *archive["$objects"].asArray()) {
        if (const ns::Dictionary* entry = object.asDictionary()) {
            for (const auto& [key, value] : *entry) keys.insert(key);
        }
        if (object["$classname"].isString()) {
            EXPECT_EQ(object["$classname"].asString(), "LoginDataModel");
        }
    }
    EXPECT_TRUE(keys.contains("loginPhoneNum"));
    EXPECT_TRUE(keys.contains("loginPassword"));

    // A record without a password leaves the key out and reads back without one.
    UnitMetiodManager::saveTheUserPhoneNumAndPassword(LoginDataModel::rememberLoginPhoneNum("13800000001", std::nullopt));
    saved = UnitMetiodManager::getTheSavedUserPhoneNumAndPassword();
    ASSERT_NE(saved, nullptr);
    EXPECT_FALSE(saved->loginPassword.has_value());

    // Data that is no credentials archive reads as nothing saved.
    ns::UserDefaults::standard().setObject(Value(ns::Data(std::string_view("not an archive"))), UserLoginModelKey);
    EXPECT_EQ(UnitMetiodManager::getTheSavedUserPhoneNumAndPassword(), nullptr);
    const auto otherArchive = ns::KeyedArchiver::archivedDataWithRootObject(Value("13800000001"), nullptr);
    ns::UserDefaults::standard().setObject(Value(*otherArchive), UserLoginModelKey);
    EXPECT_EQ(UnitMetiodManager::getTheSavedUserPhoneNumAndPassword(), nullptr);
}

TEST(UnitMetiodManagerTest, ValueHelpers) {
    EXPECT_EQ(UnitMetiodManager::exchangeTheReturnValueToString(Value("(null)")), "");
    EXPECT_EQ(UnitMetiodManager::exchangeTheReturnValueToString(Value("<NULL>")), "");
    EXPECT_EQ(UnitMetiodManager::exchangeTheReturnValueToString(Value("书")), "书");
    EXPECT_EQ(UnitMetiodManager::exchangeTheReturnValueToString(Value(12)), "12");
    EXPECT_EQ(UnitMetiodManager::exchangeTheReturnValueToString(Value::null()), "");
    EXPECT_EQ(UnitMetiodManager::exchangeTheReturnValueToString(Value(ns::Array{1})), "");

    const Value dictionary(ns::Dictionary{{"a", 1}, {"b", Value::null()}, {"c", "<null>"}, {"d", ""}});
    EXPECT_TRUE(UnitMetiodManager::exitTheValueWithTheDiction(dictionary, "a"));
    EXPECT_TRUE(UnitMetiodManager::exitTheValueWithTheDiction(dictionary, "d"));
    EXPECT_FALSE(UnitMetiodManager::exitTheValueWithTheDiction(dictionary, "b"));
    EXPECT_FALSE(UnitMetiodManager::exitTheValueWithTheDiction(dictionary, "c"));
    EXPECT_FALSE(UnitMetiodManager::exitTheValueWithTheDiction(dictionary, "missing"));
    EXPECT_FALSE(UnitMetiodManager::exitTheValueWithTheDiction(Value(ns::Array{}), "a"));

    EXPECT_EQ(UnitMetiodManager::exchangeTheReturnValueToArray(Value::null()), Value(ns::Array{}));
    EXPECT_EQ(UnitMetiodManager::exchangeTheReturnValueToArray(Value("x")), Value("x"));
    EXPECT_TRUE(UnitMetiodManager::compareReturnStringWith(""));
    EXPECT_FALSE(UnitMetiodManager::compareReturnStringWith(" "));

    const std::string first = UnitMetiodManager::share().uuid();
    EXPECT_EQ(first.size(), 36u);
    EXPECT_NE(first, UnitMetiodManager::share().uuid());
}

TEST(UnitMetiodManagerTest, RandomNumbersStayInTheirRange) {
    EXPECT_EQ(UnitMetiodManager::getRandomNumber(3, 3), 3);
    // An empty range answers its lower bound rather than dividing by zero.
    EXPECT_EQ(UnitMetiodManager::getRandomNumber(5, 4), 5);
    EXPECT_EQ(UnitMetiodManager::getRandomNumber(5, -100), 5);
    std::set<int> seen;
    for (int i = 0; i < 400; ++i) {
        const int n = UnitMetiodManager::getRandomNumber(-2, 3);
        ASSERT_GE(n, -2);
        ASSERT_LE(n, 3);
        seen.insert(n);
    }
    EXPECT_EQ(seen.size(), 6u);
    // Ranges at the ends of the integers do not overflow.
    EXPECT_EQ(UnitMetiodManager::getRandomNumber(INT32_MAX, INT32_MAX), INT32_MAX);
    EXPECT_EQ(UnitMetiodManager::getRandomNumber(INT32_MIN, INT32_MIN), INT32_MIN);
}

TEST(UnitMetiodManagerTest, RandomNumbersAreTheLowerBoundPlusA32BitDrawModuloTheRange) {
    EXPECT_EQ(UnitMetiodManager::randomNumberInRange(3, 5, 7), 4);     // 3 + 7 % 3
    EXPECT_EQ(UnitMetiodManager::randomNumberInRange(-2, 3, 6), -2);   // -2 + 6 % 6
    EXPECT_EQ(UnitMetiodManager::randomNumberInRange(10, 10, 0xFFFFFFFFu), 10);
    // The widest range takes the draw whole.
    EXPECT_EQ(UnitMetiodManager::randomNumberInRange(INT32_MIN, INT32_MAX, 0xFFFFFFFFu), INT32_MAX);
    EXPECT_EQ(UnitMetiodManager::randomNumberInRange(INT32_MIN, INT32_MAX, 0), INT32_MIN);
    EXPECT_EQ(UnitMetiodManager::randomNumberInRange(0, 99, 1234567), 67);
}

TEST(UnitMetiodManagerTest, TheSharedInstanceCarriesAnIdentifierAndTheCaptchaCallDoesNothing) {
    UnitMetiodManager& manager = UnitMetiodManager::share();
    EXPECT_EQ(&manager, &UnitMetiodManager::share());
    EXPECT_EQ(manager.UUID(), std::nullopt);
    manager.setUUID("0F0E0D0C-0B0A-0908-0706-050403020100");
    EXPECT_EQ(UnitMetiodManager::share().UUID(), "0F0E0D0C-0B0A-0908-0706-050403020100");
    manager.setUUID(std::nullopt);

    int calls = 0;
    manager.getTheCaptchaWithPhoneNum("13800000001", 0, "2026-12-07", [&](const Value&) { ++calls; },
                                      [&](const std::string&) { ++calls; });
    EXPECT_EQ(calls, 0);
}
