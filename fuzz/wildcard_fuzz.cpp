// The wildcard matcher at every level (narrow, wide, and the internal entry with its
// one-pass table switched on at different points), then the find, expand and rewrite
// functions on the same pattern and text. On small inputs the answer is held to the plain
// recursive walk of the tests (tests/strings/wildcard_reference.hpp).
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_support.hpp"
#include "orvane.h"
#include "strings/wildcard.hpp"
#include "../tests/strings/wildcard_reference.hpp"

namespace {

using fuzz::untilNul;
using fuzz::widen;


bool ascii(const std::string& s) {
    for (unsigned char c : s)
        if (c >= 0x80) return false;
    return true;
}


}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const int level = in.ConsumeIntegralInRange<int>(-1, 4);
    const int cs = in.ConsumeBool();
    const int tableAfter = in.ConsumeIntegralInRange<int>(0, 10);
    const std::string pattern = untilNul(in.ConsumeRandomLengthString(96), 96);
    const std::string replacement = untilNul(in.ConsumeRandomLengthString(96), 96);
    const std::string text = untilNul(in.ConsumeRemainingBytesAsString(), 1024);
    const char* p = pattern.c_str();
    const char* t = text.c_str();

    const int plain = tqString_matchWithWildcards(p, t, level, cs);
    if (plain != 0 && plain != 1) std::abort();
    if (orvane::matchWildcards(p, t, level, cs, tableAfter) != plain) std::abort();
    if (tqString_matchWithWildcardsExtA(p, t, level, cs) != plain) std::abort();
    if (ascii(pattern) && ascii(text) &&
        tqString_matchWithWildcardsExtW(widen(pattern).c_str(), widen(text).c_str(), level, cs) != plain)
        std::abort();
    // The reference walk is exponential in the stars: only small inputs.
    if (pattern.size() <= 12 && text.size() <= 16 && reference::match(p, t, level, cs != 0) != plain) std::abort();

    (void)tqString_findFirstWildCard(t, level);
    (void)tqString_findSubString(t, p);
    if (char* at = tqString_findSubStringWithWildcards(t, p, level)) {
        if (at < t || at > t + text.size()) std::abort();
    }
    std::vector<char> expanded(text.size() + 1, '#');
    const char* end = nullptr;
    tqString_expandFirstWildcard(expanded.data(), p, t, &end, level);
    if (std::memchr(expanded.data(), '\0', expanded.size()) == nullptr) std::abort();
    if (end && (end < t || end > t + text.size())) std::abort();
    char rewritten[512];
    std::memset(rewritten, '#', sizeof rewritten);
    tqString_replaceWithWildcards(t, rewritten, p, replacement.c_str(), level);
    if (std::memchr(rewritten, '\0', sizeof rewritten) == nullptr) std::abort();
    return 0;
}
