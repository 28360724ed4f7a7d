// Column access: hand-built descriptors for the rules, then rows fetched from each driver.
#include <clocale>
#include <climits>
#include <string>

#include "database/db_fixture.hpp"

using dbtest::DbTest;

namespace {

constexpr int kGeneric = TQDB_GENERIC_ERROR;

// Name "LABEL" twice: the last column wins. A column without a name is skipped.
void* names[] = {(void*)"id", (void*)"Label", (void*)"amount", (void*)"LABEL", nullptr, (void*)"big"};
void* values[] = {(void*)"42", (void*)"first", (void*)"", (void*)" -12.7abc", (void*)"x", (void*)"99999999999"};
int16_t types[] = {4, 12, 8, 1, 1, -5};
SQLDADescriptor row() { return SQLDADescriptor{6, names, values, types, nullptr, nullptr, nullptr, nullptr}; }

// A list's text, released the way hosts release it.
std::string list(char* text) {
    if (!text) return "(null)";
    const std::string out = text;
    EXPECT_EQ(tqDBUtils_freeList(&text), 0);
    EXPECT_EQ(text, nullptr);
    return out;
}

}  // namespace

TEST(ColumnAccess, LookupAndConversions) {
    const SQLDADescriptor d = row();
    EXPECT_EQ(tqDBUtils_findSqlColumnName(&d, "AMOUNT") * 10 + tqDBUtils_findSqlColumnName(&d, "amoun"), 10);
    EXPECT_EQ(tqDBUtils_getSqlColumnDataPA(&d, "label"), values[3]);
    EXPECT_EQ(tqDBUtils_getSqlColumnInt(&d, "label"), -12);
    EXPECT_DOUBLE_EQ(tqDBUtils_getSqlColumnDouble(&d, "Label"), -12.7);
    EXPECT_EQ(tqDBUtils_getSqlColumnInt(&d, "BIG"), INT_MAX);
    EXPECT_EQ(tqDBUtils_getSqlColumnInt(&d, "amount") + tqDBUtils_getSqlColumnInt(&d, "none"), 0);

    char buf[32] = "untouched";
    EXPECT_EQ(tqDBUtils_copySqlColumnString(&d, "amount", buf), kGeneric);  // empty value
    EXPECT_EQ(tqDBUtils_copySqlColumnString(&d, "none", buf), kGeneric);
    EXPECT_STREQ(buf, "untouched");
    EXPECT_EQ(tqDBUtils_copySqlColumnString(&d, "ID", buf), 0);
    EXPECT_STREQ(buf, "42");
    EXPECT_EQ(tqDBUtils_getSqlColumnStringA(&d, "none", buf), kGeneric);
    EXPECT_STREQ(buf, "");
    EXPECT_EQ(tqDBUtils_getSqlColumnStringA(&d, "amount", buf), 0);
    EXPECT_EQ(tqDBUtils_getSqlColumnStringA(&d, "id", nullptr), kGeneric);

    int n = 7;
    double x = 7;
    EXPECT_EQ(tqDBUtils_copySqlColumnInt(&d, "amount", &n) + tqDBUtils_copySqlColumnDouble(&d, "amount", &x), 2 * kGeneric);
    EXPECT_EQ(n * x, 49);
    EXPECT_EQ(tqDBUtils_copySqlColumnInt(&d, "id", &n) + tqDBUtils_copySqlColumnDouble(&d, "label", &x), 0);
    EXPECT_EQ(n, 42);
    EXPECT_DOUBLE_EQ(x, -12.7);

    // Bad input: NULL descriptor, name or destination; arrays missing; a negative count.
    EXPECT_EQ(tqDBUtils_findSqlColumnName(nullptr, "id") + tqDBUtils_findSqlColumnName(&d, nullptr), 0);
    EXPECT_EQ(tqDBUtils_copySqlColumnInt(&d, "id", nullptr), kGeneric);
    EXPECT_EQ(tqDBUtils_getSqlColumnStringA(nullptr, "id", buf), kGeneric);
    SQLDADescriptor broken{3, names, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
    EXPECT_EQ(tqDBUtils_getSqlColumnDataPA(&broken, "id"), nullptr);
    EXPECT_EQ(list(tqDBUtils_getColumnValuesListA(&broken)), "0, 0, 0");
    broken = {-1, names, values, types, nullptr, nullptr, nullptr, nullptr};
    EXPECT_EQ(tqDBUtils_findSqlColumnName(&broken, "id") + !!tqDBUtils_getColumnNamesList(&broken), 0);

    // The last matching column decides even when its value is NULL.
    void* twice[] = {(void*)"a", (void*)"A"};
    void* slots[] = {(void*)"1", nullptr};
    const SQLDADescriptor last{2, twice, slots, types, nullptr, nullptr, nullptr, nullptr};
    EXPECT_EQ(tqDBUtils_getSqlColumnDataPA(&last, "a"), nullptr);

    // Wide rows; non-ASCII names fold with the locale's mapping.
    void* wnames[] = {(void*)u"id", (void*)u"Étage"};
    void* wvalues[] = {(void*)u"it's", nullptr};
    const SQLDADescriptor w{2, wnames, wvalues, types + 3, nullptr, nullptr, nullptr, nullptr};
    const std::string old = std::setlocale(LC_ALL, nullptr);
    std::setlocale(LC_ALL, "C.UTF-8");
    tqWChar wbuf[16];
    EXPECT_EQ(tqDBUtils_getSqlColumnStringW(&w, u"ID", wbuf), 0);
    EXPECT_EQ(std::u16string(wbuf), u"it's");
    EXPECT_EQ(tqDBUtils_getSqlColumnStringW(&w, u"ÉTAGE", wbuf), kGeneric);  // found, value NULL
    EXPECT_EQ(tqDBUtils_getSqlColumnDataPW(&w, u"étage"), nullptr);
    void* utf8[] = {(void*)"Étage", (void*)"niveau_été", (void*)"niveau_x"};
    const SQLDADescriptor u{3, utf8, values, types, nullptr, nullptr, nullptr, nullptr};
    EXPECT_EQ(tqDBUtils_getSqlColumnDataPA(&u, "éTAGE"), values[0]);
    EXPECT_EQ(tqDBUtils_getSqlColumnDataPA(&u, "NIVEAU_ÉTÉ"), values[1]);
    EXPECT_EQ(tqDBUtils_findSqlColumnName(&u, "niveau_ét"), 0);
    tqWChar* wl = tqDBUtils_getColumnValuesListW(&w);
    EXPECT_EQ(std::u16string(wl ? wl : u"(null)"), u"'it's', ''");
    EXPECT_EQ(tqDBUtils_freeList(&wl), 0);
    std::setlocale(LC_ALL, old.c_str());
}

TEST(ColumnAccess, ListsNamesAndLiterals) {
    const SQLDADescriptor d = row();
    EXPECT_EQ(list(tqDBUtils_getColumnNamesList(&d)), "id, Label, amount, LABEL, , big");
    // CHAR quoted as it stands, other types bare, "0" for an empty value.
    EXPECT_EQ(list(tqDBUtils_getColumnValuesListA(&d)), "42, first, 0, ' -12.7abc', 'x', 99999999999");
    EXPECT_EQ(tqDBUtils_getColumnValuesListA(nullptr), nullptr);
    const SQLDADescriptor empty{};
    EXPECT_EQ(tqDBUtils_getColumnNamesList(&empty), nullptr);
    char* none = nullptr;
    EXPECT_EQ(tqDBUtils_freeList(&none) + tqDBUtils_freeList(nullptr), 2 * kGeneric);

    char name[300] = "my part-list.v2 (old)";
    EXPECT_EQ(tqDBUtils_convertTableNameA(name), 0);
    EXPECT_STREQ(name, "my_part#list#v2_#old#");
    std::string n32(32, 'a'), n33(33, 'b');
    tqDBUtils_convertTableNameA(n32.data());
    tqDBUtils_convertTableNameA(n33.data());
    EXPECT_EQ(std::string(n32.c_str()), std::string(32, 'a'));
    EXPECT_EQ(std::string(n33.c_str()), std::string(31, 'b'));
    std::string(299, 'c').copy(name, 299);
    name[299] = 0;
    tqDBUtils_convertTableNameA(name);
    EXPECT_EQ(std::string(name), std::string(31, 'c'));
    tqWChar wname[] = u"a b\\c";
    EXPECT_EQ(tqDBUtils_convertTableNameW(wname) + tqDBUtils_convertTableNameA(nullptr), 0);
    EXPECT_EQ(std::u16string(wname), u"a_b#c");

    char lit[32] = "O'Neil's\nbar\n";
    EXPECT_EQ(tqDBUtils_convertStringA(lit, lit), 0);  // in place
    EXPECT_STREQ(lit, "O''Neil''sbar");
    tqWChar wlit[8];
    EXPECT_EQ(tqDBUtils_convertStringW(wlit, u"'\n"), 0);
    EXPECT_EQ(std::u16string(wlit), u"''");
    EXPECT_EQ(tqDBUtils_convertStringA(nullptr, "x") + tqDBUtils_convertStringW(wlit, nullptr), 2 * kGeneric);
}

TEST_P(DbTest, ColumnAccessOnFetchedRows) {
    ASSERT_NO_FATAL_FAILURE(freshTable("orv_col",
                                       "id INTEGER, small SMALLINT, big BIGINT, ratio REAL, amount DOUBLE PRECISION, "
                                       "price NUMERIC(10,2), code CHAR(4), label VARCHAR(40), note VARCHAR(40)"));
    ASSERT_EQ(tqDBWin_processSQLA("INSERT INTO orv_col VALUES (1, -32768, 9000000000, 1.5, -2.25, 12.5, 'ab', "
                                  "'O''Brien', '');"), 0) << recorded(-1);
    ASSERT_EQ(tqDBWin_processSQLA("INSERT INTO orv_col (id) VALUES (2);"), 0);
    const char* select = "SELECT * FROM orv_col ORDER BY id;";
    uint16_t id = 0;
    ASSERT_EQ(tqDBWin_openCursorWithIDA(&id, select), 1);
    SQLDADescriptor d{};
    ASSERT_EQ(tqDBWin_fetchRowByIDA(&d, id), 1);
    EXPECT_EQ(tqDBUtils_getSqlColumnInt(&d, "ID") + tqDBUtils_getSqlColumnInt(&d, "Small"), 1 - 32768);
    EXPECT_EQ(tqDBUtils_getSqlColumnInt(&d, "big"), INT_MAX);
    EXPECT_EQ(tqDBUtils_getSqlColumnDouble(&d, "ratio") * tqDBUtils_getSqlColumnDouble(&d, "AMOUNT"), -3.375);
    double price = 0;
    EXPECT_EQ(tqDBUtils_copySqlColumnDouble(&d, "price", &price), 0);
    EXPECT_EQ(price, 12.5);
    char buf[64] = "x";
    EXPECT_EQ(tqDBUtils_copySqlColumnString(&d, "note", buf), kGeneric);  // empty text
    EXPECT_EQ(tqDBUtils_getSqlColumnStringA(&d, "label", buf), 0);
    EXPECT_STREQ(buf, "O'Brien");
    EXPECT_EQ(list(tqDBUtils_getColumnNamesList(&d)), "id, small, big, ratio, amount, price, code, label, note");
    // The driver decides what is SQL_CHAR: PostgreSQL's CHAR(4) is (blank-padded), SQLite's is not.
    const std::string values = list(tqDBUtils_getColumnValuesListA(&d));
    EXPECT_NE(values.find(pg() ? ", 'ab  ', O'Brien, 0" : ", ab, O'Brien, 0"), std::string::npos) << values;

    // A literal made safe goes back in; NULLs read as empty texts.
    char literal[64];
    tqDBUtils_convertStringA(literal, buf);
    ASSERT_EQ(tqDBWin_processSQLA(("INSERT INTO orv_col (id, label) VALUES (3, '" + std::string(literal) + "');").c_str()), 0);
    ASSERT_EQ(tqDBWin_fetchRowByIDA(&d, id), 1);
    int n = 5;
    EXPECT_EQ(tqDBUtils_copySqlColumnInt(&d, "small", &n), kGeneric);
    EXPECT_EQ(n + tqDBUtils_getSqlColumnInt(&d, "small"), 5);
    EXPECT_EQ(list(tqDBUtils_getColumnValuesListA(&d)), pg() ? "2, 0, 0, 0, 0, 0, '', 0, 0" : "2, 0, 0, 0, 0, 0, 0, 0, 0");
    tqDBWin_freeSQLDADescriptorA(&d);
    tqDBWin_closeCursorWithID(id);

    // Wide rows from the W fetch.
    ASSERT_EQ(tqDBWin_openCursorWithIDW(&id, u"SELECT label, id FROM orv_col WHERE id = 3;"), 1);
    ASSERT_EQ(tqDBWin_fetchRowByIDW(&d, id), 1);
    const tqWChar* label = tqDBUtils_getSqlColumnDataPW(&d, u"LABEL");
    EXPECT_EQ(std::u16string(label ? label : u"(null)"), u"O'Brien");
    tqWChar* wl = tqDBUtils_getColumnValuesListW(&d);
    EXPECT_EQ(std::u16string(wl ? wl : u"(null)"), u"O'Brien, 3");
    tqDBUtils_freeList(&wl);
    tqDBWin_freeSQLDADescriptorW(&d);
    tqDBWin_closeCursorWithID(id);

    // Row counts, and the cursor slot they need.
    EXPECT_EQ(tqDBUtils_getNumTableRowsA("orv_col") * 10 + tqDBUtils_getNumTableRowsW(u"ORV_COL"), 33);
    EXPECT_EQ(tqDBUtils_getNumTableRowsA("orv_col_missing"), -1);
    EXPECT_EQ(tqDBUtils_getNumTableRowsA(nullptr) + tqDBUtils_getNumTableRowsW(nullptr), -2);
    uint16_t held[3];
    for (uint16_t& h : held) ASSERT_EQ(tqDBWin_openCursorWithIDA(&h, select), 1);
    EXPECT_EQ(tqDBUtils_getNumTableRowsA("orv_col"), -1);
    tqDBWin_closeCursorWithID(held[1]);
    EXPECT_EQ(tqDBUtils_getNumTableRowsA("orv_col"), 3);
}
