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
    int result = 1;
    bool star = false;
    std::size_t i = 0, j = 0;
    while (i < pn) {
        const char c = pattern[i];
        if (level == 0) {
            if (c != text[j]) { result = 0; break; }
            ++i, ++j;
            continue;
        }
        star = false;
        if (c == '?') {
            if (!std::isalnum(static_cast<unsigned char>(text[j]))) { result = 0; break; }
            ++i, ++j;
        } else if (c == '|' && level >= 3) {
            if (i + 1 == pn) { ++j; break; }
            if (match(pattern + i + 1, text + j, level, cs)) { j = tn; break; }
            if (text[j] == '\0') { result = 0; break; }
            ++i, ++j;
        } else if (c == '*') {
            star = true;
            if (++i == pn) break;
            bool ok = false;
            for (std::size_t k = j; k <= tn && !ok; ++k) ok = match(pattern + i, text + k, level, cs);
            if (ok) { star = false; j = tn; } else { result = 0; }
            break;
        } else if (c == '[' && level >= 2) {
            ++i;
            bool negated = false;
            if (pattern[i] == '^') negated = true, ++i;
            std::size_t k = i;
            for (int depth = 1; k < pn; ++k) {
                if (pattern[k] == '[') ++depth;
                if (pattern[k] == ']' && --depth == 0) break;
            }
            if (k >= pn) {  // unbalanced
                if (text[j] == '\0') { result = 0; break; }
                ++j;
                i = std::min(i + 1, pn);
                continue;
            }
            const std::string content(pattern + i, std::min<std::size_t>(k - i, 255));
            if (level >= 3 && content.size() > 1 && content.find(',', 1) != std::string::npos) {
                std::vector<char> token(content.size() + 1);
                std::size_t pos = 0, taken = 0;
                bool took = false;
                for (int n; !took && (n = tqString_getTokenSizedA(token.data(), content.c_str() + pos, nullptr,
                                                                   nullptr, nullptr, ",", nullptr, 255)) > 0;) {
                    pos += static_cast<std::size_t>(n);
                    const std::string alt(token.data());
                    if (alt.empty()) continue;
                    const std::size_t rest = tn - j;
                    if (alt.find_first_of("*|") == std::string::npos) {
                        const std::size_t len = std::min(alt.size(), rest);
                        if (match(alt.c_str(), std::string(text + j, len).c_str(), level, cs)) took = true, taken = len;
                    } else {
                        for (std::size_t len = std::min<std::size_t>(rest, 255); len >= 1 && !took; --len)
                            if (match(alt.c_str(), std::string(text + j, len).c_str(), level, cs))
                                took = true, taken = len;
                    }
                    if (took && alt.back() == '*') star = true;
                }
                if (!took) {
                    if (!negated || text[j] == '\0') { result = 0; break; }
                    taken = 1;
                }
                j += taken;
                i = k + 1;
                continue;
            }
            bool in = false;
            for (std::size_t m = 0; text[j] && !in && m < content.size();) {
                if (m + 2 < content.size() && content[m + 1] == '-') {
                    in = inRange(content[m], content[m + 2], text[j], cs);
                    m += 3;
                } else {
                    in = sameChar(content[m], text[j], cs);
                    ++m;
                }
            }
            if (text[j] == '\0' || in == negated) { result = 0; break; }
            ++j;
            i = k + 1;
        } else {
            if (!sameChar(c, text[j], cs)) { result = 0; break; }
            ++i, ++j;
        }
    }
    if (result && !star && j < tn) result = 0;
    return result;
}

}  // namespace reference
