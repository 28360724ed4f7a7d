// The one tokenizer behind all eight exported forms. It takes the next token from the
// front of a window of the source and reports how many characters it consumed.
#include <climits>
#include <cstdlib>
#include <cstring>

#include "frame/text.hpp"
#include "strings/tokenizer.hpp"

namespace orvane {

namespace {

template <class C>
int scan(C* dest, const C* source, std::size_t limit, const TokenSets<C>& sets) noexcept {
    const CharSet<C> skip(sets.skipLeading), trim(sets.trimTrailing), ignore(sets.ignore),
        separators(sets.separators), stoppers(sets.stoppers), quotes(sets.quotes);
    std::size_t p = 0;
    while (p < limit && source[p] && skip.contains(source[p])) ++p;

    bool inQuotes = false;
    std::size_t n = 0;
    while (p < limit && source[p]) {
        const C c = source[p];
        if (quotes.contains(c)) {
            inQuotes = !inQuotes;
            ++p;
            continue;
        }
        if (!inQuotes) {
            if (separators.contains(c)) {
                ++p;  // the separator is consumed, not copied
                break;
            }
            if (stoppers.contains(c)) break;  // left in place for the caller
            if (ignore.contains(c)) {
                ++p;
                continue;
            }
        }
        if (dest) dest[n++] = c;
        ++p;
    }
    if (dest) {
        dest[n] = C{0};
        while (n > 0 && trim.contains(dest[n - 1])) dest[--n] = C{0};
    }
    return static_cast<int>(p);
}

}  // namespace

template <class C>
int getToken(C* dest, const C* source, const TokenSets<C>& sets, int maxLength) noexcept {
    if (!source) return 0;
    // The consumed count is an int, so no window is longer than INT_MAX characters.
    const std::size_t limit = maxLength >= 1 ? static_cast<std::size_t>(maxLength) : std::size_t{INT_MAX};
    // The token never runs ahead of the read position, so writing into the source itself
    // (dest == source) or before it is safe. A destination that starts inside the window,
    // past the source, would overwrite text not yet read: tokenize a copy instead.
    if (dest && dest > source) {
        const std::size_t window = boundedLength(source, limit);
        if (dest <= source + window) {
            C* copy = static_cast<C*>(std::malloc((window + 1) * sizeof(C)));
            if (!copy) return 0;
            std::memcpy(copy, source, window * sizeof(C));
            copy[window] = C{0};
            const int consumed = scan(dest, copy, window, sets);
            std::free(copy);
            return consumed;
        }
    }
    return scan(dest, source, limit, sets);
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
