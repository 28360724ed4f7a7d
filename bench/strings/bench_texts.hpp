// Generated list texts shared by the string benchmarks.
#pragma once

#include <cstddef>
#include <map>
#include <random>
#include <string>

namespace orvane_bench {

// "kqz, abcdefgh, ...": entries of 3 to 16 lower-case letters after ", ", `size` bytes
// (the last entry cut short). Kept per size for the whole run.
inline const std::string& listText(std::size_t size) {
    static std::map<std::size_t, std::string> texts;
    std::string& s = texts[size];
    if (s.empty()) {
        std::mt19937 rng(7);
        while (s.size() < size) {
            const int len = 3 + static_cast<int>(rng() % 14);
            for (int i = 0; i < len; ++i) s += static_cast<char>('a' + rng() % 26);
            s += ", ";
        }
        s.resize(size);
    }
    return s;
}

}  // namespace orvane_bench
