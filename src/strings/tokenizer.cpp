// The one tokenizer behind all eight exported forms. It takes the next token from the
// front of a window of the source and reports how many characters it consumed.
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "frame/text.hpp"
#include "strings/tokenizer.hpp"

namespace orvane {

namespace {

// Each character's roles, one bit per set, looked up in one table built per call: a
// single load per character, whatever the number and size of the sets.
enum : std::uint8_t {
    kSkip = 1,
    kTrim = 2,
    kIgnore = 4,
    kSeparator = 8,
    kStopper = 16,
    kQuote = 32,
    kEnd = 64,  // the terminator
};

template <class C>
class Roles {
public:
    explicit Roles(const TokenSets<C>& sets) noexcept : sets_(sets) {
        clear();
        table_[0] = kEnd;
        add(sets.skipLeading, kSkip);
        add(sets.trimTrailing, kTrim);
        add(sets.ignore, kIgnore);
        add(sets.separators, kSeparator);
        add(sets.stoppers, kStopper);
        add(sets.quotes, kQuote);
    }

    std::uint8_t of(C c) const noexcept {
        const unsigned v = code(c);
        if constexpr (sizeof(C) > 1) {
            if (v >= 256) return high_ ? highRoles(c) : 0;
        }
        return table_[v];
    }

private:
    // A call's sets are set up afresh each time, so clearing the table must be cheap:
    // sixteen vector stores rather than a string instruction with its start-up cost.
    void clear() noexcept {
#ifdef __SSE2__
        // Written out: as a loop the compiler turns it back into the string instruction.
        __m128i* t = reinterpret_cast<__m128i*>(table_);
        const __m128i z = _mm_setzero_si128();
        _mm_storeu_si128(t + 0, z), _mm_storeu_si128(t + 1, z), _mm_storeu_si128(t + 2, z), _mm_storeu_si128(t + 3, z);
        _mm_storeu_si128(t + 4, z), _mm_storeu_si128(t + 5, z), _mm_storeu_si128(t + 6, z), _mm_storeu_si128(t + 7, z);
        _mm_storeu_si128(t + 8, z), _mm_storeu_si128(t + 9, z), _mm_storeu_si128(t + 10, z), _mm_storeu_si128(t + 11, z);
        _mm_storeu_si128(t + 12, z), _mm_storeu_si128(t + 13, z), _mm_storeu_si128(t + 14, z), _mm_storeu_si128(t + 15, z);
#else
        std::memset(table_, 0, sizeof table_);
#endif
    }

    void add(const C* set, std::uint8_t role) noexcept {
        if (!set) return;
        for (; *set; ++set) {
            const unsigned v = code(*set);
            if (v < 256) {
                table_[v] |= role;
            } else {
                high_ = true;
            }
        }
    }

    // Wide members above 0xFF are looked up in the set texts, which are short in practice.
    std::uint8_t highRoles(C c) const noexcept {
        std::uint8_t r = 0;
        const C* all[] = {sets_.skipLeading, sets_.trimTrailing, sets_.ignore,
                          sets_.separators,  sets_.stoppers,     sets_.quotes};
        for (int k = 0; k < 6; ++k)
            if (all[k])
                for (const C* p = all[k]; *p; ++p)
                    if (*p == c) {
                        r |= static_cast<std::uint8_t>(1u << k);
                        break;
                    }
        return r;
    }

