// Allocation-failure sweep. This executable replaces operator new and wraps the library's
// own C allocation calls (failpoint.cpp); inside an armed window on the calling thread the
// N-th counted allocation fails (bad_alloc, or NULL with ENOMEM). sweep() runs an operation
// with N = 1, 2, ... until a run meets no failure, once with only the N-th allocation
// failing and once with every allocation from the N-th on failing.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <sstream>
#include <string>
#include <type_traits>
#include <utility>

#include "orvane.h"

namespace failpoint {

// Counts (and while a sweep says so, fails) the allocations of `body` on this thread.
void enter() noexcept;
void leave() noexcept;
template <class F>
auto armed(F&& body) {
    struct Window {
        Window() { enter(); }
        ~Window() { leave(); }
    } window;
    return body();
}

// One operation of the sweep: `run` prepares its inputs, arms a window around the library
// calls, releases what they handed out, and describes the outcome (result and outputs)
// as text. `stated` accepts the outcomes that the contract allows for a failed allocation;
// the outcome of an undisturbed run is always accepted. `noAllocation` marks an operation
// that must not allocate at all.
using Outcome = std::string;
struct Op {
    std::string name;
    std::function<Outcome()> run;
    std::function<bool(const Outcome&)> stated;
    bool noAllocation = false;
};

// What a sweep of one operation covered: the counted allocations of an undisturbed run,
// and the runs in which an allocation failed, with only the N-th failing and with every
// one from the N-th on failing. Above kMaxRuns allocations N steps evenly (`step`).
struct Swept {
    long allocations = 0, once = 0, onwards = 0, step = 1;
};
constexpr long kMaxRuns = 400;
// Sweeps `op`; failures are reported through GoogleTest.
Swept sweep(const Op& op);
// Sweeps each operation of `family` and prints the figures per operation and in all.
void sweepFamily(const char* family, std::initializer_list<Op> ops);

// Releases the library's bookkeeping that a sweep must not count as a leak (used by the
// database operations: the error table keeps one text per status seen).
void onLeakCheck(std::function<void()> release);

inline std::function<bool(const Outcome&)> oneOf(std::initializer_list<Outcome> allowed) {
    return [list = std::vector<Outcome>(allowed)](const Outcome& o) {
        for (const auto& a : list)
            if (a == o) return true;
        return false;
    };
}

// Outcome text: the values apart by "|"; texts quoted, NULL as "NULL".
inline void put(std::ostream& os, const char* s) { s ? os << '"' << s << '"' : os << "NULL"; }
inline void put(std::ostream& os, char* s) { put(os, static_cast<const char*>(s)); }
inline void put(std::ostream& os, const tqWChar* s) {
    if (!s) {
        os << "NULL";
        return;
    }
    os << "u\"";
    for (; *s; ++s) *s < 128 ? os << static_cast<char>(*s) : os << "\\x" << std::hex << unsigned(*s) << std::dec;
    os << '"';
}
inline void put(std::ostream& os, tqWChar* s) { put(os, static_cast<const tqWChar*>(s)); }
inline void put(std::ostream& os, const std::string& s) {
    os << '"';
    for (char c : s) c ? os << c : os << "\\0";
    os << '"';
}
template <class T, class = std::enable_if_t<std::is_arithmetic_v<T>>>
inline void put(std::ostream& os, T v) {
    os << +v;
}
template <class... T>
Outcome show(const T&... values) {
    std::ostringstream os;
    const char* sep = "";
    ((os << sep, put(os, values), sep = "|"), ...);
    return os.str();
}

}  // namespace failpoint
