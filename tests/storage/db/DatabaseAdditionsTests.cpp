#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "platform/foundation/Error.h"
#include "storage/db/Database.h"
#include "storage/db/ResultSet.h"

using namespace ql;

namespace {

std::shared_ptr<Database> openMemoryDatabase() {
    auto db = Database::databaseWithPath(std::nullopt);
    EXPECT_TRUE(db->open());
    return db;
}

}  // namespace

TEST(DatabaseAdditions, TransactionsAndSavepointsWithApostrophes) {
    auto db = openMemoryDatabase();
    ASSERT_TRUE(db->executeUpdate("create table t (a)"));

    ASSERT_TRUE(db->beginTransaction());
    EXPECT_TRUE(db->inTransaction());
    EXPECT_TRUE(db->executeUpdate("insert into t values (1)"));
    EXPECT_TRUE(db->rollback());
    EXPECT_FALSE(db->inTransaction());
    ASSERT_TRUE(db->beginDeferredTransaction());
    EXPECT_TRUE(db->executeUpdate("insert into t values (2)"));
    EXPECT_TRUE(db->commit());
    db->setLogsErrors(false);
    EXPECT_FALSE(db->commit());  // nothing to commit: the flag keeps its value
    EXPECT_FALSE(db->inTransaction());

    ns::Error error("", 0);
    const std::string name = "it's o'clock";
    ASSERT_TRUE(db->startSavePointWithName(name, &error));
    EXPECT_TRUE(db->executeUpdate("insert into t values (3)"));
    EXPECT_TRUE(db->rollbackToSavePointWithName(name, &error));
    EXPECT_TRUE(db->releaseSavePointWithName(name, &error));
    EXPECT_FALSE(db->releaseSavePointWithName("never ' started", &error));
    EXPECT_EQ(error.code(), SQLITE_ERROR);
    EXPECT_EQ(error.localizedDescription(), "no such savepoint: never ' started");
    EXPECT_EQ(db->intForQuery("select count(*) from t"), 1);

    EXPECT_EQ(db->inSavePoint([&](bool* rollback) {
        db->executeUpdate("insert into t values (4)");
        *rollback = true;
    }), std::nullopt);
    EXPECT_EQ(db->inSavePoint([&](bool*) { db->executeUpdate("insert into t values (5)"); }), std::nullopt);
    EXPECT_EQ(db->inSavePoint(nullptr), std::nullopt);
    EXPECT_EQ(db->longForQuery("select sum(a) from t"), 7);
}

TEST(DatabaseAdditions, CustomFunctions) {
    auto db = openMemoryDatabase();
    db->makeFunctionNamed("twice", 1, [](sqlite3_context* context, int, sqlite3_value** argv) {
        sqlite3_result_int64(context, 2 * sqlite3_value_int64(argv[0]));
    });
    db->makeFunctionNamed("joined", -1, [](sqlite3_context* context, int argc, sqlite3_value** argv) {
        std::string text;
        for (int i = 0; i < argc; ++i) text += reinterpret_cast<const char*>(sqlite3_value_text(argv[i]));
        sqlite3_result_text(context, text.c_str(), -1, SQLITE_TRANSIENT);
    });
    db->makeFunctionNamed("failing", 0, [](sqlite3_context*, int, sqlite3_value**) {
        throw std::runtime_error("refused");
    });
    EXPECT_EQ(db->longForQuery("select twice(?)", std::int64_t{1} << 40), std::int64_t{1} << 41);
    EXPECT_EQ(db->stringForQuery("select joined('a', 'b', 3)"), "ab3");

    auto rs = db->executeQuery("select failing()");
    ns::Error error("", 0);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(rs->nextWithError(&error));
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(error.localizedDescription(), "refused");
}

TEST(DatabaseAdditions, SchemaQueriesAndSingleValues) {
    auto db = openMemoryDatabase();
    const std::string table = "reader's notes";
    ASSERT_TRUE(db->executeUpdate("create table \"reader's notes\" (Id integer, Body text)"));
    ASSERT_TRUE(db->executeUpdate("create index notes_body on \"reader's notes\" (Body)"));
    EXPECT_TRUE(db->tableExists("READER'S NOTES"));
    EXPECT_FALSE(db->tableExists("notes"));
    EXPECT_TRUE(db->columnExistsInTableWithName("body", table));
    EXPECT_TRUE(db->columnExistsColumnName("Reader's Notes", "ID"));
    EXPECT_FALSE(db->columnExistsInTableWithName("title", table));

    auto schema = db->getTableSchema(table);
    ASSERT_TRUE(schema);
    ASSERT_TRUE(schema->next());
    EXPECT_EQ(schema->stringForColumn("name"), "Id");
    schema->close();

    auto objects = db->getSchema();
    ASSERT_TRUE(objects->next());
    EXPECT_EQ(objects->stringForColumn("type"), "table");
    ASSERT_TRUE(objects->next());
    EXPECT_EQ(objects->stringForColumn("name"), "notes_body");
    EXPECT_FALSE(objects->next());

    EXPECT_EQ(db->intForQuery("select Id from \"reader's notes\""), 0);
    EXPECT_EQ(db->stringForQuery("select Body from \"reader's notes\""), std::nullopt);
    EXPECT_EQ(db->dataForQuery("select x'ff'"), ns::Data(std::string_view("\xff")));
    EXPECT_EQ(db->dateForQuery("select 60.5"), ns::Date::fromTimeIntervalSince1970(60.5));
    EXPECT_TRUE(db->boolForQuery("select ? > 1", 2.5));
    EXPECT_EQ(db->doubleForQuery("select 0.25"), 0.25);
    EXPECT_FALSE(db->hasOpenResultSets());

    EXPECT_EQ(db->userVersion(), 0u);
    db->setUserVersion(7);
    EXPECT_EQ(db->userVersion(), 7u);
    EXPECT_EQ(db->applicationID(), 0u);
    db->setApplicationID(0xFEEDBEEF);  // beyond the signed range: stored by its bits
    EXPECT_EQ(db->applicationID(), 0xFEEDBEEFu);

    ns::Error error("", 0);
    EXPECT_TRUE(db->validateSQL("select * from \"reader's notes\"", &error));
    EXPECT_FALSE(db->validateSQL("selec 1", &error));
    EXPECT_EQ(error.domain(), ns::CocoaErrorDomain);
    EXPECT_EQ(error.code(), SQLITE_ERROR);
    EXPECT_EQ(db->intForQuery("select count(*) from \"reader's notes\""), 0);  // validation never runs it
}
