// Whole-string character-class tests and the in-place or copying edits of the toolkit.
// The classes are fixed code ranges, not the locale's, so that a name is judged the
// same way on every machine.
#include "strings/classes.hpp"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <string>
#include <string_view>

#include "frame/boundary.hpp"
#include "frame/text.hpp"

namespace orvane {

namespace {

bool isLetter(int c) noexcept { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool isDigit(int c) noexcept { return c >= '0' && c <= '9'; }
bool isPrintableByte(unsigned c) noexcept { return (c >= 32 && c <= 126) || (c >= 128 && c <= 254); }
// The "not printable" of the replacement: control codes, DEL and 255 (low byte only).
bool isControl(unsigned c) noexcept {
    c &= 0xFF;
    return c < 32 || c == 127 || c == 255;
}
bool isBlankOrTab(char c) noexcept { return c == ' ' || c == '\t'; }

// The shared result rule: requireAll asks for every character, else for at least one.
template <class C, class Pred>
int classTest(const C* text, bool requireAll, Pred inClass) noexcept {
    if (!text || !*text) return 0;
    for (std::size_t i = 0; text[i]; ++i) {
        const bool in = inClass(text[i], i);
        if (requireAll && !in) return 0;
        if (!requireAll && in) return 1;
    }
    return requireAll ? 1 : 0;
}

template <class C>
int numeric(const C* text, int requireAll, int allowPoint, int allowMinus) noexcept {
    return classTest(text, requireAll != 0, [&](C c, std::size_t i) {
        const unsigned v = code(c);
        return isDigit(static_cast<int>(v)) || (allowPoint && v == '.') || (allowMinus && v == '-' && i == 0);
    });
}

template <class C>
void replaceChars(C* dest, const C* source, const C* charSet, const C* replacement, int alsoNonPrintable) {
    if (!dest || !source || !*source) return;
    const std::size_t n = length(source);
    const std::size_t m = replacement && *replacement ? length(replacement) : 1;
    if (n > (std::numeric_limits<std::size_t>::max() / sizeof(C) - 1) / m) throw std::bad_alloc();
    const CharSet<C> set(charSet);
    std::basic_string<C> out;
    out.reserve(n * m);
    for (std::size_t i = 0; i < n; ++i) {
        const C c = source[i];
        if (set.contains(c) || (alsoNonPrintable && isControl(code(c)))) {
            if (replacement) out += replacement;
        } else {
            out += c;
        }
    }
    std::memcpy(dest, out.c_str(), (out.size() + 1) * sizeof(C));
}

template <class C>
void spaceToUnderscore(C* text) noexcept {
    if (!text) return;
    for (; *text; ++text)
        if (*text == C(' ')) *text = C('_');
}

// Position of the first occurrence of `find` in `text`, or npos. memmem is a two-way
// search: linear in the text, however much of `find` matches before a mismatch.
std::size_t findIn(std::string_view text, std::string_view find) noexcept {
    const void* hit = memmem(text.data(), text.size(), find.data(), find.size());
    return hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - text.data()) : std::string_view::npos;
}

// The locale's upper-case mapping of bytes, looked up once per call.
struct ByteFolding {
    unsigned char table[256];
    ByteFolding() noexcept {
        for (int c = 0; c < 256; ++c) table[c] = static_cast<unsigned char>(upper(static_cast<char>(c)));
    }
    std::string operator()(std::string_view text) const {
        std::string out(text);
        for (char& c : out) c = static_cast<char>(table[static_cast<unsigned char>(c)]);
        return out;
    }
};

// The empty result of a pass whose text no longer fits: written, as every pass's result,
// by the bounded copy, which fills the destination with terminators up to its size.
void writeEmpty(char* dest, int destSize) noexcept { tqString_copyNA(dest, "", destSize); }

int replaceSubstring(char* dest, const char* source, const char* find, const char* with, int destSize,
                     int caseSensitive) {
    const bool cs = caseSensitive != 0;
    const std::size_t fn = std::strlen(find), wn = std::strlen(with);
    const bool same = fn == wn && (cs ? std::strcmp(find, with) == 0 : [&] {
        for (std::size_t k = 0; k < fn; ++k)
            if (upper(find[k]) != upper(with[k])) return false;
        return true;
    }());
    if (same || std::strstr(with, find)) return 0;
    // The case-insensitive search looks at upper-cased copies of the text and of `find`.
    const ByteFolding folded;
    const std::string foldedFind = cs ? std::string() : folded(find);
    const std::string_view needle = cs ? std::string_view(find, fn) : std::string_view(foldedFind);
    if (!cs && findIn(folded(with), needle) != std::string_view::npos) {
        // Every pass leaves the replacement, and so another occurrence, behind: the
        // text grows until it no longer fits and then ends up empty.
        if (findIn(folded(source), needle) != std::string_view::npos) {
            writeEmpty(dest, destSize);
            return 0;
        }
        tqString_copyNA(dest, source, destSize);
        return 1;
    }
    // The text of each pass is kept as three parts: `done`, which no later occurrence
    // can reach (nothing before an occurrence matched, so the next one cannot start
    // more than length(find) - 1 characters before it); a short `front` that a pass may
    // still rewrite; and the untouched source from `back` on.
    // Each pass then costs the length of `find` and `replaceWith`, not of the text.
    const std::string_view tail(source);
    const std::string foldedSource = cs ? std::string() : folded(tail);
    const std::string_view searchTail = cs ? tail : std::string_view(foldedSource);
    std::string done, front;
    std::size_t back = 0;
    bool foundAny = false, emptied = false;
    auto length = [&] { return done.size() + front.size() + (tail.size() - back); };
    try {
        for (;;) {
            std::string probe = front + std::string(tail.substr(back, fn - 1));
            if (!cs) probe = folded(probe);
            const std::size_t inFront = findIn(probe, needle);
            std::size_t at;  // start of the occurrence, counted from the start of `front`
            if (inFront != std::string::npos && inFront < front.size()) {
                at = inFront;
            } else {
                const std::size_t hit = findIn(searchTail.substr(back), needle);
                if (hit == std::string::npos) break;
                at = front.size() + hit;
            }
            foundAny = true;
            if (static_cast<long long>(length()) - static_cast<long long>(fn) + static_cast<long long>(wn) >=
                destSize) {
                emptied = true;  // an empty text holds no further occurrence
                break;
            }
            // The unsettled text becomes: front before the occurrence, the replacement,
            // and what follows the occurrence (in front, or pulled from back).
            // Everything that can run out of memory happens before the parts change, so
            // that a failed pass leaves the text of the pass before it.
            std::string rebuilt;
            std::size_t nextBack = back;
            if (at >= front.size()) {
                const std::size_t skip = at - front.size();
                rebuilt = front + std::string(tail.substr(back, skip)) + with;
                nextBack += skip + fn;
            } else if (at + fn <= front.size()) {
                rebuilt = front.substr(0, at) + with + front.substr(at + fn);
            } else {
                rebuilt = front.substr(0, at) + with;
                nextBack += at + fn - front.size();
            }
            // The next search starts length(find) - 1 characters before the occurrence;
            // near the start of front that reaches back into done.
            if (at >= fn - 1) {
                std::string nextFront = rebuilt.substr(at - (fn - 1));
                done.reserve(done.size() + (at - (fn - 1)));
                done.append(rebuilt, 0, at - (fn - 1));
                front.swap(nextFront);
            } else {
                const std::size_t reopen = std::min(fn - 1 - at, done.size());
                std::string nextFront = done.substr(done.size() - reopen) + rebuilt;
                done.resize(done.size() - reopen);
                front.swap(nextFront);
            }
            back = nextBack;
        }
    } catch (const std::bad_alloc&) {
        // Keep what the last pass left.
    }
    if (emptied) {
        writeEmpty(dest, destSize);
    } else {
        const std::string text = done + front + std::string(tail.substr(back));
        tqString_copyNA(dest, text.c_str(), destSize);
    }
    return foundAny ? 0 : 1;
}

}  // namespace

int isNumeric(const char* text, int requireAll, int allowPoint, int allowMinus) noexcept {
    return numeric(text, requireAll, allowPoint, allowMinus);
}

int isNumeric(const tqWChar* text, int requireAll, int allowPoint, int allowMinus) noexcept {
    return numeric(text, requireAll, allowPoint, allowMinus);
}

}  // namespace orvane

