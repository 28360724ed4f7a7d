// orvane sql / tables / describe on a SQLite file, with the driver registered in an
// odbcinst.ini of the test's own.
#include <glob.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "run_tool.hpp"

using testtools::cli;
using testtools::run;

namespace {

class CliDatabase : public ::testing::Test {
protected:
    void SetUp() override {
        glob_t found{};
        const bool installed = ::glob("/usr/lib{,64,/*}/odbc/libsqlite3odbc.so", GLOB_BRACE, nullptr, &found) == 0;
        const std::string driver = installed ? found.gl_pathv[0] : "";
        ::globfree(&found);
        ASSERT_TRUE(installed) << "the SQLite ODBC driver is not installed (libsqliteodbc)";
        std::string tmpl = (std::filesystem::temp_directory_path() / "orvane-cli-db-XXXXXX").string();
        ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
        dir_ = tmpl;
        std::ofstream(dir_ / "odbcinst.ini") << "[SQLite3]\nDriver=" << driver << "\n";
        env_ = "ODBCSYSINI='" + dir_.string() + "' ODBCINI='" + (dir_ / "odbc.ini").string() + "' ";
        connect_ = "'DRIVER=SQLite3;Database=" + (dir_ / "cli.db").string() + ";'";
    }
    void TearDown() override {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    testtools::Outcome orvane(const std::string& args) { return run(env_ + cli() + " " + args); }

    std::filesystem::path dir_;
    std::string env_, connect_;
};

}  // namespace

TEST_F(CliDatabase, StatementsQueriesCatalogAndDescription) {
    EXPECT_EQ(orvane("sql " + connect_ + " 'CREATE TABLE parts (id INTEGER, label VARCHAR(12))'").status, 0);
    EXPECT_EQ(orvane("sql " + connect_ + " \"INSERT INTO parts VALUES (1, 'bolt, M6')\"").status, 0);
    EXPECT_EQ(orvane("sql " + connect_ + " \"INSERT INTO parts VALUES (2, NULL)\"").status, 0);
    EXPECT_EQ(orvane("sql " + connect_ + " 'SELECT id, label FROM parts ORDER BY id'").out,
              "id,label\n1,\"bolt, M6\"\n2,\n");
    EXPECT_EQ(orvane("sql " + connect_ + " 'SELECT * FROM parts WHERE id > 5'").out, "");
    EXPECT_EQ(orvane("tables " + connect_).out, "parts\n");
    EXPECT_EQ(orvane("describe " + connect_ + " parts").out,
              "name,type,type_name,size,scale,nullable\nid,4,INTEGER,10,0,1\nlabel,12,VARCHAR,12,0,1\n");
}

TEST_F(CliDatabase, FailuresPrintTheLibraryMessage) {
    auto bad = orvane("sql " + connect_ + " 'SELEC 1' 2>&1");
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.out.find("The following SQL statement could not be processed:\n\nSELEC 1\n"), std::string::npos)
        << bad.out;
    auto missing = orvane("describe " + connect_ + " no_such_table 2>&1");
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.out.find("no_such_table"), std::string::npos) << missing.out;
    auto driver = orvane("tables 'DRIVER={No Such Driver};' 2>&1");
    EXPECT_EQ(driver.status, 1);
    EXPECT_NE(driver.out.find("Cannot attach the data source."), std::string::npos) << driver.out;
    EXPECT_EQ(orvane("sql " + connect_ + " 2>/dev/null").status, 2);
    EXPECT_EQ(orvane("describe 2>/dev/null").status, 2);
}
