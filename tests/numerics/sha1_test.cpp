#include <gtest/gtest.h>
#include <openssl/sha.h>
#include <sys/ptrace.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
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

}  // namespace

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
    std::vector<Sha1Path> paths{Sha1Path::Portable};
    if (orvane::sha1PathAvailable(Sha1Path::ShaNi)) paths.push_back(Sha1Path::ShaNi);
    for (Sha1Path path : paths) {
        for (int at : {-12, 0, 44, 60, 128, 132, 188, 196}) {
            fill();
            auto* digest = reinterpret_cast<unsigned*>(data + at);
            orvane::calcSha1OnPath(path, digest, data, 200, true);
            EXPECT_EQ(Words(digest, digest + 5), want) << "digest at byte " << at;
        }
    }
}

// The trace lines follow the debugger as it comes and goes: a child process hashes while
// untraced, traced (its parent seizes it) and detached again, and reports what reached
// its standard error.
TEST(Sha1, TraceLinesOnlyWhileADebuggerIsAttached) {
    int toChild[2], toParent[2];
    ASSERT_EQ(::pipe(toChild), 0);
    ASSERT_EQ(::pipe(toParent), 0);
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
            char c;
            while (::read(err[0], &c, 1) == 1 && c != '|') seen += c;
            seen += '/';
        };
        char go;
        hashAndRead(1);
        (void)::write(toParent[1], "a", 1);  // now attach
        if (::read(toChild[0], &go, 1) != 1) _exit(2);
        hashAndRead(1);
        hashAndRead(0);
        (void)::write(toParent[1], "d", 1);  // now detach
        if (::read(toChild[0], &go, 1) != 1) _exit(2);
        hashAndRead(1);
        _exit(seen == "/in resetChecksum\n/in else branch\n//" ? 0 : 1);
    }
    char step;
    ASSERT_EQ(::read(toParent[0], &step, 1), 1);
    const bool seized = ::ptrace(PTRACE_SEIZE, child, nullptr, nullptr) == 0;
    (void)::write(toChild[1], "g", 1);
    ASSERT_EQ(::read(toParent[0], &step, 1), 1);
    if (seized) {
        // A seized tracee must stop before it can be detached.
        ::ptrace(PTRACE_INTERRUPT, child, nullptr, nullptr);
        int status = 0;
        ::waitpid(child, &status, __WALL);
        ::ptrace(PTRACE_DETACH, child, nullptr, nullptr);
    }
    (void)::write(toChild[1], "g", 1);
    int status = 0;
    ::waitpid(child, &status, 0);
    for (int fd : {toChild[0], toChild[1], toParent[0], toParent[1]}) ::close(fd);
    if (!seized) GTEST_SKIP() << "this system does not let a process trace its child";
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}
