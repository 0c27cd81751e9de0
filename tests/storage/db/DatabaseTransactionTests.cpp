// Transactions and savepoints run by the queue and the pool must leave the connection clean however the
// block ends: by raising, by a commit that fails, or by a transaction that could not begin.

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <memory>
#include <string>

#include "platform/foundation/Exception.h"
#include "platform/foundation/Sandbox.h"
#include "storage/db/DatabasePool.h"
#include "storage/db/DatabaseQueue.h"

using namespace ql;

namespace {

// The queue and the pool offer the same block operations; each test runs against both.
struct Sharing {
    std::shared_ptr<DatabaseQueue> queue;
    std::shared_ptr<DatabasePool> pool;

    void inDatabase(const DatabaseBlock& block) {
        if (queue) queue->inDatabase(block);
        else pool->inDatabase(block);
    }
    bool inTransaction(const DatabaseRollbackBlock& block) {
        return queue ? queue->inTransaction(block) : pool->inTransaction(block);
    }
    bool inDeferredTransaction(const DatabaseRollbackBlock& block) {
        return queue ? queue->inDeferredTransaction(block) : pool->inDeferredTransaction(block);
    }
    std::optional<ns::Error> inSavePoint(const DatabaseRollbackBlock& block) {
        return queue ? queue->inSavePoint(block) : pool->inSavePoint(block);
    }
};

class DatabaseTransactions : public testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        path_ = sandbox_.path() + "/books.sqlite";
        if (GetParam()) sharing_.queue = DatabaseQueue::databaseQueueWithPath(path_);
        else sharing_.pool = DatabasePool::databasePoolWithPath(path_);
        sharing_.inDatabase([](const std::shared_ptr<Database>& db) {
            ASSERT_TRUE(db);
            ASSERT_TRUE(db->executeUpdate("create table t (a integer)"));
            // Fail at once instead of waiting out another connection's lock.
            db->setMaxBusyRetryTimeInterval(0);
        });
    }

    // The rows as another connection sees them, "1,2".
    std::string rows() {
        sqlite3* peer = nullptr;
        EXPECT_EQ(sqlite3_open_v2(path_.c_str(), &peer, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
        std::string out;
        sqlite3_exec(
            peer, "select a from t order by a",
            [](void* context, int, char** values, char**) {
                auto& text = *static_cast<std::string*>(context);
                if (!text.empty()) text += ',';
                text += values[0];
                return 0;
            },
            &out, nullptr);
        sqlite3_close(peer);
        return out;
    }

    // Whether the connection the next block gets is outside any transaction.
    bool connectionIsClean() {
        bool clean = false;
        sharing_.inDatabase([&](const std::shared_ptr<Database>& db) {
            clean = sqlite3_get_autocommit(db->sqliteHandle()) != 0 && !db->inTransaction();
        });
        return clean;
    }

    ns::TemporarySandbox sandbox_;
    std::string path_;
    Sharing sharing_;
};

}  // namespace

TEST_P(DatabaseTransactions, ABlockThatRaisesIsRolledBackAndTheExceptionGoesOn) {
    EXPECT_THROW(sharing_.inTransaction([](const std::shared_ptr<Database>& db, bool*) {
        ASSERT_TRUE(db->executeUpdate("insert into t values (?)", 100));
        db->executeUpdateWithFormat("insert into t values (%d)", "not a number");
    }),
                 ns::Exception);
    EXPECT_TRUE(connectionIsClean());
    EXPECT_TRUE(sharing_.inTransaction([](const std::shared_ptr<Database>& db, bool*) {
        EXPECT_TRUE(db->executeUpdate("insert into t values (?)", 101));
    }));
    EXPECT_EQ(rows(), "101");

    // A savepoint block that raises is undone the same way.
    EXPECT_THROW(sharing_.inSavePoint([](const std::shared_ptr<Database>& db, bool*) {
        ASSERT_TRUE(db->executeUpdate("insert into t values (?)", 102));
        throw ns::Exception(ns::InvalidArgumentException, "stop");
    }),
                 ns::Exception);
    EXPECT_TRUE(connectionIsClean());
    EXPECT_EQ(rows(), "101");

    // And a connection's own savepoint block.
    sharing_.inDatabase([](const std::shared_ptr<Database>& db) {
        EXPECT_THROW(db->inSavePoint([&](bool*) {
            ASSERT_TRUE(db->executeUpdate("insert into t values (?)", 103));
            throw ns::Exception(ns::InvalidArgumentException, "stop");
        }),
                     ns::Exception);
        EXPECT_NE(sqlite3_get_autocommit(db->sqliteHandle()), 0);
    });
    EXPECT_EQ(rows(), "101");
}

