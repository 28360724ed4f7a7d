// Whole tables: read into an array of row descriptors, write such an array back, copy within
// one data source or between two, create a table like another and drop one. Everything goes
// through the exported catalog, cursor and statement functions, so a table function behaves
// exactly as the host would see those calls behave one by one; only the rows of a read are
// taken from the cursor here (CursorRows), with the effect of tqDBWin_fetchRowByIDW but
// without redescribing every column of every row.
#include <algorithm>
#include <cstdint>
#include <cwchar>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "database/connection.hpp"
#include "frame/boundary.hpp"

namespace orvane::db {

namespace {

using WString = std::u16string;

// Runs `f` when the scope ends, however it ends: what a table function holds (a cursor,
// a descriptor, a read array) is given back also when building a message runs out of memory.
template <class F>
struct Finally {
    F f;
    ~Finally() { f(); }
};
template <class F>
Finally(F) -> Finally<F>;

WString wtext(const tqWChar* s) { return s ? WString(s) : WString(); }

WString wlit(const char* s) {
    WString out;
    for (; *s; ++s) out += static_cast<char16_t>(static_cast<unsigned char>(*s));
    return out;
}

// The standard text-to-integer reading: leading blanks, a sign, the digits up to the first
// other character, 0 when there are none. Saturates instead of overflowing.
template <class C>
long long leadingInteger(const C* s) {
    if (!s) return 0;
    auto space = [](C c) { return c == C(' ') || (c >= C('\t') && c <= C('\r')); };
    while (space(*s)) ++s;
    bool negative = false;
    if (*s == C('+') || *s == C('-')) negative = *s++ == C('-');
    long long value = 0;
    for (; *s >= C('0') && *s <= C('9'); ++s) {
        if (value < (1LL << 40)) value = value * 10 + (*s - C('0'));
    }
    return negative ? -value : value;
}

// The cursor functions of one text width.
int openCursor(std::uint16_t* id, const tqWChar* sql) { return tqDBWin_openCursorWithIDW(id, sql); }
int openCursor(std::uint16_t* id, const char* sql) { return tqDBWin_openCursorWithIDA(id, sql); }
int fetchRow(SQLDADescriptor* d, std::uint16_t id, tqWChar) { return tqDBWin_fetchRowByIDW(d, id); }
int fetchRow(SQLDADescriptor* d, std::uint16_t id, char) { return tqDBWin_fetchRowByIDA(d, id); }
void freeRow(SQLDADescriptor* d, tqWChar) { tqDBWin_freeSQLDADescriptorW(d); }
void freeRow(SQLDADescriptor* d, char) { tqDBWin_freeSQLDADescriptorA(d); }

// Rows of `table` as the first column of "SELECT COUNT (*) FROM %s;" reads; 0 when the
// cursor does not open or delivers no row. Needs one free cursor slot.
template <class C>
long long countRows(const std::basic_string<C>& table) {
    std::basic_string<C> sql;
    for (const char* p = "SELECT COUNT (*) FROM "; *p; ++p) sql += static_cast<C>(*p);
    sql += table;
    sql += C(';');
    std::uint16_t id = 0;
    long long count = 0;
    if (openCursor(&id, sql.c_str())) {
        SQLDADescriptor d{};
        if (fetchRow(&d, id, C()) && d.count > 0 && d.values) count = leadingInteger(static_cast<const C*>(d.values[0]));
        freeRow(&d, C());
        tqDBWin_closeCursorWithID(id);
    }
    return count;
}

// A text that every codeset the library can run under maps unit for unit to 16 bits:
// plain ASCII without the shift and escape bytes of stateful codesets.
inline bool plain(unsigned c) { return c != 0 && c < 0x80 && c != 0x0E && c != 0x0F && c != 0x1B; }

// A heap copy of `n` bytes of driver text as 16-bit text, as widen() converts it; plain text
// is copied unit for unit without asking the locale about each character.
tqWChar* wideCopy(const char* s, std::size_t n) {
    std::size_t i = 0;
    while (i < n && plain(static_cast<unsigned char>(s[i]))) ++i;
    if (i < n) return heapCopy(widen(std::string(s, n)));
    auto* out = static_cast<tqWChar*>(std::malloc((n + 1) * sizeof(tqWChar)));
    if (!out) throw std::bad_alloc();
    for (i = 0; i < n; ++i) out[i] = static_cast<unsigned char>(s[i]);
    out[n] = 0;
    return out;
}

// The rows of an open cursor, each delivered into a zeroed descriptor with the effect of
// tqDBWin_fetchRowByIDW: the same ODBC reads, results and recorded failures. The column
// description cannot change within one result set, so it is asked for once instead of
// per row, and values go from the driver's buffer straight into their 16-bit copies.
class CursorRows {
public:
    explicit CursorRows(std::uint16_t id) : id_(id) {}

