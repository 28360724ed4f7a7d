// List strings: size, every entry, membership and comparison on fuzzed lists and sets;
// appends with each format of a menu in both widths into a buffer with exactly the room
// the contract asks for; shortening at fuzzed lengths with fuzzed markers and groups.
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

const char* orNull(const std::string& s, bool use) { return use ? s.c_str() : nullptr; }
const tqWChar* orNull(const std::u16string& s, bool use) { return use ? s.c_str() : nullptr; }

void read(const std::string& list, const std::string& seps, const std::string& quotes, const std::string& item,
          const std::string& other, unsigned flags) {
    const char* q = orNull(quotes, flags & 1);
    const int n = tqString_listGetSize(list.c_str(), seps.c_str(), q);
    if (n < 0 || static_cast<std::size_t>(n) > list.size() + 1) std::abort();
    const auto wl = widen(list), ws = widen(seps), wq = widen(quotes);
    for (int i = -1; i <= n && i < 64; ++i) {
        const char* e = tqString_listGetEntryA(list.c_str(), seps.c_str(), q, i);
        if (e && (e < list.c_str() || e > list.c_str() + list.size())) std::abort();
        if ((e != nullptr) != (i >= 0 && i < n)) std::abort();
        const tqWChar* w = tqString_listGetEntryW(wl.c_str(), ws.c_str(), orNull(wq, flags & 1), i);
        if (w && (w < wl.c_str() || w > wl.c_str() + wl.size())) std::abort();
    }
    (void)tqString_listIsMemberExt(list.c_str(), item.c_str(), seps.c_str(), orNull(other, flags & 2), q, flags & 4);
    (void)tqString_listIsMemberA(list.c_str(), item.c_str(), seps.c_str(), orNull(other, flags & 2), flags & 4);
    (void)tqString_listIsMemberW(wl.c_str(), widen(item).c_str(), ws.c_str(), orNull(widen(other), flags & 2),
                                 flags & 4);
    (void)tqString_listsAreSame(list.c_str(), item.c_str(), seps.c_str(), orNull(other, flags & 2), flags & 4,
                                flags & 8);
}

// Room for the list, the separator and the longest entry (1023) with its terminator.
template <class C>
std::vector<C> room(const std::basic_string<C>& list, std::size_t sep) {
    std::vector<C> buffer(list.size() + sep + 1024);
    std::copy(list.begin(), list.end(), buffer.begin());
    return buffer;
}

