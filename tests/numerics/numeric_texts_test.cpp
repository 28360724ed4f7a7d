// Number texts: deviation messages, trimming, bit masks and their list texts, integer and
// double ranges, month titles. NULL arguments are left to the generated sweep.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "orvane.h"

namespace {

using Ints = std::vector<int>;
using Doubles = std::vector<double>;

// The deviation text ("untouched" when within tolerance), after the result and a blank.
std::string deviation(double value, double reference, double scale, const char* unit = nullptr, double tolerance = 1) {
    char msg[512] = "untouched";
    const int r = tqMath_compareDoublesAsMasterA(value, reference, tolerance, msg, unit, scale);
    return std::to_string(r) + " " + msg;
}

// Runs `f` on a copy of `text` in a buffer of its own and returns the buffer.
template <class F>
std::string edited(const char* text, F f) {
    char buf[512];
    std::strcpy(buf, text);
    f(buf);
    return buf;
}

std::string roundTrip(const char* text, int offset) {
    unsigned char m[2];
    char out[256];
    tqString_buildBitMaskFromStringA(m, text, 2, offset);
    tqString_buildStringFromBitMaskA(out, m, 2, offset);
    return out;
}

std::string narrow(const tqWChar* w) { return std::string(w, w + std::char_traits<char16_t>::length(w)); }

}  // namespace

TEST(Doubles, DeviationTextsTrimmingAndPointSort) {
    EXPECT_EQ(tqMath_compareDoubles(1.0, 1.5, 0.5) * 10 + tqMath_compareDoubles(1.0, 1.5, 0.49), 10);
    for (auto [value, reference, scale, want] :
         {std::tuple{10.2, 10.0, 1000.0, "0 2.000%"}, {20.0, 10.0, 1000.0, "0 100%"}, {0, 2.5, 1000, "0  2.500MU"},
          {1.25, 0, 1000, "0  1.250MU"}, {10000, 1, 1000, "0 -9999MU"}, {10.5, 10, 1000, "0 5.000%"},
          {11, 1, 1, "0 1000%"}, {10.005, 10.0, 1000, "1 untouched"}})
        EXPECT_EQ(deviation(value, reference, scale), want) << value;
    EXPECT_EQ(deviation(200000.001, 200000, 1000, nullptr, 0), "0 -1.000PU");
    EXPECT_EQ(tqMath_compareDoublesAsMasterA(5, 7, 1, nullptr, nullptr, 0), 1);  // scale 0
    EXPECT_EQ(tqMath_compareDoublesAsMasterA(5, 7, 1, nullptr, nullptr, 1), 0);
    const std::string longUnit(80, 'u');
    EXPECT_EQ(deviation(0, 2.5, 1000, longUnit.c_str()), "0  2.500" + longUnit.substr(0, 63));
    // Drawings beyond the 32-bit positional range still compare by value.
    EXPECT_EQ(tqMath_compareDoublesAsMasterA(5e9, 5e9 + 1, 1, nullptr, nullptr, 1000), 1);
    tqWChar w[128], w2[128];
    const int rw = tqMath_compareDoublesAsMasterW(0, 2.5, 1, w, u"mm", 1000) +
                   tqMath_compareDoublesAsMasterW(10.2, 10.0, 1, w2, nullptr, 1000);
    EXPECT_EQ(std::to_string(rw) + narrow(w) + "|" + narrow(w2), "0 2.500mm|2.000%");
    // Every trailing zero goes, with or without a decimal point, also from an exponent.
    for (auto [text, decimals, want] : {std::tuple{"1.500000", 2, "1.50"}, {"1.500000", 0, "1.5"}, {"  2.000", 0, "2."},
                                        {"  2.000", 1, "2.0"}, {"3.14159", 2, "3.14159"}, {"0.000", 0, "0."},
                                        {"100", 2, "1"}, {"0", 1, ""}, {"1.5e+10", 0, "1.5e+1"},
                                        {"2.0E-300 ", 1, "2.0E-3"}, {"", 2, ""}})
        EXPECT_EQ(edited(text, [&](char* b) { tqMath_trimDoubleAsStringA(b, decimals); }), want) << text;
    tqWChar wt[16] = u" 7.2500 ";
    tqMath_trimDoubleAsStringW(wt, 3);
    EXPECT_EQ(narrow(wt), "7.250");
    for (int64_t v : {int64_t{2147483647}, INT64_MIN})
        EXPECT_EQ(edited("", [&](char* b) { tqMath_convert64BitToStringA(b, v); }), std::to_string(v));
    double p[] = {1, 0, 9, 3, 1, 8, 1, 2, 7, 3, 3, 6};  // x: 1, 3, 1, 3
    auto zs = [&](int mode) { return tqMath_sortPoints(p, 4, mode), Doubles{p[2], p[5], p[8], p[11]}; };
    EXPECT_EQ(zs(2), (Doubles{8, 6, 9, 7}));  // x falling, ties keep their order
    EXPECT_EQ(zs(3), (Doubles{8, 6, 9, 7}));  // not a mode
    EXPECT_EQ(zs(16), (Doubles{6, 7, 8, 9}));
}

