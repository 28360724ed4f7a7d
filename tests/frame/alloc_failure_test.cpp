// The reserve-and-halve path of the buffer functions under a heap that refuses: this
// executable replaces malloc, calloc, realloc and free with wrappers around glibc's own
// allocator that refuse requests above a limit and log what was asked, while armed.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "orvane.h"

extern "C" {
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void __libc_free(void*);
}

namespace {

struct HeapScript {
    bool armed = false;
    bool refuseReserve = false;
    size_t limit = SIZE_MAX;  // calloc/realloc above this many bytes fail
    size_t tried[64] = {};
    int triedCount = 0;
    void* reserve = nullptr;
    bool reserveFreed = false;
};
HeapScript g;

struct Arm {
    explicit Arm(size_t limit, bool refuseReserve = false) {
        g = HeapScript{};
        g.limit = limit;
        g.refuseReserve = refuseReserve;
        g.armed = true;
    }
    ~Arm() { g.armed = false; }
};

void logTry(size_t n) {
    if (g.triedCount < 64) g.tried[g.triedCount++] = n;
}

}  // namespace

extern "C" {
void* malloc(size_t n) {
    if (g.armed && n == 65536) {
        if (g.refuseReserve) return nullptr;
        return g.reserve = __libc_malloc(n);
    }
    return __libc_malloc(n);
}
void* calloc(size_t a, size_t b) {
    if (g.armed) {
        logTry(a * b);
        if (a * b > g.limit) return nullptr;
    }
    return __libc_calloc(a, b);
}
void* realloc(void* p, size_t n) {
    if (g.armed) {
        logTry(n);
        if (n > g.limit) return nullptr;
    }
    return __libc_realloc(p, n);
}
void free(void* p) {
    if (g.armed && p && p == g.reserve) g.reserveFreed = true;
    __libc_free(p);
}
}

namespace {

std::vector<size_t> tried() { return std::vector<size_t>(g.tried, g.tried + g.triedCount); }

TEST(CallocBufferUnderPressure, HalvesUntilTheHeapAgreesAndReleasesTheReserve) {
    unsigned obtained = 0;
    void* block;
    {
        Arm arm(1000);
        block = tqMisc_callocBuffer(10000, &obtained);
    }
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(obtained, 625u);
    EXPECT_EQ(tried(), (std::vector<size_t>{10000, 5000, 2500, 1250, 625}));
    EXPECT_TRUE(g.reserveFreed);
    EXPECT_EQ(tqMisc_isDataNull(static_cast<unsigned char*>(block), static_cast<int>(obtained)), 1);
    tqMisc_freeBuffer(&block);
}

TEST(CallocBufferUnderPressure, NothingAtAllLeavesOneInTheCount) {
    unsigned obtained = 0;
    Arm arm(0);
    EXPECT_EQ(tqMisc_callocBuffer(7, &obtained), nullptr);
    EXPECT_EQ(obtained, 1u);
    EXPECT_EQ(tried(), (std::vector<size_t>{7, 3, 1}));
    EXPECT_TRUE(g.reserveFreed);
}

TEST(CallocBufferUnderPressure, NoReserveMeansNoAttempt) {
    unsigned obtained = 0;
    Arm arm(SIZE_MAX, /*refuseReserve=*/true);
    EXPECT_EQ(tqMisc_callocBuffer(300, &obtained), nullptr);
    EXPECT_EQ(obtained, 300u);
    EXPECT_EQ(g.triedCount, 0);
}

TEST(ReallocBufferUnderPressure, KeepsTheContentsAndTheOldBlockOnFailure) {
    unsigned obtained = 0;
    void* block = tqMisc_callocBuffer(100, &obtained);
    ASSERT_NE(block, nullptr);
    std::memset(block, 'x', 100);
    {
        // Every size fails: the caller still owns the untouched block.
        Arm arm(0);
        EXPECT_EQ(tqMisc_reallocBuffer(block, 1000, &obtained), nullptr);
        EXPECT_EQ(obtained, 1u);
    }
    EXPECT_EQ(static_cast<char*>(block)[99], 'x');
    void* grown;
    {
        Arm arm(150);
        grown = tqMisc_reallocBuffer(block, 1000, &obtained);
        EXPECT_EQ(tried(), (std::vector<size_t>{1000, 500, 250, 125}));
    }
    ASSERT_NE(grown, nullptr);
    EXPECT_EQ(obtained, 125u);
    EXPECT_EQ(std::string(static_cast<char*>(grown), 100), std::string(100, 'x'));
    {
        // Halving below the old size cuts the contents to what was obtained.
        Arm arm(40);
        grown = tqMisc_reallocBuffer(grown, 100, &obtained);
    }
    ASSERT_NE(grown, nullptr);
    EXPECT_EQ(obtained, 25u);
    EXPECT_EQ(std::string(static_cast<char*>(grown), 25), std::string(25, 'x'));
    tqMisc_freeBuffer(&grown);
}

TEST(DynamicStringUnderPressure, BlocksFitTheTextExactly) {
    char* s = nullptr;
    tqWChar* w = nullptr;
    {
        Arm arm(SIZE_MAX);
        tqStringDynamic_addA(&s, "ab");
        tqStringDynamic_addA(&s, "cd");
        tqStringDynamic_addW(&w, u"ab");
        tqStringDynamic_addW(&w, u"cd");
    }
    EXPECT_STREQ(s, "abcd");
    EXPECT_EQ(std::u16string(w), u"abcd");
    EXPECT_EQ(tried(), (std::vector<size_t>{1, 3, 5, 2, 6, 10}));
    tqStringDynamic_freeA(&s);
    tqStringDynamic_freeW(&w);
}

TEST(DynamicStringUnderPressure, FailedGrowthDropsTheString) {
    char* s = nullptr;
    tqStringDynamic_addA(&s, "abc");
    ASSERT_NE(s, nullptr);
    {
        Arm arm(0);
        tqStringDynamic_addA(&s, "def");
    }
    EXPECT_EQ(s, nullptr);
    tqStringDynamic_addA(&s, "new");
    ASSERT_NE(s, nullptr);
    EXPECT_STREQ(s, "new");
    tqStringDynamic_freeA(&s);
}

// The real thing: a child process whose address space is capped asks for 3 GiB and must
// come back with the largest power-of-two fraction that fits, zeroed and writable.
TEST(CallocBufferUnderPressure, AddressSpaceLimitInAChildProcess) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        long pages = 0;
        if (FILE* f = std::fopen("/proc/self/statm", "r")) {
            if (std::fscanf(f, "%ld", &pages) != 1) pages = 0;
            std::fclose(f);
        }
        const rlim_t cap = static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) + (256u << 20);
        const rlimit lim{cap, cap};
        if (setrlimit(RLIMIT_AS, &lim) != 0) _exit(10);
        const unsigned request = 3u << 30;
        unsigned obtained = 0;
        auto* block = static_cast<unsigned char*>(tqMisc_callocBuffer(request, &obtained));
        if (!block) _exit(11);
        if (obtained >= request || obtained < (16u << 20)) _exit(12);
        unsigned shifted = request;
        while (shifted > obtained) shifted >>= 1;
        if (shifted != obtained) _exit(13);
        if (block[obtained - 1] != 0 || block[obtained / 2] != 0) _exit(14);
        block[obtained - 1] = 1;
        // Twice the size obtained was refused, or it would have been returned.
        void* bigger = __libc_calloc(static_cast<size_t>(obtained) * 2, 1);
        _exit(bigger ? 15 : 0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
