#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <thread>
#include <vector>

#include "orvane.h"
#include "servers.hpp"

using namespace plugtest;
using std::chrono::milliseconds;
using std::this_thread::sleep_for;

namespace {

socketData* openAt(const std::string& port, const char* init = "t") {
    socketData* c = nullptr;
    return tqServer_openConnectionToPlugin(&c, "127.0.0.1", port.c_str(), init, nullptr) == 0 ? c : nullptr;
}

// One data reply as text; "<-1>" for a refused reply whose outputs stayed untouched.
std::string take(socketData* c) {
    void* buf = &c;
    int size = -7;
    if (tqServer_getDataFromPlugin(c, &buf, &size) != 0) return buf == &c && size == -7 ? "<-1>" : "<touched>";
    const std::string data(static_cast<char*>(buf), static_cast<std::size_t>(size));
    return tqMisc_freeBuffer(&buf), data;
}

// Asks a scripted server for its reply: it answers only after this one-byte request, so
// that the reply can never run together with the init answer.
std::string ask(socketData* c) {
    tqServer_sendBufferToPlugin(c, "?", 1);
    return take(c);
}

}  // namespace

TEST(PluginDaemon, SegmentsAndRepliesRoundTrip) {
    if (!*ORVANE_PLUGIND) GTEST_SKIP() << "orvane-plugind is built with the tools";
    LogFile log;  // also keeps the session traces out of the shared log file
    Daemon daemon(log.dir);
    std::string payload(300000, '\0'), file = log.dir + "/payload.bin", empty = log.dir + "/empty";
    std::mt19937 gen(42);
    for (char& ch : payload) ch = static_cast<char>(gen());
    std::ofstream(file, std::ios::binary) << payload;
    std::ofstream{empty};
    socketData* c = nullptr;
    char reply[6] = "zzzzz";
    ASSERT_EQ(tqServer_openConnectionToPlugin(&c, "localhost", daemon.port().c_str(), "echo2", reply), 0);
    EXPECT_STREQ(reply, "0.1.0");
    EXPECT_EQ(tqServer_sendBufferToPlugin(c, "head:", 5), 0);
    EXPECT_EQ(tqServer_sendFileToPlugin(c, file.c_str()), 0);
    EXPECT_EQ(take(c), "head:" + payload);
    // Small buffer sizes force many chunks and pieces, each from its own offset.
    c->maxSendBufSize = c->maxReceiveBufSize = 1000;
    EXPECT_EQ(tqServer_sendBufferToPlugin(c, payload.data(), 3001), 0);
    EXPECT_EQ(tqServer_sendBufferToPlugin(c, nullptr, 0), 0);
    EXPECT_EQ(take(c), payload.substr(0, 3001));
    EXPECT_EQ(tqServer_sendBufferToPlugin(c, "x", -1), -1);
    EXPECT_EQ(tqServer_sendFileToPlugin(c, (log.dir + "/missing").c_str()), -1);
    EXPECT_EQ(tqServer_sendFileToPlugin(c, log.dir.c_str()), -1);  // a directory has no content to send
    EXPECT_EQ(tqServer_sendFileToPlugin(c, empty.c_str()), 0);
    EXPECT_EQ(tqServer_sendBufferToPlugin(c, "", 0), 0);
    EXPECT_EQ(take(c), "");
    tqServer_closeConnectionToPlugin(c);

    c = openAt(daemon.port(), "fetch");
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(tqServer_sendBufferToPlugin(c, "payload.bin", 11), 0);
    EXPECT_EQ(tqServer_getFileFromPlugin(c, (log.dir + "/back.bin").c_str()), 0);
    tqServer_closeConnectionToPlugin(c);
    std::ifstream back(log.dir + "/back.bin", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(back), {}), payload);
}