TEST(BitMask, OperationsListTextsAndIntegerList) {
    unsigned char m[3] = {0, 0, 0xFF};  // a 2-byte mask and a guard byte that no operation may touch or read
    // {bit, operation, result, mask bytes after it}, applied in order to the mask.
    const int steps[][5] = {{9, 3, 0, 0x00, 0x02},  {16, 3, 0, 0x00, 0x02}, {0, 9, 9, 0x00, 0x02},
                            {0, 10, 9, 0x00, 0x02}, {9, 6, 0, 0x00, 0x02},  {8, 6, 1, 0x00, 0x02},
                            {99, 6, 0, 0x00, 0x02}, {0, 8, 0, 0x00, 0x02},  {9, 5, 0, 0x00, 0x00},
                            {0, 8, 1, 0x00, 0x00},  {0, 9, -1, 0x00, 0x00}, {0, 10, -1, 0x00, 0x00},
                            {0, 7, 0, 0xFF, 0xFF},  {3, 4, 0, 0xF7, 0xFF},  {0, 2, 0, 0x00, 0x00},
                            {0, 1, 0, 0xFF, 0xFF},  {0, 11, 0, 0xFF, 0xFF}};
    for (const auto& s : steps) {
        const int r = tqMath_setBitMask(static_cast<unsigned>(s[0]), m, 2, s[1]);
        EXPECT_EQ((Ints{r, m[0], m[1], m[2]}), (Ints{s[2], s[3], s[4], 0xFF})) << "operation " << s[1] << " bit " << s[0];
    }
    EXPECT_EQ(tqMath_extractBitsFromLong(0x12345678u, 8, 15), 0x56u);
    EXPECT_EQ(tqMath_extractBitsFromLong(0xF0000000u, 28, 31), 0xFu);
    EXPECT_EQ(tqMath_extractBitsFromByte(0xF0, 4, 5) * 100 + tqMath_extractBitsFromByte(0xF0, 4, 7), 315);
    tqString_buildBitMaskFromStringA(m, "1-3, 5,7-9", 2, 1);
    EXPECT_EQ((Ints{m[0], m[1]}), (Ints{0xD7, 0x01}));  // bits 0, 1, 2, 4, 6, 7 and 8
    EXPECT_EQ(roundTrip("1-3, 5,7-9", 1) + "|" + roundTrip("4,5, 5-5, 9-7, abc, 0", 0) + "|" + roundTrip("", 0),
              "1-3,5,7-9|0,4-5|");
    EXPECT_EQ(roundTrip("-3, 6-2000000000", 0), "0-3,6-15");  // '-3' is 0 to 3
    tqString_buildBitMaskFromStringW(m, u"100-102, 115", 2, 100);
    tqWChar w[64];
    tqString_buildStringFromBitMaskW(w, m, 2, 100);
    EXPECT_EQ(narrow(w), "100-102,115");
    // The wide text is capped at 1024 characters.
    std::vector<unsigned char> big(1000, 0x55);  // every other bit: "0,2,4,..."
    std::vector<tqWChar> wide(2048, u'x');
    tqString_buildStringFromBitMaskW(wide.data(), big.data(), 1000, 0);
    EXPECT_EQ(wide[1024], u'\0');
    int* list = nullptr;
    int count = 0;
    for (int v : {0, 7, -4, 7, 3}) tqMath_addIntToList(&list, v, &count);  // 0 and -4 are refused
    ASSERT_EQ(count, 3);
    EXPECT_EQ(Ints(list, list + 3), (Ints{7, 7, 3}));
    EXPECT_EQ(tqMath_isIntInList(list, count, 3) * 10 + tqMath_isIntInList(list, count, 4) + tqMath_isIntInList(list, 2, 3), 10);
    tqMath_freeIntList(&list);
    EXPECT_EQ(list, nullptr);
}

