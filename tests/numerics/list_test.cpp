#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <set>
#include <vector>

#include "orvane.h"

namespace {

using Ints = std::vector<int>;

// Every link agrees with its neighbours: prev/next mirror each other, only a chain's
// first node carries the parent link and it points at the chain's owner; no node twice.
bool linked(tqListNode* chain, tqListNode* owner, std::set<tqListNode*>& seen) {
    if (!chain || chain->prev || chain->parent != owner) return false;
    for (tqListNode* n = chain; n; n = n->next)
        if (!seen.insert(n).second || (n != chain && n->parent) || (n->next && n->next->prev != n) ||
            (n->child && !linked(n->child, n, seen)))
            return false;
    return true;
}
bool linked(tqListNode* list) {
    std::set<tqListNode*> seen;
    return linked(list, nullptr, seen);
}

// Members' first int, in walk order ('-' for no data); {-1} when a link is broken.
Ints values(tqListNode* list) {
    if (!linked(list)) return {-1};
    Ints out;
    for (int i = 1, n = tqList_getSize(list); i <= n; ++i) {
        auto* d = static_cast<int*>(tqList_getMemberByIndex(list, i));
        out.push_back(d ? *d : '-');
    }
    return out;
}

tqListNode* listOf(std::initializer_list<int> vs) {
    tqListNode* l = tqList_create(sizeof(int), 0, 0, 0);
    int pos = 0;
    for (int v : vs) tqList_insertAfterMemberIndex(l, pos++, 1, &v);
    return l;
}

// Gives the node a child chain [v] and returns its node.
tqListNode* addChildTo(tqListNode* owner, int v) {
    auto* c = static_cast<tqListNode*>(calloc(1, sizeof(tqListNode)));
    c->dataSize = sizeof(int);
    c->data = malloc(sizeof(int));
    std::memcpy(c->data, &v, sizeof v);
    c->parent = owner;
    return owner->child = c;
}
void addChild(tqListNode* list, int position, int v) { addChildTo(tqList_getNodeByIndex(list, position), v); }

int releases = 0;
void countRelease(void*) { ++releases; }

int greater(int* swap, tqListNode* a, tqListNode* b, void*) {
    if (a->data && b->data && *static_cast<int*>(a->data) > *static_cast<int*>(b->data)) *swap = 1;
    return 0;
}

}  // namespace

TEST(LinkedList, EditsKeepEveryLinkIntact) {
    tqListNode* l = tqList_create(12, 0x31, 77, 3);
    ASSERT_TRUE(l);
    EXPECT_EQ((std::vector<long>{l->flags, tqList_getSize(l)}), (std::vector<long>{0x31 | TQLIST_HEAD, 3}));
    EXPECT_TRUE(tqList_getNodeByIndex(l, 0) == l && !tqList_getMemberByIndex(l, 0) && !tqList_getNodeByIndex(l, 4) &&
                !tqList_getNodeByIndex(l, -1));
    auto fields = [](const tqListNode* n) { return std::vector<long>{!n->data, n->dataSize, n->flags, n->userValue}; };
    for (int i = 1; i <= 3; ++i) EXPECT_EQ(fields(tqList_getNodeByIndex(l, i)), (std::vector<long>{1, 12, 0x31, 77})) << i;
    tqList_destroy(&l);
    EXPECT_EQ(l, nullptr);
    l = listOf({1, 2});
    int x = 9, y = 5;
    tqList_insertAfterMemberIndex(l, 1, 2, &x);
    EXPECT_NE(tqList_getMemberByIndex(l, 2), tqList_getMemberByIndex(l, 3));  // separate copies
    tqList_insertAfterMemberIndex(l, 99, 1, &y), tqList_insertAfterMemberIndex(l, -1, 1, &y);  // at the end
    EXPECT_EQ(values(l), (Ints{1, 9, 9, 2, 5, 5}));
    tqList_setMemberByIndex(l, 1, nullptr), tqList_setMemberByIndex(l, 2, &y);
    EXPECT_EQ(values(l), (Ints{'-', 5, 9, 2, 5, 5}));
    tqList_destroy(&l);
    l = listOf({1, 2, 3, 4, 5});
    tqList_deleteMemberByIndex(l, 0, 1), tqList_deleteMemberByIndex(l, 1, 0);  // no count, the head: nothing
    tqList_deleteMemberByIndex(l, 3, 2);
    EXPECT_EQ(values(l), (Ints{1, 5}));
    tqList_destroy(&l);
    l = listOf({1, 2, 3, 4});
    tqList_moveMemberByIndex(l, 1, 3);
    EXPECT_EQ(values(l), (Ints{2, 3, 1, 4}));
    // Onto itself, and the head moved or swapped: nothing happens.
    tqList_moveMemberByIndex(l, 2, 2), tqList_moveMemberByIndex(l, 0, 2), tqList_moveMemberByIndex(l, 2, 0);
    tqList_swapMembersByIndex(l, 0, 1);
    EXPECT_EQ(values(l), (Ints{2, 3, 1, 4}));
    tqListNode* n1 = tqList_getNodeByIndex(l, 1);
    tqList_swapMembersByIndex(l, 1, 4);
    EXPECT_TRUE(values(l) == (Ints{4, 3, 1, 2}) && tqList_getNodeByIndex(l, 1) == n1);  // data moved, the node did not
    // Tree [4 [7 [8]], 3, 1, 2]: positions 1=4, 2=7, 3=8, 4=3.
    addChild(l, 1, 7), addChild(l, 2, 8);
    EXPECT_EQ(*static_cast<int*>(tqList_getLastChildNode(l->next)->data), 8);
    tqList_moveMemberByIndex(l, 1, 3);  // into its own subtree: refused
    tqList_deleteMemberByIndex(l, 5, 1);  // owns a child chain: kept
    EXPECT_EQ(values(l), (Ints{4, 7, 8, 3, 1, 2}));
    // Moving the first node of a child chain out: the owner's child link follows.
    tqList_moveMemberByIndex(l, 3, 6);
    EXPECT_EQ(values(l), (Ints{4, 7, 3, 1, 2, 8}));
    // Deleting the first node of a child chain: its sibling takes over the parent link.
    const int nine = 9;
    tqList_insertAfterMemberIndex(l, 2, 1, &nine);
    tqList_deleteMemberByIndex(l, 1, 2);
    EXPECT_TRUE(values(l) == (Ints{4, 9, 3, 1, 2, 8}) && *static_cast<int*>(l->next->child->data) == 9);
    tqList_deleteMemberByIndex(l, 1, 2);
    EXPECT_TRUE(l->next->child == nullptr && values(l) == (Ints{4, 3, 1, 2, 8}));
    releases = 0;
    tqList_deleteMemberByIndexExt(l, 1, 5, countRelease);
    EXPECT_EQ(releases, 1);
    tqList_destroy(&l);
}

