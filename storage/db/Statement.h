#pragma once
// Statement: one prepared SQLite statement of a Database, owned by the connection's statement cache, by
// the result set reading from it, or by the call that prepared it.

#include <sqlite3.h>

#include <cstdint>
#include <string>

#include "platform/foundation/Object.h"

namespace ql {

class Statement final : public ns::Object {
    QL_OBJECT(Statement, ns::Object)
public:
    Statement() = default;
    explicit Statement(sqlite3_stmt* statement) : statement_(statement) {}
    ~Statement() override;

    // Finalizes the handle, if any, and forgets it.
    void close();
    // Rewinds the statement for another run; bound values stay as they were.
    void reset();

    sqlite3_stmt* statement() const { return statement_; }
    void setStatement(sqlite3_stmt* statement) { statement_ = statement; }
    const std::string& query() const { return query_; }
    void setQuery(std::string query) { query_ = std::move(query); }
    std::int64_t useCount() const { return useCount_; }
    void setUseCount(std::int64_t useCount) { useCount_ = useCount; }
    // True while a result set reads from it; the cache does not hand it out then.
    bool inUse() const { return inUse_; }
    void setInUse(bool inUse) { inUse_ = inUse; }

    std::string description() const override;

private:
    sqlite3_stmt* statement_ = nullptr;
    std::string query_;
    std::int64_t useCount_ = 0;
    bool inUse_ = false;
};

}  // namespace ql
