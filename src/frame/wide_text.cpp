#include "frame/wide_text.hpp"

#include <climits>
#include <cuchar>

namespace orvane {

namespace {

// Appends the encoding of each unit; `onFailure` decides whether to go on (true) after
// a unit that has none.
template <class OnFailure>
bool narrowInto(const tqWChar* text, std::string& out, OnFailure onFailure) {
    if (!text) return true;
    std::mbstate_t state{};
    char buf[MB_LEN_MAX];
    for (const tqWChar* p = text; *p; ++p) {
        const std::size_t n = std::c16rtomb(buf, *p, &state);
        if (n == static_cast<std::size_t>(-1)) {
            if (!onFailure(out)) return false;
            state = std::mbstate_t{};
        } else {
            out.append(buf, n);
        }
    }
    return true;
}

}  // namespace

std::string narrow(const tqWChar* text) {
    std::string out;
    narrowInto(text, out, [](std::string& o) {
        o += '?';
        return true;
    });
    return out;
}

bool narrowExact(const tqWChar* text, std::string& out) {
    return narrowInto(text, out, [](std::string&) { return false; });
}

std::u16string widen(const std::string& text) {
    std::u16string out;
    out.reserve(text.size());
    std::mbstate_t state{};
    const char* p = text.data();
    const char* end = p + text.size();
    while (p < end) {
        char16_t unit = 0;
        const std::size_t n = std::mbrtoc16(&unit, p, static_cast<std::size_t>(end - p), &state);
        if (n == static_cast<std::size_t>(-3)) {
            out += unit;  // second half of a surrogate pair, no input consumed
        } else if (n == 0) {
            out += u'\0';
            ++p;
        } else if (n == static_cast<std::size_t>(-1) || n == static_cast<std::size_t>(-2)) {
            out += static_cast<char16_t>(static_cast<unsigned char>(*p++));
            state = std::mbstate_t{};
        } else {
            out += unit;
            p += n;
        }
    }
    return out;
}

}  // namespace orvane
