#include <gtest/gtest.h>

#include <string>

#include "orvane.h"

TEST(Lists, SizeEntriesAndMembership) {
    EXPECT_EQ(tqString_listGetSize("a, b, c", ",", nullptr), 3);
    EXPECT_EQ(tqString_listGetSize("a,b,", ",", nullptr), 2);
    EXPECT_EQ(tqString_listGetSize("a,,b", ",", nullptr), 3);
    EXPECT_EQ(tqString_listGetSize("", ",", nullptr), 0);
    EXPECT_EQ(tqString_listGetSize("'a,b',c", ",", "'"), 2);
    EXPECT_EQ(tqString_listGetSize(nullptr, ",", nullptr), 0);
    const char* l = "a, b, c";
    EXPECT_EQ(tqString_listGetEntryA(l, ",", nullptr, 1), l + 2);
    EXPECT_EQ(tqString_listGetEntryA(l, ",", nullptr, 3), nullptr);
    const tqWChar* wl = u"x;y";
    EXPECT_EQ(tqString_listGetEntryW(wl, u";", nullptr, 1), wl + 2);

    EXPECT_EQ(tqString_listIsMemberA("red, Green , blue", "green", ",", " ", 1), 1);
    EXPECT_EQ(tqString_listIsMemberA("red, Green , blue", "green", ",", " ", 0), 0);
    EXPECT_EQ(tqString_listIsMemberA("a,,b", "", ",", nullptr, 0), 1);
    EXPECT_EQ(tqString_listIsMemberExt("'x,y', z", "x,y", ",", " ", "'", 0), 1);
    EXPECT_EQ(tqString_listIsMemberW(u"r\u00e9d, blue", u"r\u00e9d", u",", u" ", 0), 1);
    EXPECT_EQ(tqString_listIsMemberW(u"red", nullptr, u",", nullptr, 0), 0);
    const std::string longEntry(1500, 'e');
    EXPECT_EQ(tqString_listIsMemberA(("x," + longEntry).c_str(), std::string(1023, 'e').c_str(), ",", nullptr, 0), 1);
}

TEST(Lists, SameEntriesInOrderOrAsSets) {
    EXPECT_EQ(tqString_listsAreSame("a,b,c", "a, b, c", ",", " ", 0, 0), 1);
    EXPECT_EQ(tqString_listsAreSame("a,b", "a,c", ",", " ", 0, 0), 0);
    EXPECT_EQ(tqString_listsAreSame("a,b", "b,a", ",", " ", 0, 0), 0);
    EXPECT_EQ(tqString_listsAreSame("a,b", "b,a", ",", " ", 0, 1), 1);
    EXPECT_EQ(tqString_listsAreSame("a,b", "a,b,c", ",", " ", 0, 0), 1);
    EXPECT_EQ(tqString_listsAreSame("a,b", "a,b,c", ",", " ", 0, 1), 0);
    EXPECT_EQ(tqString_listsAreSame("a,a,b", "b,a", ",", nullptr, 0, 1), 1);
    EXPECT_EQ(tqString_listsAreSame("A,b", "a,B", ",", nullptr, 1, 0), 1);
    EXPECT_EQ(tqString_listsAreSame(",", ",", ",", nullptr, 0, 0), 0);
    EXPECT_EQ(tqString_listsAreSame(nullptr, "a", ",", nullptr, 0, 0), 0);
}

TEST(Lists, AppendFormatsEntries) {
    char list[2200] = "";
    tqStringFixed_listAppendA(list, "%s", "red");
    tqStringFixed_listAppendA(list, "%d", 5);
    EXPECT_STREQ(list, "Red, 5");
    std::snprintf(list, sizeof list, "x\n");
    tqStringFixed_listAppendA(list, "%s", "y");
    EXPECT_STREQ(list, "x\ny");
    list[0] = '\0';
    tqStringFixed_listAppendExtA(list, nullptr, 0, "%s", "a");
    tqStringFixed_listAppendExtA(list, "; ", 0, "%s", "");  // the separator comes even for an empty entry
    EXPECT_STREQ(list, "a; ");
    list[0] = '\0';
    tqStringFixed_listAppendA(list, "%s", std::string(2000, 'z').c_str());
    EXPECT_EQ(std::string(list), "Z" + std::string(1022, 'z'));  // cut at 1023 characters

    tqWChar w[256] = u"";
    tqStringFixed_listAppendW(w, u"%s=%d", u"width", 12);
    tqStringFixed_listAppendW(w, u"%hs|%5.1f|%-3c|%x%%", "n", 2.25, u'q', 255);
    EXPECT_EQ(std::u16string(w), u"Width=12, n|  2.2|q  |ff%");
    tqStringFixed_listAppendExtW(w, u"/", 0, u"%S", "8bit");
    EXPECT_EQ(std::u16string(w), u"Width=12, n|  2.2|q  |ff%/8bit");
    tqStringFixed_listAppendA(nullptr, "%d", 1);
}

TEST(Lists, TruncateAtEntryBoundaries) {
    char l[64] = "alpha, beta, gamma";
    tqStringFixed_listTruncateBySeparatorA(l, ',', 14);
    EXPECT_STREQ(l, "alpha, beta...");
    std::snprintf(l, sizeof l, "alpha, beta, gamma");
    tqStringFixed_listTruncateBySeparatorA(l, ',', 12);
    EXPECT_STREQ(l, "alpha...");
    std::snprintf(l, sizeof l, "alpha, beta, gamma");
    tqStringFixed_listTruncateBySeparatorA(l, ',', 3);
    tqStringFixed_listTruncateBySeparatorA(l, ',', 30);
    EXPECT_STREQ(l, "alpha, beta, gamma");
    std::snprintf(l, sizeof l, "a, b (x, y)");
    tqStringFixed_listTruncateBySeparatorExtA(l, "...", ',', 8, "()");
    EXPECT_STREQ(l, "a...");
    std::snprintf(l, sizeof l, "a, b (x, y)");
    tqStringFixed_listTruncateBySeparatorExtA(l, nullptr, ',', 8, nullptr);
    EXPECT_STREQ(l, "a, b (x");
    std::snprintf(l, sizeof l, "abcdefghij");
    tqStringFixed_listTruncateBySeparatorA(l, ',', 6);  // no separator: left as it is
    EXPECT_STREQ(l, "abcdefghij");
    tqWChar w[32] = u"one; two; three";
    tqStringFixed_listTruncateBySeparatorW(w, u';', 12);
    EXPECT_EQ(std::u16string(w), u"one; two...");
    tqStringFixed_listTruncateBySeparatorExtW(w, u"+", u';', 4, nullptr);
    EXPECT_EQ(std::u16string(w), u"one+");
}
