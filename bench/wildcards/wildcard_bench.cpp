// The wildcard matcher on inputs that make a backtracking walk exponential, beside the
// naive walk (tests/strings/wildcard_reference.hpp) on the sizes where it still
// finishes, on the largest patterns (256) and texts (4096) the matcher must answer
// within 50 ms, and on the edge cases of long star and bar chains and thousands of
// alternative classes, with the peak heap of one call (counted by the replaced global
// allocator below; the matcher allocates only through it).
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <new>
#include <string>

#include "orvane.h"
#include "wildcard_reference.hpp"

namespace {

std::atomic<std::size_t> gLive{0}, gPeak{0};

}  // namespace

void* operator new(std::size_t n) {
    void* p = std::malloc(n ? n : 1);
    if (!p) throw std::bad_alloc();
    const std::size_t live = gLive += malloc_usable_size(p);
    for (std::size_t peak = gPeak.load(); live > peak && !gPeak.compare_exchange_weak(peak, live);) {
    }
    return p;
}
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* p) noexcept {
    if (!p) return;
    gLive -= malloc_usable_size(p);
    std::free(p);
}
#pragma GCC diagnostic pop
void operator delete(void* p, std::size_t) noexcept { operator delete(p); }

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

// The edge cases: time per call, and the heap that one call holds at its peak beyond
// what was live before it ("peak_heap", bytes).
std::string times(const std::string& piece, int n) {
    std::string s;
    while (n-- > 0) s += piece;
    return s;
}

void edge(benchmark::State& state, const std::string& pattern, std::size_t textLength, int level, int expected) {
    const std::string text(textLength, 'a');
    std::size_t peak = 0;
    for (auto _ : state) {
        const std::size_t before = gLive.load();
        gPeak.store(before);
        const int r = tqString_matchWithWildcardsExtA(pattern.c_str(), text.c_str(), level, 1);
        peak = std::max(peak, gPeak.load() - before);
        if (r != expected) state.SkipWithError("unexpected answer");
    }
    state.counters["peak_heap"] = static_cast<double>(peak);
}

constexpr std::size_t k4MiB = std::size_t{4} << 20;

BENCHMARK_CAPTURE(edge, stars_1001_then_a, std::string(1001, '*') + "a", 1, 1, 1)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(edge, bars_1001_then_a, std::string(1001, '|') + "a", 1, 3, 1)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(edge, stars_4096_4KiB, std::string(4096, '*'), 4096, 1, 1)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(edge, qstar_2048_4KiB, times("?*", 2048), 4096, 1, 1)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(edge, star_a_999_4MiB, times("*a", 999), k4MiB, 1, 1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(edge, star_a_999_b_4MiB, times("*a", 999) + "b", k4MiB, 1, 0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(edge, star_a_bar_999_b_4MiB, times("*a|", 999) + "b", k4MiB, 3, 0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(edge, a_bar_4096_b_4MiB, times("a|", 4096) + "b", k4MiB, 3, 0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(edge, star_then_a_bar_999_4MiB, "*" + times("a|", 999), k4MiB, 3, 1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(edge, classes_4096_4KiB, times("[b,a|,|a*]", 4096), 4096, 3, 0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(edge, classes_4096_8KiB, times("[b,a|,|a*]", 4096), 8192, 3, 1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(edge, star_classes_2048_4KiB, times("*[b,a|]", 2048), 4096, 3, 1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(edge, star_classes_4096_4KiB, times("*[b,a|,|a*]", 4096), 4096, 3, 0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(edge, star_star_classes_999_x_4MiB, times("*[a*,b]", 999) + "x", k4MiB, 3, 0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(edge, star_then_classes_999_4MiB, "*" + times("[a|,b]", 999), k4MiB, 3, 1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(edge, star_class_star_x_4MiB, "*[a*b,c]*x", k4MiB, 3, 0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(edge, bar_classes_4096_4KiB, times("|[a*,b]", 4096), 4096, 3, 0)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
