// Catalog listing, table lookup and table description.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "database/connection.hpp"
#include "frame/boundary.hpp"
#include "frame/text.hpp"

namespace orvane::db {

namespace {

constexpr int kTableName = 2;  // "table_name" among the catalog's bound columns

template <class C>
int describeDatabase(C*** names, int* count) {
    if (!names || !count || connection().hdbc == SQL_NULL_HDBC) return 0;
    return recorded(0, 0, [&] {
        std::vector<std::string> found;
        {
            auto rs = ResultSet::tables();
            for (; !rs->atEnd(); rs->moveNext()) found.push_back(rs->bound(kTableName));
        }
        C** array = static_cast<C**>(std::calloc(found.empty() ? 1 : found.size(), sizeof(C*)));
        if (!array) throw std::bad_alloc();
        try {
            for (std::size_t i = 0; i < found.size(); ++i) {
                if constexpr (sizeof(C) == 1) {
                    array[i] = heapCopy(found[i]);
                } else {
                    array[i] = heapCopy(widen(found[i]));
                }
            }
        } catch (...) {
            for (std::size_t i = 0; i < found.size(); ++i) std::free(array[i]);
            std::free(array);
            throw;
        }
        *names = array;
        *count = static_cast<int>(found.size());
        return 1;
    });
}

template <class C>
void freeStrings(C** names, int count) noexcept {
    if (!names) return;
    for (int i = 0; i < count; ++i) std::free(names[i]);
    std::free(names);
}

// Case-insensitive equality of two texts of the locale's codeset, compared as 16-bit
// units so that multibyte letters fold too.
bool sameName(const std::string& a, const std::string& b) {
    const std::u16string wa = widen(a), wb = widen(b);
    return std::equal(wa.begin(), wa.end(), wb.begin(), wb.end(),
                      [](char16_t x, char16_t y) { return orvane::upper(x) == orvane::upper(y); });
}

int findTable(const std::string& name) {
    if (name.empty()) return 0;
    try {
        for (auto rs = ResultSet::tables(); !rs->atEnd(); rs->moveNext())
            if (sameName(rs->bound(kTableName), name)) return 1;
    } catch (const OdbcFailure& f) {
        recordDbError(f);
    } catch (const std::exception& e) {
        recordOtherError(e.what(), 0);
    }
    return 0;
}

template <class C>
int describeTable(SQLDADescriptor* desc, const std::string& table) {
    if (!desc) return kGenericError;
    std::memset(desc, 0, sizeof *desc);
    try {
        auto rs = ResultSet::query("SELECT * FROM " + table + ";", true);
        return fillDescriptor<C>(desc, rs.get());
    } catch (const OdbcFailure& f) {
        return recordDbError(f);
    } catch (const std::exception& e) {
        return recordOtherError(e.what(), kGenericError);
    }
}

}  // namespace

}  // namespace orvane::db

using namespace orvane::db;

extern "C" {

int tqDBWin_describeDatabaseA(char*** names, int* count) noexcept {
    return orvane::guarded(0, [&] { return describeDatabase(names, count); });
}

int tqDBWin_describeDatabaseW(tqWChar*** names, int* count) noexcept {
    return orvane::guarded(0, [&] { return describeDatabase(names, count); });
}

void tqDBWin_freeStringsArrayA(char** names, int count) noexcept { freeStrings(names, count); }

void tqDBWin_freeStringsArrayW(tqWChar** names, int count) noexcept { freeStrings(names, count); }

int tqDBWin_findTableA(const char* table) noexcept {
    return orvane::guarded(0, [&] { return table ? findTable(table) : 0; });
}

int tqDBWin_findTableW(const tqWChar* table) noexcept {
    return orvane::guarded(0, [&] { return table ? findTable(narrow(table)) : 0; });
}

int tqDBWin_describeTableA(SQLDADescriptor* desc, const char* table) noexcept {
    return orvane::guarded(kGenericError, [&] {
        if (!table) {
            if (desc) std::memset(desc, 0, sizeof *desc);
            return kGenericError;
        }
        return describeTable<char>(desc, table);
    });
}

int tqDBWin_describeTableW(SQLDADescriptor* desc, const tqWChar* table) noexcept {
    return orvane::guarded(kGenericError, [&] {
        if (!table) {
            if (desc) std::memset(desc, 0, sizeof *desc);
            return kGenericError;
        }
        return describeTable<tqWChar>(desc, narrow(table));
    });
}

}  // extern "C"
