// Column access: hand-built descriptors for the rules, then rows fetched from each driver.
#include <clocale>
#include <climits>
#include <string>

#include "database/db_fixture.hpp"

using dbtest::DbTest;

namespace {

constexpr int G = TQDB_GENERIC_ERROR;

// "LABEL" twice (the last column wins); a column without a name is skipped.
void* names[] = {(void*)"id", (void*)"Label", (void*)"amount", (void*)"LABEL", nullptr, (void*)"big"};
void* values[] = {(void*)"42", (void*)"first", (void*)"", (void*)" -12.7abc", (void*)"x", (void*)"99999999999"};
int16_t types[] = {4, 12, 8, 1, 1, -5};
const SQLDADescriptor row{6, names, values, types, nullptr, nullptr, nullptr, nullptr};

// A list's text, released the way hosts release it.
template <class C>
std::basic_string<C> list(C* text) {
    if (!text) return {};
    const std::basic_string<C> out = text;
    EXPECT_EQ(tqDBUtils_freeList(&text), 0);
    EXPECT_EQ(text, nullptr);
    return out;
}

}  // namespace

TEST(ColumnAccess, LookupAndConversions) {
    EXPECT_EQ(tqDBUtils_findSqlColumnName(&row, "ID") * 100 + tqDBUtils_findSqlColumnName(&row, "AMOUNT") * 10 +
                  tqDBUtils_findSqlColumnName(&row, "amoun"), 110);
    EXPECT_EQ(tqDBUtils_getSqlColumnDataPA(&row, "label"), values[3]);
    EXPECT_DOUBLE_EQ(tqDBUtils_getSqlColumnInt(&row, "label") * 10 + tqDBUtils_getSqlColumnDouble(&row, "Label"), -132.7);
    EXPECT_EQ(tqDBUtils_getSqlColumnInt(&row, "amount") + tqDBUtils_getSqlColumnInt(&row, "none"), 0);
    // Missing or empty: the copy forms leave the destination alone, the get form empties it.
    char buf[32] = "untouched";
    int n = 7;
    double x = 7;
    EXPECT_EQ(tqDBUtils_copySqlColumnString(&row, "amount", buf) + tqDBUtils_copySqlColumnString(&row, "none", buf) +
                  tqDBUtils_copySqlColumnInt(&row, "amount", &n) + tqDBUtils_copySqlColumnDouble(&row, "none", &x),
              4 * G);
    EXPECT_EQ(std::string(buf) + std::to_string(n * x), "untouched49.000000");
    EXPECT_TRUE(tqDBUtils_getSqlColumnStringA(&row, "none", buf) == G && buf[0] == 0);
    EXPECT_EQ(tqDBUtils_copySqlColumnString(&row, "ID", buf) + tqDBUtils_copySqlColumnInt(&row, "id", &n), 0);
    EXPECT_EQ(std::string(buf) + std::to_string(n), "4242");
    // Arrays missing; a negative count.
    SQLDADescriptor broken{3, names, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
    EXPECT_EQ(tqDBUtils_getSqlColumnDataPA(&broken, "id"), nullptr);
    EXPECT_EQ(list(tqDBUtils_getColumnValuesListA(&broken)), "0, 0, 0");
    broken = {-1, names, values, types, nullptr, nullptr, nullptr, nullptr};
    EXPECT_EQ(tqDBUtils_findSqlColumnName(&broken, "id") + !!tqDBUtils_getColumnNamesList(&broken), 0);

    // Non-ASCII names fold with the locale's mapping, 8-bit and wide; the last match
    // decides even when its value is NULL.
    const std::string old = std::setlocale(LC_ALL, nullptr);
    std::setlocale(LC_ALL, "C.UTF-8");
    void* utf8[] = {(void*)"Étage", (void*)"niveau_été", (void*)"niveau_x"};
    const SQLDADescriptor u{3, utf8, values, types, nullptr, nullptr, nullptr, nullptr};
    EXPECT_TRUE(tqDBUtils_getSqlColumnDataPA(&u, "éTAGE") == values[0] && tqDBUtils_getSqlColumnDataPA(&u, "NIVEAU_ÉTÉ") == values[1]);
    EXPECT_EQ(tqDBUtils_findSqlColumnName(&u, "niveau_ét"), 0);
    void* wnames[] = {(void*)u"id", (void*)u"Étage", (void*)u"ÉTAGE"};
    void* wvalues[] = {(void*)u"it's", (void*)u"1", nullptr};
    const SQLDADescriptor w{3, wnames, wvalues, types + 3, nullptr, nullptr, nullptr, nullptr};
    tqWChar wbuf[16];
    EXPECT_TRUE(tqDBUtils_getSqlColumnStringW(&w, u"ID", wbuf) == 0 && std::u16string(wbuf) == u"it's" &&
                tqDBUtils_getSqlColumnStringW(&w, u"étage", wbuf) == G);
    EXPECT_EQ(list(tqDBUtils_getColumnValuesListW(&w)), u"'it's', '1', 0");
    std::setlocale(LC_ALL, old.c_str());
}

TEST(ColumnAccess, ListsNamesAndLiterals) {
    EXPECT_EQ(list(tqDBUtils_getColumnNamesList(&row)), "id, Label, amount, LABEL, , big");
    // CHAR quoted as it stands, other types bare, "0" for an empty value.
    EXPECT_EQ(list(tqDBUtils_getColumnValuesListA(&row)), "42, first, 0, ' -12.7abc', 'x', 99999999999");
    const SQLDADescriptor empty{};
    char* none = nullptr;
    EXPECT_TRUE(!tqDBUtils_getColumnNamesList(&empty) && tqDBUtils_freeList(&none) == G);
    // Table names: the set of forbidden characters to "#", blanks to "_", longer than 32 cut
    // to 31 (also past the 255 a name may have).
    char name[300] = "my part-list.v2 (old)";
    std::string n32(32, 'a'), n33(33, 'b'), n299(299, 'c');
    tqWChar wname[] = u"a b\\c";
    EXPECT_EQ(tqDBUtils_convertTableNameA(name) + tqDBUtils_convertTableNameA(n32.data()) +
                  tqDBUtils_convertTableNameA(n33.data()) + tqDBUtils_convertTableNameA(n299.data()) +
                  tqDBUtils_convertTableNameW(wname), 0);
    EXPECT_EQ(std::string(name) + "|" + n32.c_str() + "|" + n33.c_str() + "|" + n299.c_str(),
              "my_part#list#v2_#old#|" + std::string(32, 'a') + "|" + std::string(31, 'b') + "|" + std::string(31, 'c'));
    EXPECT_EQ(std::u16string(wname), u"a_b#c");
    char lit[32] = "O'Neil's\nbar\n";
    tqWChar wlit[8];
    EXPECT_EQ(tqDBUtils_convertStringA(lit, lit) + tqDBUtils_convertStringW(wlit, u"'\n"), 0);  // in place too
    EXPECT_EQ(lit + std::string("|") + std::string(wlit, wlit + 2), "O''Neil''sbar|''");
}

TEST_P(DbTest, ColumnAccessOnFetchedRows) {
    ASSERT_NO_FATAL_FAILURE(freshTable("orv_col",
                                       "id INTEGER, small SMALLINT, big BIGINT, ratio REAL, amount DOUBLE PRECISION, "
                                       "price NUMERIC(10,2), code CHAR(4), label VARCHAR(40), note VARCHAR(40)"));
    ASSERT_EQ(tqDBWin_processSQLA("INSERT INTO orv_col VALUES (1, -32768, 9000000000, 1.5, -2.25, 12.5, 'ab', "
                                  "'O''Brien', '');") + tqDBWin_processSQLA("INSERT INTO orv_col (id) VALUES (2);"), 0)
        << recorded(-1);
    const char* select = "SELECT * FROM orv_col ORDER BY id;";
    uint16_t id = 0;
    ASSERT_EQ(tqDBWin_openCursorWithIDA(&id, select), 1);
    SQLDADescriptor d{};
    ASSERT_EQ(tqDBWin_fetchRowByIDA(&d, id), 1);
    EXPECT_EQ(tqDBUtils_getSqlColumnInt(&d, "ID") + tqDBUtils_getSqlColumnInt(&d, "Small"), 1 - 32768);
    EXPECT_EQ(tqDBUtils_getSqlColumnInt(&d, "big"), INT_MAX);
    double price = 0;
    EXPECT_EQ(tqDBUtils_copySqlColumnDouble(&d, "price", &price), 0);
    EXPECT_EQ(tqDBUtils_getSqlColumnDouble(&d, "ratio") * tqDBUtils_getSqlColumnDouble(&d, "AMOUNT") * price, -42.1875);
    char buf[64] = "x";
    EXPECT_TRUE(tqDBUtils_copySqlColumnString(&d, "note", buf) == G && tqDBUtils_getSqlColumnStringA(&d, "label", buf) == 0 &&
                std::string(buf) == "O'Brien");
    EXPECT_EQ(list(tqDBUtils_getColumnNamesList(&d)), "id, small, big, ratio, amount, price, code, label, note");
    // The driver decides what is SQL_CHAR: PostgreSQL's CHAR(4) is (blank-padded), SQLite's is not.
    const std::string values = list(tqDBUtils_getColumnValuesListA(&d));
    EXPECT_NE(values.find(pg() ? ", 'ab  ', O'Brien, 0" : ", ab, O'Brien, 0"), std::string::npos) << values;
    ASSERT_EQ(tqDBWin_fetchRowByIDA(&d, id), 1);  // NULLs read as empty texts
    int n = 5;
    EXPECT_EQ(tqDBUtils_copySqlColumnInt(&d, "small", &n), G);
    EXPECT_EQ(list(tqDBUtils_getColumnValuesListA(&d)), pg() ? "2, 0, 0, 0, 0, 0, '', 0, 0" : "2, 0, 0, 0, 0, 0, 0, 0, 0");
    tqDBWin_freeSQLDADescriptorA(&d);
    tqDBWin_closeCursorWithID(id);

    ASSERT_EQ(tqDBWin_openCursorWithIDW(&id, u"SELECT label, id FROM orv_col WHERE id = 1;"), 1);
    ASSERT_EQ(tqDBWin_fetchRowByIDW(&d, id), 1);
    EXPECT_EQ(tqDBUtils_getSqlColumnDataPW(&d, u"LABEL"), d.values[0]);
    EXPECT_EQ(list(tqDBUtils_getColumnValuesListW(&d)), u"O'Brien, 1");
    tqDBWin_freeSQLDADescriptorW(&d);
    tqDBWin_closeCursorWithID(id);

    // Row counts, and the cursor slot they need.
    EXPECT_EQ(tqDBUtils_getNumTableRowsA("orv_col") * 10 + tqDBUtils_getNumTableRowsW(u"ORV_COL"), 22);
    EXPECT_EQ(tqDBUtils_getNumTableRowsA("orv_col_missing"), -1);
    uint16_t held[3];
    for (uint16_t& h : held) ASSERT_EQ(tqDBWin_openCursorWithIDA(&h, select), 1);
    EXPECT_EQ(tqDBUtils_getNumTableRowsA("orv_col"), -1);
    tqDBWin_closeCursorWithID(held[1]);
    EXPECT_EQ(tqDBUtils_getNumTableRowsA("orv_col"), 2);
    tqDBWin_disconnectDatabase();
    tqDBWin_closeCursorWithID(held[0]);
    EXPECT_EQ(tqDBUtils_getNumTableRowsA("orv_col"), -1);
}
