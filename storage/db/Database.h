#pragma once
// Database: one connection to one SQLite 3 database. It opens and closes the connection, waits out a
// locked database for a bounded time, runs statements with bound arguments (with an optional cache of
// prepared statements), answers result sets and keeps track of the open ones, and offers transactions,
// savepoints, custom SQL functions and schema queries. One thread uses a connection at a time; threads
// share connections through DatabaseQueue or DatabasePool. A connection lives in a shared_ptr: the
// result sets it answers keep it alive.

#include <sqlite3.h>

#include <array>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/foundation/Data.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/DateFormatter.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Object.h"
#include "platform/foundation/Value.h"
#include "storage/db/DatabaseArgument.h"

namespace ql {

class ResultSet;
class Statement;

inline constexpr std::string_view DatabaseErrorDomain = "Database";
// Read-write, created when missing: what the queue and the pool open with unless told otherwise.
inline constexpr int DatabaseDefaultOpenFlags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;

class Database : public ns::Object {
    QL_OBJECT(Database, ns::Object)
public:
    struct TextHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
    };
    // Prepared statements by their exact SQL text; one text may have several when results overlap.
    using StatementCache =
        std::unordered_map<std::string, std::vector<std::shared_ptr<Statement>>, TextHash, std::equal_to<>>;
    using FunctionBlock = std::function<void(sqlite3_context* context, int argc, sqlite3_value** argv)>;
    using RowBlock = std::function<int(const ns::Dictionary& row)>;
    using SavePointBlock = std::function<void(bool* rollback)>;

    // No path: a private in-memory database. An empty path: SQLite's private temporary file.
    Database() : Database(std::nullopt) {}
    explicit Database(std::optional<std::string> path);
    ~Database() override;
    static std::shared_ptr<Database> databaseWithPath(std::optional<std::string> path);

    static std::string DBUserVersion();
    static std::uint32_t DBVersion();
    static std::string sqliteLibVersion();
    static bool isSQLiteThreadSafe();

    const std::optional<std::string>& databasePath() const { return databasePath_; }
    sqlite3* sqliteHandle() const { return db_; }
    std::string sqlitePath() const;

    // ---- Opening and closing ----
    bool open();
    bool openWithFlags(int flags);
    bool openWithFlags(int flags, const std::optional<std::string>& vfs);
    // Finishes cached statements and open result sets, then the connection; always true.
    bool close();
    bool goodConnection();
    bool databaseExists() const;

    // ---- Switches ----
    bool logsErrors() const { return logsErrors_; }
    void setLogsErrors(bool on) { logsErrors_ = on; }
    bool crashOnErrors() const { return crashOnErrors_; }
    void setCrashOnErrors(bool on) { crashOnErrors_ = on; }
    bool traceExecution() const { return traceExecution_; }
    void setTraceExecution(bool on) { traceExecution_ = on; }
    // Free for whoever owns the connection; nothing here reads it.
    bool checkedOut() const { return checkedOut_; }
    void setCheckedOut(bool on) { checkedOut_ = on; }

    // ---- Busy handling ----
    // How long (seconds) a locked database is retried before the statement fails as busy; 0 or less
    // fails at once.
    void setMaxBusyRetryTimeInterval(double seconds);
    double maxBusyRetryTimeInterval() const { return maxBusyRetryTimeInterval_; }
    // Retired; they only log so.
    int busyRetryTimeout();
    void setBusyRetryTimeout(int timeout);

    // ---- Open result sets ----
    bool hasOpenResultSets() const { return !openResultSets_.empty(); }
    void closeOpenResultSets();
    void resultSetDidClose(ResultSet* resultSet);

    // ---- Errors ----
    std::string lastErrorMessage() const;
    int lastErrorCode() const;
    bool hadError() const;
    ns::Error errorWithMessage(std::string_view message) const;
    ns::Error lastError() const;

    std::int64_t lastInsertRowId();
    int changes();
    void warnInUse() const;

    // ---- Dates ----
    // A formatter fit for storing dates as text: the format, GMT and the "en_US" locale.
    static ns::DateFormatter storeableDateFormat(std::string format);
    void setDateFormat(std::optional<ns::DateFormatter> format) { dateFormat_ = std::move(format); }
    bool hasDateFormatter() const { return dateFormat_.has_value(); }
    std::optional<ns::Date> dateFromString(std::string_view text) const;
    std::string stringFromDate(ns::Date date) const;