TEST(TimeStrings, MonthTitleAndAsciiTime) {
    // Months beyond the year wrap into the next or the previous one.
    for (auto [mon, want] : {std::pair{1, "January 2009"}, {12, "December 2009"}, {13, "January 2010"}, {0, "December 2008"}})
        EXPECT_EQ(edited("", [&](char* b) { tqMisc_buildTimeString(b, mon, 2009); }), want);
    // "Thu Mar 04 17:06:09 2010": the day always has two digits, no newline at the end.
    const char* form = "[A-Z][a-z]{2} [A-Z][a-z]{2} [0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2} [0-9]{4}";
    const char* a = tqMisc_getAsciiTimeA();
    EXPECT_THAT(a, ::testing::MatchesRegex(form));
    EXPECT_EQ(a, tqMisc_getAsciiTimeA());
    EXPECT_THAT(narrow(tqMisc_getAsciiTimeW()), ::testing::MatchesRegex(form));
}

TEST(Ranges, IntegerAndDoubleRangeTexts) {
    // {text, allowSingle, low in, high in} -> {result, low out, high out, isRange}
    const std::tuple<const char*, int, int, int, Ints> cases[] = {
        {"5-10", 0, 0, 0, {1, 5, 10, 1}}, {"10-5", 0, 0, 0, {1, 10, 5, 1}},  // no limits: bounds win
        {"7", 0, 0, 0, {0, 7, 7, 0}},     {"7", 5, 0, 0, {1, 7, 7, 0}},      {"5-x", 1, 0, 0, {0, 5, 0, 0}},
        {"", 1, 0, 0, {0, 0, 0, 0}},      {"-5--3", 1, -9, 0, {1, -5, -3, 1}}, {"-5-3", 1, -9, 9, {1, -5, 3, 1}},
        {" 5 - 10 ", 1, 0, 0, {1, 5, 10, 1}}, {"5--3", 1, 0, 0, {1, 5, 5, 0}}, {"-5", 1, -9, 0, {1, -5, -5, 0}},
        {"5-10", 1, 0, 8, {0, 5, 8, 1}},  {"5-7", 1, 0, 8, {1, 5, 7, 1}},    {"3-7", 1, 4, 0, {1, 4, 7, 1}},
    };
    for (const auto& [text, allowSingle, lowIn, highIn, want] : cases) {
        int low = lowIn, high = highIn, isRange = -1;
        const int r = tqString_isValidNumericRangeA(text, allowSingle, &low, &high, &isRange);
        EXPECT_EQ((Ints{r, low, high, isRange}), want) << "'" << text << "'";
    }
    // Without bound pointers the order of the ends decides.
    EXPECT_EQ(tqString_isValidNumericRangeA("5-10", 0, nullptr, nullptr, nullptr) * 10 +
                  tqString_isValidNumericRangeA("10-5", 0, nullptr, nullptr, nullptr), 10);
    int lo = -100, hi = 0, isRange = -1;
    EXPECT_EQ((Ints{tqString_isValidNumericRangeW(u"-5--3", 1, &lo, &hi, nullptr), lo, hi}), (Ints{1, -5, -3}));
    // List texts of numbers: a "," or "-" makes them ranges.
    for (auto [text, want] : {std::pair{"1, 3-5", Ints{1, 1}}, {"12", Ints{1, 0}}, {"1a", Ints{0, 0}}, {"  ", Ints{0, 0}}})
        EXPECT_EQ((Ints{tqStringAsList_isNumericRange(text, &isRange), isRange}), want) << text;
    int low = 0, high = 0;
    auto match = [&](const char* list, const char* candidate) {
        low = high = 0;
        return tqStringAsList_matchStringInAlphaNumericRangeA(list, candidate, 1, " ", " ", nullptr, ",", nullptr,
                                                               &low, &high, &isRange, 0);
    };
    EXPECT_EQ((Ints{match("1-5,7-9", "7"), low, high, isRange}), (Ints{1, 7, 9, 1}));
    EXPECT_EQ((Ints{match("1-5,AB*", "AB12"), low}), (Ints{1, 0}));  // a pattern match leaves the bounds
    EXPECT_EQ(match("1-5, 12", "12") + match("1-5,ab*", "AB12"), 2);  // case-insensitive pattern
    EXPECT_EQ(match("1-5,7-9", "6") + match("", "1"), 0);
    EXPECT_EQ(tqStringAsList_matchStringInAlphaNumericRangeW(u"1-5,AB*", u"AB12", 1, u" ", u" ", nullptr, u",",
                                                              nullptr, nullptr, nullptr, nullptr, 0), 1);
    auto numeric = [](const char* list, int low, int high) {
        return edited(list, [&](char* b) { tqStringFixed_listFormatNumericRangeA(b, low, high); });
    };
    EXPECT_EQ(numeric("7,1-3,2", 1, 10), "1-3,7");
    EXPECT_EQ(numeric("20, 0, 4-5, 16", 1, 10), "4-5,16");  // the 2-byte window holds 1 to 16
    EXPECT_EQ(numeric("3,1", 5, 5) + numeric("3,1", -1, 5), "3,13,1");
    tqWChar w[64] = u"9, 8,1";
    tqStringFixed_listFormatNumericRangeW(w, 0, 10);
    EXPECT_EQ(narrow(w), "1,8-9");
    char dl[256] = "";
    tqStringFixed_listAddDoubleRangeA(dl, 2, 2, 2);
    tqStringFixed_listAddDoubleRangeA(dl, 1.25, 3, 2);
    EXPECT_STREQ(dl, "2.0, 1.25-3.0");
    // An entry splits at its first "-", wherever it stands: a leading minus or an
    // exponent's sign starts the second value. {text, used, low, high}
    double dlo = 0, dhi = 0;
    for (auto [entry, used, low, high] :
         {std::tuple{"7.5-2.5, 9", 8, 2.5, 7.5}, {" 9", 2, 9.0, 9.0}, {", ,", 1, 0.0, 0.0}, {"1e-5", 4, 1e-5, 5.0},
          {"2.5E-3-9", 8, 2.5e-3, 3.0}, {"-2.5--1", 7, -2.5, 2.5}, {"-4", 2, -4.0, 4.0}, {"7-", 2, 7.0, 7.0},
          {"5e-1-", 5, 0.5, 1.0}}) {
        EXPECT_EQ(tqStringFixed_listReadDoubleRangeA(entry, &dlo, &dhi), used) << entry;
        EXPECT_EQ((Doubles{dlo, dhi}), (Doubles{low, high})) << entry;
    }
    EXPECT_EQ(tqStringFixed_listReadDoubleRangeA("", &dlo, &dhi), 0);
    EXPECT_EQ((Doubles{tqStringFixed_listReadDoubleRangeW(u"-2.5--1", &dlo, &dhi) * 1.0, dlo, dhi}), (Doubles{7, -2.5, 2.5}));
    for (auto [list, precision, want] : {std::tuple{"4-4.5, 1-5,2-3, 6,5-1", 1, "1.0-5.0, 6.0"},
                                         {"3, 1.5-2, 1.75, 2-4", 2, "1.5-2.0, 2.0-4.0"},
                                         {"-3--1, -2, 1e1", 1, "-3.0-3.0, 10.0"},
                                         {"250, 100", 0, "1, 25"},  // without a decimal point the zeros go as well
                                         {"", 1, ""}})
        EXPECT_EQ(edited(list, [&](char* b) { tqStringFixed_listFormatDoubleRangeA(b, precision); }), want);
    tqWChar wd[64] = u"4-4.5, 1-5,2-3, 6,5-1";
    tqStringFixed_listFormatDoubleRangeW(wd, 1);
    EXPECT_EQ(narrow(wd), "1.0-5.0, 6.0");
    auto find = [](double v, const char* list, double tolerance) { return tqStringAsList_findDoubleA(v, list, ",", tolerance); };
    EXPECT_EQ((Ints{find(2.0, "1.0, 2.0, 3.0", 0.01), find(2.0, "1.0, 2.0, 3.0", 0), find(1.0, "1.0-5.0, 6.0", 0.5),
                    tqStringAsList_findDoubleW(3.0, u"1.0, 2.0, 3.0", u",", 0.01)}), (Ints{9, -1, 8, 13}));
}

