// Integer and double range texts: validation with and without limits, the alphanumeric
// range match with the tokenizer's sets, canonical rewriting of integer and double range
// lists (in buffers with room for the longest rewrite), reading entries one by one,
// appending ranges and finding doubles; narrow and wide. Also the bit mask built from a
// range text and written back.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_support.hpp"
#include "orvane.h"

namespace {

using fuzz::untilNul;
using fuzz::widen;


template <class C>
bool terminated(const std::vector<C>& v) {
    for (C c : v)
        if (c == 0) return true;
    return false;
}

// Every number printed with up to 330 digits and the precision, twice per entry.
std::size_t doubleRoom(const std::string& text, int precision) {
    return (text.size() + 2) * (2 * (330 + static_cast<std::size_t>(precision)) + 4) + 64;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const unsigned flags = in.ConsumeIntegral<std::uint8_t>();
    const int low = in.ConsumeIntegralInRange<int>(-10, 5000);
    const int high = in.ConsumeIntegralInRange<int>(-10, 5000);
    const int precision = in.ConsumeIntegralInRange<int>(0, 8);
    const int level = in.ConsumeIntegralInRange<int>(-1, 3);
    const double value = in.ConsumeFloatingPoint<double>();
    const double tolerance = in.ConsumeProbability<double>() * 10;
    const std::string candidate = untilNul(in.ConsumeRandomLengthString(32), 32);
    const std::string seps = untilNul(in.ConsumeRandomLengthString(4), 4);
    const std::string text = untilNul(in.ConsumeRemainingBytesAsString(), 256);
    const auto wtext = widen(text), wseps = widen(seps), wcand = widen(candidate);

    int lo = low, hi = high, isRange = -1;
    (void)tqString_isValidNumericRangeA(text.c_str(), flags & 1, (flags & 2) ? &lo : nullptr,
                                        (flags & 2) ? &hi : nullptr, &isRange);
    lo = low, hi = high;
    (void)tqString_isValidNumericRangeW(wtext.c_str(), flags & 1, &lo, &hi, (flags & 4) ? &isRange : nullptr);
    (void)tqStringAsList_isNumericRange(text.c_str(), (flags & 4) ? &isRange : nullptr);
    lo = low, hi = high;
    (void)tqStringAsList_matchStringInAlphaNumericRangeA(text.c_str(), candidate.c_str(), level, " ", " ", nullptr,
                                                         (flags & 8) ? seps.c_str() : ",", (flags & 16) ? "\"" : nullptr,
                                                         &lo, &hi, &isRange, flags & 32);
    lo = low, hi = high;
    (void)tqStringAsList_matchStringInAlphaNumericRangeW(wtext.c_str(), wcand.c_str(), level, u" ", nullptr, nullptr,
                                                         (flags & 8) ? wseps.c_str() : u",", nullptr, &lo, &hi,
                                                         nullptr, flags & 32);

    // Canonical integer list: never longer than the numbers low..high written out.
    {
        std::vector<char> a(text.size() + 1 + 6 * 5001);
        std::memcpy(a.data(), text.c_str(), text.size() + 1);
        tqStringFixed_listFormatNumericRangeA(a.data(), low, high);
        if (!terminated(a)) std::abort();
        std::vector<tqWChar> w(wtext.size() + 1 + 6 * 5001);
        std::copy(wtext.begin(), wtext.end(), w.begin());
        tqStringFixed_listFormatNumericRangeW(w.data(), low, high);
        if (!terminated(w)) std::abort();
    }
    // Double ranges: read entry by entry, rewrite, append, find.
    {
        double a = 0, b = 0;
        std::size_t pos = 0;
        for (int n = 0; n < 300 && pos <= text.size(); ++n) {
            const int used = tqStringFixed_listReadDoubleRangeA(text.c_str() + pos, &a, &b);
            if (used <= 0) break;
            if (static_cast<std::size_t>(used) > text.size() - pos) std::abort();
            pos += static_cast<std::size_t>(used);
        }
        pos = 0;
        for (int n = 0; n < 300 && pos <= wtext.size(); ++n) {
            const int used = tqStringFixed_listReadDoubleRangeW(wtext.c_str() + pos, &a, &b);
            if (used <= 0) break;
            if (static_cast<std::size_t>(used) > wtext.size() - pos) std::abort();
            pos += static_cast<std::size_t>(used);
        }
        std::vector<char> f(doubleRoom(text, precision));
        std::memcpy(f.data(), text.c_str(), text.size() + 1);
        tqStringFixed_listFormatDoubleRangeA(f.data(), precision);
        if (!terminated(f)) std::abort();
        std::vector<tqWChar> g(doubleRoom(text, precision));
        std::copy(wtext.begin(), wtext.end(), g.begin());
        tqStringFixed_listFormatDoubleRangeW(g.data(), precision);
        if (!terminated(g)) std::abort();
        std::vector<char> add(text.size() + 2 * (330 + precision) + 16);
        std::memcpy(add.data(), text.c_str(), text.size() + 1);
        tqStringFixed_listAddDoubleRangeA(add.data(), value, value + tolerance, precision);
        if (!terminated(add)) std::abort();
        const int at = tqStringAsList_findDoubleA(value, text.c_str(), seps.c_str(), tolerance);
        if (at < -1 || at > static_cast<int>(text.size())) std::abort();
        (void)tqStringAsList_findDoubleW(value, wtext.c_str(), wseps.c_str(), tolerance);
    }
    // Bit masks from the range text and back.
    {
        const int bytes = 1 + (flags >> 4);
        const int offset = low % 64;
        std::vector<unsigned char> mask(static_cast<std::size_t>(bytes));
        tqString_buildBitMaskFromStringA(mask.data(), text.c_str(), bytes, offset);
        std::vector<char> out(static_cast<std::size_t>(bytes) * 8 * 12 + 1);
        tqString_buildStringFromBitMaskA(out.data(), mask.data(), bytes, offset);
        tqString_buildBitMaskFromStringW(mask.data(), wtext.c_str(), bytes, offset);
        std::vector<tqWChar> wout(1025);
        tqString_buildStringFromBitMaskW(wout.data(), mask.data(), bytes, offset);
    }
    return 0;
}
