// Round trips of the database family on an in-memory SQLite database (the driver
// registered as SQLite3), or on the server named by ORVANE_BENCH_CONNECT.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "orvane.h"

namespace {

std::string connectString() {
    const char* own = std::getenv("ORVANE_BENCH_CONNECT");
    return own && *own ? own : "DRIVER=SQLite3;Database=:memory:;";
}

// Attaches and fills orv_bench with `rows` rows; false (benchmark skipped) on failure.
bool prepare(benchmark::State& state, int rows) {
    if (tqDBWin_attachDatabaseA(connectString().c_str()) != 0) {
        state.SkipWithError("cannot attach the data source");
        return false;
    }
    tqDBWin_processSQLA("DROP TABLE IF EXISTS orv_bench;");
    tqDBWin_processSQLA("CREATE TABLE orv_bench (id INTEGER, name VARCHAR(40), amount REAL);");
    tqDBWin_processSQLA("BEGIN;");
    for (int i = 0; i < rows; ++i) {
        char sql[128];
        std::snprintf(sql, sizeof sql, "INSERT INTO orv_bench VALUES (%d, 'name %d', %d.5);", i, i, i);
        tqDBWin_processSQLA(sql);
    }
    tqDBWin_processSQLA("COMMIT;");
    return true;
}

void BM_ProcessInsert(benchmark::State& state) {
    if (!prepare(state, 0)) return;
    int i = 0;
    for (auto _ : state) {
        char sql[128];
        std::snprintf(sql, sizeof sql, "INSERT INTO orv_bench VALUES (%d, 'name', 1.5);", i++);
        benchmark::DoNotOptimize(tqDBWin_processSQLA(sql));
    }
    state.SetItemsProcessed(state.iterations());
    tqDBWin_disconnectDatabase();
}
BENCHMARK(BM_ProcessInsert);

// Opening a cursor on N rows and fetching them all, one descriptor reused per row.
void BM_CursorFetchAll(benchmark::State& state) {
    const int rows = static_cast<int>(state.range(0));
    if (!prepare(state, rows)) return;
    for (auto _ : state) {
        uint16_t id = 0;
        tqDBWin_openCursorWithIDA(&id, "SELECT * FROM orv_bench;");
        SQLDADescriptor d{};
        int fetched = 0;
        while (tqDBWin_fetchRowByIDA(&d, id)) ++fetched;
        tqDBWin_freeSQLDADescriptorA(&d);
        tqDBWin_closeCursorWithID(id);
        if (fetched != rows) state.SkipWithError("short fetch");
    }
    state.SetItemsProcessed(state.iterations() * rows);
    tqDBWin_disconnectDatabase();
}
BENCHMARK(BM_CursorFetchAll)->Arg(1)->Arg(1000);

void BM_DescribeTable(benchmark::State& state) {
    if (!prepare(state, 10)) return;
    for (auto _ : state) {
        SQLDADescriptor d{};
        benchmark::DoNotOptimize(tqDBWin_describeTableA(&d, "orv_bench"));
        tqDBWin_freeSQLDADescriptorA(&d);
    }
    tqDBWin_disconnectDatabase();
}
BENCHMARK(BM_DescribeTable);

// A catalog walk over 100 tables.
void BM_FindTable(benchmark::State& state) {
    if (!prepare(state, 0)) return;
    for (int i = 0; i < 100; ++i) {
        char sql[96];
        std::snprintf(sql, sizeof sql, "CREATE TABLE IF NOT EXISTS orv_bench_t%03d (a INTEGER);", i);
        tqDBWin_processSQLA(sql);
    }
    for (auto _ : state) benchmark::DoNotOptimize(tqDBWin_findTableA("ORV_BENCH_T099"));
    tqDBWin_disconnectDatabase();
}
BENCHMARK(BM_FindTable);

}  // namespace

BENCHMARK_MAIN();
