#include <gtest/gtest.h>
#include <sys/resource.h>

#include <clocale>
#include <random>
#include <string>

#include "orvane.h"
#include "strings/wildcard.hpp"
#include "wildcard_reference.hpp"

namespace {

int m(const char* p, const char* t, int level, int cs = 1) { return tqString_matchWithWildcardsExtA(p, t, level, cs); }

std::u16string widen(const std::string& s) { return std::u16string(s.begin(), s.end()); }

}  // namespace

TEST(Wildcards, LevelsDifferAsDocumented) {
    EXPECT_EQ(m("abc", "abc", 0), 1);
    EXPECT_EQ(m("abc", "ABC", 0, 0), 0);  // level 0 ignores the case flag
    EXPECT_EQ(m("a*", "abc", 0), 0);
    EXPECT_EQ(m("*.txt", "report.TXT", 1, 0), 1);
    EXPECT_EQ(m("*.txt", "report.TXT", 1, 1), 0);
    EXPECT_EQ(m("a?c", "abc", 1), 1);
    EXPECT_EQ(m("a?c", "a-c", 1), 0);  // "?" takes letters and digits only
    EXPECT_EQ(m("*", "", 1), 1);
    EXPECT_EQ(m("", "", 1), 1);
    EXPECT_EQ(m("", "x", 1), 0);
    EXPECT_EQ(m("ab*", "ab", 1), 1);
    EXPECT_EQ(m("[a]", "[a]", 1), 1);  // no classes below level 2
    EXPECT_EQ(m("[a-c]x", "bx", 2), 1);
    EXPECT_EQ(m("[c-a]x", "bx", 2), 1);
    EXPECT_EQ(m("[^a-c]x", "bx", 2), 0);
    EXPECT_EQ(m("[^a]b[c]", "xbc", 2), 1);
    EXPECT_EQ(m("[-a]", "-", 2), 1);
    EXPECT_EQ(m("[a-c]", "B", 2, 0), 1);
    EXPECT_EQ(m("[a-c]", "B", 2, 1), 0);
    EXPECT_EQ(m("ab|c", "abc", 2), 0);  // "|" is literal below level 3
    EXPECT_EQ(m("ab|c", "abc", 3), 1);
    EXPECT_EQ(m("ab|c", "abxc", 3), 1);
    EXPECT_EQ(m("ab|c", "abxyc", 3), 0);
    EXPECT_EQ(m("a||d", "abcd", 3), 1);
    EXPECT_EQ(m("[red,green]!", "green!", 3), 1);
    EXPECT_EQ(m("[red,green]!", "green!", 2), 0);
    EXPECT_EQ(m("[r*,g]x", "rrrx", 3), 0);  // the alternative commits to the longest piece
    EXPECT_EQ(m("[r*,g]", "rrrx", 3), 1);
    // An alternative takes at most 255 characters; one ending in "*" accepts the rest.
    const std::string longR = "r" + std::string(300, 'q');
    EXPECT_EQ(m("[r*,g]", longR.c_str(), 3), 1);
    EXPECT_EQ(m("[r*q,g]", longR.c_str(), 3), 0);
    EXPECT_EQ(m("[a-c-x]", "-", 2), 1);  // a range uses its three characters; "-" is then a member
    EXPECT_EQ(m("[a-c-x]", "d", 2), 0);
    EXPECT_EQ(m("x", "x", -1), 0);  // a negative level only asks for an empty text
    EXPECT_EQ(m("anything", "", -1), 1);
    EXPECT_EQ(tqString_matchWithWildcards("a||||xy", "abxy", 3, 1), 1);
    EXPECT_EQ(tqString_matchWithWildcards("a||||xy", "abxz", 3, 1), 0);
    EXPECT_EQ(tqString_matchWithWildcardsExtW(u"*.TXT", u"r\u00e9port.txt", 1, 0), 1);
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    if (std::setlocale(LC_ALL, "C.UTF-8")) {  // "?" in wide text follows the locale's letters
        EXPECT_EQ(tqString_matchWithWildcardsExtW(u"r?port", u"r\u00e9port", 1, 1), 1);
    }
    std::setlocale(LC_ALL, saved.c_str());
    EXPECT_EQ(tqString_matchWithWildcardsExtW(nullptr, u"", 1, 1), 0);
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
            const int a = tqString_matchWithWildcardsExtA(p.c_str(), t.c_str(), level, cs);
            const int plain = tqString_matchWithWildcards(p.c_str(), t.c_str(), level, cs);
            const int w = tqString_matchWithWildcardsExtW(widen(p).c_str(), widen(t).c_str(), level, cs);
            const int table = orvane::matchWildcards(p.c_str(), t.c_str(), level, cs, 0);
            if (a != want || plain != want || w != want || table != want) {
                ++failures;
                ADD_FAILURE() << "level " << level << " cs " << cs << " pattern '" << p << "' text '" << t
                              << "': walk " << want << ", ExtA " << a << ", plain " << plain << ", ExtW " << w << ", one pass " << table;
            }
        }
    }
}

