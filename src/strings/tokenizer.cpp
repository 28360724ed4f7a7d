// The one tokenizer behind all eight exported forms. It takes the next token from the
// front of a window of the source and reports how many characters it consumed.
//
// Hosts walk long lists with it, one short token per call, so the cost that counts is
// the set-up of each call and the search for the end of each token. Short sets (the
// usual one to four characters) are used as they are: a membership test compares with
// each member, and plain runs of the token are found sixteen bytes at a time by
// comparing with every character that can end them. Long sets go into a table of
// each character's roles, one load per test.
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif
#ifdef __x86_64__
#include <immintrin.h>
#endif

#include "frame/text.hpp"
#include "strings/tokenizer.hpp"

// gcc names an AddressSanitizer build with a macro, clang only through __has_feature; the
// block reads below look past the terminator within a page, which the sanitizer reports.
#if defined(__SANITIZE_ADDRESS__)
#define ORVANE_TOKEN_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ORVANE_TOKEN_ASAN 1
#endif
#endif

namespace orvane {

namespace {

enum Role : int { kSkip, kTrim, kIgnore, kSeparator, kStopper, kQuote, kRoles };

// Up to this many distinct characters can end a plain run for the block search.
constexpr int kFewEnders = 4;
// Sets longer than this (together) are put into the role table.
constexpr std::size_t kShortSets = 12;

template <class C>
class Roles {
public:
    // The characters that end a plain run: quotes inside quotes; quotes, separators,
    // stoppers and ignored characters outside. count > kFewEnders: too many to list.
    struct Enders {
        C unit[kFewEnders];
        int count = 0;
    };

    // Each set arrives as its own argument: a copy of the caller's record would be read
    // back wider than it was written, which stalls the load.
    // `table` is the caller's room for the role table, used only for long sets.
    Roles(const C* skip, const C* trim, const C* ignore, const C* separators, const C* stoppers,
          const C* quotes, std::uint8_t (&table)[256]) noexcept
        : set_{skip, trim, ignore, separators, stoppers, quotes}, room_(table) {
        std::size_t total = count(set_[kSkip]) + count(set_[kTrim]);
        total += collect(set_[kQuote], inside_);
        collect(set_[kQuote], outside_);
        total += collect(set_[kSeparator], outside_) + collect(set_[kStopper], outside_) +
                 collect(set_[kIgnore], outside_);
        if (total > kShortSets) buildTable();
    }

    bool is(Role role, C c) const noexcept {
        if (table_ == nullptr) {
            // short sets: compared with each member below
        } else {
            const unsigned v = code(c);
            if (v < 256) return (table_[v] >> role) & 1;
            if (!high_) return false;
        }
        const C* s = set_[role];
        if (!s || !*s) return false;
        if (*s == c) return true;  // the usual one-character set ends here
        while (*++s)
            if (*s == c) return true;
        return false;
    }

    const Enders& enders(bool inQuotes) const noexcept { return inQuotes ? inside_ : outside_; }
    bool endsRun(C c, bool inQuotes) const noexcept {
        return c == C{0} || is(kQuote, c) ||
               (!inQuotes && (is(kSeparator, c) || is(kStopper, c) || is(kIgnore, c)));
    }

private:
    void buildTable() noexcept {
        std::memset(room_, 0, 256);
        for (int role = 0; role < kRoles; ++role)
            if (const C* s = set_[role])
                for (; *s; ++s) {
                    const unsigned v = code(*s);
                    if (v < 256) room_[v] |= static_cast<std::uint8_t>(1u << role);
                    else high_ = true;
                }
        table_ = room_;
    }

    // Length of a set, counted only as far as the choice of the table needs.
    static std::size_t count(const C* set) noexcept {
        std::size_t n = 0;
        if (set)
            while (set[n] && n <= kShortSets) ++n;
        return n;
    }

    // Adds a set's characters to the enders (a repeated one takes a place again); returns
    // the set's length as count() does.
    static std::size_t collect(const C* set, Enders& e) noexcept {
        std::size_t n = 0;
        if (set)
            for (; set[n] && n <= kShortSets; ++n) {
                if (e.count < kFewEnders) e.unit[e.count] = set[n];
                ++e.count;
            }
        return n;
    }

