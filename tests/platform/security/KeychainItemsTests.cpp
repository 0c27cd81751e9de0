#include "platform/security/KeychainItems.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/foundation/Data.h"
#include "platform/foundation/Sandbox.h"
#include "tests/support/ChildProgram.h"
#include "tests/support/FaultyVolume.h"
#include "tests/support/HostileFiles.h"

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

// The store file's bytes, as anyone who gets hold of the file reads them.
std::string storeBytes(const ns::TemporarySandbox& sandbox) {
    std::ifstream file(sandbox.path() + "/Library/Keychains/keychain.db", std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// Some builds of the database library erase deleted content by default, others do not. While one of these
// lives, every connection the process opens starts with erasing off, so the store cannot lean on a default.
int eraseNothing(sqlite3* db, const char**, const sqlite3_api_routines*) {
    return sqlite3_exec(db, "PRAGMA secure_delete = OFF", nullptr, nullptr, nullptr);
}
struct DatabaseDefaultsKeepingDeletedContent {
    DatabaseDefaultsKeepingDeletedContent() { sqlite3_auto_extension(entry()); }
    ~DatabaseDefaultsKeepingDeletedContent() { sqlite3_cancel_auto_extension(entry()); }
    static void (*entry())() { return reinterpret_cast<void (*)()>(&eraseNothing); }
};

TEST(KeychainItems, NothingDeletedOrReplacedCanBeReadBackFromTheFile) {
    ns::TemporarySandbox sandbox;
    DatabaseDefaultsKeepingDeletedContent keepingDefaults;
    const std::string deleted = "deleted-Passw0rd-4711", replaced = "replaced-Passw0rd-0815";
    const std::string kept = "kept-Passw0rd-2024";
    ASSERT_EQ(itemAdd(with(item("mail", "ann"), ValueData, ns::Value(ns::Data(deleted)))), StatusSuccess);
    ASSERT_EQ(itemAdd(with(item("mail", "bob"), ValueData, ns::Value(ns::Data(replaced)))), StatusSuccess);
    ASSERT_EQ(itemAdd(with(item("mail", "cy"), ValueData, ns::Value(ns::Data(kept)))), StatusSuccess);
    // The secrets are stored as they are, so a search of the bytes would find them.
    ASSERT_NE(storeBytes(sandbox).find(deleted), std::string::npos);
    ASSERT_NE(storeBytes(sandbox).find(replaced), std::string::npos);

    ASSERT_EQ(itemDelete(item("mail", "ann")), StatusSuccess);
    ns::Dictionary changes;
    changes.set(std::string(ValueData), ns::Value(ns::Data("new")));
    ASSERT_EQ(itemUpdate(item("mail", "bob"), changes), StatusSuccess);

    const std::string bytes = storeBytes(sandbox);
    EXPECT_EQ(bytes.find(deleted), std::string::npos);
    EXPECT_EQ(bytes.find(replaced), std::string::npos);
    EXPECT_NE(bytes.find(kept), std::string::npos);
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

ns::Dictionary readingData(std::string_view service, std::string_view account) {
    return with(item(service, account), ReturnData, ns::Value(true));
}

std::string passwordOf(std::string_view service, std::string_view account) {
    ns::Value result;
    if (itemCopyMatching(readingData(service, account), &result) != StatusSuccess || !result.asData()) return "(none)";
    return result.asData()->toString();
}

TEST(KeychainItems, AReadOnlyVolumeStillReadsAndRefusesChangesWithAReason) {
    for (const test::VolumeKind kind : test::volumeKinds()) {
        SCOPED_TRACE(test::describe(kind));
        ns::TemporarySandbox sandbox;
        test::FaultyVolume volume(kind, sandbox.path() + "/Library/Keychains");
        // Before anything was stored there is nothing to read, and nothing can be stored.
        volume.makeReadOnly();
        EXPECT_EQ(itemCopyMatching(readingData("mail", "ann"), nullptr), StatusItemNotFound);
        EXPECT_EQ(itemAdd(with(item("mail", "ann"), ValueData, ns::Value(ns::Data("secret")))), StatusReadOnly);
        EXPECT_NE(failureReason().find("keychain.db: Read-only file system"), std::string::npos) << failureReason();

        volume.restore();
        ASSERT_EQ(itemAdd(with(item("mail", "ann"), ValueData, ns::Value(ns::Data("secret")))), StatusSuccess);
        volume.makeReadOnly();
        EXPECT_EQ(passwordOf("mail", "ann"), "secret");
        EXPECT_TRUE(failureReason().empty());
        ns::Dictionary changes;
        changes.set(std::string(ValueData), ns::Value(ns::Data("other")));
        EXPECT_EQ(itemUpdate(item("mail", "ann"), changes), StatusReadOnly);
        EXPECT_FALSE(failureReason().empty());
        EXPECT_EQ(itemDelete(item("mail", "ann")), StatusReadOnly);
        EXPECT_EQ(itemAdd(item("mail", "bob")), StatusReadOnly);
        EXPECT_EQ(passwordOf("mail", "ann"), "secret");
        EXPECT_EQ(itemCopyMatching(readingData("mail", "bob"), nullptr), StatusItemNotFound);
    }
}

TEST(KeychainItems, AFullVolumeIsAnIOErrorWithItsReasonAndLosesNothing) {
    for (const test::VolumeKind kind : test::volumeKinds()) {
        SCOPED_TRACE(test::describe(kind));
        ns::TemporarySandbox sandbox;
        test::FaultyVolume volume(kind, sandbox.path() + "/Library/Keychains");
        ASSERT_EQ(itemAdd(with(item("mail", "ann"), ValueData, ns::Value(ns::Data("secret")))), StatusSuccess);
        volume.fill();
        const ns::Data large(std::string(256 * 1024, 'p'));
        EXPECT_EQ(itemAdd(with(item("mail", "bob"), ValueData, ns::Value(large))), StatusIO);
        EXPECT_NE(failureReason().find("keychain.db: database or disk is full"), std::string::npos) << failureReason();
        ns::Dictionary changes;
        changes.set(std::string(ValueData), ns::Value(large));
        EXPECT_EQ(itemUpdate(item("mail", "ann"), changes), StatusIO);
        EXPECT_EQ(passwordOf("mail", "ann"), "secret");
        EXPECT_EQ(itemCopyMatching(readingData("mail", "bob"), nullptr), StatusItemNotFound);

        // Once there is room again the same changes go through.
        volume.restore();
        EXPECT_EQ(itemAdd(with(item("mail", "bob"), ValueData, ns::Value(ns::Data("second")))), StatusSuccess);
        EXPECT_EQ(passwordOf("mail", "bob"), "second");
    }
}

TEST(KeychainItems, WhatIsNoRegularFileWhereTheStoreBelongsFailsWithoutWaiting) {
    for (const test::HostileFile kind : {test::HostileFile::FIFO, test::HostileFile::Socket, test::HostileFile::EndlessDevice}) {
        SCOPED_TRACE(test::describe(kind));
        ns::TemporarySandbox sandbox;
        std::filesystem::create_directories(sandbox.path() + "/Library/Keychains");
        test::placeHostileFile(kind, sandbox.path() + "/Library/Keychains/keychain.db", 0);
        const test::HangGuard guard("the keychain on " + test::describe(kind));
        EXPECT_EQ(itemCopyMatching(readingData("mail", "ann"), nullptr), StatusIO);
        EXPECT_NE(failureReason().find("keychain.db"), std::string::npos) << failureReason();
        EXPECT_EQ(itemAdd(with(item("mail", "ann"), ValueData, ns::Value(ns::Data("secret")))), StatusIO);
    }
}

TEST(KeychainItems, AThreadLooksItemsUpFromAnExitHandler) {
    // Why its last look-up failed is kept past the thread storage of the thread that ends the process, which its
    // exit handlers outlive.
    ns::TemporarySandbox home;
    const test::ChildRun child = test::runChild({QL_KEYCHAIN_AT_EXIT}, {{"QUILLORY_HOME", home.path()}}, "", 60);
    EXPECT_TRUE(child.succeeded()) << child.describe();
    EXPECT_FALSE(child.hasSanitizerReport()) << child.describe();
    EXPECT_EQ(child.out.rfind("at the end: keychain.db: ", 0), 0u) << child.out;
}

}  // namespace
}  // namespace ql::sec
