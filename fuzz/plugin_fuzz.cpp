// The plug-in client's reply handling: the input is what the server sends, written into
// one end of a socket pair and closed, so every read ends at once; the client end goes to
// the sized-reply readers (into memory and into a file) at fuzzed receive-buffer sizes,
// two replies in a row. A reply that is taken must be the bytes the server announced.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include <sys/socket.h>
#include <unistd.h>

#include "fuzz_support.hpp"
#include "orvane.h"

namespace {

std::string gFile;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    gFile = fuzz::scratchFile("plugin", "reply.bin");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const int receive = in.ConsumeIntegralInRange<int>(-1, 64);
    const unsigned ways = in.ConsumeIntegral<std::uint8_t>();
    const std::string server = in.ConsumeRemainingBytesAsString();
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) std::abort();
    // Far below the pair's buffer: one write takes it all.
    if (::write(pair[1], server.data(), server.size()) != static_cast<ssize_t>(server.size())) std::abort();
    ::close(pair[1]);
    socketData connection{pair[0], receive, 64};
    for (int reply = 0; reply < 2; ++reply) {
        if ((ways >> reply) & 1) {
            const int status = tqServer_getFileFromPlugin(&connection, gFile.c_str());
            if (status != 0 && status != -1) std::abort();
            ::unlink(gFile.c_str());
        } else {
            void* buffer = nullptr;
            int length = -7;
            const int status = tqServer_getDataFromPlugin(&connection, &buffer, &length);
            if (status == 0) {
                if (!buffer || length < 0 || static_cast<std::size_t>(length) > server.size()) std::abort();
                // The first reply's bytes follow its size word when the pieces are whole.
                if (reply == 0 && receive >= 5 && std::memcmp(buffer, server.data() + 4, length) != 0) std::abort();
                tqMisc_freeBuffer(&buffer);
            } else if (status != -1 || buffer || length != -7) {
                std::abort();
            }
        }
    }
    ::close(pair[0]);
    return 0;
}
