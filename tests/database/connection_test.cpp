// Connection, statements and error texts against each driver, and the functions that
// need no data source.
#include <clocale>
#include <cstring>
#include <sstream>
#include <string>

#include "database/db_fixture.hpp"

using dbtest::DbTest;
using dbtest::Driver;

namespace {

std::string activeAttach() {
    char attach[1024] = "?", completed[1024] = "?";
    return tqDBWin_getActiveDatabaseA(attach, completed) ? std::string(attach) + "|" + completed : "none";
}

}  // namespace

TEST(DbNoSource, StateBeforeAttachAndArgumentChecks) {
    EXPECT_EQ(tqDBWin_isConnected(), 0);
    EXPECT_STREQ(tqDBWin_getConnectString(), "");
    char a[8] = "x", c[8] = "y";
    EXPECT_EQ(tqDBWin_getActiveDatabaseA(a, c), 0);
    EXPECT_STREQ(a, "x");
    // NULL for every pointer: a status or nothing-done result, never a crash.
    const int G = TQDB_GENERIC_ERROR;
    EXPECT_EQ(tqDBWin_attachDatabaseA(nullptr), G);
    EXPECT_EQ(tqDBWin_attachDatabaseW(nullptr), G);
    EXPECT_EQ(tqDBWin_processSQLA(nullptr), G);
    EXPECT_EQ(tqDBWin_processSQLW(nullptr), G);
    EXPECT_EQ(tqDBWin_getErrorTextA(nullptr, -1) + tqDBWin_getErrorTextW(nullptr, -1), 0);
    EXPECT_EQ(tqDBWin_getSQLErrorTextA(nullptr, "h", "s", -1) + tqDBWin_getSQLErrorTextW(nullptr, nullptr, nullptr, -1), 2);
    EXPECT_EQ(tqDBWin_getActiveDatabaseW(nullptr, nullptr), 0);
    EXPECT_EQ(tqDBWin_escapeStringA(nullptr, "x") + tqDBWin_escapeStringW(nullptr, nullptr), 2 * G);
    EXPECT_EQ(tqDBWin_describeDatabaseA(nullptr, nullptr) + tqDBWin_describeDatabaseW(nullptr, nullptr), 0);
    tqDBWin_freeStringsArrayA(nullptr, 0);
    tqDBWin_freeStringsArrayW(nullptr, 0);
    EXPECT_EQ(tqDBWin_findTableA(nullptr) + tqDBWin_findTableW(nullptr), 0);
    EXPECT_NE(tqDBWin_describeTableA(nullptr, "t"), 0);
    EXPECT_NE(tqDBWin_describeTableW(nullptr, nullptr), 0);
    tqDBWin_freeSQLDADescriptorA(nullptr);
    tqDBWin_freeSQLDADescriptorW(nullptr);
    EXPECT_EQ(tqDBWin_openCursorWithIDA(nullptr, "SELECT 1") + tqDBWin_openCursorWithIDW(nullptr, nullptr), 0);
    EXPECT_EQ(tqDBWin_fetchRowByIDA(nullptr, 1) + tqDBWin_fetchRowByIDW(nullptr, 1), 0);
    EXPECT_EQ(tqDBWin_closeCursorWithID(0), 0);
    // Not connected: statements and catalog fail cleanly.
    EXPECT_LT(tqDBWin_processSQLA("SELECT 1"), 0);
    SQLDADescriptor d{};
    EXPECT_NE(tqDBWin_describeTableA(&d, "t"), 0);
    EXPECT_EQ(d.count, 0);
    uint16_t id = 77;
    EXPECT_EQ(tqDBWin_openCursorWithIDA(&id, "SELECT 1"), 0);
    EXPECT_EQ(id, 77);
}

TEST(DbNoSource, EscapeAndUserMessage) {
    char out[64];
    tqWChar wout[64];
    EXPECT_EQ(tqDBWin_escapeStringA(out, "O'Brien\n") + tqDBWin_escapeStringW(wout, u"'a'\nb"), 2 * TQDB_GENERIC_ERROR);
    EXPECT_STREQ(out, "O''Brien");
    EXPECT_EQ(std::u16string(wout), u"''a''b");
    char msg[512];
    EXPECT_EQ(tqDBWin_getSQLErrorTextA(msg, "Head", "SELECT x", 4242), 1);
    EXPECT_STREQ(msg, "Head\nThe following SQL statement could not be processed:\n\nSELECT x\n");
    tqWChar wmsg[512];
    EXPECT_EQ(tqDBWin_getSQLErrorTextW(wmsg, nullptr, u"S", 4242), 1);
    EXPECT_EQ(std::u16string(wmsg), u"The following SQL statement could not be processed:\n\nS\n");
    // The wide message is cut to 511 characters and terminated.
    const std::u16string longHeading(2000, u'h');
    EXPECT_EQ(tqDBWin_getSQLErrorTextW(wmsg, longHeading.c_str(), nullptr, 4242), 1);
    EXPECT_EQ(std::u16string(wmsg).size(), 511u);
    char keep[8] = "keep";
    EXPECT_EQ(tqDBWin_getErrorTextA(keep, 4242), 0);
    EXPECT_STREQ(keep, "keep");
}

