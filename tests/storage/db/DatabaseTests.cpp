#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <limits>
#include <string>

#include "platform/foundation/Exception.h"
#include "platform/foundation/Sandbox.h"
#include "storage/db/Database.h"
#include "storage/db/ResultSet.h"
#include "storage/db/Statement.h"

using namespace ql;

namespace {

std::shared_ptr<Database> openMemoryDatabase() {
    auto db = Database::databaseWithPath(std::nullopt);
    EXPECT_TRUE(db->open());
    return db;
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

TEST(Database, OpensClosesAndReportsErrors) {
    EXPECT_EQ(Database::DBVersion(), 0x260u);
    EXPECT_EQ(Database().sqlitePath(), ":memory:");
    EXPECT_EQ(Database(std::string()).sqlitePath(), "");

    auto db = openMemoryDatabase();
    sqlite3* handle = db->sqliteHandle();
    EXPECT_TRUE(db->open());  // already open: the same connection
    EXPECT_EQ(db->sqliteHandle(), handle);
    EXPECT_TRUE(db->goodConnection());
    EXPECT_TRUE(db->executeUpdate("create table t (a integer)"));
    EXPECT_FALSE(db->hadError());

    EXPECT_FALSE(db->executeUpdate("insert into nowhere values (1)"));
    EXPECT_TRUE(db->hadError());
    const ns::Error error = db->lastError();
    EXPECT_EQ(error.domain(), "Database");
    EXPECT_EQ(error.code(), SQLITE_ERROR);
    EXPECT_EQ(error.localizedDescription(), "no such table: nowhere");

    // A statement prepared behind the connection's back is finalized on close, not leaked.
    sqlite3_stmt* leaked = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(handle, "select 1", -1, &leaked, nullptr), SQLITE_OK);
    testing::internal::CaptureStderr();
    EXPECT_TRUE(db->close());
    EXPECT_NE(testing::internal::GetCapturedStderr().find("Closing leaked statement"), std::string::npos);
    EXPECT_EQ(db->sqliteHandle(), nullptr);
    EXPECT_TRUE(db->close());

    testing::internal::CaptureStderr();
    EXPECT_FALSE(db->executeUpdate("select 1"));
    EXPECT_EQ(db->executeQuery("select 1"), nullptr);
    EXPECT_EQ(db->lastInsertRowId(), 0);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("is not open."), std::string::npos);

    // A failed open leaves the connection closed, and the next open tries again.
    ns::TemporarySandbox sandbox;
    auto missing = Database::databaseWithPath(sandbox.path() + "/no/such/folder/db.sqlite");
    testing::internal::CaptureStderr();
    EXPECT_FALSE(missing->open());
    EXPECT_FALSE(missing->open());
    EXPECT_NE(testing::internal::GetCapturedStderr().find("error opening!: 14"), std::string::npos);
    EXPECT_EQ(missing->sqliteHandle(), nullptr);
}

TEST(Database, BusyWaitingStopsAtTheLimit) {
    ns::TemporarySandbox sandbox;
    const std::string path = sandbox.path() + "/busy.sqlite";
    auto writer = Database::databaseWithPath(path);
    auto waiter = Database::databaseWithPath(path);
    ASSERT_TRUE(writer->open());
    ASSERT_TRUE(writer->executeUpdate("create table t (a integer)"));
    ASSERT_TRUE(writer->beginTransaction());
    ASSERT_TRUE(writer->executeUpdate("insert into t values (1)"));

    waiter->setMaxBusyRetryTimeInterval(0.25);  // kept before open: applied when the connection opens
    ASSERT_TRUE(waiter->open());
    waiter->setLogsErrors(false);
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(waiter->executeUpdate("insert into t values (2)"));
    const double waited = secondsSince(start);
    EXPECT_EQ(waiter->lastErrorCode(), SQLITE_BUSY);
    EXPECT_GE(waited, 0.25);
    EXPECT_LT(waited, 0.25 + 5);  // it gives up instead of waiting for ever

    // Without a limit there is no busy handler: a locked database fails at once.
    waiter->setMaxBusyRetryTimeInterval(0);
    start = std::chrono::steady_clock::now();
    EXPECT_FALSE(waiter->executeUpdate("insert into t values (3)"));
    EXPECT_EQ(waiter->lastErrorCode(), SQLITE_BUSY);
    EXPECT_LT(secondsSince(start), 0.2);

    ASSERT_TRUE(writer->commit());
    EXPECT_TRUE(waiter->executeUpdate("insert into t values (4)"));
    EXPECT_EQ(waiter->intForQuery("select count(*) from t"), 2);
}

