// The tokenizer over every combination of its six sets (each present or NULL, taken from
// the input), sized and unsized, narrow and wide. A whole string is walked token by token
// four ways: destination apart from the source, in place, before it and a little above
// it; all four must consume the same counts and give the same tokens.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "orvane.h"

namespace {

int token(char* d, const char* s, const char* const* set, int max, bool ext) {
    if (ext) return tqString_getTokenSizedExtA(d, s, set[0], set[1], set[2], set[3], set[4], set[5], max);
    if (max) return tqString_getTokenSizedA(d, s, set[0], set[1], set[2], set[3], set[4], max);
    return tqString_getTokenA(d, s, set[0], set[1], set[2], set[3], set[4]);
}
int token(tqWChar* d, const tqWChar* s, const tqWChar* const* set, int max, bool ext) {
    if (ext) {
        if (max) return tqString_getTokenSizedExtW(d, s, set[0], set[1], set[2], set[3], set[4], set[5], max);
        return tqString_getTokenExtW(d, s, set[0], set[1], set[2], set[3], set[4], set[5]);
    }
    if (max) return tqString_getTokenSizedW(d, s, set[0], set[1], set[2], set[3], set[4], max);
    return tqString_getTokenW(d, s, set[0], set[1], set[2], set[3], set[4]);
}

template <class C>
std::basic_string<C> widen(const std::string& s) {
    return std::basic_string<C>(s.begin(), s.end());
}

// Walks `text` with the destination at `where` (0 apart, 1 in place, 2 before, 3 above
// by `gap`); returns the tokens and counts joined.
template <class C>
std::vector<std::basic_string<C>> walk(const std::basic_string<C>& text, const C* const* sets, int max, bool ext,
                                       int where, std::size_t gap) {
    const std::size_t n = text.size();
    std::vector<C> buffer(3 * (n + 1) + 8, C{'#'});
    C* source = buffer.data() + n + 1;
    std::copy(text.begin(), text.end(), source);
    source[n] = C{0};
    std::vector<C> apart(n + 2);
    std::vector<std::basic_string<C>> out;
    std::size_t pos = 0;
    for (std::size_t round = 0; round <= n + 1; ++round) {
        C* dest = where == 0 ? apart.data()
                  : where == 1 ? source + pos
                  : where == 2 ? buffer.data() + gap % (n + 1)
                               : source + pos + 1 + gap % (n + 1);
        const int used = token(dest, source + pos, sets, max, ext);
        if (used < 0 || static_cast<std::size_t>(used) > n - pos) std::abort();
        // A token written into the source spoils the rest of it: restore before going on.
        std::basic_string<C> got(dest);
        std::copy(text.begin(), text.end(), source);
        source[n] = C{0};
        got += C{'/'};
        got += static_cast<C>('0' + used % 64);
        out.push_back(got);
        if (used == 0) break;
        pos += static_cast<std::size_t>(used);
    }
    return out;
}

template <class C>
void run(const std::string sets[6], unsigned present, int max, bool ext, std::size_t gap, const std::string& text) {
    std::basic_string<C> wide[6];
    const C* ptr[6];
    for (int i = 0; i < 6; ++i) {
        wide[i] = widen<C>(sets[i]);
        ptr[i] = (present >> i) & 1 ? wide[i].c_str() : nullptr;
    }
    const auto source = widen<C>(text);
    const auto first = walk(source, ptr, max, ext, 0, gap);
    for (int where = 1; where < 4; ++where)
        if (walk(source, ptr, max, ext, where, gap) != first) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const unsigned present = in.ConsumeIntegral<std::uint8_t>();
    const bool ext = present & 0x40;
    const bool wide = present & 0x80;
    const int max = in.ConsumeIntegralInRange<int>(-1, 40);
    const std::size_t gap = in.ConsumeIntegralInRange<std::size_t>(0, 16);
    std::string sets[6];
    for (auto& s : sets) s = in.ConsumeRandomLengthString(8);
    std::string text = in.ConsumeRemainingBytesAsString();
    text = text.substr(0, text.find('\0'));
    if (text.size() > 512) text.resize(512);
    if (wide) run<tqWChar>(sets, present, max, ext, gap, text);
    else run<char>(sets, present, max, ext, gap, text);
    return 0;
}
