// Connection, statements, error texts, catalog listing, table description and cursors,
// against each driver, and the functions that need no data source.
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "database/db_fixture.hpp"

using dbtest::DbTest;
using dbtest::Driver;

namespace {

std::string activeAttach() {
    char attach[1024] = "?", completed[1024] = "?";
    return tqDBWin_getActiveDatabaseA(attach, completed) ? std::string(attach) + "|" + completed : "none";
}

const char* text(const SQLDADescriptor& d, void* const* slots, int i) {
    return i < d.count && slots[i] ? static_cast<const char*>(slots[i]) : "(null)";
}

std::u16string wtext(void* slot) { return slot ? static_cast<const tqWChar*>(slot) : u"(null)"; }

// The catalog's names, one per line.
std::string catalog() {
    char** names = nullptr;
    int count = 0;
    if (tqDBWin_describeDatabaseA(&names, &count) != 1) return "(failed)";
    std::string out = "\n";
    for (int i = 0; i < count; ++i) out += std::string(names[i]) + "\n";
    tqDBWin_freeStringsArrayA(names, count);
    return out;
}

}  // namespace

// Before any attach (NULL arguments are left to the generated sweep): statements, catalog
// and cursors fail cleanly and leave the caller's outputs alone.
TEST(DbNoSource, StateBeforeAttach) {
    EXPECT_EQ(tqDBWin_isConnected(), 0);
    EXPECT_STREQ(tqDBWin_getConnectString(), "");
    char a[8] = "x", c[8] = "y";
    EXPECT_EQ(tqDBWin_getActiveDatabaseA(a, c), 0);
    EXPECT_STREQ(a, "x");
    EXPECT_EQ(tqDBWin_closeCursorWithID(0), 0);
    EXPECT_LT(tqDBWin_processSQLA("SELECT 1"), 0);
    SQLDADescriptor d{};
    EXPECT_TRUE(tqDBWin_describeTableA(&d, "t") != 0 && d.count == 0);
    uint16_t id = 77;
    EXPECT_TRUE(tqDBWin_openCursorWithIDA(&id, "SELECT 1") == 0 && id == 77);
}

TEST(DbNoSource, EscapeAndUserMessage) {
    char out[64], msg[512], keep[8] = "keep";
    tqWChar wout[64], wmsg[512];
    EXPECT_EQ(tqDBWin_escapeStringA(out, "O'Brien\n") + tqDBWin_escapeStringW(wout, u"'a'\nb"), 2 * TQDB_GENERIC_ERROR);
    EXPECT_TRUE(std::string(out) == "O''Brien" && std::u16string(wout) == u"''a''b");
    EXPECT_EQ(tqDBWin_getSQLErrorTextA(msg, "Head", "SELECT x", 4242) + tqDBWin_getSQLErrorTextW(wmsg, nullptr, u"S", 4242), 2);
    EXPECT_STREQ(msg, "Head\nThe following SQL statement could not be processed:\n\nSELECT x\n");
    EXPECT_EQ(std::u16string(wmsg), u"The following SQL statement could not be processed:\n\nS\n");
    // The wide message is cut to 511 characters and terminated.
    const std::u16string longHeading(2000, u'h');
    EXPECT_EQ(tqDBWin_getSQLErrorTextW(wmsg, longHeading.c_str(), nullptr, 4242), 1);
    EXPECT_EQ(std::u16string(wmsg).size(), 511u);
    EXPECT_TRUE(tqDBWin_getErrorTextA(keep, 4242) == 0 && std::string(keep) == "keep");
}

