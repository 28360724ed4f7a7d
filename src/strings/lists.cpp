// Separator-delimited list strings: reading entries with the tokenizer, appending
// formatted entries to fixed buffers, and shortening lists at entry boundaries.
#include "strings/lists.hpp"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdio>
#include <cstring>
#include <cwctype>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "frame/boundary.hpp"
#include "frame/text.hpp"
#include "frame/wide_text.hpp"
#include "strings/tokenizer.hpp"

namespace orvane {

namespace {

// Entries compared by the membership and equality tests are cut to this many
// characters, as are formatted entries.
constexpr std::size_t kEntryLimit = 1023;

template <class C>
using Text = std::basic_string<C>;

// Walks the entries of a list with the tokenizer, into a buffer of its own (which can
// hold the longest entry, the whole list).
template <class C>
class EntryWalk {
public:
    EntryWalk(const C* list, const C* separators, const C* trimSet, const C* quotes)
        : list_(list), sets_{trimSet, trimSet, nullptr, separators, nullptr, quotes},
          buf_(new C[length(list) + 1]) {}

    // Next entry (cut to the entry limit; valid until the next call), or false at the
    // end of the list.
    bool next(std::basic_string_view<C>& entry) noexcept {
        const int consumed = getTokenApart<C>(buf_.get(), list_ + pos_, sets_, 0);
        if (consumed <= 0) return false;
        pos_ += static_cast<std::size_t>(consumed);
        entry = std::basic_string_view<C>(buf_.get(), boundedLength(buf_.get(), kEntryLimit));
        return true;
    }

private:
    const C* list_;
    TokenSets<C> sets_;
    std::unique_ptr<C[]> buf_;
    std::size_t pos_ = 0;
};

template <class C>
bool sameText(std::basic_string_view<C> a, std::basic_string_view<C> b, bool ignoreCase) noexcept {
    if (a.size() != b.size()) return false;
    if (!ignoreCase) return a == b;
    for (std::size_t k = 0; k < a.size(); ++k)
        if (upper(a[k]) != upper(b[k])) return false;
    return true;
}

template <class C>
int entryCount(const C* list, const C* separators, const C* quotes) noexcept {
    if (!list || !separators) return 0;
    const TokenSets<C> sets{nullptr, nullptr, nullptr, separators, nullptr, quotes};
    int count = 0;
    std::size_t pos = 0;
    for (int n; (n = getToken<C>(nullptr, list + pos, sets, 0)) > 0; pos += static_cast<std::size_t>(n)) ++count;
    return count;
}

template <class C>
C* entryAt(const C* list, const C* separators, const C* quotes, int index) noexcept {
    if (!list || !separators || index < 0) return nullptr;
    const TokenSets<C> sets{nullptr, nullptr, nullptr, separators, nullptr, quotes};
    std::size_t pos = 0;
    for (int i = 0;; ++i) {
        const int n = getToken<C>(nullptr, list + pos, sets, 0);
        if (n <= 0) return nullptr;
        if (i == index) return const_cast<C*>(list + pos);
        pos += static_cast<std::size_t>(n);
    }
}

bool isMember(const char* list, const char* item, const char* separators, const char* trimSet, const char* quotes,
              bool ignoreCase) {
    if (!list || !item || !separators) return false;
    const std::string_view wanted(item);
    EntryWalk<char> walk(list, separators, trimSet, quotes);
    std::string_view entry;
    while (walk.next(entry))
        if (sameText(entry, wanted, ignoreCase)) return true;
    return false;
}

// The distinct non-empty entries of a list (upper-cased when case is ignored), sorted:
// two lists hold the same entries in any order exactly when these agree.
std::vector<std::string_view> distinctEntries(const char* list, const char* separators, const char* trimSet,
                                              bool ignoreCase, std::string& store) {
    std::vector<std::size_t> ends;
    EntryWalk<char> walk(list, separators, trimSet, nullptr);
    std::string_view entry;
    while (walk.next(entry)) {
        if (entry.empty()) continue;
        const std::size_t at = store.size();
        store.append(entry);
        if (ignoreCase)
            for (std::size_t k = at; k < store.size(); ++k) store[k] = upper(store[k]);
        ends.push_back(store.size());
    }
    std::vector<std::string_view> out;
    out.reserve(ends.size());
    std::size_t from = 0;
    for (std::size_t end : ends) {
        out.emplace_back(store.data() + from, end - from);
        from = end;
    }
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

bool listsSame(const char* a, const char* b, const char* separators, const char* trimSet, bool ignoreCase,
               bool anyOrder) {
    if (!a || !b) return false;
    if (anyOrder) {
        // Every non-empty entry of each list a member of the other, as the membership
        // test compares them: the same sets of entries. Sorting them once keeps long
        // lists at n log n where a membership walk per entry would be quadratic.
        std::string storeA, storeB;
        const auto ea = distinctEntries(a, separators, trimSet, ignoreCase, storeA);
        if (ea.empty()) return false;
        return ea == distinctEntries(b, separators, trimSet, ignoreCase, storeB);
    }
    EntryWalk<char> walkA(a, separators, trimSet, nullptr), walkB(b, separators, trimSet, nullptr);
    std::string_view ea, eb;
    bool anyEqual = false;
    while (walkA.next(ea)) {
        if (ea.empty()) continue;
        if (!walkB.next(eb) || !sameText(eb, ea, ignoreCase)) return false;
        anyEqual = true;
    }
    return anyEqual;
}

// --- formatting -----------------------------------------------------------------------

// 8-bit text of a wide format's conversions: numbers come out of snprintf as ASCII.
void appendAscii(std::u16string& out, const char* s) {
    for (; *s; ++s) out += static_cast<char16_t>(static_cast<unsigned char>(*s));
}

// Room left in the entry, plus one character so that the final cut decides.
std::size_t room(const std::u16string& out) noexcept {
    return out.size() <= kEntryLimit ? kEntryLimit + 1 - out.size() : 0;
}

// A piece of `trueLength` characters (only the first of them stored in `piece`) padded
// to `width`. The padding is written only as far as the entry can show it.
void appendPadded(std::u16string& out, const std::u16string& piece, std::size_t trueLength, int width,
                  bool left) {
    const std::size_t w = static_cast<std::size_t>(width);
    const std::size_t pad = w > trueLength ? w - trueLength : 0;
    if (!left) out.append(std::min(pad, room(out)), u' ');
    out.append(piece, 0, std::min(piece.size(), room(out)));
    if (left) out.append(std::min(pad, room(out)), u' ');
}

// Widths and precisions are read as far as printf takes them (INT_MAX) and no further.
int readField(const tqWChar*& f) noexcept {
    long long v = 0;
    for (; *f >= u'0' && *f <= u'9'; ++f) v = std::min<long long>(v * 10 + (*f - u'0'), INT_MAX);
    return static_cast<int>(v);
}

// A precision beyond this adds only zeros to any conversion (the longest exact decimal
// expansion of a long double has 16445 digits), or nothing for %g.
constexpr int kPrecisionCap = 16500;

// One conversion through snprintf. What the entry can show of a conversion with a width
// or precision too large to print is printed from smaller ones: the precision lowered to
// kPrecisionCap and the width lowered so that the padding still fills what the entry
// shows. `print` formats with the directive it is given.
template <class Print>
void appendNumber(std::u16string& out, const std::string& flags, int width, int precision, const std::string& conv,
                  Print print) {
    char num[kEntryLimit + 2];
    auto directive = [&](int w, int p) {
        std::string d = "%" + flags;
        if (w > 0) d += std::to_string(w);
        if (p >= 0) d += "." + std::to_string(p);
        return d + conv;
    };
    if (width <= static_cast<int>(kEntryLimit) + 1 && precision <= kPrecisionCap) {
        if (print(directive(width, precision).c_str(), num, sizeof num) < 0) num[0] = '\0';
        appendAscii(out, num);
        return;
    }
    const int p = std::min(precision, kPrecisionCap);
    const bool keepsZeros = !(conv.back() == 'g' || conv.back() == 'G') || flags.find('#') != std::string::npos;
    const long long dropped = keepsZeros ? static_cast<long long>(precision) - p : 0;
    const int shown = print(directive(0, p).c_str(), num, sizeof num);
    if (shown < 0) {
        num[0] = '\0';
    } else if (width > shown + dropped) {
        const long long pad = std::min<long long>(width - shown - dropped, kEntryLimit + 1);
        if (print(directive(shown + static_cast<int>(pad), p).c_str(), num, sizeof num) < 0) num[0] = '\0';
    }
    appendAscii(out, num);
}

// printf for a 16-bit format. "%s" and "%c" take 16-bit text and characters ("%ls",
// "%ws" too); "%hs", "%S", "%hc" and "%C" take 8-bit ones. "%n" writes nothing.
std::u16string formatWide(const tqWChar* format, va_list args) {
    std::u16string out;
    for (const tqWChar* f = format; *f && out.size() <= kEntryLimit; ++f) {
        if (*f != u'%') {
            out += *f;
            continue;
        }
        const tqWChar* start = f++;
        if (*f == u'%') {
            out += u'%';
            continue;
        }
        std::string flags;
        bool left = false;
        while (*f && std::strchr("-+ #0", static_cast<int>(*f < 128 ? *f : 1))) {
            if (*f == u'-') left = true;
            flags += static_cast<char>(*f++);
        }
        int width = 0;
        if (*f == u'*') {
            const int v = va_arg(args, int);
            if (v < 0) {
                // A negative width is a "-" flag and its magnitude (INT_MIN's taken as INT_MAX).
                left = true;
                flags += '-';
                width = v == INT_MIN ? INT_MAX : -v;
            } else {
                width = v;
            }
            ++f;
        } else {
            width = readField(f);
        }
        int precision = -1;
        if (*f == u'.') {
            ++f;
            if (*f == u'*') {
                precision = va_arg(args, int);  // negative: as if none were given
                if (precision < 0) precision = -1;
                ++f;
            } else {
                precision = readField(f);
            }
        }
        std::string len;
        while (*f == u'h' || *f == u'l' || *f == u'L' || *f == u'z' || *f == u'j' || *f == u't' || *f == u'w')
            len += static_cast<char>(*f++);
        const tqWChar conv = *f;
        switch (conv) {
            case u'd': case u'i': case u'u': case u'o': case u'x': case u'X': {
                const std::string c = (len == "w" ? "" : len) + static_cast<char>(conv);
                const bool isSigned = conv == u'd' || conv == u'i';
                if (len == "ll") {
                    if (isSigned) {
                        const long long v = va_arg(args, long long);
                        appendNumber(out, flags, width, precision, c,
                                     [&](const char* d, char* b, std::size_t n) { return std::snprintf(b, n, d, v); });
                    } else {
                        const unsigned long long v = va_arg(args, unsigned long long);
                        appendNumber(out, flags, width, precision, c,
                                     [&](const char* d, char* b, std::size_t n) { return std::snprintf(b, n, d, v); });
                    }
                } else if (len == "l" || len == "z" || len == "j" || len == "t") {
                    if (isSigned) {
                        const long v = va_arg(args, long);
                        appendNumber(out, flags, width, precision, c,
                                     [&](const char* d, char* b, std::size_t n) { return std::snprintf(b, n, d, v); });
                    } else {
                        const unsigned long v = va_arg(args, unsigned long);
                        appendNumber(out, flags, width, precision, c,
                                     [&](const char* d, char* b, std::size_t n) { return std::snprintf(b, n, d, v); });
                    }
                } else if (isSigned) {
                    const int v = va_arg(args, int);
                    appendNumber(out, flags, width, precision, c,
                                 [&](const char* d, char* b, std::size_t n) { return std::snprintf(b, n, d, v); });
                } else {
                    const unsigned v = va_arg(args, unsigned);
                    appendNumber(out, flags, width, precision, c,
                                 [&](const char* d, char* b, std::size_t n) { return std::snprintf(b, n, d, v); });
                }
                break;
            }
            case u'e': case u'E': case u'f': case u'F': case u'g': case u'G': case u'a': case u'A': {
                const std::string c = (len == "L" ? "L" : "") + std::string(1, static_cast<char>(conv));
                if (len == "L") {
                    const long double v = va_arg(args, long double);
                    appendNumber(out, flags, width, precision, c,
                                 [&](const char* d, char* b, std::size_t n) { return std::snprintf(b, n, d, v); });
                } else {
                    const double v = va_arg(args, double);
                    appendNumber(out, flags, width, precision, c,
                                 [&](const char* d, char* b, std::size_t n) { return std::snprintf(b, n, d, v); });
                }
                break;
            }
            case u'p': {
                void* v = va_arg(args, void*);
                appendNumber(out, flags, width, precision, "p",
                             [&](const char* d, char* b, std::size_t n) { return std::snprintf(b, n, d, v); });
                break;
            }
            case u'c': case u'C': {
                const int v = va_arg(args, int);
                const bool narrow = conv == u'C' || len == "h";
                const char16_t c = narrow ? static_cast<char16_t>(static_cast<unsigned char>(v)) : static_cast<char16_t>(v);
                appendPadded(out, std::u16string(1, c), 1, width, left);
                break;
            }
            case u's': case u'S': {
                // Only what the entry can show is kept; the length is counted on for the padding.
                const bool narrow = conv == u'S' || len == "h";
                const std::size_t most = precision < 0 ? SIZE_MAX : static_cast<std::size_t>(precision);
                std::u16string piece;
                std::size_t n = 0;
                if (narrow) {
                    const char* s = va_arg(args, const char*);
                    if (!s) s = "(null)";
                    for (; n < most && s[n]; ++n)
                        if (n <= kEntryLimit) piece += static_cast<char16_t>(static_cast<unsigned char>(s[n]));
                } else {
                    const tqWChar* s = va_arg(args, const tqWChar*);
                    if (!s) s = u"(null)";
                    for (; n < most && s[n]; ++n)
                        if (n <= kEntryLimit) piece += s[n];
                }
                appendPadded(out, piece, n, width, left);
                break;
            }
            case u'n':
                (void)va_arg(args, int*);
                break;
            default:
                // Not a conversion: keep the text as written.
                out.append(start, static_cast<std::size_t>(f - start) + (*f ? 1 : 0));
                if (!*f) --f;
                break;
        }
    }
    if (out.size() > kEntryLimit) out.resize(kEntryLimit);
    return out;
}

bool isLetterForCapital(char c) noexcept { return std::isalpha(static_cast<unsigned char>(c)) != 0; }
bool isLetterForCapital(tqWChar c) noexcept { return std::iswalpha(static_cast<std::wint_t>(code(c))) != 0; }

template <class C>
void append(C* list, const C* separator, int capitalize, const C* format, va_list args) {
    if (!list || !format) return;
    std::size_t n = length(list);
    const std::size_t before = n;
    const bool first = n == 0;
    if (n > 0 && list[n - 1] != C('\n') && separator) {
        const std::size_t sn = length(separator);
        std::memcpy(list + n, separator, (sn + 1) * sizeof(C));
        n += sn;
    }
    if (!*format) return;
    Text<C> entry;
    // The separator is written before formatting (an argument may be the list itself); an
    // entry that cannot be formatted for lack of memory takes it away again.
    va_list copy;
    va_copy(copy, args);
    try {
        if constexpr (sizeof(C) == 1) {
            char buf[kEntryLimit + 1];
            const int r = std::vsnprintf(buf, sizeof buf, format, copy);
            if (r < 0) buf[0] = '\0';
            entry = buf;
        } else {
            entry = formatWide(format, copy);
        }
    } catch (...) {
        va_end(copy);
        list[before] = C(0);
        throw;
    }
    va_end(copy);
    if (capitalize && first && !entry.empty() && isLetterForCapital(entry[0])) entry[0] = upper(entry[0]);
    std::memcpy(list + n, entry.c_str(), (entry.size() + 1) * sizeof(C));
}

template <class C>
const C* lastOf(const C* s, std::size_t n, C c) noexcept {
    if (c == C(0)) return nullptr;
    for (std::size_t k = n; k > 0; --k)
        if (s[k - 1] == c) return s + k - 1;
    return nullptr;
}

// Last occurrence of a character before a position that only moves down. The answer is
// kept while the position stays above it, so a shortening that asks again and again
// reads each character of the list once at most.
template <class C>
class LastBefore {
public:
    LastBefore(const C* s, C c) noexcept : s_(s), c_(c) {}
    // Position of the last c in [0, n), or npos; n never grows between calls. Known:
    // no c lies in (found_, from_).
    std::size_t find(std::size_t n) noexcept {
        if (known_ && n <= from_ && (found_ == npos || found_ < n)) return found_;
        const C* hit = lastOf(s_, n, c_);
        found_ = hit ? static_cast<std::size_t>(hit - s_) : npos;
        from_ = n;
        known_ = true;
        return found_;
    }
    static constexpr std::size_t npos = static_cast<std::size_t>(-1);

private:
    const C* s_;
    C c_;
    std::size_t found_ = npos, from_ = 0;
    bool known_ = false;
};

template <class C>
void truncateBySeparator(C* list, const C* marker, C separatorChar, int maxLength, const C* groupChars) noexcept {
    if (!list || maxLength < 4) return;
    std::size_t n = length(list);
    if (n <= static_cast<std::size_t>(maxLength)) return;
    const std::size_t markerLength = marker ? length(marker) : 0;
    const std::size_t target =
        markerLength < static_cast<std::size_t>(maxLength) ? static_cast<std::size_t>(maxLength) - markerLength : 0;
    const CharSet<C> group(groupChars);
    // The searches for the group's opening character and for the separator before it
    // are remembered: with unclosed groups they would otherwise rescan the list's start
    // for every entry cut.
    LastBefore<C> opening(list, group.empty() ? C(0) : groupChars[0]), separatorBefore(list, separatorChar);
    std::size_t cut = target;
    while (n > target) {
        const C* sep = lastOf(list, n, separatorChar);
        if (!sep) {
            cut = target;
            break;
        }
        std::size_t at = static_cast<std::size_t>(sep - list);
        std::size_t grouped = 0;
        if (!group.empty())
            for (std::size_t k = at; k < n; ++k)
                if (group.contains(list[k])) ++grouped;
        list[at] = C(0);
        n = at;
        if (grouped % 2 == 1) {
            // The separator stands inside an open group: drop the whole entry that holds it.
            const std::size_t o = opening.find(n);
            if (o != LastBefore<C>::npos) {
                const std::size_t before = separatorBefore.find(o);
                if (before != LastBefore<C>::npos) {
                    list[o] = C(0);
                    at = before;
                    list[at] = C(0);
                    n = at;
                }
            }
        }
        cut = at;
    }
    if (marker && length(list + cut) < target) std::memcpy(list + cut, marker, (markerLength + 1) * sizeof(C));
}

}  // namespace

void listAppend(char* list, const char* separator, int capitalize, const char* format, va_list args) noexcept {
    guarded(0, [&] {
        append(list, separator, capitalize, format, args);
        return 0;
    });
}

void listAppend(tqWChar* list, const tqWChar* separator, int capitalize, const tqWChar* format,
                va_list args) noexcept {
    guarded(0, [&] {
        append(list, separator, capitalize, format, args);
        return 0;
    });
}

}  // namespace orvane

using orvane::guarded;

extern "C" {

int tqString_listGetSize(const char* list, const char* separators, const char* quotes) noexcept {
    return orvane::entryCount(list, separators, quotes);
}

char* tqString_listGetEntryA(const char* list, const char* separators, const char* quotes, int index) noexcept {
    return orvane::entryAt(list, separators, quotes, index);
}

tqWChar* tqString_listGetEntryW(const tqWChar* list, const tqWChar* separators, const tqWChar* quotes,
                                int index) noexcept {
    return orvane::entryAt(list, separators, quotes, index);
}

int tqString_listIsMemberExt(const char* list, const char* item, const char* separators, const char* trimSet,
                             const char* quotes, int ignoreCase) noexcept {
    return guarded(0, [&] { return orvane::isMember(list, item, separators, trimSet, quotes, ignoreCase) ? 1 : 0; });
}

int tqString_listIsMemberA(const char* list, const char* item, const char* separators, const char* trimSet,
                           int ignoreCase) noexcept {
    return tqString_listIsMemberExt(list, item, separators, trimSet, nullptr, ignoreCase);
}

int tqString_listIsMemberW(const tqWChar* list, const tqWChar* item, const tqWChar* separators,
                           const tqWChar* trimSet, int ignoreCase) noexcept {
    return guarded(0, [&] {
        if (!list || !item || !separators) return 0;
        const std::string l = orvane::narrow(list), i = orvane::narrow(item),
                          s = orvane::narrow(separators);
        std::string t;
        if (trimSet) t = orvane::narrow(trimSet);
        return orvane::isMember(l.c_str(), i.c_str(), s.c_str(), trimSet ? t.c_str() : nullptr, nullptr, ignoreCase)
                   ? 1
                   : 0;
    });
}

int tqString_listsAreSame(const char* listA, const char* listB, const char* separators, const char* trimSet,
                          int ignoreCase, int anyOrder) noexcept {
    return guarded(0, [&] { return orvane::listsSame(listA, listB, separators, trimSet, ignoreCase, anyOrder) ? 1 : 0; });
}

int tqStringFixed_listAppendExtVA(char* list, const char* separator, int capitalize, const char* format,
                                  va_list args) noexcept {
    orvane::listAppend(list, separator, capitalize, format, args);
    return 0;
}

int tqStringFixed_listAppendExtVW(tqWChar* list, const tqWChar* separator, int capitalize, const tqWChar* format,
                                  va_list args) noexcept {
    orvane::listAppend(list, separator, capitalize, format, args);
    return 0;
}

int tqStringFixed_listAppendExtA(char* list, const char* separator, int capitalize, const char* format,
                                 ...) noexcept {
    va_list args;
    va_start(args, format);
    orvane::listAppend(list, separator, capitalize, format, args);
    va_end(args);
    return 0;
}

int tqStringFixed_listAppendExtW(tqWChar* list, const tqWChar* separator, int capitalize, const tqWChar* format,
                                 ...) noexcept {
    va_list args;
    va_start(args, format);
    orvane::listAppend(list, separator, capitalize, format, args);
    va_end(args);
    return 0;
}

int tqStringFixed_listAppendA(char* list, const char* format, ...) noexcept {
    va_list args;
    va_start(args, format);
    orvane::listAppend(list, ", ", 1, format, args);
    va_end(args);
    return 0;
}

int tqStringFixed_listAppendW(tqWChar* list, const tqWChar* format, ...) noexcept {
    va_list args;
    va_start(args, format);
    orvane::listAppend(list, u", ", 1, format, args);
    va_end(args);
    return 0;
}

int tqStringFixed_listTruncateBySeparatorExtA(char* list, const char* marker, char separatorChar, int maxLength,
                                              const char* groupChars) noexcept {
    orvane::truncateBySeparator(list, marker, separatorChar, maxLength, groupChars);
    return 0;
}

int tqStringFixed_listTruncateBySeparatorExtW(tqWChar* list, const tqWChar* marker, tqWChar separatorChar,
                                              int maxLength, const tqWChar* groupChars) noexcept {
    orvane::truncateBySeparator(list, marker, separatorChar, maxLength, groupChars);
    return 0;
}

int tqStringFixed_listTruncateBySeparatorA(char* list, char separatorChar, int maxLength) noexcept {
    orvane::truncateBySeparator<char>(list, "...", separatorChar, maxLength, nullptr);
    return 0;
}

int tqStringFixed_listTruncateBySeparatorW(tqWChar* list, tqWChar separatorChar, int maxLength) noexcept {
    orvane::truncateBySeparator<tqWChar>(list, u"...", separatorChar, maxLength, nullptr);
    return 0;
}

}  // extern "C"
