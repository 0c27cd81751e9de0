#include "platform/security/KeychainItems.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "platform/foundation/Data.h"
#include "platform/foundation/Sandbox.h"

namespace ql::sec {

namespace {

// The text attributes and the store's columns that keep them.
struct TextColumn {
    std::string_view key;
    const char* column;
};
constexpr std::array<TextColumn, 5> textColumns{{
    {AttrService, "service"},
    {AttrAccount, "account"},
    {AttrAccessGroup, "access_group"},
    {AttrLabel, "label"},
    {AttrAccessible, "accessible"},
}};

constexpr const char* schema =
    "CREATE TABLE IF NOT EXISTS generic_password ("
    " service TEXT NOT NULL, account TEXT NOT NULL, access_group TEXT NOT NULL,"
    " synchronizable INTEGER NOT NULL, label TEXT, accessible TEXT NOT NULL, data BLOB NOT NULL,"
    " PRIMARY KEY (service, account, access_group, synchronizable))";

using Binding = std::variant<std::monostate, std::string, std::int64_t, ns::Data>;

struct CloseDatabase {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
struct FinalizeStatement {
    void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using DatabaseHandle = std::unique_ptr<sqlite3, CloseDatabase>;
using StatementHandle = std::unique_ptr<sqlite3_stmt, FinalizeStatement>;

// Creates the store readable by its owner only before the database library touches it, so that the
// secrets never sit in a file others may read, even for a moment.
bool prepareStoreFile(const std::string& folder, const std::string& path) {
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return false;
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return false;
    bool ok = ::fchmod(fd, 0600) == 0;
    ::close(fd);
    return ok;
}

DatabaseHandle openStore() {
    const std::string folder = ns::Sandbox::library() + "/Keychains";
    const std::string path = folder + "/keychain.db";
    if (!prepareStoreFile(folder, path)) return nullptr;
    sqlite3* raw = nullptr;
    int rc = sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX, nullptr);
    DatabaseHandle db(raw);
    if (rc != SQLITE_OK) return nullptr;
    sqlite3_busy_timeout(db.get(), 5000);
    // Deleted and replaced secrets are overwritten in the file rather than left in its free space, whatever
    // the library's build defaults to.
    if (sqlite3_exec(db.get(), "PRAGMA secure_delete = ON", nullptr, nullptr, nullptr) != SQLITE_OK) return nullptr;
    if (sqlite3_exec(db.get(), schema, nullptr, nullptr, nullptr) != SQLITE_OK) return nullptr;
    return db;
}

StatementHandle prepare(sqlite3* db, const std::string& sql, const std::vector<Binding>& bindings) {
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &raw, nullptr) != SQLITE_OK) return nullptr;
    StatementHandle statement(raw);
    int index = 1;
    for (const Binding& binding : bindings) {
        int rc = SQLITE_OK;
        if (std::holds_alternative<std::monostate>(binding)) {
            rc = sqlite3_bind_null(raw, index);
        } else if (const auto* text = std::get_if<std::string>(&binding)) {
            rc = sqlite3_bind_text(raw, index, text->data(), static_cast<int>(text->size()), SQLITE_TRANSIENT);
        } else if (const auto* number = std::get_if<std::int64_t>(&binding)) {
            rc = sqlite3_bind_int64(raw, index, *number);
        } else {
            const auto& data = std::get<ns::Data>(binding);
            // A zero-length blob still binds as a blob, never as NULL.
            static constexpr std::uint8_t none = 0;
            rc = sqlite3_bind_blob64(raw, index, data.length() ? data.bytes() : &none, data.length(), SQLITE_TRANSIENT);
        }
        if (rc != SQLITE_OK) return nullptr;
        ++index;
    }
    return statement;
}

// Checks the item class; the store keeps generic passwords only.
Status checkClass(const ns::Dictionary& query) {
    const ns::Value& cls = query[ItemClass];
    if (!cls.isString()) return StatusParam;
    return cls.asString() == ClassGenericPassword ? StatusSuccess : StatusUnimplemented;
}

// The WHERE clause matching a query's attributes.
Status matchClause(const ns::Dictionary& query, std::string& clause, std::vector<Binding>& bindings) {
    if (Status status = checkClass(query); status != StatusSuccess) return status;
    clause = " WHERE 1";
    for (const TextColumn& text : textColumns) {
        const ns::Value* value = query.find(text.key);
        if (!value) continue;
        if (!value->isString()) return StatusParam;
        clause += std::string(" AND ") + text.column + " = ?";
        bindings.emplace_back(std::string(value->asString()));
    }
    const ns::Value* sync = query.find(AttrSynchronizable);
    if (sync && sync->isString() && sync->asString() == AttrSynchronizableAny) return StatusSuccess;
    if (sync && !sync->isNumber()) return StatusParam;
    clause += " AND synchronizable = ?";
    bindings.emplace_back(std::int64_t{sync && sync->boolValue() ? 1 : 0});
    return StatusSuccess;
}

Status stepToEnd(sqlite3* db, sqlite3_stmt* statement) {
    int rc = sqlite3_step(statement);
    if (rc == SQLITE_DONE) return StatusSuccess;
    return sqlite3_extended_errcode(db) == SQLITE_CONSTRAINT_PRIMARYKEY ? StatusDuplicateItem : StatusNotAvailable;
}

std::string columnText(sqlite3_stmt* statement, int column) {
    const auto* text = sqlite3_column_text(statement, column);
    return text ? std::string(reinterpret_cast<const char*>(text), static_cast<std::size_t>(sqlite3_column_bytes(statement, column)))
                : std::string();
}

ns::Value rowResult(sqlite3_stmt* statement, bool wantsData, bool wantsAttributes) {
    ns::Data data(sqlite3_column_blob(statement, 6), static_cast<std::size_t>(sqlite3_column_bytes(statement, 6)));
    if (!wantsAttributes) return ns::Value(std::move(data));
    ns::Dictionary attributes;
    attributes.set(std::string(ItemClass), ns::Value(ClassGenericPassword));
    for (std::size_t i = 0; i < textColumns.size(); ++i) {
        int column = static_cast<int>(i);
        if (sqlite3_column_type(statement, column) == SQLITE_NULL) continue;
        attributes.set(std::string(textColumns[i].key), ns::Value(columnText(statement, column)));
    }
    attributes.set(std::string(AttrSynchronizable), ns::Value(sqlite3_column_int64(statement, 5) != 0));
    if (wantsData) attributes.set(std::string(ValueData), ns::Value(std::move(data)));
    return ns::Value(std::move(attributes));
}

}  // namespace

