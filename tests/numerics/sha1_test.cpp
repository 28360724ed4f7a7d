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

using orvane::Sha1Path;

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
    unsigned d[5] = {1, 2, 3, 4, 5};
    EXPECT_EQ(tqMath_calcSHA1(d, nullptr, 3, 1) * 10 + d[0], 1u);  // a NULL buffer leaves the digest alone
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
    tqMath_calcSHA1(d, buf.data(), 1000, 1);
    EXPECT_EQ(Words(d, d + 5), opensslSha1(buf.data(), 1000));
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
        hashAndRead(1);
        handOver("a");
        hashAndRead(1);
        hashAndRead(0);
        handOver("d");
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
