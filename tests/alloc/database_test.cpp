// The database family under failing allocations, on SQLite database files. Every run
// attaches afresh outside its window, so each starts from the same state.
#include <string>
#include <vector>

#include "alloc/failpoint.hpp"
#include "database/connection.hpp"  // src/: the error table, emptied before the leak count
#include "database/db_fixture.hpp"

namespace {

using namespace failpoint;
constexpr int G = TQDB_GENERIC_ERROR;

// Without a sync per statement: the sweep runs thousands of them.
std::string sourceDb() { return dbtest::sqliteConnect("alloc-source.db") + "SyncPragma=OFF;"; }
std::string destDb() { return dbtest::sqliteConnect("alloc-dest.db") + "SyncPragma=OFF;"; }
std::u16string w(const std::string& s) { return std::u16string(s.begin(), s.end()); }

void attach(const std::string& connect) { ASSERT_EQ(tqDBWin_attachDatabaseA(connect.c_str()), 0); }

// The rows of a SELECT, one "a|b|c;" each, read outside any window.
std::string rows(const char* select) {
    uint16_t id = 0;
    if (!tqDBWin_openCursorWithIDA(&id, select)) return "(no cursor)";
    std::string out;
    SQLDADescriptor d{};
    while (tqDBWin_fetchRowByIDA(&d, id)) {
        for (int i = 0; i < d.count; ++i) out += std::string(i ? "|" : "") + (d.values[i] ? static_cast<char*>(d.values[i]) : "NULL");
        out += ";";
    }
    tqDBWin_freeSQLDADescriptorA(&d);
    tqDBWin_closeCursorWithID(id);
    return out;
}

std::string wideText(const void* p) {
    std::string out;
    for (auto* s = static_cast<const tqWChar*>(p); s && *s; ++s) out += static_cast<char>(*s);
    return p ? out : "NULL";
}

// A table read: status, count and every value, or the message when there is one.
std::string table(int status, SQLDADescriptor* rows, int count, const tqWChar* msg) {
    std::string out = show(status, count) + "|";
    for (int r = 0; rows && r < count; ++r)
        for (int i = 0; i < rows[r].count; ++i) out += wideText(rows[r].values[i]) + ",";
    return out + (msg[0] ? "msg:" + wideText(msg).substr(0, 40) : "");
}

bool startsWith(const Outcome& o, const std::string& head) { return o.compare(0, head.size(), head) == 0; }

// `o` is `full` with any of its fields read as `lost`: a value that could not be copied
// stays NULL in its row, which still arrives (and a write leaves such a value out).
bool fieldsOrNull(const Outcome& o, const std::string& full, const std::string& lost = "NULL") {
    const char* const delimiters = ",;|=\"";
    std::size_t i = 0, j = 0;
    while (i < o.size() && j < full.size()) {
        const std::size_t ei = std::min(o.find_first_of(delimiters, i), o.size());
        const std::size_t ej = std::min(full.find_first_of(delimiters, j), full.size());
        const std::string a = o.substr(i, ei - i), b = full.substr(j, ej - j);
        if (a != b && a != lost) return false;
        if (ei == o.size() || ej == full.size()) return ei == o.size() && ej == full.size();
        if (o[ei] != full[ej]) return false;
        i = ei + 1, j = ej + 1;
    }
    return i >= o.size() && j >= full.size();
}

// The leading rows (whole, "...;" each) of `rows` with `status`, fields possibly NULL.
bool leadingRows(const Outcome& o, int status, const std::string& rows, const std::string& lost = "NULL") {
    for (std::size_t n = 0; n <= rows.size(); ++n)
        if ((n == 0 || rows[n - 1] == ';') && fieldsOrNull(o, show(status, rows.substr(0, n)), lost)) return true;
    return false;
}

const char* const kItems = "1|bolt|0.5;2|nut|0.25;3|washer|0.1;4|bracket 'L'|2.75;";

TEST(AllocationFailure, Database) {
    // Fresh files: the catalog then holds the same tables whenever the test runs.
    for (const char* file : {"alloc-source.db", "alloc-dest.db"}) std::filesystem::remove(dbtest::scratch() / file);
    attach(sourceDb());
    for (const char* sql : {"DROP TABLE IF EXISTS items;", "CREATE TABLE items (id INTEGER, label VARCHAR(20), amount REAL);",
                            "INSERT INTO items VALUES (1, 'bolt', 0.5);", "INSERT INTO items VALUES (2, 'nut', 0.25);",
                            "INSERT INTO items VALUES (3, 'washer', 0.1);", "INSERT INTO items VALUES (4, 'bracket ''L''', 2.75);"})
        ASSERT_EQ(tqDBWin_processSQLA(sql), 0) << sql;
    ASSERT_EQ(rows("SELECT * FROM items;"), kItems);
    tqDBWin_disconnectDatabase();
    // The error table keeps one text per status number seen: not a leak.
    onLeakCheck([] { orvane::db::connection().errorTexts.clear(); });

    sweepFamily("database", {
        {"tqDBWin_attachDatabaseW",
         [] {
             tqDBWin_disconnectDatabase();
             const std::u16string connect = w(sourceDb());
             const int status = armed([&] { return tqDBWin_attachDatabaseW(connect.c_str()); });
             const Outcome o = show(status, tqDBWin_isConnected(), status ? "" : rows("SELECT COUNT(*) FROM items;"));
             tqDBWin_disconnectDatabase();
             return o;
         },
         oneOf({show(G, 0, "")})},
        {"tqDBWin_processSQLW",
         [] {
             attach(sourceDb());
             const int status = armed([] { return tqDBWin_processSQLW(u"UPDATE items SET amount = amount * 1 WHERE id > 2;"); });
             return show(status, rows("SELECT * FROM items;"));
         },
         oneOf({show(G, kItems)})},
        {"tqDBWin_describeDatabaseW",
         [] {
             attach(sourceDb());
             tqWChar** names = nullptr;
             int count = -1;
             const int ok = armed([&] { return tqDBWin_describeDatabaseW(&names, &count); });
             std::string all;
             for (int i = 0; ok && i < count; ++i) all += wideText(names[i]) + ",";
             if (ok) tqDBWin_freeStringsArrayW(names, count);
             return show(ok, count, all);
         },
         oneOf({show(0, -1, "")})},
        {"tqDBWin_findTableW",
         [] {
             attach(sourceDb());
             return show(armed([] { return tqDBWin_findTableW(u"ITEMS"); }));
         },
         oneOf({"0"})},
        {"tqDBWin_describeTableA",
         [] {
             attach(sourceDb());
             SQLDADescriptor d{};
             const int status = armed([&] { return tqDBWin_describeTableA(&d, "items"); });
             std::string all;
             for (int i = 0; status == 0 && i < d.count; ++i)
                 all += std::string(static_cast<char*>(d.names[i])) + "=" + (d.values[i] ? static_cast<char*>(d.values[i]) : "NULL") + ",";
             tqDBWin_freeSQLDADescriptorA(&d);  // a failed description may hold what it filled
             return show(status, all);
         },
         [](const Outcome& o) { return o == show(G, "") || fieldsOrNull(o, show(0, "id=1,label=bolt,amount=0.5,")); }},
        {"tqDBWin_openCursorWithIDW + fetchRowByIDW",
         [] {
             attach(sourceDb());
             std::string all;
             uint16_t id = 0;
             if (armed([&] { return tqDBWin_openCursorWithIDW(&id, u"SELECT label, amount FROM items ORDER BY id;"); })) {
                 SQLDADescriptor d{};
                 while (armed([&] { return tqDBWin_fetchRowByIDW(&d, id); }))
                     all += wideText(d.values[0]) + "|" + wideText(d.values[1]) + ";";
                 armed([&] { return tqDBWin_freeSQLDADescriptorW(&d), tqDBWin_closeCursorWithID(id); });
             }
             return show(all, rows("SELECT 1;"));
         },
         // A cursor that does not open, or a fetch that fails, ends the rows early.
         [](const Outcome& o) {
             const std::string full = "bolt|0.5;nut|0.25;washer|0.1;bracket 'L'|2.75;";
             for (std::size_t n = 0; n <= full.size(); ++n)
                 if ((n == 0 || full[n - 1] == ';') && fieldsOrNull(o, show(full.substr(0, n), "1;"))) return true;
             return false;
         }},
        {"tqDBWin_readEntireTable",
         [] {
             attach(sourceDb());
             SQLDADescriptor* array = nullptr;
             int count = -1;
             tqWChar msg[512] = {0};
             const int status = armed([&] { return tqDBWin_readEntireTable(u"items", &array, &count, msg); });
             const Outcome o = table(status, array, count, msg);
             tqDBWin_freeEntireTable(&array, count);  // also after a failure, which can hand out its array
             return o;
         },
         // Out of memory, a row that could not be fetched (with its message), or a catalog
         // lookup or count that failed and so read as a missing or empty table.
         [](const Outcome& o) {
             return startsWith(o, show(G)) || o.find("msg:ERROR: Couldn't fetch row") != std::string::npos ||
                    o == show(0, 0) + "|" || fieldsOrNull(o, "0|4|1,bolt,0.5,2,nut,0.25,3,washer,0.1,4,bracket 'L',2.75,");
         }},
        {"tqDBWin_writeEntireTable",
         [] {
             attach(sourceDb());
             SQLDADescriptor* array = nullptr;
             int count = 0;
             tqWChar msg[512] = {0};
             tqDBWin_readEntireTable(u"items", &array, &count, msg);
             tqDBWin_processSQLA("DROP TABLE IF EXISTS written;");
             const int status = armed([&] { return tqDBWin_writeEntireTable(u"written", array, count, msg); });
             tqDBWin_freeEntireTable(&array, count);
             return show(status, rows("SELECT * FROM written ORDER BY rowid;"));
         },
         // Stops at the failure; the rows written before it stay.
         [](const Outcome& o) { return leadingRows(o, G, kItems) || o == show(G, "(no cursor)"); }},
        {"tqDBWin_copyTableExtW (between files)",
         [] {
             tqDBWin_disconnectDatabase();
             tqWChar msg[512] = {0};
             const std::u16string from = w(sourceDb()), to = w(destDb());
             const int status =
                 armed([&] { return tqDBWin_copyTableExtW(from.c_str(), u"items", to.c_str(), u"copied", msg); });
             attach(destDb());
             const Outcome o = show(status, rows("SELECT * FROM copied ORDER BY rowid;"));
             tqDBWin_processSQLA("DROP TABLE IF EXISTS copied;");
             return o;
         },
         // A failure, or (status 0) what the read delivered: a source table that the failed
         // catalog lookup reported missing, one that the failed count reported empty, or
         // rows up to the one that could not be fetched.
         [](const Outcome& o) { return !startsWith(o, "0|") || o == show(0, "(no cursor)") || leadingRows(o, 0, kItems, ""); }},
        {"tqDBWin_copyTable (within one file)",
         [] {
             attach(sourceDb());
             tqDBWin_processSQLA("DROP TABLE IF EXISTS twin;");
             char msg[768] = "";
             const int status = armed([&] { return tqDBWin_copyTable("twin", "items", msg); });
             return show(status, rows("SELECT * FROM twin ORDER BY rowid;"));
         },
         // A failure, or a source that the failed count reported empty.
         [](const Outcome& o) { return !startsWith(o, "0|") || o == show(0, ""); }},
        {"tqDBWin_createTableW + dropTableW",
         [] {
             attach(sourceDb());
             tqDBWin_processSQLA("DROP TABLE IF EXISTS shaped;");
             tqWChar msg[512] = {0};
             const int created = armed([&] { return tqDBWin_createTableW(u"shaped", u"items", msg); });
             const int found = tqDBWin_findTableA("shaped");
             const int dropped = found ? armed([&] { return tqDBWin_dropTableW(u"shaped", msg); }) : -99;
             return show(created, found, dropped, tqDBWin_findTableA("shaped"));
         },
         [](const Outcome& o) { return o == show(G, 0, -99, 0) || o == show(0, 1, G, 1); }},
        {"column lists and values (tqDBUtils_)",
         [] {
             attach(sourceDb());
             SQLDADescriptor d{};
             tqDBWin_describeTableW(&d, u"items");
             char* names = nullptr;
             tqWChar* values = nullptr;
             tqWChar label[64] = u"#";
             int status = 0;
             armed([&] {
                 names = tqDBUtils_getColumnNamesList(&d);
                 values = tqDBUtils_getColumnValuesListW(&d);
                 return status = tqDBUtils_getSqlColumnStringW(&d, u"LABEL", label);
             });
             const Outcome o = show(names, values, status, label);
             tqDBUtils_freeList(&names);
             tqDBUtils_freeList(&values);
             tqDBWin_freeSQLDADescriptorW(&d);
             return o;
         },
         // A list that cannot be built is NULL.
         [](const Outcome& o) { return startsWith(o, "NULL|") || o.find("|NULL|") != std::string::npos; }},
        {"tqDBUtils_convertStringW",
         [] {
             tqWChar text[128] = u"it's a 'quoted'\ntext";
             const int status = armed([&] { return tqDBUtils_convertStringW(text, text); });
             return show(status, text);
         },
         oneOf({show(0, u"it's a 'quoted'\ntext")})},
        {"tqDBUtils_getNumTableRowsW",
         [] {
             attach(sourceDb());
             return show(armed([] { return tqDBUtils_getNumTableRowsW(u"items"); }), rows("SELECT 1;"));
         },
         oneOf({show(-1, "1;")})},
    });
    tqDBWin_disconnectDatabase();
}

}  // namespace
