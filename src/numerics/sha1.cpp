// SHA-1 (FIPS 180) with the chaining value under the caller's control.
//
// Whole 64-byte blocks are hashed straight from the caller's buffer; only the last one or
// two blocks, which carry the padding, and any block that shares bytes with the digest
// array are built in a small local buffer. The compression
// runs on the SHA instruction extensions when the CPU has them, portably otherwise.
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "numerics/checksums.hpp"
#include "orvane.h"

#if defined(__x86_64__) || defined(__i386__)
#define ORVANE_X86 1
#include <cpuid.h>
#include <immintrin.h>
#endif

namespace orvane {

namespace {

// The working chaining value: the one process-wide block of this function.
std::uint32_t gWorking[5];

// Clears memory in a way the optimiser may not drop.
void wipe(void* p, std::size_t n) noexcept {
    volatile unsigned char* v = static_cast<volatile unsigned char*>(p);
    while (n--) *v++ = 0;
}

inline std::uint32_t rol(std::uint32_t x, int n) noexcept { return (x << n) | (x >> (32 - n)); }

void portableBlocks(std::uint32_t state[5], const unsigned char* p, std::size_t blocks) noexcept {
    std::uint32_t w[80];
    std::uint32_t a = 0, b = 0, c = 0, d = 0, e = 0;
    for (; blocks; --blocks, p += 64) {
        for (int i = 0; i < 16; ++i)
            w[i] = std::uint32_t{p[4 * i]} << 24 | std::uint32_t{p[4 * i + 1]} << 16 |
                   std::uint32_t{p[4 * i + 2]} << 8 | std::uint32_t{p[4 * i + 3]};
        for (int i = 16; i < 80; ++i) w[i] = rol(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);
        a = state[0], b = state[1], c = state[2], d = state[3], e = state[4];
        for (int i = 0; i < 80; ++i) {
            std::uint32_t f, k;
            if (i < 20) {
                f = (b & c) | (~b & d), k = 0x5A827999u;
            } else if (i < 40) {
                f = b ^ c ^ d, k = 0x6ED9EBA1u;
            } else if (i < 60) {
                f = (b & c) | (b & d) | (c & d), k = 0x8F1BBCDCu;
            } else {
                f = b ^ c ^ d, k = 0xCA62C1D6u;
            }
            const std::uint32_t t = rol(a, 5) + f + e + k + w[i];
            e = d, d = c, c = rol(b, 30), b = a, a = t;
        }
        state[0] += a, state[1] += b, state[2] += c, state[3] += d, state[4] += e;
    }
    // The working words and the schedule must not linger on the stack.
    wipe(w, sizeof w);
    volatile std::uint32_t sink[5] = {a, b, c, d, e};
    for (auto& s : sink) s = 0;
}

#ifdef ORVANE_X86

#define ORVANE_SHA_TARGET "sha,sse4.1,ssse3"

// One group of four rounds (group g covers rounds 4g..4g+3). The message words of group
// g live in m[g % 4]; the schedule for later groups is advanced as it becomes possible.
template <int G>
__attribute__((target(ORVANE_SHA_TARGET), always_inline)) inline void shaGroup(__m128i& abcd, __m128i& e0,
                                                                               __m128i& e1, __m128i (&m)[4]) {
    __m128i& eCur = (G % 2 == 0) ? e0 : e1;
    __m128i& eNext = (G % 2 == 0) ? e1 : e0;
    if constexpr (G == 0) {
        eCur = _mm_add_epi32(eCur, m[0]);
    } else {
        eCur = _mm_sha1nexte_epu32(eCur, m[G % 4]);
    }
    eNext = abcd;
    if constexpr (G >= 3 && G <= 18) m[(G + 1) % 4] = _mm_sha1msg2_epu32(m[(G + 1) % 4], m[G % 4]);
    abcd = _mm_sha1rnds4_epu32(abcd, eCur, G / 5);
    if constexpr (G >= 1 && G <= 16) m[(G + 3) % 4] = _mm_sha1msg1_epu32(m[(G + 3) % 4], m[G % 4]);
    if constexpr (G >= 2 && G <= 17) m[(G + 2) % 4] = _mm_xor_si128(m[(G + 2) % 4], m[G % 4]);
}

template <int... G>
__attribute__((target(ORVANE_SHA_TARGET), always_inline)) inline void shaRounds(__m128i& abcd, __m128i& e0,
                                                                                __m128i& e1, __m128i (&m)[4],
                                                                                std::integer_sequence<int, G...>) {
    (shaGroup<G>(abcd, e0, e1, m), ...);
}

__attribute__((target(ORVANE_SHA_TARGET))) void shaNiBlocks(std::uint32_t state[5], const unsigned char* p,
                                                            std::size_t blocks) {
    const __m128i byteSwap = _mm_set_epi64x(0x0001020304050607ll, 0x08090A0B0C0D0E0Fll);
    __m128i abcd = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state)), 0x1B);
    __m128i e0 = _mm_set_epi32(static_cast<int>(state[4]), 0, 0, 0);
    __m128i e1 = _mm_setzero_si128();
    __m128i m[4];
    for (; blocks; --blocks, p += 64) {
        const __m128i abcdSave = abcd, eSave = e0;
        for (int i = 0; i < 4; ++i)
            m[i] = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * i)), byteSwap);
        shaRounds(abcd, e0, e1, m, std::make_integer_sequence<int, 20>{});
        e0 = _mm_sha1nexte_epu32(e0, eSave);
        abcd = _mm_add_epi32(abcd, abcdSave);
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state), _mm_shuffle_epi32(abcd, 0x1B));
    state[4] = static_cast<std::uint32_t>(_mm_extract_epi32(e0, 3));
}

