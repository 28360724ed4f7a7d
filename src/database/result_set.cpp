// Result sets on the connection and the row descriptors filled from them.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#include "database/connection.hpp"

namespace orvane::db {

namespace {

template <class F>
SQLRETURN untilDone(F call) {
    SQLRETURN rc;
    while ((rc = call()) == SQL_STILL_EXECUTING) {
    }
    return rc;
}

}  // namespace

void ResultSet::allocate() {
    Connection& c = connection();
    if (c.hdbc == SQL_NULL_HDBC) throw OdbcFailure{SQL_INVALID_HANDLE, {}};
    check(SQLAllocStmt(c.hdbc, &stmt_), c.hdbc);
    registerResultSet(this);
    if (c.queryTimeout >= 0 &&
        !SQL_SUCCEEDED(SQLSetStmtOption(stmt_, SQL_QUERY_TIMEOUT, static_cast<SQLULEN>(c.queryTimeout))))
        c.queryTimeout = -1;
}

void ResultSet::fetchFirst() {
    hasRow_ = true;
    moveNext();
}

std::unique_ptr<ResultSet> ResultSet::query(const std::string& sql, bool readOnly) {
    std::unique_ptr<ResultSet> rs(new ResultSet);
    rs->allocate();
    Connection& c = connection();
    // A snapshot read forward; drivers that cannot give one fall back to their own
    // cursor (the option answers SQL_SUCCESS_WITH_INFO or an error, both acceptable).
    SQLSetStmtOption(rs->stmt_, SQL_CURSOR_TYPE, SQL_CURSOR_STATIC);
    if (readOnly || c.readOnlySource) SQLSetStmtOption(rs->stmt_, SQL_CONCURRENCY, SQL_CONCUR_READ_ONLY);
    SQLCHAR* text = reinterpret_cast<SQLCHAR*>(const_cast<char*>(sql.c_str()));
    check(untilDone([&] { return SQLPrepare(rs->stmt_, text, SQL_NTS); }), c.hdbc, rs->stmt_);
    check(untilDone([&] { return SQLExecute(rs->stmt_); }), c.hdbc, rs->stmt_);
    rs->fetchFirst();
    return rs;
}

std::unique_ptr<ResultSet> ResultSet::tables() {
    std::unique_ptr<ResultSet> rs(new ResultSet);
    rs->allocate();
    Connection& c = connection();
    check(untilDone([&] {
              return SQLTables(rs->stmt_, nullptr, SQL_NTS, nullptr, SQL_NTS, nullptr, SQL_NTS, nullptr, SQL_NTS);
          }),
          c.hdbc, rs->stmt_);
    rs->bound_.resize(5);
    for (SQLUSMALLINT i = 0; i < 5; ++i) {
        Bound& b = rs->bound_[i];
        b.text[0] = 0;
        b.indicator = SQL_NULL_DATA;
        check(SQLBindCol(rs->stmt_, static_cast<SQLUSMALLINT>(i + 1), SQL_C_CHAR, b.text, sizeof b.text, &b.indicator),
              c.hdbc, rs->stmt_);
    }
    rs->fetchFirst();
    return rs;
}

ResultSet::~ResultSet() {
    close();
    unregisterResultSet(this);
}

void ResultSet::close() noexcept {
    if (stmt_ != SQL_NULL_HSTMT) SQLFreeStmt(stmt_, SQL_DROP);
    stmt_ = SQL_NULL_HSTMT;
    hasRow_ = false;
}

void ResultSet::moveNext() {
    if (atEnd()) return;
    for (Bound& b : bound_) {
        b.text[0] = 0;
        b.indicator = SQL_NULL_DATA;
    }
    const SQLRETURN rc = untilDone([&] { return SQLFetch(stmt_); });
    if (rc == SQL_NO_DATA) {
        hasRow_ = false;
        return;
    }
    try {
        check(rc, connection().hdbc, stmt_);
    } catch (...) {
        hasRow_ = false;
        throw;
    }
}

std::string ResultSet::bound(int column) const {
    if (column < 0 || static_cast<std::size_t>(column) >= bound_.size() || !hasRow_) return {};
    const Bound& b = bound_[static_cast<std::size_t>(column)];
    if (b.indicator == SQL_NULL_DATA) return {};
    return std::string(b.text, strnlen(b.text, sizeof b.text));
}

std::string ResultSet::text(SQLUSMALLINT column) {
    if (closed()) throw OdbcFailure{SQL_INVALID_HANDLE, {}};
    std::string out;
    char buf[4096];
    // Long values come in pieces: each call returns what fits and SQL_SUCCESS_WITH_INFO
    // (01004) while more is left.
    for (;;) {
        SQLLEN indicator = 0;
        const SQLRETURN rc =
            untilDone([&] { return SQLGetData(stmt_, column, SQL_C_CHAR, buf, sizeof buf, &indicator); });
        if (rc == SQL_NO_DATA) break;
        check(rc, connection().hdbc, stmt_);
        if (indicator == SQL_NULL_DATA) break;
        const bool more = rc == SQL_SUCCESS_WITH_INFO && (indicator == SQL_NO_TOTAL || indicator >= SQLLEN(sizeof buf));
        out.append(buf, strnlen(buf, sizeof buf - 1));
        if (!more) break;
    }
    return out;
}

namespace {

// A row block starts with this header; `names` follows it, then the other six arrays back
// to back (pointer arrays a pointer per slot, the 16-bit arrays 4 bytes per slot, as every
// descriptor of the family has them), then the names' texts.
struct RowBlockHeader {
    std::uint64_t mark;
    std::size_t bytes;
};
constexpr std::uint64_t kRowBlockMark = 0x6f7276726f77626bULL;
constexpr std::size_t kArraySlotBytes = 2 * sizeof(void*) + 5 * 4;

// The header of the block that holds `d`'s arrays, or NULL for a descriptor whose arrays
// were allocated one by one. Only a block of ours has `values` right behind `names`: two
// separate heap blocks are never adjacent.
const RowBlockHeader* rowBlock(const SQLDADescriptor* d) noexcept {
    if (d->count <= 0 || !d->names || d->values != d->names + d->count) return nullptr;
    const auto* h = reinterpret_cast<const RowBlockHeader*>(reinterpret_cast<const char*>(d->names) - sizeof(RowBlockHeader));
    return h->mark == kRowBlockMark ? h : nullptr;
}

}  // namespace

void allocateRow(SQLDADescriptor& d, std::size_t n, const std::u16string* names) {
    std::size_t textBytes = 0;
    for (std::size_t i = 0; i < n; ++i) textBytes += (names[i].size() + 1) * sizeof(tqWChar);
    const std::size_t bytes = sizeof(RowBlockHeader) + n * kArraySlotBytes + textBytes;
    char* block = static_cast<char*>(std::malloc(bytes));
    if (!block) throw std::bad_alloc();
    const RowBlockHeader header{kRowBlockMark, bytes};
    std::memcpy(block, &header, sizeof header);
    char* p = block + sizeof header;
    std::memset(p, 0, n * kArraySlotBytes);
    std::memset(&d, 0, sizeof d);
    d.names = reinterpret_cast<void**>(p);
    d.values = d.names + n;
    p += n * 2 * sizeof(void*);
    std::int16_t** arrays[] = {&d.types, reinterpret_cast<std::int16_t**>(&d.reserved), &d.scales, &d.sizes,
                               &d.nullable};
    for (std::int16_t** a : arrays) {
        *a = reinterpret_cast<std::int16_t*>(p);
        p += n * 4;
    }
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t size = (names[i].size() + 1) * sizeof(tqWChar);
        std::memcpy(p, names[i].c_str(), size);
        d.names[i] = p;
        p += size;
    }
    d.count = static_cast<std::int16_t>(n);
}

