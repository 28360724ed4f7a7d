#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "numerics/checksums.hpp"
#include "orvane.h"

using orvane::CrcPath;

// The CRC-32 definition, one bit at a time.
static unsigned referenceCrc(unsigned previous, const unsigned char* p, std::size_t n) {
    unsigned crc = ~previous;
    while (n--) {
        crc ^= *p++;
        for (int k = 0; k < 8; ++k) crc = (crc & 1) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
    }
    return ~crc;
}

TEST(Crc32, CheckValueAndEveryPathAgainstTheDefinition) {
    const char* check = "123456789";
    EXPECT_EQ(tqMath_calcCRC32(0, check, 9), 0xCBF43926u);
    EXPECT_EQ(tqMath_calcCRC32(tqMath_calcCRC32(0, check, 4), check + 4, 5), 0xCBF43926u);
    EXPECT_EQ(tqMath_calcCRC32(0x1234u, check, 0), 0x1234u);
    EXPECT_EQ(tqMath_calcCRC32(0x1234u, nullptr, 9), 0u);
    std::mt19937 rng(42);
    std::vector<unsigned char> buf(4096 + 64 + 8192);
    for (auto& b : buf) b = static_cast<unsigned char>(rng());
    for (CrcPath path : {CrcPath::Table, CrcPath::Isal}) {
        if (!orvane::crcPathAvailable(path)) continue;
        SCOPED_TRACE(static_cast<int>(path));
        for (std::size_t len = 0; len <= 4096; ++len) {
            const unsigned prev = len % 3 ? static_cast<unsigned>(rng()) : 0u;
            const unsigned char* p = buf.data() + rng() % 64;
            ASSERT_EQ(orvane::crc32(path, prev, p, len), referenceCrc(prev, p, len)) << "length " << len;
        }
        // Chained calls over random cuts equal one call over the whole buffer.
        unsigned crc = 0;
        for (std::size_t at = 0, n; at < buf.size(); at += n)
            crc = orvane::crc32(path, crc, buf.data() + at, n = std::min<std::size_t>(rng() % 1500, buf.size() - at));
        EXPECT_EQ(crc, referenceCrc(0, buf.data(), buf.size()));
    }
}

TEST(EncodeString, MultiplierTableAndWidths) {
    EXPECT_EQ(tqMath_encodeStringA("a"), 42669991);
    EXPECT_EQ(tqMath_encodeStringA("abc"), -294383722);
    EXPECT_EQ(tqMath_encodeStringW(u"abc"), -294383722);
    EXPECT_EQ(tqMath_encodeStringA("") | tqMath_encodeStringA(nullptr) | tqMath_encodeStringW(nullptr), 0);
    // 0xE9 is -23 as a signed byte: index 7 (23); as a wide unit 233 % 15 = 8 (29).
    EXPECT_EQ(tqMath_encodeStringA("\xE9"), static_cast<int>(1855217u * 23u));
    EXPECT_EQ(tqMath_encodeStringW(u"\u00E9"), static_cast<int>(1855217u * 29u));
    // 'G' is 71, 71 % 15 = 11: the twelfth multiplier, 39.
    EXPECT_EQ(tqMath_encodeStringA("G"), static_cast<int>(1855217u * 39u));
    EXPECT_EQ(tqMath_encodeStringA("GG"), static_cast<int>((1855217u * 39u) * 39u + 1u));
}