    const C* set_[kRoles];
    Enders inside_, outside_;
    std::uint8_t* room_;
    const std::uint8_t* table_ = nullptr;
    bool high_ = false;
};

#if defined(__x86_64__) && !defined(ORVANE_TOKEN_ASAN)
#define ORVANE_MASKED_MOVES 1
// Up to 16 bytes in one masked load and store: no branch on the length, whose changes
// from token to token a predictor cannot follow. Masked-off bytes are neither read nor
// written, so nothing past the token is touched.
__attribute__((target("avx512bw,avx512vl"))) void moveMasked(char* d, const char* s, unsigned bytes) noexcept {
    const auto k = static_cast<__mmask16>((1u << bytes) - 1);
    _mm_mask_storeu_epi8(d, k, _mm_maskz_loadu_epi8(k, s));
}
#endif

// Moves n characters; the source may overlap the destination from above. Short moves,
// the usual token, are done with two overlapping loads and stores instead of a call.
template <class C>
inline void moveChars(C* to, const C* from, std::size_t n, bool masked) noexcept {
    char* d = reinterpret_cast<char*>(to);
    const char* s = reinterpret_cast<const char*>(from);
    const std::size_t bytes = n * sizeof(C);
#ifdef ORVANE_MASKED_MOVES
    if (masked && bytes <= 16) return moveMasked(d, s, static_cast<unsigned>(bytes));
#else
    (void)masked;
#endif
    if (bytes >= 8 && bytes <= 16) {
        std::uint64_t a, b;
        std::memcpy(&a, s, 8);
        std::memcpy(&b, s + bytes - 8, 8);
        std::memcpy(d, &a, 8);
        std::memcpy(d + bytes - 8, &b, 8);
    } else if (bytes >= 4 && bytes < 8) {
        std::uint32_t a, b;
        std::memcpy(&a, s, 4);
        std::memcpy(&b, s + bytes - 4, 4);
        std::memcpy(d, &a, 4);
        std::memcpy(d + bytes - 4, &b, 4);
    } else if (bytes < 4) {
        for (std::size_t k = 0; k < bytes; ++k) d[k] = s[k];
    } else {
        std::memmove(d, s, bytes);
    }
}

#if defined(__SSE2__) && !defined(ORVANE_TOKEN_ASAN)
#define ORVANE_TOKEN_BLOCKS 1

// The block search for the end of a plain run: the terminator and up to four enders.
template <class C>
class RunFinder {
public:
    // Unused places repeat the terminator, whose comparison is made anyway.
    template <class Enders>
    explicit RunFinder(const Enders& e) noexcept : count_(e.count) {
        const __m128i zero = _mm_setzero_si128();
        unit_[0] = e.count > 0 ? splat(e.unit[0]) : zero;
        unit_[1] = e.count > 1 ? splat(e.unit[1]) : zero;
        unit_[2] = e.count > 2 ? splat(e.unit[2]) : zero;
        unit_[3] = e.count > 3 ? splat(e.unit[3]) : zero;
    }

    // First position at or after p that holds the terminator or an ender, or `limit`.
    // The first 16 bytes are read as they stand unless they would reach into the next
    // page; after that, whole aligned blocks, which never cross a page. So no page is
    // read that the text does not touch; what lies past the terminator is ignored.
    std::size_t end(const C* source, std::size_t p, std::size_t limit) const noexcept {
        const C* at = source + p;
        if ((reinterpret_cast<std::uintptr_t>(at) & 4095) <= 4096 - 16) {
            if (const unsigned bits = hits(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at)))) {
                const std::size_t q = p + static_cast<std::size_t>(__builtin_ctz(bits)) / sizeof(C);
                return q < limit ? q : limit;
            }
        }
        const unsigned skew = static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(at) & 15);
        const C* block = reinterpret_cast<const C*>(reinterpret_cast<const char*>(at) - skew);
        unsigned keep = ~0u << skew;
        for (;;) {
            const unsigned bits = hits(_mm_load_si128(reinterpret_cast<const __m128i*>(block))) & keep;
            if (bits) {
                const std::size_t q = static_cast<std::size_t>(block - source) +
                                      static_cast<std::size_t>(__builtin_ctz(bits)) / sizeof(C);
                return q < limit ? q : limit;
            }
            block += 16 / sizeof(C);
            if (static_cast<std::size_t>(block - source) >= limit) return limit;
            keep = ~0u;
        }
    }

private:
    // Spread from a register: the enders were just written byte by byte, and a wider
    // load of them from memory would wait for the stores to drain.
    static __m128i splat(C c) noexcept {
        const unsigned v = code(c);
        if constexpr (sizeof(C) == 1) return _mm_set1_epi32(static_cast<int>(v * 0x01010101u));
        else return _mm_set1_epi32(static_cast<int>(v * 0x00010001u));
    }
    static __m128i equal(__m128i a, __m128i b) noexcept {
        if constexpr (sizeof(C) == 1) return _mm_cmpeq_epi8(a, b);
        else return _mm_cmpeq_epi16(a, b);
    }
    unsigned hits(__m128i v) const noexcept {
        __m128i h = _mm_or_si128(equal(v, _mm_setzero_si128()), equal(v, unit_[0]));
        if (count_ > 1) {
            h = _mm_or_si128(h, equal(v, unit_[1]));
            if (count_ > 2) h = _mm_or_si128(h, _mm_or_si128(equal(v, unit_[2]), equal(v, unit_[3])));
        }
        return static_cast<unsigned>(_mm_movemask_epi8(h));
    }

    __m128i unit_[kFewEnders];
    int count_;
};
#endif

