// What sits on top of statement execution: transactions, savepoints, custom SQL functions, single-value
// queries and schema queries.

#include <atomic>
#include <exception>

#include "platform/foundation/Text.h"
#include "storage/db/Database.h"
#include "storage/db/DatabaseBlocks.h"
#include "storage/db/ResultSet.h"

namespace ql {

namespace {

// A name inside single quotes, with its own apostrophes doubled.
std::string quoted(std::string_view name) {
    std::string out = "'";
    for (char c : name) {
        out += c;
        if (c == '\'') out += '\'';
    }
    out += '\'';
    return out;
}

}  // namespace

// ---- Transactions ----

bool Database::beginTransaction() {
    const bool ok = executeUpdate("begin exclusive transaction");
    if (ok) inTransaction_ = true;
    return ok;
}

bool Database::beginDeferredTransaction() {
    const bool ok = executeUpdate("begin deferred transaction");
    if (ok) inTransaction_ = true;
    return ok;
}

bool Database::commit() {
    const bool ok = executeUpdate("commit transaction");
    if (ok) inTransaction_ = false;
    return ok;
}

bool Database::rollback() {
    const bool ok = executeUpdate("rollback transaction");
    if (ok) inTransaction_ = false;
    return ok;
}

// ---- Savepoints ----

bool Database::runSavePointStatement(std::string_view prefix, std::string_view name, ns::Error* error) {
    const bool ok = executeUpdate(std::string(prefix) + quoted(name) + ";");
    if (!ok && error) *error = lastError();
    return ok;
}

bool Database::startSavePointWithName(std::string_view name, ns::Error* error) {
    return runSavePointStatement("savepoint ", name, error);
}

bool Database::releaseSavePointWithName(std::string_view name, ns::Error* error) {
    return runSavePointStatement("release savepoint ", name, error);
}

bool Database::rollbackToSavePointWithName(std::string_view name, ns::Error* error) {
    return runSavePointStatement("rollback transaction to savepoint ", name, error);
}

std::optional<ns::Error> Database::inSavePoint(const SavePointBlock& block) {
    // Shared by every connection of the process, which may live on different threads.
    static std::atomic<std::int64_t> counter{0};
    return runDatabaseSavePoint(*this, "dbSavePoint" + std::to_string(counter.fetch_add(1)), block);
}

// ---- Custom functions ----

namespace {

void callFunctionBlock(sqlite3_context* context, int argc, sqlite3_value** argv) {
    const auto& block = *static_cast<const Database::FunctionBlock*>(sqlite3_user_data(context));
    // An exception must not cross SQLite's C frames: it becomes the function's SQL error.
    try {
        block(context, argc, argv);
    } catch (const std::exception& e) {
        sqlite3_result_error(context, e.what(), -1);
    } catch (...) {
        sqlite3_result_error(context, "exception in a custom SQL function", -1);
    }
}

}  // namespace

void Database::makeFunctionNamed(std::string_view name, int maximumArguments, FunctionBlock block) {
    if (!databaseExists()) return;
    // Every block stays alive with the connection object, also when the name is registered again.
    openFunctions_.push_back(std::make_unique<FunctionBlock>(std::move(block)));
    sqlite3_create_function(db_, std::string(name).c_str(), maximumArguments, SQLITE_UTF8, openFunctions_.back().get(),
                            &callFunctionBlock, nullptr, nullptr);
}

// ---- Single values ----

std::shared_ptr<ResultSet> Database::queryFirstRow(std::string_view sql, DatabaseArgumentList arguments) {
    auto resultSet = executeQueryWithArgumentsInArrayOrDictionaryOrVAList(sql, nullptr, nullptr, &arguments);
    if (!resultSet || !resultSet->next()) return nullptr;
    return resultSet;
}

void Database::finishFirstRow(ResultSet& resultSet) {
    resultSet.close();
    resultSet.setParentDB(nullptr);
}

std::optional<std::string> Database::stringColumn(ResultSet& resultSet) { return resultSet.stringForColumnIndex(0); }
int Database::intColumn(ResultSet& resultSet) { return resultSet.intForColumnIndex(0); }
std::int64_t Database::longColumn(ResultSet& resultSet) { return resultSet.longForColumnIndex(0); }
bool Database::boolColumn(ResultSet& resultSet) { return resultSet.boolForColumnIndex(0); }
double Database::doubleColumn(ResultSet& resultSet) { return resultSet.doubleForColumnIndex(0); }
std::optional<ns::Data> Database::dataColumn(ResultSet& resultSet) { return resultSet.dataForColumnIndex(0); }
std::optional<ns::Date> Database::dateColumn(ResultSet& resultSet) { return resultSet.dateForColumnIndex(0); }

// ---- Schema ----

bool Database::tableExists(std::string_view tableName) {
    auto resultSet = executeQuery("select [sql] from sqlite_master where [type] = 'table' and lower(name) = ?",
                                  ns::lowercaseString(tableName));
    if (!resultSet) return false;
    const bool found = resultSet->next();
    resultSet->close();
    return found;
}

std::shared_ptr<ResultSet> Database::getSchema() {
    return executeQuery(
        "SELECT type, name, tbl_name, rootpage, sql FROM (SELECT * FROM sqlite_master UNION ALL SELECT * FROM "
        "sqlite_temp_master) WHERE type != 'meta' AND name NOT LIKE 'sqlite_%' ORDER BY tbl_name, type DESC, name");
}

std::shared_ptr<ResultSet> Database::getTableSchema(std::string_view tableName) {
    return executeQuery("pragma table_info(" + quoted(tableName) + ")");
}

bool Database::columnExistsInTableWithName(std::string_view columnName, std::string_view tableName) {
    const std::string column = ns::lowercaseString(columnName);
    auto resultSet = getTableSchema(ns::lowercaseString(tableName));
    if (!resultSet) return false;
    while (resultSet->next()) {
        if (ns::lowercaseString(resultSet->stringForColumn("name").value_or("")) == column) {
            resultSet->close();
            return true;
        }
    }
    return false;
}

bool Database::columnExistsColumnName(std::string_view tableName, std::string_view columnName) {
    return columnExistsInTableWithName(columnName, tableName);
}

namespace {

std::uint32_t headerValue(Database& db, std::string_view pragma) {
    auto resultSet = db.executeQuery(pragma);
    if (!resultSet) return 0;
    const std::uint32_t value =
        resultSet->next() ? static_cast<std::uint32_t>(resultSet->longLongIntForColumnIndex(0)) : 0;
    resultSet->close();
    return value;
}

void setHeaderValue(Database& db, const std::string& pragma) {
    if (auto resultSet = db.executeQuery(pragma)) {
        resultSet->next();
        resultSet->close();
    }
}

}  // namespace

std::uint32_t Database::applicationID() { return headerValue(*this, "pragma application_id"); }

void Database::setApplicationID(std::uint32_t applicationID) {
    setHeaderValue(*this, "pragma application_id=" + std::to_string(static_cast<std::int32_t>(applicationID)));
}

std::uint32_t Database::userVersion() { return headerValue(*this, "pragma user_version"); }

void Database::setUserVersion(std::uint32_t version) {
    setHeaderValue(*this, "pragma user_version = " + std::to_string(static_cast<std::int32_t>(version)));
}

bool Database::validateSQL(std::string_view sql, ns::Error* error) {
    sqlite3_stmt* statement = nullptr;
    const int rc = db_ ? sqlite3_prepare_v2(db_, sql.data(), static_cast<int>(sql.size()), &statement, nullptr)
                       : SQLITE_MISUSE;
    if (rc != SQLITE_OK && error) {
        *error = ns::Error(std::string(ns::CocoaErrorDomain), lastErrorCode(),
                           {{std::string(ns::LocalizedDescriptionKey), ns::Value(lastErrorMessage())}});
    }
    sqlite3_finalize(statement);
    return rc == SQLITE_OK;
}

}  // namespace ql