TEST(DbNoSource, BadConnectsLeaveTheLibraryUsable) {
    // A driver that is not installed, a malformed string, a server that is not running.
    EXPECT_EQ(tqDBWin_attachDatabaseA("DRIVER={No Such Driver};X=1;"), -1);
    char text[4096] = "";
    ASSERT_EQ(tqDBWin_getErrorTextA(text, -1), 1);
    EXPECT_EQ(std::strncmp(text, "Can't open lib", 14), 0) << text;
    EXPECT_STREQ(tqDBWin_getConnectString(), "DRIVER={No Such Driver};X=1;");
    EXPECT_TRUE(tqDBWin_attachDatabaseA(";;=;{{{") != 0 && tqDBWin_attachDatabaseA(std::string(40000, 'x').c_str()) != 0);
    const std::string down = "DRIVER={PostgreSQL Unicode};SERVER=127.0.0.1;PORT=1;DATABASE=x;UID=u;PWD=p;";
    EXPECT_EQ(tqDBWin_attachDatabaseA(down.c_str()), -1);
    ASSERT_EQ(tqDBWin_getErrorTextA(text, -1), 1);
    EXPECT_NE(std::strstr(text, "State:08001"), nullptr) << text;
    EXPECT_EQ(tqDBWin_isConnected(), 0);
    EXPECT_EQ(activeAttach(), "|" + down);
    // The next attach works; a new file has an empty catalog.
    EXPECT_EQ(tqDBWin_attachDatabaseA(dbtest::sqliteConnect("after.db").c_str()), 0);
    char** names = nullptr;
    int count = -1;
    EXPECT_TRUE(tqDBWin_describeDatabaseA(&names, &count) == 1 && count == 0);
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
    // Rows of a SELECT are read and dropped; an UPDATE of no row is still a success.
    EXPECT_EQ(tqDBWin_processSQLA("INSERT INTO orv_conn VALUES (1, 'one');") +
                  tqDBWin_processSQLW(u"INSERT INTO orv_conn VALUES (2, 'two');") +
                  tqDBWin_processSQLA("SELECT * FROM orv_conn;") +
                  tqDBWin_processSQLA("UPDATE orv_conn SET id = 3 WHERE id = 99;"), 0) << recorded(-1);
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
    tqWChar wattach[1024] = {0}, wcompleted[1024] = {0};
    EXPECT_EQ(tqDBWin_closeCursorWithID(id) + tqDBWin_getActiveDatabaseW(wattach, wcompleted), 2);
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
    EXPECT_TRUE(tqDBWin_getErrorTextW(wtext, -1) == 1 && std::u16string(wtext).size() == t.size());
    char msg[8192];
    tqDBWin_getSQLErrorTextA(msg, nullptr, "SELEC nonsense", -1);
    EXPECT_EQ(std::string(msg), "The following SQL statement could not be processed:\n\nSELEC nonsense\n"
                                 "The database server returned the following error message:\n\n" + t.substr(0, 511));
    // A missing table.
    EXPECT_TRUE(tqDBWin_processSQLA("SELECT * FROM orv_no_such_table;") == -1 &&
                recorded(-1).find("orv_no_such_table") != std::string::npos);

    // Attaching again replaces the connection; the wide form too.
    std::u16string wide(connect_.begin(), connect_.end());
    EXPECT_EQ(tqDBWin_attachDatabaseW(wide.c_str()), 0) << recorded(-1);
    EXPECT_EQ(tqDBWin_processSQLA("DELETE FROM orv_conn WHERE id = 1;"), 0);
    tqDBWin_disconnectDatabase();
    EXPECT_EQ(std::to_string(tqDBWin_isConnected()) + activeAttach(), "0|" + completed);
}

