// Containers and numerics under failing allocations.
#include <cstring>
#include <string>

#include "alloc/failpoint.hpp"

namespace {

using namespace failpoint;

// The members' data texts in order, or "broken" when a prev link does not mirror a next.
std::string members(tqListNode* head) {
    std::string out;
    for (tqListNode* n = head; n; n = n->next) {
        if (n->next && n->next->prev != n) return "broken";
        if (n != head) out += n->data ? std::string(static_cast<const char*>(n->data)) + "," : "-,";
    }
    return out;
}

std::string repeat(const std::string& piece, int times) {
    std::string out;
    while (times-- > 0) out += piece;
    return out;
}

// Accepts the undisturbed outcome cut short: a run that stopped inserting keeps whole
// members, so its text is a prefix of whole entries of `full` (with the tail after the
// insertion point).
std::function<bool(const Outcome&)> fewerOf(const std::string& kept, const std::string& piece, int most,
                                            const std::string& tail) {
    return [=](const Outcome& o) {
        for (int k = 0; k <= most; ++k)
            if (o == show(kept + repeat(piece, k) + tail)) return true;
        return false;
    };
}

TEST(AllocationFailure, Numerics) {
    sweepFamily("numerics", {
        {"tqList_create (5 members)",
         [] {
             tqListNode* list = armed([] { return tqList_create(8, 0, 7, 5); });
             const Outcome o = list ? show(members(list)) : "NULL";
             tqList_destroy(&list);
             return o;
         },
         [](const Outcome& o) { return o == "NULL" || fewerOf("", "-,", 5, "")(o); }},
        {"tqList_insertAfterMemberIndex (3 with data)",
         [] {
             tqListNode* list = tqList_create(8, 0, 0, 0);
             tqList_insertAfterMemberIndex(list, 0, 2, "first..");
             armed([&] { return tqList_insertAfterMemberIndex(list, 1, 3, "abcdefg"); });
             const Outcome o = show(members(list));
             tqList_destroy(&list);
             return o;
         },
         fewerOf("first..,", "abcdefg,", 3, "first..,")},
        {"tqList_setMemberByIndex",
         [] {
             tqListNode* list = tqList_create(8, 0, 0, 0);
             tqList_insertAfterMemberIndex(list, 0, 2, "old....");
             armed([&] { return tqList_setMemberByIndex(list, 2, "new...."); });
             const Outcome o = show(members(list));
             tqList_destroy(&list);
             return o;
         },
         // A member whose block cannot be had is left empty.
         oneOf({show("old....,-,")})},
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
         // The count always matches the array; a value that could not be added is missing.
         oneOf({show(3, "1,2,3,"), show(4, "1,2,3,4,"), show(4, "1,2,3,5,")})},
        {"tqStringAsList_isNumericRange",
         [] {
             int isRange = -1;
             const int ok = armed([&] { return tqStringAsList_isNumericRange(" 1-3, 5,\t7-9, 11, 13-20", &isRange); });
             return show(ok, isRange);
         },
         oneOf({show(0, 0)})},
        {"tqStringAsList_matchStringInAlphaNumericRangeA",
         [] {
             int low = 0, high = 0, isRange = 0;
             const int ok = armed([&] {
                 return tqStringAsList_matchStringInAlphaNumericRangeA("1-3, A1?, 10-20, lev*el", "15", 1, " ", " ",
                                                                       nullptr, ",", nullptr, &low, &high, &isRange, 1);
             });
             return show(ok, low, high, isRange);
         },
         [](const Outcome& o) { return o.rfind("0|", 0) == 0; }},
        {"tqStringFixed_listFormatNumericRangeA",
         [] {
             char list[256] = "70,1-3,2,40-45,5";
             armed([&] { return tqStringFixed_listFormatNumericRangeA(list, 0, 100); });
             return show(list);
         },
         // Nothing done: the list as it was.
         oneOf({show("70,1-3,2,40-45,5")})},
        {"tqStringFixed_listFormatNumericRangeW",
         [] {
             tqWChar list[256] = u"70,1-3,2,40-45,5";
             armed([&] { return tqStringFixed_listFormatNumericRangeW(list, 0, 100); });
             return show(list);
         },
         oneOf({show(u"70,1-3,2,40-45,5")})},
        {"tqStringFixed_listFormatDoubleRangeA",
         [] {
             char list[256] = "4-4.5, 1-5,2-3, 6,5-1";
             armed([&] { return tqStringFixed_listFormatDoubleRangeA(list, 1); });
             return show(list);
         },
         oneOf({show("4-4.5, 1-5,2-3, 6,5-1")})},
        {"tqStringFixed_listFormatDoubleRangeW",
         [] {
             tqWChar list[256] = u"4-4.5, 1-5,2-3, 6,5-1";
             armed([&] { return tqStringFixed_listFormatDoubleRangeW(list, 1); });
             return show(list);
         },
         oneOf({show(u"4-4.5, 1-5,2-3, 6,5-1")})},
        {"tqStringAsList_findDoubleW",
         [] { return show(armed([] { return tqStringAsList_findDoubleW(2.5, u"1.0, 2.0, 2.5, 3.0", u",", 0.01); })); },
         oneOf({"-1"})},
        {"tqString_buildBitMaskFromStringA",
         [] {
             unsigned char mask[8];
             std::memset(mask, 0xAA, sizeof mask);
             armed([&] { return tqString_buildBitMaskFromStringA(mask, "1-3, 5, 7-9, 30-40", 8, 0); });
             return show(std::string(reinterpret_cast<char*>(mask), 8) == std::string(8, '\xAA') ? "untouched" : "built",
                         mask[0], mask[4]);
         },
         oneOf({show("untouched", 0xAA, 0xAA)})},
        {"tqString_buildStringFromBitMaskA",
         [] {
             const unsigned char mask[8] = {0xEE, 0x03, 0, 0xC0, 0xFF, 0x01, 0, 0x80};
             char out[128] = "#";
             armed([&] { return tqString_buildStringFromBitMaskA(out, mask, 8, 1000); });
             return show(out);
         },
         oneOf({show("")})},
        {"tqMath_calcSHA1 (no allocation)",
         [] {
             unsigned digest[5] = {0};
             armed([&] { return tqMath_calcSHA1(digest, "abc", 3, 1); });
             return show(digest[0], digest[4]);
         },
         nullptr, true},
    });
}

}  // namespace
