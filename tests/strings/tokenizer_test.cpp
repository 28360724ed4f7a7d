#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "orvane.h"

namespace {

// Walks the whole of `text` the way callers do, collecting tokens until a call consumes nothing.
std::vector<std::string> walk(const char* text, const char* skip, const char* trim, const char* ignore,
                              const char* seps, const char* stops, const char* quotes = nullptr) {
    std::vector<std::string> out;
    std::string buf(std::strlen(text) + 1, '\0');
    for (const char* p = text;;) {
        const int used = tqString_getTokenExtA(buf.data(), p, skip, trim, ignore, seps, stops, quotes);
        if (used == 0) break;
        out.emplace_back(buf.c_str());
        p += used;
    }
    return out;
}

}  // namespace

TEST(Tokenizer, SeparatorsSkipTrimAndIgnore) {
    char d[64];
    const char* s = "alpha, beta";
    EXPECT_EQ(tqString_getTokenA(d, s, " ", " ", nullptr, ",", nullptr), 6);
    EXPECT_STREQ(d, "alpha");
    EXPECT_EQ(tqString_getTokenA(d, s + 6, " ", " ", nullptr, ",", nullptr), 5);
    EXPECT_STREQ(d, "beta");
    EXPECT_EQ(tqString_getTokenA(d, s + 11, " ", " ", nullptr, ",", nullptr), 0);
    EXPECT_STREQ(d, "");

    EXPECT_EQ(tqString_getTokenA(d, ",x", nullptr, nullptr, nullptr, ",", nullptr), 1);
    EXPECT_STREQ(d, "");
    EXPECT_EQ(tqString_getTokenA(d, "a-b-c", nullptr, nullptr, "-", nullptr, nullptr), 5);
    EXPECT_STREQ(d, "abc");
    EXPECT_EQ(tqString_getTokenA(d, "ab  ,", nullptr, " ", nullptr, ",", nullptr), 5);
    EXPECT_STREQ(d, "ab");
    EXPECT_EQ(tqString_getTokenA(d, "   ", nullptr, " ", nullptr, ",", nullptr), 3);
    EXPECT_STREQ(d, "");
    // A character in both sets acts as a separator.
    EXPECT_EQ(tqString_getTokenA(d, "a;b", nullptr, nullptr, nullptr, ";", ";"), 2);
    EXPECT_EQ(walk("a,,b,", nullptr, nullptr, nullptr, ",", nullptr), (std::vector<std::string>{"a", "", "b"}));
}

TEST(Tokenizer, StoppersQuotesAndWindows) {
    char d[64];
    EXPECT_EQ(tqString_getTokenA(d, "ab;cd", nullptr, nullptr, nullptr, nullptr, ";"), 2);
    EXPECT_STREQ(d, "ab");
    EXPECT_EQ(tqString_getTokenA(d, ";cd", nullptr, nullptr, nullptr, nullptr, ";"), 0);
    EXPECT_STREQ(d, "");
    EXPECT_EQ(tqString_getTokenA(d, "  ;", " ", nullptr, nullptr, nullptr, ";"), 2);  // only the skip

    EXPECT_EQ(tqString_getTokenExtA(d, "'x,y',z", nullptr, nullptr, nullptr, ",", nullptr, "'"), 6);
    EXPECT_STREQ(d, "x,y");
    // Quotes switch every set off, any quote character closes, and an open quote runs on.
    EXPECT_EQ(walk(" \"a; b-\"  ;'c", " ", " ", "-", ";", nullptr, "'\""),
              (std::vector<std::string>{"a; b-", "c"}));
    EXPECT_EQ(tqString_getTokenExtA(d, "'a,b", nullptr, nullptr, nullptr, ",", nullptr, "'"), 4);
    EXPECT_STREQ(d, "a,b");

    EXPECT_EQ(tqString_getTokenSizedA(d, "abcdef", nullptr, nullptr, nullptr, nullptr, nullptr, 3), 3);
    EXPECT_STREQ(d, "abc");
    EXPECT_EQ(tqString_getTokenSizedA(d, "abcdef", nullptr, nullptr, nullptr, nullptr, nullptr, 0), 6);
    EXPECT_STREQ(d, "abcdef");
    EXPECT_EQ(tqString_getTokenSizedExtA(d, "'ab,c',d", nullptr, nullptr, nullptr, ",", nullptr, "'", 5), 5);
    EXPECT_STREQ(d, "ab,c");
    // A window longer than the text stops at the terminator.
    EXPECT_EQ(tqString_getTokenSizedA(d, "ab", nullptr, nullptr, nullptr, ",", nullptr, 100), 2);
}

TEST(Tokenizer, NullDestinationAndNullSource) {
    char d[8] = "keep";
    EXPECT_EQ(tqString_getTokenA(d, nullptr, " ", " ", nullptr, ",", nullptr), 0);
    EXPECT_STREQ(d, "keep");  // not even a terminator
    for (const char* s : {"alpha, beta", ",x", "  ab;", "'q,r',s", ""}) {
        char buf[32];
        EXPECT_EQ(tqString_getTokenExtA(nullptr, s, " ", " ", "-", ",", ";", "'"),
                  tqString_getTokenExtA(buf, s, " ", " ", "-", ",", ";", "'"))
            << s;
    }
    // Tokenizing in place, and into a buffer that overlaps the unread text.
    char text[] = "xx,yy";
    EXPECT_EQ(tqString_getTokenA(text, text, nullptr, nullptr, nullptr, ",", nullptr), 3);
    EXPECT_STREQ(text, "xx");
    char overlap[] = "abc,def";
    EXPECT_EQ(tqString_getTokenA(overlap + 1, overlap, nullptr, nullptr, nullptr, ",", nullptr), 4);
    EXPECT_STREQ(overlap + 1, "abc");
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