TEST_P(DatabaseTransactions, AFailedCommitIsRolledBackAndReported) {
    // Another connection reading holds its shared lock until it ends, so a commit cannot take the file.
    sqlite3* reader = nullptr;
    ASSERT_EQ(sqlite3_open(path_.c_str(), &reader), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(reader, "begin; select count(*) from t;", nullptr, nullptr, nullptr), SQLITE_OK);

    testing::internal::CaptureStderr();
    bool ran = false;
    EXPECT_FALSE(sharing_.inDeferredTransaction([&](const std::shared_ptr<Database>& db, bool*) {
        ran = true;
        EXPECT_TRUE(db->executeUpdate("insert into t values (?)", 7));
    }));
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(ran);
    EXPECT_NE(log.find("database is locked"), std::string::npos) << log;
    EXPECT_TRUE(connectionIsClean());

    // A savepoint's release is its commit: it fails the same way and is undone the same way.
    testing::internal::CaptureStderr();
    const std::optional<ns::Error> error = sharing_.inSavePoint([](const std::shared_ptr<Database>& db, bool*) {
        EXPECT_TRUE(db->executeUpdate("insert into t values (?)", 8));
    });
    testing::internal::GetCapturedStderr();
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), SQLITE_BUSY);
    EXPECT_TRUE(connectionIsClean());

    ASSERT_EQ(sqlite3_exec(reader, "commit", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(reader);
    EXPECT_EQ(rows(), "");
    EXPECT_TRUE(sharing_.inDeferredTransaction([](const std::shared_ptr<Database>& db, bool*) {
        EXPECT_TRUE(db->executeUpdate("insert into t values (?)", 9));
    }));
    EXPECT_EQ(rows(), "9");
}

TEST_P(DatabaseTransactions, ABlockIsNotRunWhenItsTransactionCannotBegin) {
    // A transaction left open on the connection by hand: beginning another fails, and running the block
    // anyway would commit the open one's work as if it were the block's.
    sharing_.inDatabase([](const std::shared_ptr<Database>& db) {
        ASSERT_TRUE(db->beginTransaction());
        ASSERT_TRUE(db->executeUpdate("insert into t values (?)", 1));
    });
    testing::internal::CaptureStderr();
    bool ran = false;
    const bool answered = sharing_.inTransaction([&](const std::shared_ptr<Database>&, bool*) { ran = true; });
    testing::internal::GetCapturedStderr();
    EXPECT_FALSE(answered);
    EXPECT_FALSE(ran);
    sharing_.inDatabase([](const std::shared_ptr<Database>& db) {
        EXPECT_TRUE(db->inTransaction());
        EXPECT_TRUE(db->rollback());
    });
    EXPECT_EQ(rows(), "");

    // A block that asks for its work to be undone gets what it asked for.
    EXPECT_TRUE(sharing_.inTransaction([](const std::shared_ptr<Database>& db, bool* rollback) {
        EXPECT_TRUE(db->executeUpdate("insert into t values (?)", 2));
        *rollback = true;
    }));
    EXPECT_EQ(rows(), "");
}

INSTANTIATE_TEST_SUITE_P(QueueAndPool, DatabaseTransactions, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& info) { return info.param ? "Queue" : "Pool"; });
