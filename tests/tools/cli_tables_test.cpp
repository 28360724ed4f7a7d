// orvane copy-table / read-table / write-table on SQLite files and on the PostgreSQL server
// of ORVANE_TEST_PG_CONNECT, with the drivers registered in an odbcinst.ini of the test's own.
#include <glob.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "run_tool.hpp"

using testtools::cli;
using testtools::run;

namespace {

std::string driverFile(const char* pattern) {
    glob_t found{};
    std::string path;
    if (::glob(pattern, GLOB_BRACE, nullptr, &found) == 0) path = found.gl_pathv[0];
    ::globfree(&found);
    return path;
}

std::string quote(const std::string& s) {
    std::string out = "'";
    for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// Apostrophes, line feeds, quotes, commas, empty text and NULL (the empty unquoted field).
const char* kTricky = "id,label,note\n1,it's,\"line one\nline two\"\n2,\"say \"\"hi\"\", twice\",\"\"\n3,,plain\n4,\"a,b\",\n";

// The target is a SQLite file or the PostgreSQL server; the source is always a SQLite file.
class CliTables : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        const std::string sqlite = driverFile("/usr/lib{,64,/*}/odbc/libsqlite3odbc.so");
        ASSERT_FALSE(sqlite.empty()) << "the SQLite ODBC driver is not installed (libsqliteodbc)";
        std::string tmpl = (std::filesystem::temp_directory_path() / "orvane-cli-tables-XXXXXX").string();
        ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
        dir_ = tmpl;
        std::ofstream(dir_ / "odbcinst.ini") << "[SQLite3]\nDriver=" << sqlite << "\n\n[PostgreSQL Unicode]\nDriver="
                                             << driverFile("/usr/lib{,64,/*}/odbc/psqlodbcw.so") << "\n";
        env_ = "ODBCSYSINI=" + quote(dir_.string()) + " ODBCINI=" + quote((dir_ / "odbc.ini").string()) + " ";
        source_ = quote("DRIVER=SQLite3;Database=" + (dir_ / "source.db").string() + ";");
        target_ = quote("DRIVER=SQLite3;Database=" + (dir_ / "target.db").string() + ";");
        if (!GetParam()) return;
        const char* pg = std::getenv("ORVANE_TEST_PG_CONNECT");
        const char* required = std::getenv("ORVANE_REQUIRE_PG");
        if (!pg || !*pg) {
            if (required && std::string(required) == "1") FAIL() << "ORVANE_REQUIRE_PG=1 but ORVANE_TEST_PG_CONNECT is not set";
            GTEST_SKIP() << "no PostgreSQL server: set ORVANE_TEST_PG_CONNECT (see scripts/throwaway-pg.sh)";
        }
        target_ = quote(pg);
        sql("DROP VIEW IF EXISTS cli_view");
        for (const char* t : {"cli_t", "cli_copy", "cli_stream", "cli_typed"}) sql(std::string("DROP TABLE IF EXISTS ") + t);
    }
    void TearDown() override { std::filesystem::remove_all(dir_, ec_); }
    testtools::Outcome orvane(const std::string& args) { return run(env_ + cli() + " " + args); }
    // A statement on the target; its output (a CSV of the rows).
    std::string sql(const std::string& statement) { return orvane("sql " + target_ + " '" + statement + "'").out; }
    std::string read(const std::string& connect, const std::string& table) {
        return orvane("read-table " + connect + " " + table + " 2>&1").out;
    }
    std::string file(const std::string& name, const std::string& text) {
        std::ofstream((dir_ / name).string(), std::ios::binary) << text;
        return quote((dir_ / name).string());
    }
    // Exit status, then the output (standard error too) when `contains` is not in it.
    std::string fails(const std::string& args, const std::string& contains) {
        const auto o = orvane(args + " 2>&1");
        return std::to_string(o.status) + (o.out.find(contains) == std::string::npos ? " " + o.out : "");
    }

    std::filesystem::path dir_;
    std::error_code ec_;
    std::string env_, source_, target_;
};

}  // namespace

TEST_P(CliTables, CsvRoundTripKeepsQuotingLineFeedsAndNulls) {
    // A new table: text columns named by the header.
    ASSERT_EQ(orvane("write-table " + target_ + " cli_t " + file("t.csv", kTricky) + " 2>/dev/null").status, 0);
    EXPECT_EQ(read(target_, "cli_t"), kTricky);
    EXPECT_EQ(sql("SELECT COUNT(*) AS n FROM cli_t WHERE note IS NULL"), "n\n1\n") << "NULL is the empty unquoted field";
    // An existing table: numbers go in bare by the column types; CRLF input is accepted.
    sql("CREATE TABLE cli_typed (n INTEGER, x DOUBLE PRECISION, s VARCHAR(20))");
    const std::string crlf = "s,n,x\r\n\"two\r\nlines\",7,2.5\r\n,-3,\r\n";
    ASSERT_EQ(orvane("write-table " + target_ + " cli_typed - < " + file("c.csv", crlf) + " 2>/dev/null").status, 0);
    EXPECT_EQ(read(target_, "cli_typed"), "n,x,s\n7,2.5,\"two\r\nlines\"\n-3,,\n");
    // Writing the same rows again through standard input appends them.
    EXPECT_EQ(orvane("read-table " + target_ + " cli_t | " + env_ + cli() + " write-table " + target_ + " cli_t 2>/dev/null")
                  .status, 0);
    EXPECT_EQ(sql("SELECT COUNT(*) AS n FROM cli_t"), "n\n8\n");
}

