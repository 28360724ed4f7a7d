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

#include <iconv.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
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

// The run under way: the failAt-th counted allocation fails (0: none fails), and with
// `sticky` every one after it too.
long failAt = 0, seen = 0, failures = 0;
bool sticky = false, counting = false;
thread_local int depth = 0;

bool refuse() noexcept {
    if (depth == 0 || !counting) return false;
    ++seen;
    if (failAt == 0 || seen < failAt || (seen > failAt && !sticky)) return false;
    ++failures;
    return true;
}

// Blocks allocated inside windows and not yet freed, in allocation order (no allocation
// of its own; frees come mostly in reverse order, so the search starts at the end).
constexpr long kBlocks = 1 << 14;
void* blocks[kBlocks];
long used = 0;
std::atomic<long> live{0};
std::mutex lock;

void note(void* p) noexcept {
    if (!p || depth == 0 || !counting) return;
    const std::lock_guard l(lock);
    if (used == kBlocks) std::fputs("failpoint: too many blocks in one run\n", stderr), std::abort();
    blocks[used++] = p, ++live;
}

void forget(void* p) noexcept {
    if (!p || live == 0) return;
    const std::lock_guard l(lock);
    for (long i = used; i-- > 0;)
        if (blocks[i] == p) {
            blocks[i] = nullptr, --live;
            while (used > 0 && !blocks[used - 1]) --used;
            return;
        }
}

void clear() noexcept {
    const std::lock_guard l(lock);
    used = 0, live = 0;
}

void* allocate(std::size_t n, std::align_val_t alignment = {}) noexcept {
    if (refuse()) return errno = ENOMEM, nullptr;
    const auto align = static_cast<std::size_t>(alignment);
    void* p = align ? std::aligned_alloc(align, (n / align + 1) * align) : __real_malloc(n ? n : 1);
    note(p);
    return p;
}

void* mustAllocate(std::size_t n, std::align_val_t align = {}) {
    if (void* p = allocate(n, align)) return p;
    throw std::bad_alloc();
}

void release(void* p) noexcept {
    forget(p);
    __real_free(p);
}

// Open file descriptors: a connection, stream or socket left open shows here.
long openFiles() { return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}); }

Outcome runWith(const Op& op, long at, bool onwards, bool count) {
    failAt = at, sticky = onwards, counting = count, seen = failures = 0;
    Outcome out = op.run();
    counting = false;
    return out;
}

// Sweeps `op`: gives the allocations of an undisturbed run, and the runs in which an
// allocation failed with only the N-th failing and with every one from the N-th on.
// Above 400 allocations N steps evenly.
std::array<long, 3> sweep(const Op& op, const std::function<void()>& releaseKept) {
    // The first run may set up what the library keeps once (locale data, the ODBC
    // environment); the second is the reference.
    runWith(op, 0, false, false);
    const Outcome reference = runWith(op, 0, false, true);
    std::array<long, 3> swept{seen, 0, 0};
    if (!op.stated || seen == 0) {
        EXPECT_EQ(!op.stated, seen == 0) << op.name << ": " << seen << " allocations";
        return swept;
    }
    const long files = openFiles();
    const long step = 1 + (swept[0] - 1) / 400;
    for (const bool onwards : {false, true}) {
        for (long n = 1;; n += step) {
            clear();
            const Outcome got = runWith(op, n, onwards, true);
            const std::string where = op.name + ", allocation " + std::to_string(n) + (onwards ? " and after" : "") + " failing";
            EXPECT_TRUE(failures > 0 || got == reference) << where << " (no failure met): " << got;
            if (failures == 0) break;
            ++swept[onwards ? 2 : 1];
            const bool stated = got == reference || op.stated(got);
            const Outcome again = runWith(op, 0, false, false);
            if (releaseKept) releaseKept();
            const bool clean = stated && again == reference && live == 0 && openFiles() == files;
            EXPECT_TRUE(clean) << where << ":\n  outcome " << got << (stated ? " (stated)" : "") << "\n  undisturbed " << reference
                               << "\n  next call " << again << "\n  " << live << " blocks left, " << openFiles() - files << " files more";
            if (!clean) break;  // one report per operation and mode
        }
    }
    clear();
    return swept;
}

