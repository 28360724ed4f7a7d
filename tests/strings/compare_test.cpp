#include <gtest/gtest.h>

#include <cctype>
#include <clocale>
#include <cstring>
#include <random>
#include <string>

#include "orvane.h"

namespace {

// Wide case folding follows the current locale; the "C" locale folds ASCII only.
struct UnicodeLocale {
    std::string saved = std::setlocale(LC_ALL, nullptr);
    UnicodeLocale() { std::setlocale(LC_ALL, "C.UTF-8"); }
    ~UnicodeLocale() { std::setlocale(LC_ALL, saved.c_str()); }
};

}  // namespace

TEST(CompareNoCase, OrderingAndRefusals) {
    EXPECT_EQ(tqString_cmpNoCaseA("abc", "ABC"), 0);
    EXPECT_EQ(tqString_cmpNoCaseA("abc", "abd"), -1);
    EXPECT_EQ(tqString_cmpNoCaseA("b", "A"), 1);
    EXPECT_EQ(tqString_cmpNoCaseA("_", "z"), 1);  // both sides upper-cased first
    EXPECT_EQ(tqString_cmpNoCaseA("ab", "abc"), -1);
    EXPECT_EQ(tqString_cmpNoCaseA("\xe9", "z"), 1);  // unsigned bytes
    EXPECT_EQ(tqString_cmpNoCaseA(nullptr, "x"), 0);
    EXPECT_EQ(tqString_cmpNoCaseA("", ""), -1);
    EXPECT_EQ(tqString_cmpNoCaseNA("abc", "ABD", 2), 0);
    EXPECT_EQ(tqString_cmpNoCaseNA("abc", "ABD", 0), -1);
    EXPECT_EQ(tqString_cmpNoCaseNA("abd", "ABC", 30), 1);

    EXPECT_EQ(tqString_cmpNoCaseW(u"a", u"c"), -2);
    EXPECT_EQ(tqString_cmpNoCaseW(u"\u00e9t\u00e9", u"\u00c9T\u00c9"), 32);
    UnicodeLocale unicode;
    EXPECT_EQ(tqString_cmpNoCaseW(u"\u00e9t\u00e9", u"\u00c9T\u00c9"), 0);
    EXPECT_EQ(tqString_cmpNoCaseW(nullptr, u"c"), 0);
    EXPECT_EQ(tqString_cmpNoCaseNW(u"ab", u"a", 5), 'B');
    EXPECT_EQ(tqString_cmpNoCaseNW(u"ab", u"a", 0), -1);
}

TEST(CompareNoCase, PrefixAndSuffix) {
    EXPECT_EQ(tqString_cmpPrefixNoCase("Report.txt", "REP"), 0);
    EXPECT_EQ(tqString_cmpPrefixNoCase("Report.txt", ""), -1);
    EXPECT_EQ(tqString_cmpPrefixNoCase("Re", "REP"), -1);
    EXPECT_EQ(tqString_cmpSuffixNoCase("Report.TXT", ".txt"), 0);
    EXPECT_EQ(tqString_cmpSuffixNoCase("xt", ".txt"), 1);
    EXPECT_EQ(tqString_cmpSuffixNoCase("a", ""), -1);
    EXPECT_EQ(tqString_cmpSuffixNoCaseN("report.DOC", "x.doc", 3), 0);
    EXPECT_EQ(tqString_cmpSuffixNoCaseN("DOC", "c", 3), 1);  // whole tails compared
    EXPECT_EQ(tqString_cmpSuffixNoCaseN("abc", nullptr, 3), -1);
}

// The 8-bit search against folding whole copies: long texts are sifted sixteen positions
// at a time, periodic ones fall back to a linear search, counts cut the text short.
TEST(SearchNoCase, AgreesWithSearchingFoldedCopies) {
    std::mt19937 rng(5);
    auto fold = [](std::string s) {
        for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return s;
    };
    for (int round = 0; round < 3000; ++round) {
        const char* alphabet = round % 3 == 0 ? "aA" : round % 3 == 1 ? "abAB-[{" : "abcxyzABCXYZ@`\xe1\xc1";
        const std::size_t letters = std::strlen(alphabet);
        auto pick = [&](std::size_t n) {
            std::string s;
            for (std::size_t k = 0; k < n; ++k) s += alphabet[rng() % letters];
            return s;
        };
        const std::string hay = pick(rng() % 2 ? rng() % 40 : 200 + rng() % 3000);
        std::string needle = pick(1 + rng() % (round % 5 == 0 ? 300 : 12));
        if (round % 4 == 0 && hay.size() > needle.size()) needle = hay.substr(rng() % (hay.size() - needle.size()), needle.size());
        const int count = round % 7 == 0 ? static_cast<int>(rng() % (hay.size() + 2)) : static_cast<int>(hay.size());
        const std::string window = fold(hay.substr(0, static_cast<std::size_t>(count)));
        const std::size_t at = count < 1 ? std::string::npos : window.find(fold(needle));
        const char* want = at == std::string::npos ? nullptr : hay.c_str() + at;
        ASSERT_EQ(tqString_strNoCaseNA(hay.c_str(), needle.c_str(), count), want) << hay << " / " << needle << " " << count;
    }
    // A needle whose first and last characters match everywhere.
    const std::string runs(1 << 16, 'a');
    const std::string needle = std::string(100, 'A') + "b" + std::string(100, 'A');
    EXPECT_EQ(tqString_strNoCaseA(runs.c_str(), needle.c_str()), nullptr);
    const std::string found = runs + "B" + runs;
    EXPECT_EQ(tqString_strNoCaseA(found.c_str(), needle.c_str()), found.c_str() + (1 << 16) - 100);
}

