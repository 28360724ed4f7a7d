// The tokenizer against a plain transcription of its rules (copy the window, walk it
// character by character), on generated texts and sets, with the destination NULL,
// apart, in place and overlapping the text a little above it; then each entry point with
// NULL sets and texts, and the wide forms.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "orvane.h"

namespace {

struct Sets {
    std::string skip, trim, ignore, seps, stops, quotes;
};

bool in(const std::string& set, char c) { return set.find(c) != std::string::npos; }

// Expected token and consumed count.
std::pair<std::string, int> reference(const std::string& text, const Sets& s, int maxLength) {
    const std::string w = maxLength >= 1 ? text.substr(0, std::min<std::size_t>(maxLength, text.size())) : text;
    std::size_t p = 0;
    while (p < w.size() && in(s.skip, w[p])) ++p;
    bool quoted = false;
    std::string token;
    while (p < w.size()) {
        const char c = w[p];
        if (!quoted && in(s.stops, c) && !in(s.seps, c) && !in(s.quotes, c)) break;
        ++p;
        if (in(s.quotes, c)) quoted = !quoted;
        else if (!quoted && in(s.seps, c)) break;
        else if (quoted || !in(s.ignore, c)) token += c;
    }
    while (!token.empty() && in(s.trim, token.back())) token.pop_back();
    return {token, static_cast<int>(p)};
}

const char* opt(const std::string& s, bool null) { return null ? nullptr : s.c_str(); }

}  // namespace

TEST(TokenizerDifferential, MatchesTheRulesWhereverTheDestinationLies) {
    std::mt19937 rng(2024);
    const std::string alphabet = "ab ,;'\"-xyz.";  // letters, blanks and set characters
    auto pick = [&](std::size_t n) {
        std::string s;
        for (std::size_t k = rng() % (n + 1); k > 0; --k) s += alphabet[rng() % alphabet.size()];
        return s;
    };
    for (int round = 0; round < 20000; ++round) {
        std::string text = pick(round % 7 == 0 ? 200 : 40);
        // Sometimes more than four ending characters, or long sets (the table path).
        const bool noQuotes = round % 2 == 0, noStops = noQuotes && round % 6 == 0;
        const Sets s{pick(round % 5 == 0 ? 14 : 2), pick(2), pick(round % 3 == 0 ? 6 : 1), pick(3),
                     noStops ? "" : pick(1), pick(round % 4 == 0 ? 2 : 0)};
        const int maxLength = round % 3 == 0 ? static_cast<int>(rng() % 50) : 0;
        const auto [token, used] = reference(text, noQuotes ? Sets{s.skip, s.trim, s.ignore, s.seps, s.stops, ""} : s,
                                             maxLength);
        auto call = [&](char* dest, const char* src) {
            return noQuotes ? tqString_getTokenSizedA(dest, src, s.skip.c_str(), s.trim.c_str(), s.ignore.c_str(),
                                                      s.seps.c_str(), opt(s.stops, noStops), maxLength)
                            : tqString_getTokenSizedExtA(dest, src, s.skip.c_str(), s.trim.c_str(), s.ignore.c_str(),
                                                         s.seps.c_str(), s.stops.c_str(), s.quotes.c_str(), maxLength);
        };
        const std::size_t shift = round % 21;
        SCOPED_TRACE("text [" + text + "] skip [" + s.skip + "] trim [" + s.trim + "] ignore [" + s.ignore + "] seps [" +
                     s.seps + "] stops [" + s.stops + "] quotes [" + s.quotes + "] max " + std::to_string(maxLength) +
                     " shift " + std::to_string(shift));
        const std::string want = std::to_string(used) + " " + token;
        ASSERT_EQ(call(nullptr, text.c_str()), used);
        std::vector<char> apart(text.size() + 1, 'Q');
        ASSERT_EQ(std::to_string(call(apart.data(), text.c_str())) + " " + apart.data(), want);
        // In place, and with the destination 1 to 20 characters above the text.
        std::vector<char> block(shift + text.size() + 1 + 32, 'Q');
        std::copy(text.c_str(), text.c_str() + text.size() + 1, block.begin());
        ASSERT_EQ(std::to_string(call(block.data() + shift, block.data())) + " " + (block.data() + shift), want);
    }
}

