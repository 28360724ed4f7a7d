// Case-insensitive comparison and search, the field counter and the logical-name
// pattern test. Case is folded to upper case with the current locale, character by
// character as the comparison goes, which gives the same order as folding whole
// copies first without the copies.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "frame/boundary.hpp"
#include "frame/text.hpp"
#include "strings/tokenizer.hpp"

namespace {

using orvane::code;
using orvane::length;
using orvane::upper;

int sign(int v) noexcept { return (v > 0) - (v < 0); }

// Folded comparison of at most `count` characters; the difference of the first
// differing codes (unsigned), or 0.
template <class C>
int foldedDifference(const C* a, const C* b, std::size_t count) noexcept {
    for (std::size_t i = 0; i < count; ++i) {
        const C ua = upper(a[i]), ub = upper(b[i]);
        if (ua != ub || ua == C{0}) return static_cast<int>(code(ua)) - static_cast<int>(code(ub));
    }
    return 0;
}

int clampCount(std::size_t n) noexcept { return n > INT_MAX ? INT_MAX : static_cast<int>(n); }

// The locale's upper-case mapping of bytes, as toupper gives it. glibc keeps it as a
// table for the thread's locale, which spares a search 256 calls of toupper.
class ByteUpper {
public:
    ByteUpper() noexcept {
#ifdef __GLIBC__
        table_ = *__ctype_toupper_loc();
#else
        for (int c = 0; c < 256; ++c) own_[c] = std::toupper(c);
        table_ = own_;
#endif
    }
    unsigned char operator()(unsigned char c) const noexcept { return static_cast<unsigned char>(table_[c]); }
    // True when the mapping only raises a to z, as in the C locale and every UTF-8 locale:
    // then a byte folds to an upper-case letter L only from L and L + 32, and to any other
    // character only from itself.
    bool raisesOnlyAscii() const noexcept {
        bool same = true;
        for (int c = 0; c < 256; ++c) same &= table_[c] == ((c >= 'a' && c <= 'z') ? c - 32 : c);
        return same;
    }

private:
    const std::int32_t* table_;
#ifndef __GLIBC__
    std::int32_t own_[256];
#endif
};

// Search of the upper-cased copy of h[0, n) for `pin` (already upper-cased). Boyer-Moore
// with its good-suffix shifts stays linear on periodic texts, where glibc's memmem
// compares short needles (up to 256 characters) at every position.
const char* searchFoldedCopy(const char* h, std::size_t n, const std::string& pin, const ByteUpper& up) {
    std::string hay(h, n);
    for (char& c : hay) c = static_cast<char>(up(static_cast<unsigned char>(c)));
    const auto it = std::search(hay.begin(), hay.end(), std::boyer_moore_searcher(pin.begin(), pin.end()));
    return it == hay.end() ? nullptr : h + (it - hay.begin());
}

// True when the upper-cased h[from, to) equals pin[from, to).
bool foldedEqual(const unsigned char* h, const std::string& pin, std::size_t from, std::size_t to,
                 const ByteUpper& up) noexcept {
    for (std::size_t k = from; k < to; ++k)
        if (up(h[k]) != static_cast<unsigned char>(pin[k])) return false;
    return true;
}

// Case-insensitive search of h[0, n). Without copying the haystack: sixteen positions at
// a time are sifted by the needle's first and last characters, and only the positions that
// pass both are compared in full. Texts that make the sift pass too often (long runs of
// the needle's own pattern) go on by the linear search of a folded copy, so the worst case
// stays linear.
const char* searchNoCase8(const char* haystack, std::size_t n, const char* needle) {
    const ByteUpper up;
    std::string pin(needle);
    for (char& c : pin) c = static_cast<char>(up(static_cast<unsigned char>(c)));
    const std::size_t m = pin.size();
    if (m == 0) return haystack;
    if (m > n) return nullptr;
    const auto* h = reinterpret_cast<const unsigned char*>(haystack);
    std::size_t i = 0;
#if defined(__SSE2__)
    if (n >= 256 && up.raisesOnlyAscii()) {
        auto sieve = [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? 0xDF : 0xFF); };
        const unsigned char first = static_cast<unsigned char>(pin[0]), last = static_cast<unsigned char>(pin[m - 1]);
        const __m128i vf = _mm_set1_epi8(static_cast<char>(first)), vl = _mm_set1_epi8(static_cast<char>(last));
        const __m128i mf = _mm_set1_epi8(sieve(first)), ml = _mm_set1_epi8(sieve(last));
        std::size_t spent = 0;  // characters compared after the sift
        for (; i + m + 15 <= n; i += 16) {
            const __m128i a = _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(h + i)), mf);
            const __m128i b = _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(h + i + m - 1)), ml);
            unsigned bits = static_cast<unsigned>(
                _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, vf), _mm_cmpeq_epi8(b, vl))));
            for (; bits; bits &= bits - 1) {
                const std::size_t at = i + static_cast<std::size_t>(__builtin_ctz(bits));
                if (m <= 2 || foldedEqual(h + at, pin, 1, m - 1, up)) return haystack + at;
                spent += m;
                if (spent > 2 * i + 1024) {
                    const char* hit = searchFoldedCopy(haystack + at, n - at, pin, up);
                    return hit;
                }
            }
        }
    }
