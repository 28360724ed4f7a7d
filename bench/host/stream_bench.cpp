// Stream files beside stdio in the same run: whole-file reads and writes in blocks
// (64 KiB and a small record size), and line input over a text file, at 1 MiB and
// 100 MiB. Every iteration opens, walks and closes the file, on both sides.
//
// The files live in a scratch folder under $TMPDIR (or /tmp), made on first use and
// removed at exit. Reads come from the page cache after the first pass, so the figures
// are the per-byte cost of the two stream layers, not of the disk.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "orvane.h"

namespace {

constexpr std::size_t kMiB = std::size_t{1} << 20;

struct Scratch {
    std::string dir;
    Scratch() {
        const char* tmp = std::getenv("TMPDIR");
        std::string name = std::string(tmp && *tmp ? tmp : "/tmp") + "/orvane-bench-streams-XXXXXX";
        if (!::mkdtemp(name.data())) std::abort();
        dir = name;
    }
    ~Scratch() { std::filesystem::remove_all(dir); }
};

Scratch& scratch() {
    static Scratch s;
    return s;
}

// Random bytes, the same for every file.
const std::vector<char>& payload() {
    static const std::vector<char> bytes = [] {
        std::vector<char> b(4 * kMiB);
        std::mt19937 rng(7);
        for (auto& c : b) c = static_cast<char>(rng());
        return b;
    }();
    return bytes;
}

// A binary file of `size` bytes, made once per size.
std::string binaryFile(std::size_t size) {
    const std::string path = scratch().dir + "/bin" + std::to_string(size);
    if (!std::filesystem::exists(path)) {
        std::FILE* f = std::fopen(path.c_str(), "wb");
        for (std::size_t done = 0; done < size;) {
            const std::size_t n = std::min(size - done, payload().size());
            std::fwrite(payload().data(), 1, n, f);
            done += n;
        }
        std::fclose(f);
    }
    return path;
}

// A text file of `size` bytes: lines of 0 to 120 printable characters (60 on average),
// each ended by LF or, with `crlf`, by CR LF.
std::string textFile(std::size_t size, bool crlf) {
    const std::string path = scratch().dir + (crlf ? "/crlf" : "/lf") + std::to_string(size);
    if (!std::filesystem::exists(path)) {
        std::string text;
        text.reserve(size + 128);
        std::mt19937 rng(11);
        while (text.size() < size) {
            const std::size_t len = rng() % 121;
            for (std::size_t i = 0; i < len; ++i) text += static_cast<char>(' ' + rng() % 95);
            if (crlf) text += '\r';
            text += '\n';
        }
        text.resize(size);
        std::FILE* f = std::fopen(path.c_str(), "wb");
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
    }
    return path;
}

void setBytes(benchmark::State& state, std::size_t size) {
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
}

// Reads: args are the file size in MiB, the block size in bytes, and 1 to read the CR LF
// text file (the library as a text stream, "r", delivering LF; stdio as it stands).

void Read_Orvane(benchmark::State& state) {
    const std::size_t size = static_cast<std::size_t>(state.range(0)) * kMiB;
    const int block = static_cast<int>(state.range(1));
    const bool text = state.range(2) != 0;
    const std::string path = text ? textFile(size, true) : binaryFile(size);
    char out[64 << 10];
    for (auto _ : state) {
        oxStream* s = nullptr;
        oxWinAPI_fopen(&s, path.c_str(), text ? "r" : "rb");
        std::size_t total = 0;
        for (int n; (n = oxWinAPI_fread(out, 1, static_cast<size_t>(block), s)) > 0;) total += static_cast<std::size_t>(n);
        oxWinAPI_fclose(&s);
        if (!text && total != size) state.SkipWithError("short read");
        benchmark::DoNotOptimize(out);
    }
    setBytes(state, size);
}

void Read_Stdio(benchmark::State& state) {
    const std::size_t size = static_cast<std::size_t>(state.range(0)) * kMiB;
    const std::size_t block = static_cast<std::size_t>(state.range(1));
    const std::string path = state.range(2) ? textFile(size, true) : binaryFile(size);
    char out[64 << 10];
    for (auto _ : state) {
        std::FILE* f = std::fopen(path.c_str(), "rb");
        std::size_t total = 0;
        for (std::size_t n; (n = std::fread(out, 1, block, f)) > 0;) total += n;
        std::fclose(f);
        if (total != size) state.SkipWithError("short read");
        benchmark::DoNotOptimize(out);
    }
    setBytes(state, size);
}

// Writes go over an existing file of the same size in place ("rwb", and "r+b" for stdio),
// so that the figure is the stream layer's and not the file system's: truncating and
// reallocating 100 MiB on each pass costs more, and varies more, than the writing itself.
// Args as for reads; a third arg of 1 writes a text stream (the library's "rw", each LF
// landing as CR LF) of the LF text file's bytes.

std::vector<char> writeSource(benchmark::State& state, std::size_t size) {
    if (state.range(2) == 0) return {payload().begin(), payload().end()};
    const std::string path = textFile(size, false);
    std::vector<char> text(std::min(size, payload().size()));
    std::FILE* f = std::fopen(path.c_str(), "rb");
    text.resize(std::fread(text.data(), 1, text.size(), f));
    std::fclose(f);
    return text;
}

// The file to write over: made at `size` bytes if it is not there yet.
std::string outFile(const char* name, std::size_t size) {
    const std::string path = scratch().dir + "/" + name + std::to_string(size);
    if (!std::filesystem::exists(path)) std::filesystem::copy_file(binaryFile(size), path);
    return path;
}

void Write_Orvane(benchmark::State& state) {
    const std::size_t size = static_cast<std::size_t>(state.range(0)) * kMiB;
    const std::size_t block = static_cast<std::size_t>(state.range(1));
    const std::string path = outFile("out-orvane", size);
    const std::vector<char> src = writeSource(state, size);
    const char* mode = state.range(2) ? "rw" : "rwb";
    for (auto _ : state) {
        oxStream* s = nullptr;
        oxWinAPI_fopen(&s, path.c_str(), mode);
        for (std::size_t done = 0; done < size; done += block)
            oxWinAPI_fwrite(src.data() + done % (src.size() - block + 1), 1, block, s);
        oxWinAPI_fclose(&s);
    }
    setBytes(state, size);
}

void Write_Stdio(benchmark::State& state) {
    const std::size_t size = static_cast<std::size_t>(state.range(0)) * kMiB;
    const std::size_t block = static_cast<std::size_t>(state.range(1));
    const std::string path = outFile("out-stdio", size);
    const std::vector<char> src = writeSource(state, size);
    for (auto _ : state) {
        std::FILE* f = std::fopen(path.c_str(), "r+b");
        for (std::size_t done = 0; done < size; done += block)
            std::fwrite(src.data() + done % (src.size() - block + 1), 1, block, f);
        std::fclose(f);
    }
    setBytes(state, size);
}

// Line input: args are the file size in MiB and 1 for CR LF line ends. The library reads
// a text stream ("r") and, as a second row, the same file as a binary stream ("rb").

template <bool Text>
void Lines_Orvane(benchmark::State& state) {
    const std::size_t size = static_cast<std::size_t>(state.range(0)) * kMiB;
    const std::string path = textFile(size, state.range(1) != 0);
    char line[1024];
    for (auto _ : state) {
        oxStream* s = nullptr;
        oxWinAPI_fopen(&s, path.c_str(), Text ? "r" : "rb");
        std::size_t lines = 0;
        while (oxWinAPI_fgets(line, sizeof line, s)) ++lines;
        oxWinAPI_fclose(&s);
        benchmark::DoNotOptimize(lines);
    }
    setBytes(state, size);
}

void Lines_Stdio(benchmark::State& state) {
    const std::size_t size = static_cast<std::size_t>(state.range(0)) * kMiB;
    const std::string path = textFile(size, state.range(1) != 0);
    char line[1024];
    for (auto _ : state) {
        std::FILE* f = std::fopen(path.c_str(), "r");
        std::size_t lines = 0;
        while (std::fgets(line, sizeof line, f)) ++lines;
        std::fclose(f);
        benchmark::DoNotOptimize(lines);
    }
    setBytes(state, size);
}

void readArgs(benchmark::internal::Benchmark* b) {
    for (long mib : {1, 100}) {
        for (long block : {256, 64 << 10}) b->Args({mib, block, 0});
        b->Args({mib, 64 << 10, 1});
    }
    b->Unit(benchmark::kMillisecond)->UseRealTime();
}

void writeArgs(benchmark::internal::Benchmark* b) {
    for (long mib : {1, 100}) {
        for (long block : {256, 64 << 10}) b->Args({mib, block, 0});
        b->Args({mib, 64 << 10, 1});
    }
    b->Unit(benchmark::kMillisecond)->UseRealTime();
}

void lineArgs(benchmark::internal::Benchmark* b) {
    for (long mib : {1, 100})
        for (long crlf : {0, 1}) b->Args({mib, crlf});
    b->Unit(benchmark::kMillisecond)->UseRealTime();
}

BENCHMARK(Read_Orvane)->Apply(readArgs);
BENCHMARK(Read_Stdio)->Apply(readArgs);
BENCHMARK(Write_Orvane)->Apply(writeArgs);
BENCHMARK(Write_Stdio)->Apply(writeArgs);
BENCHMARK(Lines_Orvane<true>)->Apply(lineArgs);
BENCHMARK(Lines_Orvane<false>)->Apply(lineArgs);
BENCHMARK(Lines_Stdio)->Apply(lineArgs);

}  // namespace

BENCHMARK_MAIN();
