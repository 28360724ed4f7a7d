// CRC-32, the string code and SHA-1: every path against a definition or OpenSSL, and
// the SHA-1 corner cases (a digest inside the data, trace lines under a debugger).
#include <gtest/gtest.h>
#include <openssl/sha.h>
#include <sys/ptrace.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>
#include <string>
#include <vector>

#include "numerics/checksums.hpp"
#include "orvane.h"

using orvane::CrcPath;
using orvane::Sha1Path;

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
    EXPECT_EQ((std::vector<unsigned>{tqMath_calcCRC32(0, check, 9), tqMath_calcCRC32(tqMath_calcCRC32(0, check, 4), check + 4, 5),
                                     tqMath_calcCRC32(0x1234u, check, 0)}),
              (std::vector<unsigned>{0xCBF43926u, 0xCBF43926u, 0x1234u}));
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
    // 0xE9 is -23 as a signed byte: index 7 (23); as a wide unit 233 % 15 = 8 (29). 'G' is
    // 71, 71 % 15 = 11: the twelfth multiplier, 39.
    using Ints = std::vector<int>;
    EXPECT_EQ((Ints{tqMath_encodeStringA("a"), tqMath_encodeStringA("abc"), tqMath_encodeStringW(u"abc"), tqMath_encodeStringA("")}),
              (Ints{42669991, -294383722, -294383722, 0}));
    EXPECT_EQ((Ints{tqMath_encodeStringA("\xE9"), tqMath_encodeStringW(u"\u00E9"), tqMath_encodeStringA("G"), tqMath_encodeStringA("GG")}),
              (Ints{static_cast<int>(1855217u * 23u), static_cast<int>(1855217u * 29u), static_cast<int>(1855217u * 39u),
                    static_cast<int>((1855217u * 39u) * 39u + 1u)}));
}

namespace {

using Words = std::vector<unsigned>;

Words opensslSha1(const unsigned char* p, std::size_t n) {
    unsigned char md[20];
    SHA1(p, n, md);
    Words w(5);
    for (int i = 0; i < 20; ++i) w[i / 4] = w[i / 4] << 8 | md[i];
    return w;
}

std::vector<Sha1Path> paths() {
    if (orvane::sha1PathAvailable(Sha1Path::ShaNi)) return {Sha1Path::Portable, Sha1Path::ShaNi};
    return {Sha1Path::Portable};
}

// tqMath_calcSHA1 on a path, starting from `start` (reset 0) or from the standard values.
Words sha1(Sha1Path path, const void* data, unsigned len, const Words& start = {}) {
    Words d = start.empty() ? Words(5) : start;
    orvane::calcSha1OnPath(path, d.data(), data, len, start.empty());
    return d;
}

}  // namespace

TEST(Sha1, FipsExamplesAndEveryPathAgainstOpenSslInBothResetModes) {
    unsigned d[5];
    tqMath_calcSHA1(d, "abc", 3, 1);
    EXPECT_EQ(Words(d, d + 5), (Words{0xA9993E36u, 0x4706816Au, 0xBA3E2571u, 0x7850C26Cu, 0x9CD0D89Du}));
    std::mt19937 rng(7);
    std::vector<unsigned char> buf(5000);
    for (auto& b : buf) b = static_cast<unsigned char>(rng());
    std::vector<unsigned> lengths{0, 1, 55, 56, 57, 63, 64, 65, 119, 120, 127, 128, 129, 4999};
    for (int i = 0; i < 200; ++i) lengths.push_back(rng() % 5000);
    for (Sha1Path path : paths()) {
        EXPECT_EQ(sha1(path, "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq", 56),  // two blocks
                  (Words{0x84983E44u, 0x1C3BD26Eu, 0xBAAE4AA1u, 0xF95129E5u, 0xE54670F1u}));
        for (unsigned len : lengths) {
            const Words want = opensslSha1(buf.data(), len);
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
}

// The data count as copied before the first block is hashed: a digest array that lies
// inside the data (or straddles its start or end) never feeds its stores to later blocks.
TEST(Sha1, DigestArrayInsideTheDataSeesNoEffectOnLaterBlocks) {
    alignas(16) unsigned char buf[256];
    unsigned char* const data = buf + 32;
    auto fill = [&] {
        for (int i = 0; i < 200; ++i) data[i] = static_cast<unsigned char>(i * 7 + 3);
    };
    fill();
    const Words want = opensslSha1(data, 200);
    auto* d = reinterpret_cast<unsigned*>(data + 64);
    tqMath_calcSHA1(d, data, 200, 1);
    EXPECT_EQ(Words(d, d + 5), (Words{0x892B673Cu, 0xA3C696ABu, 0x13AB8AABu, 0x3CF3ABFBu, 0xC3AAEB3Bu}));
    for (Sha1Path path : paths())
        for (int at : {-12, 0, 44, 60, 128, 132, 188, 196}) {
            fill();
            auto* digest = reinterpret_cast<unsigned*>(data + at);
            orvane::calcSha1OnPath(path, digest, data, 200, true);
            EXPECT_EQ(Words(digest, digest + 5), want) << "digest at byte " << at;
        }
}

// The trace lines follow the debugger as it comes and goes: a child process hashes while
// untraced, traced (its parent seizes it) and detached again, and reports what reached
// its standard error.
TEST(Sha1, TraceLinesOnlyWhileADebuggerIsAttached) {
    int toChild[2], toParent[2];
    ASSERT_EQ(::pipe(toChild) | ::pipe(toParent), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        int err[2];
        if (::pipe(err) != 0 || ::dup2(err[1], STDERR_FILENO) < 0) _exit(2);
        std::string seen;
        auto hashAndRead = [&](char reset) {
            unsigned digest[5] = {};
            tqMath_calcSHA1(digest, "abc", 3, reset);
            (void)::write(STDERR_FILENO, "|", 1);
            for (char c; ::read(err[0], &c, 1) == 1 && c != '|';) seen += c;
            seen += '/';
        };
        auto handOver = [&](const char* step) {  // "a": attach now, "d": detach now
            char go;
            if (::write(toParent[1], step, 1) != 1 || ::read(toChild[0], &go, 1) != 1) _exit(2);
        };
        hashAndRead(1), handOver("a");  // untraced, then traced for two calls, then detached
        hashAndRead(1), hashAndRead(0), handOver("d");
        hashAndRead(1);
        _exit(seen == "/in resetChecksum\n/in else branch\n//" ? 0 : 1);
    }
    char step;
    ASSERT_EQ(::read(toParent[0], &step, 1), 1);
    const bool seized = ::ptrace(PTRACE_SEIZE, child, nullptr, nullptr) == 0;
    (void)::write(toChild[1], "g", 1);
    ASSERT_EQ(::read(toParent[0], &step, 1), 1);
    int status = 0;
    if (seized) {  // a seized tracee must stop before it can be detached
        ::ptrace(PTRACE_INTERRUPT, child, nullptr, nullptr);
        ::waitpid(child, &status, __WALL);
        ::ptrace(PTRACE_DETACH, child, nullptr, nullptr);
    }
    (void)::write(toChild[1], "g", 1);
    ::waitpid(child, &status, 0);
    for (int fd : {toChild[0], toChild[1], toParent[0], toParent[1]}) ::close(fd);
    if (!seized) GTEST_SKIP() << "this system does not let a process trace its child";
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}