#endif  // ORVANE_X86

// The debug channel: silent unless a debugger (a ptrace tracer) is attached right now.
// It is asked on every call, so a debugger that attaches or detaches later is seen at
// once. The status file stays open and is read again with pread: one system call, no
// open and close. A forked child reopens it, because /proc/self named the parent when
// it was opened; a descriptor that the host closed or reused is left to the host.
std::atomic<int> gStatusFd{-1};
std::atomic<pid_t> gStatusOwner{0};

// 1 traced, 0 not traced, -1 when the descriptor does not read a status text.
int tracedPerStatus(int fd) noexcept {
    char buf[1024];
    const ssize_t n = ::pread(fd, buf, sizeof buf - 1, 0);
    if (n <= 0) return -1;
    buf[n] = '\0';
    const char* t = std::strstr(buf, "\nTracerPid:");
    if (!t) return -1;
    for (t += 11; *t == ' ' || *t == '\t';) ++t;
    return *t >= '1' && *t <= '9' ? 1 : 0;
}

bool debuggerAttached() noexcept {
    const pid_t self = ::getpid();
    const int fd = gStatusFd.load(std::memory_order_acquire);
    const bool ours = gStatusOwner.load(std::memory_order_acquire) == self;
    if (fd >= 0 && ours) {
        const int traced = tracedPerStatus(fd);
        if (traced >= 0) return traced == 1;
    }
    const int fresh = ::open("/proc/self/status", O_RDONLY | O_CLOEXEC);
    if (fresh < 0) return false;
    const bool traced = tracedPerStatus(fresh) == 1;
    int expected = fd;
    if (gStatusFd.compare_exchange_strong(expected, fresh, std::memory_order_acq_rel)) {
        // A forked child closes its inherited copy; a descriptor that stopped reading our
        // status may belong to the host by now and is left alone.
        if (fd >= 0 && !ours) ::close(fd);
        gStatusOwner.store(self, std::memory_order_release);
    } else {
        ::close(fresh);  // another thread kept its own meanwhile: one descriptor, not two
    }
    return traced;
}

void debugOutput(const char* line) noexcept {
    if (!debuggerAttached()) return;
    const ssize_t ignored = ::write(STDERR_FILENO, line, std::strlen(line));
    (void)ignored;
}

}  // namespace

bool sha1PathAvailable(Sha1Path path) noexcept {
    if (path == Sha1Path::Portable) return true;
#ifdef ORVANE_X86
    // CPUID itself: clang before 15 knows no "sha" for __builtin_cpu_supports.
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (!__get_cpuid(1, &a, &b, &c, &d)) return false;
    const bool sse = (c & bit_SSE4_1) && (c & bit_SSSE3);
    if (!__get_cpuid_count(7, 0, &a, &b, &c, &d)) return false;
    return sse && (b & bit_SHA);
#else
    return false;
#endif
}

Sha1Path bestSha1Path() noexcept {
    return sha1PathAvailable(Sha1Path::ShaNi) ? Sha1Path::ShaNi : Sha1Path::Portable;
}

void sha1Blocks(Sha1Path path, std::uint32_t state[5], const unsigned char* data, std::size_t blocks) noexcept {
#ifdef ORVANE_X86
    if (path == Sha1Path::ShaNi) {
        shaNiBlocks(state, data, blocks);
        return;
    }
#endif
    portableBlocks(state, data, blocks);
}

}  // namespace orvane