    const TokenSets<C>& sets_;
    std::uint8_t table_[256];
    bool high_ = false;
};

// The walk of the rules over source[0, limit). `dest` may be NULL (measure only). The
// walk reads no further than the consumed count (and the one character that ends it),
// and writes the token character n only after reading source character n or later.
template <class C>
int scan(C* dest, const C* source, std::size_t limit, const Roles<C>& roles) noexcept {
    std::size_t p = 0;
    while (p < limit && (roles.of(source[p]) & (kSkip | kEnd)) == kSkip) ++p;

    constexpr std::uint8_t kOutside = kEnd | kQuote | kSeparator | kStopper | kIgnore;
    constexpr std::uint8_t kInside = kEnd | kQuote;
    std::uint8_t special = kOutside;
    std::size_t n = 0;
    while (p < limit) {
        const C c = source[p];
        const std::uint8_t r = roles.of(c);
        if (!(r & special)) {
            if (dest) dest[n++] = c;
            ++p;
            continue;
        }
        if (r & kEnd) break;
        if (r & kQuote) {
            special = special == kOutside ? kInside : kOutside;
            ++p;
            continue;
        }
        // Outside quotes: a separator before a stopper before an ignored character.
        if (r & kSeparator) {
            ++p;  // the separator is consumed, not copied
            break;
        }
        if (r & kStopper) break;  // left in place for the caller
        ++p;                      // ignored: dropped
    }
    if (dest) {
        dest[n] = C{0};
        while (n > 0 && (roles.of(dest[n - 1]) & kTrim)) dest[--n] = C{0};
    }
    return static_cast<int>(p);
}

}  // namespace

template <class C>
int getToken(C* dest, const C* source, const TokenSets<C>& sets, int maxLength) noexcept {
    if (!source) return 0;
    // The consumed count is an int, so no window is longer than INT_MAX characters.
    const std::size_t limit = maxLength >= 1 ? static_cast<std::size_t>(maxLength) : std::size_t{INT_MAX};
    const Roles<C> roles(sets);
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

template int getToken<char>(char*, const char*, const TokenSets<char>&, int) noexcept;
template int getToken<tqWChar>(tqWChar*, const tqWChar*, const TokenSets<tqWChar>&, int) noexcept;

}  // namespace orvane

using orvane::getToken;
using orvane::TokenSets;

extern "C" {

TQ_API int tqString_getTokenSizedExtA(char* dest, const char* source, const char* skipLeading,
                                      const char* trimTrailing, const char* ignore, const char* separators,
                                      const char* stoppers, const char* quotes, int maxLength) noexcept {
    return getToken(dest, source, TokenSets<char>{skipLeading, trimTrailing, ignore, separators, stoppers, quotes},
                    maxLength);
}

TQ_API int tqString_getTokenSizedExtW(tqWChar* dest, const tqWChar* source, const tqWChar* skipLeading,
                                      const tqWChar* trimTrailing, const tqWChar* ignore,
                                      const tqWChar* separators, const tqWChar* stoppers, const tqWChar* quotes,
                                      int maxLength) noexcept {
    return getToken(dest, source,
                    TokenSets<tqWChar>{skipLeading, trimTrailing, ignore, separators, stoppers, quotes}, maxLength);
}

TQ_API int tqString_getTokenExtA(char* dest, const char* source, const char* skipLeading, const char* trimTrailing,
                                 const char* ignore, const char* separators, const char* stoppers,
                                 const char* quotes) noexcept {
    return getToken(dest, source, TokenSets<char>{skipLeading, trimTrailing, ignore, separators, stoppers, quotes}, 0);
}

TQ_API int tqString_getTokenExtW(tqWChar* dest, const tqWChar* source, const tqWChar* skipLeading,
                                 const tqWChar* trimTrailing, const tqWChar* ignore, const tqWChar* separators,
                                 const tqWChar* stoppers, const tqWChar* quotes) noexcept {
    return getToken(dest, source,
                    TokenSets<tqWChar>{skipLeading, trimTrailing, ignore, separators, stoppers, quotes}, 0);
}

TQ_API int tqString_getTokenSizedA(char* dest, const char* source, const char* skipLeading, const char* trimTrailing,
                                   const char* ignore, const char* separators, const char* stoppers,
                                   int maxLength) noexcept {
    return getToken(dest, source, TokenSets<char>{skipLeading, trimTrailing, ignore, separators, stoppers, nullptr},
                    maxLength);
}

TQ_API int tqString_getTokenSizedW(tqWChar* dest, const tqWChar* source, const tqWChar* skipLeading,
                                   const tqWChar* trimTrailing, const tqWChar* ignore, const tqWChar* separators,
                                   const tqWChar* stoppers, int maxLength) noexcept {
    return getToken(dest, source,
                    TokenSets<tqWChar>{skipLeading, trimTrailing, ignore, separators, stoppers, nullptr}, maxLength);
}

TQ_API int tqString_getTokenA(char* dest, const char* source, const char* skipLeading, const char* trimTrailing,
                              const char* ignore, const char* separators, const char* stoppers) noexcept {
    return getToken(dest, source, TokenSets<char>{skipLeading, trimTrailing, ignore, separators, stoppers, nullptr}, 0);
}

TQ_API int tqString_getTokenW(tqWChar* dest, const tqWChar* source, const tqWChar* skipLeading,
                              const tqWChar* trimTrailing, const tqWChar* ignore, const tqWChar* separators,
                              const tqWChar* stoppers) noexcept {
    return getToken(dest, source,
                    TokenSets<tqWChar>{skipLeading, trimTrailing, ignore, separators, stoppers, nullptr}, 0);
}

}  // extern "C"
