// histo_getV8Prop reading a user-defined property ("Project", in the second section of
// "\005DocumentSummaryInformation") from V8 design files of 50 KiB, 5 MiB and 50 MiB, beside
// libgsf opening the same file and reading the same property stream. Only the sectors on
// the way to the property should be read, so the file's size should hardly matter.
#include <benchmark/benchmark.h>
#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-stdio.h>
#include <gsf/gsf-utils.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "orvane.h"
#include "platform/sample_files.hpp"  // tests/platform: the test writer

namespace {

constexpr std::size_t kSizes[] = {50u << 10, 5u << 20, 50u << 20};

// The files, written once at the first use (version 3: 512-byte sectors, the most FAT and
// DIFAT sectors per byte) and removed at exit.
const std::string& designFile(std::size_t sizeIndex, unsigned version) {
    static testcfb::TempDir dir;
    static std::string paths[2][std::size(kSizes)];
    std::string& path = paths[version == 4][sizeIndex];
    if (path.empty()) {
        // The model stream takes the file's size, less the property streams and the tables.
        const std::size_t bulk = kSizes[sizeIndex] - kSizes[sizeIndex] / 64 - 4096;
        path = dir.file("design-v" + std::to_string(version) + "-" + std::to_string(kSizes[sizeIndex]) + ".dgn");
        testcfb::writeFile(path, testcfb::designFile(version, bulk));
    }
    return path;
}

void label(benchmark::State& state, const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    long size = 0;
    if (f) {
        std::fseek(f, 0, SEEK_END);
        size = std::ftell(f);
        std::fclose(f);
    }
    state.SetLabel(std::to_string(size / 1024) + " KiB, v" + std::to_string(state.range(1)));
}

void BM_GetV8Prop(benchmark::State& state) {
    const std::string& path = designFile(static_cast<std::size_t>(state.range(0)), static_cast<unsigned>(state.range(1)));
    char value[1024];  // the host's buffer, on its stack
    if (histo_getV8Prop(path.c_str(), "Project", value) != 1 || std::strcmp(value, "North Bridge") != 0) {
        state.SkipWithError("the property was not read");
        return;
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(histo_getV8Prop(path.c_str(), "Project", value));
        benchmark::ClobberMemory();
    }
    label(state, path);
}

// Anchor: libgsf opens the file as a compound document and reads the whole
// "\005DocumentSummaryInformation" stream (the property is not even decoded).
void BM_Gsf_ReadPropertyStream(benchmark::State& state) {
    const std::string& path = designFile(static_cast<std::size_t>(state.range(0)), static_cast<unsigned>(state.range(1)));
    std::vector<guint8> bytes;
    auto readOnce = [&]() -> bool {
        GsfInput* in = gsf_input_stdio_new(path.c_str(), nullptr);
        if (!in) return false;
        GsfInfile* ole = gsf_infile_msole_new(in, nullptr);
        g_object_unref(in);
        if (!ole) return false;
        GsfInput* stream = gsf_infile_child_by_name(ole, "\005DocumentSummaryInformation");
        bool ok = false;
        if (stream) {
            const gsf_off_t size = gsf_input_size(stream);
            bytes.resize(static_cast<std::size_t>(size));
            ok = gsf_input_read(stream, static_cast<std::size_t>(size), bytes.data()) != nullptr;
            g_object_unref(stream);
        }
        g_object_unref(ole);
        return ok;
    };
    if (!readOnce()) {
        state.SkipWithError("libgsf could not read the stream");
        return;
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(readOnce());
        benchmark::ClobberMemory();
    }
    label(state, path);
}

void BM_IsV8Dgn(benchmark::State& state) {
    const std::string& path = designFile(static_cast<std::size_t>(state.range(0)), static_cast<unsigned>(state.range(1)));
    for (auto _ : state) benchmark::DoNotOptimize(oxFile_isV8Dgn(path.c_str()));
    label(state, path);
}

void sizes(benchmark::internal::Benchmark* b) {
    for (int v : {3, 4})
        for (int i = 0; i < static_cast<int>(std::size(kSizes)); ++i) b->Args({i, v});
}

BENCHMARK(BM_GetV8Prop)->Apply(sizes);
BENCHMARK(BM_Gsf_ReadPropertyStream)->Apply(sizes);
BENCHMARK(BM_IsV8Dgn)->Apply(sizes);

}  // namespace

int main(int argc, char** argv) {
    gsf_init();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    gsf_shutdown();
    return 0;
}
