#include "storage/db/ResultSet.h"

#include <algorithm>

#include "platform/foundation/Text.h"
#include "storage/db/Database.h"
#include "storage/db/DatabaseLog.h"
#include "storage/db/Statement.h"

namespace ql {

ResultSet::~ResultSet() { close(); }

std::shared_ptr<ResultSet> ResultSet::resultSetWithStatement(std::shared_ptr<Statement> statement,
                                                             std::shared_ptr<Database> parentDatabase) {
    auto resultSet = std::make_shared<ResultSet>();
    statement->setInUse(true);
    resultSet->statement_ = std::move(statement);
    resultSet->parentDB_ = std::move(parentDatabase);
    return resultSet;
}

sqlite3_stmt* ResultSet::handle() const { return statement_ ? statement_->statement() : nullptr; }

// ---- Stepping ----

bool ResultSet::next() { return nextWithError(nullptr); }

bool ResultSet::nextWithError(ns::Error* error) {
    sqlite3_stmt* statement = handle();
    // A closed result set has no statement left, which SQLite would answer with misuse.
    const int rc = statement ? sqlite3_step(statement) : SQLITE_MISUSE;
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
        sqlite3* db = parentDB_ ? parentDB_->sqliteHandle() : nullptr;
        const std::string message = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
        if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) {
            databaseLog("-[ResultSet nextWithError:]:164 Database busy (" +
                        logText(parentDB_ ? parentDB_->databasePath() : std::nullopt) + ")");
            databaseLog("Database busy");
        } else if (rc == SQLITE_ERROR || rc == SQLITE_MISUSE) {
            databaseLog("Error calling sqlite3_step (" + std::to_string(rc) + ": " + message + ") rs");
        } else {
            databaseLog("Unknown error calling sqlite3_step (" + std::to_string(rc) + ": " + message + ") rs");
        }
        if (error) {
            if (parentDB_) {
                *error = parentDB_->lastError();
            } else {
                *error = ns::Error(std::string(DatabaseErrorDomain), rc,
                                   {{std::string(ns::LocalizedDescriptionKey), ns::Value("parentDB does not exist")}});
            }
        }
    }
    if (rc != SQLITE_ROW) close();
    return rc == SQLITE_ROW;
}

bool ResultSet::hasAnotherRow() const { return parentDB_ && parentDB_->lastErrorCode() == SQLITE_ROW; }

void ResultSet::close() {
    if (statement_) {
        statement_->reset();
        statement_.reset();
    }
    if (parentDB_) {
        // Taken out first: the parent may go away with this last reference and close itself.
        const std::shared_ptr<Database> parent = std::move(parentDB_);
        parent->resultSetDidClose(this);
    }
}

// ---- Columns ----

int ResultSet::columnCount() const {
    sqlite3_stmt* statement = handle();
    return statement ? sqlite3_column_count(statement) : 0;
}

