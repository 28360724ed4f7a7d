// The one process-wide ODBC connection of the database family, its error table and the
// result sets that the catalog, cursor and table functions open on it.
#pragma once

#include <sql.h>
#include <sqlext.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "frame/wide_text.hpp"
#include "orvane.h"

namespace orvane::db {

constexpr int kGenericError = TQDB_GENERIC_ERROR;

// A failed ODBC call: its return code and, for SQL_ERROR, the driver's diagnostics in
// the recorded-text layout. Thrown inside the family and caught at every export.
struct OdbcFailure {
    SQLRETURN rc;
    std::string text;
};

// Throws OdbcFailure unless rc is SQL_SUCCESS, SQL_SUCCESS_WITH_INFO or SQL_NO_DATA;
// the diagnostics are read from the given handles before anything can clear them.
SQLRETURN check(SQLRETURN rc, SQLHDBC dbc, SQLHSTMT stmt = SQL_NULL_HSTMT);

// Records a failure in the error table and returns its status number.
int recordDbError(const OdbcFailure& failure);
int recordOtherError(const char* message, int status);

// Runs `body`; what it throws (an ODBC failure, or any other error such as running out of
// memory, recorded with `otherStatus`) becomes the last error and `fallback` the result.
template <class R, class F>
R recorded(R fallback, int otherStatus, F&& body) {
    try {
        return body();
    } catch (const OdbcFailure& f) {
        recordDbError(f);
    } catch (const std::exception& e) {
        recordOtherError(e.what(), otherStatus);
    }
    return fallback;
}

class ResultSet;

struct Connection {
    SQLHDBC hdbc = SQL_NULL_HDBC;
    std::string completedConnectString;
    std::string attachString;
    std::map<std::string, std::string> errorTexts;
    // Every result set open on the connection, so that a disconnect can close them.
    // Declared before `cursors`: the cursors unregister themselves when destroyed.
    std::vector<ResultSet*> openSets;
    std::map<std::uint16_t, std::unique_ptr<ResultSet>> cursors;
    std::uint16_t nextCursorId = 1;
    std::uint16_t lastCursorId = 1;
    std::int32_t loginTimeout = 15;
    std::int32_t queryTimeout = 15;
    // The statement handle of the last statement executed without a result set to keep,
    // closed and kept for the next one: allocating and dropping one per statement cost
    // more than SQLite's parse of a short INSERT.
    SQLHSTMT spareStmt = SQL_NULL_HSTMT;
    // What the driver said it can do; steers how result sets are opened.
    bool readOnlySource = false;
    SQLUINTEGER getDataExtensions = 0;

    Connection() = default;
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    ~Connection();
};

Connection& connection();

// Entering a result set in the connection's list and taking it out again (under the
// environment lock).
void registerResultSet(ResultSet* rs);
void unregisterResultSet(ResultSet* rs) noexcept;

// Closes all result sets, disconnects and frees the connection handle; failures are
// recorded, never thrown.
void disconnect() noexcept;

// A result set read forward one row at a time, with a current row after opening.
class ResultSet {
public:
    // A static snapshot of a SELECT (SQLPrepare + SQLExecute), first row fetched.
    static std::unique_ptr<ResultSet> query(const std::string& sql, bool readOnly);
    // The catalog (SQLTables, no filters), its five columns bound as text of <= 255.
    static std::unique_ptr<ResultSet> tables();

    ~ResultSet();
    ResultSet(const ResultSet&) = delete;
    ResultSet& operator=(const ResultSet&) = delete;

    bool closed() const noexcept { return stmt_ == SQL_NULL_HSTMT; }
    bool atEnd() const noexcept { return closed() || !hasRow_; }
    SQLHSTMT handle() const noexcept { return stmt_; }
    void moveNext();
    // Frees the statement; the object stays and reports itself closed.
    void close() noexcept;
    // Column `column` (from 1) of the current row read as text; SQL NULL reads as "".
    std::string text(SQLUSMALLINT column);
    // A bound catalog column (0 table_qualifier .. 4 remarks) of the current row.
    std::string bound(int column) const;

private:
    ResultSet() = default;
    void allocate();
    void fetchFirst();

    SQLHSTMT stmt_ = SQL_NULL_HSTMT;
    bool hasRow_ = false;
    struct Bound {
        char text[256];
        SQLLEN indicator;
    };
    std::vector<Bound> bound_;
};

// Fills a descriptor from the current row: 0, or 32768 for a missing descriptor or result
// set or a result without columns. A value that cannot be read stays NULL (recorded).
// Throws what the column description raises; the descriptor then holds what was filled.
template <class C>
int fillDescriptor(SQLDADescriptor* desc, ResultSet* rs);

void releaseDescriptor(SQLDADescriptor* desc) noexcept;

// The result set of cursor `id` when it has a row to deliver; NULL for an unknown
// identifier or a cursor at its end (also one whose result set a disconnect closed).
ResultSet* cursorWithRow(std::uint16_t id);

// Sets up `desc` for `count` (> 0) columns with its seven arrays (zeroed) and the column
// names in one heap block, which releaseDescriptor frees at once: a whole table read costs
// one allocation per row for its description instead of seventeen. The values stay texts
// of their own. Throws std::bad_alloc.
void allocateRow(SQLDADescriptor& desc, std::size_t count, const std::u16string* names);

using orvane::narrow;
using orvane::widen;

// Heap copy for handing to the host (malloc, released by the family's free functions).
char* heapCopy(const std::string& text);
tqWChar* heapCopy(const std::u16string& text);

}  // namespace orvane::db
