// Cursors held open between calls under small numeric identifiers.
#include "database/connection.hpp"
#include "frame/boundary.hpp"

namespace orvane::db {

namespace {

constexpr std::size_t kMaxCursors = 3;

int openCursor(std::uint16_t* id, const std::string& select) {
    if (!id) return 0;
    Connection& c = connection();
    std::unique_ptr<ResultSet> rs;
    if (!recorded(false, 0, [&] { return rs = ResultSet::query(select, false), true; })) return 0;
    if (c.cursors.size() >= kMaxCursors) return 0;
    std::uint16_t chosen = c.nextCursorId;
    // After the counter wraps it could land on an identifier still in use; step past it.
    while (c.cursors.count(chosen)) chosen = ++c.lastCursorId;
    c.cursors.emplace(chosen, std::move(rs));
    *id = chosen;
    return 1;
}

template <class C>
int fetchRow(SQLDADescriptor* desc, std::uint16_t id) {
    if (!desc) return 0;
    ResultSet* rs = cursorWithRow(id);
    if (!rs) return 0;
    return recorded(0, 0, [&] {
        SQLSMALLINT columns = 0;
        check(SQLNumResultCols(rs->handle(), &columns), connection().hdbc, rs->handle());
        if (desc->count == columns) releaseDescriptor(desc);
        if (fillDescriptor<C>(desc, rs) != 0) return 0;
        rs->moveNext();
        return 1;
    });
}

int closeCursor(std::uint16_t id) {
    Connection& c = connection();
    const auto it = c.cursors.find(id);
    if (it == c.cursors.end()) return 0;
    c.cursors.erase(it);  // the result set frees its statement (SQL_DROP)
    c.nextCursorId = id;
    return 1;
}

}  // namespace

ResultSet* cursorWithRow(std::uint16_t id) {
    Connection& c = connection();
    const auto it = c.cursors.find(id);
    if (it == c.cursors.end()) return nullptr;
    ResultSet* rs = it->second.get();
    // A cursor whose result set a disconnect closed is at its end too.
    return rs->atEnd() ? nullptr : rs;
}

}  // namespace orvane::db

using namespace orvane::db;

extern "C" {

int tqDBWin_openCursorWithIDA(uint16_t* id, const char* select) noexcept {
    return orvane::guarded(0, [&] { return select ? openCursor(id, select) : 0; });
}

int tqDBWin_openCursorWithIDW(uint16_t* id, const tqWChar* select) noexcept {
    return orvane::guarded(0, [&] { return select ? openCursor(id, narrow(select)) : 0; });
}

int tqDBWin_fetchRowByIDA(SQLDADescriptor* desc, uint16_t id) noexcept {
    return orvane::guarded(0, [&] { return fetchRow<char>(desc, id); });
}

int tqDBWin_fetchRowByIDW(SQLDADescriptor* desc, uint16_t id) noexcept {
    return orvane::guarded(0, [&] { return fetchRow<tqWChar>(desc, id); });
}

int tqDBWin_closeCursorWithID(uint16_t id) noexcept {
    return orvane::guarded(0, [&] { return closeCursor(id); });
}

}  // extern "C"
