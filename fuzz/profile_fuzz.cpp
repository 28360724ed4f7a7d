// The profile-file reader and writer on a file of fuzzed bytes in a private temporary
// folder: values, key lists and section lists at fuzzed buffer sizes, then one write of a
// fuzzed key and value, which a plain name and value must read back unchanged.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include <unistd.h>

#include "fuzz_support.hpp"
#include "orvane.h"

namespace {

using fuzz::untilNul;

std::string gFile;


bool plain(const std::string& s) {
    if (s.empty()) return false;
    for (unsigned char c : s)
        if (!std::isalnum(c)) return false;
    return true;
}

void get(const char* section, const char* key, const char* fallback, unsigned size) {
    std::vector<char> value(size ? size : 1, '#');
    const int n = oxProfile_getProfileString(section, key, fallback, value.data(), size, gFile.c_str());
    if (n < 0 || (size && static_cast<unsigned>(n) >= size)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    gFile = fuzz::scratchFile("profile", "fuzz.ini");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const unsigned bufferSize = in.ConsumeIntegralInRange<unsigned>(0, 300);
    const std::string section = untilNul(in.ConsumeRandomLengthString(32), 32);
    const std::string key = untilNul(in.ConsumeRandomLengthString(32), 32);
    const std::string value = untilNul(in.ConsumeRandomLengthString(64), 64);
    const std::string content = in.ConsumeRemainingBytesAsString();
    if (FILE* f = std::fopen(gFile.c_str(), "wb")) {
        std::fwrite(content.data(), 1, content.size(), f);
        std::fclose(f);
    }
    get(section.c_str(), key.c_str(), "fallback  ", bufferSize);
    get(section.c_str(), nullptr, "", bufferSize);
    get(nullptr, nullptr, "", bufferSize);
    get(nullptr, key.c_str(), "x", bufferSize);

    const int status = oxProfile_writeProfileString(section.c_str(), key.c_str(), value.c_str(), gFile.c_str());
    if (plain(section) && plain(key) && plain(value)) {
        if (status != 0) std::abort();
        char back[128];
        oxProfile_getProfileString(section.c_str(), key.c_str(), "", back, sizeof back, gFile.c_str());
        if (value != back) std::abort();
    }
    get(nullptr, nullptr, "", 4096);
    ::unlink(gFile.c_str());
    return 0;
}