TEST(Wildcards, ManyStarsAndLongInputsStayCheapAndSafe) {
    const std::string text(4096, 'a');
    EXPECT_EQ(m("*a*a*a*a*a*a*a*a*b", text.c_str(), 1), 0);
    std::string stars;
    for (int k = 0; k < 128; ++k) stars += "*a";
    EXPECT_EQ(m((stars + "b").c_str(), text.c_str(), 1), 0);
    EXPECT_EQ(m(stars.c_str(), text.c_str(), 1), 1);
    EXPECT_EQ(m("[*a*a*a*b,a]*[|a|a,a*]", text.c_str(), 3), 1);
    // Far more wildcards than any real pattern: answered, not a stack overflow.
    std::string deep;
    for (int k = 0; k < 100000; ++k) deep += "*a";
    EXPECT_EQ(m(deep.c_str(), "aa", 1), 0);
    EXPECT_EQ(m(std::string(300, '[').c_str(), "ab", 3), 0);
}

// The answer never depends on how many wildcards there are: there is no depth at which
// the walk gives up.
TEST(Wildcards, NoLimitOnTheNumberOfWildcards) {
    const std::string a4k(4096, 'a');
    auto repeat = [](const std::string& piece, int n) {
        std::string s;
        while (n-- > 0) s += piece;
        return s;
    };
    EXPECT_EQ(m((std::string(1001, '*') + "a").c_str(), "a", 1), 1);
    EXPECT_EQ(m((std::string(1001, '|') + "a").c_str(), "a", 3), 1);
    EXPECT_EQ(tqString_matchWithWildcards((std::string(1001, '|') + "ab").c_str(), "xab", 3, 1), 1);
    EXPECT_EQ(m(std::string(4096, '*').c_str(), a4k.c_str(), 1), 1);
    EXPECT_EQ(m(repeat("?*", 2048).c_str(), a4k.c_str(), 1), 1);
    EXPECT_EQ(m(repeat("?*", 4097).c_str(), a4k.c_str(), 1), 0);
    EXPECT_EQ(m((repeat("a|", 1500) + "b").c_str(), (std::string(2000, 'a') + "b").c_str(), 3), 1);
    EXPECT_EQ(m(repeat("[a,b*]", 4096).c_str(), a4k.c_str(), 3), 1);
    EXPECT_EQ(tqString_matchWithWildcardsExtW(std::u16string(5000, u'*').c_str(), u"xyz", 1, 1), 1);
}

