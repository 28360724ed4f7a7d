#include <gtest/gtest.h>
#include <sys/resource.h>

#include <clocale>
#include <random>
#include <string>
#include <tuple>

#include "orvane.h"
#include "strings/wildcard.hpp"
#include "wildcard_reference.hpp"

namespace {

int m(const std::string& p, const std::string& t, int level, int cs = 1) {
    return tqString_matchWithWildcardsExtA(p.c_str(), t.c_str(), level, cs);
}

std::u16string widen(const std::string& s) { return std::u16string(s.begin(), s.end()); }

std::string repeat(const std::string& piece, int n) {
    std::string s;
    while (n-- > 0) s += piece;
    return s;
}

}  // namespace

TEST(Wildcards, LevelsDifferAsDocumented) {
    const std::string longR = "r" + std::string(300, 'q');
    // {pattern, text, level, case-sensitive, answer}
    // One case per rule (the generated comparison below covers the rest).
    const std::tuple<const char*, std::string, int, int, int> cases[] = {
        {"abc", "ABC", 0, 0, 0},  // level 0 ignores the case flag
        {"a*", "abc", 0, 1, 0}, {"*.txt", "report.TXT", 1, 0, 1}, {"*.txt", "report.TXT", 1, 1, 0},
        {"a?c", "a-c", 1, 1, 0},  // "?" takes letters and digits only
        {"[a]", "[a]", 1, 1, 1},  // no classes below level 2
        {"[c-a]x", "bx", 2, 1, 1}, {"[^a-c]x", "bx", 2, 1, 0}, {"[a-c]", "B", 2, 0, 1},
        {"ab|c", "abc", 2, 1, 0},  // "|" is literal below level 3
        {"ab|c", "abxc", 3, 1, 1}, {"ab|c", "abxyc", 3, 1, 0}, {"[red,green]!", "green!", 3, 1, 1},
        {"[r*,g]x", "rrrx", 3, 1, 0},  // the alternative commits to the longest piece
        // An alternative takes at most 255 characters; one ending in "*" accepts the rest.
        {"[r*,g]", longR, 3, 1, 1}, {"[r*q,g]", longR, 3, 1, 0},
        {"[a-c-x]", "-", 2, 1, 1},  // a range uses its three characters; "-" is then a member
        {"x", "x", -1, 1, 0}, {"anything", "", -1, 1, 1},  // a negative level only asks for an empty text
    };
    for (const auto& [p, t, level, cs, want] : cases) EXPECT_EQ(m(p, t, level, cs), want) << p << " / " << t << " " << level;
    EXPECT_EQ(tqString_matchWithWildcards("a||||xy", "abxy", 3, 1) * 10 + tqString_matchWithWildcards("a||||xy", "abxz", 3, 1), 10);
    EXPECT_EQ(tqString_matchWithWildcardsExtW(u"*.TXT", u"r\u00e9port.txt", 1, 0), 1);
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    if (std::setlocale(LC_ALL, "C.UTF-8")) {  // "?" in wide text follows the locale's letters
        EXPECT_EQ(tqString_matchWithWildcardsExtW(u"r?port", u"r\u00e9port", 1, 1), 1);
    }
    std::setlocale(LC_ALL, saved.c_str());
}

TEST(Wildcards, AgreeWithTheDirectWalkOnGeneratedCases) {
#if defined(__SANITIZE_ADDRESS__)
    const int perLevel = 60000;
#else
    const int perLevel = 200000;
#endif
    std::mt19937 rng(20261206);
    const std::string patternChars = "**??[[]]^-,,||aaabbA", textChars = "aaabbAB1-";
    const char* pieces[] = {"a",    "b",      "A",        "?",       "*",        "|",       "||",
                            "[ab]", "[^a]",   "[b-a]",    "[a,b*]",  "[*a,|b,]", "[^a,bb]", "[a*b,ab]",
                            "[[a],b]", "[a-b-A]", "[^-b]", "-",   "]",        "[",       "^",        ","};
    auto pick = [&](std::size_t n) { return static_cast<std::size_t>(rng() % n); };
    for (int level = 0; level <= 3; ++level) {
        int failures = 0;
        for (int n = 0; n < perLevel && failures < 5; ++n) {
            // Half the patterns are random characters, half random elements; half the
            // texts follow the pattern's letters so that matches are common.
            std::string p, t;
            if (rng() & 1) {
                for (std::size_t k = pick(11); k > 0; --k) p += patternChars[pick(patternChars.size())];
            } else {
                for (std::size_t k = pick(5); k > 0; --k) p += pieces[pick(std::size(pieces))];
            }
            if (rng() & 1) {
                for (char c : p)
                    if (c == 'a' || c == 'b' || c == 'A') t += c;
                    else if (rng() & 1) t += textChars[pick(textChars.size())];
            } else {
                for (std::size_t k = pick(9); k > 0; --k) t += textChars[pick(textChars.size())];
            }
            const int cs = static_cast<int>(rng() & 1);
            const int want = reference::match(p.c_str(), t.c_str(), level, cs != 0);
            const int a = m(p, t, level, cs), plain = tqString_matchWithWildcards(p.c_str(), t.c_str(), level, cs);
            const int w = tqString_matchWithWildcardsExtW(widen(p).c_str(), widen(t).c_str(), level, cs);
            const int table = orvane::matchWildcards(p.c_str(), t.c_str(), level, cs, 0);
            if (a != want || plain != want || w != want || table != want)
                ++failures, ADD_FAILURE() << "level " << level << " cs " << cs << " pattern '" << p << "' text '" << t
                                          << "': walk " << want << ", ExtA " << a << ", plain " << plain << ", ExtW "
                                          << w << ", one pass " << table;
        }
    }
}

