#include <gtest/gtest.h>

#include <cctype>
#include <clocale>
#include <cstring>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "orvane.h"

namespace {

// Wide case folding follows the current locale; the "C" locale folds ASCII only.
struct UnicodeLocale {
    std::string saved = std::setlocale(LC_ALL, nullptr);
    UnicodeLocale() { std::setlocale(LC_ALL, "C.UTF-8"); }
    ~UnicodeLocale() { std::setlocale(LC_ALL, saved.c_str()); }
};

}  // namespace

TEST(CompareNoCase, OrderingPrefixSuffixAndRefusals) {
    // "_" sorts after "z": both sides are upper-cased first; bytes compare unsigned.
    for (auto [a, b, want] : {std::tuple{"abc", "ABC", 0}, {"abc", "abd", -1}, {"b", "A", 1}, {"_", "z", 1},
                              {"ab", "abc", -1}, {"\xe9", "z", 1}, {"", "", -1}})
        EXPECT_EQ(tqString_cmpNoCaseA(a, b), want) << a << " " << b;
    // A count below 1, an empty prefix or suffix: -1. The wide forms give the difference.
    using Ints = std::vector<int>;
    EXPECT_EQ((Ints{tqString_cmpNoCaseNA("abc", "ABD", 2), tqString_cmpNoCaseNA("abc", "ABD", 0),
                    tqString_cmpNoCaseNA("abd", "ABC", 30), tqString_cmpNoCaseW(u"a", u"c"),
                    tqString_cmpNoCaseW(u"\u00e9t\u00e9", u"\u00c9T\u00c9"), tqString_cmpNoCaseNW(u"ab", u"a", 5),
                    tqString_cmpNoCaseNW(u"ab", u"a", 0)}),
              (Ints{0, -1, 1, -2, 32, 'B', -1}));
    {
        UnicodeLocale unicode;
        EXPECT_EQ(tqString_cmpNoCaseW(u"\u00e9t\u00e9", u"\u00c9T\u00c9"), 0);
    }
    EXPECT_EQ((Ints{tqString_cmpPrefixNoCase("Report.txt", "REP"), tqString_cmpPrefixNoCase("Report.txt", ""),
                    tqString_cmpPrefixNoCase("Re", "REP"), tqString_cmpSuffixNoCase("Report.TXT", ".txt"),
                    tqString_cmpSuffixNoCase("xt", ".txt"), tqString_cmpSuffixNoCase("a", ""),
                    tqString_cmpSuffixNoCaseN("report.DOC", "x.doc", 3),
                    tqString_cmpSuffixNoCaseN("DOC", "c", 3)}),  // whole tails compared
              (Ints{0, -1, -1, 0, 1, -1, 0, 1}));
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
    // The 8-bit search is held to folded copies above; an empty needle is found at the
    // start, and a count beyond the text reads the whole text.
    const char* hay = "Hello World";
    EXPECT_TRUE(tqString_strNoCaseA(hay, "WORLD") == hay + 6 && tqString_strNoCaseA(hay, "") == hay &&
                tqString_strNoCaseNA(hay, "d", 500) == hay + 10);
    UnicodeLocale unicode;
    const tqWChar* whay = u"caf\u00e9 CR\u00c8ME br\u00fbl\u00e9e";
    EXPECT_TRUE(tqString_strNoCaseW(whay, u"cr\u00e8me") == whay + 5 && tqString_strNoCaseW(whay, u"BR\u00dbL\u00c9E") == whay + 11);
    EXPECT_TRUE(!tqString_strNoCaseW(whay, u"cr\u00e8mes brul\u00e9e") && !tqString_strNoCaseNW(whay, u"br", 11));
    // Long needles take another search path; the answer must not change.
    const std::u16string big = std::u16string(3000, u'a') + u"NeedleInAHaystack";
    EXPECT_EQ(tqString_strNoCaseW(big.c_str(), u"needleinahaystack"), big.c_str() + 3000);
}

TEST(FieldCount, CountsSeparatorsPlusAnUnfinishedField) {
    for (auto [text, seps, want] : {std::tuple{"a,b,c", ",", 3}, {"a,,b", ",", 3}, {"a,b,", ",", 2}, {",", ",", 1},
                                    {"", ",", 0}, {"a;b,c", ",;", 3}})
        EXPECT_EQ(tqString_countCharsA(text, seps), want) << text;
    EXPECT_EQ(tqString_countCharsW(u"x\u00b7y\u00b7", u"\u00b7"), 2);
}

TEST(LogicalNames, PatternsAndLists) {
    const std::string longName(5000, 'q');
    // {patterns, name, isList, case-sensitive, answer}
    const std::tuple<const char*, const char*, int, int, int> cases[] = {
        {"  lev*  ", "LEVEL1", 0, 0, 1}, {"  lev*  ", "LEVEL1", 0, 1, 0},
        {"a*b", "axbyb", 0, 1, 0},  // no backtracking
        {"a*b", "axxb", 0, 1, 1}, {"*", "", 0, 1, 1}, {"", "", 0, 1, 1}, {"", "x", 0, 1, 0}, {"l?v", "lv", 0, 1, 0},
        {"ab**", "ab", 0, 1, 1}, {"*?", "x?", 0, 1, 1},  // '?' after '*' is sought literally
        {" a b\t", "\ta b ", 0, 1, 1}, {"abc;d*", "dog", 1, 1, 1}, {"abc;d*", "ab", 1, 1, 0},
        {"abc;;x", "", 1, 1, 1},  // empty pieces count
        {"abc;d*", "abc;d*", 0, 1, 1}, {"q*", longName.c_str(), 0, 0, 1}};
    for (const auto& [patterns, name, isList, cs, want] : cases) {
        EXPECT_EQ(tqString_CompareLogicalNames2(patterns, name, isList, ';', cs), want) << patterns;
        EXPECT_EQ(cs ? tqString_CompareLogicalNames(patterns, name, isList, ';') : want, want) << patterns;
    }
}
