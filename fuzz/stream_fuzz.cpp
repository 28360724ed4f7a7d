// The stream-file functions: a file of fuzzed bytes in a private temporary folder opened
// in a mode from a menu, then up to 64 fuzzed operations (reads of every kind at fuzzed
// sizes, writes, formatted writes, seeks from every origin, tell, flush, end-of-file).
#include <fuzzer/FuzzedDataProvider.h>

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <unistd.h>

#include "fuzz_support.hpp"
#include "orvane.h"

namespace {

std::string gFile;

bool terminatedWithin(const char* buffer, int size) {
    return std::memchr(buffer, '\0', static_cast<std::size_t>(size)) != nullptr;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    gFile = fuzz::scratchFile("stream", "fuzz.dat");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const char* const modes[] = {"r", "rb", "w", "wb", "a", "ab", "r+", "w+", "a+", "rw", "rwb", "rb+", "x", ""};
    FuzzedDataProvider in(data, size);
    const char* mode = modes[in.ConsumeIntegralInRange<std::size_t>(0, std::size(modes) - 1)];
    const std::string content = in.ConsumeRandomLengthString(2048);
    if (FILE* f = std::fopen(gFile.c_str(), "wb")) {
        std::fwrite(content.data(), 1, content.size(), f);
        std::fclose(f);
    }
    oxStream* s = nullptr;
    oxWinAPI_fopen(&s, gFile.c_str(), mode);
    if (!s) {
        ::unlink(gFile.c_str());
        return 0;
    }
    std::vector<char> buffer(4096);
    for (int n = 0; n < 64 && in.remaining_bytes() > 0; ++n) {
        const int count = in.ConsumeIntegralInRange<int>(0, 300);
        switch (in.ConsumeIntegralInRange<int>(0, 11)) {
            case 0: {
                const int got = oxWinAPI_fread(buffer.data(), 1, static_cast<std::size_t>(count), s);
                if (got < 0 || got > count) std::abort();
                break;
            }
            case 1: {
                const std::string bytes = in.ConsumeRandomLengthString(300);
                oxWinAPI_fwrite(bytes.data(), 1, bytes.size(), s);
                break;
            }
            case 2: oxWinAPI_fprintfn(s, 0, "%d:%s\n", count, in.ConsumeRandomLengthString(40).c_str()); break;
            case 3: {
                const int origin = in.ConsumeIntegralInRange<int>(-1, 3);
                long offset = in.ConsumeIntegralInRange<long>(-4096, 4096);
                if (in.ConsumeBool() && in.ConsumeBool()) offset = in.ConsumeBool() ? LONG_MAX : LONG_MIN;
                oxWinAPI_fseek(s, offset, origin);
                break;
            }
            case 4: (void)oxWinAPI_ftell(s); break;
            case 5: (void)oxWinAPI_feof(s); break;
            case 6: oxWinAPI_fflush(s); break;
            case 7: {
                const int c = oxWinAPI_fgetc(s);
                if (c < -1 || c > 255) std::abort();
                break;
            }
            case 8: {
                const int room = count % 65;
                std::memset(buffer.data(), '#', 80);
                char* line = oxWinAPI_fgets(buffer.data(), room, s);
                if (line && (line != buffer.data() || !terminatedWithin(line, room))) std::abort();
                break;
            }
            case 9: {
                const int room = count % 65;
                std::memset(buffer.data(), '#', 80);
                char* line = oxWinAPI_readString(buffer.data(), room, s, count & 1);
                if (line && (line != buffer.data() || !terminatedWithin(line, room))) std::abort();
                break;
            }
            case 10: {
                // Items of several bytes: the count is of bytes, never more than asked.
                const int got = oxWinAPI_fread(buffer.data(), 3, static_cast<std::size_t>(count) % 1000, s);
                if (got < 0 || got > 3 * (count % 1000)) std::abort();
                break;
            }
            default: oxWinAPI_fwrite("\n\r\n", 1, 3, s); break;
        }
    }
    oxWinAPI_fclose(&s);
    if (s) std::abort();
    ::unlink(gFile.c_str());
    return 0;
}
