// Worst cases of the list functions on long lists (64 KiB to 4 MiB): membership that
// misses (every entry compared), lists compared in any order, and shortening, each
// beside a plain standard-library pass over the same text.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "bench_texts.hpp"
#include "orvane.h"

namespace {

using orvane_bench::listText;

std::size_t size(const benchmark::State& state) { return static_cast<std::size_t>(state.range(0)); }

std::vector<std::string_view> entries(const std::string& list) {
    std::vector<std::string_view> out;
    std::string_view rest(list);
    for (;;) {
        const std::size_t cut = rest.find(',');
        std::string_view e = rest.substr(0, cut);
        while (!e.empty() && e.front() == ' ') e.remove_prefix(1);
        out.push_back(e);
        if (cut == std::string_view::npos) break;
        rest.remove_prefix(cut + 1);
    }
    return out;
}

// The same entries in another order.
const std::string& shuffled(std::size_t n) {
    static std::string s;
    static std::size_t made = 0;
    if (made != n) {
        std::vector<std::string_view> e = entries(listText(n));
        std::shuffle(e.begin(), e.end(), std::mt19937(3));
        s.clear();
        for (auto v : e) (s += v) += ", ";
        made = n;
    }
    return s;
}

void BM_ListIsMemberMiss(benchmark::State& state) {
    const std::string& list = listText(size(state));
    for (auto _ : state) benchmark::DoNotOptimize(tqString_listIsMemberA(list.c_str(), "notthere", ",", " ", 1));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * list.size()));
}

// Anchor: strcspn walk comparing each trimmed entry with strncasecmp.
void BM_Anchor_MemberWalk(benchmark::State& state) {
    const std::string& list = listText(size(state));
    for (auto _ : state) {
        int found = 0;
        for (const char* p = list.c_str(); *p && !found;) {
            p += std::strspn(p, " ");
            std::size_t n = std::strcspn(p, ",");
            std::size_t m = n;
            while (m > 0 && p[m - 1] == ' ') --m;
            found = m == 8 && strncasecmp(p, "notthere", 8) == 0;
            p += n;
            if (*p) ++p;
        }
        benchmark::DoNotOptimize(found);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * list.size()));
}

void BM_ListsAreSameAnyOrder(benchmark::State& state) {
    const std::string& a = listText(size(state));
    const std::string& b = shuffled(size(state));
    for (auto _ : state) benchmark::DoNotOptimize(tqString_listsAreSame(a.c_str(), b.c_str(), ",", " ", 0, 1));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * (a.size() + b.size())));
}

// Anchor: split both lists and compare them as hash sets.
void BM_Anchor_HashSets(benchmark::State& state) {
    const std::string& a = listText(size(state));
    const std::string& b = shuffled(size(state));
    for (auto _ : state) {
        const auto ea = entries(a), eb = entries(b);
        const std::unordered_set<std::string_view> sa(ea.begin(), ea.end()), sb(eb.begin(), eb.end());
        bool same = true;
        for (auto v : sa) same = same && (v.empty() || sb.count(v));
        for (auto v : sb) same = same && (v.empty() || sa.count(v));
        benchmark::DoNotOptimize(same);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * (a.size() + b.size())));
}

void BM_ListsAreSameInOrder(benchmark::State& state) {
    const std::string& a = listText(size(state));
    for (auto _ : state) benchmark::DoNotOptimize(tqString_listsAreSame(a.c_str(), a.c_str(), ",", " ", 1, 0));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * a.size() * 2));
}

// Shortening to 100 characters: every entry is cut from the end, one by one. The
// copy of the list that each run works on is part of the time, also in the anchor.
void BM_ListTruncate(benchmark::State& state) {
    const std::string& list = listText(size(state));
    std::vector<char> work(list.size() + 1);
    for (auto _ : state) {
        std::memcpy(work.data(), list.c_str(), list.size() + 1);
        tqStringFixed_listTruncateBySeparatorA(work.data(), ',', 100);
        benchmark::DoNotOptimize(work.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * list.size()));
}

// Shortening with group characters where each entry closes a group that no entry opens:
// "x)" entries, groups "()".
void BM_ListTruncateGroups(benchmark::State& state) {
    std::string list;
    while (list.size() < size(state)) list += "x), ";
    std::vector<char> work(list.size() + 1);
    for (auto _ : state) {
        std::memcpy(work.data(), list.c_str(), list.size() + 1);
        tqStringFixed_listTruncateBySeparatorExtA(work.data(), "...", ',', 100, "()");
        benchmark::DoNotOptimize(work.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * list.size()));
}

// Anchor: the copy and a memrchr walk from the end to the first cut that fits.
void BM_Anchor_TruncateWalk(benchmark::State& state) {
    const std::string& list = listText(size(state));
    std::vector<char> work(list.size() + 1);
    for (auto _ : state) {
        std::memcpy(work.data(), list.c_str(), list.size() + 1);
        std::size_t n = list.size();
        while (n > 97) {
            const void* sep = memrchr(work.data(), ',', n);
            if (!sep) break;
            n = static_cast<std::size_t>(static_cast<const char*>(sep) - work.data());
            work[n] = '\0';
        }
        std::memcpy(work.data() + n, "...", 4);
        benchmark::DoNotOptimize(work.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * list.size()));
}

#define LIST_SIZES ->Arg(64 << 10)->Arg(1 << 20)->Arg(4 << 20)->Unit(benchmark::kMillisecond)
BENCHMARK(BM_ListIsMemberMiss) LIST_SIZES;
BENCHMARK(BM_Anchor_MemberWalk) LIST_SIZES;
BENCHMARK(BM_ListsAreSameAnyOrder) LIST_SIZES;
BENCHMARK(BM_Anchor_HashSets) LIST_SIZES;
BENCHMARK(BM_ListsAreSameInOrder) LIST_SIZES;
BENCHMARK(BM_ListTruncate) LIST_SIZES;
BENCHMARK(BM_ListTruncateGroups) LIST_SIZES;
BENCHMARK(BM_Anchor_TruncateWalk) LIST_SIZES;

}  // namespace

BENCHMARK_MAIN();