namespace {

// Column names are nearly always ASCII, which folds without the full Unicode case mapping.
std::string lowercaseName(std::string_view name) {
    const bool ascii = std::ranges::all_of(name, [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (!ascii) return ns::lowercaseString(name);
    std::string lower(name);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return lower;
}

}  // namespace

const ResultSet::ColumnNameMap& ResultSet::columnNameToIndexMap() {
    if (!columnNameToIndexMap_) {
        ColumnNameMap map;
        const int count = columnCount();
        for (int i = 0; i < count; ++i) map[lowercaseName(columnNameForIndex(i))] = i;
        for (int i = 0; i < count; ++i) {
            std::string name = columnNameForIndex(i);
            reportedNameToIndexMap_[name] = map.find(lowercaseName(name))->second;
        }
        columnNameToIndexMap_ = std::move(map);
    }
    return *columnNameToIndexMap_;
}

int ResultSet::columnIndexForName(std::string_view columnName) {
    const ColumnNameMap& map = columnNameToIndexMap();
    if (auto found = reportedNameToIndexMap_.find(columnName); found != reportedNameToIndexMap_.end())
        return found->second;
    if (auto found = map.find(columnName); found != map.end()) return found->second;
    const std::string name = lowercaseName(columnName);
    if (auto found = map.find(name); found != map.end()) return found->second;
    databaseLog("Warning: I could not find the column named '" + name + "'.");
    return -1;
}

std::string ResultSet::columnNameForIndex(int columnIndex) const {
    sqlite3_stmt* statement = handle();
    const char* name = statement ? sqlite3_column_name(statement, columnIndex) : nullptr;
    return name ? name : "";
}

// ---- Values by index ----

int ResultSet::intForColumnIndex(int columnIndex) const {
    sqlite3_stmt* statement = handle();
    return statement ? sqlite3_column_int(statement, columnIndex) : 0;
}

std::int64_t ResultSet::longForColumnIndex(int columnIndex) const { return longLongIntForColumnIndex(columnIndex); }

std::int64_t ResultSet::longLongIntForColumnIndex(int columnIndex) const {
    sqlite3_stmt* statement = handle();
    return statement ? sqlite3_column_int64(statement, columnIndex) : 0;
}

std::uint64_t ResultSet::unsignedLongLongIntForColumnIndex(int columnIndex) const {
    return static_cast<std::uint64_t>(longLongIntForColumnIndex(columnIndex));
}

bool ResultSet::boolForColumnIndex(int columnIndex) const { return intForColumnIndex(columnIndex) != 0; }

double ResultSet::doubleForColumnIndex(int columnIndex) const {
    sqlite3_stmt* statement = handle();
    return statement ? sqlite3_column_double(statement, columnIndex) : 0;
}

bool ResultSet::columnIndexIsNull(int columnIndex) const {
    sqlite3_stmt* statement = handle();
    return !statement || sqlite3_column_type(statement, columnIndex) == SQLITE_NULL;
}

// SQLite answers no text and no blob for a NULL column, which saves asking for the type first.
std::optional<std::string> ResultSet::stringForColumnIndex(int columnIndex) const {
    sqlite3_stmt* statement = handle();
    if (columnIndex < 0 || !statement) return std::nullopt;
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, columnIndex));
    if (!text) return std::nullopt;
    return std::string(text, static_cast<std::size_t>(sqlite3_column_bytes(statement, columnIndex)));
}

std::optional<ns::Date> ResultSet::dateForColumnIndex(int columnIndex) const {
    if (columnIndex < 0 || columnIndexIsNull(columnIndex)) return std::nullopt;
    if (parentDB_ && parentDB_->hasDateFormatter()) {
        const std::optional<std::string> text = stringForColumnIndex(columnIndex);
        if (!text) return std::nullopt;
        return parentDB_->dateFromString(*text);
    }
    return ns::Date::fromTimeIntervalSince1970(doubleForColumnIndex(columnIndex));
}

std::optional<ns::Data> ResultSet::dataForColumnIndex(int columnIndex) const {
    sqlite3_stmt* statement = handle();
    if (columnIndex < 0 || !statement) return std::nullopt;
    const void* bytes = sqlite3_column_blob(statement, columnIndex);
    if (!bytes) return std::nullopt;
    return ns::Data(bytes, static_cast<std::size_t>(sqlite3_column_bytes(statement, columnIndex)));
}

std::optional<std::span<const std::uint8_t>> ResultSet::dataNoCopyForColumnIndex(int columnIndex) const {
    if (columnIndex < 0 || columnIndexIsNull(columnIndex)) return std::nullopt;
    sqlite3_stmt* statement = handle();
    const auto* bytes = static_cast<const std::uint8_t*>(sqlite3_column_blob(statement, columnIndex));
    if (!bytes) return std::span<const std::uint8_t>();
    return std::span<const std::uint8_t>(bytes, static_cast<std::size_t>(sqlite3_column_bytes(statement, columnIndex)));
}

const char* ResultSet::UTF8StringForColumnIndex(int columnIndex) const {
    if (columnIndex < 0 || columnIndexIsNull(columnIndex)) return nullptr;
    return reinterpret_cast<const char*>(sqlite3_column_text(handle(), columnIndex));
}

