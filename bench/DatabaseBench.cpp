// The database component against the same work written directly on SQLite's C interface with prepared
// statements: 100,000 inserts in one transaction, and a full scan that reads every column of every row.
// The target for both: within 1.15x of the direct code. Also columns read by name against by index.

#include <benchmark/benchmark.h>

#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/foundation/Data.h"
#include "storage/db/Database.h"
#include "storage/db/ResultSet.h"

namespace {

using namespace ql;

constexpr int kRows = 100'000;
constexpr const char* kCreate = "create table books (id integer, title text, rating real, cover blob)";
constexpr const char* kInsert = "insert into books values (?, ?, ?, ?)";
constexpr const char* kScan = "select id, title, rating, cover from books";

struct Rows {
    std::vector<std::string> titles;
    std::vector<ns::Data> covers;
    Rows() {
        for (int i = 0; i < kRows; ++i) {
            titles.push_back("Book number " + std::to_string(i) + " of the graded reading list");
            covers.emplace_back(std::string(16 + i % 48, static_cast<char>(i)));
        }
    }
};

const Rows& rows() {
    static const Rows instance;
    return instance;
}

double rating(int i) { return (i % 50) / 10.0; }

void insertDirect(sqlite3* db) {
    const Rows& data = rows();
    sqlite3_exec(db, "begin exclusive transaction", nullptr, nullptr, nullptr);
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(db, kInsert, -1, &statement, nullptr);
    for (int i = 0; i < kRows; ++i) {
        const std::string& title = data.titles[i];
        const ns::Data& cover = data.covers[i];
        sqlite3_bind_int64(statement, 1, i);
        sqlite3_bind_text(statement, 2, title.data(), static_cast<int>(title.size()), SQLITE_TRANSIENT);
        sqlite3_bind_double(statement, 3, rating(i));
        sqlite3_bind_blob(statement, 4, cover.bytes(), static_cast<int>(cover.length()), SQLITE_TRANSIENT);
        if (sqlite3_step(statement) != SQLITE_DONE) std::abort();
        sqlite3_reset(statement);
    }
    sqlite3_finalize(statement);
    sqlite3_exec(db, "commit transaction", nullptr, nullptr, nullptr);
}

void insertThroughDatabase(Database& db) {
    const Rows& data = rows();
    db.beginTransaction();
    for (int i = 0; i < kRows; ++i) {
        if (!db.executeUpdate(kInsert, std::int64_t{i}, data.titles[i], rating(i), data.covers[i])) std::abort();
    }
    db.commit();
}

void BM_InsertDirect(benchmark::State& state) {
    for (auto _ : state) {
        sqlite3* db = nullptr;
        sqlite3_open(":memory:", &db);
        sqlite3_exec(db, kCreate, nullptr, nullptr, nullptr);
        insertDirect(db);
        sqlite3_close(db);
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}

void BM_InsertDatabase(benchmark::State& state) {
    for (auto _ : state) {
        auto db = Database::databaseWithPath(std::nullopt);
        db->open();
        db->setShouldCacheStatements(true);
        db->executeUpdate(kCreate);
        insertThroughDatabase(*db);
        db->close();
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}

// Both scans read the same copies out of each row: the integer, the double, the text and the bytes.
struct Totals {
    std::int64_t ids = 0;
    double ratings = 0;
    std::size_t bytes = 0;
};

void BM_ScanDirect(benchmark::State& state) {
    sqlite3* db = nullptr;
    sqlite3_open(":memory:", &db);
    sqlite3_exec(db, kCreate, nullptr, nullptr, nullptr);
    insertDirect(db);
    for (auto _ : state) {
        Totals totals;
        sqlite3_stmt* statement = nullptr;
        sqlite3_prepare_v2(db, kScan, -1, &statement, nullptr);
        while (sqlite3_step(statement) == SQLITE_ROW) {
            totals.ids += sqlite3_column_int64(statement, 0);
            if (const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, 1))) {
                const std::string title(text, static_cast<std::size_t>(sqlite3_column_bytes(statement, 1)));
                totals.bytes += title.size();
            }
            totals.ratings += sqlite3_column_double(statement, 2);
            if (const void* blob = sqlite3_column_blob(statement, 3)) {
                const ns::Data cover(blob, static_cast<std::size_t>(sqlite3_column_bytes(statement, 3)));
                totals.bytes += cover.length();
            }
        }
        sqlite3_finalize(statement);
        benchmark::DoNotOptimize(totals);
    }
    sqlite3_close(db);
    state.SetItemsProcessed(state.iterations() * kRows);
}

void BM_ScanDatabase(benchmark::State& state) {
    auto db = Database::databaseWithPath(std::nullopt);
    db->open();
    db->setShouldCacheStatements(true);
    db->executeUpdate(kCreate);
    insertThroughDatabase(*db);
    for (auto _ : state) {
        Totals totals;
        auto resultSet = db->executeQuery(kScan);
        while (resultSet->next()) {
            totals.ids += resultSet->longLongIntForColumnIndex(0);
            if (const auto title = resultSet->stringForColumnIndex(1)) totals.bytes += title->size();
            totals.ratings += resultSet->doubleForColumnIndex(2);
            if (const auto cover = resultSet->dataForColumnIndex(3)) totals.bytes += cover->length();
        }
        benchmark::DoNotOptimize(totals);
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}

// Reading the columns of every row by name against reading them by index: the lookup of a name is the
// whole difference. The target: by name within 1.3x of by index.
template <bool ByName>
void scanColumns(benchmark::State& state) {
    auto db = Database::databaseWithPath(std::nullopt);
    db->open();
    db->setShouldCacheStatements(true);
    db->executeUpdate(kCreate);
    insertThroughDatabase(*db);
    for (auto _ : state) {
        Totals totals;
        auto resultSet = db->executeQuery(kScan);
        while (resultSet->next()) {
            if constexpr (ByName) {
                totals.ids += resultSet->longLongIntForColumn("id");
                totals.ratings += resultSet->doubleForColumn("rating");
                totals.bytes += resultSet->columnIsNull("title") ? 0 : 1;
                totals.bytes += resultSet->columnIsNull("cover") ? 0 : 1;
            } else {
                totals.ids += resultSet->longLongIntForColumnIndex(0);
                totals.ratings += resultSet->doubleForColumnIndex(2);
                totals.bytes += resultSet->columnIndexIsNull(1) ? 0 : 1;
                totals.bytes += resultSet->columnIndexIsNull(3) ? 0 : 1;
            }
        }
        benchmark::DoNotOptimize(totals);
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}

void BM_ColumnsByIndex(benchmark::State& state) { scanColumns<false>(state); }
void BM_ColumnsByName(benchmark::State& state) { scanColumns<true>(state); }

}  // namespace

BENCHMARK(BM_InsertDirect)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_InsertDatabase)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScanDirect)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScanDatabase)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ColumnsByIndex)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ColumnsByName)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