    // 1 when a row was delivered into `d`, else 0 (no such cursor, at its end, or failed).
    int fetch(SQLDADescriptor& d) {
        ResultSet* rs = cursorWithRow(id_);
        if (!rs) return 0;
        return recorded(0, 0, [&] {
            if (!described_) describe(rs);
            if (columns_.empty()) return 0;  // a result without columns fills nothing
            fill(d, rs);
            rs->moveNext();
            return 1;
        });
    }

private:
    struct Column {
        SQLSMALLINT type = 0, digits = 0, nullable = 0;
        SQLULEN size = 0;
    };

    void describe(ResultSet* rs) {
        const SQLHDBC dbc = connection().hdbc;
        const SQLHSTMT st = rs->handle();
        SQLSMALLINT count = 0;
        check(SQLNumResultCols(st, &count), dbc, st);
        std::vector<Column> columns(count > 0 ? static_cast<std::size_t>(count) : 0);
        std::vector<std::u16string> names;
        for (SQLSMALLINT i = 0; i < count; ++i) {
            Column& col = columns[static_cast<std::size_t>(i)];
            const SQLUSMALLINT n = static_cast<SQLUSMALLINT>(i + 1);
            SQLCHAR name[256];
            SQLSMALLINT length = 0;
            const SQLRETURN rc =
                check(SQLDescribeCol(st, n, name, sizeof name, &length, &col.type, &col.size, &col.digits, &col.nullable),
                      dbc, st);
            std::string text(reinterpret_cast<const char*>(name), strnlen(reinterpret_cast<const char*>(name), sizeof name));
            if (rc == SQL_SUCCESS_WITH_INFO && length >= SQLSMALLINT(sizeof name)) {
                std::string longName(static_cast<std::size_t>(length) + 1, '\0');
                check(SQLDescribeCol(st, n, reinterpret_cast<SQLCHAR*>(longName.data()),
                                     static_cast<SQLSMALLINT>(longName.size()), &length, nullptr, nullptr, nullptr,
                                     nullptr),
                      dbc, st);
                text.assign(longName.c_str());
            }
            names.push_back(widen(text));
        }
        columns_ = std::move(columns);
        names_ = std::move(names);
        described_ = true;
    }

    // Column `n` of the current row as a 16-bit heap text; SQL NULL reads as "". Long
    // values arrive in pieces (01004) and are gathered first.
    tqWChar* value(SQLHSTMT st, SQLUSMALLINT n) {
        const SQLHDBC dbc = connection().hdbc;
        bool gathering = false;
        // Drivers may pad the whole buffer they are given, so a value's first piece is
        // asked for in a short one; the rest of a long value comes in full-size pieces.
        SQLLEN size = kFirstPiece;
        for (;;) {
            SQLLEN indicator = 0;
            SQLRETURN rc;
            while ((rc = SQLGetData(st, n, SQL_C_CHAR, buf_, size, &indicator)) == SQL_STILL_EXECUTING) {
            }
            if (rc == SQL_NO_DATA) break;
            check(rc, dbc, st);
            if (indicator == SQL_NULL_DATA) break;
            const bool more = rc == SQL_SUCCESS_WITH_INFO && (indicator == SQL_NO_TOTAL || indicator >= size);
            const std::size_t got = strnlen(buf_, static_cast<std::size_t>(size) - 1);
            size = sizeof buf_;
            if (!gathering && !more) return wideCopy(buf_, got);
            if (!gathering) long_.clear();
            gathering = true;
            long_.append(buf_, got);
            if (!more) break;
        }
        return gathering ? wideCopy(long_.data(), long_.size()) : wideCopy("", 0);
    }