ns::Value ResultSet::objectForColumnIndex(int columnIndex) const {
    sqlite3_stmt* statement = handle();
    const int type = statement ? sqlite3_column_type(statement, columnIndex) : SQLITE_NULL;
    switch (type) {
    case SQLITE_INTEGER: return ns::Value(longLongIntForColumnIndex(columnIndex));
    case SQLITE_FLOAT: return ns::Value(doubleForColumnIndex(columnIndex));
    case SQLITE_BLOB:
        if (auto data = dataForColumnIndex(columnIndex)) return ns::Value(std::move(*data));
        return ns::Value::null();
    default:
        if (auto text = stringForColumnIndex(columnIndex)) return ns::Value(std::move(*text));
        return ns::Value::null();
    }
}

// ---- Values by name ----

int ResultSet::intForColumn(std::string_view columnName) { return intForColumnIndex(columnIndexForName(columnName)); }

std::int64_t ResultSet::longForColumn(std::string_view columnName) {
    return longForColumnIndex(columnIndexForName(columnName));
}

std::int64_t ResultSet::longLongIntForColumn(std::string_view columnName) {
    return longLongIntForColumnIndex(columnIndexForName(columnName));
}

std::uint64_t ResultSet::unsignedLongLongIntForColumn(std::string_view columnName) {
    return unsignedLongLongIntForColumnIndex(columnIndexForName(columnName));
}

bool ResultSet::boolForColumn(std::string_view columnName) { return boolForColumnIndex(columnIndexForName(columnName)); }

double ResultSet::doubleForColumn(std::string_view columnName) {
    return doubleForColumnIndex(columnIndexForName(columnName));
}

std::optional<std::string> ResultSet::stringForColumn(std::string_view columnName) {
    return stringForColumnIndex(columnIndexForName(columnName));
}

std::optional<ns::Date> ResultSet::dateForColumn(std::string_view columnName) {
    return dateForColumnIndex(columnIndexForName(columnName));
}

std::optional<ns::Data> ResultSet::dataForColumn(std::string_view columnName) {
    return dataForColumnIndex(columnIndexForName(columnName));
}

std::optional<std::span<const std::uint8_t>> ResultSet::dataNoCopyForColumn(std::string_view columnName) {
    return dataNoCopyForColumnIndex(columnIndexForName(columnName));
}

bool ResultSet::columnIsNull(std::string_view columnName) { return columnIndexIsNull(columnIndexForName(columnName)); }

const char* ResultSet::UTF8StringForColumnName(std::string_view columnName) {
    return UTF8StringForColumnIndex(columnIndexForName(columnName));
}

ns::Value ResultSet::objectForColumnName(std::string_view columnName) {
    return objectForColumnIndex(columnIndexForName(columnName));
}

// ---- Whole rows ----

namespace {

bool hasCurrentRow(sqlite3_stmt* statement) {
    if (statement && sqlite3_data_count(statement) > 0) return true;
    databaseLog("Warning: There seem to be no columns in this set.");
    return false;
}

}  // namespace

std::optional<ns::Dictionary> ResultSet::resultDictionary() const {
    if (!hasCurrentRow(handle())) return std::nullopt;
    ns::Dictionary row;
    const int count = columnCount();
    for (int i = 0; i < count; ++i) row.set(columnNameForIndex(i), objectForColumnIndex(i));
    return row;
}

std::optional<ns::Dictionary> ResultSet::resultDict() {
    if (!hasCurrentRow(handle())) return std::nullopt;
    ns::Dictionary row;
    for (const auto& [name, index] : columnNameToIndexMap()) row.set(name, objectForColumnIndex(index));
    return row;
}

void ResultSet::kvcMagic(ns::Object& target) const {
    sqlite3_stmt* statement = handle();
    const int count = columnCount();
    for (int i = 0; i < count; ++i) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, i));
        if (text) target.setValueForKey(ns::Value(text), columnNameForIndex(i));
    }
}

}  // namespace ql
