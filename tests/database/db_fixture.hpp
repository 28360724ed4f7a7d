// Shared set-up of the database tests: a private ODBC configuration (the drivers in our
// own odbcinst.ini, an empty user ini) and a suite parameterised by driver.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "orvane.h"

namespace dbtest {

// The scratch folder of the test process, made (and the ini files pointed at) on first use.
inline const std::filesystem::path& scratch() {
    static const std::filesystem::path dir = [] {
        std::string tmpl = (std::filesystem::temp_directory_path() / "orvane-db-XXXXXX").string();
        if (!mkdtemp(tmpl.data())) std::abort();  // no scratch folder: nothing can be tested
        const std::filesystem::path p = tmpl;
        std::ofstream(p / "odbcinst.ini") << "[SQLite3]\nDriver=" ORVANE_SQLITE_ODBC_DRIVER "\n\n"
                                          << "[PostgreSQL Unicode]\nDriver=" ORVANE_PSQL_ODBC_DRIVER "\n";
        std::ofstream(p / "odbc.ini") << "";
        setenv("ODBCSYSINI", p.c_str(), 1);
        setenv("ODBCINI", (p / "odbc.ini").c_str(), 1);
        return p;
    }();
    // Registered after `dir` exists, so that it runs before `dir` is destroyed.
    [[maybe_unused]] static const int cleanup = std::atexit([] { std::filesystem::remove_all(dir); });
    return dir;
}

inline std::string sqliteConnect(const std::string& file = "test.db") {
    return "DRIVER=SQLite3;Database=" + (scratch() / file).string() + ";";
}

enum class Driver { SQLite, PostgreSQL };

// PostgreSQL comes from ORVANE_TEST_PG_CONNECT; without it the test skips, or fails when
// ORVANE_REQUIRE_PG=1 says that the run must cover the server.
class DbTest : public ::testing::TestWithParam<Driver> {
protected:
    void SetUp() override {
        scratch();
        const char* pgConnect = std::getenv("ORVANE_TEST_PG_CONNECT");
        const char* required = std::getenv("ORVANE_REQUIRE_PG");
        if (!pg()) return void(connect_ = sqliteConnect());
        if (pgConnect && *pgConnect) return void(connect_ = pgConnect);
        if (required && std::string(required) == "1")
            FAIL() << "ORVANE_REQUIRE_PG=1 but ORVANE_TEST_PG_CONNECT is not set (scripts/throwaway-pg.sh start DIR)";
        GTEST_SKIP() << "no PostgreSQL server: set ORVANE_TEST_PG_CONNECT (see scripts/throwaway-pg.sh)";
    }
    // Tests share one process when the binary runs alone: leave no cursor behind.
    void TearDown() override {
        for (uint16_t id = 0; id < 16; ++id) tqDBWin_closeCursorWithID(id);
        tqDBWin_disconnectDatabase();
    }

    bool pg() const { return GetParam() == Driver::PostgreSQL; }
    // Attaches and recreates `table` with the given column list.
    void freshTable(const std::string& table, const std::string& columns) {
        ASSERT_EQ(tqDBWin_attachDatabaseA(connect_.c_str()), 0) << recorded(-1);
        tqDBWin_processSQLA(("DROP TABLE IF EXISTS " + table + ";").c_str());
        ASSERT_EQ(tqDBWin_processSQLA(("CREATE TABLE " + table + " (" + columns + ");").c_str()), 0) << recorded(-1);
    }
    static std::string recorded(int status) {
        static char buf[1 << 16];
        return tqDBWin_getErrorTextA(buf, status) ? buf : "(nothing recorded)";
    }

    std::string connect_;
};

}  // namespace dbtest
