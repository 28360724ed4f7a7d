// The fault-injecting allocator of the allocation-failure sweep and the sweep itself.
//
// Global operator new is replaced in this executable, which also catches what libstdc++
// allocates out of line for the library (std::string, std::vector growth). The library's C
// calls (malloc, calloc, realloc, free, realpath, iconv_open) reach the __wrap_ functions
// below through the linker's --wrap on this executable, which links the family archives:
// only the library's and the test's own calls are counted, not those of the driver
// manager, the drivers or the C library. Counting happens only inside an armed window on
// the thread that armed it, so a scripted server thread is never disturbed.
//
// Leaks: every block allocated inside a window is entered in a fixed table and taken out
// when freed; after a failed run has been cleaned up and followed by an undisturbed run
// (which replaces whatever state the failed run left in the library), the table must be
// empty. This works in both builds; the sanitizer build adds LeakSanitizer at exit.
#include "alloc/failpoint.hpp"

#include <dirent.h>
#include <iconv.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

extern "C" {
void* __real_malloc(std::size_t);
void* __real_calloc(std::size_t, std::size_t);
void* __real_realloc(void*, std::size_t);
void __real_free(void*);
char* __real_realpath(const char*, char*);
iconv_t __real_iconv_open(const char*, const char*);
}

namespace failpoint {
namespace {

struct Plan {
    long failAt = 0;      // 0: count only
    bool sticky = false;  // every allocation from failAt on fails, not only that one
    bool counting = false;
    long seen = 0;
    long failures = 0;
};
Plan plan;
thread_local int depth = 0;

bool refuse() noexcept {
    if (depth == 0 || !plan.counting) return false;
    ++plan.seen;
    if (plan.failAt > 0 && (plan.seen == plan.failAt || (plan.sticky && plan.seen > plan.failAt))) {
        ++plan.failures;
        return true;
    }
    return false;
}

// Blocks allocated inside windows and not yet freed: open addressing, no allocation.
constexpr std::size_t kSlots = 1 << 16;
void* const kTomb = reinterpret_cast<void*>(1);
struct Table {
    void* slot[kSlots];
    std::size_t size[kSlots];
    long live = 0, used = 0;
    std::atomic_flag lock = ATOMIC_FLAG_INIT;
};
Table table;
std::atomic<long> liveBlocks{0};

struct Locked {
    Locked() {
        while (table.lock.test_and_set(std::memory_order_acquire)) {
        }
    }
    ~Locked() { table.lock.clear(std::memory_order_release); }
};

std::size_t home(void* p) { return (reinterpret_cast<std::uintptr_t>(p) >> 4) * 0x9E3779B97F4A7C15u >> 48; }

void note(void* p, std::size_t n) noexcept {
    if (!p || depth == 0 || !plan.counting) return;
    Locked l;
    if (table.used > static_cast<long>(kSlots) * 3 / 4) {
        std::fputs("failpoint: too many live blocks in one window\n", stderr);
        std::abort();
    }
    std::size_t i = home(p);
    while (table.slot[i] && table.slot[i] != kTomb) i = (i + 1) % kSlots;
    if (!table.slot[i]) ++table.used;
    table.slot[i] = p, table.size[i] = n;
    ++table.live, liveBlocks.store(table.live);
}

void forget(void* p) noexcept {
    if (!p || liveBlocks.load() == 0) return;
    Locked l;
    for (std::size_t i = home(p); table.slot[i]; i = (i + 1) % kSlots) {
        if (table.slot[i] == p) {
            table.slot[i] = kTomb;
            --table.live, liveBlocks.store(table.live);
            return;
        }
    }
}

void clearTable() noexcept {
    Locked l;
    if (table.used) std::memset(table.slot, 0, sizeof table.slot);
    table.live = table.used = 0;
    liveBlocks.store(0);
}

std::string liveSizes() {
    std::string out;
    Locked l;
    for (std::size_t i = 0; i < kSlots && out.size() < 200; ++i)
        if (table.slot[i] && table.slot[i] != kTomb) out += std::to_string(table.size[i]) + " ";
    return out;
}

void* allocate(std::size_t n) {
    if (refuse()) throw std::bad_alloc();
    void* p = __real_malloc(n ? n : 1);
    if (!p) throw std::bad_alloc();
    note(p, n);
    return p;
}

void* allocateAligned(std::size_t n, std::align_val_t al) {
    if (refuse()) throw std::bad_alloc();
    const std::size_t a = static_cast<std::size_t>(al);
    void* p = std::aligned_alloc(a, (n + a - 1) / a * a);
    if (!p) throw std::bad_alloc();
    note(p, n);
    return p;
}

void release(void* p) noexcept {
    forget(p);
    __real_free(p);
}

std::function<void()> leakCheckRelease;

// Open file descriptors: a connection, stream or socket left open shows here.
int openFiles() {
    int n = 0;
    if (DIR* d = opendir("/proc/self/fd")) {
        while (readdir(d)) ++n;
        closedir(d);
    }
    return n;
}

}  // namespace

void enter() noexcept { ++depth; }
void leave() noexcept { --depth; }
void onLeakCheck(std::function<void()> release) { leakCheckRelease = std::move(release); }

namespace {

// One run of `op` under the given plan.
Outcome runWith(const Op& op, long failAt, bool sticky, bool counting) {
    plan = Plan{failAt, sticky, counting, 0, 0};
    Outcome out = op.run();
    plan.counting = false;
    return out;
}

}  // namespace

Swept sweep(const Op& op) {
    // The first run may set up what the library keeps once (locale data, the ODBC
    // environment); the second is the reference.
    runWith(op, 0, false, false);
    const Outcome reference = runWith(op, 0, false, true);
    const long allocations = plan.seen;
    Swept swept;
    swept.allocations = allocations;
    if (op.noAllocation || allocations == 0) {
        EXPECT_EQ(allocations, 0) << op.name << " allocates";
        EXPECT_TRUE(op.noAllocation) << op.name << ": no allocation counted, nothing swept";
        return swept;
    }
    const int files = openFiles();
    const long step = swept.step = allocations > kMaxRuns ? (allocations + kMaxRuns - 1) / kMaxRuns : 1;
    for (const bool sticky : {false, true}) {
        for (long n = 1;; n += step) {
            clearTable();
            const Outcome got = runWith(op, n, sticky, true);
            const bool failed = plan.failures > 0;
            const std::string where = op.name + ", allocation " + std::to_string(n) + (sticky ? " and after" : "") + " failing";
            if (!failed) {
                EXPECT_EQ(got, reference) << where << " (no failure met)";
                break;
            }
            ++(sticky ? swept.onwards : swept.once);
            const bool ok = got == reference || (op.stated && op.stated(got));
            EXPECT_TRUE(ok) << where << ": outcome " << got << "\n  undisturbed: " << reference;
            const Outcome again = runWith(op, 0, false, false);
            EXPECT_EQ(again, reference) << where << ": the next undisturbed call";
            if (leakCheckRelease) leakCheckRelease();
            const long leaked = liveBlocks.load();
            EXPECT_EQ(leaked, 0) << where << ": blocks left (sizes " << liveSizes() << ")";
            const int filesNow = openFiles();
            EXPECT_EQ(filesNow, files) << where << ": open files";
            if (!ok || again != reference || leaked != 0 || filesNow != files) break;  // one report per operation and mode
        }
    }
    clearTable();
    return swept;
}

namespace {
long totalPoints = 0;
double totalSeconds = 0;
}  // namespace

void sweepFamily(const char* family, std::initializer_list<Op> ops) {
    const auto start = std::chrono::steady_clock::now();
    long sum = 0;
    std::printf("%-56s %11s %6s %7s\n", family, "allocations", "once", "onwards");
    for (const Op& op : ops) {
        const Swept s = sweep(op);
        std::printf("  %-54s %11ld %6ld %7ld%s\n", op.name.c_str(), s.allocations, s.once, s.onwards,
                    s.step > 1 ? (" (every " + std::to_string(s.step) + "th N)").c_str() : "");
        sum += s.once + s.onwards;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%s: %zu operations, %ld allocation-failure points swept, %.2f s\n", family, ops.size(), sum, seconds);
    totalPoints += sum;
    totalSeconds += seconds;
    leakCheckRelease = nullptr;
}

namespace {
struct Totals : ::testing::Environment {
    void TearDown() override {
        if (totalPoints) std::printf("all families: %ld allocation-failure points swept, %.2f s\n", totalPoints, totalSeconds);
    }
};
[[maybe_unused]] ::testing::Environment* const totals = ::testing::AddGlobalTestEnvironment(new Totals);
}  // namespace

}  // namespace failpoint

// ---- the replaced allocator -------------------------------------------------------------

void* operator new(std::size_t n) { return failpoint::allocate(n); }
void* operator new[](std::size_t n) { return failpoint::allocate(n); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
    try {
        return failpoint::allocate(n);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t n, const std::nothrow_t& t) noexcept { return operator new(n, t); }
void* operator new(std::size_t n, std::align_val_t a) { return failpoint::allocateAligned(n, a); }
void* operator new[](std::size_t n, std::align_val_t a) { return failpoint::allocateAligned(n, a); }
void* operator new(std::size_t n, std::align_val_t a, const std::nothrow_t&) noexcept {
    try {
        return failpoint::allocateAligned(n, a);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t n, std::align_val_t a, const std::nothrow_t& t) noexcept { return operator new(n, a, t); }
void operator delete(void* p) noexcept { failpoint::release(p); }
void operator delete[](void* p) noexcept { failpoint::release(p); }
void operator delete(void* p, std::size_t) noexcept { failpoint::release(p); }
void operator delete[](void* p, std::size_t) noexcept { failpoint::release(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { failpoint::release(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { failpoint::release(p); }
void operator delete(void* p, std::align_val_t) noexcept { failpoint::release(p); }
void operator delete[](void* p, std::align_val_t) noexcept { failpoint::release(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { failpoint::release(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { failpoint::release(p); }
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept { failpoint::release(p); }
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept { failpoint::release(p); }

extern "C" {

void* __wrap_malloc(std::size_t n) {
    if (failpoint::refuse()) return errno = ENOMEM, nullptr;
    void* p = __real_malloc(n);
    failpoint::note(p, n);
    return p;
}

void* __wrap_calloc(std::size_t count, std::size_t size) {
    if (failpoint::refuse()) return errno = ENOMEM, nullptr;
    void* p = __real_calloc(count, size);
    failpoint::note(p, count * size);
    return p;
}

// A resize inside a window counts as an allocation of the new block.
void* __wrap_realloc(void* old, std::size_t n) {
    if (failpoint::refuse()) return errno = ENOMEM, nullptr;
    failpoint::forget(old);
    void* p = __real_realloc(old, n);
    failpoint::note(p ? p : (n ? old : nullptr), n);
    return p;
}

void __wrap_free(void* p) { failpoint::release(p); }

char* __wrap_realpath(const char* path, char* resolved) {
    if (!resolved && failpoint::refuse()) return errno = ENOMEM, nullptr;
    char* p = __real_realpath(path, resolved);
    if (!resolved) failpoint::note(p, 1);
    return p;
}

iconv_t __wrap_iconv_open(const char* to, const char* from) {
    if (failpoint::refuse()) return errno = ENOMEM, reinterpret_cast<iconv_t>(-1);
    return __real_iconv_open(to, from);
}

}  // extern "C"
