// Helpers for the exported boundary: every exported function is noexcept, so whatever
// the inside throws (std::bad_alloc above all) is caught here and turned into the
// function's nothing-done result.
#pragma once

#include <utility>

namespace orvane {

template <class R, class F>
inline R guarded(R fallback, F&& body) noexcept {
    try {
        return std::forward<F>(body)();
    } catch (...) {
        return fallback;
    }
}

}  // namespace orvane