TEST(DbNoSource, BadConnectsLeaveTheLibraryUsable) {
    // A driver that is not installed, a malformed string, a server that is not running.
    EXPECT_EQ(tqDBWin_attachDatabaseA("DRIVER={No Such Driver};X=1;"), -1);
    char text[4096] = "";
    ASSERT_EQ(tqDBWin_getErrorTextA(text, -1), 1);
    EXPECT_EQ(std::strncmp(text, "Can't open lib", 14), 0) << text;
    EXPECT_STREQ(tqDBWin_getConnectString(), "DRIVER={No Such Driver};X=1;");
    EXPECT_NE(tqDBWin_attachDatabaseA(";;=;{{{"), 0);
    EXPECT_NE(tqDBWin_attachDatabaseA(std::string(40000, 'x').c_str()), 0);
    EXPECT_EQ(tqDBWin_attachDatabaseA("DRIVER={PostgreSQL Unicode};SERVER=127.0.0.1;PORT=1;DATABASE=x;UID=u;PWD=p;"), -1);
    ASSERT_EQ(tqDBWin_getErrorTextA(text, -1), 1);
    EXPECT_NE(std::strstr(text, "State:08001"), nullptr) << text;
    EXPECT_EQ(tqDBWin_isConnected(), 0);
    EXPECT_STREQ(activeAttach().c_str(),
                 "|DRIVER={PostgreSQL Unicode};SERVER=127.0.0.1;PORT=1;DATABASE=x;UID=u;PWD=p;");
    // The next attach works; a new file has an empty catalog.
    EXPECT_EQ(tqDBWin_attachDatabaseA(dbtest::sqliteConnect("after.db").c_str()), 0);
    char** names = nullptr;
    int count = -1;
    EXPECT_EQ(tqDBWin_describeDatabaseA(&names, &count), 1);
    EXPECT_EQ(count, 0);
    tqDBWin_freeStringsArrayA(names, count);
    EXPECT_EQ(tqDBWin_processSQLA("CREATE TABLE t (a INTEGER);"), 0);
}

TEST(DbNoSource, AdministratorKeepsTheFileDsnDirectory) {
    const auto ini = dbtest::scratch() / "odbc.ini";
    auto writeIni = [&](const char* text) { std::ofstream(ini) << text; };
    auto readIni = [&] { return (std::ostringstream() << std::ifstream(ini).rdbuf()).str(); };
    const auto cwd = std::filesystem::current_path();
    // An existing value is replaced for the administrator's run and restored after it.
    writeIni("[ODBC File DSN]\nDefaultDSNDir=/old/dir\n");
    EXPECT_EQ(tqDBWin_openODBCAdminA("/new/dir", dbtest::scratch().c_str(), nullptr), 0);
    EXPECT_NE(readIni().find("/old/dir"), std::string::npos) << readIni();
    EXPECT_EQ(std::filesystem::current_path(), std::filesystem::canonical(dbtest::scratch()));
    std::filesystem::current_path(cwd);
    // No section: it is created with the new value, which stays.
    writeIni("");
    EXPECT_EQ(tqDBWin_openODBCAdminW(u"/created", nullptr, nullptr), 0);
    EXPECT_NE(readIni().find("/created"), std::string::npos) << readIni();
    // A section without the value: nothing is written, the read's "not found" returns.
    writeIni("[ODBC File DSN]\nOther=1\n");
    EXPECT_EQ(tqDBWin_openODBCAdminA("/never", nullptr, nullptr), 2);
    EXPECT_EQ(readIni().find("/never"), std::string::npos) << readIni();
    writeIni("");
    EXPECT_EQ(tqDBWin_openODBCAdminA(nullptr, nullptr, nullptr), 2);
}

