// Internal entry to the tokenizer for the families that walk strings with it, so that
// they need not go through the eight exported wrappers.
#pragma once

#include "orvane.h"

namespace orvane {

template <class C>
struct TokenSets {
    const C* skipLeading = nullptr;
    const C* trimTrailing = nullptr;
    const C* ignore = nullptr;
    const C* separators = nullptr;
    const C* stoppers = nullptr;
    const C* quotes = nullptr;
};

// Consumed count of the next token of `source`, looking at most at `maxLength`
// characters (0 or less: the whole string). `dest` may be NULL.
template <class C>
int getToken(C* dest, const C* source, const TokenSets<C>& sets, int maxLength) noexcept;

// As getToken, for a destination that the caller knows to share no memory with the
// source (a buffer of its own): the call skips the look at how far the token reaches.
template <class C>
int getTokenApart(C* dest, const C* source, const TokenSets<C>& sets, int maxLength) noexcept;

extern template int getToken<char>(char*, const char*, const TokenSets<char>&, int) noexcept;
extern template int getToken<tqWChar>(tqWChar*, const tqWChar*, const TokenSets<tqWChar>&, int) noexcept;
extern template int getTokenApart<char>(char*, const char*, const TokenSets<char>&, int) noexcept;
extern template int getTokenApart<tqWChar>(tqWChar*, const tqWChar*, const TokenSets<tqWChar>&, int) noexcept;

}  // namespace orvane
