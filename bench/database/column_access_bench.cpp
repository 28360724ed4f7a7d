// Column access over rows of many columns, as hosts read them: every column picked by
// name, and a values list built for an INSERT. Each beside the plain loop a host could
// write itself, in the same binary.
#include <benchmark/benchmark.h>
#include <strings.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "orvane.h"

namespace {

// A row of `n` columns whose names share a long prefix (as schema names often do), so
// every comparison runs deep before it fails. `accent` puts a non-ASCII letter in it.
template <class C>
struct Row {
    std::vector<std::basic_string<C>> names, values;
    std::vector<void*> namePtrs, valuePtrs;
    std::vector<int16_t> types;
    SQLDADescriptor d{};

    Row(int n, bool accent) {
        for (int i = 0; i < n; ++i) {
            char name[64], value[32];
            std::snprintf(name, sizeof name, accent ? "\xC3\xA9l\xC3\xA9ment_attribute_%d" : "element_attribute_%d", i);
            std::snprintf(value, sizeof value, "%d", i * 7);
            names.push_back(convert(name));
            values.push_back(convert(value));
            types.push_back(static_cast<int16_t>(i % 3 == 0 ? 1 : 4));
        }
        for (int i = 0; i < n; ++i) {
            namePtrs.push_back(names[i].data());
            valuePtrs.push_back(values[i].data());
        }
        d.count = static_cast<int16_t>(n);
        d.names = namePtrs.data();
        d.values = valuePtrs.data();
        d.types = types.data();
    }
    static std::basic_string<C> convert(const char* text) {
        if constexpr (sizeof(C) == 1) {
            return text;
        } else {
            std::u16string out;  // the texts are ASCII or, with accent, Latin-1 letters
            for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
                if (*p == 0xC3) {
                    out += static_cast<char16_t>(0xC0 | (p[1] & 0x3F));
                    ++p;
                } else {
                    out += *p;
                }
            }
            return out;
        }
    }
};

// The last matching column wins; a host's own loop walks every column forward.
const char* handLookup(const SQLDADescriptor& d, const char* name) {
    const char* found = nullptr;
    for (int i = 0; i < d.count; ++i)
        if (strcasecmp(static_cast<const char*>(d.names[i]), name) == 0) found = static_cast<const char*>(d.values[i]);
    return found;
}

void BM_GetEveryColumnInt(benchmark::State& state) {
    std::setlocale(LC_ALL, "C.UTF-8");
    const Row<char> row(static_cast<int>(state.range(0)), state.range(1) != 0);
    long long sum = 0;
    for (auto _ : state)
        for (const std::string& name : row.names) sum += tqDBUtils_getSqlColumnInt(&row.d, name.c_str());
    benchmark::DoNotOptimize(sum);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_GetEveryColumnInt)->ArgsProduct({{8, 64, 512}, {0, 1}});

void BM_HandLookupEveryColumn(benchmark::State& state) {
    std::setlocale(LC_ALL, "C.UTF-8");
    const Row<char> row(static_cast<int>(state.range(0)), state.range(1) != 0);
    long long sum = 0;
    for (auto _ : state)
        for (const std::string& name : row.names) sum += std::atoi(handLookup(row.d, name.c_str()));
    benchmark::DoNotOptimize(sum);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_HandLookupEveryColumn)->ArgsProduct({{8, 64, 512}, {0, 1}});

void BM_GetEveryColumnW(benchmark::State& state) {
    std::setlocale(LC_ALL, "C.UTF-8");
    const Row<tqWChar> row(static_cast<int>(state.range(0)), state.range(1) != 0);
    for (auto _ : state)
        for (const std::u16string& name : row.names)
            benchmark::DoNotOptimize(tqDBUtils_getSqlColumnDataPW(&row.d, name.c_str()));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_GetEveryColumnW)->ArgsProduct({{8, 64, 512}, {0, 1}});

// The values list of one row, against appending each piece to a heap string as it comes.
void BM_ValuesList(benchmark::State& state) {
    const Row<char> row(static_cast<int>(state.range(0)), false);
    for (auto _ : state) {
        char* list = tqDBUtils_getColumnValuesListA(&row.d);
        benchmark::DoNotOptimize(list);
        tqDBUtils_freeList(&list);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ValuesList)->Arg(16)->Arg(256)->Arg(4096);

void BM_ValuesListPieceByPiece(benchmark::State& state) {
    const Row<char> row(static_cast<int>(state.range(0)), false);
    for (auto _ : state) {
        char* list = nullptr;
        for (int i = 0; i < row.d.count; ++i) {
            const char* v = static_cast<const char*>(row.d.values[i]);
            tqStringDynamic_addV(&list, row.d.types[i] == 1 ? (i ? ", '%s'" : "'%s'") : (i ? ", %s" : "%s"), v);
        }
        benchmark::DoNotOptimize(list);
        tqStringDynamic_freeA(&list);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ValuesListPieceByPiece)->Arg(16)->Arg(256)->Arg(4096);

// A literal made safe: 1 MiB of text with an apostrophe and a line feed every 64 bytes,
// into a stack-held destination for small texts and a heap one for the large; by column
// access's conversion and by the connection's own escape.
template <int (*Convert)(char*, const char*)>
void BM_MakeLiteral(benchmark::State& state) {
    std::string text(static_cast<std::size_t>(state.range(0)), 'a');
    for (std::size_t i = 31; i < text.size(); i += 64) text[i] = '\'';
    for (std::size_t i = 63; i < text.size(); i += 64) text[i] = '\n';
    char small[256];
    std::vector<char> large(text.size() * 2 + 1);
    char* dest = text.size() < 100 ? small : large.data();
    for (auto _ : state) benchmark::DoNotOptimize(Convert(dest, text.c_str()));
    state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_MakeLiteral<tqDBUtils_convertStringA>)->Name("BM_ConvertString")->Arg(40)->Arg(1 << 20);
BENCHMARK(BM_MakeLiteral<tqDBWin_escapeStringA>)->Name("BM_EscapeString")->Arg(40)->Arg(1 << 20);

}  // namespace
BENCHMARK_MAIN();