std::string_view accessibilityValue(Accessibility accessibility) {
    switch (accessibility) {
        case Accessibility::WhenUnlocked: return "ak";
        case Accessibility::AfterFirstUnlock: return "ck";
        case Accessibility::Always: return "dk";
        case Accessibility::WhenPasscodeSetThisDeviceOnly: return "akpu";
        case Accessibility::WhenUnlockedThisDeviceOnly: return "aku";
        case Accessibility::AfterFirstUnlockThisDeviceOnly: return "cku";
        case Accessibility::AlwaysThisDeviceOnly: return "dku";
    }
    return "ak";
}

Status itemAdd(const ns::Dictionary& attributes) {
    if (Status status = checkClass(attributes); status != StatusSuccess) return status;
    std::vector<Binding> bindings;
    for (const TextColumn& text : textColumns) {
        const ns::Value* value = attributes.find(text.key);
        if (value && !value->isString()) return StatusParam;
        if (value) {
            bindings.emplace_back(std::string(value->asString()));
        } else if (text.key == AttrLabel) {
            bindings.emplace_back(std::monostate{});
        } else if (text.key == AttrAccessible) {
            bindings.emplace_back(std::string(accessibilityValue(Accessibility::WhenUnlocked)));
        } else {
            bindings.emplace_back(std::string());
        }
    }
    // "Any" is a way to match, not a state: an item added with it is not synchronized.
    const ns::Value* sync = attributes.find(AttrSynchronizable);
    const bool syncAny = sync && sync->isString() && sync->asString() == AttrSynchronizableAny;
    if (sync && !syncAny && !sync->isNumber()) return StatusParam;
    bindings.emplace_back(std::int64_t{sync && !syncAny && sync->boolValue() ? 1 : 0});
    const ns::Value* data = attributes.find(ValueData);
    if (data && !data->isData()) return StatusParam;
    bindings.emplace_back(data ? *data->asData() : ns::Data());

    DatabaseHandle db = openStore();
    if (!db) return StatusNotAvailable;
    auto statement = prepare(db.get(),
                             "INSERT INTO generic_password (service, account, access_group, label, accessible,"
                             " synchronizable, data) VALUES (?, ?, ?, ?, ?, ?, ?)",
                             bindings);
    if (!statement) return StatusNotAvailable;
    return stepToEnd(db.get(), statement.get());
}

