// The matching walk written out directly, without any memory of tried positions: slow
// (exponential in the stars) but plainly the rules. The differential test holds the
// library's matcher to it.
#pragma once

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include "orvane.h"

namespace reference {

inline int fold(char c, bool cs) { return cs ? static_cast<signed char>(c) : std::toupper(static_cast<unsigned char>(c)); }
inline bool sameChar(char p, char t, bool cs) { return fold(p, cs) == fold(t, cs); }
inline bool inRange(char a, char b, char c, bool cs) {
    const int lo = fold(a, cs), hi = fold(b, cs), x = fold(c, cs);
    return std::min(lo, hi) <= x && x <= std::max(lo, hi);
}

inline int match(const char* pattern, const char* text, int level, bool cs) {
    if (!pattern || !text) return 0;
    if (level < 0) return *text == '\0';
    level = std::min(level, 3);
    const std::size_t pn = std::strlen(pattern), tn = std::strlen(text);
    bool star = false;  // the element just matched was an alternative ending in '*': it takes the rest
    std::size_t i = 0, j = 0;
    while (i < pn) {
        const char c = pattern[i];
        star = false;
        if (level == 0) {
            if (c != text[j]) return 0;
            ++i, ++j;
        } else if (c == '?') {
            if (!std::isalnum(static_cast<unsigned char>(text[j]))) return 0;
            ++i, ++j;
        } else if (c == '|' && level >= 3) {  // zero or one character
            if (i + 1 == pn) return tn - j <= 1;
            if (match(pattern + i + 1, text + j, level, cs)) return 1;
            if (text[j] == '\0') return 0;
            ++i, ++j;
        } else if (c == '*') {  // every split of the rest
            if (i + 1 == pn) return 1;
            for (std::size_t k = j; k <= tn; ++k)
                if (match(pattern + i + 1, text + k, level, cs)) return 1;
            return 0;
        } else if (c == '[' && level >= 2) {
            ++i;
            bool negated = false;
            if (pattern[i] == '^') negated = true, ++i;
            std::size_t k = i;
            for (int depth = 1; k < pn; ++k) {
                if (pattern[k] == '[') ++depth;
                if (pattern[k] == ']' && --depth == 0) break;
            }
            if (k >= pn) {  // unbalanced: "[" and the character after it take any one character
                if (text[j] == '\0') return 0;
                ++j;
                i = std::min(i + 1, pn);
                continue;
            }
            const std::string content(pattern + i, std::min<std::size_t>(k - i, 255));
            i = k + 1;
            if (level >= 3 && content.size() > 1 && content.find(',', 1) != std::string::npos) {
                // Alternatives in order; the first that fits takes its longest piece (one with
                // '*' or '|' up to 255 characters, any other exactly its length).
                std::vector<char> token(content.size() + 1);
                std::size_t pos = 0, taken = 0;
                bool took = false;
                for (int n; !took && (n = tqString_getTokenSizedA(token.data(), content.c_str() + pos, nullptr,
                                                                   nullptr, nullptr, ",", nullptr, 255)) > 0;) {
                    pos += static_cast<std::size_t>(n);
                    const std::string alt(token.data());
                    if (alt.empty()) continue;
                    const bool open = alt.find_first_of("*|") != std::string::npos;
                    const std::size_t most = std::min<std::size_t>(tn - j, open ? 255 : alt.size()), least = open ? 1 : most;
                    for (std::size_t len = most + 1; len-- > least && !took;)
                        if (match(alt.c_str(), std::string(text + j, len).c_str(), level, cs)) took = true, taken = len;
                    star = took && alt.back() == '*';
                }
                if (!took) {
                    if (!negated || text[j] == '\0') return 0;
                    taken = 1;
                }
                j += taken;
                continue;
            }
            bool in = false;
            for (std::size_t m = 0; text[j] && !in && m < content.size();) {
                const bool range = m + 2 < content.size() && content[m + 1] == '-';  // a range uses its three characters
                in = range ? inRange(content[m], content[m + 2], text[j], cs) : sameChar(content[m], text[j], cs);
                m += range ? 3 : 1;
            }
            if (text[j] == '\0' || in == negated) return 0;
            ++j;
        } else {
            if (!sameChar(c, text[j], cs)) return 0;
            ++i, ++j;
        }
    }
    return star || j == tn;
}

}  // namespace reference
