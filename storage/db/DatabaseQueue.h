#pragma once
// DatabaseQueue: one connection shared between threads by running every piece of work on it, one after
// another, on a private serial queue while the caller waits. Work must not call back into its own queue:
// that is caught and raised instead of waiting for ever.

#include <concepts>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Object.h"
#include "storage/db/Database.h"
#include "storage/db/DatabaseBlocks.h"

namespace ql {

class DatabaseQueue final : public ns::Object {
    QL_OBJECT(DatabaseQueue, ns::Object)
private:
    struct Key {};

public:
    using DatabaseFactory = std::function<std::shared_ptr<Database>(const std::optional<std::string>& path)>;

    // None when the connection cannot be opened. No path: a private in-memory database. The connection
    // class is Database or, through the template argument, a subclass of it; it is used again whenever
    // the queue reopens its connection.
    template <class Connection = Database>
        requires std::derived_from<Connection, Database>
    static std::shared_ptr<DatabaseQueue> databaseQueueWithPath(std::optional<std::string> path,
                                                                int flags = DatabaseDefaultOpenFlags,
                                                                const std::optional<std::string>& vfs = std::nullopt) {
        return create(std::move(path), flags, vfs, [](const std::optional<std::string>& p) {
            return std::static_pointer_cast<Database>(std::make_shared<Connection>(p));
        });
    }

    DatabaseQueue(Key, std::optional<std::string> path, int flags, DatabaseFactory makeDatabase);

    std::optional<std::string> path() const;
    void setPath(std::optional<std::string> path);
    int openFlags() const { return openFlags_; }

    // Closes the connection; the next piece of work opens it again.
    void close();
    // The connection, reopened when it was closed; only for work running on the queue.
    std::shared_ptr<Database> database();

    void inDatabase(const DatabaseBlock& block);
    // True when the transaction ended as the block asked (committed, or rolled back when the block set its
    // flag); false when it could not begin (the block is then not run) or its commit failed (its work is
    // then rolled back). A block that raises is rolled back before the exception goes on.
    bool beginTransaction(bool useDeferred, const DatabaseRollbackBlock& block);
    bool inTransaction(const DatabaseRollbackBlock& block);
    bool inDeferredTransaction(const DatabaseRollbackBlock& block);
    std::optional<ns::Error> inSavePoint(const DatabaseRollbackBlock& block);

private:
    static std::shared_ptr<DatabaseQueue> create(std::optional<std::string> path, int flags,
                                                 const std::optional<std::string>& vfs, DatabaseFactory makeDatabase);
    // Raises when the caller is work already running on this queue, which would wait for itself.
    void checkNotReentrant(std::string_view operation) const;

    mutable std::mutex pathMutex_;
    std::optional<std::string> path_;
    std::shared_ptr<ns::DispatchQueue> queue_;
    std::shared_ptr<Database> db_;
    const int openFlags_;
    const DatabaseFactory makeDatabase_;
};

}  // namespace ql
