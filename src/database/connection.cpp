// The connection record with its error table, attach / disconnect, statement execution,
// error texts for the host and quote escaping.
#include "database/connection.hpp"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <exception>
#include <mutex>
#include <utility>

#include "frame/boundary.hpp"
#include "frame/text.hpp"

namespace orvane::db {

namespace {

// The one ODBC environment of the process, allocated by the first connect and kept until
// the process ends, with the count of connections allocated on it. The lock also guards
// the connection's list of open result sets.
std::mutex envLock;
SQLHENV environment = SQL_NULL_HENV;
int connectionCount = 0;

// Created at load, destroyed at unload (static storage of the shared library).
Connection theConnection;

bool succeeded(SQLRETURN rc) {
    return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO || rc == SQL_NO_DATA;
}

std::string statusKey(int status) {
    char key[16];
    std::snprintf(key, sizeof key, "%d", status);
    return key;
}

// Messages first (bracketed origins cut off), then one state line per message.
std::string diagnostics(SQLHDBC dbc, SQLHSTMT stmt) {
    std::string messages, states;
    SQLCHAR state[6];
    SQLINTEGER native = 0;
    SQLCHAR message[512];
    SQLSMALLINT length = 0;
    // A driver that never runs out of records must not hold the host forever.
    for (int guard = 0; guard < 1000; ++guard) {
        std::memset(state, 0, sizeof state);
        message[0] = 0;
        const SQLRETURN rc = SQLError(environment, dbc, stmt, state, &native, message,
                                      static_cast<SQLSMALLINT>(sizeof message - 1), &length);
        if (rc != SQL_SUCCESS && rc != SQL_SUCCESS_WITH_INFO) break;
        message[sizeof message - 1] = 0;
        const std::string sqlState(reinterpret_cast<const char*>(state), strnlen(reinterpret_cast<const char*>(state), 5));
        if (sqlState == "00000") break;
        std::string text(reinterpret_cast<const char*>(message));
        std::string origin;
        while (!text.empty() && text[0] == '[') {
            const std::size_t close = text.find(']');
            if (close == std::string::npos) break;
            origin += text.substr(0, close + 1);
            text.erase(0, close + 1);
            if (!text.empty() && text[0] == ' ') text.erase(0, 1);
        }
        messages += text;
        messages += '\n';
        char nativeText[64];
        std::snprintf(nativeText, sizeof nativeText, ",Native:%ld,Origin:", static_cast<long>(native));
        states += "State:" + sqlState + nativeText + origin + "\n";
    }
    return messages + states;
}

}  // namespace

Connection& connection() { return theConnection; }

SQLRETURN check(SQLRETURN rc, SQLHDBC dbc, SQLHSTMT stmt) {
    if (succeeded(rc)) return rc;
    throw OdbcFailure{rc, rc == SQL_ERROR ? diagnostics(dbc, stmt) : std::string()};
}

int recordDbError(const OdbcFailure& failure) {
    const int status = static_cast<std::int16_t>(failure.rc);
    try {
        connection().errorTexts[statusKey(status)] = failure.text;
    } catch (...) {
        // Out of memory while recording: the status still tells the host what happened.
    }
    return status;
}

int recordOtherError(const char* message, int status) {
    try {
        connection().errorTexts[statusKey(status)] = std::string(message ? message : "").substr(0, 1023);
    } catch (...) {
        // Out of memory while recording: the status still tells the host what happened.
    }
    return status;
}

void registerResultSet(ResultSet* rs) {
    std::lock_guard<std::mutex> lock(envLock);
    connection().openSets.push_back(rs);
}

void unregisterResultSet(ResultSet* rs) noexcept {
    std::lock_guard<std::mutex> lock(envLock);
    auto& sets = connection().openSets;
    sets.erase(std::remove(sets.begin(), sets.end(), rs), sets.end());
}

void disconnect() noexcept {
    Connection& c = connection();
    {
        std::lock_guard<std::mutex> lock(envLock);
        for (ResultSet* rs : c.openSets) rs->close();
    }
    if (c.spareStmt != SQL_NULL_HSTMT) {
        SQLFreeStmt(c.spareStmt, SQL_DROP);
        c.spareStmt = SQL_NULL_HSTMT;
    }
    if (c.hdbc != SQL_NULL_HDBC) {
        try {
            check(SQLDisconnect(c.hdbc), c.hdbc);
        } catch (const OdbcFailure& f) {
            recordDbError(f);
        }
        // A server that went away can leave the handle refusing to be freed; the record
        // forgets it either way so that the next attach starts clean.
        const SQLRETURN rc = SQLFreeConnect(c.hdbc);
        if (rc != SQL_SUCCESS) recordDbError(OdbcFailure{rc, {}});
        c.hdbc = SQL_NULL_HDBC;
        std::lock_guard<std::mutex> lock(envLock);
        --connectionCount;
    }
    c.attachString.clear();
}

Connection::~Connection() {
    if (hdbc != SQL_NULL_HDBC) disconnect();
}

char* heapCopy(const std::string& text) {
    char* p = static_cast<char*>(std::malloc(text.size() + 1));
    if (!p) throw std::bad_alloc();
    std::memcpy(p, text.c_str(), text.size() + 1);
    return p;
}

tqWChar* heapCopy(const std::u16string& text) {
    tqWChar* p = static_cast<tqWChar*>(std::malloc((text.size() + 1) * sizeof(tqWChar)));
    if (!p) throw std::bad_alloc();
    std::memcpy(p, text.c_str(), (text.size() + 1) * sizeof(tqWChar));
    return p;
}

namespace {

void readCapabilities(Connection& c) {
    SQLUINTEGER u32 = 0;
    SQLUSMALLINT u16 = 0;
    SQLCHAR flag[8] = {0};
    SQLCHAR quote[8] = {0};
    SQLSMALLINT len = 0;
    // The answers only tune how result sets are opened; a driver that cannot tell
    // leaves the defaults.
    SQLGetInfo(c.hdbc, SQL_POS_OPERATIONS, &u32, sizeof u32, &len);
    SQLGetInfo(c.hdbc, SQL_POSITIONED_STATEMENTS, &u32, sizeof u32, &len);
    SQLGetInfo(c.hdbc, SQL_TXN_CAPABLE, &u16, sizeof u16, &len);
    SQLGetInfo(c.hdbc, SQL_CURSOR_COMMIT_BEHAVIOR, &u16, sizeof u16, &len);
    SQLGetInfo(c.hdbc, SQL_CURSOR_ROLLBACK_BEHAVIOR, &u16, sizeof u16, &len);
    SQLGetInfo(c.hdbc, SQL_BOOKMARK_PERSISTENCE, &u32, sizeof u32, &len);
    u32 = 0;
    if (SQL_SUCCEEDED(SQLGetInfo(c.hdbc, SQL_GETDATA_EXTENSIONS, &u32, sizeof u32, &len))) c.getDataExtensions = u32;
    if (SQL_SUCCEEDED(SQLGetInfo(c.hdbc, SQL_DATA_SOURCE_READ_ONLY, flag, sizeof flag, &len)))
        c.readOnlySource = flag[0] == 'Y';
    SQLGetInfo(c.hdbc, SQL_IDENTIFIER_QUOTE_CHAR, quote, sizeof quote, &len);
}

// Frees a connection handle that never became the record's connection.
void dropConnection(SQLHDBC dbc, bool connected) {
    if (connected) SQLDisconnect(dbc);
    SQLFreeConnect(dbc);
    std::lock_guard<std::mutex> lock(envLock);
    --connectionCount;
}

int attach(const std::string& connect) {
    Connection& c = connection();
    if (c.hdbc != SQL_NULL_HDBC) disconnect();
    c.completedConnectString = connect;
    SQLHDBC dbc = SQL_NULL_HDBC;
    {
        std::lock_guard<std::mutex> lock(envLock);
        if (environment == SQL_NULL_HENV && !SQL_SUCCEEDED(SQLAllocEnv(&environment))) {
            environment = SQL_NULL_HENV;
            return kGenericError;
        }
        const SQLRETURN rc = SQLAllocConnect(environment, &dbc);
        if (!SQL_SUCCEEDED(rc)) return recordDbError(OdbcFailure{rc, {}});
        ++connectionCount;
    }
    // Until it becomes the record's connection the handle is dropped on every way out,
    // running out of memory included.
    struct Pending {
        SQLHDBC dbc;
        bool connected = false;
        ~Pending() {
            if (dbc != SQL_NULL_HDBC) dropConnection(dbc, connected);
        }
    } pending{dbc};
    SQLSetConnectOption(dbc, SQL_LOGIN_TIMEOUT, static_cast<SQLULEN>(c.loginTimeout));
    SQLCHAR out[512] = {0};
    SQLSMALLINT outLength = 0;
    const SQLRETURN rc = SQLDriverConnect(dbc, nullptr, reinterpret_cast<SQLCHAR*>(const_cast<char*>(connect.c_str())),
                                          SQL_NTS, out, sizeof out, &outLength, SQL_DRIVER_COMPLETE);
    if (rc == SQL_NO_DATA) return kGenericError;
    if (!SQL_SUCCEEDED(rc)) {
        try {
            check(rc, dbc);
        } catch (const OdbcFailure& f) {
            return recordDbError(f);
        }
        return kGenericError;
    }
    pending.connected = true;
    out[sizeof out - 1] = 0;
    c.completedConnectString = "ODBC;" + std::string(reinterpret_cast<const char*>(out));
    SQLUSMALLINT api = 0, grammar = 0;
    SQLSMALLINT len = 0;
    SQLGetInfo(dbc, SQL_ODBC_API_CONFORMANCE, &api, sizeof api, &len);
    SQLGetInfo(dbc, SQL_ODBC_SQL_CONFORMANCE, &grammar, sizeof grammar, &len);
    const int conformance = api < SQL_OAC_LEVEL1 ? 1014 : (static_cast<SQLSMALLINT>(grammar) < SQL_OSC_MINIMUM ? 1015 : 0);
    if (conformance) return recordOtherError("", conformance);
    c.attachString = connect;
    c.hdbc = std::exchange(pending.dbc, SQLHDBC{SQL_NULL_HDBC});
    readCapabilities(c);
    return 0;
}

int execute(const char* sql) {
    Connection& c = connection();
    if (c.hdbc == SQL_NULL_HDBC) return recordDbError(OdbcFailure{SQL_INVALID_HANDLE, {}});
    SQLHSTMT stmt = std::exchange(c.spareStmt, SQLHSTMT{SQL_NULL_HSTMT});
    if (stmt == SQL_NULL_HSTMT) {
        try {
            check(SQLAllocStmt(c.hdbc, &stmt), c.hdbc);
        } catch (const OdbcFailure& f) {
            return recordDbError(f);
        }
    }
    try {
        if (c.queryTimeout >= 0 &&
            !SQL_SUCCEEDED(SQLSetStmtOption(stmt, SQL_QUERY_TIMEOUT, static_cast<SQLULEN>(c.queryTimeout))))
            c.queryTimeout = -1;
        auto run = [&](auto call) {
            SQLRETURN rc;
            while ((rc = call()) == SQL_STILL_EXECUTING) {
            }
            return check(rc, c.hdbc, stmt);
        };
        run([&] { return SQLExecDirect(stmt, reinterpret_cast<SQLCHAR*>(const_cast<char*>(sql)), SQL_NTS); });
        SQLRETURN more;
        do {
            SQLSMALLINT columns = 0;
            run([&] { return SQLNumResultCols(stmt, &columns); });
            if (columns > 0) {
                while (run([&] { return SQLFetch(stmt); }) != SQL_NO_DATA) {
                }
            }
            more = run([&] { return SQLMoreResults(stmt); });
        } while (more != SQL_NO_DATA);
    } catch (const OdbcFailure& f) {
        SQLCancel(stmt);
        SQLFreeStmt(stmt, SQL_DROP);
        return recordDbError(f);
    } catch (const std::exception& e) {
        SQLCancel(stmt);
        SQLFreeStmt(stmt, SQL_DROP);
        recordOtherError(e.what(), 0);
        return 0;
    }
    // Closed, the handle is as good as a new one for the next statement.
    if (SQL_SUCCEEDED(SQLFreeStmt(stmt, SQL_CLOSE)))
        c.spareStmt = stmt;
    else
        SQLFreeStmt(stmt, SQL_DROP);
    return 0;
}

// The whole recorded text of `status`, or false when there is none.
bool recorded(int status, std::string& text) {
    const auto& table = connection().errorTexts;
    const auto it = table.find(statusKey(status));
    if (it == table.end()) return false;
    text = it->second;
    return true;
}

template <class C>
std::basic_string<C> userMessage(const std::basic_string<C>* heading, const std::basic_string<C>* sql,
                                 int status) {
    auto lit = [](const char* s) {
        std::basic_string<C> out;
        for (; *s; ++s) out += static_cast<C>(*s);
        return out;
    };
    std::basic_string<C> msg;
    if (heading) msg += *heading + lit("\n");
    if (sql) msg += lit("The following SQL statement could not be processed:\n\n") + *sql + lit("\n");
    std::string text;
    if (recorded(status, text)) {
        msg += lit("The database server returned the following error message:\n\n");
        if constexpr (sizeof(C) == 1) {
            msg += text.substr(0, 511);
        } else {
            msg += widen(text).substr(0, 511);
        }
    }
    return msg;
}

template <class C>
int escape(C* dest, const C* source) {
    if (!dest || !source) return kGenericError;
    std::basic_string<C> out;
    for (const C* p = source; *p; ++p) {
        if (*p == C('\n')) continue;
        out += *p;
        if (*p == C('\'')) out += *p;
    }
    std::memcpy(dest, out.c_str(), (out.size() + 1) * sizeof(C));
    return kGenericError;
}

}  // namespace

}  // namespace orvane::db

