// Column access over filled row descriptors: values picked out by column name and read as
// text, integers or doubles; column-name and value lists for SQL statements; table names
// and literals made safe; and the row count of a table. Only the row count touches the
// database, through the cursor functions.
#include <climits>
#include <cstdlib>
#include <cstring>
#include <cuchar>
#include <cwchar>
#include <string>

#include <langinfo.h>

#include "database/connection.hpp"
#include "frame/boundary.hpp"
#include "frame/text.hpp"

namespace orvane::db {

namespace {

// Column names compared with letter case ignored. Equal units match at once; two units
// that differ are folded with the locale's upper-case mapping.
// Two different units that fold to the same letter. ASCII units can only do so when they
// are a letter pair 32 apart, which spares the locale's mapping for most mismatches.
inline bool foldEqual(tqWChar x, tqWChar y) noexcept {
    if (code(x) < 0x80 && code(y) < 0x80 && (code(x) ^ code(y)) != 0x20) return false;
    return upper(x) == upper(y);
}

bool sameName(const tqWChar* a, const tqWChar* b) {
    for (;; ++a, ++b) {
        if (*a == *b) {
            if (!*a) return true;
        } else if (!foldEqual(*a, *b)) {
            return false;
        }
    }
}

// The 16-bit units of an 8-bit text of the locale's codeset, one at a time and without
// allocating, decoded as widen() decodes them (a byte that starts no valid sequence stands
// for itself). 0 at the end.
class Units {
public:
    explicit Units(const char* text) noexcept : p_(text) {}
    char16_t next() noexcept {
        char16_t unit = 0;
        const std::size_t n = std::mbrtoc16(&unit, p_, MB_LEN_MAX, &state_);
        if (n == static_cast<std::size_t>(-3)) return unit;  // second half of a pair
        if (n == 0) return 0;
        if (n == static_cast<std::size_t>(-1) || n == static_cast<std::size_t>(-2)) {
            state_ = std::mbstate_t{};
            return static_cast<char16_t>(code(*p_++));
        }
        p_ += n;
        return unit;
    }

private:
    const char* p_;
    std::mbstate_t state_{};
};

// What the locale's codeset lets a comparison of 8-bit names skip: in a single-byte codeset
// every byte is a character; in UTF-8 a character starts at any byte that is not 10xxxxxx;
// in other multibyte codesets (where a trailing byte may look like ASCII) only a run of
// ASCII bytes from the start is known to be whole characters.
enum class Codeset { SingleByte, Utf8, Other };

Codeset currentCodeset() noexcept {
    if (MB_CUR_MAX == 1) return Codeset::SingleByte;
    return std::strcmp(nl_langinfo(CODESET), "UTF-8") == 0 ? Codeset::Utf8 : Codeset::Other;
}

// 8-bit names are texts of the locale's codeset. Equal bytes are skipped and ASCII letters
// folded byte by byte; from the first character that needs decoding on, the rest is
// compared as 16-bit units, so that multibyte letters fold too.
bool sameName(const char* a, const char* b, Codeset codeset) {
    const char* const first = a;
    const bool skipMultibyte = codeset != Codeset::Other;
    for (;; ++a, ++b) {
        const unsigned ca = code(*a), cb = code(*b);
        if (ca == cb) {
            if (ca - 1u < 0x7Fu || (ca && skipMultibyte)) continue;
            if (!ca) return true;
            break;
        } else if (ca >= 0x80 || cb >= 0x80) {
            break;
        } else if (!foldEqual(static_cast<tqWChar>(ca), static_cast<tqWChar>(cb))) {
            return false;
        }
    }
    // Decoding starts at the beginning of the character that holds the first difference.
    if (codeset == Codeset::Utf8) {
        while (a > first && (code(*a) & 0xC0u) == 0x80u) {
            --a;
            --b;
        }
    }
    Units ua(a), ub(b);
    for (;;) {
        const tqWChar x = ua.next(), y = ub.next();
        if (x == y) {
            if (!x) return true;
        } else if (!foldEqual(x, y)) {
            return false;
        }
    }
}

bool sameName(const tqWChar* a, const tqWChar* b, Codeset) { return sameName(a, b); }

// Index of the column named `name`: the last one when the descriptor holds the name twice,
// so the walk starts at the end and stops at the first match. -1 when none matches (also
// for a missing descriptor, name or names array).
template <class C>
int findColumn(const SQLDADescriptor* d, const C* name) {
    if (!d || !name || d->count <= 0 || !d->names) return -1;
    const Codeset codeset = sizeof(C) == 1 ? currentCodeset() : Codeset::Other;
    for (int i = d->count - 1; i >= 0; --i) {
        const C* columnName = static_cast<const C*>(d->names[i]);
        if (columnName && sameName(columnName, name, codeset)) return i;
    }
    return -1;
}

template <class C>
C* columnValue(const SQLDADescriptor* d, const C* name) {
    const int i = findColumn(d, name);
    if (i < 0 || !d->values) return nullptr;
    return static_cast<C*>(d->values[i]);
}

// The standard text-to-integer reading (leading white space, a sign, digits up to the first
// other character, 0 without any); a value beyond the int range gives the nearest bound.
int toInt(const char* text) {
    const long long v = std::strtoll(text, nullptr, 10);
    if (v > INT_MAX) return INT_MAX;
    if (v < INT_MIN) return INT_MIN;
    return static_cast<int>(v);
}

double toDouble(const char* text) { return std::strtod(text, nullptr); }

template <class C>
int columnString(const SQLDADescriptor* d, const C* name, C* dest) {
    if (!dest) return kGenericError;
    const C* value = columnValue(d, name);
    if (!value) {
        dest[0] = C{0};
        return kGenericError;
    }
    std::memmove(dest, value, (length(value) + 1) * sizeof(C));
    return 0;
}

int copyColumnString(const SQLDADescriptor* d, const char* name, char* dest) {
    if (!dest) return kGenericError;
    const char* value = columnValue(d, name);
    if (!value || !*value) return kGenericError;
    std::memmove(dest, value, std::strlen(value) + 1);
    return 0;
}

template <class T, class Convert>
int copyColumnNumber(const SQLDADescriptor* d, const char* name, T* dest, Convert convert) {
    if (!dest) return kGenericError;
    const char* value = columnValue(d, name);
    if (!value || !*value) return kGenericError;
    *dest = convert(value);
    return 0;
}

// The list is built in one growing string and handed out as one exact block, so that a
// row of many columns costs linear time (appending piece by piece to a heap string would
// rescan and reallocate it for every piece).
char* namesList(const SQLDADescriptor* d) {
    if (!d || d->count <= 0 || !d->names) return nullptr;
    std::string out;
    for (int i = 0; i < d->count; ++i) {
        if (i) out += ", ";
        if (const char* name = static_cast<const char*>(d->names[i])) out += name;
    }
    return heapCopy(out);
}

template <class C>
C* valuesList(const SQLDADescriptor* d) {
    if (!d || d->count <= 0) return nullptr;
    std::basic_string<C> out;
    for (int i = 0; i < d->count; ++i) {
        if (i) {
            out += C{','};
            out += C{' '};
        }
        const C* value = d->values ? static_cast<const C*>(d->values[i]) : nullptr;
        if (d->types && d->types[i] == SQL_CHAR) {
            // Only fixed-length character columns are quoted, and the value goes in as it
            // stands: quotes inside it are not doubled.
            out += C{'\''};
            if (value) out += value;
            out += C{'\''};
        } else if (!value || !*value) {
            out += C{'0'};
        } else {
            out += value;
        }
    }
    return heapCopy(out);
}

int freeList(void* address) {
    if (!address) return kGenericError;
    void** list = static_cast<void**>(address);
    if (!*list) return kGenericError;
    std::free(*list);
    *list = nullptr;
    return 0;
}

// The characters that may not stand in a table name; each becomes "#".
constexpr char kTableNameSet[] = ".*&%(){}!^-+=/\\";
constexpr tqWChar kTableNameSetW[] = u".*&%(){}!^-+=/\\";
constexpr std::size_t kScratchChars = 256;
// A converted name longer than this is cut to kShortName characters.
constexpr std::size_t kLongName = 32;
constexpr std::size_t kShortName = 31;

int replaceChars(char* dest, const char* source) { return tqString_replaceCharsA(dest, source, kTableNameSet, "#", 0); }
int replaceChars(tqWChar* dest, const tqWChar* source) {
    return tqString_replaceCharsW(dest, source, kTableNameSetW, u"#", 0);
}
int spaceToUnderscore(char* text) { return tqString_spaceToUnderscoreA(text); }
int spaceToUnderscore(tqWChar* text) { return tqString_spaceToUnderscoreW(text); }

template <class C>
int convertTableName(C* name) {
    if (!name) return 0;
    C scratch[kScratchChars];
    // A name longer than the scratch would be cut to 31 characters anyway.
    const std::size_t n = boundedLength(name, kScratchChars - 1);
    std::memcpy(scratch, name, n * sizeof(C));
    scratch[n] = C{0};
    replaceChars(scratch, scratch);
    spaceToUnderscore(scratch);
    std::size_t len = length(scratch);
    if (len > kLongName) {
        len = kShortName;
        scratch[len] = C{0};
    }
    std::memcpy(name, scratch, (len + 1) * sizeof(C));
    return 0;
}

// Line feeds dropped, apostrophes doubled. Built apart from `dest` first, so that a
// destination overlapping the source still gets the whole text.
template <class C>
int convertString(C* dest, const C* source) {
    if (!dest || !source) return kGenericError;
    const std::size_t n = length(source);
    // The result's exact size first, so that the scratch block is touched only as far as
    // it is used.
    std::size_t size = n;
    for (std::size_t i = 0; i < n; ++i) size += (source[i] == C{'\''}) - (source[i] == C{'\n'});
    std::basic_string<C> out(size, C{0});
    C* o = out.data();
    for (std::size_t i = 0; i < n; ++i) {
        const C c = source[i];
        if (c == C{'\n'}) continue;
        *o++ = c;
        if (c == C{'\''}) *o++ = c;
    }
    std::memcpy(dest, out.c_str(), (size + 1) * sizeof(C));
    return 0;
}

int numTableRows(const char* table) {
    if (!table) return -1;
    const std::string sql = "SELECT COUNT (*) FROM " + std::string(table) + ";";
    std::uint16_t id = 0;
    if (!tqDBWin_openCursorWithIDA(&id, sql.c_str())) return -1;
    SQLDADescriptor row{};
    int rows = -1;
    // A count whose value could not be read is a failed count as well.
    if (tqDBWin_fetchRowByIDA(&row, id) && row.count > 0 && row.values && row.values[0])
        rows = toInt(static_cast<const char*>(row.values[0]));
    tqDBWin_freeSQLDADescriptorA(&row);
    tqDBWin_closeCursorWithID(id);
    return rows;
}

}  // namespace

}  // namespace orvane::db

