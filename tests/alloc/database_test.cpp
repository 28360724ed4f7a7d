// The database family under failing allocations, on SQLite database files. Every run
// attaches afresh outside its window, so each starts from the same state.
#include <cstring>

#include "alloc/failpoint.hpp"
#include "database/connection.hpp"  // src/: the error table, emptied before the leak count
#include "database/db_fixture.hpp"

namespace {

using namespace failpoint;
constexpr int G = TQDB_GENERIC_ERROR;

// A wide text as ASCII, NULL as "NULL".
std::string text(const void* p) {
    const auto* w = static_cast<const tqWChar*>(p);
    return w ? std::string(w, w + std::char_traits<tqWChar>::length(w)) : "NULL";
}

// Rows as "a,b,c;" each.
std::string body(const SQLDADescriptor* rows, int count) {
    std::string out;
    for (int r = 0; rows && r < count; ++r, out += ";")
        for (int i = 0; i < rows[r].count; ++i) out += (i ? "," : "") + text(rows[r].values[i]);
    return out;
}

// The rows of a table, read outside any window (a missing table reads as empty).
std::string rows(const tqWChar* name) {
    SQLDADescriptor* array = nullptr;
    int count = 0;
    tqWChar msg[512] = {0};
    tqDBWin_readEntireTable(name, &array, &count, msg);
    const std::string out = body(array, count);
    return tqDBWin_freeEntireTable(&array, count), out;
}

// `o` is `full` with any of its fields (between ,;|=) read as `lost`: a value that could not
// be copied stays NULL in its row, which still arrives.
bool fieldsOrNull(const Outcome& o, const std::string& full, const std::string& lost = "NULL") {
    const auto fields = [](const std::string& s) {
        std::vector<std::string> out(1);
        for (char c : s) {
            if (std::strchr(",;|=", c)) out.emplace_back(1, c), out.emplace_back();
            else out.back() += c;
        }
        return out;
    };
    const auto a = fields(o), b = fields(full);
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [&](auto& x, auto& y) { return x == y || x == lost; });
}

// `status` with the leading whole rows of `rows`, fields possibly `lost`.
bool leadingRows(const Outcome& o, int status, const std::string& rows, const std::string& lost = "NULL") {
    for (std::size_t n = 0; n <= rows.size(); ++n)
        if ((n == 0 || rows[n - 1] == ';') && fieldsOrNull(o, show(status) + "|" + rows.substr(0, n), lost)) return true;
    return false;
}

std::u16string connect(const char* file) {
    const std::string s = dbtest::sqliteConnect(file) + "SyncPragma=OFF;";  // the sweep runs thousands of statements
    return {s.begin(), s.end()};
}
const std::u16string kSource = connect("alloc-source.db"), kDest = connect("alloc-dest.db");

// Runs `body` attached to the source file.
template <class F>
std::function<Outcome()> attached(F body) {
    return [=] { return tqDBWin_attachDatabaseW(kSource.c_str()) ? "not attached" : body(); };
}

const char* const kItems = "1,bolt,0.5;2,nut,0.25;3,washer,0.1;4,bracket 'L',2.75;";

