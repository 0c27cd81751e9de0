#include "platform/security/KeychainItems.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "platform/foundation/Data.h"
#include "platform/foundation/PerThread.h"
#include "platform/foundation/RegularFile.h"
#include "platform/foundation/Sandbox.h"
#include "platform/foundation/VolumeFault.h"

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

// Why this thread's last call failed, for the statuses that carry a reason. Kept past the thread's thread_local
// objects: an item may be kept at the end of the process too.
std::string& lastFailureReason() {
    static ns::PerThread<std::string> reasons;
    return reasons.get();
}

Status failWith(Status status, std::string reason) {
    lastFailureReason() = std::move(reason);
    return status;
}

bool refusesWriting(int posixError) { return posixError == EROFS || posixError == EACCES || posixError == EPERM; }

// A store file that cannot be made or opened for writing: refused (a read-only volume) or failed.
Status fileFailure(const std::string& path, int posixError) {
    return failWith(refusesWriting(posixError) ? StatusReadOnly : StatusIO, path + ": " + std::strerror(posixError));
}

// What a failed database call means to the caller. A full disk and other I/O failures are the platform's
// I/O error and writes to a database opened read-only are refused, each with the library's words (and the
// system's, where it kept them); anything else leaves the store unusable as before.
Status databaseFailure(sqlite3* db) {
    const int code = sqlite3_extended_errcode(db) & 0xff;
    Status status;
    switch (code) {
        case SQLITE_READONLY: status = StatusReadOnly; break;
        case SQLITE_FULL:
        case SQLITE_IOERR:
        case SQLITE_CANTOPEN: status = StatusIO; break;
        default: return StatusNotAvailable;
    }
    const char* path = sqlite3_db_filename(db, "main");
    std::string reason = std::string(path ? path : "") + ": " + sqlite3_errmsg(db);
    if (const int system = sqlite3_system_errno(db); system && code != SQLITE_FULL && code != SQLITE_READONLY)
        reason += std::string(" (") + std::strerror(system) + ")";
    return failWith(status, std::move(reason));
}

// Makes sure the store file exists readable by its owner only (when asked to create it) before the
// database library touches it, so that the secrets never sit in a file others may read, even for a moment.
// Answers 0 or the errno: ENOENT when there is no store and none was to be made.
int prepareStoreFile(const std::string& folder, const std::string& path, bool create) {
    if (create && ::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return errno;
    struct stat existing {};
    const bool exists = ::lstat(path.c_str(), &existing) == 0;
    if (!exists && !create) return ENOENT;
    if (const int fault = ns::volumeFaultForTesting(path); fault == EROFS || (fault && create && !exists)) return fault;
    // Only a regular file: whatever else lies there is no store.
    const int fd = ns::openRegularFile(path, O_RDWR | (create ? O_CREAT : 0) | O_NOFOLLOW, 0600);
    if (fd < 0) return errno;
    const int failure = ::fchmod(fd, 0600) == 0 ? 0 : errno;
    ::close(fd);
    return failure;
}

// StatusSuccess when the store has its table, StatusItemNotFound when it was never made.
Status findItemsTable(sqlite3* db) {
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'generic_password'", -1,
                           &raw, nullptr) != SQLITE_OK)
        return databaseFailure(db);
    StatementHandle statement(raw);
    switch (sqlite3_step(raw)) {
        case SQLITE_ROW: return StatusSuccess;
        case SQLITE_DONE: return StatusItemNotFound;
        default: return databaseFailure(db);
    }
}

enum class Access { Read, Write };

// An open store, or why there is none: StatusItemNotFound for a lookup in a store never made, whose
// answer is that nothing is stored.
struct OpenStore {
    DatabaseHandle db;
    Status status = StatusSuccess;
};