using namespace orvane::db;

extern "C" {

int tqDBWin_attachDatabaseA(const char* connect) noexcept {
    return orvane::guarded(kGenericError, [&] {
        if (!connect) return kGenericError;
        return attach(connect);
    });
}

int tqDBWin_attachDatabaseW(const tqWChar* connect) noexcept {
    return orvane::guarded(kGenericError, [&] {
        if (!connect) return kGenericError;
        return attach(narrow(connect));
    });
}

int tqDBWin_isConnected(void) noexcept { return connection().hdbc != SQL_NULL_HDBC ? 1 : 0; }

const char* tqDBWin_getConnectString(void) noexcept { return connection().completedConnectString.c_str(); }

int tqDBWin_disconnectDatabase(void) noexcept {
    disconnect();
    return 0;
}

int tqDBWin_processSQLA(const char* sql) noexcept {
    return orvane::guarded(kGenericError, [&] { return sql ? execute(sql) : kGenericError; });
}

int tqDBWin_processSQLW(const tqWChar* sql) noexcept {
    return orvane::guarded(kGenericError, [&] { return sql ? execute(narrow(sql).c_str()) : kGenericError; });
}

int tqDBWin_getErrorTextA(char* dest, int status) noexcept {
    return orvane::guarded(0, [&] {
        std::string text;
        if (!dest || !recorded(status, text)) return 0;
        std::memcpy(dest, text.c_str(), text.size() + 1);
        return 1;
    });
}

int tqDBWin_getErrorTextW(tqWChar* dest, int status) noexcept {
    return orvane::guarded(0, [&] {
        std::string text;
        if (!dest || !recorded(status, text)) return 0;
        const std::u16string wide = widen(text);
        std::memcpy(dest, wide.c_str(), (wide.size() + 1) * sizeof(tqWChar));
        return 1;
    });
}

int tqDBWin_getSQLErrorTextA(char* dest, const char* heading, const char* sql, int status) noexcept {
    return orvane::guarded(1, [&] {
        if (!dest) return 1;
        const std::string h = heading ? heading : "", s = sql ? sql : "";
        const std::string msg = userMessage<char>(heading ? &h : nullptr, sql ? &s : nullptr, status);
        std::memcpy(dest, msg.c_str(), msg.size() + 1);
        return 1;
    });
}

int tqDBWin_getSQLErrorTextW(tqWChar* dest, const tqWChar* heading, const tqWChar* sql, int status) noexcept {
    return orvane::guarded(1, [&] {
        if (!dest) return 1;
        const std::u16string h = heading ? heading : u"", s = sql ? sql : u"";
        const std::u16string msg =
            userMessage<char16_t>(heading ? &h : nullptr, sql ? &s : nullptr, status).substr(0, 511);
        std::memcpy(dest, msg.c_str(), (msg.size() + 1) * sizeof(tqWChar));
        return 1;
    });
}

int tqDBWin_getActiveDatabaseA(char* attach, char* completed) noexcept {
    return orvane::guarded(0, [&] {
        const std::string a = connection().attachString, c = connection().completedConnectString;
        if (a.empty() && c.empty()) return 0;
        if (attach) std::memcpy(attach, a.c_str(), a.size() + 1);
        if (completed) std::memcpy(completed, c.c_str(), c.size() + 1);
        return 1;
    });
}

int tqDBWin_getActiveDatabaseW(tqWChar* attach, tqWChar* completed) noexcept {
    return orvane::guarded(0, [&] {
        const std::string a = connection().attachString, c = connection().completedConnectString;
        if (a.empty() && c.empty()) return 0;
        if (attach) {
            const std::u16string w = widen(a);
            std::memcpy(attach, w.c_str(), (w.size() + 1) * sizeof(tqWChar));
        }
        if (completed) {
            const std::u16string w = widen(c);
            std::memcpy(completed, w.c_str(), (w.size() + 1) * sizeof(tqWChar));
        }
        return 1;
    });
}

int tqDBWin_escapeStringA(char* dest, const char* source) noexcept {
    return orvane::guarded(kGenericError, [&] { return escape(dest, source); });
}

int tqDBWin_escapeStringW(tqWChar* dest, const tqWChar* source) noexcept {
    return orvane::guarded(kGenericError, [&] { return escape(dest, source); });
}

}  // extern "C"
