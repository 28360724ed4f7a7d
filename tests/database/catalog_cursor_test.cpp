// Catalog listing, table description and cursors, against each driver; and a server that
// goes away between two calls.
#include <cstdlib>
#include <string>

#include "database/db_fixture.hpp"

using dbtest::DbTest;

namespace {

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

TEST_P(DbTest, CatalogFindAndDescribe) {
    ASSERT_EQ(tqDBWin_attachDatabaseA(connect_.c_str()), 0);
    tqDBWin_processSQLA("DROP VIEW IF EXISTS orv_cat_view;");
    ASSERT_NO_FATAL_FAILURE(freshTable("orv_cat", "id INTEGER NOT NULL, label VARCHAR(20), amount REAL"));
    ASSERT_EQ(tqDBWin_processSQLA("CREATE VIEW orv_cat_view AS SELECT id FROM orv_cat;"), 0) << recorded(-1);
    const std::string names = catalog();
    EXPECT_NE(names.find("\norv_cat\n"), std::string::npos);
    EXPECT_NE(names.find("\norv_cat_view\n"), std::string::npos);
    EXPECT_EQ(tqDBWin_findTableA("ORV_Cat"), 1);
    EXPECT_EQ(tqDBWin_findTableW(u"orv_cat_view"), 1);
    EXPECT_EQ(tqDBWin_findTableA("orv_cat_missing"), 0);
    EXPECT_EQ(tqDBWin_findTableA(""), 0);
    tqWChar** wide = nullptr;
    int count = 0;
    EXPECT_EQ(tqDBWin_describeDatabaseW(&wide, &count), 1);
    tqDBWin_freeStringsArrayW(wide, count);

    // An empty table: the full column description, every value NULL, status 0.
    SQLDADescriptor d{};
    EXPECT_EQ(tqDBWin_describeTableA(&d, "orv_cat"), 0);
    ASSERT_EQ(d.count, 3);
    EXPECT_EQ(std::string(text(d, d.names, 0)) + "," + text(d, d.names, 1), "id,label");
    EXPECT_EQ(d.types[0] * 100 + d.types[1], 412);  // INTEGER, VARCHAR
    EXPECT_EQ(d.sizes[1], 20);
    EXPECT_EQ(d.nullable[0], pg() ? 0 : 1);  // the SQLite driver calls every column nullable
    EXPECT_EQ(d.nullable[1] * 10 + d.reserved[2], 10);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(d.values[i], nullptr);
    tqDBWin_freeSQLDADescriptorA(&d);
    tqDBWin_freeSQLDADescriptorA(&d);  // twice is harmless
    EXPECT_EQ(d.count, 0);
    EXPECT_EQ(d.names, nullptr);

    // With rows: the first row's values, NULL reading as empty text; the wide form.
    ASSERT_EQ(tqDBWin_processSQLA("INSERT INTO orv_cat VALUES (7, NULL, 2.5);"), 0);
    ASSERT_EQ(tqDBWin_processSQLA("INSERT INTO orv_cat VALUES (8, 'b', 1);"), 0);
    EXPECT_EQ(tqDBWin_describeTableW(&d, u"orv_cat"), 0);
    ASSERT_EQ(d.count, 3);
    EXPECT_EQ(wtext(d.names[2]), u"amount");
    EXPECT_EQ(wtext(d.values[0]) + u"|" + wtext(d.values[1]) + u"|" + wtext(d.values[2]), u"7||2.5");
    tqDBWin_freeSQLDADescriptorW(&d);

    // A missing table: -1 with its text, the descriptor left zeroed.
    EXPECT_EQ(tqDBWin_describeTableA(&d, "orv_cat_missing"), -1);
    EXPECT_EQ(d.count, 0);
    EXPECT_NE(recorded(-1).find("State:"), std::string::npos);

    // Not connected: listing gives 0 and leaves the outputs alone.
    tqDBWin_disconnectDatabase();
    char** untouched = nullptr;
    count = 5;
    EXPECT_EQ(tqDBWin_describeDatabaseA(&untouched, &count), 0);
    EXPECT_EQ(count, 5);
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

INSTANTIATE_TEST_SUITE_P(Drivers, CursorTest, ::testing::Values(dbtest::Driver::SQLite, dbtest::Driver::PostgreSQL),
                         [](const auto& info) { return info.param == dbtest::Driver::SQLite ? "SQLite" : "PostgreSQL"; });

void CursorTest::scenario() {
    ASSERT_NO_FATAL_FAILURE(freshTable("orv_cur", "id INTEGER, name VARCHAR(10)"));
    ASSERT_EQ(tqDBWin_processSQLA("INSERT INTO orv_cur VALUES (1, 'one');"), 0);
    ASSERT_EQ(tqDBWin_processSQLA("INSERT INTO orv_cur VALUES (2, NULL);"), 0);
    const char* all = "SELECT id, name FROM orv_cur ORDER BY id;";
    uint16_t a = 0, b = 0, c = 0, extra = 99;
    ASSERT_EQ(tqDBWin_openCursorWithIDA(&a, all), 1) << recorded(-1);
    ASSERT_EQ(tqDBWin_openCursorWithIDA(&b, all), 1);
    ASSERT_EQ(tqDBWin_openCursorWithIDW(&c, u"SELECT id FROM orv_cur WHERE id = 1;"), 1);
    EXPECT_EQ(a * 100 + b * 10 + c, 123);
    EXPECT_EQ(tqDBWin_openCursorWithIDA(&extra, all), 0);  // the limit is 3
    EXPECT_EQ(extra, 99);

    // Rows come in order into one descriptor, each fetch releasing the previous row.
    SQLDADescriptor d{};
    ASSERT_EQ(tqDBWin_fetchRowByIDA(&d, a), 1);
    EXPECT_EQ(std::string(text(d, d.values, 0)) + "|" + text(d, d.values, 1), "1|one");
    ASSERT_EQ(tqDBWin_fetchRowByIDA(&d, a), 1);
    EXPECT_EQ(std::string(text(d, d.values, 0)) + "|" + text(d, d.values, 1), "2|");
    EXPECT_EQ(tqDBWin_fetchRowByIDA(&d, a), 0);  // at the end: descriptor keeps the last row
    EXPECT_STREQ(text(d, d.values, 0), "2");
    tqDBWin_freeSQLDADescriptorA(&d);
    // A one-row cursor in wide text; an identifier that names nothing.
    ASSERT_EQ(tqDBWin_fetchRowByIDW(&d, c), 1);
    EXPECT_EQ(wtext(d.values[0]), u"1");
    EXPECT_EQ(tqDBWin_fetchRowByIDW(&d, c) + tqDBWin_fetchRowByIDA(&d, 1234), 0);
    tqDBWin_freeSQLDADescriptorW(&d);

    // Identifier reuse: 2 comes back; then 3 and a new 4.
    EXPECT_EQ(tqDBWin_closeCursorWithID(b) * 10 + tqDBWin_closeCursorWithID(b), 10);
    ASSERT_EQ(tqDBWin_openCursorWithIDA(&b, all), 1);
    EXPECT_EQ(b, 2);
    EXPECT_EQ(tqDBWin_closeCursorWithID(1) + tqDBWin_closeCursorWithID(3), 2);
    ASSERT_EQ(tqDBWin_openCursorWithIDA(&a, all) + tqDBWin_openCursorWithIDA(&c, all), 2);
    EXPECT_EQ(a * 10 + c, 34);

    // A failed open records its text; a disconnect closes the result sets but keeps the
    // identifiers, whose fetches deliver nothing until they are closed.
    uint16_t bad = 55;
    EXPECT_EQ(tqDBWin_openCursorWithIDA(&bad, "SELECT * FROM orv_cur_missing;"), 0);
    EXPECT_EQ(bad, 55);
    EXPECT_NE(recorded(-1).find("orv_cur_missing"), std::string::npos);
    tqDBWin_disconnectDatabase();
    EXPECT_EQ(tqDBWin_fetchRowByIDA(&d, a), 0);
    EXPECT_EQ(d.count, 0);
    ASSERT_EQ(tqDBWin_attachDatabaseA(connect_.c_str()), 0);
    EXPECT_EQ(tqDBWin_openCursorWithIDA(&extra, all), 0);  // still three identifiers held
    EXPECT_EQ(tqDBWin_closeCursorWithID(a), 1);
    ASSERT_EQ(tqDBWin_openCursorWithIDA(&extra, all), 1);
    EXPECT_EQ(extra, a);
    ASSERT_EQ(tqDBWin_fetchRowByIDA(&d, extra), 1);
    EXPECT_STREQ(text(d, d.values, 1), "one");
    tqDBWin_freeSQLDADescriptorA(&d);
}

// Stops the PostgreSQL server between two calls, then restarts it and attaches again.
TEST_P(DbTest, ServerGoesAway) {
    if (!pg()) GTEST_SKIP() << "needs a server";
    const char* ctl = std::getenv("ORVANE_TEST_PG_CTL");
    if (!ctl || !*ctl) GTEST_SKIP() << "ORVANE_TEST_PG_CTL not set";
    ASSERT_NO_FATAL_FAILURE(freshTable("orv_away", "id INTEGER"));
    ASSERT_EQ(tqDBWin_processSQLA("INSERT INTO orv_away VALUES (1);"), 0);
    uint16_t id = 0;
    ASSERT_EQ(tqDBWin_openCursorWithIDA(&id, "SELECT id FROM orv_away;"), 1);
    ASSERT_EQ(std::system((std::string(ctl) + " stop -m fast >/dev/null 2>&1").c_str()), 0);
    EXPECT_EQ(tqDBWin_processSQLA("SELECT id FROM orv_away;"), -1);
    EXPECT_EQ(tqDBWin_findTableA("orv_away"), 0);
    SQLDADescriptor d{};
    EXPECT_NE(tqDBWin_describeTableA(&d, "orv_away"), 0);
    EXPECT_EQ(tqDBWin_attachDatabaseA(connect_.c_str()), -1);  // still down: refused, not connected
    EXPECT_EQ(tqDBWin_isConnected(), 0);
    ASSERT_EQ(std::system((std::string(ctl) + " start >/dev/null 2>&1").c_str()), 0);
    ASSERT_EQ(tqDBWin_attachDatabaseA(connect_.c_str()), 0) << recorded(-1);
    EXPECT_EQ(tqDBWin_processSQLA("INSERT INTO orv_away VALUES (2);"), 0);
    EXPECT_EQ(tqDBWin_fetchRowByIDA(&d, id), 0);  // its result set went with the old connection
    EXPECT_EQ(tqDBWin_closeCursorWithID(id), 1);
}
