// The plug-in client under failing allocations, against a scripted server in this process
// (its thread is never disturbed: only the armed thread counts).
#include <arpa/inet.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "alloc/failpoint.hpp"
#include "pluginclient/servers.hpp"

namespace {

using namespace failpoint;
using namespace plugtest;

const std::string kReply = "reply bytes from the plug-in server";

// Lets a server that waits for a connection go on when the client never connected.
void knock(const ScriptedServer& server) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    at.sin_port = htons(static_cast<std::uint16_t>(server.port_));
    ::connect(fd, reinterpret_cast<sockaddr*>(&at), sizeof at);
    ::close(fd);
}

// One session: the server greets, answers each one-byte request with the reply, and
// counts what the client sent; `body` runs on the open connection.
template <class Body>
Outcome session(Body body) {
    std::string received;
    Outcome o = "no session";
    {
        ScriptedServer server([&](int fd) {
            greet(fd);
            for (char c[6]; readExactly(fd, c, 6, 5);) {
                received.append(c, 6);
                if (c[0] == 'B' && c[5] == '?') sendAll(fd, le32(static_cast<int>(kReply.size())) + kReply);
                if (c[0] != 'B') received += readToEnd(fd, 5);
            }
        });
        socketData* c = nullptr;
        if (tqServer_openConnectionToPlugin(&c, "127.0.0.1", server.port().c_str(), "t", nullptr) == 0) {
            o = body(c);
            tqServer_closeConnectionToPlugin(c);
        }
    }
    return o + "|server got " + std::to_string(received.size());
}

std::string fileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return in ? std::string(std::istreambuf_iterator<char>(in), {}) : "(no file)";
}

TEST(AllocationFailure, PluginClient) {
    const LogFile log;  // the failure paths write their trace lines too
    char dir[] = "/tmp/orvane-alloc-plug-XXXXXX";
    ASSERT_TRUE(::mkdtemp(dir));
    const std::string upload = std::string(dir) + "/upload.bin", download = std::string(dir) + "/download.bin";
    FILE* f = std::fopen(upload.c_str(), "wb");
    for (int i = 0; i < 20000; ++i) std::fputc(i % 251, f);
    std::fclose(f);

    sweepFamily("pluginclient", {
        {"tqServer_openConnectionToPlugin",
         [] {
             ScriptedServer server([](int fd) { greet(fd), readToEnd(fd, 5); });
             socketData* c = reinterpret_cast<socketData*>(&server);  // must stay untouched on failure
             char reply[TQ_SERVER_REPLY_BYTES] = "#";
             const int rc = armed(
                 [&] { return tqServer_openConnectionToPlugin(&c, "127.0.0.1", server.port().c_str(), "t", reply); });
             const bool untouched = c == reinterpret_cast<socketData*>(&server);
             if (untouched) knock(server);
             else tqServer_closeConnectionToPlugin(c);
             return show(rc, untouched, reply);
         },
         oneOf({show(3, 1, "#")})},
        {"tqServer_sendFileToPlugin",
         [&] {
             return session([&](socketData* c) {
                 return show(armed([&] { return tqServer_sendFileToPlugin(c, upload.c_str()); }));
             });
         },
         // No chunk buffer: nothing sent, not even the header.
         oneOf({"-1|server got 0"})},
        {"tqServer_getDataFromPlugin",
         [] {
             return session([](socketData* c) {
                 tqServer_sendBufferToPlugin(c, "?", 1);
                 void* data = &c;
                 int size = -7;
                 const int rc = armed([&] { return tqServer_getDataFromPlugin(c, &data, &size); });
                 const std::string got = rc == 0 ? std::string(static_cast<char*>(data), static_cast<std::size_t>(size)) : "";
                 if (rc == 0) tqMisc_freeBuffer(&data);
                 return show(rc, data == &c, size, got);
             });
         },
         // Outputs untouched; the reply stays unread.
         oneOf({show(-1, 1, -7, "") + "|server got 6"})},
        {"tqServer_getFileFromPlugin",
         [&] {
             std::remove(download.c_str());
             return session([&](socketData* c) {
                 tqServer_sendBufferToPlugin(c, "?", 1);
                 const int rc = armed([&] { return tqServer_getFileFromPlugin(c, download.c_str()); });
                 return show(rc, fileText(download));
             });
         },
         // Nothing written: no file.
         oneOf({show(-1, "(no file)") + "|server got 6"})},
    });
    std::filesystem::remove_all(dir);
}

}  // namespace