    void fill(SQLDADescriptor& d, ResultSet* rs) {
        const std::size_t n = columns_.size();
        allocateRow(d, n, names_.data());
        const SQLHSTMT st = rs->handle();
        for (std::size_t i = 0; i < n; ++i) {
            // A value that cannot be read stays NULL; the row still arrives.
            d.values[i] = recorded<void*>(nullptr, kGenericError,
                                          [&] { return value(st, static_cast<SQLUSMALLINT>(i + 1)); });
            const Column& col = columns_[i];
            d.types[i] = col.type;
            d.scales[i] = col.digits;
            d.sizes[i] = static_cast<std::int16_t>(static_cast<std::uint16_t>(col.size & 0xFFFF));
            d.nullable[i] = col.nullable;
        }
    }

    std::uint16_t id_;
    bool described_ = false;
    std::vector<Column> columns_;
    std::vector<std::u16string> names_;
    std::string long_;
    static constexpr SQLLEN kFirstPiece = 256;
    char buf_[4096];
};

// Pieces of an INSERT statement in 8-bit text, each exactly as narrow() would give it
// (the statement goes to tqDBWin_processSQLA, as tqDBWin_processSQLW would narrow it).
void appendPiece(std::string& out, const tqWChar* s) {
    const std::size_t start = out.size();
    const std::size_t n = std::char_traits<tqWChar>::length(s);
    out.resize(start + n);
    char* d = out.data() + start;
    for (std::size_t i = 0; i < n; ++i) {
        if (!plain(s[i])) {
            out.resize(start);
            out += narrow(s);
            return;
        }
        d[i] = static_cast<char>(s[i]);
    }
}

void appendPiece(WString& out, const tqWChar* s) { out += s; }

// `value` inside quotes with line feeds removed and each quote doubled, as
// tqDBWin_escapeStringW writes it.
void appendQuoted(WString& out, const tqWChar* value) {
    out += u'\'';
    for (const tqWChar* p = value; *p; ++p) {
        if (*p == u'\n') continue;
        out += *p;
        if (*p == u'\'') out += u'\'';
    }
    out += u'\'';
}

void appendQuoted(std::string& out, const tqWChar* value) {
    const tqWChar* p = value;
    while (plain(*p)) ++p;
    if (*p) {
        WString quoted;
        appendQuoted(quoted, value);
        out += narrow(quoted.c_str());
        return;
    }
    out += '\'';
    for (p = value; *p; ++p) {
        if (*p == u'\n') continue;
        out += static_cast<char>(*p);
        if (*p == u'\'') out += '\'';
    }
    out += '\'';
}

// "INSERT INTO %s (%s) VALUES (%s);" for one row into `sql`; false when the row has no
// value to write (all empty or missing), which is then skipped.
template <class S>
bool insertStatement(S& sql, const S& head, const SQLDADescriptor& d, S& columns, S& values) {
    columns.clear();
    values.clear();
    for (int i = 0; i < d.count && d.values; ++i) {
        const tqWChar* value = static_cast<const tqWChar*>(d.values[i]);
        if (!value || !*value) continue;  // the database applies its default
        if (!columns.empty()) {
            appendPiece(columns, u", ");
            appendPiece(values, u", ");
        }
        if (d.names && d.names[i]) appendPiece(columns, static_cast<const tqWChar*>(d.names[i]));
        const int type = d.types ? d.types[i] : 0;
        if (type == 1 || type == 12) {
            appendQuoted(values, value);
        } else {
            appendPiece(values, value);
        }
    }
    if (columns.empty() || values.empty()) return false;
    sql.assign(head).append(columns);
    appendPiece(sql, u") VALUES (");
    sql.append(values);
    appendPiece(sql, u");");
    return true;
}

void message(tqWChar* dest, const WString& heading, const WString* sql, int status) {
    if (dest) tqDBWin_getSQLErrorTextW(dest, heading.c_str(), sql ? sql->c_str() : nullptr, status);
}

int readEntireTable(const tqWChar* tableName, SQLDADescriptor** rows, int* count, tqWChar* msg) {
    if (!tableName || !rows || !count) return 0;
    *count = 0;
    if (!tqDBWin_findTableW(tableName)) return 0;
    const WString table = tableName;
    const long long counted = countRows(table);
    int status = 0;
    SQLDADescriptor* array = nullptr;
    if (counted == 0) {
        // An empty table travels as one descriptor holding the column description.
        array = static_cast<SQLDADescriptor*>(std::calloc(1, sizeof(SQLDADescriptor)));
        *rows = array;
        if (array) status = tqDBWin_describeTableW(array, tableName);
    } else {
        // A count that no array can hold (or a driver answering a negative one) is
        // reported as the allocation failure it would be.
        const int n = counted > 0 && counted <= 0x7FFFFFFF ? static_cast<int>(counted) : 0;
        *count = n;
        array = n > 0 ? static_cast<SQLDADescriptor*>(std::calloc(static_cast<std::size_t>(n), sizeof(SQLDADescriptor)))
                      : nullptr;
        *rows = array;
        if (array) {
            const WString sql = u"SELECT * FROM " + table + u";";
            std::uint16_t id = 0;
            if (!tqDBWin_openCursorWithIDW(&id, sql.c_str())) {
                status = kGenericError;
                message(msg, u"ERROR: Couldn't read from database table '" + table + u"'.", &sql, status);
            } else {
                const Finally closeCursor{[&] { tqDBWin_closeCursorWithID(id); }};
                // Never more rows than counted, however many the table has by now; a row
                // that cannot be fetched (or a table that shrank) ends the read with status
                // 0 and a message, the rest of the array staying zeroed.
                CursorRows cursor(id);
                for (int i = 0; i < n; ++i) {
                    if (!cursor.fetch(array[i])) {
                        char index[16];
                        std::snprintf(index, sizeof index, "%d", i);
                        message(msg,
                                u"ERROR: Couldn't fetch row " + wlit(index) + u" from database table '" + table + u"'.",
                                nullptr, status);
                        break;
                    }
                }
            }
        }
    }
    if (status == 0 && !array) {
        status = kGenericError;
        if (msg) {
            const WString text = u"ERROR: Not enough memory to copy entire database table: '" + table +
                                 u"'\n\nClose some applications and try again.";
            const std::size_t n = std::min<std::size_t>(text.size(), 511);
            text.copy(msg, n);
            msg[n] = 0;
        }
    }
    return status;
}

int freeEntireTable(SQLDADescriptor** rows, int count) {
    if (!rows) return kGenericError;
    SQLDADescriptor* array = *rows;
    if (!array) return 0;
    for (int i = 0; i < count; ++i) tqDBWin_freeSQLDADescriptorW(&array[i]);
    // The empty-table array holds one descriptor beside a count of 0: its texts go too
    // (a descriptor the host released itself is all zero, so this stays harmless).
    if (count == 0) tqDBWin_freeSQLDADescriptorW(&array[0]);
    std::free(array);
    return 0;
}

// One column's type text for a generated CREATE TABLE; empty for a type that has none.
WString typeText(int type, int size, int scale) {
    char text[64];
    text[0] = 0;
    switch (type) {
        case 1: std::snprintf(text, sizeof text, "%s(%d)", "CHAR", size); break;
        case 12: std::snprintf(text, sizeof text, "%s(%d)", "VARCHAR", size); break;
        case 3: std::snprintf(text, sizeof text, "%s(%d,%d)", "DECIMAL", size, scale); break;
        case 2: std::snprintf(text, sizeof text, "%s(%d,%d)", "NUMERIC", size, scale); break;
        case 5: std::snprintf(text, sizeof text, "SMALLINT"); break;
        case 4: std::snprintf(text, sizeof text, "INTEGER"); break;
        case 6: std::snprintf(text, sizeof text, "%s(%d)", "FLOAT", size); break;
        case 7: std::snprintf(text, sizeof text, "REAL"); break;
        case 8: std::snprintf(text, sizeof text, "DOUBLE PRECISION"); break;
        case 9: std::snprintf(text, sizeof text, "DATE"); break;
        case 10: std::snprintf(text, sizeof text, "%s(%d)", "TIME", size); break;
        case 11: std::snprintf(text, sizeof text, "TIMESTAMP"); break;
        case -2: std::snprintf(text, sizeof text, "%s(%d)", "SQL_BINARY", size); break;
        case -3: std::snprintf(text, sizeof text, "%s(%d)", "SQL_VARBINARY", size); break;
        default: break;
    }
    return wlit(text);
}

int createTableFromSqlData(const tqWChar* table, const SQLDADescriptor* d, tqWChar* msg) {
    if (!table || !d) return kGenericError;
    WString sql = u"CREATE TABLE " + WString(table) + u" (";
    bool first = true;
    for (int i = 0; i < d->count; ++i) {
        WString type = typeText(d->types ? d->types[i] : 0, d->sizes ? d->sizes[i] : 0, d->scales ? d->scales[i] : 0);
        if (type.empty()) continue;
        if (d->nullable && d->nullable[i] == 0) type += u" NOT NULL";
        if (!first) sql += u",";
        first = false;
        if (d->names) sql += wtext(static_cast<const tqWChar*>(d->names[i]));
        sql += u" " + type;
    }
    sql += u")";
    const int status = tqDBWin_processSQLW(sql.c_str());
    if (status != 0) message(msg, u"ERROR: Couldn't create the table '" + WString(table) + u"'", &sql, status);
    return status;
}

int writeEntireTable(const tqWChar* tableName, const SQLDADescriptor* rows, int count, tqWChar* msg) {
    if (!tableName || !rows) return 0;
    int status = 0;
    if (!tqDBWin_findTableW(tableName)) {
        status = tqDBWin_createTableFromSqlData(tableName, &rows[0], msg);
        if (status != 0) return status;
    }
    std::string head = "INSERT INTO ";
    appendPiece(head, tableName);
    head += " (";
    std::string columns, values, sql;
    for (int r = 0; r < count; ++r) {
        if (!insertStatement(sql, head, rows[r], columns, values)) continue;
        status = tqDBWin_processSQLA(sql.c_str());
        if (status != 0) {
            if (msg) {
                // The message shows the statement as the host's own wide text.
                const WString table = tableName;
                WString wcolumns, wvalues, wsql;
                insertStatement(wsql, u"INSERT INTO " + table + u" (", rows[r], wcolumns, wvalues);
                message(msg, u"ERROR: Couldn't insert into the table '" + table + u"'", &wsql, status);
            }
            break;
        }
    }
    return status;
}

int createTableW(const tqWChar* table, const tqWChar* like, tqWChar* msg) {
    SQLDADescriptor d{};
    // A failed description may hold what it filled before failing.
    const Finally release{[&] { tqDBWin_freeSQLDADescriptorW(&d); }};
    int status = tqDBWin_describeTableW(&d, like);
    if (status != 0) {
        message(msg, u"ERROR: Couldn't describe table '" + wtext(like) + u"'.", nullptr, status);
    } else {
        status = tqDBWin_createTableFromSqlData(table, &d, msg);
    }
    return status;
}

// Up to 511 characters of an 8-bit name as wide text; NULL stays NULL.
bool toWide(const char* name, WString& out) {
    if (!name) return false;
    out = widen(name);
    if (out.size() > 511) out.resize(511);
    return true;
}

// Cuts multibyte text to at most `limit` bytes without splitting a character.
void cutText(std::string& text, std::size_t limit) {
    if (text.size() <= limit) return;
    std::size_t n = limit;
    std::mbstate_t state{};
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t step = std::mbrlen(text.data() + pos, text.size() - pos, &state);
        if (step == 0 || step > text.size() - pos) {
            state = std::mbstate_t{};
            if (pos + 1 > n) break;
            ++pos;
            continue;
        }
        if (pos + step > n) break;
        pos += step;
    }
    text.resize(pos);
}

int createTableA(const char* table, const char* like, char* msg) {
    WString wTable, wLike;
    const bool hasTable = toWide(table, wTable), hasLike = toWide(like, wLike);
    tqWChar scratch[512];
    scratch[0] = 0;
    const int status =
        tqDBWin_createTableW(hasTable ? wTable.c_str() : nullptr, hasLike ? wLike.c_str() : nullptr, scratch);
    if (status != 0 && msg) {
        std::string text = narrow(scratch);
        cutText(text, 511);
        std::memcpy(msg, text.c_str(), text.size() + 1);
    }
    return status;
}

int copyTable(const char* dest, const char* source, char* msg) {
    if (!dest || !source) return kGenericError;
    int status = 0;
    if (!tqDBWin_findTableA(dest)) {
        status = tqDBWin_createTableA(dest, source, msg);
        if (status != 0) return status;
    }
    if (countRows(std::string(source)) > 0) {
        const std::string sql = "INSERT INTO " + std::string(dest) + " SELECT * FROM " + source;
        status = tqDBWin_processSQLA(sql.c_str());
        if (status != 0 && msg) {
            std::string text = "ERROR: Couldn't insert into table '" + std::string(dest) + "'";
            cutText(text, 511);
            char key[16];
            std::snprintf(key, sizeof key, "%d", status);
            const auto& table = connection().errorTexts;
            const auto it = table.find(key);
            if (it != table.end()) {
                std::string recorded = it->second;
                cutText(recorded, 255);
                text += "\n" + recorded;
            }
            std::memcpy(msg, text.c_str(), text.size() + 1);
        }
    }
    return status;
}

int copyTableExtW(const tqWChar* sourceConnect, const tqWChar* sourceTable, const tqWChar* destConnect,
                  const tqWChar* destTable, tqWChar* msg) {
    if (!destTable) return kGenericError;
    int status = tqDBWin_attachDatabaseW(sourceConnect);
    if (status != 0) {
        message(msg, u"ERROR: Could not attach source database '" + wtext(sourceConnect) + u"'", nullptr, status);
        return status;
    }
    SQLDADescriptor* rows = nullptr;
    int count = 0;
    // A failed read can still have handed out its array.
    const Finally release{[&] { tqDBWin_freeEntireTable(&rows, count); }};
    status = tqDBWin_readEntireTable(sourceTable, &rows, &count, msg);
    if (status != 0) return status;
    status = tqDBWin_attachDatabaseW(destConnect);
    if (status != 0) {
        message(msg, u"ERROR: Could not attach destination database '" + wtext(destConnect) + u"'", nullptr, status);
    } else {
        // Replaced, not merged: a missing source leaves no destination table at all.
        if (tqDBWin_findTableW(destTable)) status = tqDBWin_dropTableW(destTable, msg);
        if (status == 0) status = tqDBWin_writeEntireTable(destTable, rows, count, msg);
    }
    return status;
}

int dropTable(const tqWChar* table, tqWChar* msg) {
    if (!table) return kGenericError;
    const WString name = table;
    const int status = tqDBWin_processSQLW((u"DROP TABLE " + name + u";").c_str());
    if (status != 0) message(msg, u"ERROR: Couldn't drop table '" + name + u"'", nullptr, status);
    return status;
}

}  // namespace

}  // namespace orvane::db

