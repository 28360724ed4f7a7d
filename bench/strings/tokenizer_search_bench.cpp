// Walking a 1 MiB list string with the tokenizer, and case-insensitive search in a 1 MiB
// haystack, each beside the standard-library loop that does the same work.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "orvane.h"

namespace {

constexpr std::size_t kMiB = 1 << 20;

// "name123, level_45, ..." with entries of 3 to 16 characters, about 1 MiB long.
const std::string& listText() {
    static const std::string text = [] {
        std::mt19937 rng(7);
        std::string s;
        s.reserve(kMiB + 32);
        while (s.size() < kMiB) {
            const int len = 3 + static_cast<int>(rng() % 14);
            for (int i = 0; i < len; ++i) s += static_cast<char>('a' + rng() % 26);
            s += ", ";
        }
        return s;
    }();
    return text;
}

void BM_Tokenizer_List1MiB(benchmark::State& state) {
    const std::string& text = listText();
    std::vector<char> token(text.size() + 1);
    for (auto _ : state) {
        std::size_t pos = 0, count = 0;
        int consumed;
        while ((consumed = tqString_getTokenA(token.data(), text.c_str() + pos, " ", " ", nullptr, ",", nullptr)) > 0) {
            pos += static_cast<std::size_t>(consumed);
            ++count;
        }
        benchmark::DoNotOptimize(count);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_Tokenizer_List1MiB);

// Baseline: the same walk with strspn/strcspn, copying each token and trimming blanks.
void BM_Baseline_Strcspn_List1MiB(benchmark::State& state) {
    const std::string& text = listText();
    std::vector<char> token(text.size() + 1);
    for (auto _ : state) {
        const char* p = text.c_str();
        std::size_t count = 0;
        while (*p) {
            p += std::strspn(p, " ");
            const std::size_t n = std::strcspn(p, ",");
            std::size_t m = n;
            while (m > 0 && p[m - 1] == ' ') --m;
            std::memcpy(token.data(), p, m);
            token[m] = '\0';
            p += n;
            if (*p) ++p;
            ++count;
        }
        benchmark::DoNotOptimize(count);
        benchmark::DoNotOptimize(token.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_Baseline_Strcspn_List1MiB);

// A mixed-case haystack with the needle only at its very end.
const std::string& haystack() {
    static const std::string text = [] {
        std::mt19937 rng(11);
        std::string s;
        s.reserve(kMiB);
        while (s.size() < kMiB - 16) {
            const char c = static_cast<char>('a' + rng() % 26);
            s += (rng() & 1) ? c : static_cast<char>(c - 'a' + 'A');
        }
        s += "DesignFile.DGN";
        return s;
    }();
    return text;
}

void BM_StrNoCaseA_1MiB(benchmark::State& state) {
    const std::string& hay = haystack();
    for (auto _ : state) benchmark::DoNotOptimize(tqString_strNoCaseA(hay.c_str(), "designfile.dgn"));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * hay.size()));
}
BENCHMARK(BM_StrNoCaseA_1MiB);

void BM_Baseline_Strcasestr_1MiB(benchmark::State& state) {
    const std::string& hay = haystack();
    for (auto _ : state) benchmark::DoNotOptimize(strcasestr(hay.c_str(), "designfile.dgn"));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * hay.size()));
}
BENCHMARK(BM_Baseline_Strcasestr_1MiB);

void BM_StrNoCaseW_1MiB(benchmark::State& state) {
    const std::string& narrow = haystack();
    const std::u16string hay(narrow.begin(), narrow.end());
    for (auto _ : state) benchmark::DoNotOptimize(tqString_strNoCaseW(hay.c_str(), u"designfile.dgn"));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * hay.size()));
}
BENCHMARK(BM_StrNoCaseW_1MiB);

}  // namespace

BENCHMARK_MAIN();
