// Helpers shared by the fuzz targets: texts cut from fuzzed bytes, and a scratch file in a
// private folder for the targets that work on files.
#pragma once

#include <cstdlib>
#include <string>

#include <unistd.h>

namespace fuzz {

// `s` up to its first NUL, at most `most` bytes.
inline std::string untilNul(std::string s, std::size_t most) {
    s = s.substr(0, s.find('\0'));
    if (s.size() > most) s.resize(most);
    return s;
}

// Bytes as 16-bit units, one each.
inline std::u16string widen(const std::string& s) { return std::u16string(s.begin(), s.end()); }

// The path of `name` in a folder of the run's own under /tmp, removed at exit (the
// targets remove the file after each input). Called once, from LLVMFuzzerInitialize.
inline std::string scratchFile(const char* target, const char* name) {
    static std::string folder;
    std::string pattern = std::string("/tmp/orvane-fuzz-") + target + "-XXXXXX";
    if (!::mkdtemp(pattern.data())) std::abort();
    folder = pattern;
    std::atexit([] { ::rmdir(folder.c_str()); });
    return folder + "/" + name;
}

}  // namespace fuzz