TEST(Database, StatementCacheReusesAndSkipsStatementsInUse) {
    auto db = openMemoryDatabase();
    db->setShouldCacheStatements(true);
    ASSERT_TRUE(db->executeUpdate("create table t (a integer)"));
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(db->executeUpdate("insert into t values (?)", i));
    ASSERT_EQ(db->cachedStatements()->at("insert into t values (?)").size(), 1u);
    EXPECT_EQ(db->cachedStatements()->at("insert into t values (?)").front()->useCount(), 3);

    const std::string sql = "select a from t order by a";
    auto first = db->executeQuery(sql);
    ASSERT_TRUE(first->next());
    // The first result set still reads: a second one of the same text gets its own statement.
    auto second = db->executeQuery(sql);
    EXPECT_NE(first->statement(), second->statement());
    EXPECT_EQ(db->cachedStatements()->at(sql).size(), 2u);
    ASSERT_TRUE(second->next());
    EXPECT_EQ(first->intForColumnIndex(0), 0);
    EXPECT_EQ(second->intForColumnIndex(0), 0);
    EXPECT_TRUE(first->next());
    EXPECT_EQ(first->intForColumnIndex(0), 1);

    const std::shared_ptr<Statement> reusable = first->statement();
    first->close();
    EXPECT_FALSE(reusable->inUse());
    auto third = db->executeQuery(sql);
    EXPECT_EQ(third->statement(), reusable);
    EXPECT_EQ(reusable->useCount(), 2);
    ASSERT_TRUE(third->next());
    EXPECT_EQ(third->intForColumnIndex(0), 0);  // reset to the start
    EXPECT_EQ(db->cachedStatements()->at(sql).size(), 2u);

    // Bound texts are copied: the argument is gone long before the cached statement steps.
    auto echoed = db->executeQuery("select ?", std::string(200, 'x'));
    ASSERT_TRUE(echoed->next());
    EXPECT_EQ(echoed->stringForColumnIndex(0), std::string(200, 'x'));

    db->close();
    EXPECT_TRUE(db->cachedStatements()->empty());
    EXPECT_FALSE(db->hasOpenResultSets());
    EXPECT_FALSE(second->next());  // closed with the connection
}

TEST(Database, BindsEachKindExactly) {
    auto db = openMemoryDatabase();
    ASSERT_TRUE(db->executeUpdate("create table v (x)"));
    auto stored = [&](const auto& value) {
        EXPECT_TRUE(db->executeUpdate("delete from v"));
        EXPECT_TRUE(db->executeUpdate("insert into v values (?)", value));
        auto rs = db->executeQuery("select x, typeof(x) from v");
        EXPECT_TRUE(rs->next());
        std::pair<ns::Value, std::string> result{rs->objectForColumnIndex(0), *rs->stringForColumnIndex(1)};
        rs->close();
        return result;
    };
    constexpr auto kMax = std::numeric_limits<std::int64_t>::max();
    constexpr auto kMin = std::numeric_limits<std::int64_t>::min();
    EXPECT_EQ(stored(kMax).first.int64Value(), kMax);
    EXPECT_EQ(stored(kMin).first.int64Value(), kMin);
    EXPECT_EQ(stored(std::numeric_limits<std::uint64_t>::max()).first.int64Value(), -1);
    EXPECT_EQ(stored(std::numeric_limits<std::uint32_t>::max()).first.int64Value(), 4294967295);
    EXPECT_EQ(stored(std::int32_t{-7}).first.int64Value(), -7);
    EXPECT_EQ(stored(true).first.int64Value(), 1);
    EXPECT_EQ(stored(2.5f).first.doubleValue(), 2.5);
    EXPECT_EQ(stored("text").first.asString(), "text");
    EXPECT_EQ(stored(ns::Data(std::string_view("\x01\x00\x02", 3))).second, "blob");
    EXPECT_EQ(stored(ns::Data()).second, "blob");  // empty, yet not NULL
    EXPECT_EQ(stored(nullptr).second, "null");
    EXPECT_EQ(stored(std::optional<int>()).second, "null");
    EXPECT_EQ(stored(std::optional<int>(3)).first.int64Value(), 3);
    EXPECT_EQ(stored(ns::Value()).second, "null");
    EXPECT_EQ(stored(ns::Value::null()).second, "null");
    EXPECT_EQ(stored(ns::Value(std::numeric_limits<std::uint64_t>::max())).first.int64Value(), -1);
    EXPECT_EQ(stored(ns::Value(ns::Data())).second, "blob");
    EXPECT_EQ(stored(ns::Value(ns::Array{1, 2})).first.asString(), ns::Value(ns::Array{1, 2}).description());

    const ns::Date date = ns::Date::fromTimeIntervalSince1970(86400.5);
    EXPECT_EQ(stored(date).first.doubleValue(), 86400.5);
    db->setDateFormat(Database::storeableDateFormat("yyyy-MM-dd HH:mm:ss"));
    EXPECT_EQ(stored(date).first.asString(), "1970-01-02 00:00:00");
    auto rs = db->executeQuery("select x from v");
    ASSERT_TRUE(rs->next());
    EXPECT_EQ(rs->dateForColumnIndex(0), ns::Date::fromTimeIntervalSince1970(86400));
}

