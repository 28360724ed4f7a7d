#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/socket.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "servers.hpp"

using namespace orvane::plugin;

TEST(Transport, ErrorTexts) {
    EXPECT_STREQ(SocketErrorText(10080), "Unknown error");
    EXPECT_STREQ(SocketErrorText(10091), "Network system is unavailable");
    EXPECT_STREQ(SocketErrorText(SocketErrorFromErrno(ETIMEDOUT)), "Connection timed out");
    EXPECT_STREQ(SocketErrorText(SocketErrorFromErrno(ENOENT)), "Unknown error");
    errno = EADDRINUSE;
    RecordErrno();
    EXPECT_STREQ(SocketErrorText(), "Address already in use");

    EXPECT_EQ(LookupAddress("192.168.1.5"), inet_addr("192.168.1.5"));  // no name resolution
}

TEST(Transport, DebugLogIsOffUntilTheFileIsSeenThenAlwaysOn) {
    plugtest::LogFile log(false);
    DebugLogBegin();
    DebugLogWrite("lost %d\n", 1);
    DebugLogEnd();
    EXPECT_FALSE(std::filesystem::exists(log.file));
    log.clear();
    DebugLogBegin();
    DebugLogWrite("kept %d\n", 2);
    EXPECT_EQ(log.text(), "kept 2\n");  // flushed before the stream is closed
    DebugLogEnd();
    std::filesystem::remove(log.file);
    DebugLogBegin();  // once seen, the file is created again
    DebugLogWrite("again\n");
    DebugLogEnd();
    EXPECT_EQ(log.text(), "again\n");
}

TEST(Transport, WaitingReceiveAndBoundedShutdown) {
    plugtest::LogFile log;
    int pair[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    DebugLogBegin();
    char buf[8];
    std::memset(buf, 'x', sizeof buf);
    ASSERT_EQ(::send(pair[1], "ababcd", 6, 0), 6);
    EXPECT_EQ(ReadReply(pair[0], buf, 8, 1), 6);
    EXPECT_EQ(std::string(buf, 8), std::string("ababcd\0\0", 8));  // the tail reads as zero
    ASSERT_EQ(::send(pair[1], "abcd", 4, 0), 4);
    EXPECT_EQ(ReceiveFromServer(pair[0], buf, 4), 4);
    EXPECT_EQ(ReadReply(pair[0], buf, 8, 1), 0);
    DebugLogEnd();
    EXPECT_EQ(log.text(), "nTotalBytes = 6\nnTotalBytes = 4\nBuffer was totally full when received.\nSelect timeout.\n");

    // The drain gives up after its bound when the peer never closes.
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(ShutdownConnection(pair[0]));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(kDrainLimitSeconds * 1000 - 50));
    EXPECT_EQ(LastSocketError(), 10060);
    ::close(pair[1]);
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    ASSERT_EQ(::send(pair[1], "rest", 4, 0), 4);
    ::close(pair[1]);
    EXPECT_TRUE(ShutdownConnection(pair[0]));  // discards what is left, then sees the close
}
