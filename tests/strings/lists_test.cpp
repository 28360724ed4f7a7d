// The list readers and the shortening against plain transcriptions of their steps
// (a membership walk per entry, a rescan per cut), on generated lists; then sizes,
// entries, appending formatted entries and shortening, case by case.
#include <gtest/gtest.h>

#include <cctype>
#include <climits>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "orvane.h"

namespace {

std::vector<std::string> walk(const std::string& list, const char* seps, const char* trim) {
    std::vector<std::string> out;
    std::vector<char> buf(list.size() + 1);
    for (std::size_t pos = 0;;) {
        const int n = tqString_getTokenExtA(buf.data(), list.c_str() + pos, trim, trim, nullptr, seps, nullptr, nullptr);
        if (n <= 0) return out;
        out.emplace_back(std::string(buf.data()).substr(0, 1023));
        pos += static_cast<std::size_t>(n);
    }
}

std::string folded(std::string s, bool ignoreCase) {
    for (char& c : s) c = ignoreCase ? static_cast<char>(std::toupper(static_cast<unsigned char>(c))) : c;
    return s;
}

bool member(const std::string& list, const std::string& item, const char* seps, const char* trim, bool ic) {
    for (const auto& e : walk(list, seps, trim))
        if (folded(e, ic) == folded(item, ic)) return true;
    return false;
}

int sameAnyOrder(const std::string& a, const std::string& b, const char* seps, const char* trim, bool ic) {
    bool any = false;
    for (const auto& e : walk(a, seps, trim)) {
        if (e.empty()) continue;
        if (!member(b, e, seps, trim, ic)) return 0;
        any = true;
    }
    for (const auto& e : walk(b, seps, trim))
        if (!e.empty() && !member(a, e, seps, trim, ic)) return 0;
    return any ? 1 : 0;
}

std::string truncated(std::string list, char sep, int maxLength, const std::string& groups) {
    const std::string marker = "..";
    if (maxLength < 4 || list.size() <= static_cast<std::size_t>(maxLength)) return list;
    const std::size_t target = maxLength - marker.size();
    std::size_t cut = target;
    for (; list.size() > target; cut = list.size()) {
        const std::size_t at = list.rfind(sep);
        if (at == std::string::npos) {
            cut = target;
            break;
        }
        std::size_t grouped = 0;
        for (std::size_t k = at; k < list.size(); ++k) grouped += groups.find(list[k]) != std::string::npos;
        list.resize(at);
        if (grouped % 2 == 1) {  // inside an open group: the whole entry that holds it goes
            const std::size_t open = list.rfind(groups[0]);
            if (open == std::string::npos || open == 0) continue;
            const std::size_t before = list.rfind(sep, open - 1);
            if (before != std::string::npos) list.resize(before);
        }
    }
    if (list.size() - std::min(cut, list.size()) < target) list = list.substr(0, cut) + marker;
    return list;
}

}  // namespace

TEST(ListsDifferential, MembershipAnyOrderAndShortening) {
    std::mt19937 rng(99);
    const std::string alphabet = "aAbB ,;()";
    auto text = [&](std::size_t n) {
        std::string s;
        for (std::size_t k = rng() % (n + 1); k > 0; --k) s += alphabet[rng() % alphabet.size()];
        return s;
    };
    for (int round = 0; round < 4000; ++round) {
        const std::string a = text(30), b = text(30), item = text(3);
        const char* seps = round % 2 ? "," : ",;";
        const char* trim = round % 3 ? " " : nullptr;
        const bool ic = round % 4 < 2;
        SCOPED_TRACE("[" + a + "] [" + b + "] [" + item + "] " + seps);
        ASSERT_EQ(tqString_listIsMemberA(a.c_str(), item.c_str(), seps, trim, ic), member(a, item, seps, trim, ic) ? 1 : 0);
        ASSERT_EQ(tqString_listsAreSame(a.c_str(), b.c_str(), seps, trim, ic, 1), sameAnyOrder(a, b, seps, trim, ic));
        ASSERT_EQ(tqString_listsAreSame(a.c_str(), a.c_str(), seps, trim, ic, 1), sameAnyOrder(a, a, seps, trim, ic));

        const int maxLength = static_cast<int>(rng() % 25);
        const std::string groups = round % 2 ? "()" : "";
        std::vector<char> buf(a.size() + 8, '\0');
        std::copy(a.begin(), a.end(), buf.begin());
        tqStringFixed_listTruncateBySeparatorExtA(buf.data(), "..", ',', maxLength, groups.empty() ? nullptr : "()");
        ASSERT_EQ(std::string(buf.data()), truncated(a, ',', maxLength, groups)) << "max " << maxLength;
    }
}