    // ---- Encryption keys: this build has no codec, so they always answer false ----
    bool setKey(std::string_view key);
    bool rekey(std::string_view key);
    bool setKeyWithData(const ns::Data& key);
    bool rekeyWithData(const ns::Data& key);

    // ---- Statement cache ----
    bool shouldCacheStatements() const { return shouldCacheStatements_; }
    void setShouldCacheStatements(bool on);
    std::shared_ptr<Statement> cachedStatementForQuery(std::string_view query) const;
    void setCachedStatement(const std::shared_ptr<Statement>& statement, std::string_view query);
    void clearCachedStatements();
    const std::optional<StatementCache>& cachedStatements() const { return cachedStatements_; }
    void setCachedStatements(std::optional<StatementCache> cache);

    // ---- Binding ----
    void bindObject(const ns::Value& value, int column, sqlite3_stmt* statement) const;
    void bindObject(const DatabaseArgument& argument, int column, sqlite3_stmt* statement) const;

    // ---- Queries: a result set positioned before its first row, or none ----
    template <DatabaseArgumentType... Args>
    std::shared_ptr<ResultSet> executeQuery(std::string_view sql, const Args&... args) {
        const std::array<DatabaseArgument, sizeof...(Args)> list{DatabaseArgument(args)...};
        return executeQuery(sql, DatabaseArgumentList(list));
    }
    std::shared_ptr<ResultSet> executeQuery(std::string_view sql, const ns::Array& arguments);
    std::shared_ptr<ResultSet> executeQuery(std::string_view sql, const ns::Array& values, ns::Error* error);
    std::shared_ptr<ResultSet> executeQuery(std::string_view sql, const ns::Dictionary& arguments);
    std::shared_ptr<ResultSet> executeQuery(std::string_view sql, DatabaseArgumentList arguments);
    // Each conversion of the format (%@, %s, %d, %lld, %f, ...) takes the next argument and becomes a
    // bound "?"; an absent argument for %@ becomes NULL in the SQL. Raises NSInvalidArgumentException when
    // the arguments do not fit the conversions.
    template <DatabaseArgumentType... Args>
    std::shared_ptr<ResultSet> executeQueryWithFormat(std::string_view format, const Args&... args) {
        const std::array<DatabaseArgument, sizeof...(Args)> list{DatabaseArgument(args)...};
        std::string sql;
        ns::Array values;
        extractSQL(format, list, sql, values);
        return executeQuery(sql, values);
    }
    std::shared_ptr<ResultSet> executeQueryWithArgumentsInArrayOrDictionaryOrVAList(
        std::string_view sql, const ns::Array* array, const ns::Dictionary* dictionary,
        const DatabaseArgumentList* list);

    // ---- Updates: true when the statement ran to its end ----
    template <DatabaseArgumentType... Args>
    bool executeUpdate(std::string_view sql, const Args&... args) {
        const std::array<DatabaseArgument, sizeof...(Args)> list{DatabaseArgument(args)...};
        return executeUpdate(sql, DatabaseArgumentList(list));
    }
    bool executeUpdate(std::string_view sql, const ns::Array& arguments);
    bool executeUpdate(std::string_view sql, const ns::Array& values, ns::Error* error);
    bool executeUpdate(std::string_view sql, const ns::Dictionary& arguments);
    bool executeUpdate(std::string_view sql, DatabaseArgumentList arguments);
    template <DatabaseArgumentType... Args>
    bool executeUpdateWithFormat(std::string_view format, const Args&... args) {
        const std::array<DatabaseArgument, sizeof...(Args)> list{DatabaseArgument(args)...};
        std::string sql;
        ns::Array values;
        extractSQL(format, list, sql, values);
        return executeUpdate(sql, values);
    }
    template <DatabaseArgumentType... Args>
    bool executeUpdate(std::string_view sql, ns::Error* error, const Args&... args) {
        const std::array<DatabaseArgument, sizeof...(Args)> list{DatabaseArgument(args)...};
        const DatabaseArgumentList arguments(list);
        return executeUpdateErrorWithArgumentsInArrayOrDictionaryOrVAList(sql, error, nullptr, nullptr, &arguments);
    }
    template <DatabaseArgumentType... Args>
    bool update(std::string_view sql, ns::Error* error, const Args&... args) {
        return executeUpdate(sql, error, args...);
    }
    bool executeUpdateErrorWithArgumentsInArrayOrDictionaryOrVAList(std::string_view sql, ns::Error* error,
                                                                    const ns::Array* array,
                                                                    const ns::Dictionary* dictionary,
                                                                    const DatabaseArgumentList* list);