void append(const std::string& list, const std::string& sep, const std::string& arg, int number, unsigned choice,
            unsigned flags) {
    static const char* const narrow[] = {"%s", "%d", "%c", "%s=%d", "%.3s", "%-12s|", "%x", "%5.2f", "%s %s", "(%s)"};
    auto buffer = room(list, sep.size());
    const char* s = orNull(sep, flags & 1);
    const int cap = flags & 2;
    switch (choice % 10) {
        case 0: tqStringFixed_listAppendExtA(buffer.data(), s, cap, narrow[0], arg.c_str()); break;
        case 1: tqStringFixed_listAppendExtA(buffer.data(), s, cap, narrow[1], number); break;
        case 2: tqStringFixed_listAppendExtA(buffer.data(), s, cap, narrow[2], number); break;
        case 3: tqStringFixed_listAppendExtA(buffer.data(), s, cap, narrow[3], arg.c_str(), number); break;
        case 4: tqStringFixed_listAppendExtA(buffer.data(), s, cap, narrow[4], arg.c_str()); break;
        case 5: tqStringFixed_listAppendExtA(buffer.data(), s, cap, narrow[5], arg.c_str()); break;
        case 6: tqStringFixed_listAppendExtA(buffer.data(), s, cap, narrow[6], static_cast<unsigned>(number)); break;
        case 7: tqStringFixed_listAppendExtA(buffer.data(), s, cap, narrow[7], number / 7.0); break;
        case 8: tqStringFixed_listAppendExtA(buffer.data(), s, cap, narrow[8], arg.c_str(), arg.c_str()); break;
        default: tqStringFixed_listAppendA(buffer.data(), narrow[9], arg.c_str()); break;
    }
    if (std::memchr(buffer.data(), '\0', buffer.size()) == nullptr) std::abort();

    const auto wlist = widen(list), wsep = widen(sep), warg = widen(arg);
    auto wide = room(wlist, wsep.size());
    const tqWChar* ws = orNull(wsep, flags & 1);
    switch (choice / 10 % 8) {
        case 0: tqStringFixed_listAppendExtW(wide.data(), ws, cap, u"%s", warg.c_str()); break;
        case 1: tqStringFixed_listAppendExtW(wide.data(), ws, cap, u"%hs", arg.c_str()); break;
        case 2: tqStringFixed_listAppendExtW(wide.data(), ws, cap, u"%S", arg.c_str()); break;
        case 3: tqStringFixed_listAppendExtW(wide.data(), ws, cap, u"%c", number & 0xffff); break;
        case 4: tqStringFixed_listAppendExtW(wide.data(), ws, cap, u"%C", number & 0x7f); break;
        case 5: tqStringFixed_listAppendExtW(wide.data(), ws, cap, u"%d: %s", number, warg.c_str()); break;
        case 6: tqStringFixed_listAppendExtW(wide.data(), ws, cap, u"%.4s%5d", warg.c_str(), number); break;
        default: tqStringFixed_listAppendW(wide.data(), u"%s", warg.c_str()); break;
    }
    bool ended = false;
    for (tqWChar c : wide) ended = ended || c == 0;
    if (!ended) std::abort();
}

void shorten(const std::string& list, const std::string& marker, const std::string& groups, char sep, int max,
             unsigned flags) {
    std::vector<char> a(list.begin(), list.end());
    a.push_back('\0');
    tqStringFixed_listTruncateBySeparatorExtA(a.data(), orNull(marker, flags & 1), sep, max, orNull(groups, flags & 2));
    if (std::strlen(a.data()) > list.size() && std::strlen(a.data()) > static_cast<std::size_t>(max < 0 ? 0 : max))
        std::abort();
    std::vector<char> b(list.begin(), list.end());
    b.push_back('\0');
    tqStringFixed_listTruncateBySeparatorA(b.data(), sep, max);
    const auto wl = widen(list), wm = widen(marker), wg = widen(groups);
    std::vector<tqWChar> w(wl.begin(), wl.end());
    w.push_back(0);
    tqStringFixed_listTruncateBySeparatorExtW(w.data(), orNull(wm, flags & 1), static_cast<unsigned char>(sep), max,
                                              orNull(wg, flags & 2));
    std::vector<tqWChar> v(wl.begin(), wl.end());
    v.push_back(0);
    tqStringFixed_listTruncateBySeparatorW(v.data(), static_cast<unsigned char>(sep), max);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const unsigned flags = in.ConsumeIntegral<std::uint8_t>();
    const unsigned choice = in.ConsumeIntegral<std::uint8_t>();
    const int number = in.ConsumeIntegral<int>();
    const int max = in.ConsumeIntegralInRange<int>(-2, 80);
    const std::string seps = untilNul(in.ConsumeRandomLengthString(6), 6);
    const std::string quotes = untilNul(in.ConsumeRandomLengthString(4), 4);
    const std::string item = untilNul(in.ConsumeRandomLengthString(64), 64);
    const std::string other = untilNul(in.ConsumeRandomLengthString(64), 64);
    const std::string list = untilNul(in.ConsumeRemainingBytesAsString(), 2048);
    read(list, seps, quotes, item, other, flags);
    read(list, seps, quotes, other, item, flags >> 4);
    append(list, seps, item, number, choice, flags);
    shorten(list, quotes, other.substr(0, 2), seps.empty() ? ',' : seps[0], max, flags >> 2);
    return 0;
}
