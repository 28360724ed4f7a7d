// Servers for the plug-in client tests: the real orvane-plugind started on a free port,
// a scripted server in this process that misbehaves on purpose, and a private log file.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>

#include "pluginclient/transport.hpp"

extern char** environ;

namespace plugtest {

// One receive within `seconds`: the byte count, or 0 on time-out, close or error.
inline std::size_t receive(int fd, char* p, std::size_t size, int seconds) {
    pollfd pfd{fd, POLLIN, 0};
    const ssize_t n = ::poll(&pfd, 1, seconds * 1000) == 1 ? ::recv(fd, p, size, 0) : 0;
    return n > 0 ? static_cast<std::size_t>(n) : 0;
}

inline bool readExactly(int fd, void* buffer, std::size_t size, int seconds = 10) {
    for (char* p = static_cast<char*>(buffer); size > 0;) {
        const std::size_t n = receive(fd, p, size, seconds);
        if (n == 0) return false;
        p += n, size -= n;
    }
    return true;
}

// Whatever arrives until the client closes (or falls silent), in one string.
inline std::string readToEnd(int fd, int seconds = 10) {
    std::string all;
    char buf[65536];
    while (const std::size_t n = receive(fd, buf, sizeof buf, seconds)) all.append(buf, n);
    return all;
}

inline void sendAll(int fd, const std::string& bytes) { ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL); }

inline std::string le32(int v) {
    const auto u = static_cast<unsigned>(v);
    return {char(u), char(u >> 8), char(u >> 16), char(u >> 24)};
}

// Closing with a zero linger time sends a reset instead of an orderly close.
inline void resetConnection(int fd) {
    const linger hard{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
}

// Accepts one connection on a free loopback port and runs `script` on it in a thread.
struct ScriptedServer {
    explicit ScriptedServer(std::function<void(int)> script) {
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in at{};
        at.sin_family = AF_INET;
        at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof at;
        ::bind(listener_, reinterpret_cast<sockaddr*>(&at), sizeof at), ::listen(listener_, 4);
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&at), &len);
        port_ = ntohs(at.sin_port);
        thread_ = std::thread([this, script = std::move(script)] {
            pollfd pfd{listener_, POLLIN, 0};
            if (::poll(&pfd, 1, 30000) != 1) return;
            if (const int fd = ::accept(listener_, nullptr, nullptr); fd >= 0) script(fd), ::close(fd);
        });
    }
    ~ScriptedServer() { thread_.join(), ::close(listener_); }
    std::string port() const { return std::to_string(port_); }
    int listener_ = -1, port_ = 0;
    std::thread thread_;
};

// The usual polite start of a session: banner, init read, "OK" answer.
inline std::string greet(int fd, const std::string& answer = "OK") {
    sendAll(fd, "test banner");
    std::string init;
    char c = 1;
    while (c != '\0' && readExactly(fd, &c, 1)) init += c;
    sendAll(fd, answer);
    return init;
}

// Waits for the client's one-byte request segment ('B', size 1, one byte).
inline void awaitRequest(int fd) { readExactly(fd, std::string(6, '\0').data(), 6); }

// orvane-plugind on a free port, serving `directory`; stopped when destroyed.
class Daemon {
public:
    explicit Daemon(const std::string& directory) {
        int out[2];
        if (::pipe(out) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        std::string exe = ORVANE_PLUGIND;
        char* argv[] = {exe.data(), const_cast<char*>("-d"), const_cast<char*>(directory.c_str()),
                        const_cast<char*>("0"), nullptr};
        if (posix_spawn(&pid_, exe.c_str(), &actions, nullptr, argv, environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        // "orvane-plugind listening on 127.0.0.1:PORT"
        char c;
        while (pid_ > 0 && ::read(out[0], &c, 1) == 1 && c != '\n') port_ = c == ':' ? "" : port_ + c;
        ::close(out[0]);
    }
    ~Daemon() {
        if (pid_ > 0) ::kill(pid_, SIGTERM), ::waitpid(pid_, nullptr, 0);
    }
    const std::string& port() const { return port_; }

private:
    pid_t pid_ = -1;
    std::string port_;
};

// A debug-log file of the test's own in a scratch directory, so that parallel test
// processes never share one.
struct LogFile {
    std::string dir, file;
    explicit LogFile(bool create = true) {
        char name[] = "/tmp/orvane-plugtest-XXXXXX";
        dir = ::mkdtemp(name);
        file = dir + "/debug_hubc.log";
        orvane::plugin::DebugLogUseFileForTesting(file.c_str());
        if (create) clear();
    }
    ~LogFile() {
        orvane::plugin::DebugLogUseFileForTesting(nullptr);
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }
    void clear() const { std::ofstream(file, std::ios::trunc); }
    std::string text() const {
        std::ifstream in(file, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
};

}  // namespace plugtest
