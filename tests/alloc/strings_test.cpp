// Frame and string toolkit under failing allocations. Texts are longer than the standard
// library's short-string room so that the scratch copies really come from the heap.
#include <cstring>
#include <string>

#include "alloc/failpoint.hpp"

namespace {

using namespace failpoint;

const char* const kLong = "Alpha Beta Gamma Delta Epsilon";
const char16_t* const kLongW = u"Alpha Beta Gamma Delta Epsilon";

// (block handed out, count obtained, old contents kept) for every way the reserve and
// halving can end with `request` bytes wanted: the reserve refused, a halved block, none.
std::function<bool(const Outcome&)> halvings(unsigned request, int kept) {
    return [=](const Outcome& o) {
        if (o == show(0, request, kept) || o == show(0, 1, kept)) return true;
        for (unsigned n = request / 2; n > 0; n /= 2)
            if (o == show(1, n, kept)) return true;
        return false;
    };
}

TEST(AllocationFailure, Frame) {
    sweepFamily("frame", {
        {"tqStringDynamic_addA (two appends)",
         [] {
             char* s = nullptr;
             armed([&] { return tqStringDynamic_addA(&s, kLong), tqStringDynamic_addA(&s, "cd"); });
             const Outcome o = show(s);
             tqStringDynamic_freeA(&s);
             return o;
         },
         // A failed append drops the string; the next one starts a new string.
         oneOf({"NULL", "\"cd\""})},
        {"tqStringDynamic_addW (two appends)",
         [] {
             tqWChar* s = nullptr;
             armed([&] { return tqStringDynamic_addW(&s, kLongW), tqStringDynamic_addW(&s, u"cd"); });
             const Outcome o = show(s);
             tqStringDynamic_freeW(&s);
             return o;
         },
         oneOf({"NULL", "u\"cd\""})},
        {"tqStringDynamic_addV",
         [] {
             char* s = nullptr;
             tqStringDynamic_addA(&s, "x=");
             armed([&] { return tqStringDynamic_addV(&s, "%s %d", kLong, 42); });
             const Outcome o = show(s);
             tqStringDynamic_freeA(&s);
             return o;
         },
         oneOf({"NULL"})},
        {"tqString_catSizedV",
         [] {
             char dest[64] = "x=";
             const int n = armed([&] { return tqString_catSizedV(dest, 40, "%s!", kLong); });
             return show(n, dest);
         },
         oneOf({show(0, "x=")})},
        {"tqMisc_callocBuffer",
         [] {
             unsigned obtained = 7;
             void* p = armed([&] { return tqMisc_callocBuffer(1000, &obtained); });
             const Outcome o = show(p != nullptr, obtained, 1);
             tqMisc_freeBuffer(&p);
             return o;
         },
         halvings(1000, 1)},
        {"tqMisc_reallocBuffer",
         [] {
             unsigned obtained = 0;
             void* old = tqMisc_callocBuffer(100, &obtained);
             std::memset(old, 'x', 100);
             void* p = armed([&] { return tqMisc_reallocBuffer(old, 1000, &obtained); });
             // On NULL the caller still owns the old block, unchanged.
             void* now = p ? p : old;
             const int kept = std::memcmp(now, std::string(100, 'x').data(), obtained < 100 && p ? obtained : 100) == 0;
             const Outcome o = show(p != nullptr, obtained, kept);
             tqMisc_freeBuffer(&now);
             return o;
         },
         halvings(1000, 1)},
    });
}

// Source of a replacement in several passes, and what each pass leaves.
const char* const kReplaceSource = "one two one three one four";
const char* const kPasses[] = {"one two one three one four", "1 two one three one four", "1 two 1 three one four",
                               "1 two 1 three 1 four"};

TEST(AllocationFailure, Strings) {
    sweepFamily("strings", {
        {"tqString_getTokenA (destination inside the token)",
         [] {
             char buf[64] = "  alpha beta gamma, rest";
             const int n = armed([&] { return tqString_getTokenA(buf + 3, buf, " ", " ", nullptr, ",", nullptr); });
             return show(n, buf);
         },
         oneOf({show(0, "  alpha beta gamma, rest")})},
        {"tqString_getTokenSizedExtW (destination inside the token)",
         [] {
             tqWChar buf[64];
             std::memcpy(buf, u"  'alpha, beta' gamma; rest", 28 * sizeof(tqWChar));
             const int n = armed([&] {
                 return tqString_getTokenSizedExtW(buf + 2, buf, u" ", u" ", nullptr, u",;", nullptr, u"'", 0);
             });
             return show(n, buf);
         },
         oneOf({show(0, u"  'alpha, beta' gamma; rest")})},
        {"tqString_strNoCaseW",
         [] { return show(armed([] { return tqString_strNoCaseW(kLongW, u"GAMMA"); })); },
         oneOf({"NULL"})},
        {"tqString_CompareLogicalNames2 (list)",
         [] {
             return show(armed([] {
                 return tqString_CompareLogicalNames2("  first pattern here*;  second pattern ?x* ", "second pattern AXIS",
                                                      1, ';', 0);
             }));
         },
         oneOf({"0"})},
        {"tqString_replaceCharsA",
         [] {
             char dest[256] = "#";
             const int n = armed([&] { return tqString_replaceCharsA(dest, kLong, "ae", "<>", 1); });
             return show(n, dest);
         },
         oneOf({show(0, "#")})},
        {"tqString_replaceCharsW",
         [] {
             tqWChar dest[256] = u"#";
             const int n = armed([&] { return tqString_replaceCharsW(dest, kLongW, u"ae", u"<>", 1); });
             return show(n, dest);
         },
         oneOf({show(0, u"#")})},
        {"tqString_replace (case-insensitive, three passes)",
         [] {
             char dest[64] = "#";
             const int n = armed([&] { return tqString_replace(dest, kReplaceSource, "ONE", "1", 63, 0); });
             return show(n, dest);
         },
         // A failure ends the work with what the last pass left (or nothing written).
         [](const Outcome& o) {
             if (o == show(0, "#")) return true;
             for (const char* pass : kPasses)
                 if (o == show(0, pass) || o == show(1, pass)) return true;
             return false;
         }},
        {"tqString_matchWithWildcards (level 3)",
         [] {
             return show(armed([] {
                 return tqString_matchWithWildcards("[al,be]pha*G[a-z]mma|Delta*[^x]silon", kLong, 3, 0);
             }));
         },
         oneOf({"0"})},
        {"tqString_matchWithWildcardsExtW (level 3)",
         [] {
             return show(armed([] {
                 return tqString_matchWithWildcardsExtW(u"[al,be]pha*G[a-z]mma|Delta*[^x]silon", kLongW, 3, 0);
             }));
         },
         oneOf({"0"})},
        {"tqString_findSubStringWithWildcards",
         [] {
             const char* at = armed([] { return tqString_findSubStringWithWildcards(kLong, "Gamma*Eps", 1); });
             return show(at ? at - kLong : -1);
         },
         oneOf({"-1"})},
        {"tqString_expandFirstWildcard",
         [] {
             char dest[64] = "#";
             const char* end = nullptr;
             armed([&] { return tqString_expandFirstWildcard(dest, "Alpha Beta*Epsilon", kLong, &end, 1); });
             return show(dest, end ? end - kLong : -1);
         },
         oneOf({show("", -1)})},
        {"tqString_replaceWithWildcards",
         [] {
             char dest[512] = "#";
             armed([&] { return tqString_replaceWithWildcards("report-2024-final.txt", dest, "*-*.txt", "*.bak/?", 1); });
             return show(dest);
         },
         oneOf({show("")})},
        {"tqString_listIsMemberA",
         [] {
             return show(armed([] { return tqString_listIsMemberA("red, Green , blue, yellow", "green", ",", " ", 1); }));
         },
         oneOf({"0"})},
        {"tqString_listIsMemberW",
         [] {
             return show(armed([] { return tqString_listIsMemberW(u"red, Green , blue, yellow", u"green", u",", u" ", 1); }));
         },
         oneOf({"0"})},
        {"tqString_listsAreSame (any order)",
         [] {
             return show(armed([] {
                 return tqString_listsAreSame("alpha, beta, gamma, delta", "delta,gamma,beta,alpha", ",", " ", 1, 1);
             }));
         },
         oneOf({"0"})},
        {"tqStringFixed_listAppendA",
         [] {
             char list[256] = "red";
             armed([&] { return tqStringFixed_listAppendA(list, "%s no. %d", kLong, 5); });
             return show(list);
         },
         // Nothing done: the list as it was.
         oneOf({show("red")})},
        {"tqStringFixed_listAppendW",
         [] {
             tqWChar list[256] = u"red";
             armed([&] { return tqStringFixed_listAppendW(list, u"%s no. %d %hs", kLongW, 5, "end"); });
             return show(list);
         },
         oneOf({show(u"red")})},
    });
}

}  // namespace
