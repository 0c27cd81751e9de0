#include "storage/db/DatabaseBlocks.h"

#include <string>

#include "platform/foundation/Exception.h"
#include "storage/db/Database.h"
#include "storage/db/DatabaseLog.h"

namespace ql {

void requireDatabaseBlock(bool given, std::string_view operation) {
    if (!given) throw ns::Exception(ns::InvalidArgumentException, std::string(operation) + " needs a block");
}

namespace {

bool insideTransaction(const Database& db) { return sqlite3_get_autocommit(db.sqliteHandle()) == 0; }

// Runs the block; should it raise, `undo` runs first and the exception then goes on.
template <class Block, class Undo>
void runUndoingOnException(const Block& block, const Undo& undo) {
    try {
        block();
    } catch (...) {
        undo();
        throw;
    }
}

// Leaves the savepoint with nothing of its work kept, and, when it was the outermost, the connection
// outside any transaction. What fails here is the cleanup of an earlier failure and is not reported again.
void undoSavePoint(Database& db, std::string_view name, bool outermost) {
    ns::Error ignored("", 0);
    db.rollbackToSavePointWithName(name, &ignored);
    db.releaseSavePointWithName(name, &ignored);
    if (outermost && insideTransaction(db)) db.rollback();
}

}  // namespace

bool runDatabaseTransaction(const std::shared_ptr<Database>& db, bool deferred, const DatabaseRollbackBlock& block) {
    bool shouldRollback = false;
    if (!db) {
        block(db, &shouldRollback);
        return false;
    }
    if (!(deferred ? db->beginDeferredTransaction() : db->beginTransaction())) {
        databaseLog("Could not begin a transaction, the block is not run: " + db->lastErrorMessage());
        return false;
    }
    runUndoingOnException([&] { block(db, &shouldRollback); },
                          [&] {
                              if (insideTransaction(*db)) db->rollback();
                          });
    if (shouldRollback) return db->rollback();
    if (db->commit()) return true;
    databaseLog("Could not commit a transaction, its work is rolled back: " + db->lastErrorMessage());
    if (insideTransaction(*db)) db->rollback();
    return false;
}

std::optional<ns::Error> runDatabaseSavePoint(Database& db, std::string_view name,
                                              const std::function<void(bool* rollback)>& block) {
    std::optional<ns::Error> error;
    ns::Error slot("", 0);
    auto record = [&](bool ok) {
        if (!ok) error = slot;
        return ok;
    };
    // The outermost savepoint opens a transaction of its own, and releasing it commits that.
    const bool outermost = !insideTransaction(db);
    if (!record(db.startSavePointWithName(name, &slot))) return error;
    bool shouldRollback = false;
    if (block) {
        runUndoingOnException([&] { block(&shouldRollback); }, [&] { undoSavePoint(db, name, outermost); });
    }
    if (shouldRollback) record(db.rollbackToSavePointWithName(name, &slot));
    if (!record(db.releaseSavePointWithName(name, &slot))) {
        databaseLog("Could not release savepoint " + std::string(name) + ", its work is rolled back: " +
                    error->localizedDescription());
        undoSavePoint(db, name, outermost);
    }
    return error;
}

ns::Error noDatabaseError() {
    return ns::Error(std::string(DatabaseErrorDomain), SQLITE_CANTOPEN,
                     {{std::string(ns::LocalizedDescriptionKey), ns::Value(sqlite3_errstr(SQLITE_CANTOPEN))}});
}

}  // namespace ql
