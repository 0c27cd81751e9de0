#pragma once
// ResultSet: the cursor a query answers. It steps its statement row by row, closes itself after the last
// row or a failure, and reads the current row's columns by index or by case-insensitive name. It keeps
// its connection alive while open; closing it hands the statement back to the connection's cache.

#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>

#include "platform/foundation/Data.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Object.h"
#include "platform/foundation/Value.h"

namespace ql {

class Database;
class Statement;

class ResultSet final : public ns::Object {
    QL_OBJECT(ResultSet, ns::Object)
public:
    struct NameHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view name) const { return std::hash<std::string_view>{}(name); }
    };
    using ColumnNameMap = std::unordered_map<std::string, int, NameHash, std::equal_to<>>;

    ResultSet() = default;
    ~ResultSet() override;
    // Marks the statement in use until the result set closes.
    static std::shared_ptr<ResultSet> resultSetWithStatement(std::shared_ptr<Statement> statement,
                                                             std::shared_ptr<Database> parentDatabase);

    bool next();
    // Steps to the next row: true when one is current. Any other answer closes the result set.
    bool nextWithError(ns::Error* error);
    bool hasAnotherRow() const;
    void close();

    int columnCount() const;
    // -1 (after a warning) when the result has no such column.
    int columnIndexForName(std::string_view columnName);
    std::string columnNameForIndex(int columnIndex) const;
    // Lower-cased column names to their indexes; the later of two equal names wins.
    const ColumnNameMap& columnNameToIndexMap();

    int intForColumnIndex(int columnIndex) const;
    std::int64_t longForColumnIndex(int columnIndex) const;
    std::int64_t longLongIntForColumnIndex(int columnIndex) const;
    std::uint64_t unsignedLongLongIntForColumnIndex(int columnIndex) const;
    bool boolForColumnIndex(int columnIndex) const;
    double doubleForColumnIndex(int columnIndex) const;
    std::optional<std::string> stringForColumnIndex(int columnIndex) const;
    std::optional<ns::Date> dateForColumnIndex(int columnIndex) const;
    // None for NULL and for an empty blob.
    std::optional<ns::Data> dataForColumnIndex(int columnIndex) const;
    // SQLite's own bytes, valid until the next step, reset or close; empty for an empty blob.
    std::optional<std::span<const std::uint8_t>> dataNoCopyForColumnIndex(int columnIndex) const;
    bool columnIndexIsNull(int columnIndex) const;
    // SQLite's own text, valid until the next step, reset or close; null for NULL.
    const char* UTF8StringForColumnIndex(int columnIndex) const;
    // A 64-bit integer, a double, data or text by the column's type; the null object for NULL.
    ns::Value objectForColumnIndex(int columnIndex) const;

    int intForColumn(std::string_view columnName);
    std::int64_t longForColumn(std::string_view columnName);
    std::int64_t longLongIntForColumn(std::string_view columnName);
    std::uint64_t unsignedLongLongIntForColumn(std::string_view columnName);
    bool boolForColumn(std::string_view columnName);
    double doubleForColumn(std::string_view columnName);
    std::optional<std::string> stringForColumn(std::string_view columnName);
    std::optional<ns::Date> dateForColumn(std::string_view columnName);
    std::optional<ns::Data> dataForColumn(std::string_view columnName);
    std::optional<std::span<const std::uint8_t>> dataNoCopyForColumn(std::string_view columnName);
    bool columnIsNull(std::string_view columnName);
    const char* UTF8StringForColumnName(std::string_view columnName);
    ns::Value objectForColumnName(std::string_view columnName);

    ns::Value operator[](int columnIndex) const { return objectForColumnIndex(columnIndex); }
    ns::Value operator[](std::string_view columnName) { return objectForColumnName(columnName); }

    // The current row by column name as SQLite reports it; none without a current row.
    std::optional<ns::Dictionary> resultDictionary() const;
    // The current row by lower-cased column name; none without a current row.
    std::optional<ns::Dictionary> resultDict();
    // Sets each non-NULL column's text as the target's value for the key named by the column.
    void kvcMagic(ns::Object& target) const;

    const std::string& query() const { return query_; }
    void setQuery(std::string query) { query_ = std::move(query); }
    const std::shared_ptr<Statement>& statement() const { return statement_; }
    void setStatement(std::shared_ptr<Statement> statement) { statement_ = std::move(statement); }
    void setParentDB(std::shared_ptr<Database> parent) { parentDB_ = std::move(parent); }

private:
    sqlite3_stmt* handle() const;

    std::shared_ptr<Database> parentDB_;
    std::shared_ptr<Statement> statement_;
    std::string query_;
    std::optional<ColumnNameMap> columnNameToIndexMap_;
    // Each column's name as SQLite reports it, to the index its lower-cased name finds: callers mostly
    // spell a name as the query did, and then no lower-casing is needed.
    ColumnNameMap reportedNameToIndexMap_;
};

}  // namespace ql