#ifndef __SANITIZE_ADDRESS__
// Memory stays a few bytes per text position, whatever the pattern: checked in a child
// process whose address space is too small for a table per wildcard.
void matchUnderSmallHeap() {
    const rlimit limit{256u << 20, 256u << 20};
    setrlimit(RLIMIT_AS, &limit);
    std::string stars, classes, starred;
    for (int k = 0; k < 999; ++k) stars += "*a";
    for (int k = 0; k < 4096; ++k) classes += "[b,a|,|a*]", starred += k < 2048 ? "*[b,a|]" : "";
    const std::string big(4u << 20, 'a'), a4k(4096, 'a'), a8k(8192, 'a');
    // Each class takes two letters ("a|" is tried longest first): 4096 of them need 8 KiB.
    const bool ok = m(stars.c_str(), big.c_str(), 1) == 1 && m((stars + "b").c_str(), big.c_str(), 1) == 0 &&
                    m((stars + "|a").c_str(), big.c_str(), 3) == 1 && m(classes.c_str(), a4k.c_str(), 3) == 0 &&
                    m(classes.c_str(), a8k.c_str(), 3) == 1 && m(starred.c_str(), a4k.c_str(), 3) == 1 &&
                    orvane::matchWildcards(starred.c_str(), a4k.c_str(), 3, 1, 0) == 1;
    std::exit(ok ? 0 : 1);
}

TEST(Wildcards, MemoryStaysLinearInTheText) {
    EXPECT_EXIT(matchUnderSmallHeap(), ::testing::ExitedWithCode(0), "");
}
#endif

TEST(Wildcards, SingleCharacterHelpers) {
    EXPECT_EQ(tqString_matchChar('a', 'A', 0), 1);
    EXPECT_EQ(tqString_matchChar('a', 'A', 1), 0);
    EXPECT_EQ(tqString_charIsWildCard('*', 1), 1);
    for (int level : {0, 2, 3}) EXPECT_EQ(tqString_charIsWildCard('*', level), 0);
    const char* t = "a.b;c";
    EXPECT_EQ(tqString_findSubString(t, ";."), t + 1);
    EXPECT_EQ(tqString_findSubString(t, "xyz"), nullptr);
    const char* p = "ab?c*";
    EXPECT_EQ(tqString_findFirstWildCard(p, 1), p + 2);
    EXPECT_EQ(tqString_findFirstWildCard(p, 2), nullptr);
}

TEST(Wildcards, SearchExpandAndRewrite) {
    const char* t = "xxabyz";
    EXPECT_EQ(tqString_findSubStringWithWildcards(t, "ab*z", 1), t + 2);
    EXPECT_EQ(tqString_findSubStringWithWildcards(t, "ab?y", 1), nullptr);
    const char* u = "xxabzy";
    EXPECT_EQ(tqString_findSubStringWithWildcards(u, "ab?y", 1), u + 2);
    EXPECT_EQ(tqString_findSubStringWithWildcards(u, "abzy", 1), nullptr);

    char dest[512];
    const char* end = nullptr;
    tqString_expandFirstWildcard(dest, "*.txt", "report.txt", &end, 1);
    EXPECT_STREQ(dest, "report");
    EXPECT_STREQ(end, ".txt");
    tqString_expandFirstWildcard(dest, "ab?y", "xxabzy", nullptr, 1);
    EXPECT_STREQ(dest, "z");
    tqString_expandFirstWildcard(dest, "q*", "xxabzy", nullptr, 1);
    EXPECT_STREQ(dest, "");

    tqString_replaceWithWildcards("report.txt", dest, "*.txt", "*.bak", 1);
    EXPECT_STREQ(dest, "report.bak");
    tqString_replaceWithWildcards("img_12.png", dest, "img_?2.*", "?-*-*", 1);
    EXPECT_STREQ(dest, "1-png-");  // a replacement wildcard beyond the pattern's expands to nothing
    tqString_replaceWithWildcards("report.doc", dest, "*.txt", "*.bak", 1);
    EXPECT_STREQ(dest, "");
    tqString_replaceWithWildcards("abc", dest, "abc", "xyz", 0);
    EXPECT_STREQ(dest, "xyz");
    const std::string longText(2000, 'q');
    tqString_replaceWithWildcards(longText.c_str(), dest, "*", "**", 1);
    EXPECT_EQ(std::string(dest), std::string(511, 'q'));  // cut at 511, never overrun
    EXPECT_EQ(tqString_replaceWithWildcards(nullptr, dest, "*", "*", 1), 0);
    EXPECT_STREQ(dest, "");
}
