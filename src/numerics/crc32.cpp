// CRC-32 of IEEE 802.3 (reflected polynomial 0xEDB88320) and the string code.
//
// The work goes to ISA-L's crc32_gzip_refl, which folds the buffer with the widest
// carry-less multiplication the CPU offers (chosen at run time) and keeps its set-up and
// tail cheap on short buffers. The eight-bytes-per-pass table loop stays as the
// definition that tests hold ISA-L to.
#include <isa-l/crc.h>

#include <cstdint>
#include <cstring>

#include "numerics/checksums.hpp"
#include "orvane.h"

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

std::uint32_t update(CrcPath path, std::uint32_t crc, const unsigned char* p, std::size_t n) noexcept {
    // ISA-L takes and returns the finished value, as zlib's crc32 does.
    if (path == CrcPath::Isal) return ~crc32_gzip_refl(~crc, p, n);
    return tableUpdate(crc, p, n);
}

}  // namespace

bool crcPathAvailable(CrcPath path) noexcept { return path == CrcPath::Table || path == CrcPath::Isal; }

CrcPath bestCrcPath() noexcept { return CrcPath::Isal; }

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
    return crc32_gzip_refl(previousCrc, static_cast<const unsigned char*>(buffer), length);
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
