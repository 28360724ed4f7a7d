// The tokenizer walking list strings, case-insensitive search and replacement, each
// beside the standard-library code that does the same work, in the layout hosts use:
// the text on the heap, the token destination a buffer on the caller's stack (which
// lies above the heap), sizes from 64 bytes to 4 MiB.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "bench_texts.hpp"
#include "orvane.h"

namespace {

using orvane_bench::listText;

// Tokens here hold at most 16 characters; a host sizes its stack buffer to its tokens.
constexpr std::size_t kTokenBuffer = 4096;

template <class Walk>
void walkList(benchmark::State& state, Walk walk) {
    const std::string& text = listText(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(walk(text.c_str()));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

// "abc, defgh, ...": blanks skipped and trimmed, separator ",", destination on the stack.
void BM_Tokenizer_StackDest(benchmark::State& state) {
    walkList(state, [](const char* text) {
        char token[kTokenBuffer];
        std::size_t count = 0;
        int used;
        for (const char* p = text; (used = tqString_getTokenA(token, p, " ", " ", nullptr, ",", nullptr)) > 0; p += used)
            ++count;
        benchmark::DoNotOptimize(token);
        return count;
    });
}

// The destination a little above the text in the same heap block (within the window):
// each call first measures its token, then copies it.
void BM_Tokenizer_DestJustAbove(benchmark::State& state) {
    const std::string& text = listText(static_cast<std::size_t>(state.range(0)));
    std::vector<char> block(text.size() + 1 + kTokenBuffer);
    std::memcpy(block.data(), text.c_str(), text.size() + 1);
    char* token = block.data() + text.size() + 1;
    for (auto _ : state) {
        std::size_t count = 0;
        int used;
        for (const char* p = block.data(); (used = tqString_getTokenA(token, p, " ", " ", nullptr, ",", nullptr)) > 0;
             p += used)
            ++count;
        benchmark::DoNotOptimize(count);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

// Anchor: the same walk with strspn/strcspn, copying each token and trimming blanks.
void BM_Anchor_Strcspn(benchmark::State& state) {
    walkList(state, [](const char* p) {
        char token[kTokenBuffer];
        std::size_t count = 0;
        while (*p) {
            p += std::strspn(p, " ");
            const std::size_t n = std::strcspn(p, ",");
            std::size_t m = n;
            while (m > 0 && p[m - 1] == ' ') --m;
            std::memcpy(token, p, m);
            token[m] = '\0';
            p += n;
            if (*p) ++p;
            ++count;
        }
        benchmark::DoNotOptimize(token);
        return count;
    });
}

void BM_TokenizerW_StackDest(benchmark::State& state) {
    const std::string& narrow = listText(static_cast<std::size_t>(state.range(0)));
    const std::u16string text(narrow.begin(), narrow.end());
    for (auto _ : state) {
        tqWChar token[kTokenBuffer];
        std::size_t count = 0;
        int used;
        for (const tqWChar* p = text.c_str();
             (used = tqString_getTokenW(token, p, u" ", u" ", nullptr, u",", nullptr)) > 0; p += used)
            ++count;
        benchmark::DoNotOptimize(token);
        benchmark::DoNotOptimize(count);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size() * 2));
}

#define SIZES ->Arg(64)->Arg(4 << 10)->Arg(256 << 10)->Arg(1 << 20)->Arg(4 << 20)
BENCHMARK(BM_Tokenizer_StackDest) SIZES;
BENCHMARK(BM_Anchor_Strcspn) SIZES;
BENCHMARK(BM_Tokenizer_DestJustAbove) SIZES;
BENCHMARK(BM_TokenizerW_StackDest) SIZES;

// A mixed-case haystack with the needle only at its very end.
std::string haystack(std::size_t size) {
    std::mt19937 rng(11);
    std::string s;
    s.reserve(size);
    while (s.size() + 14 < size) {
        const char c = static_cast<char>('a' + rng() % 26);
        s += (rng() & 1) ? c : static_cast<char>(c - 'a' + 'A');
    }
    s += "DesignFile.DGN";
    return s;
}

void BM_StrNoCaseA(benchmark::State& state) {
    const std::string hay = haystack(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(tqString_strNoCaseA(hay.c_str(), "designfile.dgn"));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * hay.size()));
}

void BM_Anchor_Strcasestr(benchmark::State& state) {
    const std::string hay = haystack(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(strcasestr(hay.c_str(), "designfile.dgn"));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * hay.size()));
}

void BM_StrNoCaseW(benchmark::State& state) {
    const std::string narrow = haystack(static_cast<std::size_t>(state.range(0)));
    const std::u16string hay(narrow.begin(), narrow.end());
    for (auto _ : state) benchmark::DoNotOptimize(tqString_strNoCaseW(hay.c_str(), u"designfile.dgn"));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * hay.size() * 2));
}

BENCHMARK(BM_StrNoCaseA) SIZES;
BENCHMARK(BM_Anchor_Strcasestr) SIZES;

