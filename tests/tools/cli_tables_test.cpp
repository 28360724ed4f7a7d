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
const char* kTricky =
    "id,label,note\n"
    "1,it's,\"line one\nline two\"\n"
    "2,\"say \"\"hi\"\", twice\",\"\"\n"
    "3,,plain\n"
    "4,\"a,b\",\n";

class CliTables : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        const std::string sqlite = driverFile("/usr/lib{,64,/*}/odbc/libsqlite3odbc.so");
        const std::string psql = driverFile("/usr/lib{,64,/*}/odbc/psqlodbcw.so");
        ASSERT_FALSE(sqlite.empty()) << "the SQLite ODBC driver is not installed (libsqliteodbc)";
        std::string tmpl = (std::filesystem::temp_directory_path() / "orvane-cli-tables-XXXXXX").string();
        ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
        dir_ = tmpl;
        std::ofstream(dir_ / "odbcinst.ini") << "[SQLite3]\nDriver=" << sqlite << "\n\n[PostgreSQL Unicode]\nDriver="
                                             << psql << "\n";
        env_ = "ODBCSYSINI=" + quote(dir_.string()) + " ODBCINI=" + quote((dir_ / "odbc.ini").string()) + " ";
        source_ = quote("DRIVER=SQLite3;Database=" + (dir_ / "source.db").string() + ";");
        if (!GetParam()) {
            target_ = quote("DRIVER=SQLite3;Database=" + (dir_ / "target.db").string() + ";");
            return;
        }
        const char* pg = std::getenv("ORVANE_TEST_PG_CONNECT");
        const char* required = std::getenv("ORVANE_REQUIRE_PG");
        if (pg && *pg) {
            target_ = quote(pg);
            orvane("sql " + target_ + " 'DROP VIEW IF EXISTS cli_view'");
            for (const char* t : {"cli_t", "cli_copy", "cli_stream", "cli_typed"})
                orvane("sql " + target_ + " 'DROP TABLE IF EXISTS " + t + "'");
        } else if (required && std::string(required) == "1") {
            FAIL() << "ORVANE_REQUIRE_PG=1 but ORVANE_TEST_PG_CONNECT is not set";
        } else {
            GTEST_SKIP() << "no PostgreSQL server: set ORVANE_TEST_PG_CONNECT (see scripts/throwaway-pg.sh)";
        }
    }
    void TearDown() override {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    testtools::Outcome orvane(const std::string& args) { return run(env_ + cli() + " " + args); }
    std::string file(const std::string& name, const std::string& text) {
        std::ofstream((dir_ / name).string(), std::ios::binary) << text;
        return quote((dir_ / name).string());
    }

    std::filesystem::path dir_;
    std::string env_, source_, target_;
};

}  // namespace

TEST_P(CliTables, CsvRoundTripKeepsQuotingLineFeedsAndNulls) {
    // A new table: text columns named by the header.
    ASSERT_EQ(orvane("write-table " + target_ + " cli_t " + file("t.csv", kTricky) + " 2>/dev/null").status, 0);
    EXPECT_EQ(orvane("read-table " + target_ + " cli_t 2>&1").out, kTricky);
    EXPECT_EQ(orvane("sql " + target_ + " 'SELECT COUNT(*) AS n FROM cli_t WHERE note IS NULL'").out, "n\n1\n")
        << "NULL is the empty unquoted field";

    // An existing table: numbers go in bare by the column types; CRLF input is accepted.
    ASSERT_EQ(orvane("sql " + target_ + " 'CREATE TABLE cli_typed (n INTEGER, x DOUBLE PRECISION, s VARCHAR(20))'")
                  .status, 0);
    const std::string crlf = "s,n,x\r\n\"two\r\nlines\",7,2.5\r\n,-3,\r\n";
    ASSERT_EQ(orvane("write-table " + target_ + " cli_typed - < " + file("c.csv", crlf) + " 2>/dev/null").status, 0);
    EXPECT_EQ(orvane("read-table " + target_ + " cli_typed").out, "n,x,s\n7,2.5,\"two\r\nlines\"\n-3,,\n");
    // Writing the same rows again through standard input appends them.
    EXPECT_EQ(orvane("read-table " + target_ + " cli_t | " + env_ + cli() + " write-table " + target_ +
                     " cli_t 2>/dev/null").status, 0);
    EXPECT_EQ(orvane("sql " + target_ + " 'SELECT COUNT(*) AS n FROM cli_t'").out, "n\n8\n");
}

