#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <tuple>

#include "orvane.h"

TEST(Classes, RangesAndTheRequireAllRule) {
    // {function, text, requireAll, answer}; high bytes are never letters.
    using Check = int (*)(const char*, unsigned char);
    const std::tuple<Check, const char*, int, int> cases[] = {
        {tqString_isAlpha, "abc", 1, 1},          {tqString_isAlpha, "ab1", 1, 0},     {tqString_isAlpha, "ab1", 0, 1},
        {tqString_isAlpha, "", 0, 0},             {tqString_isAlpha, "\xe9", 0, 0},
        {tqString_isAlphaNumeric, "a1", 1, 1},    {tqString_isAlphaNumeric, "a_1", 1, 0},
        {tqString_isPrintable, "a\tb", 1, 0},     {tqString_isPrintable, "a\tb", 0, 1}, {tqString_isPrintable, "\xff", 0, 0},
        {tqString_isPrintable, "\xc8", 1, 1},     {tqString_isPrintable, "\x7f", 0, 0}};
    for (const auto& [check, text, all, want] : cases) EXPECT_EQ(check(text, all), want) << text;
    // {text, allowSign, allowPoint, requireAll, answer}
    const std::tuple<const char*, int, int, int, int> numeric[] = {
        {"-12.5", 1, 1, 1, 1}, {"-12.5", 1, 1, 0, 0}, {"1-2", 1, 0, 1, 0}, {"1.2.3", 1, 1, 0, 1}, {"-", 1, 0, 1, 1},
        {"x-", 0, 0, 1, 0}};
    for (const auto& [text, a, b, c, want] : numeric) EXPECT_EQ(tqString_isNumericExtA(text, a, b, c), want) << text;
    // Only 0-9 are digits, also in wide text.
    EXPECT_EQ(tqString_isNumericExtW(u"-1.5", 1, 1, 1) * 10 + tqString_isNumericExtW(u"\u0661", 0, 0, 0), 10);
}

TEST(Edits, TrimReplaceCharsUnderscoreAndUnits) {
    char t[] = " \t ab ";
    tqString_TrimLeadingWhiteSpace(t);
    EXPECT_STREQ(t, "ab ");
    tqString_TrimTrailingWhiteSpace(t);
    EXPECT_STREQ(t, "ab");
    // {text, set, replacement, control codes too, result}: an empty text leaves the destination alone.
    char d[64] = "keep";
    using Chars = std::tuple<const char*, const char*, const char*, int, const char*>;
    for (auto [s, set, with, controls, want] : {Chars{"", ".", "#", 0, "0keep"}, {"a.b*c", ".*", "#", 0, "0a#b#c"},
                                                {"a.b*c", ".*", nullptr, 0, "0abc"}, {"a\tb\x7f", nullptr, "<>", 1, "0a<>b<>"}})
        EXPECT_EQ(std::to_string(tqString_replaceCharsA(d, s, set, with, controls)) + d, want) << s;
    char same[] = "x y.z";
    tqString_replaceCharsA(same, same, ". ", "", 0);  // in place
    EXPECT_STREQ(same, "xyz");
    tqWChar w[16];
    tqString_replaceCharsW(w, u"a-b\u0109c", u"-", u"__", 1);  // U+0109 has low byte 9: a control code
    EXPECT_EQ(std::u16string(w), u"a__b__c");
    char s[] = "my table name";
    tqWChar ws[] = u"a b";
    EXPECT_EQ(tqString_spaceToUnderscoreA(s) + tqString_spaceToUnderscoreW(ws), 0);
    EXPECT_TRUE(std::string(s) == "my_table_name" && std::u16string(ws) == u"a_b");
    auto units = [&](const char* text, int high) { return std::to_string(tqString_symbolsToAlpha(d, text, high)) + " " + d; };
    EXPECT_EQ(units("6' 2\"", 0) + "|" + units("a\xc8", 0) + "|" + units("a\xc8\x7f", 1), "7 6ft 2in|2 a?|3 a\xc8?");
}

TEST(Edits, ReplaceSubstringPassesAndRefusals) {
    // Refused: a replacement that holds what it replaces would never end. (The passes are
    // held to a transcription below.)
    char d[64] = "untouched";
    EXPECT_EQ(tqString_replace(d, "axb", "x", "xy", 64, 1) + tqString_replace(d, "axb", "X", "x", 64, 0), 0);
    EXPECT_STREQ(d, "untouched");
    // A text that no longer fits is written as the empty string by the bounded copy: the
    // destination holds terminators up to its size, and nothing beyond.
    for (const int cs : {1, 0}) {
        char d[16];
        std::memset(d, 'Z', sizeof d);
        EXPECT_EQ(tqString_replace(d, "one two one", cs ? "one" : "ONE", "1", 5, cs), 0);
        EXPECT_EQ(std::string(d, 6), std::string(5, '\0') + "Z") << cs;
        std::memset(d, 'Z', sizeof d);
        EXPECT_EQ(tqString_replace(d, "a-a", "a", "xA", 7, 0), 0);  // grows until it no longer fits
        EXPECT_EQ(std::string(d, 8), std::string(7, '\0') + "Z");
    }
}

// The passes written out directly: replace the first occurrence, search again from the start.
TEST(Edits, ReplaceAgreesWithPassByPass) {
    std::mt19937 rng(3);
    auto pick = [&](int most) {
        std::string s;
        for (int k = static_cast<int>(rng() % static_cast<unsigned>(most)); k > 0; --k) s += "abAB"[rng() % 4];
        return s;
    };
    for (int n = 0; n < 100000; ++n) {
        const std::string s = pick(16), w = pick(4), f = "a" + pick(3);
        const int cs = static_cast<int>(rng() & 1), size = 1 + static_cast<int>(rng() % 24);
        if (w.find(f) != std::string::npos || (!cs && tqString_cmpNoCaseA(f.c_str(), w.c_str()) == 0)) continue;
        std::string t = s;
        bool any = false;
        for (const char* h; (h = cs ? std::strstr(t.c_str(), f.c_str()) : tqString_strNoCaseA(t.c_str(), f.c_str()));) {
            any = true;
            const std::size_t at = static_cast<std::size_t>(h - t.c_str());
            t = static_cast<int>(t.size() - f.size() + w.size()) >= size ? "" : t.substr(0, at) + w + t.substr(at + f.size());
        }
        char got[64];
        const int r = tqString_replace(got, s.c_str(), f.c_str(), w.c_str(), size, cs);
        ASSERT_EQ(std::string(got), t.substr(0, static_cast<std::size_t>(size))) << s << " " << f << " " << w << " " << cs;
        ASSERT_EQ(r, any ? 0 : 1);
    }
}