// Printed at exit when the families ran in one process.
struct Totals {
    long points = 0;
    double seconds = 0;
    ~Totals() {
        if (points) std::printf("all families: %ld allocation-failure points swept, %.2f s\n", points, seconds);
    }
} totals;

}  // namespace

void enter() noexcept { ++depth; }
void leave() noexcept { --depth; }

void sweepFamily(const char* family, const std::vector<Op>& ops, const std::function<void()>& release) {
    const auto start = std::chrono::steady_clock::now();
    long points = 0;
    std::printf("%-56s %11s %6s %7s\n", family, "allocations", "once", "onwards");
    for (const Op& op : ops) {
        const auto [allocations, once, onwards] = sweep(op, release);
        std::printf("  %-54s %11ld %6ld %7ld\n", op.name.c_str(), allocations, once, onwards);
        points += once + onwards;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%s: %zu operations, %ld allocation-failure points swept, %.2f s\n", family, ops.size(), points, seconds);
    totals.points += points, totals.seconds += seconds;
}

}  // namespace failpoint

// ---- the replaced allocator: every form of new counts, every form of delete releases ----

#define FAILPOINT_NEW(op)                                                                                            \
    void* operator op(std::size_t n) { return failpoint::mustAllocate(n); }                                           \
    void* operator op(std::size_t n, std::align_val_t a) { return failpoint::mustAllocate(n, a); }                   \
    void* operator op(std::size_t n, const std::nothrow_t&) noexcept { return failpoint::allocate(n); }               \
    void* operator op(std::size_t n, std::align_val_t a, const std::nothrow_t&) noexcept { return failpoint::allocate(n, a); }
#define FAILPOINT_DELETE(op)                                                                               \
    void operator op(void* p) noexcept { failpoint::release(p); }                                           \
    void operator op(void* p, std::size_t) noexcept { failpoint::release(p); }                              \
    void operator op(void* p, const std::nothrow_t&) noexcept { failpoint::release(p); }                    \
    void operator op(void* p, std::align_val_t) noexcept { failpoint::release(p); }                         \
    void operator op(void* p, std::size_t, std::align_val_t) noexcept { failpoint::release(p); }            \
    void operator op(void* p, std::align_val_t, const std::nothrow_t&) noexcept { failpoint::release(p); }
FAILPOINT_NEW(new)
FAILPOINT_NEW(new[])
FAILPOINT_DELETE(delete)
FAILPOINT_DELETE(delete[])

// The library's C calls: a refused one returns its failure with errno ENOMEM.
extern "C" {
void* __wrap_malloc(std::size_t n) { return failpoint::allocate(n); }
void __wrap_free(void* p) { failpoint::release(p); }

void* __wrap_calloc(std::size_t count, std::size_t size) {
    void* p = failpoint::refuse() ? (errno = ENOMEM, nullptr) : __real_calloc(count, size);
    return failpoint::note(p), p;
}

// A resize inside a window counts as an allocation of the new block.
void* __wrap_realloc(void* old, std::size_t n) {
    if (failpoint::refuse()) return errno = ENOMEM, nullptr;
    failpoint::forget(old);
    void* p = __real_realloc(old, n);
    return failpoint::note(p ? p : (n ? old : nullptr)), p;
}

char* __wrap_realpath(const char* path, char* resolved) {
    if (resolved) return __real_realpath(path, resolved);
    char* p = failpoint::refuse() ? (errno = ENOMEM, nullptr) : __real_realpath(path, nullptr);
    return failpoint::note(p), p;
}

iconv_t __wrap_iconv_open(const char* to, const char* from) {
    return failpoint::refuse() ? (errno = ENOMEM, reinterpret_cast<iconv_t>(-1)) : __real_iconv_open(to, from);
}
}  // extern "C"
