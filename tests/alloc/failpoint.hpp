// Allocation-failure sweep. This executable replaces operator new and wraps the library's
// own C allocation calls (failpoint.cpp); inside an armed window on the calling thread the
// N-th counted allocation fails (bad_alloc, or NULL with ENOMEM). sweepFamily() runs each
// operation with N = 1, 2, ... until a run meets no failure, once with only the N-th
// allocation failing and once with every allocation from the N-th on failing.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

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

// One operation: `run` prepares its inputs, arms a window around the library calls,
// releases what they handed out and describes the outcome (result and outputs) as text.
// `stated` accepts the outcomes that the contract allows for a failed allocation (the
// undisturbed outcome always passes); without it the operation must not allocate at all.
using Outcome = std::string;
using Accept = std::function<bool(const Outcome&)>;
struct Op {
    std::string name;
    std::function<Outcome()> run;
    Accept stated;
};

// Sweeps each operation and prints the figures; failures are reported through GoogleTest.
// `release` empties what the library keeps on purpose before each leak count (the
// database's error table keeps one text per status seen).
void sweepFamily(const char* family, const std::vector<Op>& ops, const std::function<void()>& release = {});

inline Accept oneOf(std::vector<Outcome> allowed) {
    return [=](const Outcome& o) { return std::find(allowed.begin(), allowed.end(), o) != allowed.end(); };
}

// Outcome text: the values apart by "|"; texts quoted (wide ones as ASCII, \xNN beyond),
// NULL as "NULL".
template <class T>
void put(std::ostream& os, T v) {
    if constexpr (std::is_arithmetic_v<T>) {
        os << +v;
    } else if constexpr (std::is_same_v<T, std::string>) {
        put(os, v.c_str());
    } else if (!v) {
        os << "NULL";
    } else {
        os << '"';
        for (; *v; ++v) *v < 128 ? os << static_cast<char>(*v) : os << "\\x" << std::hex << unsigned(*v) << std::dec;
        os << '"';
    }
}
template <class... T>
Outcome show(const T&... values) {
    std::ostringstream os;
    const char* sep = "";
    ((os << sep, put(os, values), sep = "|"), ...);
    return os.str();
}

// An operation whose outcome is the result of `call` alone.
template <class F>
std::function<Outcome()> result(F call) {
    return [call] { return show(armed(call)); };
}

// An operation on a text buffer (of either width) that starts as `init`: the outcome is
// the result of `call(buffer)` and the buffer.
template <class C, class F>
std::function<Outcome()> edit(const C* init, F call) {
    return [=] {
        std::basic_string<C> buf(init);
        buf.resize(2048);
        const auto r = armed([&] { return call(buf.data()); });
        return show(r, buf.c_str());
    };
}

}  // namespace failpoint