#endif
    // Short texts, the last positions, and mappings beyond a to z.
    if (n - i > 256) return searchFoldedCopy(haystack + i, n - i, pin, up);
    for (; i + m <= n; ++i)
        if (up(h[i]) == static_cast<unsigned char>(pin[0]) && foldedEqual(h + i, pin, 1, m, up)) return haystack + i;
    return nullptr;
}

// Wide texts are mostly Latin: long ones map their units below 256 through a table
// filled from the locale once per call, and ask the locale only for the rest.
std::u16string foldedCopy(const tqWChar* s, std::size_t n) {
    std::u16string out(s, n);
    if (n > 1024) {
        char16_t table[256];
        for (unsigned c = 0; c < 256; ++c) table[c] = upper(static_cast<tqWChar>(c));
        for (char16_t& c : out) c = c < 256 ? table[c] : upper(c);
    } else {
        for (char16_t& c : out) c = upper(c);
    }
    return out;
}

template <class C>
C* searchNoCase(const C* haystack, const C* needle, int count) {
    if (!haystack || !needle || count < 1) return nullptr;
    const std::size_t window = orvane::boundedLength(haystack, static_cast<std::size_t>(count));
    if constexpr (sizeof(C) == 1) {
        return const_cast<C*>(searchNoCase8(haystack, window, needle));
    } else {
        const auto hay = foldedCopy(haystack, window);
        const auto pin = foldedCopy(needle, length(needle));
        if (pin.empty()) return const_cast<C*>(haystack);
        std::size_t at;
        if (pin.size() <= 8) {
            at = hay.find(pin);
        } else {
            // Boyer-Moore keeps long needles linear where a naive find is not.
            const auto it = std::search(hay.begin(), hay.end(), std::boyer_moore_searcher(pin.begin(), pin.end()));
            at = it == hay.end() ? std::u16string::npos : static_cast<std::size_t>(it - hay.begin());
        }
        if (at == std::u16string::npos) return nullptr;
        return const_cast<C*>(haystack) + at;
    }
}

template <class C>
int countFields(const C* text, const C* separators) noexcept {
    if (!text || !separators) return 0;
    const orvane::TokenSets<C> sets{nullptr, nullptr, nullptr, separators, nullptr, nullptr};
    int fields = 0;
    std::size_t pos = 0;
    for (;;) {
        const int consumed = orvane::getToken<C>(nullptr, text + pos, sets, 0);
        if (consumed <= 0) break;
        ++fields;
        pos += static_cast<std::size_t>(consumed);
    }
    return fields;
}

bool isBlank(char c) noexcept { return c == ' ' || c == '\t'; }

// One pattern of '*' and '?' against a name. A '*' takes the name up to the first
// occurrence of the pattern character after it; there is no backtracking.
bool matchLogicalName(std::string_view pattern, std::string_view name, bool caseSensitive) {
    auto trimmed = [](std::string_view s) {
        while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
        while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
        return std::string(s);
    };
    std::string p = trimmed(pattern), n = trimmed(name);
    if (!caseSensitive) {
        for (char& c : p) c = upper(c);
        for (char& c : n) c = upper(c);
    }
    // Terminator-aware access keeps the walk a transcription of the rules.
    auto P = [&](std::size_t i) { return i < p.size() ? p[i] : '\0'; };
    auto N = [&](std::size_t j) { return j < n.size() ? n[j] : '\0'; };
    std::size_t i = 0, j = 0;
    while (P(i) != '\0') {
        if (N(j) == '\0') {
            while (P(i) == '*') ++i;
            if (P(i) == '\0') break;
            return false;
        }
        const char pc = P(i);
        if (pc == '*') {
            const char next = P(i + 1);
            while (N(j) != '\0' && N(j) != next) ++j;
        } else if (pc == '?') {
            ++j;
        } else {
            if (pc != N(j)) return false;
            ++j;
        }
        ++i;
    }
    return N(j) == '\0';
}

}  // namespace