TEST_P(CliTables, CopiesWholeAndStreamed) {
    ASSERT_EQ(orvane("sql " + source_ + " 'CREATE TABLE parts (id INTEGER, label VARCHAR(30), mass DOUBLE)'").status,
              0);
    const std::string rows = "id,label,mass\n1,it's,0.5\n2,\"bolt, M8\",1.25\n3,,2.75\n";
    ASSERT_EQ(orvane("write-table " + source_ + " parts " + file("p.csv", rows) + " 2>/dev/null").status, 0);

    auto whole = orvane("copy-table " + source_ + " parts " + target_ + " cli_copy");
    ASSERT_EQ(whole.status, 0) << whole.out;
    EXPECT_EQ(whole.out.rfind("copied 3 rows from parts to cli_copy in ", 0), 0u) << whole.out;
    EXPECT_EQ(orvane("read-table " + target_ + " cli_copy").out, rows);

    auto streamed = orvane("copy-table --stream --batch 2 " + source_ + " parts " + target_ + " cli_stream");
    ASSERT_EQ(streamed.status, 0) << streamed.out;
    EXPECT_EQ(streamed.out.rfind("copied 3 rows from parts to cli_stream in ", 0), 0u) << streamed.out;
    EXPECT_EQ(orvane("read-table " + target_ + " cli_stream").out, rows);
    // A second copy replaces the table rather than adding to it.
    ASSERT_EQ(orvane("copy-table --stream " + source_ + " parts " + target_ + " cli_stream").status, 0);
    EXPECT_EQ(orvane("read-table " + target_ + " cli_stream").out, rows);

    // And back into SQLite.
    ASSERT_EQ(orvane("copy-table --stream " + target_ + " cli_stream " + source_ + " back").status, 0);
    EXPECT_EQ(orvane("read-table " + source_ + " back").out, rows);

    // Text with line feeds and empty text: the streamed copy keeps them.
    ASSERT_EQ(orvane("write-table " + source_ + " tricky " + file("t.csv", kTricky) + " 2>/dev/null").status, 0);
    ASSERT_EQ(orvane("copy-table --stream " + source_ + " tricky " + target_ + " cli_t").status, 0);
    EXPECT_EQ(orvane("read-table " + target_ + " cli_t").out, kTricky);
}

TEST_P(CliTables, FailuresExitOneWithAMessage) {
    // A missing source table leaves the destination alone.
    ASSERT_EQ(orvane("sql " + target_ + " 'CREATE TABLE cli_copy (n INTEGER)'").status, 0);
    for (const char* mode : {"", "--stream "}) {
        auto missing = orvane(std::string("copy-table ") + mode + source_ + " nothing " + target_ + " cli_copy 2>&1");
        EXPECT_EQ(missing.status, 1);
        EXPECT_NE(missing.out.find("no table 'nothing'"), std::string::npos) << missing.out;
        EXPECT_EQ(orvane("sql " + target_ + " 'SELECT COUNT(*) AS n FROM cli_copy'").out, "n\n0\n");
    }
    auto attach = orvane("copy-table --stream " + source_ + " t 'DRIVER={No Such Driver};' t 2>&1");
    EXPECT_EQ(attach.status, 1);
    EXPECT_NE(attach.out.find("Could not attach destination database"), std::string::npos) << attach.out;

    // A row refused half-way: the transactions committed before it stay.
    ASSERT_EQ(orvane("sql " + target_ + " 'CREATE TABLE cli_t (n INTEGER CHECK (n < 1000))'").status, 0);
    std::ostringstream csv;
    csv << "n\n";
    for (int i = 1; i <= 300; ++i) csv << (i == 250 ? 5000 : i) << "\n";
    auto refused = orvane("write-table --batch 100 " + target_ + " cli_t " + file("n.csv", csv.str()) + " 2>&1");
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.out.find("ERROR: Couldn't insert into the table 'cli_t'"), std::string::npos) << refused.out;
    EXPECT_NE(refused.out.find("INSERT INTO cli_t"), std::string::npos) << refused.out;
    EXPECT_EQ(orvane("sql " + target_ + " 'SELECT COUNT(*) AS n, MAX(n) AS top FROM cli_t'").out, "n,top\n200,200\n");

    auto ragged = orvane("write-table " + target_ + " cli_t " + file("r.csv", "n\n1\n2,3\n") + " 2>&1");
    EXPECT_EQ(ragged.status, 1);
    EXPECT_NE(ragged.out.find("record 3 has 2 fields"), std::string::npos) << ragged.out;
    EXPECT_EQ(orvane("write-table " + target_ + " cli_t " + file("q.csv", "n\n\"open\n") + " 2>/dev/null").status, 1);
    EXPECT_EQ(orvane("copy-table --batch 0 a b c d 2>/dev/null").status, 2);
    EXPECT_EQ(orvane("read-table " + target_ + " 2>/dev/null").status, 2);
}

