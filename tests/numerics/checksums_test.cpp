#include <gtest/gtest.h>
#include <openssl/sha.h>

#include <cstring>
#include <random>
#include <vector>

#include "numerics/checksums.hpp"
#include "orvane.h"

using orvane::CrcPath;
using orvane::Sha1Path;

namespace {

// The CRC-32 definition, one bit at a time.
unsigned referenceCrc(unsigned previous, const unsigned char* p, std::size_t n) {
    unsigned crc = ~previous;
    while (n--) {
        crc ^= *p++;
        for (int k = 0; k < 8; ++k) crc = (crc & 1) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
    }
    return ~crc;
}

std::vector<CrcPath> crcPaths() {
    std::vector<CrcPath> paths;
    for (CrcPath p : {CrcPath::Table, CrcPath::Isal})
        if (orvane::crcPathAvailable(p)) paths.push_back(p);
    return paths;
}

std::vector<Sha1Path> shaPaths() {
    std::vector<Sha1Path> paths{Sha1Path::Portable};
    if (orvane::sha1PathAvailable(Sha1Path::ShaNi)) paths.push_back(Sha1Path::ShaNi);
    return paths;
}

}  // namespace

TEST(Crc32, CheckValueAndEveryPathAgainstTheDefinition) {
    const char* check = "123456789";
    EXPECT_EQ(tqMath_calcCRC32(0, check, 9), 0xCBF43926u);
    EXPECT_EQ(tqMath_calcCRC32(tqMath_calcCRC32(0, check, 4), check + 4, 5), 0xCBF43926u);
    EXPECT_EQ(tqMath_calcCRC32(0x1234u, check, 0), 0x1234u);
    EXPECT_EQ(tqMath_calcCRC32(0x1234u, nullptr, 9), 0u);
    std::mt19937 rng(42);
    std::vector<unsigned char> buf(4096 + 64 + 8192);
    for (auto& b : buf) b = static_cast<unsigned char>(rng());
    for (CrcPath path : crcPaths()) {
        SCOPED_TRACE(static_cast<int>(path));
        for (std::size_t len = 0; len <= 4096; ++len) {
            const std::size_t align = rng() % 64;
            const unsigned prev = len % 3 ? static_cast<unsigned>(rng()) : 0u;
            const unsigned char* p = buf.data() + align;
            ASSERT_EQ(orvane::crc32(path, prev, p, len), referenceCrc(prev, p, len)) << "length " << len;
        }
        // Chained calls over random cuts equal one call over the whole buffer.
        const unsigned whole = referenceCrc(0, buf.data(), buf.size());
        unsigned crc = 0;
        for (std::size_t at = 0; at < buf.size();) {
            const std::size_t n = std::min<std::size_t>(rng() % 1500, buf.size() - at);
            crc = orvane::crc32(path, crc, buf.data() + at, n);
            at += n;
        }
        EXPECT_EQ(crc, whole);
    }
}

using Words = std::vector<unsigned>;

// tqMath_calcSHA1 on a path, starting from `start` (reset 0) or from the standard values.
Words sha1(Sha1Path path, const void* data, unsigned len, const Words& start = {}) {
    Words d = start.empty() ? Words(5) : start;
    orvane::calcSha1OnPath(path, d.data(), data, len, start.empty());
    return d;
}

TEST(Sha1, FipsExamplesAndEveryPathAgainstOpenSslInBothResetModes) {
    unsigned d[5] = {1, 2, 3, 4, 5};
    EXPECT_EQ(tqMath_calcSHA1(d, nullptr, 3, 1), 0);
    EXPECT_EQ(d[0], 1u);  // a NULL buffer leaves the digest alone
    tqMath_calcSHA1(d, "abc", 3, 1);
    EXPECT_EQ(Words(d, d + 5), (Words{0xA9993E36u, 0x4706816Au, 0xBA3E2571u, 0x7850C26Cu, 0x9CD0D89Du}));
    for (Sha1Path path : shaPaths()) {
        EXPECT_EQ(sha1(path, "", 0), (Words{0xDA39A3EEu, 0x5E6B4B0Du, 0x3255BFEFu, 0x95601890u, 0xAFD80709u}));
        EXPECT_EQ(sha1(path, "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq", 56),  // two blocks
                  (Words{0x84983E44u, 0x1C3BD26Eu, 0xBAAE4AA1u, 0xF95129E5u, 0xE54670F1u}));
    }
    std::mt19937 rng(7);
    std::vector<unsigned char> buf(5000);
    for (auto& b : buf) b = static_cast<unsigned char>(rng());
    std::vector<unsigned> lengths{0, 1, 55, 56, 57, 63, 64, 65, 119, 120, 127, 128, 129, 4999};
    for (int i = 0; i < 200; ++i) lengths.push_back(rng() % 5000);
    for (Sha1Path path : shaPaths()) {
        for (unsigned len : lengths) {
            unsigned char md[20];
            SHA1(buf.data(), len, md);
            Words want(5);
            for (int i = 0; i < 20; ++i) want[i / 4] = want[i / 4] << 8 | md[i];
            ASSERT_EQ(sha1(path, buf.data(), len), want) << "length " << len;
            // Without reset the call goes on from the caller's words and pads this call's
            // data on its own: the compression of the padded data, rebuilt here by hand.
            std::vector<unsigned char> padded(buf.begin(), buf.begin() + len);
            padded.push_back(0x80);
            padded.resize((padded.size() + 8 + 63) / 64 * 64 - 8);
            for (int s = 56; s >= 0; s -= 8) padded.push_back(static_cast<unsigned char>(len * 8ull >> s));
            Words manual = want;
            orvane::sha1Blocks(Sha1Path::Portable, manual.data(), padded.data(), padded.size() / 64);
            ASSERT_EQ(sha1(path, buf.data(), len, want), manual) << "length " << len;
        }
    }
    tqMath_calcSHA1(d, buf.data(), 1000, 1);
    EXPECT_EQ(Words(d, d + 5), sha1(Sha1Path::Portable, buf.data(), 1000));
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
