// Catalog listing, table lookup and table description.
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <cwctype>

#include "database/connection.hpp"
#include "frame/boundary.hpp"

namespace orvane::db {

namespace {

constexpr int kTableName = 2;  // "table_name" among the catalog's bound columns

template <class C>
int describeDatabase(C*** names, int* count) {
    if (!names || !count || connection().hdbc == SQL_NULL_HDBC) return 0;
    try {
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
    } catch (const OdbcFailure& f) {
        recordDbError(f);
    } catch (const std::exception& e) {
        recordOtherError(e.what(), 0);
    }
    return 0;
}

template <class C>
void freeStrings(C** names, int count) noexcept {
    if (!names) return;
    for (int i = 0; i < count; ++i) std::free(names[i]);
    std::free(names);
}

// Case-insensitive equality of two texts of the locale's codeset, compared as wide
// characters so that multibyte letters fold too.
bool sameName(const std::string& a, const std::string& b) {
    auto wide = [](const std::string& s, std::wstring& out) {
        std::mbstate_t state{};
        const char* p = s.c_str();
        const std::size_t n = std::mbsrtowcs(nullptr, &p, 0, &state);
        if (n == static_cast<std::size_t>(-1)) return false;
        out.assign(n, L'\0');
        p = s.c_str();
        state = std::mbstate_t{};
        std::mbsrtowcs(out.data(), &p, n, &state);
        return true;
    };
    std::wstring wa, wb;
    if (!wide(a, wa) || !wide(b, wb)) {
        if (a.size() != b.size()) return false;
        for (std::size_t i = 0; i < a.size(); ++i)
            if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i])))
                return false;
        return true;
    }
    if (wa.size() != wb.size()) return false;
    for (std::size_t i = 0; i < wa.size(); ++i)
        if (std::towupper(static_cast<std::wint_t>(wa[i])) != std::towupper(static_cast<std::wint_t>(wb[i])))
            return false;
    return true;
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