void releaseDescriptor(SQLDADescriptor* d) noexcept {
    if (!d) return;
    // Anything a host put into a row of ours in place of our own pieces lies outside the
    // block and is freed by itself.
    const RowBlockHeader* header = rowBlock(d);
    const auto start = reinterpret_cast<std::uintptr_t>(header);
    const std::uintptr_t end = header ? start + header->bytes : 0;
    auto release = [&](void* p) {
        const auto at = reinterpret_cast<std::uintptr_t>(p);
        if (!(at >= start && at < end)) std::free(p);
    };
    for (int i = 0; i < d->count; ++i) {
        if (d->names) release(d->names[i]);
        if (d->values) release(d->values[i]);
    }
    release(d->names);
    release(d->values);
    release(d->types);
    release(d->reserved);
    release(d->scales);
    release(d->sizes);
    release(d->nullable);
    if (header) std::free(const_cast<RowBlockHeader*>(header));
    std::memset(d, 0, sizeof *d);
}

template <class C>
int fillDescriptor(SQLDADescriptor* d, ResultSet* rs) {
    if (!d || !rs || rs->closed()) return kGenericError;
    const SQLHDBC dbc = connection().hdbc;
    SQLSMALLINT count = 0;
    check(SQLNumResultCols(rs->handle(), &count), dbc, rs->handle());
    if (count < 1) return kGenericError;
    std::memset(d, 0, sizeof *d);
    // Pointer arrays get a pointer per slot, the 16-bit arrays 4 bytes per slot, as the
    // record's layout has always had them.
    const std::size_t n = static_cast<std::size_t>(count);
    d->names = static_cast<void**>(std::calloc(n, sizeof(void*)));
    d->values = static_cast<void**>(std::calloc(n, sizeof(void*)));
    d->types = static_cast<std::int16_t*>(std::calloc(n, 4));
    d->reserved = static_cast<std::uint16_t*>(std::calloc(n, 4));
    d->scales = static_cast<std::int16_t*>(std::calloc(n, 4));
    d->sizes = static_cast<std::int16_t*>(std::calloc(n, 4));
    d->nullable = static_cast<std::int16_t*>(std::calloc(n, 4));
    d->count = count;
    if (!d->names || !d->values || !d->types || !d->reserved || !d->scales || !d->sizes || !d->nullable) {
        releaseDescriptor(d);
        throw std::bad_alloc();
    }
    auto copy = [](const std::string& s) -> void* {
        if constexpr (sizeof(C) == 1) {
            return heapCopy(s);
        } else {
            return heapCopy(widen(s));
        }
    };
    for (SQLSMALLINT i = 0; i < count; ++i) {
        const SQLUSMALLINT column = static_cast<SQLUSMALLINT>(i + 1);
        d->values[i] = recorded<void*>(nullptr, kGenericError, [&] { return copy(rs->text(column)); });
        SQLCHAR name[256];
        SQLSMALLINT nameLength = 0, type = 0, digits = 0, nullable = 0;
        SQLULEN size = 0;
        const SQLRETURN rc = check(
            SQLDescribeCol(rs->handle(), column, name, sizeof name, &nameLength, &type, &size, &digits, &nullable),
            dbc, rs->handle());
        std::string columnName(reinterpret_cast<const char*>(name), strnlen(reinterpret_cast<const char*>(name), sizeof name));
        if (rc == SQL_SUCCESS_WITH_INFO && nameLength >= SQLSMALLINT(sizeof name)) {
            std::string longName(static_cast<std::size_t>(nameLength) + 1, '\0');
            check(SQLDescribeCol(rs->handle(), column, reinterpret_cast<SQLCHAR*>(longName.data()),
                                 static_cast<SQLSMALLINT>(longName.size()), &nameLength, nullptr, nullptr, nullptr,
                                 nullptr),
                  dbc, rs->handle());
            columnName.assign(longName.c_str());
        }
        d->names[i] = copy(columnName);
        d->types[i] = type;
        d->reserved[i] = 0;
        d->scales[i] = digits;
        d->sizes[i] = static_cast<std::int16_t>(static_cast<std::uint16_t>(size & 0xFFFF));
        d->nullable[i] = nullable;
    }
    return 0;
}

template int fillDescriptor<char>(SQLDADescriptor*, ResultSet*);
template int fillDescriptor<tqWChar>(SQLDADescriptor*, ResultSet*);

}  // namespace orvane::db

extern "C" {

void tqDBWin_freeSQLDADescriptorA(SQLDADescriptor* desc) noexcept { orvane::db::releaseDescriptor(desc); }

void tqDBWin_freeSQLDADescriptorW(SQLDADescriptor* desc) noexcept { orvane::db::releaseDescriptor(desc); }

}  // extern "C"
