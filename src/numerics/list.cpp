// The tqList_ family: a doubly linked chain of equal-sized data blocks under a head node,
// where every node may own a child chain. Walks keep an explicit stack of resume points
// and teardown splices child chains in front of their owner, so that neither recurses:
// a deep tree built by the host cannot exhaust the stack.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "frame/boundary.hpp"
#include "orvane.h"

namespace {

bool isHead(const tqListNode* n) noexcept { return (n->flags & TQLIST_HEAD) != 0; }

// Pre-order walk from start through its siblings; returns the node at which `stop`
// returned true. Each pending entry is an owner whose child chain is being walked: its
// next is read only when that chain ends, so a visitor may insert after the owner or
// delete the owner's next sibling meanwhile.
template <class Stop>
tqListNode* walk(tqListNode* start, Stop&& stop) {
    std::vector<tqListNode*> owners;
    tqListNode* cur = start;
    for (;;) {
        while (!cur) {
            if (owners.empty()) return nullptr;
            cur = owners.back()->next;
            owners.pop_back();
        }
        if (stop(cur)) return cur;
        if (cur->child) {
            owners.push_back(cur);
            cur = cur->child;
        } else {
            cur = cur->next;
        }
    }
}

tqListNode* nodeAt(tqListNode* list, int position) {
    if (!list || position < 0) return nullptr;
    int count = 0;
    return walk(list, [&](tqListNode*) { return count++ >= position; });
}

tqListNode* lastSibling(tqListNode* n) noexcept {
    if (!n) return nullptr;
    while (n->next) n = n->next;
    return n;
}

bool inSubtree(tqListNode* root, tqListNode* target) {
    return root->child && walk(root->child, [&](tqListNode* n) { return n == target; });
}

// Takes n out of its chain, keeping its owner's child link and the parent link of the
// chain's new first node correct.
void unlink(tqListNode* n) noexcept {
    tqListNode* next = n->next;
    if (n->parent && n->parent->child == n) {
        n->parent->child = next;
        if (next) next->parent = n->parent;
    }
    if (n->prev) n->prev->next = next;
    if (next) next->prev = n->prev;
    n->prev = n->next = n->parent = nullptr;
}

void freeNode(tqListNode* n, tqListRelease release) noexcept {
    if (!n) return;
    if (n->data) {
        if (release) release(n->data);
        std::free(n->data);
    }
    std::free(n);
}

void* copyData(const void* data, std::uint32_t size) noexcept {
    void* block = std::malloc(size ? size : 1);
    if (block && size) std::memcpy(block, data, size);
    return block;
}

// Frees a chain and all its child chains, each child chain before its owner (the order
// in which release sees the blocks). A child chain is spliced in front of its owner
// instead of being recursed into.
void destroyChain(tqListNode* cur, tqListRelease release) noexcept {
    while (cur) {
        if (tqListNode* c = cur->child) {
            cur->child = nullptr;
            lastSibling(c)->next = cur;
            cur = c;
            continue;
        }
        tqListNode* next = cur->next;
        freeNode(cur, release);
        cur = next;
    }
}

}  // namespace

