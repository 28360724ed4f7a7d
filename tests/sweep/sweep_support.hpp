// Valid stand-ins for the arguments that are not being swept: small buffers of ample
// size holding a short text, empty handles, a fresh list, an unconnected plug-in
// handle, an open stream in the sweep's own temp folder. Everything is released after
// each call so that LeakSanitizer sees only what the library itself leaked.
#pragma once

#include <gtest/gtest.h>

#include <orvane.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <type_traits>
#include <vector>

namespace sweep {

inline int visit(void*, void*) { return 0; }
inline void release(void*) {}
inline int compare(int* swap, tqListNode*, tqListNode*, void*) {
  if (swap) *swap = 0;
  return 0;
}

// Releases a block or list that a swept call handed out.
inline void dispose(void* block) { tqMisc_freeBuffer(&block); }
inline void dispose(tqListNode* list) { tqList_destroy(&list); }

class Ctx {
 public:
  Ctx() = default;
  Ctx(const Ctx&) = delete;
  Ctx& operator=(const Ctx&) = delete;
  ~Ctx() {
    for (auto& s : handles_) tqMisc_freeBuffer(&s[0]);
    for (auto& d : descriptors_) tqDBWin_freeSQLDADescriptorA(&d);
    for (auto* l : lists_) tqList_destroy(&l);
    for (auto* s : streams_) oxWinAPI_fclose(&s);
    for (auto* s : sockets_) tqServer_closeConnectionToPlugin(s);
    for (auto* s : ownSockets_) delete s;
    oxDomain_freeAllUsers(users_.names, users_.full, users_.count);
  }

  // A heap block for the functions that take over or resize one.
  void* heap() {
    unsigned obtained = 0;
    return tqMisc_callocBuffer(16, &obtained);
  }

  // Outputs of oxDomain_getAllUsers, released together.
  char*** userNames() { return &users_.names; }
  char*** fullNames() { return &users_.full; }
  int* userCount() { return &users_.count; }

  // A lone unlinked node and a heap array of empty slots, for the functions that free them.
  tqListNode* loneNode() { return tqList_create(sizeof(int), 0, 0, 0); }
  template <class T>
  T** heapArray() { return static_cast<T**>(std::calloc(8, sizeof(T*))); }

  template <class T>
  T make() {
    if constexpr (std::is_same_v<T, char*> || std::is_same_v<T, const char*>) {
      return text<char>("abc");
    } else if constexpr (std::is_same_v<T, tqWChar*> || std::is_same_v<T, const tqWChar*>) {
      return text<tqWChar>(u"abc");
    } else if constexpr (std::is_same_v<T, unsigned char*> || std::is_same_v<T, const unsigned char*> ||
                         std::is_same_v<T, void*> || std::is_same_v<T, const void*>) {
      return reinterpret_cast<T>(bytes(4096));
    } else if constexpr (std::is_same_v<T, int*> || std::is_same_v<T, const int*> ||
                         std::is_same_v<T, unsigned*> || std::is_same_v<T, double*> ||
                         std::is_same_v<T, uint16_t*>) {
      return reinterpret_cast<T>(bytes(64 * sizeof(double)));
    } else if constexpr (std::is_same_v<T, char**> || std::is_same_v<T, tqWChar**> || std::is_same_v<T, void**> ||
                         std::is_same_v<T, int**> || std::is_same_v<T, char***> || std::is_same_v<T, const char**> ||
                         std::is_same_v<T, tqWChar***> || std::is_same_v<T, SQLDADescriptor**>) {
      // An empty handle, inside an array of empty slots for the functions that read one.
      handles_.emplace_back(8, nullptr);
      return (T)(handles_.back().data());
    } else if constexpr (std::is_same_v<T, tqListNode*>) {
      lists_.push_back(tqList_create(sizeof(int), 0, 0, 3));
      return lists_.back();
    } else if constexpr (std::is_same_v<T, tqListNode**>) {
      lists_.push_back(tqList_create(sizeof(int), 0, 0, 3));
      return &lists_.back();
    } else if constexpr (std::is_same_v<T, SQLDADescriptor*> || std::is_same_v<T, const SQLDADescriptor*>) {
      descriptors_.emplace_back();
      return &descriptors_.back();
    } else if constexpr (std::is_same_v<T, socketData*>) {
      ownSockets_.push_back(new socketData{-1, 4096, 4096});
      return ownSockets_.back();
    } else if constexpr (std::is_same_v<T, socketData**>) {
      sockets_.push_back(nullptr);
      return &sockets_.back();
    } else if constexpr (std::is_same_v<T, oxStream*>) {
      streams_.push_back(nullptr);
      oxWinAPI_fopen(&streams_.back(), "sweep-stream.txt", "w+");
      return streams_.back();
    } else if constexpr (std::is_same_v<T, oxStream**>) {
      streams_.push_back(nullptr);
      return &streams_.back();
    } else if constexpr (std::is_same_v<T, tqListVisitor>) {
      return &visit;
    } else if constexpr (std::is_same_v<T, tqListRelease>) {
      return &release;
    } else if constexpr (std::is_same_v<T, tqListComparator>) {
      return &compare;
    } else if constexpr (std::is_same_v<T, tqWChar>) {
      return u',';
    } else if constexpr (std::is_same_v<T, char>) {
      return ',';
    } else if constexpr (std::is_arithmetic_v<T>) {
      return T(3);
    } else {
      static_assert(sizeof(T) == 0, "no valid stand-in for this parameter type: add one");
    }
  }

 private:
  template <class C>
  C* text(const C* value) {
    auto* p = reinterpret_cast<C*>(bytes(4096 * sizeof(C)));
    for (size_t i = 0; value[i]; ++i) p[i] = value[i];
    return p;
  }
  unsigned char* bytes(size_t n) {
    buffers_.emplace_back(n, 0);
    return buffers_.back().data();
  }

  std::deque<std::vector<unsigned char>> buffers_;
  std::deque<std::vector<void*>> handles_;
  std::deque<SQLDADescriptor> descriptors_;
  std::deque<tqListNode*> lists_;
  std::deque<oxStream*> streams_;
  std::deque<socketData*> sockets_;
  std::vector<socketData*> ownSockets_;
  struct {
    char** names = nullptr;
    char** full = nullptr;
    int count = 0;
  } users_;
};

// Converts to whatever parameter type it is passed as.
struct Valid {
  Ctx& c;
  template <class T>
  operator T() const {
    return c.template make<T>();
  }
};

}  // namespace sweep

#define V (sweep::Valid{c})