using orvane::guarded;

extern "C" {

int tqString_isPrintable(const char* text, unsigned char requireAll) noexcept {
    return orvane::classTest(text, requireAll != 0,
                             [](char c, std::size_t) { return orvane::isPrintableByte(orvane::code(c)); });
}

int tqString_isAlphaNumeric(const char* text, unsigned char requireAll) noexcept {
    return orvane::classTest(text, requireAll != 0, [](char c, std::size_t) {
        const int v = static_cast<signed char>(c);
        return orvane::isLetter(v) || orvane::isDigit(v);
    });
}

int tqString_isAlpha(const char* text, unsigned char requireAll) noexcept {
    return orvane::classTest(text, requireAll != 0,
                             [](char c, std::size_t) { return orvane::isLetter(static_cast<signed char>(c)); });
}

int tqString_isNumericExtA(const char* text, int requireAll, int allowPoint, int allowMinus) noexcept {
    return orvane::isNumeric(text, requireAll, allowPoint, allowMinus);
}

int tqString_isNumericExtW(const tqWChar* text, int requireAll, int allowPoint, int allowMinus) noexcept {
    return orvane::isNumeric(text, requireAll, allowPoint, allowMinus);
}

void tqString_TrimLeadingWhiteSpace(char* text) noexcept {
    if (!text) return;
    std::size_t n = 0;
    while (orvane::isBlankOrTab(text[n])) ++n;
    if (n) std::memmove(text, text + n, std::strlen(text + n) + 1);
}

void tqString_TrimTrailingWhiteSpace(char* text) noexcept {
    if (!text) return;
    for (std::size_t n = std::strlen(text); n > 0 && orvane::isBlankOrTab(text[n - 1]); --n) text[n - 1] = '\0';
}

int tqString_replaceCharsA(char* dest, const char* source, const char* charSet, const char* replacement,
                           int alsoNonPrintable) noexcept {
    return guarded(0, [&] {
        orvane::replaceChars(dest, source, charSet, replacement, alsoNonPrintable);
        return 0;
    });
}

int tqString_replaceCharsW(tqWChar* dest, const tqWChar* source, const tqWChar* charSet,
                           const tqWChar* replacement, int alsoNonPrintable) noexcept {
    return guarded(0, [&] {
        orvane::replaceChars(dest, source, charSet, replacement, alsoNonPrintable);
        return 0;
    });
}

int tqString_replace(char* dest, const char* source, const char* find, const char* replaceWith, int destSize,
                     int caseSensitive) noexcept {
    if (!dest || !source || !find || !replaceWith) return 0;
    return guarded(0, [&] { return orvane::replaceSubstring(dest, source, find, replaceWith, destSize, caseSensitive); });
}

int tqString_symbolsToAlpha(char* dest, const char* source, int allowHigh) noexcept {
    if (!dest || !source) return 0;
    int n = 0;
    for (const char* s = source; *s; ++s) {
        const unsigned c = orvane::code(*s);
        if (c == '\'') {
            dest[n++] = 'f';
            dest[n++] = 't';
        } else if (c == '"') {
            dest[n++] = 'i';
            dest[n++] = 'n';
        } else if (allowHigh ? (c >= 32 && c <= 254 && c != 127) : (c >= 32 && c <= 126)) {
            dest[n++] = *s;
        } else {
            dest[n++] = '?';
        }
    }
    dest[n] = '\0';
    return n;
}

int tqString_spaceToUnderscoreA(char* text) noexcept {
    orvane::spaceToUnderscore(text);
    return 0;
}

int tqString_spaceToUnderscoreW(tqWChar* text) noexcept {
    orvane::spaceToUnderscore(text);
    return 0;
}

}  // extern "C"
