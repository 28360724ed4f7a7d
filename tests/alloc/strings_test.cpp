// Frame, string toolkit and numerics under failing allocations. Texts are longer than the standard
// library's short-string room so that the scratch copies really come from the heap.
#include <cstring>

#include "alloc/failpoint.hpp"

namespace {

using namespace failpoint;

const char* const kLong = "Alpha Beta Gamma Delta Epsilon";
const char16_t* const kLongW = u"Alpha Beta Gamma Delta Epsilon";

// The block, count and kept contents of a reserve-and-halve call for 1000 bytes: the
// reserve refused, a halved block, or none.
const Accept halved = oneOf({show(0, 1000, 1), show(1, 500, 1), show(1, 250, 1), show(1, 125, 1), show(1, 62, 1), show(1, 31, 1),
                             show(1, 15, 1), show(1, 7, 1), show(1, 3, 1), show(1, 1, 1), show(0, 1, 1)});

TEST(AllocationFailure, Frame) {
    sweepFamily("frame", {
        // A failed append drops the string; the next one starts a new string.
        {"tqStringDynamic_addA (two appends)",
         [] {
             char* s = nullptr;
             armed([&] { return tqStringDynamic_addA(&s, kLong), tqStringDynamic_addA(&s, "cd"); });
             const Outcome o = show(s);
             return tqStringDynamic_freeA(&s), o;
         },
         oneOf({"NULL", show("cd")})},
        {"tqStringDynamic_addV",
         [] {
             char* s = nullptr;
             tqStringDynamic_addA(&s, "x=");
             armed([&] { return tqStringDynamic_addV(&s, "%s %d", kLong, 42); });
             const Outcome o = show(s);
             return tqStringDynamic_freeA(&s), o;
         },
         oneOf({"NULL"})},
        {"tqString_catSizedV", edit("x=", [](char* d) { return tqString_catSizedV(d, 40, "%s!", kLong); }), oneOf({show(0, "x=")})},
        {"tqMisc_callocBuffer",
         [] {
             unsigned obtained = 7;
             void* p = armed([&] { return tqMisc_callocBuffer(1000, &obtained); });
             const Outcome o = show(p != nullptr, obtained, 1);
             return tqMisc_freeBuffer(&p), o;
         },
         halved},
        {"tqMisc_reallocBuffer",
         [] {
             unsigned obtained = 0;
             void* old = tqMisc_callocBuffer(100, &obtained);
             std::memset(old, 'x', 100);
             void* p = armed([&] { return tqMisc_reallocBuffer(old, 1000, &obtained); });
             // On NULL the caller still owns the old block, unchanged.
             void* now = p ? p : old;
             const std::size_t n = p && obtained < 100 ? obtained : 100;
             const Outcome o = show(p != nullptr, obtained, std::string(static_cast<char*>(now), n) == std::string(n, 'x'));
             return tqMisc_freeBuffer(&now), o;
         },
         halved},
    });
}

// What the case-insensitive replacement of "one" leaves after `passes` passes.
const char* const kReplaceSource = "one two one three one four";
const char* const kReplacement = "<the number 1, in words>";  // longer than a string holds in place
std::string replaced(int passes) {
    std::string s = kReplaceSource;
    for (std::size_t at = 0; passes-- > 0; ++at) s.replace(at = s.find("one", at), 3, kReplacement);
    return s;
}

TEST(AllocationFailure, Strings) {
    sweepFamily("strings", {
        {"tqString_getTokenA (destination inside the token)",
         edit("  alpha beta gamma, rest", [](char* b) { return tqString_getTokenA(b + 3, b, " ", " ", nullptr, ",", nullptr); }),
         oneOf({show(0, "  alpha beta gamma, rest")})},
        {"tqString_getTokenSizedExtW (destination inside the token)",
         edit(u"  'alpha, beta' gamma; rest",
              [](tqWChar* b) { return tqString_getTokenSizedExtW(b + 2, b, u" ", u" ", nullptr, u",;", nullptr, u"'", 0); }),
         oneOf({show(0, u"  'alpha, beta' gamma; rest")})},
        {"tqString_strNoCaseW", result([] { return tqString_strNoCaseW(kLongW, u"GAMMA"); }), oneOf({"NULL"})},
        {"tqString_CompareLogicalNames2 (list)",
         result([] {
             return tqString_CompareLogicalNames2("  first pattern here*;  second pattern ?x* ", "second pattern AXIS", 1, ';', 0);
         }),
         oneOf({"0"})},
        {"tqString_replaceCharsA", edit("#", [](char* d) { return tqString_replaceCharsA(d, kLong, "ae", "<>", 1); }),
         oneOf({show(0, "#")})},
        // A failure ends the work with what the last pass left (or nothing written).
        {"tqString_replace (case-insensitive, three passes)",
         edit("#", [](char* d) { return tqString_replace(d, kReplaceSource, "ONE", kReplacement, 127, 0); }),
         [](const Outcome& o) {
             for (int passes = 0; passes <= 3; ++passes)
                 if (o == show(0, replaced(passes)) || o == show(1, replaced(passes))) return true;
             return o == show(0, "#");
         }},
        {"tqString_matchWithWildcards (level 3)",
         result([] { return tqString_matchWithWildcards("[al,be]pha*G[a-z]mma|Delta*[^x]silon", kLong, 3, 0); }), oneOf({"0"})},
        {"tqString_findSubStringWithWildcards",
         result([] {
             const char* at = tqString_findSubStringWithWildcards(kLong, "Gamma*Eps", 1);
             return at ? at - kLong : -1;
         }),
         oneOf({"-1"})},
        {"tqString_expandFirstWildcard",
         edit("#",
              [](char* d) {
                  const char* end = nullptr;
                  tqString_expandFirstWildcard(d, "Alpha Beta*Epsilon", kLong, &end, 1);
                  return end ? end - kLong : -1;
              }),
         oneOf({show(-1, "")})},
        {"tqString_replaceWithWildcards",
         edit("#", [](char* d) { return tqString_replaceWithWildcards("report-2024-final.txt", d, "*-*.txt", "*.bak/?", 1); }),
         oneOf({show(0, "")})},
        {"tqString_listIsMemberW",
         result([] { return tqString_listIsMemberW(u"red, Green , blue, yellow", u"green", u",", u" ", 1); }), oneOf({"0"})},
        {"tqString_listsAreSame (any order)",
         result([] { return tqString_listsAreSame("alpha, beta, gamma, delta", "delta,gamma,beta,alpha", ",", " ", 1, 1); }),
         oneOf({"0"})},
        // Nothing done: the list as it was.
        {"tqStringFixed_listAppendA", edit("red", [](char* l) { return tqStringFixed_listAppendA(l, "%s no. %d", kLong, 5); }),
         oneOf({show(0, "red")})},
        {"tqStringFixed_listAppendW",
         edit(u"red", [](tqWChar* l) { return tqStringFixed_listAppendW(l, u"%s no. %d %hs", kLongW, 5, "end"); }),
         oneOf({show(0, "red")})},
    });
}

// The members' data texts in order ("-" for none), "broken" when a prev link does not
// mirror a next, NULL for no list.
Outcome members(tqListNode* head) {
    if (!head) return "NULL";
    std::string out;
    for (tqListNode* n = head; n; n = n->next) {
        if (n->next && n->next->prev != n) return "broken";
        if (n != head) out += n->data ? std::string(static_cast<const char*>(n->data)) + "," : "-,";
    }
    return show(out);
}

// A list of two members with data `first`, changed by `change` inside the window.
template <class F>
std::function<Outcome()> onList(const char* first, F change) {
    return [=] {
        tqListNode* list = tqList_create(8, 0, 0, 0);
        tqList_insertAfterMemberIndex(list, 0, 2, first);
        armed([&] { return change(list); });
        const Outcome o = members(list);
        tqList_destroy(&list);
        return o;
    };
}

// Members cut short: a run that stopped inserting keeps whole members (0 to `most` of
// `piece` after `kept`, then the `tail` after the insertion point).
Accept fewerOf(const std::string& kept, const std::string& piece, int most, const std::string& tail) {
    return [=](const Outcome& o) {
        std::string s = kept;
        for (int k = 0; k <= most; ++k, s += piece)
            if (o == show(s + tail)) return true;
        return false;
    };
}

const char* const kMask = "\xAA\xAA\xAA\xAA\xAA\xAA\xAA\xAA";  // a mask's bytes before it is built

TEST(AllocationFailure, Numerics) {
    sweepFamily("numerics", {
        {"tqList_create (5 members)",
         [] {
             tqListNode* list = armed([] { return tqList_create(8, 0, 7, 5); });
             const Outcome o = members(list);
             tqList_destroy(&list);
             return o;
         },
         [](const Outcome& o) { return o == "NULL" || fewerOf("", "-,", 5, "")(o); }},
        {"tqList_insertAfterMemberIndex (3 with data)",
         onList("first..", [](tqListNode* l) { return tqList_insertAfterMemberIndex(l, 1, 3, "abcdefg"); }),
         fewerOf("first..,", "abcdefg,", 3, "first..,")},
        // A member whose block cannot be had is left empty.
        {"tqList_setMemberByIndex", onList("old....", [](tqListNode* l) { return tqList_setMemberByIndex(l, 2, "new...."); }),
         oneOf({show("old....,-,")})},
        // The count always matches the array; a value that could not be added is missing.
        {"tqMath_addIntToList (two values)",
         [] {
             int* list = nullptr;
             int count = 0;
             for (int v : {1, 2, 3}) tqMath_addIntToList(&list, v, &count);
             armed([&] { return tqMath_addIntToList(&list, 4, &count), tqMath_addIntToList(&list, 5, &count); });
             std::string values;
             for (int i = 0; i < count; ++i) values += std::to_string(list[i]) + ",";
             tqMath_freeIntList(&list);
             return show(count, values);
         },
         oneOf({show(3, "1,2,3,"), show(4, "1,2,3,4,"), show(4, "1,2,3,5,")})},
        {"tqStringAsList_isNumericRange",
         [] {
             int isRange = -1;
             const int ok = armed([&] { return tqStringAsList_isNumericRange(" 1-3, 5,\t7-9, 11, 13-20", &isRange); });
             return show(ok, isRange);
         },
         oneOf({show(0, 0)})},
        {"tqStringAsList_matchStringInAlphaNumericRangeA",
         result([] {
             int low = 0, high = 0, isRange = 0;
             return tqStringAsList_matchStringInAlphaNumericRangeA("1-3, A1?, 10-20, lev*el", "15", 1, " ", " ", nullptr, ",",
                                                                   nullptr, &low, &high, &isRange, 1);
         }),
         oneOf({"0"})},
        // Nothing done: the list as it was.
        {"tqStringFixed_listFormatNumericRangeA",
         edit("70,1-3,2,40-45,5", [](char* l) { return tqStringFixed_listFormatNumericRangeA(l, 0, 100); }),
         oneOf({show(0, "70,1-3,2,40-45,5")})},
        {"tqStringFixed_listFormatDoubleRangeA",
         edit("4-4.5, 1-5,2-3, 6,5-1", [](char* l) { return tqStringFixed_listFormatDoubleRangeA(l, 1); }),
         oneOf({show(0, "4-4.5, 1-5,2-3, 6,5-1")})},
        {"tqStringFixed_listFormatDoubleRangeW",
         edit(u"4-4.5, 1-5,2-3, 6,5-1", [](tqWChar* l) { return tqStringFixed_listFormatDoubleRangeW(l, 1); }),
         oneOf({show(0, "4-4.5, 1-5,2-3, 6,5-1")})},
        {"tqStringAsList_findDoubleW", result([] { return tqStringAsList_findDoubleW(2.5, u"1.0, 2.0, 2.5, 3.0", u",", 0.01); }),
         oneOf({"-1"})},
        {"tqString_buildBitMaskFromStringA",
         edit(kMask, [](char* m) { return tqString_buildBitMaskFromStringA(reinterpret_cast<unsigned char*>(m), "1-3, 5, 30-40", 8, 0); }),
         oneOf({show(0, kMask)})},
        {"tqString_buildStringFromBitMaskA",
         edit("#",
              [](char* out) {
                  const unsigned char mask[8] = {0xEE, 0x03, 0, 0xC0, 0xFF, 0x01, 0, 0x80};
                  return tqString_buildStringFromBitMaskA(out, mask, 8, 1000);
              }),
         oneOf({show(0, "")})},
        {"tqMath_calcSHA1 (no allocation)",
         result([] {
             unsigned digest[5] = {0};
             return tqMath_calcSHA1(digest, "abc", 3, 1);
         }),
         nullptr},
    });
}

}  // namespace