using namespace orvane::db;
using orvane::guarded;

extern "C" {

int tqDBUtils_findSqlColumnName(const SQLDADescriptor* desc, const char* name) noexcept {
    return guarded(0, [&] { return findColumn(desc, name) >= 0 ? 1 : 0; });
}

char* tqDBUtils_getSqlColumnDataPA(const SQLDADescriptor* desc, const char* name) noexcept {
    return guarded(static_cast<char*>(nullptr), [&] { return columnValue(desc, name); });
}

tqWChar* tqDBUtils_getSqlColumnDataPW(const SQLDADescriptor* desc, const tqWChar* name) noexcept {
    return guarded(static_cast<tqWChar*>(nullptr), [&] { return columnValue(desc, name); });
}

int tqDBUtils_getSqlColumnStringA(const SQLDADescriptor* desc, const char* name, char* dest) noexcept {
    return guarded(kGenericError, [&] { return columnString(desc, name, dest); });
}

int tqDBUtils_getSqlColumnStringW(const SQLDADescriptor* desc, const tqWChar* name, tqWChar* dest) noexcept {
    return guarded(kGenericError, [&] { return columnString(desc, name, dest); });
}

int tqDBUtils_copySqlColumnString(const SQLDADescriptor* desc, const char* name, char* dest) noexcept {
    return guarded(kGenericError, [&] { return copyColumnString(desc, name, dest); });
}

int tqDBUtils_getSqlColumnInt(const SQLDADescriptor* desc, const char* name) noexcept {
    return guarded(0, [&] {
        const char* value = columnValue(desc, name);
        return value ? toInt(value) : 0;
    });
}

int tqDBUtils_copySqlColumnInt(const SQLDADescriptor* desc, const char* name, int* dest) noexcept {
    return guarded(kGenericError, [&] { return copyColumnNumber(desc, name, dest, toInt); });
}

double tqDBUtils_getSqlColumnDouble(const SQLDADescriptor* desc, const char* name) noexcept {
    return guarded(0.0, [&] {
        const char* value = columnValue(desc, name);
        return value ? toDouble(value) : 0.0;
    });
}

int tqDBUtils_copySqlColumnDouble(const SQLDADescriptor* desc, const char* name, double* dest) noexcept {
    return guarded(kGenericError, [&] { return copyColumnNumber(desc, name, dest, toDouble); });
}

char* tqDBUtils_getColumnNamesList(const SQLDADescriptor* desc) noexcept {
    return guarded(static_cast<char*>(nullptr), [&] { return namesList(desc); });
}

char* tqDBUtils_getColumnValuesListA(const SQLDADescriptor* desc) noexcept {
    return guarded(static_cast<char*>(nullptr), [&] { return valuesList<char>(desc); });
}

tqWChar* tqDBUtils_getColumnValuesListW(const SQLDADescriptor* desc) noexcept {
    return guarded(static_cast<tqWChar*>(nullptr), [&] { return valuesList<tqWChar>(desc); });
}

int tqDBUtils_freeList(void* listAddress) noexcept { return freeList(listAddress); }

int tqDBUtils_convertTableNameA(char* name) noexcept { return convertTableName(name); }

int tqDBUtils_convertTableNameW(tqWChar* name) noexcept { return convertTableName(name); }

int tqDBUtils_convertStringA(char* dest, const char* source) noexcept {
    // A scratch copy that cannot be had leaves the destination untouched and gives 0.
    return guarded(0, [&] { return convertString(dest, source); });
}

int tqDBUtils_convertStringW(tqWChar* dest, const tqWChar* source) noexcept {
    return guarded(0, [&] { return convertString(dest, source); });
}

int tqDBUtils_getNumTableRowsA(const char* table) noexcept {
    return guarded(-1, [&] { return numTableRows(table); });
}

int tqDBUtils_getNumTableRowsW(const tqWChar* table) noexcept {
    return guarded(-1, [&] { return table ? numTableRows(narrow(table).c_str()) : -1; });
}

}  // extern "C"