// The walk of the rules over source[0, limit). `dest` may be NULL (measure only). The
// walk reads no further than the consumed count (and the one character that ends it),
// and writes token character n only after reading source character n or later, so
// `dest` may lie at or below `source`.
template <class C>
__attribute__((always_inline)) inline int scan(C* dest, const C* source, std::size_t limit,
                                               const Roles<C>& roles) noexcept {
    std::size_t p = 0;
    while (p < limit && roles.is(kSkip, source[p])) ++p;
#ifdef ORVANE_MASKED_MOVES
    const bool masked = __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vl");
#else
    const bool masked = false;
#endif

#ifdef ORVANE_TOKEN_BLOCKS
    // One finder for the current side of the quotes, made again when a quote flips it.
    RunFinder<C> finder(roles.enders(false));
    bool blocks = roles.enders(false).count <= kFewEnders;
#endif
    bool inQuotes = false;
    std::size_t n = 0;
    while (p < limit) {
        std::size_t q = p;
#ifdef ORVANE_TOKEN_BLOCKS
        if (blocks) {
            q = finder.end(source, p, limit);
        } else
#endif
        {
            while (q < limit && !roles.endsRun(source[q], inQuotes)) ++q;
        }
        if (q > p) {
            if (dest) moveChars(dest + n, source + p, q - p, masked);
            n += q - p;
            p = q;
            if (p >= limit) break;
        }
        const C c = source[p];
        if (c == C{0}) break;
        if (roles.is(kQuote, c)) {
            inQuotes = !inQuotes;
#ifdef ORVANE_TOKEN_BLOCKS
            blocks = roles.enders(inQuotes).count <= kFewEnders;
            finder = RunFinder<C>(roles.enders(inQuotes));
#endif
            ++p;
            continue;
        }
        // Outside quotes: a separator before a stopper before an ignored character.
        if (roles.is(kSeparator, c)) {
            ++p;  // the separator is consumed, not copied
            break;
        }
        if (roles.is(kStopper, c)) break;  // left in place for the caller
        ++p;                               // ignored: dropped
    }
    if (dest) {
        dest[n] = C{0};
        while (n > 0 && roles.is(kTrim, dest[n - 1])) dest[--n] = C{0};
    }
    return static_cast<int>(p);
}

}  // namespace

// The tokenizer proper, inlined into each exported form.
template <class C>
__attribute__((always_inline)) inline int tokenize(C* dest, const C* source, const C* skip, const C* trim,
                                                   const C* ignore, const C* separators, const C* stoppers,
                                                   const C* quotes, int maxLength) noexcept {
    if (!source) return 0;
    // The consumed count is an int, so no window is longer than INT_MAX characters.
    const std::size_t limit = maxLength >= 1 ? static_cast<std::size_t>(maxLength) : std::size_t{INT_MAX};
    std::uint8_t table[256];
    const Roles<C> roles(skip, trim, ignore, separators, stoppers, quotes, table);
    // The token never runs ahead of the read position, so writing into the source itself
    // (dest == source) or before it is safe, and so is a destination that lies beyond all
    // that the call reads. Only a destination a little above the source needs a look at
    // how far the token reaches; that look is bounded by the token, never by the rest of
    // the source.
    const auto d = reinterpret_cast<std::uintptr_t>(dest), s = reinterpret_cast<std::uintptr_t>(source);
    if (dest && d > s && (d - s) / sizeof(C) < limit) {
        const std::size_t distance = (d - s) / sizeof(C);
        const int consumed = scan<C>(nullptr, source, limit, roles);
        if (static_cast<std::size_t>(consumed) < distance) return scan(dest, source, limit, roles);
        // The token's reach covers the destination: tokenize a copy of what it reads.
        const std::size_t window = static_cast<std::size_t>(consumed);
        C* copy = static_cast<C*>(std::malloc((window + 1) * sizeof(C)));
        if (!copy) return 0;
        std::memcpy(copy, source, window * sizeof(C));
        copy[window] = C{0};
        const int again = scan(dest, copy, window, roles);
        std::free(copy);
        return again;
    }
    return scan(dest, source, limit, roles);
}

