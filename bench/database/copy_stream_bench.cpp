// `orvane copy-table --stream` beside the fastest plain ODBC copy: SQLFetch + SQLGetData
// on the source, one prepared INSERT with bound parameters per row on the destination,
// all in one transaction. The tool runs as a child process, as a user runs it; its peak
// memory is the larger of its two processes (wait4 reports the tree's maximum).
//
// Source: an 8-column table of design-file records in a SQLite file, built once per size.
// Destinations: another SQLite file, and PostgreSQL when ORVANE_TEST_PG_CONNECT is set.
#include <benchmark/benchmark.h>
#include <sql.h>
#include <sqlext.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "plain_odbc.hpp"

extern char** environ;

namespace {

const std::filesystem::path& scratch() {
    static const std::filesystem::path dir = [] {
        std::string tmpl = (std::filesystem::temp_directory_path() / "orvane-copybench-XXXXXX").string();
        if (!::mkdtemp(tmpl.data())) std::abort();
        return std::filesystem::path(tmpl);
    }();
    return dir;
}

std::string sqlite(const std::string& file) { return "DRIVER=SQLite3;Database=" + (scratch() / file).string() + ";"; }

const char* pgConnect() {
    const char* pg = std::getenv("ORVANE_TEST_PG_CONNECT");
    return pg && *pg ? pg : nullptr;
}

// A connection that does not come up ends the benchmark: its figures would mean nothing.
struct Odbc : PlainOdbc {
    explicit Odbc(const std::string& connect) : PlainOdbc(connect) {
        if (!ok) std::abort();
    }
};

constexpr int kColumns = 8;
const char* kCreate =
    " (id INTEGER NOT NULL, file_name VARCHAR(64), level_name VARCHAR(32), level_number INTEGER, colour INTEGER, "
    "colour_name VARCHAR(16), modified VARCHAR(10), size_kb DOUBLE PRECISION)";

// The source file for `rows` rows, built on first use.
std::string source(long rows) {
    static std::map<long, std::string> made;
    auto it = made.find(rows);
    if (it != made.end()) return it->second;
    const std::string connect = sqlite("source" + std::to_string(rows) + ".db");
    Odbc db(connect);
    db.exec(std::string("CREATE TABLE design_files") + kCreate);
    db.exec("BEGIN");
    SQLHSTMT st;
    SQLAllocHandle(SQL_HANDLE_STMT, db.dbc, &st);
    SQLPrepare(st, (SQLCHAR*)"INSERT INTO design_files VALUES (?, ?, ?, ?, ?, ?, ?, ?)", SQL_NTS);
    char values[kColumns][80];
    SQLLEN lengths[kColumns];
    for (int c = 0; c < kColumns; ++c)
        SQLBindParameter(st, c + 1, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, 64, 0, values[c], sizeof values[c],
                         &lengths[c]);
    static const char* levels[] = {"Default", "Walls", "Doors", "Windows", "Furniture", "Text", "Grid", "Hatch"};
    static const char* colours[] = {"white", "blue", "green", "red", "yellow", "violet", "orange", "grey"};
    for (long i = 1; i <= rows; ++i) {
        std::snprintf(values[0], 80, "%ld", i);
        std::snprintf(values[1], 80, "floor plan %07ld.dgn", i);
        std::snprintf(values[2], 80, "%s", levels[i % 8]);
        std::snprintf(values[3], 80, "%ld", i % 63);
        std::snprintf(values[4], 80, "%ld", i % 256);
        std::snprintf(values[5], 80, "%s", colours[i % 8]);
        std::snprintf(values[6], 80, "2024-%02ld-%02ld", i % 12 + 1, i % 28 + 1);
        std::snprintf(values[7], 80, "%.2f", (i * 7919 % 400000) / 100.0);
        for (int c = 0; c < kColumns; ++c) lengths[c] = SQL_NTS;
        if (i % 10 == 0) lengths[5] = SQL_NULL_DATA;  // some NULLs
        SQLExecute(st);
    }
    SQLFreeHandle(SQL_HANDLE_STMT, st);
    db.exec("COMMIT");
    return made[rows] = connect;
}

std::string self() { return std::filesystem::read_symlink("/proc/self/exe").string(); }

// The destination, without the table that an earlier run left there: dropping a large
// table is not part of the copy being measured.
std::string destination(bool pg) {
    const std::string connect = pg ? pgConnect() : sqlite("destination.db");
    Odbc(connect).exec("DROP TABLE copy");
    return connect;
}

void counters(benchmark::State& state, long rows, double seconds) {
    state.SetIterationTime(seconds);
    state.counters["rows_per_s"] = static_cast<double>(rows) / seconds;
}

std::string shellQuote(const std::string& s) {
    std::string out = "'";
    for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// `bench_copy_stream --measure PROGRAM ARGS...`: runs the program with its output thrown
// away and prints its peak resident size in KiB. A process forked from this (large)
// benchmark process would carry the benchmark's own size into that figure; a freshly
// started small one does not.
int measure(char** argv) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 1);
        ::execv(argv[0], argv);
        ::_exit(127);
    }
    int raw = 0;
    rusage usage{};
    ::wait4(pid, &raw, 0, &usage);
    std::printf("%ld\n", usage.ru_maxrss);
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : 1;
}