TEST_P(DbTest, AttachExecuteAndErrorTexts) {
    ASSERT_NO_FATAL_FAILURE(freshTable("orv_conn", "id INTEGER, name TEXT"));
    EXPECT_EQ(tqDBWin_isConnected(), 1);
    const std::string completed = tqDBWin_getConnectString();
    EXPECT_EQ(completed.rfind("ODBC;", 0), 0u) << completed;
    EXPECT_EQ(activeAttach(), connect_ + "|" + completed);
    EXPECT_EQ(tqDBWin_processSQLA("INSERT INTO orv_conn VALUES (1, 'one');"), 0);
    EXPECT_EQ(tqDBWin_processSQLW(u"INSERT INTO orv_conn VALUES (2, 'two');"), 0);
    EXPECT_EQ(tqDBWin_processSQLA("SELECT * FROM orv_conn;"), 0);  // rows are read and dropped
    EXPECT_EQ(tqDBWin_processSQLA("UPDATE orv_conn SET id = 3 WHERE id = 99;"), 0);  // no row: still success
    // Wide text goes in and comes back through the locale's codeset.
    ASSERT_NE(std::setlocale(LC_ALL, "C.UTF-8"), nullptr);
    // A long value arrives in pieces; a multibyte character may straddle two of them.
    const std::u16string longValue = u"Grüße €" + std::u16string(9000, u'ß');
    EXPECT_EQ(tqDBWin_processSQLW((u"INSERT INTO orv_conn VALUES (5, '" + longValue + u"');").c_str()), 0) << recorded(-1);
    uint16_t id = 0;
    ASSERT_EQ(tqDBWin_openCursorWithIDW(&id, u"SELECT name FROM orv_conn WHERE id = 5;"), 1) << recorded(-1);
    SQLDADescriptor row{};
    ASSERT_EQ(tqDBWin_fetchRowByIDW(&row, id), 1);
    EXPECT_EQ(std::u16string(static_cast<const tqWChar*>(row.values[0])), longValue);
    tqDBWin_freeSQLDADescriptorW(&row);
    EXPECT_EQ(tqDBWin_closeCursorWithID(id), 1);
    tqWChar wattach[1024] = {0}, wcompleted[1024] = {0};
    EXPECT_EQ(tqDBWin_getActiveDatabaseW(wattach, wcompleted), 1);
    EXPECT_EQ(std::u16string(wattach).size() + std::u16string(wcompleted).size(), connect_.size() + completed.size());
    std::setlocale(LC_ALL, "C");

    // A syntax error: -1, the driver's message without its bracketed origin, then "State:".
    EXPECT_EQ(tqDBWin_processSQLA("SELEC nonsense"), -1);
    char text[4096] = "";
    ASSERT_EQ(tqDBWin_getErrorTextA(text, -1), 1);
    const std::string t = text;
    const std::size_t state = t.find("State:");
    ASSERT_NE(state, std::string::npos) << t;
    EXPECT_NE(t[0], '[') << t;
    EXPECT_NE(t.substr(0, state).find("SELEC"), std::string::npos) << t;
    EXPECT_NE(t.find(pg() ? ",Native:1,Origin:\n" : ",Native:1,Origin:[SQLite]\n", state), std::string::npos) << t;
    tqWChar wtext[4096];
    ASSERT_EQ(tqDBWin_getErrorTextW(wtext, -1), 1);
    EXPECT_EQ(std::u16string(wtext).size(), t.size());
    char msg[8192];
    tqDBWin_getSQLErrorTextA(msg, nullptr, "SELEC nonsense", -1);
    EXPECT_EQ(std::string(msg), "The following SQL statement could not be processed:\n\nSELEC nonsense\n"
                                 "The database server returned the following error message:\n\n" + t.substr(0, 511));
    // A missing table.
    EXPECT_EQ(tqDBWin_processSQLA("SELECT * FROM orv_no_such_table;"), -1);
    EXPECT_NE(recorded(-1).find("orv_no_such_table"), std::string::npos);

    // Attaching again replaces the connection; the wide form too.
    std::u16string wide(connect_.begin(), connect_.end());
    EXPECT_EQ(tqDBWin_attachDatabaseW(wide.c_str()), 0) << recorded(-1);
    EXPECT_EQ(tqDBWin_processSQLA("DELETE FROM orv_conn WHERE id = 1;"), 0);
    tqDBWin_disconnectDatabase();
    EXPECT_EQ(tqDBWin_isConnected(), 0);
    EXPECT_EQ(activeAttach(), "|" + completed);
}

INSTANTIATE_TEST_SUITE_P(Drivers, DbTest, ::testing::Values(Driver::SQLite, Driver::PostgreSQL),
                         [](const auto& info) { return info.param == Driver::SQLite ? "SQLite" : "PostgreSQL"; });
