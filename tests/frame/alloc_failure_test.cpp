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
#include <tuple>
#include <vector>

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
    explicit Arm(size_t limit, bool refuseReserve = false) { g = HeapScript{true, refuseReserve, limit}; }
    ~Arm() { g.armed = false; }
};

// Logs an armed request and tells whether the heap refuses it.
bool refused(size_t n) {
    if (!g.armed) return false;
    if (g.triedCount < 64) g.tried[g.triedCount++] = n;
    return n > g.limit;
}

}  // namespace

extern "C" {
void* malloc(size_t n) {
    if (!g.armed || n != 65536) return __libc_malloc(n);
    return g.refuseReserve ? nullptr : (g.reserve = __libc_malloc(n));
}
void* calloc(size_t a, size_t b) { return refused(a * b) ? nullptr : __libc_calloc(a, b); }
void* realloc(void* p, size_t n) { return refused(n) ? nullptr : __libc_realloc(p, n); }
void free(void* p) {
    if (g.armed && p && p == g.reserve) g.reserveFreed = true;
    __libc_free(p);
}
}

namespace {

using Sizes = std::vector<size_t>;
Sizes tried() { return Sizes(g.tried, g.tried + g.triedCount); }

TEST(CallocBufferUnderPressure, HalvesUntilTheHeapAgreesAndReleasesTheReserve) {
    // {heap limit, reserve refused, request, count after, sizes tried}: nothing at all
    // leaves one in the count; no reserve means no attempt.
    const std::tuple<size_t, bool, unsigned, unsigned, Sizes> cases[] = {
        {1000, false, 10000, 625, {10000, 5000, 2500, 1250, 625}}, {0, false, 7, 1, {7, 3, 1}}, {SIZE_MAX, true, 300, 300, {}}};
    for (const auto& [limit, refuseReserve, request, count, sizes] : cases) {
        unsigned obtained = 0;
        void* block;
        {
            Arm arm(limit, refuseReserve);
            block = tqMisc_callocBuffer(request, &obtained);
        }
        EXPECT_EQ(obtained, count);
        EXPECT_EQ(tried(), sizes);
        EXPECT_EQ(g.reserveFreed, !refuseReserve);
        EXPECT_EQ(block != nullptr, limit == 1000);
        if (block) {
            EXPECT_EQ(tqMisc_isDataNull(static_cast<unsigned char*>(block), static_cast<int>(obtained)), 1);
        }
        tqMisc_freeBuffer(&block);
    }
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
        EXPECT_EQ(tried(), (Sizes{1000, 500, 250, 125}));
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

// Blocks fit the text exactly; a growth that fails drops the string.
TEST(DynamicStringUnderPressure, BlocksFitTheTextAndFailedGrowthDropsIt) {
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
    EXPECT_EQ(tried(), (Sizes{1, 3, 5, 2, 6, 10}));
    {
        Arm arm(0);
        tqStringDynamic_addA(&s, "def");
    }
    EXPECT_EQ(s, nullptr);
    tqStringDynamic_addA(&s, "new");
    EXPECT_STREQ(s, "new");
    tqStringDynamic_freeA(&s);
    tqStringDynamic_freeW(&w);
}

// The real thing: a child process whose address space is capped asks for 3 GiB and must
// come back with the largest power-of-two fraction that fits, zeroed and writable.
TEST(CallocBufferUnderPressure, AddressSpaceLimitInAChildProcess) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        long pages = 0;
        FILE* f = std::fopen("/proc/self/statm", "r");
        if (!f || std::fscanf(f, "%ld", &pages) != 1) _exit(9);
        const rlim_t cap = static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) + (256u << 20);
        const rlimit lim{cap, cap};
        if (setrlimit(RLIMIT_AS, &lim) != 0) _exit(10);
        const unsigned request = 3u << 30;
        unsigned obtained = 0;
        auto* block = static_cast<unsigned char*>(tqMisc_callocBuffer(request, &obtained));
        unsigned shifted = request;
        while (shifted > obtained) shifted >>= 1;
        if (!block || obtained >= request || obtained < (16u << 20) || shifted != obtained) _exit(11);
        if (block[obtained - 1] != 0 || block[obtained / 2] != 0) _exit(12);
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