// Worst case for a sifting search: a run of "a" and a needle whose first and last
// characters match at every position ("A" x 100, "b", "A" x 100), found only at the end.
std::string periodicText(std::size_t size) {
    const std::string tail = std::string(100, 'a') + "B" + std::string(100, 'a');
    return std::string(size > tail.size() ? size - tail.size() : 0, 'a') + tail;
}
const std::string kPeriodicNeedle = std::string(100, 'A') + "b" + std::string(100, 'A');

void BM_StrNoCaseA_Periodic(benchmark::State& state) {
    const std::string hay = periodicText(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(tqString_strNoCaseA(hay.c_str(), kPeriodicNeedle.c_str()));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * hay.size()));
}

void BM_Anchor_Strcasestr_Periodic(benchmark::State& state) {
    const std::string hay = periodicText(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(strcasestr(hay.c_str(), kPeriodicNeedle.c_str()));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * hay.size()));
}
BENCHMARK(BM_StrNoCaseA_Periodic)->Arg(4 << 10)->Arg(1 << 20)->Arg(4 << 20);
BENCHMARK(BM_Anchor_Strcasestr_Periodic)->Arg(4 << 10)->Arg(1 << 20)->Arg(4 << 20);
BENCHMARK(BM_StrNoCaseW)->Arg(64)->Arg(1 << 20);

// Replacement of a long find text that almost matches everywhere: a run of "a" with
// the find text ("A" x 4095 + "B", in lower case) only at its end. Anchors: the
// case-sensitive form, and the search alone by strcasestr.
std::string replaceText(std::size_t size) { return std::string(size - 4096, 'a') + std::string(4095, 'a') + "b"; }
const std::string kLongFind = std::string(4095, 'A') + "B";

void BM_ReplaceNoCase(benchmark::State& state) {
    const std::size_t size = static_cast<std::size_t>(state.range(0));
    const std::string text = replaceText(size);
    std::vector<char> dest(size + 1);
    for (auto _ : state)
        benchmark::DoNotOptimize(
            tqString_replace(dest.data(), text.c_str(), kLongFind.c_str(), "x", static_cast<int>(size), 0));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
}

void BM_Anchor_StrcasestrLongFind(benchmark::State& state) {
    const std::size_t size = static_cast<std::size_t>(state.range(0));
    const std::string text = replaceText(size);
    for (auto _ : state) benchmark::DoNotOptimize(strcasestr(text.c_str(), kLongFind.c_str()));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
}
// Anchor: the case-sensitive form on the same text, with the find text as it occurs.
void BM_Anchor_ReplaceCaseSensitive(benchmark::State& state) {
    const std::size_t size = static_cast<std::size_t>(state.range(0));
    const std::string text = replaceText(size);
    const std::string find = std::string(4095, 'a') + "b";
    std::vector<char> dest(size + 1);
    for (auto _ : state)
        benchmark::DoNotOptimize(tqString_replace(dest.data(), text.c_str(), find.c_str(), "x", static_cast<int>(size), 1));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
}
BENCHMARK(BM_ReplaceNoCase)->Arg(8 << 10)->Arg(64 << 10)->Arg(1 << 20)->Arg(4 << 20);
BENCHMARK(BM_Anchor_ReplaceCaseSensitive)->Arg(8 << 10)->Arg(64 << 10)->Arg(1 << 20)->Arg(4 << 20);
BENCHMARK(BM_Anchor_StrcasestrLongFind)->Arg(8 << 10)->Arg(64 << 10)->Arg(1 << 20)->Arg(4 << 20);

// Many short occurrences: every ", " of a list becomes ";", the find text given as "E, "
// against lower-case entries ending in "e" (one pass per occurrence). The destination is
// a stack buffer up to 64 KiB, a heap block above. Anchor: the case-sensitive form.
template <int CaseSensitive>
void replaceEntries(benchmark::State& state) {
    const std::string& text = listText(static_cast<std::size_t>(state.range(0)));
    const char* find = CaseSensitive ? "e, " : "E, ";
    char stackDest[(64 << 10) + 1];
    std::vector<char> heapDest(text.size() > (64 << 10) ? text.size() + 1 : 0);
    char* dest = heapDest.empty() ? stackDest : heapDest.data();
    for (auto _ : state)
        benchmark::DoNotOptimize(tqString_replace(dest, text.c_str(), find, ";", static_cast<int>(text.size()), CaseSensitive));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
void BM_ReplaceNoCase_ShortFind(benchmark::State& state) { replaceEntries<0>(state); }
void BM_Anchor_ReplaceCaseSensitive_ShortFind(benchmark::State& state) { replaceEntries<1>(state); }
BENCHMARK(BM_ReplaceNoCase_ShortFind) SIZES;
BENCHMARK(BM_Anchor_ReplaceCaseSensitive_ShortFind) SIZES;

}  // namespace