namespace {

// The caller's data as they were when the call began. All of it counts as copied into
// the padding buffer before the first block is hashed, so the digest stores after each
// block never reach a later block, even when the digest array lies inside the data. Only
// the (at most 20) bytes that the two share are kept aside; the blocks that hold them
// are hashed from a copy with those bytes put back.
class Snapshot {
public:
    Snapshot(const unsigned char* data, std::size_t length, const std::uint32_t* digest) noexcept
        : data_(data) {
        const auto d = reinterpret_cast<std::uintptr_t>(digest), p = reinterpret_cast<std::uintptr_t>(data);
        const std::uintptr_t from = d > p ? d : p, to = d + 20 < p + length ? d + 20 : p + length;
        if (from < to) {
            from_ = from - p;
            to_ = to - p;
            std::memcpy(saved_, data + from_, to_ - from_);
        }
    }
    ~Snapshot() { orvane::wipe(saved_, sizeof saved_); }

    bool touches(std::size_t offset, std::size_t n) const noexcept { return from_ < to_ && from_ < offset + n && offset < to_; }

    // n bytes from `offset` on, as they were at the start.
    void copy(unsigned char* out, std::size_t offset, std::size_t n) const noexcept {
        std::memcpy(out, data_ + offset, n);
        if (!touches(offset, n)) return;
        const std::size_t lo = from_ > offset ? from_ : offset, hi = to_ < offset + n ? to_ : offset + n;
        std::memcpy(out + (lo - offset), saved_ + (lo - from_), hi - lo);
    }

private:
    const unsigned char* data_;
    std::size_t from_ = 0, to_ = 0;
    unsigned char saved_[20] = {};
};

// The SHA-1 of one call: whole blocks from the caller's buffer, then the padded tail.
void calcSha1(orvane::Sha1Path path, std::uint32_t digest[5], const unsigned char* data, std::uint32_t length,
              bool reset) noexcept {
    static constexpr std::uint32_t kInitial[5] = {0x67452301u, 0xEFCDAB89u, 0x98BADCFEu, 0x10325476u, 0xC3D2E1F0u};
    std::uint32_t* const work = orvane::gWorking;
    const Snapshot original(data, length, digest);
    if (reset) {
        std::memcpy(work, kInitial, sizeof kInitial);
        orvane::debugOutput("in resetChecksum\n");
    } else {
        std::memcpy(work, digest, 5 * sizeof(std::uint32_t));
        orvane::debugOutput("in else branch\n");
    }
    const std::size_t whole = length / 64;
    unsigned char block[64];
    for (std::size_t i = 0; i < whole;) {
        // Runs of blocks that the digest array does not share go straight from the data.
        std::size_t run = 0;
        while (i + run < whole && !original.touches(64 * (i + run), 64)) ++run;
        if (run) {
            orvane::sha1Blocks(path, work, data + 64 * i, run);
            i += run;
        } else {
            original.copy(block, 64 * i, 64);
            orvane::sha1Blocks(path, work, block, 1);
            ++i;
        }
        std::memcpy(digest, work, 20);
    }
    orvane::wipe(block, sizeof block);
    // Tail: the rest of the data, 0x80, zeros and the bit length (kept in 32 bits, as a
    // big-endian 64-bit number).
    unsigned char tail[128] = {};
    const std::size_t rest = length % 64;
    original.copy(tail, 64 * whole, rest);
    tail[rest] = 0x80;
    const std::size_t tailBlocks = rest >= 56 ? 2 : 1;
    const std::uint32_t bits = length * 8u;
    unsigned char* end = tail + 64 * tailBlocks;
    end[-4] = static_cast<unsigned char>(bits >> 24);
    end[-3] = static_cast<unsigned char>(bits >> 16);
    end[-2] = static_cast<unsigned char>(bits >> 8);
    end[-1] = static_cast<unsigned char>(bits);
    for (std::size_t i = 0; i < tailBlocks; ++i) {
        orvane::sha1Blocks(path, work, tail + 64 * i, 1);
        std::memcpy(digest, work, 20);
    }
    orvane::wipe(tail, sizeof tail);
}

}  // namespace

namespace orvane {
// Test hook: tqMath_calcSHA1 on a chosen path.
void calcSha1OnPath(Sha1Path path, unsigned digest[5], const void* data, unsigned length, bool reset) noexcept {
    if (!digest || !data) return;
    calcSha1(path, digest, static_cast<const unsigned char*>(data), length, reset);
}
}  // namespace orvane

extern "C" {

TQ_API int tqMath_calcSHA1(unsigned digest[5], const void* data, unsigned length, char reset) TQ_NOEXCEPT {
    if (!digest || !data) return 0;
    calcSha1(orvane::bestSha1Path(), digest, static_cast<const unsigned char*>(data), length, reset != 0);
    return 0;
}

}  // extern "C"