TEST(Lists, SizeEntriesMembershipAndSameness) {
    for (auto [list, quotes, want] : {std::tuple<const char*, const char*, int>{"a, b, c", nullptr, 3}, {"a,b,", nullptr, 2},
                                      {"a,,b", nullptr, 3}, {"", nullptr, 0}, {"'a,b',c", "'", 2}})
        EXPECT_EQ(tqString_listGetSize(list, ",", quotes), want) << list;
    const char* l = "a, b, c";
    const tqWChar* wl = u"x;y";
    EXPECT_TRUE(tqString_listGetEntryA(l, ",", nullptr, 1) == l + 2 && !tqString_listGetEntryA(l, ",", nullptr, 3) &&
                tqString_listGetEntryW(wl, u";", nullptr, 1) == wl + 2);
    // Entries are compared up to 1023 characters.
    const std::string longEntry(1500, 'e');
    EXPECT_EQ(tqString_listIsMemberExt("'x,y', z", "x,y", ",", " ", "'", 0) +
                  tqString_listIsMemberW(u"r\u00e9d, blue", u"r\u00e9d", u",", u" ", 0) +
                  tqString_listIsMemberA(("x," + longEntry).c_str(), std::string(1023, 'e').c_str(), ",", nullptr, 0), 3);
    // In order (any order is held to the transcription above), the shorter list is a prefix.
    // {a, b, trim, ignore case, answer}
    const std::tuple<const char*, const char*, const char*, int, int> same[] = {
        {"a,b,c", "a, b, c", " ", 0, 1}, {"a,b", "a,c", " ", 0, 0}, {"a,b", "b,a", " ", 0, 0}, {"a,b", "a,b,c", " ", 0, 1},
        {"A,b", "a,B", nullptr, 1, 1},   {",", ",", nullptr, 0, 0}};
    for (const auto& [a, b, trim, ic, want] : same) EXPECT_EQ(tqString_listsAreSame(a, b, ",", trim, ic, 0), want) << a << " / " << b;
}

TEST(Lists, AppendFormatsEntries) {
    // The first entry is capitalised; no separator after a line feed; the separator comes
    // even for an empty entry; an entry is cut at 1023 characters.
    char list[2200] = "";
    tqStringFixed_listAppendA(list, "%s", "red"), tqStringFixed_listAppendA(list, "%d", 5);
    EXPECT_STREQ(list, "Red, 5");
    std::snprintf(list, sizeof list, "x\n");
    tqStringFixed_listAppendA(list, "%s", "y");
    EXPECT_STREQ(list, "x\ny");
    list[0] = '\0';
    tqStringFixed_listAppendExtA(list, nullptr, 0, "%s", "a"), tqStringFixed_listAppendExtA(list, "; ", 0, "%s", "");
    EXPECT_STREQ(list, "a; ");
    list[0] = '\0';
    tqStringFixed_listAppendA(list, "%s", std::string(2000, 'z').c_str());
    EXPECT_EQ(std::string(list), "Z" + std::string(1022, 'z'));
    tqWChar w[256] = u"";
    tqStringFixed_listAppendW(w, u"%s=%d", u"width", 12), tqStringFixed_listAppendW(w, u"%hs|%5.1f|%-3c|%x%%", "n", 2.25, u'q', 255);
    tqStringFixed_listAppendExtW(w, u"/", 0, u"%S", "8bit");
    EXPECT_EQ(std::u16string(w), u"Width=12, n|  2.2|q  |ff%/8bit");
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
            // The same conversion in both forms, with this width and precision.
            auto same = [&](const tqWChar* wf, const char* nf, auto v) {
                EXPECT_EQ(wide(wf, width, precision, v), narrow(nf, width, precision, v)) << nf;
            };
            same(u"%*.*d", "%*.*d", -7), same(u"%-*.*x", "%-*.*x", 255u), same(u"%0*.*lld", "%0*.*lld", -1234567890123LL);
            same(u"%*.*f|", "%*.*f|", 2.5), same(u"%0*.*e", "%0*.*e", -1e-300), same(u"%*.*g|", "%*.*g|", 0.1);
            same(u"%#*.*G|", "%#*.*G|", 0.1), same(u"%*.*Lf|", "%*.*Lf|", 1e-4000L);
            same(u"%*.*hs|", "%*.*s|", text.c_str()), same(u"%-*.*hs|", "%-*.*s|", "ab");
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
