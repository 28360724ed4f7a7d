// Bit masks and integer lists, each against a plain model: a script of mask operations
// (every operation code, bits inside and beyond the mask), the mask written as a list text
// and read back, both widths giving the same text, bit fields of a long and a byte, and a
// script of integer-list appends and look-ups ending in the release.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "orvane.h"

namespace {

void checkAt(bool ok, int line) {
    if (ok) return;
    std::fprintf(stderr, "masks_fuzz.cpp:%d: the library differs from the model\n", line);
    std::abort();
}
#define check(ok) checkAt((ok), __LINE__)

// What an operation of the mask function does to the model and returns.
int modelOperation(std::vector<unsigned char>& m, unsigned bit, int op) {
    const std::size_t bits = m.size() * 8;
    const bool inside = bit < bits;
    auto byte = [&](unsigned b) -> unsigned char& { return m[b / 8]; };
    const unsigned char one = static_cast<unsigned char>(1u << (bit % 8));
    switch (op) {
        case 1: for (auto& c : m) c = 0xFF; return 0;
        case 2: for (auto& c : m) c = 0; return 0;
        case 3: if (inside) byte(bit) |= one; return 0;
        case 4: if (inside) byte(bit) &= static_cast<unsigned char>(~one); return 0;
        case 5: if (inside) byte(bit) ^= one; return 0;
        case 6: return inside ? ((byte(bit) & one) ? 0 : 1) : 0;
        case 7: for (auto& c : m) c = static_cast<unsigned char>(~c); return 0;
        case 9:
            for (std::size_t n = 0; n < bits; ++n)
                if (m[n / 8] & (1u << (n % 8))) return static_cast<int>(n);
            return -1;
        case 10:
            for (std::size_t n = bits; n-- > 0;)
                if (m[n / 8] & (1u << (n % 8))) return static_cast<int>(n);
            return -1;
        case 8:
            for (unsigned char c : m)
                if (c) return 0;
            return 1;
        default: return 0;
    }
}

unsigned modelExtract(unsigned value, int low, int high) {
    const unsigned keep = (2u << (static_cast<unsigned>(high) % 32)) - 1u;
    return (value & keep) >> (static_cast<unsigned>(low) % 32);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const int bytes = in.ConsumeIntegralInRange<int>(1, 40);
    const int offset = in.ConsumeIntegralInRange<int>(0, 100000);
    std::vector<unsigned char> mask(static_cast<std::size_t>(bytes)), model(mask.size());
    for (std::size_t i = 0; i < mask.size(); ++i) mask[i] = model[i] = in.ConsumeIntegral<unsigned char>();

    for (int step = 0; step < 64 && in.remaining_bytes() > 0; ++step) {
        const int op = in.ConsumeIntegralInRange<int>(0, 12);
        const unsigned bit = in.ConsumeBool() ? in.ConsumeIntegral<unsigned>()
                                              : in.ConsumeIntegralInRange<unsigned>(0, bytes * 8 + 8);
        check(tqMath_setBitMask(bit, mask.data(), bytes, op) == modelOperation(model, bit, op));
        check(mask == model);

        // Field extraction, both widths.
        const unsigned value = in.ConsumeIntegral<unsigned>();
        const int low = in.ConsumeIntegral<int>(), high = in.ConsumeIntegral<int>();
        check(tqMath_extractBitsFromLong(value, low, high) == modelExtract(value, low, high));
        const auto b = static_cast<unsigned char>(value), lb = static_cast<unsigned char>(low),
                   hb = static_cast<unsigned char>(high);
        check(tqMath_extractBitsFromByte(b, lb, hb) == static_cast<unsigned char>(modelExtract(b, lb, hb)));
    }

    // Written out and read back: the same mask, and the same text in both widths. A
    // number takes at most 6 digits here, a separator 1.
    std::string text(static_cast<std::size_t>(bytes) * 8 * 8 + 1, '\0');
    check(tqString_buildStringFromBitMaskA(text.data(), mask.data(), bytes, offset) == 0);
    text.resize(text.find('\0'));
    std::vector<tqWChar> wide(1025, 0xFFFF);
    check(tqString_buildStringFromBitMaskW(wide.data(), mask.data(), bytes, offset) == 0);
    if (text.size() <= 1024) check(std::u16string(wide.data()) == std::u16string(text.begin(), text.end()));
    std::vector<unsigned char> again(mask.size(), 0xA5);
    check(tqString_buildBitMaskFromStringA(again.data(), text.c_str(), bytes, offset) == 0);
    check(again == mask);
    if (text.size() <= 1024) {
        again.assign(mask.size(), 0x5A);
        check(tqString_buildBitMaskFromStringW(again.data(), wide.data(), bytes, offset) == 0);
        check(again == mask);
    }

    // Integer list: appends and look-ups against a vector; the count stays the caller's.
    int* list = nullptr;
    int count = 0;
    std::vector<int> want;
    while (in.remaining_bytes() > 0) {
        const int v = in.ConsumeIntegralInRange<int>(-3, 40);
        if (in.ConsumeBool()) {
            check(tqMath_addIntToList(&list, v, &count) == 0);
            if (v > 0) want.push_back(v);
            check(count == static_cast<int>(want.size()));
            check(want.empty() || std::vector<int>(list, list + count) == want);
        } else {
            const int n = in.ConsumeIntegralInRange<int>(-1, count);
            bool found = false;
            for (int i = 0; i < n; ++i) found = found || want[static_cast<std::size_t>(i)] == v;
            check(tqMath_isIntInList(list, n, v) == (found ? 1 : 0));
        }
    }
    check(tqMath_freeIntList(&list) == 0 && list == nullptr);
    check(tqMath_freeIntList(&list) == 0);
    return 0;
}
