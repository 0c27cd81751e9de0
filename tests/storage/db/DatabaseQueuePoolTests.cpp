#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/foundation/Exception.h"
#include "platform/foundation/Sandbox.h"
#include "storage/db/DatabasePool.h"
#include "storage/db/DatabaseQueue.h"
#include "storage/db/ResultSet.h"

using namespace ql;

namespace {

constexpr int kThreads = 6;
constexpr int kRowsPerThread = 40;

template <class Body>
void onThreads(Body body) {
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) threads.emplace_back(body, t);
    for (auto& thread : threads) thread.join();
}

class CountingDatabase : public Database {
public:
    using Database::Database;
};

}  // namespace

TEST(DatabaseQueue, SerialisesWorkFromSeveralThreads) {
    ns::TemporarySandbox sandbox;
    auto queue = DatabaseQueue::databaseQueueWithPath<CountingDatabase>(sandbox.path() + "/queue.sqlite");
    ASSERT_TRUE(queue);
    queue->inDatabase([](const std::shared_ptr<Database>& db) {
        ASSERT_TRUE(db->executeStatements("pragma synchronous = off; create table t (a);"));
    });

    std::atomic<int> inside{0};
    std::atomic<bool> overlapped{false};
    onThreads([&](int t) {
        for (int i = 0; i < kRowsPerThread; ++i) {
            queue->inTransaction([&](const std::shared_ptr<Database>& db, bool* rollback) {
                if (inside.fetch_add(1) != 0) overlapped = true;
                db->executeUpdate("insert into t values (?)", t * 1000 + i);
                *rollback = i % 2 == 1;  // every other row is undone
                inside.fetch_sub(1);
            });
        }
    });
    EXPECT_FALSE(overlapped);

    queue->close();  // the next piece of work reopens, with the same connection class
    queue->inDatabase([](const std::shared_ptr<Database>& db) {
        ASSERT_TRUE(db);
        EXPECT_TRUE(std::dynamic_pointer_cast<CountingDatabase>(db));
        EXPECT_EQ(db->intForQuery("select count(*) from t"), kThreads * kRowsPerThread / 2);
    });

    EXPECT_EQ(queue->inSavePoint([](const std::shared_ptr<Database>& db, bool* rollback) {
        db->executeUpdate("delete from t");
        *rollback = true;
    }), std::nullopt);
    queue->inDeferredTransaction([](const std::shared_ptr<Database>& db, bool*) {
        EXPECT_EQ(db->intForQuery("select count(*) from t"), kThreads * kRowsPerThread / 2);
    });
}

TEST(DatabaseQueue, RefusesReentryAndUnopenablePaths) {
    auto queue = DatabaseQueue::databaseQueueWithPath(std::nullopt);
    ASSERT_TRUE(queue);
    std::string reason;
    int attempts = 0;
    queue->inDatabase([&](const std::shared_ptr<Database>&) {
        auto expectRefused = [&](auto call) {
            ++attempts;
            try {
                call();
            } catch (const ns::Exception& e) {
                reason = e.reason();
                --attempts;
            }
        };
        expectRefused([&] { queue->inDatabase([](const std::shared_ptr<Database>&) {}); });
        EXPECT_NE(reason.find("inDatabase: was called reentrantly on the same queue, which would lead to a deadlock"),
                  std::string::npos);
        expectRefused([&] { queue->inTransaction([](const std::shared_ptr<Database>&, bool*) {}); });
        expectRefused([&] { queue->inSavePoint([](const std::shared_ptr<Database>&, bool*) {}); });
        EXPECT_NE(reason.find("inSavePoint: was called reentrantly"), std::string::npos);
    });
    EXPECT_EQ(attempts, 0);
    EXPECT_THROW(queue->inDatabase(nullptr), ns::Exception);

    ns::TemporarySandbox sandbox;
    testing::internal::CaptureStderr();
    EXPECT_EQ(DatabaseQueue::databaseQueueWithPath(sandbox.path() + "/missing/db.sqlite"), nullptr);
    EXPECT_EQ(DatabaseQueue::databaseQueueWithPath(sandbox.path() + "/ro.sqlite", SQLITE_OPEN_READONLY), nullptr);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("Could not create database queue for path"), std::string::npos);
}

namespace {

class Vetoing : public DatabasePoolDelegate {
public:
    bool databasePoolShouldAddDatabaseToPool(DatabasePool&, const std::shared_ptr<Database>& db) override {
        asked.push_back(db);
        return accept;
    }
    void databasePoolDidAddDatabase(DatabasePool&, const std::shared_ptr<Database>&) override { ++added; }

    bool accept = true;
    int added = 0;
    std::vector<std::shared_ptr<Database>> asked;
};

}  // namespace