extern "C" {

TQ_API int tqString_cmpNoCaseNA(const char* a, const char* b, int count) noexcept {
    if (!a || !b || count < 1) return -1;
    return sign(foldedDifference(a, b, static_cast<std::size_t>(count)));
}

TQ_API int tqString_cmpNoCaseNW(const tqWChar* a, const tqWChar* b, int count) noexcept {
    if (!a || !b || count < 1) return -1;
    return foldedDifference(a, b, static_cast<std::size_t>(count));
}

TQ_API int tqString_cmpNoCaseA(const char* a, const char* b) noexcept {
    if (!a || !b) return 0;
    return tqString_cmpNoCaseNA(a, b, clampCount(std::max(length(a), length(b))));
}

TQ_API int tqString_cmpNoCaseW(const tqWChar* a, const tqWChar* b) noexcept {
    if (!a || !b) return 0;
    return tqString_cmpNoCaseNW(a, b, clampCount(std::max(length(a), length(b))));
}

TQ_API int tqString_cmpPrefixNoCase(const char* text, const char* prefix) noexcept {
    if (!text || !prefix) return -1;
    return tqString_cmpNoCaseNA(text, prefix, clampCount(length(prefix)));
}

TQ_API int tqString_cmpSuffixNoCaseN(const char* a, const char* b, int count) noexcept {
    if (!a || !b || count < 1) return -1;
    const std::size_t la = length(a), lb = length(b), n = static_cast<std::size_t>(count);
    const char* ta = la > n ? a + (la - n) : a;
    const char* tb = lb > n ? b + (lb - n) : b;
    return sign(foldedDifference(ta, tb, SIZE_MAX));
}

TQ_API int tqString_cmpSuffixNoCase(const char* text, const char* suffix) noexcept {
    if (!text || !suffix) return -1;
    return tqString_cmpSuffixNoCaseN(text, suffix, clampCount(length(suffix)));
}

TQ_API char* tqString_strNoCaseNA(const char* haystack, const char* needle, int count) noexcept {
    return orvane::guarded<char*>(nullptr, [&] { return searchNoCase(haystack, needle, count); });
}

TQ_API tqWChar* tqString_strNoCaseNW(const tqWChar* haystack, const tqWChar* needle, int count) noexcept {
    return orvane::guarded<tqWChar*>(nullptr, [&] { return searchNoCase(haystack, needle, count); });
}

TQ_API char* tqString_strNoCaseA(const char* haystack, const char* needle) noexcept {
    if (!haystack || !needle) return nullptr;
    return tqString_strNoCaseNA(haystack, needle, clampCount(length(haystack)));
}

TQ_API tqWChar* tqString_strNoCaseW(const tqWChar* haystack, const tqWChar* needle) noexcept {
    if (!haystack || !needle) return nullptr;
    return tqString_strNoCaseNW(haystack, needle, clampCount(length(haystack)));
}

TQ_API int tqString_countCharsA(const char* text, const char* separators) noexcept {
    return countFields(text, separators);
}

TQ_API int tqString_countCharsW(const tqWChar* text, const tqWChar* separators) noexcept {
    return countFields(text, separators);
}

TQ_API int tqString_CompareLogicalNames2(const char* patterns, const char* name, int isList, char listSeparator,
                                         int caseSensitive) noexcept {
    if (!patterns || !name) return 0;
    return orvane::guarded(0, [&] {
        std::string_view all(patterns);
        if (!isList || listSeparator == '\0') return matchLogicalName(all, name, caseSensitive != 0) ? 1 : 0;
        // Every piece is tried, the empty ones before, between and after separators too.
        for (;;) {
            const std::size_t cut = all.find(listSeparator);
            if (matchLogicalName(all.substr(0, cut), name, caseSensitive != 0)) return 1;
            if (cut == std::string_view::npos) return 0;
            all.remove_prefix(cut + 1);
        }
    });
}

TQ_API int tqString_CompareLogicalNames(const char* patterns, const char* name, int isList,
                                        char listSeparator) noexcept {
    return tqString_CompareLogicalNames2(patterns, name, isList, listSeparator, 1);
}

}  // extern "C"