TEST(TokenizerDifferential, WideFormAgreesWithTheNarrowOne) {
    std::mt19937 rng(7);
    const std::u16string alphabet = u"ab ,;'\u2028\u00e9";
    for (int round = 0; round < 5000; ++round) {
        std::u16string text;
        for (int k = static_cast<int>(rng() % 30); k > 0; --k) text += alphabet[rng() % alphabet.size()];
        std::string narrow;
        for (char16_t c : text) narrow += c == u'\u2028' ? '~' : c == u'\u00e9' ? '#' : static_cast<char>(c);
        std::vector<tqWChar> wd(text.size() + 1);
        std::vector<char> nd(text.size() + 1);
        const int w = tqString_getTokenExtW(wd.data(), text.c_str(), u" ", u" ", u"\u00e9", u",\u2028", u";", u"'");
        const int n = tqString_getTokenExtA(nd.data(), narrow.c_str(), " ", " ", "#", ",~", ";", "'");
        ASSERT_EQ(w, n);
        std::string back;
        for (const tqWChar* p = wd.data(); *p; ++p) back += *p == u'\u2028' ? '~' : *p == u'\u00e9' ? '#' : static_cast<char>(*p);
        ASSERT_EQ(back, std::string(nd.data()));
    }
}

TEST(Tokenizer, EveryFormOfTheNarrowCall) {
    char d[64];
    auto got = [&](int consumed) { return std::to_string(consumed) + " " + d; };
    EXPECT_EQ(got(tqString_getTokenA(d, "alpha, beta", " ", " ", nullptr, ",", nullptr)), "6 alpha");
    EXPECT_EQ(got(tqString_getTokenA(d, "a-b-c;", nullptr, nullptr, "-", nullptr, ";")), "5 abc");
    EXPECT_EQ(got(tqString_getTokenExtA(d, "'x,y',z", nullptr, nullptr, nullptr, ",", nullptr, "'")), "6 x,y");
    EXPECT_EQ(got(tqString_getTokenSizedA(d, "abcdef", nullptr, nullptr, nullptr, nullptr, nullptr, 3)), "3 abc");
    EXPECT_EQ(got(tqString_getTokenSizedExtA(d, "'ab,c',d", nullptr, nullptr, nullptr, ",", nullptr, "'", 5)), "5 ab,c");
    std::strcpy(d, "keep");  // no text: not even a terminator is written
    EXPECT_EQ(got(tqString_getTokenA(d, nullptr, " ", " ", nullptr, ",", nullptr)), "0 keep");
}

TEST(Tokenizer, WideFormsMatchNarrowOnes) {
    tqWChar d[32];
    auto got = [&](int consumed) { return std::u16string(1, static_cast<char16_t>(u'0' + consumed)) + u" " + d; };
    EXPECT_EQ(got(tqString_getTokenW(d, u"\u00e9t\u00e9, \u4e2d", u" ", u" ", nullptr, u",", nullptr)), u"4 \u00e9t\u00e9");
    EXPECT_EQ(got(tqString_getTokenExtW(d, u"\u201cx,y\u201c,z", nullptr, nullptr, nullptr, u",", nullptr, u"\u201c")), u"6 x,y");
    EXPECT_EQ(got(tqString_getTokenSizedW(d, u"abcdef", nullptr, nullptr, u"b", nullptr, nullptr, 3)), u"3 ac");
    EXPECT_EQ(tqString_getTokenSizedExtW(nullptr, u"ab;cd", nullptr, nullptr, nullptr, nullptr, u";", u"'", 0), 2);
    // Sets hold wide characters above 0xFF as well as below.
    EXPECT_EQ(tqString_getTokenW(d, u"a\u2028b", nullptr, nullptr, nullptr, u"\u2028", nullptr) * 10 +
                  tqString_getTokenW(d, u"a\u0128b", nullptr, nullptr, nullptr, u"\u2028(", nullptr), 23);
}
