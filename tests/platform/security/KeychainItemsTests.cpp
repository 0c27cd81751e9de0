#include "platform/security/KeychainItems.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "platform/foundation/Data.h"
#include "platform/foundation/Sandbox.h"

namespace ql::sec {
namespace {

ns::Dictionary item(std::string_view service, std::string_view account) {
    ns::Dictionary query;
    query.set(std::string(ItemClass), ns::Value(ClassGenericPassword));
    query.set(std::string(AttrService), ns::Value(service));
    query.set(std::string(AttrAccount), ns::Value(account));
    return query;
}

ns::Dictionary with(ns::Dictionary query, std::string_view key, ns::Value value) {
    query.set(std::string(key), std::move(value));
    return query;
}

TEST(KeychainItems, AddFindUpdateDeleteWithStatuses) {
    ns::TemporarySandbox sandbox;
    auto attributes = with(item("mail", "ann"), ValueData, ns::Value(ns::Data("secret")));
    EXPECT_EQ(itemCopyMatching(item("mail", "ann"), nullptr), StatusItemNotFound);
    ASSERT_EQ(itemAdd(attributes), StatusSuccess);
    EXPECT_EQ(itemAdd(attributes), StatusDuplicateItem);

    // The store is the owner's alone.
    struct stat info {};
    ASSERT_EQ(::stat((sandbox.path() + "/Library/Keychains/keychain.db").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    ns::Value result;
    auto readData = with(item("mail", "ann"), ReturnData, ns::Value(true));
    ASSERT_EQ(itemCopyMatching(readData, &result), StatusSuccess);
    EXPECT_EQ(*result.asData(), ns::Data("secret"));

    ns::Dictionary changes;
    changes.set(std::string(ValueData), ns::Value(ns::Data("")));
    ASSERT_EQ(itemUpdate(item("mail", "ann"), changes), StatusSuccess);
    ASSERT_EQ(itemCopyMatching(readData, &result), StatusSuccess);
    ASSERT_TRUE(result.asData());
    EXPECT_EQ(result.asData()->length(), 0u);
    EXPECT_EQ(itemUpdate(item("mail", "bob"), changes), StatusItemNotFound);

    EXPECT_EQ(itemDelete(item("mail", "ann")), StatusSuccess);
    EXPECT_EQ(itemDelete(item("mail", "ann")), StatusItemNotFound);
    EXPECT_EQ(itemCopyMatching(readData, &result), StatusItemNotFound);
}

TEST(KeychainItems, ListsAttributesAndMatchesSynchronizability) {
    ns::TemporarySandbox sandbox;
    ASSERT_EQ(itemAdd(with(item("mail", "ann"), AttrLabel, ns::Value("Ann's mail"))), StatusSuccess);
    ASSERT_EQ(itemAdd(with(item("mail", "ann"), AttrSynchronizable, ns::Value(true))), StatusSuccess);
    ASSERT_EQ(itemAdd(with(item("chat", "bob"), AttrAccessible, ns::Value(accessibilityValue(Accessibility::Always)))),
              StatusSuccess);

    ns::Dictionary all;
    all.set(std::string(ItemClass), ns::Value(ClassGenericPassword));
    all.set(std::string(ReturnAttributes), ns::Value(true));
    all.set(std::string(MatchLimit), ns::Value(MatchLimitAll));
    ns::Value result;
    // Without a synchronizability only local items match.
    ASSERT_EQ(itemCopyMatching(all, &result), StatusSuccess);
    ASSERT_EQ(result.count(), 2u);
    EXPECT_EQ(result[0][AttrLabel].asString(), "Ann's mail");
    EXPECT_EQ(result[0][AttrAccessible].asString(), "ak");
    EXPECT_FALSE(result[0][AttrSynchronizable].boolValue());
    EXPECT_EQ(result[1][AttrService].asString(), "chat");
    EXPECT_EQ(result[1][AttrAccessible].asString(), "dk");
    EXPECT_FALSE(result[1].asDictionary()->contains(AttrLabel));
    EXPECT_FALSE(result[1].asDictionary()->contains(ValueData));

    ASSERT_EQ(itemCopyMatching(with(all, AttrSynchronizable, ns::Value(AttrSynchronizableAny)), &result), StatusSuccess);
    EXPECT_EQ(result.count(), 3u);
    ASSERT_EQ(itemCopyMatching(with(all, AttrSynchronizable, ns::Value(true)), &result), StatusSuccess);
    ASSERT_EQ(result.count(), 1u);
    EXPECT_TRUE(result[0][AttrSynchronizable].boolValue());
    ASSERT_EQ(itemCopyMatching(with(all, AttrAccessible, ns::Value("dk")), &result), StatusSuccess);
    EXPECT_EQ(result.count(), 1u);
}

TEST(KeychainItems, RefusesMalformedQueries) {
    ns::TemporarySandbox sandbox;
    ns::Dictionary noClass;
    noClass.set(std::string(AttrService), ns::Value("mail"));
    EXPECT_EQ(itemAdd(noClass), StatusParam);
    EXPECT_EQ(itemCopyMatching(with(item("mail", "ann"), ItemClass, ns::Value("inet")), nullptr), StatusUnimplemented);
    EXPECT_EQ(itemAdd(with(item("mail", "ann"), AttrAccount, ns::Value(7))), StatusParam);
    EXPECT_EQ(itemAdd(with(item("mail", "ann"), ValueData, ns::Value("text, not bytes"))), StatusParam);
    EXPECT_EQ(itemCopyMatching(with(item("mail", "ann"), MatchLimit, ns::Value("m_LimitSome")), nullptr), StatusParam);
    ns::Dictionary changes;
    changes.set("unknown", ns::Value("x"));
    EXPECT_EQ(itemUpdate(item("mail", "ann"), changes), StatusParam);
    // A quote in a name is data, never part of the store's query.
    ASSERT_EQ(itemAdd(item("it's", "x' OR '1'='1")), StatusSuccess);
    EXPECT_EQ(itemDelete(item("mail", "x' OR '1'='1")), StatusItemNotFound);
    EXPECT_EQ(itemDelete(item("it's", "x' OR '1'='1")), StatusSuccess);
}

}  // namespace
}  // namespace ql::sec
