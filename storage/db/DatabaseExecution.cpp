// Running SQL on a connection: the statement cache, argument binding, the query and update cores and
// batches of statements.

#include <algorithm>
#include <cstdlib>
#include <exception>

#include "storage/db/Database.h"
#include "storage/db/DatabaseLog.h"
#include "storage/db/ResultSet.h"
#include "storage/db/Statement.h"

namespace ql {

// ---- Statement cache ----

void Database::setShouldCacheStatements(bool on) {
    shouldCacheStatements_ = on;
    if (on && !cachedStatements_) cachedStatements_.emplace();
    // Statements that an open result set still holds stay alive with it.
    if (!on) setCachedStatements(std::nullopt);
}

void Database::setCachedStatements(std::optional<StatementCache> cache) {
    lastCacheEntry_ = nullptr;
    cachedStatements_ = std::move(cache);
}

// A program tends to run the same statement many times in a row: the last entry found is checked
// first, which spares hashing the SQL text.
const std::shared_ptr<Statement>* Database::findCachedStatement(std::string_view query) const {
    if (!cachedStatements_) return nullptr;
    if (!lastCacheEntry_ || lastCacheEntry_->first != query) {
        const auto found = cachedStatements_->find(query);
        if (found == cachedStatements_->end()) return nullptr;
        lastCacheEntry_ = &*found;
    }
    for (const auto& statement : lastCacheEntry_->second) {
        if (!statement->inUse()) return &statement;
    }
    return nullptr;
}

std::shared_ptr<Statement> Database::cachedStatementForQuery(std::string_view query) const {
    const std::shared_ptr<Statement>* statement = findCachedStatement(query);
    return statement ? *statement : nullptr;
}

void Database::setCachedStatement(const std::shared_ptr<Statement>& statement, std::string_view query) {
    if (!cachedStatements_) return;
    statement->setQuery(std::string(query));
    auto found = cachedStatements_->find(query);
    if (found == cachedStatements_->end()) found = cachedStatements_->emplace(std::string(query), StatementCache::mapped_type()).first;
    found->second.push_back(statement);
}

void Database::clearCachedStatements() {
    if (!cachedStatements_) return;
    for (auto& [query, statements] : *cachedStatements_) {
        for (const auto& statement : statements) statement->close();
    }
    lastCacheEntry_ = nullptr;
    cachedStatements_->clear();
}

// ---- Binding ----

// Texts and bytes are copied by SQLite at once: a cached statement outlives the values it was bound with.
// The 64-bit forms take any length; SQLite refuses what exceeds its own limit as too big.
void Database::bindText(std::string_view text, int column, sqlite3_stmt* statement) const {
    sqlite3_bind_text64(statement, column, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
}

void Database::bindDate(ns::Date date, int column, sqlite3_stmt* statement) const {
    if (dateFormat_) bindText(dateFormat_->stringFromDate(date), column, statement);
    else sqlite3_bind_double(statement, column, date.timeIntervalSince1970());
}

namespace {

// An empty blob still needs a valid pointer, or SQLite would store NULL.
const char* blobBytes(const void* bytes) { return bytes ? static_cast<const char*>(bytes) : ""; }

}  // namespace

void Database::bindObject(const ns::Value& value, int column, sqlite3_stmt* statement) const {
    switch (value.kind()) {
    case ns::Value::Kind::Nil:
    case ns::Value::Kind::Null: sqlite3_bind_null(statement, column); break;
    case ns::Value::Kind::Data: {
        const ns::Data* data = value.asData();
        sqlite3_bind_blob64(statement, column, blobBytes(data->bytes()), data->length(), SQLITE_TRANSIENT);
        break;
    }
    case ns::Value::Kind::Date: bindDate(*value.asDate(), column, statement); break;
    case ns::Value::Kind::Bool: sqlite3_bind_int(statement, column, value.boolValue() ? 1 : 0); break;
    case ns::Value::Kind::Int: sqlite3_bind_int64(statement, column, value.int64Value()); break;
    // Unsigned 64-bit values keep their bits: the largest reads back as -1.
    case ns::Value::Kind::UInt:
        sqlite3_bind_int64(statement, column, static_cast<sqlite3_int64>(value.uint64Value()));
        break;
    case ns::Value::Kind::Double: sqlite3_bind_double(statement, column, value.doubleValue()); break;
    case ns::Value::Kind::String: bindText(value.asString(), column, statement); break;
    default: bindText(value.description(), column, statement); break;
    }
}

void Database::bindObject(const DatabaseArgument& argument, int column, sqlite3_stmt* statement) const {
    switch (argument.kind()) {
    case DatabaseArgument::Kind::Absent: sqlite3_bind_null(statement, column); break;
    case DatabaseArgument::Kind::Int: sqlite3_bind_int(statement, column, static_cast<int>(argument.integer())); break;
    case DatabaseArgument::Kind::Int64: sqlite3_bind_int64(statement, column, argument.integer()); break;
    case DatabaseArgument::Kind::Double: sqlite3_bind_double(statement, column, argument.doubleValue()); break;
    case DatabaseArgument::Kind::Text: bindText(argument.text(), column, statement); break;
    case DatabaseArgument::Kind::Blob:
        sqlite3_bind_blob64(statement, column, blobBytes(argument.bytes()), argument.length(), SQLITE_TRANSIENT);
        break;
    case DatabaseArgument::Kind::Date:
        bindDate(ns::Date::fromTimeIntervalSince1970(argument.doubleValue()), column, statement);
        break;
    case DatabaseArgument::Kind::Value: bindObject(argument.value(), column, statement); break;
    }
}

namespace {

void traceArgument(const ns::Value& value) {
    if (const ns::Data* data = value.asData()) databaseLog("data: " + std::to_string(data->length()) + " bytes");
    else databaseLog("obj: " + value.description());
}

}  // namespace

void Database::bindArguments(sqlite3_stmt* statement, int parameterCount, const ns::Array* array,
                             const ns::Dictionary* dictionary, const DatabaseArgumentList* list, int& bound) const {
    if (dictionary) {
        for (const auto& [key, value] : *dictionary) {
            const std::string name = ":" + key;
            if (traceExecution_) databaseLog(name + " = " + value.description());
            const int index = sqlite3_bind_parameter_index(statement, name.c_str());
            if (index > 0) {
                bindObject(value, index, statement);
                ++bound;
            } else {
                databaseLog("Could not find index for " + key);
            }
        }
        return;
    }
    if (list && !array && !traceExecution_) {
        const int count = std::min(parameterCount, static_cast<int>(list->size()));
        for (int position = 0; position < count; ++position) bindObject((*list)[position], position + 1, statement);
        bound += count;
        return;
    }
    std::size_t listPosition = 0;
    for (int position = 0; position < parameterCount; ++position) {
        if (array && static_cast<std::size_t>(position) < array->size()) {
            const ns::Value& value = (*array)[static_cast<std::size_t>(position)];
            if (traceExecution_) traceArgument(value);
            bindObject(value, position + 1, statement);
        } else if (list && listPosition < list->size()) {
            const DatabaseArgument& argument = (*list)[listPosition++];
            if (traceExecution_) traceArgument(argument.toValue());
            bindObject(argument, position + 1, statement);
        } else {
            break;
        }
        ++bound;
    }
}

// ---- The two cores ----

void Database::traceStatement(std::string_view sql, std::string_view verb) const {
    if (traceExecution_) databaseLog(description() + " " + std::string(verb) + ": " + std::string(sql));
}

sqlite3_stmt* Database::prepare(std::string_view sql, ns::Error* error) {
    sqlite3_stmt* statement = nullptr;
    const int rc = sqlite3_prepare_v2(db_, sql.data(), static_cast<int>(sql.size()), &statement, nullptr);
    if (rc == SQLITE_OK) return statement;
    if (logsErrors_) {
        databaseLog("DB Error: " + std::to_string(lastErrorCode()) + " \"" + lastErrorMessage() + "\"");
        databaseLog("DB Query: " + std::string(sql));
        databaseLog("DB Path: " + logText(databasePath_));
    }
    if (crashOnErrors_) std::abort();
    if (error) *error = errorWithMessage(sqlite3_errmsg(db_));
    sqlite3_finalize(statement);
    return nullptr;
}

sqlite3_stmt* Database::statementForCall(std::string_view sql, ns::Error* error,
                                        const std::shared_ptr<Statement>*& cached) {
    cached = shouldCacheStatements_ ? findCachedStatement(sql) : nullptr;
    if (cached && (*cached)->statement()) {
        // Every call leaves its cached statement rewound; only one stepped behind the cache's back needs it.
        if (sqlite3_stmt_busy((*cached)->statement())) (*cached)->reset();
        return (*cached)->statement();
    }
    cached = nullptr;
    return prepare(sql, error);
}

void Database::releaseUnbound(const std::shared_ptr<Statement>* cached, sqlite3_stmt* handle) {
    if (cached) (*cached)->reset();
    else sqlite3_finalize(handle);
}

std::shared_ptr<ResultSet> Database::executeQueryWithArgumentsInArrayOrDictionaryOrVAList(
    std::string_view sql, const ns::Array* array, const ns::Dictionary* dictionary, const DatabaseArgumentList* list) {
    return runQuery(sql, array, dictionary, list, nullptr);
}

std::shared_ptr<ResultSet> Database::runQuery(std::string_view sql, const ns::Array* array,
                                              const ns::Dictionary* dictionary, const DatabaseArgumentList* list,
                                              ns::Error* error) {
    if (!databaseExists()) return nullptr;
    const InUseScope inUse(*this);
    if (!inUse.entered()) return nullptr;
    traceStatement(sql, "executeQuery");

    const std::shared_ptr<Statement>* cached = nullptr;
    sqlite3_stmt* handle = statementForCall(sql, error, cached);
    if (!handle) return nullptr;

    int bound = 0;
    const int parameterCount = sqlite3_bind_parameter_count(handle);
    bindArguments(handle, parameterCount, array, dictionary, list, bound);
    if (bound != parameterCount) {
        const std::string message = "Error: the bind count is not correct for the # of variables (executeQuery)";
        databaseLog(message);
        if (error) *error = errorWithMessage(message);
        releaseUnbound(cached, handle);
        return nullptr;
    }

    std::shared_ptr<Statement> statement = cached ? *cached : nullptr;
    if (!statement) {
        statement = makeStatement(handle);
        if (shouldCacheStatements_) setCachedStatement(statement, sql);
    }
    auto resultSet = ResultSet::resultSetWithStatement(statement, std::static_pointer_cast<Database>(shared_from_this()));
    resultSet->setQuery(std::string(sql));
    openResultSets_.push_back(resultSet.get());
    statement->setUseCount(statement->useCount() + 1);
    return resultSet;
}

bool Database::executeUpdateErrorWithArgumentsInArrayOrDictionaryOrVAList(std::string_view sql, ns::Error* error,
                                                                           const ns::Array* array,
                                                                           const ns::Dictionary* dictionary,
                                                                           const DatabaseArgumentList* list) {
    if (!databaseExists()) return false;
    const InUseScope inUse(*this);
    if (!inUse.entered()) return false;
    traceStatement(sql, "executeUpdate");

    const std::shared_ptr<Statement>* cached = nullptr;
    sqlite3_stmt* handle = statementForCall(sql, error, cached);
    if (!handle) return false;

    int bound = 0;
    const int parameterCount = sqlite3_bind_parameter_count(handle);
    bindArguments(handle, parameterCount, array, dictionary, list, bound);
    if (bound != parameterCount) {
        const std::string message = "Error: the bind count (" + std::to_string(bound) +
                                    ") is not correct for the # of variables in the query (" +
                                    std::to_string(parameterCount) + ") (" + std::string(sql) + ") (executeUpdate)";
        databaseLog(message);
        // SQLite itself saw nothing wrong, so its last error would read "not an error": say what failed.
        if (error) *error = errorWithMessage(message);
        releaseUnbound(cached, handle);
        return false;
    }

    const int rc = sqlite3_step(handle);
    if (rc != SQLITE_DONE) {
        if (logsErrors_) {
            const std::string detail = std::to_string(rc) + ": " + sqlite3_errmsg(db_);
            if (rc == SQLITE_ERROR) databaseLog("Error calling sqlite3_step (" + detail + ") SQLITE_ERROR");
            else if (rc == SQLITE_MISUSE) databaseLog("Error calling sqlite3_step (" + detail + ") SQLITE_MISUSE");
            else databaseLog("Unknown error calling sqlite3_step (" + detail + ") eu");
            databaseLog("DB Query: " + std::string(sql));
        }
        if (error) *error = lastError();
    }

    Statement* statement = cached ? cached->get() : nullptr;
    if (!statement && shouldCacheStatements_) {
        auto fresh = makeStatement(handle);
        setCachedStatement(fresh, sql);
        statement = fresh.get();
    }
    int closeRc;
    if (statement) {
        statement->setUseCount(statement->useCount() + 1);
        closeRc = sqlite3_reset(handle);
    } else {
        closeRc = sqlite3_finalize(handle);
    }
    if (closeRc != SQLITE_OK && logsErrors_) {
        databaseLog("Unknown error finalizing or resetting statement (" + std::to_string(closeRc) + ": " +
                    sqlite3_errmsg(db_) + ")");
        databaseLog("DB Query: " + std::string(sql));
    }
    return rc == SQLITE_DONE || rc == SQLITE_OK;
}

// ---- The forms that feed the cores ----

std::shared_ptr<ResultSet> Database::executeQuery(std::string_view sql, const ns::Array& arguments) {
    return executeQueryWithArgumentsInArrayOrDictionaryOrVAList(sql, &arguments, nullptr, nullptr);
}

std::shared_ptr<ResultSet> Database::executeQuery(std::string_view sql, const ns::Array& values, ns::Error* error) {
    ns::Error slot("", 0);
    auto resultSet = runQuery(sql, &values, nullptr, nullptr, &slot);
    // The core says why when the SQL or the arguments were at fault; otherwise SQLite's last error does.
    if (!resultSet && error) *error = slot.domain().empty() ? lastError() : slot;
    return resultSet;
}

std::shared_ptr<ResultSet> Database::executeQuery(std::string_view sql, const ns::Dictionary& arguments) {
    return executeQueryWithArgumentsInArrayOrDictionaryOrVAList(sql, nullptr, &arguments, nullptr);
}

std::shared_ptr<ResultSet> Database::executeQuery(std::string_view sql, DatabaseArgumentList arguments) {
    return executeQueryWithArgumentsInArrayOrDictionaryOrVAList(sql, nullptr, nullptr, &arguments);
}

bool Database::executeUpdate(std::string_view sql, const ns::Array& arguments) {
    return executeUpdateErrorWithArgumentsInArrayOrDictionaryOrVAList(sql, nullptr, &arguments, nullptr, nullptr);
}

bool Database::executeUpdate(std::string_view sql, const ns::Array& values, ns::Error* error) {
    return executeUpdateErrorWithArgumentsInArrayOrDictionaryOrVAList(sql, error, &values, nullptr, nullptr);
}

bool Database::executeUpdate(std::string_view sql, const ns::Dictionary& arguments) {
    return executeUpdateErrorWithArgumentsInArrayOrDictionaryOrVAList(sql, nullptr, nullptr, &arguments, nullptr);
}

bool Database::executeUpdate(std::string_view sql, DatabaseArgumentList arguments) {
    return executeUpdateErrorWithArgumentsInArrayOrDictionaryOrVAList(sql, nullptr, nullptr, nullptr, &arguments);
}

// ---- Batches ----

bool Database::executeStatements(std::string_view sql) { return executeStatements(sql, RowBlock()); }

namespace {

struct BatchContext {
    const Database::RowBlock* block;
    std::exception_ptr failure;  // an exception of the block, carried past SQLite's C frames
};

int batchRow(void* context, int columns, char** values, char** names) {
    auto* batch = static_cast<BatchContext*>(context);
    ns::Dictionary row;
    for (int i = 0; i < columns; ++i) row.set(names[i], values[i] ? ns::Value(values[i]) : ns::Value::null());
    try {
        return (*batch->block)(row);
    } catch (...) {
        batch->failure = std::current_exception();
        return 1;
    }
}

}  // namespace

bool Database::executeStatements(std::string_view sql, const RowBlock& block) {
    if (!db_) return false;
    BatchContext context{&block, nullptr};
    char* message = nullptr;
    const std::string text(sql);
    const int rc = sqlite3_exec(db_, text.c_str(), block ? &batchRow : nullptr, &context, &message);
    if (message) {
        if (logsErrors_) databaseLog("Error inserting batch: " + std::string(message));
        sqlite3_free(message);
    }
    if (context.failure) std::rethrow_exception(context.failure);
    return rc == SQLITE_OK;
}

}  // namespace ql
