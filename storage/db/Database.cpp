// The connection itself: opening, closing, busy waiting, errors and the connection's small facts.

#include "storage/db/Database.h"

#include <cassert>
#include <chrono>
#include <random>

#include "platform/foundation/Locale.h"
#include "platform/foundation/TimeZone.h"
#include "storage/db/DatabaseLog.h"
#include "storage/db/ResultSet.h"
#include "storage/db/Statement.h"

namespace ql {

namespace {

// The busy wait measures real elapsed time: it sleeps in real time, so a clock that tests hold still
// would make it wait for ever.
double monotonicSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

int randomBusySleepMilliseconds() {
    thread_local std::minstd_rand generator{std::random_device{}()};
    return 50 + std::uniform_int_distribution<int>(0, 49)(generator);
}

}  // namespace

Database::Database(std::optional<std::string> path) : databasePath_(std::move(path)) {
    assert(sqlite3_threadsafe() != 0 && "the SQLite library must be built thread-safe");
}

Database::~Database() { close(); }

std::shared_ptr<Database> Database::databaseWithPath(std::optional<std::string> path) {
    return std::make_shared<Database>(std::move(path));
}

std::string Database::DBUserVersion() { return "2.6"; }

std::uint32_t Database::DBVersion() {
    static const std::uint32_t version = [] {
        std::string text = DBUserVersion();
        std::size_t parts = 1;
        for (char c : text) parts += c == '.';
        if (parts < 3) text += ".0";
        std::string digits;
        for (char c : text) {
            if (c != '.') digits += c;
        }
        return static_cast<std::uint32_t>(std::stoul(digits, nullptr, 16));
    }();
    return version;
}

std::string Database::sqliteLibVersion() { return sqlite3_libversion(); }

bool Database::isSQLiteThreadSafe() { return sqlite3_threadsafe() != 0; }

std::string Database::sqlitePath() const {
    if (!databasePath_) return ":memory:";
    return *databasePath_;
}

// ---- Opening and closing ----

// sqlite3_open is exactly sqlite3_open_v2 with read-write and create and the default VFS.
bool Database::open() { return openWithFlags(SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE); }

bool Database::openWithFlags(int flags) { return openWithFlags(flags, std::nullopt); }

bool Database::openWithFlags(int flags, const std::optional<std::string>& vfs) {
    if (db_) return true;
    const int rc = sqlite3_open_v2(sqlitePath().c_str(), &db_, flags, vfs ? vfs->c_str() : nullptr);
    if (rc != SQLITE_OK) {
        databaseLog("error opening!: " + std::to_string(rc));
        sqlite3_close(db_);
        db_ = nullptr;
        return false;
    }
    if (maxBusyRetryTimeInterval_ > 0) setMaxBusyRetryTimeInterval(maxBusyRetryTimeInterval_);
    return true;
}

std::shared_ptr<Statement> Database::makeStatement(sqlite3_stmt* handle) {
    if (madeStatements_.size() >= 64) std::erase_if(madeStatements_, [](const auto& s) { return s.expired(); });
    auto statement = std::make_shared<Statement>(handle);
    madeStatements_.push_back(statement);
    return statement;
}

bool Database::close() {
    clearCachedStatements();
    closeOpenResultSets();
    // Statements still held elsewhere are finalized through their objects, which forget the handle.
    for (const auto& made : madeStatements_) {
        if (auto statement = made.lock()) statement->close();
    }
    madeStatements_.clear();
    if (!db_) return true;

    int rc = sqlite3_close(db_);
    if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) {
        while (sqlite3_stmt* leaked = sqlite3_next_stmt(db_, nullptr)) {
            databaseLog("Closing leaked statement");
            sqlite3_finalize(leaked);
        }
        // Should anything else still hold the connection (an unfinished backup, say), close_v2 frees it
        // once that ends, so the handle is never leaked while the connection reports itself closed.
        rc = sqlite3_close_v2(db_);
    }
    if (rc != SQLITE_OK && rc != SQLITE_BUSY && rc != SQLITE_LOCKED) databaseLog("error closing!: " + std::to_string(rc));
    db_ = nullptr;
    return true;
}

bool Database::goodConnection() {
    if (!db_) return false;
    auto resultSet = executeQuery("select name from sqlite_master where type='table'");
    if (!resultSet) return false;
    resultSet->close();
    return true;
}