// A precision beyond what any double needs gives the text of the exact value, at once
// and in little memory; under an address-space limit the unbounded conversion fails.
const std::string kExactTenth = "0.1000000000000000055511151231257827021181583404541015625";

void formatWithHugePrecision() {
#ifndef __SANITIZE_ADDRESS__
    const rlimit limit{1u << 30, 1u << 30};
    setrlimit(RLIMIT_AS, &limit);
#endif
    char list[1024] = "", canonical[1024] = "2-1, 0.1";
    tqStringFixed_listAddDoubleRangeA(list, 0.1, 0.1, INT_MAX);
    tqStringFixed_listFormatDoubleRangeA(canonical, INT_MAX);
    tqWChar wide[64] = u"0.5";
    tqStringFixed_listFormatDoubleRangeW(wide, INT_MAX);
    std::exit(list == kExactTenth && canonical == kExactTenth + ", 1.0-2.0" && narrow(wide) == "0.5" ? 0 : 1);
}

TEST(Ranges, HugePrecisionIsCapped) {
    EXPECT_EXIT(formatWithHugePrecision(), ::testing::ExitedWithCode(0), "");
    char list[1024] = "";
    tqStringFixed_listAddDoubleRangeA(list, 0.1, 1.25, 1100);
    tqStringFixed_listAddDoubleRangeA(list, 2, 2, -5);  // a negative precision means the default six
    EXPECT_EQ(list, kExactTenth + "-1.25, 2.0");
}
