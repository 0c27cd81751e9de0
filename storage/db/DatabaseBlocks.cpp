#include "storage/db/DatabaseBlocks.h"

#include <string>

#include "platform/foundation/Exception.h"
#include "storage/db/Database.h"

namespace ql {

void requireDatabaseBlock(bool given, std::string_view operation) {
    if (!given) throw ns::Exception(ns::InvalidArgumentException, std::string(operation) + " needs a block");
}

void runDatabaseTransaction(const std::shared_ptr<Database>& db, bool deferred, const DatabaseRollbackBlock& block) {
    if (db) {
        if (deferred) db->beginDeferredTransaction();
        else db->beginTransaction();
    }
    bool shouldRollback = false;
    block(db, &shouldRollback);
    if (!db) return;
    if (shouldRollback) db->rollback();
    else db->commit();
}

std::optional<ns::Error> runDatabaseSavePoint(Database& db, std::string_view name,
                                              const std::function<void(bool* rollback)>& block) {
    std::optional<ns::Error> error;
    ns::Error slot("", 0);
    auto record = [&](bool ok) {
        if (!ok) error = slot;
    };
    record(db.startSavePointWithName(name, &slot));
    if (error) return error;
    bool shouldRollback = false;
    if (block) block(&shouldRollback);
    if (shouldRollback) record(db.rollbackToSavePointWithName(name, &slot));
    record(db.releaseSavePointWithName(name, &slot));
    return error;
}

ns::Error noDatabaseError() {
    return ns::Error(std::string(DatabaseErrorDomain), SQLITE_CANTOPEN,
                     {{std::string(ns::LocalizedDescriptionKey), ns::Value(sqlite3_errstr(SQLITE_CANTOPEN))}});
}

}  // namespace ql