using namespace orvane::db;

extern "C" {

int tqDBWin_readEntireTable(const tqWChar* table, SQLDADescriptor** rows, int* count, tqWChar* msg) noexcept {
    return orvane::guarded(kGenericError, [&] { return readEntireTable(table, rows, count, msg); });
}

int tqDBWin_freeEntireTable(SQLDADescriptor** rows, int count) noexcept {
    return orvane::guarded(kGenericError, [&] { return freeEntireTable(rows, count); });
}

int tqDBWin_writeEntireTable(const tqWChar* table, const SQLDADescriptor* rows, int count, tqWChar* msg) noexcept {
    return orvane::guarded(kGenericError, [&] { return writeEntireTable(table, rows, count, msg); });
}

int tqDBWin_copyTable(const char* dest, const char* source, char* msg) noexcept {
    return orvane::guarded(kGenericError, [&] { return copyTable(dest, source, msg); });
}

int tqDBWin_copyTableExtW(const tqWChar* sourceConnect, const tqWChar* sourceTable, const tqWChar* destConnect,
                          const tqWChar* destTable, tqWChar* msg) noexcept {
    return orvane::guarded(kGenericError,
                           [&] { return copyTableExtW(sourceConnect, sourceTable, destConnect, destTable, msg); });
}

int tqDBWin_createTableW(const tqWChar* table, const tqWChar* like, tqWChar* msg) noexcept {
    return orvane::guarded(kGenericError, [&] { return createTableW(table, like, msg); });
}

int tqDBWin_createTableA(const char* table, const char* like, char* msg) noexcept {
    return orvane::guarded(kGenericError, [&] { return createTableA(table, like, msg); });
}

int tqDBWin_createTableFromSqlData(const tqWChar* table, const SQLDADescriptor* desc, tqWChar* msg) noexcept {
    return orvane::guarded(kGenericError, [&] { return createTableFromSqlData(table, desc, msg); });
}

int tqDBWin_dropTableW(const tqWChar* table, tqWChar* msg) noexcept {
    return orvane::guarded(kGenericError, [&] { return dropTable(table, msg); });
}

}  // extern "C"
