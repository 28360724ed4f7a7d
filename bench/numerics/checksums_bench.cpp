// CRC-32 on 64-byte to 4 MiB buffers and SHA-1 on 64-byte to 1 MiB buffers: the library's
// exported functions and each of its code paths, beside zlib's crc32, ISA-L's
// crc32_gzip_refl and OpenSSL's SHA1; and what the per-call debugger check of SHA-1
// costs on its own.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <isa-l/crc.h>
#include <openssl/sha.h>
#include <unistd.h>
#include <zlib.h>

#include <cstring>
#include <random>
#include <vector>

#include "numerics/checksums.hpp"
#include "orvane.h"

namespace {

const std::vector<unsigned char>& data() {
    static const std::vector<unsigned char> buf = [] {
        std::vector<unsigned char> b((4 << 20) + 64);
        std::mt19937 rng(1);
        for (auto& c : b) c = static_cast<unsigned char>(rng());
        return b;
    }();
    return buf;
}

template <class F>
void run(benchmark::State& state, F&& f) {
    const unsigned n = static_cast<unsigned>(state.range(0));
    const unsigned char* p = data().data();
    for (auto _ : state) benchmark::DoNotOptimize(f(p, n));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * n);
}

void Crc32_Orvane(benchmark::State& s) { run(s, [](auto p, unsigned n) { return tqMath_calcCRC32(0, p, n); }); }
void Crc32_Zlib(benchmark::State& s) { run(s, [](auto p, unsigned n) { return crc32(0, p, n); }); }
void Crc32_Isal(benchmark::State& s) { run(s, [](auto p, unsigned n) { return crc32_gzip_refl(0, p, n); }); }

template <orvane::CrcPath Path>
void Crc32_Path(benchmark::State& s) {
    if (!orvane::crcPathAvailable(Path)) {
        s.SkipWithError("path not available on this CPU");
        return;
    }
    run(s, [](auto p, unsigned n) { return orvane::crc32(Path, 0, p, n); });
}

void Sha1_Orvane(benchmark::State& s) {
    unsigned d[5];
    run(s, [&](auto p, unsigned n) {
        tqMath_calcSHA1(d, p, n, 1);
        return d[0];
    });
}
void Sha1_OpenSsl(benchmark::State& s) {
    unsigned char md[20];
    run(s, [&](auto p, unsigned n) { return SHA1(p, n, md)[0]; });
}
void Sha1_Portable(benchmark::State& s) {
    unsigned d[5];
    run(s, [&](auto p, unsigned n) {
        orvane::calcSha1OnPath(orvane::Sha1Path::Portable, d, p, n, true);
        return d[0];
    });
}

// The question every SHA-1 call asks (is a tracer attached?), made as the library makes
// it: one pread of the kept-open /proc/self/status and a look for its TracerPid line.
void Sha1_DebuggerCheckAlone(benchmark::State& s) {
    const int fd = ::open("/proc/self/status", O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        s.SkipWithError("no /proc/self/status");
        return;
    }
    char buf[1024];
    for (auto _ : s) {
        const ssize_t n = ::pread(fd, buf, sizeof buf - 1, 0);
        buf[n > 0 ? n : 0] = '\0';
        benchmark::DoNotOptimize(std::strstr(buf, "\nTracerPid:"));
    }
    ::close(fd);
}
BENCHMARK(Sha1_DebuggerCheckAlone);

#define SIZES ->Arg(64)->Arg(4096)->Arg(1 << 20)
#define CRC_SIZES ->Arg(64)->Arg(4096)->Arg(64 << 10)->Arg(1 << 20)->Arg(4 << 20)
BENCHMARK(Crc32_Orvane) CRC_SIZES;
BENCHMARK(Crc32_Isal) CRC_SIZES;
BENCHMARK(Crc32_Zlib) CRC_SIZES;
BENCHMARK(Crc32_Path<orvane::CrcPath::Table>) SIZES;
BENCHMARK(Sha1_Orvane) SIZES;
BENCHMARK(Sha1_OpenSsl) SIZES;
BENCHMARK(Sha1_Portable) SIZES;

}  // namespace

BENCHMARK_MAIN();