TEST(AllocationFailure, Database) {
    ASSERT_EQ(tqDBWin_attachDatabaseW(kSource.c_str()), 0);
    ASSERT_EQ(tqDBWin_processSQLA("CREATE TABLE items (id INTEGER, label VARCHAR(20), amount REAL);"), 0);
    ASSERT_EQ(tqDBWin_processSQLA("INSERT INTO items VALUES (1, 'bolt', 0.5), (2, 'nut', 0.25), (3, 'washer', 0.1), "
                                  "(4, 'bracket ''L''', 2.75);"),
              0);
    ASSERT_EQ(rows(u"items"), kItems);
    tqDBWin_disconnectDatabase();

    sweepFamily("database", {
        {"tqDBWin_attachDatabaseW",
         [] {
             tqDBWin_disconnectDatabase();
             const int status = armed([] { return tqDBWin_attachDatabaseW(kSource.c_str()); });
             return show(status, tqDBWin_isConnected(), status ? "" : rows(u"items"));
         },
         oneOf({show(G, 0, "")})},
        {"tqDBWin_processSQLW", attached([] {
             const int status = armed([] { return tqDBWin_processSQLW(u"UPDATE items SET amount = amount * 1 WHERE id > 2;"); });
             return show(status) + "|" + rows(u"items");
         }),
         oneOf({show(G) + "|" + kItems})},
        {"tqDBWin_describeDatabaseW", attached([] {
             tqWChar** names = nullptr;
             int count = -1;
             const int ok = armed([&] { return tqDBWin_describeDatabaseW(&names, &count); });
             const Outcome o = show(ok, count, ok ? text(names[0]) : "");
             if (ok) tqDBWin_freeStringsArrayW(names, count);
             return o;
         }),
         oneOf({show(0, -1, "")})},
        {"tqDBWin_describeTableA", attached([] {
             SQLDADescriptor d{};
             const int status = armed([&] { return tqDBWin_describeTableA(&d, "items"); });
             std::string all;
             for (int i = 0; status == 0 && i < d.count; ++i)
                 all += std::string(static_cast<char*>(d.names[i])) + "=" + (d.values[i] ? static_cast<char*>(d.values[i]) : "NULL") + ",";
             tqDBWin_freeSQLDADescriptorA(&d);  // a failed description may hold what it filled
             return show(status) + "|" + all;
         }),
         [](const Outcome& o) { return o == show(G) + "|" || fieldsOrNull(o, "0|id=1,label=bolt,amount=0.5,"); }},
        // A cursor that does not open, or a fetch that fails, ends the rows early.
        {"tqDBWin_openCursorWithIDW + fetchRowByIDW", attached([] {
             std::string all;
             uint16_t id = 0;
             if (armed([&] { return tqDBWin_openCursorWithIDW(&id, u"SELECT * FROM items ORDER BY id;"); })) {
                 SQLDADescriptor d{};
                 while (armed([&] { return tqDBWin_fetchRowByIDW(&d, id); }))
                     all += text(d.values[0]) + "," + text(d.values[1]) + "," + text(d.values[2]) + ";";
                 armed([&] { return tqDBWin_freeSQLDADescriptorW(&d), tqDBWin_closeCursorWithID(id); });
             }
             return show(0) + "|" + all;
         }),
         [](const Outcome& o) { return leadingRows(o, 0, kItems); }},
        // Out of memory, a row that could not be fetched (with its message), or a
        // catalog lookup or count that failed and so read as a missing or empty table.
        {"tqDBWin_readEntireTable", attached([] {
             SQLDADescriptor* array = nullptr;
             int count = -1;
             tqWChar msg[512] = {0};
             const int status = armed([&] { return tqDBWin_readEntireTable(u"items", &array, &count, msg); });
             const Outcome o = show(status, count) + "|" + body(array, count) + "|" + text(msg).substr(0, 40);
             return tqDBWin_freeEntireTable(&array, count), o;  // also after a failure, which can hand out its array
         }),
         [](const Outcome& o) {
             return o.rfind(show(G), 0) == 0 || o.find("|ERROR: Couldn't fetch row") != std::string::npos ||
                    o == "0|0||" || fieldsOrNull(o, std::string("0|4|") + kItems + "|");
         }},
        // Stops at the failure; the rows written before it stay.
        {"tqDBWin_writeEntireTable", attached([] {
             SQLDADescriptor* array = nullptr;
             int count = 0;
             tqWChar msg[512] = {0};
             tqDBWin_readEntireTable(u"items", &array, &count, msg);
             tqDBWin_processSQLA("DROP TABLE IF EXISTS written;");
             const int status = armed([&] { return tqDBWin_writeEntireTable(u"written", array, count, msg); });
             tqDBWin_freeEntireTable(&array, count);
             return show(status) + "|" + rows(u"written");
         }),
         [](const Outcome& o) { return leadingRows(o, G, kItems); }},
        // A failure, or (status 0) what the read delivered: a source table that the failed
        // catalog lookup reported missing, one that the failed count reported empty, or
        // rows up to the one that could not be fetched.
        {"tqDBWin_copyTableExtW (between files)",
         [] {
             tqWChar msg[512] = {0};
             const int status = armed([&] { return tqDBWin_copyTableExtW(kSource.c_str(), u"items", kDest.c_str(), u"copied", msg); });
             tqDBWin_attachDatabaseW(kDest.c_str());
             const Outcome o = show(status) + "|" + rows(u"copied");
             return tqDBWin_processSQLA("DROP TABLE IF EXISTS copied;"), o;
         },
         [](const Outcome& o) { return o.rfind("0|", 0) != 0 || leadingRows(o, 0, kItems, ""); }},
        // A failure, or a source that the failed count reported empty.
        {"tqDBWin_copyTable (within one file)", attached([] {
             tqDBWin_processSQLA("DROP TABLE IF EXISTS twin;");
             char msg[768] = "";
             const int status = armed([&] { return tqDBWin_copyTable("twin", "items", msg); });
             return show(status) + "|" + rows(u"twin");
         }),
         [](const Outcome& o) { return o.rfind("0|", 0) != 0 || o == "0|"; }},
        {"tqDBWin_createTableW + dropTableW", attached([] {
             tqDBWin_processSQLA("DROP TABLE IF EXISTS shaped;");
             tqWChar msg[512] = {0};
             const int created = armed([&] { return tqDBWin_createTableW(u"shaped", u"items", msg); });
             const int found = tqDBWin_findTableA("shaped");
             const int dropped = found ? armed([&] { return tqDBWin_dropTableW(u"shaped", msg); }) : -99;
             return show(created, found, dropped, tqDBWin_findTableA("shaped"));
         }),
         oneOf({show(G, 0, -99, 0), show(0, 1, G, 1)})},
        // A list that cannot be built is NULL.
        {"column lists and values (tqDBUtils_)", attached([] {
             SQLDADescriptor d{};
             tqDBWin_describeTableW(&d, u"items");
             char* names = nullptr;
             tqWChar* values = nullptr;
             tqWChar label[64] = u"#";
             const int status = armed([&] {
                 names = tqDBUtils_getColumnNamesList(&d);
                 values = tqDBUtils_getColumnValuesListW(&d);
                 return tqDBUtils_getSqlColumnStringW(&d, u"LABEL", label);
             });
             const Outcome o = show(names, values, status, label);
             tqDBUtils_freeList(&names), tqDBUtils_freeList(&values);
             return tqDBWin_freeSQLDADescriptorW(&d), o;
         }),
         [](const Outcome& o) { return o.rfind("NULL|", 0) == 0 || o.find("|NULL|") != std::string::npos; }},
        {"tqDBUtils_convertStringW", edit(u"it's a 'quoted'\ntext", [](tqWChar* t) { return tqDBUtils_convertStringW(t, t); }),
         oneOf({show(0, "it's a 'quoted'\ntext")})},
        {"tqDBUtils_getNumTableRowsW", attached(result([] { return tqDBUtils_getNumTableRowsW(u"items"); })),
         oneOf({"-1"})},
    },
    [] { orvane::db::connection().errorTexts.clear(); });  // one text per status seen: not a leak
    tqDBWin_disconnectDatabase();
}

}  // namespace