// The answer never depends on how many wildcards there are: there is no depth at which
// the walk gives up, and far more wildcards than any real pattern are no stack overflow.
TEST(Wildcards, NoLimitOnTheNumberOfWildcards) {
    const std::string a4k(4096, 'a');
    // {pattern, text, level, answer}
    const std::tuple<std::string, std::string, int, int> cases[] = {
        {"*a*a*a*a*a*a*a*a*b", a4k, 1, 0}, {repeat("*a", 128) + "b", a4k, 1, 0}, {repeat("*a", 128), a4k, 1, 1},
        {"[*a*a*a*b,a]*[|a|a,a*]", a4k, 3, 1}, {repeat("*a", 100000), "aa", 1, 0}, {std::string(300, '['), "ab", 3, 0},
        {std::string(1001, '*') + "a", "a", 1, 1}, {std::string(1001, '|') + "a", "a", 3, 1},
        {std::string(1001, '|') + "ab", "xab", 3, 1}, {std::string(4096, '*'), a4k, 1, 1}, {repeat("?*", 2048), a4k, 1, 1},
        {repeat("?*", 4097), a4k, 1, 0}, {repeat("a|", 1500) + "b", std::string(2000, 'a') + "b", 3, 1},
        {repeat("[a,b*]", 4096), a4k, 3, 1}};
    for (const auto& [p, t, level, want] : cases) EXPECT_EQ(m(p, t, level), want) << p.substr(0, 40) << " " << level;
    EXPECT_EQ(tqString_matchWithWildcardsExtW(std::u16string(5000, u'*').c_str(), u"xyz", 1, 1), 1);
}

#ifndef __SANITIZE_ADDRESS__
// Memory stays a few bytes per text position, whatever the pattern: checked in a child
// process whose address space is too small for a table per wildcard.
void matchUnderSmallHeap() {
    const rlimit limit{256u << 20, 256u << 20};
    setrlimit(RLIMIT_AS, &limit);
    const std::string stars = repeat("*a", 999), classes = repeat("[b,a|,|a*]", 4096), starred = repeat("*[b,a|]", 2048);
    const std::string big(4u << 20, 'a'), a4k(4096, 'a');
    // Each class takes two letters ("a|" is tried longest first): 4096 of them need 8 KiB.
    const bool ok = m(stars, big, 1) == 1 && m(stars + "b", big, 1) == 0 && m(stars + "|a", big, 3) == 1 &&
                    m(classes, a4k, 3) == 0 && m(classes, std::string(8192, 'a'), 3) == 1 && m(starred, a4k, 3) == 1 &&
                    orvane::matchWildcards(starred.c_str(), a4k.c_str(), 3, 1, 0) == 1;
    std::exit(ok ? 0 : 1);
}

TEST(Wildcards, MemoryStaysLinearInTheText) {
    EXPECT_EXIT(matchUnderSmallHeap(), ::testing::ExitedWithCode(0), "");
}
#endif

TEST(Wildcards, HelpersSearchExpandAndRewrite) {
    EXPECT_EQ(tqString_matchChar('a', 'A', 0) * 10 + tqString_matchChar('a', 'A', 1), 10);
    // Only level 1 has wildcards for these helpers.
    EXPECT_EQ(tqString_charIsWildCard('*', 1) * 1000 + tqString_charIsWildCard('*', 0) * 100 + tqString_charIsWildCard('*', 2) * 10 +
                  tqString_charIsWildCard('*', 3), 1000);
    const char *t = "a.b;c", *p = "ab?c*";
    EXPECT_TRUE(tqString_findSubString(t, ";.") == t + 1 && !tqString_findSubString(t, "xyz"));
    EXPECT_TRUE(tqString_findFirstWildCard(p, 1) == p + 2 && !tqString_findFirstWildCard(p, 2));
    const char *x = "xxabyz", *u = "xxabzy";
    EXPECT_TRUE(tqString_findSubStringWithWildcards(x, "ab*z", 1) == x + 2 && !tqString_findSubStringWithWildcards(x, "ab?y", 1));
    EXPECT_TRUE(tqString_findSubStringWithWildcards(u, "ab?y", 1) == u + 2 && !tqString_findSubStringWithWildcards(u, "abzy", 1));
    char dest[512];
    const char* end = nullptr;
    tqString_expandFirstWildcard(dest, "*.txt", "report.txt", &end, 1);
    EXPECT_EQ(std::string(dest) + "|" + end, "report|.txt");
    tqString_expandFirstWildcard(dest, "ab?y", "xxabzy", nullptr, 1);
    EXPECT_STREQ(dest, "z");
    tqString_expandFirstWildcard(dest, "q*", "xxabzy", nullptr, 1);
    EXPECT_STREQ(dest, "");
    auto rewrite = [&](const char* text, const char* from, const char* to, int level) {
        tqString_replaceWithWildcards(text, dest, from, to, level);
        return std::string(dest);
    };
    EXPECT_EQ(rewrite("report.txt", "*.txt", "*.bak", 1), "report.bak");
    EXPECT_EQ(rewrite("img_12.png", "img_?2.*", "?-*-*", 1), "1-png-");  // a wildcard beyond the pattern's is empty
    EXPECT_EQ(rewrite("report.doc", "*.txt", "*.bak", 1), "");
    EXPECT_EQ(rewrite("abc", "abc", "xyz", 0), "xyz");
    EXPECT_EQ(rewrite(std::string(2000, 'q').c_str(), "*", "**", 1), std::string(511, 'q'));  // cut at 511, never overrun
    EXPECT_EQ(tqString_replaceWithWildcards(nullptr, dest, "*", "*", 1), 0);
    EXPECT_STREQ(dest, "");
}
