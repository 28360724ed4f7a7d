// Integer range texts ('5-10', '-5--3'), candidate matching against lists of ranges and
// wildcard patterns, canonical integer lists (through a bit mask) and double range lists
// ('1.5-2.0, 3.0': normalised, sorted, contained ranges dropped).
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "frame/boundary.hpp"
#include "frame/text.hpp"
#include "frame/wide_text.hpp"
#include "numerics/numbers.hpp"
#include "orvane.h"
#include "strings/tokenizer.hpp"

namespace {

template <class C>
struct Lit;
template <>
struct Lit<char> {
    static constexpr const char* blank = " ";
    static constexpr const char* dash = "-";
};
template <>
struct Lit<tqWChar> {
    static constexpr const tqWChar* blank = u" ";
    static constexpr const tqWChar* dash = u"-";
};

int isNumeric(const char* s) { return tqString_isNumericExtA(s, 1, 0, 1); }
int isNumeric(const tqWChar* s) { return tqString_isNumericExtW(s, 1, 0, 1); }
int matchPattern(const char* p, const char* t, int level, int cs) { return tqString_matchWithWildcardsExtA(p, t, level, cs); }
int matchPattern(const tqWChar* p, const tqWChar* t, int level, int cs) {
    return tqString_matchWithWildcardsExtW(p, t, level, cs);
}

// One number field of a range entry: at most 63 characters, with room for a "-" put in front.
template <class C>
struct Field {
    C text[66] = {};
    bool empty() const { return !text[0]; }
    void negate(const Field& of) {
        text[0] = C('-');
        std::memcpy(text + 1, of.text, sizeof of.text - sizeof(C));
        text[65] = C{0};
    }
};

template <class C>
int isValidRange(const C* text, int allowSingle, int* lowInOut, int* highInOut, int* isRangeOut) {
    if (!text) return 0;
    orvane::TokenSets<C> sets;
    sets.skipLeading = sets.trimTrailing = Lit<C>::blank;
    sets.separators = Lit<C>::dash;
    Field<C> t1, t2, t3;
    const C* p = text;
    p += orvane::getToken<C>(t1.text, p, sets, 63);
    p += orvane::getToken<C>(t2.text, p, sets, 63);
    p += orvane::getToken<C>(t3.text, p, sets, 63);
    if (t1.empty() && !t2.empty()) {  // the text began with "-"
        t1.negate(t2);
        if (t3.empty()) {
            // '-5--3': the second number is negative too. A lone '-5' stays the single
            // number -5 rather than the range -5 to 0.
            Field<C> t4;
            orvane::getToken<C>(t4.text, p, sets, 63);
            if (t4.empty())
                t2 = Field<C>{};
            else
                t2.negate(t4);
        } else {
            t2 = t3;
        }
    }
    if (isRangeOut) *isRangeOut = 0;
    if (t1.empty() || !isNumeric(t1.text)) return 0;
    const int low = orvane::atoiText(t1.text);
    int result = 0;
    const int l0 = lowInOut ? *lowInOut : 0;
    if (lowInOut && low >= l0) {
        result = 1;
        *lowInOut = low;
    }
    if (t2.empty()) {
        if (highInOut) *highInOut = low;
        return allowSingle ? 1 : 0;
    }
    if (!isNumeric(t2.text)) return 0;
    const int high = orvane::atoiText(t2.text);
    if (isRangeOut) *isRangeOut = 1;
    result = low <= high ? 1 : 0;
    if (highInOut) {
        const int h0 = *highInOut;
        if (h0 <= l0 || high <= h0) {
            result = 1;
            *highInOut = high;
        } else {
            result = 0;
        }
    }
    return result;
}

template <class C>
int matchInRange(const C* list, const C* candidate, int level, const C* skipLeading, const C* trimTrailing,
                 const C* ignore, const C* separators, const C* quotes, int* lowInOut, int* highInOut,
                 int* isRangeOut, int caseSensitive) {
    if (!list || !candidate) return 0;
    if (isRangeOut) *isRangeOut = 0;
    const bool numeric = isNumeric(candidate) != 0;
    const int value = numeric ? orvane::atoiText(candidate) : 0;
    orvane::TokenSets<C> sets;
    sets.skipLeading = skipLeading;
    sets.trimTrailing = trimTrailing;
    sets.ignore = ignore;
    sets.separators = separators;
    sets.quotes = quotes;
    std::vector<C> token(513);
    for (const C* p = list;;) {
        const int used = orvane::getToken<C>(token.data(), p, sets, 512);
        if (used == 0) return 0;
        p += used;
        int low = lowInOut ? *lowInOut : 0;
        int high = highInOut ? *highInOut : 0;
        if (numeric && isValidRange(token.data(), 1, &low, &high, isRangeOut)) {
            if (value >= low && value <= high) {
                if (lowInOut) *lowInOut = low;
                if (highInOut) *highInOut = high;
                return 1;
            }
            continue;
        }
        if (matchPattern(token.data(), candidate, level, caseSensitive)) return 1;
    }
}

template <class C>
int formatNumericRange(C* list, int low, int high) {
    if (!list || low < 0 || low >= high) return 0;
    const std::size_t bytes = static_cast<std::size_t>((std::int64_t{high} + 7) / 8);
    const std::unique_ptr<unsigned char, void (*)(void*)> mask(static_cast<unsigned char*>(std::calloc(bytes, 1)),
                                                                std::free);
    if (!mask) return 0;
    // The new text is complete before the list is written: running out of memory on the
    // way leaves the list as it was.
    orvane::buildMask(mask.get(), list, static_cast<int>(bytes), low);
    const std::string text = orvane::maskToText(mask.get(), static_cast<int>(bytes), low);
    if constexpr (sizeof(C) == 1) {
        std::memcpy(list, text.c_str(), text.size() + 1);
    } else {
        // As tqString_buildStringFromBitMaskW: at most 1024 characters.
        const std::size_t n = text.size() < 1024 ? text.size() : 1024;
        for (std::size_t i = 0; i < n; ++i) list[i] = static_cast<tqWChar>(text[i]);
        list[n] = u'\0';
    }
    return 0;
}

// The standard conversion to double on the ASCII form of a token: a unit beyond ASCII
// cannot continue a number, so it becomes a byte that stops the conversion as well.
template <class C>
double toDouble(const C* s) {
    if constexpr (sizeof(C) == 1) {
        return std::atof(s);
    } else {
        std::string narrow;
        for (; *s; ++s) narrow += orvane::code(*s) < 128 ? static_cast<char>(*s) : '?';
        return std::atof(narrow.c_str());
    }
}

// Where an entry splits into its two values: its first "-", wherever it stands, or -1.
// A leading minus or an exponent's sign splits too ("1e-5" reads as 1e-05 to 5); stored
// lists and the hosts that read them depend on this exact cut.
template <class C>
std::ptrdiff_t rangeDash(const C* token) {
    for (std::ptrdiff_t i = 0; token[i]; ++i)
        if (token[i] == C('-')) return i;
    return -1;
}

template <class C>
int readDoubleRange(const C* text, double* low, double* high) {
    if (!text || !low || !high || !*text) return 0;
    static const C kComma[] = {C(','), C(0)};
    orvane::TokenSets<C> sets;
    sets.ignore = Lit<C>::blank;
    sets.separators = kComma;
    std::vector<C> token(258), second(258);
    const int n = orvane::getToken<C>(token.data(), text, sets, 256);
    if (n == 0) return 0;
    *low = *high = toDouble(token.data());
    const std::ptrdiff_t dash = rangeDash(token.data());
    if (dash >= 0 && orvane::getToken<C>(second.data(), token.data() + dash + 1, sets, 256) > 0) {
        *high = toDouble(second.data());
        if (*low > *high) {
            const double t = *low;
            *low = *high;
            *high = t;
        }
    }
    return n;
}

// "%.*lf" of a value, trimmed to at least one decimal.
struct Number {
    char text[352];
};
// Every double's decimal expansion ends within 1074 digits after the point, so a larger
// precision only adds zeros beyond what a number field (63 characters) or this buffer
// holds: capping it changes no text, and keeps "%.*lf" from building gigabytes.
constexpr int kMaxPrecision = 1100;
Number formatValue(double v, int precision) {
    Number n;
    std::snprintf(n.text, sizeof n.text, "%.*lf", precision < kMaxPrecision ? precision : kMaxPrecision, v);
    tqMath_trimDoubleAsStringA(n.text, 1);
    return n;
}

int addDoubleRange(char* list, double low, double high, int precision) {
    if (!list) return 0;
    const Number lo = formatValue(low, precision);
    if (low < high) {
        const Number hi = formatValue(high, precision);
        return tqStringFixed_listAppendExtA(list, ", ", 0, "%s-%s", lo.text, hi.text);
    }
    return tqStringFixed_listAppendA(list, "%s", lo.text);
}

struct Entry {
    double low, high;
    int length;  // characters the reader consumed
};

std::vector<Entry> readAll(const std::string& text) {
    std::vector<Entry> out;
    for (std::size_t p = 0; p < text.size();) {
        Entry e{};
        e.length = readDoubleRange(text.c_str() + p, &e.low, &e.high);
        if (e.length == 0) break;
        out.push_back(e);
        p += static_cast<std::size_t>(e.length);
    }
    return out;
}

// Writes the entries with the list append into a buffer that has room for all of them.
std::string writeAll(const std::vector<Entry>& entries, int precision) {
    std::vector<char> out(entries.size() * (2 * sizeof(Number) + 4) + 1, '\0');
    for (const Entry& e : entries) addDoubleRange(out.data(), e.low, e.high, precision);
    return out.data();
}

std::string formatDoubleList(const std::string& list, int precision) {
    // Re-format: reversed bounds come in order and every number takes the requested form.
    std::string work = writeAll(readAll(list), precision);
    // Sort by ascending low, stably, through the point sort (records low, high, 0).
    std::vector<Entry> entries = readAll(work);
    std::vector<double> points;
    points.reserve(entries.size() * 3);
    for (const Entry& e : entries) points.insert(points.end(), {e.low, e.high, 0.0});
    tqMath_sortPoints(points.data(), static_cast<int>(entries.size()), 1);
    for (std::size_t i = 0; i < entries.size(); ++i) entries[i] = {points[3 * i], points[3 * i + 1], 0};
    work = writeAll(entries, precision);
    // Drop every later entry that lies inside an earlier one, as the reader consumed it.
    for (std::size_t p1 = 0; p1 < work.size();) {
        Entry e1{};
        e1.length = readDoubleRange(work.c_str() + p1, &e1.low, &e1.high);
        if (e1.length == 0) break;
        for (std::size_t p2 = p1 + static_cast<std::size_t>(e1.length); p2 < work.size();) {
            Entry e2{};
            e2.length = readDoubleRange(work.c_str() + p2, &e2.low, &e2.high);
            if (e2.length == 0) break;
            if (e2.low >= e1.low && e2.high <= e1.high)
                work.erase(p2, static_cast<std::size_t>(e2.length));
            else
                p2 += static_cast<std::size_t>(e2.length);
        }
        p1 += static_cast<std::size_t>(e1.length);
    }
    return writeAll(readAll(work), precision);
}

int findDouble(double value, const char* list, const char* separators, double tolerance) {
    if (!list || !separators) return -1;
    orvane::TokenSets<char> sets;
    sets.skipLeading = sets.trimTrailing = " ";
    sets.separators = separators;
    char token[66];
    int position = 0;
    for (;;) {
        const int used = orvane::getToken<char>(token, list + position, sets, 64);
        if (used == 0) return -1;
        position += used;
        if (std::fabs(std::atof(token) - value) < tolerance) return position;
    }
}

}  // namespace