TEST_P(DbTest, CatalogFindAndDescribe) {
    ASSERT_EQ(tqDBWin_attachDatabaseA(connect_.c_str()), 0);
    tqDBWin_processSQLA("DROP VIEW IF EXISTS orv_cat_view;");
    ASSERT_NO_FATAL_FAILURE(freshTable("orv_cat", "id INTEGER NOT NULL, label VARCHAR(20), amount REAL"));
    ASSERT_EQ(tqDBWin_processSQLA("CREATE VIEW orv_cat_view AS SELECT id FROM orv_cat;"), 0) << recorded(-1);
    const std::string names = catalog();
    EXPECT_TRUE(names.find("\norv_cat\n") != std::string::npos && names.find("\norv_cat_view\n") != std::string::npos) << names;
    EXPECT_EQ(tqDBWin_findTableA("ORV_Cat") * 10 + tqDBWin_findTableW(u"orv_cat_view"), 11);
    EXPECT_EQ(tqDBWin_findTableA("orv_cat_missing") + tqDBWin_findTableA(""), 0);
    tqWChar** wide = nullptr;
    int count = 0;
    EXPECT_TRUE(tqDBWin_describeDatabaseW(&wide, &count) == 1 && count >= 2);
    tqDBWin_freeStringsArrayW(wide, count);

    // An empty table: the full column description, every value NULL, status 0.
    SQLDADescriptor d{};
    EXPECT_EQ(tqDBWin_describeTableA(&d, "orv_cat"), 0);
    ASSERT_EQ(d.count, 3);
    EXPECT_EQ(std::string(text(d, d.names, 0)) + "," + text(d, d.names, 1), "id,label");
    // INTEGER, VARCHAR(20); the SQLite driver calls every column nullable.
    EXPECT_EQ((std::vector<int>{d.types[0], d.types[1], d.sizes[1], d.nullable[0], d.nullable[1], d.reserved[2]}),
              (std::vector<int>{4, 12, 20, pg() ? 0 : 1, 1, 0}));
    EXPECT_TRUE(!d.values[0] && !d.values[1] && !d.values[2]);
    tqDBWin_freeSQLDADescriptorA(&d);
    tqDBWin_freeSQLDADescriptorA(&d);  // twice is harmless
    EXPECT_TRUE(d.count == 0 && !d.names);

    // With rows: the first row's values, NULL reading as empty text; the wide form.
    ASSERT_EQ(tqDBWin_processSQLA("INSERT INTO orv_cat VALUES (7, NULL, 2.5);"), 0);  // the first row
    ASSERT_EQ(tqDBWin_processSQLA("INSERT INTO orv_cat VALUES (8, 'b', 1);"), 0);
    ASSERT_TRUE(tqDBWin_describeTableW(&d, u"orv_cat") == 0 && d.count == 3);
    EXPECT_EQ(wtext(d.names[2]) + u"=" + wtext(d.values[0]) + u"|" + wtext(d.values[1]) + u"|" + wtext(d.values[2]), u"amount=7||2.5");
    tqDBWin_freeSQLDADescriptorW(&d);

    // A missing table: -1 with its text, the descriptor left zeroed.
    EXPECT_TRUE(tqDBWin_describeTableA(&d, "orv_cat_missing") == -1 && d.count == 0);
    EXPECT_NE(recorded(-1).find("State:"), std::string::npos);

    // Not connected: listing gives 0 and leaves the outputs alone.
    tqDBWin_disconnectDatabase();
    char** untouched = nullptr;
    count = 5;
    EXPECT_TRUE(tqDBWin_describeDatabaseA(&untouched, &count) == 0 && count == 5 && !untouched);
    EXPECT_EQ(tqDBWin_findTableA("orv_cat"), 0);
}

// Cursor identifiers are numbered per process, so the scenario runs in a fresh copy of
// this binary (the threadsafe death-test style re-executes it for this one test): the
// numbers hold whether ctest runs each test alone or the binary runs them all.
class CursorTest : public DbTest {
protected:
    void scenario();
};

TEST_P(CursorTest, CursorsByIdentifier) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            dup2(STDERR_FILENO, STDOUT_FILENO);  // the parent shows the child's stderr
            scenario();
            std::exit(HasFailure() ? 1 : 0);
        },
        ::testing::ExitedWithCode(0), "");
}

INSTANTIATE_TEST_SUITE_P(Drivers, CursorTest, ::testing::Values(Driver::SQLite, Driver::PostgreSQL),
                         [](const auto& info) { return info.param == Driver::SQLite ? "SQLite" : "PostgreSQL"; });