TEST(SearchNoCase, PointsIntoTheCallersText) {
    const char* hay = "Hello World";
    EXPECT_EQ(tqString_strNoCaseA(hay, "WORLD"), hay + 6);
    EXPECT_EQ(tqString_strNoCaseA(hay, ""), hay);
    EXPECT_EQ(tqString_strNoCaseA(hay, "worlds"), nullptr);
    EXPECT_EQ(tqString_strNoCaseA(nullptr, "x"), nullptr);
    EXPECT_EQ(tqString_strNoCaseNA(hay, "world", 10), nullptr);  // cut before the end
    EXPECT_EQ(tqString_strNoCaseNA(hay, "o w", 8), hay + 4);
    EXPECT_EQ(tqString_strNoCaseNA(hay, "o", 0), nullptr);
    EXPECT_EQ(tqString_strNoCaseNA(hay, "d", 500), hay + 10);  // a long count reads the whole text

    UnicodeLocale unicode;
    const tqWChar* whay = u"caf\u00e9 CR\u00c8ME br\u00fbl\u00e9e";
    EXPECT_EQ(tqString_strNoCaseW(whay, u"cr\u00e8me"), whay + 5);
    EXPECT_EQ(tqString_strNoCaseW(whay, u"BR\u00dbL\u00c9E"), whay + 11);
    EXPECT_EQ(tqString_strNoCaseW(whay, u"cr\u00e8mes brul\u00e9e"), nullptr);
    EXPECT_EQ(tqString_strNoCaseNW(whay, u"br", 11), nullptr);
    // Long needles take another search path; the answer must not change.
    std::u16string big(3000, u'a');
    big += u"NeedleInAHaystack";
    EXPECT_EQ(tqString_strNoCaseW(big.c_str(), u"needleinahaystack"), big.c_str() + 3000);
    std::string nbig(3000, 'a');
    nbig += "NeedleInAHaystack";
    EXPECT_EQ(tqString_strNoCaseA(nbig.c_str(), "AAAneedleinA"), nbig.c_str() + 2997);
}

TEST(FieldCount, CountsSeparatorsPlusAnUnfinishedField) {
    EXPECT_EQ(tqString_countCharsA("a,b,c", ","), 3);
    EXPECT_EQ(tqString_countCharsA("a,,b", ","), 3);
    EXPECT_EQ(tqString_countCharsA("a,b,", ","), 2);
    EXPECT_EQ(tqString_countCharsA(",", ","), 1);
    EXPECT_EQ(tqString_countCharsA("", ","), 0);
    EXPECT_EQ(tqString_countCharsA("abc", nullptr), 0);
    EXPECT_EQ(tqString_countCharsA("a;b,c", ",;"), 3);
    EXPECT_EQ(tqString_countCharsW(u"x\u00b7y\u00b7", u"\u00b7"), 2);
}

TEST(LogicalNames, PatternsAndLists) {
    EXPECT_EQ(tqString_CompareLogicalNames2("  lev*  ", "LEVEL1", 0, ';', 0), 1);
    EXPECT_EQ(tqString_CompareLogicalNames2("  lev*  ", "LEVEL1", 0, ';', 1), 0);
    EXPECT_EQ(tqString_CompareLogicalNames("a*b", "axbyb", 0, ';'), 0);  // no backtracking
    EXPECT_EQ(tqString_CompareLogicalNames("a*b", "axxb", 0, ';'), 1);
    EXPECT_EQ(tqString_CompareLogicalNames("*", "", 0, ';'), 1);
    EXPECT_EQ(tqString_CompareLogicalNames("", "", 0, ';'), 1);
    EXPECT_EQ(tqString_CompareLogicalNames("", "x", 0, ';'), 0);
    EXPECT_EQ(tqString_CompareLogicalNames("l?v", "lv", 0, ';'), 0);
    EXPECT_EQ(tqString_CompareLogicalNames("ab**", "ab", 0, ';'), 1);
    EXPECT_EQ(tqString_CompareLogicalNames("*?", "x?", 0, ';'), 1);  // '?' after '*' is sought literally
    EXPECT_EQ(tqString_CompareLogicalNames(" a b\t", "\ta b ", 0, ';'), 1);
    EXPECT_EQ(tqString_CompareLogicalNames2("abc;d*", "dog", 1, ';', 1), 1);
    EXPECT_EQ(tqString_CompareLogicalNames2("abc;d*", "ab", 1, ';', 1), 0);
    EXPECT_EQ(tqString_CompareLogicalNames2("abc;;x", "", 1, ';', 1), 1);  // empty pieces count
    EXPECT_EQ(tqString_CompareLogicalNames2("abc;d*", "abc;d*", 0, ';', 1), 1);
    EXPECT_EQ(tqString_CompareLogicalNames2(nullptr, "x", 1, ';', 1), 0);
    const std::string longName(5000, 'q');
    EXPECT_EQ(tqString_CompareLogicalNames2("q*", longName.c_str(), 0, ';', 0), 1);
}
