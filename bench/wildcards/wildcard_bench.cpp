// The wildcard matcher on inputs that make a backtracking walk exponential, beside the
// naive walk (tests/strings/wildcard_reference.hpp) on the sizes where it still
// finishes, and on the largest patterns (256) and texts (4096) the matcher must answer
// within 50 ms.
#include <benchmark/benchmark.h>

#include <string>

#include "orvane.h"
#include "wildcard_reference.hpp"

namespace {

const char* kEightStars = "*a*a*a*a*a*a*a*a*b";

// Level 3: alternatives holding stars and bars, behind stars, with no way to match.
const char* kNestedAlternatives = "*[a*a*b,a|a*,|a]*[*a*a,a||a]*[a*,a|]*c";

std::string repeated(const std::string& piece, std::size_t length) {
    std::string s;
    while (s.size() + piece.size() <= length) s += piece;
    return s;
}

void run(benchmark::State& state, const char* pattern, int level, bool naive) {
    const std::string text(static_cast<std::size_t>(state.range(0)), 'a');
    for (auto _ : state) {
        const int r = naive ? reference::match(pattern, text.c_str(), level, true)
                            : tqString_matchWithWildcardsExtA(pattern, text.c_str(), level, 1);
        benchmark::DoNotOptimize(r);
    }
    state.SetComplexityN(state.range(0));
}

void BM_EightStars_Matcher(benchmark::State& s) { run(s, kEightStars, 1, false); }
void BM_EightStars_Naive(benchmark::State& s) { run(s, kEightStars, 1, true); }
void BM_NestedAlternatives_Matcher(benchmark::State& s) { run(s, kNestedAlternatives, 3, false); }
void BM_NestedAlternatives_Naive(benchmark::State& s) { run(s, kNestedAlternatives, 3, true); }

BENCHMARK(BM_EightStars_Matcher)->Arg(40)->Arg(400)->Arg(4000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_EightStars_Naive)->Arg(16)->Arg(24)->Arg(32)->Arg(40)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_NestedAlternatives_Matcher)->Arg(40)->Arg(400)->Arg(4000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_NestedAlternatives_Naive)->Arg(10)->Arg(20)->Arg(40)->Arg(80)->Arg(160)->Unit(benchmark::kMicrosecond);

// Worst cases at the guaranteed sizes: 256-character patterns against 4096 letters.
void worst(benchmark::State& state, const std::string& pattern, int level) {
    const std::string text(4096, 'a');
    for (auto _ : state) benchmark::DoNotOptimize(tqString_matchWithWildcards(pattern.c_str(), text.c_str(), level, 0));
}

BENCHMARK_CAPTURE(worst, stars_128, repeated("*a", 255) + "b", 1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(worst, bars_255, std::string(255, '|') + "b", 3)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(worst, star_bar_mix, repeated("*a|", 255) + "b", 3)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(worst, classes, repeated("*[^b-c]", 255) + "b", 2)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(worst, alternatives, repeated("*[a*a*a*b,|a]", 255) + "c", 3)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(worst, long_alternative, "*[" + repeated("a*", 250) + "b,a]c", 3)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