TEST_P(CliTables, CopiesWholeAndStreamed) {
    ASSERT_EQ(orvane("sql " + source_ + " 'CREATE TABLE parts (id INTEGER, label VARCHAR(30), mass DOUBLE)'").status, 0);
    const std::string rows = "id,label,mass\n1,it's,0.5\n2,\"bolt, M8\",1.25\n3,,2.75\n";
    ASSERT_EQ(orvane("write-table " + source_ + " parts " + file("p.csv", rows) + " 2>/dev/null").status, 0);
    // Whole, streamed in transactions of 2, streamed again (replacing), and back into SQLite.
    struct Copy {
        std::string options, from, table, to, dst;
    };
    for (const Copy& c : {Copy{"", source_, "parts", target_, "cli_copy"}, Copy{"--stream --batch 2 ", source_, "parts", target_, "cli_stream"},
                          Copy{"--stream ", source_, "parts", target_, "cli_stream"}, Copy{"--stream ", target_, "cli_stream", source_, "back"}}) {
        const auto o = orvane("copy-table " + c.options + c.from + " " + c.table + " " + c.to + " " + c.dst);
        EXPECT_EQ(o.status, 0) << o.out;
        EXPECT_EQ(o.out.rfind("copied 3 rows from " + c.table + " to " + c.dst + " in ", 0), 0u) << o.out;
        EXPECT_EQ(read(c.to, c.dst), rows) << c.options << c.dst;
    }
    // Text with line feeds and empty text: the streamed copy keeps them.
    ASSERT_EQ(orvane("write-table " + source_ + " tricky " + file("t.csv", kTricky) + " 2>/dev/null").status, 0);
    ASSERT_EQ(orvane("copy-table --stream " + source_ + " tricky " + target_ + " cli_t").status, 0);
    EXPECT_EQ(read(target_, "cli_t"), kTricky);
}

TEST_P(CliTables, FailuresExitOneWithAMessage) {
    // A missing source table leaves the destination alone.
    sql("CREATE TABLE cli_copy (n INTEGER)");
    for (const char* mode : {"", "--stream "}) {
        EXPECT_EQ(fails(std::string("copy-table ") + mode + source_ + " nothing " + target_ + " cli_copy", "no table 'nothing'"), "1");
        EXPECT_EQ(sql("SELECT COUNT(*) AS n FROM cli_copy"), "n\n0\n");
    }
    EXPECT_EQ(fails("copy-table --stream " + source_ + " t 'DRIVER={No Such Driver};' t", "Could not attach destination database"), "1");
    // A row refused half-way: the transactions committed before it stay.
    sql("CREATE TABLE cli_t (n INTEGER CHECK (n < 1000))");
    std::ostringstream csv;
    csv << "n\n";
    for (int i = 1; i <= 300; ++i) csv << (i == 250 ? 5000 : i) << "\n";
    const std::string write = "write-table --batch 100 " + target_ + " cli_t " + file("n.csv", csv.str());
    EXPECT_EQ(fails(write, "ERROR: Couldn't insert into the table 'cli_t'\nThe following SQL statement could not be processed:\n\nINSERT INTO cli_t"), "1");
    EXPECT_EQ(sql("SELECT COUNT(*) AS n, MAX(n) AS top FROM cli_t"), "n,top\n200,200\n");
    EXPECT_EQ(fails("write-table " + target_ + " cli_t " + file("r.csv", "n\n1\n2,3\n"), "record 3 has 2 fields"), "1");
    EXPECT_EQ(fails("write-table " + target_ + " cli_t " + file("q.csv", "n\n\"open\n"), ""), "1");
    EXPECT_EQ(fails("copy-table --batch 0 a b c d", "") + fails("read-table " + target_, ""), "22");
    EXPECT_EQ(fails("read-table " + target_ + " no_such_table", "no table 'no_such_table'"), "1");
}

// Where the row key cannot be used (a view; a column that takes the key's names) the
// table is read with one query, and NULL is still told apart. SQLite tables are read in
// pieces of 10,000 rows by row key: none lost or doubled at the seams, the order kept.
TEST_P(CliTables, ViewsKeyNamedColumnsAndLongTables) {
    sql("CREATE TABLE cli_t (rowid INTEGER, _rowid_ INTEGER, oid VARCHAR(5))");
    const std::string rows = "rowid,_rowid_,oid\n1,1,\n1,2,\"\"\n";
    ASSERT_EQ(orvane("write-table " + target_ + " cli_t " + file("k.csv", rows) + " >/dev/null").status, 0);
    EXPECT_EQ(read(target_, "cli_t"), rows);
    sql("CREATE VIEW cli_view AS SELECT oid FROM cli_t");
    EXPECT_EQ(read(target_, "cli_view"), "oid\n\n\"\"\n");
    sql("DROP VIEW cli_view");
    if (GetParam()) return;
    std::ostringstream csv;
    csv << "n,half\n";
    for (int i = 1; i <= 20001; ++i) csv << i << "," << (i % 2 ? std::string() : "even") << "\n";
    ASSERT_EQ(orvane("write-table " + source_ + " long " + file("long.csv", csv.str()) + " 2>/dev/null").status, 0);
    EXPECT_EQ(read(source_, "long"), csv.str());
    // The progress line goes to a terminal only (`script` gives the command one).
    const std::string longRead = cli() + " read-table " + source_ + " long";
    EXPECT_EQ(run(env_ + longRead + " 2>&1 >/dev/null").out, "");
    if (::access("/usr/bin/script", X_OK) != 0) return;
    const std::string tty = run(env_ + "script -qec " + quote(longRead + " >/dev/null") + " /dev/null").out;
    EXPECT_NE(tty.find("read-table: 64 of 20001 rows, "), std::string::npos) << tty;
    EXPECT_NE(tty.find(" rows/s, ETA "), std::string::npos) << tty;
}

INSTANTIATE_TEST_SUITE_P(Targets, CliTables, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "PostgreSQL" : "SQLite"; });