// SQLite tables are read in pieces of 10,000 rows by row key: none lost or doubled at
// the seams, and the order kept.
TEST(CliTablesSqlite, LongTablesCrossThePieces) {
    const std::string sqlite = driverFile("/usr/lib{,64,/*}/odbc/libsqlite3odbc.so");
    ASSERT_FALSE(sqlite.empty());
    std::string tmpl = (std::filesystem::temp_directory_path() / "orvane-cli-long-XXXXXX").string();
    ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
    const std::filesystem::path dir = tmpl;
    std::ofstream(dir / "odbcinst.ini") << "[SQLite3]\nDriver=" << sqlite << "\n";
    const std::string env = "ODBCSYSINI=" + quote(dir.string()) + " ODBCINI=" + quote((dir / "odbc.ini").string()) +
                            " " + cli() + " ";
    const std::string db = quote("DRIVER=SQLite3;Database=" + (dir / "long.db").string() + ";");
    std::ostringstream csv;
    csv << "n,half\n";
    for (int i = 1; i <= 20001; ++i) csv << i << "," << (i % 2 ? std::string() : "even") << "\n";
    std::ofstream((dir / "long.csv").string()) << csv.str();
    ASSERT_EQ(run(env + "write-table " + db + " long " + quote((dir / "long.csv").string()) + " 2>/dev/null").status, 0);
    EXPECT_EQ(run(env + "read-table " + db + " long").out, csv.str());
    std::filesystem::remove_all(dir);
}

// Where the row key cannot be used (a view; a column that takes the key's names) the
// table is read with one query, and NULL is still told apart.
TEST_P(CliTables, ViewsAndKeyNamedColumnsReadWhole) {
    ASSERT_EQ(orvane("sql " + target_ + " 'CREATE TABLE cli_t (rowid INTEGER, _rowid_ INTEGER, oid VARCHAR(5))'")
                  .status, 0);
    const std::string rows = "rowid,_rowid_,oid\n1,1,\n1,2,\"\"\n";
    ASSERT_EQ(orvane("write-table " + target_ + " cli_t " + file("k.csv", rows) + " >/dev/null").status, 0);
    EXPECT_EQ(orvane("read-table " + target_ + " cli_t 2>&1").out, rows);
    ASSERT_EQ(orvane("sql " + target_ + " 'CREATE VIEW cli_view AS SELECT oid FROM cli_t'").status, 0);
    EXPECT_EQ(orvane("read-table " + target_ + " cli_view 2>&1").out, "oid\n\n\"\"\n");
    orvane("sql " + target_ + " 'DROP VIEW cli_view'");
    auto missing = orvane("read-table " + target_ + " no_such_table 2>&1");
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.out.find("no table 'no_such_table'"), std::string::npos) << missing.out;
}

INSTANTIATE_TEST_SUITE_P(Targets, CliTables, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "PostgreSQL" : "SQLite"; });