extern "C" {

TQ_API int tqString_isValidNumericRangeA(const char* text, int allowSingle, int* lowInOut, int* highInOut,
                                         int* isRangeOut) TQ_NOEXCEPT {
    return orvane::guarded(0, [&] { return isValidRange(text, allowSingle, lowInOut, highInOut, isRangeOut); });
}

TQ_API int tqString_isValidNumericRangeW(const tqWChar* text, int allowSingle, int* lowInOut, int* highInOut,
                                         int* isRangeOut) TQ_NOEXCEPT {
    return orvane::guarded(0, [&] { return isValidRange(text, allowSingle, lowInOut, highInOut, isRangeOut); });
}

TQ_API int tqStringAsList_isNumericRange(const char* text, int* isRangeOut) TQ_NOEXCEPT {
    if (!text) return 0;
    if (isRangeOut) *isRangeOut = 0;
    return orvane::guarded(0, [&] {
        std::vector<char> copy(std::strlen(text) + 1);
        orvane::TokenSets<char> sets;
        sets.ignore = " \t";
        orvane::getToken<char>(copy.data(), text, sets, 0);
        if (!copy[0]) return 0;
        for (const char* c = copy.data(); *c; ++c) {
            if (*c == ',' || *c == '-') {
                if (isRangeOut) *isRangeOut = 1;
            } else if (*c != '.' && (*c < '0' || *c > '9')) {
                return 0;
            }
        }
        return 1;
    });
}

TQ_API int tqStringAsList_matchStringInAlphaNumericRangeA(const char* list, const char* candidate, int level,
                                                          const char* skipLeading, const char* trimTrailing,
                                                          const char* ignore, const char* separators,
                                                          const char* quotes, int* lowInOut, int* highInOut,
                                                          int* isRangeOut, int caseSensitive) TQ_NOEXCEPT {
    return orvane::guarded(0, [&] {
        return matchInRange(list, candidate, level, skipLeading, trimTrailing, ignore, separators, quotes, lowInOut,
                            highInOut, isRangeOut, caseSensitive);
    });
}

TQ_API int tqStringAsList_matchStringInAlphaNumericRangeW(const tqWChar* list, const tqWChar* candidate, int level,
                                                          const tqWChar* skipLeading, const tqWChar* trimTrailing,
                                                          const tqWChar* ignore, const tqWChar* separators,
                                                          const tqWChar* quotes, int* lowInOut, int* highInOut,
                                                          int* isRangeOut, int caseSensitive) TQ_NOEXCEPT {
    return orvane::guarded(0, [&] {
        return matchInRange(list, candidate, level, skipLeading, trimTrailing, ignore, separators, quotes, lowInOut,
                            highInOut, isRangeOut, caseSensitive);
    });
}

TQ_API int tqStringFixed_listFormatNumericRangeA(char* list, int low, int high) TQ_NOEXCEPT {
    return orvane::guarded(0, [&] { return formatNumericRange(list, low, high); });
}

TQ_API int tqStringFixed_listFormatNumericRangeW(tqWChar* list, int low, int high) TQ_NOEXCEPT {
    return orvane::guarded(0, [&] { return formatNumericRange(list, low, high); });
}

TQ_API int tqStringFixed_listAddDoubleRangeA(char* list, double low, double high, int precision) TQ_NOEXCEPT {
    return orvane::guarded(0, [&] { return addDoubleRange(list, low, high, precision); });
}

TQ_API int tqStringFixed_listReadDoubleRangeA(const char* text, double* low, double* high) TQ_NOEXCEPT {
    return orvane::guarded(0, [&] { return readDoubleRange(text, low, high); });
}

TQ_API int tqStringFixed_listReadDoubleRangeW(const tqWChar* text, double* low, double* high) TQ_NOEXCEPT {
    return orvane::guarded(0, [&] { return readDoubleRange(text, low, high); });
}

TQ_API int tqStringFixed_listFormatDoubleRangeA(char* list, int precision) TQ_NOEXCEPT {
    if (!list) return 0;
    return orvane::guarded(0, [&] {
        const std::string result = formatDoubleList(list, precision);
        std::memcpy(list, result.c_str(), result.size() + 1);
        return 0;
    });
}

TQ_API int tqStringFixed_listFormatDoubleRangeW(tqWChar* list, int precision) TQ_NOEXCEPT {
    if (!list) return 0;
    return orvane::guarded(0, [&] {
        // The result is rebuilt from the numbers alone, so the work is done on the ASCII
        // form of the list (a unit beyond ASCII stops a number just as it does in wide text).
        std::string narrow;
        for (const tqWChar* w = list; *w; ++w) narrow += orvane::code(*w) < 128 ? static_cast<char>(*w) : '?';
        const std::string result = formatDoubleList(narrow, precision);
        for (std::size_t i = 0; i <= result.size(); ++i) list[i] = static_cast<tqWChar>(result.c_str()[i]);
        return 0;
    });
}

TQ_API int tqStringAsList_findDoubleA(double value, const char* list, const char* separators,
                                      double tolerance) TQ_NOEXCEPT {
    return orvane::guarded(-1, [&] { return findDouble(value, list, separators, tolerance); });
}

TQ_API int tqStringAsList_findDoubleW(double value, const tqWChar* list, const tqWChar* separators,
                                      double tolerance) TQ_NOEXCEPT {
    if (!list || !separators) return -1;
    return orvane::guarded(-1, [&] {
        std::string l, s;
        if (!orvane::narrowExact(list, l) || !orvane::narrowExact(separators, s)) return -1;
        return findDouble(value, l.c_str(), s.c_str(), tolerance);
    });
}

}  // extern "C"
