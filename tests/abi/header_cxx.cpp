// A C++ host: the header's declarations are noexcept and C-linked, and wide text is
// char16_t, so u"" literals pass straight in.
#include <cstdio>
#include <type_traits>

#include "orvane.h"

static_assert(std::is_same_v<tqWChar, char16_t>);
static_assert(noexcept(tqString_cmpNoCaseA("a", "b")));

int main() {
    const tqWChar* hay = u"Hello World";
    const tqWChar* hit = tqString_strNoCaseW(hay, u"WORLD");
    if (hit != hay + 6) {
        std::fprintf(stderr, "strNoCaseW through the shared library failed\n");
        return 1;
    }
    return tqString_cmpNoCaseW(u"a", u"c") == -2 ? 0 : 1;
}
