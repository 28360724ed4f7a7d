// Whole-table read and write against a hand-written ODBC loop doing the same work, on a
// 10-column table of design-file records in SQLite (:memory:, so that the driver's own
// cost is as small as it gets and ours shows most).
//
//   read:  tqDBWin_readEntireTable  vs  SQLExecDirect + SQLFetch + SQLGetData per column,
//          each value kept as text (in a std::string, or in a heap copy of its own as a
//          C host keeps it); releasing what was read is timed on neither side
//   write: tqDBWin_writeEntireTable vs  one autocommitted SQLExecDirect per row of the same
//          "INSERT INTO t (cols) VALUES (vals);" text (the destination made untimed)
//
// Rates are per CPU second (the SQLite driver runs in-process), which keeps the ratios
// steady on a machine shared with other work.
//
// The read also reports the heap bytes per row of the array it hands out beside the
// row's text size (malloc's own accounting).
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sql.h>
#include <sqlext.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "orvane.h"
#include "plain_odbc.hpp"

namespace {

constexpr const char* kConnect = "DRIVER=SQLite3;Database=:memory:;";
constexpr const char* kColumns =
    "id INTEGER NOT NULL, name VARCHAR(40), level INTEGER, colour INTEGER, weight DOUBLE, size INTEGER, "
    "path VARCHAR(80), owner VARCHAR(20), code CHAR(8), note VARCHAR(40)";

// The rows, made by the database itself: names with an apostrophe now and then, a NULL
// note on every seventh row.
std::string fillSql(int rows) {
    return "WITH RECURSIVE s(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM s WHERE i < " + std::to_string(rows) +
           ") INSERT INTO orv_tb SELECT i, 'design ' || i || CASE WHEN i % 5 = 0 THEN ' o''clock' ELSE '' END, "
           "i % 64, i % 256, i * 0.25, 1000 + i * 3, '/projects/site ' || (i % 97) || '/model_' || i || '.dgn', "
           "'user' || (i % 13), 'C' || (i % 1000), CASE WHEN i % 7 = 0 THEN NULL ELSE 'checked' END FROM s;";
}

// The library's connection, with orv_tb holding `rows` rows.
bool attachLibrary(benchmark::State& state, int rows) {
    if (tqDBWin_attachDatabaseA(kConnect) != 0 ||
        tqDBWin_processSQLA((std::string("CREATE TABLE orv_tb (") + kColumns + ");").c_str()) != 0 ||
        (rows > 0 && tqDBWin_processSQLA(fillSql(rows).c_str()) != 0)) {
        state.SkipWithError("cannot set up the SQLite table");
        return false;
    }
    return true;
}

// The hand-written loops' own connection to the same database.
struct Odbc : PlainOdbc {
    Odbc() : PlainOdbc(kConnect) {}
};

using Table = std::vector<std::vector<std::string>>;

// The hand-written read: every value of every row as text (NULL as empty), kept in
// std::string (short values inside the string itself, no allocation).
Table handRead(Odbc& db) {
    Table rows;
    SQLHSTMT st;
    SQLAllocHandle(SQL_HANDLE_STMT, db.dbc, &st);
    SQLExecDirect(st, (SQLCHAR*)"SELECT * FROM orv_tb;", SQL_NTS);
    SQLSMALLINT columns = 0;
    SQLNumResultCols(st, &columns);
    char buf[4096];
    while (SQL_SUCCEEDED(SQLFetch(st))) {
        std::vector<std::string>& row = rows.emplace_back();
        row.reserve(static_cast<std::size_t>(columns));
        for (SQLUSMALLINT c = 1; c <= columns; ++c) {
            SQLLEN ind = 0;
            SQLGetData(st, c, SQL_C_CHAR, buf, sizeof buf, &ind);
            row.emplace_back(ind == SQL_NULL_DATA ? "" : buf);
        }
    }
    SQLFreeHandle(SQL_HANDLE_STMT, st);
    return rows;
}

// The same loop as a C host writes it: each value copied into a heap text of its own
// (as a row descriptor keeps it), the row an array of those pointers.
std::vector<char**> handReadC(Odbc& db, SQLSMALLINT& columns) {
    std::vector<char**> rows;
    SQLHSTMT st;
    SQLAllocHandle(SQL_HANDLE_STMT, db.dbc, &st);
    SQLExecDirect(st, (SQLCHAR*)"SELECT * FROM orv_tb;", SQL_NTS);
    SQLNumResultCols(st, &columns);
    char buf[4096];
    while (SQL_SUCCEEDED(SQLFetch(st))) {
        auto** row = static_cast<char**>(std::malloc(sizeof(char*) * static_cast<std::size_t>(columns)));
        for (SQLUSMALLINT c = 1; c <= columns; ++c) {
            SQLLEN ind = 0;
            SQLGetData(st, c, SQL_C_CHAR, buf, sizeof buf, &ind);
            row[c - 1] = strdup(ind == SQL_NULL_DATA ? "" : buf);
        }
        rows.push_back(row);
    }
    SQLFreeHandle(SQL_HANDLE_STMT, st);
    return rows;
}

// Heap bytes that one read of orv_tb holds per row, and the row's text in characters.
void memoryPerRow(benchmark::State& state, int rows) {
    SQLDADescriptor* table = nullptr;
    int count = 0;
    const std::size_t before = mallinfo2().uordblks;
    if (tqDBWin_readEntireTable(u"orv_tb", &table, &count, nullptr) != 0 || count != rows) return;
    const double heap = double(mallinfo2().uordblks - before);
    std::size_t text = 0;
    for (int r = 0; r < count; ++r)
        for (int c = 0; c < table[r].count; ++c)
            for (auto* p = static_cast<const tqWChar*>(table[r].values[c]); *p; ++p) ++text;
    tqDBWin_freeEntireTable(&table, count);
    state.counters["heap_B/row"] = heap / rows;
    state.counters["text_chars/row"] = double(text) / rows;
}

void BM_ReadEntireTable(benchmark::State& state) {
    const int rows = static_cast<int>(state.range(0));
    if (!attachLibrary(state, rows)) return;
    memoryPerRow(state, rows);
    for (auto _ : state) {
        SQLDADescriptor* table = nullptr;
        int count = 0;
        tqWChar msg[512] = {0};
        if (tqDBWin_readEntireTable(u"orv_tb", &table, &count, msg) != 0 || count != rows || msg[0]) {
            state.SkipWithError("read failed");
            break;
        }
        state.PauseTiming();
        tqDBWin_freeEntireTable(&table, count);  // the release is timed on neither side
        malloc_trim(0);
        state.ResumeTiming();
    }
    state.counters["rows/s"] = benchmark::Counter(double(rows), benchmark::Counter::kIsIterationInvariantRate);
    tqDBWin_disconnectDatabase();
}
BENCHMARK(BM_ReadEntireTable)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_HandReadLoop(benchmark::State& state) {
    const int rows = static_cast<int>(state.range(0));
    const bool cStyle = state.range(1) != 0;
    Odbc db;
    if (!db.ok || !db.exec(std::string("CREATE TABLE orv_tb (") + kColumns + ");") || !db.exec(fillSql(rows))) {
        state.SkipWithError("cannot set up the SQLite table");
        return;
    }
    for (auto _ : state) {
        if (cStyle) {
            SQLSMALLINT columns = 0;
            std::vector<char**> t = handReadC(db, columns);
            if (static_cast<int>(t.size()) != rows) state.SkipWithError("short read");
            state.PauseTiming();
            for (char** row : t) {
                for (int c = 0; c < columns; ++c) std::free(row[c]);
                std::free(row);
            }
        } else {
            Table t = handRead(db);
            if (static_cast<int>(t.size()) != rows) state.SkipWithError("short read");
            state.PauseTiming();
            t = Table();
        }
        malloc_trim(0);  // the release is timed on neither side
        state.ResumeTiming();
    }
    state.counters["rows/s"] = benchmark::Counter(double(rows), benchmark::Counter::kIsIterationInvariantRate);
}
// Second argument: 0 values kept in std::string, 1 each value in its own heap text.
BENCHMARK(BM_HandReadLoop)->Args({10000, 0})->Args({10000, 1})->Args({100000, 0})->Args({100000, 1})->Unit(benchmark::kMillisecond);

void BM_WriteEntireTable(benchmark::State& state) {
    const int rows = static_cast<int>(state.range(0));
    if (!attachLibrary(state, rows)) return;
    SQLDADescriptor* table = nullptr;
    int count = 0;
    if (tqDBWin_readEntireTable(u"orv_tb", &table, &count, nullptr) != 0 || count != rows) {
        state.SkipWithError("read failed");
        return;
    }
    for (auto _ : state) {
        state.PauseTiming();
        tqDBWin_processSQLA("DROP TABLE IF EXISTS orv_out;");
        tqDBWin_processSQLA((std::string("CREATE TABLE orv_out (") + kColumns + ");").c_str());
        state.ResumeTiming();
        if (tqDBWin_writeEntireTable(u"orv_out", table, count, nullptr) != 0) {
            state.SkipWithError("write failed");
            break;
        }
    }
    tqDBWin_freeEntireTable(&table, count);
    state.counters["rows/s"] = benchmark::Counter(double(rows), benchmark::Counter::kIsIterationInvariantRate);
    tqDBWin_disconnectDatabase();
}
BENCHMARK(BM_WriteEntireTable)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_HandWriteLoop(benchmark::State& state) {
    const int rows = static_cast<int>(state.range(0));
    Odbc db;
    if (!db.ok || !db.exec(std::string("CREATE TABLE orv_tb (") + kColumns + ");") || !db.exec(fillSql(rows))) {
        state.SkipWithError("cannot set up the SQLite table");
        return;
    }
    const Table source = handRead(db);
    const char* names[] = {"id", "name", "level", "colour", "weight", "size", "path", "owner", "code", "note"};
    const bool quoted[] = {false, true, false, false, false, false, true, true, true, true};
    SQLHSTMT st;
    SQLAllocHandle(SQL_HANDLE_STMT, db.dbc, &st);
    std::string sql, columns, values;
    for (auto _ : state) {
        state.PauseTiming();
        db.exec("DROP TABLE IF EXISTS orv_out;");
        db.exec(std::string("CREATE TABLE orv_out (") + kColumns + ");");
        state.ResumeTiming();
        for (const auto& row : source) {
            columns.clear();
            values.clear();
            for (std::size_t c = 0; c < row.size(); ++c) {
                if (row[c].empty()) continue;
                if (!columns.empty()) {
                    columns += ", ";
                    values += ", ";
                }
                columns += names[c];
                if (quoted[c]) {
                    values += '\'';
                    for (char ch : row[c]) {
                        if (ch == '\n') continue;
                        values += ch;
                        if (ch == '\'') values += '\'';
                    }
                    values += '\'';
                } else {
                    values += row[c];
                }
            }
            sql.assign("INSERT INTO orv_out (").append(columns).append(") VALUES (").append(values).append(");");
            if (!SQL_SUCCEEDED(SQLExecDirect(st, (SQLCHAR*)sql.c_str(), SQL_NTS))) {
                state.SkipWithError("insert failed");
                break;
            }
            SQLFreeStmt(st, SQL_CLOSE);
        }
    }
    SQLFreeHandle(SQL_HANDLE_STMT, st);
    state.counters["rows/s"] = benchmark::Counter(double(rows), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_HandWriteLoop)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
