#pragma once
// DatabasePool: connections to one database file shared between threads by handing an idle connection
// (or a new one) to each caller and taking it back afterwards, with an optional limit and a delegate that
// may refuse connections. Callers use their connection on their own thread, outside the pool's lock.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Object.h"
#include "storage/db/Database.h"
#include "storage/db/DatabaseBlocks.h"

namespace ql {

class DatabasePool;

inline constexpr std::string_view DatabaseAlreadyInPoolException = "Database already in pool";

// Both are optional: by default every connection is accepted and additions go unremarked.
class DatabasePoolDelegate {
public:
    virtual ~DatabasePoolDelegate() = default;
    // Asked at every check-out, of new and reused connections alike; false refuses (and closes) it.
    virtual bool databasePoolShouldAddDatabaseToPool(DatabasePool&, const std::shared_ptr<Database>&) { return true; }
    // A new connection has joined the pool.
    virtual void databasePoolDidAddDatabase(DatabasePool&, const std::shared_ptr<Database>&) {}
};

class DatabasePool final : public ns::Object {
    QL_OBJECT(DatabasePool, ns::Object)
public:
    // Opens nothing yet. No path: every connection is its own private in-memory database.
    explicit DatabasePool(std::optional<std::string> path = std::nullopt, int flags = DatabaseDefaultOpenFlags);
    static std::shared_ptr<DatabasePool> databasePoolWithPath(std::optional<std::string> path,
                                                              int flags = DatabaseDefaultOpenFlags);

    std::optional<std::string> path() const;
    void setPath(std::optional<std::string> path);
    std::shared_ptr<DatabasePoolDelegate> delegate() const;
    void setDelegate(std::weak_ptr<DatabasePoolDelegate> delegate);
    // 0 means no limit.
    std::uint64_t maximumNumberOfDatabasesToCreate() const { return maximumNumberOfDatabasesToCreate_; }
    void setMaximumNumberOfDatabasesToCreate(std::uint64_t limit) { maximumNumberOfDatabasesToCreate_ = limit; }
    int openFlags() const { return openFlags_; }

    // Runs the block under the pool's lock and waits for it.
    void executeLocked(const std::function<void()>& block);
    // Checks a connection out: the most recently returned idle one, else a new one; none at the limit,
    // when it cannot be opened, or when the delegate refuses it.
    std::shared_ptr<Database> db();
    // Checks a connection in (none is ignored); raises "Database already in pool" when it is idle already.
    void pushDatabaseBackInPool(const std::shared_ptr<Database>& db);

    std::uint64_t countOfCheckedInDatabases();
    std::uint64_t countOfCheckedOutDatabases();
    std::uint64_t countOfOpenDatabases();
    // Forgets every connection; each closes once no caller holds it any longer.
    void releaseAllDatabases();

    // Each runs on the calling thread with a checked-out connection (none when none could be had) and
    // checks it back in afterwards.
    void inDatabase(const DatabaseBlock& block);
    // True when the transaction ended as the block asked (committed, or rolled back when the block set its
    // flag); false when it could not begin (the block is then not run) or its commit failed (its work is
    // then rolled back). A block that raises is rolled back before the exception goes on.
    bool beginTransaction(bool useDeferred, const DatabaseRollbackBlock& block);
    bool inTransaction(const DatabaseRollbackBlock& block);
    bool inDeferredTransaction(const DatabaseRollbackBlock& block);
    std::optional<ns::Error> inSavePoint(const DatabaseRollbackBlock& block);

private:
    // Checks a connection out, runs `work` with it and checks it back in, also when `work` raises.
    template <class Work>
    void withCheckedOutDatabase(Work&& work);

    mutable std::mutex propertyMutex_;  // path and delegate
    std::optional<std::string> path_;
    std::weak_ptr<DatabasePoolDelegate> delegate_;
    std::shared_ptr<ns::DispatchQueue> lockQueue_;
    std::vector<std::shared_ptr<Database>> databaseInPool_;   // idle, the last handed out first
    std::vector<std::shared_ptr<Database>> databaseOutPool_;  // checked out
    std::atomic<std::uint64_t> maximumNumberOfDatabasesToCreate_{0};
    const int openFlags_;
};

}  // namespace ql
