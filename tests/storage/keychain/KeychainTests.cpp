#include "storage/keychain/Keychain.h"

#include <gtest/gtest.h>

#include "platform/foundation/Data.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/Sandbox.h"
#include "storage/keychain/KeychainQuery.h"
#include "tests/support/FaultyVolume.h"

namespace ql {
namespace {

ns::Error noError() { return ns::Error(std::string(), 0); }

TEST(Keychain, SaveReplaceFetchAndDelete) {
    ns::TemporarySandbox sandbox;
    KeychainQuery query;
    query.setService("mail");
    query.setAccount("ann");
    query.setLabel("Ann's mail");
    query.setPassword("first");
    ns::Error error = noError();
    ASSERT_TRUE(query.save(&error));

    // A second save replaces only the password: the label given now is not written.
    query.setLabel("renamed");
    query.setPassword("second");
    ASSERT_TRUE(query.save(&error));
    EXPECT_EQ(Keychain::passwordForService("mail", "ann"), "second");
    auto listed = Keychain::accountsForService("mail");
    ASSERT_TRUE(listed);
    ASSERT_EQ(listed->size(), 1u);
    EXPECT_EQ((*listed)[0]["labl"].asString(), "Ann's mail");
    EXPECT_EQ((*listed)[0]["acct"].asString(), "ann");

    KeychainQuery reader;
    reader.setService("mail");
    reader.setAccount("ann");
    ASSERT_TRUE(reader.fetch(nullptr));
    EXPECT_EQ(reader.passwordData(), ns::Data("second"));

    ASSERT_TRUE(Keychain::deletePasswordForService("mail", "ann", &error));
    EXPECT_FALSE(Keychain::deletePasswordForService("mail", "ann", &error));
    EXPECT_EQ(error.code(), -25300);
    EXPECT_FALSE(Keychain::passwordDataForService("mail", "ann"));
}

TEST(Keychain, MissingItemsAndArgumentsGiveKeyedErrors) {
    ns::TemporarySandbox sandbox;
    ns::Error error = noError();
    EXPECT_FALSE(Keychain::passwordForService("mail", "nobody", &error));
    EXPECT_EQ(error.domain(), "com.Wendlow.keychain");
    EXPECT_EQ(error.code(), -25300);
    EXPECT_EQ(error.localizedDescription(), "errSecItemNotFound");

    KeychainQuery query;
    query.setService("mail");
    query.setAccount("ann");
    error = noError();
    EXPECT_FALSE(query.save(&error));  // no password
    EXPECT_EQ(error.code(), -1001);
    EXPECT_EQ(error.localizedDescription(), "KeychainErrorBadArguments");
    query.setAccount(std::nullopt);
    query.setPassword("x");
    error = noError();
    EXPECT_FALSE(query.fetch(&error));
    EXPECT_EQ(error.code(), -1001);
    error = noError();
    EXPECT_FALSE(query.deleteItem(&error));
    EXPECT_EQ(error.code(), -1001);
    EXPECT_FALSE(Keychain::allAccounts(&error));

    EXPECT_FALSE(KeychainQuery::errorWithCode(0));
    EXPECT_EQ(KeychainQuery::errorWithCode(-1)->localizedDescription(), "errSecDefault");
    EXPECT_EQ(KeychainQuery::errorWithCode(-25299)->localizedDescription(), "errSecDuplicateItem");
    EXPECT_EQ(KeychainQuery::errorWithCode(-26275)->code(), -26275);
}

TEST(Keychain, PasswordViews) {
    ns::TemporarySandbox sandbox;
    ASSERT_TRUE(Keychain::setPassword("", "mail", "ann"));
    EXPECT_FALSE(Keychain::passwordForService("mail", "ann"));
    auto bytes = Keychain::passwordDataForService("mail", "ann");
    ASSERT_TRUE(bytes);
    EXPECT_EQ(bytes->length(), 0u);

    ASSERT_TRUE(Keychain::setPasswordData(ns::Data("\xff\xfe", 2), "mail", "ann"));
    EXPECT_FALSE(Keychain::passwordForService("mail", "ann"));
    ASSERT_TRUE(Keychain::setPassword("日记", "mail", "ann"));
    EXPECT_EQ(Keychain::passwordForService("mail", "ann"), "日记");

    KeychainQuery query;
    ns::Dictionary token{{"token", ns::Value("abc")}, {"expires", ns::Value(42)}};
    query.setPasswordObject(ns::Value(token));
    EXPECT_EQ(query.passwordObject(), ns::Value(token));
    query.setPasswordData(ns::Data("not an archive"));
    EXPECT_TRUE(query.passwordObject().isNil());
    query.setPasswordData(ns::Data());
    EXPECT_TRUE(query.passwordObject().isNil());
}

TEST(Keychain, ListingsAndSynchronization) {
    ns::TemporarySandbox sandbox;
    ASSERT_TRUE(Keychain::setPassword("1", "mail", "ann"));
    ASSERT_TRUE(Keychain::setPassword("2", "mail", "bob"));
    ASSERT_TRUE(Keychain::setPassword("3", "chat", "ann"));
    EXPECT_EQ(Keychain::accountsForService("mail")->size(), 2u);
    EXPECT_EQ(Keychain::accountsForService(std::nullopt)->size(), 3u);
    EXPECT_EQ(Keychain::allAccounts()->size(), 3u);

    KeychainQuery synced;
    synced.setService("mail");
    synced.setAccount("ann");
    synced.setSynchronizationMode(KeychainQuerySynchronizationMode::Yes);
    EXPECT_EQ(synced.query()["sync"], ns::Value(true));
    EXPECT_FALSE(synced.fetch(nullptr));
    synced.setPassword("cloud");
    ASSERT_TRUE(synced.save(nullptr));
    synced.setSynchronizationMode(KeychainQuerySynchronizationMode::No);
    ASSERT_TRUE(synced.fetch(nullptr));
    EXPECT_EQ(synced.password(), "1");
    EXPECT_EQ(Keychain::allAccounts()->size(), 4u);

    // New items take the process-wide accessibility, and listings then show only items that have it.
    Keychain::setAccessibilityType(sec::Accessibility::AfterFirstUnlock);
    ASSERT_TRUE(Keychain::setPassword("4", "news", "cat"));
    auto listed = Keychain::allAccounts();
    ASSERT_TRUE(listed);
    ASSERT_EQ(listed->size(), 1u);
    EXPECT_EQ((*listed)[0]["svce"].asString(), "news");
    EXPECT_EQ((*listed)[0]["pdmn"].asString(), "ck");
    EXPECT_EQ(Keychain::accessibilityType(), sec::Accessibility::AfterFirstUnlock);
}

TEST(Keychain, AVolumeThatCannotWriteGivesClearErrorsAndPasswordsStillRead) {
    for (const test::VolumeKind kind : test::volumeKinds()) {
        SCOPED_TRACE(test::describe(kind));
        ns::TemporarySandbox sandbox;
        test::FaultyVolume volume(kind, sandbox.path() + "/Library/Keychains");
        ASSERT_TRUE(Keychain::setPassword("first", "mail", "ann"));

        volume.makeReadOnly();
        EXPECT_EQ(Keychain::passwordForService("mail", "ann"), "first");
        ns::Error error = noError();
        EXPECT_FALSE(Keychain::setPassword("second", "mail", "ann", &error));
        EXPECT_EQ(error.code(), -25292);
        EXPECT_EQ(error.localizedDescription(), "errSecReadOnly");
        EXPECT_NE(error.localizedFailureReason().value_or("").find("Read-only file system"), std::string::npos);
        volume.restore();

        volume.fill();
        error = noError();
        EXPECT_FALSE(Keychain::setPassword(std::string(256 * 1024, 'p'), "mail", "bob", &error));
        EXPECT_EQ(error.code(), -36);
        EXPECT_EQ(error.localizedDescription(), "errSecIO");
        EXPECT_NE(error.localizedFailureReason().value_or("").find("full"), std::string::npos);
        EXPECT_EQ(Keychain::passwordForService("mail", "ann"), "first");
        // A failure that never reached the keychain has no reason of an earlier one.
        KeychainQuery incomplete;
        error = noError();
        EXPECT_FALSE(incomplete.save(&error));
        EXPECT_EQ(error.code(), -1001);
        EXPECT_FALSE(error.localizedFailureReason());
    }
}

}  // namespace
}  // namespace ql
