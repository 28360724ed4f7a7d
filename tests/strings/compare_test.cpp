#include <gtest/gtest.h>

#include <clocale>
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