TEST(DatabasePool, LimitReuseVetoAndDoubleCheckIn) {
    ns::TemporarySandbox sandbox;
    auto pool = DatabasePool::databasePoolWithPath(sandbox.path() + "/pool.sqlite");
    auto delegate = std::make_shared<Vetoing>();
    pool->setDelegate(delegate);
    pool->setMaximumNumberOfDatabasesToCreate(2);
    EXPECT_EQ(pool->countOfOpenDatabases(), 0u);

    auto first = pool->db();
    auto second = pool->db();
    ASSERT_TRUE(first && second);
    EXPECT_NE(first, second);
    testing::internal::CaptureStderr();
    EXPECT_EQ(pool->db(), nullptr);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("Maximum number of databases (2) has already been reached!"),
              std::string::npos);
    EXPECT_EQ(delegate->added, 2);

    pool->pushDatabaseBackInPool(first);
    pool->pushDatabaseBackInPool(second);
    EXPECT_EQ(pool->countOfCheckedInDatabases(), 2u);
    EXPECT_EQ(pool->db(), second);  // the most recently returned first
    EXPECT_EQ(pool->countOfCheckedOutDatabases(), 1u);
    EXPECT_EQ(pool->countOfOpenDatabases(), 2u);

    try {
        pool->pushDatabaseBackInPool(first);
        FAIL() << "a connection went into the pool twice";
    } catch (const ns::Exception& e) {
        EXPECT_EQ(e.name(), "Database already in pool");
        EXPECT_EQ(e.reason(), "The Database being put back into the pool is already present in the pool");
    }
    pool->pushDatabaseBackInPool(nullptr);

    // A refused connection is closed and leaves the pool: it does not eat into the limit.
    delegate->accept = false;
    EXPECT_EQ(pool->db(), nullptr);
    EXPECT_EQ(delegate->asked.back(), first);
    EXPECT_EQ(first->sqliteHandle(), nullptr);
    EXPECT_EQ(pool->countOfOpenDatabases(), 1u);
    pool->pushDatabaseBackInPool(second);
    delegate->accept = true;
    auto reused = pool->db();
    auto fresh = pool->db();
    EXPECT_EQ(reused, second);
    ASSERT_TRUE(fresh);
    EXPECT_NE(fresh, first);
    EXPECT_EQ(delegate->added, 3);
    pool->releaseAllDatabases();
    EXPECT_EQ(pool->countOfOpenDatabases(), 0u);
}

namespace {

class Throwing : public DatabasePoolDelegate {
public:
    bool databasePoolShouldAddDatabaseToPool(DatabasePool&, const std::shared_ptr<Database>&) override {
        if (throwOnCheckOut) throw std::runtime_error("check-out");
        return true;
    }
    void databasePoolDidAddDatabase(DatabasePool&, const std::shared_ptr<Database>&) override {
        if (throwOnAdd) throw std::runtime_error("added");
    }

    bool throwOnCheckOut = false;
    bool throwOnAdd = false;
};

}  // namespace

TEST(DatabasePool, ADelegateThatThrowsLeavesNoConnectionCheckedOut) {
    ns::TemporarySandbox sandbox;
    auto pool = DatabasePool::databasePoolWithPath(sandbox.path() + "/pool.sqlite");
    auto delegate = std::make_shared<Throwing>();
    pool->setDelegate(delegate);
    pool->setMaximumNumberOfDatabasesToCreate(1);

    // A new connection whose announcement throws, then a reused one whose check-out throws: neither is handed
    // out, and neither stays counted against the limit.
    delegate->throwOnAdd = true;
    EXPECT_THROW(pool->db(), std::runtime_error);
    EXPECT_EQ(pool->countOfCheckedOutDatabases(), 0u);
    delegate->throwOnAdd = false;
    auto db = pool->db();
    ASSERT_TRUE(db);
    pool->pushDatabaseBackInPool(db);
    delegate->throwOnCheckOut = true;
    EXPECT_THROW(pool->db(), std::runtime_error);
    EXPECT_EQ(pool->countOfCheckedOutDatabases(), 0u);
    delegate->throwOnCheckOut = false;
    auto again = pool->db();
    ASSERT_TRUE(again);
    EXPECT_EQ(pool->countOfOpenDatabases(), 1u);
    EXPECT_TRUE(again->goodConnection());
}

namespace {

// Every new connection waits long for locks and skips syncing to disk, to keep the test quick.
class Tuning : public DatabasePoolDelegate {
public:
    void databasePoolDidAddDatabase(DatabasePool&, const std::shared_ptr<Database>& db) override {
        db->setMaxBusyRetryTimeInterval(30);
        db->executeStatements("pragma synchronous = off");
        ++added;
    }
    std::atomic<int> added{0};
};

}  // namespace

TEST(DatabasePool, ServesSeveralThreadsAtOnce) {
    ns::TemporarySandbox sandbox;
    auto pool = DatabasePool::databasePoolWithPath(sandbox.path() + "/threads.sqlite");
    auto tuning = std::make_shared<Tuning>();
    pool->setDelegate(tuning);
    pool->inDatabase([](const std::shared_ptr<Database>& db) { ASSERT_TRUE(db->executeUpdate("create table t (a)")); });
    std::mutex seenMutex;
    std::set<Database*> seen;
    onThreads([&](int t) {
        for (int i = 0; i < kRowsPerThread; ++i) {
            auto record = [&](const std::shared_ptr<Database>& db) {
                std::lock_guard lock(seenMutex);
                seen.insert(db.get());
            };
            if (i % 2 == 0) {
                pool->inTransaction([&](const std::shared_ptr<Database>& db, bool*) {
                    record(db);
                    EXPECT_TRUE(db->inTransaction());
                    EXPECT_TRUE(db->executeUpdate("insert into t values (?)", t));
                });
            } else {
                EXPECT_EQ(pool->inSavePoint([&](const std::shared_ptr<Database>& db, bool*) {
                    record(db);
                    db->executeUpdate("insert into t values (?)", t);
                }), std::nullopt);
            }
        }
    });
    EXPECT_EQ(pool->countOfCheckedOutDatabases(), 0u);
    EXPECT_EQ(pool->countOfCheckedInDatabases(), seen.size());
    EXPECT_LE(seen.size(), static_cast<std::size_t>(kThreads));
    EXPECT_EQ(tuning->added, static_cast<int>(seen.size()));
    pool->inDatabase([](const std::shared_ptr<Database>& db) {
        EXPECT_EQ(db->intForQuery("select count(*) from t"), kThreads * kRowsPerThread);
    });
    EXPECT_THROW(pool->inSavePoint(nullptr), ns::Exception);
}
