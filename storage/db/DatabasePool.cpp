#include "storage/db/DatabasePool.h"

#include <algorithm>

#include "platform/foundation/Exception.h"
#include "platform/foundation/Locked.h"
#include "storage/db/DatabaseLog.h"

namespace ql {

DatabasePool::DatabasePool(std::optional<std::string> path, int flags)
    : path_(std::move(path)), lockQueue_(ns::DispatchQueue::serial(description())), openFlags_(flags) {}

std::shared_ptr<DatabasePool> DatabasePool::databasePoolWithPath(std::optional<std::string> path, int flags) {
    return std::make_shared<DatabasePool>(std::move(path), flags);
}

std::optional<std::string> DatabasePool::path() const { return ns::lockedCopy(propertyMutex_, path_); }

void DatabasePool::setPath(std::optional<std::string> path) { ns::lockedStore(propertyMutex_, path_, std::move(path)); }

std::shared_ptr<DatabasePoolDelegate> DatabasePool::delegate() const {
    std::lock_guard lock(propertyMutex_);
    return delegate_.lock();
}

void DatabasePool::setDelegate(std::weak_ptr<DatabasePoolDelegate> delegate) {
    ns::lockedStore(propertyMutex_, delegate_, std::move(delegate));
}

void DatabasePool::executeLocked(const std::function<void()>& block) { lockQueue_->sync(block); }

std::shared_ptr<Database> DatabasePool::db() {
    std::shared_ptr<Database> handedOut;
    executeLocked([&] {
        std::shared_ptr<Database> db;
        bool isNew = false;
        if (!databaseInPool_.empty()) {
            db = databaseInPool_.back();
            databaseOutPool_.push_back(db);
            databaseInPool_.pop_back();
        } else {
            const std::uint64_t limit = maximumNumberOfDatabasesToCreate_;
            const std::uint64_t count = databaseInPool_.size() + databaseOutPool_.size();
            if (limit != 0 && count >= limit) {
                databaseLog("Maximum number of databases (" + std::to_string(count) + ") has already been reached!");
                return;
            }
            db = Database::databaseWithPath(path());
            isNew = true;
        }

        // A connection that is refused, cannot be opened or whose delegate throws leaves the checked-out list
        // unless it is handed out, so that it does not count against the limit for ever.
        struct ForgetUnlessHandedOut {
            std::vector<std::shared_ptr<Database>>& checkedOut;
            const std::shared_ptr<Database>& db;
            bool handedOut = false;
            ~ForgetUnlessHandedOut() {
                if (!handedOut) std::erase(checkedOut, db);
            }
        } forget{databaseOutPool_, db};
        if (!db->openWithFlags(openFlags_)) {
            databaseLog("Could not open up the database at path " + logText(path()));
            return;
        }
        const std::shared_ptr<DatabasePoolDelegate> delegate = this->delegate();
        if (delegate && !delegate->databasePoolShouldAddDatabaseToPool(*this, db)) {
            db->close();
            return;
        }
        if (std::find(databaseOutPool_.begin(), databaseOutPool_.end(), db) == databaseOutPool_.end()) {
            databaseOutPool_.push_back(db);
            if (isNew && delegate) delegate->databasePoolDidAddDatabase(*this, db);
        }
        forget.handedOut = true;
        handedOut = std::move(db);
    });
    return handedOut;
}

void DatabasePool::pushDatabaseBackInPool(const std::shared_ptr<Database>& db) {
    if (!db) return;
    executeLocked([&] {
        if (std::find(databaseInPool_.begin(), databaseInPool_.end(), db) != databaseInPool_.end()) {
            throw ns::Exception(DatabaseAlreadyInPoolException,
                                "The Database being put back into the pool is already present in the pool");
        }
        databaseInPool_.push_back(db);
        std::erase(databaseOutPool_, db);
    });
}

std::uint64_t DatabasePool::countOfCheckedInDatabases() {
    std::uint64_t count = 0;
    executeLocked([&] { count = databaseInPool_.size(); });
    return count;
}

std::uint64_t DatabasePool::countOfCheckedOutDatabases() {
    std::uint64_t count = 0;
    executeLocked([&] { count = databaseOutPool_.size(); });
    return count;
}

std::uint64_t DatabasePool::countOfOpenDatabases() {
    std::uint64_t count = 0;
    executeLocked([&] { count = databaseInPool_.size() + databaseOutPool_.size(); });
    return count;
}

void DatabasePool::releaseAllDatabases() {
    executeLocked([&] {
        databaseOutPool_.clear();
        databaseInPool_.clear();
    });
}

// ---- Block operations ----

template <class Work>
void DatabasePool::withCheckedOutDatabase(Work&& work) {
    const std::shared_ptr<Database> db = this->db();
    try {
        work(db);
    } catch (...) {
        pushDatabaseBackInPool(db);
        throw;
    }
    pushDatabaseBackInPool(db);
}

void DatabasePool::inDatabase(const DatabaseBlock& block) {
    requireDatabaseBlock(static_cast<bool>(block), "inDatabase:");
    withCheckedOutDatabase(block);
}

bool DatabasePool::beginTransaction(bool useDeferred, const DatabaseRollbackBlock& block) {
    requireDatabaseBlock(static_cast<bool>(block), "beginTransaction:withBlock:");
    bool ended = false;
    withCheckedOutDatabase(
        [&](const std::shared_ptr<Database>& db) { ended = runDatabaseTransaction(db, useDeferred, block); });
    return ended;
}

bool DatabasePool::inTransaction(const DatabaseRollbackBlock& block) { return beginTransaction(false, block); }

bool DatabasePool::inDeferredTransaction(const DatabaseRollbackBlock& block) { return beginTransaction(true, block); }

std::optional<ns::Error> DatabasePool::inSavePoint(const DatabaseRollbackBlock& block) {
    requireDatabaseBlock(static_cast<bool>(block), "inSavePoint:");
    // One counter for every pool of the process; pools are used from many threads.
    static std::atomic<std::int64_t> counter{0};
    const std::string name = "savePoint" + std::to_string(counter.fetch_add(1));
    std::optional<ns::Error> error;
    withCheckedOutDatabase([&](const std::shared_ptr<Database>& db) {
        if (!db) error = noDatabaseError();
        else error = runDatabaseSavePoint(*db, name, [&](bool* rollback) { block(db, rollback); });
    });
    return error;
}

}  // namespace ql