TEST(LinkedList, WalkSearchSortAndTeardown) {
    tqListNode* l = listOf({3, 1, 2});
    std::vector<bool> sawNull;
    auto visitor = [](void* data, void* ctx) {
        static_cast<std::vector<bool>*>(ctx)->push_back(data == nullptr);
        return data && *static_cast<int*>(data) == 1 ? 1 : 0;
    };
    EXPECT_EQ(tqList_search(l, visitor, &sawNull), tqList_getNodeByIndex(l, 2));
    EXPECT_TRUE(sawNull.at(0));  // the head's data comes first
    EXPECT_EQ(tqList_searchForData(l, visitor, &sawNull), tqList_getMemberByIndex(l, 2));
    EXPECT_TRUE(tqList_sort(l, greater, nullptr) == 0 && values(l) == (Ints{1, 2, 3}));
    auto abort7 = [](int* swap, tqListNode*, tqListNode*, void*) { return *swap = 7; };
    int nine = 9, five = 5, four = 4;
    tqList_setMemberByIndex(l, 1, &nine);
    EXPECT_TRUE(tqList_sort(l, abort7, nullptr) == 7 && values(l) == (Ints{9, 2, 3}));
    // Deep sort orders a child chain in place; a shallow sort leaves it.
    addChild(l, 2, 6);
    tqList_insertAfterMemberIndex(l, 3, 1, &five), tqList_insertAfterMemberIndex(l, 3, 1, &four);  // into the child chain
    EXPECT_EQ(values(l), (Ints{9, 2, 6, 4, 5, 3}));
    tqList_sortExt(l, greater, nullptr, 0);
    EXPECT_EQ(values(l), (Ints{2, 3, 6, 4, 5, 9}));
    tqList_sort(l, greater, nullptr);
    EXPECT_EQ(values(l), (Ints{2, 3, 4, 5, 6, 9}));
    EXPECT_EQ(tqList_getLastSiblingNode(l), tqList_getNodeByIndex(l, 6));
    releases = 0;
    tqList_setMemberByIndex(l, 0, &five);  // the head has data too now
    tqList_destroyExt(&l, countRelease);
    EXPECT_EQ(releases * (l == nullptr), 7);
    // A deep tree is walked and freed without recursion.
    l = listOf({0});
    tqListNode* deepest = l->next;
    for (int i = 1; i < 100000; ++i) deepest = addChildTo(deepest, i);
    EXPECT_TRUE(tqList_getSize(l) == 100000 && tqList_getLastChildNode(l->next) == deepest);
    EXPECT_EQ(tqList_sort(l, greater, nullptr), 0);
    tqList_destroy(&l);
}

// A visitor may edit the list around the node whose child chain it is in: the walk reads
// the owner's next only once that chain is done, so it sees an inserted sibling and
// never touches a deleted one.
TEST(LinkedList, WalkReadsTheOwnersNextAfterItsChildChain) {
    struct Walk { tqListNode* list; bool insert; int editAt; Ints seen; };  // editAt: the visit that edits
    auto visitor = [](void* data, void* ctx) {
        auto* w = static_cast<Walk*>(ctx);
        const int v = data ? *static_cast<int*>(data) : 0, seven = 7;
        if (data) w->seen.push_back(v);
        if (v == w->editAt && w->insert) tqList_insertAfterMemberIndex(w->list, 1, 1, &seven);  // after the owner
        if (v == w->editAt && !w->insert) tqList_deleteMemberByIndex(w->list, 1, 3);            // the owner's next
        return v == 7 ? 1 : 0;
    };
    for (bool insert : {true, false}) {
        tqListNode* l = listOf({1, 2, 3});  // 1 owns [10]: walk 1, 10, 2, 3
        addChild(l, 1, 10);
        Walk w{l, insert, 10, {}};
        void* found = tqList_searchForData(l, visitor, &w);
        EXPECT_EQ(found ? *static_cast<int*>(found) : 0, insert ? 7 : 0);
        EXPECT_EQ(w.seen, insert ? (Ints{1, 10, 7}) : (Ints{1, 10, 3}));
        EXPECT_TRUE(linked(l));
        w.editAt = -1;
        EXPECT_EQ(tqList_processMembers(l, visitor, &w), insert ? tqList_getNodeByIndex(l, 3) : nullptr);
        tqList_destroy(&l);
    }
}
