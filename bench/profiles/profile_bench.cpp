// Profile files of 100 to 100,000 lines: reading one key beside a hand-written single-pass
// reader, and writing one key beside one read plus one atomic rewrite of the same bytes.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "orvane.h"

namespace {

constexpr int kKeysPerSection = 19;

// A file of `lines` lines: sections of 19 keys with a header and a blank line between.
const std::string& profileFile(int lines) {
    static std::map<int, std::string> files;
    auto it = files.find(lines);
    if (it != files.end()) return it->second;
    // Removed with everything in it when the program ends.
    static const struct Scratch {
        Scratch() {
            char name[] = "/tmp/orvane-bench-profiles-XXXXXX";
            path = ::mkdtemp(name) ? name : "";
        }
        ~Scratch() {
            std::error_code ec;
            if (!path.empty()) std::filesystem::remove_all(path, ec);
        }
        std::string path;
    } scratch;
    const std::string& dir = scratch.path;
    std::string text;
    int written = 0;
    for (int s = 0; written < lines; ++s) {
        text += "[Section" + std::to_string(s) + "]\r\n";
        for (int k = 0; k < kKeysPerSection; ++k)
            text += "Key" + std::to_string(k) + " = some value for key " + std::to_string(k) + "\r\n";
        text += "\r\n";
        written += kKeysPerSection + 2;
    }
    const std::string path = dir + "/p" + std::to_string(lines) + ".ini";
    std::FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
    return files.emplace(lines, path).first->second;
}

std::string lastSection(int lines) { return "Section" + std::to_string((lines - 1) / (kKeysPerSection + 2)); }

// The texts a host passes live on its heap (the destinations are its stack arrays).
struct HeapText {
    explicit HeapText(const std::string& text) : bytes(new char[text.size() + 1]) {
        std::memcpy(bytes.get(), text.c_str(), text.size() + 1);
    }
    const char* c_str() const { return bytes.get(); }
    std::unique_ptr<char[]> bytes;
};

bool readWhole(const char* path, std::string& text) {
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    ::fstat(fd, &st);
    text.resize(static_cast<std::size_t>(st.st_size));
    std::size_t got = 0;
    while (got < text.size()) {
        const ssize_t n = ::read(fd, text.data() + got, text.size() - got);
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    text.resize(got);
    return true;
}

// The anchor: one pass over the lines, stopping at the key. No quotes, no duplicates
// bookkeeping; the least that reading a key can cost.
int singlePassRead(const char* path, const char* section, const char* key, char* out, unsigned size) {
    std::string text;
    if (!readWhole(path, text)) return 0;
    const std::size_t sectionLen = std::strlen(section), keyLen = std::strlen(key);
    bool inSection = false;
    const char* p = text.data();
    const char* end = p + text.size();
    while (p < end) {
        const char* eol = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
        if (!eol) eol = end;
        const char* q = p;
        while (q < eol && (*q == ' ' || *q == '\t')) ++q;
        if (q < eol && *q == '[') {
            inSection = static_cast<std::size_t>(eol - q) > sectionLen + 1 && q[sectionLen + 1] == ']' &&
                        ::strncasecmp(q + 1, section, sectionLen) == 0;
        } else if (inSection && static_cast<std::size_t>(eol - q) > keyLen && ::strncasecmp(q, key, keyLen) == 0) {
            const char* v = q + keyLen;
            while (v < eol && (*v == ' ' || *v == '\t')) ++v;
            if (v < eol && *v == '=') {
                ++v;
                while (v < eol && (*v == ' ' || *v == '\t')) ++v;
                const char* ve = eol;
                while (ve > v && (ve[-1] == '\r' || ve[-1] == ' ')) --ve;
                const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(ve - v), size - 1);
                std::memcpy(out, v, n);
                out[n] = '\0';
                return static_cast<int>(n);
            }
        }
        p = eol + 1;
    }
    out[0] = '\0';
    return 0;
}

void BM_GetProfileString_LastSection(benchmark::State& state) {
    const int lines = static_cast<int>(state.range(0));
    const std::string& path = profileFile(lines);
    const HeapText section(lastSection(lines)), key("key18"), def(""), file(path);
    char value[256];
    for (auto _ : state) {
        benchmark::DoNotOptimize(oxProfile_getProfileString(section.c_str(), key.c_str(), def.c_str(), value, sizeof value, file.c_str()));
    }
    if (std::strcmp(value, "some value for key 18") != 0) state.SkipWithError("wrong value");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * std::filesystem::file_size(path)));
}
BENCHMARK(BM_GetProfileString_LastSection)->Arg(100)->Arg(10000)->Arg(100000);

