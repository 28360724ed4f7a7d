#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "orvane.h"

TEST(DynamicStrings, AppendFormatAndFree) {
    char* s = nullptr;
    tqStringDynamic_addA(&s, "");
    ASSERT_NE(s, nullptr);  // the empty string, not "no string"
    EXPECT_STREQ(s, "");
    tqStringDynamic_addA(&s, "ab");
    tqStringDynamic_addV(&s, "-%d-%s", 42, "x");
    tqStringDynamic_addA(&s, s);  // appending a string to itself survives the move
    EXPECT_STREQ(s, "ab-42-xab-42-x");
    EXPECT_EQ(tqStringDynamic_addA(nullptr, "x"), 0);
    EXPECT_EQ(tqStringDynamic_addA(&s, nullptr), 0);
    EXPECT_EQ(tqStringDynamic_addV(&s, nullptr), 0);
    EXPECT_STREQ(s, "ab-42-xab-42-x");
    EXPECT_EQ(tqStringDynamic_freeA(&s), 0);
    EXPECT_EQ(s, nullptr);
    EXPECT_EQ(tqStringDynamic_freeA(&s), 0);
    EXPECT_EQ(tqStringDynamic_freeA(nullptr), 0);

    // Formatted pieces are cut to the 1023-character scratch, and nothing empty is added.
    tqStringDynamic_addV(&s, "%s", "");
    EXPECT_EQ(s, nullptr);
    tqStringDynamic_addV(&s, "%s", std::string(5000, 'z').c_str());
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(std::string(s), std::string(1023, 'z'));
    tqStringDynamic_freeA(&s);

    tqWChar* w = nullptr;
    tqStringDynamic_addW(&w, u"\u00e9t\u00e9");
    tqStringDynamic_addW(&w, u"!");
    EXPECT_EQ(std::u16string(w), u"\u00e9t\u00e9!");
    EXPECT_EQ(tqStringDynamic_freeW(&w), 0);
    EXPECT_EQ(w, nullptr);
}

TEST(BoundedCopies, CopyAndTruncateRespectTheirCounts) {
    char d[16];
    std::memset(d, '#', sizeof d);
    EXPECT_EQ(tqString_copyNA(d, "abcdef", 3), 3);
    EXPECT_STREQ(d, "abc");
    std::memset(d, '#', sizeof d);
    EXPECT_EQ(tqString_copyNA(d, "abcdef", 10), 6);
    for (int i = 6; i < 10; ++i) EXPECT_EQ(d[i], '\0') << i;
    EXPECT_EQ(d[10], '#');  // zero-filled up to `count`, no further
    EXPECT_EQ(tqString_copyNA(d, "zz", 0), 0);
    EXPECT_STREQ(d, "abcdef");
    EXPECT_EQ(tqString_copyNA(nullptr, "zz", 2), 0);
    EXPECT_EQ(tqString_copyNA(d, nullptr, 2), 0);

    tqWChar w[8] = {};
    EXPECT_EQ(tqString_copyNW(w, u"wxyz", 2), 2);
    EXPECT_EQ(std::u16string(w), u"wx");
    EXPECT_EQ(tqString_copyNW(w, u"", 3), 0);
    EXPECT_EQ(w[0], 0);

    std::strcpy(d, "keep");
    EXPECT_EQ(tqString_truncate(d, "abcdefgh", nullptr, 3), 0);
    EXPECT_STREQ(d, "keep");
    EXPECT_EQ(tqString_truncate(d, "abcdefgh", "~", 4), 4);
    EXPECT_STREQ(d, "abcd");
    EXPECT_EQ(tqString_truncate(d, "ab", nullptr, 10), 2);
    EXPECT_STREQ(d, "ab");
}

TEST(BoundedCopies, CatSizedAndPad) {
    char d[32] = "x=";
    EXPECT_EQ(tqString_catSizedV(d, 8, "%d", 12345), 5);
    EXPECT_STREQ(d, "x=12345");
    EXPECT_EQ(tqString_catSizedV(d, 0, "%d", 9), 0);
    EXPECT_EQ(tqString_catSizedV(nullptr, 8, "%d", 9), 0);
    EXPECT_EQ(tqString_catSizedV(d, 8, nullptr), 0);
    EXPECT_STREQ(d, "x=12345");
    // Longer output is cut to `size`, but the result is still the formatted length.
    EXPECT_EQ(tqString_catSizedV(d, 3, "%s", "abcdef"), 6);
    EXPECT_STREQ(d, "x=12345abc");

    char p[16] = "ab";
    EXPECT_EQ(tqStringCat_padWithChars(p, '.', 3, 10), 3);
    EXPECT_STREQ(p, "ab...");
    std::strcpy(p, "ab");
    EXPECT_EQ(tqStringCat_padWithChars(p, '.', 3, 5), 2);
    EXPECT_STREQ(p, "ab..");
    std::strcpy(p, "ab");
    EXPECT_EQ(tqStringCat_padWithChars(p, '.', 3, 3), 0);
    EXPECT_EQ(tqStringCat_padWithChars(p, '.', 3, 1), -2);
    EXPECT_STREQ(p, "ab");
    EXPECT_EQ(tqStringCat_padWithChars(nullptr, '.', 7, 10), 7);
}
