#include "storage/db/DatabaseQueue.h"

#include <atomic>

#include "platform/foundation/Exception.h"
#include "platform/foundation/Locked.h"
#include "storage/db/DatabaseLog.h"

namespace ql {

DatabaseQueue::DatabaseQueue(Key, std::optional<std::string> path, int flags, DatabaseFactory makeDatabase)
    : path_(std::move(path)),
      queue_(ns::DispatchQueue::serial(description())),
      openFlags_(flags),
      makeDatabase_(std::move(makeDatabase)) {}

std::shared_ptr<DatabaseQueue> DatabaseQueue::create(std::optional<std::string> path, int flags,
                                                     const std::optional<std::string>& vfs,
                                                     DatabaseFactory makeDatabase) {
    auto db = makeDatabase(path);
    if (!db->openWithFlags(flags, vfs)) {
        databaseLog("Could not create database queue for path " + logText(path));
        return nullptr;
    }
    auto queue = std::make_shared<DatabaseQueue>(Key{}, std::move(path), flags, std::move(makeDatabase));
    queue->db_ = std::move(db);
    return queue;
}

std::optional<std::string> DatabaseQueue::path() const { return ns::lockedCopy(pathMutex_, path_); }

void DatabaseQueue::setPath(std::optional<std::string> path) { ns::lockedStore(pathMutex_, path_, std::move(path)); }

void DatabaseQueue::close() {
    queue_->sync([this] {
        if (db_) db_->close();
        db_.reset();
    });
}

std::shared_ptr<Database> DatabaseQueue::database() {
    if (!db_) {
        const std::optional<std::string> kept = path();
        auto db = makeDatabase_(kept);
        if (!db->openWithFlags(openFlags_)) {
            databaseLog("DatabaseQueue could not reopen database for path " + logText(kept));
            return nullptr;
        }
        db_ = std::move(db);
    }
    return db_;
}

void DatabaseQueue::checkNotReentrant(std::string_view operation) const {
    if (queue_->isCurrent()) {
        throw ns::Exception(ns::InternalInconsistencyException,
                            "currentSyncQueue != self && \"" + std::string(operation) +
                                " was called reentrantly on the same queue, which would lead to a deadlock\"");
    }
}

void DatabaseQueue::inDatabase(const DatabaseBlock& block) {
    requireDatabaseBlock(static_cast<bool>(block), "inDatabase:");
    checkNotReentrant("inDatabase:");
    queue_->sync([&] {
        const std::shared_ptr<Database> db = database();
        block(db);
        if (db && db->hasOpenResultSets()) {
            databaseLog("Warning: there is at least one open result set around after performing "
                        "[DatabaseQueue inDatabase:]");
        }
    });
}

bool DatabaseQueue::beginTransaction(bool useDeferred, const DatabaseRollbackBlock& block) {
    requireDatabaseBlock(static_cast<bool>(block), "beginTransaction:withBlock:");
    checkNotReentrant("beginTransaction:withBlock:");
    bool ended = false;
    queue_->sync([&] { ended = runDatabaseTransaction(database(), useDeferred, block); });
    return ended;
}

bool DatabaseQueue::inTransaction(const DatabaseRollbackBlock& block) { return beginTransaction(false, block); }

bool DatabaseQueue::inDeferredTransaction(const DatabaseRollbackBlock& block) { return beginTransaction(true, block); }

std::optional<ns::Error> DatabaseQueue::inSavePoint(const DatabaseRollbackBlock& block) {
    requireDatabaseBlock(static_cast<bool>(block), "inSavePoint:");
    checkNotReentrant("inSavePoint:");
    // One counter for every queue of the process; queues run on different threads.
    static std::atomic<std::int64_t> counter{0};
    std::optional<ns::Error> error;
    queue_->sync([&] {
        const std::string name = "savePoint" + std::to_string(counter.fetch_add(1));
        const std::shared_ptr<Database> db = database();
        if (!db) error = noDatabaseError();
        else error = runDatabaseSavePoint(*db, name, [&](bool* rollback) { block(db, rollback); });
    });
    return error;
}

}  // namespace ql