Status itemCopyMatching(const ns::Dictionary& query, ns::Value* result) {
    std::string clause;
    std::vector<Binding> bindings;
    if (Status status = matchClause(query, clause, bindings); status != StatusSuccess) return status;
    bool all = false;
    if (const ns::Value* limit = query.find(MatchLimit)) {
        if (!limit->isString() || (limit->asString() != MatchLimitOne && limit->asString() != MatchLimitAll))
            return StatusParam;
        all = limit->asString() == MatchLimitAll;
    }
    const bool wantsData = query[ReturnData].boolValue();
    const bool wantsAttributes = query[ReturnAttributes].boolValue();

    DatabaseHandle db = openStore();
    if (!db) return StatusNotAvailable;
    auto statement = prepare(db.get(),
                             "SELECT service, account, access_group, label, accessible, synchronizable, data"
                             " FROM generic_password" + clause + " ORDER BY rowid" + (all ? "" : " LIMIT 1"),
                             bindings);
    if (!statement) return StatusNotAvailable;
    ns::Array found;
    int rc;
    while ((rc = sqlite3_step(statement.get())) == SQLITE_ROW) {
        if (wantsData || wantsAttributes) found.push_back(rowResult(statement.get(), wantsData, wantsAttributes));
        else found.push_back(ns::Value(nullptr));
    }
    if (rc != SQLITE_DONE) return StatusNotAvailable;
    if (found.empty()) return StatusItemNotFound;
    if (result && (wantsData || wantsAttributes)) *result = all ? ns::Value(std::move(found)) : found.front();
    return StatusSuccess;
}

Status itemUpdate(const ns::Dictionary& query, const ns::Dictionary& changes) {
    std::string clause;
    std::vector<Binding> matchBindings;
    if (Status status = matchClause(query, clause, matchBindings); status != StatusSuccess) return status;
    std::string assignments;
    std::vector<Binding> bindings;
    for (const auto& [key, value] : changes) {
        const char* column = nullptr;
        for (const TextColumn& text : textColumns) {
            if (text.key == key) column = text.column;
        }
        if (column && value.isString()) {
            bindings.emplace_back(std::string(value.asString()));
        } else if (key == ValueData && value.isData()) {
            column = "data";
            bindings.emplace_back(*value.asData());
        } else {
            return StatusParam;
        }
        assignments += std::string(assignments.empty() ? "" : ", ") + column + " = ?";
    }
    if (assignments.empty()) return StatusParam;
    bindings.insert(bindings.end(), matchBindings.begin(), matchBindings.end());

    DatabaseHandle db = openStore();
    if (!db) return StatusNotAvailable;
    auto statement = prepare(db.get(), "UPDATE generic_password SET " + assignments + clause, bindings);
    if (!statement) return StatusNotAvailable;
    if (Status status = stepToEnd(db.get(), statement.get()); status != StatusSuccess) return status;
    return sqlite3_changes(db.get()) > 0 ? StatusSuccess : StatusItemNotFound;
}

Status itemDelete(const ns::Dictionary& query) {
    std::string clause;
    std::vector<Binding> bindings;
    if (Status status = matchClause(query, clause, bindings); status != StatusSuccess) return status;
    DatabaseHandle db = openStore();
    if (!db) return StatusNotAvailable;
    auto statement = prepare(db.get(), "DELETE FROM generic_password" + clause, bindings);
    if (!statement) return StatusNotAvailable;
    if (Status status = stepToEnd(db.get(), statement.get()); status != StatusSuccess) return status;
    return sqlite3_changes(db.get()) > 0 ? StatusSuccess : StatusItemNotFound;
}

}  // namespace ql::sec
