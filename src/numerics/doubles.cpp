// Double comparison in master and positional units, trimming of decimal texts, 64-bit
// integer text and the point sort.
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <utility>

#include "frame/boundary.hpp"
#include "frame/text.hpp"
#include "orvane.h"
#include "strings/tokenizer.hpp"

namespace {

// Positional units are whole numbers: round half up. The integers are kept in 64 bits
// (saturated well inside the exact range of a double) so that large drawings still
// compare by value instead of by a wrapped 32-bit pattern.
std::int64_t toUnits(double v) noexcept {
    constexpr double kLimit = 9.0e15;
    const double r = std::floor(v + 0.5);
    if (std::isnan(r)) return 0;
    if (r > kLimit) return static_cast<std::int64_t>(kLimit);
    if (r < -kLimit) return -static_cast<std::int64_t>(kLimit);
    return static_cast<std::int64_t>(r);
}

// The deviation text is a number part (ASCII) and, for some forms, the unit after it.
struct Deviation {
    char number[352];  // "%.0f" of a huge double needs ~310 characters
    bool withUnit;
};

// 1 within tolerance; otherwise 0 and, when `out` is given, the deviation text parts.
int compareAsMaster(double value, double reference, double tolerancePercent, double scale, Deviation* out) {
    const double v = value * scale;
    const double r = reference * scale;
    const double t = reference * scale * tolerancePercent * 0.01;
    const std::int64_t iV = toUnits(v), iR = toUnits(r), iT = toUnits(t);
    const std::int64_t diff = iV > iR ? iV - iR : iR - iV;
    if (diff <= iT) return 1;
    if (std::fabs(v - r) <= t) return 1;
    if (!out) return 0;
    out->withUnit = true;
    if (iV == 0) {
        std::snprintf(out->number, sizeof out->number, "%6.3f", reference);
    } else if (iR == 0) {
        std::snprintf(out->number, sizeof out->number, "%6.3f", value);
    } else {
        const double p = std::fabs(static_cast<double>(iV - iR) / static_cast<double>(iR)) * 100.0;
        const double unitsDiff = static_cast<double>(iR - iV);
        if (p < 0.001) {
            std::snprintf(out->number, sizeof out->number, "%6.3fPU", unitsDiff);
            out->withUnit = false;
        } else if (p > 1000.0) {
            std::snprintf(out->number, sizeof out->number, "%.0f", unitsDiff / scale);
        } else if (p > 5.0) {
            std::snprintf(out->number, sizeof out->number, "%2.0f%%", p);
            out->withUnit = false;
        } else {
            std::snprintf(out->number, sizeof out->number, "%5.3f%%", p);
            out->withUnit = false;
        }
    }
    return 0;
}

template <class C>
int compareAsMasterT(double value, double reference, double tolerancePercent, C* message, const C* unitText,
                     double scale) {
    Deviation d{};
    const int result = compareAsMaster(value, reference, tolerancePercent, scale, message ? &d : nullptr);
    if (result || !message) return result;
    std::size_t n = 0;
    for (const char* p = d.number; *p; ++p) message[n++] = static_cast<C>(static_cast<unsigned char>(*p));
    if (d.withUnit) {
        static const C kDefaultUnit[] = {C('M'), C('U'), C(0)};
        const C* unit = unitText ? unitText : kDefaultUnit;
        const std::size_t len = orvane::boundedLength(unit, 63);
        for (std::size_t i = 0; i < len; ++i) message[n++] = unit[i];
    }
    message[n] = C{0};
    return 0;
}

template <class C>
int trimDouble(C* text, int minDecimals) {
    if (!text || !*text) return 0;
    // Leading blanks go; every trailing blank and zero goes, whatever the text: "100"
    // becomes "1" and "1.5e+10" becomes "1.5e+1". Hosts were written against exactly
    // this cut, which only ever expected fixed-point text with a decimal point.
    static const C kBlank[] = {C(' '), C(0)};
    static const C kBlankOrZero[] = {C(' '), C('0'), C(0)};
    orvane::TokenSets<C> sets;
    sets.skipLeading = kBlank;
    sets.trimTrailing = kBlankOrZero;
    orvane::getToken<C>(text, text, sets, 0);
    std::size_t n = orvane::length(text);
    const C* dot = nullptr;
    for (std::size_t i = 0; i < n && !dot; ++i)
        if (text[i] == C('.')) dot = text + i;
    if (!dot) return 0;
    const std::size_t decimals = n - static_cast<std::size_t>(dot - text) - 1;
    for (std::size_t d = decimals; minDecimals > 0 && d < static_cast<std::size_t>(minDecimals); ++d)
        text[n++] = C('0');
    text[n] = C{0};
    return 0;
}

}  // namespace

extern "C" {

TQ_API unsigned char tqMath_compareDoubles(double a, double b, double tolerance) TQ_NOEXCEPT {
    return std::fabs(a - b) <= tolerance ? 1 : 0;
}

TQ_API int tqMath_compareDoublesAsMasterA(double value, double reference, double tolerancePercent, char* message,
                                          const char* unitText, double scale) TQ_NOEXCEPT {
    return orvane::guarded(0, [&] {
        return compareAsMasterT(value, reference, tolerancePercent, message, unitText, scale);
    });
}

TQ_API int tqMath_compareDoublesAsMasterW(double value, double reference, double tolerancePercent, tqWChar* message,
                                          const tqWChar* unitText, double scale) TQ_NOEXCEPT {
    return orvane::guarded(0, [&] {
        return compareAsMasterT(value, reference, tolerancePercent, message, unitText, scale);
    });
}

TQ_API int tqMath_trimDoubleAsStringA(char* text, int minDecimals) TQ_NOEXCEPT {
    return orvane::guarded(0, [&] { return trimDouble(text, minDecimals); });
}

TQ_API int tqMath_trimDoubleAsStringW(tqWChar* text, int minDecimals) TQ_NOEXCEPT {
    return orvane::guarded(0, [&] { return trimDouble(text, minDecimals); });
}

TQ_API int tqMath_convert64BitToStringA(char* out, int64_t value) TQ_NOEXCEPT {
    if (!out) return 0;
    std::snprintf(out, 21, "%" PRId64, value);
    return 0;
}

TQ_API int tqMath_sortPoints(double* points, int count, int mode) TQ_NOEXCEPT {
    if (!points || count <= 1) return 0;
    int axis;
    bool ascending;
    switch (mode) {
        case 1: axis = 0, ascending = true; break;
        case 2: axis = 0, ascending = false; break;
        case 4: axis = 1, ascending = true; break;
        case 8: axis = 1, ascending = false; break;
        case 16: axis = 2, ascending = true; break;
        case 32: axis = 2, ascending = false; break;
        default: return 0;
    }
    for (bool exchanged = true; exchanged;) {
        exchanged = false;
        for (int i = 0; i + 1 < count; ++i) {
            double* a = points + 3 * static_cast<std::size_t>(i);
            double* b = a + 3;
            if (ascending ? a[axis] > b[axis] : a[axis] < b[axis]) {
                for (int k = 0; k < 3; ++k) std::swap(a[k], b[k]);
                exchanged = true;
            }
        }
    }
    return 0;
}

}  // extern "C"