void CursorTest::scenario() {
    ASSERT_NO_FATAL_FAILURE(freshTable("orv_cur", "id INTEGER, name VARCHAR(10)"));
    ASSERT_EQ(tqDBWin_processSQLA("INSERT INTO orv_cur VALUES (1, 'one');") +
                  tqDBWin_processSQLA("INSERT INTO orv_cur VALUES (2, NULL);"), 0);
    const char* all = "SELECT id, name FROM orv_cur ORDER BY id;";
    uint16_t a = 0, b = 0, c = 0, extra = 99;
    ASSERT_EQ(tqDBWin_openCursorWithIDA(&a, all), 1) << recorded(-1);
    ASSERT_EQ(tqDBWin_openCursorWithIDA(&b, all), 1);
    ASSERT_EQ(tqDBWin_openCursorWithIDW(&c, u"SELECT id FROM orv_cur WHERE id = 1;"), 1);
    EXPECT_EQ(a * 100 + b * 10 + c, 123);
    EXPECT_TRUE(tqDBWin_openCursorWithIDA(&extra, all) == 0 && extra == 99);  // the limit is 3

    // Rows come in order into one descriptor, each fetch releasing the previous row.
    SQLDADescriptor d{};
    auto row = [&](int fetched) { return std::to_string(fetched) + " " + text(d, d.values, 0) + "|" + text(d, d.values, 1); };
    EXPECT_EQ(row(tqDBWin_fetchRowByIDA(&d, a)), "1 1|one");
    EXPECT_EQ(row(tqDBWin_fetchRowByIDA(&d, a)), "1 2|");
    EXPECT_TRUE(tqDBWin_fetchRowByIDA(&d, a) == 0 && std::string(text(d, d.values, 0)) == "2");  // keeps the last row
    tqDBWin_freeSQLDADescriptorA(&d);
    // A one-row cursor in wide text; an identifier that names nothing.
    ASSERT_EQ(tqDBWin_fetchRowByIDW(&d, c), 1);
    EXPECT_EQ(wtext(d.values[0]), u"1");
    EXPECT_EQ(tqDBWin_fetchRowByIDW(&d, c) + tqDBWin_fetchRowByIDA(&d, 1234), 0);
    tqDBWin_freeSQLDADescriptorW(&d);

    // Identifier reuse: 2 comes back; then 3 and a new 4.
    EXPECT_EQ(tqDBWin_closeCursorWithID(b) + tqDBWin_closeCursorWithID(b), 1);  // the second finds nothing
    EXPECT_TRUE(tqDBWin_openCursorWithIDA(&b, all) == 1 && b == 2);
    EXPECT_EQ(tqDBWin_closeCursorWithID(1), 1);  // one by one: each close decides the next number
    EXPECT_EQ(tqDBWin_closeCursorWithID(3), 1);
    ASSERT_EQ(tqDBWin_openCursorWithIDA(&a, all), 1);
    ASSERT_EQ(tqDBWin_openCursorWithIDA(&c, all), 1);
    EXPECT_EQ(a * 10 + c, 34);

    // A failed open records its text; a disconnect closes the result sets but keeps the
    // identifiers, whose fetches deliver nothing until they are closed.
    uint16_t bad = 55;
    EXPECT_TRUE(tqDBWin_openCursorWithIDA(&bad, "SELECT * FROM orv_cur_missing;") == 0 && bad == 55);
    EXPECT_NE(recorded(-1).find("orv_cur_missing"), std::string::npos);
    tqDBWin_disconnectDatabase();
    EXPECT_TRUE(tqDBWin_fetchRowByIDA(&d, a) == 0 && d.count == 0);
    ASSERT_EQ(tqDBWin_attachDatabaseA(connect_.c_str()), 0);
    EXPECT_EQ(tqDBWin_openCursorWithIDA(&extra, all), 0);  // still three identifiers held
    EXPECT_EQ(tqDBWin_closeCursorWithID(a), 1);
    ASSERT_TRUE(tqDBWin_openCursorWithIDA(&extra, all) == 1 && extra == a);
    ASSERT_EQ(tqDBWin_fetchRowByIDA(&d, extra), 1);
    EXPECT_STREQ(text(d, d.values, 1), "one");
    tqDBWin_freeSQLDADescriptorA(&d);
}

INSTANTIATE_TEST_SUITE_P(Drivers, DbTest, ::testing::Values(Driver::SQLite, Driver::PostgreSQL),
                         [](const auto& info) { return info.param == Driver::SQLite ? "SQLite" : "PostgreSQL"; });
