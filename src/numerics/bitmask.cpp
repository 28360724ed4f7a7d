// Bit masks over a caller's byte array, their conversion to and from integer list texts
// ("1-3,5,7-9"), bit-field extraction and the growable integer list.
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "frame/boundary.hpp"
#include "frame/text.hpp"
#include "numerics/numbers.hpp"
#include "orvane.h"
#include "strings/tokenizer.hpp"

namespace {

enum : int {
    kSetAll = 1,
    kClearAll,
    kSetBit,
    kClearBit,
    kInvertBit,
    kTestBit,
    kInvertAll,
    kTestMask,
    kLowestBit,
    kHighestBit
};

int setBitMask(std::uint64_t bit, unsigned char* mask, int byteCount, int operation) noexcept {
    if (!mask || byteCount < 1) return 0;
    const std::size_t bytes = static_cast<std::size_t>(byteCount);
    const bool inMask = bit < static_cast<std::uint64_t>(bytes) * 8;
    unsigned char* byte = inMask ? mask + bit / 8 : nullptr;
    const unsigned char value = static_cast<unsigned char>(1u << (bit % 8));
    switch (operation) {
        case kSetAll: std::memset(mask, 0xFF, bytes); return 0;
        case kClearAll: std::memset(mask, 0, bytes); return 0;
        case kSetBit: if (byte) *byte |= value; return 0;
        case kClearBit: if (byte) *byte &= static_cast<unsigned char>(~value); return 0;
        case kInvertBit: if (byte) *byte ^= value; return 0;
        case kTestBit: return byte && !(*byte & value) ? 1 : 0;
        case kInvertAll:
            for (std::size_t i = 0; i < bytes; ++i) mask[i] = static_cast<unsigned char>(~mask[i]);
            return 0;
        case kTestMask:
            for (std::size_t i = 0; i < bytes; ++i)
                if (mask[i]) return 0;
            return 1;
        case kLowestBit:
            for (std::size_t i = 0; i < bytes; ++i)
                if (mask[i]) return static_cast<int>(i * 8 + static_cast<unsigned>(__builtin_ctz(mask[i])));
            return -1;
        case kHighestBit:
            for (std::size_t i = bytes; i-- > 0;)
                if (mask[i]) return static_cast<int>(i * 8 + 31 - static_cast<unsigned>(__builtin_clz(mask[i])));
            return -1;
        default: return 0;
    }
}

template <class C>
bool allDigits(const C* s) noexcept {
    if (!*s) return false;
    for (; *s; ++s)
        if (*s < C('0') || *s > C('9')) return false;
    return true;
}

}  // namespace

namespace orvane {

template <class C>
int buildMask(unsigned char* mask, const C* text, int byteCount, int offset) {
    if (!mask || !text) return 0;
    // Tokens are never longer than what is left of the text. Taken before the mask is
    // cleared, so that running out of memory leaves the mask as it was.
    std::vector<C> entry(orvane::length(text) + 1), first(entry.size()), rest(entry.size());
    setBitMask(0, mask, byteCount, kClearAll);
    if (byteCount < 1) return 0;
    const std::int64_t bits = static_cast<std::int64_t>(byteCount) * 8;
    static const C kBlank[] = {C(' '), C(0)};
    static const C kComma[] = {C(','), C(0)};
    static const C kDash[] = {C('-'), C(0)};
    orvane::TokenSets<C> entrySets, firstSets, restSets;
    entrySets.ignore = firstSets.ignore = restSets.ignore = kBlank;
    entrySets.separators = kComma;
    firstSets.separators = kDash;
    for (const C* p = text;;) {
        const int used = orvane::getToken<C>(entry.data(), p, entrySets, 0);
        if (used == 0) break;
        p += used;
        if (allDigits(entry.data())) {
            setBitMask(static_cast<std::uint64_t>(static_cast<unsigned>(orvane::atoiText(entry.data()) - std::int64_t{offset})),
                       mask, byteCount, kSetBit);
            continue;
        }
        const int split = orvane::getToken<C>(first.data(), entry.data(), firstSets, 0);
        orvane::getToken<C>(rest.data(), entry.data() + split, restSets, 0);
        const std::int64_t lo = std::int64_t{orvane::atoiText(first.data())} - offset;
        const std::int64_t hi = std::int64_t{orvane::atoiText(rest.data())} - offset;
        if (lo >= hi) continue;
        // Bits outside the mask are ignored, so only the part of the range inside it is
        // set, whole bytes at a time.
        std::int64_t b = lo < 0 ? 0 : lo;
        const std::int64_t last = hi < bits ? hi : bits - 1;
        for (; b <= last && b % 8; ++b) mask[b / 8] |= static_cast<unsigned char>(1u << (b % 8));
        for (; b + 7 <= last; b += 8) mask[b / 8] = 0xFF;
        for (; b <= last; ++b) mask[b / 8] |= static_cast<unsigned char>(1u << (b % 8));
    }
    return 0;
}

// The list text of a mask: ascending, runs of consecutive numbers as "first-last".
std::string maskToText(const unsigned char* mask, int byteCount, int offset) {
    std::string out;
    if (byteCount < 1) return out;
    const std::int64_t bits = static_cast<std::int64_t>(byteCount) * 8;
    bool any = false, run = false;
    std::int64_t previous = 0;
    for (std::int64_t n = 0; n < bits; ++n) {
        // Whole empty bytes, and whole full bytes that extend a run, are taken at once.
        if (n % 8 == 0 && mask[n / 8] == 0) {
            n += 7;
            continue;
        }
        if (n % 8 == 0 && mask[n / 8] == 0xFF && any && previous == n + offset - 1) {
            if (!run) out += '-';
            run = true;
            previous = n + offset + 7;
            n += 7;
            continue;
        }
        if (!(mask[n / 8] & (1u << (n % 8)))) continue;
        const std::int64_t v = n + offset;
        if (!any) {
            out += std::to_string(v);
            any = true;
        } else if (v == previous + 1) {
            if (!run) {
                out += '-';
                run = true;
            }
        } else {
            if (run) {
                out += std::to_string(previous);
                run = false;
            }
            out += ',';
            out += std::to_string(v);
        }
        previous = v;
    }
    if (run) out += std::to_string(previous);
    return out;
}

template int buildMask<char>(unsigned char*, const char*, int, int);
template int buildMask<tqWChar>(unsigned char*, const tqWChar*, int, int);

}  // namespace orvane