TEST(PluginWire, InitMessagesAnswersAndExactTrace) {
    LogFile log;
    std::string seen, port;
    int socket = 0, rcv = 0;
    {
        ScriptedServer server([&](int fd) {
            seen = greet(fd, "OK1.2.3");
            awaitRequest(fd);
            sendAll(fd, le32(5) + "hello");
            seen += readToEnd(fd);
        });
        socketData* c = nullptr;
        char reply[6];
        ASSERT_EQ(tqServer_openConnectionToPlugin(&c, "127.0.0.1", (port = server.port()).c_str(), "", reply), 0);
        EXPECT_STREQ(reply, "1.2.3");
        socket = c->socket, rcv = c->maxReceiveBufSize;
        EXPECT_EQ(ask(c), "hello");
        tqServer_closeConnectionToPlugin(c);
    }
    EXPECT_EQ(seen, std::string("%\0X", 3));  // empty init: 0x25 0x00; close: one 'X'
    EXPECT_EQ(log.text(), "###### tqServer_openConnectionToPlugin()\nHost: 127.0.0.1\n127.0.0.1 : " + port +
                              "\nConnecting to remote host...\nConnected, socket " + std::to_string(socket) +
                              "\nnTotalBytes = 11\nBanner read: 'test banner'\nSocket open.\nnTotalBytes = 7\n"
                              "Buffer was totally full when received.\ntqServer_openConnectionToPlugin() Done\n"
                              "##### tqServer_sendBufferToPlugin()\ntqServer_sendBufferToPlugin() Done\n"
                              "##### tqServer_getDataFromPlugin()\nsocketData->maxReceiveBufSize  = " +
                              std::to_string(rcv) +
                              "\nnTotalBytes = 9\nnBytesRead = 9\n*returnBufferSize = 5\n"
                              "tqServer_getDataFromPlugin() Done\n##### tqServer_closeConnectionToPlugin()\n"
                              "Shutting connection down...\nConnection is down.\nAll done!\n");
}

TEST(PluginWire, RefusedAndFailedOpens) {
    LogFile log;
    for (const char* init : {"x", "abcdefghijk"}) {
        const bool tooLong = init[1] != '\0';
        std::string seen;
        {
            ScriptedServer server([&](int fd) { seen = tooLong ? (sendAll(fd, "b"), readToEnd(fd)) : greet(fd, "NO"); });
            socketData* c = nullptr;
            char reply[6] = "zzzzz";
            EXPECT_EQ(tqServer_openConnectionToPlugin(&c, "127.0.0.1", server.port().c_str(), init, reply), -1);
            EXPECT_STREQ(reply, tooLong ? "zzzzz" : "");
            ASSERT_NE(c, nullptr);  // still open: the host closes it
            tqServer_closeConnectionToPlugin(c);
        }
        EXPECT_EQ(seen, tooLong ? "X" : std::string("%x\0", 3));  // a too-long init is refused, never cut
    }
    EXPECT_NE(log.text().find("ERROR: Server did not like connection. Error (NO)\n"), std::string::npos);
    log.clear();
    // Every failed open still ends its trace with its last line, also when the server
    // hangs up before its banner; a port without digits is port 0.
    socketData* untouched = reinterpret_cast<socketData*>(&log);
    EXPECT_EQ(tqServer_openConnectionToPlugin(&untouched, "no-such-host.invalid", "1", "x", nullptr), 3);
    EXPECT_EQ(tqServer_openConnectionToPlugin(&untouched, "127.0.0.1", "abc", "x", nullptr), 3);
    EXPECT_EQ(tqServer_openConnectionToPlugin(nullptr, "127.0.0.1", "1", "x", nullptr), 3);
    {
        ScriptedServer server([](int) {});
        EXPECT_EQ(tqServer_openConnectionToPlugin(&untouched, "127.0.0.1", server.port().c_str(), "x", nullptr), 3);
    }
    EXPECT_EQ(untouched, reinterpret_cast<socketData*>(&log));
    const std::string text = log.text(), done = "tqServer_openConnectionToPlugin() Done\n";
    for (const char* line : {"Unknown host.\nLookupAddress failed: Host not found\n", "127.0.0.1 : 0\n",
                             "EstablishConnection failed: Connection refused\n",
                             "Connection closed by peer.\nBanner read failed Could not send open socket"})
        EXPECT_NE(text.find(line), std::string::npos) << line;
    auto count = [&](const std::string& line) {
        std::size_t n = 0;
        for (std::size_t at = 0; (at = text.find(line, at)) != std::string::npos; ++at) ++n;
        return n;
    };
    EXPECT_EQ(count(done), count("###### tqServer_openConnectionToPlugin()\n"));
    EXPECT_EQ(count(done), 4u);
    EXPECT_TRUE(text.ends_with(done));
    EXPECT_EQ(tqServer_sendFileToPlugin(nullptr, "x"), -1);
    EXPECT_EQ(tqServer_getFileFromPlugin(nullptr, "x"), -1);
    tqServer_closeConnectionToPlugin(nullptr);
}

