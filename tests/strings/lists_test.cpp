#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <tuple>

#include "orvane.h"

TEST(Lists, SizeEntriesMembershipAndSameness) {
    for (auto [list, quotes, want] : {std::tuple<const char*, const char*, int>{"a, b, c", nullptr, 3}, {"a,b,", nullptr, 2}, {"a,,b", nullptr, 3},
                                      {"", nullptr, 0}, {"'a,b',c", "'", 2}, {nullptr, nullptr, 0}})
        EXPECT_EQ(tqString_listGetSize(list, ",", quotes), want) << list;
    const char* l = "a, b, c";
    EXPECT_EQ(tqString_listGetEntryA(l, ",", nullptr, 1), l + 2);
    EXPECT_EQ(tqString_listGetEntryA(l, ",", nullptr, 3), nullptr);
    const tqWChar* wl = u"x;y";
    EXPECT_EQ(tqString_listGetEntryW(wl, u";", nullptr, 1), wl + 2);
    EXPECT_EQ(tqString_listIsMemberExt("'x,y', z", "x,y", ",", " ", "'", 0), 1);
    EXPECT_EQ(tqString_listIsMemberW(u"r\u00e9d, blue", u"r\u00e9d", u",", u" ", 0), 1);
    EXPECT_EQ(tqString_listIsMemberW(u"red", nullptr, u",", nullptr, 0), 0);
    const std::string longEntry(1500, 'e');
    EXPECT_EQ(tqString_listIsMemberA(("x," + longEntry).c_str(), std::string(1023, 'e').c_str(), ",", nullptr, 0), 1);
    // In order (any order is held to a transcription in lists_differential_test.cpp), the
    // shorter list is a prefix. {a, b, trim, ignore case, answer}
    const std::tuple<const char*, const char*, const char*, int, int> same[] = {
        {"a,b,c", "a, b, c", " ", 0, 1}, {"a,b", "a,c", " ", 0, 0}, {"a,b", "b,a", " ", 0, 0}, {"a,b", "a,b,c", " ", 0, 1},
        {"A,b", "a,B", nullptr, 1, 1},   {",", ",", nullptr, 0, 0}, {nullptr, "a", nullptr, 0, 0}};
    for (const auto& [a, b, trim, ic, want] : same) EXPECT_EQ(tqString_listsAreSame(a, b, ",", trim, ic, 0), want) << a << " / " << b;
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
    tqStringFixed_listAppendExtW(w, u"/", 0, u"%S", "8bit");
    EXPECT_EQ(std::u16string(w), u"Width=12, n|  2.2|q  |ff%/8bit");
    tqStringFixed_listAppendA(nullptr, "%d", 1);
}

// The wide formatter shows what the 8-bit one shows, up to the 1023-character entry, also
// for widths and precisions far beyond it (which it must not build in full).
TEST(Lists, WideAppendAgreesWithEightBitForLargeWidthsAndPrecisions) {
    auto narrow = [](const char* format, auto... args) {
        std::string list(2048, '\0');
        tqStringFixed_listAppendExtA(list.data(), nullptr, 0, format, args...);
        return std::string(list.c_str());
    };
    auto wide = [](const tqWChar* format, auto... args) {
        std::u16string list(2048, u'\0');
        tqStringFixed_listAppendExtW(list.data(), nullptr, 0, format, args...);
        return std::string(list.begin(), list.begin() + static_cast<long>(std::char_traits<char16_t>::length(list.c_str())));
    };
    EXPECT_EQ(wide(u"%600d", 7), std::string(599, ' ') + "7");
    const std::string text(3000, 'q');
    for (const int width : {0, 5, 1023, 1024, 1025, 3000, 20005, 40000})
        for (const int precision : {-1, 0, 3, 1022, 1024, 1100, 16499, 16501, 20000, 40000}) {
            SCOPED_TRACE(std::to_string(width) + "." + std::to_string(precision));
            ASSERT_EQ(wide(u"%*.*d", width, precision, -7), narrow("%*.*d", width, precision, -7));
            ASSERT_EQ(wide(u"%-*.*x", width, precision, 255u), narrow("%-*.*x", width, precision, 255u));
            ASSERT_EQ(wide(u"%0*.*lld", width, precision, -1234567890123LL), narrow("%0*.*lld", width, precision, -1234567890123LL));
            ASSERT_EQ(wide(u"%*.*f|", width, precision, 2.5), narrow("%*.*f|", width, precision, 2.5));
            ASSERT_EQ(wide(u"%0*.*e", width, precision, -1e-300), narrow("%0*.*e", width, precision, -1e-300));
            ASSERT_EQ(wide(u"%*.*g|", width, precision, 0.1), narrow("%*.*g|", width, precision, 0.1));
            ASSERT_EQ(wide(u"%#*.*G|", width, precision, 0.1), narrow("%#*.*G|", width, precision, 0.1));
            ASSERT_EQ(wide(u"%*.*Lf|", width, precision, 1e-4000L), narrow("%*.*Lf|", width, precision, 1e-4000L));
            ASSERT_EQ(wide(u"%*.*hs|", width, precision, text.c_str()), narrow("%*.*s|", width, precision, text.c_str()));
            ASSERT_EQ(wide(u"%-*.*hs|", width, precision, "ab"), narrow("%-*.*s|", width, precision, "ab"));
        }
    // Fields beyond what printf takes count as INT_MAX; a "*" width of INT_MIN as a left-
    // justified INT_MAX; a negative "*" precision as none.
    EXPECT_EQ(wide(u"%55555555555d", 7), std::string(1023, ' '));
    EXPECT_EQ(wide(u"%.55555555555d", 7), std::string(1023, '0'));
    EXPECT_EQ(wide(u"%*d", INT_MIN, 7), "7" + std::string(1022, ' '));
    EXPECT_EQ(wide(u"%*s", INT_MAX, u"x"), std::string(1023, ' '));
    EXPECT_EQ(wide(u"%.*d", -1, 0), narrow("%.*d", -1, 0));
}

TEST(Lists, TruncateAtEntryBoundaries) {
    // {list, marker (NULL: the plain form's "..."), maximum, groups, result}
    const std::tuple<const char*, const char*, int, const char*, const char*> cases[] = {
        {"alpha, beta, gamma", nullptr, 14, nullptr, "alpha, beta..."}, {"alpha, beta, gamma", nullptr, 12, nullptr, "alpha..."},
        {"alpha, beta, gamma", nullptr, 3, nullptr, "alpha, beta, gamma"}, {"alpha, beta, gamma", nullptr, 30, nullptr, "alpha, beta, gamma"},
        {"a, b (x, y)", "", 8, nullptr, "a, b (x"},
        {"abcdefghij", nullptr, 6, nullptr, "abcdefghij"},  // no separator: left as it is
    };
    for (const auto& [text, marker, most, groups, want] : cases) {
        char l[64];
        std::snprintf(l, sizeof l, "%s", text);
        if (marker) tqStringFixed_listTruncateBySeparatorExtA(l, *marker ? marker : nullptr, ',', most, groups);
        else tqStringFixed_listTruncateBySeparatorA(l, ',', most);
        EXPECT_STREQ(l, want) << text << " " << most;
    }
    tqWChar w[32] = u"one; two; three";
    tqStringFixed_listTruncateBySeparatorW(w, u';', 12);
    EXPECT_EQ(std::u16string(w), u"one; two...");
    tqStringFixed_listTruncateBySeparatorExtW(w, u"+", u';', 4, nullptr);
    EXPECT_EQ(std::u16string(w), u"one+");
}