void BM_Anchor_SinglePassRead_LastSection(benchmark::State& state) {
    const int lines = static_cast<int>(state.range(0));
    const std::string& path = profileFile(lines);
    const HeapText section(lastSection(lines)), key("key18"), def(""), file(path);
    char value[256];
    for (auto _ : state) {
        benchmark::DoNotOptimize(singlePassRead(file.c_str(), section.c_str(), key.c_str(), value, sizeof value));
    }
    if (std::strcmp(value, "some value for key 18") != 0) state.SkipWithError("wrong value");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * std::filesystem::file_size(path)));
}
BENCHMARK(BM_Anchor_SinglePassRead_LastSection)->Arg(100)->Arg(10000)->Arg(100000);

// A key halfway down: both read the whole file, then stop scanning at the key.
void BM_GetProfileString_Middle(benchmark::State& state) {
    const HeapText section("Section238"), key("key5"), def(""), file(profileFile(10000));
    char value[256];
    for (auto _ : state)
        benchmark::DoNotOptimize(oxProfile_getProfileString(section.c_str(), key.c_str(), def.c_str(), value, sizeof value, file.c_str()));
}
BENCHMARK(BM_GetProfileString_Middle);

void BM_Anchor_SinglePassRead_Middle(benchmark::State& state) {
    const HeapText section("Section238"), key("key5"), file(profileFile(10000));
    char value[256];
    for (auto _ : state) benchmark::DoNotOptimize(singlePassRead(file.c_str(), section.c_str(), key.c_str(), value, sizeof value));
}
BENCHMARK(BM_Anchor_SinglePassRead_Middle);

// Writing one key near the top of the file (the whole file is rewritten wherever the key
// is); two values alternate so that every iteration really changes the file.
void BM_WriteProfileString(benchmark::State& state) {
    const int lines = static_cast<int>(state.range(0));
    const std::string& path = profileFile(lines);
    const HeapText section("Section2"), key("Key7"), first("first value"), second("second value"), file(path);
    bool flip = false;
    for (auto _ : state) {
        flip = !flip;
        if (oxProfile_writeProfileString(section.c_str(), key.c_str(), (flip ? first : second).c_str(), file.c_str()) != 0)
            state.SkipWithError("write failed");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * std::filesystem::file_size(path)));
}
BENCHMARK(BM_WriteProfileString)->Arg(100)->Arg(10000)->Arg(100000)->UseRealTime();

// The anchor: read the file, write the same bytes to a file beside it, flush it to disk
// and rename it over the original, as any writer that cannot lose the file must.
void BM_Anchor_ReadPlusAtomicRewrite(benchmark::State& state) {
    const int lines = static_cast<int>(state.range(0));
    const std::string& path = profileFile(lines);
    const std::string temporary = path + ".anchor";
    std::string text;
    for (auto _ : state) {
        readWhole(path.c_str(), text);
        const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (::write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size())) state.SkipWithError("write");
        ::fsync(fd);
        ::close(fd);
        ::rename(temporary.c_str(), path.c_str());
        const int dirFd = ::open(std::filesystem::path(path).parent_path().c_str(), O_RDONLY | O_DIRECTORY);
        ::fsync(dirFd);
        ::close(dirFd);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_Anchor_ReadPlusAtomicRewrite)->Arg(100)->Arg(10000)->Arg(100000)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