TEST(PluginWire, HostileReplies) {
    LogFile log;
    enum End { wait, reset, hangUp };
    // The server sends `pieces` apart from one another, then ends the connection its way.
    auto replying = [](std::vector<std::string> pieces, End end) {
        return [pieces, end](int fd) {
            greet(fd);
            awaitRequest(fd);
            for (const std::string& piece : pieces)
                sendAll(fd, piece), sleep_for(milliseconds(pieces.size() > 1 ? 100 : 0));
            if (end == reset) resetConnection(fd);
            if (end == wait) readToEnd(fd);
        };
    };
    const struct { std::vector<std::string> pieces; End end; std::string expected; } cases[] = {
        {{"ab"}, wait, "<-1>"},                          // the size does not fit the first piece
        {{le32(-5)}, wait, "<-1>"},                      // negative size
        {{le32(100) + "abc"}, hangUp, "<-1>"},           // the server closes before the size is met
        {{le32(0x7FFFFFFF) + "abc"}, reset, "<-1>"},     // an absurd size is not allocated up front
        {{le32(3) + "abcdef"}, wait, "abc"},             // more than announced: dropped
        {{le32(0)}, wait, ""},
        {{le32(6), "abc", "defghi"}, wait, "abcdef"},    // the size alone, the content in later pieces
    };
    for (const auto& [pieces, end, expected] : cases) {
        ScriptedServer server(replying(pieces, end));
        socketData* c = openAt(server.port());
        EXPECT_EQ(ask(c), expected);
        tqServer_closeConnectionToPlugin(c);
    }
    const std::string out = log.dir + "/reply.bin";
    for (End end : {reset, wait}) {
        ScriptedServer server(replying({end == reset ? le32(1000) + "abc" : le32(3) + "abc"}, end));
        socketData* c = openAt(server.port());
        tqServer_sendBufferToPlugin(c, "?", 1);
        // A reset leaves no partial file; a file that cannot be created still has its reply consumed.
        EXPECT_EQ(tqServer_getFileFromPlugin(c, end == reset ? out.c_str() : "/nonexistent-dir/f"), end == reset ? -1 : 0);
        EXPECT_FALSE(std::filesystem::exists(out));
        tqServer_closeConnectionToPlugin(c);
    }
    EXPECT_NE(log.text().find("Error opening return file '/nonexistent-dir/f'.\n"), std::string::npos);
}

// A server that goes away during an upload, and one that never sends its banner.
TEST(PluginWire, ServerGoneDuringUploadAndSilentServer) {
    LogFile log;
    std::ofstream(log.dir + "/big.bin") << std::string(8 << 20, 'q');
    {
        ScriptedServer server([](int fd) { greet(fd), readExactly(fd, std::string(5, 0).data(), 5), resetConnection(fd); });
        socketData* c = openAt(server.port());
        EXPECT_EQ(tqServer_sendFileToPlugin(c, (log.dir + "/big.bin").c_str()), 0);  // the header went out
        tqServer_closeConnectionToPlugin(c);
    }
    ScriptedServer server([](int fd) { readToEnd(fd, 30); });
    socketData* c = nullptr;
    EXPECT_EQ(tqServer_openConnectionToPlugin(&c, "127.0.0.1", server.port().c_str(), "t", nullptr), 3);
    EXPECT_EQ(c, nullptr);
    for (const char* line : {"Sending request failed: ", "Could not send plugin close.\n", "Shut down failed: ",
                             "Select timeout.\nBanner read failed Could not send open socket to server 127.0.0.1"})
        EXPECT_NE(log.text().find(line), std::string::npos) << line;
}