bool Database::databaseExists() const {
    if (db_) return true;
    databaseLog("The Database " + description() + " is not open.");
    return false;
}

// ---- Busy handling ----

void Database::setMaxBusyRetryTimeInterval(double seconds) {
    maxBusyRetryTimeInterval_ = seconds;
    if (!db_) return;
    if (seconds > 0) sqlite3_busy_handler(db_, &Database::busyHandler, this);
    else sqlite3_busy_handler(db_, nullptr, nullptr);
}

int Database::busyHandler(void* context, int count) {
    auto* self = static_cast<Database*>(context);
    const double now = monotonicSeconds();
    if (count == 0) {
        self->startBusyRetryTime_ = now;
        return 1;
    }
    if (now - self->startBusyRetryTime_ >= self->maxBusyRetryTimeInterval_) return 0;
    const int requested = randomBusySleepMilliseconds();
    const int actual = sqlite3_sleep(requested);
    if (actual != requested) {
        databaseLog("WARNING: Requested sleep of " + std::to_string(requested) + " milliseconds, but SQLite returned " +
                    std::to_string(actual) + ". Maybe SQLite wasn't built with HAVE_USLEEP=1?");
    }
    return 1;
}

int Database::busyRetryTimeout() {
    databaseLog("-[Database busyRetryTimeout]:283");
    databaseLog("Database: busyRetryTimeout no longer works, please use maxBusyRetryTimeInterval");
    return -1;
}

void Database::setBusyRetryTimeout(int) {
    databaseLog("-[Database setBusyRetryTimeout:]:290");
    databaseLog("Database: setBusyRetryTimeout does nothing, please use setMaxBusyRetryTimeInterval:");
}

// ---- Open result sets ----

void Database::closeOpenResultSets() {
    const std::vector<ResultSet*> snapshot = openResultSets_;
    for (ResultSet* resultSet : snapshot) {
        resultSet->setParentDB(nullptr);
        resultSet->close();
        std::erase(openResultSets_, resultSet);
    }
}

void Database::resultSetDidClose(ResultSet* resultSet) { std::erase(openResultSets_, resultSet); }

// ---- Errors ----

std::string Database::lastErrorMessage() const { return sqlite3_errmsg(db_); }

int Database::lastErrorCode() const { return sqlite3_errcode(db_); }

bool Database::hadError() const {
    const int code = lastErrorCode();
    return code > SQLITE_OK && code < SQLITE_ROW;
}

ns::Error Database::errorWithMessage(std::string_view message) const {
    return ns::Error(std::string(DatabaseErrorDomain), sqlite3_errcode(db_),
                     {{std::string(ns::LocalizedDescriptionKey), ns::Value(message)}});
}

ns::Error Database::lastError() const { return errorWithMessage(lastErrorMessage()); }

std::int64_t Database::lastInsertRowId() {
    InUseScope scope(*this);
    return scope.entered() && db_ ? sqlite3_last_insert_rowid(db_) : 0;
}

int Database::changes() {
    InUseScope scope(*this);
    return scope.entered() && db_ ? sqlite3_changes(db_) : 0;
}

void Database::warnInUse() const { databaseLog("The Database " + description() + " is currently in use."); }

// ---- Dates ----

ns::DateFormatter Database::storeableDateFormat(std::string format) {
    ns::DateFormatter formatter;
    formatter.setDateFormat(std::move(format));
    formatter.setTimeZone(*ns::TimeZone::forSecondsFromGMT(0));
    formatter.setLocale(ns::Locale("en_US"));
    return formatter;
}

std::optional<ns::Date> Database::dateFromString(std::string_view text) const {
    if (!dateFormat_) return std::nullopt;
    return dateFormat_->dateFromString(text);
}

std::string Database::stringFromDate(ns::Date date) const {
    if (!dateFormat_) return {};
    return dateFormat_->stringFromDate(date);
}

// ---- Encryption keys ----

namespace {

// The key's UTF-8 bytes up to the first zero byte.
ns::Data keyBytes(std::string_view key) { return ns::Data(key.substr(0, key.find('\0'))); }

}  // namespace

bool Database::setKey(std::string_view key) { return setKeyWithData(keyBytes(key)); }

bool Database::rekey(std::string_view key) { return rekeyWithData(keyBytes(key)); }

bool Database::setKeyWithData(const ns::Data&) { return false; }

bool Database::rekeyWithData(const ns::Data&) { return false; }

}  // namespace ql
