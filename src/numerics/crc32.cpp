// CRC-32 of IEEE 802.3 (reflected polynomial 0xEDB88320) and the string code.
//
// Three paths give the same value: an eight-bytes-per-pass table loop (portable), and
// carry-less multiplication folding with PCLMULQDQ on 128-bit lanes or VPCLMULQDQ on
// 512-bit registers. The vector paths fold the buffer down to 128 bits, reduce that to
// the 32-bit CRC (Barrett reduction), and leave the last few bytes to the table loop. The
// file is built for baseline x86-64; only the functions marked with a target attribute
// use the newer instructions, and they run only when the CPU reports them.
#include <cstdint>
#include <cstring>

#include "numerics/checksums.hpp"
#include "orvane.h"

#if defined(__x86_64__) || defined(__i386__)
#define ORVANE_X86 1
#include <immintrin.h>
#endif

namespace orvane {

namespace {

constexpr std::uint32_t kPolynomial = 0xEDB88320u;

struct CrcTables {
    std::uint32_t t[8][256];
};

// t[0] is the classic byte table; t[k][b] is the CRC of byte b followed by k zero bytes,
// which lets one pass combine eight bytes.
constexpr CrcTables makeTables() {
    CrcTables x{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t c = i;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ kPolynomial : c >> 1;
        x.t[0][i] = c;
    }
    for (int k = 1; k < 8; ++k)
        for (std::uint32_t i = 0; i < 256; ++i) x.t[k][i] = (x.t[k - 1][i] >> 8) ^ x.t[0][x.t[k - 1][i] & 0xFF];
    return x;
}

constexpr CrcTables kTables = makeTables();

// Works on the running register (not complemented).
std::uint32_t tableUpdate(std::uint32_t crc, const unsigned char* p, std::size_t n) noexcept {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    const auto& t = kTables.t;
    while (n >= 8) {
        std::uint64_t w;
        std::memcpy(&w, p, 8);
        w ^= crc;
        crc = t[7][w & 0xFF] ^ t[6][(w >> 8) & 0xFF] ^ t[5][(w >> 16) & 0xFF] ^ t[4][(w >> 24) & 0xFF] ^
              t[3][(w >> 32) & 0xFF] ^ t[2][(w >> 40) & 0xFF] ^ t[1][(w >> 48) & 0xFF] ^ t[0][w >> 56];
        p += 8;
        n -= 8;
    }
#endif
    while (n--) crc = (crc >> 8) ^ kTables.t[0][(crc ^ *p++) & 0xFF];
    return crc;
}

#ifdef ORVANE_X86

// Folding constants for the reflected polynomial. Moving a 128-bit lane forward by d bits
// multiplies its low half by x^(d+32) and its high half by x^(d-32) modulo P, each
// bit-reflected and shifted left by one (33-bit values).
constexpr std::uint64_t xPowModP(unsigned n) {
    std::uint64_t r = 1;  // normal bit order, P = x^32 + 0x04C11DB7
    for (unsigned i = 0; i < n; ++i) {
        r <<= 1;
        if (r & (std::uint64_t{1} << 32)) r ^= 0x104C11DB7ull;
    }
    return r;
}
constexpr std::uint64_t reflected33(unsigned n) {
    const std::uint64_t r = xPowModP(n);
    std::uint64_t out = 0;
    for (int i = 0; i < 32; ++i)
        if (r >> i & 1) out |= std::uint64_t{1} << (31 - i);
    return out << 1;
}
struct Fold {
    std::uint64_t low, high;
};
constexpr Fold foldBy(unsigned bits) { return {reflected33(bits + 32), reflected33(bits - 32)}; }

constexpr Fold kFold128 = foldBy(128);
constexpr Fold kFold256 = foldBy(256);
constexpr Fold kFold384 = foldBy(384);
constexpr Fold kFold512 = foldBy(512);
constexpr Fold kFold2048 = foldBy(2048);
constexpr std::uint64_t kFold64 = reflected33(64);
constexpr std::uint64_t kPolyReflected = 0x1DB710641ull;  // P, reflected, 33 bits
constexpr std::uint64_t kBarrettMu = 0x1F7011641ull;      // floor(x^64 / P), reflected
static_assert(kFold512.low == 0x154442BD4ull && kFold512.high == 0x1C6E41596ull);
static_assert(kFold128.low == 0x1751997D0ull && kFold128.high == 0x0CCAA009Eull);
static_assert(kFold64 == 0x163CD6124ull);

__attribute__((target("pclmul,sse4.1"))) inline __m128i load16(const unsigned char* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

__attribute__((target("pclmul,sse4.1"))) inline __m128i fold128(__m128i x, __m128i k, __m128i next) {
    return _mm_xor_si128(_mm_xor_si128(_mm_clmulepi64_si128(x, k, 0x00), _mm_clmulepi64_si128(x, k, 0x11)), next);
}

// Folds the remaining whole 16-byte blocks into x, reduces it to the CRC register and
// finishes the last bytes with the table loop.
__attribute__((target("pclmul,sse4.1"))) std::uint32_t finish128(__m128i x, const unsigned char* p, std::size_t n) {
    const __m128i k128 = _mm_set_epi64x(static_cast<long long>(kFold128.high), static_cast<long long>(kFold128.low));
    while (n >= 16) {
        x = fold128(x, k128, load16(p));
        p += 16;
        n -= 16;
    }
    // 128 -> 64 bits, then 64 -> 32 bits plus the 32 bits to reduce.
    const __m128i low32 = _mm_setr_epi32(~0, 0, ~0, 0);
    __m128i t = _mm_clmulepi64_si128(x, k128, 0x10);
    x = _mm_xor_si128(_mm_srli_si128(x, 8), t);
    t = _mm_srli_si128(x, 4);
    x = _mm_and_si128(x, low32);
    x = _mm_clmulepi64_si128(x, _mm_cvtsi64_si128(static_cast<long long>(kFold64)), 0x00);
    x = _mm_xor_si128(x, t);
    // Barrett reduction to 32 bits.
    const __m128i poly = _mm_set_epi64x(static_cast<long long>(kBarrettMu), static_cast<long long>(kPolyReflected));
    t = _mm_and_si128(x, low32);
    t = _mm_clmulepi64_si128(t, poly, 0x10);
    t = _mm_and_si128(t, low32);
    t = _mm_clmulepi64_si128(t, poly, 0x00);
    x = _mm_xor_si128(x, t);
    const std::uint32_t crc = static_cast<std::uint32_t>(_mm_extract_epi32(x, 1));
    return tableUpdate(crc, p, n);
}

__attribute__((target("pclmul,sse4.1"))) std::uint32_t pclmulUpdate(std::uint32_t crc, const unsigned char* p,
                                                                      std::size_t n) {
    if (n < 64) return tableUpdate(crc, p, n);
    __m128i x0 = _mm_xor_si128(load16(p), _mm_cvtsi32_si128(static_cast<int>(crc)));
    __m128i x1 = load16(p + 16), x2 = load16(p + 32), x3 = load16(p + 48);
    p += 64;
    n -= 64;
    const __m128i k512 = _mm_set_epi64x(static_cast<long long>(kFold512.high), static_cast<long long>(kFold512.low));
    while (n >= 64) {
        x0 = fold128(x0, k512, load16(p));
        x1 = fold128(x1, k512, load16(p + 16));
        x2 = fold128(x2, k512, load16(p + 32));
        x3 = fold128(x3, k512, load16(p + 48));
        p += 64;
        n -= 64;
    }
    const __m128i k128 = _mm_set_epi64x(static_cast<long long>(kFold128.high), static_cast<long long>(kFold128.low));
    __m128i x = fold128(x0, k128, x1);
    x = fold128(x, k128, x2);
    x = fold128(x, k128, x3);
    return finish128(x, p, n);
}

#define ORVANE_AVX512_TARGET "avx512f,avx512vl,vpclmulqdq,pclmul,sse4.1"

__attribute__((target(ORVANE_AVX512_TARGET))) inline __m512i fold512(__m512i x, __m512i k, __m512i next) {
    // Three-way exclusive or in one instruction (truth table 0x96).
    return _mm512_ternarylogic_epi64(_mm512_clmulepi64_epi128(x, k, 0x00), _mm512_clmulepi64_epi128(x, k, 0x11),
                                     next, 0x96);
}

__attribute__((target(ORVANE_AVX512_TARGET))) inline __m512i broadcastFold(Fold f) {
    const auto lo = static_cast<long long>(f.low), hi = static_cast<long long>(f.high);
    return _mm512_set_epi64(hi, lo, hi, lo, hi, lo, hi, lo);
}

// Four 512-bit accumulators take 256 bytes per pass, enough independent multiplications
// to keep the carry-less multiplier busy.
__attribute__((target(ORVANE_AVX512_TARGET))) std::uint32_t vpclmulUpdate(std::uint32_t crc, const unsigned char* p,
                                                                           std::size_t n) {
    if (n < 256) return pclmulUpdate(crc, p, n);
    __m512i x0 = _mm512_xor_si512(_mm512_loadu_si512(p), _mm512_set_epi64(0, 0, 0, 0, 0, 0, 0, static_cast<long long>(crc)));
    __m512i x1 = _mm512_loadu_si512(p + 64), x2 = _mm512_loadu_si512(p + 128), x3 = _mm512_loadu_si512(p + 192);
    p += 256;
    n -= 256;
    const __m512i k2048 = broadcastFold(kFold2048);
    while (n >= 256) {
        x0 = fold512(x0, k2048, _mm512_loadu_si512(p));
        x1 = fold512(x1, k2048, _mm512_loadu_si512(p + 64));
        x2 = fold512(x2, k2048, _mm512_loadu_si512(p + 128));
        x3 = fold512(x3, k2048, _mm512_loadu_si512(p + 192));
        p += 256;
        n -= 256;
    }
    const __m512i k512 = broadcastFold(kFold512);
    __m512i x = fold512(x0, k512, x1);
    x = fold512(x, k512, x2);
    x = fold512(x, k512, x3);
    while (n >= 64) {
        x = fold512(x, k512, _mm512_loadu_si512(p));
        p += 64;
        n -= 64;
    }
    // Lanes 0..2 move forward by 384, 256 and 128 bits onto lane 3.
    const __m512i kLanes = _mm512_set_epi64(0, 0, static_cast<long long>(kFold128.high),
                                            static_cast<long long>(kFold128.low), static_cast<long long>(kFold256.high),
                                            static_cast<long long>(kFold256.low), static_cast<long long>(kFold384.high),
                                            static_cast<long long>(kFold384.low));
    const __m512i f = _mm512_xor_si512(_mm512_clmulepi64_epi128(x, kLanes, 0x00), _mm512_clmulepi64_epi128(x, kLanes, 0x11));
    // Lane 3 of the folded value is zero, so the exclusive or of x's lane 3 with all lanes
    // of f gives the 128-bit remainder.
    alignas(64) __m128i lanes[4];
    _mm512_store_si512(lanes, _mm512_mask_blend_epi64(0xC0, f, x));
    const __m128i r = _mm_xor_si128(_mm_xor_si128(lanes[0], lanes[1]), _mm_xor_si128(lanes[2], lanes[3]));
    return finish128(r, p, n);
}

#endif  // ORVANE_X86

std::uint32_t update(CrcPath path, std::uint32_t crc, const unsigned char* p, std::size_t n) noexcept {
#ifdef ORVANE_X86
    if (path == CrcPath::Vpclmul) return vpclmulUpdate(crc, p, n);
    if (path == CrcPath::Pclmul) return pclmulUpdate(crc, p, n);
#endif
    (void)path;
    return tableUpdate(crc, p, n);
}

}  // namespace

bool crcPathAvailable(CrcPath path) noexcept {
    switch (path) {
        case CrcPath::Table: return true;
#ifdef ORVANE_X86
        case CrcPath::Pclmul:
            __builtin_cpu_init();
            return __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
        case CrcPath::Vpclmul:
            __builtin_cpu_init();
            return crcPathAvailable(CrcPath::Pclmul) && __builtin_cpu_supports("vpclmulqdq") &&
                   __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl");
#endif
        default: return false;
    }
}

CrcPath bestCrcPath() noexcept {
    if (crcPathAvailable(CrcPath::Vpclmul)) return CrcPath::Vpclmul;
    if (crcPathAvailable(CrcPath::Pclmul)) return CrcPath::Pclmul;
    return CrcPath::Table;
}

std::uint32_t crc32(CrcPath path, std::uint32_t previous, const void* data, std::size_t length) noexcept {
    return ~update(path, ~previous, static_cast<const unsigned char*>(data), length);
}

}  // namespace orvane

namespace {

// Multipliers of the string code; the twelfth is 39, not a prime, and stays so.
constexpr std::uint32_t kMultipliers[15] = {3, 5, 7, 11, 13, 17, 19, 23, 29, 31, 37, 39, 41, 43, 47};
constexpr std::uint32_t kStartCode = 7u * 13u * 19u * 29u * 37u;  // 1855217

template <class C, class ToIndex>
int encode(const C* text, ToIndex index) noexcept {
    if (!text || !*text) return 0;
    std::uint32_t code = kStartCode;
    for (std::uint32_t i = 0; text[i]; ++i) code = code * kMultipliers[index(text[i])] + i;
    return static_cast<int>(code);
}

}  // namespace

extern "C" {

TQ_API unsigned tqMath_calcCRC32(unsigned previousCrc, const void* buffer, unsigned length) TQ_NOEXCEPT {
    if (!buffer) return 0;
    return orvane::crc32(orvane::bestCrcPath(), previousCrc, buffer, length);
}

TQ_API int tqMath_encodeStringA(const char* text) TQ_NOEXCEPT {
    // The byte counts as signed; its remainder is taken non-negative (0xE9 = -23 -> 7).
    return encode(text, [](char c) {
        const int r = static_cast<signed char>(c) % 15;
        return static_cast<unsigned>(r < 0 ? r + 15 : r);
    });
}

TQ_API int tqMath_encodeStringW(const tqWChar* text) TQ_NOEXCEPT {
    return encode(text, [](tqWChar c) { return static_cast<unsigned>(static_cast<std::uint16_t>(c) % 15u); });
}

}  // extern "C"
