// Number reading shared by the numeric texts: atoi for both character widths, and the
// conversions between integer list texts and bit masks.
#pragma once

#include <climits>
#include <cstdint>
#include <string>

namespace orvane {

// atoi rules (leading white space, optional sign, decimal digits up to the first other
// character) for 8-bit and 16-bit text. Out-of-range values saturate to the int range
// instead of being undefined.
template <class C>
int atoiText(const C* s) noexcept {
    while (*s == C(' ') || (*s >= C('\t') && *s <= C('\r'))) ++s;
    bool negative = false;
    if (*s == C('-') || *s == C('+')) negative = *s++ == C('-');
    std::int64_t v = 0;
    for (; *s >= C('0') && *s <= C('9'); ++s) {
        v = v * 10 + (*s - C('0'));
        if (v > std::int64_t{INT_MAX} + 1) v = std::int64_t{INT_MAX} + 1;
    }
    if (negative) v = -v;
    if (v > INT_MAX) v = INT_MAX;
    return static_cast<int>(v);
}

// The work of tqString_buildBitMaskFromStringA/W and tqString_buildStringFromBitMaskA/W,
// throwing std::bad_alloc: a caller that rewrites a list in place through a mask can then
// leave the list as it was.
template <class C>
int buildMask(unsigned char* mask, const C* text, int byteCount, int offset);
std::string maskToText(const unsigned char* mask, int byteCount, int offset);

}  // namespace orvane