OpenStore openStore(Access access) {
    const std::string folder = ns::Sandbox::library() + "/Keychains";
    const std::string path = folder + "/keychain.db";
    const bool writing = access == Access::Write;
    bool readOnly = false;
    if (const int failure = prepareStoreFile(folder, path, writing)) {
        if (!writing && failure == ENOENT) return {nullptr, StatusItemNotFound};
        // A volume that refuses writing still gives what the store holds.
        if (writing || !refusesWriting(failure)) return {nullptr, fileFailure(path, failure)};
        readOnly = true;
    }
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(path.c_str(), &raw,
                                   (readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) | SQLITE_OPEN_FULLMUTEX,
                                   nullptr);
    DatabaseHandle db(raw);
    if (rc != SQLITE_OK) return {nullptr, db ? databaseFailure(db.get()) : StatusAllocate};
    sqlite3_busy_timeout(db.get(), 5000);
    // Deleted and replaced secrets are overwritten in the file rather than left in its free space, whatever
    // the library's build defaults to.
    if (sqlite3_exec(db.get(), "PRAGMA secure_delete = ON", nullptr, nullptr, nullptr) != SQLITE_OK)
        return {nullptr, databaseFailure(db.get())};
    // Lookups never write: a store whose table was never made holds nothing.
    if (!writing) {
        if (const Status found = findItemsTable(db.get()); found != StatusSuccess) return {nullptr, found};
    } else if (sqlite3_exec(db.get(), schema, nullptr, nullptr, nullptr) != SQLITE_OK) {
        return {nullptr, databaseFailure(db.get())};
    }
    return {std::move(db), StatusSuccess};
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
    return sqlite3_extended_errcode(db) == SQLITE_CONSTRAINT_PRIMARYKEY ? StatusDuplicateItem : databaseFailure(db);
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
    lastFailureReason().clear();
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

    OpenStore store = openStore(Access::Write);
    if (!store.db) return store.status;
    sqlite3* db = store.db.get();
    auto statement = prepare(db,
                             "INSERT INTO generic_password (service, account, access_group, label, accessible,"
                             " synchronizable, data) VALUES (?, ?, ?, ?, ?, ?, ?)",
                             bindings);
    if (!statement) return databaseFailure(db);
    return stepToEnd(db, statement.get());
}

Status itemCopyMatching(const ns::Dictionary& query, ns::Value* result) {
    lastFailureReason().clear();
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

    OpenStore store = openStore(Access::Read);
    if (!store.db) return store.status;
    sqlite3* db = store.db.get();
    auto statement = prepare(db,
                             "SELECT service, account, access_group, label, accessible, synchronizable, data"
                             " FROM generic_password" + clause + " ORDER BY rowid" + (all ? "" : " LIMIT 1"),
                             bindings);
    if (!statement) return databaseFailure(db);
    ns::Array found;
    int rc;
    while ((rc = sqlite3_step(statement.get())) == SQLITE_ROW) {
        if (wantsData || wantsAttributes) found.push_back(rowResult(statement.get(), wantsData, wantsAttributes));
        else found.push_back(ns::Value(nullptr));
    }
    if (rc != SQLITE_DONE) return databaseFailure(db);
    if (found.empty()) return StatusItemNotFound;
    if (result && (wantsData || wantsAttributes)) *result = all ? ns::Value(std::move(found)) : found.front();
    return StatusSuccess;
}

Status itemUpdate(const ns::Dictionary& query, const ns::Dictionary& changes) {
    lastFailureReason().clear();
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

    OpenStore store = openStore(Access::Write);
    if (!store.db) return store.status;
    sqlite3* db = store.db.get();
    auto statement = prepare(db, "UPDATE generic_password SET " + assignments + clause, bindings);
    if (!statement) return databaseFailure(db);
    if (Status status = stepToEnd(db, statement.get()); status != StatusSuccess) return status;
    return sqlite3_changes(db) > 0 ? StatusSuccess : StatusItemNotFound;
}

Status itemDelete(const ns::Dictionary& query) {
    lastFailureReason().clear();
    std::string clause;
    std::vector<Binding> bindings;
    if (Status status = matchClause(query, clause, bindings); status != StatusSuccess) return status;
    OpenStore store = openStore(Access::Write);
    if (!store.db) return store.status;
    sqlite3* db = store.db.get();
    auto statement = prepare(db, "DELETE FROM generic_password" + clause, bindings);
    if (!statement) return databaseFailure(db);
    if (Status status = stepToEnd(db, statement.get()); status != StatusSuccess) return status;
    return sqlite3_changes(db) > 0 ? StatusSuccess : StatusItemNotFound;
}

std::string failureReason() { return lastFailureReason(); }

}  // namespace ql::sec
