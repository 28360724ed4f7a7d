// The rules themselves are held to a transcription in tokenizer_differential_test.cpp;
// here each entry point, NULL sets and texts, and the wide forms.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "orvane.h"

TEST(Tokenizer, EveryFormOfTheNarrowCall) {
    char d[64];
    EXPECT_EQ(tqString_getTokenA(d, "alpha, beta", " ", " ", nullptr, ",", nullptr), 6);
    EXPECT_STREQ(d, "alpha");
    EXPECT_EQ(tqString_getTokenA(d, "a-b-c;", nullptr, nullptr, "-", nullptr, ";"), 5);
    EXPECT_STREQ(d, "abc");
    EXPECT_EQ(tqString_getTokenExtA(d, "'x,y',z", nullptr, nullptr, nullptr, ",", nullptr, "'"), 6);
    EXPECT_STREQ(d, "x,y");
    EXPECT_EQ(tqString_getTokenSizedA(d, "abcdef", nullptr, nullptr, nullptr, nullptr, nullptr, 3), 3);
    EXPECT_STREQ(d, "abc");
    EXPECT_EQ(tqString_getTokenSizedExtA(d, "'ab,c',d", nullptr, nullptr, nullptr, ",", nullptr, "'", 5), 5);
    EXPECT_STREQ(d, "ab,c");
    std::strcpy(d, "keep");
    EXPECT_EQ(tqString_getTokenA(d, nullptr, " ", " ", nullptr, ",", nullptr), 0);
    EXPECT_STREQ(d, "keep");  // not even a terminator
}

TEST(Tokenizer, WideFormsMatchNarrowOnes) {
    tqWChar d[32];
    EXPECT_EQ(tqString_getTokenW(d, u"\u00e9t\u00e9, \u4e2d", u" ", u" ", nullptr, u",", nullptr), 4);
    EXPECT_EQ(std::u16string(d), u"\u00e9t\u00e9");
    EXPECT_EQ(tqString_getTokenExtW(d, u"\u201cx,y\u201c,z", nullptr, nullptr, nullptr, u",", nullptr, u"\u201c"), 6);
    EXPECT_EQ(std::u16string(d), u"x,y");
    EXPECT_EQ(tqString_getTokenSizedW(d, u"abcdef", nullptr, nullptr, u"b", nullptr, nullptr, 3), 3);
    EXPECT_EQ(std::u16string(d), u"ac");
    EXPECT_EQ(tqString_getTokenSizedExtW(nullptr, u"ab;cd", nullptr, nullptr, nullptr, nullptr, u";", u"'", 0), 2);
    // Sets hold wide characters above 0xFF as well as below.
    EXPECT_EQ(tqString_getTokenW(d, u"a\u2028b", nullptr, nullptr, nullptr, u"\u2028", nullptr), 2);
    EXPECT_EQ(tqString_getTokenW(d, u"a\u0128b", nullptr, nullptr, nullptr, u"\u2028(", nullptr), 3);
}