extern "C" {

TQ_API tqListNode* tqList_create(unsigned dataSize, unsigned flags, int userValue, int initialCount) TQ_NOEXCEPT {
    auto* head = static_cast<tqListNode*>(std::calloc(1, sizeof(tqListNode)));
    if (!head) return nullptr;
    head->dataSize = dataSize;
    head->flags = flags | TQLIST_HEAD;
    head->userValue = userValue;
    if (initialCount >= 1) tqList_insertAfterMemberIndex(head, 0, initialCount, nullptr);
    return head;
}

TQ_API int tqList_insertAfterMemberIndex(tqListNode* list, int position, int count, const void* data) TQ_NOEXCEPT {
    return orvane::guarded(0, [&] {
        tqListNode* anchor = nodeAt(list, position);
        if (!anchor) anchor = lastSibling(list);
        if (!anchor) return 0;
        tqListNode* const successor = anchor->next;
        tqListNode* last = anchor;
        // Each node is complete before it is linked, so running out of memory leaves a
        // correctly linked list holding the members inserted so far.
        for (int i = 0; i < count; ++i) {
            auto* n = static_cast<tqListNode*>(std::calloc(1, sizeof(tqListNode)));
            if (!n) break;
            if (data) {
                n->data = copyData(data, anchor->dataSize);
                if (!n->data) {
                    std::free(n);
                    break;
                }
            }
            n->dataSize = anchor->dataSize;
            n->flags = anchor->flags & ~TQLIST_HEAD;
            n->userValue = anchor->userValue;
            n->prev = last;
            n->next = successor;
            last->next = n;
            if (successor) successor->prev = n;
            last = n;
        }
        return 0;
    });
}

TQ_API int tqList_setMemberByIndex(tqListNode* list, int position, const void* data) TQ_NOEXCEPT {
    return orvane::guarded(0, [&] {
        tqListNode* n = nodeAt(list, position);
        if (!n) return 0;
        std::free(n->data);
        n->data = data ? copyData(data, n->dataSize) : nullptr;  // no block if the heap refuses
        return 0;
    });
}

TQ_API void* tqList_getMemberByIndex(tqListNode* list, int position) TQ_NOEXCEPT {
    return orvane::guarded<void*>(nullptr, [&]() -> void* {
        tqListNode* n = nodeAt(list, position);
        return n ? n->data : nullptr;
    });
}

TQ_API tqListNode* tqList_getNodeByIndex(tqListNode* list, int position) TQ_NOEXCEPT {
    return orvane::guarded<tqListNode*>(nullptr, [&] { return nodeAt(list, position); });
}

TQ_API int tqList_getSize(tqListNode* list) TQ_NOEXCEPT {
    return orvane::guarded(-1, [&] {
        int count = -1;
        walk(list, [&](tqListNode*) {
            ++count;
            return false;
        });
        return count;
    });
}

TQ_API int tqList_moveMemberByIndex(tqListNode* list, int fromPosition, int toPosition) TQ_NOEXCEPT {
    return orvane::guarded(0, [&] {
        tqListNode* from = nodeAt(list, fromPosition);
        tqListNode* to = nodeAt(list, toPosition);
        if (!from || !to || isHead(from) || isHead(to) || from == to) return 0;
        // Relinking after a node of its own child chain would make the tree a cycle.
        if (inSubtree(from, to)) return 0;
        unlink(from);
        from->prev = to;
        from->next = to->next;
        if (to->next) to->next->prev = from;
        to->next = from;
        return 0;
    });
}

TQ_API int tqList_swapMembersByNode(tqListNode* a, tqListNode* b) TQ_NOEXCEPT {
    if (!a || !b || isHead(a) || isHead(b)) return 0;
    void* t = a->data;
    a->data = b->data;
    b->data = t;
    return 0;
}

TQ_API int tqList_swapMembersByIndex(tqListNode* list, int positionA, int positionB) TQ_NOEXCEPT {
    return orvane::guarded(0, [&] {
        return tqList_swapMembersByNode(nodeAt(list, positionA), nodeAt(list, positionB));
    });
}

TQ_API int tqList_deleteMemberByIndexExt(tqListNode* list, int count, int position, tqListRelease release) TQ_NOEXCEPT {
    return orvane::guarded(0, [&] {
        if (!list || count < 1 || position < 1) return 0;
        for (int i = 0; i < count; ++i) {
            tqListNode* n = nodeAt(list, position);
            // Every further pass would find the same missing or parent node again.
            if (!n || n->child) break;
            unlink(n);
            freeNode(n, release);
        }
        return 0;
    });
}

TQ_API int tqList_deleteMemberByIndex(tqListNode* list, int count, int position) TQ_NOEXCEPT {
    return tqList_deleteMemberByIndexExt(list, count, position, nullptr);
}

TQ_API tqListNode* tqList_processMembers(tqListNode* start, tqListVisitor visitor, void* context) TQ_NOEXCEPT {
    return orvane::guarded<tqListNode*>(nullptr, [&] {
        return walk(start, [&](tqListNode* n) { return visitor && visitor(n->data, context) != 0; });
    });
}

TQ_API tqListNode* tqList_search(tqListNode* list, tqListVisitor visitor, void* context) TQ_NOEXCEPT {
    if (!list || !visitor) return nullptr;
    return tqList_processMembers(list, visitor, context);
}

TQ_API void* tqList_searchForData(tqListNode* list, tqListVisitor visitor, void* context) TQ_NOEXCEPT {
    tqListNode* n = tqList_search(list, visitor, context);
    return n ? n->data : nullptr;
}

TQ_API int tqList_sortExt(tqListNode* start, tqListComparator comparator, void* context, int depthMode) TQ_NOEXCEPT {
    return orvane::guarded(0, [&] {
        // One frame per chain being sorted; a deep sort of a child chain runs to its end
        // before the owner's chain goes on (childDone then marks the owner as done).
        struct Frame {
            tqListNode* cur;
            bool childDone;
        };
        std::vector<Frame> frames{{start, false}};
        while (!frames.empty()) {
            Frame& f = frames.back();
            tqListNode* cur = f.cur;
            if (!cur) {
                frames.pop_back();
                continue;
            }
            // Only the outermost chain honours the caller's mode; nested chains are
            // sorted as tqList_sort does, which is deep as well.
            const bool deep = frames.size() > 1 || depthMode == TQLIST_SORT_DEEP;
            if (deep && cur->child && !f.childDone) {
                f.childDone = true;
                frames.push_back({cur->child, false});
                continue;
            }
            tqListNode* succ = cur->next;
            if (!succ) {
                frames.pop_back();
                continue;
            }
            int swap = 0;
            if (comparator) {
                const int abort = comparator(&swap, cur, succ, context);
                if (abort) return abort;
            }
            if (swap) {
                tqList_swapMembersByNode(cur, succ);
                f.cur = cur->prev ? cur->prev : cur->next;
            } else {
                f.cur = succ;
            }
            f.childDone = false;
        }
        return 0;
    });
}

TQ_API int tqList_sort(tqListNode* start, tqListComparator comparator, void* context) TQ_NOEXCEPT {
    return tqList_sortExt(start, comparator, context, TQLIST_SORT_DEEP);
}

TQ_API tqListNode* tqList_getLastSiblingNode(tqListNode* node) TQ_NOEXCEPT { return lastSibling(node); }

TQ_API tqListNode* tqList_getLastChildNode(tqListNode* node) TQ_NOEXCEPT {
    if (!node) return nullptr;
    while (node->child) node = node->child;
    return node;
}

TQ_API int tqList_freeNodeExt(tqListNode* node, tqListRelease release) TQ_NOEXCEPT {
    freeNode(node, release);
    return 0;
}

TQ_API int tqList_freeNode(tqListNode* node) TQ_NOEXCEPT { return tqList_freeNodeExt(node, nullptr); }

TQ_API void tqList_destroyExt(tqListNode** listRef, tqListRelease release) TQ_NOEXCEPT {
    if (!listRef) return;
    destroyChain(*listRef, release);
    *listRef = nullptr;
}

TQ_API void tqList_destroy(tqListNode** listRef) TQ_NOEXCEPT { tqList_destroyExt(listRef, nullptr); }

}  // extern "C"
