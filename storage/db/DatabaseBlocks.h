#pragma once
// The block operations that DatabaseQueue and DatabasePool share: their block types, and running a block
// inside a transaction or a savepoint on a connection they handed out.

#include <functional>
#include <memory>
#include <optional>
#include <string_view>

#include "platform/foundation/Error.h"

namespace ql {

class Database;

// The connection is none when none could be opened or checked out.
using DatabaseBlock = std::function<void(const std::shared_ptr<Database>& db)>;
// Setting *rollback undoes what the block did.
using DatabaseRollbackBlock = std::function<void(const std::shared_ptr<Database>& db, bool* rollback)>;

// Every block operation needs its block: raises NSInvalidArgumentException naming the operation.
void requireDatabaseBlock(bool given, std::string_view operation);

// Begins (exclusive or deferred), runs the block, then commits or rolls back. The connection is left
// outside any transaction however this ends: a block that raises is rolled back before the exception goes
// on, and a commit that fails (another connection holding the file, say) is logged and rolled back. True
// when the transaction ended as the block asked; false when the commit failed, or when the transaction
// could not begin, in which case the block is not run (it would otherwise run outside a transaction, or
// inside one left open on the connection). Without a connection only the block runs, given none, and the
// answer is false.
bool runDatabaseTransaction(const std::shared_ptr<Database>& db, bool deferred, const DatabaseRollbackBlock& block);

// Starts the named savepoint, runs the block, rolls back to the savepoint when the block sets its flag,
// then releases the savepoint: the error of the last of these that failed, or none. A block that raises
// is rolled back to the savepoint before the exception goes on; a release that fails (for the outermost
// savepoint it is the commit) is undone, so the connection never stays inside the savepoint.
std::optional<ns::Error> runDatabaseSavePoint(Database& db, std::string_view name,
                                              const std::function<void(bool* rollback)>& block);

// What a savepoint answers when the queue or the pool has no connection to run it on: SQLite's "unable
// to open database file".
ns::Error noDatabaseError();

}  // namespace ql