TEST(Database, PassesNamedAndPositionalArguments) {
    auto db = openMemoryDatabase();
    ASSERT_TRUE(db->executeUpdate("create table p (a, b)"));
    EXPECT_TRUE(db->executeUpdate("insert into p values (:a, :b)", ns::Dictionary{{"a", 1}, {"b", "two"}}));
    EXPECT_TRUE(db->executeUpdate("insert into p values (?, ?)", ns::Array{3, "four", "ignored"}));
    EXPECT_TRUE(db->executeUpdate("insert into p values (?, ?)", 5, "six"));
    auto rs = db->executeQuery("select b from p where a = :a", ns::Dictionary{{"a", 3}});
    ASSERT_TRUE(rs->next());
    EXPECT_EQ(rs->stringForColumn("B"), "four");
    rs->close();

    testing::internal::CaptureStderr();
    EXPECT_FALSE(db->executeUpdate("insert into p values (:a, :b)", ns::Dictionary{{"a", 1}, {"c", 2}}));
    EXPECT_FALSE(db->executeUpdate("insert into p values (?, ?)", ns::Array{1}));
    EXPECT_FALSE(db->executeUpdate("insert into p values (?, ?)", 1));
    EXPECT_EQ(db->executeQuery("select ?, ?", 1), nullptr);
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("Could not find index for c"), std::string::npos);
    EXPECT_NE(log.find("Error: the bind count (1) is not correct for the # of variables in the query (2)"),
              std::string::npos);
    EXPECT_EQ(db->intForQuery("select count(*) from p"), 3);

    // Failures fill the error slot: a wrong count, a failing step and a statement that yields a row.
    ns::Error error("", 0);
    EXPECT_FALSE(db->executeUpdate("insert into p values (?, ?)", ns::Array{1}, &error));
    EXPECT_EQ(error.domain(), "Database");
    EXPECT_NE(error.localizedDescription().find("bind count"), std::string::npos);
    ASSERT_TRUE(db->executeUpdate("create table u (k unique)"));
    ASSERT_TRUE(db->executeUpdate("insert into u values (1)"));
    db->setLogsErrors(false);
    EXPECT_FALSE(db->executeUpdate("insert into u values (?)", &error, 1));
    EXPECT_EQ(error.code(), SQLITE_CONSTRAINT);
    EXPECT_FALSE(db->update("select 1", &error));
    EXPECT_EQ(error.code(), SQLITE_ROW);
    EXPECT_EQ(db->executeQuery("select nonsense(", ns::Array{}, &error), nullptr);
    EXPECT_EQ(error.code(), SQLITE_ERROR);
    EXPECT_EQ(db->executeQuery("select ?", ns::Array{}, &error), nullptr);
    EXPECT_NE(error.localizedDescription().find("bind count"), std::string::npos);
}

