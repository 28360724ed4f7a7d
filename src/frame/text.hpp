// Character-width-generic helpers shared by the string families. The A forms work on
// bytes and the W forms on 16-bit units; templates keep one implementation of each
// algorithm for both widths.
#pragma once

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <cwctype>

#include "orvane.h"

namespace orvane {

template <class C>
inline std::size_t length(const C* s) noexcept {
    if constexpr (sizeof(C) == 1) {
        return std::strlen(reinterpret_cast<const char*>(s));
    } else {
        const C* p = s;
        while (*p) ++p;
        return static_cast<std::size_t>(p - s);
    }
}

// Length, but never more than `limit`: lets a windowed operation avoid scanning a long
// string past the part it looks at.
template <class C>
inline std::size_t boundedLength(const C* s, std::size_t limit) noexcept {
    if constexpr (sizeof(C) == 1) {
        return strnlen(reinterpret_cast<const char*>(s), limit);
    } else {
        std::size_t n = 0;
        while (n < limit && s[n]) ++n;
        return n;
    }
}

// Unsigned code of a character, for table lookups and ordering.
inline unsigned code(char c) noexcept { return static_cast<unsigned char>(c); }
inline unsigned code(tqWChar c) noexcept { return static_cast<std::uint16_t>(c); }

// Upper-case mapping of the current locale: toupper for bytes, towupper for 16-bit
// units (a mapping that leaves the 16-bit range keeps the unit as it is).
inline char upper(char c) noexcept {
    return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}
inline tqWChar upper(tqWChar c) noexcept {
    const std::wint_t u = std::towupper(static_cast<std::wint_t>(code(c)));
    return u <= 0xFFFF ? static_cast<tqWChar>(u) : c;
}

// Membership in a caller's character set (a NUL-terminated string; NULL is empty).
// Members below 256 go into a bitmap; wide members above it are looked up in the set
// text itself, which is short in practice.
template <class C>
class CharSet {
public:
    CharSet() noexcept = default;
    explicit CharSet(const C* set) noexcept : set_(set) {
        if (!set) return;
        for (const C* p = set; *p; ++p) {
            const unsigned v = code(*p);
            if (v < 256) {
                bits_[v >> 6] |= std::uint64_t{1} << (v & 63);
            } else {
                high_ = true;
            }
        }
    }
    bool contains(C c) const noexcept {
        const unsigned v = code(c);
        if (v < 256) return v != 0 && ((bits_[v >> 6] >> (v & 63)) & 1u);
        if (!high_) return false;
        for (const C* p = set_; *p; ++p)
            if (*p == c) return true;
        return false;
    }
    bool empty() const noexcept { return !set_ || !*set_; }

private:
    const C* set_ = nullptr;
    std::uint64_t bits_[4] = {0, 0, 0, 0};
    bool high_ = false;
};

}  // namespace orvane