using orvane::buildMask;
using orvane::maskToText;

extern "C" {

TQ_API int tqMath_setBitMask(unsigned bit, unsigned char* mask, int byteCount, int operation) TQ_NOEXCEPT {
    return setBitMask(bit, mask, byteCount, operation);
}

TQ_API unsigned tqMath_extractBitsFromLong(unsigned value, int lowBit, int highBit) TQ_NOEXCEPT {
    const std::uint32_t keep = (std::uint32_t{2} << (static_cast<unsigned>(highBit) & 31u)) - 1u;
    return (static_cast<std::uint32_t>(value) & keep) >> (static_cast<unsigned>(lowBit) & 31u);
}

TQ_API unsigned char tqMath_extractBitsFromByte(unsigned char value, unsigned char lowBit,
                                                unsigned char highBit) TQ_NOEXCEPT {
    return static_cast<unsigned char>(tqMath_extractBitsFromLong(value, lowBit, highBit) & 0xFFu);
}

TQ_API int tqString_buildBitMaskFromStringA(unsigned char* mask, const char* text, int byteCount, int offset) TQ_NOEXCEPT {
    return orvane::guarded(0, [&] { return buildMask(mask, text, byteCount, offset); });
}

TQ_API int tqString_buildBitMaskFromStringW(unsigned char* mask, const tqWChar* text, int byteCount, int offset) TQ_NOEXCEPT {
    return orvane::guarded(0, [&] { return buildMask(mask, text, byteCount, offset); });
}

TQ_API int tqString_buildStringFromBitMaskA(char* out, const unsigned char* mask, int byteCount, int offset) TQ_NOEXCEPT {
    if (!mask || !out) return 0;
    *out = '\0';
    return orvane::guarded(0, [&] {
        const std::string s = maskToText(mask, byteCount, offset);
        std::memcpy(out, s.c_str(), s.size() + 1);
        return 0;
    });
}

TQ_API int tqString_buildStringFromBitMaskW(tqWChar* out, const unsigned char* mask, int byteCount, int offset) TQ_NOEXCEPT {
    if (!mask || !out) return 0;
    *out = u'\0';
    return orvane::guarded(0, [&] {
        // The text is ASCII, so widening it unit by unit is the multibyte conversion.
        const std::string s = maskToText(mask, byteCount, offset);
        const std::size_t n = s.size() < 1024 ? s.size() : 1024;
        for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<tqWChar>(s[i]);
        out[n] = u'\0';
        return 0;
    });
}

TQ_API int tqMath_isIntInList(const int* list, int count, int value) TQ_NOEXCEPT {
    if (!list) return 0;
    for (int i = 0; i < count; ++i)
        if (list[i] == value) return 1;
    return 0;
}

TQ_API int tqMath_addIntToList(int** listRef, int value, int* countRef) TQ_NOEXCEPT {
    if (!listRef || !countRef || value < 1) return 0;
    const int count = *countRef;
    if (count < 0 || count == INT_MAX) return 0;
    // The count moves only once the array has grown, so the two always agree.
    int* grown = static_cast<int*>(std::realloc(*listRef, (static_cast<std::size_t>(count) + 1) * sizeof(int)));
    if (!grown) return 0;
    grown[count] = value;
    *listRef = grown;
    *countRef = count + 1;
    return 0;
}

TQ_API int tqMath_freeIntList(int** listRef) TQ_NOEXCEPT {
    if (listRef && *listRef) {
        std::free(*listRef);
        *listRef = nullptr;
    }
    return 0;
}

}  // extern "C"