    // ---- Batches of statements, outside the statement cache ----
    bool executeStatements(std::string_view sql);
    // The block gets each result row (column name to text, or the null object); non-zero stops the batch.
    bool executeStatements(std::string_view sql, const RowBlock& block);

    // Rewrites a format into SQL with "?" for each conversion and collects the converted arguments.
    static void extractSQL(std::string_view format, DatabaseArgumentList arguments, std::string& sql,
                           ns::Array& values);

    // ---- Transactions and savepoints ----
    bool beginTransaction();
    bool beginDeferredTransaction();
    bool commit();
    bool rollback();
    bool inTransaction() const { return inTransaction_; }
    bool startSavePointWithName(std::string_view name, ns::Error* error);
    bool releaseSavePointWithName(std::string_view name, ns::Error* error);
    bool rollbackToSavePointWithName(std::string_view name, ns::Error* error);
    // Runs the block inside a fresh savepoint, rolled back when the block sets *rollback; the error of
    // the last savepoint call that failed, or none.
    std::optional<ns::Error> inSavePoint(const SavePointBlock& block);

    // ---- Custom SQL functions: the block sets the result through SQLite's result calls ----
    void makeFunctionNamed(std::string_view name, int maximumArguments, FunctionBlock block);

    // ---- Single values: column 0 of the first row ----
    template <DatabaseArgumentType... Args>
    std::optional<std::string> stringForQuery(std::string_view sql, const Args&... args) {
        return firstValue(sql, {DatabaseArgument(args)...}, &Database::stringColumn);
    }
    template <DatabaseArgumentType... Args>
    int intForQuery(std::string_view sql, const Args&... args) {
        return firstValue(sql, {DatabaseArgument(args)...}, &Database::intColumn);
    }
    template <DatabaseArgumentType... Args>
    std::int64_t longForQuery(std::string_view sql, const Args&... args) {
        return firstValue(sql, {DatabaseArgument(args)...}, &Database::longColumn);
    }
    template <DatabaseArgumentType... Args>
    bool boolForQuery(std::string_view sql, const Args&... args) {
        return firstValue(sql, {DatabaseArgument(args)...}, &Database::boolColumn);
    }
    template <DatabaseArgumentType... Args>
    double doubleForQuery(std::string_view sql, const Args&... args) {
        return firstValue(sql, {DatabaseArgument(args)...}, &Database::doubleColumn);
    }
    template <DatabaseArgumentType... Args>
    std::optional<ns::Data> dataForQuery(std::string_view sql, const Args&... args) {
        return firstValue(sql, {DatabaseArgument(args)...}, &Database::dataColumn);
    }
    template <DatabaseArgumentType... Args>
    std::optional<ns::Date> dateForQuery(std::string_view sql, const Args&... args) {
        return firstValue(sql, {DatabaseArgument(args)...}, &Database::dateColumn);
    }

    // ---- Schema ----
    bool tableExists(std::string_view tableName);
    // type, name, tbl_name, rootpage and sql of every schema object but SQLite's own.
    std::shared_ptr<ResultSet> getSchema();
    std::shared_ptr<ResultSet> getTableSchema(std::string_view tableName);
    bool columnExistsInTableWithName(std::string_view columnName, std::string_view tableName);
    bool columnExistsColumnName(std::string_view tableName, std::string_view columnName);
    std::uint32_t applicationID();
    void setApplicationID(std::uint32_t applicationID);
    std::uint32_t userVersion();
    void setUserVersion(std::uint32_t version);
    // Whether the SQL compiles; it is never run.
    bool validateSQL(std::string_view sql, ns::Error* error);

private:
    // The guard of statement calls: refuses re-entry on the connection's own thread (from a row
    // callback or a custom function, say) and clears itself on every way out.
    class InUseScope {
    public:
        explicit InUseScope(Database& db) : db_(db), entered_(!db.isExecutingStatement_) {
            if (entered_) db_.isExecutingStatement_ = true;
            else db_.warnInUse();
        }
        ~InUseScope() {
            if (entered_) db_.isExecutingStatement_ = false;
        }
        InUseScope(const InUseScope&) = delete;
        InUseScope& operator=(const InUseScope&) = delete;
        bool entered() const { return entered_; }