template <class C>
int getToken(C* dest, const C* source, const TokenSets<C>& sets, int maxLength) noexcept {
    return tokenize(dest, source, sets.skipLeading, sets.trimTrailing, sets.ignore, sets.separators, sets.stoppers,
                    sets.quotes, maxLength);
}

template <class C>
int getTokenApart(C* dest, const C* source, const TokenSets<C>& sets, int maxLength) noexcept {
    if (!source) return 0;
    const std::size_t limit = maxLength >= 1 ? static_cast<std::size_t>(maxLength) : std::size_t{INT_MAX};
    std::uint8_t table[256];
    const Roles<C> roles(sets.skipLeading, sets.trimTrailing, sets.ignore, sets.separators, sets.stoppers,
                         sets.quotes, table);
    return scan(dest, source, limit, roles);
}

template int getToken<char>(char*, const char*, const TokenSets<char>&, int) noexcept;
template int getToken<tqWChar>(tqWChar*, const tqWChar*, const TokenSets<tqWChar>&, int) noexcept;
template int getTokenApart<char>(char*, const char*, const TokenSets<char>&, int) noexcept;
template int getTokenApart<tqWChar>(tqWChar*, const tqWChar*, const TokenSets<tqWChar>&, int) noexcept;

}  // namespace orvane

using orvane::tokenize;

extern "C" {

TQ_API int tqString_getTokenSizedExtA(char* dest, const char* source, const char* skipLeading,
                                      const char* trimTrailing, const char* ignore, const char* separators,
                                      const char* stoppers, const char* quotes, int maxLength) noexcept {
    return tokenize<char>(dest, source, skipLeading, trimTrailing, ignore, separators, stoppers, quotes, maxLength);
}

TQ_API int tqString_getTokenSizedExtW(tqWChar* dest, const tqWChar* source, const tqWChar* skipLeading,
                                      const tqWChar* trimTrailing, const tqWChar* ignore,
                                      const tqWChar* separators, const tqWChar* stoppers, const tqWChar* quotes,
                                      int maxLength) noexcept {
    return tokenize<tqWChar>(dest, source, skipLeading, trimTrailing, ignore, separators, stoppers, quotes, maxLength);
}

TQ_API int tqString_getTokenExtA(char* dest, const char* source, const char* skipLeading, const char* trimTrailing,
                                 const char* ignore, const char* separators, const char* stoppers,
                                 const char* quotes) noexcept {
    return tokenize<char>(dest, source, skipLeading, trimTrailing, ignore, separators, stoppers, quotes, 0);
}

TQ_API int tqString_getTokenExtW(tqWChar* dest, const tqWChar* source, const tqWChar* skipLeading,
                                 const tqWChar* trimTrailing, const tqWChar* ignore, const tqWChar* separators,
                                 const tqWChar* stoppers, const tqWChar* quotes) noexcept {
    return tokenize<tqWChar>(dest, source, skipLeading, trimTrailing, ignore, separators, stoppers, quotes, 0);
}

TQ_API int tqString_getTokenSizedA(char* dest, const char* source, const char* skipLeading, const char* trimTrailing,
                                   const char* ignore, const char* separators, const char* stoppers,
                                   int maxLength) noexcept {
    return tokenize<char>(dest, source, skipLeading, trimTrailing, ignore, separators, stoppers, nullptr, maxLength);
}

TQ_API int tqString_getTokenSizedW(tqWChar* dest, const tqWChar* source, const tqWChar* skipLeading,
                                   const tqWChar* trimTrailing, const tqWChar* ignore, const tqWChar* separators,
                                   const tqWChar* stoppers, int maxLength) noexcept {
    return tokenize<tqWChar>(dest, source, skipLeading, trimTrailing, ignore, separators, stoppers, nullptr, maxLength);
}

TQ_API int tqString_getTokenA(char* dest, const char* source, const char* skipLeading, const char* trimTrailing,
                              const char* ignore, const char* separators, const char* stoppers) noexcept {
    return tokenize<char>(dest, source, skipLeading, trimTrailing, ignore, separators, stoppers, nullptr, 0);
}

TQ_API int tqString_getTokenW(tqWChar* dest, const tqWChar* source, const tqWChar* skipLeading,
                              const tqWChar* trimTrailing, const tqWChar* ignore, const tqWChar* separators,
                              const tqWChar* stoppers) noexcept {
    return tokenize<tqWChar>(dest, source, skipLeading, trimTrailing, ignore, separators, stoppers, nullptr, 0);
}

}  // extern "C"