// orvane copy-table --stream SOURCE design_files DEST copy
void StreamCopy(benchmark::State& state, bool pg) {
    if (pg && !pgConnect()) return state.SkipWithError("ORVANE_TEST_PG_CONNECT is not set");
    const long rows = state.range(0);
    const std::string src = source(rows), dst = destination(pg);
    long peakKiB = 0;
    for (auto _ : state) {
        std::string command = shellQuote(self()) + " --measure " + shellQuote(ORVANE_CLI) + " copy-table --stream";
        for (const std::string& a : {src, std::string("design_files"), dst, std::string("copy")})
            command += " " + shellQuote(a);
        const auto start = std::chrono::steady_clock::now();
        std::FILE* p = ::popen(command.c_str(), "r");
        long kib = 0;
        if (!p || std::fscanf(p, "%ld", &kib) != 1) return state.SkipWithError("cannot run orvane");
        const int raw = ::pclose(p);
        const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (!WIFEXITED(raw) || WEXITSTATUS(raw) != 0) return state.SkipWithError("orvane copy-table failed");
        peakKiB = std::max(peakKiB, kib);
        counters(state, rows, secs);
    }
    state.counters["peak_MiB"] = peakKiB / 1024.0;
}

// The anchor: the same copy in plain ODBC, as fast as a hand-written loop gets.
void HandLoop(benchmark::State& state, bool pg) {
    if (pg && !pgConnect()) return state.SkipWithError("ORVANE_TEST_PG_CONNECT is not set");
    const long rows = state.range(0);
    const std::string src = source(rows), dst = destination(pg);
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        Odbc in(src), out(dst);
        out.exec(std::string("CREATE TABLE copy") + kCreate);
        SQLSetConnectAttr(out.dbc, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0);
        SQLHSTMT ins, sel;
        SQLAllocHandle(SQL_HANDLE_STMT, out.dbc, &ins);
        SQLPrepare(ins, (SQLCHAR*)"INSERT INTO copy VALUES (?, ?, ?, ?, ?, ?, ?, ?)", SQL_NTS);
        char values[kColumns][256];
        SQLLEN lengths[kColumns];
        for (int c = 0; c < kColumns; ++c)
            SQLBindParameter(ins, c + 1, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, 255, 0, values[c],
                             sizeof values[c], &lengths[c]);
        SQLAllocHandle(SQL_HANDLE_STMT, in.dbc, &sel);
        SQLExecDirect(sel, (SQLCHAR*)"SELECT * FROM design_files", SQL_NTS);
        long copied = 0;
        while (SQL_SUCCEEDED(SQLFetch(sel))) {
            for (int c = 0; c < kColumns; ++c) {
                SQLGetData(sel, c + 1, SQL_C_CHAR, values[c], sizeof values[c], &lengths[c]);
                if (lengths[c] != SQL_NULL_DATA) lengths[c] = SQL_NTS;
            }
            if (!SQL_SUCCEEDED(SQLExecute(ins))) return state.SkipWithError("insert failed");
            ++copied;
        }
        SQLEndTran(SQL_HANDLE_DBC, out.dbc, SQL_COMMIT);
        SQLFreeHandle(SQL_HANDLE_STMT, sel);
        SQLFreeHandle(SQL_HANDLE_STMT, ins);
        if (copied != rows) return state.SkipWithError("short copy");
        counters(state, rows, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
}

void sizes(benchmark::internal::Benchmark* b) {
    b->Arg(10000)->Arg(100000)->Arg(1000000)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
}

BENCHMARK_CAPTURE(HandLoop, sqlite, false)->Apply(sizes);
BENCHMARK_CAPTURE(StreamCopy, sqlite, false)->Apply(sizes);
BENCHMARK_CAPTURE(HandLoop, postgresql, true)->Apply(sizes);
BENCHMARK_CAPTURE(StreamCopy, postgresql, true)->Apply(sizes);

}  // namespace

int main(int argc, char** argv) {
    if (argc > 2 && std::string(argv[1]) == "--measure") return measure(argv + 2);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::remove_all(scratch());
}