    private:
        Database& db_;
        bool entered_;
    };

    static int busyHandler(void* context, int count);
    // A statement object for a handle this connection prepared, remembered until the connection closes.
    std::shared_ptr<Statement> makeStatement(sqlite3_stmt* handle);
    void bindArguments(sqlite3_stmt* statement, int parameterCount, const ns::Array* array,
                       const ns::Dictionary* dictionary, const DatabaseArgumentList* list, int& bound) const;
    void bindText(std::string_view text, int column, sqlite3_stmt* statement) const;
    void bindDate(ns::Date date, int column, sqlite3_stmt* statement) const;
    void traceStatement(std::string_view sql, std::string_view verb) const;
    // The query core with an error slot for a failing prepare or a wrong argument count.
    std::shared_ptr<ResultSet> runQuery(std::string_view sql, const ns::Array* array, const ns::Dictionary* dictionary,
                                        const DatabaseArgumentList* list, ns::Error* error);
    sqlite3_stmt* prepare(std::string_view sql, ns::Error* error);
    const std::shared_ptr<Statement>* findCachedStatement(std::string_view query) const;
    // The statement for one call: an idle cached one (`cached` points at it) or a freshly prepared one;
    // none when the SQL does not prepare.
    sqlite3_stmt* statementForCall(std::string_view sql, ns::Error* error, const std::shared_ptr<Statement>*& cached);
    // Gives back a statement whose arguments did not fit: a cached one stays cached, a fresh one goes.
    static void releaseUnbound(const std::shared_ptr<Statement>* cached, sqlite3_stmt* handle);
    bool runSavePointStatement(std::string_view sqlFormat, std::string_view name, ns::Error* error);

    // Runs the query and reads column 0 of its first row with `column`; empty without a row.
    template <class T>
    T firstValue(std::string_view sql, std::initializer_list<DatabaseArgument> arguments, T (*column)(ResultSet&)) {
        const std::shared_ptr<ResultSet> resultSet = queryFirstRow(sql, DatabaseArgumentList(arguments));
        if (!resultSet) return T{};
        T value = column(*resultSet);
        finishFirstRow(*resultSet);
        return value;
    }
    // The query's result set when it has a first row (positioned there), else none.
    std::shared_ptr<ResultSet> queryFirstRow(std::string_view sql, DatabaseArgumentList arguments);
    static void finishFirstRow(ResultSet& resultSet);
    static std::optional<std::string> stringColumn(ResultSet& resultSet);
    static int intColumn(ResultSet& resultSet);
    static std::int64_t longColumn(ResultSet& resultSet);
    static bool boolColumn(ResultSet& resultSet);
    static double doubleColumn(ResultSet& resultSet);
    static std::optional<ns::Data> dataColumn(ResultSet& resultSet);
    static std::optional<ns::Date> dateColumn(ResultSet& resultSet);

    sqlite3* db_ = nullptr;
    std::optional<std::string> databasePath_;
    bool logsErrors_ = true;
    bool crashOnErrors_ = false;
    bool traceExecution_ = false;
    bool checkedOut_ = false;
    bool shouldCacheStatements_ = false;
    bool isExecutingStatement_ = false;
    bool inTransaction_ = false;
    double maxBusyRetryTimeInterval_ = 2.0;
    // Seconds on the monotonic clock when the current busy wait began.
    double startBusyRetryTime_ = 0;
    std::optional<StatementCache> cachedStatements_;
    mutable const StatementCache::value_type* lastCacheEntry_ = nullptr;  // points into cachedStatements_
    std::vector<ResultSet*> openResultSets_;  // not owned: a result set leaves when it closes
    // Every statement object this connection made, so that closing finalizes them through their owners and a
    // caller still holding one later never finalizes a handle twice.
    std::vector<std::weak_ptr<Statement>> madeStatements_;
    std::vector<std::unique_ptr<FunctionBlock>> openFunctions_;
    std::optional<ns::DateFormatter> dateFormat_;
};

}  // namespace ql