TEST(Database, FormatConversionsBindInsteadOfSplicing) {
    auto db = openMemoryDatabase();
    ASSERT_TRUE(db->executeUpdate("create table f (a, b, c)"));
    const std::string hostile = "x'); drop table f; --";
    EXPECT_TRUE(db->executeUpdateWithFormat("insert into f values (%@, %d, %s)", hostile, 7, "s"));
    EXPECT_TRUE(db->executeUpdateWithFormat("insert into f values (%@, %lld, %llu)", nullptr, std::int64_t{-1} << 40,
                                            std::numeric_limits<std::uint64_t>::max()));
    EXPECT_TRUE(db->tableExists("f"));
    auto rs = db->executeQueryWithFormat("select a, b, c from f where b = %qi", 7);
    ASSERT_TRUE(rs->next());
    EXPECT_EQ(rs->stringForColumnIndex(0), hostile);
    EXPECT_EQ(rs->stringForColumnIndex(2), "s");
    rs->close();
    rs = db->executeQueryWithFormat("select a is null, b, c, %hu, %g, '%%' from f where a is %@", 65537, 0.1, nullptr);
    ASSERT_TRUE(rs->next());
    EXPECT_TRUE(rs->boolForColumnIndex(0));
    EXPECT_EQ(rs->longLongIntForColumnIndex(1), std::int64_t{-1} << 40);
    EXPECT_EQ(rs->longLongIntForColumnIndex(2), -1);
    EXPECT_EQ(rs->intForColumnIndex(3), 1);
    EXPECT_EQ(rs->doubleForColumnIndex(4), static_cast<double>(0.1f));
    EXPECT_EQ(rs->stringForColumnIndex(5), "%");
    rs->close();

    std::string sql;
    ns::Array values;
    Database::extractSQL("a %hx %llx %q", {}, sql, values);
    EXPECT_EQ(sql, "a hx lx q");
    EXPECT_TRUE(values.empty());

    EXPECT_THROW(db->executeQueryWithFormat("select %d", "seven"), ns::Exception);
    EXPECT_THROW(db->executeQueryWithFormat("select %d, %d", 1), ns::Exception);
    EXPECT_THROW(db->executeQueryWithFormat("select %d", 1, 2), ns::Exception);
}

TEST(Database, InUseGuardRefusesReentry) {
    auto db = openMemoryDatabase();
    ASSERT_TRUE(db->executeUpdate("create table r (a)"));
    ASSERT_TRUE(db->executeStatements("insert into r values (1); insert into r values (2);"));
    bool nested = true;
    int rows = 0;
    testing::internal::CaptureStderr();
    EXPECT_TRUE(db->executeStatements("select a from r", [&](const ns::Dictionary& row) {
        ++rows;
        EXPECT_EQ(row["a"].asString(), rows == 1 ? "1" : "2");
        return 0;
    }));
    db->makeFunctionNamed("nested", 0, [&](sqlite3_context* context, int, sqlite3_value**) {
        nested = db->executeUpdate("insert into r values (3)");
        sqlite3_result_int(context, 0);
    });
    EXPECT_TRUE(db->executeUpdate("update r set a = a + nested()"));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("is currently in use."), std::string::npos);
    EXPECT_FALSE(nested);
    EXPECT_EQ(rows, 2);

    // A non-zero answer stops the batch; an exception of the block reaches the caller.
    rows = 0;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(db->executeStatements("select a from r", [&](const ns::Dictionary&) { return ++rows; }));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("Error inserting batch: "), std::string::npos);
    EXPECT_EQ(rows, 1);
    EXPECT_THROW(db->executeStatements("select a from r", [](const ns::Dictionary&) -> int { throw std::runtime_error("x"); }),
                 std::runtime_error);
    EXPECT_EQ(db->intForQuery("select count(*) from r"), 2);
}

TEST(Database, StatementsHeldPastCloseAreFinalizedOnce) {
    auto db = openMemoryDatabase();
    ASSERT_TRUE(db->executeUpdate("create table t (a integer)"));
    ASSERT_TRUE(db->executeUpdate("insert into t values (1)"));
    auto resultSet = db->executeQuery("select a from t");
    ASSERT_TRUE(resultSet);
    std::shared_ptr<Statement> held = resultSet->statement();
    ASSERT_NE(held->statement(), nullptr);
    EXPECT_TRUE(db->close());
    // Closing finalized the handle through its object; releasing the object afterwards must not do it again
    // (the sanitizer would report the second finalize as a use after free).
    EXPECT_EQ(held->statement(), nullptr);
    resultSet.reset();
    held.reset();
}
